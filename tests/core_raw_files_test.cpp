// Raw volume files, raw frame files and the text dump: exact bytes on disk, round trips of
// every data and colour type, partial reads, and refusals that create no file.
#include <cstdio>
#include <cstring>

#include "core/frame_names.h"
#include "core/image_sequence.h"
#include "core/raw_files.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

class RawFilesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& f : created_) std::remove(f.c_str());
  }
  std::string path(const std::string& leaf) {
    created_.push_back(tempPath(leaf));
    return created_.back();
  }
  void writeBytes(const std::string& name, const std::vector<unsigned char>& bytes) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  std::vector<std::string> created_;
};

void expectEqualSamples(Volume* a, Volume* b, int N, int Y, int X) {
  withSampleType(a->dataType, [&](auto tag) {
    using T = typename decltype(tag)::type;
    for (int c = 0; c < channelCount(*a); ++c)
      for (int z = 0; z < N; ++z)
        for (int y = 0; y < Y; ++y)
          for (int x = 0; x < X; ++x) {
            const T p = at<T>(a, c, z, y, x), q = at<T>(b, c, z, y, x);
            ASSERT_EQ(std::memcmp(&p, &q, sizeof(T)), 0) << c << "," << z << "," << y << "," << x;
          }
  });
}

TEST_F(RawFilesTest, VolumeFilesRoundTripEveryTypeAndIgnoreTheVoi) {
  for (int type : {V3D_UC, V3D_F, V3D_I})
    for (int colour : {1, 2}) {
      OwnedVolume v(type, colour, 3, 4, 5), back(type, colour, 3, 4, 5);
      fillRandom(v, type * 10 + colour);
      fill_in_VOI(v, 1, 2, 1, 3, 2, 4);  // the writer stores whole frames whatever the VOI
      const std::string name = path("rt" + std::to_string(type) + std::to_string(colour));
      ASSERT_EQ(WriteVolume(v, name.c_str(), 0, 3), 0);
      EXPECT_EQ(readFile(name).size(), (colour == 1 ? 1u : 3u) * 3 * 4 * 5 * sampleSize(type));
      ASSERT_EQ(ReadVolume(back, name.c_str(), 0, 3, 4, 5), 0);
      expectEqualSamples(v, back, 3, 4, 5);
    }
}

TEST_F(RawFilesTest, VolumeFileBytesAreLittleEndianChannelAfterChannel) {
  OwnedVolume v(V3D_I, 2, 2, 1, 2);
  for (int c = 0; c < 3; ++c)
    for (int z = 0; z < 2; ++z)
      for (int x = 0; x < 2; ++x) at<I32>(v, c, z, 0, x) = 0x01020300 + c * 16 + z * 4 + x;
  const std::string name = path("le");
  ASSERT_EQ(WriteVolume(v, name.c_str(), 1, 1), 0);
  const auto bytes = readFile(name);
  const std::vector<unsigned char> want = {0x04, 3, 2, 1, 0x05, 3, 2, 1,   // channel 1, frame 1
                                           0x14, 3, 2, 1, 0x15, 3, 2, 1,   // channel 2
                                           0x24, 3, 2, 1, 0x25, 3, 2, 1};  // channel 3
  EXPECT_EQ(bytes, want);

  OwnedVolume f(V3D_F, 1, 1, 1, 1);
  at<float>(f, 0, 0, 0, 0) = 1.0f;
  ASSERT_EQ(WriteVolume(f, name.c_str(), 0, 1), 0);
  EXPECT_EQ(readFile(name), (std::vector<unsigned char>{0, 0, 0x80, 0x3f}));
}

TEST_F(RawFilesTest, ReadVolumeSkipsFramesOnceAndFillsOnlyTheCoveredPart) {
  // A one-channel UC file of four 64 x 64 frames: skipping 2 starts at byte 8192.
  std::vector<unsigned char> bytes(4 * 64 * 64);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<unsigned char>(i / 4096 * 50 + i % 7);
  const std::string name = path("skip");
  writeBytes(name, bytes);
  OwnedVolume v(V3D_UC, 1, 3, 70, 65);
  fillRandom(v, 1);
  const auto before = snapshot(v);
  ASSERT_EQ(ReadVolume(v, name.c_str(), 2, 2, 64, 64), 0);
  EXPECT_EQ(at<UC>(v, 0, 0, 0, 0), bytes[8192]);
  EXPECT_EQ(at<UC>(v, 0, 1, 63, 63), bytes.back());
  EXPECT_EQ(at<UC>(v, 0, 0, 64, 3), before[sizeof(Volume) + 64 * 65 + 3]) << "row 64 kept";
  EXPECT_EQ(at<UC>(v, 0, 0, 5, 64), before[sizeof(Volume) + 5 * 65 + 64]) << "column 64 kept";
  EXPECT_EQ(at<UC>(v, 0, 2, 0, 0), before[sizeof(Volume) + 2 * 70 * 65]) << "frame 2 kept";

  // Three channels: the skip applies once, channel 2 follows channel 1's N frames.
  std::vector<unsigned char> colour(3 * 3 * 2 * 2);
  for (std::size_t i = 0; i < colour.size(); ++i) colour[i] = static_cast<unsigned char>(i);
  writeBytes(name, colour);
  OwnedVolume c(V3D_UC, 2, 2, 2, 2);
  ASSERT_EQ(ReadVolume(c, name.c_str(), 1, 2, 2, 2), 0);
  EXPECT_EQ(at<UC>(c, 0, 0, 0, 0), 4);
  EXPECT_EQ(at<UC>(c, 1, 0, 0, 0), 12);
  EXPECT_EQ(at<UC>(c, 2, 1, 1, 1), 27);
}

TEST_F(RawFilesTest, ReadFailuresReportTheirCodesAndKeepWhatWasRead) {
  OwnedVolume v(V3D_F, 1, 2, 2, 2);
  fillRandom(v, 3);
  const auto before = snapshot(v);
  EXPECT_EQ(ReadVolume(v, path("missing").c_str(), 0, 2, 2, 2), kFopenError);
  EXPECT_EQ(ReadVolume(v, nullptr, 0, 2, 2, 2), kFopenError);
  EXPECT_EQ(ReadVolume(v, "x", 0, 3, 2, 2), kInvalidInputDimensions);
  EXPECT_EQ(ReadVolume(v, "x", 0, 2, 2, 3), kInvalidInputDimensions);
  EXPECT_EQ(ReadVolume(v, "x", -1, 2, 2, 2), kInvalidParameters);
  EXPECT_EQ(ReadVolume(v, "x", 0, -2, 2, 2), kInvalidParameters);
  EXPECT_EQ(ReadVolume(nullptr, "x", 0, 1, 1, 1), kNullVolume);
  EXPECT_EQ(snapshot(v), before);

  // Five floats: the first row (two floats) and the second arrive, the third row is short.
  const std::string name = path("short");
  std::vector<unsigned char> bytes(5 * 4, 0);
  float one = 1.0f;
  for (int i = 0; i < 5; ++i) std::memcpy(bytes.data() + 4 * i, &one, 4);
  writeBytes(name, bytes);
  EXPECT_EQ(ReadVolume(v, name.c_str(), 0, 2, 2, 2), kFreadError);
  EXPECT_EQ(at<float>(v, 0, 0, 0, 0), 1.0f);
  EXPECT_EQ(at<float>(v, 0, 0, 1, 1), 1.0f);
  EXPECT_EQ(std::memcmp(&at<float>(v, 0, 1, 0, 0), &before[sizeof(Volume) + 16], 4), 0)
      << "the short row is not stored";
}

TEST_F(RawFilesTest, WriteVolumeRefusesFramesBeyondTheVolumeWithoutCreatingAFile) {
  OwnedVolume v(V3D_UC, 1, 3, 2, 2);
  const std::string name = path("refused");
  EXPECT_EQ(WriteVolume(v, name.c_str(), 0, 4), kInvalidParameters);
  EXPECT_EQ(WriteVolume(v, name.c_str(), 2, 2), kInvalidParameters);
  EXPECT_EQ(WriteVolume(v, name.c_str(), -1, 1), kInvalidParameters);
  EXPECT_EQ(WriteVolume(v, name.c_str(), 1, INT32_MAX), kInvalidParameters);
  EXPECT_FALSE(fileExists(name));
  EXPECT_EQ(WriteVolume(v, "/nonexistent-dir/x.rv", 0, 1), kFopenError);
  ASSERT_EQ(WriteVolume(v, name.c_str(), 3, 0), 0);
  EXPECT_TRUE(readFile(name).empty());
  if (fileExists("/dev/full")) {
    EXPECT_EQ(WriteVolume(v, "/dev/full", 0, 3), kFwriteError);
  }
}

TEST_F(RawFilesTest, FrameFileNamesFollowTheDigitRule) {
  EXPECT_EQ(frameFileName("head", 7, 3, "raw"), "head007.raw");
  EXPECT_EQ(frameFileName("head", 7, 0, "raw"), "head7.raw");
  EXPECT_EQ(frameFileName("dir/h", 100, 3, "r"), "dir/h100.r");
  EXPECT_EQ(frameFileName("h", 12345, 2, "g"), "h12345.g");
  EXPECT_EQ(frameFileName("h", -3, 3, "b"), "h-03.b");
}

TEST_F(RawFilesTest, FrameFilesRoundTripWithNumberedNames) {
  for (int type : {V3D_UC, V3D_F, V3D_I}) {
    OwnedVolume v(type, 2, 3, 4, 5), back(type, 2, 3, 4, 5);
    fillRandom(v, type);
    const std::string base = tempPath("frames" + std::to_string(type) + "_");
    char r[] = "r", g[] = "g", b[] = "b";
    char* ext[3] = {r, g, b};
    ASSERT_EQ(todiskUCFI3D(v, base.c_str(), 98, 3, ext), 0);
    for (int k : {98, 99, 100})
      for (const char* e : {"r", "g", "b"}) {
        const std::string f = frameFileName(base.c_str(), k, 3, e);
        created_.push_back(f);
        EXPECT_EQ(readFile(f).size(), 4 * 5 * sampleSize(type)) << f;
      }
    ASSERT_EQ(fromdiskUCFI3D(back, base.c_str(), 98, 3, ext, 3, 4, 5), 0);
    expectEqualSamples(v, back, 3, 4, 5);
  }
}

TEST_F(RawFilesTest, OneChannelVolumesUseOnlyTheFirstExtension) {
  OwnedVolume v(V3D_UC, 1, 2, 2, 3), back(V3D_UC, 1, 3, 3, 3);
  fillRandom(v, 5);
  fillRandom(back, 6);
  const auto before = snapshot(back);
  const std::string base = tempPath("grey");
  char raw[] = "raw";
  char* ext[3] = {raw, nullptr, nullptr};
  ASSERT_EQ(todiskUCFI3D(v, base.c_str(), 98, 0, ext), 0);
  for (int k : {98, 99}) created_.push_back(frameFileName(base.c_str(), k, 0, "raw"));
  EXPECT_TRUE(fileExists(base + "98.raw"));
  EXPECT_TRUE(fileExists(base + "99.raw"));
  ASSERT_EQ(fromdiskUCFI3D(back, base.c_str(), 98, 0, ext, 2, 2, 3), 0);
  expectEqualSamples(v, back, 2, 2, 3);
  EXPECT_EQ(at<UC>(back, 0, 2, 0, 0), before[sizeof(Volume) + 2 * 9]) << "frame 2 kept";
  EXPECT_EQ(at<UC>(back, 0, 0, 2, 1), before[sizeof(Volume) + 7]) << "row 2 kept";

  // A missing frame file ends the read with -600; the frames before it stay read.
  OwnedVolume three(V3D_UC, 1, 3, 2, 3);
  EXPECT_EQ(fromdiskUCFI3D(three, base.c_str(), 98, 0, ext, 3, 2, 3), kFopenError);
  EXPECT_EQ(at<UC>(three, 0, 1, 1, 2), at<UC>(v, 0, 1, 1, 2));
  EXPECT_EQ(fromdiskUCFI3D(three, base.c_str(), 98, 0, ext, 4, 2, 3), kInvalidInputDimensions);
  EXPECT_EQ(fromdiskUCFI3D(three, base.c_str(), 98, 0, nullptr, 1, 2, 3), kFopenError);
  EXPECT_EQ(todiskUCFI3D(three, "/nonexistent-dir/x", 0, 0, ext), kFopenError);
}

TEST_F(RawFilesTest, SequencesWithoutABaseOrExtensionOpenNoFile) {
  int rows = 0, columns = 0, colour = 0;
  // Each format's "cannot open" code.
  EXPECT_EQ(CheckImageSeqTIFF(nullptr, 0, 0, "tif", 1, &rows, &columns, &colour), kTiffError);
  EXPECT_EQ(CheckImageSeqGIF("x", 0, 0, nullptr, 1, &rows, &columns, &colour), kCannotOpenFile);
  OwnedVolume v(V3D_UC, 2, 1, 2, 2);
  const auto before = snapshot(v);
  EXPECT_EQ(ReadImageSeqBMP(v, "x", 0, 0, nullptr, 1), kCannotOpenFile);
  EXPECT_EQ(snapshot(v), before);
  const std::string base = tempPath("noext");
  EXPECT_EQ(local_WriteImageSeqTIFF(v, base.c_str(), 0, nullptr, 1, 2), kTiffError);
  EXPECT_FALSE(fileExists(base + "0."));
}

TEST_F(RawFilesTest, DumpWritesTheVoiAsText) {
  OwnedVolume v(V3D_UC, 1, 2, 3, 5);
  at<UC>(v, 0, 1, 2, 1) = 5;
  at<UC>(v, 0, 1, 2, 2) = 17;
  at<UC>(v, 0, 1, 2, 3) = 200;
  fill_in_VOI(v, 1, 2, 2, 3, 1, 4);
  const std::string name = path("dump.txt");
  ASSERT_EQ(dumpUCFI3D(v, name.c_str()), 0);
  const auto bytes = readFile(name);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "  5  17 200 \n\n\n");

  OwnedVolume f(V3D_F, 2, 2, 1, 2);
  at<float>(f, 0, 0, 0, 0) = 1.5f;
  at<float>(f, 2, 1, 0, 1) = -0.0625f;
  ASSERT_EQ(dumpUCFI3D(f, name.c_str()), 0);
  const auto text = readFile(name);
  const std::string frame0 = "1.500 0.000 \n\n", zeros = "0.000 0.000 \n\n";
  EXPECT_EQ(std::string(text.begin(), text.end()),
            frame0 + zeros + "\n" + zeros + zeros + "\n" + zeros + "0.000 -0.062 \n\n" + "\n");

  OwnedVolume i(V3D_I, 1, 1, 2, 2);
  at<I32>(i, 0, 0, 0, 1) = -42;
  at<I32>(i, 0, 0, 1, 0) = 2147483647;
  ASSERT_EQ(dumpUCFI3D(i, name.c_str()), 0);
  const auto it = readFile(name);
  EXPECT_EQ(std::string(it.begin(), it.end()), "0 -42 \n2147483647 0 \n\n\n");
  EXPECT_EQ(dumpUCFI3D(i, "/nonexistent-dir/d.txt"), kFopenError);
}

}  // namespace
}  // namespace v3d::test
