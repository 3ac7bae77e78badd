#include "shell/window_placement.h"

#include <algorithm>

namespace v3d::shell {

WindowRect placeInside(const WindowRect& window, int areaWidth, int areaHeight, bool resizable) {
  WindowRect r = window;
  if (resizable) {
    r.width = std::min(r.width, std::max(1, areaWidth));
    r.height = std::min(r.height, std::max(1, areaHeight));
  }
  r.x = std::max(0, std::min(r.x, areaWidth - r.width));
  r.y = std::max(0, std::min(r.y, areaHeight - r.height));
  return r;
}

}  // namespace v3d::shell
