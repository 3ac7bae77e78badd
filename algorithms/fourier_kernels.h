// The kernels of the transform engine (fourier_engine.h), written once and compiled once per
// instruction set. The including file defines V3D_FFT_TARGET (the namespace of its copy)
// and V3D_FFT_LANES (4 for the baseline, 8 for AVX2: one vector register of floats) and
// sets the compiler's target. (An AVX-512 copy with 16 lanes was no faster: the transforms
// wait on memory, and its cosine transform was 10% slower with the larger lane buffers.)
//
// Lane buffer of this copy: element k at buffer + k * 2L, its L real parts first. Every
// operation on lanes is one operation on a vector of L floats (GCC/Clang vector types),
// so the code is the same for every instruction set and stays in registers.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

#include "algorithms/fourier_engine.h"

#if V3D_FFT_LANES > 4
#include <immintrin.h>
#endif

#ifndef V3D_FFT_TARGET
#error "the including file names the instruction set in V3D_FFT_TARGET"
#endif

namespace v3d::fft::V3D_FFT_TARGET {

constexpr int L = V3D_FFT_LANES;
constexpr int E = 2 * L;
static_assert(L <= kLanes && (L & (L - 1)) == 0);

typedef float Vec __attribute__((vector_size(L * sizeof(float))));

#define V3D_FFT_INLINE [[gnu::always_inline]] inline

V3D_FFT_INLINE Vec load(const float* p) {
  Vec v;
  std::memcpy(&v, p, sizeof v);
  return v;
}
V3D_FFT_INLINE void store(float* p, Vec v) {
  std::memcpy(p, &v, sizeof v);
}
// x in every lane (written out: 0 + x would have to keep the sign of a -0).
template <std::size_t... I>
V3D_FFT_INLINE Vec splatLanes(float x, std::index_sequence<I...>) {
  return Vec{((void)I, x)...};
}
V3D_FFT_INLINE Vec splat(float x) {
  return splatLanes(x, std::make_index_sequence<L>{});
}

// a * b + c, fused where the instruction set has it.
V3D_FFT_INLINE Vec mulAdd(Vec a, Vec b, Vec c) {
#if V3D_FFT_LANES == 8
  return _mm256_fmadd_ps(a, b, c);
#else
  return a * b + c;
#endif
}

V3D_FFT_INLINE float* element(float* buffer, int k) {
  return buffer + static_cast<std::size_t>(k) * E;
}
V3D_FFT_INLINE const float* element(const float* buffer, int k) {
  return buffer + static_cast<std::size_t>(k) * E;
}

// ---- Butterflies --------------------------------------------------------------------

// Two radix-2 decimation-in-time stages at once, on the elements at j, j + s, j + 2s and
// j + 3s of a group of 4s (bit-reversed order going in): with w = exp(-+2 pi i / 4s),
//   t1 = w^2j x1, t2 = w^j x2, t3 = w^3j x3,
//   y0 = x0 + t1 + (t2 + t3), y2 = x0 + t1 - (t2 + t3),
//   y1 = x0 - t1 -+ i (t2 - t3), y3 = x0 - t1 +- i (t2 - t3).
template <bool Inverse>
V3D_FFT_INLINE void radix4(float* a, float* b, float* c, float* d, const float* w) {
  const Vec w1r = splat(w[0]), w1i = splat(w[1]), w2r = splat(w[2]), w2i = splat(w[3]),
            w3r = splat(w[4]), w3i = splat(w[5]);
  const Vec ar = load(a), ai = load(a + L), br = load(b), bi = load(b + L);
  const Vec cr = load(c), ci = load(c + L), dr = load(d), di = load(d + L);
  const Vec t1r = mulAdd(w2r, br, -(w2i * bi)), t1i = mulAdd(w2r, bi, w2i * br);
  const Vec t2r = mulAdd(w1r, cr, -(w1i * ci)), t2i = mulAdd(w1r, ci, w1i * cr);
  const Vec t3r = mulAdd(w3r, dr, -(w3i * di)), t3i = mulAdd(w3r, di, w3i * dr);
  const Vec s0r = ar + t1r, s0i = ai + t1i, d0r = ar - t1r, d0i = ai - t1i;
  const Vec s1r = t2r + t3r, s1i = t2i + t3i, d1r = t2r - t3r, d1i = t2i - t3i;
  // -i (t2 - t3) forward, +i (t2 - t3) inverse.
  const Vec qr = Inverse ? -d1i : d1i, qi = Inverse ? d1r : -d1r;
  store(a, s0r + s1r);
  store(a + L, s0i + s1i);
  store(c, s0r - s1r);
  store(c + L, s0i - s1i);
  store(b, d0r + qr);
  store(b + L, d0i + qi);
  store(d, d0r - qr);
  store(d + L, d0i - qi);
}

// The first three radix-2 stages at once (spans 1, 2 and 4) on 8 neighbouring elements,
// in registers, for lengths that are odd powers of 2: one pass over the buffer instead of
// a radix-2 pass and a radix-4 pass (10% faster kernels at 128).
template <bool Inverse>
V3D_FFT_INLINE void radix8First(float* e) {
  Vec r[8], i[8];
  for (int k = 0; k < 8; ++k) {
    r[k] = load(e + k * E);
    i[k] = load(e + k * E + L);
  }
  // Spans 1 and 2: twiddles 1 and -+i.
  for (int h = 0; h < 8; h += 4) {
    const Vec a0r = r[h] + r[h + 1], a0i = i[h] + i[h + 1];
    const Vec a1r = r[h] - r[h + 1], a1i = i[h] - i[h + 1];
    const Vec a2r = r[h + 2] + r[h + 3], a2i = i[h + 2] + i[h + 3];
    const Vec a3r = r[h + 2] - r[h + 3], a3i = i[h + 2] - i[h + 3];
    const Vec qr = Inverse ? -a3i : a3i, qi = Inverse ? a3r : -a3r;
    r[h] = a0r + a2r;
    i[h] = a0i + a2i;
    r[h + 2] = a0r - a2r;
    i[h + 2] = a0i - a2i;
    r[h + 1] = a1r + qr;
    i[h + 1] = a1i + qi;
    r[h + 3] = a1r - qr;
    i[h + 3] = a1i - qi;
  }
  // Span 4: twiddles w^j = exp(-+2 pi i j / 8).
  const float h = 0.70710678118654752f;
  const float sign = Inverse ? 1.0f : -1.0f;
  const float wr[4] = {1.0f, h, 0.0f, -h}, wi[4] = {0.0f, sign * h, sign, sign * h};
  for (int j = 0; j < 4; ++j) {
    const Vec cr = splat(wr[j]), ci = splat(wi[j]);
    const Vec tr = mulAdd(cr, r[j + 4], -(ci * i[j + 4]));
    const Vec ti = mulAdd(cr, i[j + 4], ci * r[j + 4]);
    store(e + j * E, r[j] + tr);
    store(e + j * E + L, i[j] + ti);
    store(e + (j + 4) * E, r[j] - tr);
    store(e + (j + 4) * E + L, i[j] - ti);
  }
}

// radix4 at span 1, where every twiddle is 1.
template <bool Inverse>
V3D_FFT_INLINE void radix4First(float* a) {
  float* b = a + E;
  float* c = b + E;
  float* d = c + E;
  const Vec ar = load(a), ai = load(a + L), br = load(b), bi = load(b + L);
  const Vec cr = load(c), ci = load(c + L), dr = load(d), di = load(d + L);
  const Vec s0r = ar + br, s0i = ai + bi, d0r = ar - br, d0i = ai - bi;
  const Vec s1r = cr + dr, s1i = ci + di, d1r = cr - dr, d1i = ci - di;
  const Vec qr = Inverse ? -d1i : d1i, qi = Inverse ? d1r : -d1r;
  store(a, s0r + s1r);
  store(a + L, s0i + s1i);
  store(c, s0r - s1r);
  store(c + L, s0i - s1i);
  store(b, d0r + qr);
  store(b + L, d0i + qi);
  store(d, d0r - qr);
  store(d + L, d0i - qi);
}

// The butterflies of plan.n samples in every lane, natural order coming out.
template <bool Inverse>
void butterflies(const Plan& plan, float* buffer) {
  const int n = plan.n;
  int span = 1;
  if (plan.log2n == 0) return;
  if (plan.log2n == 1) {
    float* a = element(buffer, 0);
    float* b = a + E;
    for (int h = 0; h < E; h += L) {
      const Vec x = load(a + h), y = load(b + h);
      store(a + h, x + y);
      store(b + h, x - y);
    }
    return;
  }
  const float* w = plan.twiddles.get();
  if (plan.log2n & 1) {
    for (int k = 0; k < n; k += 8) radix8First<Inverse>(element(buffer, k));
    span = 8;
  } else {
    // The first radix-4 stage has only the twiddle 1: no multiplications.
    for (int k = 0; k < n; k += 4) radix4First<Inverse>(element(buffer, k));
    span = 4;
    w += 6;
  }
  for (; span < n; span *= 4) {
    const std::size_t step = static_cast<std::size_t>(span) * E;
    for (int group = 0; group < n; group += 4 * span)
      for (int j = 0; j < span; ++j) {
        float* a = element(buffer, group + j);
        radix4<Inverse>(a, a + step, a + 2 * step, a + 3 * step, w + 6 * j);
      }
    w += 6 * static_cast<std::size_t>(span);
  }
}

inline void transform(const Plan& plan, float* buffer) {
  if (plan.inverse)
    butterflies<true>(plan, buffer);
  else
    butterflies<false>(plan, buffer);
}

// ---- Moving lanes in and out ----------------------------------------------------------

// w lanes from s, the rest zero.
V3D_FFT_INLINE void loadLanes(float* d, const float* s, int w) {
  if (w == L) {
    store(d, load(s));
  } else {
    for (int l = 0; l < w; ++l) d[l] = s[l];
    for (int l = w; l < L; ++l) d[l] = 0.0f;
  }
}

V3D_FFT_INLINE void zeroLanes(float* d) {
  store(d, Vec{});
}

// w lanes of s times scale into d, stored or added.
V3D_FFT_INLINE void storeLanes(float* d, const float* s, int w, float scale, bool accumulate) {
  if (w == L) {
    const Vec v = load(s);
    store(d, accumulate ? mulAdd(splat(scale), v, load(d)) : splat(scale) * v);
  } else {
    for (int l = 0; l < w; ++l) d[l] = accumulate ? scale * s[l] + d[l] : scale * s[l];
  }
}

// One half (real lanes at 0, imaginary lanes at L) of the elements: source index s of
// column sequences c..c+w goes to element pos(s); sources from validIn on are zero.
template <class Pos>
V3D_FFT_INLINE void columnsIn(float* buffer, int half, float* const* src, int c, int w, int n,
                              int validIn, Pos pos) {
  for (int s = 0; s < n; ++s) {
    float* e = element(buffer, pos(s)) + half;
    if (src == nullptr || s >= validIn)
      zeroLanes(e);
    else
      loadLanes(e, src[s] + c, w);
  }
}

// Destination index t of column sequences c..c+w takes element pos(t), for t < count.
template <class Pos>
V3D_FFT_INLINE void columnsOut(const float* buffer, int half, float* const* dst, int c, int w,
                               int count, float scale, bool accumulate, Pos pos) {
  if (dst == nullptr) return;
  for (int t = 0; t < count; ++t)
    storeLanes(dst[t] + c, element(buffer, pos(t)) + half, w, scale, accumulate);
}

// In-register transpose of L vectors of L floats, one exchange of index bits per stage:
// after the stage for bit B, vector i holds what had row bit B and column bit B swapped.
template <int B, std::size_t... C>
V3D_FFT_INLINE Vec mixLow(Vec a, Vec b, std::index_sequence<C...>) {
  return __builtin_shufflevector(a, b, static_cast<int>((C & B) ? L + (C ^ B) : C)...);
}
template <int B, std::size_t... C>
V3D_FFT_INLINE Vec mixHigh(Vec a, Vec b, std::index_sequence<C...>) {
  return __builtin_shufflevector(a, b, static_cast<int>((C & B) ? L + C : (C | B))...);
}
template <int B>
V3D_FFT_INLINE void transposeStage(Vec* r) {
  if constexpr (B < L) {
    for (int i = 0; i < L; ++i)
      if ((i & B) == 0) {
        const Vec lo = mixLow<B>(r[i], r[i | B], std::make_index_sequence<L>{});
        const Vec hi = mixHigh<B>(r[i], r[i | B], std::make_index_sequence<L>{});
        r[i] = lo;
        r[i | B] = hi;
      }
  }
}
V3D_FFT_INLINE void transpose(Vec* r) {
  transposeStage<1>(r);
  transposeStage<2>(r);
  transposeStage<4>(r);
  transposeStage<8>(r);
}

// One half of the elements from rows: source index s of row sequences src[0..w) goes to
// element pos(s); sources from validIn on, and lanes from w on, are zero. Whole blocks of
// L sources are transposed in registers (L loads and stores instead of L * L).
template <class Pos>
V3D_FFT_INLINE void rowsIn(float* buffer, int half, float* const* src, int w, int n, int validIn,
                           Pos pos) {
  int s = 0;
  if (src != nullptr) {
    for (; s + L <= validIn; s += L) {
      Vec r[L];
      for (int l = 0; l < L; ++l) r[l] = l < w ? load(src[l] + s) : Vec{};
      transpose(r);
      for (int i = 0; i < L; ++i) store(element(buffer, pos(s + i)) + half, r[i]);
    }
    for (; s < validIn; ++s) {
      float* e = element(buffer, pos(s)) + half;
      for (int l = 0; l < L; ++l) e[l] = l < w ? src[l][s] : 0.0f;
    }
  }
  for (; s < n; ++s) zeroLanes(element(buffer, pos(s)) + half);
}

// Destination index t of row sequences dst[0..w) takes element pos(t), for t < count.
template <class Pos>
V3D_FFT_INLINE void rowsOut(const float* buffer, int half, float* const* dst, int w, int count,
                            float scale, bool accumulate, Pos pos) {
  if (dst == nullptr) return;
  const Vec f = splat(scale);
  int t = 0;
  for (; t + L <= count; t += L) {
    Vec r[L];
    for (int i = 0; i < L; ++i) r[i] = load(element(buffer, pos(t + i)) + half);
    transpose(r);
    for (int l = 0; l < w; ++l) {
      float* d = dst[l] + t;
      store(d, accumulate ? mulAdd(f, r[l], load(d)) : f * r[l]);
    }
  }
  for (; t < count; ++t) {
    const float* e = element(buffer, pos(t)) + half;
    for (int l = 0; l < w; ++l) dst[l][t] = accumulate ? scale * e[l] + dst[l][t] : scale * e[l];
  }
}

// ---- Complex transforms -----------------------------------------------------------------

void columns(const LineJob& job) {
  const Plan& p = *job.plan;
  const std::int32_t* bitrev = p.bitrev.get();
  auto reversed = [bitrev](int s) { return bitrev[s]; };
  auto natural = [](int t) { return t; };
  for (int c = 0; c < job.width; c += L) {
    const int w = std::min(L, job.width - c);
    columnsIn(job.buffer, 0, job.srcRe, c, w, p.n, job.validIn, reversed);
    columnsIn(job.buffer, L, job.srcIm, c, w, p.n, job.validIn, reversed);
    transform(p, job.buffer);
    columnsOut(job.buffer, 0, job.dstRe, c, w, job.validOut, job.scale, job.accumulate, natural);
    columnsOut(job.buffer, L, job.dstIm, c, w, job.validOut, job.scale, job.accumulate, natural);
  }
}

void rows(const LineJob& job) {
  const Plan& p = *job.plan;
  const std::int32_t* bitrev = p.bitrev.get();
  auto reversed = [bitrev](int s) { return bitrev[s]; };
  auto natural = [](int t) { return t; };
  for (int r = 0; r < job.width; r += L) {
    const int w = std::min(L, job.width - r);
    rowsIn(job.buffer, 0, job.srcRe + r, w, p.n, job.validIn, reversed);
    rowsIn(job.buffer, L, job.srcIm ? job.srcIm + r : nullptr, w, p.n, job.validIn, reversed);
    transform(p, job.buffer);
    rowsOut(job.buffer, 0, job.dstRe ? job.dstRe + r : nullptr, w, job.validOut, job.scale,
            job.accumulate, natural);
    rowsOut(job.buffer, L, job.dstIm ? job.dstIm + r : nullptr, w, job.validOut, job.scale,
            job.accumulate, natural);
  }
}

// ---- Cosine transforms ------------------------------------------------------------------
//
// Along one axis of n samples, with v the samples reordered (even indices ascending, then
// odd indices descending) and V = DFT(v): C(k) = 2 Re(exp(-i pi k / 2n) V(k)) is the DCT-II
// with the factor 2, and the inverse rebuilds V(k) = exp(i pi k / 2n) (C(k) - i C(n - k)) / 2
// (C(n) = 0), transforms back and undoes the reordering. Two real sequences a and b share
// one complex transform as a + i b: A(k) = (Z(k) + conj Z(n - k)) / 2 and
// B(k) = (Z(k) - conj Z(n - k)) / 2i. The job's sequences go to the real lanes and the
// imaginary lanes in turn.

// C of both packed sequences from the spectrum in `spectrum`, element k into `out`.
inline void dctCombine(const Plan& p, const float* spectrum, float* out) {
  const int n = p.n;
  for (int k = 0; k < n; ++k) {
    const float* z = element(spectrum, k);
    const float* m = element(spectrum, (n - k) & (n - 1));
    float* o = element(out, k);
    const Vec c = splat(p.quarter[2 * k]), s = splat(p.quarter[2 * k + 1]);
    const Vec zr = load(z), zi = load(z + L), mr = load(m), mi = load(m + L);
    store(o, mulAdd(c, zr + mr, s * (zi - mi)));
    store(o + L, mulAdd(c, zi + mi, -(s * (zr - mr))));
  }
}

// The packed spectrum 2 (V_a(k) + i V_b(k)) from the coefficients in natural order in
// `coefficients`, placed at bit-reversed positions of `spectrum` (the 1/2 is left to the
// caller's scale).
inline void idctSplit(const Plan& p, const float* coefficients, float* spectrum) {
  const int n = p.n;
  for (int pos = 0; pos < n; ++pos) {
    const int k = p.bitrev[pos];
    const float* ck = element(coefficients, k);
    float* z = element(spectrum, pos);
    if (k == 0) {
      store(z, load(ck));
      store(z + L, load(ck + L));
      continue;
    }
    const float* cm = element(coefficients, n - k);
    const Vec c = splat(p.quarter[2 * k]), s = splat(p.quarter[2 * k + 1]);
    const Vec ak = load(ck), am = load(cm), bk = load(ck + L), bm = load(cm + L);
    store(z, mulAdd(c, ak + bm, s * (am - bk)));
    store(z + L, mulAdd(s, ak + bm, c * (bk - am)));
  }
}

// Lanes of the job's sequences from `first` on: wa real lanes, then wb imaginary lanes.
struct Packed {
  int wa, wb;
};
V3D_FFT_INLINE Packed packedLanes(int width, int first) {
  const int left = width - first;
  return {std::min(L, left), std::clamp(left - L, 0, L)};
}

void dctColumns(const LineJob& job) {
  const Plan& p = *job.plan;
  const int n = p.n;
  float* work = job.buffer;
  float* other = job.buffer + static_cast<std::size_t>(n) * E;
  const std::int32_t* position = p.dctPosition.get();
  const std::int32_t* restore = p.dctRestore.get();
  auto reordered = [position](int s) { return position[s]; };
  auto restored = [restore](int t) { return restore[t]; };
  auto natural = [](int t) { return t; };
  for (int c = 0; c < job.width; c += 2 * L) {
    const auto [wa, wb] = packedLanes(job.width, c);
    float* const* second = wb > 0 ? job.srcRe : nullptr;
    float* const* secondOut = wb > 0 ? job.dstRe : nullptr;
    if (!p.inverse) {
      columnsIn(work, 0, job.srcRe, c, wa, n, n, reordered);
      columnsIn(work, L, second, c + L, wb, n, n, reordered);
      transform(p, work);
      dctCombine(p, work, other);
      columnsOut(other, 0, job.dstRe, c, wa, n, job.scale, false, natural);
      columnsOut(other, L, secondOut, c + L, wb, n, job.scale, false, natural);
    } else {
      columnsIn(other, 0, job.srcRe, c, wa, n, n, natural);
      columnsIn(other, L, second, c + L, wb, n, n, natural);
      idctSplit(p, other, work);
      transform(p, work);
      columnsOut(work, 0, job.dstRe, c, wa, n, job.scale, false, restored);
      columnsOut(work, L, secondOut, c + L, wb, n, job.scale, false, restored);
    }
  }
}

void dctRows(const LineJob& job) {
  const Plan& p = *job.plan;
  const int n = p.n;
  float* work = job.buffer;
  float* other = job.buffer + static_cast<std::size_t>(n) * E;
  const std::int32_t* position = p.dctPosition.get();
  const std::int32_t* restore = p.dctRestore.get();
  auto reordered = [position](int s) { return position[s]; };
  auto restored = [restore](int t) { return restore[t]; };
  auto natural = [](int t) { return t; };
  for (int r = 0; r < job.width; r += 2 * L) {
    const auto [wa, wb] = packedLanes(job.width, r);
    float* const* srcA = job.srcRe + r;
    float* const* srcB = wb > 0 ? job.srcRe + r + L : nullptr;
    float* const* dstA = job.dstRe + r;
    float* const* dstB = wb > 0 ? job.dstRe + r + L : nullptr;
    if (!p.inverse) {
      rowsIn(work, 0, srcA, wa, n, n, reordered);
      rowsIn(work, L, srcB, wb, n, n, reordered);
      transform(p, work);
      dctCombine(p, work, other);
      rowsOut(other, 0, dstA, wa, n, job.scale, false, natural);
      rowsOut(other, L, dstB, wb, n, job.scale, false, natural);
    } else {
      rowsIn(other, 0, srcA, wa, n, n, natural);
      rowsIn(other, L, srcB, wb, n, n, natural);
      idctSplit(p, other, work);
      transform(p, work);
      rowsOut(work, 0, dstA, wa, n, job.scale, false, restored);
      rowsOut(work, L, dstB, wb, n, job.scale, false, restored);
    }
  }
}

// ---- Copies ---------------------------------------------------------------------------

// Rows of `width` floats from src[r] (zeros where src or src[r] is null) into dst[r], with
// inline vector moves (no library call per row).
void copyRows(float* const* src, float* const* dst, int rows, int width) {
  for (int r = 0; r < rows; ++r) {
    const float* s = src != nullptr ? src[r] : nullptr;
    float* d = dst[r];
    int x = 0;
    if (s != nullptr) {
      for (; x + L <= width; x += L) store(d + x, load(s + x));
      for (; x < width; ++x) d[x] = s[x];
    } else {
      for (; x + L <= width; x += L) store(d + x, Vec{});
      for (; x < width; ++x) d[x] = 0.0f;
    }
  }
}

inline constexpr Kernels kTable{&columns, &rows, &dctColumns, &dctRows, &copyRows};

}  // namespace v3d::fft::V3D_FFT_TARGET
