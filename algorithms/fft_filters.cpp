// Linear filters through the Fourier transform: whole-block convolution (convolution3),
// overlap-add convolution (overlap_add3) and the frequency-domain Wiener filter design
// (wienerfrequency3), on one-channel float volumes.
//
// Conventions of this file:
//  - convolution3 writes the (2Nz, 2Ny, 2Nx) block of the circular convolution of x's VOI
//    with h over the same box, both zero-padded, at the destination: the full linear
//    convolution followed by one zero plane per axis (up to rounding).
//  - overlap_add3 writes the full linear convolution of the VOI's whole blocks with the
//    whole kernel volume into out at the VOI origin, over the output area
//    [VOI start, VOI end + kernel - 1) on each axis, which it clears first; a VOI remainder
//    that is no whole block is left out.
//  - Every check and allocation precedes the first write. convolution3 reads both inputs
//    into its working volume before writing; overlap_add3 reads x from a copy when out
//    holds x's samples, since it clears the output area first.
//  - Speed: x and h (or two blocks of x) share one complex transform as x + i h; for the
//    convolution their spectra are separated with the mirrored coefficient Z(-k), for
//    overlap-add the kernel spectrum is real-signal so that two blocks go through one
//    forward and one inverse transform. Transforms skip the frames, rows and columns that
//    are zero padding on the way in and those that are not needed on the way out.
#include <algorithm>
#include <cmath>

#include "algorithms/fourier_engine.h"
#include "algorithms/linear_filters.h"
#include "core/samples.h"

namespace v3d {
namespace {

using fft::ComplexPlanes;
using fft::Extents;
using fft::isPowerOf2;

// The smallest power of 2 not below n (n >= 1), or 0 when it does not fit an int.
int powerOf2Above(long long n) {
  long long p = 1;
  while (p < n) p *= 2;
  return p <= (1LL << 30) ? static_cast<int>(p) : 0;
}

void copyBox(const Volume& v, const Box& b, const fft::Plane& dst) {
  float*** s = channelData<float>(v, 0);
  for (int z = 0; z < b.depth(); ++z)
    for (int y = 0; y < b.height(); ++y)
      std::copy_n(s[b.z0 + z][b.y0 + y] + b.x0, b.width(), dst.row(z, y));
}

void zeroBox(const fft::Plane& dst, const Extents& e) {
  for (int z = 0; z < e.nz; ++z)
    for (int y = 0; y < e.ny; ++y) std::fill_n(dst.row(z, y), e.nx, 0.0f);
}

}  // namespace
}  // namespace v3d

using namespace v3d;

extern "C" int convolution3(Volume* x, Volume* h, Volume* out, int destFrame, int destRow,
                            int destColumn) {
  if (int code = fft::checkFloatVolumes({x, h, out}); code != 0) return code;
  if (destFrame < 0 || destRow < 0 || destColumn < 0) return kInvalidParameters;
  if (h->Z < x->Z || h->Y < x->Y || h->X < x->X) return kInvalidInputDimensions;
  const Box voi = voiOf(*x);
  const Extents n{voi.depth(), voi.height(), voi.width()};
  if (!boxFits(*out, destFrame, destRow, destColumn, 2LL * n.nz, 2LL * n.ny, 2LL * n.nx))
    return kInvalidOutputDimensions;
  if (!isPowerOf2(n.nz) || !isPowerOf2(n.ny) || !isPowerOf2(n.nx)) return kVoiNotPowerOfTwo;
  const Extents t{2 * n.nz, 2 * n.ny, 2 * n.nx};
  fft::WorkVolume work;
  if (work.allocate(t) != 0) return kCannotAllocateVolume;
  fft::Transform3d forward, inverse;
  if (forward.prepare(t, false) != 0 || inverse.prepare(t, true) != 0) return kCannotAllocateBuffer;

  const ComplexPlanes p = work.planes();
  copyBox(*x, voi, p.re);
  copyBox(*h, voi, p.im);
  forward.frames(p, p, n, 1.0f);
  forward.alongZ(p, n.nz, t.nz, 1.0f);
  fft::pairProduct(work, t, false);
  ComplexPlanes sink;
  sink.re = fft::volumePlane(*out, destFrame, destRow, destColumn);
  inverse.alongZ(p, t.nz, t.nz, 1.0f / static_cast<float>(t.nz));
  inverse.framesInto(p, sink, t, static_cast<float>(1.0 / (static_cast<double>(t.ny) * t.nx)),
                     false);
  return 0;
}

extern "C" int overlap_add3(Volume* x, Volume* h, Volume* out, int blockZ, int blockY, int blockX) {
  if (int code = fft::checkFloatVolumes({x, h, out}); code != 0) return code;
  const Box voi = voiOf(*x);
  if (blockZ <= 0 || blockY <= 0 || blockX <= 0 || blockZ > voi.depth() || blockY > voi.height() ||
      blockX > voi.width())
    return kInvalidParameters;
  const Extents k{h->Z, h->Y, h->X};
  if (k.nz > voi.depth() || k.ny > voi.height() || k.nx > voi.width())
    return kInvalidInputDimensions;
  const long long endZ = static_cast<long long>(voi.z1) + k.nz - 1;
  const long long endY = static_cast<long long>(voi.y1) + k.ny - 1;
  const long long endX = static_cast<long long>(voi.x1) + k.nx - 1;
  if (out->Z < endZ || out->Y < endY || out->X < endX) return kInvalidOutputDimensions;

  const Extents b{blockZ, blockY, blockX};
  const Extents t{powerOf2Above(static_cast<long long>(blockZ) + k.nz - 1),
                  powerOf2Above(static_cast<long long>(blockY) + k.ny - 1),
                  powerOf2Above(static_cast<long long>(blockX) + k.nx - 1)};
  if (t.nz == 0 || t.ny == 0 || t.nx == 0) return kCannotAllocateVolume;
  fft::WorkVolume kernel, blocks;
  if (kernel.allocate(t) != 0 || blocks.allocate(t) != 0) return kCannotAllocateVolume;
  fft::Transform3d forward, inverse;
  if (forward.prepare(t, false) != 0 || inverse.prepare(t, true) != 0) return kCannotAllocateBuffer;
  // x from a copy when out holds its samples (the output area is cleared first).
  fft::WorkVolume copy;
  const Volume* source = x;
  Box sourceBox = voi;
  fft::Plane copyPlane;
  if (fft::sharesStorage(x, out)) {
    if (copy.allocate({voi.depth(), voi.height(), voi.width()}) != 0) return kCannotAllocateBuffer;
    copyPlane = copy.planes().re;
    copyBox(*x, voi, copyPlane);
  }

  // The kernel's spectrum, once.
  const ComplexPlanes kp = kernel.planes();
  copyBox(*h, {0, k.nz, 0, k.ny, 0, k.nx}, kp.re);
  forward.frames(kp, kp, k, 1.0f);
  forward.alongZ(kp, k.nz, t.nz, 1.0f);

  const fft::Plane outPlane = fft::volumePlane(*out, 0, 0, 0);
  zeroBox(outPlane.shifted(voi.z0, voi.y0, voi.x0),
          {static_cast<int>(endZ - voi.z0), static_cast<int>(endY - voi.y0),
           static_cast<int>(endX - voi.x0)});

  // Whole blocks in frame, row, column order, two at a time: the first in the real part,
  // the second in the imaginary part. The kernel is real, so the product's inverse holds
  // the first block's convolution in its real part and the second's in its imaginary part.
  const int countZ = voi.depth() / blockZ, countY = voi.height() / blockY,
            countX = voi.width() / blockX;
  const long long total = static_cast<long long>(countZ) * countY * countX;
  auto origin = [&](long long index) {
    const int bx = static_cast<int>(index % countX);
    const int by = static_cast<int>(index / countX % countY);
    const int bz = static_cast<int>(index / countX / countY);
    return Box{bz * blockZ, 0, by * blockY, 0, bx * blockX, 0};
  };
  auto blockPlane = [&](const Box& o) {
    return copy.size() > 0 ? copyPlane.shifted(o.z0, o.y0, o.x0)
                           : fft::volumePlane(*source, sourceBox.z0 + o.z0, sourceBox.y0 + o.y0,
                                              sourceBox.x0 + o.x0);
  };
  const ComplexPlanes bp = blocks.planes();
  const Extents keep{blockZ + k.nz - 1, blockY + k.ny - 1, blockX + k.nx - 1};
  const std::size_t samples = blocks.size();
  for (long long first = 0; first < total; first += 2) {
    const bool pair = first + 1 < total;
    const Box a = origin(first);
    const fft::Plane pa = blockPlane(a);
    for (int z = 0; z < b.nz; ++z)
      for (int y = 0; y < b.ny; ++y) {
        std::copy_n(pa.row(z, y), b.nx, bp.re.row(z, y));
        if (!pair) std::fill_n(bp.im.row(z, y), b.nx, 0.0f);
      }
    ComplexPlanes sink;
    sink.re = outPlane.shifted(voi.z0 + a.z0, voi.y0 + a.y0, voi.x0 + a.x0);
    if (pair) {
      const Box c = origin(first + 1);
      const fft::Plane pc = blockPlane(c);
      for (int z = 0; z < b.nz; ++z)
        for (int y = 0; y < b.ny; ++y) std::copy_n(pc.row(z, y), b.nx, bp.im.row(z, y));
      sink.im = outPlane.shifted(voi.z0 + c.z0, voi.y0 + c.y0, voi.x0 + c.x0);
    }
    forward.frames(bp, bp, b, 1.0f);
    forward.alongZ(bp, b.nz, t.nz, 1.0f);
    float* re = blocks.re();
    float* im = blocks.im();
    const float* hr = kernel.re();
    const float* hi = kernel.im();
    for (std::size_t i = 0; i < samples; ++i) {
      const float r = re[i], q = im[i];
      re[i] = r * hr[i] - q * hi[i];
      im[i] = r * hi[i] + q * hr[i];
    }
    inverse.alongZ(bp, t.nz, keep.nz, 1.0f / static_cast<float>(t.nz));
    inverse.framesInto(bp, sink, keep, static_cast<float>(1.0 / (static_cast<double>(t.ny) * t.nx)),
                       true);
  }
  return 0;
}

extern "C" int wienerfrequency3(Volume* outRe, Volume* outIm, Volume* signalSpectrum, Volume* hRe,
                                Volume* hIm, float noiseVariance) {
  if (int code = fft::checkFloatVolumes({outRe, outIm, signalSpectrum, hRe, hIm}); code != 0)
    return code;
  const Box r = voiOf(*outRe);
  auto holds = [&r](const Volume* v) { return v->Z >= r.z1 && v->Y >= r.y1 && v->X >= r.x1; };
  if (!holds(outIm)) return kInvalidOutputDimensions;
  if (!holds(signalSpectrum) || !holds(hRe) || !holds(hIm)) return kInvalidInputDimensions;
  // A NaN variance is no variance: refused like a negative one.
  if (!(noiseVariance >= 0.0f)) return kInvalidParameters;

  float*** o1 = channelData<float>(*outRe, 0);
  float*** o2 = channelData<float>(*outIm, 0);
  float*** s = channelData<float>(*signalSpectrum, 0);
  float*** a = channelData<float>(*hRe, 0);
  float*** c = channelData<float>(*hIm, 0);
  const double v = noiseVariance;
  for (int z = r.z0; z < r.z1; ++z)
    for (int y = r.y0; y < r.y1; ++y)
      for (int x = r.x0; x < r.x1; ++x) {
        const double hr = a[z][y][x], hi = c[z][y][x], sv = s[z][y][x];
        const double g = sv / (v + sv * (hr * hr + hi * hi));
        o1[z][y][x] = static_cast<float>(hr * g);
        o2[z][y][x] = static_cast<float>(-hi * g);
      }
  return 0;
}
