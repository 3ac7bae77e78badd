// Benchmarks of the projections on the standard volume (256 x 256 x 128 UC) into 512 x 512,
// single-threaded: the maximum projection at (30, 0), the first hit and the depth-shaded
// surface at the same angle (threshold 100), the tilted and axis-aligned cases, the average,
// an oblique section, and a plain axis maximum as the floor of the axis-aligned case.
// bench/projections_peers.py runs this suite beside scipy.ndimage and numpy on the same
// samples.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "projections/projections.h"
#include "projector/viewer.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

constexpr int kSide = 512;

// A 512 x 512 one-channel image with its row array.
struct Image {
  std::vector<unsigned char> pixels = std::vector<unsigned char>(kSide * kSide);
  std::vector<unsigned char*> rows;
  unsigned char** planes[1];
  Image() {
    for (int r = 0; r < kSide; ++r) rows.push_back(pixels.data() + r * kSide);
    planes[0] = rows.data();
  }
  unsigned char*** get() { return planes; }
};

void finish(benchmark::State& state, int code, Image& image) {
  if (code != 0) state.SkipWithError("projection failed");
  benchmark::DoNotOptimize(image.pixels.data());
  benchmark::ClobberMemory();
}

void BM_ProvoliMax3d(benchmark::State& state) {
  Image image;
  const float a1 = static_cast<float>(state.range(0)), a2 = static_cast<float>(state.range(1));
  for (auto _ : state)
    finish(state, ProvoliMax3d(bench::standard(), image.get(), kSide, kSide, a1, a2, 0), image);
}
BENCHMARK(BM_ProvoliMax3d)
    ->Args({30, 0})
    ->Args({0, 0})
    ->Args({30, 20})
    ->Unit(benchmark::kMillisecond);

void BM_ProvoliAvrg3d(benchmark::State& state) {
  Image image;
  for (auto _ : state)
    finish(state, ProvoliAvrg3d(bench::standard(), image.get(), kSide, kSide, 30, 0, 0), image);
}
BENCHMARK(BM_ProvoliAvrg3d)->Unit(benchmark::kMillisecond);

void BM_Provoli3d(benchmark::State& state) {
  Image image;
  unsigned char threshold = 100;
  for (auto _ : state)
    finish(state, Provoli3d(bench::standard(), image.get(), kSide, kSide, 30, 0, 0, &threshold),
           image);
}
BENCHMARK(BM_Provoli3d)->Unit(benchmark::kMillisecond);

void BM_Provoli3dSurface(benchmark::State& state) {
  Image image;
  unsigned char threshold = 100;
  const int cue = static_cast<int>(state.range(0));
  for (auto _ : state)
    finish(
        state,
        Provoli3dSurface(bench::standard(), image.get(), kSide, kSide, 30, 0, 0, &threshold, cue),
        image);
}
BENCHMARK(BM_Provoli3dSurface)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Provoli3dBinary(benchmark::State& state) {
  Image image;
  unsigned char threshold = 100;
  for (auto _ : state)
    finish(state,
           Provoli3dBinary(bench::standard(), image.get(), kSide, kSide, 30, 0, 0, &threshold),
           image);
}
BENCHMARK(BM_Provoli3dBinary)->Unit(benchmark::kMillisecond);

void BM_TomiRand2(benchmark::State& state) {
  Image image;
  for (auto _ : state)
    finish(state, TomiRand2(bench::standard(), image.get(), kSide, kSide, 30, 20, 0, 50), image);
}
BENCHMARK(BM_TomiRand2)->Unit(benchmark::kMillisecond);

// The projection viewer's redraw while the picture is dragged: the maximum projection of the
// standard volume at a new angle every time, into the viewer's own picture (the VOI's
// diagonal, 388 x 388), through its render path.
void BM_ViewerRedraw(benchmark::State& state) {
  projector::Renderers r;
  r.firstHit = &Provoli3d;
  r.average = &ProvoliAvrg3d;
  r.maximum = &ProvoliMax3d;
  r.section = &TomiRand2;
  r.gradient = &Provoli3dBinary;
  r.surface = &Provoli3dSurface;
  r.surfaceColour = &Provoli3dSurfaceColor;
  const int side = projector::pictureSide(*bench::standard());
  std::vector<unsigned char> pixels(static_cast<std::size_t>(side) * side);
  std::vector<unsigned char*> rows;
  for (int y = 0; y < side; ++y) rows.push_back(pixels.data() + static_cast<std::size_t>(y) * side);
  V3dBuffer buffer{V3D_BUFFER_GREY, side, side, {rows.data(), nullptr, nullptr}};
  projector::Viewer viewer;
  viewer.volume = bench::standard();
  viewer.buffer = &buffer;
  int step = 0;
  for (auto _ : state) {
    projector::turn(viewer.view, 7, (step++ % 2) ? 3 : -3);  // a drag of a few pixels
    if (viewer.redraw(r) != 0) state.SkipWithError("redraw failed");
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.counters["side"] = side;
}
BENCHMARK(BM_ViewerRedraw)->Unit(benchmark::kMillisecond);

// The floor of the axis-aligned case: the maximum over the rows of each frame, a plain loop
// over the volume in memory order.
void BM_AxisMaximumFloor(benchmark::State& state) {
  std::vector<unsigned char> out(bench::kZ * bench::kX);
  UC*** s = channelData<UC>(*bench::standard(), 0);
  for (auto _ : state) {
    for (int z = 0; z < bench::kZ; ++z) {
      unsigned char* o = out.data() + z * bench::kX;
      std::fill(o, o + bench::kX, 0);
      for (int y = 0; y < bench::kY; ++y)
        for (int x = 0; x < bench::kX; ++x) o[x] = std::max(o[x], s[z][y][x]);
    }
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_AxisMaximumFloor)->Unit(benchmark::kMillisecond);

}  // namespace
