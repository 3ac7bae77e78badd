// The frame-to-picture conversion of the display windows: frames per second when playing
// the standard volume (256 x 256 frames), at zoom divisors 1 and 2, grey and colour.
#include <benchmark/benchmark.h>

#include <vector>

#include "shell/display_model.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

Volume& standard(int colour) {
  static Volume grey{}, rgb{};
  Volume& v = colour == V3D_ONE_CHANNEL ? grey : rgb;
  if (v.dataType == 0) {
    InitializeVolume(&v, bench::kZ, bench::kY, bench::kX, V3D_UC, colour);
    if (CreateVolume(&v) != kSuccess) std::abort();
    bench::fillStandard(v);
    if (colour == V3D_THREE_CHANNELS)
      for (int c = 1; c < 3; ++c)
        for (int z = 0; z < v.Z; ++z)
          for (int y = 0; y < v.Y; ++y)
            for (int x = 0; x < v.X; ++x)
              channelData<UC>(v, c)[z][y][x] = static_cast<UC>(channelData<UC>(v, 0)[z][y][x] ^ (c * 85));
  }
  return v;
}

void BM_PlaybackFrames(benchmark::State& st) {
  const int colour = static_cast<int>(st.range(0));
  const int divisor = static_cast<int>(st.range(1));
  Volume& v = standard(colour);
  const int w = bench::kX / divisor, h = bench::kY / divisor;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  int frame = 0;
  for (auto _ : st) {
    shell::renderFrame(v, frame, colour == V3D_THREE_CHANNELS, divisor, 0, 0, pixels.data(), w, h);
    benchmark::DoNotOptimize(pixels.data());
    frame = (frame + 1) % bench::kZ;
  }
  st.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(st.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PlaybackFrames)->ArgNames({"channels", "divisor"})->Args({1, 1})->Args({1, 2})->Args({2, 1});

}  // namespace
