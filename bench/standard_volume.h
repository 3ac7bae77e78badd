// The standard benchmark volume: 256 x 256 x 128 UC (Z = 128 frames of 256 x 256), made
// reproducibly from a fixed seed: smooth overlapping blobs plus a little noise, so that
// filters see both flat regions and edges. binaryVariant() thresholds it at 128 (0 / 255).
// The peer scripts in bench/ rebuild the same samples from the same recipe.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "core/basic_ops.h"
#include "core/samples.h"
#include "core/volume.h"

namespace v3d::bench {

inline constexpr int kZ = 128, kY = 256, kX = 256;

// A 32-bit xorshift generator, simple enough to reproduce in any language.
struct XorShift32 {
  std::uint32_t state;
  std::uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
};

// Fills `v` (UC, one channel, any size) with the standard content.
inline void fillStandard(Volume& v, std::uint32_t seed = 2463534242u) {
  XorShift32 rng{seed};
  struct Blob {
    float z, y, x, r2, level;
  } blobs[24];
  for (Blob& b : blobs) {
    b.z = static_cast<float>(rng.next() % static_cast<std::uint32_t>(v.Z));
    b.y = static_cast<float>(rng.next() % static_cast<std::uint32_t>(v.Y));
    b.x = static_cast<float>(rng.next() % static_cast<std::uint32_t>(v.X));
    const float r = 8.0f + static_cast<float>(rng.next() % 40u);
    b.r2 = r * r;
    b.level = 60.0f + static_cast<float>(rng.next() % 180u);
  }
  UC*** s = channelData<UC>(v, 0);
  for (int z = 0; z < v.Z; ++z)
    for (int y = 0; y < v.Y; ++y)
      for (int x = 0; x < v.X; ++x) {
        float value = 20.0f;
        for (const Blob& b : blobs) {
          const float d2 = (z - b.z) * (z - b.z) + (y - b.y) * (y - b.y) + (x - b.x) * (x - b.x);
          if (d2 < b.r2) value = b.level;
        }
        const int noisy = static_cast<int>(value) + static_cast<int>(rng.next() % 21u) - 10;
        s[z][y][x] = static_cast<UC>(noisy < 0 ? 0 : noisy > 255 ? 255 : noisy);
      }
}

inline void binaryVariant(Volume& v) {
  UC*** s = channelData<UC>(v, 0);
  for (int z = 0; z < v.Z; ++z)
    for (int y = 0; y < v.Y; ++y)
      for (int x = 0; x < v.X; ++x) s[z][y][x] = s[z][y][x] >= 128 ? 255 : 0;
}

// A volume outside the table for a benchmark's lifetime; aborts if it cannot be made.
struct Owned {
  Volume v{};
  Owned(int type, int color, int Z = kZ, int Y = kY, int X = kX) {
    InitializeVolume(&v, Z, Y, X, type, color);
    if (CreateVolume(&v) != 0) std::abort();
  }
  ~Owned() { DestroyVolume(&v); }
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
};

// The standard volume and its binary variant, made once per program.
inline Volume* standard() {
  static Owned s(V3D_UC, V3D_ONE_CHANNEL);
  static const bool filled = (fillStandard(s.v), true);
  (void)filled;
  return &s.v;
}

inline Volume* binary() {
  static Owned b(V3D_UC, V3D_ONE_CHANNEL);
  static const bool filled = (CopyVolume(standard(), &b.v, 0, 0, 0), binaryVariant(b.v), true);
  (void)filled;
  return &b.v;
}

// Both volumes are made before main(), so that no timed iteration pays for them.
inline const bool kVolumesReady = (standard(), binary(), true);

}  // namespace v3d::bench
