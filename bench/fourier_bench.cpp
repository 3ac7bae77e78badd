// Benchmarks of the Fourier family: fft3d forward at 64^3, 128^3 and 256 x 256 x 128 (the
// row-column path) with the kernel set this processor picks and, for comparison, with the
// baseline set; DCT3d at 128^3; convolution3 of a 64^3 VOI with a 64^3 kernel (a 128^3
// working size); correlation3d at 64^3; overlap_add3 of the standard volume as floats with a
// 9^3 kernel for three block sizes. bench/fourier_peers.py runs these beside FFTW, scipy and
// numpy on the same samples.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "algorithms/fourier.h"
#include "algorithms/fourier_engine.h"
#include "algorithms/linear_filters.h"
#include "algorithms/spectral.h"
#include "core/basic_ops.h"
#include "fourier_data.h"
#include "standard_volume.h"

namespace {

using namespace v3d;
using bench::Owned;

// A one-channel F volume holding fourierSample(seed, index) in frame, row, column order.
struct Samples : Owned {
  Samples(int Z, int Y, int X, std::uint32_t seed) : Owned(V3D_F, V3D_ONE_CHANNEL, Z, Y, X) {
    std::size_t i = 0;
    for (int z = 0; z < Z; ++z)
      for (int y = 0; y < Y; ++y)
        for (int x = 0; x < X; ++x)
          channelData<float>(v, 0)[z][y][x] = bench::fourierSample(seed, i++);
  }
};

template <class Op>
void loop(benchmark::State& st, Op op, Volume* result) {
  for (auto _ : st) {
    if (op() != 0) {
      st.SkipWithError("operation failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(channelData<float>(*result, 0)[0][0][0]);
}

// Forward transform of a (Z, Y, X) pair into another pair, with kernel set `kernels`
// (null: the processor's choice).
void runFft(benchmark::State& st, const fft::Kernels* kernels) {
  const int Z = static_cast<int>(st.range(0)), Y = static_cast<int>(st.range(1)),
            X = static_cast<int>(st.range(2));
  Samples re(Z, Y, X, bench::kSeedReal), im(Z, Y, X, bench::kSeedImaginary);
  Owned outRe(V3D_F, 1, Z, Y, X), outIm(V3D_F, 1, Z, Y, X);
  fft::useKernels(kernels);
  loop(
      st, [&] { return fft3d(&re.v, &im.v, &outRe.v, &outIm.v, 0, 0, 0, 0); }, &outRe.v);
  fft::useKernels(nullptr);
}

void fftSizes(benchmark::internal::Benchmark* b) {
  b->Args({64, 64, 64})->Args({128, 128, 128})->Args({128, 256, 256});
  b->ArgNames({"Z", "Y", "X"})->Unit(benchmark::kMillisecond);
}

void BM_fft3d(benchmark::State& st) {
  runFft(st, nullptr);
}
BENCHMARK(BM_fft3d)->Apply(fftSizes);

void BM_fft3d_baseline(benchmark::State& st) {
  runFft(st, fft::genericKernels());
}
BENCHMARK(BM_fft3d_baseline)->Apply(fftSizes);

void BM_DCT3d(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  Samples in(n, n, n, bench::kSeedReal);
  Owned out(V3D_F, 1, n, n, n);
  loop(
      st, [&] { return DCT3d(&in.v, &out.v); }, &out.v);
}
BENCHMARK(BM_DCT3d)->Arg(64)->Arg(128)->Unit(benchmark::kMillisecond);

void BM_convolution3(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  Samples x(n, n, n, bench::kSeedReal), h(n, n, n, bench::kSeedKernel);
  Owned out(V3D_F, 1, 2 * n, 2 * n, 2 * n);
  loop(
      st, [&] { return convolution3(&x.v, &h.v, &out.v, 0, 0, 0); }, &out.v);
}
BENCHMARK(BM_convolution3)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_correlation3d(benchmark::State& st) {
  const int n = static_cast<int>(st.range(0));
  Samples x(n, n, n, bench::kSeedReal), y(n, n, n, bench::kSeedKernel);
  Owned out(V3D_F, 1, 2 * n, 2 * n, 2 * n);
  loop(
      st, [&] { return correlation3d(&x.v, &y.v, &out.v, 0, 0, 0); }, &out.v);
}
BENCHMARK(BM_correlation3d)->Arg(64)->Unit(benchmark::kMillisecond);

// The standard volume as floats convolved with a 9^3 kernel, in cubic blocks of the
// argument's side (sides that divide the volume, so every sample is filtered).
void BM_overlap_add3(benchmark::State& st) {
  const int b = static_cast<int>(st.range(0));
  Owned x(V3D_F, 1);
  if (UCVolume2FVolume(bench::standard(), &x.v, 0, 0, 0) != 0) std::abort();
  Samples h(9, 9, 9, bench::kSeedKernel);
  Owned out(V3D_F, 1, bench::kZ + 8, bench::kY + 8, bench::kX + 8);
  loop(
      st, [&] { return overlap_add3(&x.v, &h.v, &out.v, b, b, b); }, &out.v);
}
BENCHMARK(BM_overlap_add3)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);

}  // namespace
