// The windows part of the desk: the windows that show volumes, opened, refreshed and closed
// for the dispatcher. A new kind of window is one more open call here, in the Qt windows
// part and in the scripted desk.
#pragma once

#include <string>

#include "core/volume.h"
#include "shell/projection_model.h"

namespace v3d::shell {

class WindowDesk {
 public:
  virtual ~WindowDesk() = default;

  // Shows a volume after an operation changed it: repaints its display windows, or opens one
  // when it has none, and refreshes its projection windows.
  virtual void showVolume(Volume* volume) = 0;
  // Repaints the windows that show a volume, opening none.
  virtual void refreshVolume(Volume* volume) = 0;
  // Closes every window that shows a volume (before it is destroyed or reallocated).
  virtual void closeWindowsOf(Volume* volume) = 0;

  // Opens a volume display window on frames lower..upper (grey, or colour for three
  // channels); false when no window could be made.
  virtual bool openDisplay(Volume* volume, bool colour, int lower, int upper, float delay) = 0;
  // Shows or hides the coordinates window; returns whether it is shown now.
  virtual bool toggleCoordinates() = 0;
  // Opens the section view of a volume; false when no window could be made.
  virtual bool openSectionView(Volume* volume) = 0;
  // Opens a histogram plot window of 256 values.
  virtual bool openPlot(const std::string& title, const float* values256) = 0;
  // Opens a projection window showing `buffer`; the window takes both. False when no window
  // could be made (the failure reported): both are freed then.
  virtual bool showProjection(ProjectionPtr projection, BufferPtr buffer,
                              const std::string& title) = 0;
  // The "Updating projections ..." box (125) while projection windows are brought up to
  // date: shown (or kept) naming the window being updated, then removed.
  virtual void showUpdatingBox(const std::string& windowTitle) = 0;
  virtual void closeUpdatingBox() = 0;
};

// Program-wide pointer modes of the display windows.
struct PointerModes {
  bool voxelWriting = false;  // armed by "&Write Voxel", disarmed after one click
  bool coordinatesShown = false;
};
PointerModes& pointerModes();

}  // namespace v3d::shell
