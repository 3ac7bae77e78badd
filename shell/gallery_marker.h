// The frame gallery's marker: the tile under the pointer in a gallery picture, and the red
// frame drawn around it on the picture that is shown (never into the buffer or the volume).
#pragma once

#include <cstddef>

#include "shell/projection_model.h"

namespace v3d::shell {

// A tile of the gallery picture, in picture pixels.
struct GalleryTile {
  int frame;  // the volume frame the tile shows
  int x, y, width, height;
  bool operator==(const GalleryTile&) const = default;
};

// The tile under picture pixel (x, y) of a gallery made with `p`: tiles of 100 columns,
// trunc(100 * rows / columns) rows, framesPerRow to a row, one per VOI frame. False when the
// pixel lies outside every tile that shows a frame.
bool galleryTileAt(const GalleryParameters& p, int x, int y, GalleryTile* tile);

// The marker's pen width, in pixels.
inline constexpr int kGalleryMarkerWidth = 2;
// Draws the marker, red (255, 0, 0) and kGalleryMarkerWidth pixels wide along the inside of
// the tile's border, into an RGB picture (3 bytes per pixel, `stride` bytes per row) of
// width x height pixels; the parts outside the picture are left out.
void drawGalleryMarker(unsigned char* rgb, int width, int height, std::ptrdiff_t stride,
                       const GalleryTile& tile);

}  // namespace v3d::shell
