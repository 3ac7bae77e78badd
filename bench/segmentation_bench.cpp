// Benchmarks of thresholding, region segmentation, labelling, the edge operators, the
// Hough transform and edge following on the standard volume (256 x 256 x 128 UC) and its
// binary variant, single-threaded. Operations that modify their input get a fresh copy per
// iteration, outside the timed region. bench/segmentation_peers.py runs this suite next to
// scipy / numpy on the same samples.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

#include "algorithms/edges.h"
#include "algorithms/segmentation.h"
#include "core/basic_ops.h"
#include "core/samples.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

using bench::Owned;

using bench::binary;
using bench::standard;

void BM_threshold_3d(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  for (auto _ : st) benchmark::DoNotOptimize(threshold_3d(standard(), &out.v, 128));
}
BENCHMARK(BM_threshold_3d)->Unit(benchmark::kMillisecond);

void BM_region3d_grow(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  float zero = 0.0f;
  for (auto _ : st) {
    st.PauseTiming();
    ClearVolume(&out.v, &zero);
    // Eight seeds on a coarse grid through the volume.
    UC*** o = channelData<UC>(out.v, 0);
    for (int k = 0; k < 8; ++k) o[16 + 32 * (k % 4)][64 + 128 * (k / 4)][128] = 1;
    st.ResumeTiming();
    if (region3d_grow(standard(), &out.v, 8, 20) != 0) st.SkipWithError("region3d_grow failed");
  }
}
BENCHMARK(BM_region3d_grow)->Unit(benchmark::kMillisecond);

void BM_region3d_merge(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  int regions = 0;
  for (auto _ : st) benchmark::DoNotOptimize(regions = region3d_merge(standard(), &out.v, 20, 255));
  st.counters["regions"] = regions;
}
BENCHMARK(BM_region3d_merge)->Unit(benchmark::kMillisecond);

void BM_region3d_split(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  int count = 0;
  for (auto _ : st) {
    count = 0;
    benchmark::DoNotOptimize(region3d_split(standard(), &out.v, &count, 20));
  }
  st.counters["regions"] = count;
}
BENCHMARK(BM_region3d_split)->Unit(benchmark::kMillisecond);

void BM_region3d_splitmerge(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  int count = 0, code = 0;
  for (auto _ : st) {
    count = 0;
    benchmark::DoNotOptimize(
        code = region3d_splitmerge(standard(), &out.v, &count, static_cast<int>(st.range(0))));
  }
  st.counters["regions"] = count;
  st.counters["code"] = code;
}
BENCHMARK(BM_region3d_splitmerge)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_grass3d_label(benchmark::State& st) {
  Owned work(V3D_UC, 1), out(V3D_UC, 1);
  int count = 0;
  float sizes[255];
  for (auto _ : st) {
    st.PauseTiming();
    CopyVolume(binary(), &work.v, 0, 0, 0);
    st.ResumeTiming();
    if (grass3d_label(&work.v, &out.v, &count, sizes, 255) != 0)
      st.SkipWithError("grass3d_label failed");
  }
  st.counters["components"] = count;
}
BENCHMARK(BM_grass3d_label)->Unit(benchmark::kMillisecond);

// The flood as first written: one push_3d node per voxel reached. A baseline for the run
// fill of grass3d_label.
void BM_label_node_per_voxel_baseline(benchmark::State& st) {
  Owned work(V3D_UC, 1), out(V3D_UC, 1);
  int components = 0;
  for (auto _ : st) {
    st.PauseTiming();
    CopyVolume(binary(), &work.v, 0, 0, 0);
    st.ResumeTiming();
    UC*** in = channelData<UC>(work.v, 0);
    UC*** o = channelData<UC>(out.v, 0);
    components = 0;
    for (int z = 0; z < bench::kZ; ++z)
      for (int y = 0; y < bench::kY; ++y)
        for (int x = 0; x < bench::kX; ++x) {
          const UC s = in[z][y][x];
          if (s == 0) continue;
          const UC c = static_cast<UC>(++components);
          StackNode3d* head = nullptr;
          in[z][y][x] = 0;
          o[z][y][x] = c;
          push_3d(&head, z, y, x, 0);
          while (head != nullptr) {
            const StackEntry3d p = pop_3d(&head);
            for (int dz = -1; dz <= 1; ++dz)
              for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                  const int nz = p.frame + dz, ny = p.row + dy, nx = p.column + dx;
                  if (nz < 0 || nz >= bench::kZ || ny < 0 || ny >= bench::kY || nx < 0 ||
                      nx >= bench::kX || in[nz][ny][nx] != s)
                    continue;
                  in[nz][ny][nx] = 0;
                  o[nz][ny][nx] = c;
                  push_3d(&head, nz, ny, nx, 0);
                }
          }
        }
  }
  st.counters["components"] = components;
}
BENCHMARK(BM_label_node_per_voxel_baseline)->Unit(benchmark::kMillisecond);

void BM_Sobel_3D(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  for (auto _ : st) benchmark::DoNotOptimize(Sobel_3D(standard(), &out.v));
}
BENCHMARK(BM_Sobel_3D)->Unit(benchmark::kMillisecond);

// The direct 3x3x3 weighted sums, for the figure next to the separable Sobel.
void BM_Sobel_direct_baseline(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  static const int w[3][3] = {{1, 2, 1}, {2, 3, 2}, {1, 2, 1}};
  UC*** s = channelData<UC>(*standard(), 0);
  UC*** o = channelData<UC>(out.v, 0);
  for (auto _ : st) {
    for (int z = 1; z < bench::kZ - 1; ++z)
      for (int y = 1; y < bench::kY - 1; ++y)
        for (int x = 1; x < bench::kX - 1; ++x) {
          int gx = 0, gy = 0, gz = 0;
          for (int i = -1; i <= 1; ++i)
            for (int j = -1; j <= 1; ++j) {
              gx += w[i + 1][j + 1] * (s[z + i][y + j][x + 1] - s[z + i][y + j][x - 1]);
              gy += w[i + 1][j + 1] * (s[z + i][y + 1][x + j] - s[z + i][y - 1][x + j]);
              gz += w[i + 1][j + 1] * (s[z + 1][y + i][x + j] - s[z - 1][y + i][x + j]);
            }
          const int m = std::abs(gx) + std::abs(gy) + std::abs(gz);
          o[z][y][x] = static_cast<UC>(m < 255 ? m : 255);
        }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_Sobel_direct_baseline)->Unit(benchmark::kMillisecond);

void BM_compas3d(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  const int a = static_cast<int>(st.range(0)), c = static_cast<int>(st.range(1));
  for (auto _ : st) benchmark::DoNotOptimize(compas3d(standard(), &out.v, a, c));
}
BENCHMARK(BM_compas3d)->Args({0, 0})->Args({45, 45})->Unit(benchmark::kMillisecond);

void BM_laplace_3d(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  for (auto _ : st) benchmark::DoNotOptimize(laplace_3d(standard(), &out.v));
}
BENCHMARK(BM_laplace_3d)->Unit(benchmark::kMillisecond);

void BM_range_3d(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  const int w = static_cast<int>(st.range(0));
  for (auto _ : st) benchmark::DoNotOptimize(range_3d(standard(), &out.v, w, w, w));
}
BENCHMARK(BM_range_3d)->Arg(3)->Arg(7)->Unit(benchmark::kMillisecond);

// The direct maximum and minimum over each 3x3x3 window, for the figure next to the
// separable range.
void BM_range_direct_baseline(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  UC*** s = channelData<UC>(*standard(), 0);
  UC*** o = channelData<UC>(out.v, 0);
  for (auto _ : st) {
    for (int z = 1; z < bench::kZ - 1; ++z)
      for (int y = 1; y < bench::kY - 1; ++y)
        for (int x = 1; x < bench::kX - 1; ++x) {
          int lo = 255, hi = 0;
          for (int i = -1; i <= 1; ++i)
            for (int j = -1; j <= 1; ++j)
              for (int k = -1; k <= 1; ++k) {
                const int v = s[z + i][y + j][x + k];
                lo = v < lo ? v : lo;
                hi = v > hi ? v : hi;
              }
          o[z][y][x] = static_cast<UC>(hi - lo);
        }
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_range_direct_baseline)->Unit(benchmark::kMillisecond);

void BM_Hough_3D(benchmark::State& st) {
  Owned out(V3D_UC, 1), acc(V3D_I, 1, 8, 8, 64);
  for (auto _ : st) benchmark::DoNotOptimize(Hough_3D(binary(), &out.v, &acc.v, 5000));
}
BENCHMARK(BM_Hough_3D)->Unit(benchmark::kMillisecond);

void BM_edge_follow_3d(benchmark::State& st) {
  Owned work(V3D_UC, 1), out(V3D_UC, 1);
  for (auto _ : st) {
    st.PauseTiming();
    CopyVolume(standard(), &work.v, 0, 0, 0);
    st.ResumeTiming();
    benchmark::DoNotOptimize(edge_follow_3d(&work.v, &out.v, 0, 114, 192, 30, 100, 1));
  }
}
BENCHMARK(BM_edge_follow_3d)->Unit(benchmark::kMillisecond);

void BM_modedg3d(benchmark::State& st) {
  Owned work(V3D_UC, 1), out(V3D_UC, 1);
  int code = 0;
  for (auto _ : st) {
    st.PauseTiming();
    CopyVolume(standard(), &work.v, 0, 0, 0);
    st.ResumeTiming();
    benchmark::DoNotOptimize(code = modedg3d(&work.v, &out.v, 0, 114, 192, 127, 132, 163, 100));
  }
  st.counters["code"] = code;
}
BENCHMARK(BM_modedg3d)->Unit(benchmark::kMillisecond);

}  // namespace
