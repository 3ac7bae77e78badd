// Typed access to a Volume's samples, so that each algorithm is written once as a template
// over the sample type and instantiated for UC, F and I by one dispatch.
//
//   return withSampleType(v->dataType, [&](auto tag) {
//     using T = typename decltype(tag)::type;
//     T*** ch = channelData<T>(*v, 0);
//     ...
//   });
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/volume.h"

namespace v3d {

using UC = std::uint8_t;
using I32 = std::int32_t;

template <class T>
struct SampleTag {
  using type = T;
};

template <class T>
inline T*** channelData(const Volume& v, int c) {
  return static_cast<T***>(v.channel[c]);
}

// 1 for colour type 1, 3 for anything else.
inline int channelCount(const Volume& v) { return v.colorType == V3D_ONE_CHANNEL ? 1 : 3; }

// Bytes per sample of a data type code; 0 for a code that is no type.
inline std::size_t sampleSize(int dataType) {
  switch (dataType) {
    case V3D_UC:
      return 1;
    case V3D_F:
    case V3D_I:
      return 4;
    default:
      return 0;
  }
}

// Calls f(SampleTag<T>{}) with T the sample type of `dataType` (uint8_t, float or int32_t).
// A code that is no type is treated as UC: callers dispatch only after CheckVolume.
template <class F>
decltype(auto) withSampleType(int dataType, F&& f) {
  switch (dataType) {
    case V3D_F:
      return f(SampleTag<float>{});
    case V3D_I:
      return f(SampleTag<std::int32_t>{});
    default:
      return f(SampleTag<std::uint8_t>{});
  }
}

// A box of positions, lower bounds inclusive and upper bounds exclusive.
struct Box {
  int z0, z1, y0, y1, x0, x1;
  int depth() const { return z1 - z0; }
  int height() const { return y1 - y0; }
  int width() const { return x1 - x0; }
};

inline Box voiOf(const Volume& v) { return {v.voiZ0, v.voiZ1, v.voiY0, v.voiY1, v.voiX0, v.voiX1}; }

// Whether a box of depth, height and width placed at (zOff, yOff, xOff) fits in `v`,
// computed without overflow.
inline bool boxFits(const Volume& v, long long zOff, long long yOff, long long xOff,
                    long long depth, long long height, long long width) {
  return zOff >= 0 && yOff >= 0 && xOff >= 0 && zOff + depth <= v.Z && yOff + height <= v.Y &&
         xOff + width <= v.X;
}

}  // namespace v3d
