// The toolkit-free model of the section view: the cursor point, the per-axis factors and
// their slider rule, and the three orthogonal sections through the cursor.
//
// Sections: the frame section shows columns by rows of frame cursorZ; the row-plane section
// columns by frames of row cursorY; the column-plane section frames (across) by rows of
// column cursorX. A factor f >= 1 shows every voxel as f pixels on that axis, f <= -2 every
// |f|-th voxel.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/volume.h"

namespace v3d::shell {

enum class Section { Frame, RowPlane, ColumnPlane };
enum class Axis { X, Y, Z };

class SectionModel {
 public:
  explicit SectionModel(Volume* volume);

  Volume* volume() const { return volume_; }
  int cursorX = 0, cursorY = 0, cursorZ = 0;

  // A slider position p gives the factor p - 50; 49 and 50 are moved to 48 (factors 0 and
  // -1 do not exist). Returns the position the slider is set to.
  int setSlider(Axis axis, int position);
  int factor(Axis axis) const;
  // "X factor : %4.2f" with f, or 1 / |f| for negative f.
  std::string factorText(Axis axis) const;

  // Scaled size of an axis of n voxels.
  static int scaled(int n, int factor);
  // Size of a section in pixels.
  int width(Section s) const;
  int height(Section s) const;
  // The voxel index along an axis for pixel p (scroll included).
  static int voxel(int p, int factor);
  // A click at pane pixel (px, py) of a section moves the two cursor coordinates it shows;
  // false when the pixel lies beyond the section.
  bool click(Section s, int px, int py);
  // A typed coordinate: taken only when it lies inside the volume.
  bool setCursor(Axis axis, int value);

  // The part (x0, y0, w, h) of the section as 0xFFRRGGBB pixels, row after row.
  void render(Section s, int x0, int y0, int w, int h, std::vector<std::uint32_t>& pixels) const;
  // The pixel of the cursor in a section (the cross-hair position).
  void cursorPixel(Section s, int& px, int& py) const;

 private:
  std::uint32_t colourAt(int z, int y, int x) const;
  Volume* volume_;
  int fx_ = 1, fy_ = 1, fz_ = 1;
};

// The title: "Section View of Volume %d."
std::string sectionViewTitle(Volume* v);

}  // namespace v3d::shell
