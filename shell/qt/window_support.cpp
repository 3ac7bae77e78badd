#include "shell/qt/window_support.h"

#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <algorithm>
#include <cstring>

namespace v3d::shell::qt {

QImage toImage(const std::vector<std::uint32_t>& pixels, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    std::memcpy(image.scanLine(y), pixels.data() + static_cast<std::size_t>(y) * w,
                static_cast<std::size_t>(w) * 4);
  return image;
}

QSize usableScreen() {
  QRect r(0, 0, 1024, 768);
  if (QScreen* s = QGuiApplication::primaryScreen()) r = s->availableGeometry();
  return {std::max(64, r.width() - 16), std::max(64, r.height() - 80)};
}

}  // namespace v3d::shell::qt
