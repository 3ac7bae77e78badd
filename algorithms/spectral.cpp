// Spectral analysis: correlation, the Blackman-Tukey power spectrum, real/imaginary and
// magnitude/phase conversions, and the log-scaled picture of a spectrum.
//
// Conventions of this file:
//  - The region is the first input's VOI; the second input is read over the same box; the
//    block is written at the destination and nothing else of an output changes.
//  - Every check and allocation precedes the first write. The correlation and the power
//    spectrum copy their inputs into a working volume before anything is written, so an
//    output may be one of the inputs. The conversions read each sample pair before
//    writing it; when an output holds the other input's samples and the block moves, they
//    read from a copy.
//  - Magnitudes and angles are computed in double precision and rounded once, so that
//    re^2 + im^2 cannot overflow a float for finite samples.
//  - Where a float becomes an 8-bit sample (the spectrum picture), NaN stores 0 and values
//    beyond 0..255 clamp, so no conversion is undefined.
//  - The correlation uses one complex transform for both inputs (x in the real part, y in
//    the imaginary part), separates X and Y from the mirrored coefficient Z(-k), and
//    transforms only the frames, rows and columns that hold data on the way in.
#include "algorithms/spectral.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "algorithms/fourier_engine.h"
#include "core/samples.h"

namespace v3d {
namespace {

using fft::ComplexPlanes;
using fft::Extents;
using fft::isPowerOf2;

Extents extentsOf(const Box& b) {
  return {b.depth(), b.height(), b.width()};
}

Extents doubled(const Extents& n) {
  return {2 * n.nz, 2 * n.ny, 2 * n.nx};
}

// The circular correlation (or, for psd, auto-correlation) of the corner data of `w`:
// x in the real part over `validX`, y in the imaginary part; the (unscaled) inverse comes
// back in place in the real part, times `scale`.
struct Correlator {
  fft::WorkVolume work;
  fft::Transform3d forward, inverse;
  Extents size;

  int prepare(Extents workingSize) {
    size = workingSize;
    if (work.allocate(size) != 0) return kCannotAllocateVolume;
    if (forward.prepare(size, false) != 0 || inverse.prepare(size, true) != 0)
      return kCannotAllocateBuffer;
    return 0;
  }

  // Forward transform of the corner `valid`, the correlation spectrum X conj(Y), and the
  // inverse transform into `sink` (stored, times scale).
  void run(Extents valid, const ComplexPlanes& sink, float scaleZ, float scaleFrames) {
    const ComplexPlanes p = work.planes();
    forward.frames(p, p, valid, 1.0f);
    forward.alongZ(p, valid.nz, size.nz, 1.0f);
    fft::pairProduct(work, size, true);
    inverse.alongZ(p, size.nz, size.nz, scaleZ);
    inverse.framesInto(p, sink, size, scaleFrames, false);
  }
};

// The inverse's division by the working size and the further division by the input size,
// split between the Z stage and the frame stage so that neither factor underflows.
float zScale(const Extents& n) {
  return static_cast<float>(1.0 / (2.0 * n.nz * n.nz));
}
float frameScale(const Extents& n) {
  return static_cast<float>(1.0 / (4.0 * n.ny * n.ny * n.nx * n.nx));
}

// An 8-bit sample from a float: NaN and values below 0 store 0, values above 255 store 255,
// others their truncation.
UC clampToByte(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 255.0) return 255;
  return static_cast<UC>(v);
}

int checkConversion(Volume* a, Volume* b, Volume* outA, Volume* outB, int dz, int dy, int dx,
                    fft::PairSource& source) {
  if (int code = fft::checkFloatVolumes({a, b, outA, outB}); code != 0) return code;
  if (int code = fft::checkPairPlacement(a, b, outA, outB, dz, dy, dx); code != 0) return code;
  return source.prepare(a, b, outA, outB, dz, dy, dx);
}

// Applies f(first, second, &outFirst, &outSecond) to every sample pair of the block.
template <class F>
void convertPairs(const ComplexPlanes& src, Volume* outA, Volume* outB, const Box& voi, int dz,
                  int dy, int dx, F f) {
  const fft::Plane a = fft::volumePlane(*outA, dz, dy, dx);
  const fft::Plane b = fft::volumePlane(*outB, dz, dy, dx);
  for (int z = 0; z < voi.depth(); ++z)
    for (int y = 0; y < voi.height(); ++y) {
      const float* s = src.re.row(z, y);
      const float* t = src.im.row(z, y);
      float* u = a.row(z, y);
      float* v = b.row(z, y);
      for (int x = 0; x < voi.width(); ++x) {
        const float first = s[x], second = t[x];
        f(first, second, u[x], v[x]);
      }
    }
}

}  // namespace
}  // namespace v3d

using namespace v3d;

extern "C" int correlation3d(Volume* x, Volume* y, Volume* out, int destFrame, int destRow,
                             int destColumn) {
  if (int code = fft::checkFloatVolumes({x, y, out}); code != 0) return code;
  const Box voi = voiOf(*x);
  const Extents n = extentsOf(voi);
  if (!isPowerOf2(n.nz) || !isPowerOf2(n.ny) || !isPowerOf2(n.nx)) return kVoiNotPowerOfTwo;
  if (destFrame < 0 || destRow < 0 || destColumn < 0) return kInvalidParameters;
  if (y->Z < x->Z || y->Y < x->Y || y->X < x->X) return kInvalidInputDimensions;
  const Extents t = doubled(n);
  if (!boxFits(*out, destFrame, destRow, destColumn, 2LL * n.nz, 2LL * n.ny, 2LL * n.nx))
    return kInvalidOutputDimensions;
  Correlator c;
  if (int code = c.prepare(t); code != 0) return code;

  // y's VOI goes into the imaginary part; a VOI larger than the working size is cut to it
  // (taking it whole would write past the working volume).
  Box yVoi = voiOf(*y);
  yVoi.z1 = std::min(yVoi.z1, yVoi.z0 + t.nz);
  yVoi.y1 = std::min(yVoi.y1, yVoi.y0 + t.ny);
  yVoi.x1 = std::min(yVoi.x1, yVoi.x0 + t.nx);
  const ComplexPlanes p = c.work.planes();
  fft::copyBoxInto(*x, voi, p.re);
  fft::copyBoxInto(*y, yVoi, p.im);
  const Extents valid{std::max(n.nz, yVoi.depth()), std::max(n.ny, yVoi.height()),
                      std::max(n.nx, yVoi.width())};
  ComplexPlanes sink;
  sink.re = fft::volumePlane(*out, destFrame, destRow, destColumn);
  c.run(valid, sink, zScale(n), frameScale(n));
  return 0;
}

extern "C" int blackman_tukey_psd3d(Volume* in, Volume* out, int lagZ, int lagY, int lagX) {
  if (int code = CheckVolume(in, V3D_UC, V3D_ONE_CHANNEL); code != 0) return code;
  if (int code = CheckVolume(out, V3D_F, V3D_ONE_CHANNEL); code != 0) return code;
  const Box voi = voiOf(*in);
  const Extents n = extentsOf(voi);
  if (lagZ <= 0 || lagY <= 0 || lagX <= 0 || lagZ > n.nz || lagY > n.ny || lagX > n.nx)
    return kInvalidParameters;
  if (!boxFits(*out, 0, 0, 0, 2LL * n.nz, 2LL * n.ny, 2LL * n.nx)) return kInvalidOutputDimensions;
  if (!isPowerOf2(n.nz) || !isPowerOf2(n.ny) || !isPowerOf2(n.nx)) return kVoiNotPowerOfTwo;
  const Extents t = doubled(n);
  Correlator c;
  if (int code = c.prepare(t); code != 0) return code;
  ScratchArray<float> weights(static_cast<std::size_t>(t.nz) + t.ny + t.nx);
  if (!weights) return kCannotAllocateBuffer;

  // The input as float into the real part and also the imaginary part: the correlation of
  // x with itself.
  const ComplexPlanes p = c.work.planes();
  UC*** s = channelData<UC>(*in, 0);
  for (int z = 0; z < n.nz; ++z)
    for (int y = 0; y < n.ny; ++y) {
      const UC* row = s[voi.z0 + z][voi.y0 + y] + voi.x0;
      float* re = p.re.row(z, y);
      float* im = p.im.row(z, y);
      for (int x = 0; x < n.nx; ++x) re[x] = im[x] = row[x];
    }
  c.run(n, p, zScale(n), frameScale(n));

  // The Bartlett lag window: 1 - k/M at lags k and -k for k < M, 0 beyond.
  float* wz = weights.get();
  float* wy = wz + t.nz;
  float* wx = wy + t.ny;
  auto bartlett = [](float* w, int size, int m) {
    std::fill_n(w, size, 0.0f);
    for (int k = 0; k < m; ++k) {
      const float v = static_cast<float>(1.0 - static_cast<double>(k) / m);
      w[k] = v;
      w[(size - k) % size] = v;
    }
  };
  bartlett(wz, t.nz, lagZ);
  bartlett(wy, t.ny, lagY);
  bartlett(wx, t.nx, lagX);
  for (int z = 0; z < t.nz; ++z)
    for (int y = 0; y < t.ny; ++y) {
      float* re = p.re.row(z, y);
      const float wzy = wz[z] * wy[y];
      for (int x = 0; x < t.nx; ++x) re[x] *= wzy * wx[x];
      std::fill_n(p.im.row(z, y), t.nx, 0.0f);
    }

  // Its spectrum; the real part goes to out.
  c.forward.alongZ(p, t.nz, t.nz, 1.0f);
  ComplexPlanes sink;
  sink.re = fft::volumePlane(*out, 0, 0, 0);
  c.forward.framesInto(p, sink, t, 1.0f, false);
  return 0;
}

extern "C" int reim2magnphase3d(Volume* re, Volume* im, Volume* magnitude, Volume* phase,
                                int destFrame, int destRow, int destColumn) {
  fft::PairSource source;
  if (int code = checkConversion(re, im, magnitude, phase, destFrame, destRow, destColumn, source);
      code != 0)
    return code;
  constexpr float kHalfPi = static_cast<float>(std::numbers::pi / 2);
  convertPairs(source.planes, magnitude, phase, voiOf(*re), destFrame, destRow, destColumn,
               [](float r, float i, float& m, float& ph) {
                 const double dr = r, di = i;
                 m = static_cast<float>(std::sqrt(dr * dr + di * di));
                 if (std::fabs(r) > 1e-37f)
                   ph = static_cast<float>(std::atan2(di, dr));
                 else
                   ph = i >= 0.0f ? kHalfPi : -kHalfPi;
               });
  return 0;
}

extern "C" int magnphase2reim3d(Volume* magnitude, Volume* phase, Volume* re, Volume* im,
                                int destFrame, int destRow, int destColumn) {
  fft::PairSource source;
  if (int code = checkConversion(magnitude, phase, re, im, destFrame, destRow, destColumn, source);
      code != 0)
    return code;
  convertPairs(source.planes, re, im, voiOf(*magnitude), destFrame, destRow, destColumn,
               [](float m, float ph, float& r, float& i) {
                 r = static_cast<float>(m * std::cos(static_cast<double>(ph)));
                 i = static_cast<float>(m * std::sin(static_cast<double>(ph)));
               });
  return 0;
}

extern "C" int fft2image3d(Volume* re, Volume* im, Volume* out, int destFrame, int destRow,
                           int destColumn) {
  if (int code = fft::checkFloatVolumes({re, im}); code != 0) return code;
  if (int code = CheckVolume(out, V3D_UC, V3D_ONE_CHANNEL); code != 0) return code;
  if (destFrame < 0 || destRow < 0 || destColumn < 0) return kInvalidParameters;
  if (im->Z < re->Z || im->Y < re->Y || im->X < re->X) return kInvalidInputDimensions;
  const Box voi = voiOf(*re);
  const Extents n = extentsOf(voi);
  if (!boxFits(*out, destFrame, destRow, destColumn, n.nz, n.ny, n.nx))
    return kInvalidOutputDimensions;
  std::size_t count = 0;
  if (!fft::boxCount(n.nz, n.ny, n.nx, count)) return kCannotAllocateVolume;
  ScratchArray<float> magnitudes(count);
  if (!magnitudes) return kCannotAllocateVolume;

  float*** r = channelData<float>(*re, 0);
  float*** i = channelData<float>(*im, 0);
  float largest = 0.0f;  // NaN magnitudes never become the largest
  float* m = magnitudes.get();
  for (int z = 0; z < n.nz; ++z)
    for (int y = 0; y < n.ny; ++y)
      for (int x = 0; x < n.nx; ++x, ++m) {
        const double a = r[voi.z0 + z][voi.y0 + y][voi.x0 + x];
        const double b = i[voi.z0 + z][voi.y0 + y][voi.x0 + x];
        *m = static_cast<float>(std::sqrt(a * a + b * b));
        if (*m > largest) largest = *m;
      }

  // The upper half of each axis first: output index j shows input index (j + N/2) mod N.
  UC*** o = channelData<UC>(*out, 0);
  const double scale = largest > 0.0f ? 255.0 / std::log(static_cast<double>(largest) + 1.0) : 0.0;
  for (int z = 0; z < n.nz; ++z) {
    const int sz = (z + n.nz / 2) % n.nz;
    for (int y = 0; y < n.ny; ++y) {
      const int sy = (y + n.ny / 2) % n.ny;
      const float* src = magnitudes.get() + (static_cast<std::size_t>(sz) * n.ny + sy) * n.nx;
      UC* dst = o[destFrame + z][destRow + y] + destColumn;
      for (int x = 0; x < n.nx; ++x) {
        const int sx = (x + n.nx / 2) % n.nx;
        // An all-zero spectrum gives an all-zero block.
        dst[x] = largest > 0.0f ? clampToByte(scale * std::log(src[sx] + 1.0) + 0.5) : 0;
      }
    }
  }
  return 0;
}
