// libFuzzer target: the GIF decoder on arbitrary bytes.
#include "fuzz/fuzz_decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace v3d;
  image::ImageInfo info;
  image::headerGIF(data, size, info);
  image::DecodedImage out;
  if (image::decodeGIF(data, size, fuzz::kLimit, out) == 0) {
    volatile unsigned sink = fuzz::consume(out);
    (void)sink;
  }
  return 0;
}
