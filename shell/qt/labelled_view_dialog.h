// The labelled volume view (dialog 122), modeless: the object list, "Display Object", the
// red, green and blue edits and scroll bars, the colour preview and the update buttons, all
// acting on the LabelledView presenter, which the dialog owns. It deletes itself once the
// presenter agrees to close.
#pragma once

#include <QDialog>
#include <array>
#include <memory>

#include "shell/labelled_view.h"

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QScrollBar;

namespace v3d::shell::qt {

class LabelledViewDialog : public QDialog {
 public:
  LabelledViewDialog(std::unique_ptr<LabelledView> view, QWidget* parent);
  ~LabelledViewDialog() override;

  LabelledView& presenter() { return *view_; }
  // Puts the dialog in the bottom left corner of the screen.
  void placeAtBottomLeft();
  // Activates the dialog with the focus on the object list.
  void focusList();

  // Escape and the window's close button close the view as "Close" does.
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void sync();         // every control from the presenter
  void syncColour();   // edits, scroll bars and preview of the current object
  void syncButtons();  // the update buttons' enabling
  void onScroll(int channel, int action);
  void onTyped(int channel, const QString& text);

  std::unique_ptr<LabelledView> view_;
  QListWidget* list_;
  QCheckBox* display_;
  std::array<QLineEdit*, 3> edits_{};
  std::array<QScrollBar*, 3> bars_{};
  QWidget* preview_;
  QPushButton *updateAll_, *updateCurrent_, *close_;
};

}  // namespace v3d::shell::qt
