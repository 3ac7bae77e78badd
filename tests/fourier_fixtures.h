// Fixtures of the Fourier, spectral and FFT-filter tests: a plain double-precision DFT
// (O(N^2) per axis), complex volumes made in one line, and reading blocks back.
#pragma once

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "algorithms/fourier.h"
#include "algorithms/fourier_engine.h"
#include "fixtures.h"

namespace v3d::test {

using cplx = std::complex<double>;

// A dense block of nz x ny x nx samples, frame-major.
struct Block {
  int nz = 0, ny = 0, nx = 0;
  std::vector<cplx> v;
  Block() = default;
  Block(int z, int y, int x) : nz(z), ny(y), nx(x), v(static_cast<std::size_t>(z) * y * x) {}
  cplx& operator()(int z, int y, int x) {
    return v[(static_cast<std::size_t>(z) * ny + y) * nx + x];
  }
  cplx operator()(int z, int y, int x) const {
    return v[(static_cast<std::size_t>(z) * ny + y) * nx + x];
  }
  double maxAbs() const {
    double m = 0;
    for (const cplx& c : v) m = std::max(m, std::abs(c));
    return m;
  }
};

// The DFT along one axis (0 = Z, 1 = Y, 2 = X) straight from its definition, in double.
inline Block dftAxis(const Block& in, int axis, bool inverse) {
  Block out(in.nz, in.ny, in.nx);
  const int n = axis == 0 ? in.nz : axis == 1 ? in.ny : in.nx;
  const double sign = inverse ? 1.0 : -1.0;
  std::vector<cplx> w(static_cast<std::size_t>(n));
  for (int k = 0; k < n; ++k) w[k] = std::polar(1.0, sign * 2.0 * std::numbers::pi * k / n);
  for (int z = 0; z < in.nz; ++z)
    for (int y = 0; y < in.ny; ++y)
      for (int x = 0; x < in.nx; ++x) {
        const int k = axis == 0 ? z : axis == 1 ? y : x;
        cplx s = 0;
        for (int j = 0; j < n; ++j) {
          const cplx a = axis == 0 ? in(j, y, x) : axis == 1 ? in(z, j, x) : in(z, y, j);
          s += a * w[static_cast<std::size_t>(k) * j % n];
        }
        out(z, y, x) = inverse ? s / static_cast<double>(n) : s;
      }
  return out;
}

inline Block dft3(const Block& in, bool inverse) {
  return dftAxis(dftAxis(dftAxis(in, 2, inverse), 1, inverse), 0, inverse);
}

// A one-channel F volume outside the table.
inline std::unique_ptr<OwnedVolume> floatVolume(int Z, int Y, int X) {
  return std::make_unique<OwnedVolume>(V3D_F, V3D_ONE_CHANNEL, Z, Y, X);
}

inline void setVoi(Volume* v, const Box& b) {
  fill_in_VOI(v, b.z0, b.z1, b.y0, b.y1, b.x0, b.x1);
}

// The block of extents (nz, ny, nx) of a pair at (z0, y0, x0); a null im reads zeros.
inline Block readBlock(Volume* re, Volume* im, int z0, int y0, int x0, int nz, int ny, int nx) {
  Block b(nz, ny, nx);
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x)
        b(z, y, x) = cplx(at<float>(re, 0, z0 + z, y0 + y, x0 + x),
                          im ? at<float>(im, 0, z0 + z, y0 + y, x0 + x) : 0.0);
  return b;
}

// Every sample of a one-channel F volume.
inline Block whole(Volume* v) {
  return readBlock(v, nullptr, 0, 0, 0, v->Z, v->Y, v->X);
}

// Every sample of a one-channel UC volume.
inline Block wholeBytes(Volume* v) {
  Block b(v->Z, v->Y, v->X);
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) b(z, y, x) = at<UC>(v, 0, z, y, x);
  return b;
}

// Whether two whole-volume blocks agree outside `box` (bit for bit, NaN included).
inline bool sameOutside(const Block& a, const Block& b, const Box& box) {
  for (int z = 0; z < a.nz; ++z)
    for (int y = 0; y < a.ny; ++y)
      for (int x = 0; x < a.nx; ++x) {
        const bool inside =
            z >= box.z0 && z < box.z1 && y >= box.y0 && y < box.y1 && x >= box.x0 && x < box.x1;
        const std::size_t i = (static_cast<std::size_t>(z) * a.ny + y) * a.nx + x;
        if (!inside && std::memcmp(&a.v[i], &b.v[i], sizeof(cplx)) != 0) return false;
      }
  return true;
}

inline void writeBlock(const Block& b, Volume* re, Volume* im, int z0, int y0, int x0) {
  for (int z = 0; z < b.nz; ++z)
    for (int y = 0; y < b.ny; ++y)
      for (int x = 0; x < b.nx; ++x) {
        at<float>(re, 0, z0 + z, y0 + y, x0 + x) = static_cast<float>(b(z, y, x).real());
        if (im) at<float>(im, 0, z0 + z, y0 + y, x0 + x) = static_cast<float>(b(z, y, x).imag());
      }
}

// The largest |got - want| over `got`, want taken as 0 outside its own extents, relative to
// want's largest magnitude: for blocks that hold a result followed by zero padding.
inline double paddedError(const Block& got, const Block& want) {
  double e = 0;
  for (int z = 0; z < got.nz; ++z)
    for (int y = 0; y < got.ny; ++y)
      for (int x = 0; x < got.nx; ++x) {
        const bool inside = z < want.nz && y < want.ny && x < want.nx;
        e = std::max(e, std::abs(got(z, y, x) - (inside ? want(z, y, x) : 0.0)));
      }
  return e / want.maxAbs();
}

// The largest |a - b| over the block, relative to `scale`.
inline double relativeError(const Block& a, const Block& b, double scale) {
  double e = 0;
  for (std::size_t i = 0; i < a.v.size(); ++i) e = std::max(e, std::abs(a.v[i] - b.v[i]));
  return scale > 0 ? e / scale : e;
}

// Runs f once with each kernel set this processor has (the baseline and AVX2), so that
// every instruction-set path meets the references.
template <class F>
void forEachKernelSet(F&& f) {
  const std::pair<const fft::Kernels*, const char*> sets[] = {
      {fft::genericKernels(), "baseline kernels"}, {fft::avx2Kernels(), "AVX2 kernels"}};
  for (const auto& [k, name] : sets) {
    if (k == nullptr) continue;
    fft::useKernels(k);
    SCOPED_TRACE(name);
    f();
  }
  fft::useKernels(nullptr);
}

}  // namespace v3d::test
