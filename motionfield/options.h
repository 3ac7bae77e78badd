// The "Block Matching Options" dialog without a toolkit: the values of its controls, which
// controls are enabled, the corrections made when an overlap edit loses the focus, the
// mapping of the method buttons, and the options read on OK. The Qt view shows this state
// and forwards the user's actions to it.
#pragma once

#include <array>
#include <string>

namespace v3d::motion::module {

// Control ids of the dialog; each widget of the view carries its id as its object name.
enum OptionsControl {
  kCtlOk = 1,
  kCtlCancel = 2,
  kCtlWidth = 1000,
  kCtlHeight = 1001,
  kCtlDepth = 1002,
  kCtlOverlapX = 1003,
  kCtlOverlapY = 1004,
  kCtlSearchX = 1005,
  kCtlSearchY = 1006,
  kCtlLogarithmic = 1007,
  kCtlThreeStep = 1008,
  kCtlConjugateDirection = 1009,
  kCtlOrthogonal = 1010,
  kCtlFullSearch = 1012,
  kCtlDrawField = 1013,
  kCtlSubsampled = 1014,
  kCtlDisplayX = 1015,
  kCtlDisplayY = 1016,
  kCtlAmplitude = 1017
};

// Display option bits, one per check box.
enum DisplayBit {
  kBitDrawField = 1,
  kBitSubsampled = 2,
  kBitDisplayX = 4,
  kBitDisplayY = 8,
  kBitAmplitude = 16
};

// What the dialog hands to the command when it ends with OK.
struct BlockMatchingOptions {
  int width = 0, height = 0, depth = 0;
  int overlapX = 0, overlapY = 0;
  int searchX = 0, searchY = 0;
  int method = 0;       // 0..4, the search method
  int displayBits = 0;  // DisplayBit values
};

// An edit holds at most this many digits, so every value it can hold fits in an int and the
// step and size arithmetic of the command cannot overflow.
inline constexpr int kMaxEditDigits = 9;

class OptionsPresenter {
 public:
  OptionsPresenter() { reset(); }

  // Every opening starts from the initial values: blocks 4 x 4 x 4, no overlap, search range
  // 4 x 4, "Logarithmic Search", no display options, "Subsampled" disabled.
  void reset();

  // The text of an edit (1000..1006); empty for any other id.
  const std::string& text(int editId) const;
  // A change of an edit's text. Only digits, at most kMaxEditDigits of them, are taken;
  // returns false (and keeps the old text) for anything else. While "Orthogonal Search" is
  // chosen, every change of "Search X :" is copied into "Search Y :".
  bool setText(int editId, const std::string& text);

  // The edit `editId` lost the focus. For "Overlap X :" (against Width) and "Overlap Y :"
  // (against Height): a value not below the block size is replaced by the size minus 1 and
  // the warning id to show is returned (1 or 2); the view then returns the focus to the edit.
  // Otherwise 0.
  int focusLost(int editId);

  // Choosing a method button; other ids are ignored.
  void choose(int methodControl);
  // The method of the chosen button (1007 -> 0, 1008 -> 1, 1009 -> 2, 1010 -> 3, 1012 -> 4).
  int method() const;
  int chosenMethodControl() const { return methodControl_; }

  // Check boxes (1013..1017). "Subsampled" follows "Draw M. Field": enabled only while it is
  // checked, and unchecked when it is unchecked. A disabled box cannot be checked.
  void setChecked(int checkId, bool on);
  // For check boxes and method buttons.
  bool checked(int controlId) const;
  bool enabled(int controlId) const;

  // The seven numbers, the method and the display bits, as read when OK is pressed.
  BlockMatchingOptions read() const;

  // The value of an edit's digits (0 when empty).
  static int valueOf(const std::string& digits);

 private:
  static int editIndex(int editId);
  static int checkIndex(int checkId);

  std::array<std::string, 7> edits_;
  std::array<bool, 5> checks_{};
  int methodControl_ = kCtlLogarithmic;
};

// Answer of the id lookups below for an id they do not know.
inline constexpr int kNotAControl = -1;

// The method of a method button, or kNotAControl for another id.
int methodOfControl(int controlId);

}  // namespace v3d::motion::module
