// The transform engine's plans, drivers and spectral products (see fourier_engine.h).
#include "algorithms/fourier_engine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "core/samples.h"

namespace v3d::fft {

int makePlan(Plan& plan, int n, bool inverse) {
  plan.n = n;
  plan.log2n = std::countr_zero(static_cast<unsigned>(n));
  plan.inverse = inverse;
  // Radix-4 stages from span 1, or for odd powers of 2 after the first three radix-2 stages
  // done at once (span 8; a length of 2 has no radix-4 stage).
  const long long firstSpan = (plan.log2n & 1) == 0 ? 1 : plan.log2n == 1 ? 2 : 8;
  std::size_t twiddleCount = 0;
  for (long long span = firstSpan; span < n; span *= 4)
    twiddleCount += 6 * static_cast<std::size_t>(span);
  plan.bitrev = ScratchArray<std::int32_t>(static_cast<std::size_t>(n));
  plan.twiddles = ScratchArray<float>(twiddleCount);
  plan.quarter = ScratchArray<float>(2 * static_cast<std::size_t>(n));
  plan.dctPosition = ScratchArray<std::int32_t>(static_cast<std::size_t>(n));
  plan.dctRestore = ScratchArray<std::int32_t>(static_cast<std::size_t>(n));
  if (!plan.bitrev || !plan.twiddles || !plan.quarter || !plan.dctPosition || !plan.dctRestore)
    return kCannotAllocateBuffer;

  for (int k = 0; k < n; ++k) {
    unsigned r = 0;
    for (int b = 0; b < plan.log2n; ++b)
      r |= ((static_cast<unsigned>(k) >> b) & 1u) << (plan.log2n - 1 - b);
    plan.bitrev[k] = static_cast<std::int32_t>(r);
  }
  // Twiddles in double precision, rounded once: w = exp(-+2 pi i / 4 span) per stage.
  const double sign = inverse ? 1.0 : -1.0;
  float* w = plan.twiddles.get();
  for (long long span = firstSpan; span < n; span *= 4) {
    const double size = 4.0 * static_cast<double>(span);
    for (long long j = 0; j < span; ++j)
      for (int m = 1; m <= 3; ++m) {
        const double angle = sign * 2.0 * std::numbers::pi * static_cast<double>(m * j) / size;
        *w++ = static_cast<float>(std::cos(angle));
        *w++ = static_cast<float>(std::sin(angle));
      }
  }
  for (int k = 0; k < n; ++k) {
    const double angle = std::numbers::pi * k / (2.0 * n);
    plan.quarter[2 * static_cast<std::size_t>(k)] = static_cast<float>(std::cos(angle));
    plan.quarter[2 * static_cast<std::size_t>(k) + 1] = static_cast<float>(std::sin(angle));
  }
  // The cosine transforms' order: sample t is the reordered sequence's element t / 2 when
  // t is even, n - 1 - (t - 1) / 2 when odd.
  for (int t = 0; t < n; ++t) {
    plan.dctRestore[t] = t % 2 == 0 ? t / 2 : n - 1 - (t - 1) / 2;
    plan.dctPosition[t] = plan.bitrev[plan.dctRestore[t]];
  }
  return 0;
}

Plane Plane::shifted(int dz, int dy, int dx) const {
  Plane p = *this;
  if (frames != nullptr) {
    p.z0 += dz;
    p.y0 += dy;
    p.x0 += dx;
  } else if (base != nullptr) {
    p.base = base + static_cast<std::size_t>(dz) * frameStride +
             static_cast<std::size_t>(dy) * rowStride + static_cast<std::size_t>(dx);
  }
  return p;
}

Plane volumePlane(const Volume& v, int z0, int y0, int x0) {
  Plane p;
  p.frames = channelData<float>(v, 0);
  p.z0 = z0;
  p.y0 = y0;
  p.x0 = x0;
  return p;
}

void copyBoxInto(const Volume& v, const Box& b, const Plane& dst) {
  float*** s = channelData<float>(v, 0);
  for (int z = 0; z < b.depth(); ++z)
    for (int y = 0; y < b.height(); ++y)
      std::copy_n(s[b.z0 + z][b.y0 + y] + b.x0, b.width(), dst.row(z, y));
}

namespace {
const Kernels* g_override = nullptr;
}

const Kernels& kernels() {
  static const Kernels* const best = avx2Kernels() ? avx2Kernels() : genericKernels();
  return g_override != nullptr ? *g_override : *best;
}

void useKernels(const Kernels* k) {
  g_override = k;
}

bool boxCount(long long nz, long long ny, long long nx, std::size_t& count) {
  if (nz <= 0 || ny <= 0 || nx <= 0) return false;
  const unsigned long long limit = static_cast<unsigned long long>(PTRDIFF_MAX) / 8;
  unsigned long long c = static_cast<unsigned long long>(nz);
  if (c > limit / static_cast<unsigned long long>(ny)) return false;
  c *= static_cast<unsigned long long>(ny);
  if (c > limit / static_cast<unsigned long long>(nx)) return false;
  count = static_cast<std::size_t>(c * static_cast<unsigned long long>(nx));
  return true;
}

// ---- Transform3d --------------------------------------------------------------------
//
// Memory traffic decides the speed once a volume leaves the caches, so every stage reads
// and writes the volume in long contiguous runs: a frame is transformed inside a scratch
// frame (rows from the source, columns in place, then copied out row by row), and the Z
// stage copies a slab of up to kSlabColumns columns of one row of every frame into a
// scratch slab, transforms it there and copies it back. Gathering the Z columns straight
// from the volume instead touches one cache line per frame per lane block, which the
// hardware does not prefetch: 1.2x slower at 256 x 256 x 128 (and so was scattering the
// frames straight into the output), in alternating runs.
//
// Scratch rows are a cache line longer than their samples, and each imaginary half starts
// two lines after its real half, so that the samples of one column and their real and
// imaginary parts do not all fall into the same few cache sets, as power-of-2 strides
// would make them.

namespace {
constexpr int kSlabColumns = 256;
constexpr std::size_t kPad = 16;  // floats: one cache line
}  // namespace

int Transform3d::Scratch::allocate(int rows, int width) {
  stride = static_cast<std::size_t>(width) + kPad;
  imOffset = static_cast<std::size_t>(rows) * stride + 2 * kPad;
  std::size_t count = 0;
  if (!boxCount(2, rows, static_cast<long long>(stride), count)) return kCannotAllocateBuffer;
  data = ScratchArray<float>(count + 2 * kPad);
  return data ? 0 : kCannotAllocateBuffer;
}

int Transform3d::prepare(Extents e, bool inverse) {
  e_ = e;
  if (makePlan(px_, e.nx, inverse) != 0 || makePlan(py_, e.ny, inverse) != 0 ||
      makePlan(pz_, e.nz, inverse) != 0)
    return kCannotAllocateBuffer;
  longest_ = static_cast<std::size_t>(std::max({e.nz, e.ny, e.nx, kLanes}));
  lanes_ = ScratchArray<float>(2 * longest_ * kElementFloats);
  ptrs_ = ScratchArray<float*>(4 * longest_);
  if (!lanes_ || !ptrs_) return kCannotAllocateBuffer;
  if (frame_.allocate(e.ny, e.nx) != 0) return kCannotAllocateBuffer;
  if (slab_.allocate(e.nz, std::min(e.nx, kSlabColumns)) != 0) return kCannotAllocateBuffer;
  return 0;
}

void Transform3d::frames(const ComplexPlanes& src, const ComplexPlanes& dst, Extents valid,
                         float scale) {
  const Kernels& k = kernels();
  const int ny = e_.ny, nx = e_.nx;
  float** a = ptrs_.get();
  float** b = a + longest_;
  float** c = b + longest_;
  float** d = c + longest_;
  for (int y = 0; y < ny; ++y) {
    c[y] = frame_.re(y);
    d[y] = frame_.im(y);
  }
  for (int z = 0; z < valid.nz; ++z) {
    for (int y = 0; y < valid.ny; ++y) {
      a[y] = src.re.row(z, y);
      b[y] = src.im.row(z, y);
    }
    LineJob rowsJob;
    rowsJob.plan = &px_;
    rowsJob.srcRe = a;
    rowsJob.srcIm = src.im.empty() ? nullptr : b;
    rowsJob.dstRe = c;
    rowsJob.dstIm = d;
    rowsJob.width = valid.ny;
    rowsJob.validIn = valid.nx;
    rowsJob.validOut = nx;
    rowsJob.buffer = lanes_.get();
    k.rows(rowsJob);

    LineJob columnsJob;
    columnsJob.plan = &py_;
    columnsJob.srcRe = columnsJob.dstRe = c;
    columnsJob.srcIm = columnsJob.dstIm = d;
    columnsJob.width = nx;
    columnsJob.validIn = valid.ny;
    columnsJob.validOut = ny;
    columnsJob.scale = scale;
    columnsJob.buffer = lanes_.get();
    k.columns(columnsJob);

    for (int y = 0; y < ny; ++y) {
      a[y] = dst.re.row(z, y);
      b[y] = dst.im.row(z, y);
    }
    k.copyRows(c, a, ny, nx);
    if (!dst.im.empty()) k.copyRows(d, b, ny, nx);
  }
}

void Transform3d::alongZ(const ComplexPlanes& planes, int validZ, int keepZ, float scale) {
  if (e_.nz == 1 && scale == 1.0f) return;
  const Kernels& k = kernels();
  const int nz = e_.nz, nx = e_.nx;
  float** a = ptrs_.get();
  float** b = a + longest_;
  float** c = b + longest_;
  float** d = c + longest_;
  for (int z = 0; z < nz; ++z) {
    a[z] = slab_.re(z);
    b[z] = slab_.im(z);
  }
  const bool hasIm = !planes.im.empty();
  for (int y = 0; y < e_.ny; ++y)
    for (int x0 = 0; x0 < nx; x0 += kSlabColumns) {
      const int w = std::min(kSlabColumns, nx - x0);
      for (int z = 0; z < nz; ++z) {
        c[z] = planes.re.row(z, y) + x0;
        d[z] = hasIm ? planes.im.row(z, y) + x0 : nullptr;
      }
      k.copyRows(c, a, validZ, w);
      k.copyRows(hasIm ? d : nullptr, b, validZ, w);
      LineJob job;
      job.plan = &pz_;
      job.srcRe = job.dstRe = a;
      job.srcIm = job.dstIm = b;
      job.width = w;
      job.validIn = validZ;
      job.validOut = keepZ;
      job.scale = scale;
      job.buffer = lanes_.get();
      k.columns(job);
      k.copyRows(a, c, keepZ, w);
      if (hasIm) k.copyRows(b, d, keepZ, w);
    }
}

void Transform3d::framesInto(const ComplexPlanes& planes, const ComplexPlanes& sink, Extents keep,
                             float scale, bool accumulate) {
  const Kernels& k = kernels();
  const int ny = e_.ny, nx = e_.nx;
  float** a = ptrs_.get();
  float** b = a + longest_;
  float** c = b + longest_;
  float** d = c + longest_;
  for (int y = 0; y < ny; ++y) {
    a[y] = frame_.re(y);
    b[y] = frame_.im(y);
  }
  for (int z = 0; z < keep.nz; ++z) {
    for (int y = 0; y < ny; ++y) {
      c[y] = planes.re.row(z, y);
      d[y] = planes.im.row(z, y);
    }
    k.copyRows(c, a, ny, nx);
    k.copyRows(planes.im.empty() ? nullptr : d, b, ny, nx);
    LineJob columnsJob;
    columnsJob.plan = &py_;
    columnsJob.srcRe = columnsJob.dstRe = a;
    columnsJob.srcIm = columnsJob.dstIm = b;
    columnsJob.width = nx;
    columnsJob.validIn = ny;
    columnsJob.validOut = keep.ny;
    columnsJob.buffer = lanes_.get();
    k.columns(columnsJob);

    for (int y = 0; y < keep.ny; ++y) {
      c[y] = sink.re.row(z, y);
      d[y] = sink.im.row(z, y);
    }
    LineJob rowsJob;
    rowsJob.plan = &px_;
    rowsJob.srcRe = a;
    rowsJob.srcIm = b;
    rowsJob.dstRe = sink.re.empty() ? nullptr : c;
    rowsJob.dstIm = sink.im.empty() ? nullptr : d;
    rowsJob.width = keep.ny;
    rowsJob.validIn = nx;
    rowsJob.validOut = keep.nx;
    rowsJob.scale = scale;
    rowsJob.accumulate = accumulate;
    rowsJob.buffer = lanes_.get();
    k.rows(rowsJob);
  }
}

// ---- WorkVolume ---------------------------------------------------------------------

int WorkVolume::allocate(Extents e) {
  e_ = e;
  if (!boxCount(e.nz, e.ny, e.nx, count_)) return kCannotAllocateVolume;
  re_ = ScratchArray<float>(count_);
  im_ = ScratchArray<float>(count_);
  if (!re_ || !im_) return kCannotAllocateVolume;
  return 0;
}

ComplexPlanes WorkVolume::planes() const {
  ComplexPlanes p;
  for (Plane* q : {&p.re, &p.im}) {
    q->frameStride = static_cast<std::size_t>(e_.ny) * e_.nx;
    q->rowStride = static_cast<std::size_t>(e_.nx);
  }
  p.re.base = re_.get();
  p.im.base = im_.get();
  return p;
}

// ---- Checks and sources -------------------------------------------------------------

int checkFloatVolumes(std::initializer_list<Volume*> volumes) {
  for (Volume* v : volumes)
    if (int code = CheckVolume(v, V3D_F, V3D_ONE_CHANNEL); code != 0) return code;
  return 0;
}

int checkPairPlacement(Volume* re, Volume* im, Volume* outA, Volume* outB, int dz, int dy, int dx) {
  if (dz < 0 || dy < 0 || dx < 0) return kInvalidParameters;
  if (im->Z < re->Z || im->Y < re->Y || im->X < re->X) return kInvalidInputDimensions;
  const Box voi = voiOf(*re);
  for (const Volume* out : {outA, outB})
    if (!boxFits(*out, dz, dy, dx, voi.depth(), voi.height(), voi.width()))
      return kInvalidOutputDimensions;
  const bool moved = dz != voi.z0 || dy != voi.y0 || dx != voi.x0;
  if (moved && (sharesStorage(outA, re) || sharesStorage(outB, im))) return kInvalidDestination;
  return 0;
}

int PairSource::prepare(Volume* re, Volume* im, Volume* outA, Volume* outB, int dz, int dy,
                        int dx) {
  const Box voi = voiOf(*re);
  planes.re = volumePlane(*re, voi.z0, voi.y0, voi.x0);
  planes.im = volumePlane(*im, voi.z0, voi.y0, voi.x0);
  const bool moved = dz != voi.z0 || dy != voi.y0 || dx != voi.x0;
  if (!moved || !(sharesStorage(outA, im) || sharesStorage(outB, re))) return 0;
  const Extents e{voi.depth(), voi.height(), voi.width()};
  if (copy_.allocate(e) != 0) return kCannotAllocateBuffer;
  const ComplexPlanes copy = copy_.planes();
  for (int z = 0; z < e.nz; ++z)
    for (int y = 0; y < e.ny; ++y) {
      std::copy_n(planes.re.row(z, y), e.nx, copy.re.row(z, y));
      std::copy_n(planes.im.row(z, y), e.nx, copy.im.row(z, y));
    }
  planes = copy;
  return 0;
}

// ---- Spectral products ----------------------------------------------------------------

namespace {
// From Z(k) = (a, b) and Z(-k) = (c, d): A = (Z(k) + conj Z(-k)) / 2 and
// B = (Z(k) - conj Z(-k)) / 2i, then A.B or A.conj(B).
template <bool Correlation>
inline void product(float a, float b, float c, float d, float& pr, float& pi) {
  const float ar = 0.5f * (a + c), ai = 0.5f * (b - d);
  const float br = 0.5f * (b + d), bi = 0.5f * (c - a);
  if (Correlation) {
    pr = ar * br + ai * bi;
    pi = ai * br - ar * bi;
  } else {
    pr = ar * br - ai * bi;
    pi = ar * bi + ai * br;
  }
}

// Rows r and its mirror m (r < m, or r == m for a row that is its own mirror).
template <bool Correlation>
void productRows(float* rr, float* ri, float* mr, float* mi, int nx, bool selfMirror) {
  // x = 0 pairs with 0, and x with nx - x.
  float pr, pi;
  product<Correlation>(rr[0], ri[0], mr[0], mi[0], pr, pi);
  rr[0] = pr;
  ri[0] = pi;
  mr[0] = pr;
  mi[0] = selfMirror ? pi : -pi;
  const int last = selfMirror ? nx / 2 : nx - 1;
  for (int x = 1; x <= last; ++x) {
    const int xm = nx - x;
    product<Correlation>(rr[x], ri[x], mr[xm], mi[xm], pr, pi);
    rr[x] = pr;
    ri[x] = pi;
    mr[xm] = pr;
    mi[xm] = -pi;
  }
}
}  // namespace

void pairProduct(const WorkVolume& work, Extents e, bool correlation) {
  const std::size_t plane = static_cast<std::size_t>(e.ny) * e.nx;
  for (int z = 0; z < e.nz; ++z) {
    const int zm = (e.nz - z) & (e.nz - 1);
    for (int y = 0; y < e.ny; ++y) {
      const int ym = (e.ny - y) & (e.ny - 1);
      const std::size_t r = z * plane + static_cast<std::size_t>(y) * e.nx;
      const std::size_t m = zm * plane + static_cast<std::size_t>(ym) * e.nx;
      if (r > m) continue;
      float* rr = work.re() + r;
      float* ri = work.im() + r;
      float* mr = work.re() + m;
      float* mi = work.im() + m;
      if (correlation)
        productRows<true>(rr, ri, mr, mi, e.nx, r == m);
      else
        productRows<false>(rr, ri, mr, mi, e.nx, r == m);
    }
  }
}

}  // namespace v3d::fft
