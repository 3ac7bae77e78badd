// Small writers of BMP, TGA and GIF files for the decoder tests, written from the file
// formats' own descriptions, plus a reference image type holding what a decoder should give.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace v3d::test {

using Bytes = std::vector<std::uint8_t>;

struct Rgb {
  std::uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// A reference image: rows x columns pixels, grey (r = g = b) or colour.
struct RefImage {
  int rows = 0, columns = 0;
  std::vector<Rgb> px;
  RefImage() = default;
  RefImage(int r, int c) : rows(r), columns(c), px(static_cast<std::size_t>(r) * c) {}
  Rgb& at(int y, int x) { return px[static_cast<std::size_t>(y) * columns + x]; }
  const Rgb& at(int y, int x) const { return px[static_cast<std::size_t>(y) * columns + x]; }
};

inline void put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
  put16(b, v & 0xffff);
  put16(b, v >> 16);
}

inline std::vector<Rgb> randomPalette(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<Rgb> p(n);
  for (Rgb& c : p)
    c = {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
         static_cast<std::uint8_t>(rng())};
  return p;
}

// Random palette indices below `entries`.
inline std::vector<int> randomIndices(int rows, int columns, int entries, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<int> v(static_cast<std::size_t>(rows) * columns);
  for (int& i : v) i = static_cast<int>(rng() % static_cast<unsigned>(entries));
  return v;
}

inline RefImage imageFromIndices(int rows, int columns, const std::vector<int>& idx,
                                 const std::vector<Rgb>& palette) {
  RefImage im(rows, columns);
  for (std::size_t i = 0; i < idx.size(); ++i) im.px[i] = palette[static_cast<std::size_t>(idx[i])];
  return im;
}

inline RefImage randomImage(int rows, int columns, unsigned seed, bool grey = false) {
  std::mt19937 rng(seed);
  RefImage im(rows, columns);
  for (Rgb& c : im.px) {
    const auto v = static_cast<std::uint8_t>(rng());
    c = grey ? Rgb{v, v, v}
             : Rgb{v, static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())};
  }
  return im;
}

// ---- BMP ------------------------------------------------------------------------------------

struct BmpSpec {
  int bits = 24;                 // 1, 4, 8 or 24
  std::vector<Rgb> palette;      // for 1, 4 and 8 bits
  bool writeColoursUsed = true;  // false: the field says 0 (2^bits entries)
  std::uint32_t infoSize = 40;   // 40, or 124 for a V5 header
  bool topDown = false;          // negative height
  std::uint8_t padding = 0xAB;   // value of the row padding bytes
};

// `idx` (indexed depths) or `im` (24 bits) gives the pixels, row 0 first.
inline Bytes writeBmp(const BmpSpec& s, int rows, int columns, const std::vector<int>& idx,
                      const RefImage& im) {
  const std::size_t entries = s.bits <= 8 ? s.palette.size() : 0;
  const std::size_t stride = (static_cast<std::size_t>(columns) * s.bits + 31) / 32 * 4;
  const std::uint32_t offset = static_cast<std::uint32_t>(14 + s.infoSize + 4 * entries);
  Bytes b{'B', 'M'};
  put32(b, static_cast<std::uint32_t>(offset + stride * rows));
  put32(b, 0);
  put32(b, offset);
  put32(b, s.infoSize);
  put32(b, static_cast<std::uint32_t>(columns));
  put32(b, static_cast<std::uint32_t>(s.topDown ? -rows : rows));
  put16(b, 1);
  put16(b, static_cast<unsigned>(s.bits));
  put32(b, 0);  // compression
  put32(b, static_cast<std::uint32_t>(stride * rows));
  put32(b, 2835);
  put32(b, 2835);
  put32(b, s.writeColoursUsed ? static_cast<std::uint32_t>(entries) : 0);
  put32(b, 0);
  b.resize(14 + s.infoSize, 0);  // the rest of a longer header
  for (std::size_t i = 0; i < entries; ++i) {
    b.push_back(s.palette[i].b);
    b.push_back(s.palette[i].g);
    b.push_back(s.palette[i].r);
    b.push_back(0);
  }
  for (int k = 0; k < rows; ++k) {
    const int y = s.topDown ? k : rows - 1 - k;
    Bytes row(stride, s.padding);
    if (s.bits == 24) {
      for (int x = 0; x < columns; ++x) {
        row[3 * x] = im.at(y, x).b;
        row[3 * x + 1] = im.at(y, x).g;
        row[3 * x + 2] = im.at(y, x).r;
      }
    } else {
      const int perByte = 8 / s.bits;
      for (int x = 0; x < columns; ++x) {
        std::uint8_t& byte = row[static_cast<std::size_t>(x / perByte)];
        if (x % perByte == 0) byte = 0;
        const int shift = 8 - s.bits * (1 + x % perByte);
        byte |= static_cast<std::uint8_t>(idx[static_cast<std::size_t>(y) * columns + x] << shift);
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// ---- TGA ------------------------------------------------------------------------------------

struct TgaSpec {
  int type = 2;           // 1, 2, 3, 9, 10, 11
  int depth = 24;         // pixel depth (index width for colour-mapped types)
  int mapEntryBits = 24;  // for colour-mapped types
  int mapFirst = 0;
  std::vector<Rgb> map;  // colour-map entries (mapped types)
  bool topLeft = true;
  int interleave = 0;           // descriptor bits 6-7
  std::vector<int> storedRows;  // image row of each stored row; empty: from the origin
  std::string id;               // identification field
  int maxPacket = 128;          // longest run-length packet
};

inline void tgaPixel(Bytes& b, int bits, Rgb c) {
  switch (bits) {
    case 8:
      b.push_back(c.r);
      break;
    case 15:
    case 16:
      put16(b, static_cast<unsigned>((c.r >> 3) << 10 | (c.g >> 3) << 5 | (c.b >> 3)));
      break;
    default:
      b.push_back(c.b);
      b.push_back(c.g);
      b.push_back(c.r);
      if (bits == 32) b.push_back(0x7f);
  }
}

// `idx` holds colour-map indexes for mapped types; `im` the pixels otherwise (grey types use
// the red value).
inline Bytes writeTga(const TgaSpec& s, int rows, int columns, const std::vector<int>& idx,
                      const RefImage& im) {
  const bool mapped = s.type == 1 || s.type == 9;
  Bytes b;
  b.push_back(static_cast<std::uint8_t>(s.id.size()));
  b.push_back(mapped ? 1 : 0);
  b.push_back(static_cast<std::uint8_t>(s.type));
  put16(b, mapped ? static_cast<unsigned>(s.mapFirst) : 0);
  put16(b, mapped ? static_cast<unsigned>(s.map.size()) : 0);
  b.push_back(mapped ? static_cast<std::uint8_t>(s.mapEntryBits) : 0);
  put16(b, 0);
  put16(b, 0);
  put16(b, static_cast<unsigned>(columns));
  put16(b, static_cast<unsigned>(rows));
  b.push_back(static_cast<std::uint8_t>(s.depth));
  b.push_back(static_cast<std::uint8_t>((s.topLeft ? 0x20 : 0) | (s.interleave << 6) |
                                        (s.depth == 32 ? 8 : 0)));
  b.insert(b.end(), s.id.begin(), s.id.end());
  if (mapped)
    for (const Rgb& c : s.map) tgaPixel(b, s.mapEntryBits, c);

  // The pixel stream in stored order, each pixel as its bytes.
  std::vector<Bytes> stream;
  for (int k = 0; k < rows; ++k) {
    const int y = !s.storedRows.empty() ? s.storedRows[static_cast<std::size_t>(k)]
                  : s.topLeft           ? k
                                        : rows - 1 - k;
    for (int x = 0; x < columns; ++x) {
      Bytes p;
      if (mapped) {
        const int i = idx[static_cast<std::size_t>(y) * columns + x];
        if (s.depth == 16)
          put16(p, static_cast<unsigned>(i));
        else
          p.push_back(static_cast<std::uint8_t>(i));
      } else if (s.type == 3 || s.type == 11) {
        p.push_back(im.at(y, x).r);
        if (s.depth == 16) p.push_back(0xff);  // alpha
      } else {
        tgaPixel(p, s.depth, im.at(y, x));
      }
      stream.push_back(std::move(p));
    }
  }
  if (s.type < 9) {
    for (const Bytes& p : stream) b.insert(b.end(), p.begin(), p.end());
    return b;
  }
  // Run-length packets over the whole stream, crossing rows freely.
  for (std::size_t i = 0; i < stream.size();) {
    std::size_t run = 1;
    while (i + run < stream.size() && run < static_cast<std::size_t>(s.maxPacket) &&
           stream[i + run] == stream[i])
      ++run;
    if (run >= 2) {
      b.push_back(static_cast<std::uint8_t>(0x80 | (run - 1)));
      b.insert(b.end(), stream[i].begin(), stream[i].end());
      i += run;
      continue;
    }
    std::size_t lit = 1;
    while (i + lit < stream.size() && lit < static_cast<std::size_t>(s.maxPacket) &&
           !(i + lit + 1 < stream.size() && stream[i + lit] == stream[i + lit + 1]))
      ++lit;
    b.push_back(static_cast<std::uint8_t>(lit - 1));
    for (std::size_t k = 0; k < lit; ++k)
      b.insert(b.end(), stream[i + k].begin(), stream[i + k].end());
    i += lit;
  }
  return b;
}

// ---- GIF ------------------------------------------------------------------------------------

// LZW-encodes palette indexes with the GIF conventions: codes of (minimum + 1) bits growing to
// 12 as the decoder's table fills; at a full table either a clear code or (deferred clear)
// no more new entries. Returns the data sub-blocks, `block` bytes each, and the terminator.
inline Bytes gifLzw(const std::vector<int>& pixels, int minSize, bool clearWhenFull,
                    std::size_t block = 255, bool endCode = true) {
  const int clear = 1 << minSize, end = clear + 1;
  Bytes packed;
  std::uint32_t acc = 0;
  int accBits = 0;
  int width = minSize + 1, decoderNext = clear + 2;
  bool firstAfterClear = true;
  auto emit = [&](int code) {
    acc |= static_cast<std::uint32_t>(code) << accBits;
    accBits += width;
    while (accBits >= 8) {
      packed.push_back(static_cast<std::uint8_t>(acc));
      acc >>= 8;
      accBits -= 8;
    }
    // Follow the decoder's table and code width.
    if (code == clear) {
      width = minSize + 1;
      decoderNext = clear + 2;
      firstAfterClear = true;
    } else if (code != end) {
      if (firstAfterClear) {
        firstAfterClear = false;
      } else if (decoderNext < 4096) {
        ++decoderNext;
        if (decoderNext == (1 << width) && width < 12) ++width;
      }
    }
  };
  std::map<std::pair<int, int>, int> dict;
  int next = clear + 2;
  emit(clear);
  if (!pixels.empty()) {
    int w = pixels[0];
    for (std::size_t i = 1; i < pixels.size(); ++i) {
      const int k = pixels[i];
      auto it = dict.find({w, k});
      if (it != dict.end()) {
        w = it->second;
        continue;
      }
      emit(w);
      if (next < 4096) {
        dict[{w, k}] = next++;
      } else if (clearWhenFull) {
        emit(clear);
        dict.clear();
        next = clear + 2;
      }
      w = k;
    }
    emit(w);
  }
  if (endCode) emit(end);
  if (accBits > 0) packed.push_back(static_cast<std::uint8_t>(acc));
  Bytes out{static_cast<std::uint8_t>(minSize)};
  for (std::size_t i = 0; i < packed.size(); i += block) {
    const std::size_t n = std::min(block, packed.size() - i);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), packed.begin() + static_cast<long>(i),
               packed.begin() + static_cast<long>(i + n));
  }
  out.push_back(0);
  return out;
}

// Rows of an interlaced image in stored order.
inline std::vector<int> gifInterlacedRows(int rows) {
  std::vector<int> order;
  for (int pass = 0; pass < 4; ++pass) {
    static constexpr int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    for (int y = start[pass]; y < rows; y += step[pass]) order.push_back(y);
  }
  return order;
}

inline int tableBits(std::size_t entries) {
  int bits = 0;
  while ((std::size_t{2} << bits) < entries) ++bits;
  return bits;  // the 3-bit size field: 2^(bits + 1) entries
}

inline void gifTable(Bytes& b, std::vector<Rgb> table) {
  table.resize(std::size_t{2} << tableBits(table.size()), Rgb{0, 0, 0});
  for (const Rgb& c : table) {
    b.push_back(c.r);
    b.push_back(c.g);
    b.push_back(c.b);
  }
}

struct GifImage {
  int left = 0, top = 0, rows = 0, columns = 0;
  std::vector<int> idx;         // row-major
  std::vector<Rgb> localTable;  // empty: use the global one
  bool interlaced = false;
  int minSize = 8;
  bool clearWhenFull = true;
  std::size_t block = 255;
  bool endCode = true;
};

inline Bytes gifHeader(const char* version, int rows, int columns, const std::vector<Rgb>& global) {
  Bytes b(version, version + 6);
  put16(b, static_cast<unsigned>(columns));
  put16(b, static_cast<unsigned>(rows));
  b.push_back(
      static_cast<std::uint8_t>(global.empty() ? 0 : 0x80 | 0x70 | tableBits(global.size())));
  b.push_back(0);
  b.push_back(0);
  if (!global.empty()) gifTable(b, global);
  return b;
}

inline void gifAppendImage(Bytes& b, const GifImage& im) {
  b.push_back(',');
  put16(b, static_cast<unsigned>(im.left));
  put16(b, static_cast<unsigned>(im.top));
  put16(b, static_cast<unsigned>(im.columns));
  put16(b, static_cast<unsigned>(im.rows));
  std::uint8_t flags = im.interlaced ? 0x40 : 0;
  if (!im.localTable.empty())
    flags |= static_cast<std::uint8_t>(0x80 | tableBits(im.localTable.size()));
  b.push_back(flags);
  if (!im.localTable.empty()) gifTable(b, im.localTable);
  std::vector<int> stream;
  const std::vector<int> order = im.interlaced ? gifInterlacedRows(im.rows) : [&] {
    std::vector<int> o(static_cast<std::size_t>(im.rows));
    for (int y = 0; y < im.rows; ++y) o[static_cast<std::size_t>(y)] = y;
    return o;
  }();
  for (int y : order)
    for (int x = 0; x < im.columns; ++x)
      stream.push_back(im.idx[static_cast<std::size_t>(y) * im.columns + x]);
  const Bytes lzw = gifLzw(stream, im.minSize, im.clearWhenFull, im.block, im.endCode);
  b.insert(b.end(), lzw.begin(), lzw.end());
}

// Extensions of every kind: graphic control, comment, application, plain text, unknown.
inline void gifAppendExtensions(Bytes& b) {
  const Bytes ext = {'!', 0xF9, 4,    0,   0,   0,   0,   0,   '!',  0xFE, 5,  'h', 'e',
                     'l', 'l',  'o',  3,   'a', 'b', 'c', 0,   '!',  0xFF, 11, 'N', 'E',
                     'T', 'S',  'C',  'A', 'P', 'E', '2', '.', '0',  3,    1,  0,   0,
                     0,   '!',  0x01, 12,  0,   0,   0,   0,   8,    0,    8,  0,   8,
                     8,   1,    0,    2,   'h', 'i', 0,   '!', 0x42, 1,    7,  0};
  b.insert(b.end(), ext.begin(), ext.end());
}

}  // namespace v3d::test
