// libFuzzer target: the TIFF stack reader on arbitrary bytes: the check of every page, then,
// for stacks of at most 4 M samples, the read into a volume of the check's size.
#include <cstddef>
#include <cstdint>

#include "core/samples.h"
#include "core/tiff_stack.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace v3d;
  tiffstack::StackInfo info;
  if (tiffstack::checkMemory(data, size, info) != 0) return 0;
  const long long samples = static_cast<long long>(info.pages) * info.rows * info.columns *
                            (info.colorType == V3D_THREE_CHANNELS ? 3 : 1);
  if (samples > (4LL << 20)) return 0;
  Volume v{};
  InitializeVolume(&v, info.pages, info.rows, info.columns, info.dataType, info.colorType);
  if (CreateVolume(&v) != 0) return 0;
  if (tiffstack::readMemory(data, size, &v) == 0) {
    // Touches every sample, so that reads of uninitialised storage are seen.
    volatile unsigned sink = 0;
    const std::size_t row = sampleSize(v.dataType) * static_cast<std::size_t>(v.X);
    for (int c = 0; c < channelCount(v); ++c)
      for (int z = 0; z < v.Z; ++z)
        for (int y = 0; y < v.Y; ++y) {
          const auto* p = static_cast<const std::uint8_t*>(channelData<void>(v, c)[z][y]);
          for (std::size_t k = 0; k < row; ++k) sink = sink + p[k];
        }
  }
  DestroyVolume(&v);
  return 0;
}
