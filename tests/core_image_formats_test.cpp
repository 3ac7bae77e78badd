// The BMP, TGA, GIF and JPEG decoders: files built here by independent writers, every pixel
// compared, every depth, type, origin, interlace mode and code width; malformed files of
// every kind answered with the format's code, never read or written out of bounds.
#include <cstdlib>
#include <cstring>

#include "image_test_support.h"

namespace v3d::test {
namespace {

using image::DecodedImage;
constexpr ImageSize kLimit{512, 512};

// ---- BMP ------------------------------------------------------------------------------------

TEST(BmpDecoder, EveryDepthOrientationAndHeaderSizeGivesEveryPixel) {
  unsigned seed = 1;
  for (int bits : {1, 4, 8, 24})
    for (int columns : {1, 3, 5, 17, 33})
      for (int rows : {1, 4})
        for (bool topDown : {false, true})
          for (std::uint32_t infoSize : {40u, 124u}) {
            BmpSpec s;
            s.bits = bits;
            s.topDown = topDown;
            s.infoSize = infoSize;
            RefImage want;
            std::vector<int> idx;
            if (bits <= 8) {
              // A palette shorter than 2^bits when the depth allows, so that "colours used"
              // matters.
              const int entries = bits == 1 ? 2 : bits == 4 ? 11 : 200;
              s.palette = randomPalette(static_cast<std::size_t>(entries), ++seed);
              idx = randomIndices(rows, columns, entries, ++seed);
              want = imageFromIndices(rows, columns, idx, s.palette);
            } else {
              want = randomImage(rows, columns, ++seed);
            }
            const Bytes file = writeBmp(s, rows, columns, idx, want);
            DecodedImage out;
            ASSERT_EQ(image::decodeBMP(file.data(), file.size(), kLimit, out), 0)
                << bits << " bits, " << columns << " columns, " << rows << " rows";
            EXPECT_TRUE(sameImage(out, want, 1))
                << bits << " bits, " << columns << " columns, " << rows << " rows, top-down "
                << topDown << ", header " << infoSize;
            image::ImageInfo info;
            ASSERT_EQ(image::headerBMP(file.data(), file.size(), info), 0);
            EXPECT_EQ(info.rows, rows);
            EXPECT_EQ(info.columns, columns);
            EXPECT_EQ(info.colour, 1);
          }
}

TEST(BmpDecoder, ZeroColoursUsedMeansTheFullPaletteAndRowsArePaddedToFourBytes) {
  BmpSpec s;
  s.bits = 4;
  s.palette = randomPalette(16, 7);
  s.writeColoursUsed = false;
  const auto idx = randomIndices(3, 7, 16, 8);
  const RefImage want = imageFromIndices(3, 7, idx, s.palette);
  const Bytes file = writeBmp(s, 3, 7, idx, want);
  DecodedImage out;
  ASSERT_EQ(image::decodeBMP(file.data(), file.size(), kLimit, out), 0);
  EXPECT_TRUE(sameImage(out, want, 1));

  // 24 bits and width 3: 9 bytes of pixels and 3 of padding per row.
  BmpSpec t;
  const RefImage im = randomImage(2, 3, 9);
  const Bytes f24 = writeBmp(t, 2, 3, {}, im);
  EXPECT_EQ(f24.size(), 54u + 2 * 12);
  ASSERT_EQ(image::decodeBMP(f24.data(), f24.size(), kLimit, out), 0);
  EXPECT_TRUE(sameImage(out, im, 1));
}

TEST(BmpDecoder, MalformedFilesGiveTheBmpReadError) {
  BmpSpec s;
  s.bits = 8;
  s.palette = randomPalette(4, 3);
  const auto idx = randomIndices(4, 6, 4, 4);
  const RefImage im = imageFromIndices(4, 6, idx, s.palette);
  const Bytes good = writeBmp(s, 4, 6, idx, im);
  DecodedImage out;
  auto decode = [&](const Bytes& b, ImageSize limit = kLimit) {
    return image::decodeBMP(b.data(), b.size(), limit, out);
  };
  ASSERT_EQ(decode(good), 0);
  auto with = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
    Bytes b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
    return b;
  };
  EXPECT_EQ(decode(with(0, {'B', 'A'})), kBmpReadError);        // signature
  EXPECT_EQ(decode(with(30, {1})), kBmpReadError);              // RLE8 compression
  EXPECT_EQ(decode(with(28, {16})), kBmpReadError);             // 16 bits per pixel
  EXPECT_EQ(decode(with(28, {32})), kBmpReadError);             // 32 bits per pixel
  EXPECT_EQ(decode(with(46, {0, 1})), kBmpReadError);           // 256 colours said, 4 there
  EXPECT_EQ(decode(with(46, {0, 2})), kBmpReadError);           // 512: longer than any table
  EXPECT_EQ(decode(with(10, {60})), kBmpReadError);             // data inside the palette
  EXPECT_EQ(decode(with(22, {0, 0, 0, 0})), kBmpReadError);     // zero rows
  EXPECT_EQ(decode(with(18, {0, 0, 0, 0x80})), kBmpReadError);  // negative width
  EXPECT_EQ(decode(with(22, {0xff, 0xff, 0xff, 0x7f})), kBmpReadError);  // absurd height
  EXPECT_EQ(decode(with(14, {12, 0, 0, 0})), kBmpReadError);             // header too short
  EXPECT_EQ(decode(good, {3, 512}), kBmpReadError);                      // taller than the limit
  EXPECT_EQ(decode(good, {512, 5}), kBmpReadError);                      // wider than the limit
  EXPECT_EQ(decode(with(46, {3})), kBmpReadError);  // 3 colours: the pixels use index 3
  EXPECT_EQ(decode(Bytes(good.begin(), good.end() - 4)), kBmpReadError);  // last row cut
  expectSafeOnDamage(image::decodeBMP, good, kBmpReadError, 11, 1500, good.size() - 2);
}

// ---- TGA ------------------------------------------------------------------------------------

// The 5-5-5 form keeps the top five bits of each component.
RefImage fiveBits(RefImage im) {
  for (Rgb& c : im.px)
    c = {static_cast<std::uint8_t>(c.r & 0xf8), static_cast<std::uint8_t>(c.g & 0xf8),
         static_cast<std::uint8_t>(c.b & 0xf8)};
  return im;
}

// A picture with long runs, so that run-length packets span rows.
RefImage blocky(int rows, int columns, unsigned seed, bool grey) {
  RefImage im = randomImage(rows, columns, seed, grey);
  for (std::size_t i = 0; i < im.px.size(); ++i) im.px[i] = im.px[i / 11 * 11];
  return im;
}

TEST(TgaDecoder, TrueColourAndGreyTypesAtEveryDepthAndOrigin) {
  unsigned seed = 100;
  for (int type : {2, 10, 3, 11})
    for (int depth : {8, 15, 16, 24, 32}) {
      const bool grey = type == 3 || type == 11;
      if (grey != (depth == 8 || depth == 16) && grey) continue;  // grey: 8, and 16 with alpha
      if (!grey && depth == 8) continue;
      for (bool topLeft : {true, false})
        for (int columns : {1, 7, 40}) {
          const int rows = 5;
          TgaSpec s;
          s.type = type;
          s.depth = depth;
          s.topLeft = topLeft;
          s.id = "velmora";
          RefImage want = blocky(rows, columns, ++seed, grey);
          const Bytes file = writeTga(s, rows, columns, {}, want);
          if (depth == 15 || (depth == 16 && !grey)) want = fiveBits(want);
          DecodedImage out;
          ASSERT_EQ(image::decodeTGA(file.data(), file.size(), kLimit, out), 0)
              << type << "/" << depth;
          EXPECT_TRUE(sameImage(out, want, grey ? 0 : 1))
              << "type " << type << " depth " << depth << " top-left " << topLeft << " columns "
              << columns;
        }
    }
}

TEST(TgaDecoder, ColourMappedTypesAtEveryEntrySizeWithAnOffsetMap) {
  unsigned seed = 200;
  for (int type : {1, 9})
    for (int entryBits : {8, 15, 16, 24, 32})
      for (int indexBits : {8, 16}) {
        TgaSpec s;
        s.type = type;
        s.depth = indexBits;
        s.mapEntryBits = entryBits;
        s.mapFirst = indexBits == 16 ? 300 : 5;
        s.map = randomPalette(indexBits == 16 ? 700 : 40, ++seed);
        if (entryBits == 8)
          for (Rgb& c : s.map) c = {c.r, c.r, c.r};
        std::vector<int> idx = randomIndices(6, 9, static_cast<int>(s.map.size()), ++seed);
        for (std::size_t i = 0; i < idx.size(); ++i) idx[i] = idx[i / 4 * 4];  // runs
        RefImage want = imageFromIndices(6, 9, idx, s.map);
        for (int& i : idx) i += s.mapFirst;
        const Bytes file = writeTga(s, 6, 9, idx, want);
        if (entryBits == 15 || entryBits == 16) want = fiveBits(want);
        DecodedImage out;
        ASSERT_EQ(image::decodeTGA(file.data(), file.size(), kLimit, out), 0)
            << type << "/" << entryBits << "/" << indexBits;
        EXPECT_TRUE(sameImage(out, want, 1))
            << "type " << type << " entries " << entryBits << " indexes " << indexBits;
      }
}

TEST(TgaDecoder, InterleavedFilesRestartEachPassOneRowFurtherDown) {
  // Stored row k lands on these rows, counted from the origin.
  struct Case {
    int interleave, rows;
    std::vector<int> order;
  } cases[] = {
      {1, 5, {0, 2, 4, 1, 3}}, {2, 6, {0, 4, 1, 5, 2, 3}}, {2, 3, {0, 1, 2}}, {0, 3, {0, 1, 2}}};
  for (const Case& c : cases)
    for (bool topLeft : {true, false})
      for (int type : {2, 10}) {
        TgaSpec s;
        s.type = type;
        s.interleave = c.interleave;
        s.topLeft = topLeft;
        for (int k : c.order) s.storedRows.push_back(topLeft ? k : c.rows - 1 - k);
        const RefImage want = randomImage(c.rows, 4, static_cast<unsigned>(c.rows * 10 + type));
        const Bytes file = writeTga(s, c.rows, 4, {}, want);
        DecodedImage out;
        ASSERT_EQ(image::decodeTGA(file.data(), file.size(), kLimit, out), 0);
        EXPECT_TRUE(sameImage(out, want, 1))
            << "interleave " << c.interleave << " top-left " << topLeft << " type " << type;
      }
}

TEST(TgaDecoder, WithoutTheTopLeftBitTheFirstStoredRowIsTheBottomRow) {
  // Grey 1 x 3, stored rows 10, 20, 30.
  Bytes file = {0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 3, 0, 8, 0, 10, 20, 30};
  DecodedImage out;
  ASSERT_EQ(image::decodeTGA(file.data(), file.size(), kLimit, out), 0);
  EXPECT_EQ(out.row(0, 0)[0], 30);
  EXPECT_EQ(out.row(0, 2)[0], 10);
  // One run-length packet of 3 spanning all three rows, top-left origin.
  file = {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 3, 0, 8, 0x20, 0x82, 77};
  ASSERT_EQ(image::decodeTGA(file.data(), file.size(), kLimit, out), 0);
  for (int y = 0; y < 3; ++y) EXPECT_EQ(out.row(0, y)[0], 77);
}

TEST(TgaDecoder, MalformedFilesGiveTheTgaReadError) {
  TgaSpec s;
  s.type = 9;
  s.depth = 8;
  s.map = randomPalette(16, 5);
  const auto idx = randomIndices(4, 8, 16, 6);
  const RefImage im = imageFromIndices(4, 8, idx, s.map);
  const Bytes good = writeTga(s, 4, 8, idx, im);
  DecodedImage out;
  auto decode = [&](const Bytes& b, ImageSize limit = kLimit) {
    return image::decodeTGA(b.data(), b.size(), limit, out);
  };
  ASSERT_EQ(decode(good), 0);
  auto with = [&](std::size_t at, std::vector<std::uint8_t> bytes) {
    Bytes b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
    return b;
  };
  EXPECT_EQ(decode(with(2, {4})), kTgaReadError);            // image type 4
  EXPECT_EQ(decode(with(2, {32})), kTgaReadError);           // Huffman-coded types are not read
  EXPECT_EQ(decode(with(1, {2})), kTgaReadError);            // colour-map type 2
  EXPECT_EQ(decode(with(1, {0})), kTgaReadError);            // colour-mapped without a map
  EXPECT_EQ(decode(with(7, {12})), kTgaReadError);           // 12-bit map entries
  EXPECT_EQ(decode(with(16, {24})), kTgaReadError);          // 24-bit indexes
  EXPECT_EQ(decode(with(3, {0xf1, 0x3f})), kTgaReadError);   // first index 16369 + 16 > 16384
  EXPECT_EQ(decode(with(5, {8, 0})), kTgaReadError);         // map of 8: indexes beyond it
  EXPECT_EQ(decode(with(12, {0, 0})), kTgaReadError);        // zero columns
  EXPECT_EQ(decode(with(14, {0, 0})), kTgaReadError);        // zero rows
  EXPECT_EQ(decode(with(12, {0xff, 0xff})), kTgaReadError);  // wider than the limit
  EXPECT_EQ(decode(good, {3, 512}), kTgaReadError);          // taller than the limit
  EXPECT_EQ(decode(with(0, {250})), kTgaReadError);          // identification beyond the end
  // A run-length packet running past the last pixel.
  Bytes over = {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 8, 0x20, 0x84, 1};
  EXPECT_EQ(decode(over), kTgaReadError);
  over[18] = 0x83;
  EXPECT_EQ(decode(over), 0);
  expectSafeOnDamage(image::decodeTGA, good, kTgaReadError, 12);

  TgaSpec t;
  t.type = 10;
  t.depth = 32;
  const RefImage tc = blocky(5, 6, 7, false);
  expectSafeOnDamage(image::decodeTGA, writeTga(t, 5, 6, {}, tc), kTgaReadError, 13);
}

// ---- GIF ------------------------------------------------------------------------------------

Bytes gifFile(const char* version, int screenRows, int screenColumns,
              const std::vector<Rgb>& global, const std::vector<GifImage>& images,
              bool extensions = false) {
  Bytes b = gifHeader(version, screenRows, screenColumns, global);
  if (extensions) gifAppendExtensions(b);
  for (const GifImage& im : images) {
    gifAppendImage(b, im);
    if (extensions) gifAppendExtensions(b);
  }
  b.push_back(';');
  return b;
}

GifImage randomGif(int rows, int columns, int colours, unsigned seed) {
  GifImage im;
  im.rows = rows;
  im.columns = columns;
  im.idx = randomIndices(rows, columns, colours, seed);
  int bits = 1;
  while ((1 << bits) < colours) ++bits;
  im.minSize = bits < 2 ? 2 : bits;
  return im;
}

TEST(GifDecoder, BothVersionsEveryCodeSizeAndBothInterlaceModes) {
  unsigned seed = 300;
  for (const char* version : {"GIF87a", "GIF89a"})
    for (int colours : {2, 4, 16, 256})
      for (bool interlaced : {false, true})
        for (int rows : {1, 10, 23}) {
          const auto palette = randomPalette(static_cast<std::size_t>(colours), ++seed);
          GifImage im = randomGif(rows, 13, colours, ++seed);
          im.interlaced = interlaced;
          const Bytes file = gifFile(version, rows, 13, palette, {im}, true);
          DecodedImage out;
          ASSERT_EQ(image::decodeGIF(file.data(), file.size(), kLimit, out), 0);
          EXPECT_TRUE(sameImage(out, imageFromIndices(rows, 13, im.idx, palette), 1))
              << version << " colours " << colours << " interlaced " << interlaced << " rows "
              << rows;
        }
}

TEST(GifDecoder, CodesGrowToTwelveBitsWithClearCodesOrADeferredClear) {
  // 120 x 120 random pixels of 256 colours fill the 4096-entry table three times over.
  const auto palette = randomPalette(256, 31);
  for (bool clearWhenFull : {true, false})
    for (std::size_t block : {255u, 1u, 7u}) {
      GifImage im = randomGif(120, 120, 256, 32);
      // Some runs as well, so that strings longer than two bytes and the
      // code-not-yet-in-the-table case occur.
      for (std::size_t i = 0; i < im.idx.size(); ++i)
        if (i % 97 < 40) im.idx[i] = 5;
      im.clearWhenFull = clearWhenFull;
      im.block = block;
      const Bytes file = gifFile("GIF89a", 120, 120, palette, {im});
      DecodedImage out;
      ASSERT_EQ(image::decodeGIF(file.data(), file.size(), kLimit, out), 0);
      EXPECT_TRUE(sameImage(out, imageFromIndices(120, 120, im.idx, palette), 1))
          << "clear when full " << clearWhenFull << " block " << block;
    }
}

TEST(GifDecoder, InterlacedTenRowsAreStoredInTheFourPasses) {
  EXPECT_EQ(gifInterlacedRows(10), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
  // Row k of the stored stream holds the value k: the decoded rows must read back the
  // pass order.
  const std::vector<Rgb> palette = randomPalette(16, 4);
  GifImage im;
  im.rows = 10;
  im.columns = 3;
  im.interlaced = true;
  im.minSize = 4;
  const std::vector<int> order = gifInterlacedRows(10);
  im.idx.resize(30);
  for (int k = 0; k < 10; ++k)
    for (int x = 0; x < 3; ++x)
      im.idx[static_cast<std::size_t>(order[static_cast<std::size_t>(k)] * 3 + x)] = k;
  const Bytes file = gifFile("GIF89a", 10, 3, palette, {im});
  DecodedImage out;
  ASSERT_EQ(image::decodeGIF(file.data(), file.size(), kLimit, out), 0);
  const int want[10] = {0, 5, 3, 6, 2, 7, 4, 8, 1, 9};  // stored index of each row
  for (int y = 0; y < 10; ++y)
    EXPECT_EQ(out.row(0, y)[0], palette[static_cast<std::size_t>(want[y])].r) << y;
}

TEST(GifDecoder, LocalTablesOnlyTheFirstImageAndNoPlacement) {
  const auto global = randomPalette(4, 41), local = randomPalette(8, 42);
  GifImage first = randomGif(5, 6, 8, 43);
  first.localTable = local;
  first.left = 3;  // positions are not applied
  first.top = 2;
  GifImage second = randomGif(7, 9, 4, 44);
  const Bytes file = gifFile("GIF89a", 7, 9, global, {first, second}, true);
  DecodedImage out;
  ASSERT_EQ(image::decodeGIF(file.data(), file.size(), kLimit, out), 0);
  ASSERT_EQ(out.rows(), 7);
  ASSERT_EQ(out.columns(), 9);
  const RefImage want = imageFromIndices(5, 6, first.idx, local);
  for (int y = 0; y < 7; ++y) {
    EXPECT_EQ(out.decodedColumns(y), y < 5 ? 6 : 0) << y;  // the rest keeps the frame's pixels
    for (int x = 0; x < out.decodedColumns(y); ++x)
      EXPECT_EQ((Rgb{out.row(0, y)[x], out.row(1, y)[x], out.row(2, y)[x]}), want.at(y, x));
  }

  // An image larger than the screen is clipped to it; one that ends early (end code, or the
  // sub-blocks run out) keeps what it decoded.
  GifImage big = randomGif(6, 12, 4, 45);
  Bytes clipped = gifFile("GIF87a", 4, 5, global, {big});
  ASSERT_EQ(image::decodeGIF(clipped.data(), clipped.size(), kLimit, out), 0);
  const RefImage all = imageFromIndices(6, 12, big.idx, global);
  for (int y = 0; y < 4; ++y) {
    ASSERT_EQ(out.decodedColumns(y), 5);
    for (int x = 0; x < 5; ++x) EXPECT_EQ(out.row(2, y)[x], all.at(y, x).b);
  }
  // 13 pixels encoded as 13 rows of one column, then declared as 4 rows of 5.
  GifImage cut = randomGif(13, 1, 4, 46);
  const std::vector<int> full = cut.idx;
  Bytes early = gifHeader("GIF89a", 4, 5, global);
  {
    Bytes b;
    gifAppendImage(b, cut);
    b[5] = 5;  // width
    b[7] = 4;  // height
    early.insert(early.end(), b.begin(), b.end());
  }
  early.push_back(';');
  ASSERT_EQ(image::decodeGIF(early.data(), early.size(), kLimit, out), 0);
  EXPECT_EQ(out.decodedColumns(0), 5);
  EXPECT_EQ(out.decodedColumns(1), 5);
  EXPECT_EQ(out.decodedColumns(2), 3);
  EXPECT_EQ(out.decodedColumns(3), 0);
  EXPECT_EQ(out.row(0, 2)[2], global[static_cast<std::size_t>(full[12])].r);
}

TEST(GifDecoder, MalformedFilesGiveTheGifReadError) {
  const auto palette = randomPalette(4, 51);
  GifImage im = randomGif(6, 7, 4, 52);
  const Bytes good = gifFile("GIF89a", 6, 7, palette, {im}, true);
  DecodedImage out;
  auto decode = [&](const Bytes& b, ImageSize limit = kLimit) {
    return image::decodeGIF(b.data(), b.size(), limit, out);
  };
  ASSERT_EQ(decode(good), 0);
  Bytes b = good;
  b[4] = '8';  // "GIF88a"
  EXPECT_EQ(decode(b), kGifReadError);
  EXPECT_EQ(decode(good, {5, 512}), kGifReadError);  // screen taller than the limit
  EXPECT_EQ(decode(good, {512, 6}), kGifReadError);  // wider
  b = gifHeader("GIF89a", 6, 7, palette);
  b.push_back(';');
  EXPECT_EQ(decode(b), kGifReadError);  // no image before the end
  b = gifHeader("GIF89a", 0, 7, palette);
  gifAppendImage(b, im);
  b.push_back(';');
  EXPECT_EQ(decode(b), kGifReadError);  // zero rows

  // Minimum code sizes 0 and 9; a code beyond the table; an index beyond the colour table.
  for (int minSize : {0, 9}) {
    b = gifHeader("GIF89a", 6, 7, palette);
    gifAppendImage(b, im);
    b.push_back(';');
    const std::size_t at = 13 + 12 + 10;  // header, table, image descriptor
    ASSERT_EQ(b[at], im.minSize);
    b[at] = static_cast<std::uint8_t>(minSize);
    EXPECT_EQ(decode(b), kGifReadError) << minSize;
  }
  {
    // Minimum size 2: clear (4), literal 1, then code 7 while the next free code is 6.
    b = gifHeader("GIF89a", 1, 4, palette);
    const Bytes image = {',', 0, 0, 0, 0, 4, 0, 1, 0, 0, 2, 2, 0xCC, 0x01, 0};
    b.insert(b.end(), image.begin(), image.end());
    b.push_back(';');
    EXPECT_EQ(decode(b), kGifReadError);
  }
  {
    GifImage wide = randomGif(2, 2, 8, 53);  // indexes up to 7, table of 4
    wide.idx = {0, 1, 2, 7};
    wide.minSize = 3;
    b = gifFile("GIF89a", 2, 2, palette, {wide});
    EXPECT_EQ(decode(b), kGifReadError);
  }
  expectSafeOnDamage(image::decodeGIF, good, kGifReadError, 14, 3000);
  GifImage bigger = randomGif(40, 40, 256, 54);
  expectSafeOnDamage(image::decodeGIF, gifFile("GIF89a", 40, 40, randomPalette(256, 55), {bigger}),
                     kGifReadError, 15, 300);
}

// ---- JPEG -----------------------------------------------------------------------------------

TEST(JpegDecoder, GreyAndColourFilesDecodeCloseToTheirSource) {
  for (bool grey : {true, false})
    for (int columns : {1, 16, 37}) {
      const RefImage im = smooth(21, columns, grey);
      const Bytes file = encodeJpeg(im, grey, 100);
      DecodedImage out;
      ASSERT_EQ(image::decodeJPEGMemory(file.data(), file.size(), kLimit, out), 0);
      ASSERT_EQ(out.rows(), 21);
      ASSERT_EQ(out.columns(), columns);
      ASSERT_EQ(out.colour(), grey ? 0 : 1);
      int worst = 0;
      for (int c = 0; c < out.channels(); ++c)
        for (int y = 0; y < 21; ++y)
          for (int x = 0; x < columns; ++x) {
            const Rgb p = im.at(y, x);
            const int want = c == 0 ? p.r : c == 1 ? p.g : p.b;
            worst = std::max(worst, std::abs(out.row(c, y)[x] - want));
          }
      EXPECT_LE(worst, 4) << "grey " << grey << " columns " << columns;
    }
}

TEST(JpegDecoder, CorruptOversizedAndTruncatedFilesGiveTheJpegReadErrorWithoutLeaks) {
  const Bytes good = encodeJpeg(smooth(16, 24, false), false, 90);
  DecodedImage out;
  const long live = liveStorageBlocks();
  EXPECT_EQ(image::decodeJPEGMemory(good.data(), good.size(), {16, 23}, out), kJpegReadError);
  EXPECT_EQ(image::decodeJPEGMemory(good.data(), good.size(), {15, 24}, out), kJpegReadError);
  EXPECT_EQ(image::decodeJPEGMemory(good.data(), 40, kLimit, out), kJpegReadError);  // header cut
  Bytes b = good;
  b[1] = 0xD9;  // starts with EOI instead of SOI
  EXPECT_EQ(image::decodeJPEGMemory(b.data(), b.size(), kLimit, out), kJpegReadError);
  const Bytes text = {'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'};
  EXPECT_EQ(image::decodeJPEGMemory(text.data(), text.size(), kLimit, out), kJpegReadError);
  EXPECT_EQ(image::decodeJPEGMemory(nullptr, 0, kLimit, out), kJpegReadError);
  EXPECT_EQ(liveStorageBlocks(), live);
  // Every prefix of the file fails, down to the one that lacks only the last byte of its end
  // marker. Random damage may still give an image (a changed coefficient decodes to another
  // value) but every outcome is 0 or kJpegReadError.
  expectSafeOnDamage(image::decodeJPEGMemory, good, kJpegReadError, 16, 400);
}

// Every prefix of a file of every kind fails: none reads with padding in place of what was
// cut (random pixels, so that the coded scans are most of each file).
TEST(JpegDecoder, FilesOfEveryKindCutAnywhereFail) {
  unsigned seed = 20;
  for (const JpegKind& kind : kJpegKinds) {
    SCOPED_TRACE(kind.name);
    const Bytes good =
        encodeJpeg(randomImage(24, 40, ++seed, kind.grey), kind.grey, 90, kind.progressive);
    expectSafeOnDamage(image::decodeJPEGMemory, good, kJpegReadError, ++seed, 100);
  }
}

// Warnings that lose no pixel keep their old meaning: such files read as before.
TEST(JpegDecoder, WarningsThatLoseNoPixelsStillRead) {
  for (const JpegKind& kind : kJpegKinds) {
    const Bytes good =
        encodeJpeg(randomImage(24, 40, 78, kind.grey), kind.grey, 90, kind.progressive);
    DecodedImage want, got;
    ASSERT_EQ(image::decodeJPEGMemory(good.data(), good.size(), kLimit, want), 0);
    auto marker = [&](std::uint8_t code) {
      for (std::size_t k = 0; k + 1 < good.size(); ++k)
        if (good[k] == 0xFF && good[k + 1] == code) return k;
      return good.size();
    };
    // Stray bytes before the frame header (a warning of extraneous data).
    const std::size_t sof = marker(kind.progressive ? 0xC2 : 0xC0);
    ASSERT_LT(sof, good.size());
    Bytes stray = good;
    stray.insert(stray.begin() + static_cast<long>(sof), {0x12, 0x34, 0x56});
    ASSERT_EQ(image::decodeJPEGMemory(stray.data(), stray.size(), kLimit, got), 0) << kind.name;
    for (int c = 0; c < want.channels(); ++c)
      for (int y = 0; y < want.rows(); ++y)
        ASSERT_EQ(std::memcmp(got.row(c, y), want.row(c, y), 40), 0) << kind.name << " " << y;
    if (kind.progressive) continue;
    // A baseline scan header with zeros for its spectral range (such files exist; libjpeg
    // warns and decodes the whole range).
    const std::size_t sos = marker(0xDA);
    ASSERT_LT(sos, good.size());
    Bytes zeros = good;
    const std::size_t range = sos + 5 + 2 * static_cast<std::size_t>(good[sos + 4]);
    ASSERT_EQ(zeros[range + 1], 63);
    zeros[range + 1] = 0;
    ASSERT_EQ(image::decodeJPEGMemory(zeros.data(), zeros.size(), kLimit, got), 0) << kind.name;
    for (int c = 0; c < want.channels(); ++c)
      for (int y = 0; y < want.rows(); ++y)
        ASSERT_EQ(std::memcmp(got.row(c, y), want.row(c, y), 40), 0) << kind.name << " " << y;
  }
}

}  // namespace
}  // namespace v3d::test
