// Fourier and cosine transforms against plain double-precision references (the DFT and the
// cosine sum straight from their definitions), with the round trip, a constant volume's
// spectrum and Parseval as properties, on every instruction-set path; every failure code
// leaves the outputs as they were.
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "core/basic_ops.h"
#include "fourier_fixtures.h"

namespace v3d::test {
namespace {

using Transform = int (*)(Volume*, Volume*, Volume*, Volume*, int, int, int, int);

struct Shape {
  int nz, ny, nx;
};

// A complex input with its VOI one sample inside a larger volume, and an output pair with
// room for a destination offset; all four hold random samples.
struct PairCase {
  std::unique_ptr<OwnedVolume> re, im, outRe, outIm;
  Box voi;
  int dz = 2, dy = 0, dx = 1;
  Box block() const { return {dz, dz + voi.depth(), dy, dy + voi.height(), dx, dx + voi.width()}; }
};

PairCase makeCase(Shape s, unsigned seed) {
  PairCase c;
  c.re = floatVolume(s.nz + 2, s.ny + 2, s.nx + 2);
  c.im = floatVolume(s.nz + 2, s.ny + 2, s.nx + 2);
  c.outRe = floatVolume(s.nz + 3, s.ny + 3, s.nx + 3);
  c.outIm = floatVolume(s.nz + 3, s.ny + 3, s.nx + 3);
  for (Volume* v : {c.re->get(), c.im->get(), c.outRe->get(), c.outIm->get()})
    fillRandom(v, seed++);
  c.voi = {1, 1 + s.nz, 1, 1 + s.ny, 1, 1 + s.nx};
  setVoi(*c.re, c.voi);
  return c;
}

Block input(PairCase& c) {
  return readBlock(*c.re, *c.im, c.voi.z0, c.voi.y0, c.voi.x0, c.voi.depth(), c.voi.height(),
                   c.voi.width());
}
Block output(PairCase& c) {
  return readBlock(*c.outRe, *c.outIm, c.dz, c.dy, c.dx, c.voi.depth(), c.voi.height(),
                   c.voi.width());
}

// ---- The DFT --------------------------------------------------------------------------

// Z from 1 to 256, Y and X from 2 to 256, mixed; the long axes one at a time so that the
// reference stays cheap.
const Shape kShapes[] = {{1, 2, 2},   {2, 2, 2},    {1, 64, 8},  {8, 8, 4},   {4, 2, 32},
                         {8, 8, 8},   {16, 16, 16}, {32, 8, 64}, {2, 128, 2}, {256, 2, 4},
                         {2, 256, 4}, {2, 4, 256},  {1, 32, 32}, {32, 32, 32}};

TEST(FourierTransform, EveryPathMatchesTheReferenceDftAndWritesOnlyTheBlock) {
  forEachKernelSet([] {
    unsigned seed = 10;
    for (const Shape s : kShapes)
      for (int direction : {0, 1})
        for (Transform f : {&fft3d, &lrcfft3d, &vrfft3d}) {
          const bool cubic = s.nz == s.ny && s.ny == s.nx;
          if (f == &vrfft3d && !cubic) continue;
          PairCase c = makeCase(s, seed += 7);
          const Block reBefore = whole(*c.outRe), imBefore = whole(*c.outIm);
          ASSERT_EQ(f(*c.re, *c.im, *c.outRe, *c.outIm, direction, c.dz, c.dy, c.dx), 0);
          const Block want = dft3(input(c), direction == 1);
          EXPECT_LT(relativeError(output(c), want, want.maxAbs()), 1e-5)
              << s.nz << "x" << s.ny << "x" << s.nx << " direction " << direction;
          EXPECT_TRUE(sameOutside(reBefore, whole(*c.outRe), c.block()));
          EXPECT_TRUE(sameOutside(imBefore, whole(*c.outIm), c.block()));
        }
  });
}

TEST(FourierTransform, ForwardThenInverseRestoresTheInputInPlace) {
  forEachKernelSet([] {
    for (const Shape s : {Shape{64, 64, 64}, Shape{1, 256, 128}, Shape{128, 16, 4}}) {
      auto re = floatVolume(s.nz, s.ny, s.nx), im = floatVolume(s.nz, s.ny, s.nx);
      fillRandom(*re, 1);
      fillRandom(*im, 2);
      const Block start = readBlock(*re, *im, 0, 0, 0, s.nz, s.ny, s.nx);
      ASSERT_EQ(fft3d(*re, *im, *re, *im, 0, 0, 0, 0), 0);
      ASSERT_EQ(fft3d(*re, *im, *re, *im, 1, 0, 0, 0), 0);
      const Block back = readBlock(*re, *im, 0, 0, 0, s.nz, s.ny, s.nx);
      EXPECT_LT(relativeError(back, start, start.maxAbs()), 1e-6) << s.nz << "x" << s.ny;
    }
  });
}

TEST(FourierTransform, ConstantVolumeAndParseval) {
  // A constant c over N samples has c N at the origin and 0 elsewhere.
  PairCase c = makeCase({8, 16, 4}, 3);
  float value = 2.5f, zero = 0.0f;
  ClearVolume(*c.re, &value);
  ClearVolume(*c.im, &zero);
  ASSERT_EQ(fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, c.dz, c.dy, c.dx), 0);
  const Block spectrum = output(c);
  const double n = 8 * 16 * 4;
  EXPECT_NEAR(spectrum(0, 0, 0).real(), 2.5 * n, 1e-3);
  double elsewhere = 0;
  for (std::size_t i = 1; i < spectrum.v.size(); ++i)
    elsewhere = std::max(elsewhere, std::abs(spectrum.v[i]));
  EXPECT_LT(elsewhere, 1e-3);

  // Parseval: sum |X|^2 = N sum |x|^2.
  PairCase r = makeCase({4, 32, 16}, 4);
  ASSERT_EQ(fft3d(*r.re, *r.im, *r.outRe, *r.outIm, 0, r.dz, r.dy, r.dx), 0);
  double energyIn = 0, energyOut = 0;
  for (const cplx& v : input(r).v) energyIn += std::norm(v);
  for (const cplx& v : output(r).v) energyOut += std::norm(v);
  EXPECT_NEAR(energyOut / (energyIn * 4 * 32 * 16), 1.0, 1e-5);
}

TEST(FourierTransform, InPlaceNeedsTheMatchingOriginAndSharedInputsAreReadFirst) {
  // Outputs that are the inputs, destination at the VOI origin: the plain transform.
  PairCase c = makeCase({4, 8, 8}, 5);
  const Block want = dft3(input(c), false);
  ASSERT_EQ(fft3d(*c.re, *c.im, *c.re, *c.im, 0, 1, 1, 1), 0);
  Block got = readBlock(*c.re, *c.im, 1, 1, 1, 4, 8, 8);
  EXPECT_LT(relativeError(got, want, want.maxAbs()), 1e-5);

  // The same storage with the block moved: refused, nothing written.
  const auto before = snapshot(*c.re);
  EXPECT_EQ(fft3d(*c.re, *c.im, *c.re, *c.outIm, 0, 0, 1, 1), kInvalidDestination);
  EXPECT_EQ(fft3d(*c.re, *c.im, *c.outRe, *c.im, 0, 1, 1, 0), kInvalidDestination);
  EXPECT_EQ(snapshot(*c.re), before);

  // An output holding the other input's samples with the block moved: computed from a copy.
  PairCase d = makeCase({4, 8, 8}, 6);
  const Block in = input(d);
  ASSERT_EQ(fft3d(*d.re, *d.im, *d.im, *d.outIm, 0, 0, 2, 2), 0);
  const Block moved = readBlock(*d.im, *d.outIm, 0, 2, 2, 4, 8, 8);
  const Block ref = dft3(in, false);
  EXPECT_LT(relativeError(moved, ref, ref.maxAbs()), 1e-5);
}

TEST(FourierTransform, NanAndInfinityGoThroughTheArithmetic) {
  PairCase c = makeCase({4, 4, 4}, 7);
  at<float>(*c.re, 0, 2, 2, 2) = std::numeric_limits<float>::quiet_NaN();
  ASSERT_EQ(fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, c.dz, c.dy, c.dx), 0);
  // Every coefficient takes the sample with a weight of modulus 1: a NaN in its real or
  // imaginary part (where the weight's other part is exactly 0, only one of them).
  for (const cplx& v : output(c).v) EXPECT_TRUE(std::isnan(v.real()) || std::isnan(v.imag()));
  at<float>(*c.re, 0, 2, 2, 2) = std::numeric_limits<float>::infinity();
  ASSERT_EQ(fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, c.dz, c.dy, c.dx), 0);
  EXPECT_FALSE(std::isfinite(output(c)(0, 0, 0).real()));  // inf, or NaN from inf * 0
}

// ---- Failures -------------------------------------------------------------------------

struct Failure {
  const char* what;
  int expected;
  std::function<int(PairCase&)> call;
};

TEST(FourierTransform, EveryFailureLeavesTheOutputsUntouched) {
  const Failure failures[] = {
      {"null volume", kNullVolume,
       [](PairCase& c) { return fft3d(nullptr, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 0); }},
      {"UC output", kWrongDataType,
       [](PairCase& c) {
         OwnedVolume uc(V3D_UC, 1, 8, 8, 8);
         return fft3d(*c.re, *c.im, *c.outRe, uc, 0, 0, 0, 0);
       }},
      {"6 columns", kVoiNotPowerOfTwo,
       [](PairCase& c) {
         fill_in_VOI(*c.re, 1, 9, 1, 9, 1, 7);
         return fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 0);
       }},
      {"vrfft3d: not cubic before not power of 2", kVoiNotCubic,
       [](PairCase& c) {
         fill_in_VOI(*c.re, 1, 9, 1, 9, 1, 7);
         return vrfft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 0);
       }},
      {"direction 2", kInvalidParameters,
       [](PairCase& c) { return fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 2, 0, 0, 0); }},
      {"negative offset", kInvalidParameters,
       [](PairCase& c) { return lrcfft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, -1, 0); }},
      {"small imaginary input", kInvalidInputDimensions,
       [](PairCase& c) {
         auto small = floatVolume(10, 10, 9);
         return fft3d(*c.re, *small, *c.outRe, *c.outIm, 0, 0, 0, 0);
       }},
      {"block past the output", kInvalidOutputDimensions,
       [](PairCase& c) { return fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 4, 0, 0); }},
      {"moved in place", kInvalidDestination,
       [](PairCase& c) { return fft3d(*c.re, *c.im, *c.re, *c.outIm, 0, 0, 0, 0); }},
      {"one row", kInvalidWorkingArea,
       [](PairCase& c) {
         fill_in_VOI(*c.re, 1, 5, 1, 2, 1, 9);
         return fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 0);
       }},
      {"2-D stage: destination past the frames", kSourceExceedsDestination,
       [](PairCase& c) { return fft2dFrames(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 4); }},
      {"no memory for the engine", kCannotAllocateBuffer,
       [](PairCase& c) {
         failAllocationsAfter(0);
         const int code = fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 0);
         failAllocationsAfter(-1);
         return code;
       }},
  };
  for (const Failure& f : failures) {
    PairCase c = makeCase({8, 8, 8}, 11);  // volumes 10^3, outputs 11^3
    const auto re = snapshot(*c.outRe), im = snapshot(*c.outIm);
    const long live = liveStorageBlocks();
    EXPECT_EQ(f.call(c), f.expected) << f.what;
    EXPECT_EQ(snapshot(*c.outRe), re) << f.what;
    EXPECT_EQ(snapshot(*c.outIm), im) << f.what;
    EXPECT_EQ(liveStorageBlocks(), live) << f.what;
  }
}

TEST(FourierTransform, CubicVoisTakeTheVectorRadixEntryAndOthersTheRowColumnOne) {
  PairCase c = makeCase({8, 8, 8}, 12);
  EXPECT_EQ(vrfft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 0), 0);
  fill_in_VOI(*c.re, 1, 9, 1, 9, 1, 5);
  EXPECT_EQ(vrfft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 0), kVoiNotCubic);
  EXPECT_EQ(lrcfft3d(*c.re, *c.im, *c.outRe, *c.outIm, 0, 0, 0, 0), 0);
  // A single sample is a cube: its transform is itself.
  fill_in_VOI(*c.re, 3, 4, 3, 4, 3, 4);
  EXPECT_EQ(fft3d(*c.re, *c.im, *c.outRe, *c.outIm, 1, 0, 0, 0), 0);
  EXPECT_EQ(at<float>(*c.outRe, 0, 0, 0, 0), at<float>(*c.re, 0, 3, 3, 3));
  EXPECT_EQ(lrcfft3d(*c.re, *c.im, *c.outRe, *c.outIm, 1, 0, 0, 0), kInvalidWorkingArea);
}

// ---- The cosine transform --------------------------------------------------------------

// C(k) = 8 sum x cos cos cos, one axis at a time, in double.
std::vector<double> referenceDct(Volume* v) {
  const int nz = v->Z, ny = v->Y, nx = v->X;
  std::vector<double> a(static_cast<std::size_t>(nz) * ny * nx);
  for (int z = 0; z < nz; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) a[(z * ny + y) * nx + x] = at<float>(v, 0, z, y, x);
  auto axis = [&](int n, auto index) {
    std::vector<double> b(a.size());
    for (int z = 0; z < nz; ++z)
      for (int y = 0; y < ny; ++y)
        for (int x = 0; x < nx; ++x) {
          const int k = index(z, y, x, -1);
          double s = 0;
          for (int j = 0; j < n; ++j)
            s += a[index(z, y, x, j)] * std::cos(std::numbers::pi * (2 * j + 1) * k / (2.0 * n));
          b[(z * ny + y) * nx + x] = 2 * s;
        }
    a = b;
  };
  axis(nx, [&](int z, int y, int x, int j) { return j < 0 ? x : (z * ny + y) * nx + j; });
  axis(ny, [&](int z, int y, int x, int j) { return j < 0 ? y : (z * ny + j) * nx + x; });
  axis(nz, [&](int z, int y, int x, int j) { return j < 0 ? z : (j * ny + y) * nx + x; });
  return a;
}

TEST(CosineTransform, MatchesTheCosineSumAndItsInverseRestoresTheVolume) {
  forEachKernelSet([] {
    for (const Shape s : {Shape{1, 1, 1}, Shape{2, 2, 2}, Shape{1, 4, 2}, Shape{8, 2, 64},
                          Shape{4, 64, 4}, Shape{64, 4, 2}, Shape{16, 16, 16}}) {
      auto in = floatVolume(s.nz, s.ny, s.nx), out = floatVolume(s.nz + 1, s.ny, s.nx + 3);
      fillRandom(*in, 20);
      fillRandom(*out, 21);
      const auto inBefore = snapshot(*in);
      ASSERT_EQ(DCT3d(*in, *out), 0);
      EXPECT_EQ(snapshot(*in), inBefore);
      const std::vector<double> want = referenceDct(*in);
      double scale = 0, error = 0;
      for (double w : want) scale = std::max(scale, std::abs(w));
      for (int z = 0; z < s.nz; ++z)
        for (int y = 0; y < s.ny; ++y)
          for (int x = 0; x < s.nx; ++x)
            error = std::max(
                error, std::abs(at<float>(*out, 0, z, y, x) - want[(z * s.ny + y) * s.nx + x]));
      EXPECT_LT(error / scale, 1e-5) << s.nz << "x" << s.ny << "x" << s.nx;
      // The inverse in place on a volume of the input's size restores it.
      auto back = floatVolume(s.nz, s.ny, s.nx);
      fill_in_VOI(*out, 0, s.nz, 0, s.ny, 0, s.nx);
      ASSERT_EQ(CopyVolume(*out, *back, 0, 0, 0), 0);
      ASSERT_EQ(IDCT3d(*back, *back), 0);
      double largest = 0, diff = 0;
      for (int z = 0; z < s.nz; ++z)
        for (int y = 0; y < s.ny; ++y)
          for (int x = 0; x < s.nx; ++x) {
            largest = std::max(largest, std::abs(double(at<float>(*in, 0, z, y, x))));
            diff = std::max(
                diff, std::abs(double(at<float>(*back, 0, z, y, x)) - at<float>(*in, 0, z, y, x)));
          }
      EXPECT_LT(diff / largest, 1e-6) << s.nz << "x" << s.ny << "x" << s.nx;
    }
  });
}

TEST(CosineTransform, FailuresLeaveTheOutputUntouched) {
  auto in = floatVolume(4, 8, 8), out = floatVolume(4, 8, 8), small = floatVolume(4, 8, 4);
  auto odd = floatVolume(4, 6, 8), flat = floatVolume(4, 1, 8);
  fillRandom(*out, 1);
  fillRandom(*small, 2);
  const auto before = snapshot(*out), smallBefore = snapshot(*small);
  EXPECT_EQ(DCT3d(*odd, *out), kVoiNotPowerOfTwo);
  EXPECT_EQ(IDCT3d(*in, *small), kInvalidOutputDimensions);
  EXPECT_EQ(DCT3d(*flat, *out), kInvalidWorkingArea);
  failAllocationsAfter(2);
  EXPECT_EQ(DCT3d(*in, *out), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_EQ(snapshot(*out), before);
  EXPECT_EQ(snapshot(*small), smallBefore);
}

}  // namespace
}  // namespace v3d::test
