// The picture pixels of the display windows and the section view: 32-bit 0xFFRRGGBB (in
// memory blue, green, red, opaque), the layout of QImage::Format_RGB32, so a row of them is
// copied into an image as it is. No toolkit in here.
#pragma once

#include <cstdint>

#include "core/samples.h"

namespace v3d::shell {

inline constexpr std::uint32_t kOpaque = 0xFF000000u;

// A grey sample through the grey palette: red = green = blue = v.
constexpr std::uint32_t greyPixel(UC v) {
  return kOpaque | (std::uint32_t{v} * 0x010101u);
}

// Three channel samples as red, green and blue.
constexpr std::uint32_t rgbPixel(UC r, UC g, UC b) {
  return kOpaque | (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
}

}  // namespace v3d::shell
