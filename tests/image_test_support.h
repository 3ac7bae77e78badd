// Shared helpers of the image-format tests: comparing decoded images with references,
// writing byte files, and damaging valid files in every way a truncation or a flipped byte
// can.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/image_codecs.h"
#include "fixtures.h"
#include "image_writers.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace v3d::test {

inline ::testing::AssertionResult sameImage(const image::DecodedImage& d, const RefImage& want,
                                            int colour) {
  if (d.rows() != want.rows || d.columns() != want.columns || d.colour() != colour)
    return ::testing::AssertionFailure()
           << "size " << d.rows() << "x" << d.columns() << " colour " << d.colour() << ", want "
           << want.rows << "x" << want.columns << " colour " << colour;
  for (int y = 0; y < want.rows; ++y) {
    if (d.decodedColumns(y) != want.columns)
      return ::testing::AssertionFailure() << "row " << y << " only partly decoded";
    for (int x = 0; x < want.columns; ++x) {
      const Rgb w = want.at(y, x);
      const Rgb got = colour ? Rgb{d.row(0, y)[x], d.row(1, y)[x], d.row(2, y)[x]}
                             : Rgb{d.row(0, y)[x], d.row(0, y)[x], d.row(0, y)[x]};
      const Rgb expect = colour ? w : Rgb{w.r, w.r, w.r};
      if (!(got == expect))
        return ::testing::AssertionFailure()
               << "pixel (" << y << "," << x << ") = " << int(got.r) << "," << int(got.g) << ","
               << int(got.b) << " want " << int(expect.r) << "," << int(expect.g) << ","
               << int(expect.b);
    }
  }
  return ::testing::AssertionSuccess();
}

inline void writeBytes(const std::string& name, const Bytes& bytes) {
  std::FILE* f = std::fopen(name.c_str(), "wb");
  ASSERT_NE(f, nullptr) << name;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

// For decoders that may accept a cut file (libtiff reads only the parts it needs).
inline constexpr std::size_t kAnyOutcome = static_cast<std::size_t>(-1);

using Decoder = int (*)(const std::uint8_t*, std::size_t, ImageSize, image::DecodedImage&);

// Every prefix of a valid file, and many copies with random bytes changed, decode without
// touching memory they do not own (the sanitizer build watches) and without leaking; every
// prefix shorter than `completeFrom` bytes (the whole file by default) fails.
inline void expectSafeOnDamage(Decoder decode, const Bytes& valid, int code, unsigned seed,
                               std::size_t mutations = 1500, std::size_t completeFrom = 0) {
  if (completeFrom == 0) completeFrom = valid.size();
  const long live = liveStorageBlocks();
  const ImageSize limit{512, 512};
  {
    image::DecodedImage out;
    for (std::size_t n = 0; n < valid.size(); ++n) {
      const Bytes cut(valid.begin(), valid.begin() + static_cast<long>(n));
      const int r = decode(cut.empty() ? nullptr : cut.data(), cut.size(), limit, out);
      if (completeFrom == kAnyOutcome)
        EXPECT_TRUE(r == 0 || r == code || r == kCannotAllocateBuffer)
            << "prefix of " << n << " bytes gave " << r;
      else if (n < completeFrom)
        EXPECT_TRUE(r == code || r == kCannotAllocateBuffer)
            << "prefix of " << n << " bytes gave " << r;
      else
        EXPECT_EQ(r, 0) << "prefix of " << n << " bytes";
    }
    std::mt19937 rng(seed);
    for (std::size_t m = 0; m < mutations; ++m) {
      Bytes b = valid;
      const int changes = 1 + static_cast<int>(rng() % 4);
      for (int k = 0; k < changes; ++k) b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
      const int r = decode(b.data(), b.size(), limit, out);
      EXPECT_TRUE(r == 0 || r == code || r == kCannotAllocateBuffer)
          << "mutation " << m << " gave " << r;
    }
  }
  EXPECT_EQ(liveStorageBlocks(), live);
}

// Encodes rows x columns of grey or RGB samples with libjpeg at the given quality, as a
// baseline or a progressive file.
inline Bytes encodeJpeg(const RefImage& im, bool grey, int quality, bool progressive = false) {
  const std::string name = tempPath("enc.jpg");
  std::FILE* f = std::fopen(name.c_str(), "wb");
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, f);
  c.image_width = static_cast<JDIMENSION>(im.columns);
  c.image_height = static_cast<JDIMENSION>(im.rows);
  c.input_components = grey ? 1 : 3;
  c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, quality, TRUE);
  if (progressive) jpeg_simple_progression(&c);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> line(static_cast<std::size_t>(im.columns) * 3);
  for (int y = 0; y < im.rows; ++y) {
    for (int x = 0; x < im.columns; ++x) {
      const Rgb p = im.at(y, x);
      if (grey) {
        line[static_cast<std::size_t>(x)] = p.r;
      } else {
        line[static_cast<std::size_t>(3 * x)] = p.r;
        line[static_cast<std::size_t>(3 * x + 1)] = p.g;
        line[static_cast<std::size_t>(3 * x + 2)] = p.b;
      }
    }
    JSAMPROW row = line.data();
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::fclose(f);
  Bytes b = readFile(name);
  std::remove(name.c_str());
  return b;
}

// The kinds of JPEG file the tests make: grey and colour, baseline and progressive.
struct JpegKind {
  const char* name;
  bool grey, progressive;
};
inline constexpr JpegKind kJpegKinds[] = {{"grey", true, false},
                                          {"colour", false, false},
                                          {"progressive grey", true, true},
                                          {"progressive colour", false, true}};

// A smooth picture that JPEG keeps within a few levels.
inline RefImage smooth(int rows, int columns, bool grey) {
  RefImage im(rows, columns);
  for (int y = 0; y < rows; ++y)
    for (int x = 0; x < columns; ++x) {
      const auto r = static_cast<std::uint8_t>(40 + 3 * x + y);
      im.at(y, x) = grey ? Rgb{r, r, r}
                         : Rgb{r, static_cast<std::uint8_t>(200 - 2 * y),
                               static_cast<std::uint8_t>(100 + x + y)};
    }
  return im;
}

}  // namespace v3d::test
