// Contour chains of a segmented colour volume.
//
// Each VOI frame is copied into a work frame of packed colours (r | g << 8 | b << 16) with a
// one-pixel border of a value no colour can take, so "inside the VOI and of colour C" is one
// comparison and the volume itself is only read. Objects are found in raster order: a
// non-black pixel whose left neighbour is black starts a trace of its region's outer
// boundary (8-connected, clockwise search from the direction opposite the last move), and the
// region is then erased from the work frame, so a region yields at most one contour.
#include <cmath>
#include <cstdint>
#include <memory>
#include <new>
#include <unordered_map>

#include "shadeview/scripts/chain_files.h"

namespace v3d::shade {
namespace {

constexpr uint32_t kBorder = 0xFFFFFFFFu;  // outside the VOI: equal to no colour

// Direction codes 0..7: east, north-east, north, north-west, west, south-west, south,
// south-east, as (column, row) offsets.
constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};

class FrameTracer {
 public:
  FrameTracer(int width, int height, int minStep)
      : w_(width + 2), h_(height + 2), minStep_(minStep), work_(size_t(w_) * size_t(h_)) {
    for (int d = 0; d < 8; ++d) off_[d] = kDy[d] * w_ + kDx[d];
  }

  // Copies frame z of the VOI into the work frame.
  void load(const Volume& v, int z) {
    const auto* r = static_cast<uint8_t***>(v.channel[0])[z];
    const auto* g = static_cast<uint8_t***>(v.channel[1])[z];
    const auto* b = static_cast<uint8_t***>(v.channel[2])[z];
    std::fill(work_.begin(), work_.end(), kBorder);
    for (int y = v.voiY0; y < v.voiY1; ++y) {
      uint32_t* row = &work_[size_t(y - v.voiY0 + 1) * w_ + 1];
      for (int x = v.voiX0; x < v.voiX1; ++x)
        row[x - v.voiX0] = uint32_t(r[y][x]) | uint32_t(g[y][x]) << 8 | uint32_t(b[y][x]) << 16;
    }
  }

  // Scans the frame and writes a record per contour; returns 0 or a code.
  int scan(const Volume& v, std::FILE* file, ColourTable& colours,
           std::unordered_map<uint32_t, int>& objectOf) {
    for (int y = 1; y < h_ - 1; ++y)
      for (int x = 2; x < w_ - 1; ++x) {
        const size_t p = size_t(y) * w_ + x;
        if (work_[p] == 0 || work_[p - 1] != 0) continue;
        Chain c;
        const uint32_t colour = work_[p];
        const bool traced = trace(p, c);
        erase(p, colour);
        if (!traced) continue;
        auto [it, added] = objectOf.try_emplace(colour, static_cast<int>(colours.size()));
        if (added) colours.push_back(unpack(colour));
        c.object = it->second;
        c.colour = unpack(colour);
        c.startX += v.voiX0;
        c.startY += v.voiY0;
        c.centreX += v.voiX0;
        c.centreY += v.voiY0;
        if (!writeChain(file, c)) return kFwriteError;
      }
    return 0;
  }

 private:
  static Rgb unpack(uint32_t c) {
    return {int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)};
  }

  // Follows the boundary from p and thins it into `c` (start and centre relative to the
  // VOI). False when no contour is recorded.
  bool trace(size_t p, Chain& c) {
    const uint32_t colour = work_[p];
    bool neighbour = false;
    for (int d = 0; d < 8; ++d) neighbour |= work_[p + off_[d]] == colour;
    if (!neighbour) return false;

    // Every pixel on the path has its predecessor among its neighbours, so the search always
    // finds a move. A boundary visits each (pixel, direction) state at most once before it
    // returns, which bounds the walk even for shapes where it would not close.
    const size_t limit = 8 * work_.size() + 8;
    codes_.clear();
    size_t q = p;
    int d = 0;
    do {
      d = (d + 4) & 7;
      for (int k = 0; k < 8; ++k) {
        d = (d + 7) & 7;
        if (work_[q + off_[d]] == colour) break;
      }
      codes_.push_back(static_cast<uint8_t>(d));
      q += off_[d];
    } while (q != p && codes_.size() < limit);

    // Thinning: a step whenever the summed offsets reach minStep in squared length.
    int sx = 0, sy = 0;
    for (uint8_t code : codes_) {
      sx += kDx[code];
      sy += kDy[code];
      if (sx * sx + sy * sy >= minStep_) {
        c.steps.push_back(static_cast<int8_t>(sx));
        c.steps.push_back(static_cast<int8_t>(sy));
        sx = sy = 0;
      }
    }
    const int n = c.n();
    if (n < 2) return false;

    const int x0 = static_cast<int>(p % w_) - 1, y0 = static_cast<int>(p / w_) - 1;
    int64_t sumX = 0, sumY = 0;
    for (int k = 0, x = x0, y = y0; k < n; ++k) {
      x += c.steps[2 * k];
      y += c.steps[2 * k + 1];
      sumX += x;
      sumY += y;
    }
    c.centreX = static_cast<int32_t>(sumX / n);
    c.centreY = static_cast<int32_t>(sumY / n);
    double radius = 0;
    for (int k = 0, x = x0, y = y0; k < n; ++k) {
      const double dx = x - c.centreX, dy = y - c.centreY;
      radius += std::sqrt(dx * dx + dy * dy);
      x += c.steps[2 * k];
      y += c.steps[2 * k + 1];
    }
    c.radius = static_cast<int32_t>(radius / n);
    c.startX = x0;
    c.startY = y0;
    return true;
  }

  // Blackens the 8-connected region of p's colour.
  void erase(size_t p, uint32_t colour) {
    stack_.clear();
    work_[p] = 0;
    stack_.push_back(p);
    while (!stack_.empty()) {
      const size_t q = stack_.back();
      stack_.pop_back();
      for (int d = 0; d < 8; ++d) {
        const size_t n = q + off_[d];
        if (work_[n] == colour) {
          work_[n] = 0;
          stack_.push_back(n);
        }
      }
    }
  }

  int w_, h_, minStep_;
  std::vector<uint32_t> work_;
  std::vector<uint8_t> codes_;
  std::vector<size_t> stack_;
  std::ptrdiff_t off_[8];
};

}  // namespace

int BuildChains(V3dCheckVolumeFn checkVolume, Volume* volume, const char* prefix, int minStep,
                ColourTable* colours) {
  if (checkVolume == nullptr) return kNullBasicTypePointer;
  if (const int code = checkVolume(volume, V3D_UC, V3D_THREE_CHANNELS); code != 0) return code;
  if (prefix == nullptr || colours == nullptr) return kNullBasicTypePointer;
  if (minStep < 0 || minStep > kMaxChainStep) return kInvalidParameters;
  colours->clear();
  const Volume& v = *volume;
  const auto fail = [&](int code) {
    colours->clear();
    return code;
  };
  try {
    FrameTracer tracer(v.voiX1 - v.voiX0, v.voiY1 - v.voiY0, minStep);
    std::unordered_map<uint32_t, int> objectOf;
    for (int z = v.voiZ0; z < v.voiZ1; ++z) {
      std::unique_ptr<std::FILE, FileCloser> file(
          std::fopen(TemporaryFileName(prefix, z).c_str(), "wb"));
      if (!file) return fail(kFopenError);
      tracer.load(v, z);
      if (const int code = tracer.scan(v, file.get(), *colours, objectOf); code != 0)
        return fail(code);
      if (!writeChainEnd(file.get()) || std::fclose(file.release()) != 0) return fail(kFwriteError);
    }
  } catch (const std::bad_alloc&) {
    return fail(kCannotAllocateBuffer);
  }
  return static_cast<int>(colours->size());
}

}  // namespace v3d::shade
