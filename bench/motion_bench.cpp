// Block matching on 128 frames of 256 x 256, 16 x 16 blocks, search range 8, depth 1, no
// overlap: the five methods and a plain scalar full search written here as the reference, on
// two moving sequences:
//   standard - the standard volume's frame k shifted by k * (2, 1) pixels (X, Y), wrapping
//              around, so its content also changes from frame to frame and carries noise;
//   smooth   - broad Gaussian blobs over a gentle gradient, shifted by (3, -2) per frame.
// Before timing, the program checks that the fast full search gives the reference's vectors
// on both (it exits with an error if not) and prints how many interior blocks each method
// recovers (blocks whose block and search window lie inside the frame).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "motionfield/block_matching.h"
#include "standard_volume.h"

namespace {

using namespace v3d;
using bench::Owned;

constexpr int kBlock = 16, kRange = 8, kDepth = 1, kGrid = bench::kY / kBlock;
const char* const kMethodNames[] = {"logarithmic", "three-step", "conjugate", "orthogonal", "full"};

// The standard volume's frames moved by k * (dx, dy), wrapping around.
void fillMovingStandard(Volume& v, int dx, int dy) {
  UC*** in = channelData<UC>(*bench::standard(), 0);
  UC*** out = channelData<UC>(v, 0);
  for (int z = 0; z < v.Z; ++z)
    for (int y = 0; y < v.Y; ++y)
      for (int x = 0; x < v.X; ++x)
        out[z][y][x] = in[z][((y - z * dy) % v.Y + v.Y) % v.Y][((x - z * dx) % v.X + v.X) % v.X];
}

// Broad Gaussian blobs (sigma 6 to 17) over a gentle gradient, drawn once over every position
// the frames show; frame k is the window moved by k * (dx, dy).
void fillSmooth(Volume& v, int dx, int dy, unsigned seed) {
  const int shiftX = dx * (v.Z - 1), shiftY = dy * (v.Z - 1);
  const int xLo = std::min(0, -shiftX), yLo = std::min(0, -shiftY);
  const int width = v.X + std::abs(shiftX), height = v.Y + std::abs(shiftY);
  std::vector<double> plane(static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      plane[static_cast<std::size_t>(y) * width + x] = 110 + 0.1 * (x + xLo) + 0.0731 * (y + yLo);
  std::mt19937 rng(seed);
  const int blobs = (width + 40) * (height + 40) / 600;
  for (int n = 0; n < blobs; ++n) {
    const double by = static_cast<double>(rng() % (height + 40)) - 20;
    const double bx = static_cast<double>(rng() % (width + 40)) - 20;
    const double s = 6.0 + rng() % 12, a = static_cast<double>(rng() % 120) - 50;
    const int reach = static_cast<int>(5 * s);
    for (int y = std::max(0, static_cast<int>(by) - reach);
         y < std::min(height, static_cast<int>(by) + reach); ++y)
      for (int x = std::max(0, static_cast<int>(bx) - reach);
           x < std::min(width, static_cast<int>(bx) + reach); ++x)
        plane[static_cast<std::size_t>(y) * width + x] +=
            a * std::exp(-((y - by) * (y - by) + (x - bx) * (x - bx)) / (2 * s * s));
  }
  UC*** out = channelData<UC>(v, 0);
  for (int z = 0; z < v.Z; ++z)
    for (int y = 0; y < v.Y; ++y)
      for (int x = 0; x < v.X; ++x) {
        const double g =
            plane[static_cast<std::size_t>(y - z * dy - yLo) * width + (x - z * dx - xLo)];
        out[z][y][x] = static_cast<UC>(std::clamp(g, 0.0, 255.0));
      }
}

// The full search as plainly as it reads: candidates row by row, the best sum starting at
// 100000000, a candidate abandoned when its partial sum reaches the best (checked after each
// row), a new best only when strictly lower. Kept scalar, so that it measures what the SIMD
// sums and the seeded scan add.
__attribute__((optimize("no-tree-vectorize"))) void scalarFullSearch(Volume& in, Volume& vx,
                                                                     Volume& vy) {
  UC*** s = channelData<UC>(in, 0);
  const int h = kBlock / 2, y1 = in.voiY1, x1 = in.voiX1;
  for (int k = 0; k < in.voiZ1 - in.voiZ0 - kDepth; ++k) {
    UC** target = s[k + kDepth];
    UC** reference = s[k];
    for (int y = 0, i = 0; y < y1; y += kBlock, ++i)
      for (int x = 0, j = 0; x < x1; x += kBlock, ++j) {
        const int a = std::min(y, h), b = std::min(y1 - y, h);
        const int l = std::min(x, h), r = std::min(x1 - x, h);
        int best = 100000000, bestY = y, bestX = x;
        for (int py = std::max(y - kRange, a); py <= std::min(y1 - b, y + kRange); ++py)
          for (int px = std::max(x - kRange, l); px <= std::min(x1 - r, x + kRange); ++px) {
            int sum = 0;
            for (int row = -a; row < b && sum < best; ++row)
              for (int col = -l; col < r; ++col)
                sum += std::abs(target[y + row][x + col] - reference[py + row][px + col]);
            if (sum < best) best = sum, bestY = py, bestX = px;
          }
        channelData<I32>(vx, 0)[k][i][j] = x - bestX;
        channelData<I32>(vy, 0)[k][i][j] = y - bestY;
      }
  }
}

struct Sequence {
  const char* name;
  int dx, dy;
  Owned volume{V3D_UC, V3D_ONE_CHANNEL};
};

Sequence& standardSequence() {
  static Sequence s{"standard", 2, 1};
  static const bool filled = (fillMovingStandard(s.volume.v, 2, 1), true);
  (void)filled;
  return s;
}

Sequence& smoothSequence() {
  static Sequence s{"smooth", 3, -2};
  static const bool filled = (fillSmooth(s.volume.v, 3, -2, 11), true);
  (void)filled;
  return s;
}

struct Vectors {
  Owned x{V3D_I, V3D_ONE_CHANNEL, bench::kZ - kDepth, kGrid, kGrid};
  Owned y{V3D_I, V3D_ONE_CHANNEL, bench::kZ - kDepth, kGrid, kGrid};
};

int estimate(Volume& in, Vectors& out, int method) {
  return motion::EstimateMotionVectors(&in, &out.x.v, &out.y.v, kBlock, kBlock, kRange, kRange,
                                       kBlock, kBlock, kDepth, method);
}

void BM_Estimate(benchmark::State& st, Sequence& (*sequence)(), int method) {
  Vectors out;
  Volume& in = sequence().volume.v;
  for (auto _ : st) {
    if (estimate(in, out, method) != kSuccess) {
      st.SkipWithError("EstimateMotionVectors failed");
      break;
    }
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(channelData<I32>(out.x.v, 0)[bench::kZ / 2][kGrid / 2][kGrid / 2]);
}

void BM_ScalarReference(benchmark::State& st, Sequence& (*sequence)()) {
  Vectors out;
  Volume& in = sequence().volume.v;
  for (auto _ : st) {
    scalarFullSearch(in, out.x.v, out.y.v);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(channelData<I32>(out.x.v, 0)[bench::kZ / 2][kGrid / 2][kGrid / 2]);
}

void registerAll() {
  for (Sequence& (*sequence)() : {&standardSequence, &smoothSequence}) {
    const std::string name = sequence().name;
    benchmark::RegisterBenchmark(("BM_ScalarReferenceFullSearch/" + name).c_str(),
                                 BM_ScalarReference, sequence)
        ->Unit(benchmark::kMillisecond);
    for (int method = motion::kLogarithmicSearch; method <= motion::kFullSearch; ++method)
      benchmark::RegisterBenchmark(
          ("BM_EstimateMotionVectors/" + name + "/" + kMethodNames[method]).c_str(), BM_Estimate,
          sequence, method)
          ->Unit(benchmark::kMillisecond);
  }
}

// Checks the full search against the reference and prints the recovered interior blocks.
bool checkAndCount() {
  bool same = true;
  for (Sequence& (*sequence)() : {&standardSequence, &smoothSequence}) {
    Sequence& s = sequence();
    Vectors reference;
    scalarFullSearch(s.volume.v, reference.x.v, reference.y.v);
    std::printf("%-8s moved by (%d, %d) per frame: interior blocks recovered\n", s.name, s.dx,
                s.dy);
    for (int method = motion::kLogarithmicSearch; method <= motion::kFullSearch; ++method) {
      Vectors out;
      if (estimate(s.volume.v, out, method) != kSuccess) return false;
      // Block row i is centred at 16 i + 8 in methods 0-3 and at 16 i in the full search;
      // interior when the block and its search window lie inside the frame.
      const int last = method == motion::kFullSearch ? kGrid - 1 : kGrid - 2;
      long recovered = 0, interior = 0;
      for (int k = 0; k < bench::kZ - kDepth; ++k)
        for (int i = 1; i <= last; ++i)
          for (int j = 1; j <= last; ++j, ++interior)
            recovered += channelData<I32>(out.x.v, 0)[k][i][j] == s.dx &&
                         channelData<I32>(out.y.v, 0)[k][i][j] == s.dy;
      std::printf("  %-12s %6ld / %ld (%.1f%%)\n", kMethodNames[method], recovered, interior,
                  100.0 * recovered / interior);
      if (method == motion::kFullSearch)
        for (int k = 0; k < bench::kZ - kDepth; ++k)
          for (int i = 0; i < kGrid; ++i)
            for (int j = 0; j < kGrid; ++j)
              if (channelData<I32>(out.x.v, 0)[k][i][j] !=
                      channelData<I32>(reference.x.v, 0)[k][i][j] ||
                  channelData<I32>(out.y.v, 0)[k][i][j] !=
                      channelData<I32>(reference.y.v, 0)[k][i][j]) {
                if (same)
                  std::fprintf(stderr,
                               "FULL SEARCH DIFFERS FROM THE SCALAR REFERENCE on %s at "
                               "[%d][%d][%d]\n",
                               s.name, k, i, j);
                same = false;
              }
    }
  }
  return same;
}

}  // namespace

int main(int argc, char** argv) {
  if (!checkAndCount()) return EXIT_FAILURE;
  benchmark::Initialize(&argc, argv);
  registerAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return EXIT_SUCCESS;
}
