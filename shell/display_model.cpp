#include "shell/display_model.h"

#include <algorithm>
#include <cstdio>

#include "core/samples.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/pixels.h"

namespace v3d::shell {

namespace {
// The window background beyond the frame.
constexpr std::uint32_t kBackground = rgbPixel(0xD4, 0xD0, 0xC8);
}  // namespace

DisplayModel::DisplayModel(Volume* volume, bool colour, int lower, int upper, float delaySeconds)
    : volume_(volume), colour_(colour), lower_(lower), upper_(upper), current_(lower),
      delay_(delaySeconds) {}

std::string DisplayModel::title() const {
  char t[96];
  std::snprintf(t, sizeof t, std::string(text(kFormatVolumeTitle)).c_str(),
                static_cast<unsigned>(GetVolumeIndex(volume_)),
                static_cast<unsigned>(lower_), static_cast<unsigned>(upper_),
                static_cast<unsigned>(current_));
  return t;
}

bool DisplayModel::next() {
  if (current_ >= upper_) return false;
  ++current_;
  return true;
}

bool DisplayModel::previous() {
  if (current_ <= lower_) return false;
  --current_;
  return true;
}

void DisplayModel::setCurrent(int frame) { current_ = std::clamp(frame, lower_, upper_); }

bool DisplayModel::zoomIn() {
  if (divisor_ == 1) return false;
  divisor_ /= 2;
  scrollX_ = scrollY_ = 0;
  return true;
}

bool DisplayModel::zoomOut() {
  if (magnification_ > 1) {
    magnification_ /= 2;
    scrollX_ = scrollY_ = 0;
    return true;
  }
  if (divisor_ == kMaxZoomDivisor) return false;
  divisor_ *= 2;
  scrollX_ = scrollY_ = 0;
  return true;
}

bool DisplayModel::setMagnification(int m) {
  if (m < 1 || m > kMaxMagnification || (m == magnification_ && divisor_ == 1)) return false;
  magnification_ = m;
  divisor_ = 1;
  scrollX_ = scrollY_ = 0;
  return true;
}

bool DisplayModel::stepCloser() {
  if (divisor_ > 1) return zoomIn();
  return setMagnification(std::min(kMaxMagnification, magnification_ * 2));
}

int DisplayModel::shownWidth() const {
  return (volume_->X + divisor_ - 1) / divisor_ * magnification_;
}
int DisplayModel::shownHeight() const {
  return (volume_->Y + divisor_ - 1) / divisor_ * magnification_;
}

void DisplayModel::fit(int screenWidth, int screenHeight, int& paneWidth, int& paneHeight) const {
  paneWidth = std::max(1, std::min(shownWidth(), screenWidth));
  paneHeight = std::max(1, std::min(shownHeight(), screenHeight - kButtonBarHeight));
}

void DisplayModel::setScroll(int x, int y, int paneWidth, int paneHeight) {
  scrollX_ = std::clamp(x, 0, std::max(0, shownWidth() - paneWidth));
  scrollY_ = std::clamp(y, 0, std::max(0, shownHeight() - paneHeight));
}

std::optional<Voxel> DisplayModel::voxelAt(int px, int py) const {
  if (px < 0 || py < 0) return std::nullopt;
  const long long x = (static_cast<long long>(px) + scrollX_) * divisor_ / magnification_;
  const long long y = (static_cast<long long>(py) + scrollY_) * divisor_ / magnification_;
  if (x >= volume_->X || y >= volume_->Y) return std::nullopt;
  return Voxel{static_cast<int>(x), static_cast<int>(y), current_};
}

void renderFrame(const Volume& v, int frame, bool colour, int divisor, int scrollX, int scrollY,
                 std::uint32_t* pixels, int paneWidth, int paneHeight) {
  const bool three = colour && channelCount(v) == 3;
  UC** r = channelData<UC>(v, 0)[frame];
  UC** g = three ? channelData<UC>(v, 1)[frame] : nullptr;
  UC** b = three ? channelData<UC>(v, 2)[frame] : nullptr;
  // Columns shown in the pane: the voxel columns (px + scrollX) * divisor below X.
  const long long firstX = static_cast<long long>(scrollX) * divisor;
  const int inside = firstX >= v.X ? 0
                                   : static_cast<int>(std::min<long long>(
                                         paneWidth, (v.X - firstX + divisor - 1) / divisor));
  for (int py = 0; py < paneHeight; ++py) {
    std::uint32_t* out = pixels + static_cast<std::size_t>(py) * paneWidth;
    const long long y = (static_cast<long long>(py) + scrollY) * divisor;
    if (y >= v.Y) {
      std::fill(out, out + paneWidth, kBackground);
      continue;
    }
    const UC* rr = r[y] + firstX;
    if (three) {
      const UC* gg = g[y] + firstX;
      const UC* bb = b[y] + firstX;
      for (int px = 0; px < inside; ++px) {
        const std::size_t k = static_cast<std::size_t>(px) * divisor;
        out[px] = rgbPixel(rr[k], gg[k], bb[k]);
      }
    } else if (divisor == 1) {
      for (int px = 0; px < inside; ++px) out[px] = greyPixel(rr[px]);
    } else {
      for (int px = 0; px < inside; ++px)
        out[px] = greyPixel(rr[static_cast<std::size_t>(px) * divisor]);
    }
    std::fill(out + inside, out + paneWidth, kBackground);
  }
}

namespace {
// A magnified picture: every voxel a block of m x m pixels, each row built once and repeated.
void renderMagnified(const Volume& v, int frame, bool colour, int m, int scrollX, int scrollY,
                     std::uint32_t* pixels, int paneWidth, int paneHeight) {
  const bool three = colour && channelCount(v) == 3;
  for (int py = 0; py < paneHeight; ++py) {
    std::uint32_t* out = pixels + static_cast<std::size_t>(py) * paneWidth;
    const long long y = (static_cast<long long>(py) + scrollY) / m;
    if (py > 0 && y == (static_cast<long long>(py) - 1 + scrollY) / m) {
      std::copy(out - paneWidth, out, out);  // the same voxel row as the pixel row above
      continue;
    }
    for (int px = 0; px < paneWidth; ++px) {
      const long long x = (static_cast<long long>(px) + scrollX) / m;
      if (y >= v.Y || x >= v.X) {
        out[px] = kBackground;
        continue;
      }
      const UC r = channelData<UC>(v, 0)[frame][y][x];
      out[px] = three ? rgbPixel(r, channelData<UC>(v, 1)[frame][y][x],
                                 channelData<UC>(v, 2)[frame][y][x])
                      : greyPixel(r);
    }
  }
}
}  // namespace

void DisplayModel::render(std::vector<std::uint32_t>& pixels, int paneWidth, int paneHeight) const {
  pixels.resize(static_cast<std::size_t>(paneWidth) * paneHeight);
  if (magnification_ > 1) {
    renderMagnified(*volume_, current_, colour_, magnification_, scrollX_, scrollY_, pixels.data(),
                    paneWidth, paneHeight);
    return;
  }
  renderFrame(*volume_, current_, colour_, divisor_, scrollX_, scrollY_, pixels.data(), paneWidth,
              paneHeight);
}

void DisplayModel::applyRubberBand(int ax, int ay, int bx, int by) const {
  auto toVoxel = [&](int p, int scroll, int limit) {
    const long long v =
        std::max<long long>(0, static_cast<long long>(p) + scroll) * divisor_ / magnification_;
    return static_cast<int>(std::min<long long>(v, limit - 1));
  };
  int x0 = toVoxel(ax, scrollX_, volume_->X), x1 = toVoxel(bx, scrollX_, volume_->X);
  int y0 = toVoxel(ay, scrollY_, volume_->Y), y1 = toVoxel(by, scrollY_, volume_->Y);
  if (x0 > x1) std::swap(x0, x1);
  if (y0 > y1) std::swap(y0, y1);
  fill_in_VOI(volume_, volume_->voiZ0, volume_->voiZ1, y0, y1 + 1, x0, x1 + 1);
}

}  // namespace v3d::shell
