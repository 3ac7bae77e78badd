// Benchmarks of resampling, frame interpolation and binary morphology on the standard volume
// (256 x 256 x 128 UC) and its binary variant, single-threaded, with a plain row copy of the
// 64 MiB zoomed result as the floor of the zoom. bench/resampling_peers.py runs this suite
// beside scipy.ndimage on the same samples.
#include <benchmark/benchmark.h>

#include <cstring>

#include "algorithms/gallery.h"
#include "algorithms/morphology.h"
#include "algorithms/resampling.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

using bench::binary;
using bench::kX;
using bench::kY;
using bench::kZ;
using bench::Owned;
using bench::standard;

// Fills `e` (side s) with a cube, or with the ball of radius 2 (33 voxels) when `ball`.
void fillElement(Owned& e, bool ball) {
  const int s = e.v.Z;
  UC*** d = channelData<UC>(e.v, 0);
  for (int z = 0; z < s; ++z)
    for (int y = 0; y < s; ++y)
      for (int x = 0; x < s; ++x) {
        const int dz = z - s / 2, dy = y - s / 2, dx = x - s / 2;
        d[z][y][x] = !ball || dz * dz + dy * dy + dx * dx <= 4 ? 255 : 0;
      }
}

// The element of a benchmark argument: the cube of that side, or (0) the ball of radius 2.
Volume* elementFor(int side) {
  static Owned cube3(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 3), cube5(V3D_UC, V3D_ONE_CHANNEL, 5, 5, 5),
      ball2(V3D_UC, V3D_ONE_CHANNEL, 5, 5, 5);
  static const bool made =
      (fillElement(cube3, false), fillElement(cube5, false), fillElement(ball2, true), true);
  (void)made;
  return side == 3 ? &cube3.v : side == 5 ? &cube5.v : &ball2.v;
}

// The binary variant's in-plane outlines (set voxels with an unset 4-neighbour in their
// frame): closed contours for the even-odd fill.
Volume* outlines() {
  static Owned o(V3D_UC, V3D_ONE_CHANNEL);
  static const bool made = [] {
    UC*** b = channelData<UC>(*binary(), 0);
    UC*** d = channelData<UC>(o.v, 0);
    for (int z = 0; z < kZ; ++z)
      for (int y = 1; y + 1 < kY; ++y)
        for (int x = 1; x + 1 < kX; ++x)
          d[z][y][x] = b[z][y][x] != 0 && (b[z][y - 1][x] == 0 || b[z][y + 1][x] == 0 ||
                                           b[z][y][x - 1] == 0 || b[z][y][x + 1] == 0)
                           ? 255
                           : 0;
    return true;
  }();
  (void)made;
  return &o.v;
}

// Runs op(out) on an output of Z x Y x X; a failing call ends the benchmark with an error.
template <class Op>
void run(benchmark::State& st, int Z, int Y, int X, Op op) {
  Owned out(V3D_UC, V3D_ONE_CHANNEL, Z, Y, X);
  for (auto _ : st) {
    if (op(&out.v) != 0) {
      st.SkipWithError("operation failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(channelData<UC>(out.v, 0)[Z / 2][Y / 2][X / 2]);
}

// ---- Morphology on the binary variant; the argument is the cube side (0: ball of radius 2).

template <int (*Fn)(Volume*, Volume*, Volume*)>
void BM_morphology(benchmark::State& st) {
  Volume* e = elementFor(static_cast<int>(st.range(0)));
  run(st, kZ, kY, kX, [&](Volume* o) { return Fn(binary(), e, o); });
}
BENCHMARK(BM_morphology<bdilate3d>)
    ->Name("BM_bdilate3d")
    ->Arg(3)
    ->Arg(5)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_morphology<berode3d>)
    ->Name("BM_berode3d")
    ->Arg(3)
    ->Arg(5)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_morphology<bopening3d>)->Name("BM_bopening3d")->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_morphology<bclosing3d>)->Name("BM_bclosing3d")->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_morphology<MinkowskiAddition3d>)
    ->Name("BM_MinkowskiAddition3d")
    ->Arg(3)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_morphology<MinkowskiSubtraction3d>)
    ->Name("BM_MinkowskiSubtraction3d")
    ->Arg(3)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond);

// ---- Resampling by 2 on every axis: a 64 MiB result.

void BM_zoom3d(benchmark::State& st) {
  run(st, 2 * kZ, 2 * kY, 2 * kX, [](Volume* o) { return zoom3d(standard(), o, 2, 0, 0, 0); });
}
BENCHMARK(BM_zoom3d)->Unit(benchmark::kMillisecond);

// The floor of the zoom: a row-by-row copy of one 64 MiB volume into another.
void BM_copy64MiB(benchmark::State& st) {
  Owned src(V3D_UC, V3D_ONE_CHANNEL, 2 * kZ, 2 * kY, 2 * kX);
  run(st, 2 * kZ, 2 * kY, 2 * kX, [&](Volume* o) {
    UC*** s = channelData<UC>(src.v, 0);
    UC*** d = channelData<UC>(*o, 0);
    for (int z = 0; z < 2 * kZ; ++z)
      for (int y = 0; y < 2 * kY; ++y) std::memcpy(d[z][y], s[z][y], 2 * kX);
    return 0;
  });
}
BENCHMARK(BM_copy64MiB)->Unit(benchmark::kMillisecond);

void BM_decim3(benchmark::State& st) {
  run(st, kZ / 2, kY / 2, kX / 2, [](Volume* o) { return decim3(standard(), o, 2, 0, 0, 0); });
}
BENCHMARK(BM_decim3)->Unit(benchmark::kMillisecond);

void BM_InterpolationNearestNeighbor3d(benchmark::State& st) {
  run(st, 2 * kZ, 2 * kY, 2 * kX, [](Volume* o) {
    return InterpolationNearestNeighbor3d(standard(), o, 0, 2.0f, 2.0f, 2.0f, 0, 0, 0);
  });
}
BENCHMARK(BM_InterpolationNearestNeighbor3d)->Unit(benchmark::kMillisecond);

void BM_InterpolationLinear3d(benchmark::State& st) {
  run(st, 2 * kZ, 2 * kY, 2 * kX,
      [](Volume* o) { return InterpolationLinear3d(standard(), o, 0, 2.0f, 2.0f, 2.0f, 0, 0, 0); });
}
BENCHMARK(BM_InterpolationLinear3d)->Unit(benchmark::kMillisecond);

void BM_InterpolationFrameLinear3d(benchmark::State& st) {
  run(st, 2 * kZ - 1, kY, kX,
      [](Volume* o) { return InterpolationFrameLinear3d(standard(), o, 0, 2.0f, 0, 0, 0); });
}
BENCHMARK(BM_InterpolationFrameLinear3d)->Unit(benchmark::kMillisecond);

// ---- Frame insertions; the argument is the step (2 or 3).

void BM_FrameInterpolationBinary(benchmark::State& st) {
  const int a = static_cast<int>(st.range(0)), coherence = static_cast<int>(st.range(1));
  run(st, (kZ - 1) * a + 1, kY, kX,
      [&](Volume* o) { return FrameInterpolationBinary(binary(), o, a, 0, 0, 0, coherence); });
}
BENCHMARK(BM_FrameInterpolationBinary)
    ->Args({2, 0})
    ->Args({3, 0})
    ->Args({2, 1})
    ->Unit(benchmark::kMillisecond);

void BM_FrameInterpolationGrayscale(benchmark::State& st) {
  const int a = static_cast<int>(st.range(0));
  run(st, (kZ - 1) * a + 1, kY, kX,
      [&](Volume* o) { return FrameInterpolationGrayscale(standard(), o, a, 0, 0, 0); });
}
BENCHMARK(BM_FrameInterpolationGrayscale)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);

void BM_FrameZeroPadding(benchmark::State& st) {
  run(st, (kZ - 1) * 2 + 1, kY, kX,
      [](Volume* o) { return FrameZeroPadding(standard(), o, 2, 0, 0, 0); });
}
BENCHMARK(BM_FrameZeroPadding)->Unit(benchmark::kMillisecond);

void BM_FrameContourObjectFill(benchmark::State& st) {
  run(st, kZ, kY, kX, [](Volume* o) { return FrameContourObjectFill(outlines(), o); });
}
BENCHMARK(BM_FrameContourObjectFill)->Unit(benchmark::kMillisecond);

// The frame gallery of the standard volume: 128 frames of 256 x 256 in tiles of 256 x 256,
// 6 to a row (22 rows, 1536 x 5632 output); argument 1 nearest neighbour, 0 bilinear.
void BM_ProduceFrameGallery3d(benchmark::State& st) {
  Owned out(V3D_UC, V3D_ONE_CHANNEL, 1, 22 * kY, 6 * kX);
  const int nearest = static_cast<int>(st.range(0));
  for (auto _ : st) {
    if (ProduceFrameGallery3d(standard(), &out.v, 6, nearest) != 0) {
      st.SkipWithError("operation failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(channelData<UC>(out.v, 0)[0][kY / 2][kX / 2]);
}
BENCHMARK(BM_ProduceFrameGallery3d)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
