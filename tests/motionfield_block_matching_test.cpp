// Block matching against plain references written straight from each method's rules (grid,
// admissibility, candidate order, strict improvement), and the renderings against plain references
// of their own; every refusal must leave every volume as it was.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <utility>
#include <vector>

#include "fixtures.h"
#include "motionfield/block_matching.h"

namespace {

using namespace v3d;
using namespace v3d::test;
using namespace v3d::motion;
using ll = long long;

struct Params {
  ll W, H, sX, sY, stepX, stepY, D;
  int method;
};

UC sample(Volume* v, ll z, ll y, ll x) {
  return at<UC>(v, 0, int(z), int(y), int(x));
}

// Plain estimate of pair k into (x, y) at [i][j]: methods 0-3 on their grid with blocks
// clipped to the frame, the full search on its own.
void referencePair(Volume* in, ll k, const Params& p, std::function<void(ll, ll, ll, ll)> put) {
  const ll y0 = in->voiY0, y1 = in->voiY1, x0 = in->voiX0, x1 = in->voiX1;
  const ll VH = y1 - y0, VW = x1 - x0, hH = p.H / 2, hW = p.W / 2, cH = hH + p.H % 2,
           cW = hW + p.W % 2;
  const ll rows = (VH + p.stepY - 1) / p.stepY, cols = (VW + p.stepX - 1) / p.stepX;
  if (p.method == kFullSearch) {
    ll i = 0;
    for (ll y = y0; y < y1; y += p.stepY, ++i) {
      ll j = 0;
      for (ll x = x0; x < x1; x += p.stepX, ++j) {
        const ll a = std::min(y, hH), b = std::min(y1 - y, hH), l = std::min(x, hW),
                 r = std::min(x1 - x, hW);
        ll best = 100000000, by = y, bx = x;
        for (ll py = std::max(y - p.sY, a); py <= std::min(y1 - b, y + p.sY); ++py)
          for (ll px = std::max(x - p.sX, l); px <= std::min(x1 - r, x + p.sX); ++px) {
            ll sum = 0;
            for (ll dy = -a; dy < b; ++dy)
              for (ll dx = -l; dx < r; ++dx) {
                sum +=
                    std::abs(sample(in, k + p.D, y + dy, x + dx) - sample(in, k, py + dy, px + dx));
                if (sum >= best) goto abandoned;
              }
            if (sum < best) best = sum, by = py, bx = px;
          abandoned:;
          }
        put(i, j, x - bx, y - by);
      }
    }
    return;
  }
  const ll usedRows = p.stepY == 1 ? rows - p.H : rows, usedCols = p.stepX == 1 ? cols - p.W : cols;
  for (ll i = 0; i < usedRows; ++i)
    for (ll j = 0; j < usedCols; ++j) {
      const ll cy = i == usedRows - 1 ? y1 - cH : y0 + hH + i * p.stepY;
      const ll cx = j == usedCols - 1 ? x1 - cW : x0 + hW + j * p.stepX;
      auto cost = [&](ll py, ll px) {  // the block's samples inside the frame only
        double sum = 0, n = 0;
        for (ll a = std::max(-hH, -cy); a < std::min(p.H - hH, in->Y - cy); ++a)
          for (ll b = std::max(-hW, -cx); b < std::min(p.W - hW, in->X - cx); ++b, ++n)
            sum += std::abs(sample(in, k + p.D, cy + a, cx + b) - sample(in, k, py + a, px + b));
        return static_cast<float>(sum / n);
      };
      auto admissible = [&](ll py, ll px) {
        return std::abs(py - cy) <= p.sY && std::abs(px - cx) <= p.sX && cH <= py &&
               py <= VH - cH && cW <= px && px <= VW - cW;
      };
      ll py = cy, px = cx;
      auto pass = [&](std::vector<std::pair<ll, ll>> offsets) {
        const float centre = cost(py, px);
        float best = centre;
        ll by = py, bx = px;
        for (auto [dy, dx] : offsets) {
          const float c = admissible(py + dy, px + dx) ? cost(py + dy, px + dx) : centre + 1;
          if (c < best) best = c, by = py + dy, bx = px + dx;
        }
        const bool moved = by != py || bx != px;
        py = by, px = bx;
        return moved;
      };
      auto nine = [&](ll sY, ll sX) {
        pass({{sY, 0}, {-sY, 0}, {0, sX}, {0, -sX}, {sY, sX}, {-sY, sX}, {-sY, -sX}, {sY, -sX}});
      };
      if (p.method == kLogarithmicSearch) {
        ll sX = p.sX / 2, sY = p.sY / 2;
        do nine(sY, sX), sX /= 2, sY /= 2;
        while (sX != 0 && sY != 0);
      } else if (p.method == kThreeStepSearch) {
        for (ll s = 4; s != 0; s /= 2) nine(s, s);
      } else if (p.method == kConjugateDirectionSearch) {
        while (pass({{0, 1}, {0, -1}})) {
        }
        while (pass({{1, 0}, {-1, 0}})) {
        }
      } else {
        ll s = p.sX;
        do s /= 2, pass({{0, s}, {0, -s}}), pass({{s, 0}, {-s, 0}});
        while (s > 1);
      }
      put(i, j, cx - px, cy - py);
    }
}

// A smooth texture, broad Gaussian blobs over a gentle gradient, moved by (dx, dy) pixels per
// frame; the blobs cover every position the frames show.
void fillSmooth(Volume* v, ll dx, ll dy, unsigned seed) {
  std::mt19937 rng(seed);
  const ll shiftX = dx * (v->Z - 1), shiftY = dy * (v->Z - 1);
  const ll xLo = std::min(0LL, -shiftX) - 20, xHi = v->X + std::max(0LL, -shiftX) + 20;
  const ll yLo = std::min(0LL, -shiftY) - 20, yHi = v->Y + std::max(0LL, -shiftY) + 20;
  struct Blob {
    double y, x, s, a;
  };
  std::vector<Blob> blobs((yHi - yLo) * (xHi - xLo) / 600);
  for (Blob& b : blobs)
    b = {double(yLo + ll(rng() % (yHi - yLo))), double(xLo + ll(rng() % (xHi - xLo))),
         6.0 + rng() % 12, double(rng() % 120) - 50};
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) {
        const double gy = double(y - dy * z), gx = double(x - dx * z);
        double g = 110 + 0.1 * gx + 0.0731 * gy;
        for (const Blob& b : blobs)
          g += b.a *
               std::exp(-((gy - b.y) * (gy - b.y) + (gx - b.x) * (gx - b.x)) / (2 * b.s * b.s));
        at<UC>(v, 0, z, y, x) = static_cast<UC>(std::clamp(g, 0.0, 255.0));
      }
}

constexpr std::int32_t kUntouched = 0x5A5A5A5A;

struct Case {
  const char* what;
  int Z, Y, X, voi[6];  // z0 z1 y0 y1 x0 x1
  ll W, H, overlapX, overlapY, sX, sY, D;
  int shiftX, shiftY;  // moving smooth content; 0, 0 for random samples
};

TEST(BlockMatching, EveryMethodMatchesThePlainReference) {
  const Case cases[] = {
      {"random, 8x8, whole volume", 5, 40, 48, {0, 5, 0, 40, 0, 48}, 8, 8, 0, 0, 4, 4, 1, 0, 0},
      {"odd blocks, small VOI, D 2", 7, 48, 52, {1, 6, 5, 41, 3, 50}, 9, 7, 3, 2, 5, 5, 2, 2, -1},
      {"overlap past the frame", 4, 40, 44, {0, 4, 5, 40, 7, 44}, 8, 8, 5, 5, 6, 6, 1, -2, 1},
      {"block as large as the VOI", 3, 30, 30, {0, 3, 5, 25, 3, 27}, 24, 20, 0, 0, 3, 3, 1, 1, 1},
      {"block larger than y1 and x1", 3, 30, 30, {0, 3, 0, 12, 0, 10}, 40, 40, 0, 0, 3, 3, 1, 0, 0},
      {"1x1 blocks, step 1", 3, 12, 14, {0, 3, 2, 12, 1, 13}, 1, 1, 0, 0, 2, 2, 1, 0, 0},
      {"step 1, last H rows stay 0", 3, 24, 26, {0, 3, 0, 24, 0, 26}, 5, 4, 4, 3, 2, 2, 1, 1, 0},
      {"D 3, unequal ranges", 6, 36, 36, {0, 6, 0, 36, 0, 36}, 6, 6, 1, 0, 7, 2, 3, 1, 1},
      {"ranges 0 and 1", 3, 32, 32, {0, 3, 0, 32, 0, 32}, 8, 8, 0, 0, 1, 1, 1, 2, 1},
      {"range 0 on one axis", 3, 32, 32, {0, 3, 0, 32, 0, 32}, 8, 6, 0, 0, 0, 6, 1, 0, 0},
      {"negative range", 3, 32, 32, {0, 3, 0, 32, 0, 32}, 8, 8, 0, 0, -3, -3, 1, 1, 1},
      {"huge blocks", 3, 20, 20, {0, 3, 0, 20, 0, 20}, 1 << 20, 1 << 20, 0, 0, 2, 2, 1, 0, 0},
      {"largest ranges", 3, 28, 28, {0, 3, 2, 26, 0, 28}, 7, 7, 2, 2, INT_MAX, INT_MAX, 1, 3, 2},
  };
  for (const Case& c : cases) {
    OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, c.Z, c.Y, c.X);
    if (c.shiftX == 0 && c.shiftY == 0)
      fillRandom(in, c.Z * 131 + c.Y);
    else
      fillSmooth(in, c.shiftX, c.shiftY, c.Y);
    fill_in_VOI(in, c.voi[0], c.voi[1], c.voi[2], c.voi[3], c.voi[4], c.voi[5]);
    const int stepX = int(c.W - c.overlapX), stepY = int(c.H - c.overlapY);
    int frames, rows, cols;
    ASSERT_EQ(ComputeMotionFieldSize(in, int(c.W), int(c.H), stepX, stepY, int(c.D), &frames, &rows,
                                     &cols),
              kSuccess)
        << c.what;
    EXPECT_EQ(frames, c.Z - c.D);
    // One spare row and column on each vector volume must stay untouched.
    OwnedVolume vx(V3D_I, V3D_ONE_CHANNEL, frames, rows + 1, cols + 1);
    OwnedVolume vy(V3D_I, V3D_ONE_CHANNEL, frames, rows + 1, cols + 1);
    for (int method = kLogarithmicSearch; method <= kFullSearch; ++method) {
      SCOPED_TRACE(std::string(c.what) + ", method " + std::to_string(method));
      for (Volume* v : {vx.get(), vy.get()})
        for (int k = 0; k < frames; ++k)
          for (int i = 0; i <= rows; ++i)
            for (int j = 0; j <= cols; ++j) at<I32>(v, 0, k, i, j) = kUntouched;
      const auto before = snapshot(vx), beforeY = snapshot(vy);
      const int code = EstimateMotionVectors(in, vx, vy, int(c.W), int(c.H), int(c.sX), int(c.sY),
                                             stepX, stepY, int(c.D), method);
      if (method == kOrthogonalSearch && c.sX != c.sY) {
        EXPECT_EQ(code, kInvalidParameters);
        EXPECT_TRUE(snapshot(vx) == before && snapshot(vy) == beforeY);
        continue;
      }
      ASSERT_EQ(code, kSuccess);
      std::vector<std::int32_t> ex(size_t(frames) * (rows + 1) * (cols + 1), kUntouched);
      const auto index = [&](ll k, ll i, ll j) {
        return size_t((k * (rows + 1) + i) * (cols + 1) + j);
      };
      const ll pairs = c.voi[1] - c.voi[0] - c.D;
      for (ll k = 0; k < pairs; ++k)
        for (ll i = 0; i < rows; ++i)
          for (ll j = 0; j < cols; ++j) ex[index(k, i, j)] = 0;
      std::vector<std::int32_t> ey = ex;
      for (ll k = 0; k < pairs; ++k)
        referencePair(in, k, {c.W, c.H, c.sX, c.sY, stepX, stepY, c.D, method},
                      [&](ll i, ll j, ll X, ll Y) {
                        ex[index(k, i, j)] = std::int32_t(X);
                        ey[index(k, i, j)] = std::int32_t(Y);
                      });
      int mismatches = 0;
      for (int k = 0; k < frames; ++k)
        for (int i = 0; i <= rows; ++i)
          for (int j = 0; j <= cols; ++j) {
            const size_t e = index(k, i, j);
            if ((at<I32>(vx, 0, k, i, j) != ex[e] || at<I32>(vy, 0, k, i, j) != ey[e]) &&
                ++mismatches <= 3)
              ADD_FAILURE() << "[" << k << "][" << i << "][" << j << "] is ("
                            << at<I32>(vx, 0, k, i, j) << ", " << at<I32>(vy, 0, k, i, j)
                            << "), expected (" << ex[e] << ", " << ey[e] << ")";
          }
      if (c.overlapY == c.H - 1 && method != kFullSearch) {  // stepY 1: last H block rows stay 0
        for (int i = rows - int(c.H); i < rows; ++i) EXPECT_EQ(at<I32>(vx, 0, 0, i, 0), 0);
      }
    }
  }
}

TEST(BlockMatching, FullSearchRecoversASmoothShiftOnEveryInteriorBlock) {
  OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 4, 128, 128);
  fillSmooth(in, 3, -2, 5);
  OwnedVolume vx(V3D_I, V3D_ONE_CHANNEL, 3, 8, 8), vy(V3D_I, V3D_ONE_CHANNEL, 3, 8, 8);
  ASSERT_EQ(EstimateMotionVectors(in, vx, vy, 16, 16, 8, 8, 16, 16, 1, kFullSearch), kSuccess);
  int interior = 0;
  for (int k = 0; k < 3; ++k)
    for (int i = 1; i < 8; ++i)  // blocks at 16 i whose block and search window fit
      for (int j = 1; j < 8; ++j, ++interior)
        ASSERT_EQ(std::make_pair(at<I32>(vx, 0, k, i, j), at<I32>(vy, 0, k, i, j)),
                  std::make_pair(3, -2))
            << "pair " << k << " block " << i << ", " << j;
  EXPECT_EQ(interior, 3 * 49);
}

TEST(BlockMatching, HugeSizesAreComputedWithoutWrapping) {
  // A record that is never read: only its size enters the computation.
  unsigned char storage = 0;
  Volume huge{};
  InitializeVolume(&huge, 3, INT_MAX, INT_MAX, V3D_UC, V3D_ONE_CHANNEL);
  fill_in_VOI(&huge, 0, 3, 0, INT_MAX, 0, INT_MAX);
  huge.channel[0] = &storage;
  int frames = 0, rows = 0, cols = 0;
  ASSERT_EQ(
      ComputeMotionFieldSize(&huge, INT_MAX, INT_MAX, INT_MAX, INT_MAX, 1, &frames, &rows, &cols),
      kSuccess);
  EXPECT_EQ(std::vector<int>({frames, rows, cols}), std::vector<int>({2, 1, 1}));
  ASSERT_EQ(ComputeMotionFieldSize(&huge, 1, 1, 1, 1, 2, &frames, &rows, &cols), kSuccess);
  EXPECT_EQ(std::vector<int>({frames, rows, cols}), std::vector<int>({1, INT_MAX, INT_MAX}));
}

TEST(BlockMatching, EveryRefusalComesFirstAndWritesNothing) {
  auto make = [](int type, int color, int Z, int Y, int X) {
    auto v = std::make_unique<OwnedVolume>(type, color, Z, Y, X);
    fillRandom(*v, unsigned(Z * 7 + Y * 3 + X + type));
    return v;
  };
  const int I = V3D_I, U = V3D_UC, one = V3D_ONE_CHANNEL;
  auto in = make(U, one, 6, 32, 32), rgb = make(U, V3D_THREE_CHANNELS, 6, 32, 32),
       floats = make(V3D_F, one, 6, 32, 32), vx = make(I, one, 5, 4, 4), vy = make(I, one, 5, 4, 4),
       fewRows = make(I, one, 5, 3, 4), moreRows = make(I, one, 5, 5, 4),
       fewCols = make(I, one, 5, 4, 3), fewFrames = make(I, one, 4, 4, 4),
       ucVectors = make(U, one, 5, 4, 4), threeFrames = make(I, one, 3, 4, 4),
       threeFramesToo = make(I, one, 3, 4, 4), otherVoi = make(I, one, 5, 4, 4),
       field = make(U, one, 4, 32, 32), wrongField = make(U, one, 4, 31, 32),
       display = make(U, one, 5, 12, 12), otherZ = make(U, one, 5, 12, 12);
  fill_in_VOI(*in, 1, 6, 0, 32, 0, 32);  // z1 = 6, five frames deep
  fill_in_VOI(*otherVoi, 0, 5, 0, 3, 0, 4);
  fill_in_VOI(*moreRows, 0, 5, 0, 4, 0, 4);  // the VOI of vx on a larger volume
  fill_in_VOI(*otherZ, 1, 5, 0, 12, 0, 12);
  int a, b, c;
  auto est = [&](Volume* X, Volume* Y, int W, int stX, int stY, int D, int m, int sY = 4,
                 Volume* input = nullptr) {
    return EstimateMotionVectors(input ? input : in->get(), X, Y, W, 8, 4, sY, stX, stY, D, m);
  };
  auto draw = [&](Volume* X, Volume* Y, Volume* f, int D, int last) {
    return DrawMotionField(X, Y, f, *in, 8, 8, 8, 8, D, last, 255, 0);
  };
  const std::vector<std::pair<std::function<int()>, int>> refusals = {
      {[&] { return est(*vx, *vy, 8, 0, 8, 1, 0); }, kInvalidParameters},
      {[&] { return est(*vx, *vy, 8, 8, -1, 1, 0); }, kInvalidParameters},
      {[&] { return est(*vx, *vy, 7, 8, 8, 1, 0); }, kInvalidParameters},
      {[&] { return est(*vx, *vy, 8, 8, 9, 1, 0); }, kInvalidParameters},
      {[&] { return est(*vx, *vy, 8, 8, 8, 0, 0); }, kInvalidParameters},
      {[&] { return est(*vx, *vy, 8, 8, 8, 6, 4); }, kInvalidParameters},
      {[&] { return est(*vx, *vy, 8, 8, 8, 1, kOrthogonalSearch, 5); }, kInvalidParameters},
      {[&] { return est(*vx, *vy, 8, 8, 8, 1, 5); }, kInvalidParameters},
      {[&] { return est(*fewRows, *vy, 8, 8, 8, 1, 4); }, kInvalidOutputDimensions},
      {[&] { return est(*vx, *fewCols, 8, 8, 8, 1, 0); }, kInvalidOutputDimensions},
      {[&] { return est(*fewFrames, *vy, 8, 8, 8, 1, 1); }, kInvalidOutputDimensions},
      {[&] { return est(*ucVectors, *vy, 8, 8, 8, 1, 0); }, kWrongDataType},
      {[&] { return est(*vx, *vy, 8, 8, 8, 1, 0, 4, *rgb); }, kWrongColorType},
      {[&] { return est(*vx, *vy, 8, 8, 8, 1, 0, 4, *floats); }, kWrongDataType},
      {[&] { return est(*vx, nullptr, 8, 8, 8, 1, 0); }, kNullVolume},
      {[&] { return ComputeMotionFieldSize(*in, 8, 8, 0, 8, 1, &a, &b, &c); }, kInvalidParameters},
      {[&] { return ComputeMotionFieldSize(*in, 8, 7, 8, 8, 1, &a, &b, &c); }, kInvalidParameters},
      {[&] { return ComputeMotionFieldSize(*in, 8, 8, 8, 8, 6, &a, &b, &c); }, kInvalidParameters},
      {[&] { return ComputeMotionFieldSize(*in, 8, 8, 8, 8, 0, &a, &b, &c); }, kInvalidParameters},
      {[&] { return ComputeMotionFieldSize(*in, 8, 8, 8, 8, 1, &a, nullptr, &c); },
       kNullBasicTypePointer},
      {[&] { return ComputeMotionFieldSize(nullptr, 8, 8, 8, 8, 1, &a, &b, &c); }, kNullVolume},
      {[&] { return draw(*vx, *otherVoi, *field, 1, 4); }, kInvalidParameters},
      {[&] { return draw(*vx, *vy, *field, 5, 5); }, kInvalidParameters},
      {[&] { return draw(*vx, *vy, *field, 1, 5); }, kInvalidParameters},
      {[&] { return draw(*vx, *vy, *field, 3, 2); }, kInvalidParameters},
      {[&] { return draw(*vx, *vy, *field, -1, 2); }, kInvalidParameters},
      {[&] { return draw(*vx, *vy, *wrongField, 1, 4); }, kInvalidOutputDimensions},
      {[&] { return draw(*vx, *moreRows, *field, 1, 4); }, kInvalidInputDimensions},
      {[&] { return draw(*threeFrames, *threeFramesToo, *field, 1, 4); }, kInvalidInputDimensions},
      {[&] { return draw(*vx, *vy, *vx, 1, 4); }, kWrongDataType},
      {[&] { return DisplayDisplacement(*vx, *otherZ); }, kInvalidParameters},
      {[&] { return DisplayDisplacement(*vx, *floats); }, kWrongDataType},
      {[&] { return DisplayAmplitude(*vx, *otherVoi, *display); }, kInvalidParameters},
      {[&] { return DisplayAmplitude(*vx, *vy, *otherZ); }, kInvalidParameters},
      {[&] { return DisplayAmplitude(*in, *vy, *display); }, kWrongDataType},
  };
  Volume* all[] = {*in,          *vx,       *vy,    *fewRows,    *fewCols, *fewFrames,
                   *threeFrames, *otherVoi, *field, *wrongField, *display, *otherZ};
  std::vector<std::vector<unsigned char>> before;
  for (Volume* v : all) before.push_back(snapshot(v));
  for (size_t r = 0; r < refusals.size(); ++r) {
    EXPECT_EQ(refusals[r].first(), refusals[r].second) << "refusal " << r;
    for (size_t v = 0; v < std::size(all); ++v)
      EXPECT_EQ(snapshot(all[v]), before[v]) << "refusal " << r << " wrote volume " << v;
  }
  // The same volumes are accepted once the parameters are right.
  EXPECT_EQ(est(*vx, *vy, 8, 8, 8, 1, 0), kSuccess);
  EXPECT_EQ(draw(*vx, *vy, *field, 1, 4), kSuccess);
}

// Plain renderings: the field drawing with its dots and segments (every pixel outside the
// frame skipped), the two grey displays with their running maxima.
std::vector<UC> referenceField(Volume* vx, Volume* vy, Volume* in, ll W, ll H, ll stepX, ll stepY,
                               ll f, ll g, int colour, bool subsampled) {
  const ll VH = in->voiY1 - in->voiY0, VW = in->voiX1 - in->voiX0;
  ll u = 1, v = 1;
  for (ll n = vx->X; subsampled && n > VW / 16; n /= 2) v *= 2;
  for (ll n = vx->Y; subsampled && n > VH / 16; n /= 2) u *= 2;
  std::vector<UC> out((g - f + 1) * VH * VW);
  for (ll n = 0; n <= g - f; ++n) {
    auto put = [&](ll r, ll c) {
      if (r >= 0 && r < VH && c >= 0 && c < VW) out[(n * VH + r) * VW + c] = UC(colour);
    };
    for (ll r = 0; r < VH; ++r)
      for (ll c = 0; c < VW; ++c)
        out[(n * VH + r) * VW + c] = sample(in, f + n, in->voiY0 + r, in->voiX0 + c);
    ll s = 0;
    for (ll i = 0; i < vx->Y; i += u)
      for (ll j = 0; j < vx->X; j += v)
        s = std::max(
            {s, std::abs(ll(at<I32>(vx, 0, n, i, j))), std::abs(ll(at<I32>(vy, 0, n, i, j)))});
    for (ll i = 0; i < vx->Y; i += u)
      for (ll j = 0; j < vx->X; j += v) {
        const ll R = H / 2 + i * stepY, C = W / 2 + j * stepX, X = at<I32>(vx, 0, n, i, j),
                 Y = at<I32>(vy, 0, n, i, j), sx = (X > 0) - (X < 0), sy = (Y > 0) - (Y < 0);
        for (ll r = R - 1; r <= R + 1; ++r)
          for (ll c = C - 1; c <= C + 1; ++c) put(r, c);
        const ll nx = s ? ll(std::trunc(double(std::abs(X)) * stepX * v / s + 0.5)) : 0;
        const ll ny = s ? ll(std::trunc(double(std::abs(Y)) * stepY * u / s + 0.5)) : 0;
        if (nx >= ny && nx > 0)
          for (ll t = 0; t < nx; ++t)
            put(ll(std::trunc(R + t * (double(ny) / nx) * sy + 0.5)), C + t * sx);
        else if (ny > nx)
          for (ll t = 0; t < ny; ++t)
            put(R + t * sy, ll(std::trunc(C + t * (double(nx) / ny) * sx + 0.5)));
      }
  }
  return out;
}

// Display blocks for grey(z, y, x, M) under the running maximum of level(z, y, x).
std::vector<UC> referenceDisplay(Volume* vec, Volume* display,
                                 std::function<double(ll, ll, ll)> level,
                                 std::function<UC(ll, ll, ll, double)> grey) {
  std::vector<UC> out(size_t(display->Z) * display->Y * display->X);
  for (ll z = 0; z < display->Z; ++z)
    for (ll y = 0; y < display->Y; ++y)
      for (ll x = 0; x < display->X; ++x) {
        const bool inVoi = z >= display->voiZ0 && z < display->voiZ1 && y >= display->voiY0 &&
                           y < display->voiY1 && x >= display->voiX0 && x < display->voiX1;
        out[(z * display->Y + y) * display->X + x] = inVoi ? 0 : sample(display, z, y, x);
      }
  const ll vh = vec->voiY1 - vec->voiY0, vw = vec->voiX1 - vec->voiX0;
  const ll fy = (display->voiY1 - display->voiY0 + vh - 1) / vh;
  const ll fx = (display->voiX1 - display->voiX0 + vw - 1) / vw;
  double M = -200;
  for (ll z = vec->voiZ0; z < vec->voiZ1; ++z) {
    for (ll y = vec->voiY0; y < vec->voiY1; ++y)
      for (ll x = vec->voiX0; x < vec->voiX1; ++x) M = std::max(M, level(z, y, x));
    for (ll y = vec->voiY0; y < vec->voiY1; ++y)
      for (ll x = vec->voiX0; x < vec->voiX1; ++x)
        for (ll a = 0; a < fy; ++a)
          for (ll b = 0; b < fx; ++b)
            out[(z * display->Y + std::min(fy * y + a, ll(display->voiY1) - 1)) * display->X +
                std::min(fx * x + b, ll(display->voiX1) - 1)] = grey(z, y, x, M);
  }
  return out;
}

std::vector<UC> samples(Volume* v) {
  std::vector<UC> out;
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) out.push_back(sample(v, z, y, x));
  return out;
}

TEST(BlockMatching, RenderingsMatchThePlainReference) {
  OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 7, 70, 90);
  fillRandom(in, 3);
  fill_in_VOI(in, 0, 7, 3, 67, 5, 85);  // 64 x 80
  const struct {
    ll W, H, stepX, stepY, D, last;
  } grids[] = {{8, 8, 5, 5, 1, 5}, {1, 1, 3, 2, 2, 6}, {12, 9, 12, 9, 0, 0}};
  for (const auto& p : grids)
    for (int subsampled = 0; subsampled <= 1; ++subsampled) {
      SCOPED_TRACE("grid " + std::to_string(p.stepX) + ", subsampled " +
                   std::to_string(subsampled));
      const int rows = int((64 + p.stepY - 1) / p.stepY), cols = int((80 + p.stepX - 1) / p.stepX);
      const int frames = int(p.last - p.D + 1);
      OwnedVolume vx(V3D_I, V3D_ONE_CHANNEL, frames, rows, cols),
          vy(V3D_I, V3D_ONE_CHANNEL, frames, rows, cols);
      OwnedVolume field(V3D_UC, V3D_ONE_CHANNEL, frames, 64, 80);
      std::mt19937 rng(unsigned(p.stepX));
      for (int k = 1; k < frames; ++k)  // frame 0 stays zero: dots only
        for (int i = 0; i < rows; ++i)
          for (int j = 0; j < cols; ++j)
            at<I32>(vx, 0, k, i, j) = int(rng() % 13) - 6,
                                 at<I32>(vy, 0, k, i, j) = int(rng() % 13) - 6;
      ASSERT_EQ(DrawMotionField(vx, vy, field, in, int(p.W), int(p.H), int(p.stepX), int(p.stepY),
                                int(p.D), int(p.last), 200, subsampled),
                kSuccess);
      EXPECT_EQ(samples(field), referenceField(vx, vy, in, p.W, p.H, p.stepX, p.stepY, p.D, p.last,
                                               200, subsampled));
    }

  // Vectors with a VOI inside, the first VOI frame all zero, later frames larger; a display
  // whose VOI is not a multiple of the vectors' so that blocks are clamped.
  OwnedVolume vx(V3D_I, V3D_ONE_CHANNEL, 6, 9, 11), vy(V3D_I, V3D_ONE_CHANNEL, 6, 9, 11);
  OwnedVolume display(V3D_UC, V3D_ONE_CHANNEL, 7, 30, 35);
  fillRandom(vx, 1), fillRandom(vy, 2), fillRandom(display, 4);
  for (Volume* v : {vx.get(), vy.get()}) {
    fill_in_VOI(v, 1, 5, 1, 8, 2, 10);
    for (int z = 1; z < 5; ++z)
      for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 11; ++x)
          at<I32>(v, 0, z, y, x) = z == 1 ? 0 : at<I32>(v, 0, z, y, x) % (3 * z);
  }
  fill_in_VOI(display, 1, 5, 2, 24, 0, 33);
  const auto displayBefore = snapshot(display);
  const auto expected = referenceDisplay(
      vx, display, [&](ll z, ll y, ll x) { return std::abs(double(at<I32>(vx, 0, z, y, x))); },
      [&](ll z, ll y, ll x, double M) {
        return M == 0 ? UC(128) : UC(std::trunc(at<I32>(vx, 0, z, y, x) / M * 127 + 128));
      });
  ASSERT_EQ(DisplayDisplacement(vx, display), kSuccess);
  EXPECT_EQ(samples(display), expected);

  auto length = [&](ll z, ll y, ll x) {
    return std::hypot(double(at<I32>(vx, 0, z, y, x)), double(at<I32>(vy, 0, z, y, x)));
  };
  const auto expectedAmplitude =
      referenceDisplay(vx, display, length, [&](ll z, ll y, ll x, double M) {
        return M == 0 ? UC(0) : UC(std::trunc(length(z, y, x) / M * 255));
      });
  ASSERT_EQ(DisplayAmplitude(vx, vy, display), kSuccess);
  EXPECT_EQ(samples(display), expectedAmplitude);
  EXPECT_NE(snapshot(display), displayBefore);
}

}  // namespace
