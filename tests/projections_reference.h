// Plain references for the projections and sections, written from their description without
// any of the library's shortcuts: every depth step of every ray is visited and tested against
// the source box. Rays start at centre + 0.5 + l0 u (+ m0 v) and add u per column and v per
// row in float, a position is the truncated float coordinate.
#pragma once

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#include "core/basic_ops.h"
#include "core/samples.h"
#include "core/volume.h"

namespace v3d::test {

// An image buffer of R x C bytes per channel with its row arrays, filled with `fill`.
class Picture {
 public:
  Picture(int channels, int R, int C, unsigned char fill = 0xAB)
      : channels_(channels), R_(R), C_(C) {
    for (int c = 0; c < 3; ++c) {
      data_[c].assign(static_cast<std::size_t>(std::max(R, 1)) * std::max(C, 1), fill);
      for (int r = 0; r < R; ++r)
        rows_[c].push_back(data_[c].data() + static_cast<std::size_t>(r) * C);
      planes_[c] = rows_[c].empty() ? nullptr : rows_[c].data();
    }
  }
  unsigned char*** get() { return planes_; }
  unsigned char& at(int c, int r, int col) {
    return data_[c][static_cast<std::size_t>(r) * C_ + col];
  }
  unsigned char at(int c, int r, int col) const {
    return data_[c][static_cast<std::size_t>(r) * C_ + col];
  }
  int R() const { return R_; }
  int C() const { return C_; }
  bool operator==(const Picture& o) const {
    for (int c = 0; c < channels_; ++c)
      if (data_[c] != o.data_[c]) return false;
    return channels_ == o.channels_;
  }
  void clear() {
    for (auto& d : data_) std::fill(d.begin(), d.end(), 0);
  }
  bool allZero() const {
    for (int c = 0; c < channels_; ++c)
      for (unsigned char b : data_[c])
        if (b != 0) return false;
    return true;
  }

 private:
  int channels_, R_, C_;
  std::vector<unsigned char> data_[3];
  std::vector<unsigned char*> rows_[3];
  unsigned char** planes_[3] = {nullptr, nullptr, nullptr};
};

struct RefView {
  bool empty = false;
  Box box{};
  float u[3]{}, v[3]{}, d[3]{};
  long long W = 0, H = 0, N = 0, l0 = 0, m0 = 0, t0 = 0, h = 0, hv = 0;
  int xc = 0, yc = 0, zc = 0;
  bool threeD = true;
};

inline RefView refView(Volume* vol, int R, int C, float a1, float a2, bool threeD, int crop) {
  RefView g;
  g.threeD = threeD;
  const Box voi = voiOf(*vol);
  g.box = voi;
  if (crop) {
    int z0, y0, x0, z1, y1, x1;
    FindBoundingBox3d(vol, &z0, &y0, &x0, &z1, &y1, &x1);
    if (z0 < 0) {
      g.empty = true;
      return g;
    }
    g.box = {z0, z1, y0, y1, x0, x1};
  }
  const float pi = 4.0f * std::atan(1.0f);
  const float t1 = a1 * pi / 180.0f, t2 = a2 * pi / 180.0f;
  const float c1 = std::cos(t1), s1 = std::sin(t1), c2 = std::cos(t2), s2 = std::sin(t2);
  if (threeD) {
    const float u[3] = {c1, s1, 0.0f}, v[3] = {s1 * s2, -c1 * s2, c2},
                d[3] = {-s1 * c2, c1 * c2, s2};
    std::copy(u, u + 3, g.u), std::copy(v, v + 3, g.v), std::copy(d, d + 3, g.d);
  } else {
    const float u[3] = {c1, -s1, 0.0f}, d[3] = {s1, c1, 0.0f};
    std::copy(u, u + 3, g.u), std::copy(d, d + 3, g.d);
  }
  const Box& b = g.box;
  g.xc = b.x0 + (b.x1 - b.x0) / 2, g.yc = b.y0 + (b.y1 - b.y0) / 2, g.zc = b.z0 + (b.z1 - b.z0) / 2;
  long long lo[3] = {LLONG_MAX, LLONG_MAX, LLONG_MAX}, hi[3] = {LLONG_MIN, LLONG_MIN, LLONG_MIN};
  for (int corner = 0; corner < 8; ++corner) {
    const float x = static_cast<float>((corner & 1 ? b.x1 - 1 : b.x0) - g.xc);
    const float y = static_cast<float>((corner & 2 ? b.y1 - 1 : b.y0) - g.yc);
    const float z = threeD ? static_cast<float>((corner & 4 ? b.z1 - 1 : b.z0) - g.zc) : 0.0f;
    const float* axes[3] = {g.u, g.v, g.d};
    for (int a = 0; a < 3; ++a) {
      const float p = x * axes[a][0] + y * axes[a][1] + z * axes[a][2];
      const long long r = static_cast<long long>(std::floor(p + 0.5f));
      lo[a] = std::min(lo[a], r), hi[a] = std::max(hi[a], r);
    }
  }
  g.W = hi[0] - lo[0] + 1;
  g.N = hi[2] - lo[2] + 1;
  g.H = threeD ? hi[1] - lo[1] + 1 : b.z1 - b.z0;
  g.l0 = -(g.W / 2);
  if (g.W >= C) g.W = C, g.l0 = -(C / 2);
  if (threeD) {
    g.m0 = -(g.H / 2);
    if (g.H >= R) g.H = R, g.m0 = -(R / 2);
  }
  g.t0 = -(g.N / 2);
  const float ex = static_cast<float>(g.xc - (voi.x0 + (voi.x1 - voi.x0) / 2));
  const float ey = static_cast<float>(g.yc - (voi.y0 + (voi.y1 - voi.y0) / 2));
  const float ez = static_cast<float>(g.zc - (voi.z0 + (voi.z1 - voi.z0) / 2));
  g.h = static_cast<long long>(std::floor(ex * g.u[0] + ey * g.u[1] + ez * g.u[2] + 0.5f));
  g.hv = static_cast<long long>(std::floor(ex * g.v[0] + ey * g.v[1] + ez * g.v[2] + 0.5f));
  return g;
}

struct Position {
  int k, z, y, x;
};

// Calls f(row, column, positions inside the box in step order) for every ray that falls in
// the image.
template <class F>
void refRays(const RefView& g, int R, int C, F&& f) {
  if (g.empty) return;
  const Box& b = g.box;
  float sx = static_cast<float>(g.xc) + 0.5f + static_cast<float>(g.l0) * g.u[0];
  float sy = static_cast<float>(g.yc) + 0.5f + static_cast<float>(g.l0) * g.u[1];
  float sz = static_cast<float>(g.zc) + 0.5f + static_cast<float>(g.l0) * g.u[2];
  if (g.threeD) {
    sx = sx + static_cast<float>(g.m0) * g.v[0];
    sy = sy + static_cast<float>(g.m0) * g.v[1];
    sz = sz + static_cast<float>(g.m0) * g.v[2];
  }
  std::vector<Position> path;
  for (long long j = 0; j < g.H; ++j) {
    const long long row = g.threeD ? R / 2 - (g.hv + g.m0 + j) : R / 2 + g.H / 2 - 1 - j;
    float px = sx, py = sy, pz = sz;
    for (long long i = 0; i < g.W; ++i) {
      const long long column = C / 2 + g.h + g.l0 + i;
      if (row >= 0 && row < R && column >= 0 && column < C) {
        path.clear();
        for (long long k = 0; k < g.N; ++k) {
          const long long t = g.t0 + k;
          const int x = static_cast<int>(px + static_cast<float>(t) * g.d[0]);
          const int y = static_cast<int>(py + static_cast<float>(t) * g.d[1]);
          const int z = g.threeD ? static_cast<int>(pz + static_cast<float>(t) * g.d[2])
                                 : b.z0 + static_cast<int>(j);
          if (x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1 && z >= b.z0 && z < b.z1)
            path.push_back({static_cast<int>(k), z, y, x});
        }
        f(static_cast<int>(row), static_cast<int>(column), path);
      }
      px += g.u[0], py += g.u[1], pz += g.u[2];
    }
    if (g.threeD) sx += g.v[0], sy += g.v[1], sz += g.v[2];
  }
}

enum class RefRule { kFirstHit, kAverage, kMaximum, kBinary, kSurface, kSurfaceColour };

inline UC sampleOf(Volume* v, int c, const Position& p) {
  return channelData<UC>(*v, c)[p.z][p.y][p.x];
}

// The first position of `path` where a channel exceeds its threshold, or -1.
inline int refFirstHit(Volume* v, const std::vector<Position>& path, const unsigned char* thr) {
  for (std::size_t n = 0; n < path.size(); ++n)
    for (int c = 0; c < channelCount(*v); ++c)
      if (sampleOf(v, c, path[n]) > thr[c]) return static_cast<int>(n);
  return -1;
}

// The shade of a gradient measured on the axes u, v, d of the 3-D view of (a1, a2).
inline float refShade(float a1, float a2, float gx, float gy, float gz) {
  const float pi = 4.0f * std::atan(1.0f);
  const float t1 = a1 * pi / 180.0f, t2 = a2 * pi / 180.0f;
  const float c1 = std::cos(t1), s1 = std::sin(t1), c2 = std::cos(t2), s2 = std::sin(t2);
  const float gu = gx * c1 + gy * s1 + gz * 0.0f;
  const float gv = gx * (s1 * s2) + gy * -(c1 * s2) + gz * c2;
  const float gd = gx * -(s1 * c2) + gy * (c1 * c2) + gz * s2;
  const float n2 = gu * gu + gv * gv + gd * gd;
  return n2 > 0.0f ? std::fabs(gd) / std::sqrt(n2) : 0.0f;
}

// The whole reference projection into `out` (every pixel written).
inline void refProject(RefRule rule, Volume* v, Picture& out, float a1, float a2, bool threeD,
                       int crop, const unsigned char* thr = nullptr, bool cue = false) {
  const int R = out.R(), C = out.C(), channels = channelCount(*v);
  out.clear();
  const RefView g = refView(v, R, C, a1, a2, threeD, crop);
  const Box voi = voiOf(*v);
  std::vector<int> depth(static_cast<std::size_t>(R) * C, 0);
  std::vector<Position> hitAt(depth.size());
  refRays(g, R, C, [&](int row, int col, const std::vector<Position>& path) {
    switch (rule) {
      case RefRule::kMaximum:
        for (int c = 0; c < channels; ++c) {
          int m = 0;
          for (const Position& p : path) m = std::max<int>(m, sampleOf(v, c, p));
          out.at(c, row, col) = static_cast<UC>(m);
        }
        break;
      case RefRule::kAverage:
        for (int c = 0; c < channels; ++c) {
          long long sum = 0;
          for (const Position& p : path) sum += sampleOf(v, c, p);
          out.at(c, row, col) =
              path.empty() ? 0 : static_cast<UC>(static_cast<double>(sum) / path.size() + 0.5);
        }
        break;
      case RefRule::kFirstHit:
        if (const int n = refFirstHit(v, path, thr); n >= 0)
          for (int c = 0; c < channels; ++c) out.at(c, row, col) = sampleOf(v, c, path[n]);
        break;
      case RefRule::kBinary: {
        const int n = refFirstHit(v, path, thr);
        if (n < 0) break;
        const Position& p = path[n];
        if (!(p.z > voi.z0 && p.z < voi.z1 - 1 && p.y > voi.y0 && p.y < voi.y1 - 1 &&
              p.x > voi.x0 && p.x < voi.x1 - 1)) {
          for (int c = 0; c < channels; ++c) out.at(c, row, col) = sampleOf(v, c, p);
          break;
        }
        UC*** s = channelData<UC>(*v, 0);
        // Slab sums S[axis][k + 1] at offsets -1, 0, 1.
        long long S[3][3] = {};
        for (int k = -1; k <= 1; ++k)
          for (int a = -1; a <= 1; ++a)
            for (int b2 = -1; b2 <= 1; ++b2) {
              S[0][k + 1] += s[p.z + a][p.y + b2][p.x + k];
              S[1][k + 1] += s[p.z + a][p.y + k][p.x + b2];
              S[2][k + 1] += s[p.z + k][p.y + a][p.x + b2];
            }
        float G[3];
        for (int a = 0; a < 3; ++a)
          G[a] = static_cast<float>(channels == 1 ? S[a][2] - S[a][0]
                                                  : 2 * S[a][1] - S[a][0] - S[a][2]);
        const float sh =
            threeD ? refShade(a1, a2, G[0], G[1], G[2]) : refShade(a1, 0.0f, G[0], G[1], G[2]);
        for (int c = 0; c < channels; ++c)
          out.at(c, row, col) =
              channels == 1 ? static_cast<UC>(255.0f * sh + 0.5f)
                            : static_cast<UC>(static_cast<float>(sampleOf(v, c, p)) * sh + 0.5f);
        break;
      }
      case RefRule::kSurface:
      case RefRule::kSurfaceColour:
        if (const int n = refFirstHit(v, path, thr); n >= 0) {
          depth[static_cast<std::size_t>(row) * C + col] = path[n].k + 1;
          hitAt[static_cast<std::size_t>(row) * C + col] = path[n];
        }
        break;
    }
  });
  if (rule != RefRule::kSurface && rule != RefRule::kSurfaceColour) return;
  int dMin = INT_MAX, dMax = 0;
  for (int d : depth)
    if (d != 0) dMin = std::min(dMin, d), dMax = std::max(dMax, d);
  const auto D = [&](int r, int c) {
    return r < 0 || c < 0 || r >= R || c >= C ? 0 : depth[static_cast<std::size_t>(r) * C + c];
  };
  const int triangles[8][4] = {{-1, 0, -1, -1}, {0, -1, -1, -1}, {0, -1, 1, -1}, {1, 0, 1, -1},
                               {1, 0, 1, 1},    {0, 1, 1, 1},    {0, 1, -1, 1},  {-1, 0, -1, 1}};
  for (int r = 0; r < R; ++r)
    for (int c = 0; c < C; ++c) {
      const int cd = D(r, c);
      if (cd == 0) continue;
      float sum = 0.0f;
      int count = 0;
      for (const auto& t : triangles) {
        const int n = D(r + t[0], c + t[1]), q = D(r + t[2], c + t[3]);
        if (n == 0 || q == 0) continue;
        sum += 1.0f / std::sqrt(static_cast<float>((n - cd) * (n - cd) + (q - n) * (q - n)) + 1.0f);
        ++count;
      }
      const float h = count ? sum / count : 1.0f;
      const bool cueing = cue && dMax > dMin;
      const float rel =
          cueing ? static_cast<float>(dMin - cd) / static_cast<float>(dMax - dMin) : 0;
      for (int ch = 0; ch < channels; ++ch) {
        if (rule == RefRule::kSurface)
          out.at(ch, r, c) =
              static_cast<UC>(cueing ? (rel * 225.0f + 225.0f) * h + 30.0f : h * 225.0f + 30.0f);
        else {
          const float s = sampleOf(v, ch, hitAt[static_cast<std::size_t>(r) * C + c]);
          out.at(ch, r, c) = static_cast<UC>(cueing ? (rel + 1.0f) * s * h : s * h);
        }
      }
    }
}

// The oblique section at `depth` percent, whole image.
inline void refSection(Volume* v, Picture& out, float a1, float a2, int crop, float depthPercent) {
  const int R = out.R(), C = out.C();
  out.clear();
  const RefView g = refView(v, R, C, a1, a2, true, crop);
  if (g.empty) return;
  const int w = static_cast<int>(depthPercent * 0.01f * static_cast<float>(g.N) +
                                 static_cast<float>(g.t0) + 0.5f);
  // One depth step at t = w: the path's step k = w - t0 when it lies in [0, N); otherwise
  // the ray is recast with a one-step view at w.
  RefView one = g;
  one.t0 = w;
  one.N = 1;
  refRays(one, R, C, [&](int row, int col, const std::vector<Position>& path) {
    if (!path.empty())
      for (int c = 0; c < channelCount(*v); ++c) out.at(c, row, col) = sampleOf(v, c, path[0]);
  });
}

}  // namespace v3d::test
