// The "Updating projections ..." box (dialog 125): a small modeless box owned by the frame
// that names the projection window being made again.
#pragma once

#include <QDialog>

class QLineEdit;

namespace v3d::shell::qt {

class UpdatingBox : public QDialog {
 public:
  // The field that shows the window's title.
  static constexpr int kCtlWindowTitle = 1250;

  explicit UpdatingBox(QWidget* owner);
  // Shows `title` in the field and makes sure the box is on the screen before the update.
  void name(const QString& title);
  QString named() const;

 private:
  QLineEdit* title_;
};

}  // namespace v3d::shell::qt
