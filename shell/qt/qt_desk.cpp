#include "shell/qt/qt_desk.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/commands.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/open_view.h"
#include "shell/qt/qtext.h"
#include "shell/qt/views.h"
#include "shell/qt/window_registry.h"

namespace v3d::shell::qt {
namespace {
// Dialogs and message boxes wait for the user: they show the arrow even while a command
// holds the busy cursor.
struct ArrowCursor {
  ArrowCursor() { QApplication::setOverrideCursor(Qt::ArrowCursor); }
  ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
  ArrowCursor(const ArrowCursor&) = delete;
  ArrowCursor& operator=(const ArrowCursor&) = delete;
};

template <class View, class Presenter>
int runModal(Presenter& d, QWidget* parent) {
  const ArrowCursor arrow;
  View view(d, parent);
  return view.exec() == QDialog::Accepted ? 1 : 0;
}
}  // namespace

int QtDesk::run(VolumeDialog& d) { return runModal<VolumeDialogView>(d, frame_); }
int QtDesk::run(ValueDialog& d) { return runModal<ValueDialogView>(d, frame_); }
int QtDesk::run(DisplayLevelsDialog& d) { return runModal<DisplayLevelsView>(d, frame_); }
int QtDesk::run(InterpolationDialog& d) { return runModal<InterpolationView>(d, frame_); }
int QtDesk::run(WeightsSourceDialog& d) {
  const ArrowCursor arrow;
  WeightsSourceView view(d, frame_);
  return view.exec() == QDialog::Accepted ? d.chosen : 0;
}
int QtDesk::run(BinaryInterpolationDialog& d) { return runModal<BinaryInterpolationView>(d, frame_); }
int QtDesk::run(AlignmentDialog& d) { return runModal<AlignmentView>(d, frame_); }
int QtDesk::run(AboutDialog& d) {
  const ArrowCursor arrow;
  AboutView view(d, frame_);
  view.exec();
  return 1;
}

int QtDesk::run(OpenDialog& d) { return runModal<OpenDialogView>(d, frame_); }

std::optional<std::string> QtDesk::saveFileName(const std::string& title,
                                                const std::string& filter) {
  const ArrowCursor arrow;
  const QString name = QFileDialog::getSaveFileName(
      frame_, QString::fromStdString(title), QString(),
      QString::fromStdString(filter) + " (*)", nullptr, QFileDialog::DontUseNativeDialog);
  if (name.isEmpty()) return std::nullopt;
  return name.toStdString();
}

void QtDesk::showVolume(Volume* v) { DisplayVolume(v); }

void QtDesk::refreshVolume(Volume* v) {
  if (WindowRegistry* r = windowRegistry()) r->showVolume(v, false);
}

void QtDesk::closeWindowsOf(Volume* v) { freedisWin(v); }

bool QtDesk::openDisplay(Volume* v, bool colour, int lower, int upper, float delay) {
  WindowRegistry* r = windowRegistry();
  if (r == nullptr) return false;
  r->add(std::make_unique<DisplayWindow>(v, colour, lower, upper, delay), v);
  return true;
}

bool QtDesk::toggleCoordinates() {
  WindowRegistry* r = windowRegistry();
  if (r == nullptr) return false;
  auto* frame = dynamic_cast<Frame*>(frame_.data());
  CoordinatesWindow* w = r->coordinates();
  if (!w) {
    w = new CoordinatesWindow(frame_);
    w->onClose = [frame] {
      if (frame && frame->action(kCmdCoordinates)) frame->action(kCmdCoordinates)->setChecked(false);
    };
    r->setCoordinates(w);
    if (QWidget* top = frame_ ? frame_->window() : nullptr) {
      const QRect g = top->geometry();
      w->move(g.right() - w->width(), g.top() + 40);
    }
  }
  const bool show = !w->isVisible();
  w->setVisible(show);
  if (frame && frame->action(kCmdCoordinates)) frame->action(kCmdCoordinates)->setChecked(show);
  return show;
}

bool QtDesk::openSectionView(Volume* v) {
  WindowRegistry* r = windowRegistry();
  if (r == nullptr) return false;
  r->add(std::make_unique<SectionViewWindow>(v), v);
  return true;
}

int QtDesk::pickSeeds(Volume* input, Volume* output) {
  // The dialog stays modeless so that the user can click in the display of the input; the
  // menus are off meanwhile, so no command can destroy or reallocate the two volumes.
  const ArrowCursor arrow;
  auto* frame = dynamic_cast<Frame*>(frame_.data());
  if (frame) frame->menuBar()->setEnabled(false);
  DisplayVolume(input);
  SeedPicking seeds{input, output, 0};
  setSeedPicking(&seeds);
  QDialog dialog(frame_);
  dialog.setObjectName(QString::number(kDialogSeeds));
  dialog.setWindowTitle(qtext(kTitleRegionGrowSeeds));
  dialog.setWindowModality(Qt::NonModal);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(new QLabel(qtext(kTextClickSeeds), &dialog));
  layout->addWidget(new QLabel(qtext(kTextClickOk), &dialog));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  layout->addWidget(buttons);
  QEventLoop loop;
  int result = -1;
  QObject::connect(buttons, &QDialogButtonBox::accepted, &loop, [&] {
    result = 1;
    loop.quit();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &loop, [&] { loop.quit(); });
  QObject::connect(&dialog, &QDialog::finished, &loop, [&] { loop.quit(); });
  dialog.show();
  loop.exec();
  setSeedPicking(nullptr);
  if (frame) frame->menuBar()->setEnabled(true);
  return result == 1 ? seeds.count : -1;
}

bool QtDesk::openPlot(const std::string& title, const float* values) {
  auto* w = new PlotWindow(QString::fromStdString(title), values);  // deleted when closed
  if (WindowRegistry* r = windowRegistry()) r->addPlot(w);
  w->show();
  w->activateWindow();
  return true;
}

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
