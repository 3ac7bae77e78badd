// BMP frames: uncompressed Windows bitmaps of 1, 4, 8 or 24 bits per pixel.
//
// Layout (little-endian): a 14-byte file header ("BM", file size, two reserved words, offset
// of the pixel data), an information header of at least 40 bytes (its size, width, height,
// planes, bits per pixel, compression, image size, resolutions, palette colours used,
// colours required), the palette (blue, green, red, reserved per entry) for indexed depths,
// then the pixel rows, each padded to a multiple of 4 bytes. Rows are stored bottom-up, or
// top-down when the height is negative. Indexed pixels are packed most significant bits
// first. BMP frames are always read as colour (red, green, blue into channels 1, 2, 3).
//
// The palette follows the information header, wherever that header ends: 40-byte headers
// put it at byte 54, the V4 and V5 headers that current tools write put it further on.
#include <cstring>

#include "core/image_codecs.h"
#include "core/image_sequence.h"
#include "core/volume.h"

namespace v3d::image {
namespace {

constexpr std::size_t kFileHeader = 14;

std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
unsigned le16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}

struct BmpHeader {
  std::uint32_t dataOffset;
  std::uint32_t infoSize;
  int width;
  int rows;
  bool topDown;
  unsigned bitsPerPixel;
  std::uint32_t coloursUsed;
};

int parse(const std::uint8_t* d, std::size_t n, BmpHeader& h) {
  if (d == nullptr || n < kBmpHeaderBytes || d[0] != 'B' || d[1] != 'M') return kBmpReadError;
  h.dataOffset = le32(d + 10);
  h.infoSize = le32(d + 14);
  const auto width = static_cast<std::int32_t>(le32(d + 18));
  const auto height = static_cast<std::int32_t>(le32(d + 22));
  h.bitsPerPixel = le16(d + 28);
  const std::uint32_t compression = le32(d + 30);
  h.coloursUsed = le32(d + 46);
  if (compression != 0 || h.infoSize < 40) return kBmpReadError;
  if (width <= 0 || height == 0 || height == INT32_MIN) return kBmpReadError;
  h.width = width;
  h.topDown = height < 0;
  h.rows = height < 0 ? -height : height;
  return 0;
}

}  // namespace

int headerBMP(const std::uint8_t* d, std::size_t n, ImageInfo& info) {
  BmpHeader h{};
  if (const int code = parse(d, n, h); code != 0) return code;
  info = {h.rows, h.width, 1};
  return 0;
}

int decodeBMP(const std::uint8_t* d, std::size_t n, ImageSize limit, DecodedImage& out) {
  BmpHeader h{};
  if (const int code = parse(d, n, h); code != 0) return code;
  if (h.rows > limit.rows || h.width > limit.columns) return kBmpReadError;
  const unsigned bpp = h.bitsPerPixel;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24) return kBmpReadError;

  // Palette: as many entries as the header says, 2^bpp when it says 0.
  std::uint8_t palette[256][3] = {};
  std::uint32_t entries = 0;
  if (bpp <= 8) {
    entries = h.coloursUsed != 0 ? h.coloursUsed : (1u << bpp);
    if (entries > 256) return kBmpReadError;  // longer than any palette table
  }
  const std::uint64_t paletteStart = kFileHeader + static_cast<std::uint64_t>(h.infoSize);
  const std::uint64_t paletteEnd = paletteStart + 4ull * entries;
  if (h.dataOffset < paletteEnd || paletteEnd > n) return kBmpReadError;
  for (std::uint32_t i = 0; i < entries; ++i) {
    const std::uint8_t* p = d + paletteStart + 4ull * i;
    palette[i][0] = p[2];
    palette[i][1] = p[1];
    palette[i][2] = p[0];
  }

  // Every stored row must be present up to its last pixel (the padding of the last row may
  // be missing).
  const std::uint64_t rowBits = static_cast<std::uint64_t>(h.width) * bpp;
  const std::uint64_t stride = (rowBits + 31) / 32 * 4;
  const std::uint64_t lastRowBytes = (rowBits + 7) / 8;
  if (static_cast<std::uint64_t>(h.dataOffset) + stride * (h.rows - 1) + lastRowBytes > n)
    return kBmpReadError;

  if (!out.reset(h.rows, h.width, 1)) return kCannotAllocateBuffer;
  for (int s = 0; s < h.rows; ++s) {
    const std::uint8_t* src = d + h.dataOffset + stride * static_cast<std::uint64_t>(s);
    const int y = h.topDown ? s : h.rows - 1 - s;
    std::uint8_t* r = out.row(0, y);
    std::uint8_t* g = out.row(1, y);
    std::uint8_t* b = out.row(2, y);
    if (bpp == 24) {
      for (int x = 0; x < h.width; ++x, src += 3) {
        b[x] = src[0];
        g[x] = src[1];
        r[x] = src[2];
      }
      continue;
    }
    const unsigned perByte = 8 / bpp, mask = (1u << bpp) - 1;
    for (int x = 0; x < h.width; ++x) {
      const unsigned shift = 8 - bpp * (1 + x % perByte);
      const unsigned index = (src[x / perByte] >> shift) & mask;
      if (index >= entries) return kBmpReadError;  // beyond the palette
      r[x] = palette[index][0];
      g[x] = palette[index][1];
      b[x] = palette[index][2];
    }
  }
  return 0;
}

}  // namespace v3d::image
