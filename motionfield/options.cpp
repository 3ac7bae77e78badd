#include "motionfield/options.h"

#include <algorithm>

namespace v3d::motion::module {
namespace {

struct MethodButton {
  int control;
  int method;
};
constexpr MethodButton kMethodButtons[] = {{kCtlLogarithmic, 0},
                                           {kCtlThreeStep, 1},
                                           {kCtlConjugateDirection, 2},
                                           {kCtlOrthogonal, 3},
                                           {kCtlFullSearch, 4}};

constexpr int kCheckIds[] = {kCtlDrawField, kCtlSubsampled, kCtlDisplayX, kCtlDisplayY,
                             kCtlAmplitude};
constexpr int kCheckBits[] = {kBitDrawField, kBitSubsampled, kBitDisplayX, kBitDisplayY,
                              kBitAmplitude};

bool isDigits(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

int methodOfControl(int controlId) {
  for (const MethodButton& b : kMethodButtons)
    if (b.control == controlId) return b.method;
  return kNotAControl;
}

void OptionsPresenter::reset() {
  edits_ = {"4", "4", "4", "0", "0", "4", "4"};
  checks_.fill(false);
  methodControl_ = kCtlLogarithmic;
}

int OptionsPresenter::editIndex(int editId) {
  return editId >= kCtlWidth && editId <= kCtlSearchY ? editId - kCtlWidth : kNotAControl;
}

int OptionsPresenter::checkIndex(int checkId) {
  for (int i = 0; i < 5; ++i)
    if (kCheckIds[i] == checkId) return i;
  return kNotAControl;
}

int OptionsPresenter::valueOf(const std::string& digits) {
  if (digits.size() > static_cast<std::size_t>(kMaxEditDigits)) return 0;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

const std::string& OptionsPresenter::text(int editId) const {
  static const std::string kNone;
  const int i = editIndex(editId);
  return i < 0 ? kNone : edits_[i];
}

bool OptionsPresenter::setText(int editId, const std::string& text) {
  const int i = editIndex(editId);
  if (i < 0 || !isDigits(text) || text.size() > static_cast<std::size_t>(kMaxEditDigits))
    return false;
  edits_[i] = text;
  if (editId == kCtlSearchX && methodControl_ == kCtlOrthogonal)
    edits_[editIndex(kCtlSearchY)] = text;
  return true;
}

int OptionsPresenter::focusLost(int editId) {
  int sizeId = 0;
  int warning = 0;
  if (editId == kCtlOverlapX) {
    sizeId = kCtlWidth;
    warning = 1;
  } else if (editId == kCtlOverlapY) {
    sizeId = kCtlHeight;
    warning = 2;
  } else {
    return 0;
  }
  const int size = valueOf(text(sizeId));
  // A block size of 0 has no overlap below it; correcting to -1 is impossible in a digits-only
  // edit and would pull the focus back for ever, so the size computation reports it on OK.
  if (size < 1 || valueOf(text(editId)) < size) return 0;
  edits_[editIndex(editId)] = std::to_string(size - 1);
  return warning;
}

void OptionsPresenter::choose(int methodControl) {
  if (methodOfControl(methodControl) >= 0) methodControl_ = methodControl;
}

int OptionsPresenter::method() const {
  return methodOfControl(methodControl_);
}

void OptionsPresenter::setChecked(int checkId, bool on) {
  const int i = checkIndex(checkId);
  if (i < 0 || !enabled(checkId)) return;
  checks_[i] = on;
  if (checkId == kCtlDrawField && !on) checks_[checkIndex(kCtlSubsampled)] = false;
}

bool OptionsPresenter::checked(int controlId) const {
  if (methodOfControl(controlId) >= 0) return controlId == methodControl_;
  const int i = checkIndex(controlId);
  return i >= 0 && checks_[i];
}

bool OptionsPresenter::enabled(int controlId) const {
  if (controlId == kCtlSearchY) return methodControl_ != kCtlOrthogonal;
  if (controlId == kCtlSubsampled) return checks_[checkIndex(kCtlDrawField)];
  return true;
}

BlockMatchingOptions OptionsPresenter::read() const {
  BlockMatchingOptions o;
  o.width = valueOf(text(kCtlWidth));
  o.height = valueOf(text(kCtlHeight));
  o.depth = valueOf(text(kCtlDepth));
  o.overlapX = valueOf(text(kCtlOverlapX));
  o.overlapY = valueOf(text(kCtlOverlapY));
  o.searchX = valueOf(text(kCtlSearchX));
  o.searchY = valueOf(text(kCtlSearchY));
  o.method = method();
  for (int i = 0; i < 5; ++i)
    if (checks_[i]) o.displayBits |= kCheckBits[i];
  return o;
}

}  // namespace v3d::motion::module
