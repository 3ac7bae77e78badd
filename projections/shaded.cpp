// Binary and surface-shaded projections: the first hit above a threshold, shaded by the
// grey-level gradient at the hit (Provoli2dBinary, Provoli3dBinary) or by the slopes of the
// depth image of all hits (Provoli3dSurface, Provoli3dSurfaceColor).
//
// The whole image is cleared first; only hit pixels are written. Shading arithmetic is float.
// The depth image keeps the 1-based step of each hit as it is (a depth image of 8-bit steps
// would wrap after 255 steps, losing the hits at step 256 and turning far surfaces into near
// ones), and depth cueing with every hit at one depth (no depth range) shades as without it.
#include <algorithm>
#include <climits>
#include <cmath>

#include "projections/projections.h"
#include "projections/view.h"

namespace v3d::proj {
namespace {

// The axes the gradient is measured on: the view's axes in the 3-D form; in the 2-D form the
// 3-D axes of (angle, 0): u = (c, s, 0), v = (0, 0, 1), d = (-s, c, 0).
struct ShadeAxes {
  float u[3], v[3], d[3];
  explicit ShadeAxes(const View& view) {
    view.axes(u, v, d);
    if (!view.threeD()) {
      const float c = u[0], s = -u[1];
      u[0] = c, u[1] = s, u[2] = 0.0f;
      v[0] = 0.0f, v[1] = 0.0f, v[2] = 1.0f;
      d[0] = -s, d[1] = c, d[2] = 0.0f;
    }
  }
  // |component along d| / |gradient|, 0 for a zero gradient.
  float shade(long long gx, long long gy, long long gz) const {
    const float x = static_cast<float>(gx), y = static_cast<float>(gy), z = static_cast<float>(gz);
    const float gu = x * u[0] + y * u[1] + z * u[2];
    const float gv = x * v[0] + y * v[1] + z * v[2];
    const float gd = x * d[0] + y * d[1] + z * d[2];
    const float norm2 = gu * gu + gv * gv + gd * gd;
    return norm2 > 0.0f ? std::fabs(gd) / std::sqrt(norm2) : 0.0f;
  }
};

// Sum of the nine samples of the slab of the 3 x 3 x 3 neighbourhood at offset k along
// `axis` (0 x, 1 y, 2 z).
long long slab(UC*** s, int z, int y, int x, int axis, int k) {
  long long sum = 0;
  for (int a = -1; a <= 1; ++a)
    for (int b = -1; b <= 1; ++b) {
      if (axis == 0)
        sum += s[z + a][y + b][x + k];
      else if (axis == 1)
        sum += s[z + a][y + k][x + b];
      else
        sum += s[z + k][y + a][x + b];
    }
  return sum;
}

template <int kChannels, bool kZConst>
void binaryRow(const View& view, const View::Row& row, const Channels& v, const Box& voi,
               const ShadeAxes& axes, const unsigned char* thresholds, unsigned char*** image) {
  for (int i = row.first; i < row.end; ++i) {
    int step, z, y, x;
    if (!firstHit<kChannels, kZConst>(view, row, i, v, thresholds, step, z, y, x)) continue;
    const long long column = row.column0 + i;
    unsigned char* out[3] = {};
    for (int c = 0; c < kChannels; ++c) out[c] = &image[c][row.imageRow][column];
    const bool interior = z > voi.z0 && z < voi.z1 - 1 && y > voi.y0 && y < voi.y1 - 1 &&
                          x > voi.x0 && x < voi.x1 - 1;
    if (!interior) {
      for (int c = 0; c < kChannels; ++c) *out[c] = v.ch[c][z][y][x];
      continue;
    }
    long long g[3];
    for (int axis = 0; axis < 3; ++axis) {
      const long long minus = slab(v.ch[0], z, y, x, axis, -1);
      const long long plus = slab(v.ch[0], z, y, x, axis, 1);
      // One channel: the difference of the faces; three: the second difference of the slabs.
      g[axis] = kChannels == 1 ? plus - minus : 2 * slab(v.ch[0], z, y, x, axis, 0) - minus - plus;
    }
    const float s = axes.shade(g[0], g[1], g[2]);
    if (kChannels == 1) {
      *out[0] = static_cast<UC>(255.0f * s + 0.5f);
    } else {
      for (int c = 0; c < kChannels; ++c)
        *out[c] = static_cast<UC>(static_cast<float>(v.ch[c][z][y][x]) * s + 0.5f);
    }
  }
}

int binary(Volume* volume, unsigned char*** image, int R, int C, float angle1, float angle2,
           bool threeD, int crop, const unsigned char* thresholds) {
  if (const int code = checkCall(volume, image, R, C); code != 0) return code;
  if (thresholds == nullptr) return kNullBasicTypePointer;
  View view;
  if (const int code = view.setUp(volume, R, C, angle1, angle2, threeD, crop); code != 0)
    return code;
  const Channels v(*volume);
  const Box voi = voiOf(*volume);
  const ShadeAxes axes(view);
  clearImage(image, v.count, R, C);
  view.forEachRow([&](const View::Row& row) {
    dispatchRay(v.count, row.zConst >= 0, [&](auto channels, auto zConst) {
      binaryRow<decltype(channels)::value, decltype(zConst)::value>(view, row, v, voi, axes,
                                                                    thresholds, image);
    });
  });
  return 0;
}

// The hits of every ray: depth image (0 = no hit) and, for colour output, the samples.
struct Hits {
  int R, C, channels;
  ScratchArray<int> depth;
  ScratchArray<UC> colour;
  int dMin = INT_MAX, dMax = 0;
  int at(int r, int c) const {
    return static_cast<std::size_t>(r) < static_cast<std::size_t>(R) &&
                   static_cast<std::size_t>(c) < static_cast<std::size_t>(C)
               ? depth[static_cast<std::size_t>(r) * C + c]
               : 0;
  }
};

template <int kChannels, bool kZConst>
void depthRow(const View& view, const View::Row& row, const Channels& v,
              const unsigned char* thresholds, bool keepColour, Hits& hits) {
  for (int i = row.first; i < row.end; ++i) {
    int step, z, y, x;
    if (!firstHit<kChannels, kZConst>(view, row, i, v, thresholds, step, z, y, x)) continue;
    const std::size_t p =
        static_cast<std::size_t>(row.imageRow) * hits.C + static_cast<std::size_t>(row.column0 + i);
    const int d = step + 1;
    hits.depth[p] = d;
    hits.dMin = std::min(hits.dMin, d);
    hits.dMax = std::max(hits.dMax, d);
    if (keepColour)
      for (int c = 0; c < kChannels; ++c) hits.colour[p * kChannels + c] = v.ch[c][z][y][x];
  }
}

// The mean cosine of the eight triangles (pixel, side neighbour, diagonal neighbour) whose
// two neighbours are hits; 1 when none is.
float slopeShade(const Hits& hits, int r, int c) {
  const int centre = hits.at(r, c);
  // (side, diagonal) offsets in (row, column): up/up-left, left/up-left, left/down-left,
  // down/down-left, down/down-right, right/down-right, right/up-right, up/up-right.
  static constexpr int kPairs[8][4] = {{-1, 0, -1, -1}, {0, -1, -1, -1}, {0, -1, 1, -1},
                                       {1, 0, 1, -1},   {1, 0, 1, 1},    {0, 1, 1, 1},
                                       {0, 1, -1, 1},   {-1, 0, -1, 1}};
  float sum = 0.0f;
  int count = 0;
  for (const auto& p : kPairs) {
    const int n = hits.at(r + p[0], c + p[1]), q = hits.at(r + p[2], c + p[3]);
    if (n == 0 || q == 0) continue;
    const float a = static_cast<float>(n - centre), b = static_cast<float>(q - n);
    sum += 1.0f / std::sqrt(a * a + b * b + 1.0f);
    ++count;
  }
  return count > 0 ? sum / static_cast<float>(count) : 1.0f;
}

int surface(Volume* volume, unsigned char*** image, int R, int C, float angle1, float angle2,
            int crop, const unsigned char* thresholds, int depthCue, bool colour) {
  if (const int code = checkCall(volume, image, R, C); code != 0) return code;
  if (thresholds == nullptr) return kNullBasicTypePointer;
  View view;
  if (const int code = view.setUp(volume, R, C, angle1, angle2, true, crop); code != 0) return code;
  const Channels v(*volume);
  const std::size_t pixels = static_cast<std::size_t>(R) * static_cast<std::size_t>(C);
  Hits hits{R, C, v.count, ScratchArray<int>(pixels), ScratchArray<UC>()};
  if (!hits.depth) return kCannotAllocateVolume;
  if (colour) {
    hits.colour = ScratchArray<UC>(pixels * static_cast<std::size_t>(v.count));
    if (!hits.colour) return kCannotAllocateVolume;
  }
  clearImage(image, v.count, R, C);
  view.forEachRow([&](const View::Row& row) {
    dispatchRay(v.count, row.zConst >= 0, [&](auto channels, auto zConst) {
      depthRow<decltype(channels)::value, decltype(zConst)::value>(view, row, v, thresholds, colour,
                                                                   hits);
    });
  });
  const int range = hits.dMax - hits.dMin;
  const bool cue = depthCue != 0 && range > 0;
  for (int r = 0; r < R; ++r)
    for (int c = 0; c < C; ++c) {
      const int d = hits.at(r, c);
      if (d == 0) continue;
      const float h = slopeShade(hits, r, c);
      const float near = cue ? static_cast<float>(hits.dMin - d) / static_cast<float>(range) : 0.0f;
      if (!colour) {
        const UC grey =
            static_cast<UC>(cue ? (near * 225.0f + 225.0f) * h + 30.0f : h * 225.0f + 30.0f);
        for (int ch = 0; ch < v.count; ++ch) image[ch][r][c] = grey;
        continue;
      }
      const std::size_t p = (static_cast<std::size_t>(r) * C + c) * v.count;
      for (int ch = 0; ch < v.count; ++ch) {
        const float sample = static_cast<float>(hits.colour[p + ch]);
        image[ch][r][c] = static_cast<UC>(cue ? (near + 1.0f) * sample * h : sample * h);
      }
    }
  return 0;
}

}  // namespace
}  // namespace v3d::proj

using v3d::proj::binary;
using v3d::proj::surface;

extern "C" int Provoli2dBinary(Volume* volume, unsigned char*** image, int R, int C, float angle,
                               int crop, unsigned char* thresholds) {
  return binary(volume, image, R, C, angle, 0.0f, false, crop, thresholds);
}

extern "C" int Provoli3dBinary(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                               float angle2, int crop, unsigned char* thresholds) {
  return binary(volume, image, R, C, angle1, angle2, true, crop, thresholds);
}

extern "C" int Provoli3dSurface(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                                float angle2, int crop, unsigned char* thresholds, int depthCue) {
  return surface(volume, image, R, C, angle1, angle2, crop, thresholds, depthCue, false);
}

extern "C" int Provoli3dSurfaceColor(Volume* volume, unsigned char*** image, int R, int C,
                                     float angle1, float angle2, int crop,
                                     unsigned char* thresholds, int depthCue) {
  return surface(volume, image, R, C, angle1, angle2, crop, thresholds, depthCue, true);
}
