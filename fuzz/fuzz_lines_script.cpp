// libFuzzer target: the line-script reader of the surface module on arbitrary bytes, drawing
// into a small colour volume.
#include <cstdint>
#include <cstdio>

#include "core/volume.h"
#include "shadeview/scripts/scripts.h"

namespace {

Volume* target() {
  static Volume v = [] {
    Volume out{};
    InitializeVolume(&out, 4, 32, 32, V3D_UC, V3D_THREE_CHANNELS);
    CreateVolume(&out);
    return out;
  }();
  return &v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // fmemopen reads the bytes in place: no file, no copy.
  std::FILE* f = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
  if (f == nullptr) return 0;
  // Distances 1 and 2 both, so heights map to frames in two ways.
  v3d::shade::ReadLinesScriptStream(CheckVolume, target(), f, 1 + (data[0] & 1));
  std::fclose(f);
  return 0;
}
