// Manual frame alignment: composing the alignment window's picture on 256 x 256 frames of the
// standard volume (16 frames of it), the way each user action does it, and writing one aligned
// frame. A step to another frame places and turns the previous and the current frame and
// overlays them; a turn places and turns the current frame; a shift only overlays. Dragging
// stays smooth while each of these takes well under 16 ms.
#include <benchmark/benchmark.h>

#include <memory>

#include "shell/alignment_model.h"
#include "standard_volume.h"

namespace {

using namespace v3d;

constexpr int kFrames = 16;

struct Volumes {
  Volume in{}, out{};
  Volumes(int colour) {
    InitializeVolume(&in, kFrames, bench::kY, bench::kX, V3D_UC, colour);
    InitializeVolume(&out, kFrames, bench::kY, bench::kX, V3D_UC, colour);
    if (CreateVolume(&in) != kSuccess || CreateVolume(&out) != kSuccess) std::abort();
    Volume grey{};
    InitializeVolume(&grey, kFrames, bench::kY, bench::kX, V3D_UC, V3D_ONE_CHANNEL);
    if (CreateVolume(&grey) != kSuccess) std::abort();
    bench::fillStandard(grey);
    for (int c = 0; c < (colour == V3D_ONE_CHANNEL ? 1 : 3); ++c)
      for (int z = 0; z < kFrames; ++z)
        for (int y = 0; y < bench::kY; ++y)
          for (int x = 0; x < bench::kX; ++x)
            channelData<UC>(in, c)[z][y][x] =
                static_cast<UC>(channelData<UC>(grey, 0)[z][y][x] ^ (c * 85));
    DestroyVolume(&grey);
  }
  ~Volumes() {
    DestroyVolume(&in);
    DestroyVolume(&out);
  }
};

std::unique_ptr<shell::AlignmentModel> started(Volumes& v) {
  std::unique_ptr<shell::AlignmentModel> m;
  if (shell::AlignmentModel::create(&v.in, &v.out, 0, kFrames - 1, m) != kSuccess) std::abort();
  // A turned and shifted previous frame, as in a real run.
  m->rotate(7.0f);
  m->shift(5, -3);
  return m;
}

void BM_AlignmentStepToFrame(benchmark::State& st) {
  Volumes v(static_cast<int>(st.range(0)));
  auto m = started(v);
  int frame = 1;
  for (auto _ : st) {
    if (m->moveTo(frame) != kSuccess) st.SkipWithError("moveTo failed");
    benchmark::DoNotOptimize(m->picture());
    frame = frame % (kFrames - 1) + 1;
  }
}
BENCHMARK(BM_AlignmentStepToFrame)
    ->ArgName("colour")
    ->Arg(V3D_ONE_CHANNEL)
    ->Arg(V3D_THREE_CHANNELS);

void BM_AlignmentTurn(benchmark::State& st) {
  Volumes v(V3D_ONE_CHANNEL);
  auto m = started(v);
  m->moveTo(1);
  for (auto _ : st) {
    if (m->rotate(0.5f) != kSuccess) st.SkipWithError("rotate failed");
    benchmark::DoNotOptimize(m->picture());
  }
}
BENCHMARK(BM_AlignmentTurn);

void BM_AlignmentShift(benchmark::State& st) {
  Volumes v(V3D_ONE_CHANNEL);
  auto m = started(v);
  m->moveTo(1);
  int step = 1;
  for (auto _ : st) {
    if (m->shift(step, -step) != kSuccess) st.SkipWithError("shift failed");
    step = -step;
    benchmark::DoNotOptimize(m->picture());
  }
}
BENCHMARK(BM_AlignmentShift);

void BM_AlignmentWriteFrame(benchmark::State& st) {
  Volumes v(static_cast<int>(st.range(0)));
  auto m = started(v);
  m->store();
  for (auto _ : st) {
    if (m->writeFrame(0) != kSuccess) st.SkipWithError("writeFrame failed");
    benchmark::DoNotOptimize(channelData<UC>(v.out, 0)[0][0]);
  }
}
BENCHMARK(BM_AlignmentWriteFrame)->ArgName("colour")->Arg(V3D_ONE_CHANNEL)->Arg(V3D_THREE_CHANNELS);

}  // namespace
