// Basic volume operations: tests on contents, counts, bounding box, intensity range,
// clearing, copies with offsets, frame <-> image copies, UC <-> F conversions, logical
// operations on binary volumes, central symmetry and nearest-neighbour rotations.
//
// Conventions of this file:
//  - The region processed is the VOI of the first (input) volume.
//  - Copies place input sample (z, y, x) at output (zOff + z - voiZ0, yOff + y - voiY0,
//    xOff + x - voiX0); output samples outside the target box keep their values.
//  - Every check runs before the first write. Offsets plus extents are summed in 64 bits.
//  - Float to integer conversions truncate toward zero unless a rounding is written out.
//  - An output that is the input itself is handled correctly (copies run in an order that
//    never reads a sample already overwritten; the symmetry swaps pairs; the rotations read
//    from a snapshot).
#include "core/basic_ops.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/alloc.h"
#include "core/image_size.h"
#include "core/samples.h"
#include "core/volume.h"

namespace v3d {
namespace {

ImageSize g_imageSize{256, 256};

// Converts a clearing value to a channel's sample type; false when it is out of range (NaN
// included). The I range stops short of 2^31, which has no 32-bit integer.
bool toSample(float value, UC& out) {
  if (!(value >= 0.0f && value <= 255.0f)) return false;
  out = static_cast<UC>(value);
  return true;
}
bool toSample(float value, I32& out) {
  if (!(value >= -2147483648.0f && value < 2147483648.0f)) return false;
  out = static_cast<I32>(value);
  return true;
}
bool toSample(float value, float& out) {
  out = value;
  return true;
}

// Checks and converts the per-channel values of ClearVolume and CheckIfVolumeClear.
template <class T>
int channelValues(const Volume& v, const float* values, T (&out)[3]) {
  if (values == nullptr) return kNullBasicTypePointer;
  for (int c = 0; c < channelCount(v); ++c)
    if (!toSample(values[c], out[c])) return kInvalidParameters;
  return 0;
}

// Visits every VOI row of every channel: f(row pointer of channel c at (z, y), c, z, y).
template <class T, class F>
void forEachVoiRow(const Volume& v, F&& f) {
  const Box b = voiOf(v);
  for (int c = 0; c < channelCount(v); ++c) {
    T*** ch = channelData<T>(v, c);
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y) f(ch[z][y], c, z, y);
  }
}

// Copies the input VOI of every channel into the output at the offsets, converting each
// sample with `convert`. Rows are visited in reverse when the output is the input and the
// target lies after the source, so no sample is overwritten before it is read.
template <class TIn, class TOut, class Convert>
void copyBox(const Volume& in, const Volume& out, int zOff, int yOff, int xOff, Convert convert) {
  const Box b = voiOf(in);
  const long long dz = static_cast<long long>(zOff) - b.z0;
  const long long dy = static_cast<long long>(yOff) - b.y0;
  const bool backwards = (&in == &out) && (dz > 0 || (dz == 0 && dy > 0));
  const int w = b.width();
  for (int c = 0; c < channelCount(in); ++c) {
    TIn*** src = channelData<TIn>(in, c);
    TOut*** dst = channelData<TOut>(out, c);
    for (int i = 0; i < b.depth(); ++i) {
      const int z = backwards ? b.z1 - 1 - i : b.z0 + i;
      for (int j = 0; j < b.height(); ++j) {
        const int y = backwards ? b.y1 - 1 - j : b.y0 + j;
        const TIn* s = src[z][y] + b.x0;
        TOut* d = dst[zOff + z - b.z0][yOff + y - b.y0] + xOff;
        if constexpr (std::is_same_v<TIn, TOut>) {
          std::memmove(d, s, static_cast<std::size_t>(w) * sizeof(TIn));
        } else {
          for (int x = 0; x < w; ++x) d[x] = convert(s[x]);
        }
      }
    }
  }
}

// Shared checks of the UC <-> F conversions: both volumes, equal colour types, offsets and
// target box inside the output.
int checkConversion(Volume* in, int inType, Volume* out, int outType, int zOff, int yOff,
                    int xOff) {
  int code = CheckVolume(in, inType, V3D_ANY_COLOR);
  if (code != 0) return code;
  code = CheckVolume(out, outType, V3D_ANY_COLOR);
  if (code != 0) return code;
  if (in->colorType != out->colorType) return kInvalidOutputColorType;
  const Box b = voiOf(*in);
  if (!boxFits(*out, zOff, yOff, xOff, b.depth(), b.height(), b.width())) return kInvalidParameters;
  return 0;
}

int logical(Volume* first, Volume* second, Volume* out, UC (*op)(UC, UC)) {
  int code = CheckVolume(first, V3D_UC, V3D_ONE_CHANNEL);
  if (code != 0) return code;
  if ((code = CheckVolume(second, V3D_UC, V3D_ONE_CHANNEL)) != 0) return code;
  if ((code = CheckVolume(out, V3D_UC, V3D_ONE_CHANNEL)) != 0) return code;
  if (second->Z < first->Z || second->Y < first->Y || second->X < first->X || out->Z < first->Z ||
      out->Y < first->Y || out->X < first->X)
    return kInvalidOutputDimensions;
  if (CheckIfUCBinary(first) != 1 || CheckIfUCBinary(second) != 1) return kNotBinary;
  const Box b = voiOf(*first);
  UC*** a = channelData<UC>(*first, 0);
  UC*** s = channelData<UC>(*second, 0);
  UC*** o = channelData<UC>(*out, 0);
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) o[z][y][x] = op(a[z][y][x], s[z][y][x]);
  return 0;
}

// The source box of a rotation: the VOI, or with crop the bounding box of its non-zero
// samples. False when cropping finds no non-zero sample.
bool rotationSource(Volume* in, int crop, Box& box) {
  box = voiOf(*in);
  if (crop != 1) return true;
  int z0, y0, x0, z1, y1, x1;
  FindBoundingBox3d(in, &z0, &y0, &x0, &z1, &y1, &x1);
  if (z0 < 0) return false;
  box = {z0, z1, y0, y1, x0, x1};
  return true;
}

// When the output of a rotation is its input, the samples are read from a private copy of
// the input so that no written sample is read again. Returns the volume to read from, or
// nullptr when the copy cannot be allocated.
struct SourceSnapshot {
  Volume copy{};
  ~SourceSnapshot() { DestroyVolume(&copy); }
  Volume* take(Volume* in, Volume* out) {
    if (in != out) return in;
    InitializeVolume(&copy, in->Z, in->Y, in->X, in->dataType, in->colorType);
    if (CreateVolume(&copy) != 0) return nullptr;
    for (int c = 0; c < channelCount(*in); ++c)
      for (int z = 0; z < in->Z; ++z)
        for (int y = 0; y < in->Y; ++y)
          std::memcpy(channelData<UC>(copy, c)[z][y], channelData<UC>(*in, c)[z][y],
                      static_cast<std::size_t>(in->X));
    fill_in_VOI(&copy, in->voiZ0, in->voiZ1, in->voiY0, in->voiY1, in->voiX0, in->voiX1);
    return &copy;
  }
};

// Smallest and largest of forward-mapped corner coordinates, truncated and clamped to
// [0, limit - 1]. A coordinate within 1e-3 of an integer is taken as that integer first, so
// that single-precision noise (a corner at 9.9999 for 10 after a turn of 90 degrees) does
// not drop an edge line.
void targetRange(const double* values, int n, int limit, int& lo, int& hi) {
  auto snap = [](double v) {
    const double r = std::nearbyint(v);
    return std::fabs(v - r) < 1e-3 ? r : v;
  };
  double mn = values[0], mx = values[0];
  for (int i = 1; i < n; ++i) {
    mn = std::min(mn, values[i]);
    mx = std::max(mx, values[i]);
  }
  lo = static_cast<int>(std::clamp(std::trunc(snap(mn)), 0.0, static_cast<double>(limit - 1)));
  hi = static_cast<int>(std::clamp(std::trunc(snap(mx)), 0.0, static_cast<double>(limit - 1)));
}

float radians(float degrees) {
  const float pi = static_cast<float>(4.0 * std::atan(1.0));
  return degrees * pi / 180.0f;
}

// The integer part of a source coordinate already offset by one half. It rounds down:
// for every coordinate that can lie in a source box this is the truncation toward zero, and
// a coordinate in (-1, 0) stays outside the box instead of truncating onto row, column or
// frame 0 (which would repeat the box's first line in every shifted copy). Values far
// outside any volume map outside every box instead of overflowing.
int truncateCoordinate(double v) {
  if (!(v > -1.0e9 && v < 1.0e9)) return -1000000000;
  return static_cast<int>(std::floor(v));
}

}  // namespace

ImageSize currentImageSize() {
  return g_imageSize;
}
void ScopedImageSize::set(int rows, int columns) {
  g_imageSize = {rows, columns};
}

}  // namespace v3d

using namespace v3d;

extern "C" {

int CheckIfUCBinary(Volume* volume) {
  const int code = CheckVolume(volume, V3D_UC, V3D_ANY_COLOR);
  if (code != 0) return code;
  const Box b = voiOf(*volume);
  for (int c = 0; c < channelCount(*volume); ++c) {
    UC*** ch = channelData<UC>(*volume, c);
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y) {
        const UC* row = ch[z][y];
        for (int x = b.x0; x < b.x1; ++x)
          if (row[x] != 0 && row[x] != 255) return 0;
      }
  }
  return 1;
}

int CheckIfVolumeClear(Volume* volume, float* values) {
  int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR);
  if (code != 0) return code;
  return withSampleType(volume->dataType, [&](auto tag) -> int {
    using T = typename decltype(tag)::type;
    T want[3]{};
    if (int e = channelValues(*volume, values, want); e != 0) return e;
    const Box b = voiOf(*volume);
    for (int c = 0; c < channelCount(*volume); ++c) {
      T*** ch = channelData<T>(*volume, c);
      for (int z = b.z0; z < b.z1; ++z)
        for (int y = b.y0; y < b.y1; ++y)
          for (int x = b.x0; x < b.x1; ++x)
            if (!(ch[z][y][x] == want[c])) return 0;
    }
    return 1;
  });
}

int ClearVolume(Volume* volume, float* values) {
  int code = CheckVolume(volume, V3D_ANY_TYPE, V3D_ANY_COLOR);
  if (code != 0) return code;
  return withSampleType(volume->dataType, [&](auto tag) -> int {
    using T = typename decltype(tag)::type;
    T want[3]{};
    if (int e = channelValues(*volume, values, want); e != 0) return e;
    const Box b = voiOf(*volume);
    forEachVoiRow<T>(*volume,
                     [&](T* row, int c, int, int) { std::fill(row + b.x0, row + b.x1, want[c]); });
    return 0;
  });
}

int CountNonZeroPoints3d(Volume* volume, unsigned long* count) {
  const int code = CheckVolume(volume, V3D_UC, V3D_ONE_CHANNEL);
  if (code != 0) return code;
  if (count == nullptr) return kNullBasicTypePointer;
  const Box b = voiOf(*volume);
  unsigned long n = 0;
  forEachVoiRow<UC>(*volume, [&](UC* row, int, int, int) {
    for (int x = b.x0; x < b.x1; ++x) n += row[x] != 0;
  });
  *count = n;
  return 0;
}

int CountNonZeroSurfacePoints3d(Volume* volume, unsigned long* count) {
  const int code = CheckVolume(volume, V3D_UC, V3D_ONE_CHANNEL);
  if (code != 0) return code;
  if (count == nullptr) return kNullBasicTypePointer;
  const Box b = voiOf(*volume);
  UC*** v = channelData<UC>(*volume, 0);
  unsigned long n = 0;
  for (int z = b.z0 + 1; z < b.z1 - 1; ++z)
    for (int y = b.y0 + 1; y < b.y1 - 1; ++y)
      for (int x = b.x0 + 1; x < b.x1 - 1; ++x) {
        if (v[z][y][x] == 0) continue;
        bool surface = false;
        for (int k = -1; k <= 1 && !surface; ++k)
          for (int j = -1; j <= 1 && !surface; ++j) {
            const UC* r = v[z + k][y + j];
            surface = r[x - 1] == 0 || r[x] == 0 || r[x + 1] == 0;
          }
        n += surface;
      }
  *count = n;
  return 0;
}

int FindBoundingBox3d(Volume* volume, int* zMin, int* yMin, int* xMin, int* zEnd, int* yEnd,
                      int* xEnd) {
  const int code = CheckVolume(volume, V3D_UC, V3D_ANY_COLOR);
  if (code != 0) return code;
  if (!zMin || !yMin || !xMin || !zEnd || !yEnd || !xEnd) return kNullBasicTypePointer;
  const Box b = voiOf(*volume);
  const int channels = channelCount(*volume);
  int z0 = b.z1, z1 = -1, y0 = b.y1, y1 = -1, x0 = b.x1, x1 = -1;
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y) {
      int first = -1, last = -1;
      for (int c = 0; c < channels; ++c) {
        const UC* row = channelData<UC>(*volume, c)[z][y];
        int x = b.x0;
        while (x < b.x1 && row[x] == 0) ++x;
        if (x == b.x1) continue;
        int e = b.x1 - 1;
        while (row[e] == 0) --e;
        if (first < 0 || x < first) first = x;
        if (e > last) last = e;
      }
      if (first < 0) continue;
      z0 = std::min(z0, z);
      z1 = std::max(z1, z);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y);
      x0 = std::min(x0, first);
      x1 = std::max(x1, last);
    }
  if (z1 < 0) {
    *zMin = *yMin = *xMin = *zEnd = *yEnd = *xEnd = -1;
    return 0;
  }
  *zMin = z0;
  *yMin = y0;
  *xMin = x0;
  *zEnd = z1 + 1;
  *yEnd = y1 + 1;
  *xEnd = x1 + 1;
  return 0;
}

int FindMinMaxIntensity(Volume* volume, int* minimum, int* maximum) {
  const int code = CheckVolume(volume, V3D_UC, V3D_ONE_CHANNEL);
  if (code != 0) return code;
  if (minimum == nullptr && maximum == nullptr) return kNullBasicTypePointer;
  const Box b = voiOf(*volume);
  UC mn = channelData<UC>(*volume, 0)[b.z0][b.y0][b.x0], mx = mn;
  forEachVoiRow<UC>(*volume, [&](UC* row, int, int, int) {
    for (int x = b.x0; x < b.x1; ++x) {
      mn = std::min(mn, row[x]);
      mx = std::max(mx, row[x]);
    }
  });
  if (minimum) *minimum = mn;
  if (maximum) *maximum = mx;
  return 0;
}

int CopyVolume(Volume* input, Volume* output, int zOff, int yOff, int xOff) {
  int code = CheckVolume(input, V3D_ANY_TYPE, V3D_ANY_COLOR);
  if (code != 0) return code;
  if ((code = CheckVolume(output, V3D_ANY_TYPE, V3D_ANY_COLOR)) != 0) return code;
  if (input->dataType != output->dataType) return kInvalidOutputDataType;
  if (input->colorType != output->colorType) return kInvalidOutputColorType;
  if (zOff < 0 || yOff < 0 || xOff < 0) return kInvalidParameters;
  const Box b = voiOf(*input);
  if (!boxFits(*output, zOff, yOff, xOff, b.depth(), b.height(), b.width()))
    return kInvalidOutputDimensions;
  withSampleType(input->dataType, [&](auto tag) {
    using T = typename decltype(tag)::type;
    copyBox<T, T>(*input, *output, zOff, yOff, xOff, [](T v) { return v; });
  });
  return 0;
}

int CopyFrame2Image(Volume* volume, int frame, unsigned char*** image, int yOff, int xOff) {
  const int code = CheckVolume(volume, V3D_UC, V3D_ANY_COLOR);
  if (code != 0) return code;
  const int channels = channelCount(*volume);
  if (image == nullptr) return kNullImagePointer;
  for (int c = 0; c < channels; ++c)
    if (image[c] == nullptr) return kNullImagePointer;
  const Box b = voiOf(*volume);
  const ImageSize size = currentImageSize();
  if (frame < 0 || frame >= volume->Z || yOff < 0 || xOff < 0 ||
      static_cast<long long>(yOff) + b.height() > size.rows ||
      static_cast<long long>(xOff) + b.width() > size.columns)
    return kInvalidParameters;
  for (int c = 0; c < channels; ++c)
    for (int y = 0; y < b.height(); ++y)
      if (image[c][yOff + y] == nullptr) return kNullImagePointer;
  for (int c = 0; c < channels; ++c) {
    UC** rows = channelData<UC>(*volume, c)[frame];
    for (int y = b.y0; y < b.y1; ++y)
      std::memcpy(image[c][yOff + y - b.y0] + xOff, rows[y] + b.x0,
                  static_cast<std::size_t>(b.width()));
  }
  return 0;
}

int CopyImage2Frame(Volume* volume, int frame, unsigned char*** image, int yDst, int xDst, int r0,
                    int r1, int c0, int c1) {
  const int code = CheckVolume(volume, V3D_UC, V3D_ANY_COLOR);
  if (code != 0) return code;
  const ImageSize size = currentImageSize();
  // The source window must also lie inside the image buffer.
  if (frame < 0 || frame >= volume->Z || yDst < 0 || xDst < 0 || r0 < 0 || c0 < 0 || r1 < r0 ||
      c1 < c0 || r1 > size.rows || c1 > size.columns ||
      static_cast<long long>(yDst) + (r1 - r0) > volume->Y ||
      static_cast<long long>(xDst) + (c1 - c0) > volume->X)
    return kInvalidParameters;
  const int channels = channelCount(*volume);
  if (image == nullptr) return kNullImagePointer;
  for (int c = 0; c < channels; ++c) {
    if (image[c] == nullptr) return kNullImagePointer;
    for (int r = r0; r < r1; ++r)
      if (image[c][r] == nullptr) return kNullImagePointer;
  }
  for (int c = 0; c < channels; ++c) {
    UC** rows = channelData<UC>(*volume, c)[frame];
    for (int r = r0; r < r1; ++r)
      std::memcpy(rows[yDst + r - r0] + xDst, image[c][r] + c0, static_cast<std::size_t>(c1 - c0));
  }
  return 0;
}

int UCVolume2FVolume(Volume* input, Volume* output, int zOff, int yOff, int xOff) {
  const int code = checkConversion(input, 1, output, 2, zOff, yOff, xOff);
  if (code != 0) return code;
  copyBox<UC, float>(*input, *output, zOff, yOff, xOff, [](UC v) { return static_cast<float>(v); });
  return 0;
}

int FVolume2UCVolume(Volume* input, Volume* output, int zOff, int yOff, int xOff) {
  const int code = checkConversion(input, 2, output, 1, zOff, yOff, xOff);
  if (code != 0) return code;
  copyBox<float, UC>(*input, *output, zOff, yOff, xOff, [](float v) -> UC {
    const double u = std::floor(static_cast<double>(v) + 0.5);
    if (!(u > 0.0)) return 0;  // negative values and NaN
    return u > 255.0 ? 255 : static_cast<UC>(u);
  });
  return 0;
}

int FVolume2UCVolume_norm(Volume* input, Volume* output, int zOff, int yOff, int xOff) {
  const int code = checkConversion(input, 2, output, 1, zOff, yOff, xOff);
  if (code != 0) return code;
  const Box b = voiOf(*input);
  for (int c = 0; c < channelCount(*input); ++c) {
    float*** src = channelData<float>(*input, c);
    UC*** dst = channelData<UC>(*output, c);
    float m = src[b.z0][b.y0][b.x0], M = m;
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
          const float v = src[z][y][x];
          if (v < m) m = v;
          if (v > M) M = v;
        }
    const float step = static_cast<float>((M - m) * 0.003921569);
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y) {
        const float* s = src[z][y];
        UC* d = dst[zOff + z - b.z0][yOff + y - b.y0] + xOff - b.x0;
        for (int x = b.x0; x < b.x1; ++x) {
          UC u;
          if (step == 0.0f) {
            u = M < 0.0f ? 0 : M > 255.0f ? 255 : static_cast<UC>(M);
          } else {
            const float v = s[x];
            if (v <= m)
              u = 0;
            else if (v >= M)
              u = 255;
            else {
              const float q = (v - m) / step;
              u = q >= 255.0f ? 255 : q > 0.0f ? static_cast<UC>(q) : 0;  // NaN becomes 0
            }
          }
          d[x] = u;
        }
      }
  }
  return 0;
}

int or3d(Volume* first, Volume* second, Volume* output) {
  return logical(first, second, output, [](UC a, UC b) -> UC { return a | b; });
}
int xor3d(Volume* first, Volume* second, Volume* output) {
  return logical(first, second, output, [](UC a, UC b) -> UC { return a ^ b; });
}
int and3d(Volume* first, Volume* second, Volume* output) {
  return logical(first, second, output, [](UC a, UC b) -> UC { return a & b; });
}

int Symmetric3d(Volume* input, Volume* output) {
  int code = CheckVolume(input, V3D_UC, V3D_ANY_COLOR);
  if (code != 0) return code;
  if ((code = CheckVolume(output, V3D_UC, V3D_ANY_COLOR)) != 0) return code;
  if (output->Z < input->Z || output->Y < input->Y || output->X < input->X)
    return kInvalidOutputDimensions;
  if (input->colorType != output->colorType) return kInvalidOutputColorType;
  const Box b = voiOf(*input);
  for (int c = 0; c < channelCount(*input); ++c) {
    UC*** src = channelData<UC>(*input, c);
    UC*** dst = channelData<UC>(*output, c);
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y) {
        const int zm = b.z0 + b.z1 - 1 - z, ym = b.y0 + b.y1 - 1 - y;
        if (input == output) {
          // Swap each pair of mirrored rows once; the middle row is reversed in place.
          if (z > zm || (z == zm && y > ym)) continue;
          UC* r = dst[z][y];
          UC* m = dst[zm][ym];
          if (r == m) {
            std::reverse(r + b.x0, r + b.x1);
          } else {
            for (int x = b.x0; x < b.x1; ++x) std::swap(r[x], m[b.x0 + b.x1 - 1 - x]);
          }
          continue;
        }
        const UC* s = src[zm][ym];
        UC* d = dst[z][y];
        for (int x = b.x0; x < b.x1; ++x) d[x] = s[b.x0 + b.x1 - 1 - x];
      }
  }
  return 0;
}

int RotateVol2d(Volume* input, Volume* output, float angle, int cyIn, int cxIn, int cyOut,
                int cxOut, int crop, int fromZero) {
  int code = CheckVolume(input, V3D_UC, V3D_ANY_COLOR);
  if (code != 0) return code;
  if ((code = CheckVolume(output, V3D_UC, V3D_ANY_COLOR)) != 0) return code;
  if (input->colorType != output->colorType) return kInvalidOutputColorType;
  const float theta = radians(angle);
  const float c = std::cos(theta), s = std::sin(theta);
  Box box;
  if (!rotationSource(input, crop, box)) return 0;

  // Forward map of the four corners: x = cxOut + u c - v s, y = cyOut + u s + v c, with
  // (u, v) the corner's offset from the input centre.
  double xs[4], ys[4];
  const int cornersX[2] = {box.x0, box.x1 - 1}, cornersY[2] = {box.y0, box.y1 - 1};
  for (int i = 0; i < 4; ++i) {
    const double u = cornersX[i & 1] - cxIn, v = cornersY[i >> 1] - cyIn;
    xs[i] = cxOut + u * c - v * s;
    ys[i] = cyOut + u * s + v * c;
  }
  int tx0, tx1, ty0, ty1;
  targetRange(xs, 4, output->X, tx0, tx1);
  targetRange(ys, 4, output->Y, ty0, ty1);
  if (tx0 > tx1 || ty0 > ty1) return 0;

  ScratchArray<float> colC(tx1 - tx0 + 1), colS(tx1 - tx0 + 1), rowC(ty1 - ty0 + 1),
      rowS(ty1 - ty0 + 1);
  if (!colC || !colS || !rowC || !rowS) return kCannotAllocateBuffer;
  SourceSnapshot snapshot;
  Volume* src = snapshot.take(input, output);
  if (src == nullptr) return kCannotAllocateVolume;
  for (int x = tx0; x <= tx1; ++x) {
    colC[x - tx0] = static_cast<float>(x - cxOut) * c;
    colS[x - tx0] = static_cast<float>(x - cxOut) * s;
  }
  for (int y = ty0; y <= ty1; ++y) {
    rowC[y - ty0] = static_cast<float>(y - cyOut) * c;
    rowS[y - ty0] = static_cast<float>(y - cyOut) * s;
  }
  const int channels = channelCount(*input);
  for (int k = 0; k < box.depth(); ++k) {
    const int zs = box.z0 + k;
    const int zt = fromZero == 1 ? k : zs;
    if (zt >= output->Z) break;
    for (int y = ty0; y <= ty1; ++y)
      for (int x = tx0; x <= tx1; ++x) {
        const int sx = truncateCoordinate(cxIn + colC[x - tx0] + rowS[y - ty0] + 0.5);
        const int sy = truncateCoordinate(cyIn + rowC[y - ty0] - colS[x - tx0] + 0.5);
        if (sx < box.x0 || sx >= box.x1 || sy < box.y0 || sy >= box.y1) continue;
        for (int ch = 0; ch < channels; ++ch)
          channelData<UC>(*output, ch)[zt][y][x] = channelData<UC>(*src, ch)[zs][sy][sx];
      }
  }
  return 0;
}

int RotateVol3d(Volume* input, Volume* output, float angle1, float angle2, int czIn, int cxIn,
                int cyIn, int czOut, int cxOut, int cyOut, int crop) {
  int code = CheckVolume(input, V3D_UC, V3D_ANY_COLOR);
  if (code != 0) return code;
  if ((code = CheckVolume(output, V3D_UC, V3D_ANY_COLOR)) != 0) return code;
  if (input->colorType != output->colorType) return kInvalidOutputColorType;
  const float t1 = radians(angle1), t2 = radians(angle2);
  const float c1 = std::cos(t1), s1 = std::sin(t1), c2 = std::cos(t2), s2 = std::sin(t2);
  Box box;
  if (!rotationSource(input, crop, box)) return 0;

  // The backward map source = M * (dz, dy, dx) is a rotation, so the forward map of a corner
  // is M transposed times its offset from the input centre.
  double zs[8], ys[8], xs[8];
  for (int i = 0; i < 8; ++i) {
    const double sz = ((i & 4) ? box.z1 - 1 : box.z0) - czIn;
    const double sy = ((i & 2) ? box.y1 - 1 : box.y0) - cyIn;
    const double sx = ((i & 1) ? box.x1 - 1 : box.x0) - cxIn;
    zs[i] = czOut + c2 * sz + s1 * s2 * sy - c1 * s2 * sx;
    ys[i] = cyOut + c1 * sy + s1 * sx;
    xs[i] = cxOut + s2 * sz - s1 * c2 * sy + c1 * c2 * sx;
  }
  int tz0, tz1, ty0, ty1, tx0, tx1;
  targetRange(zs, 8, output->Z, tz0, tz1);
  targetRange(ys, 8, output->Y, ty0, ty1);
  targetRange(xs, 8, output->X, tx0, tx1);
  if (tz0 > tz1 || ty0 > ty1 || tx0 > tx1) return 0;

  const std::size_t nz = tz1 - tz0 + 1, ny = ty1 - ty0 + 1, nx = tx1 - tx0 + 1;
  ScratchArray<float> zc2(nz), zs1s2(nz), zc1s2(nz), yc1(ny), ys1(ny), xs2(nx), xs1c2(nx),
      xc1c2(nx);
  if (!zc2 || !zs1s2 || !zc1s2 || !yc1 || !ys1 || !xs2 || !xs1c2 || !xc1c2)
    return kCannotAllocateBuffer;
  SourceSnapshot snapshot;
  Volume* src = snapshot.take(input, output);
  if (src == nullptr) return kCannotAllocateVolume;
  for (int z = tz0; z <= tz1; ++z) {
    const float dz = static_cast<float>(z - czOut);
    zc2[z - tz0] = dz * c2;
    zs1s2[z - tz0] = dz * s1 * s2;
    zc1s2[z - tz0] = dz * c1 * s2;
  }
  for (int y = ty0; y <= ty1; ++y) {
    const float dy = static_cast<float>(y - cyOut);
    yc1[y - ty0] = dy * c1;
    ys1[y - ty0] = dy * s1;
  }
  for (int x = tx0; x <= tx1; ++x) {
    const float dx = static_cast<float>(x - cxOut);
    xs2[x - tx0] = dx * s2;
    xs1c2[x - tx0] = dx * s1 * c2;
    xc1c2[x - tx0] = dx * c1 * c2;
  }
  const int channels = channelCount(*input);
  for (int z = tz0; z <= tz1; ++z)
    for (int y = ty0; y <= ty1; ++y)
      for (int x = tx0; x <= tx1; ++x) {
        const int i = z - tz0, j = y - ty0, k = x - tx0;
        const int sz = truncateCoordinate(czIn + zc2[i] + xs2[k] + 0.5);
        const int sy = truncateCoordinate(cyIn + yc1[j] + zs1s2[i] - xs1c2[k] + 0.5);
        const int sx = truncateCoordinate(cxIn + ys1[j] + xc1c2[k] - zc1s2[i] + 0.5);
        if (sz < box.z0 || sz >= box.z1 || sy < box.y0 || sy >= box.y1 || sx < box.x0 ||
            sx >= box.x1)
          continue;
        for (int ch = 0; ch < channels; ++ch)
          channelData<UC>(*output, ch)[z][y][x] = channelData<UC>(*src, ch)[sz][sy][sx];
      }
  return 0;
}

}  // extern "C"
