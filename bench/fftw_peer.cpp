// The FFTW peer of the Fourier benchmarks: single-precision complex 3-D transforms planned
// with FFTW_MEASURE, one thread, timing fftwf_execute only, on the samples of
// fourier_data.h. Built only where Debian's libfftw3-dev is present; the product never
// links FFTW. Prints one line per size: "fftw Z Y X seconds" (the fastest of the runs).
//
//   v3d_bench_fftw [runs]
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "fourier_data.h"

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 10;
  const int sizes[][3] = {{64, 64, 64}, {128, 128, 128}, {128, 256, 256}};
  for (const auto& s : sizes) {
    const std::size_t n = static_cast<std::size_t>(s[0]) * s[1] * s[2];
    auto* in = static_cast<fftwf_complex*>(fftwf_malloc(n * sizeof(fftwf_complex)));
    auto* out = static_cast<fftwf_complex*>(fftwf_malloc(n * sizeof(fftwf_complex)));
    if (in == nullptr || out == nullptr) return 1;
    fftwf_plan plan = fftwf_plan_dft_3d(s[0], s[1], s[2], in, out, FFTW_FORWARD, FFTW_MEASURE);
    // Planning with FFTW_MEASURE overwrites the arrays: the samples go in afterwards.
    for (std::size_t i = 0; i < n; ++i) {
      in[i][0] = v3d::bench::fourierSample(v3d::bench::kSeedReal, i);
      in[i][1] = v3d::bench::fourierSample(v3d::bench::kSeedImaginary, i);
    }
    double best = 1e30;
    for (int r = 0; r < runs; ++r) {
      const auto t0 = std::chrono::steady_clock::now();
      fftwf_execute(plan);
      const auto t1 = std::chrono::steady_clock::now();
      best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    std::printf("fftw %d %d %d %.6f %.6g\n", s[0], s[1], s[2], best, out[n / 3][0]);
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
  }
  return 0;
}
