// A mode of a volume display window: something that takes over the pointer in the window's
// picture for a while, and may draw over the picture. The window calls its mode, when it has
// one, at four points; a mode serves any number of windows.
#pragma once

#include <cstdint>
#include <vector>

class QEvent;

namespace v3d::shell::qt {

class DisplayWindow;

class DisplayMode {
 public:
  virtual ~DisplayMode() = default;
  // An event of the window's picture pane, after the modules' hooks; true when the mode has
  // taken it, so that the pane does not handle it too.
  virtual bool paneEvent(DisplayWindow& window, QEvent* event) = 0;
  // The window has stepped to another frame with its bar.
  virtual void stepped(DisplayWindow& window) = 0;
  // Draws over the picture of the window's pane (paneWidth * paneHeight pixels).
  virtual void decorate(DisplayWindow& window, std::vector<std::uint32_t>& pixels, int paneWidth,
                        int paneHeight) = 0;
  // The window is closing; it has left the mode already.
  virtual void closing(DisplayWindow& window) = 0;
};

}  // namespace v3d::shell::qt
