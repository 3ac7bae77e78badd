// The dialogs part of the desk: every dialog the dispatcher runs. Dialogs are run on their
// presenters, which hold all their state and rules; a desk only lets the user (or the
// script) act on a presenter until it closes. A new dialog is one more run() here, in the
// Qt dialogs part and in the scripted desk.
#pragma once

#include <memory>
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
class FrameGalleryDialog;
class OpenDialog;
class LabelledView;

class DialogDesk {
 public:
  virtual ~DialogDesk() = default;

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
  virtual int run(FrameGalleryDialog& dialog) = 0;
  virtual int run(OpenDialog& dialog) = 0;

  // An existing file to read (the filter as "Text (*.a *.b)"), or nothing when cancelled.
  virtual std::optional<std::string> openFileName(const std::string& title,
                                                  const std::string& filter) = 0;
  // A file name to write, or nothing when cancelled.
  virtual std::optional<std::string> saveFileName(const std::string& title,
                                                  const std::string& filter) = 0;

  // The pixel input dialog (123): the user clicks seed points in a display of `input`; each
  // click inside the input's VOI labels the same voxel of `output` with the seed count
  // (1, 2, 3, ...). Returns the number of seeds at OK, or -1 for Cancel.
  virtual int pickSeeds(Volume* input, Volume* output) = 0;

  // The modeless labelled volume view (122): the desk keeps the presenter and lets the user
  // act on it until it agrees to close. False when the dialog could not be made.
  virtual bool openLabelledView(std::unique_ptr<LabelledView> view) = 0;
  // Gives the open labelled view the focus.
  virtual void focusLabelledView() = 0;
};

}  // namespace v3d::shell
