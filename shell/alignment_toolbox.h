// The running manual alignment: the presenter of the modeless "Align ToolBox" (its buttons,
// which of them are enabled, the pointer gestures of the alignment window, the closing
// question) and the program-wide rule that only one alignment runs at a time.
//
// The views (the alignment window and the tool box of the Qt desk, or the scripted desk's
// record) are told about changes through AlignmentViews. The alignment ends in one of three
// ways: the closing question answered Yes or No, endAlignment() (the frame closes, a view is
// destroyed), or endAlignmentUsing() when one of its volumes is about to be destroyed or
// reallocated. Ending tells the views to close and then releases the tool box and the model,
// so nothing reads the volumes afterwards.
#pragma once

#include <memory>
#include <string>

#include "core/volume.h"
#include "shell/alignment_model.h"

namespace v3d::shell {

class WindowDesk;

// What the alignment tells its views.
class AlignmentViews {
 public:
  virtual ~AlignmentViews() = default;
  // The picture, the title or the enabled buttons changed.
  virtual void alignmentChanged() = 0;
  // The alignment has ended: close the window and the tool box and forget the tool box, which
  // is released right after this returns.
  virtual void alignmentEnded() = 0;
};

class AlignmentToolBox {
 public:
  // The buttons of the tool box, by control id.
  enum Button : int {
    kNext = 1261,
    kPrev,
    kFirst,
    kLast,
    kLeft1,
    kLeft10,
    kRight1,
    kRight10,
    kUp1,
    kUp10,
    kDown1,
    kDown10,
    kCw1,
    kCw5,
    kCcw1,
    kCcw5,
    kResetCurrent,
    kResetAll,
    kSaveCurrent,
    kSaveAll,
    kQuit,
  };
  static constexpr int kFirstButton = kNext, kLastButton = kQuit;
  // The string-table id of a button's label.
  static int labelId(int button);

  AlignmentToolBox(std::unique_ptr<AlignmentModel> model, WindowDesk& desk);

  AlignmentModel& model() { return *model_; }
  const AlignmentModel& model() const { return *model_; }
  // "Vol. %d, [ %d, %d position %d.]" at the first frame of the range, else "Vol. %d, [ %d, %d
  // align %d to %d ]".
  std::string title() const;
  bool enabled(int button) const;

  // Presses a button. False when it is disabled or unknown. After a press of kQuit that ends
  // the alignment this object is gone: the caller must not touch it again (check
  // runningAlignment()).
  bool press(int button);

  // The pointer in the alignment window, in picture coordinates: a left drag shifts the current
  // frame with the pointer, a right drag turns it by the change of the pointer's angle about
  // the picture centre.
  void pointerPressed(bool right, int x, int y);
  void pointerMoved(int x, int y);
  void pointerReleased();

  // The closing question "Do you want to save changes?": Yes writes every frame of the range
  // and ends the alignment, No ends it, Cancel keeps it. True when it ended (this object is
  // gone then).
  bool close();

  void setViews(AlignmentViews* views) { views_ = views; }
  AlignmentViews* views() const { return views_; }

 private:
  // The result of a model call: views updated on success; a volume that lost its shape ends
  // the alignment (false then, and this object is gone).
  bool settle(int code);
  void saved(int code);

  std::unique_ptr<AlignmentModel> model_;
  WindowDesk& desk_;
  AlignmentViews* views_ = nullptr;
  enum class Drag { None, Shift, Turn } drag_ = Drag::None;
  int lastX_ = 0, lastY_ = 0;
  float lastAngle_ = 0.0f;
};

// The running alignment's tool box, or nullptr.
AlignmentToolBox* runningAlignment();
// Starts aligning frames lower..upper of `input` into `output` and opens its window and tool
// box through `desk`. 0, or the code of the failure, which has been reported: kTextAlignmentRunning
// while another alignment runs, the model's codes (kCannotAllocateBuffer for memory), or the
// desk's (kCannotCreateWindow, kGenericError). Nothing is left behind on failure.
int startAlignment(WindowDesk& desk, Volume* input, Volume* output, int lower, int upper);
// Ends the running alignment, if any, without a question and without writing.
void endAlignment();
// Ends the running alignment quietly when it reads or writes `volume`, which is about to be
// destroyed or reallocated.
void endAlignmentUsing(Volume* volume);

}  // namespace v3d::shell
