// The labelled volume view without a toolkit: a labelled volume (every voxel the number of
// its object, 0 for the background) painted into a UC three-channel output with one colour
// per object, and the presenter of the modeless dialog that hides and recolours objects.
//
// The view refers to its volumes by slot, never by a kept pointer: the user may destroy or
// reallocate either volume while the dialog is open, so every update looks the slots up
// again and checks them before it writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "core/volume.h"

namespace v3d::shell {

class Desk;

// One object of the view (objects are numbered from 1).
struct LabelledObject {
  std::uint8_t red, green, blue;
  std::uint8_t changed;          // the colour was edited and not yet written
  std::int32_t visible;          // "Display Object"
  std::int32_t visibleInOutput;  // the visibility last written to the output
};

// The most objects a labelled volume holds (labels are bytes).
inline constexpr int kMaxLabelledObjects = 255;

// Writes the objects' colours into `out` for the voxels of `in`'s VOI: k = 0 paints every
// object (a voxel of object u gets u's colour when u is visible, else black), k >= 1 only the
// voxels of object k; background voxels and, with k >= 1, voxels of other objects keep their
// output samples. Voxels whose label is above n belong to no object of the table and are left
// as they are. Checks, all before the first write: `in` UC one channel and `out` UC three
// channels (CheckVolume's code), `out` smaller than `in` on any axis (-520), a null table
// (-4), n outside 1..255 or k outside 0..n (-90).
int paintLabelledOutput(Volume* in, Volume* out, int n, const LabelledObject* table, int k);

// The default colours of n objects (1..255) into table[0..n-1]: one object is white;
// otherwise every object gets a distinct colour of a grid of 2^c levels per channel (c the
// smallest integer with 8^c >= n), all levels in the upper half of 0..255, spread evenly
// over the grid from white down. Every object starts visible and unchanged.
void defaultLabelColours(LabelledObject* table, int n);
// The grid's levels per channel for n objects, and the level values from the top down.
int colourGridLevels(int n);
std::vector<int> colourGridValues(int n);

// What a colour scroll bar asked for.
enum class ScrollAction { LineDown, LineUp, PageDown, PageUp, Top, Bottom, Thumb };
// The component after a scroll bar action: lines step by 1 within 0..255; page down takes a
// value of 128 or more down by 88 and a smaller one to 0; page up takes a value of 128 or more
// to 255 and a smaller one up by 88; top is 0, bottom 255, the thumb sets `thumb`.
int scrolledComponent(int value, ScrollAction action, int thumb = 0);

// The presenter of the labelled volume view (dialog 122). One view at a time: constructing one
// marks the view open, destroying it marks it closed.
class LabelledView {
 public:
  // The dialog's controls.
  enum Control : int {
    kCtlObjectsLabel = 1207,
    kCtlObjects = 1208,
    kCtlDisplayObject = 1209,
    kCtlRedEdit = 1210,
    kCtlRedBar = 1211,
    kCtlGreenEdit = 1212,
    kCtlGreenBar = 1213,
    kCtlBlueEdit = 1214,
    kCtlBlueBar = 1215,
    kCtlUpdateCurrent = 1216,
    kCtlUpdateAll = 1217,
    kCtlClose = 1218,
    kCtlPreview = 1219,
  };

  LabelledView(int inputSlot, int outputSlot, int objects);
  ~LabelledView();
  LabelledView(const LabelledView&) = delete;
  LabelledView& operator=(const LabelledView&) = delete;

  // Whether a labelled view exists now.
  static bool isOpen();

  // The opening: the object table (-9 when memory is short), default colours, the output cleared to
  // black and every object painted, the output's displays repainted. Returns the failing code
  // (nothing is reported here) or 0.
  int open();

  int objects() const { return n_; }
  int inputSlot() const { return inputSlot_; }
  int outputSlot() const { return outputSlot_; }
  // The list line of object k: "Object k".
  static std::string itemText(int k);

  // The current object, 1..objects(); selecting shows its visibility and colour.
  int current() const { return current_; }
  void select(int object);
  const LabelledObject& object(int k) const { return table_[static_cast<std::size_t>(k - 1)]; }
  const LabelledObject* table() const { return table_.get(); }

  // "Display Object" for the current object.
  bool visible() const { return object(current_).visible != 0; }
  void setVisible(bool on);
  // The current object's component 0 (red), 1 (green) or 2 (blue).
  int component(int channel) const;
  void setComponent(int channel, int value);
  void scroll(int channel, ScrollAction action, int thumb = 0);
  // Text typed into a colour edit: a whole number 0..255 becomes the component; anything else
  // is refused (false: the view beeps and shows component() again).
  bool typed(int channel, const std::string& text);

  // Whether anything, or the current object, differs from what the output holds.
  bool updateAllEnabled() const;
  bool updateCurrentEnabled() const;
  // "Update Current" and "Update All": the output must still be a UC three-channel volume at
  // least as large as the input (else 3130 is reported and nothing written); a paint failure
  // is reported too. True when the output was written.
  bool updateCurrent();
  bool updateAll();

  // "Close" or closing the dialog: when something is not yet written, asks "Update output
  // volume before closing?" (Yes writes everything first; a failure is reported and the view
  // still closes; Cancel keeps it). True when the dialog may go.
  bool requestClose();

 private:
  bool dirty(const LabelledObject& o) const;
  bool update(int k);
  LabelledObject& currentObject() { return table_[static_cast<std::size_t>(current_ - 1)]; }

  int inputSlot_, outputSlot_, n_;
  int current_ = 1;
  ScratchArray<LabelledObject> table_;
};

// "&View Labelled Volume": the input and output dialogs, the checks, then the view handed to
// the desk.
void runViewLabelled(Desk& desk);

}  // namespace v3d::shell
