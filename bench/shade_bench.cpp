// The surface module's scripts on a segmented colour volume: 64 frames of 256 x 256 with ten
// blob objects (ellipsoids of seeded centres and radii, each painted in its own colour, later
// ones over earlier ones), the input the "Build &Surface Script" command expects.
//
//   v3d_bench_shade                        the benchmarks
//   v3d_bench_shade --write-labels FILE    the blobs as 64 x 256 x 256 bytes of labels (0 for
//                                          the background, k for blob k), for the peer script
//
// BM_SurfaceScript is the whole command after its questions: chains of every frame, stitching
// with no connections, the surface script. Its counters give the objects and the faces.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "shadeview/scripts/scripts.h"
#include "standard_volume.h"

namespace {

using namespace v3d;
using bench::Owned;

constexpr int kZ = 64, kY = 256, kX = 256, kBlobs = 10;

// Labels 0..kBlobs, made once.
const std::vector<uint8_t>& labels() {
  static const std::vector<uint8_t> l = [] {
    std::vector<uint8_t> out(size_t(kZ) * kY * kX, 0);
    std::mt19937 rng(2026);
    for (int k = 1; k <= kBlobs; ++k) {
      const double rz = 8 + rng() % 14, ry = 14 + rng() % 30, rx = 14 + rng() % 30;
      const double cz = rz + rng() % unsigned(kZ - 2 * rz), cy = ry + rng() % unsigned(kY - 2 * ry),
                   cx = rx + rng() % unsigned(kX - 2 * rx);
      for (int z = 0; z < kZ; ++z)
        for (int y = 0; y < kY; ++y)
          for (int x = 0; x < kX; ++x) {
            const double a = (z - cz) / rz, b = (y - cy) / ry, c = (x - cx) / rx;
            if (a * a + b * b + c * c <= 1.0) out[(size_t(z) * kY + y) * kX + x] = uint8_t(k);
          }
    }
    return out;
  }();
  return l;
}

// The blobs as a colour volume: blob k in its own colour.
Volume* blobs() {
  static Owned v(V3D_UC, V3D_THREE_CHANNELS, kZ, kY, kX);
  static const bool filled = [] {
    const auto& l = labels();
    for (int z = 0; z < kZ; ++z)
      for (int y = 0; y < kY; ++y)
        for (int x = 0; x < kX; ++x) {
          const int k = l[(size_t(z) * kY + y) * kX + x];
          const int rgb[3] = {k ? 40 + 20 * k : 0, k ? 250 - 20 * k : 0, k ? (k * 73) % 256 : 0};
          for (int c = 0; c < 3; ++c)
            static_cast<uint8_t***>(v.v.channel[c])[z][y][x] = uint8_t(rgb[c]);
        }
    return true;
  }();
  (void)filled;
  return &v.v;
}

long faces(const std::string& script) {
  std::ifstream in(script);
  long n = 0;
  for (std::string line; std::getline(in, line);) n += line.rfind("3DFACE", 0) == 0;
  return n;
}

void BM_SurfaceScript(benchmark::State& state) {
  Volume* v = blobs();
  shade::ScratchFolder scratch;
  const std::string chains = scratch.prefix("~chn"), stitches = scratch.prefix("~tri");
  const std::string script = scratch.prefix("blobs.scr");
  int objects = 0;
  for (auto _ : state) {
    shade::ColourTable colours;
    objects = shade::BuildChains(CheckVolume, v, chains.c_str(), shade::kChainStep, &colours);
    const shade::ConnectionTable none(size_t(objects > 0 ? objects : 0));
    int code = objects > 0 ? 0 : objects;
    if (code == 0)
      code = shade::StitchContours(chains.c_str(), stitches.c_str(), 0, kZ, objects, &none);
    if (code == 0)
      code = shade::WriteSurfaceScript(script.c_str(), chains.c_str(), stitches.c_str(), 1.0f, 0,
                                       kZ, objects + 1);
    if (code != 0) state.SkipWithError("surface script failed");
    benchmark::DoNotOptimize(code);
  }
  state.counters["objects"] = objects;
  state.counters["faces"] = double(faces(script));
}
BENCHMARK(BM_SurfaceScript)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_BuildChains(benchmark::State& state) {
  Volume* v = blobs();
  shade::ScratchFolder scratch;
  const std::string chains = scratch.prefix("~chn");
  for (auto _ : state) {
    shade::ColourTable colours;
    benchmark::DoNotOptimize(
        shade::BuildChains(CheckVolume, v, chains.c_str(), shade::kChainStep, &colours));
  }
}
BENCHMARK(BM_BuildChains)->Unit(benchmark::kMillisecond);

void BM_LinesScriptRoundTrip(benchmark::State& state) {
  Volume* v = blobs();
  Owned out(V3D_UC, V3D_THREE_CHANNELS, kZ, kY, kX);
  shade::ScratchFolder scratch;
  const std::string script = scratch.prefix("lines.scr");
  for (auto _ : state) {
    int code = shade::BuildLinesScript(CheckVolume, v, script.c_str(), 1.0f);
    if (code == 0) code = shade::ReadLinesScript(CheckVolume, &out.v, script.c_str(), 1);
    if (code != 0) state.SkipWithError("line script failed");
  }
}
BENCHMARK(BM_LinesScriptRoundTrip)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--write-labels") {
    const auto& l = labels();
    std::FILE* f = std::fopen(argv[2], "wb");
    if (f == nullptr || std::fwrite(l.data(), 1, l.size(), f) != l.size() || std::fclose(f) != 0)
      return 1;
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
