#include "shell/qt/qt_desk.h"

#include <QApplication>
#include <QFileDialog>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "core/table.h"
#include "shell/qt/views.h"

namespace v3d::shell::qt {

int QtDesk::run(VolumeDialog& d) {
  VolumeDialogView view(d, frame_);
  return view.exec() == QDialog::Accepted ? 1 : 0;
}
int QtDesk::run(ValueDialog& d) {
  ValueDialogView view(d, frame_);
  return view.exec() == QDialog::Accepted ? 1 : 0;
}
int QtDesk::run(DisplayLevelsDialog& d) {
  DisplayLevelsView view(d, frame_);
  return view.exec() == QDialog::Accepted ? 1 : 0;
}
int QtDesk::run(InterpolationDialog& d) {
  InterpolationView view(d, frame_);
  return view.exec() == QDialog::Accepted ? 1 : 0;
}
int QtDesk::run(WeightsSourceDialog& d) {
  WeightsSourceView view(d, frame_);
  return view.exec() == QDialog::Accepted ? d.chosen : 0;
}
int QtDesk::run(BinaryInterpolationDialog& d) {
  BinaryInterpolationView view(d, frame_);
  return view.exec() == QDialog::Accepted ? 1 : 0;
}
int QtDesk::run(AlignmentDialog& d) {
  AlignmentView view(d, frame_);
  return view.exec() == QDialog::Accepted ? 1 : 0;
}
int QtDesk::run(AboutDialog& d) {
  AboutView view(d, frame_);
  view.exec();
  return 1;
}

std::optional<std::string> QtDesk::saveFileName(const std::string& title,
                                                const std::string& filter) {
  const QString name = QFileDialog::getSaveFileName(
      frame_, QString::fromStdString(title), QString(),
      QString::fromStdString(filter) + " (*)", nullptr, QFileDialog::DontUseNativeDialog);
  if (name.isEmpty()) return std::nullopt;
  return name.toStdString();
}

void QtDesk::showVolume(Volume* v) {
  // Display windows draw the volume; until one is open, the status bar says what changed.
  if (auto* main = qobject_cast<QMainWindow*>(frame_.data()))
    main->statusBar()->showMessage(QStringLiteral("vol %1 updated").arg(GetVolumeIndex(v)), 5000);
}

void QtDesk::closeWindowsOf(Volume*) {}

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

void QtDesk::quit() {
  if (frame_) frame_->close();
}

int QtDesk::showMessage(void* owner, std::string_view text, std::string_view caption,
                        MessageIcon icon, MessageButtons buttons) {
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
