// The TIFF stack reader and writer on the standard volume (256 x 256 x 128 UC) as one
// uncompressed stack of 128 grey pages.
//
// The read reads $V3D_BENCH_STACK (bench/tiff_stack_peer.py points it at a stack that Python's
// tifffile wrote); without it the benchmark writes the stack with our writer first. Writes go
// to a scratch file in $TMPDIR (default /tmp), replaced on every iteration.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/tiff_stack.h"
#include "standard_volume.h"

namespace v3d::bench {
namespace {

std::string scratch(const char* leaf) {
  const char* d = std::getenv("TMPDIR");
  return std::string(d && *d ? d : "/tmp") + "/v3d_bench_stack_" + std::to_string(::getpid()) +
         "_" + leaf;
}

const std::string& stackToRead() {
  static const std::string name = [] {
    if (const char* given = std::getenv("V3D_BENCH_STACK"); given && *given)
      return std::string(given);
    std::string ours = scratch("read.tif");
    if (WriteTiffStack(standard(), ours.c_str(), V3D_TIFF_NONE) != 0) std::abort();
    return ours;
  }();
  return name;
}

void BM_ReadTiffStack(benchmark::State& state) {
  const std::string& name = stackToRead();
  int Z, Y, X, type, colour;
  if (CheckTiffStack(name.c_str(), &Z, &Y, &X, &type, &colour) != 0) {
    state.SkipWithError("the stack cannot be read");
    return;
  }
  Owned v(type, colour, Z, Y, X);
  for (auto _ : state) {
    // What "Open TIFF Stack" does: the check of every page, then the read.
    benchmark::DoNotOptimize(CheckTiffStack(name.c_str(), &Z, &Y, &X, &type, &colour));
    if (ReadTiffStack(&v.v, name.c_str()) != 0) state.SkipWithError("read failed");
    benchmark::ClobberMemory();
  }
  // The samples must be the standard volume's when the stack is one of it.
  if (Z == kZ && Y == kY && X == kX && type == V3D_UC) {
    for (int z = 0; z < kZ; z += 17)
      for (int y = 0; y < kY; y += 13)
        for (int x = 0; x < kX; x += 11)
          if (channelData<UC>(v.v, 0)[z][y][x] != channelData<UC>(*standard(), 0)[z][y][x]) {
            state.SkipWithError("the stack holds other samples than the standard volume");
            return;
          }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * Z * Y * X);
}
BENCHMARK(BM_ReadTiffStack)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WriteTiffStack(benchmark::State& state) {
  const std::string name = scratch("write.tif");
  const int compression = static_cast<int>(state.range(0));
  for (auto _ : state)
    if (WriteTiffStack(standard(), name.c_str(), compression) != 0)
      state.SkipWithError("write failed");
  std::remove(name.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kZ * kY * kX);
}
BENCHMARK(BM_WriteTiffStack)
    ->Arg(V3D_TIFF_NONE)
    ->Arg(V3D_TIFF_DEFLATE)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace v3d::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  // Our own stack (written when no peer's was given) is removed.
  if (const char* given = std::getenv("V3D_BENCH_STACK"); !given || !*given)
    std::remove(v3d::bench::stackToRead().c_str());
  benchmark::Shutdown();
  return 0;
}
