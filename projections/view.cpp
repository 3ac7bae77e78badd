#include "projections/view.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

#include "core/basic_ops.h"

namespace v3d::proj {
namespace {

// Rounds a projected corner coordinate to the nearest integer, halves up: floor(p + 0.5) in
// float, kept in 64 bits so that the corners of a huge box never overflow. Truncating instead
// would round the corners left of and above the centre toward it (-127.5 to -127), and an
// even box seen face on would lose its first row or frame from every picture.
long long roundHalf(float p) {
  return static_cast<long long>(std::floor(static_cast<double>(p + 0.5f)));
}

// The first k in [0, n] at which the monotone predicate `pred` (false, then true) holds:
// n when it never does. The estimate `guess` is tried first with its neighbour, which settles
// nearly every ray in two evaluations; a bisection of what is left settles the others.
template <class P>
int firstTrue(P&& pred, int n, double guess) {
  if (n <= 0) return 0;
  int lo = 0, hi = n;  // the answer lies in [lo, hi]
  const int g = guess >= n - 1 ? n - 1 : guess > 0 ? static_cast<int>(guess) : 0;
  if (pred(g)) {
    if (g == 0 || !pred(g - 1)) return g;
    hi = g - 1;
  } else {
    if (g + 1 >= n) return n;
    if (pred(g + 1)) return g + 1;
    lo = g + 2;
  }
  while (lo < hi) {
    const int mid = lo + (hi - lo) / 2;
    if (pred(mid))
      hi = mid;
    else
      lo = mid + 1;
  }
  return lo;
}

}  // namespace

int checkCall(Volume* volume, unsigned char*** image, int R, int C) {
  if (const int code = CheckVolume(volume, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  if (image == nullptr) return kNullImagePointer;
  for (int c = 0; c < channelCount(*volume); ++c)
    if (image[c] == nullptr) return kNullImagePointer;
  if (R < 1 || C < 1) return kInvalidParameters;
  return 0;
}

void clearImage(unsigned char*** image, int channels, int R, int C) {
  for (int c = 0; c < channels; ++c)
    for (int r = 0; r < R; ++r) std::memset(image[c][r], 0, static_cast<std::size_t>(C));
}

int View::setUp(Volume* volume, int R, int C, float angle1, float angle2, bool threeD, int crop) {
  if (!std::isfinite(angle1) || (threeD && !std::isfinite(angle2))) return kInvalidParameters;
  threeD_ = threeD;
  R_ = R;
  C_ = C;
  const Box voi = voiOf(*volume);
  box_ = voi;
  empty_ = false;
  if (crop != 0) {
    int z0 = -1, y0 = -1, x0 = -1, z1 = -1, y1 = -1, x1 = -1;
    FindBoundingBox3d(volume, &z0, &y0, &x0, &z1, &y1, &x1);
    if (z0 < 0) {
      empty_ = true;
      return 0;
    }
    box_ = {z0, z1, y0, y1, x0, x1};
  }

  const float pi = 4.0f * std::atan(1.0f);
  const float t1 = angle1 * pi / 180.0f;
  const float c1 = std::cos(t1), s1 = std::sin(t1);
  if (threeD) {
    const float t2 = angle2 * pi / 180.0f;
    const float c2 = std::cos(t2), s2 = std::sin(t2);
    ux_ = c1, uy_ = s1, uz_ = 0.0f;
    vx_ = s1 * s2, vy_ = -(c1 * s2), vz_ = c2;
    dx_ = -(s1 * c2), dy_ = c1 * c2, dz_ = s2;
  } else {
    ux_ = c1, uy_ = -s1, uz_ = 0.0f;
    vx_ = vy_ = vz_ = 0.0f;
    dx_ = s1, dy_ = c1, dz_ = 0.0f;
  }

  const Box& b = box_;
  const int xc = b.x0 + (b.x1 - b.x0) / 2, yc = b.y0 + (b.y1 - b.y0) / 2,
            zc = b.z0 + (b.z1 - b.z0) / 2;
  const int vxc = voi.x0 + (voi.x1 - voi.x0) / 2, vyc = voi.y0 + (voi.y1 - voi.y0) / 2,
            vzc = voi.z0 + (voi.z1 - voi.z0) / 2;

  // Extents from the corners of the box relative to its centre (four in the 2-D form: the
  // frame axis does not enter it).
  long long lo[3] = {LLONG_MAX, LLONG_MAX, LLONG_MAX}, hi[3] = {LLONG_MIN, LLONG_MIN, LLONG_MIN};
  const int zs[2] = {threeD ? b.z0 : zc, threeD ? b.z1 - 1 : zc};
  for (const int cz : zs)
    for (const int cy : {b.y0, b.y1 - 1})
      for (const int cx : {b.x0, b.x1 - 1}) {
        const float ox = static_cast<float>(cx - xc), oy = static_cast<float>(cy - yc),
                    oz = static_cast<float>(cz - zc);
        const long long p[3] = {roundHalf(ox * ux_ + oy * uy_ + oz * uz_),
                                roundHalf(ox * vx_ + oy * vy_ + oz * vz_),
                                roundHalf(ox * dx_ + oy * dy_ + oz * dz_)};
        for (int a = 0; a < 3; ++a) lo[a] = std::min(lo[a], p[a]), hi[a] = std::max(hi[a], p[a]);
      }
  const long long W = hi[0] - lo[0] + 1, N = hi[2] - lo[2] + 1;
  const long long H = threeD ? hi[1] - lo[1] + 1 : b.z1 - b.z0;
  if (N > INT_MAX / 2) return kCannotAllocateBuffer;

  const long long l0 = W >= C ? -(C / 2) : -(W / 2);
  W_ = static_cast<int>(std::min<long long>(W, C));
  N_ = static_cast<int>(N);
  t0_ = -(N / 2);

  // Offsets of the box centre from the VOI centre, so that the VOI centre stays on the image
  // centre when the crop moves the box.
  const float ex = static_cast<float>(xc - vxc), ey = static_cast<float>(yc - vyc),
              ez = static_cast<float>(zc - vzc);
  const long long h = static_cast<long long>(std::floor(ex * ux_ + ey * uy_ + ez * uz_ + 0.5f));
  column0_ = C / 2 + h + l0;
  first_ = static_cast<int>(std::clamp<long long>(-column0_, 0, W_));
  end_ = static_cast<int>(std::clamp<long long>(C - column0_, first_, W_));

  long long m0 = 0;
  if (threeD) {
    m0 = H >= R ? -(R / 2) : -(H / 2);
    H_ = static_cast<int>(std::min<long long>(H, R));
    const long long hv = static_cast<long long>(std::floor(ex * vx_ + ey * vy_ + ez * vz_ + 0.5f));
    row0_ = R / 2 - (hv + m0);
  } else {
    H_ = static_cast<int>(H);
    row0_ = R / 2 + H / 2 - 1;
  }

  ox_ = static_cast<float>(xc) + 0.5f + static_cast<float>(l0) * ux_;
  oy_ = static_cast<float>(yc) + 0.5f + static_cast<float>(l0) * uy_;
  oz_ = static_cast<float>(zc) + 0.5f + static_cast<float>(l0) * uz_;
  if (threeD) {
    ox_ = ox_ + static_cast<float>(m0) * vx_;
    oy_ = oy_ + static_cast<float>(m0) * vy_;
    oz_ = oz_ + static_cast<float>(m0) * vz_;
  }

  DX_ = ScratchArray<float>(static_cast<std::size_t>(N_));
  DY_ = ScratchArray<float>(static_cast<std::size_t>(N_));
  DZ_ = ScratchArray<float>(static_cast<std::size_t>(N_));
  px_ = ScratchArray<float>(static_cast<std::size_t>(W_));
  py_ = ScratchArray<float>(static_cast<std::size_t>(W_));
  pz_ = ScratchArray<float>(static_cast<std::size_t>(W_));
  a_ = ScratchArray<int>(static_cast<std::size_t>(W_));
  b_ = ScratchArray<int>(static_cast<std::size_t>(W_));
  if (!DX_ || !DY_ || !DZ_ || !px_ || !py_ || !pz_ || !a_ || !b_) return kCannotAllocateBuffer;
  for (int k = 0; k < N_; ++k) {
    const float t = static_cast<float>(t0_ + k);
    DX_[k] = t * dx_;
    DY_[k] = t * dy_;
    DZ_[k] = t * dz_;
  }
  return 0;
}

void View::fillRow(float sx, float sy, float sz, bool clipZ, bool intervals, int first, int end) {
  // Every origin is the sum from the row's first ray on, also for a later column of rays.
  float x = sx, y = sy, z = sz;
  for (int i = 0; i < end; ++i, x += ux_, y += uy_, z += uz_) px_[i] = x, py_[i] = y, pz_[i] = z;
  if (!intervals) return;
  for (int i = first; i < end; ++i) {
    a_[i] = 0;
    b_[i] = N_;
  }
  clip(px_.get(), DX_.get(), dx_, box_.x0, box_.x1, first, end);
  clip(py_.get(), DY_.get(), dy_, box_.y0, box_.y1, first, end);
  if (clipZ) clip(pz_.get(), DZ_.get(), dz_, box_.z0, box_.z1, first, end);
}

// Narrows each ray's interval of steps to those whose coordinate trunc(p + prod[k]) lies in
// [lo, hi).
void View::clip(const float* p, const float* prod, float d, int lo, int hi, int first, int end) {
  const int n = N_;
  const double t0 = static_cast<double>(t0_);
  for (int i = first; i < end; ++i) {
    int& a = a_[i];
    int& b = b_[i];
    if (a >= b) continue;
    const float origin = p[i];
    const auto at = [&](int k) { return std::trunc(static_cast<double>(origin + prod[k])); };
    if (d == 0.0f) {
      const double v = at(0);
      if (!(v >= lo && v < hi)) b = a;
      continue;
    }
    // Where the coordinate crosses a value, as a starting point for the exact steps.
    const auto guess = [&](int value) {
      const double k = (value - static_cast<double>(origin)) / d - t0;
      return std::isfinite(k) ? k : 0.0;
    };
    int first, end;
    if (d > 0.0f) {
      first = firstTrue([&](int k) { return at(k) >= lo; }, n, guess(lo));
      end = firstTrue([&](int k) { return at(k) >= hi; }, n, guess(hi));
    } else {
      first = firstTrue([&](int k) { return at(k) < hi; }, n, guess(hi));
      end = firstTrue([&](int k) { return at(k) < lo; }, n, guess(lo));
    }
    a = std::max(a, first);
    b = std::min(b, end);
    if (a > b) b = a;
  }
}

}  // namespace v3d::proj
