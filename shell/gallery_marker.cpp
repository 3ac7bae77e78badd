#include "shell/gallery_marker.h"

#include <algorithm>

namespace v3d::shell {
namespace {
constexpr int kTileColumns = 100;  // a gallery's tiles are 100 columns wide
}  // namespace

bool galleryTileAt(const GalleryParameters& p, int x, int y, GalleryTile* tile) {
  int width = 0, height = 0;
  if (tile == nullptr || !galleryPictureSize(p, &width, &height)) return false;
  const long long rows = static_cast<long long>(p.rowTo) - p.rowFrom;
  const long long columns = static_cast<long long>(p.columnTo) - p.columnFrom;
  const int tileHeight = static_cast<int>(kTileColumns * rows / columns);
  if (x < 0 || y < 0 || x >= width || y >= height || tileHeight < 1) return false;
  const long long k = static_cast<long long>(y / tileHeight) * p.framesPerRow + x / kTileColumns;
  if (k >= static_cast<long long>(p.frameTo) - p.frameFrom) return false;
  *tile = {p.frameFrom + static_cast<int>(k), (x / kTileColumns) * kTileColumns,
           (y / tileHeight) * tileHeight, kTileColumns, tileHeight};
  return true;
}

void drawGalleryMarker(unsigned char* rgb, int width, int height, std::ptrdiff_t stride,
                       const GalleryTile& tile) {
  if (rgb == nullptr) return;
  auto inBorder = [&](int px, int py) {
    const int dx = px - tile.x, dy = py - tile.y;
    return dx < kGalleryMarkerWidth || dy < kGalleryMarkerWidth ||
           dx >= tile.width - kGalleryMarkerWidth || dy >= tile.height - kGalleryMarkerWidth;
  };
  const int x0 = std::max(tile.x, 0), x1 = std::min(tile.x + tile.width, width);
  const int y0 = std::max(tile.y, 0), y1 = std::min(tile.y + tile.height, height);
  for (int py = y0; py < y1; ++py) {
    unsigned char* row = rgb + py * stride;
    for (int px = x0; px < x1; ++px) {
      if (!inBorder(px, py)) continue;
      row[3 * px] = 255;
      row[3 * px + 1] = 0;
      row[3 * px + 2] = 0;
    }
  }
}

}  // namespace v3d::shell
