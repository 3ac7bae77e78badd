// Helpers the picture windows share: a picture of shell/pixels.h as a QImage, and the
// screen area a window may fill.
#pragma once

#include <QImage>
#include <QSize>
#include <cstdint>
#include <vector>

namespace v3d::shell::qt {

// Rows of w 0xFFRRGGBB pixels, one after the other, as an image of w by h.
QImage toImage(const std::vector<std::uint32_t>& pixels, int w, int h);

// The usable screen area for fitting a window, less window frames and caption.
QSize usableScreen();

}  // namespace v3d::shell::qt
