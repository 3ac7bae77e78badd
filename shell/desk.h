// The desk: everything the dispatcher asks of the user or the screen. The Qt desk shows real
// dialogs and windows; the scripted desk answers from a queue (tests, batch use). Dialogs
// are run on their presenters, which hold all their state and rules; a desk only lets the
// user (or the script) act on a presenter until it closes.
#pragma once

#include <optional>
#include <string>

#include "core/volume.h"

namespace v3d::shell {

class VolumeDialog;
class ValueDialog;
class DisplayLevelsDialog;
class InterpolationDialog;
class WeightsSourceDialog;
class BinaryInterpolationDialog;
class AlignmentDialog;
class AboutDialog;
class OpenDialog;

class Desk {
 public:
  virtual ~Desk() = default;

  // Modal dialogs. Each returns the dialog's result: 1 for OK, 0 for Cancel (the weights
  // source dialog returns the id of the chosen button, 0 for Cancel).
  virtual int run(VolumeDialog& dialog) = 0;
  virtual int run(ValueDialog& dialog) = 0;
  virtual int run(DisplayLevelsDialog& dialog) = 0;
  virtual int run(InterpolationDialog& dialog) = 0;
  virtual int run(WeightsSourceDialog& dialog) = 0;
  virtual int run(BinaryInterpolationDialog& dialog) = 0;
  virtual int run(AlignmentDialog& dialog) = 0;
  virtual int run(AboutDialog& dialog) = 0;
  virtual int run(OpenDialog& dialog) = 0;

  // A file name to write, or nothing when cancelled.
  virtual std::optional<std::string> saveFileName(const std::string& title,
                                                  const std::string& filter) = 0;

  // Shows a volume after an operation changed it: repaints its display windows, or opens one
  // when it has none, and refreshes its projection windows.
  virtual void showVolume(Volume* volume) = 0;
  // Repaints the windows that show a volume, opening none.
  virtual void refreshVolume(Volume* volume) = 0;
  // Closes every window that shows a volume (before it is destroyed or reallocated).
  virtual void closeWindowsOf(Volume* volume) = 0;
  // The busy cursor of a long operation.
  virtual void setBusy(bool busy) = 0;
  // Ends the program (the exit command).
  virtual void quit() = 0;

  // Opens a volume display window on frames lower..upper (grey, or colour for three
  // channels); false when no window could be made.
  virtual bool openDisplay(Volume* volume, bool colour, int lower, int upper, float delay) = 0;
  // Shows or hides the coordinates window; returns whether it is shown now.
  virtual bool toggleCoordinates() = 0;
  // Opens the section view of a volume; false when no window could be made.
  virtual bool openSectionView(Volume* volume) = 0;
  // The pixel input dialog (123): the user clicks seed points in a display of `input`; each
  // click inside the input's VOI labels the same voxel of `output` with the seed count
  // (1, 2, 3, ...). Returns the number of seeds at OK, or -1 for Cancel.
  virtual int pickSeeds(Volume* input, Volume* output) = 0;
  // Opens a histogram plot window of 256 values.
  virtual bool openPlot(const std::string& title, const float* values256) = 0;
};

// Program-wide pointer modes of the display windows.
struct PointerModes {
  bool voxelWriting = false;  // armed by "&Write Voxel", disarmed after one click
  bool coordinatesShown = false;
};
PointerModes& pointerModes();

// The desk the exported dialog functions (GetInputVolume, GetOutputVolume) and the
// dispatcher use; nullptr until the shell or a test installs one. Returns the previous one.
Desk* installDesk(Desk* desk);
Desk* desk();

}  // namespace v3d::shell
