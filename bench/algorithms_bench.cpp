// Benchmarks of the order-statistic filters, histograms and direct linear filters on the
// standard volume (256 x 256 x 128 UC), one per function and window size. The peer script
// bench/peer_algorithms.py runs these beside scipy, scikit-image and numpy.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "algorithms/histograms.h"
#include "algorithms/linear_filters.h"
#include "algorithms/order_statistics.h"
#include "core/basic_ops.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

using bench::Owned;

using bench::standard;

// Runs `op(in, out, w)` for the window side given as the benchmark's argument; a failing
// call aborts the benchmark.
template <class Op>
void run(benchmark::State& st, Op op) {
  Owned out(V3D_UC, 1);
  const int w = static_cast<int>(st.range(0));
  Volume* in = standard();  // made before timing starts
  for (auto _ : st) {
    const int code = op(in, &out.v, w);
    if (code != 0) {
      st.SkipWithError("operation failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  // Consume the result so the work cannot be dropped.
  benchmark::DoNotOptimize(channelData<UC>(out.v, 0)[bench::kZ / 2][bench::kY / 2][bench::kX / 2]);
}

void BM_median3(benchmark::State& st) {
  run(st, [](Volume* i, Volume* o, int w) { return median3(i, o, w, w, w); });
}
BENCHMARK(BM_median3)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_run_median3(benchmark::State& st) {
  run(st, [](Volume* i, Volume* o, int w) { return run_median3(i, o, w, w, w); });
}
BENCHMARK(BM_run_median3)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

// Centre-weighted median: weight 1 everywhere and w at the centre.
void BM_wei_median3(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0));
  Owned weights(V3D_UC, 1, w, w, w);
  float one = 1;
  ClearVolume(&weights.v, &one);
  channelData<UC>(weights.v, 0)[w / 2][w / 2][w / 2] = static_cast<UC>(w);
  run(st, [&](Volume* i, Volume* o, int) { return wei_median3(i, o, &weights.v); });
}
BENCHMARK(BM_wei_median3)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_multistage_median3(benchmark::State& st) {
  run(st, [](Volume* i, Volume* o, int w) { return multistage_median3(i, o, w); });
}
BENCHMARK(BM_multistage_median3)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_run_max3(benchmark::State& st) {
  run(st, [](Volume* i, Volume* o, int w) { return run_max3(i, o, w, w, w); });
}
BENCHMARK(BM_run_max3)->Arg(3)->Arg(7)->Unit(benchmark::kMillisecond);

void BM_run_min3(benchmark::State& st) {
  run(st, [](Volume* i, Volume* o, int w) { return run_min3(i, o, w, w, w); });
}
BENCHMARK(BM_run_min3)->Arg(3)->Arg(7)->Unit(benchmark::kMillisecond);

// Alpha-trimmed mean: the lowest and highest quarter of the sorted window weigh nothing.
void BM_l_filter3(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0));
  const int n = w * w * w, cut = n / 4;
  std::vector<float> coef(n, 0.0f);
  for (int k = cut; k < n - cut; ++k) coef[k] = 1.0f / static_cast<float>(n - 2 * cut);
  run(st, [&](Volume* i, Volume* o, int) { return l_filter3(i, o, coef.data(), w, w, w); });
}
BENCHMARK(BM_l_filter3)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_local_adapt_filt3(benchmark::State& st) {
  run(st, [](Volume* i, Volume* o, int w) { return local_adapt_filt3(i, o, 50.0f, w, w, w); });
}
BENCHMARK(BM_local_adapt_filt3)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

// A separable Gaussian-like kernel of unit sum.
void BM_conv3(benchmark::State& st) {
  const int w = static_cast<int>(st.range(0));
  Owned kernel(V3D_F, 1, w, w, w);
  float*** h = channelData<float>(kernel.v, 0);
  double total = 0;
  for (int z = 0; z < w; ++z)
    for (int y = 0; y < w; ++y)
      for (int x = 0; x < w; ++x) {
        const double d2 =
            (z - w / 2) * (z - w / 2) + (y - w / 2) * (y - w / 2) + (x - w / 2) * (x - w / 2);
        total += std::exp(-d2 / 2.0);
      }
  for (int z = 0; z < w; ++z)
    for (int y = 0; y < w; ++y)
      for (int x = 0; x < w; ++x) {
        const double d2 =
            (z - w / 2) * (z - w / 2) + (y - w / 2) * (y - w / 2) + (x - w / 2) * (x - w / 2);
        h[z][y][x] = static_cast<float>(std::exp(-d2 / 2.0) / total);
      }
  run(st, [&](Volume* i, Volume* o, int) { return conv3(i, o, &kernel.v); });
}
BENCHMARK(BM_conv3)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_mov_ave3(benchmark::State& st) {
  run(st, [](Volume* i, Volume* o, int w) { return mov_ave3(i, o, w, w, w); });
}
BENCHMARK(BM_mov_ave3)->Arg(3)->Arg(5)->Unit(benchmark::kMillisecond);

void BM_hist3(benchmark::State& st) {
  std::vector<float> h(256);
  float* p[1] = {h.data()};
  Volume* in = standard();
  for (auto _ : st) {
    benchmark::DoNotOptimize(hist3(in, p));
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_hist3)->Unit(benchmark::kMillisecond);

void BM_HistogramEqual3d(benchmark::State& st) {
  run(st, [](Volume* i, Volume* o, int) { return HistogramEqual3d(i, o); });
}
BENCHMARK(BM_HistogramEqual3d)->Arg(0)->Unit(benchmark::kMillisecond);

// The floor of any one-pass operation: one lookup-table pass over the volume.
void BM_LookupFloor(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  UC table[256];
  for (int i = 0; i < 256; ++i) table[i] = static_cast<UC>(255 - i);
  Volume* in = standard();
  for (auto _ : st) {
    UC*** s = channelData<UC>(*in, 0);
    UC*** d = channelData<UC>(out.v, 0);
    for (int z = 0; z < bench::kZ; ++z)
      for (int y = 0; y < bench::kY; ++y) {
        const UC* r = s[z][y];
        UC* o = d[z][y];
        for (int x = 0; x < bench::kX; ++x) o[x] = table[r[x]];
      }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_LookupFloor)->Unit(benchmark::kMillisecond);

}  // namespace
