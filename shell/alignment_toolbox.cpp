#include "shell/alignment_toolbox.h"

#include <cmath>

#include "core/messages.h"
#include "core/report.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_run.h"
#include "shell/window_desk.h"

namespace v3d::shell {
namespace {

std::unique_ptr<AlignmentToolBox>& running() {
  static std::unique_ptr<AlignmentToolBox> box;
  return box;
}

// The angle of a pointer position about a centre, in degrees, the way the alignment window has
// always measured it (pi as 3.141592).
float pointerAngle(int x, int y, int centreX, int centreY) {
  return std::atan2(static_cast<float>(centreY - y), static_cast<float>(centreX - x)) * 180.0f /
         3.141592f;
}

}  // namespace

int AlignmentToolBox::labelId(int button) {
  return button >= kFirstButton && button <= kLastButton
             ? kLabelAlignFirstButton + (button - kFirstButton)
             : 0;
}

AlignmentToolBox::AlignmentToolBox(std::unique_ptr<AlignmentModel> model, WindowDesk& desk)
    : model_(std::move(model)), desk_(desk) {}

std::string AlignmentToolBox::title() const {
  const AlignmentModel& m = *model_;
  const int slot = GetVolumeIndex(m.input());
  if (m.current() == m.lower())
    return formatText(kFormatAlignPosition, slot, m.lower(), m.upper(), m.current());
  return formatText(kFormatAlignPair, slot, m.lower(), m.upper(), m.current(), m.current() - 1);
}

bool AlignmentToolBox::enabled(int button) const {
  const AlignmentModel& m = *model_;
  switch (button) {
    case kNext:
    case kLast:
      return m.current() < m.upper();
    case kPrev:
    case kFirst:
      return m.current() > m.lower();
    case kResetCurrent:
    case kResetAll:
      return false;  // disabled for the whole run
    default:
      return button >= kFirstButton && button <= kLastButton;
  }
}

bool AlignmentToolBox::settle(int code) {
  if (int lost = model_->checkVolumes(); lost != 0) {
    error_handler(lost);
    endAlignment();
    return false;
  }
  if (code != 0) error_handler(code);  // the picture stays as it was
  if (views_ != nullptr) views_->alignmentChanged();
  return true;
}

void AlignmentToolBox::saved(int code) {
  if (code == 0) {
    desk_.refreshVolume(model_->output());
    return;
  }
  settle(code);
}

bool AlignmentToolBox::press(int button) {
  if (!enabled(button)) return false;
  AlignmentModel& m = *model_;
  switch (button) {
    case kNext:
      settle(m.moveTo(m.current() + 1));
      break;
    case kPrev:
      settle(m.moveTo(m.current() - 1));
      break;
    case kFirst:
      settle(m.moveTo(m.lower()));
      break;
    case kLast:
      settle(m.moveTo(m.upper()));
      break;
    case kLeft1:
    case kLeft10:
      settle(m.shift(button == kLeft1 ? 1 : 10, 0));
      break;
    case kRight1:
    case kRight10:
      settle(m.shift(button == kRight1 ? -1 : -10, 0));
      break;
    case kUp1:
    case kUp10:
      settle(m.shift(0, button == kUp1 ? 1 : 10));
      break;
    case kDown1:
    case kDown10:
      settle(m.shift(0, button == kDown1 ? -1 : -10));
      break;
    case kCw1:
    case kCw5:
      settle(m.rotate(button == kCw1 ? 1.0f : 5.0f));
      break;
    case kCcw1:
    case kCcw5:
      settle(m.rotate(button == kCcw1 ? -1.0f : -5.0f));
      break;
    case kSaveCurrent:
      m.store();
      saved(m.writeFrame(m.current()));
      break;
    case kSaveAll:
      m.store();
      saved(m.writeAll());
      break;
    case kQuit:
      close();
      break;
    default:
      return false;
  }
  return true;
}

void AlignmentToolBox::pointerPressed(bool right, int x, int y) {
  drag_ = right ? Drag::Turn : Drag::Shift;
  lastX_ = x;
  lastY_ = y;
  if (right) lastAngle_ = pointerAngle(x, y, model_->width() / 2, model_->height() / 2);
}

void AlignmentToolBox::pointerMoved(int x, int y) {
  if (drag_ == Drag::Shift) {
    const int dx = lastX_ - x, dy = lastY_ - y;
    lastX_ = x;
    lastY_ = y;
    if (dx != 0 || dy != 0) settle(model_->shift(dx, dy));
  } else if (drag_ == Drag::Turn) {
    const float angle = pointerAngle(x, y, model_->width() / 2, model_->height() / 2);
    float turn = angle - lastAngle_;
    // Crossing the left of the centre jumps the measured angle by 360 degrees; the frame turns
    // by the short way round instead.
    if (turn > 180.0f) turn -= 360.0f;
    if (turn <= -180.0f) turn += 360.0f;
    if (turn == 0.0f) return;
    lastAngle_ = angle;
    settle(model_->rotate(turn));
  }
}

void AlignmentToolBox::pointerReleased() {
  drag_ = Drag::None;
}

bool AlignmentToolBox::close() {
  const int answer = reporter().showMessage(nullptr, text(kAskSaveAlignment), kCaption,
                                            MessageIcon::Question, MessageButtons::YesNoCancel);
  if (answer != kAnswerYes && answer != kAnswerNo) return false;
  if (answer == kAnswerYes) {
    model_->store();
    if (const int code = model_->writeAll(); code != 0) {
      // Nothing is lost by a failed save: the alignment stays open unless its volumes are gone.
      settle(code);
      return runningAlignment() != this;
    }
    desk_.refreshVolume(model_->output());
  }
  endAlignment();
  return true;
}

AlignmentToolBox* runningAlignment() {
  return running().get();
}

int startAlignment(WindowDesk& desk, Volume* input, Volume* output, int lower, int upper) {
  auto fail = [](int code) {
    error_handler(code);
    return code;
  };
  if (running()) return fail(kTextAlignmentRunning);
  std::unique_ptr<AlignmentModel> model;
  if (int code = AlignmentModel::create(input, output, lower, upper, model); code != 0)
    return fail(code);
  auto box = std::make_unique<AlignmentToolBox>(std::move(model), desk);
  if (int code = desk.openAlignment(*box); code != 0) return fail(code);
  running() = std::move(box);
  return 0;
}

void endAlignment() {
  // No longer running while the views close, so that nothing they do reaches it.
  std::unique_ptr<AlignmentToolBox> ending = std::move(running());
  if (!ending) return;
  if (AlignmentViews* views = ending->views()) {
    ending->setViews(nullptr);
    views->alignmentEnded();
  }
}

void endAlignmentUsing(Volume* volume) {
  const AlignmentToolBox* box = runningAlignment();
  if (box != nullptr && volume != nullptr &&
      (box->model().input() == volume || box->model().output() == volume))
    endAlignment();
}

}  // namespace v3d::shell
