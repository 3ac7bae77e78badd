// Projections and sections: every function against the plain reference over a table of
// volumes, angles, image sizes and crop flags; exact pictures at 0 and 90 degrees; the edge
// cases of the description; properties; and every failure code with the image untouched.
#include "projections/projections.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "core/alloc.h"
#include "fixtures.h"
#include "projections_reference.h"

namespace v3d::test {
namespace {

// Sparse random samples: mostly 0, some grey levels, and a few solid balls, so that rays meet
// surfaces, holes and isolated voxels.
VolumePtr makeScene(unsigned seed, int Z, int Y, int X, int colorType) {
  auto v = make_volume(Z, Y, X, V3D_UC, colorType);
  std::mt19937 rng(seed);
  const int channels = colorType == V3D_ONE_CHANNEL ? 1 : 3;
  for (int c = 0; c < channels; ++c)
    for (int z = 0; z < Z; ++z)
      for (int y = 0; y < Y; ++y)
        for (int x = 0; x < X; ++x)
          at<UC>(v, c, z, y, x) = rng() % 4 == 0 ? static_cast<UC>(rng() % 256) : 0;
  for (int n = 0; n < 3; ++n) {
    const int cz = static_cast<int>(rng() % Z), cy = static_cast<int>(rng() % Y),
              cx = static_cast<int>(rng() % X), r = 2 + static_cast<int>(rng() % 3);
    const UC level = static_cast<UC>(150 + rng() % 100);
    for (int z = 0; z < Z; ++z)
      for (int y = 0; y < Y; ++y)
        for (int x = 0; x < X; ++x)
          if ((z - cz) * (z - cz) + (y - cy) * (y - cy) + (x - cx) * (x - cx) <= r * r)
            for (int c = 0; c < channels; ++c) at<UC>(v, c, z, y, x) = level;
  }
  return v;
}

struct Angles {
  float a1, a2;
};
const Angles kAngles[] = {{0, 0},     {30, 0},  {90, 0},      {30, 20},   {-70, 45},
                          {135, -60}, {10, 90}, {250, 33.3f}, {180, 180}, {-17.5f, -89}};
const int kSizes[][2] = {{24, 24}, {9, 7}, {31, 40}};

struct Scene {
  VolumePtr v;
  const char* name;
};

std::vector<Scene> scenes() {
  std::vector<Scene> s;
  s.push_back({makeScene(1, 9, 11, 13, V3D_ONE_CHANNEL), "grey"});
  s.push_back({makeScene(2, 7, 10, 12, V3D_THREE_CHANNELS), "colour"});
  auto voi = makeScene(3, 12, 12, 12, V3D_ONE_CHANNEL);
  setVoi(voi, {2, 10, 1, 9, 3, 12});
  s.push_back({std::move(voi), "grey with a VOI"});
  auto corner = make_volume(8, 9, 10);  // crop moves the box far from the VOI centre
  for (int z = 5; z < 8; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 6; x < 10; ++x)
        at<UC>(corner, 0, z, y, x) = static_cast<UC>(40 + 10 * z + y + x);
  s.push_back({std::move(corner), "corner block"});
  return s;
}

TEST(ProjectionsReference, EveryProjectionMatchesTheReference) {
  const unsigned char thr[3] = {120, 200, 90};
  for (Scene& s : scenes()) {
    const int ch = channelCount(*s.v.get());
    for (const auto& size : kSizes)
      for (int crop = 0; crop <= 1; ++crop)
        for (const Angles& a : kAngles) {
          SCOPED_TRACE(::testing::Message()
                       << s.name << " " << size[0] << "x" << size[1] << " crop " << crop
                       << " angles " << a.a1 << ", " << a.a2);
          Picture got(ch, size[0], size[1]), want(ch, size[0], size[1]);
          const int R = size[0], C = size[1];
          struct Case {
            const char* name;
            RefRule rule;
            bool threeD, cue;
            int (*call)(Volume*, unsigned char***, int, int, float, float, int,
                        const unsigned char*);
          };
          const Case cases[] = {
              {"Max3d", RefRule::kMaximum, true, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float b, int c,
                  const unsigned char*) { return ProvoliMax3d(v, i, R, C, a, b, c); }},
              {"Avrg3d", RefRule::kAverage, true, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float b, int c,
                  const unsigned char*) { return ProvoliAvrg3d(v, i, R, C, a, b, c); }},
              {"Provoli3d", RefRule::kFirstHit, true, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float b, int c,
                  const unsigned char* t) {
                 return Provoli3d(v, i, R, C, a, b, c, const_cast<unsigned char*>(t));
               }},
              {"Binary3d", RefRule::kBinary, true, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float b, int c,
                  const unsigned char* t) {
                 return Provoli3dBinary(v, i, R, C, a, b, c, const_cast<unsigned char*>(t));
               }},
              {"Surface", RefRule::kSurface, true, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float b, int c,
                  const unsigned char* t) {
                 return Provoli3dSurface(v, i, R, C, a, b, c, const_cast<unsigned char*>(t), 0);
               }},
              {"Surface cued", RefRule::kSurface, true, true,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float b, int c,
                  const unsigned char* t) {
                 return Provoli3dSurface(v, i, R, C, a, b, c, const_cast<unsigned char*>(t), 1);
               }},
              {"SurfaceColor cued", RefRule::kSurfaceColour, true, true,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float b, int c,
                  const unsigned char* t) {
                 return Provoli3dSurfaceColor(v, i, R, C, a, b, c, const_cast<unsigned char*>(t),
                                              1);
               }},
              {"Max2d", RefRule::kMaximum, false, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float, int c,
                  const unsigned char*) { return ProvoliMax2d(v, i, R, C, a, c); }},
              {"Avrg2d", RefRule::kAverage, false, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float, int c,
                  const unsigned char*) { return ProvoliAvrg2d(v, i, R, C, a, c); }},
              {"Provoli2d", RefRule::kFirstHit, false, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float, int c,
                  const unsigned char* t) {
                 return Provoli2d(v, i, R, C, a, c, const_cast<unsigned char*>(t));
               }},
              {"Binary2d", RefRule::kBinary, false, false,
               [](Volume* v, unsigned char*** i, int R, int C, float a, float, int c,
                  const unsigned char* t) {
                 return Provoli2dBinary(v, i, R, C, a, c, const_cast<unsigned char*>(t));
               }},
          };
          for (const Case& k : cases) {
            if (!k.threeD && a.a2 != 0.0f) continue;  // the 2-D form has one angle
            ASSERT_EQ(k.call(s.v, got.get(), R, C, a.a1, a.a2, crop, thr), 0) << k.name;
            refProject(k.rule, s.v, want, a.a1, a.a2, k.threeD, crop, thr, k.cue);
            ASSERT_TRUE(got == want) << k.name;
          }
          for (const float depth : {0.0f, 33.0f, 50.0f, 100.0f}) {
            ASSERT_EQ(TomiRand2(s.v, got.get(), R, C, a.a1, a.a2, crop, depth), 0);
            refSection(s.v, want, a.a1, a.a2, crop, depth);
            ASSERT_TRUE(got == want) << "TomiRand2 at " << depth << "%";
          }
        }
  }
}

// ---- Exact pictures at 0 and 90 degrees -------------------------------------------------

TEST(ProjectionsExact, AxisAlignedMaximaAreTheVolumesAxisMaxima) {
  // Odd sizes: the box centre is the middle voxel on every axis.
  auto v = makeScene(7, 7, 9, 11, V3D_ONE_CHANNEL);
  const int R = 20, C = 20;
  Picture p(1, R, C);
  // 3-D at (0, 0): rays down the rows, columns follow x, rows follow z upward.
  ASSERT_EQ(ProvoliMax3d(v, p.get(), R, C, 0, 0, 0), 0);
  for (int z = 0; z < 7; ++z)
    for (int x = 0; x < 11; ++x) {
      int m = 0;
      for (int y = 0; y < 9; ++y) m = std::max<int>(m, at<UC>(v, 0, z, y, x));
      EXPECT_EQ(p.at(0, R / 2 - (z - 3), C / 2 + (x - 5)), m) << z << " " << x;
    }
  // 3-D at (90, 0): rays run toward lower x, columns follow y.
  ASSERT_EQ(ProvoliMax3d(v, p.get(), R, C, 90, 0, 0), 0);
  for (int z = 0; z < 7; ++z)
    for (int y = 0; y < 9; ++y) {
      int m = 0;
      for (int x = 0; x < 11; ++x) m = std::max<int>(m, at<UC>(v, 0, z, y, x));
      EXPECT_EQ(p.at(0, R / 2 - (z - 3), C / 2 + (y - 4)), m) << z << " " << y;
    }
  // 2-D at 0: frame k of the box on row R/2 + e/2 - 1 - k, column C/2 the middle column.
  ASSERT_EQ(ProvoliMax2d(v, p.get(), R, C, 0, 0), 0);
  for (int z = 0; z < 7; ++z)
    for (int x = 0; x < 11; ++x) {
      int m = 0;
      for (int y = 0; y < 9; ++y) m = std::max<int>(m, at<UC>(v, 0, z, y, x));
      EXPECT_EQ(p.at(0, R / 2 + 7 / 2 - 1 - z, C / 2 + (x - 5)), m);
    }
  // 2-D at 90: the rays run along x, the lateral offset along -y.
  ASSERT_EQ(ProvoliMax2d(v, p.get(), R, C, 90, 0), 0);
  for (int z = 0; z < 7; ++z)
    for (int y = 0; y < 9; ++y) {
      int m = 0;
      for (int x = 0; x < 11; ++x) m = std::max<int>(m, at<UC>(v, 0, z, y, x));
      EXPECT_EQ(p.at(0, R / 2 + 7 / 2 - 1 - z, C / 2 - (y - 4)), m);
    }
}

TEST(ProjectionsExact, FirstHitAtZeroShowsTheFirstRowAboveTheThreshold) {
  auto v = make_volume(3, 5, 4);
  at<UC>(v, 0, 1, 3, 2) = 90;
  at<UC>(v, 0, 1, 4, 2) = 200;  // behind the first hit
  at<UC>(v, 0, 1, 1, 1) = 50;   // not above the threshold
  unsigned char thr = 60;
  Picture p(1, 8, 8);
  ASSERT_EQ(Provoli3d(v, p.get(), 8, 8, 0, 0, 0, &thr), 0);
  EXPECT_EQ(p.at(0, 4, 4), 90);  // z = 1 = zc on row R/2, x = 2 = xc on column C/2
  EXPECT_EQ(p.at(0, 4, 3), 0);
  // Seen from the other side (180 degrees) the ray meets 200 first, on the mirrored column.
  ASSERT_EQ(Provoli3d(v, p.get(), 8, 8, 180, 0, 0, &thr), 0);
  EXPECT_EQ(p.at(0, 4, 4), 200);
}

// ---- Edge cases of the description ------------------------------------------------------

TEST(ProjectionsEdges, EmptyVoiThresholdAndCropGiveZeroImages) {
  auto v = makeScene(4, 6, 8, 8, V3D_ONE_CHANNEL);
  setVoi(v, {1, 5, 2, 7, 1, 6});
  auto zeros = make_volume(6, 8, 8);
  setVoi(zeros, {1, 5, 2, 7, 1, 6});
  unsigned char none = 255;
  Picture p(1, 16, 16);
  for (int crop = 0; crop <= 1; ++crop) {
    ASSERT_EQ(ProvoliMax3d(zeros, p.get(), 16, 16, 20, 10, crop), 0);
    EXPECT_TRUE(p.allZero());
    ASSERT_EQ(ProvoliAvrg2d(zeros, p.get(), 16, 16, 20, crop), 0);
    EXPECT_TRUE(p.allZero());
    ASSERT_EQ(Provoli3dSurface(zeros, p.get(), 16, 16, 20, 10, crop, &none, 1), 0);
    EXPECT_TRUE(p.allZero());
    ASSERT_EQ(TomiRand2(zeros, p.get(), 16, 16, 20, 10, crop, 50), 0);
    EXPECT_TRUE(p.allZero());
    ASSERT_EQ(Provoli3d(v, p.get(), 16, 16, 20, 10, crop, &none), 0);
    EXPECT_TRUE(p.allZero()) << "no sample exceeds 255";
    ASSERT_EQ(Provoli2dBinary(v, p.get(), 16, 16, 20, crop, &none), 0);
    EXPECT_TRUE(p.allZero());
  }
}

TEST(ProjectionsEdges, ColourFirstHitWritesEveryChannelOfTheHit) {
  auto v = make_volume(1, 3, 1, V3D_UC, V3D_THREE_CHANNELS);
  at<UC>(v, 0, 0, 1, 0) = 200;  // red exceeds its threshold
  at<UC>(v, 1, 0, 1, 0) = 7;
  at<UC>(v, 2, 0, 1, 0) = 9;
  at<UC>(v, 1, 0, 0, 0) = 5;  // green below its threshold, earlier on the ray
  unsigned char thr[3] = {100, 100, 100};
  Picture p(3, 4, 4);
  ASSERT_EQ(Provoli3d(v, p.get(), 4, 4, 0, 0, 0, thr), 0);
  EXPECT_EQ(p.at(0, 2, 2), 200);
  EXPECT_EQ(p.at(1, 2, 2), 7);
  EXPECT_EQ(p.at(2, 2, 2), 9);
}

TEST(ProjectionsEdges, AverageRoundsHalfUpAndWideProjectionsAreCutCentred) {
  auto v = make_volume(1, 2, 9);
  for (int x = 0; x < 9; ++x) at<UC>(v, 0, 0, 0, x) = 1, at<UC>(v, 0, 0, 1, x) = 2;
  at<UC>(v, 0, 0, 0, 0) = 10;
  at<UC>(v, 0, 0, 0, 8) = 30;
  Picture p(1, 3, 5);  // nine columns into five: the cut keeps x = 2..6, centred
  ASSERT_EQ(ProvoliAvrg3d(v, p.get(), 3, 5, 0, 0, 0), 0);
  for (int c = 0; c < 5; ++c) EXPECT_EQ(p.at(0, 1, c), 2) << "(1 + 2) / 2 rounds to 2";
  ASSERT_EQ(ProvoliMax3d(v, p.get(), 3, 5, 0, 0, 0), 0);
  for (int c = 0; c < 5; ++c) EXPECT_EQ(p.at(0, 1, c), 2) << "the marked ends are cut off";
}

TEST(ProjectionsEdges, EvenBoxesKeepTheirFirstRowAndFrame) {
  // The corner left of the centre of an even box is rounded to -n, not toward the centre, so
  // the first row and the first frame are inside the picture.
  auto v = make_volume(4, 4, 4);
  at<UC>(v, 0, 0, 0, 0) = 50;
  Picture p(1, 8, 8);
  ASSERT_EQ(ProvoliMax3d(v, p.get(), 8, 8, 0, 0, 0), 0);
  EXPECT_EQ(p.at(0, 4 + 2, 4 - 2), 50);
  ASSERT_EQ(ProvoliMax2d(v, p.get(), 8, 8, 0, 0), 0);
  EXPECT_EQ(p.at(0, 4 + 2 - 1, 4 - 2), 50);
}

TEST(ProjectionsEdges, SurfaceShadesIsolatedHitsFullyAndKeepsDeepHits) {
  // One voxel at the 256th depth step: its depth image entry is 256, not lost to a wrap.
  auto v = make_volume(1, 300, 1);
  at<UC>(v, 0, 0, 255, 0) = 99;
  unsigned char thr = 0;
  Picture p(1, 5, 5), colour(1, 5, 5);
  ASSERT_EQ(Provoli3dSurface(v, p.get(), 5, 5, 0, 0, 0, &thr, 0), 0);
  EXPECT_EQ(p.at(0, 2, 2), 255) << "an isolated hit has h = 1: 225 + 30";
  ASSERT_EQ(Provoli3dSurfaceColor(v, colour.get(), 5, 5, 0, 0, 0, &thr, 1), 0);
  EXPECT_EQ(colour.at(0, 2, 2), 99) << "one depth: cueing shades as without it";
  // A flat wall seen face on: every hit at one depth, cueing with no depth range.
  auto wall = make_volume(5, 6, 5);
  for (int z = 0; z < 5; ++z)
    for (int x = 0; x < 5; ++x) at<UC>(wall, 0, z, 3, x) = 180;
  Picture cued(1, 9, 9), plain(1, 9, 9);
  ASSERT_EQ(Provoli3dSurface(wall, cued.get(), 9, 9, 0, 0, 0, &thr, 1), 0);
  ASSERT_EQ(Provoli3dSurface(wall, plain.get(), 9, 9, 0, 0, 0, &thr, 0), 0);
  EXPECT_TRUE(cued == plain);
  EXPECT_EQ(plain.at(0, 4, 4), 255) << "a face-on plane: every triangle's cosine is 1";
}

TEST(ProjectionsEdges, GradientShadingOfABlock) {
  // A solid block in a larger VOI, seen at 0 in the 2-D form: its front face gets 255, a hit
  // on the VOI's outermost layer its own value.
  auto v = make_volume(5, 12, 12);
  for (int z = 1; z < 4; ++z)
    for (int y = 4; y < 9; ++y)
      for (int x = 3; x < 9; ++x) at<UC>(v, 0, z, y, x) = 200;
  at<UC>(v, 0, 2, 0, 1) = 150;  // on the outermost row of the VOI
  unsigned char thr = 100;
  Picture p(1, 5, 16);
  ASSERT_EQ(Provoli2dBinary(v, p.get(), 5, 16, 0, 0, &thr), 0);
  const int row = 5 / 2 + 5 / 2 - 1 - 2;  // frame 2
  EXPECT_EQ(p.at(0, row, 16 / 2 + (5 - 6)), 255);
  EXPECT_EQ(p.at(0, row, 16 / 2 + (1 - 6)), 150);
  // At 45 degrees the front face is slanted: 255 cos 45, rounded.
  ASSERT_EQ(Provoli2dBinary(v, p.get(), 5, 16, 45, 0, &thr), 0);
  int slanted = 0;
  for (int c = 0; c < 16; ++c) slanted += p.at(0, row, c) == 180;
  EXPECT_GT(slanted, 0);
}

// ---- Properties ---------------------------------------------------------------------------

TEST(ProjectionsProperties, MaximumNeverBelowAverageAndFullTurnsRepeat) {
  auto v = makeScene(11, 10, 12, 14, V3D_THREE_CHANNELS);
  Picture mx(3, 25, 25), avg(3, 25, 25), turned(3, 25, 25), zero(3, 25, 25);
  for (const Angles& a : kAngles) {
    ASSERT_EQ(ProvoliMax3d(v, mx.get(), 25, 25, a.a1, a.a2, 0), 0);
    ASSERT_EQ(ProvoliAvrg3d(v, avg.get(), 25, 25, a.a1, a.a2, 0), 0);
    for (int c = 0; c < 3; ++c)
      for (int r = 0; r < 25; ++r)
        for (int k = 0; k < 25; ++k) ASSERT_GE(mx.at(c, r, k), avg.at(c, r, k));
  }
  ASSERT_EQ(ProvoliMax3d(v, zero.get(), 25, 25, 0, 0, 0), 0);
  ASSERT_EQ(ProvoliMax3d(v, turned.get(), 25, 25, 360, 0, 0), 0);
  EXPECT_TRUE(turned == zero) << "a full turn gives the 0 degree picture";
  ASSERT_EQ(ProvoliMax2d(v, zero.get(), 25, 25, 0, 0), 0);
  ASSERT_EQ(ProvoliMax2d(v, turned.get(), 25, 25, -360, 0), 0);
  EXPECT_TRUE(turned == zero);
}

TEST(ProjectionsProperties, OneVoxelLandsOnTheImageCentreAtEveryAngle) {
  auto v = make_volume(1, 1, 1);
  at<UC>(v, 0, 0, 0, 0) = 77;
  Picture p(1, 10, 11);
  for (const Angles& a : kAngles) {
    ASSERT_EQ(ProvoliMax3d(v, p.get(), 10, 11, a.a1, a.a2, 0), 0);
    EXPECT_EQ(p.at(0, 5, 5), 77) << a.a1 << " " << a.a2;
    ASSERT_EQ(ProvoliMax2d(v, p.get(), 10, 11, a.a1, 0), 0);
    EXPECT_EQ(p.at(0, 10 / 2 + 1 / 2 - 1 + 0, 5), 77);
  }
}

// ---- Sections -----------------------------------------------------------------------------

TEST(Sections, OrthogonalPlanesAndTheirLimits) {
  auto v = makeScene(5, 10, 6, 7, V3D_THREE_CHANNELS);
  setVoi(v, {0, 10, 1, 5, 2, 7});
  Picture p(3, 12, 12);
  // Type 1 at z0 copies the first frame; at z1 it is refused.
  ASSERT_EQ(TomiOrth(v, p.get(), 12, 12, 1, 0), 0);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(p.at(c, 3 - 1, 4 - 2), at<UC>(v, c, 0, 3, 4));
  EXPECT_EQ(p.at(0, 11, 11), 0xAB) << "outside the rectangle nothing is written";
  EXPECT_EQ(TomiOrth(v, p.get(), 12, 12, 1, 10), kInvalidParameters);
  // Type 2 over ten frames: frame z0 on row 9, the last on row 0.
  ASSERT_EQ(TomiOrth(v, p.get(), 12, 12, 2, 3), 0);
  EXPECT_EQ(p.at(1, 9, 0), at<UC>(v, 1, 0, 3, 2));
  EXPECT_EQ(p.at(1, 0, 4), at<UC>(v, 1, 9, 3, 6));
  ASSERT_EQ(TomiOrth(v, p.get(), 12, 12, 3, 6), 0);
  EXPECT_EQ(p.at(2, 9, 3), at<UC>(v, 2, 0, 4, 6));
  EXPECT_EQ(TomiOrth(v, p.get(), 9, 12, 2, 3), kInvalidParameters) << "ten frames, nine rows";
  EXPECT_EQ(TomiOrth(v, p.get(), 12, 12, 4, 3), kInvalidParameters);
}

TEST(Sections, PlanesByTheirEquation) {
  auto v = makeScene(6, 8, 6, 5, V3D_ONE_CHANNEL);
  Picture p(1, 10, 10);
  // a = b = 0, c = 1, e = -5: the plane z = 5, frame 5.
  ASSERT_EQ(TomiRand1(v, p.get(), 10, 10, 0, 0, 1, -5, 1), 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(p.at(0, y, x), at<UC>(v, 0, 5, y, x));
  // z = 9 lies outside the VOI: an all-zero rectangle.
  ASSERT_EQ(TomiRand1(v, p.get(), 10, 10, 0, 0, 1, -9, 1), 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(p.at(0, y, x), 0);
  EXPECT_EQ(p.at(0, 6, 0), 0xAB);
  // Type 1 with a = 1: the first coefficient multiplies y, so the plane is z = -y.
  ASSERT_EQ(TomiRand1(v, p.get(), 10, 10, 1, 0, 1, 0, 1), 0);
  EXPECT_EQ(p.at(0, 0, 3), at<UC>(v, 0, 0, 0, 3));
  EXPECT_EQ(p.at(0, 2, 3), 0);
  // Type 2: y solved from z and x; the plane y = 2 puts frame z on row z.
  ASSERT_EQ(TomiRand1(v, p.get(), 10, 10, 0, 1, 0, -2, 2), 0);
  EXPECT_EQ(p.at(0, 7, 4), at<UC>(v, 0, 7, 2, 4));
  // Type 3: x = 4 - z / 2 (truncated after + 0.5).
  ASSERT_EQ(TomiRand1(v, p.get(), 10, 10, 2, 0, 1, -8, 3), 0);
  for (int z = 0; z < 8; ++z)
    for (int y = 0; y < 6; ++y) {
      const int x = static_cast<int>(0.5f - z * 0.5f - y * 0.0f - (-4.0f));
      EXPECT_EQ(p.at(0, z, y), x >= 0 && x < 5 ? at<UC>(v, 0, z, y, x) : 0);
    }
  EXPECT_EQ(TomiRand1(v, p.get(), 10, 10, 0, 1, 1, 0, 3), kInvalidParameters) << "a = 0";
  EXPECT_EQ(TomiRand1(v, p.get(), 10, 10, 1, 0, 1, 0, 2), kInvalidParameters) << "b = 0";
  EXPECT_EQ(TomiRand1(v, p.get(), 5, 10, 0, 1, 1, 0, 1), kInvalidParameters) << "R < Y";
}

TEST(Sections, ObliqueSectionAtHalfDepthCutsTheCentre) {
  // Ten rows: N = 10 depth steps from -5, and 50 % gives w = 0, the row y = yc = 5.
  auto v = makeScene(8, 9, 10, 9, V3D_ONE_CHANNEL);
  Picture p(1, 15, 15);
  ASSERT_EQ(TomiRand2(v, p.get(), 15, 15, 0, 0, 0, 50), 0);
  for (int z = 0; z < 9; ++z)
    for (int x = 0; x < 9; ++x) EXPECT_EQ(p.at(0, 7 - (z - 4), 7 + (x - 4)), at<UC>(v, 0, z, 5, x));
  ASSERT_EQ(TomiRand2(v, p.get(), 15, 15, 0, 0, 0, -0.0f), 0) << "-0 counts as 0";
}

// ---- Bad input ------------------------------------------------------------------------------

TEST(ProjectionsFailures, EveryCodeLeavesTheImageUntouched) {
  auto v = makeScene(9, 6, 7, 8, V3D_THREE_CHANNELS);
  auto f = make_volume(6, 7, 8, V3D_F);
  auto badVoi = make_volume(6, 7, 8);
  badVoi->voiX1 = 9;
  auto badColour = make_volume(6, 7, 8);
  badColour->colorType = 4;
  Volume unallocated{};  // sizes and types without storage
  InitializeVolume(&unallocated, 6, 7, 8, V3D_UC, V3D_ONE_CHANNEL);
  unsigned char thr[3] = {10, 10, 10};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Picture p(3, 12, 12);
  const Picture untouched(3, 12, 12);
  unsigned char** oneMissing[3] = {p.get()[0], nullptr, p.get()[2]};
  struct Bad {
    const char* what;
    int expected;
    std::function<int()> call;
  };
  const std::vector<Bad> bad = {
      {"null volume", kNullVolume, [&] { return ProvoliMax3d(nullptr, p.get(), 12, 12, 0, 0, 0); }},
      {"F volume", kWrongDataType, [&] { return Provoli2d(f, p.get(), 12, 12, 0, 0, thr); }},
      {"VOI outside", kInvalidVoi, [&] { return TomiOrth(badVoi, p.get(), 12, 12, 1, 0); }},
      {"colour type 4", kWrongColorType,
       [&] { return Provoli3dSurfaceColor(badColour, p.get(), 12, 12, 0, 0, 0, thr, 0); }},
      {"no storage", kNullSequence,
       [&] { return ProvoliAvrg2d(&unallocated, p.get(), 12, 12, 0, 0); }},
      {"null image", kNullImagePointer, [&] { return ProvoliAvrg3d(v, nullptr, 12, 12, 0, 0, 0); }},
      {"null channel", kNullImagePointer,
       [&] { return TomiRand2(v, oneMissing, 12, 12, 0, 0, 0, 5); }},
      {"R = 0", kInvalidParameters, [&] { return ProvoliMax2d(v, p.get(), 0, 12, 0, 0); }},
      {"C < 0", kInvalidParameters, [&] { return TomiRand1(v, p.get(), 12, -1, 0, 0, 1, -2, 1); }},
      {"NaN angle", kInvalidParameters,
       [&] { return ProvoliMax3d(v, p.get(), 12, 12, nan, 0, 0); }},
      {"infinite angle", kInvalidParameters,
       [&] { return Provoli3dSurface(v, p.get(), 12, 12, 0, -inf, 0, thr, 1); }},
      {"NaN 2-D angle", kInvalidParameters,
       [&] { return Provoli2dBinary(v, p.get(), 12, 12, nan, 0, thr); }},
      {"depth 100.5", kInvalidParameters,
       [&] { return TomiRand2(v, p.get(), 12, 12, 0, 0, 0, 100.5f); }},
      {"depth -1", kInvalidParameters, [&] { return TomiRand2(v, p.get(), 12, 12, 0, 0, 0, -1); }},
      {"NaN depth", kInvalidParameters,
       [&] { return TomiRand2(v, p.get(), 12, 12, 0, 0, 0, nan); }},
      {"NaN coefficient", kInvalidParameters,
       [&] { return TomiRand1(v, p.get(), 12, 12, nan, 0, 1, 0, 1); }},
      {"null thresholds", kNullBasicTypePointer,
       [&] { return Provoli3d(v, p.get(), 12, 12, 0, 0, 0, nullptr); }},
  };
  for (const Bad& b : bad) {
    EXPECT_EQ(b.call(), b.expected) << b.what;
    EXPECT_TRUE(p == untouched) << b.what;
  }
  badColour->colorType = V3D_ONE_CHANNEL;  // as it was made, for its release
}

TEST(ProjectionsFailures, ShortMemoryReportsItsCodeAndReleasesEverything) {
  auto v = makeScene(10, 6, 7, 8, V3D_THREE_CHANNELS);
  unsigned char thr[3] = {10, 10, 10};
  Picture p(3, 12, 12);
  const Picture untouched(3, 12, 12);
  const long before = liveStorageBlocks();
  failAllocationsAfter(0);
  EXPECT_EQ(ProvoliMax3d(v, p.get(), 12, 12, 30, 0, 0), kCannotAllocateBuffer);
  EXPECT_EQ(Provoli2d(v, p.get(), 12, 12, 30, 0, thr), kCannotAllocateBuffer);
  // The working arrays succeed; the depth image, then the colour image, cannot be made.
  for (int allowed : {8, 9}) {
    failAllocationsAfter(allowed);
    EXPECT_EQ(Provoli3dSurfaceColor(v, p.get(), 12, 12, 30, 0, 0, thr, 1), kCannotAllocateVolume)
        << allowed;
  }
  failAllocationsAfter(-1);
  EXPECT_TRUE(p == untouched);
  EXPECT_EQ(liveStorageBlocks(), before);
}

}  // namespace
}  // namespace v3d::test
