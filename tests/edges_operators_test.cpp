// Sobel, compass, Laplacian and range against direct references on random volumes whose
// VOI is smaller than the volume; in-place use; the argument checks.
#include <cmath>
#include <functional>

#include "algorithms/edges.h"
#include "core/alloc.h"
#include "segmentation_helpers.h"

namespace v3d::test {
namespace {

using Kernel = std::function<int(Samples&, int, int, int)>;

// Expected output: `kernel` at every centre one voxel inside the VOI (or inside by the
// half window `h`), the previous contents elsewhere.
Samples expected(Volume* in, Volume* out, const Box& b, int hz, int hy, int hx,
                 const Kernel& kernel, bool needsThreeFrames) {
  Samples src(in), want(out);
  if (needsThreeFrames && b.depth() < 3) return want;
  for (int z = b.z0 + hz; z < b.z1 - hz; ++z)
    for (int y = b.y0 + hy; y < b.y1 - hy; ++y)
      for (int x = b.x0 + hx; x < b.x1 - hx; ++x) want(z, y, x) = kernel(src, z, y, x);
  return want;
}

int sobelRef(Samples& s, int z, int y, int x) {
  const int w[3][3] = {{1, 2, 1}, {2, 3, 2}, {1, 2, 1}};
  int gx = 0, gy = 0, gz = 0;
  for (int i = -1; i <= 1; ++i)
    for (int j = -1; j <= 1; ++j) {
      gx += w[i + 1][j + 1] * (s(z + i, y + j, x + 1) - s(z + i, y + j, x - 1));
      gy += w[i + 1][j + 1] * (s(z + i, y + 1, x + j) - s(z + i, y - 1, x + j));
      gz += w[i + 1][j + 1] * (s(z + 1, y + i, x + j) - s(z - 1, y + i, x + j));
    }
  return std::min(255, std::abs(gx) + std::abs(gy) + std::abs(gz));
}

// The mask from the normal n = cos a X + sin a (cos c Z + sin c Y), each component rounded
// to -1, 0 or 1, with the two offsets +-m of a space-diagonal normal weighted 0.
std::array<int, 27> compassMask(int a, int c) {
  const double k = std::atan(1.0) / 45.0;
  const double nx = std::cos(a * k), nz = std::sin(a * k) * std::cos(c * k),
               ny = std::sin(a * k) * std::sin(c * k);
  auto r = [](double v) { return v > 0.3 ? 1 : v < -0.3 ? -1 : 0; };
  const int n[3] = {r(nz), r(ny), r(nx)};
  std::array<int, 27> w{};
  for (int i = 0; i < 27; ++i) {
    const int d[3] = {i / 9 - 1, (i / 3) % 3 - 1, i % 3 - 1};
    const int dot = n[0] * d[0] + n[1] * d[1] + n[2] * d[2];
    w[i] = dot > 0 ? 1 : dot < 0 ? -1 : 0;
    if (n[0] && n[1] && n[2]) {
      const bool plusM = d[0] == -n[0] && d[1] == n[1] && d[2] == n[2];
      const bool minusM = d[0] == n[0] && d[1] == -n[1] && d[2] == -n[2];
      if (plusM || minusM) w[i] = 0;
    }
  }
  return w;
}

TEST(EdgeOperatorTest, SobelCompassLaplaceAndRangeMatchDirectReferences) {
  std::mt19937 rng(21);
  const int angles[4] = {0, 45, 90, 135};
  for (int trial = 0; trial < 60; ++trial) {
    OwnedVolume in(V3D_UC, 1, 1 + rng() % 7, 1 + rng() % 8, 1 + rng() % 11);
    OwnedVolume out(V3D_UC, 1, in->Z, in->Y + rng() % 2, in->X + rng() % 2);
    fillRandom(in, trial, trial % 4 == 0);
    fillRandom(out, trial + 1);
    const Box b = randomVoi(in, rng, trial % 2 ? 3 : 1);
    setVoi(in, b);

    Samples want = expected(in, out, b, 1, 1, 1, sobelRef, true);
    ASSERT_EQ(Sobel_3D(in, out), 0);
    ASSERT_TRUE(sameSamples(out, want)) << "Sobel, trial " << trial;

    const int a = angles[rng() % 4], c = angles[rng() % 4];
    const auto mask = compassMask(a, c);
    want = expected(
        in, out, b, 1, 1, 1,
        [&](Samples& s, int z, int y, int x) {
          int acc = 0;
          for (int i = 0; i < 27; ++i)
            acc += mask[i] * s(z + i / 9 - 1, y + (i / 3) % 3 - 1, x + i % 3 - 1);
          return std::min(255, std::abs(acc));
        },
        true);
    ASSERT_EQ(compas3d(in, out, a, c), 0);
    ASSERT_TRUE(sameSamples(out, want)) << "compass " << a << "/" << c << ", trial " << trial;

    want = expected(
        in, out, b, 1, 1, 1,
        [](Samples& s, int z, int y, int x) {
          const int e = s(z - 1, y, x) + s(z + 1, y, x) + s(z, y - 1, x) + s(z, y + 1, x) +
                        s(z, y, x - 1) + s(z, y, x + 1) - 6 * s(z, y, x);
          return std::clamp(e, 0, 255);
        },
        true);
    ASSERT_EQ(laplace_3d(in, out), 0);
    ASSERT_TRUE(sameSamples(out, want)) << "Laplace, trial " << trial;

    const int wz = 1 + 2 * static_cast<int>(rng() % 3), wy = 1 + 2 * static_cast<int>(rng() % 3),
              wx = 1 + 2 * static_cast<int>(rng() % 4);
    want = expected(
        in, out, b, wz / 2, wy / 2, wx / 2,
        [&](Samples& s, int z, int y, int x) {
          int lo = 255, hi = 0;
          for (int i = -wz / 2; i <= wz / 2; ++i)
            for (int j = -wy / 2; j <= wy / 2; ++j)
              for (int k = -wx / 2; k <= wx / 2; ++k)
                lo = std::min(lo, s(z + i, y + j, x + k)),
                hi = std::max(hi, s(z + i, y + j, x + k));
          return hi - lo;
        },
        false);
    ASSERT_EQ(range_3d(in, out, wz, wy, wx), 0);
    ASSERT_TRUE(sameSamples(out, want)) << "range " << wz << wy << wx << ", trial " << trial;
  }
}

TEST(EdgeOperatorTest, EveryCompassMaskIsBalancedAndTheDirectionsRespond) {
  const int angles[4] = {0, 45, 90, 135};
  for (int a : angles)
    for (int c : angles) {
      const auto w = compassMask(a, c);
      EXPECT_EQ(std::count(w.begin(), w.end(), 1), 9) << a << "/" << c;
      EXPECT_EQ(std::count(w.begin(), w.end(), -1), 9) << a << "/" << c;
    }
  // A step edge across the columns: the X mask responds, the Y mask does not.
  OwnedVolume in(V3D_UC, 1, 3, 3, 4), out(V3D_UC, 1, 3, 3, 4);
  for (int z = 0; z < 3; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) at<UC>(in, 0, z, y, x) = x < 2 ? 10 : 30;
  ASSERT_EQ(compas3d(in, out, 0, 60), 0) << "c is ignored when a is 0";
  EXPECT_EQ(at<UC>(out, 0, 1, 1, 1), 180);
  ASSERT_EQ(compas3d(in, out, 90, 90), 0);
  EXPECT_EQ(at<UC>(out, 0, 1, 1, 1), 0);
  EXPECT_EQ(compas3d(in, out, 60, 0), kInvalidParameters);
  EXPECT_EQ(compas3d(in, out, 45, 30), kInvalidParameters);
  // Constant volume: every operator gives 0; a lone bright voxel saturates Sobel.
  for (int z = 0; z < 3; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) at<UC>(in, 0, z, y, x) = 90;
  ASSERT_EQ(Sobel_3D(in, out), 0);
  EXPECT_EQ(at<UC>(out, 0, 1, 1, 2), 0);
  ASSERT_EQ(laplace_3d(in, out), 0);
  EXPECT_EQ(at<UC>(out, 0, 1, 1, 1), 0);
  ASSERT_EQ(range_3d(in, out, 3, 3, 3), 0);
  EXPECT_EQ(at<UC>(out, 0, 1, 1, 2), 0);
  OwnedVolume dark(V3D_UC, 1, 5, 5, 5), s(V3D_UC, 1, 5, 5, 5);
  at<UC>(dark, 0, 2, 2, 2) = 255;
  ASSERT_EQ(Sobel_3D(dark, s), 0);
  EXPECT_EQ(at<UC>(s, 0, 1, 2, 2), 255);
  EXPECT_EQ(at<UC>(s, 0, 2, 2, 2), 0);
}

TEST(EdgeOperatorTest, AnOutputThatIsTheInputGivesTheSameResult) {
  OwnedVolume a(V3D_UC, 1, 6, 7, 8), b(V3D_UC, 1, 6, 7, 8);
  const std::vector<std::function<int(Volume*, Volume*)>> ops = {
      [](Volume* i, Volume* o) { return Sobel_3D(i, o); },
      [](Volume* i, Volume* o) { return compas3d(i, o, 135, 45); },
      [](Volume* i, Volume* o) { return laplace_3d(i, o); },
      [](Volume* i, Volume* o) { return range_3d(i, o, 3, 1, 5); }};
  for (std::size_t k = 0; k < ops.size(); ++k) {
    fillRandom(a, 3);
    fillRandom(b, 3);
    fill_in_VOI(a, 1, 6, 0, 6, 2, 8);
    ASSERT_EQ(ops[k](a, b), 0);
    ASSERT_EQ(ops[k](a, a), 0);
    Samples want(b);
    EXPECT_TRUE(sameSamples(a, want)) << "operator " << k;
  }
}

TEST(EdgeOperatorTest, ChecksComeInOrderAndNothingIsWritten) {
  OwnedVolume in(V3D_UC, 1, 4, 5, 6), out(V3D_UC, 1, 4, 5, 6), small(V3D_UC, 1, 4, 5, 5);
  OwnedVolume ints(V3D_I, 1, 4, 5, 6);
  fillRandom(in, 1);
  fillRandom(out, 2);
  struct Case {
    const char* what;
    std::function<int()> call;
    int code;
  };
  const std::vector<Case> cases = {
      {"Sobel null", [&] { return Sobel_3D(in, nullptr); }, kNullVolume},
      {"Sobel I input", [&] { return Sobel_3D(ints, out); }, kWrongDataType},
      {"Sobel small", [&] { return Sobel_3D(in, small); }, kInvalidOutputDimensions},
      {"compass small", [&] { return compas3d(in, small, 60, 0); }, kInvalidOutputDimensions},
      {"compass angle", [&] { return compas3d(in, out, 30, 0); }, kInvalidParameters},
      {"Laplace small", [&] { return laplace_3d(in, small); }, kInvalidOutputDimensions},
      {"range small", [&] { return range_3d(in, small, 0, 1, 1); }, kInvalidOutputDimensions},
      {"range even", [&] { return range_3d(in, out, 3, 2, 3); }, kInvalidWindowSize},
      {"range zero", [&] { return range_3d(in, out, 0, 1, 1); }, kInvalidWindowSize},
      {"range negative", [&] { return range_3d(in, out, 1, 1, -3); }, kInvalidWindowSize},
      {"range larger than the VOI", [&] { return range_3d(in, out, 5, 7, 9); }, 0},
  };
  const auto inBefore = snapshot(in), outBefore = snapshot(out);
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(), c.code) << c.what;
    EXPECT_EQ(snapshot(in), inBefore) << c.what;
    EXPECT_EQ(snapshot(out), outBefore) << c.what;
  }
  // A VOI of two frames returns at once, writing nothing.
  fill_in_VOI(in, 1, 3, 0, 5, 0, 6);
  EXPECT_EQ(Sobel_3D(in, out), 0);
  EXPECT_EQ(compas3d(in, out, 0, 0), 0);
  EXPECT_EQ(laplace_3d(in, out), 0);
  EXPECT_EQ(snapshot(out), outBefore);
  // Scratch allocation failures.
  fill_in_VOI(in, 0, 4, 0, 5, 0, 6);
  const long live = liveStorageBlocks();
  failAllocationsAfter(0);
  EXPECT_EQ(Sobel_3D(in, out), kCannotAllocateBuffer);
  EXPECT_EQ(range_3d(in, out, 3, 3, 3), kCannotAllocateBuffer);
  EXPECT_EQ(laplace_3d(in, in), kCannotAllocateBuffer) << "the copy for in-place use";
  failAllocationsAfter(-1);
  EXPECT_EQ(snapshot(out), outBefore);
  EXPECT_EQ(snapshot(in), inBefore);
  EXPECT_EQ(liveStorageBlocks(), live);
}

}  // namespace
}  // namespace v3d::test
