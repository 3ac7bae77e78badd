// The FFT-based linear filters against a direct linear convolution written from its
// definition, and the Wiener transfer function on hand-made spectra.
#include <cmath>
#include <limits>

#include "algorithms/linear_filters.h"
#include "fourier_fixtures.h"

namespace v3d::test {
namespace {

// y(n) = sum_m x(m) h(n - m), the full linear convolution of extents x + h - 1.
Block linearConvolution(const Block& x, const Block& h) {
  Block y(x.nz + h.nz - 1, x.ny + h.ny - 1, x.nx + h.nx - 1);
  for (int z = 0; z < x.nz; ++z)
    for (int r = 0; r < x.ny; ++r)
      for (int c = 0; c < x.nx; ++c)
        for (int l = 0; l < h.nz; ++l)
          for (int g = 0; g < h.ny; ++g)
            for (int t = 0; t < h.nx; ++t) y(z + l, r + g, c + t) += x(z, r, c) * h(l, g, t);
  return y;
}

Block real(Volume* v, const Box& b) {
  return readBlock(v, nullptr, b.z0, b.y0, b.x0, b.depth(), b.height(), b.width());
}

TEST(Convolution3, IsTheLinearConvolutionOfTheVoiWithTheKernelOverTheSameBox) {
  auto x = floatVolume(5, 9, 10), h = floatVolume(6, 9, 12), out = floatVolume(10, 18, 19);
  fillRandom(*x, 1);
  fillRandom(*h, 2);
  fillRandom(*out, 3);
  const Box voi{1, 5, 1, 9, 2, 10};  // 4 x 8 x 8
  setVoi(*x, voi);
  const Block before = whole(*out);
  ASSERT_EQ(convolution3(*x, *h, *out, 1, 2, 3), 0);
  const Block want = linearConvolution(real(*x, voi), real(*h, voi));  // 7 x 15 x 15
  EXPECT_LT(paddedError(readBlock(*out, nullptr, 1, 2, 3, 8, 16, 16), want), 1e-5);
  EXPECT_TRUE(sameOutside(before, whole(*out), {1, 9, 2, 18, 3, 19}));

  // The output may be the input: both are read before anything is written.
  auto self = floatVolume(8, 8, 8);
  fillRandom(*self, 4);
  fill_in_VOI(*self, 0, 4, 0, 4, 0, 4);
  const Block s = real(*self, {0, 4, 0, 4, 0, 4});
  ASSERT_EQ(convolution3(*self, *self, *self, 0, 0, 0), 0);
  const Block w = linearConvolution(s, s);
  EXPECT_LT(relativeError(real(*self, {0, 7, 0, 7, 0, 7}), w, w.maxAbs()), 1e-5);
}

TEST(OverlapAdd3, WholeBlocksGiveTheLinearConvolutionFromTheVoiOrigin) {
  struct Case {
    Box voi;
    int bz, by, bx;
    const char* what;
  } cases[] = {
      {{1, 9, 2, 18, 0, 12}, 8, 16, 12, "one block equal to the VOI"},
      {{1, 9, 2, 18, 0, 12}, 4, 8, 6, "eight blocks"},
      {{0, 6, 0, 5, 1, 8}, 2, 5, 7, "three blocks (one alone)"},
      {{0, 7, 0, 11, 1, 9}, 3, 4, 8, "remainders left out"},
  };
  for (const Case& k : cases) {
    auto x = floatVolume(10, 19, 13), h = floatVolume(3, 5, 4), out = floatVolume(13, 24, 17);
    fillRandom(*x, 5);
    fillRandom(*h, 6);
    fillRandom(*out, 7);
    setVoi(*x, k.voi);
    const Block before = whole(*out);
    ASSERT_EQ(overlap_add3(*x, *h, *out, k.bz, k.by, k.bx), 0) << k.what;

    // The reference convolves only the whole blocks' part of the VOI.
    const Box used{k.voi.z0, k.voi.z0 + k.voi.depth() / k.bz * k.bz,
                   k.voi.y0, k.voi.y0 + k.voi.height() / k.by * k.by,
                   k.voi.x0, k.voi.x0 + k.voi.width() / k.bx * k.bx};
    const Block want = linearConvolution(real(*x, used), whole(*h));
    const Box area{k.voi.z0, k.voi.z1 + 2, k.voi.y0, k.voi.y1 + 4, k.voi.x0, k.voi.x1 + 3};
    EXPECT_LT(paddedError(real(*out, area), want), 1e-5) << k.what;
    EXPECT_TRUE(sameOutside(before, whole(*out), area)) << k.what;
  }

  // A long axis: the filtered part (4000 of 4096 columns) goes through many transforms,
  // in pairs and one alone, whose pieces add up to the same convolution.
  {
    auto x = floatVolume(2, 3, 4096), h = floatVolume(2, 2, 3), out = floatVolume(3, 4, 4098);
    fillRandom(*x, 11);
    fillRandom(*h, 12);
    fillRandom(*out, 13);
    ASSERT_EQ(overlap_add3(*x, *h, *out, 2, 3, 1000), 0);
    const Block want = linearConvolution(real(*x, {0, 2, 0, 3, 0, 4000}), whole(*h));
    EXPECT_LT(paddedError(real(*out, {0, 3, 0, 4, 0, 4098}), want), 1e-5);
  }

  // The output may be x itself.
  auto x = floatVolume(10, 12, 12), h = floatVolume(3, 3, 3);
  fillRandom(*x, 8);
  fillRandom(*h, 9);
  fill_in_VOI(*x, 0, 8, 0, 8, 0, 8);
  const Block want = linearConvolution(real(*x, {0, 8, 0, 8, 0, 8}), whole(*h));
  ASSERT_EQ(overlap_add3(*x, *h, *x, 4, 4, 8), 0);
  EXPECT_LT(relativeError(real(*x, {0, 10, 0, 10, 0, 10}), want, want.maxAbs()), 1e-5);
}

TEST(FftFilters, ArgumentFailuresWriteNothing) {
  auto x = floatVolume(8, 8, 8), h = floatVolume(8, 8, 8), small = floatVolume(8, 8, 4);
  auto out = floatVolume(16, 16, 16), odd = floatVolume(8, 6, 8), big = floatVolume(9, 3, 3);
  for (Volume* v : {x->get(), h->get(), small->get(), out->get()}) fillRandom(v, 10);
  const auto before = snapshot(*out);
  const struct {
    int got, want;
    const char* what;
  } cases[] = {
      {convolution3(*x, *h, *out, -1, 0, 0), kInvalidParameters, "convolution: offset"},
      {convolution3(*x, *small, *out, 0, 0, 0), kInvalidInputDimensions, "convolution: small h"},
      {convolution3(*x, *h, *out, 0, 0, 1), kInvalidOutputDimensions, "convolution: past out"},
      {convolution3(*odd, *h, *out, 0, 0, 0), kVoiNotPowerOfTwo, "convolution: 6 rows"},
      {overlap_add3(*x, *h, *out, 0, 4, 4), kInvalidParameters, "overlap-add: block 0"},
      {overlap_add3(*x, *h, *out, 4, 9, 4), kInvalidParameters, "overlap-add: block too big"},
      {overlap_add3(*x, *big, *out, 4, 4, 4), kInvalidInputDimensions, "overlap-add: kernel"},
      {overlap_add3(*x, *h, *small, 4, 4, 4), kInvalidOutputDimensions, "overlap-add: out"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want) << c.what;
  EXPECT_EQ(snapshot(*out), before);
}

TEST(Wiener, TransferFunctionOnHandMadeSpectra) {
  // (S, Hr, Hi, v) -> (Hr g, -Hi g), g = S / (v + S (Hr^2 + Hi^2)).
  const float inf = std::numeric_limits<float>::infinity();
  const struct {
    float s, hr, hi, v, re, im;
  } rows[] = {{5, 1, 0, 0, 1, 0},
              {2, 0, 1, 0, 0, -1},
              {1, 1, 1, 2, 0.25f, -0.25f},
              {4, 2, 0, 0, 0.5f, 0},
              {3, 0.5f, -0.5f, 1.5f, 0.5f, 0.5f},
              {0, 1, 1, 1, 0, 0},
              {1, 1, 0, inf, 0, 0}};
  const int n = static_cast<int>(std::size(rows));
  auto outRe = floatVolume(1, 2, n + 1), outIm = floatVolume(1, 2, n + 1);
  auto s = floatVolume(1, 2, n + 1), hr = floatVolume(1, 2, n + 1), hi = floatVolume(1, 2, n + 1);
  fillRandom(*outRe, 11);
  fillRandom(*outIm, 12);
  const Block keptRe = whole(*outRe), keptIm = whole(*outIm);
  for (int i = 0; i < n; ++i) {
    fill_in_VOI(*outRe, 0, 1, 1, 2, 1 + i, 2 + i);
    at<float>(*s, 0, 0, 1, 1 + i) = rows[i].s;
    at<float>(*hr, 0, 0, 1, 1 + i) = rows[i].hr;
    at<float>(*hi, 0, 0, 1, 1 + i) = rows[i].hi;
    ASSERT_EQ(wienerfrequency3(*outRe, *outIm, *s, *hr, *hi, rows[i].v), 0) << i;
    EXPECT_FLOAT_EQ(at<float>(*outRe, 0, 0, 1, 1 + i), rows[i].re) << i;
    EXPECT_FLOAT_EQ(at<float>(*outIm, 0, 0, 1, 1 + i), rows[i].im) << i;
  }
  // Only the VOI of the first output is written.
  EXPECT_TRUE(sameOutside(keptRe, whole(*outRe), {0, 1, 1, 2, 1, n + 1}));
  EXPECT_TRUE(sameOutside(keptIm, whole(*outIm), {0, 1, 1, 2, 1, n + 1}));

  fill_in_VOI(*outRe, 0, 1, 0, 2, 0, n + 1);
  auto narrow = floatVolume(1, 2, n);
  const auto before = snapshot(*outRe);
  EXPECT_EQ(wienerfrequency3(*outRe, *narrow, *s, *hr, *hi, 1), kInvalidOutputDimensions);
  EXPECT_EQ(wienerfrequency3(*outRe, *outIm, *s, *narrow, *hi, 1), kInvalidInputDimensions);
  EXPECT_EQ(wienerfrequency3(*outRe, *outIm, *s, *hr, *hi, -1), kInvalidParameters);
  EXPECT_EQ(wienerfrequency3(*outRe, *outIm, *s, *hr, *hi, std::nanf("")), kInvalidParameters);
  EXPECT_EQ(snapshot(*outRe), before);
}

}  // namespace
}  // namespace v3d::test
