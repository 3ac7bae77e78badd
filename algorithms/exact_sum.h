// Exact weighted sums of 8-bit samples with float weights, as fast integer arithmetic.
//
// Every finite float is an integer times a power of two. Scaling all weights by the power
// of the smallest non-zero one turns them into 64-bit integers without loss; a sum of
// samples times those integers is then exact, and one final rounding to float gives the
// same value that an extended-precision (64-bit mantissa) accumulation rounds to, since
// such an accumulation is exact too whenever the integer sum fits in 62 bits. Weights that
// are not finite or too far apart in magnitude for that bound leave exact() false, and the
// caller accumulates in long double instead, in the same order as a plain loop.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "core/alloc.h"

namespace v3d {

class ExactDot {
 public:
  // weights[0..n), samples in 0..maxSample.
  ExactDot(const float* weights, std::size_t n, int maxSample) : scaled_(n) {
    if (!scaled_) return;
    int q = INT32_MAX;
    for (std::size_t k = 0; k < n; ++k) {
      const float w = weights[k];
      if (!std::isfinite(w)) return;
      if (w == 0.0f) continue;
      int e = 0;
      std::frexp(w, &e);
      if (e - 24 < q) q = e - 24;
    }
    if (q == INT32_MAX) q = 0;
    long double magnitude = 0.0L;
    for (std::size_t k = 0; k < n; ++k) {
      const long double s = std::ldexp(static_cast<long double>(weights[k]), -q);
      magnitude += std::fabs(s);
      if (!(magnitude * maxSample < 0x1p61L)) return;
      scaled_[k] = static_cast<std::int64_t>(s);
    }
    scale_ = std::ldexp(1.0, q);
    wideScale_ = std::ldexp(1.0L, q);
    exact_ = true;
    fitsDouble_ = magnitude * maxSample < 0x1p53L;
  }
  // False only when the scratch could not be allocated.
  explicit operator bool() const { return static_cast<bool>(scaled_); }
  bool exact() const { return exact_; }
  // Whether every partial sum is an integer below 2^53, so that double arithmetic on the
  // scaled weights is exact too (and vectorises, unlike 64-bit integer products).
  bool fitsDouble() const { return fitsDouble_; }
  double scaledDouble(std::size_t k) const { return static_cast<double>(scaled_[k]); }
  std::int64_t scaled(std::size_t k) const { return scaled_[k]; }
  // The float nearest to the exact sum whose scaled integer value is `acc`. Scaling by a
  // power of two is exact, so the one rounding is the conversion to float; below 2^53 a
  // double holds the value exactly and is much cheaper than long double arithmetic (conv3
  // at 3 x 3 x 3: 2.2x faster overall).
  float toFloat(std::int64_t acc) const {
    if (acc > -(std::int64_t{1} << 53) && acc < (std::int64_t{1} << 53))
      return static_cast<float>(static_cast<double>(acc) * scale_);
    return static_cast<float>(static_cast<long double>(acc) * wideScale_);
  }
  // The same for a sum accumulated in doubles while fitsDouble() holds.
  float toFloat(double acc) const { return static_cast<float>(acc * scale_); }

 private:
  ScratchArray<std::int64_t> scaled_;
  double scale_ = 1.0;
  long double wideScale_ = 1.0L;
  bool exact_ = false;
  bool fitsDouble_ = false;
};

}  // namespace v3d
