// A projection picture as PNG, through Qt's image writer.
#include <QImage>
#include <algorithm>

#include "volstore/saver.h"

namespace v3d::volstore {

int saveBufferPng(const V3dBuffer* b, const std::string& path) {
  if (const int code = checkBuffer(b); code != 0) return code;
  const bool colour = b->kind == V3D_BUFFER_COLOUR;
  QImage image(b->width, b->height, colour ? QImage::Format_RGB888 : QImage::Format_Grayscale8);
  if (image.isNull()) return kCannotAllocateBuffer;
  for (int y = 0; y < b->height; ++y) {
    uchar* line = image.scanLine(y);
    if (!colour) {
      std::copy(b->plane[0][y], b->plane[0][y] + b->width, line);
      continue;
    }
    for (int x = 0; x < b->width; ++x) {
      line[3 * x] = b->plane[0][y][x];
      line[3 * x + 1] = b->plane[1][y][x];
      line[3 * x + 2] = b->plane[2][y][x];
    }
  }
  // The temporary name has no extension, so the format is named.
  return writeThroughTemporary(path, [&](const char* name) {
    return image.save(QString::fromStdString(name), "PNG") ? 0 : kCannotWriteFile;
  });
}

}  // namespace v3d::volstore
