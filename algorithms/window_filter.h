// Shared frame of the window filters on UC volumes (order statistics, moving average,
// direct convolution): the common checks, the inner box, and row access to the input.
//
//  - The region is the input's VOI; a window of (wz, wy, wx) centred at (z, y, x) covers
//    [z - wz/2, z + wz/2] and so on, and only centres whose whole window lies in the VOI
//    (the inner box) are written. The output is addressed with the input's coordinates.
//  - Rows are handed to kernels as pointers to the sample at the VOI's first column, so a
//    kernel indexes a row with x - voiX0.
//  - When the output shares storage with the input, the input VOI is copied first, so that
//    every result is computed from the original samples and never from results already
//    stored (a filter run in place gives the same output as a filter run into a new volume).
#pragma once

#include <cstdint>
#include <cstring>

#include "core/alloc.h"
#include "core/samples.h"
#include "core/volume.h"

namespace v3d::filters {

// The checks of in and out shared by every window filter, in their order: both UC of any
// colour type, out at least as large as in (-520), equal colour types (-523).
inline int checkVolumes(Volume* in, Volume* out) {
  if (int code = CheckVolume(in, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  if (int code = CheckVolume(out, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  return 0;
}
inline int checkOutputShape(const Volume& in, const Volume& out) {
  if (out.Z < in.Z || out.Y < in.Y || out.X < in.X) return kInvalidOutputDimensions;
  return 0;
}
inline int checkColours(const Volume& in, const Volume& out) {
  return channelCount(in) == channelCount(out) ? 0 : kInvalidOutputColorType;
}

// -24 unless every size is positive, odd and not larger than the VOI's extent on its axis.
inline int checkWindow(const Box& voi, long long wz, long long wy, long long wx) {
  auto ok = [](long long w, int extent) { return w > 0 && (w & 1) == 1 && w <= extent; };
  return ok(wz, voi.depth()) && ok(wy, voi.height()) && ok(wx, voi.width()) ? 0
                                                                            : kInvalidWindowSize;
}

// The centres written by a window filter: the VOI shrunk by the half widths.
inline Box innerBox(const Box& voi, int wz, int wy, int wx) {
  return {voi.z0 + wz / 2, voi.z1 - wz / 2, voi.y0 + wy / 2,
          voi.y1 - wy / 2, voi.x0 + wx / 2, voi.x1 - wx / 2};
}

// Whether writing `out` may change samples of `in`.
inline bool sharesStorage(const Volume& in, const Volume& out) {
  if (&in == &out) return true;
  for (int a = 0; a < channelCount(in); ++a)
    for (int b = 0; b < channelCount(out); ++b)
      if (in.channel[a] == out.channel[b]) return true;
  return false;
}

// Read access to the input VOI of every channel, row by row: row(c, z, y) points at the
// sample (z, y, voiX0) of channel c. The rows are the input's own unless the output shares
// its storage, in which case they are a private copy taken before anything is written.
class InputRows {
 public:
  InputRows(const Volume& in, bool copy)
      : voi_(voiOf(in)),
        channels_(channelCount(in)),
        rows_(static_cast<std::size_t>(channels_) * voi_.depth() * voi_.height()),
        copy_(copy ? static_cast<std::size_t>(channels_) * voi_.depth() * voi_.height() *
                         voi_.width()
                   : 0) {
    if (!rows_ || (copy && !copy_)) {
      ok_ = false;
      return;
    }
    std::size_t k = 0;
    for (int c = 0; c < channels_; ++c) {
      UC*** ch = channelData<UC>(in, c);
      for (int z = voi_.z0; z < voi_.z1; ++z)
        for (int y = voi_.y0; y < voi_.y1; ++y, ++k) {
          const UC* src = ch[z][y] + voi_.x0;
          if (copy) {
            UC* dst = copy_.get() + k * static_cast<std::size_t>(voi_.width());
            std::memcpy(dst, src, static_cast<std::size_t>(voi_.width()));
            src = dst;
          }
          rows_[k] = src;
        }
    }
  }
  explicit operator bool() const { return ok_; }
  const UC* row(int c, int z, int y) const {
    return rows_[(static_cast<std::size_t>(c) * voi_.depth() + (z - voi_.z0)) * voi_.height() +
                 (y - voi_.y0)];
  }
  const Box& voi() const { return voi_; }

 private:
  Box voi_;
  int channels_;
  ScratchArray<const UC*> rows_;
  ScratchArray<UC> copy_;
  bool ok_ = true;
};

// The output row of channel c at (z, y), pointing at column `x0`.
inline UC* outputRow(const Volume& out, int c, int z, int y, int x0) {
  return channelData<UC>(out, c)[z][y] + x0;
}

// trunc(value + 0.5) for a rounded result that is clipped to 0..255 (NaN stores 0).
inline UC roundClip(double value) {
  const double r = value + 0.5;
  if (!(r >= 0.0)) return 0;
  if (r >= 255.0) return 255;
  return static_cast<UC>(r);
}

}  // namespace v3d::filters
