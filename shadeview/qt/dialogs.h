// The surface module's Qt dialogs: the text-entry dialog (resource 102), the script file
// dialogs, and the modeless "Set Object Colors" dialog (resource 101). Every control carries
// its control id as its object name.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>
#include <string>

#include "shadeview/colour_dialog.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QCheckBox;
class QScrollBar;
class QPushButton;

namespace v3d::shade::qt {

class RenderView;

// The text-entry dialog: `title` as its caption, `prompt` in static 1001, edit 1000, OK (1)
// and Cancel (2). The text on OK (at most 19 characters), nullopt on Cancel.
std::optional<std::string> AskText(QWidget* parent, const char* title, const char* prompt);

// Non-native file dialogs over the frame: "Autocad Script Files" and "All Files", or the
// script filter alone. A save dialog asks before replacing a file.
std::optional<std::string> AskSaveScript(QWidget* parent, const char* title);
std::optional<std::string> AskOpenScript(QWidget* parent, const char* title, bool scriptsOnly);

class ColourDialog final : public QDialog {
 public:
  // `view` may be null (no rendering window): the list is empty then.
  ColourDialog(RenderView* view, QWidget* parent);
  ColourPresenter& presenter() { return *presenter_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showCurrent();
  void updateButtons();

  std::unique_ptr<ColourPresenter> presenter_;
  QListWidget* list_ = nullptr;
  QCheckBox* display_ = nullptr;
  QLineEdit* edits_[3] = {};
  QScrollBar* bars_[3] = {};
  QPushButton* updateCurrent_ = nullptr;
  QPushButton* updateAll_ = nullptr;
  QWidget* preview_ = nullptr;
  bool showing_ = false;  // the view is being filled, not edited
};

// Opens the colour dialog over the rendering window's objects (nothing when it is open).
ColourDialog* OpenColourDialog(RenderView* view, QWidget* parent);
ColourDialog* CurrentColourDialog();

}  // namespace v3d::shade::qt
