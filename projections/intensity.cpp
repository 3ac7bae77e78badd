// Intensity projections: first hit above a threshold, average and maximum along parallel rays,
// each in a 2-D form (one image row per frame) and a 3-D form (two angles).
//
// Every call clears the whole image and then writes the rays of the projected rectangle that
// fall inside it; a ray that misses the source box, or finds no hit, leaves 0. The steps of a
// ray outside the source box are skipped (View finds each ray's first and last step inside
// once), and first-hit rays stop at their hit, so the work is the samples inside the box.
// Rows of rays are cast in image-row order: without tilt a row stays in one frame, which then
// stays in cache while its rays are cast.
#include <algorithm>
#include <cstdint>

#include "projections/projections.h"
#include "projections/view.h"

namespace v3d::proj {
namespace {

enum class Rule { kFirstHit, kAverage, kMaximum };

// A row of rays that samples, at every step, consecutive columns of one row of one frame (the
// view down the rows at angle 0, or any view whose depth axis has no x part and whose rays of a
// row share their row coordinate): its maximum or average is taken a whole run of rays at a
// time, each step reading one row of the volume in memory order, as an axis maximum does. The
// positions are checked to be exactly the rays' own (one interval, one row origin, columns
// x0, x0 + 1, ...); a row that is not so is cast ray by ray. Maximum at (0, 0) on the standard
// volume: 9.6 ms ray by ray.
// m[j] = max(m[j], src[j]) for j < n, in vector registers: the select is written out, so that
// the compiler makes a byte-wise maximum of it instead of a branch and a store per byte.
inline void maxInto(UC* __restrict m, const UC* __restrict src, int n) {
  for (int j = 0; j < n; ++j) {
    const UC a = m[j], b = src[j];
    m[j] = static_cast<UC>(a > b ? a : b);
  }
}

template <int kChannels>
bool castAlongColumns(bool maximum, const View& view, const View::Row& row, const Channels& v,
                      unsigned char*** image) {
  if (view.dx() != 0.0f || row.zConst < 0) return false;
  int i0 = row.first;
  while (i0 < row.end && row.a[i0] >= row.b[i0]) ++i0;
  if (i0 == row.end) return false;
  const int a = row.a[i0], b = row.b[i0];
  if (b - a > (1 << 24)) return false;  // the 32-bit sums below hold 2^24 samples of 255
  const float* DX = view.DX();
  const float* DY = view.DY();
  const float py = row.py[i0];
  const int x0 = static_cast<int>(row.px[i0] + DX[a]);
  int i1 = i0;
  while (i1 < row.end && row.a[i1] == a && row.b[i1] == b && row.py[i1] == py &&
         static_cast<int>(row.px[i1] + DX[a]) == x0 + (i1 - i0))
    ++i1;
  for (int i = i1; i < row.end; ++i)
    if (row.a[i] < row.b[i]) return false;

  const int r = row.imageRow, z = row.zConst;
  for (int c = 0; c < kChannels; ++c) {
    unsigned char* out = image[c][r] + row.column0;
    for (int i = row.first; i < i0; ++i) out[i] = 0;
    for (int i = i1; i < row.end; ++i) out[i] = 0;
    constexpr int kChunk = 256;
    for (int j0 = i0; j0 < i1; j0 += kChunk) {
      const int n = std::min(kChunk, i1 - j0);
      UC m[kChunk] = {};
      std::uint32_t sum[kChunk] = {};
      for (int k = a; k < b; ++k) {
        const UC* __restrict src = v.ch[c][z][static_cast<int>(py + DY[k])] + x0 + (j0 - i0);
        if (maximum)
          maxInto(m, src, n);
        else
          for (int j = 0; j < n; ++j) sum[j] += src[j];
      }
      for (int j = 0; j < n; ++j)
        out[j0 + j] = maximum ? m[j] : static_cast<UC>(static_cast<double>(sum[j]) / (b - a) + 0.5);
    }
  }
  return true;
}

template <int kChannels, bool kZConst>
void castRow(Rule rule, const View& view, const View::Row& row, const Channels& v,
             const unsigned char* thresholds, unsigned char*** image) {
  if (kZConst && rule != Rule::kFirstHit &&
      castAlongColumns<kChannels>(rule == Rule::kMaximum, view, row, v, image))
    return;
  const int r = row.imageRow;
  for (int i = row.first; i < row.end; ++i) {
    const long long column = row.column0 + i;
    if (rule == Rule::kMaximum) {
      UC m[kChannels] = {};
      walkRay<kZConst>(view, row, i, [&](int, int z, int y, int x) {
        for (int c = 0; c < kChannels; ++c) m[c] = std::max(m[c], v.ch[c][z][y][x]);
        return false;
      });
      for (int c = 0; c < kChannels; ++c) image[c][r][column] = m[c];
    } else if (rule == Rule::kAverage) {
      long long sum[kChannels] = {};
      walkRay<kZConst>(view, row, i, [&](int, int z, int y, int x) {
        for (int c = 0; c < kChannels; ++c) sum[c] += v.ch[c][z][y][x];
        return false;
      });
      const int count = row.b[i] - row.a[i];
      for (int c = 0; c < kChannels; ++c)
        image[c][r][column] =
            count > 0 ? static_cast<UC>(static_cast<double>(sum[c]) / count + 0.5) : 0;
    } else {
      int step, z, y, x;
      if (firstHit<kChannels, kZConst>(view, row, i, v, thresholds, step, z, y, x))
        for (int c = 0; c < kChannels; ++c) image[c][r][column] = v.ch[c][z][y][x];
    }
  }
}

int project(Rule rule, Volume* volume, unsigned char*** image, int R, int C, float angle1,
            float angle2, bool threeD, int crop, const unsigned char* thresholds) {
  if (const int code = checkCall(volume, image, R, C); code != 0) return code;
  if (rule == Rule::kFirstHit && thresholds == nullptr) return kNullBasicTypePointer;
  View view;
  if (const int code = view.setUp(volume, R, C, angle1, angle2, threeD, crop); code != 0)
    return code;
  const Channels v(*volume);
  clearImage(image, v.count, R, C);
  view.forEachRow([&](const View::Row& row) {
    dispatchRay(v.count, row.zConst >= 0, [&](auto channels, auto zConst) {
      castRow<decltype(channels)::value, decltype(zConst)::value>(rule, view, row, v, thresholds,
                                                                  image);
    });
  });
  return 0;
}

}  // namespace
}  // namespace v3d::proj

using v3d::proj::project;
using v3d::proj::Rule;

extern "C" int Provoli2d(Volume* volume, unsigned char*** image, int R, int C, float angle,
                         int crop, unsigned char* thresholds) {
  return project(Rule::kFirstHit, volume, image, R, C, angle, 0.0f, false, crop, thresholds);
}

extern "C" int Provoli3d(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                         float angle2, int crop, unsigned char* thresholds) {
  return project(Rule::kFirstHit, volume, image, R, C, angle1, angle2, true, crop, thresholds);
}

extern "C" int ProvoliAvrg2d(Volume* volume, unsigned char*** image, int R, int C, float angle,
                             int crop) {
  return project(Rule::kAverage, volume, image, R, C, angle, 0.0f, false, crop, nullptr);
}

extern "C" int ProvoliAvrg3d(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                             float angle2, int crop) {
  return project(Rule::kAverage, volume, image, R, C, angle1, angle2, true, crop, nullptr);
}

extern "C" int ProvoliMax2d(Volume* volume, unsigned char*** image, int R, int C, float angle,
                            int crop) {
  return project(Rule::kMaximum, volume, image, R, C, angle, 0.0f, false, crop, nullptr);
}

extern "C" int ProvoliMax3d(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                            float angle2, int crop) {
  return project(Rule::kMaximum, volume, image, R, C, angle1, angle2, true, crop, nullptr);
}
