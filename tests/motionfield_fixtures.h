// Fixtures of the motion module's tests: a grey sequence whose content moves by a known
// displacement per frame, and a comparison of two volumes' shapes and samples.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "core/samples.h"
#include "core/volume.h"

namespace v3d::test {

// Fills a UC volume so that frame z + 1 is frame z moved right by dx and down by dy
// (uncovered pixels get fresh random values): a block's true motion is (dx, dy) per frame.
inline void fillMoving(Volume* v, int dx, int dy, unsigned seed) {
  std::mt19937 rng(seed);
  UC*** s = channelData<UC>(*v, 0);
  for (int y = 0; y < v->Y; ++y)
    for (int x = 0; x < v->X; ++x) s[0][y][x] = static_cast<UC>(rng() & 255);
  for (int z = 1; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) {
        const int sy = y - dy, sx = x - dx;
        const bool inside = sy >= 0 && sy < v->Y && sx >= 0 && sx < v->X;
        s[z][y][x] = inside ? s[z - 1][sy][sx] : static_cast<UC>(rng() & 255);
      }
}

// Same shape, types and VOI, and the same samples.
inline ::testing::AssertionResult sameVolume(const Volume* a, const Volume* b) {
  if (a == nullptr || b == nullptr) return ::testing::AssertionFailure() << "null volume";
  if (a->dataType != b->dataType || a->colorType != b->colorType || a->Z != b->Z || a->Y != b->Y ||
      a->X != b->X)
    return ::testing::AssertionFailure()
           << "shape " << a->Z << "x" << a->Y << "x" << a->X << " type " << a->dataType << " vs "
           << b->Z << "x" << b->Y << "x" << b->X << " type " << b->dataType;
  if (a->voiZ0 != b->voiZ0 || a->voiZ1 != b->voiZ1 || a->voiY0 != b->voiY0 ||
      a->voiY1 != b->voiY1 || a->voiX0 != b->voiX0 || a->voiX1 != b->voiX1)
    return ::testing::AssertionFailure() << "VOIs differ";
  bool same = true;
  withSampleType(a->dataType, [&](auto tag) {
    using T = typename decltype(tag)::type;
    T*** p = channelData<T>(*a, 0);
    T*** q = channelData<T>(*b, 0);
    for (int z = 0; z < a->Z && same; ++z)
      for (int y = 0; y < a->Y && same; ++y)
        for (int x = 0; x < a->X && same; ++x) same = p[z][y][x] == q[z][y][x];
  });
  if (!same) return ::testing::AssertionFailure() << "samples differ";
  return ::testing::AssertionSuccess();
}

}  // namespace v3d::test
