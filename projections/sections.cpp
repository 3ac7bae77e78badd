// Sections: an orthogonal plane (TomiOrth), a plane given by its equation (TomiRand1) and the
// plane perpendicular to a 3-D viewing direction at a chosen depth (TomiRand2).
//
// To copy a position is to copy every channel's sample there to the same pixel of every
// channel of the image. TomiOrth and TomiRand1 write only their rectangle of the image (the
// VOI's extent along the two axes of the plane); TomiRand2 writes the whole image, 0 outside
// the projected rectangle and where the plane leaves the source box.
#include <cmath>

#include "projections/projections.h"
#include "projections/view.h"

namespace v3d::proj {
namespace {

void copyPosition(const Channels& v, unsigned char*** image, int row, long long column, int z,
                  int y, int x) {
  for (int c = 0; c < v.count; ++c) image[c][row][column] = v.ch[c][z][y][x];
}

void zeroPixel(int channels, unsigned char*** image, int row, long long column) {
  for (int c = 0; c < channels; ++c) image[c][row][column] = 0;
}

// trunc(value) when it lies in [lo, hi), else -1; exact for every float, NaN and infinities
// included.
int insideOrMinusOne(float value, int lo, int hi) {
  const double t = std::trunc(static_cast<double>(value));
  return t >= lo && t < hi ? static_cast<int>(t) : -1;
}

}  // namespace
}  // namespace v3d::proj

using namespace v3d;
using namespace v3d::proj;

extern "C" int TomiOrth(Volume* volume, unsigned char*** image, int R, int C, int type,
                        int position) {
  if (const int code = checkCall(volume, image, R, C); code != 0) return code;
  const Box b = voiOf(*volume);
  const long long frames = b.depth(), rows = b.height(), columns = b.width();
  bool fits = false;
  switch (type) {
    case 1:
      fits = position >= b.z0 && position < b.z1 && R >= rows && C >= columns;
      break;
    case 2:
      fits = position >= b.y0 && position < b.y1 && R >= frames && C >= columns;
      break;
    case 3:
      fits = position >= b.x0 && position < b.x1 && R >= frames && C >= rows;
      break;
    default:
      break;
  }
  if (!fits) return kInvalidParameters;
  const Channels v(*volume);
  if (type == 1) {
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) copyPosition(v, image, y - b.y0, x - b.x0, position, y, x);
  } else if (type == 2) {
    for (int z = b.z0; z < b.z1; ++z)
      for (int x = b.x0; x < b.x1; ++x)
        copyPosition(v, image, b.z1 - 1 - z, x - b.x0, z, position, x);
  } else {
    for (int z = b.z0; z < b.z1; ++z)
      for (int y = b.y0; y < b.y1; ++y)
        copyPosition(v, image, b.z1 - 1 - z, y - b.y0, z, y, position);
  }
  return 0;
}

extern "C" int TomiRand1(Volume* volume, unsigned char*** image, int R, int C, float a, float b,
                         float c, float e, int type) {
  if (const int code = checkCall(volume, image, R, C); code != 0) return code;
  // A NaN or infinite coefficient describes no plane.
  if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(c) || !std::isfinite(e))
    return kInvalidParameters;
  const Box box = voiOf(*volume);
  const long long frames = box.depth(), rows = box.height(), columns = box.width();
  float divisor = 0.0f;
  bool fits = false;
  switch (type) {
    case 1:
      divisor = c, fits = R >= rows && C >= columns;
      break;
    case 2:
      divisor = b, fits = R >= frames && C >= columns;
      break;
    case 3:
      divisor = a, fits = R >= frames && C >= rows;
      break;
    default:
      break;
  }
  if (!fits || divisor == 0.0f) return kInvalidParameters;
  const Channels v(*volume);
  const auto pixel = [&](int row, long long column, int z, int y, int x) {
    if (z < 0 || y < 0 || x < 0)
      zeroPixel(v.count, image, row, column);
    else
      copyPosition(v, image, row, column, z, y, x);
  };
  if (type == 1) {
    const float qa = a / c, qb = b / c, qe = e / c;
    for (int y = box.y0; y < box.y1; ++y)
      for (int x = box.x0; x < box.x1; ++x) {
        const float z = 0.5f - static_cast<float>(y) * qa - static_cast<float>(x) * qb - qe;
        pixel(y - box.y0, x - box.x0, insideOrMinusOne(z, box.z0, box.z1), y, x);
      }
  } else if (type == 2) {
    const float qc = c / b, qa = a / b, qe = e / b;
    for (int z = box.z0; z < box.z1; ++z)
      for (int x = box.x0; x < box.x1; ++x) {
        const float y = 0.5f - static_cast<float>(z) * qc - static_cast<float>(x) * qa - qe;
        pixel(z - box.z0, x - box.x0, z, insideOrMinusOne(y, box.y0, box.y1), x);
      }
  } else {
    const float qc = c / a, qb = b / a, qe = e / a;
    for (int z = box.z0; z < box.z1; ++z)
      for (int y = box.y0; y < box.y1; ++y) {
        const float x = 0.5f - static_cast<float>(z) * qc - static_cast<float>(y) * qb - qe;
        pixel(z - box.z0, y - box.y0, z, y, insideOrMinusOne(x, box.x0, box.x1));
      }
  }
  return 0;
}

extern "C" int TomiRand2(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                         float angle2, int crop, float depth) {
  if (const int code = checkCall(volume, image, R, C); code != 0) return code;
  // NaN fails both comparisons, so it is refused by the first test.
  if (!(depth >= 0.0f && depth <= 100.0f)) return kInvalidParameters;
  View view;
  if (const int code = view.setUp(volume, R, C, angle1, angle2, true, crop); code != 0) return code;
  const Channels v(*volume);
  clearImage(image, v.count, R, C);
  const int N = view.depthSteps();
  const float w = std::trunc(depth * 0.01f * static_cast<float>(N) +
                             static_cast<float>(view.firstStep()) + 0.5f);
  const float wx = w * view.dx(), wy = w * view.dy(), wz = w * view.dz();
  const Box& box = view.box();
  view.forEachRow(
      [&](const View::Row& row) {
        for (int i = row.first; i < row.end; ++i) {
          const int x = insideOrMinusOne(row.px[i] + wx, box.x0, box.x1);
          const int y = insideOrMinusOne(row.py[i] + wy, box.y0, box.y1);
          const int z = insideOrMinusOne(row.pz[i] + wz, box.z0, box.z1);
          if (x >= 0 && y >= 0 && z >= 0)
            copyPosition(v, image, row.imageRow, row.column0 + i, z, y, x);
        }
      },
      false);
  return 0;
}
