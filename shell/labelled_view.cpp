// The labelled volume view: painting objects into the colour output, the default colour
// grid, the colour scroll bars' page rule and the dialog's presenter.
#include "shell/labelled_view.h"

#include <algorithm>
#include <string_view>

#include "core/basic_ops.h"
#include "core/messages.h"
#include "core/report.h"
#include "core/result_codes.h"
#include "core/samples.h"
#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_run.h"
#include "shell/desk.h"
#include "shell/dialogs.h"

namespace v3d::shell {
namespace {

int g_openViews = 0;

// The busy cursor for the time of an update, through the installed desk.
class BusyCursor {
 public:
  BusyCursor() : desk_(desk()) {
    if (desk_) desk_->setBusy(true);
  }
  ~BusyCursor() {
    if (desk_) desk_->setBusy(false);
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Desk* desk_;
};

void repaintDisplays(Volume* v) {
  if (Desk* d = desk()) d->refreshVolume(v);
}

std::uint8_t& channelOf(LabelledObject& o, int channel) {
  return channel == 0 ? o.red : channel == 1 ? o.green : o.blue;
}

// The checks of paintLabelledOutput, in its order.
int checkPaint(Volume* in, Volume* out, int n, const LabelledObject* table, int k) {
  if (int code = CheckVolume(in, V3D_UC, V3D_ONE_CHANNEL); code != 0) return code;
  if (int code = CheckVolume(out, V3D_UC, V3D_THREE_CHANNELS); code != 0) return code;
  if (out->Z < in->Z || out->Y < in->Y || out->X < in->X) return kInvalidOutputDimensions;
  if (table == nullptr) return kNullBasicTypePointer;
  if (n < 1 || n > kMaxLabelledObjects || k < 0 || k > n) return kInvalidParameters;
  return 0;
}

}  // namespace

int paintLabelledOutput(Volume* in, Volume* out, int n, const LabelledObject* table, int k) {
  if (int code = checkPaint(in, out, n, table, k); code != 0) return code;

  UC*** labels = channelData<UC>(*in, 0);
  UC*** red = channelData<UC>(*out, 0);
  UC*** green = channelData<UC>(*out, 1);
  UC*** blue = channelData<UC>(*out, 2);
  for (int z = in->voiZ0; z < in->voiZ1; ++z)
    for (int y = in->voiY0; y < in->voiY1; ++y) {
      const UC* row = labels[z][y];
      for (int x = in->voiX0; x < in->voiX1; ++x) {
        const int u = row[x];
        // The background, labels of no object in the table, and in single-object mode every
        // other object keep what the output holds.
        if (u == 0 || u > n || (k != 0 && u != k)) continue;
        const LabelledObject& o = table[u - 1];
        red[z][y][x] = o.visible ? o.red : 0;
        green[z][y][x] = o.visible ? o.green : 0;
        blue[z][y][x] = o.visible ? o.blue : 0;
      }
    }
  return 0;
}

int colourGridLevels(int n) {
  int levels = 1;
  for (long cells = 1; cells < n; cells *= 8) levels *= 2;
  return levels;
}

std::vector<int> colourGridValues(int n) {
  // Evenly from 255 down to 128: the upper half of the intensity range, so that every object
  // stands out from the black background and from hidden objects.
  const int levels = colourGridLevels(n);
  std::vector<int> values(static_cast<std::size_t>(levels), 255);
  for (int i = 1; i < levels; ++i)
    values[static_cast<std::size_t>(i)] = 255 - (127 * i) / (levels - 1);
  return values;
}

void defaultLabelColours(LabelledObject* table, int n) {
  if (table == nullptr || n < 1 || n > kMaxLabelledObjects) return;
  const std::vector<int> values = colourGridValues(n);
  const long levels = static_cast<long>(values.size());
  const long cells = levels * levels * levels;  // at least n
  for (int m = 0; m < n; ++m) {
    // Objects are spread over the whole grid (distinct cells since cells >= n); cell 0 is
    // white, so a single object is white.
    const long cell = m * cells / n;
    LabelledObject& o = table[m];
    o.red = static_cast<std::uint8_t>(values[static_cast<std::size_t>(cell / (levels * levels))]);
    o.green = static_cast<std::uint8_t>(values[static_cast<std::size_t>((cell / levels) % levels)]);
    o.blue = static_cast<std::uint8_t>(values[static_cast<std::size_t>(cell % levels)]);
    o.changed = 0;
    o.visible = 1;
    o.visibleInOutput = 1;
  }
}

int scrolledComponent(int value, ScrollAction action, int thumb) {
  switch (action) {
    case ScrollAction::LineDown:
      return std::max(value - 1, 0);
    case ScrollAction::LineUp:
      return std::min(value + 1, 255);
    case ScrollAction::PageDown:
      return value >= 128 ? value - 88 : 0;
    case ScrollAction::PageUp:
      return value >= 128 ? 255 : value + 88;
    case ScrollAction::Top:
      return 0;
    case ScrollAction::Bottom:
      return 255;
    case ScrollAction::Thumb:
      return std::clamp(thumb, 0, 255);
  }
  return value;
}

// ---- The presenter --------------------------------------------------------------------------

LabelledView::LabelledView(int inputSlot, int outputSlot, int objects)
    : inputSlot_(inputSlot), outputSlot_(outputSlot), n_(objects) {
  ++g_openViews;
}

LabelledView::~LabelledView() {
  --g_openViews;
}

bool LabelledView::isOpen() {
  return g_openViews > 0;
}

std::string LabelledView::itemText(int k) {
  return std::string(text(kTextObjectItem)) + std::to_string(k);
}

int LabelledView::open() {
  if (n_ < 1 || n_ > kMaxLabelledObjects) return kInvalidParameters;
  table_ = ScratchArray<LabelledObject>(static_cast<std::size_t>(n_));
  if (!table_) return kCannotAllocateBuffer;
  defaultLabelColours(table_.get(), n_);
  current_ = 1;
  const BusyCursor busy;
  Volume* in = volumeSlot(inputSlot_);
  Volume* out = volumeSlot(outputSlot_);
  // The paint's checks run before the output is cleared, so a failure leaves it as it was.
  if (int code = checkPaint(in, out, n_, table_.get(), 0); code != 0) return code;
  float black[3] = {0, 0, 0};
  if (int code = ClearVolume(out, black); code != 0) return code;
  if (int code = paintLabelledOutput(in, out, n_, table_.get(), 0); code != 0) return code;
  repaintDisplays(out);
  return 0;
}

void LabelledView::select(int object) {
  if (object >= 1 && object <= n_) current_ = object;
}

void LabelledView::setVisible(bool on) {
  if (!table_) return;
  currentObject().visible = on ? 1 : 0;
}

int LabelledView::component(int channel) const {
  if (!table_ || channel < 0 || channel > 2) return 0;
  const LabelledObject& o = object(current_);
  return channel == 0 ? o.red : channel == 1 ? o.green : o.blue;
}

void LabelledView::setComponent(int channel, int value) {
  if (!table_ || channel < 0 || channel > 2) return;
  LabelledObject& o = currentObject();
  const auto v = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
  if (channelOf(o, channel) == v) return;
  channelOf(o, channel) = v;
  o.changed = 1;
}

void LabelledView::scroll(int channel, ScrollAction action, int thumb) {
  setComponent(channel, scrolledComponent(component(channel), action, thumb));
}

bool LabelledView::typed(int channel, const std::string& text) {
  int value = 0;
  if (text.size() > 3 || !parseInt(text, value) || value < 0 || value > 255) return false;
  setComponent(channel, value);
  return true;
}

bool LabelledView::dirty(const LabelledObject& o) const {
  return o.changed != 0 || o.visible != o.visibleInOutput;
}

bool LabelledView::updateAllEnabled() const {
  if (!table_) return false;
  for (int k = 1; k <= n_; ++k)
    if (dirty(object(k))) return true;
  return false;
}

bool LabelledView::updateCurrentEnabled() const {
  return table_ && dirty(object(current_));
}

bool LabelledView::update(int k) {
  if (!table_) return false;
  const BusyCursor busy;
  Volume* in = volumeSlot(inputSlot_);
  Volume* out = volumeSlot(outputSlot_);
  // The output may have been destroyed, reallocated or replaced since the view opened.
  if (in == nullptr || out == nullptr || out->dataType != V3D_UC ||
      out->colorType == V3D_ONE_CHANNEL || out->Z < in->Z || out->Y < in->Y || out->X < in->X) {
    error_handler(kTextOutputModified);
    return false;
  }
  if (int code = paintLabelledOutput(in, out, n_, table_.get(), k); code != 0) {
    error_handler(code);
    return false;
  }
  const int from = k == 0 ? 1 : k, to = k == 0 ? n_ : k;
  for (int j = from; j <= to; ++j) {
    LabelledObject& o = table_[static_cast<std::size_t>(j - 1)];
    o.changed = 0;
    o.visibleInOutput = o.visible;
  }
  repaintDisplays(out);
  return true;
}

bool LabelledView::updateCurrent() {
  return update(current_);
}

bool LabelledView::updateAll() {
  return update(0);
}

bool LabelledView::requestClose() {
  if (!updateAllEnabled()) return true;
  switch (reporter().showMessage(nullptr, text(kTextUpdateBeforeClosing), kCaption,
                                 MessageIcon::Question, MessageButtons::YesNoCancel)) {
    case kAnswerYes:
      updateAll();  // a failure has been reported; the view closes all the same
      return true;
    case kAnswerNo:
      return true;
    default:
      return false;
  }
}

// ---- The command ------------------------------------------------------------------------------

void runViewLabelled(Desk& desk) {
  if (LabelledView::isOpen()) {
    error_handler(kTextLabelledViewRunning);
    return;
  }
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectLabelledVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  const int X = r.in->X, Y = r.in->Y, Z = r.in->Z;
  if (!r.askOutput(kTitleSelectOutputVolume, X, Y, Z)) return;
  if (r.refuseSameOutput()) return;
  // The labels are counted before the output is made or reallocated, so that an input without
  // objects changes nothing.
  int minimum = 0, maximum = 0;
  if (int code = FindMinMaxIntensity(r.in, &minimum, &maximum); code != 0) {
    error_handler(code);
    return;
  }
  if (maximum <= 0) {
    error_handler(kTextNoRegionLabels);
    return;
  }
  if (!r.prepareOutput(V3D_UC, V3D_THREE_CHANNELS, X, Y, Z)) return;
  auto view = std::make_unique<LabelledView>(r.inIndex, GetVolumeIndex(r.out),
                                             std::min(maximum, kMaxLabelledObjects));
  if (int code = view->open(); code != 0) {
    r.fail(code);
    return;
  }
  if (!desk.openLabelledView(std::move(view))) {
    r.fail(kGenericError);
    return;
  }
  showInformation(std::string(text(kTextLabelledViewHint)));
  desk.focusLabelledView();
}

}  // namespace v3d::shell
