// The modeless "Specify Object Connections" dialog (resource 103) over its presenter. Each
// control carries its control id as its object name ("1342" ... "1359").
#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "shadeview/scripts/connections.h"

class QLineEdit;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace v3d::shade {

// The dialog's two questions and their answers.
enum class ConnectionsQuestion { RenderScript, BuildBeforeClosing };
enum class ConnectionsAnswer { Yes, No, Cancel };

// What the dialog needs from the module.
struct ConnectionsServices {
  V3dCheckVolumeFn checkVolume = nullptr;
  V3dErrorHandlerFn errorHandler = nullptr;
  // Opens the rendering window on a script; called once the dialog and its temporary files
  // are gone, when the user asked to render the script it produced.
  std::function<void(const std::string& scriptPath)> render;
  // Asks a question; empty: a message box over the dialog ("Render Produced Surface Script ?"
  // yes/no with the question icon, "Build Surface Script before closing" yes/no/cancel).
  std::function<ConnectionsAnswer(ConnectionsQuestion)> ask;
};

// Opens the dialog on the job as a modeless window owned by `parent` and gives it the focus.
// At most one exists: while one is open, it is raised and the new job is dropped. Returns the
// dialog, or nullptr when it closed at once because its chains could not be built or the
// volume holds none (the code, or 3135, has been reported through errorHandler).
QWidget* OpenConnectionsDialog(QWidget* parent, const ConnectionsServices& services,
                               SurfaceJob job);

// The open dialog, or nullptr.
QWidget* CurrentConnectionsDialog();

class ConnectionsView : public QDialog {
 public:
  ConnectionsView(std::unique_ptr<ConnectionsPresenter> presenter, ConnectionsServices services,
                  QWidget* parent);
  ~ConnectionsView() override;
  ConnectionsPresenter& presenter() { return *p_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void reject() override;  // Escape asks as closing does

 private:
  void choose(bool a, int row);
  void refresh();
  // Stitches and writes the script, then reports the failure or asks about rendering.
  void finish();
  ConnectionsAnswer ask(ConnectionsQuestion q);

  std::unique_ptr<ConnectionsPresenter> p_;
  ConnectionsServices services_;
  QRadioButton* lower_;
  QRadioButton* upper_;
  QListWidget* lists_[2];
  QLineEdit* components_[2][3];
  QLabel* previews_[2];
  QLabel* count_;
  QPushButton* save_;
  QPushButton* undo_;
  QPushButton* reset_;
  QPushButton* finish_;
  bool quiet_ = false;   // close without the question
  bool render_ = false;  // the user asked to render the new script
};

}  // namespace v3d::shade
