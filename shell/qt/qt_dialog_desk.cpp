#include "shell/qt/qt_dialog_desk.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QLabel>
#include <QMenuBar>
#include <QVBoxLayout>

#include "core/text_ids.h"
#include "shell/exports.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/labelled_view_dialog.h"
#include "shell/qt/open_view.h"
#include "shell/qt/qtext.h"
#include "shell/qt/views.h"

namespace v3d::shell::qt {
namespace {

template <class View, class Presenter>
int runModal(Presenter& d, QWidget* parent) {
  const ArrowCursor arrow;
  View view(d, parent);
  return view.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace

QtDialogDesk::QtDialogDesk(Frame* frame) : frame_(frame) {}

ArrowCursor::ArrowCursor() {
  QApplication::setOverrideCursor(Qt::ArrowCursor);
}
ArrowCursor::~ArrowCursor() {
  QApplication::restoreOverrideCursor();
}

int QtDialogDesk::run(VolumeDialog& d) {
  return runModal<VolumeDialogView>(d, frame_);
}
int QtDialogDesk::run(ValueDialog& d) {
  return runModal<ValueDialogView>(d, frame_);
}
int QtDialogDesk::run(DisplayLevelsDialog& d) {
  return runModal<DisplayLevelsView>(d, frame_);
}
int QtDialogDesk::run(InterpolationDialog& d) {
  return runModal<InterpolationView>(d, frame_);
}
int QtDialogDesk::run(WeightsSourceDialog& d) {
  const ArrowCursor arrow;
  WeightsSourceView view(d, frame_);
  return view.exec() == QDialog::Accepted ? d.chosen : 0;
}
int QtDialogDesk::run(BinaryInterpolationDialog& d) {
  return runModal<BinaryInterpolationView>(d, frame_);
}
int QtDialogDesk::run(AlignmentDialog& d) {
  return runModal<AlignmentView>(d, frame_);
}
int QtDialogDesk::run(AboutDialog& d) {
  const ArrowCursor arrow;
  AboutView view(d, frame_);
  view.exec();
  return 1;
}

int QtDialogDesk::run(FrameGalleryDialog& d) {
  return runModal<FrameGalleryView>(d, frame_);
}

int QtDialogDesk::run(OpenDialog& d) {
  return runModal<OpenDialogView>(d, frame_);
}

std::optional<std::string> QtDialogDesk::openFileName(const std::string& title,
                                                      const std::string& filter) {
  const ArrowCursor arrow;
  const QString name = QFileDialog::getOpenFileName(frame_, QString::fromStdString(title),
                                                    QString(), QString::fromStdString(filter),
                                                    nullptr, QFileDialog::DontUseNativeDialog);
  if (name.isEmpty()) return std::nullopt;
  return name.toStdString();
}

std::optional<std::string> QtDialogDesk::saveFileName(const std::string& title,
                                                      const std::string& filter) {
  const ArrowCursor arrow;
  const QString name = QFileDialog::getSaveFileName(
      frame_, QString::fromStdString(title), QString(), QString::fromStdString(filter) + " (*)",
      nullptr, QFileDialog::DontUseNativeDialog);
  if (name.isEmpty()) return std::nullopt;
  return name.toStdString();
}

int QtDialogDesk::pickSeeds(Volume* input, Volume* output) {
  // The dialog stays modeless so that the user can click in the display of the input; the
  // menus are off meanwhile, so no command can destroy or reallocate the two volumes.
  const ArrowCursor arrow;
  if (frame_) frame_->menuBar()->setEnabled(false);
  DisplayVolume(input);
  SeedPicking seeds{input, output, 0};
  setSeedPicking(&seeds);
  QDialog dialog(frame_);
  dialog.setObjectName(QString::number(kDialogPixelInput));
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
  if (frame_) frame_->menuBar()->setEnabled(true);
  return result == 1 ? seeds.count : -1;
}

bool QtDialogDesk::openLabelledView(std::unique_ptr<LabelledView> view) {
  if (!view) return false;
  // Owned by the frame and deleted when it closes; keyboard navigation is the dialog's own.
  auto* dialog = new LabelledViewDialog(std::move(view), frame_);
  labelledView_ = dialog;
  dialog->show();
  dialog->placeAtBottomLeft();
  return true;
}

LabelledViewDialog* QtDialogDesk::labelledViewDialog() const {
  return labelledView_.data();
}

void QtDialogDesk::focusLabelledView() {
  if (labelledView_) labelledView_->focusList();
}

}  // namespace v3d::shell::qt
