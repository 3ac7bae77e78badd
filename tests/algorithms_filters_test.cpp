// Order-statistic filters and direct linear filters against plain references that sort or
// sum each window, on random volumes with VOIs smaller than the volume, one or three
// channels, windows from 1 up to the VOI's extent, and outputs holding old contents.
#include <algorithm>
#include <climits>
#include <cmath>
#include <functional>
#include <vector>

#include "algorithms/linear_filters.h"
#include "algorithms/order_statistics.h"
#include "core/alloc.h"
#include "core/basic_ops.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

// ---- Fixtures ------------------------------------------------------------------------

struct Case {
  int channels, Z, Y, X;
  Box voi;
  int wz, wy, wx;
};

int oddUpTo(std::mt19937& rng, int extent) {
  const int odd = (extent + 1) / 2;  // number of odd values in 1..extent
  return 1 + 2 * static_cast<int>(rng() % static_cast<unsigned>(odd));
}

// A random shape, VOI and window; the window sometimes spans the whole VOI on an axis.
Case randomCase(std::mt19937& rng, int maxSide = 9, int maxX = 12) {
  Case k{};
  k.channels = rng() % 3 == 0 ? 3 : 1;
  k.Z = 1 + rng() % maxSide;
  k.Y = 1 + rng() % maxSide;
  k.X = 1 + rng() % maxX;
  auto axis = [&](int n, int& lo, int& hi) {
    lo = static_cast<int>(rng() % static_cast<unsigned>(n));
    hi = lo + 1 + static_cast<int>(rng() % static_cast<unsigned>(n - lo));
    if (rng() % 4 == 0) lo = 0, hi = n;
  };
  axis(k.Z, k.voi.z0, k.voi.z1);
  axis(k.Y, k.voi.y0, k.voi.y1);
  axis(k.X, k.voi.x0, k.voi.x1);
  k.wz = oddUpTo(rng, k.voi.depth());
  k.wy = oddUpTo(rng, k.voi.height());
  k.wx = oddUpTo(rng, k.voi.width());
  return k;
}

// Samples of the window around (z, y, x) in frame, row, column order.
std::vector<int> window(Volume* in, int c, int z, int y, int x, int wz, int wy, int wx) {
  std::vector<int> w;
  for (int l = z - wz / 2; l <= z + wz / 2; ++l)
    for (int g = y - wy / 2; g <= y + wy / 2; ++g)
      for (int t = x - wx / 2; t <= x + wx / 2; ++t) w.push_back(at<UC>(in, c, l, g, t));
  return w;
}

using Reference = std::function<int(Volume* in, int c, int z, int y, int x)>;

// Checks that `out` holds ref() on the inner box of the input VOI for window (wz, wy, wx)
// and its old contents (`before`, taken from `oldOut`) everywhere else.
void expectFiltered(Volume* in, Volume* out, const std::vector<unsigned char>& before, int wz,
                    int wy, int wx, const Reference& ref, const std::string& what) {
  const Box b = voiOf(*in);
  const Box inner{b.z0 + wz / 2, b.z1 - wz / 2, b.y0 + wy / 2,
                  b.y1 - wy / 2, b.x0 + wx / 2, b.x1 - wx / 2};
  int mismatches = 0;
  std::size_t k = sizeof(Volume);
  for (int c = 0; c < channelCount(*out); ++c)
    for (int z = 0; z < out->Z; ++z)
      for (int y = 0; y < out->Y; ++y)
        for (int x = 0; x < out->X; ++x, ++k) {
          const bool centre = c < channelCount(*in) && z >= inner.z0 && z < inner.z1 &&
                              y >= inner.y0 && y < inner.y1 && x >= inner.x0 && x < inner.x1;
          const int want = centre ? ref(in, c, z, y, x) : before[k];
          const int got = at<UC>(out, c, z, y, x);
          if (got != want && ++mismatches <= 3)
            ADD_FAILURE() << what << ": c " << c << " z " << z << " y " << y << " x " << x
                          << " got " << got << " want " << want;
        }
}

// Runs `filter` on many random cases against `ref`; `filter` gets the window of the case.
using Filter = std::function<int(Volume* in, Volume* out, const Case& k)>;
using CaseReference = std::function<int(Volume* in, const Case& k, int c, int z, int y, int x)>;

void checkAgainstReference(const Filter& filter, const CaseReference& ref, unsigned seed,
                           int trials = 60, bool binary = false) {
  std::mt19937 rng(seed);
  for (int trial = 0; trial < trials; ++trial) {
    // Every tenth case has rows longer than the kernels' blocks of 64 voxels.
    const Case k = trial % 10 == 9 ? randomCase(rng, 4, 200) : randomCase(rng);
    const int colour = k.channels == 3 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
    OwnedVolume in(V3D_UC, colour, k.Z, k.Y, k.X);
    // A bigger output with old contents: only the inner box may change.
    OwnedVolume out(V3D_UC, colour, k.Z + trial % 2, k.Y, k.X + trial % 3);
    fillRandom(in, seed * 1000 + trial, binary && trial % 2 == 0);
    if (trial % 5 == 4) {  // few distinct levels: many ties in every window
      for (int c = 0; c < k.channels; ++c)
        for (int z = 0; z < k.Z; ++z)
          for (int y = 0; y < k.Y; ++y)
            for (int x = 0; x < k.X; ++x) at<UC>(in, c, z, y, x) &= 0x3;
    }
    fillRandom(out, seed * 1000 + trial + 500);
    setVoi(in, k.voi);
    const auto before = snapshot(out);
    const auto inputBefore = snapshot(in);
    const std::string what = "trial " + std::to_string(trial) + " window " + std::to_string(k.wz) +
                             "x" + std::to_string(k.wy) + "x" + std::to_string(k.wx);
    ASSERT_EQ(filter(in, out, k), 0) << what;
    EXPECT_EQ(snapshot(in), inputBefore) << what << ": the input was changed";
    expectFiltered(
        in, out, before, k.wz, k.wy, k.wx,
        [&](Volume* v, int c, int z, int y, int x) { return ref(v, k, c, z, y, x); }, what);
  }
}

// ---- References straight from the definitions --------------------------------------------

int refMedian(Volume* in, const Case& k, int c, int z, int y, int x) {
  auto w = window(in, c, z, y, x, k.wz, k.wy, k.wx);
  std::sort(w.begin(), w.end());
  return w[w.size() / 2];
}

int refMax(Volume* in, const Case& k, int c, int z, int y, int x) {
  auto w = window(in, c, z, y, x, k.wz, k.wy, k.wx);
  return *std::max_element(w.begin(), w.end());
}

int refMin(Volume* in, const Case& k, int c, int z, int y, int x) {
  auto w = window(in, c, z, y, x, k.wz, k.wy, k.wx);
  return *std::min_element(w.begin(), w.end());
}

int refWeightedMedian(Volume* in, Volume* weights, int c, int z, int y, int x) {
  const int wz = weights->Z, wy = weights->Y, wx = weights->X;
  std::vector<int> values;
  for (int l = 0; l < wz; ++l)
    for (int g = 0; g < wy; ++g)
      for (int t = 0; t < wx; ++t)
        for (int r = 0; r < at<UC>(weights, 0, l, g, t); ++r)
          values.push_back(at<UC>(in, c, z - wz / 2 + l, y - wy / 2 + g, x - wx / 2 + t));
  std::sort(values.begin(), values.end());
  const std::size_t s = values.size();
  return s % 2 == 1 ? values[s / 2] : (values[s / 2 - 1] + values[s / 2]) / 2;
}

int refMultistage(Volume* in, int w, int c, int z, int y, int x) {
  const int h = w / 2;
  const int dirs[7][3] = {{0, 0, 1},  {1, 0, 0},  {0, 1, 0},  {1, 1, 1},
                          {1, 1, -1}, {1, -1, 1}, {1, -1, -1}};
  std::vector<int> eight;
  for (const auto& d : dirs) {
    std::vector<int> line;
    for (int t = -h; t <= h; ++t)
      line.push_back(at<UC>(in, c, z + d[0] * t, y + d[1] * t, x + d[2] * t));
    std::sort(line.begin(), line.end());
    eight.push_back(line[h]);
  }
  eight.push_back(at<UC>(in, c, z, y, x));
  std::sort(eight.begin(), eight.end());
  return (eight[3] + eight[4]) / 2;
}

int refLFilter(Volume* in, const Case& k, const std::vector<float>& coef, int c, int z, int y,
               int x) {
  auto w = window(in, c, z, y, x, k.wz, k.wy, k.wx);
  std::sort(w.begin(), w.end());
  long double s = 0.0L;
  for (std::size_t i = 0; i < w.size(); ++i) s += static_cast<long double>(w[i]) * coef[i];
  float f = static_cast<float>(s);
  if (f < 0) f = 0;
  if (f > 255) f = 255;
  return static_cast<int>(f + 0.5);
}

int refAdaptive(Volume* in, const Case& k, float v, int c, int z, int y, int x) {
  auto w = window(in, c, z, y, x, k.wz, k.wy, k.wx);
  long long s = 0, q = 0;
  for (int a : w) s += a, q += a * a;
  const float n = static_cast<float>(w.size());
  const float m = static_cast<float>(s) / n;
  const float var = static_cast<float>(q) / n - m * m;
  float r = m;
  if (var >= 0.0001) {
    float g = v / var;
    if (g > 1.0f) g = 1.0f;
    r = (1.0f - g) * static_cast<float>(at<UC>(in, c, z, y, x)) + g * m;
  }
  double t = r + 0.5;
  return t < 0 ? 0 : t > 255 ? 255 : static_cast<int>(t);
}

int refMovingAverage(Volume* in, const Case& k, int c, int z, int y, int x) {
  auto w = window(in, c, z, y, x, k.wz, k.wy, k.wx);
  long long s = 0;
  for (int a : w) s += a;
  return static_cast<int>(static_cast<float>(s) / static_cast<float>(w.size()) + 0.5);
}

int refConvolution(Volume* in, Volume* h, int z, int y, int x) {
  long double s = 0.0L;
  for (int l = 0; l < h->Z; ++l)
    for (int g = 0; g < h->Y; ++g)
      for (int t = 0; t < h->X; ++t)
        s += static_cast<long double>(at<float>(h, 0, l, g, t)) *
             at<UC>(in, 0, z + h->Z / 2 - l, y + h->Y / 2 - g, x + h->X / 2 - t);
  const double d = static_cast<double>(static_cast<float>(s)) + 0.5;
  if (!(std::fabs(d) < 0x1p63)) return 0;
  return static_cast<UC>(static_cast<long long>(d));
}

// ---- Exact results -------------------------------------------------------------------

TEST(OrderStatisticsTest, MediansEqualTheSortedWindowsMiddleElement) {
  checkAgainstReference(
      [](Volume* i, Volume* o, const Case& k) { return median3(i, o, k.wz, k.wy, k.wx); },
      refMedian, 1);
  checkAgainstReference(
      [](Volume* i, Volume* o, const Case& k) { return run_median3(i, o, k.wz, k.wy, k.wx); },
      refMedian, 2, 60, true);
}

TEST(OrderStatisticsTest, RunningMaximumAndMinimumEqualTheWindowExtremes) {
  checkAgainstReference(
      [](Volume* i, Volume* o, const Case& k) { return run_max3(i, o, k.wz, k.wy, k.wx); }, refMax,
      3);
  checkAgainstReference(
      [](Volume* i, Volume* o, const Case& k) { return run_min3(i, o, k.wz, k.wy, k.wx); }, refMin,
      4, 60, true);
  // Large windows use several doubling steps along each axis.
  OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 20, 21, 40), max(V3D_UC, V3D_ONE_CHANNEL, 20, 21, 40);
  fillRandom(in, 44);
  for (int w : {7, 9, 15, 17}) {
    const Case k{1, 20, 21, 40, voiOf(*in.get()), w, w, std::min(2 * w + 1, 39)};
    const auto before = snapshot(max);
    ASSERT_EQ(run_max3(in, max, k.wz, k.wy, k.wx), 0);
    expectFiltered(
        in, max, before, k.wz, k.wy, k.wx,
        [&](Volume* v, int c, int z, int y, int x) { return refMax(v, k, c, z, y, x); },
        "window " + std::to_string(w));
  }
}

TEST(OrderStatisticsTest, WeightedMedianRepeatsSamplesByTheirWeights) {
  std::mt19937 rng(5);
  for (int trial = 0; trial < 60; ++trial) {
    Case k = trial % 10 == 9 ? randomCase(rng, 4, 200) : randomCase(rng);
    OwnedVolume in(V3D_UC, k.channels == 3 ? 2 : 1, k.Z, k.Y, k.X);
    OwnedVolume out(V3D_UC, k.channels == 3 ? 2 : 1, k.Z, k.Y + 1, k.X);
    OwnedVolume weights(V3D_UC, V3D_ONE_CHANNEL, k.wz, k.wy, k.wx);
    fillRandom(in, 500 + trial);
    fillRandom(out, 900 + trial);
    setVoi(in, k.voi);
    // Weights: centre-weighted boxes, sparse random ones and small random ones.
    for (int z = 0; z < k.wz; ++z)
      for (int y = 0; y < k.wy; ++y)
        for (int x = 0; x < k.wx; ++x) {
          const bool centre = z == k.wz / 2 && y == k.wy / 2 && x == k.wx / 2;
          UC w = trial % 3 == 0   ? (centre ? 3 : 1)
                 : trial % 3 == 1 ? static_cast<UC>(rng() % 4 == 0 ? rng() % 5 : 0)
                                  : static_cast<UC>(rng() % 3);
          if (centre && trial % 3 != 0) w = static_cast<UC>(w + trial % 2);
          at<UC>(weights, 0, z, y, x) = w;
        }
    long sum = 0;
    for (int z = 0; z < k.wz; ++z)
      for (int y = 0; y < k.wy; ++y)
        for (int x = 0; x < k.wx; ++x) sum += at<UC>(weights, 0, z, y, x);
    const auto before = snapshot(out);
    if (sum == 0) {
      EXPECT_EQ(wei_median3(in, out, weights), kInvalidWeightsVolume);
      EXPECT_EQ(snapshot(out), before);
      continue;
    }
    ASSERT_EQ(wei_median3(in, out, weights), 0) << trial;
    Volume* wv = weights;
    expectFiltered(
        in, out, before, k.wz, k.wy, k.wx,
        [&](Volume* v, int c, int z, int y, int x) { return refWeightedMedian(v, wv, c, z, y, x); },
        "trial " + std::to_string(trial) + " sum " + std::to_string(sum));
  }
}

TEST(OrderStatisticsTest, WeightedMedianOfAnEvenSumAveragesTheMiddlePairRoundingDown) {
  OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 3), out(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 3);
  OwnedVolume weights(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 3);
  at<UC>(in, 0, 0, 0, 0) = 10;
  at<UC>(in, 0, 0, 0, 1) = 200;
  at<UC>(in, 0, 0, 0, 2) = 13;
  at<UC>(weights, 0, 0, 0, 0) = 1;
  at<UC>(weights, 0, 0, 0, 2) = 1;  // sorted {10, 13}: (10 + 13) / 2 = 11
  ASSERT_EQ(wei_median3(in, out, weights), 0);
  EXPECT_EQ(at<UC>(out, 0, 0, 0, 1), 11);
  at<UC>(weights, 0, 0, 0, 1) = 2;  // {10, 13, 200, 200}: (13 + 200) / 2 = 106
  ASSERT_EQ(wei_median3(in, out, weights), 0);
  EXPECT_EQ(at<UC>(out, 0, 0, 0, 1), 106);
}

TEST(OrderStatisticsTest, MultistageMedianTakesTheMedianOfSevenLineMediansAndTheCentre) {
  for (int w : {1, 3, 5, 7, 9}) {
    std::mt19937 rng(60 + w);
    for (int trial = 0; trial < 8; ++trial) {
      const int Z = w + rng() % 3, Y = w + rng() % 3, X = w + rng() % (trial == 7 ? 150 : 4);
      const int colour = trial % 2 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
      OwnedVolume in(V3D_UC, colour, Z, Y, X), out(V3D_UC, colour, Z, Y, X);
      fillRandom(in, 70 + trial);
      fillRandom(out, 80 + trial);
      const Box voi{static_cast<int>(rng() % (Z - w + 1)), Z, 0, Y,
                    static_cast<int>(rng() % (X - w + 1)), X};
      setVoi(in, voi);
      const auto before = snapshot(out);
      ASSERT_EQ(multistage_median3(in, out, w), 0);
      expectFiltered(
          in, out, before, w, w, w,
          [&](Volume* v, int c, int z, int y, int x) { return refMultistage(v, w, c, z, y, x); },
          "w " + std::to_string(w));
    }
  }
}

// A weight whose magnitude is so far below 1 that n weights near 1 beside it sum, exactly
// scaled, to about 2^49 * n: beyond doubles, within 64-bit integers.
float tinyBeside(std::size_t n) {
  return std::ldexp(1.5f, -(25 - static_cast<int>(std::log2(static_cast<double>(n)))));
}

// L-filter coefficients: the box mean; random ones, negative ones included, that clip at 0
// and 255; magnitudes far apart but exact in 64-bit integers; magnitudes too far apart
// for exact integer scaling at all (extended-precision accumulation).
float coefficient(int mode, std::size_t n, std::mt19937& rng) {
  const float sign = rng() % 3 == 0 ? -1.0f : 1.0f;
  switch (mode) {
    case 0:
      return 1.0f / static_cast<float>(n);
    case 1:
      return std::uniform_real_distribution<float>(-0.5f, 1.5f)(rng);
    case 2:
      return sign *
             (rng() % 2 ? std::uniform_real_distribution<float>(0.5f, 1.0f)(rng) : tinyBeside(n));
    default:
      return sign * (rng() % 2 ? 1e-30f : 0.02f);
  }
}

TEST(OrderStatisticsTest, LFilterWeighsTheSortedWindow) {
  for (int mode = 0; mode < 4; ++mode) {
    checkAgainstReference(
        [mode](Volume* i, Volume* o, const Case& k) {
          const std::size_t n = static_cast<std::size_t>(k.wz) * k.wy * k.wx;
          std::mt19937 rng(static_cast<unsigned>(n * 7 + mode));
          std::vector<float> coef(n);
          for (auto& c : coef) c = coefficient(mode, n, rng);
          return l_filter3(i, o, coef.data(), k.wz, k.wy, k.wx);
        },
        [mode](Volume* in, const Case& k, int c, int z, int y, int x) {
          const std::size_t n = static_cast<std::size_t>(k.wz) * k.wy * k.wx;
          std::mt19937 rng(static_cast<unsigned>(n * 7 + mode));
          std::vector<float> coef(n);
          for (auto& cf : coef) cf = coefficient(mode, n, rng);
          return refLFilter(in, k, coef, c, z, y, x);
        },
        10 + mode, 40);
  }
}

TEST(OrderStatisticsTest, LocalAdaptiveFilterBlendsCentreAndLocalMean) {
  for (float v : {0.0f, -0.0f, 25.0f, 400.0f, 1e6f}) {
    checkAgainstReference(
        [v](Volume* i, Volume* o, const Case& k) {
          return local_adapt_filt3(i, o, v, k.wz, k.wy, k.wx);
        },
        [v](Volume* in, const Case& k, int c, int z, int y, int x) {
          return refAdaptive(in, k, v, c, z, y, x);
        },
        20 + static_cast<unsigned>(v), 30);
  }
  // Noise variance 0 keeps the centre; a constant region stores its mean.
  OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 5), out(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 5);
  fillRandom(in, 9);
  ASSERT_EQ(local_adapt_filt3(in, out, 0.0f, 3, 3, 3), 0);
  for (int x = 1; x < 4; ++x) EXPECT_EQ(at<UC>(out, 0, 1, 1, x), at<UC>(in, 0, 1, 1, x));
}

TEST(LinearFiltersTest, MovingAverageIsTheRoundedBoxMean) {
  checkAgainstReference(
      [](Volume* i, Volume* o, const Case& k) { return mov_ave3(i, o, k.wz, k.wy, k.wx); },
      refMovingAverage, 30, 80);
  // Wide rows take the running-sum path along X; a window of more than 16448 samples has
  // no table of means.
  for (int side : {13, 27}) {
    OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, side, side, side + 4);
    OwnedVolume out(V3D_UC, V3D_ONE_CHANNEL, side, side, side + 4);
    fillRandom(in, side);
    const Case k{1, side, side, side + 4, voiOf(*in.get()), side, side, side};
    const auto before = snapshot(out);
    ASSERT_EQ(mov_ave3(in, out, side, side, side), 0);
    expectFiltered(
        in, out, before, side, side, side,
        [&](Volume* v, int c, int z, int y, int x) { return refMovingAverage(v, k, c, z, y, x); },
        "side " + std::to_string(side));
  }
}

TEST(LinearFiltersTest, ConvolutionIsTheMirroredKernelSumsLowByte) {
  std::mt19937 rng(40);
  for (int trial = 0; trial < 60; ++trial) {
    Case k = randomCase(rng);
    OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, k.Z, k.Y, k.X);
    OwnedVolume out(V3D_UC, V3D_ONE_CHANNEL, k.Z + 1, k.Y, k.X);
    OwnedVolume h(V3D_F, V3D_ONE_CHANNEL, k.wz, k.wy, k.wx);
    fillRandom(in, 600 + trial);
    fillRandom(out, 700 + trial);
    setVoi(in, k.voi);
    for (int z = 0; z < k.wz; ++z)
      for (int y = 0; y < k.wy; ++y)
        for (int x = 0; x < k.wx; ++x) {
          float& w = at<float>(h, 0, z, y, x);
          switch (trial % 6) {
            case 0:
              w = std::uniform_real_distribution<float>(-1.0f, 1.0f)(rng);
              break;
            case 1:
              w = static_cast<float>(static_cast<int>(rng() % 9) - 2);
              break;  // wraps
            case 2:
              w = rng() % 2 ? 1e-30f : 3.0f;
              break;  // long double path
            case 3:
              w = 1.0f / static_cast<float>(k.wz * k.wy * k.wx);
              break;
            case 4:  // exact in 64-bit integers, not in doubles
              w = rng() % 2 ? std::uniform_real_distribution<float>(0.5f, 1.0f)(rng)
                            : tinyBeside(static_cast<std::size_t>(k.wz) * k.wy * k.wx);
              break;
            default:
              w = std::uniform_real_distribution<float>(0.0f, 3000.0f)(rng);
              break;
          }
        }
    if (trial == 7) at<float>(h, 0, 0, 0, 0) = NAN;
    const auto before = snapshot(out);
    ASSERT_EQ(conv3(in, out, h), 0);
    Volume* kernel = h;
    expectFiltered(
        in, out, before, k.wz, k.wy, k.wx,
        [&](Volume* v, int, int z, int y, int x) { return refConvolution(v, kernel, z, y, x); },
        "trial " + std::to_string(trial));
  }
}

// ---- Properties of the definitions -------------------------------------------------------

TEST(WindowFilterPropertiesTest, WindowsOfOneCopyTheVoiAndConstantsStayConstant) {
  OwnedVolume in(V3D_UC, V3D_THREE_CHANNELS, 4, 5, 6), out(V3D_UC, V3D_THREE_CHANNELS, 4, 5, 6);
  OwnedVolume one(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1);
  OwnedVolume unit(V3D_F, V3D_ONE_CHANNEL, 1, 1, 1);
  at<UC>(one, 0, 0, 0, 0) = 7;
  at<float>(unit, 0, 0, 0, 0) = 1.0f;
  fillRandom(in, 11);
  float coef = 1.0f;
  std::vector<std::function<int()>> copies = {
      [&] { return median3(in, out, 1, 1, 1); },
      [&] { return run_median3(in, out, 1, 1, 1); },
      [&] { return wei_median3(in, out, one); },
      [&] { return multistage_median3(in, out, 1); },
      [&] { return run_max3(in, out, 1, 1, 1); },
      [&] { return run_min3(in, out, 1, 1, 1); },
      [&] { return l_filter3(in, out, &coef, 1, 1, 1); },
      [&] { return mov_ave3(in, out, 1, 1, 1); },
  };
  for (std::size_t i = 0; i < copies.size(); ++i) {
    fillRandom(out, 12);
    ASSERT_EQ(copies[i](), 0) << i;
    EXPECT_EQ(samples(out), samples(in)) << "filter " << i;
  }
  OwnedVolume grey(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6), greyOut(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6);
  fillRandom(grey, 13);
  ASSERT_EQ(conv3(grey, greyOut, unit), 0);
  EXPECT_EQ(samples(greyOut), samples(grey));

  // A constant volume is reproduced in the inner box by every smoothing filter.
  float constant[3] = {77, 77, 77};
  ClearVolume(in, constant);
  std::vector<float> mean(27, 1.0f / 27);
  for (auto run : std::vector<std::function<int()>>{
           [&] { return median3(in, out, 3, 3, 3); }, [&] { return run_max3(in, out, 3, 3, 3); },
           [&] { return run_min3(in, out, 3, 3, 3); },
           [&] { return multistage_median3(in, out, 3); },
           [&] { return l_filter3(in, out, mean.data(), 3, 3, 3); },
           [&] { return local_adapt_filt3(in, out, 10.0f, 3, 3, 3); },
           [&] { return mov_ave3(in, out, 3, 3, 3); }}) {
    float zero[3] = {0, 0, 0};
    ClearVolume(out, zero);
    ASSERT_EQ(run(), 0);
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(at<UC>(out, c, 1, 2, 2), 77);
      EXPECT_EQ(at<UC>(out, c, 0, 2, 2), 0) << "outside the inner box";
    }
  }
}

TEST(WindowFilterPropertiesTest, InPlaceFilteringEqualsFilteringIntoANewVolume) {
  OwnedVolume weights(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 3);
  fillRandom(weights, 91);
  OwnedVolume kernel(V3D_F, V3D_ONE_CHANNEL, 3, 3, 3);
  fillRandom(kernel, 92);
  std::vector<float> coef(27, 0.05f);
  using Run = std::function<int(Volume*, Volume*)>;
  const std::vector<Run> filters = {
      [](Volume* i, Volume* o) { return median3(i, o, 3, 3, 3); },
      [](Volume* i, Volume* o) { return run_median3(i, o, 3, 1, 3); },
      [&](Volume* i, Volume* o) { return wei_median3(i, o, weights); },
      [](Volume* i, Volume* o) { return multistage_median3(i, o, 3); },
      [](Volume* i, Volume* o) { return run_max3(i, o, 3, 3, 3); },
      [](Volume* i, Volume* o) { return run_min3(i, o, 1, 3, 3); },
      [&](Volume* i, Volume* o) { return l_filter3(i, o, coef.data(), 3, 3, 3); },
      [](Volume* i, Volume* o) { return local_adapt_filt3(i, o, 30.0f, 3, 3, 3); },
      [](Volume* i, Volume* o) { return mov_ave3(i, o, 3, 3, 3); },
  };
  const Box voi{1, 6, 0, 7, 1, 8};
  for (std::size_t f = 0; f < filters.size(); ++f) {
    OwnedVolume a(V3D_UC, V3D_THREE_CHANNELS, 6, 7, 8),
        expected(V3D_UC, V3D_THREE_CHANNELS, 6, 7, 8);
    fillRandom(a, 93 + f);
    ASSERT_EQ(CopyVolume(a, expected, 0, 0, 0), 0);
    setVoi(a, voi);
    ASSERT_EQ(filters[f](a, expected), 0);
    setVoi(expected, voi);
    ASSERT_EQ(filters[f](a, a), 0) << f;
    EXPECT_EQ(samples(a), samples(expected)) << "filter " << f;
  }
  OwnedVolume g(V3D_UC, V3D_ONE_CHANNEL, 5, 6, 7), expected(V3D_UC, V3D_ONE_CHANNEL, 5, 6, 7);
  fillRandom(g, 99);
  ASSERT_EQ(CopyVolume(g, expected, 0, 0, 0), 0);
  ASSERT_EQ(conv3(g, expected, kernel), 0);
  ASSERT_EQ(conv3(g, g, kernel), 0);
  EXPECT_EQ(samples(g), samples(expected));
}

TEST(WindowFilterPropertiesTest, ErosionIsBelowMedianIsBelowDilation) {
  OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 12, 13, 14);
  OwnedVolume lo(V3D_UC, V3D_ONE_CHANNEL, 12, 13, 14), mid(V3D_UC, V3D_ONE_CHANNEL, 12, 13, 14),
      hi(V3D_UC, V3D_ONE_CHANNEL, 12, 13, 14);
  fillRandom(in, 101);
  ASSERT_EQ(run_min3(in, lo, 5, 3, 7), 0);
  ASSERT_EQ(median3(in, mid, 5, 3, 7), 0);
  ASSERT_EQ(run_max3(in, hi, 5, 3, 7), 0);
  for (int z = 2; z < 10; ++z)
    for (int y = 1; y < 12; ++y)
      for (int x = 3; x < 11; ++x) {
        EXPECT_LE(at<UC>(lo, 0, z, y, x), at<UC>(mid, 0, z, y, x));
        EXPECT_LE(at<UC>(mid, 0, z, y, x), at<UC>(hi, 0, z, y, x));
      }
}

// ---- Bad input: codes in their order, and nothing written ------------------------------------

class FilterErrorsTest : public ::testing::Test {
 protected:
  void TearDown() override { failAllocationsAfter(-1); }
};

TEST_F(FilterErrorsTest, ChecksRunInOrderAndLeaveTheOutputUntouched) {
  OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 5, 6, 7), out(V3D_UC, V3D_ONE_CHANNEL, 5, 6, 7);
  OwnedVolume small(V3D_UC, V3D_ONE_CHANNEL, 5, 5, 7), colour(V3D_UC, V3D_THREE_CHANNELS, 5, 6, 7);
  OwnedVolume floats(V3D_F, V3D_ONE_CHANNEL, 5, 6, 7), weights(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 3);
  OwnedVolume evenWeights(V3D_UC, V3D_ONE_CHANNEL, 3, 2, 3),
      bigWeights(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 9);
  OwnedVolume kernel(V3D_F, V3D_ONE_CHANNEL, 3, 3, 3), evenKernel(V3D_F, V3D_ONE_CHANNEL, 3, 3, 4);
  OwnedVolume colourWeights(V3D_UC, V3D_THREE_CHANNELS, 3, 3, 3);
  fillRandom(in, 1);
  fillRandom(out, 2);
  fillRandom(small, 3);
  fillRandom(colour, 4);
  fillRandom(weights, 5);
  fillRandom(evenWeights, 5);
  fillRandom(bigWeights, 5);
  setVoi(in, {0, 5, 0, 6, 1, 6});  // the VOI is 5 columns wide
  std::vector<float> coef(27, 0.1f);
  Volume freeSlot{};
  struct Bad {
    const char* what;
    int code;
    std::function<int(Volume* target)> run;
  };
  const std::vector<Bad> cases = {
      {"null input", kNullVolume, [&](Volume* o) { return median3(nullptr, o, 3, 3, 3); }},
      {"float input", kWrongDataType, [&](Volume* o) { return run_median3(floats, o, 3, 3, 3); }},
      {"empty output", kWrongDataType, [&](Volume*) { return run_max3(in, &freeSlot, 3, 3, 3); }},
      {"float output", kWrongDataType, [&](Volume*) { return mov_ave3(in, floats, 3, 3, 3); }},
      {"null coefficients before size", -2,
       [&](Volume*) { return l_filter3(in, small, nullptr, 3, 3, 3); }},
      {"smaller output", kInvalidOutputDimensions,
       [&](Volume*) { return median3(in, small, 3, 3, 3); }},
      {"size before colour", kInvalidOutputDimensions,
       [&](Volume*) { return run_min3(colour, small, 3, 3, 3); }},
      {"colour mismatch", kInvalidOutputColorType,
       [&](Volume*) { return multistage_median3(in, colour, 3); }},
      {"colour before variance", kInvalidOutputColorType,
       [&](Volume*) { return local_adapt_filt3(in, colour, -1.0f, 3, 3, 3); }},
      {"negative variance", kInvalidParameters,
       [&](Volume* o) { return local_adapt_filt3(in, o, -1.0f, 3, 3, 3); }},
      {"NaN variance", kInvalidParameters,
       [&](Volume* o) { return local_adapt_filt3(in, o, NAN, 3, 3, 3); }},
      {"variance before window", kInvalidParameters,
       [&](Volume* o) { return local_adapt_filt3(in, o, -0.5f, 2, 3, 3); }},
      {"even window", kInvalidWindowSize, [&](Volume* o) { return median3(in, o, 3, 4, 3); }},
      {"zero window", kInvalidWindowSize, [&](Volume* o) { return run_max3(in, o, 0, 3, 3); }},
      {"negative window", kInvalidWindowSize, [&](Volume* o) { return run_min3(in, o, 3, 3, -1); }},
      {"window wider than the VOI", kInvalidWindowSize,
       [&](Volume* o) { return mov_ave3(in, o, 3, 3, 7); }},
      {"cube wider than the VOI", kInvalidWindowSize,
       [&](Volume* o) { return multistage_median3(in, o, 7); }},
      {"l-filter window", kInvalidWindowSize,
       [&](Volume* o) { return l_filter3(in, o, coef.data(), 1, 1, 6); }},
      {"colour weights", kWrongColorType,
       [&](Volume* o) { return wei_median3(in, o, colourWeights); }},
      {"weights before size", kNullVolume,
       [&](Volume*) { return wei_median3(in, small, nullptr); }},
      {"even weights", kInvalidWindowSize,
       [&](Volume* o) { return wei_median3(in, o, evenWeights); }},
      {"weights wider than the VOI", kInvalidWindowSize,
       [&](Volume* o) { return wei_median3(in, o, bigWeights); }},
      {"colour input", kWrongColorType, [&](Volume*) { return conv3(colour, out, kernel); }},
      {"kernel type", kWrongDataType, [&](Volume* o) { return conv3(in, o, weights); }},
      {"kernel size", kInvalidOutputDimensions, [&](Volume*) { return conv3(in, small, kernel); }},
      {"even kernel", kInvalidWindowSize, [&](Volume* o) { return conv3(in, o, evenKernel); }},
  };
  for (const Bad& b : cases) {
    const auto before = snapshot(out);
    const auto smallBefore = snapshot(small);
    const auto colourBefore = snapshot(colour);
    EXPECT_EQ(b.run(out), b.code) << b.what;
    EXPECT_EQ(snapshot(out), before) << b.what;
    EXPECT_EQ(snapshot(small), smallBefore) << b.what;
    EXPECT_EQ(snapshot(colour), colourBefore) << b.what;
  }
  // Zero weights and a weight sum beyond a 32-bit integer.
  float zero = 0;
  ClearVolume(weights, &zero);
  const auto before = snapshot(out);
  EXPECT_EQ(wei_median3(in, out, weights), kInvalidWeightsVolume);
  EXPECT_EQ(snapshot(out), before);
}

TEST_F(FilterErrorsTest, AWeightSumBeyondAnIntIsRefused) {
  // 129 * 257 * 257 weights of 255 sum to more than 2^31 - 1.
  OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 129, 257, 257),
      out(V3D_UC, V3D_ONE_CHANNEL, 129, 257, 257);
  OwnedVolume weights(V3D_UC, V3D_ONE_CHANNEL, 129, 257, 257);
  float full = 255;
  ClearVolume(weights, &full);
  at<UC>(out, 0, 64, 128, 128) = 9;
  EXPECT_EQ(wei_median3(in, out, weights), kWeightSumTooLarge);
  EXPECT_EQ(at<UC>(out, 0, 64, 128, 128), 9);
}

TEST_F(FilterErrorsTest, AllocationFailuresReturnTheirCodesAndReleaseEverything) {
  OwnedVolume in(V3D_UC, V3D_THREE_CHANNELS, 5, 6, 7), out(V3D_UC, V3D_THREE_CHANNELS, 5, 6, 7);
  OwnedVolume weights(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 3), kernel(V3D_F, V3D_ONE_CHANNEL, 3, 3, 3);
  OwnedVolume grey(V3D_UC, V3D_ONE_CHANNEL, 5, 6, 7), greyOut(V3D_UC, V3D_ONE_CHANNEL, 5, 6, 7);
  fillRandom(in, 1);
  fillRandom(out, 2);
  fillRandom(weights, 3);
  fillRandom(kernel, 4);
  fillRandom(greyOut, 5);
  std::vector<float> coef(27, 0.1f);
  struct Run {
    const char* what;
    std::function<int()> run;
    Volume* target;
    int firstCode;
  };
  const std::vector<Run> runs = {
      {"median3", [&] { return median3(in, out, 3, 3, 3); }, out, kCannotAllocateBuffer},
      {"run_median3", [&] { return run_median3(in, in, 3, 3, 3); }, in, kCannotAllocateBuffer},
      {"wei_median3", [&] { return wei_median3(in, out, weights); }, out, kCannotAllocateBuffer},
      {"multistage", [&] { return multistage_median3(in, out, 3); }, out, kCannotAllocateBuffer},
      {"run_max3", [&] { return run_max3(in, out, 3, 3, 3); }, out, kCannotAllocateVolume},
      {"run_min3", [&] { return run_min3(in, out, 3, 3, 3); }, out, kCannotAllocateVolume},
      {"l_filter3", [&] { return l_filter3(in, out, coef.data(), 3, 3, 3); }, out,
       kCannotAllocateBuffer},
      {"adaptive", [&] { return local_adapt_filt3(in, in, 5.0f, 3, 3, 3); }, in,
       kCannotAllocateBuffer},
      {"mov_ave3", [&] { return mov_ave3(in, out, 3, 3, 3); }, out, kCannotAllocateBuffer},
      {"conv3", [&] { return conv3(grey, greyOut, kernel); }, greyOut, kCannotAllocateBuffer},
  };
  for (const Run& r : runs) {
    const long live = liveStorageBlocks();
    const auto before = snapshot(r.target);
    // Fail the first, then each later allocation, until the call succeeds.
    for (long n = 0;; ++n) {
      failAllocationsAfter(n);
      const int code = r.run();
      failAllocationsAfter(-1);
      EXPECT_EQ(liveStorageBlocks(), live) << r.what << " after " << n;
      if (code == 0) break;
      if (n == 0) {
        EXPECT_EQ(code, r.firstCode) << r.what;
      }
      EXPECT_TRUE(code == kCannotAllocateBuffer || code == kCannotAllocateVolume)
          << r.what << " " << code;
      EXPECT_EQ(snapshot(r.target), before) << r.what << " after " << n;
      ASSERT_LT(n, 20) << r.what;
    }
  }
}

}  // namespace
}  // namespace v3d::test
