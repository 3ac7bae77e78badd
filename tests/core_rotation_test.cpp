// In-plane and 3-D nearest-neighbour rotations against a reference that evaluates the
// backward map at every position of the target box (the forward-mapped corners of the
// source box, truncated and clamped to the output), with the same single-precision products.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "core/basic_ops.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

float rad(float degrees) {
  return degrees * static_cast<float>(4.0 * std::atan(1.0)) / 180.0f;
}

// The target interval on one axis: the smallest and largest forward-mapped corner coordinate,
// truncated (after snapping values within 1e-3 of an integer) and clamped to [0, limit - 1].
void interval(const std::vector<double>& v, int limit, int& lo, int& hi) {
  auto cut = [&](double x) {
    const double r = std::nearbyint(x);
    x = std::fabs(x - r) < 1e-3 ? r : x;
    return static_cast<int>(std::clamp(std::trunc(x), 0.0, limit - 1.0));
  };
  lo = cut(*std::min_element(v.begin(), v.end()));
  hi = cut(*std::max_element(v.begin(), v.end()));
}

// Source coordinates round half up (floor of value + 0.5), so that sources just left of a
// box's first line are outside the box rather than truncated onto it.
// What RotateVol3d must store: every output position whose rounded source lies in `box`
// takes that source sample, every other keeps its value.
void reference3d(Volume* in, Volume* out, float a1, float a2, int czIn, int cxIn, int cyIn,
                 int czOut, int cxOut, int cyOut, const Box& box) {
  const float c1 = std::cos(rad(a1)), s1 = std::sin(rad(a1)), c2 = std::cos(rad(a2)),
              s2 = std::sin(rad(a2));
  // Forward map of the eight corners: the transpose of the backward rotation.
  std::vector<double> zs, ys, xs;
  for (int i = 0; i < 8; ++i) {
    const double sz = ((i & 4) ? box.z1 - 1 : box.z0) - czIn;
    const double sy = ((i & 2) ? box.y1 - 1 : box.y0) - cyIn;
    const double sx = ((i & 1) ? box.x1 - 1 : box.x0) - cxIn;
    zs.push_back(czOut + c2 * sz + s1 * s2 * sy - c1 * s2 * sx);
    ys.push_back(cyOut + c1 * sy + s1 * sx);
    xs.push_back(cxOut + s2 * sz - s1 * c2 * sy + c1 * c2 * sx);
  }
  int z0, z1, y0, y1, x0, x1;
  interval(zs, out->Z, z0, z1);
  interval(ys, out->Y, y0, y1);
  interval(xs, out->X, x0, x1);
  for (int z = z0; z <= z1; ++z)
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const float dz = static_cast<float>(z - czOut), dy = static_cast<float>(y - cyOut),
                    dx = static_cast<float>(x - cxOut);
        const int sz = static_cast<int>(std::floor(czIn + dz * c2 + dx * s2 + 0.5));
        const int sy =
            static_cast<int>(std::floor(cyIn + dy * c1 + dz * s1 * s2 - dx * s1 * c2 + 0.5));
        const int sx =
            static_cast<int>(std::floor(cxIn + dy * s1 + dx * c1 * c2 - dz * c1 * s2 + 0.5));
        if (sz < box.z0 || sz >= box.z1 || sy < box.y0 || sy >= box.y1 || sx < box.x0 ||
            sx >= box.x1)
          continue;
        for (int c = 0; c < channelCount(*in); ++c)
          at<UC>(out, c, z, y, x) = at<UC>(in, c, sz, sy, sx);
      }
}

// What RotateVol2d (frames keeping their index) must store, frame by frame.
void reference2d(Volume* in, Volume* out, float angle, int cyIn, int cxIn, int cyOut, int cxOut,
                 const Box& box) {
  const float c = std::cos(rad(angle)), s = std::sin(rad(angle));
  std::vector<double> ys, xs;
  for (int i = 0; i < 4; ++i) {
    const double u = ((i & 1) ? box.x1 - 1 : box.x0) - cxIn,
                 v = ((i & 2) ? box.y1 - 1 : box.y0) - cyIn;
    xs.push_back(cxOut + u * c - v * s);
    ys.push_back(cyOut + u * s + v * c);
  }
  int y0, y1, x0, x1;
  interval(ys, out->Y, y0, y1);
  interval(xs, out->X, x0, x1);
  for (int z = box.z0; z < box.z1 && z < out->Z; ++z)
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) {
        const float dy = static_cast<float>(y - cyOut), dx = static_cast<float>(x - cxOut);
        const int sx = static_cast<int>(std::floor(cxIn + dx * c + dy * s + 0.5));
        const int sy = static_cast<int>(std::floor(cyIn + dy * c - dx * s + 0.5));
        if (sy < box.y0 || sy >= box.y1 || sx < box.x0 || sx >= box.x1) continue;
        for (int ch = 0; ch < channelCount(*in); ++ch)
          at<UC>(out, ch, z, y, x) = at<UC>(in, ch, z, sy, sx);
      }
}

void expectSame(Volume* a, Volume* b) {
  ASSERT_EQ(a->Z, b->Z);
  for (int c = 0; c < channelCount(*a); ++c)
    for (int z = 0; z < a->Z; ++z)
      for (int y = 0; y < a->Y; ++y)
        for (int x = 0; x < a->X; ++x)
          ASSERT_EQ(at<UC>(a, c, z, y, x), at<UC>(b, c, z, y, x))
              << "channel " << c << " at " << z << "," << y << "," << x;
}

TEST(RotateVol2dTest, ZeroDegreesCopiesAndNinetyDegreesTurnsColumnsIntoRows) {
  OwnedVolume in(V3D_UC, 1, 1, 9, 9), out(V3D_UC, 1, 1, 9, 9);
  fillRandom(in, 3);
  ASSERT_EQ(RotateVol2d(in, out, 0.0f, 4, 4, 4, 4, 0, 0), 0);
  expectSame(in, out);

  OwnedVolume dot(V3D_UC, 1, 1, 9, 9), turned(V3D_UC, 1, 1, 9, 9);
  at<UC>(dot, 0, 0, 4, 5) = 200;  // one column right of the centre
  ASSERT_EQ(RotateVol2d(dot, turned, 90.0f, 4, 4, 4, 4, 0, 0), 0);
  EXPECT_EQ(at<UC>(turned, 0, 0, 5, 4), 200) << "appears one row below the centre";
  unsigned long n = 0;
  CountNonZeroPoints3d(turned, &n);
  EXPECT_EQ(n, 1u);
}

TEST(RotateVol2dTest, MatchesTheReferenceForAnglesCentresCropAndColour) {
  std::mt19937 rng(12);
  const float angles[] = {0.0f, 17.0f, 45.0f, 90.0f, 133.3f, 180.0f, -60.0f, 270.0f};
  for (int round = 0; round < 24; ++round) {
    const int colour = round % 3 == 0 ? 2 : 1;
    OwnedVolume in(V3D_UC, colour, 3, 12, 14), out(V3D_UC, colour, 3, 13, 11),
        ref(V3D_UC, colour, 3, 13, 11);
    fillRandom(in, round);
    fillRandom(out, round + 7);
    CopyVolume(out, ref, 0, 0, 0);
    fill_in_VOI(in, 0, 3, 2, 10, 1, 12);
    const int crop = round % 4 == 1;
    if (crop) {
      ClearVolume(in, std::array<float, 3>{0, 0, 0}.data());
      for (int k = 0; k < 5; ++k) at<UC>(in, 0, rng() % 3, 3 + rng() % 6, 2 + rng() % 8) = 77;
    }
    const float angle = angles[round % 8];
    const int cy = 3 + rng() % 6, cx = 3 + rng() % 6, cyo = rng() % 13, cxo = rng() % 11;
    int z0, y0, x0, z1, y1, x1;
    Box box = voiOf(*in.get());
    if (crop) {
      FindBoundingBox3d(in, &z0, &y0, &x0, &z1, &y1, &x1);
      box = {z0, z1, y0, y1, x0, x1};
    }
    ASSERT_EQ(RotateVol2d(in, out, angle, cy, cx, cyo, cxo, crop, 0), 0);
    reference2d(in, ref, angle, cy, cx, cyo, cxo, box);
    expectSame(out, ref);
  }
}

TEST(RotateVol2dTest, FramesFromZeroShiftTheSourceFramesAndAreLimitedByTheOutput) {
  OwnedVolume in(V3D_UC, 1, 5, 4, 4), out(V3D_UC, 1, 2, 4, 4);
  fillRandom(in, 1);
  fill_in_VOI(in, 2, 5, 0, 4, 0, 4);
  ASSERT_EQ(RotateVol2d(in, out, 0.0f, 1, 1, 1, 1, 0, 1), 0);
  for (int z = 0; z < 2; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(at<UC>(out, 0, z, y, x), at<UC>(in, 0, z + 2, y, x));
  OwnedVolume keep(V3D_UC, 1, 4, 4, 4);
  ASSERT_EQ(RotateVol2d(in, keep, 0.0f, 1, 1, 1, 1, 0, 0), 0);
  EXPECT_EQ(at<UC>(keep, 0, 3, 2, 2), at<UC>(in, 0, 3, 2, 2));
  EXPECT_EQ(at<UC>(keep, 0, 1, 2, 2), 0) << "frames outside the source keep their values";
}

TEST(RotateVol3dTest, MatchesTheReferenceAndReducesToTheSimpleCases) {
  std::mt19937 rng(4);
  const float a1s[] = {0.0f, 30.0f, 90.0f, -45.0f, 200.0f};
  const float a2s[] = {0.0f, 15.0f, 90.0f, 60.0f, -120.0f};
  for (int round = 0; round < 25; ++round) {
    const int colour = round % 2 ? 2 : 1;
    OwnedVolume in(V3D_UC, colour, 8, 9, 10), out(V3D_UC, colour, 9, 8, 10),
        ref(V3D_UC, colour, 9, 8, 10);
    fillRandom(in, round);
    fill_in_VOI(in, 1, 7, 1, 8, 2, 9);
    const float a1 = a1s[round % 5], a2 = a2s[round / 5];
    const int cz = rng() % 8, cx = rng() % 10, cy = rng() % 9;
    const int czo = rng() % 9, cxo = rng() % 10, cyo = rng() % 8;
    ASSERT_EQ(RotateVol3d(in, out, a1, a2, cz, cx, cy, czo, cxo, cyo, 0), 0);
    reference3d(in, ref, a1, a2, cz, cx, cy, czo, cxo, cyo, voiOf(*in.get()));
    expectSame(out, ref);
  }
  // Both angles 0: a copy shifted by the difference of the centres.
  OwnedVolume in(V3D_UC, 1, 4, 4, 4), out(V3D_UC, 1, 4, 4, 4);
  fillRandom(in, 5);
  ASSERT_EQ(RotateVol3d(in, out, 0.0f, 0.0f, 1, 1, 1, 2, 1, 1, 0), 0);
  for (int z = 1; z < 4; ++z) EXPECT_EQ(at<UC>(out, 0, z, 2, 3), at<UC>(in, 0, z - 1, 2, 3));
  EXPECT_EQ(at<UC>(out, 0, 0, 2, 3), 0) << "the first frame is not repeated";
}

TEST(RotationTest, RotatingAVolumeOntoItselfReadsTheOriginalSamples) {
  OwnedVolume v(V3D_UC, 2, 2, 10, 10), copy(V3D_UC, 2, 2, 10, 10), ref(V3D_UC, 2, 2, 10, 10);
  fillRandom(v, 8);
  CopyVolume(v, copy, 0, 0, 0);
  CopyVolume(v, ref, 0, 0, 0);
  ASSERT_EQ(RotateVol2d(v, v, 37.0f, 5, 5, 4, 6, 0, 0), 0);
  ASSERT_EQ(RotateVol2d(copy, ref, 37.0f, 5, 5, 4, 6, 0, 0), 0);
  expectSame(v, ref);
  ASSERT_EQ(RotateVol3d(copy, copy, 20.0f, 30.0f, 1, 5, 5, 1, 5, 5, 0), 0);
}

TEST(RotationTest, RefusesMismatchedColourTypesAndCropsEmptyVoisToNothing) {
  OwnedVolume in(V3D_UC, 1, 2, 4, 4), colour(V3D_UC, 2, 2, 4, 4), out(V3D_UC, 1, 2, 4, 4);
  EXPECT_EQ(RotateVol2d(in, colour, 10.0f, 1, 1, 1, 1, 0, 0), kInvalidOutputColorType);
  EXPECT_EQ(RotateVol3d(in, colour, 10.0f, 0.0f, 1, 1, 1, 1, 1, 1, 0), kInvalidOutputColorType);
  OwnedVolume f(V3D_F, 1, 2, 4, 4);
  EXPECT_EQ(RotateVol2d(f, out, 10.0f, 1, 1, 1, 1, 0, 0), kWrongDataType);
  fillRandom(out, 3);
  const auto before = snapshot(out);
  ASSERT_EQ(RotateVol2d(in, out, 10.0f, 1, 1, 1, 1, 1, 0), 0);
  ASSERT_EQ(RotateVol3d(in, out, 10.0f, 5.0f, 1, 1, 1, 1, 1, 1, 1), 0);
  EXPECT_EQ(snapshot(out), before) << "an all-zero VOI cropped to nothing writes nothing";
}

}  // namespace
}  // namespace v3d::test
