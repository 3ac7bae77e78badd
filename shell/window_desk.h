// The windows part of the desk: the windows that show volumes, opened, refreshed and closed
// for the dispatcher. A new kind of window is one more open call here, in the Qt windows
// part and in the scripted desk.
#pragma once

#include <functional>
#include <string>

#include "core/volume.h"
#include "shell/projection_model.h"

namespace v3d::shell {

class AlignmentToolBox;
class ContourSession;

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
  // Opens the alignment window and the "Align ToolBox" of a manual alignment that is starting;
  // they follow `toolBox` (AlignmentViews) until it ends. 0, or the code of the window that
  // could not be made (kCannotCreateWindow, kGenericError for the tool box), unreported, with
  // nothing left open.
  virtual int openAlignment(AlignmentToolBox& toolBox) = 0;
  // Opens the contour following pair of `session`: a display window of its original and one
  // of its output, both with the two-button bar, stepping together; pointer edits go to the
  // session. `closed` runs once when the pair closes on its own (a window closed by the user
  // or with its volume). False when the windows could not be made.
  virtual bool openContourPair(ContourSession& session, std::function<void()> closed) = 0;
  // Closes the pair, without running its `closed`.
  virtual void closeContourPair() = 0;
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
