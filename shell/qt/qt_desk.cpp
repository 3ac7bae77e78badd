#include "shell/qt/qt_desk.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>

#include "shell/command_ids.h"
#include "shell/qt/frame.h"
#include "shell/qt/progress_dialog.h"

namespace v3d::shell::qt {

QtDesk::QtDesk(Frame* frame, WindowRegistry& windows)
    : QtDialogDesk(frame), QtWindowDesk(frame, windows), frame_(frame) {}

void QtDesk::setBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++busyDepth_;
  } else {
    restoreCursor();
  }
}

void QtDesk::restoreCursor() {
  while (busyDepth_ > 0) {
    QApplication::restoreOverrideCursor();
    --busyDepth_;
  }
}

void QtDesk::showStatus(const std::string& text) {
  if (frame_) frame_->statusBar()->showMessage(QString::fromStdString(text));
}

int QtDesk::runLong(LongWork& work) {
  return runWithProgress(work, frame_, progressDelayMs);
}

void QtDesk::quit() {
  if (frame_) frame_->close();
}

void QtDesk::checkCommand(int id, bool checked) {
  // An item is checkable only while checked, so that it looks as before once unchecked.
  if (QAction* a = frame_ ? frame_->action(id) : nullptr) {
    if (checked) a->setCheckable(true);
    a->setChecked(checked);
    if (!checked && id != kCmdCoordinates) a->setCheckable(false);
  }
}

int QtDesk::showMessage(void* owner, std::string_view text, std::string_view caption,
                        MessageIcon icon, MessageButtons buttons) {
  const ArrowCursor arrow;
  QMessageBox box(owner ? static_cast<QWidget*>(owner) : frame_.data());
  box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<int>(caption.size())));
  box.setText(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
  switch (icon) {
    case MessageIcon::Error:
      box.setIcon(QMessageBox::Critical);
      break;
    case MessageIcon::Information:
      box.setIcon(QMessageBox::Information);
      break;
    case MessageIcon::Question:
      box.setIcon(QMessageBox::Question);
      break;
    case MessageIcon::Warning:
      box.setIcon(QMessageBox::Warning);
      break;
  }
  switch (buttons) {
    case MessageButtons::Ok:
      box.setStandardButtons(QMessageBox::Ok);
      break;
    case MessageButtons::OkCancel:
      box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
      break;
    case MessageButtons::YesNo:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      break;
    case MessageButtons::YesNoCancel:
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
      break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel:
      return kAnswerCancel;
    case QMessageBox::Yes:
      return kAnswerYes;
    case QMessageBox::No:
      return kAnswerNo;
    default:
      return kAnswerOk;
  }
}

}  // namespace v3d::shell::qt
