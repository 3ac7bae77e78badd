#include "shell/qt/qt_window_desk.h"

#include <QAction>
#include <memory>

#include "shell/commands.h"
#include "shell/projection.h"
#include "shell/qt/align_toolbox_view.h"
#include "shell/qt/contour_pair.h"
#include "shell/qt/frame.h"
#include "shell/qt/window_registry.h"

namespace v3d::shell::qt {
namespace {

// The check mark of the coordinates command follows the window.
void checkCoordinates(Frame* frame, bool shown) {
  if (QAction* a = frame ? frame->action(kCmdCoordinates) : nullptr) a->setChecked(shown);
}

}  // namespace

QtWindowDesk::QtWindowDesk(Frame* frame, WindowRegistry& windows)
    : frame_(frame), windows_(windows) {}

QtWindowDesk::~QtWindowDesk() = default;

void QtWindowDesk::showVolume(Volume* v) {
  if (v) windows_.showVolume(v, true);
}

void QtWindowDesk::refreshVolume(Volume* v) {
  windows_.showVolume(v, false);
}

void QtWindowDesk::closeWindowsOf(Volume* v) {
  if (v) windows_.closeWindowsOf(v);
}

bool QtWindowDesk::openDisplay(Volume* v, bool colour, int lower, int upper, float delay) {
  windows_.add(std::make_unique<DisplayWindow>(v, colour, lower, upper, delay), v);
  return true;
}

bool QtWindowDesk::openContourPair(ContourSession& session, std::function<void()> closed) {
  pair_.reset();
  pair_ = std::make_unique<ContourPair>(windows_, session, std::move(closed));
  pair_->open();
  return true;
}

void QtWindowDesk::closeContourPair() {
  pair_.reset();
}

bool QtWindowDesk::toggleCoordinates() {
  CoordinatesWindow* w = windows_.coordinates();
  if (!w) {
    w = new CoordinatesWindow(frame_);  // a tool window owned by the frame
    w->onClose = [frame = frame_] { checkCoordinates(frame, false); };
    windows_.setCoordinates(w);
    if (QWidget* top = frame_ ? frame_->window() : nullptr) {
      const QRect g = top->geometry();
      w->move(g.right() - w->width(), g.top() + 40);
    }
  }
  const bool show = !w->isVisible();
  w->setVisible(show);
  checkCoordinates(frame_, show);
  return show;
}

bool QtWindowDesk::openSectionView(Volume* v) {
  windows_.add(std::make_unique<SectionViewWindow>(v), v);
  return true;
}

bool QtWindowDesk::openPlot(const std::string& title, const float* values) {
  auto* w = new PlotWindow(QString::fromStdString(title), values);  // deletes itself on close
  windows_.addPlot(w);
  w->show();
  w->activateWindow();
  return true;
}

bool QtWindowDesk::showProjection(ProjectionPtr projection, BufferPtr buffer,
                                  const std::string& title) {
  if (DisplayProjection(projection.get(), buffer.get(), title.c_str()) == nullptr) return false;
  projection.release();  // the window owns both now
  buffer.release();
  return true;
}

int QtWindowDesk::openAlignment(AlignmentToolBox& toolBox) {
  return openAlignmentViews(toolBox, frame_, windows_);
}

}  // namespace v3d::shell::qt

namespace v3d::shell::qt {

void QtWindowDesk::showUpdatingBox(const std::string& windowTitle) {
  if (!updatingBox_) updatingBox_ = new UpdatingBox(frame_);  // owned by the frame
  updatingTitles.push_back(QString::fromStdString(windowTitle));
  updatingBox_->name(QString::fromStdString(windowTitle));
}

void QtWindowDesk::closeUpdatingBox() {
  if (updatingBox_) updatingBox_->deleteLater();
  updatingBox_ = nullptr;
}

}  // namespace v3d::shell::qt
