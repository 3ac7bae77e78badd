// Resampling and frame interpolation against plain references that evaluate each stated
// formula voxel by voxel, on random volumes of one or three channels with VOIs inside them,
// destination offsets and outputs that hold old contents (which must survive outside the
// result). Then the edge cases, the failure codes with the output untouched, and properties.
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "algorithms/resampling.h"
#include "core/alloc.h"
#include "core/basic_ops.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

// ---- Helpers ---------------------------------------------------------------------------

std::vector<unsigned char> samples(const Volume* v) {
  auto bytes = snapshot(v);
  return std::vector<unsigned char>(bytes.begin() + sizeof(Volume), bytes.end());
}

void setVoi(Volume* v, const Box& b) {
  fill_in_VOI(v, b.z0, b.z1, b.y0, b.y1, b.x0, b.x1);
}

// A random VOI inside Z x Y x X, sometimes the whole volume.
Box randomVoi(std::mt19937& rng, int Z, int Y, int X) {
  auto axis = [&](int n, int& lo, int& hi) {
    lo = static_cast<int>(rng() % static_cast<unsigned>(n));
    hi = lo + 1 + static_cast<int>(rng() % static_cast<unsigned>(n - lo));
    if (rng() % 4 == 0) lo = 0, hi = n;
  };
  Box b{};
  axis(Z, b.z0, b.z1);
  axis(Y, b.y0, b.y1);
  axis(X, b.x0, b.x1);
  return b;
}

// The output and its expected contents start equal (same random samples); the reference
// writes the result into `expected`, the function under test into `out`.
struct OutputPair {
  VolumePtr out, expected;
  OutputPair(int channels, int Z, int Y, int X, unsigned seed)
      : out(make_volume(Z, Y, X, V3D_UC, channels == 3 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL)),
        expected(
            make_volume(Z, Y, X, V3D_UC, channels == 3 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL)) {
    fillRandom(*out, seed);
    fillRandom(*expected, seed);
  }
};

void expectSameSamples(Volume* out, Volume* expected, const std::string& what) {
  int bad = 0;
  for (int c = 0; c < channelCount(*out); ++c)
    for (int z = 0; z < out->Z; ++z)
      for (int y = 0; y < out->Y; ++y)
        for (int x = 0; x < out->X; ++x) {
          const int got = at<UC>(out, c, z, y, x), want = at<UC>(expected, c, z, y, x);
          if (got != want && bad++ < 3)
            ADD_FAILURE() << what << ": (c " << c << ", z " << z << ", y " << y << ", x " << x
                          << ") is " << got << ", expected " << want;
        }
  EXPECT_EQ(bad, 0) << what;
}

// ---- References, straight from the formulas ------------------------------------------

void refZoom(Volume* in, Volume* e, int k, int dz, int dy, int dx) {
  const Box b = voiOf(*in);
  for (int c = 0; c < channelCount(*in); ++c)
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y)
        for (int x = b.x0; x < b.x1; ++x)
          for (int i = 0; i < k; ++i)
            for (int j = 0; j < k; ++j)
              for (int l = 0; l < k; ++l)
                at<UC>(e, c, dz + k * (z - b.z0) + i, dy + k * (y - b.y0) + j,
                       dx + k * (x - b.x0) + l) = at<UC>(in, c, z, y, x);
}

void refDecim(Volume* in, Volume* e, int k, int dz, int dy, int dx) {
  const Box b = voiOf(*in);
  for (int c = 0; c < channelCount(*in); ++c)
    for (int i = 0; b.z0 + k * i < b.z1; ++i)
      for (int j = 0; b.y0 + k * j < b.y1; ++j)
        for (int l = 0; b.x0 + k * l < b.x1; ++l)
          at<UC>(e, c, dz + i, dy + j, dx + l) =
              at<UC>(in, c, b.z0 + k * i, b.y0 + k * j, b.x0 + k * l);
}

// The target extents of the two 3-D interpolations (whole output, or trunc(N * f)).
struct Target {
  int T[3], d[3];
};
Target targetOf(Volume* in, Volume* out, int whole, const float f[3], const int d[3]) {
  const Box b = voiOf(*in);
  const int n[3] = {b.depth(), b.height(), b.width()};
  const int whole3[3] = {out->Z, out->Y, out->X};
  Target t{};
  for (int a = 0; a < 3; ++a) {
    t.T[a] = whole ? whole3[a] : static_cast<int>(static_cast<float>(n[a]) * f[a]);
    t.d[a] = whole ? 0 : d[a];
  }
  return t;
}

// trunc(origin + 0.5 + t * step), step = (N - 1) / (T - 1); 1 / FLT_MAX when N < 2, and 0
// for a single target sample (whose position is then the origin).
int nearest(int origin, int n, int t, int T) {
  const float step = n < 2   ? 1.0f / 3.4028235e38f
                     : T < 2 ? 0.0f
                             : static_cast<float>(n - 1) / static_cast<float>(T - 1);
  return static_cast<int>(static_cast<float>(origin) + 0.5f + static_cast<float>(t) * step);
}

void refNearest(Volume* in, Volume* e, const Target& t) {
  const Box b = voiOf(*in);
  for (int c = 0; c < channelCount(*in); ++c)
    for (int z = 0; z < t.T[0]; ++z)
      for (int y = 0; y < t.T[1]; ++y)
        for (int x = 0; x < t.T[2]; ++x)
          at<UC>(e, c, t.d[0] + z, t.d[1] + y, t.d[2] + x) =
              at<UC>(in, c, nearest(b.z0, b.depth(), z, t.T[0]),
                     nearest(b.y0, b.height(), y, t.T[1]), nearest(b.x0, b.width(), x, t.T[2]));
}

// s = origin + t * (N - 1.1) / (T - 1), i = trunc(s), u = s - i.
struct Pos {
  int i;
  float u;
};
Pos linear(int origin, int n, int t, int T, bool addOrigin = true) {
  const float step = T < 2 ? 0.0f : (static_cast<float>(n) - 1.1f) / static_cast<float>(T - 1);
  const float s = (addOrigin ? static_cast<float>(origin) : 0.0f) + static_cast<float>(t) * step;
  const int i = static_cast<int>(s);
  return {addOrigin ? i : origin + i, s - static_cast<float>(i)};
}

void refLinear(Volume* in, Volume* e, const Target& t) {
  const Box b = voiOf(*in);
  for (int c = 0; c < channelCount(*in); ++c)
    for (int z = 0; z < t.T[0]; ++z)
      for (int y = 0; y < t.T[1]; ++y)
        for (int x = 0; x < t.T[2]; ++x) {
          const Pos pz = linear(b.z0, b.depth(), z, t.T[0]);
          const Pos py = linear(b.y0, b.height(), y, t.T[1]);
          const Pos px = linear(b.x0, b.width(), x, t.T[2]);
          auto s = [&](int dz, int dy, int dx) {
            return static_cast<float>(at<UC>(in, c, pz.i + dz, py.i + dy, px.i + dx));
          };
          const float wz = 1.0f - pz.u, wy = 1.0f - py.u, wx = 1.0f - px.u;
          const float v = wz * (wy * (wx * s(0, 0, 0) + px.u * s(0, 0, 1)) +
                                py.u * (wx * s(0, 1, 0) + px.u * s(0, 1, 1))) +
                          pz.u * (wy * (wx * s(1, 0, 0) + px.u * s(1, 0, 1)) +
                                  py.u * (wx * s(1, 1, 0) + px.u * s(1, 1, 1)));
          at<UC>(e, c, t.d[0] + z, t.d[1] + y, t.d[2] + x) =
              static_cast<UC>(static_cast<int>(v + 0.5f));
        }
}

// Frame linear interpolation; returns the number of target frames.
int refFrameLinear(Volume* in, Volume* e, float f, int dz, int dy, int dx, int forcedFrames = 0) {
  const Box b = voiOf(*in);
  const int nz = b.depth();
  const bool whole = f == std::floor(f);
  const int k = static_cast<int>(f);
  const int T = whole          ? (nz - 1) * k + 1
                : forcedFrames ? forcedFrames
                               : static_cast<int>(f * static_cast<float>(nz));
  for (int c = 0; c < channelCount(*in); ++c)
    for (int t = 0; t < T; ++t)
      for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
          auto s = [&](int z) {
            return static_cast<float>(at<UC>(in, c, b.z0 + z, b.y0 + y, b.x0 + x));
          };
          UC& o = at<UC>(e, c, dz + t, dy + y, dx + x);
          if (whole) {
            const int p = t / k, j = t % k;
            if (j == 0) {
              o = static_cast<UC>(s(p));
              continue;
            }
            const float w = static_cast<float>(j) / static_cast<float>(k);
            o = static_cast<UC>(static_cast<int>((1.0f - w) * s(p) + w * s(p + 1) + 0.5f));
          } else {
            const Pos pz = linear(0, nz, t, T, false);
            const int i1 = std::min(pz.i + 1, nz - 1);
            o = static_cast<UC>(static_cast<int>((1.0f - pz.u) * s(pz.i) + pz.u * s(i1) + 0.5f));
          }
        }
  return T;
}

// The frame layout shared by the frame insertions: frame i of the VOI to dz + i * a.
void refCopyFrames(Volume* in, Volume* e, int a, int dz, int dy, int dx) {
  const Box b = voiOf(*in);
  for (int i = 0; i < b.depth(); ++i)
    for (int y = 0; y < b.height(); ++y)
      for (int x = 0; x < b.width(); ++x)
        at<UC>(e, 0, dz + i * a, dy + y, dx + x) = at<UC>(in, 0, b.z0 + i, b.y0 + y, b.x0 + x);
}

void refBinary(Volume* in, Volume* e, int a, int dz, int dy, int dx, int coherent) {
  const Box b = voiOf(*in);
  const int H = b.height(), W = b.width();
  auto px = [&](int i, int y, int x) -> int { return at<UC>(in, 0, b.z0 + i, b.y0 + y, b.x0 + x); };
  auto crossing = [&](int i, int y, int x) {
    const int ring[9][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1},  {1, 1},
                            {1, 0},   {1, -1}, {0, -1}, {-1, -1}};
    int n = 0;
    for (int k = 0; k < 8; ++k)
      if (px(i, y + ring[k][0], x + ring[k][1]) == 0 &&
          px(i, y + ring[k + 1][0], x + ring[k + 1][1]) == 255)
        ++n;
    return n;
  };
  refCopyFrames(in, e, a, dz, dy, dx);
  for (int i = 0; i + 1 < b.depth(); ++i)
    for (int f = 1; f < a; ++f) {
      std::vector<int> nf(static_cast<std::size_t>(H) * W);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const int p = px(i, y, x), q = px(i + 1, y, x);
          int v;
          if (y == 0 || x == 0 || y == H - 1 || x == W - 1) {
            v = p == 255 && q == 255 ? 255 : 0;
          } else if (p == q) {
            v = p;
          } else {
            const bool jp = crossing(i, y, x) >= 2, jq = crossing(i + 1, y, x) >= 2;
            if (jp && jq) {
              v = 0;
            } else if (jq) {
              v = q;
            } else if (jp) {
              v = p;
            } else {
              double sum = 0;
              for (int yy = y - 1; yy <= y + 1; ++yy)
                for (int xx = x - 1; xx <= x + 1; ++xx) {
                  const double P = px(i, yy, xx), Q = px(i + 1, yy, xx);
                  sum += a == 2 ? (P + Q) / 2 : f == 1 ? (2 * P + Q) / 3 : (P + 2 * Q) / 3;
                }
              v = sum / 9 > 140 ? 255 : 0;
            }
          }
          nf[static_cast<std::size_t>(y) * W + x] = v;
        }
      if (coherent) {
        std::vector<int> scratch = nf;
        auto at2 = [&](std::vector<int>& m, int y, int x) -> int& {
          return m[static_cast<std::size_t>(y) * W + x];
        };
        for (int y = 1; y + 1 < H; ++y)
          for (int x = 1; x + 1 < W; ++x) {
            if (at2(nf, y, x) != 255) continue;
            if (at2(nf, y, x - 1) == 0)
              at2(scratch, y, x) = at2(scratch, y, x + 1) = at2(scratch, y - 1, x) =
                  at2(scratch, y + 1, x) = 255;
            if (at2(nf, y, x + 1) == 0)
              at2(scratch, y, x) = at2(scratch, y, x - 1) = at2(scratch, y - 1, x) =
                  at2(scratch, y + 1, x) = 255;
            if (at2(nf, y - 1, x) == 0)
              at2(scratch, y, x) = at2(scratch, y + 1, x) = at2(scratch, y, x - 1) =
                  at2(scratch, y, x + 1) = 255;
            if (at2(nf, y + 1, x) == 0)
              at2(scratch, y, x) = at2(scratch, y - 1, x) = at2(scratch, y, x - 1) =
                  at2(scratch, y, x + 1) = 255;
          }
        nf = scratch;
      }
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          at<UC>(e, 0, dz + i * a + f, dy + y, dx + x) =
              static_cast<UC>(nf[static_cast<std::size_t>(y) * W + x]);
    }
}

// The mean of the weighted mix over the window cut to the frame; the mix is summed in
// integers and divided once, so that exact halves round up as the formula says.
void refGrayscale(Volume* in, Volume* e, int a, int dz, int dy, int dx) {
  const Box b = voiOf(*in);
  const int H = b.height(), W = b.width();
  auto px = [&](int i, int y, int x) -> int { return at<UC>(in, 0, b.z0 + i, b.y0 + y, b.x0 + x); };
  refCopyFrames(in, e, a, dz, dy, dx);
  for (int i = 0; i + 1 < b.depth(); ++i)
    for (int f = 1; f < a; ++f)
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          long sum = 0, n = 0;
          for (int yy = y - 1; yy <= y + 1; ++yy)
            for (int xx = x - 1; xx <= x + 1; ++xx) {
              if (yy < 0 || yy >= H || xx < 0 || xx >= W) continue;
              sum += (a - f) * px(i, yy, xx) + f * px(i + 1, yy, xx);
              ++n;
            }
          const double mean = static_cast<double>(sum) / static_cast<double>(a * n);
          at<UC>(e, 0, dz + i * a + f, dy + y, dx + x) =
              static_cast<UC>(static_cast<int>(mean + 0.5));
        }
}

void refPadding(Volume* in, Volume* e, int k, int dz, int dy, int dx) {
  const Box b = voiOf(*in);
  refCopyFrames(in, e, k, dz, dy, dx);
  for (int i = 0; i + 1 < b.depth(); ++i)
    for (int f = 1; f < k; ++f)
      for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) at<UC>(e, 0, dz + i * k + f, dy + y, dx + x) = 0;
}

// The fill with labels in one array, every growth repeated until nothing changes.
void refContourFill(Volume* in, Volume* e) {
  const Box b = voiOf(*in);
  const int H = b.height(), W = b.width();
  for (int z = b.z0; z < b.z1; ++z) {
    std::vector<int> lab(static_cast<std::size_t>(H) * W);
    auto L = [&](int y, int x) -> int& { return lab[static_cast<std::size_t>(y) * W + x]; };
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        L(y, x) = at<UC>(in, 0, z, b.y0 + y, b.x0 + x) == 255 ? 1 : 0;
        if (y < 2 || x < 2 || y >= H - 2 || x >= W - 2) L(y, x) = 2;
      }
    auto touches = [&](int y, int x, int label) {
      for (int yy = y - 1; yy <= y + 1; ++yy)
        for (int xx = x - 1; xx <= x + 1; ++xx)
          if ((yy != y || xx != x) && yy >= 0 && yy < H && xx >= 0 && xx < W && L(yy, xx) == label)
            return true;
      return false;
    };
    auto grow = [&](int from, int label) {
      for (bool changed = true; changed;) {
        changed = false;
        for (int y = 0; y < H; ++y)
          for (int x = 0; x < W; ++x)
            if (L(y, x) == from && touches(y, x, label)) L(y, x) = label, changed = true;
      }
    };
    for (int c = 2, o = 129;; ++c, ++o) {
      grow(0, c);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          if (L(y, x) == 1 && touches(y, x, c)) L(y, x) = o;
      grow(1, o);
      if (std::find(lab.begin(), lab.end(), o) == lab.end()) break;
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
          if (L(y, x) == 0 && touches(y, x, o)) L(y, x) = c + 1;
    }
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const int l = L(y, x);
        at<UC>(e, 0, z, b.y0 + y, b.x0 + x) = l > 128 || l == 1 || (l >= 2 && (l & 1)) ? 255 : 0;
      }
  }
}

// ---- Every function against its reference ---------------------------------------------

// One random input: channels, size, VOI; `binary` makes 0 / 255 samples in blobs.
struct RandomInput {
  VolumePtr v;
  RandomInput(std::mt19937& rng, int channels, int maxSide, bool binary = false) {
    const int Z = 1 + rng() % maxSide, Y = 1 + rng() % maxSide, X = 1 + rng() % (maxSide + 3);
    if (binary) {
      v = make_blobs(rng(), Z, Y, X, 3, 2);
    } else {
      v = make_volume(Z, Y, X, V3D_UC, channels == 3 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL);
      fillRandom(*v, rng());
    }
    setVoi(*v, randomVoi(rng, Z, Y, X));
  }
};

TEST(Resampling, ZoomAndDecimationMatchTheirReferences) {
  std::mt19937 rng(11);
  for (int round = 0; round < 120; ++round) {
    const int channels = round % 3 == 0 ? 3 : 1;
    RandomInput in(rng, channels, 6);
    const Box b = voiOf(**in.v);
    const int k = 1 + rng() % 3, d[3] = {int(rng() % 3), int(rng() % 3), int(rng() % 3)};
    OutputPair zoom(channels, d[0] + k * b.depth() + rng() % 2, d[1] + k * b.height() + rng() % 2,
                    d[2] + k * b.width() + rng() % 2, rng());
    ASSERT_EQ(zoom3d(*in.v, *zoom.out, k, d[0], d[1], d[2]), 0);
    refZoom(*in.v, *zoom.expected, k, d[0], d[1], d[2]);
    expectSameSamples(*zoom.out, *zoom.expected, "zoom3d k=" + std::to_string(k));

    const int up = [&](int n) { return (n + k - 1) / k; }(b.depth());
    OutputPair decim(channels, d[0] + up + rng() % 2, d[1] + (b.height() + k - 1) / k,
                     d[2] + (b.width() + k - 1) / k + rng() % 2, rng());
    ASSERT_EQ(decim3(*in.v, *decim.out, k, d[0], d[1], d[2]), 0);
    refDecim(*in.v, *decim.expected, k, d[0], d[1], d[2]);
    expectSameSamples(*decim.out, *decim.expected, "decim3 k=" + std::to_string(k));
  }
}

TEST(Resampling, NearestAndLinearInterpolationMatchTheirReferences) {
  const float factors[] = {0.3f, 0.5f, 0.7f, 1.0f, 1.1f, 1.5f, 2.0f, 2.3f, 3.0f};
  std::mt19937 rng(12);
  for (int round = 0; round < 300; ++round) {
    const int channels = round % 3 == 0 ? 3 : 1;
    RandomInput in(rng, channels, 7);
    const Box b = voiOf(**in.v);
    const bool linearFn = round % 2 == 1;
    if (linearFn && (b.depth() < 2 || b.height() < 2 || b.width() < 2)) continue;
    const int whole = rng() % 4 == 0;
    float f[3];
    int d[3];
    const int n[3] = {b.depth(), b.height(), b.width()};
    int size[3];
    bool empty = false;
    for (int a = 0; a < 3; ++a) {
      f[a] = factors[rng() % 9];
      d[a] = rng() % 3;
      const int T = static_cast<int>(static_cast<float>(n[a]) * f[a]);
      empty = empty || T == 0;
      size[a] = whole ? 1 + rng() % 12 : d[a] + T + rng() % 2;
    }
    if (empty && !whole) continue;
    OutputPair o(channels, size[0], size[1], size[2], rng());
    const Target t = targetOf(*in.v, *o.out, whole, f, d);
    if (linearFn) {
      ASSERT_EQ(InterpolationLinear3d(*in.v, *o.out, whole, f[0], f[1], f[2], d[0], d[1], d[2]), 0);
      refLinear(*in.v, *o.expected, t);
    } else {
      ASSERT_EQ(
          InterpolationNearestNeighbor3d(*in.v, *o.out, whole, f[0], f[1], f[2], d[0], d[1], d[2]),
          0);
      refNearest(*in.v, *o.expected, t);
    }
    expectSameSamples(*o.out, *o.expected,
                      std::string(linearFn ? "linear" : "nearest") + " factors " +
                          std::to_string(f[0]) + " " + std::to_string(f[1]) + " " +
                          std::to_string(f[2]) + (whole ? " (whole output)" : ""));
  }
}

TEST(Resampling, FrameLinearInterpolationMatchesItsReference) {
  const float factors[] = {0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f, 4.0f};
  std::mt19937 rng(13);
  for (int round = 0; round < 120; ++round) {
    const int channels = round % 3 == 0 ? 3 : 1;
    RandomInput in(rng, channels, 7);
    const Box b = voiOf(**in.v);
    if (b.depth() < 2) continue;
    const float f = factors[rng() % 7];
    const int d[3] = {int(rng() % 3), int(rng() % 3), int(rng() % 3)};
    const bool whole = f == std::floor(f);
    const int T = whole ? (b.depth() - 1) * static_cast<int>(f) + 1
                        : static_cast<int>(f * static_cast<float>(b.depth()));
    if (T == 0) continue;
    OutputPair o(channels, d[0] + T + rng() % 2, d[1] + b.height(), d[2] + b.width() + rng() % 2,
                 rng());
    ASSERT_EQ(InterpolationFrameLinear3d(*in.v, *o.out, 0, f, d[0], d[1], d[2]), 0);
    refFrameLinear(*in.v, *o.expected, f, d[0], d[1], d[2]);
    expectSameSamples(*o.out, *o.expected, "frame linear factor " + std::to_string(f));
  }
  // Taking the factor from the output: (E - 1) / (Nz - 1), the result filling the output's
  // frames from (0, 0, 0) whether that factor is whole or not.
  for (int frames : {4, 7, 9, 10}) {
    auto in = make_volume(4, 3, 5);
    fillRandom(*in, 5);
    OutputPair o(1, frames, 4, 6, 6);
    const float f = static_cast<float>(frames - 1) / 3.0f;
    ASSERT_EQ(InterpolationFrameLinear3d(*in, *o.out, 1, 99.0f, 2, 2, 2), 0);
    refFrameLinear(*in, *o.expected, f, 0, 0, 0, frames);
    expectSameSamples(*o.out, *o.expected,
                      "frame linear from " + std::to_string(frames) + " frames");
  }
}

TEST(Resampling, FrameInsertionsMatchTheirReferences) {
  std::mt19937 rng(14);
  for (int round = 0; round < 150; ++round) {
    const int kind = round % 3;  // binary, grey, padding
    RandomInput in(rng, 1, 9, kind == 0);
    const Box b = voiOf(**in.v);
    const int a = kind == 2 ? 2 + rng() % 3 : 2 + rng() % 2;
    const int coherent = rng() % 2;
    const int d[3] = {int(rng() % 3), int(rng() % 3), int(rng() % 3)};
    OutputPair o(1, d[0] + (b.depth() - 1) * a + 1 + rng() % 2, d[1] + b.height() + rng() % 2,
                 d[2] + b.width(), rng());
    if (kind == 0) {
      ASSERT_EQ(FrameInterpolationBinary(*in.v, *o.out, a, d[0], d[1], d[2], coherent), 0);
      refBinary(*in.v, *o.expected, a, d[0], d[1], d[2], coherent);
    } else if (kind == 1) {
      ASSERT_EQ(FrameInterpolationGrayscale(*in.v, *o.out, a, d[0], d[1], d[2]), 0);
      refGrayscale(*in.v, *o.expected, a, d[0], d[1], d[2]);
    } else {
      ASSERT_EQ(FrameZeroPadding(*in.v, *o.out, a, d[0], d[1], d[2]), 0);
      refPadding(*in.v, *o.expected, a, d[0], d[1], d[2]);
    }
    expectSameSamples(*o.out, *o.expected,
                      std::string(kind == 0   ? "binary"
                                  : kind == 1 ? "grey"
                                              : "padding") +
                          " step " + std::to_string(a) +
                          (coherent && kind == 0 ? " coherent" : ""));
  }
}

// Frames with rings drawn in them, so that the fill has nested contours to count.
TEST(Resampling, ContourFillMatchesItsReference) {
  std::mt19937 rng(15);
  for (int round = 0; round < 60; ++round) {
    const int Z = 1 + rng() % 3, Y = 3 + rng() % 20, X = 3 + rng() % 24;
    auto in = make_volume(Z, Y, X);
    fillRandom(*in, rng());  // noise of every value: only 255 counts as contour
    for (int z = 0; z < Z; ++z)
      for (int ring = 0; ring < 4; ++ring) {
        const int y0 = rng() % Y, y1 = y0 + rng() % (Y - y0), x0 = rng() % X,
                  x1 = x0 + rng() % (X - x0);
        for (int y = y0; y <= y1; ++y)
          for (int x = x0; x <= x1; ++x)
            if (y == y0 || y == y1 || x == x0 || x == x1) at<UC>(*in, 0, z, y, x) = 255;
      }
    setVoi(*in, randomVoi(rng, Z, Y, X));
    OutputPair o(1, Z + rng() % 2, Y, X + rng() % 2, rng());
    ASSERT_EQ(FrameContourObjectFill(*in, *o.out), 0);
    refContourFill(*in, *o.expected);
    expectSameSamples(*o.out, *o.expected, "contour fill round " + std::to_string(round));
  }
}

// ---- Edge cases ------------------------------------------------------------------------

// Identical neighbouring frames produce identical new frames (copies of them).
TEST(Resampling, IdenticalNeighbouringFramesGiveIdenticalNewFrames) {
  auto same = make_blobs(3, 1, 9, 11);
  auto stack = make_volume(3, 9, 11);
  for (int z = 0; z < 3; ++z) CopyVolume(*same, *stack, z, 0, 0);
  for (int coherent : {0, 1}) {
    auto bin = make_volume(7, 9, 11);
    ASSERT_EQ(FrameInterpolationBinary(*stack, *bin, 3, 0, 0, 0, coherent), 0);
    // Without coherence every frame is the source frame; with it the new frames are one
    // thickened frame.
    const auto p = samples(*bin);
    const std::size_t frame = 9 * 11;
    const int first = coherent ? 1 : 0;
    for (int z : {1, 2, 4, 5})
      EXPECT_TRUE(std::equal(p.begin() + first * frame, p.begin() + (first + 1) * frame,
                             p.begin() + z * frame))
          << z;
  }
}

TEST(Resampling, ContourFillOfRingsCountsContoursEvenOdd) {
  // A ring fills its inside; inside a second ring nested in it the hole stays empty.
  auto in = make_volume(1, 16, 16);
  auto ring = [&](int lo, int hi) {
    for (int y = lo; y <= hi; ++y)
      for (int x = lo; x <= hi; ++x)
        if (y == lo || y == hi || x == lo || x == hi) at<UC>(*in, 0, 0, y, x) = 255;
  };
  ring(3, 12);
  auto out = make_volume(1, 16, 16);
  ASSERT_EQ(FrameContourObjectFill(*in, *out), 0);
  EXPECT_EQ(at<UC>(*out, 0, 0, 7, 7), 255);
  EXPECT_EQ(at<UC>(*out, 0, 0, 3, 8), 255);
  EXPECT_EQ(at<UC>(*out, 0, 0, 1, 1), 0);
  ring(6, 9);
  ASSERT_EQ(FrameContourObjectFill(*in, *out), 0);
  EXPECT_EQ(at<UC>(*out, 0, 0, 4, 4), 255);  // between the rings
  EXPECT_EQ(at<UC>(*out, 0, 0, 6, 7), 255);  // the inner ring itself
  EXPECT_EQ(at<UC>(*out, 0, 0, 7, 7), 0);    // the inner hole
  EXPECT_EQ(at<UC>(*out, 0, 0, 14, 14), 0);

  // VOIs narrower than the two-pixel band on either side are all outer background.
  for (int w : {1, 2, 3, 4}) {
    fillRandom(*in, static_cast<unsigned>(w));
    setVoi(*in, {0, 1, 5, 5 + w, 2, 2 + w});
    ASSERT_EQ(FrameContourObjectFill(*in, *out), 0);
    for (int y = 5; y < 5 + w; ++y)
      for (int x = 2; x < 2 + w; ++x) EXPECT_EQ(at<UC>(*out, 0, 0, y, x), 0) << w;
  }
}

// ---- Failures leave the output untouched -----------------------------------------------

TEST(Resampling, EveryFailureReturnsItsCodeAndWritesNothing) {
  auto in = make_volume(4, 5, 6);
  fillRandom(*in, 1);
  auto colour = make_volume(4, 5, 6, V3D_UC, V3D_THREE_CHANNELS);
  auto binary = make_blobs(2, 4, 5, 6);
  auto flat = make_volume(4, 5, 6);
  setVoi(*flat, {0, 4, 0, 5, 2, 3});  // one column wide
  auto single = make_volume(4, 5, 6);
  setVoi(*single, {1, 2, 0, 5, 0, 6});  // one frame
  auto floats = make_volume(4, 5, 6, V3D_F);
  auto out = make_volume(20, 20, 20);
  auto small = make_volume(4, 5, 5);
  const float nan = std::numeric_limits<float>::quiet_NaN(),
              inf = std::numeric_limits<float>::infinity();
  Volume* I = *in;
  Volume* O = *out;
  struct Case {
    const char* what;
    std::function<int()> call;
    int code;
    Volume* target;
  };
  const std::vector<Case> cases = {
      {"zoom factor 0", [&] { return zoom3d(I, O, 0, 0, 0, 0); }, kInvalidParameters, O},
      {"zoom negative offset", [&] { return zoom3d(I, O, 2, 0, -1, 0); }, kInvalidParameters, O},
      {"zoom too large", [&] { return zoom3d(I, O, 5, 1, 0, 0); }, kInvalidOutputDimensions, O},
      {"zoom by INT_MAX", [&] { return zoom3d(I, O, 2147483647, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"zoom colours differ", [&] { return zoom3d(*colour, O, 1, 0, 0, 0); },
       kInvalidOutputColorType, O},
      {"zoom float input", [&] { return zoom3d(*floats, O, 1, 0, 0, 0); }, kWrongDataType, O},
      {"decim factor -1", [&] { return decim3(I, O, -1, 0, 0, 0); }, kInvalidParameters, O},
      {"decim too large", [&] { return decim3(I, *small, 1, 0, 0, 0); }, kInvalidOutputDimensions,
       *small},
      {"nearest factor 0",
       [&] { return InterpolationNearestNeighbor3d(I, O, 0, 0.0f, 1, 1, 0, 0, 0); },
       kInvalidParameters, O},
      {"nearest NaN", [&] { return InterpolationNearestNeighbor3d(I, O, 0, 1, nan, 1, 0, 0, 0); },
       kInvalidParameters, O},
      {"nearest infinite",
       [&] { return InterpolationNearestNeighbor3d(I, O, 0, 1, 1, inf, 0, 0, 0); },
       kInvalidParameters, O},
      {"nearest no target sample",
       [&] { return InterpolationNearestNeighbor3d(I, O, 0, 1, 1, 0.1f, 0, 0, 0); },
       kInvalidParameters, O},
      {"nearest 1e30",
       [&] { return InterpolationNearestNeighbor3d(I, O, 0, 1e30f, 1, 1, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"nearest offset", [&] { return InterpolationNearestNeighbor3d(I, O, 0, 1, 1, 1, 0, 0, -2); },
       kInvalidParameters, O},
      {"nearest too large",
       [&] { return InterpolationNearestNeighbor3d(I, O, 0, 1, 4.3f, 1, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"nearest colours",
       [&] { return InterpolationNearestNeighbor3d(*colour, O, 1, 1, 1, 1, 0, 0, 0); },
       kInvalidOutputColorType, O},
      {"linear width 1", [&] { return InterpolationLinear3d(*flat, O, 1, 1, 1, 1, 0, 0, 0); },
       kInvalidInputDimensions, O},
      {"linear NaN", [&] { return InterpolationLinear3d(I, O, 0, nan, 1, 1, 0, 0, 0); },
       kInvalidParameters, O},
      {"linear 1e30", [&] { return InterpolationLinear3d(I, O, 0, 1, 1, 1e30f, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"linear too large", [&] { return InterpolationLinear3d(I, O, 0, 1, 1, 1, 0, 16, 0); },
       kInvalidOutputDimensions, O},
      {"frame linear one frame",
       [&] { return InterpolationFrameLinear3d(*single, O, 0, 2, 0, 0, 0); },
       kInvalidInputDimensions, O},
      {"frame linear factor 0", [&] { return InterpolationFrameLinear3d(I, O, 0, 0, 0, 0, 0); },
       kInvalidParameters, O},
      {"frame linear 1e30", [&] { return InterpolationFrameLinear3d(I, O, 0, 1e30f, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"frame linear 2.5e9", [&] { return InterpolationFrameLinear3d(I, O, 0, 2.5e9f, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"frame linear output of one frame",
       [&] { return InterpolationFrameLinear3d(I, *make_volume(1, 9, 9), 1, 2, 0, 0, 0); },
       kInvalidParameters, nullptr},
      {"frame linear too large", [&] { return InterpolationFrameLinear3d(I, O, 0, 7, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"binary step 4", [&] { return FrameInterpolationBinary(*binary, O, 4, 0, 0, 0, 0); },
       kInvalidParameters, O},
      {"binary flag 2", [&] { return FrameInterpolationBinary(*binary, O, 2, 0, 0, 0, 2); },
       kInvalidParameters, O},
      {"binary not binary", [&] { return FrameInterpolationBinary(I, O, 2, 0, 0, 0, 0); },
       kNotBinary, O},
      {"binary too large", [&] { return FrameInterpolationBinary(*binary, O, 3, 11, 0, 0, 1); },
       kInvalidOutputDimensions, O},
      {"binary three channels", [&] { return FrameInterpolationBinary(*colour, O, 2, 0, 0, 0, 0); },
       kWrongColorType, O},
      {"grey step 4", [&] { return FrameInterpolationGrayscale(I, O, 4, 0, 0, 0); },
       kInvalidParameters, O},
      {"grey too large", [&] { return FrameInterpolationGrayscale(I, O, 3, 0, 0, 15); },
       kInvalidOutputDimensions, O},
      {"padding step 1", [&] { return FrameZeroPadding(I, O, 1, 0, 0, 0); }, kInvalidParameters, O},
      {"padding too large", [&] { return FrameZeroPadding(I, O, 7, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"padding huge step", [&] { return FrameZeroPadding(I, O, 2147483647, 0, 0, 0); },
       kInvalidOutputDimensions, O},
      {"fill output too small", [&] { return FrameContourObjectFill(I, *small); },
       kInvalidOutputDimensions, *small},
      {"fill three channels", [&] { return FrameContourObjectFill(*colour, O); }, kWrongColorType,
       O},
      {"fill no output", [&] { return FrameContourObjectFill(I, nullptr); }, kNullVolume, nullptr},
  };
  fillRandom(O, 99);
  fillRandom(*small, 98);
  for (const Case& c : cases) {
    const auto before = c.target ? snapshot(c.target) : std::vector<unsigned char>();
    EXPECT_EQ(c.call(), c.code) << c.what;
    if (c.target) {
      EXPECT_EQ(snapshot(c.target), before) << c.what << " wrote its output";
    }
  }
}

// Every scratch allocation can fail: the call then returns -9 and has written nothing.
TEST(Resampling, AllocationFailuresReturnMinus9AndWriteNothing) {
  auto in = make_volume(4, 6, 7);
  fillRandom(*in, 4);
  auto bin = make_blobs(5, 4, 6, 7);
  auto out = make_volume(12, 18, 21);
  Volume* I = *in;
  const std::vector<std::function<int(Volume*)>> calls = {
      [&](Volume* o) { return zoom3d(I, o, 2, 0, 0, 0); },
      [&](Volume* o) { return decim3(I, o, 2, 1, 1, 1); },
      [&](Volume* o) { return InterpolationNearestNeighbor3d(I, o, 0, 2, 2, 2, 0, 0, 0); },
      [&](Volume* o) { return InterpolationLinear3d(I, o, 1, 0, 0, 0, 0, 0, 0); },
      [&](Volume* o) { return InterpolationFrameLinear3d(I, o, 0, 2.5f, 0, 0, 0); },
      [&](Volume* o) { return FrameInterpolationBinary(*bin, o, 3, 0, 0, 0, 1); },
      [&](Volume* o) { return FrameInterpolationGrayscale(I, o, 3, 0, 0, 0); },
      [&](Volume* o) { return FrameZeroPadding(I, o, 3, 0, 0, 0); },
      [&](Volume* o) { return FrameContourObjectFill(I, o); },
  };
  for (std::size_t k = 0; k < calls.size(); ++k) {
    fillRandom(*out, 7);
    const auto before = snapshot(*out);
    int code = kCannotAllocateBuffer;
    for (long allowed = 0; code == kCannotAllocateBuffer && allowed < 20; ++allowed) {
      failAllocationsAfter(allowed);
      code = calls[k](*out);
      failAllocationsAfter(-1);
      if (code == kCannotAllocateBuffer) {
        ASSERT_EQ(snapshot(*out), before) << "call " << k;
      }
    }
    EXPECT_EQ(code, 0) << "call " << k;
  }
  // In place, the input's copy is one more allocation that can fail.
  const auto before = snapshot(I);
  failAllocationsAfter(1);
  EXPECT_EQ(zoom3d(I, I, 1, 0, 0, 0), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_EQ(snapshot(I), before);
}

// ---- Properties ----------------------------------------------------------------------

TEST(Resampling, ZoomThenDecimationRestoresTheVoi) {
  std::mt19937 rng(21);
  for (int round = 0; round < 30; ++round) {
    const int channels = round % 2 ? 3 : 1;
    RandomInput in(rng, channels, 6);
    const Box b = voiOf(**in.v);
    const int k = 1 + rng() % 4;
    auto mid = make_volume(k * b.depth(), k * b.height(), k * b.width(), V3D_UC,
                           channels == 3 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL);
    auto back = make_volume(b.depth(), b.height(), b.width(), V3D_UC,
                            channels == 3 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL);
    ASSERT_EQ(zoom3d(*in.v, *mid, k, 0, 0, 0), 0);
    ASSERT_EQ(decim3(*mid, *back, k, 0, 0, 0), 0);
    for (int c = 0; c < channels; ++c)
      for (int z = 0; z < b.depth(); ++z)
        for (int y = 0; y < b.height(); ++y)
          for (int x = 0; x < b.width(); ++x)
            ASSERT_EQ(at<UC>(*back, c, z, y, x), at<UC>(*in.v, c, b.z0 + z, b.y0 + y, b.x0 + x));
  }
}

// At factor 1 every position lags its sample by at most a tenth of a step, so a ramp of
// slope at most 5 per voxel in all comes back within one grey level.
TEST(Resampling, LinearInterpolationAtFactorOneReproducesARamp) {
  auto in = make_volume(12, 20, 30);
  for (int z = 0; z < 12; ++z)
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) at<UC>(*in, 0, z, y, x) = static_cast<UC>(2 * x + 2 * y + z);
  setVoi(*in, {1, 11, 2, 19, 3, 29});
  auto out = make_volume(10, 17, 26);
  ASSERT_EQ(InterpolationLinear3d(*in, *out, 0, 1.0f, 1.0f, 1.0f, 0, 0, 0), 0);
  for (int z = 0; z < 10; ++z)
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 26; ++x)
        ASSERT_LE(std::abs(at<UC>(*out, 0, z, y, x) - at<UC>(*in, 0, z + 1, y + 2, x + 3)), 1)
            << z << " " << y << " " << x;
}

// An output sharing the input's storage gets the same result as a separate output holding
// the same samples.
TEST(Resampling, InPlaceCallsEqualCallsIntoACopy) {
  const std::vector<std::function<int(Volume*, Volume*)>> calls = {
      [](Volume* i, Volume* o) { return zoom3d(i, o, 2, 1, 0, 1); },
      [](Volume* i, Volume* o) { return decim3(i, o, 2, 0, 1, 0); },
      [](Volume* i, Volume* o) {
        return InterpolationNearestNeighbor3d(i, o, 0, 1.5f, 2, 1.7f, 0, 0, 0);
      },
      [](Volume* i, Volume* o) { return InterpolationLinear3d(i, o, 1, 0, 0, 0, 0, 0, 0); },
      [](Volume* i, Volume* o) { return InterpolationFrameLinear3d(i, o, 0, 2, 0, 1, 1); },
      [](Volume* i, Volume* o) { return FrameInterpolationBinary(i, o, 2, 1, 0, 0, 1); },
      [](Volume* i, Volume* o) { return FrameInterpolationGrayscale(i, o, 2, 0, 1, 0); },
      [](Volume* i, Volume* o) { return FrameZeroPadding(i, o, 2, 1, 1, 1); },
      [](Volume* i, Volume* o) { return FrameContourObjectFill(i, o); },
  };
  for (std::size_t k = 0; k < calls.size(); ++k) {
    auto a = make_blobs(30 + static_cast<unsigned>(k), 9, 10, 11, 8, 3);
    auto b = make_blobs(30 + static_cast<unsigned>(k), 9, 10, 11, 8, 3);
    setVoi(*a, {2, 6, 3, 8, 2, 7});
    setVoi(*b, {2, 6, 3, 8, 2, 7});
    auto separate = make_blobs(30 + static_cast<unsigned>(k), 9, 10, 11, 8, 3);
    ASSERT_EQ(calls[k](*a, *separate), 0) << k;
    ASSERT_EQ(calls[k](*b, *b), 0) << k;
    EXPECT_EQ(samples(*b), samples(*separate)) << "call " << k;
  }
}

}  // namespace
}  // namespace v3d::test
