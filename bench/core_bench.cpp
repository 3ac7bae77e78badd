// Benchmarks of the basic volume operations and raw files on the standard volume.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "core/basic_ops.h"
#include "core/raw_files.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

using bench::Owned;

using bench::binary;
using bench::standard;

void BM_CopyVolume(benchmark::State& st) {
  Volume* in = standard();
  Owned out(V3D_UC, 1);
  for (auto _ : st) benchmark::DoNotOptimize(CopyVolume(in, &out.v, 0, 0, 0));
}
BENCHMARK(BM_CopyVolume)->Unit(benchmark::kMillisecond);

void BM_UCVolume2FVolume(benchmark::State& st) {
  Owned out(V3D_F, 1);
  for (auto _ : st) benchmark::DoNotOptimize(UCVolume2FVolume(standard(), &out.v, 0, 0, 0));
}
BENCHMARK(BM_UCVolume2FVolume)->Unit(benchmark::kMillisecond);

void BM_FVolume2UCVolume_norm(benchmark::State& st) {
  Owned f(V3D_F, 1), out(V3D_UC, 1);
  UCVolume2FVolume(standard(), &f.v, 0, 0, 0);
  for (auto _ : st) benchmark::DoNotOptimize(FVolume2UCVolume_norm(&f.v, &out.v, 0, 0, 0));
}
BENCHMARK(BM_FVolume2UCVolume_norm)->Unit(benchmark::kMillisecond);

void BM_CountNonZeroSurfacePoints3d(benchmark::State& st) {
  unsigned long n = 0;
  for (auto _ : st) benchmark::DoNotOptimize(CountNonZeroSurfacePoints3d(binary(), &n));
  st.counters["surface"] = static_cast<double>(n);
}
BENCHMARK(BM_CountNonZeroSurfacePoints3d)->Unit(benchmark::kMillisecond);

void BM_FindBoundingBox3d(benchmark::State& st) {
  int b[6];
  for (auto _ : st)
    benchmark::DoNotOptimize(FindBoundingBox3d(binary(), &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]));
}
BENCHMARK(BM_FindBoundingBox3d)->Unit(benchmark::kMillisecond);

void BM_Symmetric3d(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  for (auto _ : st) benchmark::DoNotOptimize(Symmetric3d(standard(), &out.v));
}
BENCHMARK(BM_Symmetric3d)->Unit(benchmark::kMillisecond);

void BM_RotateVol2d(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  for (auto _ : st)
    benchmark::DoNotOptimize(RotateVol2d(standard(), &out.v, 30.0f, 128, 128, 128, 128, 0, 0));
}
BENCHMARK(BM_RotateVol2d)->Unit(benchmark::kMillisecond);

void BM_RotateVol3d(benchmark::State& st) {
  Owned out(V3D_UC, 1);
  for (auto _ : st)
    benchmark::DoNotOptimize(
        RotateVol3d(standard(), &out.v, 30.0f, 20.0f, 64, 128, 128, 64, 128, 128, 0));
}
BENCHMARK(BM_RotateVol3d)->Unit(benchmark::kMillisecond);

void BM_WriteReadVolume(benchmark::State& st) {
  const std::string name = "/tmp/v3d_bench_volume.rv";
  Owned in(V3D_UC, 1);
  for (auto _ : st) {
    benchmark::DoNotOptimize(WriteVolume(standard(), name.c_str(), 0, bench::kZ));
    benchmark::DoNotOptimize(ReadVolume(&in.v, name.c_str(), 0, bench::kZ, bench::kY, bench::kX));
  }
  std::remove(name.c_str());
}
BENCHMARK(BM_WriteReadVolume)->Unit(benchmark::kMillisecond);

}  // namespace
