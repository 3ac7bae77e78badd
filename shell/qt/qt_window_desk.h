// The windows part of the program's desk: display windows, the section view, the
// coordinates window and histogram plots, kept in the frame's window registry.
#pragma once

#include <QPointer>
#include <memory>
#include <QStringList>

#include "shell/qt/updating_box.h"
#include "shell/window_desk.h"

namespace v3d::shell::qt {

class Frame;
class WindowRegistry;
class ContourPair;

class QtWindowDesk : public virtual WindowDesk {
 public:
  QtWindowDesk(Frame* frame, WindowRegistry& windows);
  ~QtWindowDesk() override;
  void showVolume(Volume* v) override;
  void refreshVolume(Volume* v) override;
  void closeWindowsOf(Volume* v) override;
  bool openDisplay(Volume* v, bool colour, int lower, int upper, float delay) override;
  bool toggleCoordinates() override;
  bool openSectionView(Volume* v) override;
  bool openPlot(const std::string& title, const float* values) override;
  bool showProjection(ProjectionPtr projection, BufferPtr buffer,
                      const std::string& title) override;
  int openAlignment(AlignmentToolBox& toolBox) override;
  bool openContourPair(ContourSession& session, std::function<void()> closed) override;
  void closeContourPair() override;
  // The open contour following pair, or nullptr.
  ContourPair* contourPair() const { return pair_.get(); }
  void showUpdatingBox(const std::string& windowTitle) override;
  void closeUpdatingBox() override;
  // The box while it is up; tests watch it.
  UpdatingBox* updatingBox() const { return updatingBox_; }
  // Every title the box has named (tests read what was shown during an update).
  QStringList updatingTitles;

 private:
  QPointer<Frame> frame_;
  WindowRegistry& windows_;
  std::unique_ptr<ContourPair> pair_;  // the last pair opened; inert once it has closed
  QPointer<UpdatingBox> updatingBox_;
};

}  // namespace v3d::shell::qt
