// Shared pieces of the segmentation and edge tests: random VOIs, reading a volume's
// samples into a flat copy, and comparing two volumes sample by sample.
#pragma once

#include <algorithm>
#include <random>
#include <vector>

#include "fixtures.h"

namespace v3d::test {

// A random VOI of `v`, at least `minimum` samples on each axis where the volume allows,
// usually smaller than the volume.
inline Box randomVoi(const Volume* v, std::mt19937& rng, int minimum = 1) {
  auto axis = [&](int n, int& lo, int& hi) {
    const int m = std::min(minimum, n);
    lo = static_cast<int>(rng() % static_cast<unsigned>(n - m + 1));
    hi = lo + m + static_cast<int>(rng() % static_cast<unsigned>(n - lo - m + 1));
  };
  Box b{};
  axis(v->Z, b.z0, b.z1);
  axis(v->Y, b.y0, b.y1);
  axis(v->X, b.x0, b.x1);
  return b;
}


inline bool inside(const Box& b, int z, int y, int x) {
  return z >= b.z0 && z < b.z1 && y >= b.y0 && y < b.y1 && x >= b.x0 && x < b.x1;
}

// A flat UC copy of channel 0, index (z * Y + y) * X + x.
struct Samples {
  int Z, Y, X;
  std::vector<int> s;
  explicit Samples(Volume* v) : Z(v->Z), Y(v->Y), X(v->X), s(static_cast<std::size_t>(Z) * Y * X) {
    for (int z = 0; z < Z; ++z)
      for (int y = 0; y < Y; ++y)
        for (int x = 0; x < X; ++x) s[(static_cast<std::size_t>(z) * Y + y) * X + x] = at<UC>(v, 0, z, y, x);
  }
  int& operator()(int z, int y, int x) { return s[(static_cast<std::size_t>(z) * Y + y) * X + x]; }
};

// Asserts that channel 0 of `v` equals `expected` everywhere; reports the first mismatch.
inline ::testing::AssertionResult sameSamples(Volume* v, Samples& expected) {
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x)
        if (at<UC>(v, 0, z, y, x) != expected(z, y, x))
          return ::testing::AssertionFailure()
                 << "at (" << z << ", " << y << ", " << x << "): got " << int(at<UC>(v, 0, z, y, x))
                 << ", expected " << expected(z, y, x);
  return ::testing::AssertionSuccess();
}

// Fills channel 0 with values drawn from `levels` (few distinct values give regions).
inline void fillLevels(Volume* v, unsigned seed, std::vector<int> levels) {
  std::mt19937 rng(seed);
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) at<UC>(v, 0, z, y, x) = static_cast<UC>(levels[rng() % levels.size()]);
}

// Piecewise-smooth content: a few constant boxes plus small noise, so that growing, merging
// and splitting find regions of several voxels.
inline void fillBlocks(Volume* v, unsigned seed, int noise) {
  std::mt19937 rng(seed);
  const int base[4] = {30, 90, 160, 220};
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) {
        const int level = base[((z / 3) + (y / 4) * 2 + (x / 5)) % 4];
        const int n = noise > 0 ? static_cast<int>(rng() % (2 * noise + 1)) - noise : 0;
        at<UC>(v, 0, z, y, x) = static_cast<UC>(std::clamp(level + n, 0, 255));
      }
}

}  // namespace v3d::test
