// GIF frames: GIF87a and GIF89a, global and local colour tables, LZW codes up to 12 bits.
//
// Layout: "GIF87a" or "GIF89a", the logical screen descriptor (width, height, flags,
// background, aspect) and the global colour table when flag bit 7 is set, then blocks:
// '!' an extension (label and data sub-blocks, skipped), ',' an image (left, top, width,
// height, flags, optional local colour table, minimum code size, LZW data sub-blocks), ';'
// the end. Bytes that start no block are skipped.
//
// Only the first image is stored, from row 0 and column 0 whatever its position, clipped to
// the screen (the frame is the screen's size); later images are decoded and discarded.
// Interlaced images hold their rows in the four passes 0, 8, 16, ...; 4, 12, ...; 2, 6, ...;
// 1, 3, .... Decoding stops at the end code, when the image is complete, or when its data
// sub-blocks end; pixels that never arrived keep the frame's previous contents. Frames are
// always colour.
#include <cstring>

#include "core/image_codecs.h"
#include "core/image_sequence.h"
#include "core/volume.h"

namespace v3d::image {
namespace {

constexpr int kMaxCodes = 4096;

unsigned le16(const std::uint8_t* p) {
  return p[0] | (p[1] << 8);
}

int parse(const std::uint8_t* d, std::size_t n, ImageInfo& info) {
  if (d == nullptr || n < kGifHeaderBytes) return kGifReadError;
  if (std::memcmp(d, "GIF87a", 6) != 0 && std::memcmp(d, "GIF89a", 6) != 0) return kGifReadError;
  info = {static_cast<int>(le16(d + 8)), static_cast<int>(le16(d + 6)), 1};
  if (info.rows == 0 || info.columns == 0) return kGifReadError;
  return 0;
}

// A bounds-checked cursor over the file.
struct Cursor {
  const std::uint8_t* d;
  std::size_t n, pos;
  bool has(std::size_t k) const { return pos <= n && n - pos >= k; }
};

// Skips data sub-blocks up to and including their zero-length terminator.
bool skipSubBlocks(Cursor& c) {
  for (;;) {
    if (!c.has(1)) return false;
    const std::size_t len = c.d[c.pos++];
    if (len == 0) return true;
    if (!c.has(len)) return false;
    c.pos += len;
  }
}

// Row of the i-th stored row of an image of `height` rows.
class RowOrder {
 public:
  RowOrder(int height, bool interlaced) : height_(height), interlaced_(interlaced) {}
  int next() {
    if (!interlaced_) return row_++;
    const int r = row_;
    static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
    row_ += kStep[pass_];
    while (row_ >= height_ && pass_ < 3) row_ = kStart[++pass_];
    return r;
  }

 private:
  int height_;
  bool interlaced_;
  int row_ = 0, pass_ = 0;
};

struct Palette {
  std::uint8_t rgb[256][3];
  int size = 0;
};

bool readTable(Cursor& c, unsigned flags, Palette& p) {
  p.size = 1 << ((flags & 7) + 1);
  if (!c.has(3u * p.size)) return false;
  std::memcpy(p.rgb, c.d + c.pos, 3u * p.size);
  c.pos += 3u * p.size;
  return true;
}

// LZW-decodes one image. When `out` is set, stores pixel i of the image at its row and column,
// clipped to the screen; otherwise discards the pixels. Returns 0 or kGifReadError.
int decodeImage(Cursor& c, int width, int height, bool interlaced, const Palette& palette,
                DecodedImage* out) {
  if (!c.has(1)) return kGifReadError;
  const int minSize = c.d[c.pos++];
  if (minSize < 1 || minSize > 8) return kGifReadError;

  // The sub-blocks' data, gathered into one run of bytes.
  const std::size_t start = c.pos;
  std::size_t total = 0;
  for (Cursor probe = c;;) {
    if (!probe.has(1)) return kGifReadError;
    const std::size_t len = probe.d[probe.pos++];
    if (len == 0) {
      c.pos = probe.pos;
      break;
    }
    if (!probe.has(len)) return kGifReadError;
    probe.pos += len;
    total += len;
  }
  ScratchArray<std::uint8_t> data(total);
  if (!data) return kCannotAllocateBuffer;
  for (std::size_t p = start, k = 0;;) {
    const std::size_t len = c.d[p++];
    if (len == 0) break;
    std::memcpy(data.get() + k, c.d + p, len);
    p += len;
    k += len;
  }

  const int clear = 1 << minSize, end = clear + 1;
  std::uint16_t prefix[kMaxCodes];
  std::uint8_t suffix[kMaxCodes];
  std::uint8_t stack[kMaxCodes + 1];
  for (int i = 0; i < clear; ++i) {
    prefix[i] = 0;
    suffix[i] = static_cast<std::uint8_t>(i);
  }
  int codeWidth = minSize + 1, next = clear + 2, previous = -1;
  std::uint8_t firstOfPrevious = 0;

  const long long wanted = static_cast<long long>(width) * height;
  long long done = 0;
  RowOrder order(height, interlaced);
  int row = width > 0 && height > 0 ? order.next() : 0, column = 0;
  const int screenRows = out ? out->rows() : 0, screenColumns = out ? out->columns() : 0;

  std::uint32_t bits = 0;
  int bitCount = 0;
  std::size_t in = 0;
  while (done < wanted) {
    while (bitCount < codeWidth && in < total) {
      bits |= static_cast<std::uint32_t>(data[in++]) << bitCount;
      bitCount += 8;
    }
    if (bitCount < codeWidth) break;  // the data ends before the image does
    int code = static_cast<int>(bits & ((1u << codeWidth) - 1));
    bits >>= codeWidth;
    bitCount -= codeWidth;

    if (code == clear) {
      codeWidth = minSize + 1;
      next = clear + 2;
      previous = -1;
      continue;
    }
    if (code == end) break;

    int depth = 0;
    if (previous < 0) {
      if (code >= clear) return kGifReadError;  // the first code after a clear must be a literal
      stack[depth++] = static_cast<std::uint8_t>(code);
      firstOfPrevious = static_cast<std::uint8_t>(code);
    } else {
      if (code > next || (code == next && next >= kMaxCodes)) return kGifReadError;
      const int incoming = code;
      if (code == next) {  // the code being defined: previous string + its first byte
        stack[depth++] = firstOfPrevious;
        code = previous;
      }
      while (code > end) {
        stack[depth++] = suffix[code];
        code = prefix[code];
      }
      stack[depth++] = suffix[code];
      firstOfPrevious = suffix[code];
      if (next < kMaxCodes) {
        prefix[next] = static_cast<std::uint16_t>(previous);
        suffix[next] = firstOfPrevious;
        ++next;
        if (next == (1 << codeWidth) && codeWidth < 12) ++codeWidth;
      }
      code = incoming;
    }
    previous = code;

    // The string comes out of the stack last byte first.
    while (depth > 0 && done < wanted) {
      const std::uint8_t index = stack[--depth];
      if (out && row < screenRows && column < screenColumns) {
        if (index >= palette.size) return kGifReadError;  // beyond the colour table
        out->row(0, row)[column] = palette.rgb[index][0];
        out->row(1, row)[column] = palette.rgb[index][1];
        out->row(2, row)[column] = palette.rgb[index][2];
        out->setDecodedColumns(row, column + 1);
      }
      ++done;
      if (++column == width) {
        column = 0;
        if (done < wanted) row = order.next();
      }
    }
  }
  return 0;
}

int decode(const std::uint8_t* d, std::size_t n, ImageSize* limit, DecodedImage* out) {
  ImageInfo info;
  if (const int code = parse(d, n, info); code != 0) return code;
  if (info.rows > limit->rows || info.columns > limit->columns) return kGifReadError;
  if (!out->reset(info.rows, info.columns, 1)) return kCannotAllocateBuffer;
  for (int y = 0; y < info.rows; ++y) out->setDecodedColumns(y, 0);

  Cursor c{d, n, kGifHeaderBytes};
  Palette global;
  if ((d[10] & 0x80) != 0 && !readTable(c, d[10], global)) return kGifReadError;
  bool stored = false;
  for (;;) {
    if (!c.has(1)) return kGifReadError;
    const std::uint8_t introducer = c.d[c.pos++];
    if (introducer == ';') return stored ? 0 : kGifReadError;
    if (introducer == '!') {
      if (!c.has(1)) return kGifReadError;
      ++c.pos;  // the label: every extension's data is skipped
      if (!skipSubBlocks(c)) return kGifReadError;
      continue;
    }
    if (introducer != ',') continue;
    if (!c.has(9)) return kGifReadError;
    const int width = static_cast<int>(le16(c.d + c.pos + 4));
    const int height = static_cast<int>(le16(c.d + c.pos + 6));
    const unsigned flags = c.d[c.pos + 8];
    c.pos += 9;
    Palette local;
    const Palette* palette = &global;
    if ((flags & 0x80) != 0) {
      if (!readTable(c, flags, local)) return kGifReadError;
      palette = &local;
    }
    const int code =
        decodeImage(c, width, height, (flags & 0x40) != 0, *palette, stored ? nullptr : out);
    if (code != 0) return code;
    stored = true;
  }
}

}  // namespace

int headerGIF(const std::uint8_t* d, std::size_t n, ImageInfo& info) {
  return parse(d, n, info);
}

int decodeGIF(const std::uint8_t* d, std::size_t n, ImageSize limit, DecodedImage& out) {
  return decode(d, n, &limit, &out);
}

}  // namespace v3d::image
