// Threshold, seeded growing, one-pass merging, octree split and split-and-merge against
// plain references written from their definitions, on random volumes whose VOI is smaller
// than the volume; and the argument checks, which must leave the output untouched.
#include <cmath>
#include <functional>

#include "algorithms/segmentation.h"
#include "core/alloc.h"
#include "segmentation_helpers.h"

namespace v3d::test {
namespace {

const int kOff[26][3] = {
    {-1, -1, -1}, {-1, -1, 0}, {-1, -1, 1}, {-1, 0, -1}, {-1, 0, 0}, {-1, 0, 1}, {-1, 1, -1},
    {-1, 1, 0},   {-1, 1, 1},  {0, -1, -1}, {0, -1, 0},  {0, -1, 1}, {0, 0, -1}, {0, 0, 1},
    {0, 1, -1},   {0, 1, 0},   {0, 1, 1},   {1, -1, -1}, {1, -1, 0}, {1, -1, 1}, {1, 0, -1},
    {1, 0, 0},    {1, 0, 1},   {1, 1, -1},  {1, 1, 0},   {1, 1, 1}};

int roundMean(double sum, double count) {
  return static_cast<int>(std::floor(sum / count + 0.5));
}

// ---- References ----------------------------------------------------------------------------

int refGrow(Samples& in, Samples& out, const Box& b, int maxSeeds, int tol) {
  int seeds = 0;
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) seeds += out(z, y, x) != 0;
  if (seeds == 0 || seeds > maxSeeds) return kSeedsNotSpecified;
  std::vector<double> sum(seeds + 1), count(seeds + 1);
  std::vector<int> rep(seeds + 1);
  Samples assigned = in, frontier = in;
  std::fill(assigned.s.begin(), assigned.s.end(), 0);
  std::fill(frontier.s.begin(), frontier.s.end(), 0);
  int r = 0;
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x)
        if (out(z, y, x) != 0) {
          out(z, y, x) = ++r;
          rep[r] = in(z, y, x);
          sum[r] = rep[r];
          count[r] = 1;
          assigned(z, y, x) = 1;
          frontier(z, y, x) = r;
        }
  for (bool found = true; found;) {
    found = false;
    for (int z = b.z0 + 1; z < b.z1 - 1; ++z)
      for (int y = b.y0 + 1; y < b.y1 - 1; ++y)
        for (int x = b.x0 + 1; x < b.x1 - 1; ++x) {
          const int k = frontier(z, y, x);
          if (k == 0) continue;
          found = true;
          for (const auto& d : kOff) {
            const int nz = z + d[0], ny = y + d[1], nx = x + d[2];
            if (assigned(nz, ny, nx) || std::abs(in(nz, ny, nx) - rep[k]) > tol) continue;
            out(nz, ny, nx) = k;
            ++count[k];
            sum[k] += in(nz, ny, nx);
            assigned(nz, ny, nx) = 1;
            frontier(nz, ny, nx) = k;
          }
          frontier(z, y, x) = 0;
        }
  }
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x)
        if (out(z, y, x) != 0) out(z, y, x) = roundMean(sum[out(z, y, x)], count[out(z, y, x)]);
  return 0;
}

int refMerge(Samples& in, Samples& out, const Box& b, int tol, int maxRegions) {
  Samples label = in;
  std::fill(label.s.begin(), label.s.end(), 0);
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) out(z, y, x) = 0;
  std::vector<double> sum(256), count(256);
  std::vector<int> rep(256);
  int N = 0;
  bool stop = false;
  for (int z = b.z0; z < b.z1 && !stop; ++z)
    for (int y = b.y0; y < b.y1 && !stop; ++y)
      for (int x = b.x0; x < b.x1 && !stop; ++x) {
        const int g = in(z, y, x);
        if (N == 0) {
          N = 1;
          rep[1] = g, sum[1] = g, count[1] = 1, label(z, y, x) = 1;
          continue;
        }
        std::vector<std::array<int, 3>> order;
        if (z > b.z0)
          for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) order.push_back({z - 1, y + dy, x + dx});
        for (int dx = -1; dx <= 1; ++dx) order.push_back({z, y - 1, x + dx});
        order.push_back({z, y, x - 1});
        int best = 0, bestDiff = 1 << 30;
        for (auto [nz, ny, nx] : order) {
          if (ny < b.y0 || ny >= b.y1 || nx < b.x0 || nx >= b.x1) continue;
          const int k = label(nz, ny, nx);
          if (k == 0) continue;
          const int d = std::abs(g - rep[k]);
          if (d <= tol && d < bestDiff) best = k, bestDiff = d;
        }
        if (best == 0)
          for (int k = 1; k <= N; ++k) {
            const int d = std::abs(g - rep[k]);
            if (d <= tol && d < bestDiff) best = k, bestDiff = d;
          }
        if (best == 0) {
          if (N >= maxRegions) {
            stop = true;
            break;
          }
          best = ++N;
          rep[best] = g, sum[best] = g, count[best] = 1;
        } else {
          sum[best] += g;
          count[best] += 1;
          rep[best] = roundMean(sum[best], count[best]);
        }
        label(z, y, x) = best;
      }
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x)
        if (label(z, y, x) != 0) out(z, y, x) = rep[label(z, y, x)];
  return stop ? kTooManyRegions : N;
}

struct RefSplit {
  Samples& in;
  Samples& out;
  Box voi;
  int tol;
  bool merge;
  Samples label;
  int count = 0;
  int means[256] = {};
  bool exceeded = false;

  RefSplit(Samples& i, Samples& o, Box v, int t, bool m)
      : in(i), out(o), voi(v), tol(t), merge(m), label(i) {
    std::fill(label.s.begin(), label.s.end(), 0);
  }

  void run(const Box& b) {
    if (exceeded) return;
    int lo = 256, hi = -1;
    double sum = 0;
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) {
          lo = std::min(lo, in(z, y, x));
          hi = std::max(hi, in(z, y, x));
          sum += in(z, y, x);
        }
    const double n = double(b.depth()) * b.height() * b.width();
    if (hi - lo <= tol || n == 1) {
      leaf(b, roundMean(sum, n));
      return;
    }
    auto halves = [](int a0, int a1, int(&r)[2][2]) {
      const int len = a1 - a0;
      if (len == 1) {
        r[0][0] = a0, r[0][1] = a1;
        return 1;
      }
      r[0][0] = a0, r[0][1] = a0 + len / 2, r[1][0] = a0 + len / 2, r[1][1] = a1;
      return 2;
    };
    int zr[2][2], yr[2][2], xr[2][2];
    const int nz = halves(b.z0, b.z1, zr), ny = halves(b.y0, b.y1, yr), nx = halves(b.x0, b.x1, xr);
    const int pattern[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};  // (Y half, X half)
    for (int iz = 0; iz < nz; ++iz)
      for (const auto& p : pattern) {
        if (p[0] >= ny || p[1] >= nx) continue;
        run({zr[iz][0], zr[iz][1], yr[p[0]][0], yr[p[0]][1], xr[p[1]][0], xr[p[1]][1]});
      }
  }

  void setBox(const Box& b, int value, int lab) {
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x) out(z, y, x) = value, label(z, y, x) = lab;
  }

  void leaf(const Box& b, int mu) {
    ++count;
    if (!merge) {
      setBox(b, mu, 0);
      return;
    }
    if (count > 255) {
      exceeded = true;
      return;
    }
    const int L = count;
    setBox(b, mu, L);
    means[L] = mu;
    if (L == 1) return;
    int best = 0, bestDiff = 255;
    auto plane = [&](int z0, int z1, int y0, int y1, int x0, int x1) {
      for (int z = std::max(z0, voi.z0); z < std::min(z1, voi.z1); ++z)
        for (int y = std::max(y0, voi.y0); y < std::min(y1, voi.y1); ++y)
          for (int x = std::max(x0, voi.x0); x < std::min(x1, voi.x1); ++x)
            if (out(z, y, x) != 0 && label(z, y, x) != 0 && std::abs(out(z, y, x) - mu) < bestDiff)
              bestDiff = std::abs(out(z, y, x) - mu), best = label(z, y, x);
    };
    plane(b.z0 - 1, b.z0, b.y0 - 1, b.y1 + 1, b.x0 - 1, b.x1 + 1);
    plane(b.z1, b.z1 + 1, b.y0 - 1, b.y1 + 1, b.x0 - 1, b.x1 + 1);
    plane(b.z0 - 1, b.z1 + 1, b.y0 - 1, b.y0, b.x0 - 1, b.x1 + 1);
    plane(b.z0 - 1, b.z1 + 1, b.y1, b.y1 + 1, b.x0 - 1, b.x1 + 1);
    plane(b.z0 - 1, b.z1 + 1, b.y0 - 1, b.y1 + 1, b.x0 - 1, b.x0);
    plane(b.z0 - 1, b.z1 + 1, b.y0 - 1, b.y1 + 1, b.x1, b.x1 + 1);
    if (best != 0 && bestDiff <= tol) {
      setBox(b, means[best], best);
      --count;
    }
  }
};

// ---- Tests against the references -------------------------------------------------------------

TEST(ThresholdTest, MapsTheVoiToZeroAnd255AndKeepsTheRest) {
  std::mt19937 rng(1);
  for (int trial = 0; trial < 20; ++trial) {
    OwnedVolume in(V3D_UC, 1, 1 + rng() % 5, 1 + rng() % 6, 1 + rng() % 7);
    OwnedVolume out(V3D_UC, 1, in->Z + rng() % 2, in->Y, in->X + rng() % 3);
    fillRandom(in, trial);
    fillRandom(out, trial + 100);
    const Box voi = randomVoi(in, rng);
    setVoi(in, voi);
    const int t = static_cast<int>(rng() % 300) - 20;
    Samples expect(out), src(in);
    for (int z = voi.z0; z < voi.z1; ++z)
      for (int y = voi.y0; y < voi.y1; ++y)
        for (int x = voi.x0; x < voi.x1; ++x) expect(z, y, x) = src(z, y, x) < t ? 0 : 255;
    ASSERT_EQ(threshold_3d(in, out, t), 0);
    ASSERT_TRUE(sameSamples(out, expect)) << "trial " << trial;
  }
}

TEST(RegionGrowTest, MatchesTheReferenceOnRandomSeedsAndVois) {
  std::mt19937 rng(2);
  for (int trial = 0; trial < 150; ++trial) {
    OwnedVolume in(V3D_UC, 1, 2 + rng() % 7, 2 + rng() % 8, 2 + rng() % 9);
    OwnedVolume out(V3D_UC, 1, in->Z, in->Y + rng() % 2, in->X);
    fillBlocks(in, trial, static_cast<int>(rng() % 12));
    fillRandom(out, trial + 7);
    const Box voi = randomVoi(in, rng, trial % 3 == 0 ? 1 : 3);
    setVoi(in, voi);
    // Clear the VOI area of the output and place a few seeds (possibly none, possibly more
    // than allowed); samples outside the VOI keep their random contents.
    for (int z = voi.z0; z < voi.z1; ++z)
      for (int y = voi.y0; y < voi.y1; ++y)
        for (int x = voi.x0; x < voi.x1; ++x) at<UC>(out, 0, z, y, x) = 0;
    const int seeds = static_cast<int>(rng() % 6);
    for (int k = 0; k < seeds; ++k)
      at<UC>(out, 0, voi.z0 + rng() % voi.depth(), voi.y0 + rng() % voi.height(),
             voi.x0 + rng() % voi.width()) = 1;
    const int maxSeeds = 1 + static_cast<int>(rng() % 5);
    const int tol = static_cast<int>(rng() % 40);
    Samples src(in), expect(out);
    const int want = refGrow(src, expect, voi, maxSeeds, tol);
    const auto before = snapshot(out);
    ASSERT_EQ(region3d_grow(in, out, maxSeeds, tol), want) << "trial " << trial;
    if (want != 0) {
      EXPECT_EQ(snapshot(out), before) << "a refused seed set leaves the output untouched";
    }
    ASSERT_TRUE(sameSamples(out, expect)) << "trial " << trial;
  }
}

TEST(RegionGrowTest, ASeedOnTheOuterLayerKeepsItsRegionButIsNotExpanded) {
  OwnedVolume in(V3D_UC, 1, 4, 4, 4), out(V3D_UC, 1, 4, 4, 4);
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) at<UC>(in, 0, z, y, x) = 50;
  at<UC>(in, 0, 0, 0, 0) = 60;
  at<UC>(out, 0, 0, 0, 0) = 9;
  ASSERT_EQ(region3d_grow(in, out, 1, 255), 0);
  EXPECT_EQ(at<UC>(out, 0, 0, 0, 0), 60);
  EXPECT_EQ(at<UC>(out, 0, 1, 1, 1), 0);
  // One voxel inside the seed grows over the whole volume with the mean of all samples.
  at<UC>(out, 0, 0, 0, 0) = 0;
  at<UC>(out, 0, 1, 1, 1) = 1;
  ASSERT_EQ(region3d_grow(in, out, 1, 10), 0);
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(at<UC>(out, 0, z, y, x), 50);  // (63*50+60)/64 rounds to 50
}

TEST(RegionMergeTest, MatchesTheReferenceIncludingTheRegionLimit) {
  std::mt19937 rng(3);
  for (int trial = 0; trial < 60; ++trial) {
    OwnedVolume in(V3D_UC, 1, 1 + rng() % 6, 1 + rng() % 8, 1 + rng() % 9);
    OwnedVolume out(V3D_UC, 1, in->Z, in->Y, in->X + rng() % 2);
    if (trial % 2)
      fillBlocks(in, trial, static_cast<int>(rng() % 15));
    else
      fillRandom(in, trial);
    fillRandom(out, trial + 3);
    const Box voi = randomVoi(in, rng);
    setVoi(in, voi);
    const int tol = static_cast<int>(rng() % 60);
    const int maxRegions = trial % 4 == 0 ? 1 + static_cast<int>(rng() % 4) : 255;
    Samples src(in), expect(out);
    const int want = refMerge(src, expect, voi, tol, maxRegions);
    ASSERT_EQ(region3d_merge(in, out, tol, maxRegions), want) << "trial " << trial;
    ASSERT_TRUE(sameSamples(out, expect)) << "trial " << trial;
  }
}

TEST(RegionMergeTest, ConstantVoiIsOneRegionAndTwoValuesExceedAMaximumOfOne) {
  OwnedVolume in(V3D_UC, 1, 3, 3, 3), out(V3D_UC, 1, 3, 3, 3);
  for (int z = 0; z < 3; ++z)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 3; ++x) at<UC>(in, 0, z, y, x) = 77;
  EXPECT_EQ(region3d_merge(in, out, 0, 255), 1);
  at<UC>(in, 0, 2, 2, 2) = 200;
  EXPECT_EQ(region3d_merge(in, out, 0, 1), kTooManyRegions);
  EXPECT_EQ(at<UC>(out, 0, 2, 1, 1), 77);
  EXPECT_EQ(at<UC>(out, 0, 2, 2, 2), 0) << "the voxel that found no room stays cleared";
}

TEST(RegionSplitTest, SplitAndSplitMergeMatchTheReferences) {
  std::mt19937 rng(4);
  for (int trial = 0; trial < 80; ++trial) {
    const bool merge = trial % 2 == 1;
    OwnedVolume in(V3D_UC, 1, 1 + rng() % 7, 1 + rng() % 9, 1 + rng() % 10);
    OwnedVolume out(V3D_UC, 1, in->Z + rng() % 2, in->Y, in->X);
    if (trial % 3)
      fillBlocks(in, trial, static_cast<int>(rng() % 10));
    else
      fillLevels(in, trial, {0, 10, 12, 40, 200});
    fillRandom(out, trial + 9);
    const Box voi = randomVoi(in, rng);
    setVoi(in, voi);
    const int tol = static_cast<int>(rng() % 50);
    Samples src(in), expect(out);
    RefSplit ref(src, expect, voi, tol, merge);
    ref.run(voi);
    int count = 0;
    const int code =
        merge ? region3d_splitmerge(in, out, &count, tol) : region3d_split(in, out, &count, tol);
    ASSERT_EQ(code, ref.exceeded ? kTooManyRegions : 0) << "trial " << trial;
    EXPECT_EQ(count, ref.count) << "trial " << trial;
    ASSERT_TRUE(sameSamples(out, expect)) << "trial " << trial;
  }
}

TEST(RegionSplitTest, ConstantVoiIsOneRegionAndToleranceZeroSplitsToEqualBoxes) {
  OwnedVolume in(V3D_UC, 1, 4, 4, 4), out(V3D_UC, 1, 4, 4, 4);
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) at<UC>(in, 0, z, y, x) = x < 2 ? 5 : 9;
  int count = 0;
  ASSERT_EQ(region3d_split(in, out, &count, 4), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(at<UC>(out, 0, 0, 0, 0), 7);
  count = 0;
  ASSERT_EQ(region3d_split(in, out, &count, 0), 0);
  EXPECT_EQ(count, 8) << "each octant holds one value";
  EXPECT_EQ(at<UC>(out, 0, 3, 3, 0), 5);
  EXPECT_EQ(at<UC>(out, 0, 3, 3, 3), 9);
  count = 0;
  ASSERT_EQ(region3d_splitmerge(in, out, &count, 0), 0);
  EXPECT_EQ(count, 2) << "split-and-merge joins the octants of equal value";
}

TEST(RegionSplitTest, SplitMergeStopsAfter255Regions) {
  OwnedVolume in(V3D_UC, 1, 8, 8, 8), out(V3D_UC, 1, 8, 8, 8);
  fillRandom(in, 5);
  int count = 0;
  EXPECT_EQ(region3d_splitmerge(in, out, &count, 0), kTooManyRegions);
  EXPECT_GT(count, 255);
}

// ---- Argument checks ------------------------------------------------------------------------

TEST(SegmentationChecksTest, CodesComeInOrderAndNothingIsWritten) {
  // 343 samples: a random output holds more nonzero seeds than the 255 allowed.
  OwnedVolume in(V3D_UC, 1, 7, 7, 7), out(V3D_UC, 1, 7, 7, 7), small(V3D_UC, 1, 7, 6, 7);
  OwnedVolume flt(V3D_F, 1, 7, 7, 7), rgb(V3D_UC, 2, 7, 7, 7);
  fillRandom(in, 1);
  fillRandom(out, 2);
  fillRandom(small, 3);
  int count = 0, nonzero = 3;
  float sizes[255];
  struct Case {
    const char* what;
    std::function<int()> call;
    int code;
  };
  const std::vector<Case> cases = {
      {"threshold null input", [&] { return threshold_3d(nullptr, out, 1); }, kNullVolume},
      {"threshold F output", [&] { return threshold_3d(in, flt, 1); }, kWrongDataType},
      {"threshold small output", [&] { return threshold_3d(in, small, 1); },
       kInvalidOutputDimensions},
      {"grow colour input", [&] { return region3d_grow(rgb, out, 1, 1); }, kWrongColorType},
      {"grow small output", [&] { return region3d_grow(in, small, 1, -1); },
       kInvalidOutputDimensions},
      {"grow seeds 0", [&] { return region3d_grow(in, out, 0, 1); }, kInvalidParameters},
      {"grow seeds 256", [&] { return region3d_grow(in, out, 256, 1); }, kInvalidParameters},
      {"grow tolerance", [&] { return region3d_grow(in, out, 5, -1); }, kInvalidParameters},
      {"grow too many seeds", [&] { return region3d_grow(in, out, 255, 1); }, kSeedsNotSpecified},
      {"merge small", [&] { return region3d_merge(in, small, -1, 0); }, kInvalidOutputDimensions},
      {"merge tolerance", [&] { return region3d_merge(in, out, -1, 5); }, kInvalidParameters},
      {"merge maximum", [&] { return region3d_merge(in, out, 1, 256); }, kInvalidParameters},
      {"split null count", [&] { return region3d_split(in, small, nullptr, 1); }, -4},
      {"split small", [&] { return region3d_split(in, small, &count, -1); },
       kInvalidOutputDimensions},
      {"split count", [&] { return region3d_split(in, out, &nonzero, 1); }, kInvalidParameters},
      {"splitmerge tolerance", [&] { return region3d_splitmerge(in, out, &count, -1); },
       kInvalidParameters},
      {"splitmerge count", [&] { return region3d_splitmerge(in, out, &nonzero, 1); },
       kInvalidParameters},
      {"label null count", [&] { return grass3d_label(in, small, nullptr, nullptr, 1); }, -4},
      {"label null sizes", [&] { return grass3d_label(in, small, &count, nullptr, 1); }, -2},
      {"label small", [&] { return grass3d_label(in, small, &count, sizes, 0); },
       kInvalidOutputDimensions},
      {"label maximum", [&] { return grass3d_label(in, out, &count, sizes, 256); },
       kInvalidParameters},
      {"label in place", [&] { return grass3d_label(in, in, &count, sizes, 255); },
       kSameInputOutput},
  };
  const auto inBefore = snapshot(in), outBefore = snapshot(out), smallBefore = snapshot(small);
  for (const Case& c : cases) {
    EXPECT_EQ(c.call(), c.code) << c.what;
    EXPECT_EQ(snapshot(in), inBefore) << c.what;
    EXPECT_EQ(snapshot(out), outBefore) << c.what;
    EXPECT_EQ(snapshot(small), smallBefore) << c.what;
  }
  EXPECT_EQ(nonzero, 3);
}

TEST(SegmentationChecksTest, AllocationFailuresReturnCodesAndReleaseEverything) {
  OwnedVolume in(V3D_UC, 1, 5, 5, 5), out(V3D_UC, 1, 5, 5, 5);
  fillBlocks(in, 1, 3);
  const long live = liveStorageBlocks();
  const auto before = snapshot(out);
  failAllocationsAfter(0);
  int count = 0;
  float sizes[255];
  EXPECT_EQ(region3d_merge(in, out, 3, 255), kCannotAllocateVolume);
  EXPECT_EQ(region3d_splitmerge(in, out, &count, 3), kCannotAllocateVolume);
  EXPECT_EQ(grass3d_label(in, out, &count, sizes, 255), kCannotAllocateBuffer);
  at<UC>(out, 0, 2, 2, 2) = 1;
  const auto seeded = snapshot(out);
  EXPECT_EQ(region3d_grow(in, out, 1, 3), kCannotAllocateVolume);
  EXPECT_EQ(snapshot(out), seeded);
  failAllocationsAfter(-1);
  at<UC>(out, 0, 2, 2, 2) = 0;
  EXPECT_EQ(snapshot(out), before);
  EXPECT_EQ(liveStorageBlocks(), live);
}

}  // namespace
}  // namespace v3d::test
