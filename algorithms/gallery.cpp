// Frame gallery: the VOI frames of a UC volume as equal tiles on frame 0 of the output.
//
// Conventions of this file:
//  - Tile k shows VOI frame z0 + k at output rows [(k / a) h, (k / a + 1) h) and columns
//    [(k % a) t, (k % a + 1) t) of frame 0; nothing else of the output is written.
//  - Every check and the scratch tables come before the first write.
//  - Positions are computed in double precision as start + i * step (no running sum, so
//    every tile pixel has the same source position however long the row).
//  - Nearest neighbour: step (N - 1) / (n - 1) from the VOI's first sample + 0.5, truncated;
//    the last tile pixel lands on the VOI's last sample. Bilinear: step (N - 1.1) / (n - 1)
//    from the VOI's first sample, so the right and lower neighbours stay inside the VOI;
//    the mix plus 0.5 is truncated.
//  - Inversions (255 - v): the separators (a tile's last column unless on the output's
//    right edge, its last row unless on the bottom edge) and the frame number's strokes
//    form one set of pixels, each inverted once: the corner where a separator row meets a
//    separator column stays dark on a bright picture, and a label reaching a separator does
//    not punch a hole in it. The label is clipped to its tile.
//
// Speed: the source rows and columns of a tile axis are tabled once per call. The standard
// volume's 128 frames as tiles of 256 x 256, 6 to a row: 2.7 ms nearest, 21 ms bilinear
// (bench/resampling_bench.cpp, one core).
#include "algorithms/gallery.h"

#include <algorithm>
#include <cstdint>

#include "algorithms/gallery_font.h"
#include "core/alloc.h"
#include "core/basic_ops.h"
#include "core/result_codes.h"
#include "core/samples.h"

namespace v3d {
namespace {

constexpr int kMinTile = 25;

// Source positions of one tile axis of n pixels over a VOI extent [first, first + extent).
struct AxisTable {
  ScratchArray<int> index;
  ScratchArray<double> fraction;
  AxisTable(int first, int extent, int n, bool nearest) : index(n), fraction(n) {
    if (!index || !fraction) return;
    const double step = ((nearest ? extent - 1.0 : extent - 1.1)) / (n - 1);
    for (int i = 0; i < n; ++i) {
      const double p = nearest ? first + 0.5 + i * step : first + i * step;
      const int ip = std::min(static_cast<int>(p), first + extent - (nearest ? 1 : 2));
      index[i] = ip;
      fraction[i] = nearest ? 0.0 : p - ip;
    }
  }
  explicit operator bool() const { return index && fraction; }
};

struct Layout {
  int t, h, rows, frames;
};

void resampleTile(UC** src, UC** dst, int row0, int col0, int h, int t, const AxisTable& ys,
                  const AxisTable& xs, bool nearest) {
  for (int i = 0; i < h; ++i) {
    UC* out = dst[row0 + i] + col0;
    if (nearest) {
      const UC* s = src[ys.index[i]];
      for (int j = 0; j < t; ++j) out[j] = s[xs.index[j]];
      continue;
    }
    const UC* s0 = src[ys.index[i]];
    const UC* s1 = src[ys.index[i] + 1];
    const double fy = ys.fraction[i];
    for (int j = 0; j < t; ++j) {
      const int x = xs.index[j];
      const double fx = xs.fraction[j];
      const double v = (1 - fy) * (1 - fx) * s0[x] + (1 - fy) * fx * s0[x + 1] +
                       fy * (1 - fx) * s1[x] + fy * fx * s1[x + 1] + 0.5;
      out[j] = static_cast<UC>(std::min(v, 255.0));
    }
  }
}

// Number of decimal digits of a non-negative number.
int digitCount(int n) {
  int d = 1;
  while (n >= 10) n /= 10, ++d;
  return d;
}

void invertMarks(UC** dst, int row0, int col0, int h, int t, bool columnSeparator,
                 bool rowSeparator, int frameNumber) {
  auto invert = [&](int r, int c) {
    UC& s = dst[row0 + r][col0 + c];
    s = static_cast<UC>(255 - s);
  };
  if (columnSeparator)
    for (int r = 0; r < h; ++r) invert(r, t - 1);
  if (rowSeparator)
    for (int c = 0; c < t - (columnSeparator ? 1 : 0); ++c) invert(h - 1, c);

  const int digits = digitCount(frameNumber);
  int rest = frameNumber;
  for (int cell = digits - 1; cell >= 0; --cell, rest /= 10) {
    const int digit = rest % 10;
    for (int gr = 0; gr < gallery::kGlyphRows; ++gr)
      for (int gc = 0; gc < gallery::kGlyphColumns; ++gc) {
        const int r = 1 + gr, c = cell * gallery::kCellWidth + 1 + gc;
        // Rows 1..8 never reach the last row of a tile of 25 or more rows.
        if (c >= t || (columnSeparator && c == t - 1)) continue;
        if (gallery::stroke(digit, gr, gc)) invert(r, c);
      }
  }
}

}  // namespace
}  // namespace v3d

extern "C" int ProduceFrameGallery3d(Volume* in, Volume* out, int tilesPerRow, int nearest) {
  using namespace v3d;
  if (int code = CheckVolume(in, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  if (int code = CheckVolume(out, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  if (in->colorType != out->colorType) return kInvalidOutputColorType;
  if (tilesPerRow < 1) return kInvalidParameters;
  const Box b = voiOf(*in);
  if (b.height() < 2 || b.width() < 2) return kInvalidInputDimensions;

  const int t = out->X / tilesPerRow;
  // trunc(Ny / Nx * t) as an exact integer quotient.
  const long long h64 = static_cast<long long>(b.height()) * t / b.width();
  if (t < kMinTile || h64 < kMinTile) return kInvalidOutputDimensions;
  const int h = static_cast<int>(std::min<long long>(h64, out->Y + 1LL));
  const int rows = out->Y / h;
  if (rows < 1) return kInvalidOutputDimensions;
  const long long room = static_cast<long long>(tilesPerRow) * rows;
  const int frames = static_cast<int>(std::min<long long>(b.depth(), room));

  const bool nn = nearest != 0;
  const AxisTable ys(b.y0, b.height(), h, nn), xs(b.x0, b.width(), t, nn);
  if (!ys || !xs) return kCannotAllocateBuffer;

  // When the output is the input and frame 0 is shown, the first tile would read the frame
  // it overwrites: it reads a copy of the VOI rows instead.
  const bool selfFirst = in->channel[0] == out->channel[0] && b.z0 == 0;
  const int channels = channelCount(*in);
  const std::size_t rowBytes = static_cast<std::size_t>(in->X);
  ScratchArray<UC> copy(selfFirst ? rowBytes * b.height() * channels : 0);
  ScratchArray<UC*> copyRows(selfFirst ? static_cast<std::size_t>(in->Y) * channels : 0);
  if (selfFirst && (!copy || !copyRows)) return kCannotAllocateBuffer;
  if (selfFirst)
    for (int c = 0; c < channels; ++c)
      for (int y = b.y0; y < b.y1; ++y) {
        UC* row = copy.get() + (static_cast<std::size_t>(c) * b.height() + (y - b.y0)) * rowBytes;
        std::copy_n(channelData<UC>(*in, c)[0][y], rowBytes, row);
        copyRows[static_cast<std::size_t>(c) * in->Y + y] = row;
      }

  for (int c = 0; c < channels; ++c) {
    UC*** src = channelData<UC>(*in, c);
    UC** dst = channelData<UC>(*out, c)[0];
    for (int k = 0; k < frames; ++k) {
      const int row0 = (k / tilesPerRow) * h, col0 = (k % tilesPerRow) * t;
      UC** frame = selfFirst && k == 0 ? copyRows.get() + static_cast<std::size_t>(c) * in->Y
                                       : src[b.z0 + k];
      resampleTile(frame, dst, row0, col0, h, t, ys, xs, nn);
      invertMarks(dst, row0, col0, h, t, col0 + t < out->X, row0 + h < out->Y, b.z0 + k);
    }
  }
  return 0;
}
