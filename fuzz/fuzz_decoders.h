// Shared body of the decoder fuzz targets: decode the input as one frame under a 512 x 512
// image-size limit (so that every allocation stays small), header first as the sequence check
// does, then the whole image.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/image_codecs.h"

namespace v3d::fuzz {

inline constexpr ImageSize kLimit{512, 512};

// Touches every decoded byte, so that reads of uninitialised or freed storage are seen.
inline unsigned consume(const image::DecodedImage& out) {
  unsigned sum = 0;
  for (int c = 0; c < out.channels(); ++c)
    for (int y = 0; y < out.rows(); ++y)
      for (int x = 0; x < out.decodedColumns(y); ++x) sum += out.row(c, y)[x];
  return sum;
}

}  // namespace v3d::fuzz
