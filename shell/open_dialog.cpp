#include "shell/open_dialog.h"

#include "core/text_ids.h"
#include "shell/dialogs.h"
#include "shell/sequence_guess.h"

namespace v3d::shell {
namespace {
const OpenKind kKinds[kOpenKinds] = {
    {kFilterTiff, "*.tif;*.tiff", "tif"},
    {kFilterBmp, "*.bmp", "bmp"},
    {kFilterTga, "*.tga", "tga"},
    {kFilterGif, "*.gif", "gif"},
    {kFilterJpeg, "*.jpg;*.jpeg;*.jpe", "jpg"},
    {kFilterRaw, "*.raw;*.r;*.g;*.b", "raw"},
    {kFilterRawVolume, "*.rv;*.vol", ""},
};
}  // namespace

const OpenKind& openKind(int kind) {
  return kKinds[(kind >= kOpenTiff && kind <= kOpenKinds ? kind : kOpenTiff) - kOpenTiff];
}

OpenDialog::OpenDialog() {
  applyStates();
}

void OpenDialog::setKind(int kind) {
  kind_ = kind >= kOpenTiff && kind <= kOpenKinds ? kind : kOpenTiff;
  applyStates();
}

void OpenDialog::setColorRow(int row) {
  colorRow_ = row == 1 ? 1 : 0;
  applyStates();
}

int OpenDialog::fileNameLabel() const {
  return kind_ == kOpenRawVolume ? kLabelFileName : kLabelFileNameBase;
}

void OpenDialog::applyStates() {
  if (isImageSequence(kind_)) {
    typeRow_ = 0;  // image sequences are UC
    extensions = {openKind(kind_).extension, "", ""};
  } else if (kind_ == kOpenRawFrames) {
    extensions = colorRow_ == 1 ? std::array<std::string, 3>{"r", "g", "b"}
                                : std::array<std::string, 3>{"raw", "", ""};
  } else {
    extensions = {"", "", ""};
  }
}

std::string baseNameOf(const std::string& name) {
  if (name.find_first_of("*?") != std::string::npos) return name;
  const std::size_t slash = name.find_last_of('/');
  const std::size_t leaf = slash == std::string::npos ? 0 : slash + 1;
  std::size_t dot = name.find('.', leaf);
  if (dot == std::string::npos) dot = name.size();
  std::size_t cut = dot;
  while (cut > leaf && name[cut - 1] >= '0' && name[cut - 1] <= '9') --cut;
  return name.substr(0, cut);
}

void OpenDialog::fileSelected(const std::string& name) {
  fileName = kind_ == kOpenRawVolume ? name : baseNameOf(name);
}

bool OpenDialog::fileClicked(const std::string& name, const std::vector<std::string>& folder) {
  fileSelected(name);
  if (kind_ == kOpenRawVolume) return false;
  const std::size_t slash = name.find_last_of('/');
  const auto guess =
      guessSequence(slash == std::string::npos ? name : name.substr(slash + 1), folder);
  if (!guess) return false;
  lower = std::to_string(guess->lower);
  upper = std::to_string(guess->upper);
  digits = std::to_string(guess->digits);
  return true;
}

bool OpenDialog::accept() {
  int lo = 0, hi = 0;
  if (!parseInt(lower, lo) || !parseInt(upper, hi) || hi < lo) return false;
  int w = 0, h = 0;
  if (!isImageSequence(kind_) && (!parseInt(width, w) || !parseInt(height, h) || w <= 0 || h <= 0))
    return false;
  if (fileName.empty() || fileName.find_first_of("*?") != std::string::npos) return false;
  int d = 0;
  if (digitsEnabled() && !digits.empty() && !parseInt(digits, d)) return false;
  lowerFrame = lo;
  upperFrame = hi;
  frames =
      static_cast<int>(static_cast<long long>(hi) - lo + 1 > 0x7fffffff ? 0x7fffffff : hi - lo + 1);
  columns = w;
  rows = h;
  digitCount = d < 0 ? 0 : d;
  static const int types[3] = {V3D_UC, V3D_F, V3D_I};
  dataType = types[typeRow_ >= 0 && typeRow_ < 3 ? typeRow_ : 0];
  colorType = colorRow_ == 1 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
  for (auto& e : extensions)
    if (e.size() > 9) e.resize(9);
  baseName = fileName;
  return true;
}

}  // namespace v3d::shell
