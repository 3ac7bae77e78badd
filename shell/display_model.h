// The toolkit-free model of a volume display window: the frame range and the current
// frame, the zoom divisor and the scroll position, the fitted size, the title, and the
// conversion of the visible part of a frame into a picture.
//
// Picture: the 0xFFRRGGBB pixels of shell/pixels.h. Grey volumes go through the grey palette
// (value v is red = green = blue = v); three-channel volumes take red, green, blue from
// channels 1, 2, 3. Pixel
// (px, py) of the pane shows voxel ((px + scrollX) * divisor, (py + scrollY) * divisor).
//
// Magnification: besides the divisor, a window can show every voxel as a block of m x m
// pixels (m = 2 to 16, nearest neighbour, so voxels stay crisp); pixel (px, py) then shows
// voxel ((px + scrollX) / m, (py + scrollY) / m). At most one of the two is above 1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/volume.h"

namespace v3d::shell {

inline constexpr int kButtonBarHeight = 21;
inline constexpr int kMinimumDisplayWidth = 192;
inline constexpr int kMaxZoomDivisor = 64;
inline constexpr int kMaxMagnification = 16;

// Button command ids of the display window bars.
enum DisplayButton : int {
  kPlayForward = 10,
  kPlayBackward = 11,
  kButtonNothing = 12,
  kNextFrame = 13,
  kPreviousFrame = 14,
  kPlayBothWays = 15,
};

struct Voxel {
  int x, y, z;
};

class DisplayModel {
 public:
  // `colour` is the display mode: three channels shown as colour, else the grey palette.
  DisplayModel(Volume* volume, bool colour, int lower, int upper, float delaySeconds);

  Volume* volume() const { return volume_; }
  bool colour() const { return colour_; }
  int lower() const { return lower_; }
  int upper() const { return upper_; }
  int current() const { return current_; }
  int divisor() const { return divisor_; }
  float delay() const { return delay_; }

  // "vol %u [fr %u-%u,%u]" with the slot, the range and the current frame.
  std::string title() const;

  // Steps; false when already at the end of the range.
  bool next();
  bool previous();
  void setCurrent(int frame);

  // Zoom by powers of two; false at the limits (divisor 1 or 64). "Zoom In" never touches
  // the magnification; "Zoom Out" of a magnified picture halves the magnification first.
  bool zoomIn();
  bool zoomOut();
  // Shows every voxel as m x m pixels (1 to 16), the divisor back at 1; false when m is out
  // of range or already shown.
  bool setMagnification(int m);
  int magnification() const { return magnification_; }
  // One step closer (the mouse wheel): the divisor halved, or at 1 the magnification doubled
  // up to 16. False at the limit.
  bool stepCloser();

  // The shown size of the whole frame at the current divisor (rounded up).
  int shownWidth() const;
  int shownHeight() const;
  // The pane size that fits a screen of the given usable size, and the client size of the
  // window: the pane plus the button bar, at least 192 pixels wide.
  void fit(int screenWidth, int screenHeight, int& paneWidth, int& paneHeight) const;
  static int clientWidth(int paneWidth) { return paneWidth < kMinimumDisplayWidth ? kMinimumDisplayWidth : paneWidth; }

  // Scroll position in screen pixels, clamped to what the pane cannot show.
  void setScroll(int x, int y, int paneWidth, int paneHeight);
  int scrollX() const { return scrollX_; }
  int scrollY() const { return scrollY_; }

  // The voxel under pane pixel (px, py) in the current frame, if inside the frame.
  std::optional<Voxel> voxelAt(int px, int py) const;

  // Fills `pixels` (paneWidth * paneHeight, row after row) with the visible part of the
  // current frame; pixels beyond the frame are the window background (0xFFD4D0C8).
  void render(std::vector<std::uint32_t>& pixels, int paneWidth, int paneHeight) const;

  // A rubber band from pane pixel a to b (which may lie outside the pane) becomes the x and y
  // bounds of the volume's VOI (in voxels, corners ordered, clamped to the frame); the frame
  // bounds stay.
  void applyRubberBand(int ax, int ay, int bx, int by) const;

 private:
  Volume* volume_;
  bool colour_;
  int lower_, upper_, current_;
  float delay_;
  int divisor_ = 1;
  int magnification_ = 1;
  int scrollX_ = 0, scrollY_ = 0;
};

// Writes the frame-to-picture conversion of one frame region (exposed for the benchmark).
void renderFrame(const Volume& v, int frame, bool colour, int divisor, int scrollX, int scrollY,
                 std::uint32_t* pixels, int paneWidth, int paneHeight);

}  // namespace v3d::shell
