// TIFF frames: round trips through the sequence writer and reader for every compression and
// photometric value, the tags written, the grey formula, the strip path against the RGBA
// path, savetiff's window rules, and refusals that leave frames and files as they were.
#include <tiffio.h>

#include <cmath>
#include <functional>

#include "core/frame_names.h"
#include "core/image_sequence.h"
#include "image_test_support.h"

namespace v3d::test {
namespace {

using image::DecodedImage;

class TiffTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : created_) std::remove(f.c_str());
  }
  // A base name whose frames first .. first + count - 1 are removed after the test.
  std::string base(const std::string& leaf, int first, int count, const char* ext = "tif") {
    const std::string b = tempPath(leaf);
    for (int k = 0; k < count; ++k) created_.push_back(frameFileName(b.c_str(), first + k, 0, ext));
    return b;
  }
  std::string path(const std::string& leaf) {
    created_.push_back(tempPath(leaf));
    return created_.back();
  }
  std::vector<std::string> created_;
};

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

// Writes a TIFF with libtiff directly, for files the system's writer does not make.
struct TiffSpec {
  int bits = 8, samples = 1, photometric = PHOTOMETRIC_MINISBLACK;
  int planar = PLANARCONFIG_CONTIG, compression = COMPRESSION_NONE;
  int orientation = ORIENTATION_TOPLEFT;
  std::uint32_t rowsPerStrip = 8;
  bool tiled = false, palette = false, extraAlpha = false;
};

Bytes makeTiff(const std::string& name, const TiffSpec& s, int rows, int columns, unsigned seed) {
  std::unique_ptr<TIFF, TiffCloser> t(TIFFOpen(name.c_str(), "w"));
  EXPECT_TRUE(t);
  TIFF* f = t.get();
  const int samples = s.samples + (s.extraAlpha ? 1 : 0);
  TIFFSetField(f, TIFFTAG_IMAGEWIDTH, columns);
  TIFFSetField(f, TIFFTAG_IMAGELENGTH, rows);
  TIFFSetField(f, TIFFTAG_BITSPERSAMPLE, s.bits);
  TIFFSetField(f, TIFFTAG_SAMPLESPERPIXEL, samples);
  TIFFSetField(f, TIFFTAG_PHOTOMETRIC, s.palette ? PHOTOMETRIC_PALETTE : s.photometric);
  TIFFSetField(f, TIFFTAG_PLANARCONFIG, s.planar);
  TIFFSetField(f, TIFFTAG_COMPRESSION, s.compression);
  TIFFSetField(f, TIFFTAG_ORIENTATION, s.orientation);
  if (s.extraAlpha) {
    const std::uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(f, TIFFTAG_EXTRASAMPLES, 1, extra);
  }
  std::mt19937 rng(seed);
  if (s.palette) {
    std::vector<std::uint16_t> r(256), g(256), b(256);
    for (int i = 0; i < 256; ++i) {
      r[i] = static_cast<std::uint16_t>((rng() & 255) * 257);
      g[i] = static_cast<std::uint16_t>((rng() & 255) * 257);
      b[i] = static_cast<std::uint16_t>((rng() & 255) * 257);
    }
    TIFFSetField(f, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
  }
  const std::size_t bytesPerSample = static_cast<std::size_t>(s.bits / 8);
  if (s.tiled) {
    TIFFSetField(f, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(f, TIFFTAG_TILELENGTH, 16);
    std::vector<std::uint8_t> tile(TIFFTileSize(f));
    for (std::uint32_t i = 0; i < TIFFNumberOfTiles(f); ++i) {
      for (auto& v : tile) v = static_cast<std::uint8_t>(rng());
      TIFFWriteEncodedTile(f, i, tile.data(), static_cast<tmsize_t>(tile.size()));
    }
  } else {
    TIFFSetField(f, TIFFTAG_ROWSPERSTRIP, s.rowsPerStrip);
    const int planes = s.planar == PLANARCONFIG_SEPARATE ? samples : 1;
    const std::size_t line = static_cast<std::size_t>(columns) * bytesPerSample *
                             (s.planar == PLANARCONFIG_SEPARATE ? 1 : samples);
    std::vector<std::uint8_t> row(line);
    for (int p = 0; p < planes; ++p)
      for (int y = 0; y < rows; ++y) {
        for (auto& v : row) v = static_cast<std::uint8_t>(rng());
        TIFFWriteScanline(f, row.data(), static_cast<std::uint32_t>(y),
                          static_cast<std::uint16_t>(p));
      }
  }
  t.reset();
  return readFile(name);
}

bool sameDecoded(const DecodedImage& a, const DecodedImage& b) {
  if (a.rows() != b.rows() || a.columns() != b.columns() || a.colour() != b.colour()) return false;
  for (int c = 0; c < a.channels(); ++c)
    for (int y = 0; y < a.rows(); ++y)
      if (std::memcmp(a.row(c, y), b.row(c, y), static_cast<std::size_t>(a.columns())) != 0)
        return false;
  return true;
}

TEST_F(TiffTest, RoundTripsForEveryCompressionAndPhotometric) {
  for (int channels : {1, 3})
    for (int compression : {1, 5, 32773})
      for (int photometric : {0, 1, 2}) {
        if (photometric == 2 && channels == 1) continue;
        const int colour = channels == 3 ? 2 : 1;
        // 37 rows: two strips of 32 rows and a short one.
        OwnedVolume v(V3D_UC, colour, 3, 37, 29);
        fillRandom(v, static_cast<unsigned>(channels * 100 + compression + photometric));
        const std::string b = base("rt" + std::to_string(channels) + std::to_string(compression) +
                                       std::to_string(photometric),
                                   4, 3);
        ScopedImageSize small(7, 7);
        ASSERT_EQ(local_WriteImageSeqTIFF(v, b.c_str(), 4, "tif", compression, photometric), 0);
        EXPECT_EQ(currentImageSize().rows, 7);  // restored after the write
        EXPECT_EQ(currentImageSize().columns, 7);

        int rows = 0, columns = 0, flag = -1;
        ASSERT_EQ(CheckImageSeqTIFF(b.c_str(), 4, 0, "tif", 3, &rows, &columns, &flag), 0);
        EXPECT_EQ(rows, 37);
        EXPECT_EQ(columns, 29);
        EXPECT_EQ(flag, photometric == 2 ? 1 : 0);

        OwnedVolume back(V3D_UC, photometric == 2 ? 2 : 1, 3, 37, 29);
        ScopedImageSize size(37, 29);
        ASSERT_EQ(ReadImageSeqTIFF(back, b.c_str(), 4, 0, "tif", 3), 0);
        for (int z = 0; z < 3; ++z)
          for (int y = 0; y < 37; ++y)
            for (int x = 0; x < 29; ++x) {
              if (photometric == 2) {
                for (int c = 0; c < 3; ++c)
                  ASSERT_EQ(at<UC>(back, c, z, y, x), at<UC>(v, c, z, y, x));
                continue;
              }
              int grey = at<UC>(v, 0, z, y, x);
              if (channels == 3)
                grey = static_cast<int>(
                    std::floor((299.0 * at<UC>(v, 0, z, y, x) + 587.0 * at<UC>(v, 1, z, y, x) +
                                114.0 * at<UC>(v, 2, z, y, x)) *
                               0.001));
              // Min-is-white files hold the values as they are, so a reader shows them
              // inverted.
              const int want = photometric == 0 ? 255 - grey : grey;
              ASSERT_EQ(at<UC>(back, 0, z, y, x), want)
                  << channels << "/" << compression << "/" << photometric << " at " << z << "," << y
                  << "," << x;
            }
      }
}

TEST_F(TiffTest, WrittenFilesCarryExactlyTheTagsAndStripsOfTheFormat) {
  OwnedVolume v(V3D_UC, 2, 1, 70, 9);
  fillRandom(v, 5);
  for (int photometric : {0, 1, 2}) {
    const std::string b = base("tags" + std::to_string(photometric), 0, 1);
    ASSERT_EQ(local_WriteImageSeqTIFF(v, b.c_str(), 0, "tif", 5, photometric), 0);
    std::unique_ptr<TIFF, TiffCloser> t(TIFFOpen((b + "0.tif").c_str(), "r"));
    ASSERT_TRUE(t);
    std::uint32_t width = 0, length = 0, rps = 0;
    std::uint16_t bits = 0, spp = 0, photo = 9, planar = 0, compression = 0, orientation = 0;
    TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &length);
    TIFFGetField(t.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(t.get(), TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(t.get(), TIFFTAG_PHOTOMETRIC, &photo);
    TIFFGetField(t.get(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(t.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(t.get(), TIFFTAG_ORIENTATION, &orientation);
    TIFFGetField(t.get(), TIFFTAG_ROWSPERSTRIP, &rps);
    EXPECT_EQ(width, 9u);
    EXPECT_EQ(length, 70u);
    EXPECT_EQ(bits, 8);
    EXPECT_EQ(spp, photometric == 2 ? 3 : 1);
    EXPECT_EQ(photo, photometric);
    EXPECT_EQ(planar, 1);
    EXPECT_EQ(compression, 5);
    EXPECT_EQ(orientation, 1);
    EXPECT_EQ(rps, 32u);
    EXPECT_EQ(TIFFNumberOfStrips(t.get()), 3u);
    // The grey bytes are floor((299 R + 587 G + 114 B) * 0.001), computed here in floating
    // point as the formula reads.
    if (photometric != 2) {
      std::vector<std::uint8_t> line(9);
      for (std::uint32_t y = 0; y < 70; ++y) {
        ASSERT_EQ(TIFFReadScanline(t.get(), line.data(), y, 0), 1);
        for (int x = 0; x < 9; ++x) {
          const double g = std::floor((299.0 * at<UC>(v, 0, 0, static_cast<int>(y), x) +
                                       587.0 * at<UC>(v, 1, 0, static_cast<int>(y), x) +
                                       114.0 * at<UC>(v, 2, 0, static_cast<int>(y), x)) *
                                      0.001);
          ASSERT_EQ(line[static_cast<std::size_t>(x)], g);
        }
      }
    }
  }
}

TEST_F(TiffTest, TheGreyFormulaInIntegersMatchesTheFloatingPointFormulaEverywhere) {
  // The writer divides 299 R + 587 G + 114 B by 1000 in integers; every possible weighted
  // sum agrees with the floating-point form.
  for (unsigned n = 0; n <= 255000; ++n)
    ASSERT_EQ(n / 1000, static_cast<unsigned>(std::floor(n * 0.001))) << n;
}

TEST_F(TiffTest, TheStripPathGivesExactlyTheRgbaReadersPixels) {
  const std::string name = path("strips.tif");
  struct Case {
    TiffSpec spec;
    bool qualifies;
  };
  std::vector<Case> cases;
  for (int compression : {1, 5, 32773, 8})
    for (std::uint32_t rps : {1u, 5u, 64u, 1000u}) {
      TiffSpec grey;
      grey.compression = compression;
      grey.rowsPerStrip = rps;
      cases.push_back({grey, true});
      TiffSpec rgb = grey;
      rgb.samples = 3;
      rgb.photometric = PHOTOMETRIC_RGB;
      cases.push_back({rgb, true});
    }
  TiffSpec s;
  s.photometric = PHOTOMETRIC_MINISWHITE;
  cases.push_back({s, false});
  s = {};
  s.bits = 16;
  cases.push_back({s, false});
  s = {};
  s.palette = true;
  cases.push_back({s, false});
  s = {};
  s.samples = 3;
  s.photometric = PHOTOMETRIC_RGB;
  s.planar = PLANARCONFIG_SEPARATE;
  cases.push_back({s, false});
  s.planar = PLANARCONFIG_CONTIG;
  s.extraAlpha = true;
  cases.push_back({s, false});
  s = {};
  s.tiled = true;
  cases.push_back({s, false});
  s = {};
  s.orientation = ORIENTATION_BOTLEFT;
  cases.push_back({s, false});

  unsigned seed = 0;
  for (const Case& c : cases) {
    const Bytes file = makeTiff(name, c.spec, 37, 23, ++seed);
    DecodedImage rgba, strips, best;
    const ImageSize limit{64, 64};
    ASSERT_EQ(image::decodeTIFFMemoryRGBA(file.data(), file.size(), limit, rgba), 0) << seed;
    ASSERT_EQ(image::decodeTIFFMemory(file.data(), file.size(), limit, best), 0) << seed;
    EXPECT_TRUE(sameDecoded(best, rgba)) << "case " << seed;
    const int r = image::decodeTIFFMemoryStrips(file.data(), file.size(), limit, strips);
    EXPECT_EQ(r, c.qualifies ? 0 : 1) << "case " << seed;
    if (r == 0) {
      EXPECT_TRUE(sameDecoded(strips, rgba)) << "case " << seed;
    }
  }
}

TEST_F(TiffTest, WriterRefusalsCreateNoFileAndRestoreTheImageSize) {
  OwnedVolume grey(V3D_UC, 1, 2, 4, 4), colour(V3D_UC, 2, 2, 4, 4);
  OwnedVolume floats(V3D_F, 1, 2, 4, 4);
  const std::string b = base("refuse", 0, 2);
  ScopedImageSize size(9, 11);
  EXPECT_EQ(local_WriteImageSeqTIFF(grey, b.c_str(), 0, "tif", 7, 1), kInvalidParameters);
  EXPECT_EQ(local_WriteImageSeqTIFF(grey, b.c_str(), 0, "tif", 1, 2), kInvalidParameters);
  EXPECT_EQ(local_WriteImageSeqTIFF(colour, b.c_str(), 0, "tif", 1, 3), kInvalidParameters);
  EXPECT_EQ(local_WriteImageSeqTIFF(colour, b.c_str(), 0, "tif", 1, -1), kInvalidParameters);
  EXPECT_EQ(local_WriteImageSeqTIFF(floats, b.c_str(), 0, "tif", 1, 1), kWrongDataType);
  EXPECT_EQ(local_WriteImageSeqTIFF(nullptr, b.c_str(), 0, "tif", 1, 1), kNullVolume);
  EXPECT_EQ(local_WriteImageSeqTIFF(grey, b.c_str(), INT_MAX, "tif", 1, 1), kInvalidParameters);
  EXPECT_FALSE(fileExists(b + "0.tif"));
  EXPECT_EQ(local_WriteImageSeqTIFF(grey, "/nonexistent-dir/x", 0, "tif", 1, 1), kTiffError);
  EXPECT_EQ(currentImageSize().rows, 9);
  EXPECT_EQ(currentImageSize().columns, 11);

  // Scratch storage that cannot be had is kTiffError, and nothing stays allocated.
  const long live = liveStorageBlocks();
  for (long k = 0; k < 6; ++k) {
    failAllocationsAfter(k);
    const int r = local_WriteImageSeqTIFF(colour, b.c_str(), 0, "tif", 5, 2);
    failAllocationsAfter(-1);
    EXPECT_TRUE(r == 0 || r == kTiffError) << k << ": " << r;
    EXPECT_EQ(liveStorageBlocks(), live);
  }
  EXPECT_EQ(currentImageSize().rows, 9);
}

TEST_F(TiffTest, SavetiffWritesItsWindowAndChecksItsBounds) {
  // A 5 x 6 image buffer of three planes.
  std::vector<std::vector<unsigned char>> data(3, std::vector<unsigned char>(30));
  std::vector<std::vector<unsigned char*>> rows(3, std::vector<unsigned char*>(5));
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < 5; ++y) {
      rows[c][y] = data[c].data() + 6 * y;
      for (int x = 0; x < 6; ++x) rows[c][y][x] = static_cast<unsigned char>(c * 70 + y * 10 + x);
    }
  const std::string name = path("window.tif");
  ScopedImageSize size(3, 3);
  // Rows 1 .. 3 and columns 1 .. 4 of the buffer, as RGB.
  ASSERT_EQ(
      savetiff(rows[0].data(), rows[1].data(), rows[2].data(), name.c_str(), 1, 2, 1, 1, 4, 5), 0);
  EXPECT_EQ(currentImageSize().rows, 3);
  EXPECT_EQ(currentImageSize().columns, 3);
  Bytes file = readFile(name);
  DecodedImage out;
  ASSERT_EQ(image::decodeTIFFMemory(file.data(), file.size(), {64, 64}, out), 0);
  ASSERT_EQ(out.rows(), 3);
  ASSERT_EQ(out.columns(), 4);
  ASSERT_EQ(out.colour(), 1);
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(out.row(c, y)[x], rows[c][y + 1][x + 1]);

  // Plane 1 alone, grey: its own values; as RGB: replicated.
  ASSERT_EQ(savetiff(rows[0].data(), nullptr, nullptr, name.c_str(), 32773, 1, 0, 0, 5, 6), 0);
  file = readFile(name);
  ASSERT_EQ(image::decodeTIFFMemory(file.data(), file.size(), {64, 64}, out), 0);
  ASSERT_EQ(out.colour(), 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(out.row(0, y)[x], rows[0][y][x]);
  ASSERT_EQ(savetiff(rows[0].data(), nullptr, nullptr, name.c_str(), 5, 2, 0, 0, 2, 2), 0);
  file = readFile(name);
  ASSERT_EQ(image::decodeTIFFMemory(file.data(), file.size(), {64, 64}, out), 0);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(out.row(c, 1)[1], rows[0][1][1]);

  const std::string never = path("never.tif");
  EXPECT_EQ(savetiff(nullptr, nullptr, nullptr, never.c_str(), 1, 1, 0, 0, 2, 2),
            kNullImagePointer);
  EXPECT_EQ(savetiff(rows[0].data(), rows[1].data(), nullptr, never.c_str(), 1, 2, 0, 0, 2, 2),
            kNullImagePointer);
  EXPECT_EQ(savetiff(rows[0].data(), nullptr, nullptr, never.c_str(), 1, 1, -1, 0, 2, 2),
            kInvalidWorkingArea);
  EXPECT_EQ(savetiff(rows[0].data(), nullptr, nullptr, never.c_str(), 1, 1, 0, 0, 2, -1),
            kInvalidWorkingArea);
  EXPECT_EQ(savetiff(rows[0].data(), nullptr, nullptr, never.c_str(), 1, 1, 2, 0, 1, 2),
            kInvalidWorkingArea);
  EXPECT_EQ(savetiff(rows[0].data(), nullptr, nullptr, never.c_str(), 1, 1, 2, 0, 4, 2),
            kInvalidWorkingArea);
  EXPECT_EQ(savetiff(rows[0].data(), nullptr, nullptr, never.c_str(), 1, 1, 0, 2, 2, 4),
            kInvalidWorkingArea);
  EXPECT_FALSE(fileExists(never));
  EXPECT_EQ(currentImageSize().rows, 3);
  // A file that cannot be written is an error, not a success.
  EXPECT_EQ(savetiff(rows[0].data(), nullptr, nullptr, "/nonexistent-dir/w.tif", 1, 1, 0, 0, 2, 2),
            kTiffError);
  if (fileExists("/dev/full")) {
    EXPECT_EQ(savetiff(rows[0].data(), nullptr, nullptr, "/dev/full", 1, 1, 0, 0, 5, 6),
              kTiffError);
  }
  EXPECT_EQ(currentImageSize().rows, 3);
}

// (The sequence rules, including a TIFF file that fails mid-sequence, are tested for every
// format in core_image_sequence_test.cpp.)
TEST_F(TiffTest, FilesThatAreNoTiffGiveTheTiffError) {
  const std::string text = path("text0.tif");
  writeBytes(text, {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'});
  int rows = 0, columns = 0, flag = 0;
  const std::string base = text.substr(0, text.size() - 5);
  ASSERT_TRUE(fileExists(base + "0.tif"));
  EXPECT_EQ(CheckImageSeqTIFF(base.c_str(), 0, 0, "tif", 1, &rows, &columns, &flag), kTiffError);
  const Bytes header = {'I', 'I', 42, 0, 8, 0, 0, 0, 0, 0};  // a directory of no entries
  DecodedImage out;
  EXPECT_EQ(image::decodeTIFFMemory(header.data(), header.size(), {64, 64}, out), kTiffError);
  EXPECT_EQ(image::decodeTIFFMemory(nullptr, 0, {64, 64}, out), kTiffError);
}

// The reader's ways to a file (libtiff opening the path, the bytes loaded in one read, and
// the choice by size that the sequence reader makes) answer every file alike.
TEST_F(TiffTest, EveryWayToAFileGivesTheSameAnswer) {
  using image::TiffAccess;
  struct Way {
    int (*header)(const char*, image::ImageInfo&);
    int (*decode)(const char*, ImageSize, DecodedImage&);
  };
  const Way ways[] = {
      {image::headerTIFFFile<TiffAccess::Path>, image::decodeTIFFFile<TiffAccess::Path>},
      {image::headerTIFFFile<TiffAccess::Bytes>, image::decodeTIFFFile<TiffAccess::Bytes>},
      {image::headerTIFFFile<TiffAccess::BySize>, image::decodeTIFFFile<TiffAccess::BySize>}};
  // Small and large files (either side of the size at which the choice changes), grey and
  // colour, compressed or not; a file that is no TIFF, an empty one, a directory, none.
  std::vector<std::string> names;
  for (int side : {20, 400})
    for (int colour : {1, 2}) {
      OwnedVolume v(V3D_UC, colour, 1, side, side + 3);
      fillRandom(v, static_cast<unsigned>(side + colour));
      const std::string b = base("way" + std::to_string(side) + std::to_string(colour), 0, 1);
      ASSERT_EQ(local_WriteImageSeqTIFF(v, b.c_str(), 0, "tif", colour == 1 ? 5 : 1, colour), 0);
      names.push_back(b + "0.tif");
    }
  ASSERT_GT(readFile(names[2]).size(), image::kTiffBytesLimit);
  ASSERT_LT(readFile(names[0]).size(), image::kTiffBytesLimit);
  names.push_back(path("text.tif"));
  writeBytes(names.back(), {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'});
  names.push_back(path("empty.tif"));
  writeBytes(names.back(), {});
  names.push_back(testing::TempDir());
  names.push_back(path("missing.tif"));
  for (const std::string& name : names) {
    image::ImageInfo want{};
    DecodedImage wantImage;
    const int wantHeader = ways[0].header(name.c_str(), want);
    const int wantDecode = ways[0].decode(name.c_str(), {512, 512}, wantImage);
    EXPECT_EQ(wantHeader == 0, wantDecode == 0) << name;
    for (const Way& way : ways) {
      image::ImageInfo info{};
      DecodedImage image;
      ASSERT_EQ(way.header(name.c_str(), info), wantHeader) << name;
      EXPECT_EQ(info.rows, want.rows);
      EXPECT_EQ(info.columns, want.columns);
      EXPECT_EQ(info.colour, want.colour);
      ASSERT_EQ(way.decode(name.c_str(), {512, 512}, image), wantDecode) << name;
      if (wantDecode == 0) {
        EXPECT_TRUE(sameDecoded(image, wantImage)) << name;
      }
    }
  }
  for (const Way& way : ways) {
    image::ImageInfo info{};
    DecodedImage image;
    EXPECT_EQ(way.header(nullptr, info), kTiffError);
    EXPECT_EQ(way.decode(nullptr, {512, 512}, image), kTiffError);
    EXPECT_EQ(way.decode(names[2].c_str(), {399, 512}, image), kTiffError);  // beyond the limit
  }
}

TEST_F(TiffTest, DamagedFilesAreSafe) {
  OwnedVolume v(V3D_UC, 2, 1, 40, 33);
  fillRandom(v, 12);
  for (int compression : {1, 5, 32773})
    for (int photometric : {1, 2}) {
      const std::string b =
          base("damage" + std::to_string(compression) + std::to_string(photometric), 0, 1);
      ASSERT_EQ(local_WriteImageSeqTIFF(v, b.c_str(), 0, "tif", compression, photometric), 0);
      const Bytes file = readFile(b + "0.tif");
      expectSafeOnDamage(image::decodeTIFFMemory, file, kTiffError,
                         static_cast<unsigned>(compression + photometric), 300, kAnyOutcome);
    }
}

}  // namespace
}  // namespace v3d::test
