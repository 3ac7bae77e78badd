#include "shell/dialogs.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "core/messages.h"
#include "core/strings.h"
#include "core/text_ids.h"

namespace v3d::shell {
namespace {

bool blank(char c) {
  return c == ' ' || c == '\t';
}

// Text of a record's data type and colour type as the panels show them; empty when unknown.
std::string typeText(int dataType) {
  switch (dataType) {
    case V3D_UC:
      return std::string(text(kTextTypeUC));
    case V3D_F:
      return std::string(text(kTextTypeF));
    case V3D_I:
      return std::string(text(kTextTypeI));
    default:
      return {};
  }
}
std::string colorText(int colorType) {
  switch (colorType) {
    case V3D_ONE_CHANNEL:
      return std::string(text(kTextOneChannel));
    case V3D_THREE_CHANNELS:
      return std::string(text(kTextThreeChannels));
    default:
      return {};
  }
}

void storeInformation(Volume* v, const std::string& info) {
  if (v == nullptr) return;
  const std::size_t n = std::min(info.size(), sizeof v->information - 1);
  std::memcpy(v->information, info.data(), n);
  v->information[n] = '\0';
}

bool voiValid(const Volume& v, const std::array<int, 6>& b) {
  return b[0] >= 0 && b[0] < b[1] && b[1] <= v.Z && b[2] >= 0 && b[2] < b[3] && b[3] <= v.Y &&
         b[4] >= 0 && b[4] < b[5] && b[5] <= v.X;
}

DialogExchange g_exchange;

}  // namespace

bool parseInt(const std::string& s, int& value) {
  const char* p = s.c_str();
  while (blank(*p)) ++p;
  if (*p == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(p, &end, 10);
  if (end == p || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
  while (blank(*end)) ++end;
  if (*end != '\0') return false;
  value = static_cast<int>(v);
  return true;
}

bool parseFloat(const std::string& s, float& value) {
  const char* p = s.c_str();
  while (blank(*p)) ++p;
  if (*p == '\0') return false;
  char* end = nullptr;
  errno = 0;
  const float v = std::strtof(p, &end);
  if (end == p || errno == ERANGE || !std::isfinite(v)) return false;
  while (blank(*end)) ++end;
  if (*end != '\0') return false;
  value = v;
  return true;
}

DialogExchange& exchange() {
  return g_exchange;
}

VolumeDialog::VolumeDialog(VolumeDialogKind k) : kind(k) {}

VolumeDialog::VolumeDialog(VolumeDialogKind k, std::string caption, int types, int colors)
    : kind(k), title(std::move(caption)), typeMask(types), colorMask(colors) {}

void VolumeDialog::suggest(int X, int Y, int Z) {
  suggestedX = X;
  suggestedY = Y;
  suggestedZ = Z;
}

const std::vector<std::string>& VolumeDialog::createTypeTexts() {
  static const std::vector<std::string> t = {
      std::string(text(kTextTypeUC)), std::string(text(kTextTypeF)), std::string(text(kTextTypeI))};
  return t;
}
const std::vector<std::string>& VolumeDialog::createColorTexts() {
  static const std::vector<std::string> t = {std::string(text(kTextOneChannel)),
                                             std::string(text(kTextThreeChannels))};
  return t;
}

void VolumeDialog::open() {
  entries_.clear();
  selected_ = -1;
  fieldX = fieldY = fieldZ = dataTypeText = colorTypeText = information = "";
  voi.fill("");
  changeVoi = false;
  switch (kind) {
    case VolumeDialogKind::Input:
    case VolumeDialogKind::Destroy:
      entries_ = listVolumes(typeMask, colorMask, true);
      break;
    case VolumeDialogKind::Choice:
      for (const auto& e : listVolumes(typeMask, colorMask, true))
        if (e.index != excludedA && e.index != excludedB) entries_.push_back(e);
      break;
    case VolumeDialogKind::OpenTarget:
      entries_ = listVolumes(typeMask, colorMask, false);
      break;
    case VolumeDialogKind::Output: {
      const bool noSize = suggestedX == 0 && suggestedY == 0 && suggestedZ == 0;
      entries_ = listVolumes(typeMask, colorMask, noNewEntry || noSize);
      break;
    }
    case VolumeDialogKind::Create:
      for (int i = 0; i < kTableSlots; ++i)
        if (volumeSlot(i)->dataType == 0) entries_.push_back({std::to_string(i), i, false});
      break;
    case VolumeDialogKind::Voi:
    case VolumeDialogKind::State:
      entries_ = listVolumes(V3D_ANY_TYPE, V3D_ANY_COLOR, true);
      break;
  }
}

void VolumeDialog::select(int row) {
  if (row < 0 || row >= static_cast<int>(entries_.size())) return;
  selected_ = row;
  fillPanel();
}

bool VolumeDialog::selectLabel(const std::string& label) {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].label == label) {
      select(static_cast<int>(i));
      return true;
    }
  return false;
}

void VolumeDialog::fillPanel() {
  const VolumeListEntry& e = entries_[static_cast<std::size_t>(selected_)];
  if (e.isNew) {
    fieldX = std::to_string(suggestedX);
    fieldY = std::to_string(suggestedY);
    fieldZ = std::to_string(suggestedZ);
    dataTypeText = kind == VolumeDialogKind::OpenTarget ? typeText(fileDataType) : "";
    colorTypeText = kind == VolumeDialogKind::OpenTarget ? colorText(fileColorType) : "";
    information.clear();
    return;
  }
  if (kind == VolumeDialogKind::Create) return;  // a free slot has nothing to show
  const Volume& v = *volumeSlot(e.index);
  fieldX = std::to_string(v.X);
  fieldY = std::to_string(v.Y);
  fieldZ = std::to_string(v.Z);
  dataTypeText = typeText(v.dataType);
  colorTypeText = colorText(v.colorType);
  information = v.information;
  voi = {std::to_string(v.voiZ0), std::to_string(v.voiZ1), std::to_string(v.voiY0),
         std::to_string(v.voiY1), std::to_string(v.voiX0), std::to_string(v.voiX1)};
}

bool VolumeDialog::dimensionsEditable() const {
  if (kind == VolumeDialogKind::Create) return true;
  return kind == VolumeDialogKind::Output && selected_ >= 0 &&
         entries_[static_cast<std::size_t>(selected_)].isNew;
}

bool VolumeDialog::voiEditable() const {
  return kind == VolumeDialogKind::Voi || (kind == VolumeDialogKind::Input && changeVoi);
}

bool VolumeDialog::showsVoi() const {
  return kind == VolumeDialogKind::Voi || kind == VolumeDialogKind::Input;
}

bool VolumeDialog::informationFieldEditable() const {
  switch (kind) {
    case VolumeDialogKind::Input:
    case VolumeDialogKind::Choice:
      return informationEditable;
    case VolumeDialogKind::Output:
    case VolumeDialogKind::OpenTarget:
    case VolumeDialogKind::Create:
      return true;
    default:
      return false;
  }
}

bool VolumeDialog::readVoi(const Volume& v, std::array<int, 6>& out) const {
  for (int i = 0; i < 6; ++i)
    if (!parseInt(voi[static_cast<std::size_t>(i)], out[static_cast<std::size_t>(i)])) return false;
  return voiValid(v, out);
}

bool VolumeDialog::accept() {
  if (kind == VolumeDialogKind::State || kind == VolumeDialogKind::Destroy) return true;
  if (!okEnabled()) return false;
  const VolumeListEntry& e = entries_[static_cast<std::size_t>(selected_)];
  Volume* slot = volumeSlot(e.index);
  chosenIndex = e.index;
  chosenNew = e.isNew;
  chosenVolume = e.isNew ? nullptr : slot;

  switch (kind) {
    case VolumeDialogKind::Input: {
      storeInformation(slot, information);
      std::array<int, 6> b{};
      if (!readVoi(*slot, b)) {
        error_handler(kBadVoi);
        return false;
      }
      fill_in_VOI(slot, b[0], b[1], b[2], b[3], b[4], b[5]);
      tableChoices().lastInput = e.index;
      break;
    }
    case VolumeDialogKind::Choice:
      storeInformation(slot, information);
      break;
    case VolumeDialogKind::Output:
    case VolumeDialogKind::OpenTarget:
      // A dimension that does not parse reads as 0; creating the volume then reports it.
      if (!parseInt(fieldX, resultX)) resultX = 0;
      if (!parseInt(fieldY, resultY)) resultY = 0;
      if (!parseInt(fieldZ, resultZ)) resultZ = 0;
      storeInformation(slot, information);
      tableChoices().lastOutput = e.index;
      break;
    case VolumeDialogKind::Create: {
      if (!parseInt(fieldX, resultX) || !parseInt(fieldY, resultY) || !parseInt(fieldZ, resultZ) ||
          resultX <= 0 || resultY <= 0 || resultZ <= 0) {
        error_handler(kInvalidParameters);
        return false;
      }
      const std::string& t = createTypeTexts()[static_cast<std::size_t>(createTypeRow)];
      resultDataType = t.rfind('F', 0) == 0 ? V3D_F : t.rfind('I', 0) == 0 ? V3D_I : V3D_UC;
      const std::string& c = createColorTexts()[static_cast<std::size_t>(createColorRow)];
      resultColorType = c.rfind('3', 0) == 0 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
      storeInformation(slot, information);
      break;
    }
    case VolumeDialogKind::Voi:
      if (!readVoi(*slot, resultVoi)) {
        error_handler(kBadVoi);
        return false;
      }
      break;
    default:
      break;
  }

  DialogExchange& x = exchange();
  x.chosenVolume = chosenVolume;
  x.chosenIndex = chosenIndex;
  x.chosenNew = chosenNew;
  if (kind == VolumeDialogKind::Choice && (excludedA >= 0 || excludedB >= 0))
    x.secondSelectedText = e.label;
  else
    x.selectedText = e.label;
  x.dialogX = resultX;
  x.dialogY = resultY;
  x.dialogZ = resultZ;
  return true;
}

void VolumeDialog::destroySelected() {
  if (!destroyEnabled()) return;
  Volume* v = volumeSlot(entries_[static_cast<std::size_t>(selected_)].index);
  closeVolumeWindows(v);
  DestroyVolume(v);
  entries_.erase(entries_.begin() + selected_);
  if (entries_.empty()) {
    selected_ = -1;
    return;
  }
  if (selected_ >= static_cast<int>(entries_.size()))
    selected_ = static_cast<int>(entries_.size()) - 1;
  fillPanel();
}

ValueDialog::ValueDialog(int fieldCount) : fields(std::clamp(fieldCount, 1, 4)) {}

void ValueDialog::accept() {
  for (std::string& t : texts)
    if (t.size() > kMaxText) t.resize(kMaxText);
}

DisplayLevelsDialog::DisplayLevelsDialog(int frames) : upper(std::to_string(frames - 1)) {}

bool DisplayLevelsDialog::accept() {
  int lo = 0, hi = 0;
  const bool framesOk = parseInt(lower, lo) && parseInt(upper, hi);
  const bool delayChars =
      !delay.empty() && delay.find_first_not_of("0123456789.") == std::string::npos;
  if (!delayChars) {
    error_handler(kInvalidParameters);
    return false;
  }
  float d = 0.0f;
  if (!framesOk || !parseFloat(delay, d) || lo < 0 || lo > hi) {
    error_handler(kInvalidParameters);
    return false;
  }
  lowerFrame = lo;
  upperFrame = hi;
  delaySeconds = d;
  return true;
}

InterpolationDialog::InterpolationDialog(bool frameInterpolation) : frameMode(frameInterpolation) {
  if (frameMode) {
    factorX.assign(1, '1');
    factorY.assign(1, '1');
  }
}

bool InterpolationDialog::accept() {
  if (extractFromOutput) return true;
  if (!parseFloat(factorX.substr(0, 9), x) || !parseFloat(factorY.substr(0, 9), y) ||
      !parseFloat(factorZ.substr(0, 9), z)) {
    error_handler(kInvalidParameters);
    return false;
  }
  return true;
}

bool FrameGalleryDialog::accept() {
  float f = 0.0f;
  if (!parseFloat(framesPerRow, f) || !(f >= 1.0f) || f > 1.0e6f || f != std::floor(f)) {
    error_handler(kInvalidParameters);
    return false;
  }
  frames = static_cast<int>(f);
  return true;
}

AlignmentDialog::AlignmentDialog(int frameCount)
    : frames(frameCount), upper(std::to_string(frameCount - 1)) {}

bool AlignmentDialog::accept() {
  int lo = 0, hi = 0;
  if (!parseInt(lower, lo) || !parseInt(upper, hi)) {
    error_handler(kInvalidParameters);
    return false;
  }
  if (lo == hi) {
    error_handler(kTextTwoFramesNeeded);
    return false;
  }
  if (!(0 <= lo && lo < hi && hi < frames)) {
    error_handler(kInvalidParameters);
    return false;
  }
  lowerFrame = lo;
  upperFrame = hi;
  return true;
}

int labelSeed(Volume* input, Volume* output, int x, int y, int z, int count) {
  // Either volume may have been destroyed or reallocated while the seeds were clicked.
  if (CheckVolume(input, V3D_ANY_TYPE, V3D_ANY_COLOR) != 0 ||
      CheckVolume(output, V3D_UC, V3D_ONE_CHANNEL) != 0)
    return count;
  const Volume& in = *input;
  if (x < in.voiX0 || x >= in.voiX1 || y < in.voiY0 || y >= in.voiY1 || z < in.voiZ0 ||
      z >= in.voiZ1)
    return count;
  if (z >= output->Z || y >= output->Y || x >= output->X) return count;
  ++count;
  static_cast<unsigned char***>(output->channel[0])[z][y][x] =
      static_cast<unsigned char>(count & 0xFF);
  return count;
}

}  // namespace v3d::shell
