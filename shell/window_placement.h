// Where a new window goes in the frame's window area: fully inside it, moved towards the
// area's top left corner as far as needed and, when it is larger than the area, shrunk to it.
#pragma once

namespace v3d::shell {

struct WindowRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const WindowRect&) const = default;
};

// `window` placed inside an area of areaWidth x areaHeight with its origin at 0, 0. A window
// that may not be resized (`resizable` false) is only moved; one larger than the area then
// starts at the area's edge.
WindowRect placeInside(const WindowRect& window, int areaWidth, int areaHeight, bool resizable);

}  // namespace v3d::shell
