// Basic volume operations against plain references, on random volumes whose VOI is smaller
// than the volume, with three channels where the operation takes them.
#include <algorithm>
#include <climits>
#include <cmath>

#include "core/basic_ops.h"
#include "core/image_size.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

// A random VOI of `v`, at least one sample on each axis, usually smaller than the volume.
Box randomVoi(const Volume* v, std::mt19937& rng) {
  auto axis = [&](int n, int& lo, int& hi) {
    lo = static_cast<int>(rng() % static_cast<unsigned>(n));
    hi = lo + 1 + static_cast<int>(rng() % static_cast<unsigned>(n - lo));
  };
  Box b{};
  axis(v->Z, b.z0, b.z1);
  axis(v->Y, b.y0, b.y1);
  axis(v->X, b.x0, b.x1);
  return b;
}

bool inside(const Box& b, int z, int y, int x) {
  return z >= b.z0 && z < b.z1 && y >= b.y0 && y < b.y1 && x >= b.x0 && x < b.x1;
}

TEST(ClearVolumeTest, ConvertsValuesPerTypeAndWritesOnlyTheVoi) {
  OwnedVolume v(V3D_UC, V3D_THREE_CHANNELS, 3, 4, 5);
  fillRandom(v, 7);
  const Box voi{1, 3, 0, 2, 1, 4};
  setVoi(v, voi);
  auto before = snapshot(v);
  float values[3] = {254.9f, 255.0f, -0.0f};
  ASSERT_EQ(ClearVolume(v, values), 0);
  for (int c = 0; c < 3; ++c)
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
          const UC s = at<UC>(v, c, z, y, x);
          if (inside(voi, z, y, x))
            EXPECT_EQ(s, c == 0 ? 254 : c == 1 ? 255 : 0);
          else
            EXPECT_EQ(s, before[sizeof(Volume) + ((c * 3 + z) * 4 + y) * 5 + x]);
        }
  EXPECT_EQ(CheckIfVolumeClear(v, values), 1);
  at<UC>(v, 2, 1, 1, 3) = 1;
  EXPECT_EQ(CheckIfVolumeClear(v, values), 0);
  at<UC>(v, 2, 1, 1, 3) = 0;
  at<UC>(v, 2, 0, 0, 0) = 9;  // outside the VOI
  EXPECT_EQ(CheckIfVolumeClear(v, values), 1);

  before = snapshot(v);
  for (float bad : {255.5f, -1.0f, NAN}) {
    float vals[3] = {1.0f, 2.0f, bad};
    EXPECT_EQ(ClearVolume(v, vals), kInvalidParameters) << bad;
    EXPECT_EQ(CheckIfVolumeClear(v, vals), kInvalidParameters) << bad;
  }
  EXPECT_EQ(ClearVolume(v, nullptr), -4);
  EXPECT_EQ(snapshot(v), before) << "a refused clear writes nothing";
}

TEST(ClearVolumeTest, IntegerAndFloatValues) {
  OwnedVolume i(V3D_I, 1, 2, 2, 2);
  float v1[1] = {-2147483648.0f};
  ASSERT_EQ(ClearVolume(i, v1), 0);
  EXPECT_EQ(at<I32>(i, 0, 1, 1, 1), INT_MIN);
  float v2[1] = {-7.9f};
  ASSERT_EQ(ClearVolume(i, v2), 0);
  EXPECT_EQ(at<I32>(i, 0, 0, 0, 0), -7) << "truncated toward zero";
  // 2^31 has no 32-bit integer: refused rather than converted out of range.
  float v3[1] = {2147483648.0f};
  EXPECT_EQ(ClearVolume(i, v3), kInvalidParameters);
  float v4[1] = {2147483520.0f};  // the largest float below 2^31
  EXPECT_EQ(ClearVolume(i, v4), 0);
  EXPECT_EQ(at<I32>(i, 0, 1, 0, 1), 2147483520);

  OwnedVolume f(V3D_F, 1, 2, 2, 2);
  float v5[1] = {0.1f};
  ASSERT_EQ(ClearVolume(f, v5), 0);
  EXPECT_EQ(at<float>(f, 0, 1, 1, 0), 0.1f);
  EXPECT_EQ(CheckIfVolumeClear(f, v5), 1);
  at<float>(f, 0, 1, 1, 0) = std::nextafter(0.1f, 1.0f);
  EXPECT_EQ(CheckIfVolumeClear(f, v5), 0) << "an exact comparison";
  EXPECT_EQ(CheckIfVolumeClear(nullptr, v5), kNullVolume);
}

TEST(CheckIfUCBinaryTest, LooksOnlyInsideTheVoiOfEveryChannel) {
  OwnedVolume v(V3D_UC, V3D_THREE_CHANNELS, 3, 3, 3);
  fillRandom(v, 3, true);
  EXPECT_EQ(CheckIfUCBinary(v), 1);
  at<UC>(v, 2, 2, 2, 2) = 1;
  EXPECT_EQ(CheckIfUCBinary(v), 0);
  fill_in_VOI(v, 0, 2, 0, 3, 0, 3);
  EXPECT_EQ(CheckIfUCBinary(v), 1);
  OwnedVolume f(V3D_F, 1, 1, 1, 1);
  EXPECT_EQ(CheckIfUCBinary(f), kWrongDataType);
}

TEST(CountTest, NonZeroAndSurfacePointsMatchTheReference) {
  std::mt19937 rng(11);
  for (int round = 0; round < 20; ++round) {
    OwnedVolume v(V3D_UC, 1, 1 + rng() % 7, 1 + rng() % 7, 1 + rng() % 7);
    // Sparse-ish binary content so that both interior and surface voxels exist.
    for (int z = 0; z < v->Z; ++z)
      for (int y = 0; y < v->Y; ++y)
        for (int x = 0; x < v->X; ++x) at<UC>(v, 0, z, y, x) = (rng() % 5) ? 200 : 0;
    const Box b = randomVoi(v, rng);
    setVoi(v, b);
    unsigned long n = 0, ref = 0, surf = 0, refSurf = 0;
    ASSERT_EQ(CountNonZeroPoints3d(v, &n), 0);
    ASSERT_EQ(CountNonZeroSurfacePoints3d(v, &surf), 0);
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
          if (at<UC>(v, 0, z, y, x) == 0) continue;
          ++ref;
          if (z <= b.z0 || z >= b.z1 - 1 || y <= b.y0 || y >= b.y1 - 1 || x <= b.x0 ||
              x >= b.x1 - 1)
            continue;
          bool zero = false;
          for (int k = -1; k <= 1; ++k)
            for (int j = -1; j <= 1; ++j)
              for (int i = -1; i <= 1; ++i) zero |= at<UC>(v, 0, z + k, y + j, x + i) == 0;
          refSurf += zero;
        }
    EXPECT_EQ(n, ref);
    EXPECT_EQ(surf, refSurf);
  }
}

TEST(CountTest, SolidCubeHas26SurfacePointsAndNullOutputsAreRefused) {
  OwnedVolume v(V3D_UC, 1, 7, 7, 7);
  for (int z = 2; z < 5; ++z)
    for (int y = 2; y < 5; ++y)
      for (int x = 2; x < 5; ++x) at<UC>(v, 0, z, y, x) = 255;
  unsigned long n = 0;
  ASSERT_EQ(CountNonZeroSurfacePoints3d(v, &n), 0);
  EXPECT_EQ(n, 26u);
  ASSERT_EQ(CountNonZeroPoints3d(v, &n), 0);
  EXPECT_EQ(n, 27u);
  // The outermost VOI layer is never examined.
  fill_in_VOI(v, 2, 5, 2, 5, 2, 5);
  ASSERT_EQ(CountNonZeroSurfacePoints3d(v, &n), 0);
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(CountNonZeroPoints3d(v, nullptr), -4);
  EXPECT_EQ(CountNonZeroSurfacePoints3d(v, nullptr), -4);
  OwnedVolume colour(V3D_UC, 2, 1, 1, 1);
  EXPECT_EQ(CountNonZeroPoints3d(colour, &n), kWrongColorType);
}

TEST(BoundingBoxTest, MatchesTheReferenceOverAllChannels) {
  std::mt19937 rng(5);
  for (int round = 0; round < 30; ++round) {
    OwnedVolume v(V3D_UC, round % 2 ? 2 : 1, 1 + rng() % 6, 1 + rng() % 6, 1 + rng() % 6);
    for (int c = 0; c < channelCount(*v.get()); ++c)
      for (int k = 0; k < 2; ++k)
        at<UC>(v, c, rng() % v->Z, rng() % v->Y, rng() % v->X) = static_cast<UC>(1 + rng() % 255);
    const Box b = randomVoi(v, rng);
    setVoi(v, b);
    int r[6] = {-1, -1, -1, -1, -1, -1};
    int zmin = INT_MAX, ymin = INT_MAX, xmin = INT_MAX, zmax = -1, ymax = -1, xmax = -1;
    for (int c = 0; c < channelCount(*v.get()); ++c)
      for (int z = b.z0; z < b.z1; ++z)
        for (int y = b.y0; y < b.y1; ++y)
          for (int x = b.x0; x < b.x1; ++x)
            if (at<UC>(v, c, z, y, x) != 0) {
              zmin = std::min(zmin, z), ymin = std::min(ymin, y), xmin = std::min(xmin, x);
              zmax = std::max(zmax, z), ymax = std::max(ymax, y), xmax = std::max(xmax, x);
            }
    ASSERT_EQ(FindBoundingBox3d(v, &r[0], &r[1], &r[2], &r[3], &r[4], &r[5]), 0);
    if (zmax < 0) {
      for (int i = 0; i < 6; ++i) EXPECT_EQ(r[i], -1);
    } else {
      EXPECT_EQ(r[0], zmin);
      EXPECT_EQ(r[1], ymin);
      EXPECT_EQ(r[2], xmin);
      EXPECT_EQ(r[3], zmax + 1);
      EXPECT_EQ(r[4], ymax + 1);
      EXPECT_EQ(r[5], xmax + 1);
    }
  }
  OwnedVolume v(V3D_UC, 1, 2, 2, 2);
  int a, b, c, d, e;
  EXPECT_EQ(FindBoundingBox3d(v, &a, &b, &c, &d, &e, nullptr), -4);
}

TEST(MinMaxTest, ScansTheVoiAndAcceptsOneNullOutput) {
  std::mt19937 rng(9);
  OwnedVolume v(V3D_UC, 1, 4, 5, 6);
  fillRandom(v, 9);
  for (int round = 0; round < 10; ++round) {
    const Box b = randomVoi(v, rng);
    setVoi(v, b);
    int mn = 300, mx = -1, rmn = 300, rmx = -1;
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
          rmn = std::min<int>(rmn, at<UC>(v, 0, z, y, x));
          rmx = std::max<int>(rmx, at<UC>(v, 0, z, y, x));
        }
    ASSERT_EQ(FindMinMaxIntensity(v, &mn, &mx), 0);
    EXPECT_EQ(mn, rmn);
    EXPECT_EQ(mx, rmx);
    mx = -1;
    ASSERT_EQ(FindMinMaxIntensity(v, nullptr, &mx), 0);
    EXPECT_EQ(mx, rmx);
  }
  EXPECT_EQ(FindMinMaxIntensity(v, nullptr, nullptr), -4);
}

template <class T>
void checkCopy(int type, unsigned seed) {
  std::mt19937 rng(seed);
  for (int round = 0; round < 10; ++round) {
    OwnedVolume in(type, V3D_THREE_CHANNELS, 1 + rng() % 5, 1 + rng() % 5, 1 + rng() % 5);
    OwnedVolume out(type, V3D_THREE_CHANNELS, 1 + rng() % 7, 1 + rng() % 7, 1 + rng() % 7);
    fillRandom(in, seed + round);
    fillRandom(out, seed + 100 + round);
    const Box b = randomVoi(in, rng);
    setVoi(in, b);
    const int zOff = rng() % 3, yOff = rng() % 3, xOff = rng() % 3;
    const auto before = snapshot(out);
    const bool fits =
        zOff + b.depth() <= out->Z && yOff + b.height() <= out->Y && xOff + b.width() <= out->X;
    std::vector<T> expected;
    for (int c = 0; c < 3; ++c)
      for (int z = 0; z < out->Z; ++z)
        for (int y = 0; y < out->Y; ++y)
          for (int x = 0; x < out->X; ++x) {
            const int sz = z - zOff + b.z0, sy = y - yOff + b.y0, sx = x - xOff + b.x0;
            expected.push_back(inside(b, sz, sy, sx) ? at<T>(in, c, sz, sy, sx)
                                                     : at<T>(out, c, z, y, x));
          }
    const int code = CopyVolume(in, out, zOff, yOff, xOff);
    if (!fits) {
      EXPECT_EQ(code, kInvalidOutputDimensions);
      EXPECT_EQ(snapshot(out), before);
      continue;
    }
    ASSERT_EQ(code, 0);
    std::size_t i = 0;
    for (int c = 0; c < 3; ++c)
      for (int z = 0; z < out->Z; ++z)
        for (int y = 0; y < out->Y; ++y)
          for (int x = 0; x < out->X; ++x) ASSERT_EQ(at<T>(out, c, z, y, x), expected[i++]);
  }
}

TEST(CopyVolumeTest, PlacesTheVoiAtTheOffsetForEveryType) {
  checkCopy<UC>(V3D_UC, 1);
  checkCopy<float>(V3D_F, 2);
  checkCopy<I32>(V3D_I, 3);
}

TEST(CopyVolumeTest, RefusesMismatchesBeforeWriting) {
  OwnedVolume in(V3D_UC, 1, 2, 3, 4), out(V3D_UC, 1, 2, 3, 4), f(V3D_F, 1, 2, 3, 4),
      colour(V3D_UC, 2, 2, 3, 4);
  fillRandom(in, 1);
  fillRandom(out, 2);
  const auto before = snapshot(out);
  EXPECT_EQ(CopyVolume(in, f, 0, 0, 0), kInvalidOutputDataType);
  EXPECT_EQ(CopyVolume(in, colour, 0, 0, 0), kInvalidOutputColorType);
  EXPECT_EQ(CopyVolume(in, out, -1, 0, 0), kInvalidParameters);
  EXPECT_EQ(CopyVolume(in, out, 0, 0, 1), kInvalidOutputDimensions) << "one sample too wide";
  EXPECT_EQ(CopyVolume(in, out, INT_MAX, 0, 0), kInvalidOutputDimensions)
      << "offset plus extent beyond INT_MAX";
  EXPECT_EQ(CopyVolume(in, nullptr, 0, 0, 0), kNullVolume);
  EXPECT_EQ(snapshot(out), before);
}

TEST(CopyVolumeTest, CopyWithinOneVolumeReadsEverySampleBeforeOverwritingIt) {
  for (const int shift : {1, -1}) {
    OwnedVolume v(V3D_I, 1, 5, 5, 5), ref(V3D_I, 1, 5, 5, 5);
    fillRandom(v, 4);
    CopyVolume(v, ref, 0, 0, 0);
    const Box src = shift > 0 ? Box{0, 4, 0, 4, 0, 4} : Box{1, 5, 1, 5, 1, 5};
    setVoi(v, src);
    const int off = shift > 0 ? 1 : 0;
    ASSERT_EQ(CopyVolume(v, v, off, off, off), 0);
    for (int z = 0; z < 4; ++z)
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
          ASSERT_EQ(at<I32>(v, 0, z + off, y + off, x + off),
                    at<I32>(ref, 0, z + src.z0, y + src.y0, x + src.x0));
  }
}

TEST(FrameImageCopyTest, RoundTripsThroughAnImageBufferWithinItsSize) {
  OwnedVolume v(V3D_UC, V3D_THREE_CHANNELS, 3, 6, 7);
  fillRandom(v, 21);
  fill_in_VOI(v, 0, 3, 1, 4, 2, 6);
  ScopedImageSize size(5, 6);
  std::vector<UC> storage(3 * 5 * 6, 0);
  std::vector<UC*> rows(3 * 5);
  for (int i = 0; i < 15; ++i) rows[i] = storage.data() + i * 6;
  UC** planes[3] = {rows.data(), rows.data() + 5, rows.data() + 10};

  ASSERT_EQ(CopyFrame2Image(v, 2, planes, 2, 1), 0);
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(planes[c][2 + y][1 + x], at<UC>(v, c, 2, 1 + y, 2 + x));
  EXPECT_EQ(planes[0][0][0], 0) << "outside the window the image is untouched";
  EXPECT_EQ(CopyFrame2Image(v, 2, planes, 3, 1), kInvalidParameters)
      << "VOI height overruns the image rows";
  EXPECT_EQ(CopyFrame2Image(v, 2, planes, 0, 3), kInvalidParameters);
  EXPECT_EQ(CopyFrame2Image(v, 3, planes, 0, 0), kInvalidParameters);
  EXPECT_EQ(CopyFrame2Image(v, 0, nullptr, 0, 0), -1);
  UC** missing[3] = {planes[0], nullptr, planes[2]};
  EXPECT_EQ(CopyFrame2Image(v, 0, missing, 0, 0), -1);

  OwnedVolume back(V3D_UC, V3D_THREE_CHANNELS, 2, 4, 5);
  const auto before = snapshot(back);
  EXPECT_EQ(CopyImage2Frame(back, 1, planes, 1, 0, 2, 5, 1, 6), 0);
  for (int c = 0; c < 3; ++c)
    for (int r = 2; r < 5; ++r)
      for (int col = 1; col < 6; ++col)
        EXPECT_EQ(at<UC>(back, c, 1, 1 + r - 2, col - 1), planes[c][r][col]);
  EXPECT_EQ(at<UC>(back, 0, 1, 0, 0), 0);
  OwnedVolume other(V3D_UC, V3D_THREE_CHANNELS, 2, 4, 5);
  const auto clean = snapshot(other);
  EXPECT_EQ(CopyImage2Frame(other, 1, planes, 2, 0, 2, 5, 1, 6), kInvalidParameters)
      << "rows overrun";
  EXPECT_EQ(CopyImage2Frame(other, 2, planes, 0, 0, 0, 1, 0, 1), kInvalidParameters);
  EXPECT_EQ(CopyImage2Frame(other, 0, planes, 0, 0, 0, 6, 0, 1), kInvalidParameters)
      << "beyond the image";
  EXPECT_EQ(CopyImage2Frame(other, 0, planes, 0, 0, 3, 2, 0, 1), kInvalidParameters);
  EXPECT_EQ(CopyImage2Frame(other, 0, nullptr, 0, 0, 0, 1, 0, 1), -1);
  EXPECT_EQ(snapshot(other), clean);
  (void)before;
}

TEST(ConversionTest, UCToFIsExactAndFToUCRoundsAndClips) {
  OwnedVolume uc(V3D_UC, 2, 2, 3, 4), f(V3D_F, 2, 3, 4, 5);
  fillRandom(uc, 8);
  fill_in_VOI(uc, 0, 2, 1, 3, 1, 4);
  ASSERT_EQ(UCVolume2FVolume(uc, f, 1, 2, 2), 0);
  for (int c = 0; c < 3; ++c)
    for (int z = 0; z < 2; ++z)
      for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
          EXPECT_EQ(at<float>(f, c, 1 + z, 2 + y, 2 + x),
                    static_cast<float>(at<UC>(uc, c, z, 1 + y, 1 + x)));
  const auto before = snapshot(f);
  EXPECT_EQ(UCVolume2FVolume(uc, f, 1, 2, 3), kInvalidParameters) << "one column too wide";
  EXPECT_EQ(UCVolume2FVolume(uc, f, 0, -1, 0), kInvalidParameters);
  OwnedVolume grey(V3D_F, 1, 3, 4, 5);
  EXPECT_EQ(UCVolume2FVolume(uc, grey, 0, 0, 0), kInvalidOutputColorType);
  EXPECT_EQ(snapshot(f), before);

  OwnedVolume src(V3D_F, 1, 1, 1, 8), dst(V3D_UC, 1, 1, 1, 8);
  const float in[8] = {254.5f, 2.49f, -0.4f, 1000.0f, 0.5f, -1.5f, NAN, 127.5f};
  const UC want[8] = {255, 2, 0, 255, 1, 0, 0, 128};
  for (int x = 0; x < 8; ++x) at<float>(src, 0, 0, 0, x) = in[x];
  ASSERT_EQ(FVolume2UCVolume(src, dst, 0, 0, 0), 0);
  for (int x = 0; x < 8; ++x) EXPECT_EQ(at<UC>(dst, 0, 0, 0, x), want[x]) << in[x];
}

TEST(ConversionTest, NormalisedConversionScalesEachChannelOverTheVoi) {
  OwnedVolume src(V3D_F, 2, 1, 2, 4), dst(V3D_UC, 2, 1, 2, 4);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x) {
      at<float>(src, 0, 0, y, x) = 7.9f;
      at<float>(src, 1, 0, y, x) = 117.5f;
      at<float>(src, 2, 0, y, x) = -3.0f;
    }
  at<float>(src, 1, 0, 0, 0) = -10.0f;
  at<float>(src, 1, 0, 1, 3) = 245.0f;
  at<float>(src, 1, 0, 0, 1) = 0.0f;
  ASSERT_EQ(FVolume2UCVolume_norm(src, dst, 0, 0, 0), 0);
  EXPECT_EQ(at<UC>(dst, 0, 0, 1, 2), 7) << "a constant channel keeps its truncated value";
  EXPECT_EQ(at<UC>(dst, 1, 0, 0, 0), 0);
  EXPECT_EQ(at<UC>(dst, 1, 0, 1, 3), 255);
  EXPECT_EQ(at<UC>(dst, 1, 0, 1, 0), 127);
  EXPECT_EQ(at<UC>(dst, 1, 0, 0, 1), 9);
  EXPECT_EQ(at<UC>(dst, 2, 0, 0, 0), 0) << "a constant negative channel gives 0";

  OwnedVolume big(V3D_F, 1, 1, 1, 2), out(V3D_UC, 1, 1, 1, 2);
  at<float>(big, 0, 0, 0, 0) = 300.0f;
  at<float>(big, 0, 0, 0, 1) = 300.0f;
  ASSERT_EQ(FVolume2UCVolume_norm(big, out, 0, 0, 0), 0);
  EXPECT_EQ(at<UC>(out, 0, 0, 0, 1), 255);
  EXPECT_EQ(FVolume2UCVolume_norm(big, out, 0, 0, 1), kInvalidParameters);
}

TEST(LogicalTest, OrXorAndOfBinaryVolumesOverTheFirstVoi) {
  OwnedVolume a(V3D_UC, 1, 3, 4, 5), b(V3D_UC, 1, 4, 4, 6), o(V3D_UC, 1, 3, 5, 5);
  fillRandom(a, 1, true);
  fillRandom(b, 2, true);
  fillRandom(o, 3);
  fill_in_VOI(a, 1, 3, 0, 3, 1, 5);
  using Op = int (*)(Volume*, Volume*, Volume*);
  const Op ops[3] = {or3d, xor3d, and3d};
  for (int k = 0; k < 3; ++k) {
    std::vector<UC> want;
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) {
          if (z >= 1 && y < 3 && x >= 1) {
            const UC p = at<UC>(a, 0, z, y, x), q = at<UC>(b, 0, z, y, x);
            want.push_back(k == 0 ? (p | q) : k == 1 ? (p ^ q) : (p & q));
          } else {
            want.push_back(at<UC>(o, 0, z, y, x));
          }
        }
    ASSERT_EQ(ops[k](a, b, o), 0);
    std::size_t i = 0;
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) ASSERT_EQ(at<UC>(o, 0, z, y, x), want[i++]) << k;
  }
  const auto before = snapshot(o);
  at<UC>(b, 0, 3, 3, 5) = 1;
  EXPECT_EQ(or3d(a, b, o), kNotBinary) << "the second volume is checked over its own VOI";
  at<UC>(b, 0, 3, 3, 5) = 0;
  OwnedVolume small(V3D_UC, 1, 3, 3, 5);
  EXPECT_EQ(and3d(a, small, o), kInvalidOutputDimensions);
  EXPECT_EQ(xor3d(a, b, small), kInvalidOutputDimensions);
  EXPECT_EQ(snapshot(o), before);
}

TEST(SymmetricTest, MirrorsThroughTheVoiCentreAndIsItsOwnInverse) {
  std::mt19937 rng(17);
  for (int round = 0; round < 10; ++round) {
    OwnedVolume in(V3D_UC, V3D_THREE_CHANNELS, 1 + rng() % 5, 1 + rng() % 5, 1 + rng() % 5);
    OwnedVolume out(V3D_UC, V3D_THREE_CHANNELS, in->Z + 1, in->Y, in->X + 2);
    OwnedVolume inPlace(V3D_UC, V3D_THREE_CHANNELS, in->Z, in->Y, in->X);
    fillRandom(in, round);
    fillRandom(out, round + 50);
    const Box b = randomVoi(in, rng);
    setVoi(in, b);
    CopyVolume(in, inPlace, b.z0, b.y0, b.x0);
    setVoi(inPlace, b);
    const auto before = snapshot(out);
    ASSERT_EQ(Symmetric3d(in, out), 0);
    ASSERT_EQ(Symmetric3d(inPlace, inPlace), 0);
    std::size_t i = sizeof(Volume);
    for (int c = 0; c < 3; ++c)
      for (int z = 0; z < out->Z; ++z)
        for (int y = 0; y < out->Y; ++y)
          for (int x = 0; x < out->X; ++x, ++i) {
            if (!inside(b, z, y, x)) {
              ASSERT_EQ(at<UC>(out, c, z, y, x), before[i]);
              continue;
            }
            const UC want =
                at<UC>(in, c, b.z0 + b.z1 - 1 - z, b.y0 + b.y1 - 1 - y, b.x0 + b.x1 - 1 - x);
            ASSERT_EQ(at<UC>(out, c, z, y, x), want);
            ASSERT_EQ(at<UC>(inPlace, c, z, y, x), want);
          }
  }
  OwnedVolume v(V3D_UC, 1, 3, 4, 5), w(V3D_UC, 1, 3, 4, 5), back(V3D_UC, 1, 3, 4, 5);
  fillRandom(v, 99);
  ASSERT_EQ(Symmetric3d(v, w), 0);
  ASSERT_EQ(Symmetric3d(w, back), 0);
  EXPECT_EQ(snapshot(back).size(), snapshot(v).size());
  for (int z = 0; z < 3; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(at<UC>(back, 0, z, y, x), at<UC>(v, 0, z, y, x));
  OwnedVolume smaller(V3D_UC, 1, 3, 4, 4), colour(V3D_UC, 2, 3, 4, 5);
  EXPECT_EQ(Symmetric3d(v, smaller), kInvalidOutputDimensions);
  EXPECT_EQ(Symmetric3d(v, colour), kInvalidOutputColorType);
}

}  // namespace
}  // namespace v3d::test
