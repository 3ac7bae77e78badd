// libFuzzer target: the TIFF reader (through the library's own decoder) on arbitrary bytes.
#include "fuzz/fuzz_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace v3d;
  image::DecodedImage out;
  if (image::decodeTIFFMemory(data, size, fuzz::kLimit, out) == 0) {
    volatile unsigned sink = fuzz::consume(out);
    (void)sink;
  }
  return 0;
}
