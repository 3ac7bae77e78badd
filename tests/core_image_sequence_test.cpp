// The sequence rules shared by every format: the check's sizes and colour flag, the
// consistency check (kTiffSequenceMismatch), the volume checks (kInvalidInputDimensions,
// kWrongColorType) before any frame is written, frame k from file k into rows and columns
// 0.., the frames read before a failing file, and the current image size as the bound of
// every file.
#include <tiffio.h>

#include <functional>

#include "core/frame_names.h"
#include "core/image_sequence.h"
#include "image_test_support.h"

namespace v3d::test {
namespace {

using CheckFn = int (*)(const char*, int, int, const char*, int, int*, int*, int*);
using ReadFn = int (*)(Volume*, const char*, int, int, const char*, int);

struct Format {
  const char* name;
  CheckFn check;
  ReadFn read;
  bool alwaysColour;
  bool greyPossible;
  bool lossy;
  // Bytes of a file of rows x columns pixels of `want` (grey when !colour).
  std::function<Bytes(const RefImage& want, bool colour, const std::string& scratch)> make;
};

Bytes tiffBytes(const RefImage& want, bool colour, const std::string& scratch) {
  std::vector<std::vector<unsigned char>> planes(3, std::vector<unsigned char>(want.px.size()));
  std::vector<std::vector<unsigned char*>> rows(
      3, std::vector<unsigned char*>(static_cast<std::size_t>(want.rows)));
  for (std::size_t i = 0; i < want.px.size(); ++i) {
    planes[0][i] = want.px[i].r;
    planes[1][i] = want.px[i].g;
    planes[2][i] = want.px[i].b;
  }
  for (int c = 0; c < 3; ++c)
    for (int y = 0; y < want.rows; ++y)
      rows[c][static_cast<std::size_t>(y)] =
          planes[c].data() + static_cast<std::size_t>(y) * want.columns;
  ScopedImageSize size(want.rows, want.columns);
  EXPECT_EQ(
      savetiff(rows[0].data(), colour ? rows[1].data() : nullptr, colour ? rows[2].data() : nullptr,
               scratch.c_str(), 5, colour ? 2 : 1, 0, 0, want.rows, want.columns),
      0);
  return readFile(scratch);
}

Bytes gifBytes(const RefImage& want, bool, const std::string&) {
  // A palette of the image's own colours (the tests use few).
  std::vector<Rgb> palette;
  GifImage im;
  im.rows = want.rows;
  im.columns = want.columns;
  for (const Rgb& c : want.px) {
    auto it = std::find(palette.begin(), palette.end(), c);
    if (it == palette.end()) {
      palette.push_back(c);
      it = palette.end() - 1;
    }
    im.idx.push_back(static_cast<int>(it - palette.begin()));
  }
  Bytes b = gifHeader("GIF89a", want.rows, want.columns, palette);
  gifAppendImage(b, im);
  b.push_back(';');
  return b;
}

std::vector<Format> formats() {
  return {
      {"tif", CheckImageSeqTIFF, ReadImageSeqTIFF, false, true, false, tiffBytes},
      {"bmp", CheckImageSeqBMP, ReadImageSeqBMP, true, false, false,
       [](const RefImage& w, bool, const std::string&) {
         return writeBmp({}, w.rows, w.columns, {}, w);
       }},
      {"tga", CheckImageSeqTGA, ReadImageSeqTGA, false, true, false,
       [](const RefImage& w, bool colour, const std::string&) {
         TgaSpec s;
         s.type = colour ? 10 : 11;
         s.depth = colour ? 24 : 8;
         s.topLeft = false;
         return writeTga(s, w.rows, w.columns, {}, w);
       }},
      {"gif", CheckImageSeqGIF, ReadImageSeqGIF, true, false, false, gifBytes},
      {"jpg", CheckImageSeqJPEG, ReadImageSeqJPEG, false, true, true,
       [](const RefImage& w, bool colour, const std::string&) {
         return encodeJpeg(w, !colour, 100);
       }},
  };
}

// A picture of few colours (steps of 16 levels, which JPEG blurs by less than a step).
RefImage picture(int rows, int columns, int seed, bool colour) {
  RefImage im = smooth(rows, columns, !colour);
  for (Rgb& c : im.px) {
    c.r = static_cast<std::uint8_t>((c.r + seed * 16) & 0xf0);
    c.g = colour ? static_cast<std::uint8_t>(c.g & 0xf0) : c.r;
    c.b = colour ? static_cast<std::uint8_t>(c.b & 0xf0) : c.r;
  }
  return im;
}

class SequenceTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : created_) std::remove(f.c_str());
  }
  // Writes files first .. first + sizes.size() - 1 with the given sizes; returns the base.
  std::string writeSequence(const Format& f, const std::string& leaf, int first, int digits,
                            const std::vector<std::pair<int, int>>& sizes, bool colour,
                            std::vector<RefImage>* images = nullptr) {
    const std::string base = tempPath(leaf + "_" + f.name + "_");
    const std::string scratch = base + "scratch";
    created_.push_back(scratch);
    for (std::size_t k = 0; k < sizes.size(); ++k) {
      const RefImage im = picture(sizes[k].first, sizes[k].second, static_cast<int>(k), colour);
      const std::string name =
          frameFileName(base.c_str(), first + static_cast<int>(k), digits, f.name);
      created_.push_back(name);
      writeBytes(name, f.make(im, colour, scratch));
      if (images) images->push_back(im);
    }
    return base;
  }
  std::vector<std::string> created_;
};

TEST_F(SequenceTest, EveryFormatReadsFileKIntoFrameKAndLeavesTheRestOfTheFrame) {
  for (const Format& f : formats())
    for (bool colour : {true, false}) {
      if (!colour && !f.greyPossible) continue;
      std::vector<RefImage> images;
      const std::string base =
          writeSequence(f, "read", 98, 3, {{9, 14}, {9, 14}, {9, 14}}, colour, &images);
      int rows = 0, columns = 0, flag = -1;
      ASSERT_EQ(f.check(base.c_str(), 98, 3, f.name, 3, &rows, &columns, &flag), 0) << f.name;
      EXPECT_EQ(rows, 9);
      EXPECT_EQ(columns, 14);
      EXPECT_EQ(flag, colour ? 1 : 0) << f.name;

      // A volume larger than the images: only rows 0..8 and columns 0..13 change.
      const int channels = colour || f.alwaysColour ? 3 : 1;
      OwnedVolume v(V3D_UC, channels == 3 ? 2 : 1, 4, 12, 16);
      fillRandom(v, 3);
      const auto before = snapshot(v);
      ScopedImageSize size(12, 16);
      ASSERT_EQ(f.read(v, base.c_str(), 98, 3, f.name, 3), 0) << f.name;
      const auto after = snapshot(v);
      for (int c = 0; c < channels; ++c)
        for (int z = 0; z < 4; ++z)
          for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
              const std::size_t i =
                  sizeof(Volume) + ((static_cast<std::size_t>(c) * 4 + z) * 12 + y) * 16 + x;
              if (z >= 3 || y >= 9 || x >= 14) {
                ASSERT_EQ(after[i], before[i])
                    << f.name << " outside the image at " << z << "," << y << "," << x;
                continue;
              }
              const Rgb p = images[static_cast<std::size_t>(z)].at(y, x);
              const int want = c == 0 ? p.r : c == 1 ? p.g : p.b;
              const int got = at<UC>(v, c, z, y, x);
              if (f.lossy)
                ASSERT_LE(std::abs(got - want), 16)
                    << f.name << " " << c << "," << z << "," << y << "," << x;
              else
                ASSERT_EQ(got, want) << f.name << " " << c << "," << z << "," << y << "," << x;
            }
    }
}

TEST_F(SequenceTest, AThirdFileOnePixelWiderFailsTheCheckOfEveryFormat) {
  for (const Format& f : formats()) {
    const std::string base = writeSequence(f, "wider", 0, 0, {{6, 8}, {6, 8}, {6, 9}}, true);
    int rows = -7, columns = -7, flag = -7;
    EXPECT_EQ(f.check(base.c_str(), 0, 0, f.name, 3, &rows, &columns, &flag), kTiffSequenceMismatch)
        << f.name;
    EXPECT_EQ(rows, -7);  // outputs untouched on failure
    EXPECT_EQ(f.check(base.c_str(), 0, 0, f.name, 2, &rows, &columns, &flag), 0) << f.name;
    OwnedVolume v(V3D_UC, 2, 3, 6, 9);
    fillRandom(v, 4);
    const auto before = snapshot(v);
    ScopedImageSize size(6, 9);
    EXPECT_EQ(f.read(v, base.c_str(), 0, 0, f.name, 3), kTiffSequenceMismatch) << f.name;
    EXPECT_EQ(snapshot(v), before) << f.name;
    // Taller or a colour flag that changes are inconsistencies as well.
    if (f.greyPossible) {
      const std::string mixed = tempPath(std::string("mixed_") + f.name + "_");
      const std::string scratch = mixed + "scratch";
      created_.push_back(scratch);
      for (int k = 0; k < 2; ++k) {
        const std::string name = frameFileName(mixed.c_str(), k, 0, f.name);
        created_.push_back(name);
        writeBytes(name, f.make(picture(6, 8, k, k == 0), k == 0, scratch));
      }
      EXPECT_EQ(f.check(mixed.c_str(), 0, 0, f.name, 2, &rows, &columns, &flag),
                kTiffSequenceMismatch)
          << f.name;
    }
  }
}

TEST_F(SequenceTest, VolumeChecksComeBeforeAnyFrameIsWritten) {
  for (const Format& f : formats()) {
    const std::string base = writeSequence(f, "checks", 1, 2, {{6, 8}, {6, 8}}, true);
    ScopedImageSize size(64, 64);
    OwnedVolume small(V3D_UC, 2, 2, 5, 8), narrow(V3D_UC, 2, 2, 6, 7), shallow(V3D_UC, 2, 1, 6, 8);
    OwnedVolume grey(V3D_UC, 1, 2, 6, 8), floats(V3D_F, 2, 2, 6, 8);
    fillRandom(small, 1);
    fillRandom(grey, 2);
    const auto smallBefore = snapshot(small), greyBefore = snapshot(grey);
    EXPECT_EQ(f.read(small, base.c_str(), 1, 2, f.name, 2), kInvalidInputDimensions) << f.name;
    EXPECT_EQ(f.read(narrow, base.c_str(), 1, 2, f.name, 2), kInvalidInputDimensions) << f.name;
    EXPECT_EQ(f.read(shallow, base.c_str(), 1, 2, f.name, 2), kInvalidInputDimensions) << f.name;
    // Colour files into a one-channel volume: kWrongColorType (from the volume check for BMP and
    // GIF).
    EXPECT_EQ(f.read(grey, base.c_str(), 1, 2, f.name, 2), kWrongColorType) << f.name;
    EXPECT_EQ(f.read(floats, base.c_str(), 1, 2, f.name, 2), kWrongDataType) << f.name;
    EXPECT_EQ(f.read(nullptr, base.c_str(), 1, 2, f.name, 2), kNullVolume) << f.name;
    EXPECT_EQ(snapshot(small), smallBefore);
    EXPECT_EQ(snapshot(grey), greyBefore);
    int r, c, k;
    EXPECT_EQ(f.check(base.c_str(), 1, 2, f.name, 0, &r, &c, &k), kInvalidParameters) << f.name;
    EXPECT_EQ(f.check(base.c_str(), 1, 2, f.name, 2, nullptr, &c, &k), kNullBasicTypePointer)
        << f.name;
    EXPECT_EQ(f.check(base.c_str(), INT_MAX, 2, f.name, 2, &r, &c, &k), kInvalidParameters)
        << f.name;
    // A missing file: the format's open code.
    const int open = std::string(f.name) == "tif" ? kTiffError : kCannotOpenFile;
    EXPECT_EQ(f.check(base.c_str(), 1, 2, f.name, 3, &r, &c, &k), open) << f.name;
    EXPECT_EQ(f.check(nullptr, 1, 2, f.name, 2, &r, &c, &k), open) << f.name;
  }
}

TEST_F(SequenceTest, EveryFileMustFitTheCurrentImageSize) {
  const int codes[] = {kTiffError, kBmpReadError, kTgaReadError, kGifReadError, kJpegReadError};
  int i = 0;
  for (const Format& f : formats()) {
    const int code = codes[i++];
    const std::string base = writeSequence(f, "limit", 0, 0, {{6, 8}, {6, 8}}, true);
    OwnedVolume v(V3D_UC, 2, 2, 6, 8);
    fillRandom(v, 6);
    const auto before = snapshot(v);
    {
      ScopedImageSize size(6, 7);
      EXPECT_EQ(f.read(v, base.c_str(), 0, 0, f.name, 2), code) << f.name;
    }
    {
      ScopedImageSize size(5, 8);
      EXPECT_EQ(f.read(v, base.c_str(), 0, 0, f.name, 2), code) << f.name;
    }
    EXPECT_EQ(snapshot(v), before) << f.name;
    ScopedImageSize size(6, 8);
    EXPECT_EQ(f.read(v, base.c_str(), 0, 0, f.name, 2), 0) << f.name;
  }
}

TEST_F(SequenceTest, AFileThatFailsEndsTheReadAndKeepsTheFramesBeforeIt) {
  const int codes[] = {kTiffError, kBmpReadError, kTgaReadError, kGifReadError, kJpegReadError};
  int i = 0;
  for (const Format& f : formats()) {
    const int code = codes[i++];
    std::vector<RefImage> images;
    const std::string base =
        writeSequence(f, "partial", 0, 0, {{6, 8}, {6, 8}, {6, 8}}, true, &images);
    // File 1 keeps its header but loses its pixel data: the check passes, the read fails.
    const std::string second = frameFileName(base.c_str(), 1, 0, f.name);
    Bytes b = readFile(second);
    std::size_t keep = b.size() / 3;
    if (std::string(f.name) == "tif") {
      // libtiff writes the directory after the strips: turn the strips into LZW codes beyond
      // the table instead.
      TIFF* t = TIFFOpen(second.c_str(), "r");
      ASSERT_NE(t, nullptr);
      const std::uint64_t *offsets = nullptr, *counts = nullptr;
      TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets);
      TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &counts);
      for (std::uint64_t k = offsets[0]; k < offsets[0] + counts[0]; ++k) b[k] = 0xff;
      TIFFClose(t);
      keep = b.size();
    }
    if (std::string(f.name) == "jpg") {
      // libjpeg pads a cut scan, but a Huffman table with three 1-bit codes is fatal when
      // decompression starts (the header alone still reads).
      for (std::size_t k = 0; k + 21 < b.size(); ++k)
        if (b[k] == 0xFF && b[k + 1] == 0xC4) {
          ASSERT_GE(b[k + 7], 3);
          b[k + 5] = static_cast<std::uint8_t>(b[k + 5] + 3);
          b[k + 7] = static_cast<std::uint8_t>(b[k + 7] - 3);
          break;
        }
      keep = b.size();
    }
    b.resize(keep);
    writeBytes(second, b);
    OwnedVolume v(V3D_UC, 2, 3, 6, 8);
    fillRandom(v, 7);
    const auto before = snapshot(v);
    ScopedImageSize size(6, 8);
    ASSERT_EQ(f.read(v, base.c_str(), 0, 0, f.name, 3), code) << f.name;
    const auto after = snapshot(v);
    for (int c = 0; c < 3; ++c)
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
          const Rgb p = images[0].at(y, x);
          const int want = c == 0 ? p.r : c == 1 ? p.g : p.b;
          if (f.lossy)
            EXPECT_LE(std::abs(at<UC>(v, c, 0, y, x) - want), 16) << f.name;
          else
            EXPECT_EQ(at<UC>(v, c, 0, y, x), want) << f.name;
          for (int z = 1; z < 3; ++z) {
            const std::size_t k =
                sizeof(Volume) + ((static_cast<std::size_t>(c) * 3 + z) * 6 + y) * 8 + x;
            EXPECT_EQ(after[k], before[k]) << f.name << " frame " << z;
          }
        }
  }
}

TEST_F(SequenceTest, AJpegFileCutShortEndsTheReadWithoutWritingItsFrame) {
  for (const JpegKind& kind : kJpegKinds) {
    // Three files of random pixels (so that the coded data is most of each file); the second
    // is cut at a third of its length, within its coded data.
    const std::string base = tempPath(std::string("cut_") + (kind.grey ? "g" : "c") +
                                      (kind.progressive ? "p" : "b") + "_");
    std::vector<Bytes> files;
    for (int k = 0; k < 3; ++k) {
      files.push_back(encodeJpeg(randomImage(40, 56, 90u + static_cast<unsigned>(k), kind.grey),
                                 kind.grey, 90, kind.progressive));
      const std::string name = frameFileName(base.c_str(), k, 0, "jpg");
      created_.push_back(name);
      const Bytes& b = files.back();
      writeBytes(name, k == 1 ? Bytes(b.begin(), b.begin() + static_cast<long>(b.size() / 3)) : b);
    }
    int rows = 0, columns = 0, flag = -1;
    ASSERT_EQ(CheckImageSeqJPEG(base.c_str(), 0, 0, "jpg", 3, &rows, &columns, &flag), 0)
        << kind.name;
    EXPECT_EQ(flag, kind.grey ? 0 : 1);

    OwnedVolume v(V3D_UC, kind.grey ? 1 : 2, 3, 40, 56);
    fillRandom(v, 8);
    const auto before = snapshot(v);
    ScopedImageSize size(40, 56);
    ASSERT_EQ(ReadImageSeqJPEG(v, base.c_str(), 0, 0, "jpg", 3), kJpegReadError) << kind.name;
    image::DecodedImage first;
    ASSERT_EQ(image::decodeJPEGMemory(files[0].data(), files[0].size(), {40, 56}, first), 0);
    const auto after = snapshot(v);
    const int channels = kind.grey ? 1 : 3;
    for (int c = 0; c < channels; ++c)
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 56; ++x) {
          ASSERT_EQ(at<UC>(v, c, 0, y, x), first.row(c, y)[x]) << kind.name;
          for (int z = 1; z < 3; ++z) {
            const std::size_t k =
                sizeof(Volume) + ((static_cast<std::size_t>(c) * 3 + z) * 40 + y) * 56 + x;
            ASSERT_EQ(after[k], before[k]) << kind.name << " frame " << z;
          }
        }
  }
}

TEST_F(SequenceTest, AllocationFailuresGiveCleanCodesAndReleaseEverything) {
  const int codes[] = {kTiffError, kBmpReadError, kTgaReadError, kGifReadError, kJpegReadError};
  int i = 0;
  for (const Format& f : formats()) {
    const int code = codes[i++];
    const std::string base = writeSequence(f, "alloc", 0, 0, {{6, 8}, {6, 8}}, true);
    OwnedVolume v(V3D_UC, 2, 2, 6, 8);
    ScopedImageSize size(6, 8);
    const long live = liveStorageBlocks();
    bool succeeded = false;
    for (long k = 0; k < 40 && !succeeded; ++k) {
      failAllocationsAfter(k);
      const int r = f.read(v, base.c_str(), 0, 0, f.name, 2);
      failAllocationsAfter(-1);
      EXPECT_TRUE(r == 0 || r == kCannotAllocateBuffer || r == code)
          << f.name << " after " << k << ": " << r;
      EXPECT_EQ(liveStorageBlocks(), live) << f.name << " after " << k;
      succeeded = r == 0;
    }
    EXPECT_TRUE(succeeded) << f.name;
  }
}

}  // namespace
}  // namespace v3d::test
