// TGA frames: image types 1, 2, 3 (colour-mapped, true-colour, grey) and 9, 10, 11 (the
// same, run-length encoded).
//
// Layout: an 18-byte header (identification length, colour-map type, image type, colour-map
// first index and length, colour-map entry size, x and y origin, width, height, pixel depth,
// descriptor), the identification field, the colour map, then the pixels. Descriptor bit 5
// marks a top-left origin (first stored row = row 0; otherwise the first stored row is the
// last row); bits 6 and 7 give the interleave: stored rows advance by 1, 2 or 4, and each
// pass restarts one row further down. Run-length packets may span rows.
//
// Pixels: 8-bit grey or colour-map index (16-bit little-endian indexes are accepted too);
// 15/16-bit little-endian 5-5-5, each component shifted left by 3; 24/32-bit blue, green,
// red (and alpha, skipped). 16-bit grey files are grey plus alpha: the low byte is the grey.
// Colour-map entries use the same pixel forms. Grey types fill one channel, the others three.
#include "core/image_codecs.h"
#include "core/image_sequence.h"
#include "core/volume.h"

namespace v3d::image {
namespace {

constexpr unsigned kMapCapacity = 16384;

unsigned le16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}

struct TgaHeader {
  unsigned idLength, mapType, type, mapFirst, mapLength, mapEntryBits;
  int width, height;
  unsigned depth, descriptor;
};

bool validDepth(unsigned bits) {
  return bits == 8 || bits == 15 || bits == 16 || bits == 24 || bits == 32;
}
bool grey(unsigned type) {
  return type == 3 || type == 11;
}
bool mapped(unsigned type) {
  return type == 1 || type == 9;
}

int parse(const std::uint8_t* d, std::size_t n, TgaHeader& h) {
  if (d == nullptr || n < kTgaHeaderBytes) return kTgaReadError;
  h = {d[0],
       d[1],
       d[2],
       le16(d + 3),
       le16(d + 5),
       d[7],
       static_cast<int>(le16(d + 12)),
       static_cast<int>(le16(d + 14)),
       d[16],
       d[17]};
  const unsigned t = h.type;
  if (t != 1 && t != 2 && t != 3 && t != 9 && t != 10 && t != 11) return kTgaReadError;
  if (h.mapType > 1 || !validDepth(h.depth)) return kTgaReadError;
  if (h.width == 0 || h.height == 0) return kTgaReadError;
  return 0;
}

struct Rgb {
  std::uint8_t r, g, b;
};

// One stored pixel of `bits` bits at p, as colour.
Rgb colourOf(const std::uint8_t* p, unsigned bits) {
  switch (bits) {
    case 8:
      return {p[0], p[0], p[0]};
    case 15:
    case 16: {
      const unsigned v = le16(p);
      return {static_cast<std::uint8_t>(((v >> 10) & 31) << 3),
              static_cast<std::uint8_t>(((v >> 5) & 31) << 3),
              static_cast<std::uint8_t>((v & 31) << 3)};
    }
    default:
      return {p[2], p[1], p[0]};
  }
}

// The pixel stream: literal pixels, or run-length packets that may span rows.
class PixelStream {
 public:
  PixelStream(const std::uint8_t* d, std::size_t n, std::size_t pos, unsigned bytes, bool rle)
      : d_(d), n_(n), pos_(pos), bytes_(bytes), rle_(rle) {}

  // The next stored pixel's bytes, or nullptr when the data runs out.
  const std::uint8_t* next() {
    if (!rle_) return take();
    if (left_ == 0) {
      if (pos_ >= n_) return nullptr;
      const std::uint8_t h = d_[pos_++];
      left_ = (h & 127u) + 1;
      run_ = (h & 128u) != 0;
      if (run_ && (value_ = take()) == nullptr) return nullptr;
    }
    --left_;
    return run_ ? value_ : take();
  }
  // Pixels of the last packet that lie beyond the image.
  unsigned pending() const { return left_; }

 private:
  const std::uint8_t* take() {
    if (pos_ > n_ || n_ - pos_ < bytes_) return nullptr;
    const std::uint8_t* p = d_ + pos_;
    pos_ += bytes_;
    return p;
  }
  const std::uint8_t* d_;
  std::size_t n_, pos_;
  unsigned bytes_;
  bool rle_;
  unsigned left_ = 0;
  bool run_ = false;
  const std::uint8_t* value_ = nullptr;
};

}  // namespace

int headerTGA(const std::uint8_t* d, std::size_t n, ImageInfo& info) {
  TgaHeader h{};
  if (const int code = parse(d, n, h); code != 0) return code;
  info = {h.height, h.width, grey(h.type) ? 0 : 1};
  return 0;
}

int decodeTGA(const std::uint8_t* d, std::size_t n, ImageSize limit, DecodedImage& out) {
  TgaHeader h{};
  if (const int code = parse(d, n, h); code != 0) return code;
  if (h.height > limit.rows || h.width > limit.columns) return kTgaReadError;
  const bool isMapped = mapped(h.type);
  if (isMapped && (h.mapType != 1 || !validDepth(h.mapEntryBits))) return kTgaReadError;
  if (isMapped && h.depth != 8 && h.depth != 16) return kTgaReadError;  // index width

  std::size_t pos = kTgaHeaderBytes + h.idLength;
  // The colour map, read into a table indexed by colour-map index.
  ScratchArray<Rgb> map(isMapped ? kMapCapacity : 0);
  if (!map) return kCannotAllocateBuffer;
  if (h.mapType == 1) {
    if (h.mapFirst + h.mapLength > kMapCapacity) return kTgaReadError;
    const unsigned entryBytes = (h.mapEntryBits + 7) / 8;
    const std::size_t mapBytes = static_cast<std::size_t>(entryBytes) * h.mapLength;
    if (pos > n || n - pos < mapBytes) return kTgaReadError;
    if (isMapped)
      for (unsigned i = 0; i < h.mapLength; ++i)
        map[h.mapFirst + i] =
            colourOf(d + pos + static_cast<std::size_t>(i) * entryBytes, h.mapEntryBits);
    pos += mapBytes;
  }

  const int colour = grey(h.type) ? 0 : 1;
  if (!out.reset(h.height, h.width, colour)) return kCannotAllocateBuffer;
  const unsigned pixelBytes = (h.depth + 7) / 8;
  PixelStream pixels(d, n, pos, pixelBytes, h.type >= 9);
  const bool topLeft = (h.descriptor & 0x20) != 0;
  const unsigned interleave = (h.descriptor >> 6) & 3;
  const int step = interleave == 2 ? 4 : interleave == 1 ? 2 : 1;

  int stored = 0, base = 0;  // stored row index and the start row of the current pass
  for (int k = 0; k < h.height; ++k) {
    const int y = topLeft ? stored : h.height - 1 - stored;
    std::uint8_t* r = out.row(0, y);
    std::uint8_t* g = colour ? out.row(1, y) : nullptr;
    std::uint8_t* b = colour ? out.row(2, y) : nullptr;
    for (int x = 0; x < h.width; ++x) {
      const std::uint8_t* p = pixels.next();
      if (p == nullptr) return kTgaReadError;
      if (!colour) {
        // 8-bit grey, or the grey byte of grey + alpha; other depths give their red.
        r[x] = h.depth <= 16 ? p[0] : colourOf(p, h.depth).r;
        continue;
      }
      Rgb c;
      if (isMapped) {
        const unsigned index = h.depth == 16 ? le16(p) : p[0];
        if (index < h.mapFirst || index >= h.mapFirst + h.mapLength) return kTgaReadError;
        c = map[index];
      } else {
        c = colourOf(p, h.depth);
      }
      r[x] = c.r;
      g[x] = c.g;
      b[x] = c.b;
    }
    stored += step;
    if (stored >= h.height) stored = ++base;
  }
  if (pixels.pending() != 0) return kTgaReadError;  // a packet runs past the last pixel
  return 0;
}

}  // namespace v3d::image
