// The Hough plane transform against a literal reference (same single-precision formulas),
// greedy edge tracing against its definition, and the searched edge path on built cases and
// random volumes.
#include <cmath>
#include <functional>

#include "algorithms/edges.h"
#include "core/alloc.h"
#include "core/basic_ops.h"
#include "segmentation_helpers.h"

namespace v3d::test {
namespace {

void refHough(Samples& in, int Nt, int Np, int R, int threshold, std::vector<int>& acc,
              Samples& out) {
  auto table = [](int N, std::vector<float>& c, std::vector<float>& s) {
    for (int n = 0; n < N; ++n) {
      const float rad =
          (static_cast<float>(n) / static_cast<float>(N - 1) * 180.0f - 90.0f) * 0.017453f;
      c.push_back(std::cos(rad));
      s.push_back(std::sin(rad));
    }
  };
  std::vector<float> ct, st, cp, sp;
  table(Nt, ct, st);
  table(Np, cp, sp);
  const float D = static_cast<float>(
      std::sqrt(double(in.X) * in.X + double(in.Y) * in.Y + double(in.Z) * in.Z));
  acc.assign(static_cast<std::size_t>(Nt) * Np * R, 0);
  for (int z = 0; z < in.Z; ++z)
    for (int y = 0; y < in.Y; ++y)
      for (int x = 0; x < in.X; ++x) {
        if (in(z, y, x) != 255) continue;
        for (int t = 0; t < Nt; ++t)
          for (int p = 0; p < Np; ++p) {
            const float rho = (float(x) * sp[p] + float(y) * cp[p]) * st[t] + float(z) * ct[t];
            const float bin = std::floor(float(R - 1) * (D + rho) / (2.0f * D) + 0.5f);
            if (bin >= 0 && bin < R)
              ++acc[(static_cast<std::size_t>(t) * Np + p) * R + static_cast<int>(bin)];
          }
      }
  for (int& a : acc) a = a >= threshold ? 1 : 0;
  std::fill(out.s.begin(), out.s.end(), 0);
  for (int t = 0; t < Nt; ++t)
    for (int p = 0; p < Np; ++p)
      for (int r = 0; r < R; ++r) {
        if (acc[(static_cast<std::size_t>(t) * Np + p) * R + r] != 1 || st[t] * sp[p] == 0.0f)
          continue;
        const float rho = (float(r) / float(R - 1) * 2.0f - 1.0f) * D;
        for (int z = 0; z < in.Z; ++z)
          for (int y = 0; y < in.Y; ++y) {
            const float x = std::floor(
                (rho - float(z) * ct[t] - float(y) * cp[p] * st[t]) / (st[t] * sp[p]) + 0.5f);
            if (x >= 0 && x < in.X && in(z, y, static_cast<int>(x)) == 255)
              out(z, y, static_cast<int>(x)) = 255;
          }
      }
}

TEST(HoughTest, MatchesTheReferenceOnPlanesAndScatteredVoxels) {
  std::mt19937 rng(31);
  for (int trial = 0; trial < 12; ++trial) {
    OwnedVolume in(V3D_UC, 1, 2 + rng() % 6, 2 + rng() % 7, 2 + rng() % 8);
    OwnedVolume out(V3D_UC, 1, in->Z, in->Y, in->X + rng() % 2);
    OwnedVolume acc(V3D_I, 1, 2 + rng() % 6, 2 + rng() % 7, 2 + rng() % 30);
    fillRandom(out, trial);
    fillRandom(acc, trial);
    for (int z = 0; z < in->Z; ++z)
      for (int y = 0; y < in->Y; ++y)
        for (int x = 0; x < in->X; ++x) {
          const bool plane = trial % 2 ? (x + z == in->X / 2) : (y == in->Y / 2);
          at<UC>(in, 0, z, y, x) = (plane || rng() % 9 == 0) ? 255 : 0;
        }
    const int threshold = static_cast<int>(rng() % 6);
    Samples src(in), want(out);
    std::vector<int> wantAcc;
    refHough(src, acc->Z, acc->Y, acc->X, threshold, wantAcc, want);
    ASSERT_EQ(Hough_3D(in, out, acc, threshold), 0);
    ASSERT_TRUE(sameSamples(out, want)) << "trial " << trial;
    for (int t = 0; t < acc->Z; ++t)
      for (int p = 0; p < acc->Y; ++p)
        for (int r = 0; r < acc->X; ++r)
          ASSERT_EQ(at<I32>(acc, 0, t, p, r),
                    wantAcc[(static_cast<std::size_t>(t) * acc->Y + p) * acc->X + r]);
  }
}

TEST(HoughTest, ChecksAndAThresholdAboveEveryCount) {
  OwnedVolume in(V3D_UC, 1, 4, 4, 4), out(V3D_UC, 1, 4, 4, 4), acc(V3D_I, 1, 3, 3, 8);
  OwnedVolume accF(V3D_F, 1, 3, 3, 8), oneBin(V3D_I, 1, 3, 3, 1), oneAngle(V3D_I, 1, 1, 3, 8);
  fillRandom(in, 1, true);
  fillRandom(out, 2);
  const auto before = snapshot(out);
  EXPECT_EQ(Hough_3D(in, out, accF, 1), kWrongDataType);
  EXPECT_EQ(Hough_3D(in, out, acc, -1), kInvalidParameters);
  EXPECT_EQ(Hough_3D(in, out, oneBin, 1), kInvalidParameters);
  EXPECT_EQ(Hough_3D(in, out, oneAngle, 1), kInvalidParameters);
  at<UC>(in, 0, 1, 1, 1) = 7;
  EXPECT_EQ(Hough_3D(in, out, acc, 1), kNotBinary);
  fill_in_VOI(in, 2, 4, 0, 4, 0, 4);  // the odd sample is outside the VOI now
  failAllocationsAfter(0);
  EXPECT_EQ(Hough_3D(in, out, acc, 1), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_EQ(snapshot(out), before);
  ASSERT_EQ(Hough_3D(in, out, acc, 1 << 30), 0);
  EXPECT_EQ(CheckIfVolumeClear(out, std::vector<float>{0.0f}.data()), 1);
}

// ---- Greedy edge tracing ---------------------------------------------------------------------

int refFollow(Samples& in, Samples& out, const Box& b, int sz, int sy, int sx, int maxDiff,
              int minValue, int weight) {
  using P = std::array<int, 3>;
  const P start{sz, sy, sx};
  P v = start, previousBest{-1, -1, -1};
  for (;;) {
    out(v[0], v[1], v[2]) = 255;
    const int m = in(v[0], v[1], v[2]);
    in(v[0], v[1], v[2]) = 0;
    P best = v;
    long long bestCost = 256LL * weight;
    bool replaced = false;
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz) {
          const P n{v[0] + dz, v[1] + dy, v[2] + dx};
          if (n == v || !inside(b, n[0], n[1], n[2]) || n == start || n == previousBest) continue;
          const int u = in(n[0], n[1], n[2]);
          if (u < minValue || std::abs(m - u) > maxDiff) continue;
          if (static_cast<long long>(std::abs(m - u)) * weight < bestCost) {
            previousBest = best;
            best = n;
            bestCost = static_cast<long long>(std::abs(m - u)) * weight;
            replaced = true;
          }
        }
    if (!replaced) return 0;
    v = best;
  }
}

TEST(EdgeFollowTest, MatchesTheDefinitionOnRandomVolumes) {
  std::mt19937 rng(41);
  for (int trial = 0; trial < 80; ++trial) {
    OwnedVolume in(V3D_UC, 1, 1 + rng() % 7, 1 + rng() % 8, 1 + rng() % 9);
    OwnedVolume out(V3D_UC, 1, in->Z + rng() % 2, in->Y, in->X);
    if (trial % 2)
      fillBlocks(in, trial, 20);
    else
      fillRandom(in, trial);
    fillRandom(out, trial + 5);
    const Box b = randomVoi(in, rng);
    setVoi(in, b);
    const int sz = b.z0 + rng() % b.depth(), sy = b.y0 + rng() % b.height(),
              sx = b.x0 + rng() % b.width();
    const int minValue = 1 + static_cast<int>(rng() % 120), maxDiff = static_cast<int>(rng() % 80);
    const int weight = static_cast<int>(rng() % 4);
    at<UC>(in, 0, sz, sy, sx) = static_cast<UC>(std::max<int>(at<UC>(in, 0, sz, sy, sx), minValue));
    Samples src(in), want(out);
    ASSERT_EQ(refFollow(src, want, b, sz, sy, sx, maxDiff, minValue, weight), 0);
    ASSERT_EQ(edge_follow_3d(in, out, sz, sy, sx, maxDiff, minValue, weight), 0);
    ASSERT_TRUE(sameSamples(out, want)) << "trial " << trial;
    ASSERT_TRUE(sameSamples(in, src)) << "trial " << trial;
  }
}

TEST(EdgeFollowTest, ChecksAndATraceOverZerosThatEnds) {
  OwnedVolume in(V3D_UC, 1, 3, 4, 5), out(V3D_UC, 1, 3, 4, 5), small(V3D_UC, 1, 3, 4, 4);
  fillRandom(in, 3);
  fill_in_VOI(in, 1, 3, 0, 4, 1, 5);
  at<UC>(in, 0, 1, 1, 1) = 50;
  const auto before = snapshot(in), outBefore = snapshot(out);
  EXPECT_EQ(edge_follow_3d(in, small, 1, 1, 1, 5, 1, 1), kInvalidOutputDimensions);
  EXPECT_EQ(edge_follow_3d(in, out, 0, 1, 1, 5, 1, 1), kInvalidParameters)
      << "start outside the VOI";
  EXPECT_EQ(edge_follow_3d(in, out, 1, 1, 0, 5, 1, 1), kInvalidParameters);
  EXPECT_EQ(edge_follow_3d(in, out, 1, 1, 1, -1, 1, 1), kInvalidParameters);
  EXPECT_EQ(edge_follow_3d(in, out, 1, 1, 1, 5, -1, 1), kInvalidParameters);
  EXPECT_EQ(edge_follow_3d(in, out, 1, 1, 1, 5, 1, -1), kInvalidParameters);
  EXPECT_EQ(edge_follow_3d(in, out, 1, 1, 1, 5, 51, 1), kInvalidParameters)
      << "start below the minimum";
  failAllocationsAfter(0);
  EXPECT_EQ(edge_follow_3d(in, out, 1, 1, 1, 5, 1, 1), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_EQ(snapshot(in), before);
  EXPECT_EQ(snapshot(out), outBefore);
  ASSERT_EQ(edge_follow_3d(in, out, 1, 1, 1, 5, 1, 0), 0) << "weight 0 ends after the start";
  EXPECT_EQ(at<UC>(out, 0, 1, 1, 1), 255);
  EXPECT_EQ(at<UC>(in, 0, 1, 1, 1), 0);

  // With a minimum of 0 the zeroed path stays eligible; the trace still ends.
  OwnedVolume zeros(V3D_UC, 1, 3, 6, 6), o(V3D_UC, 1, 3, 6, 6);
  ASSERT_EQ(edge_follow_3d(zeros, o, 1, 2, 2, 0, 0, 1), 0);
  EXPECT_EQ(at<UC>(o, 0, 1, 2, 2), 255);
}

// ---- Searched edge path ---------------------------------------------------------------------

TEST(EdgePathTest, FollowsABrightLineAndBacktracksOutOfADeadEnd) {
  OwnedVolume in(V3D_UC, 1, 5, 6, 7), out(V3D_UC, 1, 5, 6, 7);
  fillRandom(out, 1);
  for (int x = 0; x < 7; ++x) at<UC>(in, 0, 2, 2, x) = 100;
  ASSERT_EQ(modedg3d(in, out, 2, 2, 0, 2, 2, 6, 50), 0);
  for (int z = 0; z < 5; ++z)
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 7; ++x) EXPECT_EQ(at<UC>(out, 0, z, y, x), (z == 2 && y == 2) ? 255 : 0);
  EXPECT_EQ(at<UC>(in, 0, 2, 2, 3), 0) << "visited samples are zeroed";

  // A dead-end spur that is cheaper than the way on: the search comes back and finds the end.
  OwnedVolume t(V3D_UC, 1, 1, 6, 8), o(V3D_UC, 1, 1, 6, 8);
  for (int x = 0; x < 4; ++x) at<UC>(t, 0, 0, 0, x) = 100;
  for (int x = 4; x < 8; ++x) at<UC>(t, 0, 0, 0, x) = 101;  // spur, straight ahead
  for (int y = 1; y < 6; ++y) at<UC>(t, 0, 0, y, 3) = 180;  // the way down to the end
  Samples original(t);
  ASSERT_EQ(modedg3d(t, o, 0, 0, 0, 0, 5, 3, 50), 0);
  EXPECT_EQ(at<UC>(o, 0, 0, 0, 0), 255);
  EXPECT_EQ(at<UC>(o, 0, 0, 5, 3), 255);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x)
      if (at<UC>(o, 0, 0, y, x) != 0) {
        EXPECT_GT(original(0, y, x), 50) << y << "," << x;
      }
}

TEST(EdgePathTest, RandomSearchesEndOnTheEndOrFailWithTheOutputUntouched) {
  std::mt19937 rng(51);
  int found = 0, failed = 0;
  for (int trial = 0; trial < 60; ++trial) {
    OwnedVolume in(V3D_UC, 1, 1 + rng() % 5, 2 + rng() % 6, 2 + rng() % 7),
        out(V3D_UC, 1, in->Z, in->Y, in->X);
    fillLevels(in, trial,
               trial % 2 ? std::vector<int>{0, 0, 90, 120, 200, 250}
                         : std::vector<int>{0, 0, 0, 0, 120, 250});
    fillRandom(out, trial);
    const int s[3] = {static_cast<int>(rng() % in->Z), static_cast<int>(rng() % in->Y),
                      static_cast<int>(rng() % in->X)};
    int e[3] = {static_cast<int>(rng() % in->Z), static_cast<int>(rng() % in->Y),
                static_cast<int>(rng() % in->X)};
    if (s[0] == e[0] && s[1] == e[1] && s[2] == e[2]) continue;
    at<UC>(in, 0, s[0], s[1], s[2]) = 200;
    at<UC>(in, 0, e[0], e[1], e[2]) = 200;
    Samples original(in);
    const auto before = snapshot(out);
    const int code = modedg3d(in, out, s[0], s[1], s[2], e[0], e[1], e[2], 60);
    ASSERT_TRUE(code == 0 || code == kPathStackEmpty) << code;
    if (code == kPathStackEmpty) {
      ++failed;
      EXPECT_EQ(snapshot(out), before);
      continue;
    }
    ++found;
    EXPECT_EQ(at<UC>(out, 0, s[0], s[1], s[2]), 255);
    EXPECT_EQ(at<UC>(out, 0, e[0], e[1], e[2]), 255);
    for (int z = 0; z < in->Z; ++z)
      for (int y = 0; y < in->Y; ++y)
        for (int x = 0; x < in->X; ++x) {
          const int o = at<UC>(out, 0, z, y, x);
          ASSERT_TRUE(o == 0 || o == 255);
          if (o == 255) {
            EXPECT_GT(original(z, y, x), 60);
            EXPECT_EQ(at<UC>(in, 0, z, y, x), 0);
          }
        }
  }
  EXPECT_GT(found, 5);
  EXPECT_GT(failed, 2);
}

TEST(EdgePathTest, ChecksComeBeforeAnyChange) {
  OwnedVolume in(V3D_UC, 1, 3, 3, 3), out(V3D_UC, 1, 3, 3, 3), small(V3D_UC, 1, 2, 3, 3);
  fillLevels(in, 1, {100, 200});
  fillRandom(out, 2);
  at<UC>(in, 0, 0, 0, 0) = 100;
  at<UC>(in, 0, 2, 2, 2) = 100;
  const auto inBefore = snapshot(in), outBefore = snapshot(out);
  EXPECT_EQ(modedg3d(in, small, 0, 0, 0, 2, 2, 2, 10), kInvalidOutputDimensions);
  EXPECT_EQ(modedg3d(in, out, 1, 1, 1, 1, 1, 1, 10), kInvalidParameters) << "start = end";
  EXPECT_EQ(modedg3d(in, out, 0, 0, 3, 2, 2, 2, 10), kInvalidParameters);
  EXPECT_EQ(modedg3d(in, out, 0, 0, 0, -1, 2, 2, 10), kInvalidParameters);
  EXPECT_EQ(modedg3d(in, out, 0, 0, 0, 2, 2, 2, 101), kInvalidParameters)
      << "end below the threshold";
  EXPECT_EQ(modedg3d(in, out, 0, 0, 0, 2, 2, 2, -1), kInvalidParameters);
  failAllocationsAfter(0);
  EXPECT_EQ(modedg3d(in, out, 0, 0, 0, 2, 2, 2, 10), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_EQ(snapshot(in), inBefore);
  EXPECT_EQ(snapshot(out), outBefore);
}

}  // namespace
}  // namespace v3d::test
