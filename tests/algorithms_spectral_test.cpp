// Spectral functions against references written from their descriptions in double
// precision: the correlation as a direct circular sum, the Blackman-Tukey spectrum as that
// sum under the Bartlett window then the DFT, the conversions and the spectrum picture
// sample by sample; and, for every function of the family, allocation failures at each
// step that leave the outputs as they were and release everything.
#include <cmath>
#include <functional>
#include <limits>

#include "algorithms/linear_filters.h"
#include "algorithms/spectral.h"
#include "core/alloc.h"
#include "core/basic_ops.h"
#include "fourier_fixtures.h"

namespace v3d::test {
namespace {

// Circular cross-correlation c(l) = sum_m a(m + l) b(m) over the working size, / n.
Block circularCorrelation(const Block& a, const Block& b, double n) {
  Block c(a.nz, a.ny, a.nx);
  for (int lz = 0; lz < a.nz; ++lz)
    for (int ly = 0; ly < a.ny; ++ly)
      for (int lx = 0; lx < a.nx; ++lx) {
        double s = 0;
        for (int z = 0; z < a.nz; ++z)
          for (int y = 0; y < a.ny; ++y)
            for (int x = 0; x < a.nx; ++x)
              s += a((z + lz) % a.nz, (y + ly) % a.ny, (x + lx) % a.nx).real() * b(z, y, x).real();
        c(lz, ly, lx) = s / n;
      }
  return c;
}

// The box of a volume zero-padded into the corner of a block of extents t.
Block padded(Volume* v, const Box& b, int tz, int ty, int tx) {
  Block p(tz, ty, tx);
  const Block in = readBlock(v, nullptr, b.z0, b.y0, b.x0, b.depth(), b.height(), b.width());
  for (int z = 0; z < std::min(tz, b.depth()); ++z)
    for (int y = 0; y < std::min(ty, b.height()); ++y)
      for (int x = 0; x < std::min(tx, b.width()); ++x) p(z, y, x) = in(z, y, x);
  return p;
}

TEST(Correlation, MatchesTheDirectCircularSumForCrossAutoAndInPlaceUse) {
  auto x = floatVolume(6, 10, 7), y = floatVolume(6, 10, 7), out = floatVolume(9, 18, 12);
  fillRandom(*x, 1);
  fillRandom(*y, 2);
  fill_in_VOI(*x, 1, 3, 1, 9, 2, 6);  // 2 x 8 x 4
  fill_in_VOI(*y, 3, 5, 0, 8, 3, 7);
  const Box xb = voiOf(*x->get()), yb = voiOf(*y->get());
  const double n = 2 * 8 * 4;

  fillRandom(*out, 3);
  const Block outBefore = whole(*out);
  ASSERT_EQ(correlation3d(*x, *y, *out, 1, 2, 3), 0);
  Block want = circularCorrelation(padded(*x, xb, 4, 16, 8), padded(*y, yb, 4, 16, 8), n);
  Block got = readBlock(*out, nullptr, 1, 2, 3, 4, 16, 8);
  EXPECT_LT(relativeError(got, want, want.maxAbs()), 1e-5);
  EXPECT_TRUE(sameOutside(outBefore, whole(*out), {1, 5, 2, 18, 3, 11}));

  // Auto-correlation: y is x.
  ASSERT_EQ(correlation3d(*x, *x, *out, 0, 0, 0), 0);
  want = circularCorrelation(padded(*x, xb, 4, 16, 8), padded(*x, xb, 4, 16, 8), n);
  got = readBlock(*out, nullptr, 0, 0, 0, 4, 16, 8);
  EXPECT_LT(relativeError(got, want, want.maxAbs()), 1e-5);

  // The output may be an input: both are read before anything is written.
  auto big = floatVolume(8, 16, 8);
  fillRandom(*big, 4);
  fill_in_VOI(*big, 0, 4, 0, 8, 0, 4);
  want = circularCorrelation(padded(*big, voiOf(*big->get()), 8, 16, 8),
                             padded(*big, voiOf(*big->get()), 8, 16, 8), 4 * 8 * 4);
  ASSERT_EQ(correlation3d(*big, *big, *big, 0, 0, 0), 0);
  got = readBlock(*big, nullptr, 0, 0, 0, 8, 16, 8);
  EXPECT_LT(relativeError(got, want, want.maxAbs()), 1e-5);
}

TEST(BlackmanTukey, IsTheSpectrumOfTheWindowedAutoCorrelation) {
  OwnedVolume in(V3D_UC, 1, 5, 6, 9);
  fillRandom(in, 5);
  fill_in_VOI(in, 1, 5, 2, 6, 0, 8);  // 4 x 4 x 8
  auto out = floatVolume(9, 8, 17);
  fillRandom(*out, 6);
  const Block before = whole(*out);
  const int mz = 2, my = 3, mx = 8;
  ASSERT_EQ(blackman_tukey_psd3d(in, *out, mz, my, mx), 0);

  Block x(8, 8, 16);
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 4; ++y)
      for (int v = 0; v < 8; ++v) x(z, y, v) = at<UC>(in, 0, 1 + z, 2 + y, v);
  Block r = circularCorrelation(x, x, 4 * 4 * 8);
  auto weight = [](int k, int size, int m) {
    const int lag = std::min(k, size - k);
    return lag < m ? 1.0 - static_cast<double>(lag) / m : 0.0;
  };
  for (int z = 0; z < 8; ++z)
    for (int y = 0; y < 8; ++y)
      for (int v = 0; v < 16; ++v)
        r(z, y, v) *= weight(z, 8, mz) * weight(y, 8, my) * weight(v, 16, mx);
  const Block want = dft3(r, false);
  Block got = readBlock(*out, nullptr, 0, 0, 0, 8, 8, 16);
  for (cplx& v : got.v) v = v.real();
  Block real = want;
  for (cplx& v : real.v) v = v.real();
  EXPECT_LT(relativeError(got, real, real.maxAbs()), 1e-5);
  EXPECT_TRUE(sameOutside(before, whole(*out), {0, 8, 0, 8, 0, 16}));
}

TEST(Conversions, MagnitudeAndPhaseFromTheirDefinitionsAndBack) {
  const float pi = static_cast<float>(std::numbers::pi);
  struct Row {
    float re, im, magnitude, phase;
  } rows[] = {{0, -1, 1, -pi / 2},
              {0, 0, 0, pi / 2},
              {1e-38f, 1, 1, pi / 2},
              {-1e-38f, -2, 2, -pi / 2},
              {-1, 0, 1, pi},
              {3, 4, 5, std::atan2(4.0f, 3.0f)},
              {-2, -2, std::sqrt(8.0f), -3 * pi / 4},
              {3e30f, 4e30f, 5e30f, std::atan2(4.0f, 3.0f)}};
  const int n = static_cast<int>(std::size(rows));
  auto re = floatVolume(1, 1, n), im = floatVolume(1, 1, n);
  auto mag = floatVolume(2, 2, n + 1), ph = floatVolume(2, 2, n + 1);
  for (int i = 0; i < n; ++i) {
    at<float>(*re, 0, 0, 0, i) = rows[i].re;
    at<float>(*im, 0, 0, 0, i) = rows[i].im;
  }
  ASSERT_EQ(reim2magnphase3d(*re, *im, *mag, *ph, 1, 1, 1), 0);
  for (int i = 0; i < n; ++i) {
    EXPECT_FLOAT_EQ(at<float>(*mag, 0, 1, 1, i + 1), rows[i].magnitude) << i;
    EXPECT_FLOAT_EQ(at<float>(*ph, 0, 1, 1, i + 1), rows[i].phase) << i;
  }
  // Back again, in place on the magnitude and phase volumes.
  fill_in_VOI(*mag, 1, 2, 1, 2, 1, n + 1);
  ASSERT_EQ(magnphase2reim3d(*mag, *ph, *mag, *ph, 1, 1, 1), 0);
  for (int i = 0; i < n; ++i) {
    const float scale = std::max(1.0f, rows[i].magnitude);
    EXPECT_NEAR(at<float>(*mag, 0, 1, 1, i + 1), rows[i].re, 1e-6 * scale) << i;
    EXPECT_NEAR(at<float>(*ph, 0, 1, 1, i + 1), rows[i].im, 1e-6 * scale) << i;
  }
  // An output holding the other input with the block moved reads from a copy.
  fill_in_VOI(*mag, 0, 1, 0, 1, 0, n);
  fillRandom(*mag, 7);
  fillRandom(*ph, 8);
  const Block m = readBlock(*mag, *ph, 0, 0, 0, 1, 1, n);
  ASSERT_EQ(reim2magnphase3d(*mag, *ph, *ph, *mag, 0, 1, 1), 0);
  for (int i = 0; i < n; ++i)
    EXPECT_FLOAT_EQ(at<float>(*ph, 0, 0, 1, i + 1), static_cast<float>(std::abs(m.v[i])));
  EXPECT_EQ(reim2magnphase3d(*mag, *ph, *mag, *ph, 0, 1, 1), kInvalidDestination);
}

TEST(SpectrumPicture, LogScaledCentredAndSafeForEverySample) {
  auto re = floatVolume(4, 4, 5), im = floatVolume(4, 4, 5);
  fillRandom(*re, 9);
  fillRandom(*im, 10);
  OwnedVolume out(V3D_UC, 1, 5, 6, 7);
  fillRandom(out, 11);
  const Block before = wholeBytes(out);
  ASSERT_EQ(fft2image3d(*re, *im, out, 1, 2, 2), 0);
  const Block f = readBlock(*re, *im, 0, 0, 0, 4, 4, 5);
  const double scale = 255.0 / std::log(f.maxAbs() + 1.0);
  int peak = 0;
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) {
        // Output j shows input (j + N/2) mod N on every axis.
        const cplx v = f((z + 2) % 4, (y + 2) % 4, (x + 2) % 5);
        const int want = static_cast<int>(scale * std::log(std::abs(v) + 1.0) + 0.5);
        const int got = at<UC>(out, 0, 1 + z, 2 + y, 2 + x);
        EXPECT_NEAR(got, want, 1) << z << " " << y << " " << x;
        peak = std::max(peak, got);
      }
  EXPECT_EQ(peak, 255);
  EXPECT_TRUE(sameOutside(before, wholeBytes(out), {1, 5, 2, 6, 2, 7}));

  // An all-zero spectrum gives an all-zero block and keeps the rest of the output.
  float zero = 0;
  ClearVolume(*re, &zero);
  ClearVolume(*im, &zero);
  ASSERT_EQ(fft2image3d(*re, *im, out, 0, 0, 0), 0);
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 5; ++x) EXPECT_EQ(at<UC>(out, 0, z, y, x), 0);
  EXPECT_EQ(at<UC>(out, 0, 0, 5, 6), before(0, 5, 6).real());

  // NaN stores 0; the largest finite magnitude still maps to 255.
  at<float>(*re, 0, 0, 0, 0) = std::numeric_limits<float>::quiet_NaN();
  at<float>(*re, 0, 1, 1, 1) = 100;
  ASSERT_EQ(fft2image3d(*re, *im, out, 0, 0, 0), 0);
  EXPECT_EQ(at<UC>(out, 0, 2, 2, 3), 0);    // the NaN at the origin, centred
  EXPECT_EQ(at<UC>(out, 0, 3, 3, 4), 255);  // the 100 at (1, 1, 1)
}

// ---- Failures -------------------------------------------------------------------------

struct Call {
  const char* what;
  std::function<int(Volume* a, Volume* b, Volume* out, Volume* out2, Volume* uc)> run;
};

// Inputs a and b are 8 x 8 x 8 F volumes, out and out2 16^3 F volumes, uc an 8^3 UC volume,
// all random.
const Call kCalls[] = {
    {"fft3d", [](Volume* a, Volume* b, Volume* o, Volume* o2,
                 Volume*) { return fft3d(a, b, o, o2, 0, 1, 2, 3); }},
    {"lrcfft3d",
     [](Volume* a, Volume* b, Volume* o, Volume* o2, Volume*) {
       fill_in_VOI(a, 0, 8, 0, 4, 0, 8);
       return lrcfft3d(a, b, o, o2, 1, 0, 0, 0);
     }},
    {"DCT3d", [](Volume* a, Volume*, Volume* o, Volume*, Volume*) { return DCT3d(a, o); }},
    {"IDCT3d", [](Volume* a, Volume*, Volume* o, Volume*, Volume*) { return IDCT3d(a, o); }},
    {"correlation3d", [](Volume* a, Volume* b, Volume* o, Volume*,
                         Volume*) { return correlation3d(a, b, o, 0, 0, 0); }},
    {"blackman_tukey_psd3d", [](Volume*, Volume*, Volume* o, Volume*,
                                Volume* uc) { return blackman_tukey_psd3d(uc, o, 2, 3, 4); }},
    {"reim2magnphase3d", [](Volume* a, Volume* b, Volume* o, Volume* o2,
                            Volume*) { return reim2magnphase3d(a, b, o, o2, 0, 5, 0); }},
    {"magnphase2reim3d",
     [](Volume* a, Volume* b, Volume*, Volume*, Volume*) {
       fill_in_VOI(a, 1, 5, 1, 5, 1, 5);  // outputs hold the other input, the block moves
       return magnphase2reim3d(a, b, b, a, 0, 0, 0);
     }},
    {"fft2image3d", [](Volume* a, Volume* b, Volume*, Volume*,
                       Volume* uc) { return fft2image3d(a, b, uc, 0, 0, 0); }},
    {"convolution3", [](Volume* a, Volume* b, Volume* o, Volume*,
                        Volume*) { return convolution3(a, b, o, 0, 0, 0); }},
    {"overlap_add3",
     [](Volume* a, Volume* b, Volume* o, Volume*, Volume*) {
       fill_in_VOI(b, 0, 3, 0, 3, 0, 3);
       return overlap_add3(a, b, o, 4, 2, 8);
     }},
};

TEST(FourierFamily, AllocationFailuresAtEveryStepWriteNothingAndReleaseEverything) {
  for (const Call& call : kCalls) {
    bool succeeded = false;
    for (long successes = 0; successes < 200 && !succeeded; ++successes) {
      auto a = floatVolume(8, 8, 8), b = floatVolume(8, 8, 8);
      auto o = floatVolume(16, 16, 16), o2 = floatVolume(16, 16, 16);
      OwnedVolume uc(V3D_UC, 1, 8, 8, 8);
      for (Volume* v : {a->get(), b->get(), o->get(), o2->get(), uc.get()}) fillRandom(v, 3);
      const auto before = snapshot(*o), before2 = snapshot(*o2);
      const auto inputs = whole(*a).v, inputs2 = whole(*b).v;
      const auto picture = snapshot(uc);
      const long live = liveStorageBlocks();
      failAllocationsAfter(successes);
      const int code = call.run(*a, *b, *o, *o2, uc);
      failAllocationsAfter(-1);
      EXPECT_EQ(liveStorageBlocks(), live) << call.what;
      if (code == 0) {
        succeeded = true;
        break;
      }
      EXPECT_TRUE(code == kCannotAllocateBuffer || code == kCannotAllocateVolume)
          << call.what << " " << code;
      EXPECT_EQ(snapshot(*o), before) << call.what << " after " << successes;
      EXPECT_EQ(snapshot(*o2), before2) << call.what << " after " << successes;
      // Inputs may be outputs too; their samples (not their VOIs, which calls set) hold.
      EXPECT_EQ(whole(*a).v, inputs) << call.what;
      EXPECT_EQ(whole(*b).v, inputs2) << call.what;
      EXPECT_EQ(snapshot(uc), picture) << call.what;
    }
    EXPECT_TRUE(succeeded) << call.what;
  }
}

TEST(FourierFamily, ArgumentFailuresWriteNothing) {
  auto a = floatVolume(8, 8, 8), b = floatVolume(8, 8, 8), small = floatVolume(8, 8, 4);
  auto o = floatVolume(16, 16, 16), o2 = floatVolume(16, 16, 16);
  OwnedVolume uc(V3D_UC, 1, 8, 8, 8);
  for (Volume* v : {a->get(), b->get(), o->get(), o2->get(), small->get()}) fillRandom(v, 4);
  fillRandom(uc, 5);
  const auto before = snapshot(*o), before2 = snapshot(*o2), beforeUc = snapshot(uc);
  auto odd = floatVolume(8, 6, 8);
  const struct {
    int got, want;
    const char* what;
  } cases[] = {
      {correlation3d(*odd, *b, *o, 0, 0, 0), kVoiNotPowerOfTwo, "correlation: 6 rows"},
      {correlation3d(*a, *b, *o, 0, -1, 0), kInvalidParameters, "correlation: offset"},
      {correlation3d(*a, *small, *o, 0, 0, 0), kInvalidInputDimensions, "correlation: small y"},
      {correlation3d(*a, *b, *o, 1, 0, 0), kInvalidOutputDimensions, "correlation: 2N past out"},
      {blackman_tukey_psd3d(uc, *o, 0, 1, 1), kInvalidParameters, "psd: lag 0"},
      {blackman_tukey_psd3d(uc, *o, 1, 9, 1), kInvalidParameters, "psd: lag past the VOI"},
      {blackman_tukey_psd3d(uc, *small, 1, 1, 1), kInvalidOutputDimensions, "psd: small out"},
      {blackman_tukey_psd3d(*a, *o, 1, 1, 1), kWrongDataType, "psd: F input"},
      {reim2magnphase3d(*a, *small, *o, *o2, 0, 0, 0), kInvalidInputDimensions, "mp: small im"},
      {reim2magnphase3d(*a, *b, *o, *o2, 0, 9, 0), kInvalidOutputDimensions, "mp: past out"},
      {magnphase2reim3d(*a, *b, *o, *o2, -1, 0, 0), kInvalidParameters, "mp: offset"},
      {fft2image3d(*a, *b, *o, 0, 0, 0), kWrongDataType, "picture: F output"},
      {fft2image3d(*a, *b, uc, 0, 0, 1), kInvalidOutputDimensions, "picture: past out"},
      {fft2image3d(*a, *small, uc, 0, 0, 0), kInvalidInputDimensions, "picture: small im"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_EQ(snapshot(*o), before);
  EXPECT_EQ(snapshot(*o2), before2);
  EXPECT_EQ(snapshot(uc), beforeUc);
}

}  // namespace
}  // namespace v3d::test
