// TIFF stacks: our writer and reader against each other over every sample and colour type and
// compression, against files made with libtiff by hand (mismatched, unsupported, damaged),
// against Python's tifffile both ways, and the safety of a failed write.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <tiffio.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/samples.h"
#include "core/tiff_stack.h"

namespace v3d::test {
namespace {

namespace fs = std::filesystem;

struct OwnedVolume {
  Volume v{};
  OwnedVolume(int Z, int Y, int X, int type, int colour) {
    InitializeVolume(&v, Z, Y, X, type, colour);
    EXPECT_EQ(CreateVolume(&v), 0);
  }
  ~OwnedVolume() { DestroyVolume(&v); }
};

void fillRandom(Volume& v, unsigned seed) {
  std::mt19937 rng(seed);
  withSampleType(v.dataType, [&](auto tag) {
    using T = typename decltype(tag)::type;
    for (int c = 0; c < channelCount(v); ++c)
      for (int z = 0; z < v.Z; ++z)
        for (int y = 0; y < v.Y; ++y)
          for (int x = 0; x < v.X; ++x) {
            T& s = channelData<T>(v, c)[z][y][x];
            if constexpr (std::is_same_v<T, float>)
              s = std::uniform_real_distribution<float>(-1e4f, 1e4f)(rng);
            else
              s = static_cast<T>(rng());
          }
  });
}

// Every sample of `a`'s box b equals `r` at the same place less the box's corner.
bool sameAsBox(const Volume& a, const Box& b, const Volume& r) {
  return withSampleType(a.dataType, [&](auto tag) {
    using T = typename decltype(tag)::type;
    for (int c = 0; c < channelCount(a); ++c)
      for (int z = b.z0; z < b.z1; ++z)
        for (int y = b.y0; y < b.y1; ++y)
          if (std::memcmp(channelData<T>(a, c)[z][y] + b.x0,
                          channelData<T>(r, c)[z - b.z0][y - b.y0], sizeof(T) * b.width()) != 0)
            return false;
    return true;
  });
}

std::string scratchDir(const std::string& name) {
  const fs::path p =
      fs::temp_directory_path() / ("v3d_tiff_stack_" + name + "_" + std::to_string(::getpid()));
  fs::remove_all(p);
  fs::create_directories(p);
  return p.string();
}

std::vector<std::string> listDir(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::uint8_t> bytesOf(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

struct RoundTrip {
  int type, colour, compression;
  bool fullWidth;
};

class TiffStackRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(TiffStackRoundTrip, KeepsEverySampleOfTheVoi) {
  const RoundTrip p = GetParam();
  OwnedVolume src(5, 11, 17, p.type, p.colour);
  fillRandom(src.v, 7u + p.type * 10 + p.colour);
  if (p.fullWidth)
    fill_in_VOI(&src.v, 1, 4, 2, 9, 0, 17);
  else
    fill_in_VOI(&src.v, 1, 4, 2, 9, 3, 14);
  const std::string dir = scratchDir("rt");
  const std::string file = dir + "/stack.tif";
  ASSERT_EQ(WriteTiffStack(&src.v, file.c_str(), p.compression), 0);
  int Z, Y, X, type, colour;
  ASSERT_EQ(CheckTiffStack(file.c_str(), &Z, &Y, &X, &type, &colour), 0);
  const Box b = voiOf(src.v);
  EXPECT_EQ(Z, b.depth());
  EXPECT_EQ(Y, b.height());
  EXPECT_EQ(X, b.width());
  EXPECT_EQ(type, p.type);
  EXPECT_EQ(colour, p.colour);
  OwnedVolume back(Z, Y, X, type, colour);
  ASSERT_EQ(ReadTiffStack(&back.v, file.c_str()), 0);
  EXPECT_TRUE(sameAsBox(src.v, b, back.v));
  // Only the finished file is left in the folder.
  EXPECT_EQ(listDir(dir), std::vector<std::string>{"stack.tif"});
  fs::remove_all(dir);
}

std::vector<RoundTrip> roundTrips() {
  std::vector<RoundTrip> v;
  for (int type : {V3D_UC, V3D_F, V3D_I})
    for (int colour : {V3D_ONE_CHANNEL, V3D_THREE_CHANNELS})
      for (int compression : {V3D_TIFF_NONE, V3D_TIFF_LZW, V3D_TIFF_DEFLATE})
        for (bool full : {false, true}) v.push_back({type, colour, compression, full});
  return v;
}
INSTANTIATE_TEST_SUITE_P(AllTypes, TiffStackRoundTrip, ::testing::ValuesIn(roundTrips()));

// A file of pages written by hand with libtiff: each page (width, height, bits, format,
// samples, tiled).
struct Page {
  std::uint32_t width, height;
  int bits, format, samples;
  bool tiled = false;
};

void writePages(const std::string& file, const std::vector<Page>& pages, int compression = 1) {
  TIFF* t = TIFFOpen(file.c_str(), "w");
  ASSERT_NE(t, nullptr);
  for (const Page& p : pages) {
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, p.width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, p.height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, p.bits);
    TIFFSetField(t, TIFFTAG_SAMPLEFORMAT, p.format);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, p.samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, p.samples == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    const std::size_t bytes = std::size_t{p.width} * p.height * p.samples * (p.bits / 8);
    std::vector<std::uint8_t> data(bytes + 16 * 16 * 8);
    for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<std::uint8_t>(k * 7);
    if (p.tiled) {
      TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
      TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
      TIFFWriteEncodedTile(t, 0, data.data(), TIFFTileSize(t));
    } else {
      TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 3);
      for (std::uint32_t s = 0; s < TIFFNumberOfStrips(t); ++s)
        TIFFWriteEncodedStrip(t, s, data.data(), TIFFStripSize(t));
    }
    TIFFWriteDirectory(t);
  }
  TIFFClose(t);
}

TEST(TiffStack, PagesOfUnequalSizeOrTypeAreRefusedBeforeAnySampleIsWritten) {
  const std::string dir = scratchDir("mismatch");
  struct Case {
    std::vector<Page> pages;
    int code;
  };
  const Case cases[] = {
      {{{8, 6, 8, 1, 1}, {9, 6, 8, 1, 1}}, kTiffStackMismatch},
      {{{8, 6, 8, 1, 1}, {8, 6, 8, 1, 1}, {8, 7, 8, 1, 1}}, kTiffStackMismatch},
      {{{8, 6, 8, 1, 1}, {8, 6, 16, 1, 1}}, kTiffStackMismatch},
      {{{8, 6, 8, 1, 1}, {8, 6, 8, 1, 3}}, kTiffStackMismatch},
      {{{8, 6, 64, 3, 1}}, kTiffUnsupportedSamples},         // 64-bit float
      {{{8, 6, 32, 1, 1}}, kTiffUnsupportedSamples},         // 32-bit unsigned
      {{{16, 16, 8, 1, 1, true}}, kTiffUnsupportedSamples},  // tiled
  };
  for (const Case& c : cases) {
    const std::string file = dir + "/pages.tif";
    writePages(file, c.pages);
    int Z = -7, Y = -7, X = -7, type = -7, colour = -7;
    EXPECT_EQ(CheckTiffStack(file.c_str(), &Z, &Y, &X, &type, &colour), c.code);
    EXPECT_EQ(Z, -7);  // outputs only on success
    OwnedVolume v(4, 16, 16, V3D_UC, V3D_ONE_CHANNEL);
    fillRandom(v.v, 3);
    OwnedVolume copy(4, 16, 16, V3D_UC, V3D_ONE_CHANNEL);
    fillRandom(copy.v, 3);
    EXPECT_EQ(ReadTiffStack(&v.v, file.c_str()), c.code);
    EXPECT_TRUE(sameAsBox(v.v, voiOf(v.v), copy.v));
  }
  fs::remove_all(dir);
}

TEST(TiffStack, PlainStripsReadTheSameIntoFramesOfAnyWidth) {
  // Into a volume as wide as the pages the strips go straight into the frames; into a wider
  // one they go through libtiff's strip reader. Both must give the same samples.
  for (int type : {V3D_UC, V3D_F, V3D_I}) {
    OwnedVolume src(3, 40, 21, type, V3D_ONE_CHANNEL);
    fillRandom(src.v, 21u + type);
    const std::string dir = scratchDir("plain");
    const std::string file = dir + "/p.tif";
    ASSERT_EQ(WriteTiffStack(&src.v, file.c_str(), V3D_TIFF_NONE), 0);
    OwnedVolume exact(3, 40, 21, type, V3D_ONE_CHANNEL), wide(4, 41, 24, type, V3D_ONE_CHANNEL);
    ASSERT_EQ(ReadTiffStack(&exact.v, file.c_str()), 0);
    ASSERT_EQ(ReadTiffStack(&wide.v, file.c_str()), 0);
    EXPECT_TRUE(sameAsBox(src.v, voiOf(src.v), exact.v));
    Box corner{0, 3, 0, 40, 0, 21};
    EXPECT_TRUE(sameAsBox(wide.v, corner, src.v));
    fs::remove_all(dir);
  }
}

TEST(TiffStack, SixteenBitAndSignedPagesReadAsIntegers) {
  const std::string dir = scratchDir("u16");
  const std::string file = dir + "/u16.tif";
  writePages(file, {{5, 4, 16, 1, 1}, {5, 4, 16, 1, 1}});
  int Z, Y, X, type, colour;
  ASSERT_EQ(CheckTiffStack(file.c_str(), &Z, &Y, &X, &type, &colour), 0);
  EXPECT_EQ(type, V3D_I);
  OwnedVolume v(Z, Y, X, V3D_I, V3D_ONE_CHANNEL);
  ASSERT_EQ(ReadTiffStack(&v.v, file.c_str()), 0);
  // The pattern byte k is k * 7; sample (x, y) of 16 bits is bytes 2i, 2i + 1, little-endian
  // in memory after libtiff's byte order handling, i = y * 5 + x within each strip of 3 rows.
  for (int y = 0; y < Y; ++y)
    for (int x = 0; x < X; ++x) {
      const int i = (y % 3) * 5 + x;
      const int want =
          static_cast<std::uint8_t>(2 * i * 7) | static_cast<std::uint8_t>((2 * i + 1) * 7) << 8;
      EXPECT_EQ(channelData<I32>(v.v, 0)[1][y][x], want) << x << "," << y;
    }
  // The wrong volume type is refused.
  OwnedVolume f(Z, Y, X, V3D_F, V3D_ONE_CHANNEL);
  EXPECT_EQ(ReadTiffStack(&f.v, file.c_str()), kWrongDataType);
  OwnedVolume small(Z, Y, X - 1, V3D_I, V3D_ONE_CHANNEL);
  EXPECT_EQ(ReadTiffStack(&small.v, file.c_str()), kInvalidInputDimensions);
  fs::remove_all(dir);
}

TEST(TiffStack, TruncatedOrGarbledFilesGiveAClearError) {
  OwnedVolume src(4, 32, 32, V3D_UC, V3D_ONE_CHANNEL);
  fillRandom(src.v, 11);
  const std::string dir = scratchDir("damage");
  const std::string file = dir + "/s.tif";
  ASSERT_EQ(WriteTiffStack(&src.v, file.c_str(), V3D_TIFF_LZW), 0);
  const std::vector<std::uint8_t> bytes = bytesOf(file);
  tiffstack::StackInfo info;
  ASSERT_EQ(tiffstack::checkMemory(bytes.data(), bytes.size(), info), 0);
  // Cut anywhere after the first page: the chain of pages is broken.
  for (std::size_t cut : {bytes.size() - 1, bytes.size() * 3 / 4, bytes.size() / 2}) {
    EXPECT_NE(tiffstack::checkMemory(bytes.data(), cut, info), 0) << cut;
  }
  // Garbled strip data behind good directories: the check passes, the read does not. The
  // first page's strips lie between the header and its directory.
  std::vector<std::uint8_t> garbled = bytes;
  const std::size_t firstDirectory =
      bytes[4] | bytes[5] << 8 | bytes[6] << 16 | static_cast<std::size_t>(bytes[7]) << 24;
  ASSERT_LT(firstDirectory, garbled.size());
  for (std::size_t k = 8; k < firstDirectory; ++k) garbled[k] = 0xFF;
  ASSERT_EQ(tiffstack::checkMemory(garbled.data(), garbled.size(), info), 0);
  OwnedVolume v(4, 32, 32, V3D_UC, V3D_ONE_CHANNEL);
  EXPECT_EQ(tiffstack::readMemory(garbled.data(), garbled.size(), &v.v), kTiffDamagedPage);
  fs::remove_all(dir);
}

TEST(TiffStack, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  OwnedVolume src(16, 64, 64, V3D_UC, V3D_ONE_CHANNEL);
  fillRandom(src.v, 5);
  const std::string dir = scratchDir("fail");
  // A missing folder.
  EXPECT_EQ(WriteTiffStack(&src.v, (dir + "/missing/s.tif").c_str(), V3D_TIFF_NONE),
            kCannotWriteFile);
  EXPECT_TRUE(listDir(dir).empty());
  // A full disk, as a file size limit below the stack's size.
  const std::string file = dir + "/s.tif";
  { std::ofstream(file) << "the old contents"; }
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 20000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const int code = WriteTiffStack(&src.v, file.c_str(), V3D_TIFF_NONE);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldSignal);
  EXPECT_EQ(code, kCannotWriteFile);
  std::ifstream in(file);
  std::string contents((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(contents, "the old contents");
  EXPECT_EQ(listDir(dir), std::vector<std::string>{"s.tif"});
  // Bad arguments are refused before anything is made.
  EXPECT_EQ(WriteTiffStack(&src.v, file.c_str(), 7), kInvalidParameters);
  fs::remove_all(dir);
}

TEST(TiffStack, SequenceWritesOneFilePerVoiFrame) {
  OwnedVolume src(6, 9, 8, V3D_F, V3D_THREE_CHANNELS);
  fillRandom(src.v, 9);
  fill_in_VOI(&src.v, 2, 5, 1, 8, 2, 7);
  const std::string dir = scratchDir("seq");
  ASSERT_EQ(WriteTiffSequence(&src.v, (dir + "/f").c_str(), 3, V3D_TIFF_DEFLATE), 0);
  EXPECT_EQ(listDir(dir), (std::vector<std::string>{"f000.tif", "f001.tif", "f002.tif"}));
  for (int k = 0; k < 3; ++k) {
    const std::string name = dir + "/f00" + std::to_string(k) + ".tif";
    OwnedVolume back(1, 7, 5, V3D_F, V3D_THREE_CHANNELS);
    ASSERT_EQ(ReadTiffStack(&back.v, name.c_str()), 0);
    Box b = voiOf(src.v);
    b.z0 += k;
    b.z1 = b.z0 + 1;
    EXPECT_TRUE(sameAsBox(src.v, b, back.v)) << k;
  }
  fs::remove_all(dir);
}

TEST(TiffStack, EverySeedOfTheFuzzCorpusReads) {
  int seeds = 0;
  for (const auto& e :
       fs::directory_iterator(std::string(V3D_SOURCE_DIR) + "/fuzz/corpus/tiff_stack")) {
    const std::string name = e.path().string();
    // Inputs the fuzzer found are kept as regression cases, not as valid stacks.
    if (e.path().filename().string().starts_with("regression_")) continue;
    int Z, Y, X, type, colour;
    ASSERT_EQ(CheckTiffStack(name.c_str(), &Z, &Y, &X, &type, &colour), 0) << name;
    OwnedVolume v(Z, Y, X, type, colour);
    EXPECT_EQ(ReadTiffStack(&v.v, name.c_str()), 0) << name;
    ++seeds;
  }
  EXPECT_GE(seeds, 10);
}

// ---- Against tifffile -----------------------------------------------------------------

const char* kPython = "/usr/bin/python3";

bool haveTifffile() {
  const std::string cmd = std::string(kPython) + " -c 'import tifffile, numpy' 2>/dev/null";
  return std::system(cmd.c_str()) == 0;
}

std::string peerScript() {
  return std::string(V3D_SOURCE_DIR) + "/tests/tiff_stack_peer.py";
}

// Reads an .expect file into a new volume.
bool readExpect(const std::string& path, OwnedVolume*& out) {
  std::ifstream f(path, std::ios::binary);
  std::string kind;
  int Z, Y, X, C;
  if (!(f >> kind >> Z >> Y >> X >> C)) return false;
  f.get();
  const int type = kind == "uc" ? V3D_UC : kind == "f" ? V3D_F : V3D_I;
  out = new OwnedVolume(Z, Y, X, type, C == 3 ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL);
  withSampleType(type, [&](auto tag) {
    using T = typename decltype(tag)::type;
    for (int c = 0; c < C; ++c)
      for (int z = 0; z < Z; ++z)
        for (int y = 0; y < Y; ++y)
          f.read(reinterpret_cast<char*>(channelData<T>(out->v, c)[z][y]),
                 static_cast<std::streamsize>(sizeof(T) * X));
  });
  return static_cast<bool>(f);
}

TEST(TiffStackPeer, StacksWrittenByTifffileReadWithTheRightSamples) {
  if (!haveTifffile()) GTEST_SKIP() << "python3-tifffile is not installed";
  const std::string dir = scratchDir("peer_in");
  ASSERT_EQ(std::system((std::string(kPython) + " " + peerScript() + " make " + dir).c_str()), 0);
  int files = 0;
  for (const std::string& name : listDir(dir)) {
    if (!name.ends_with(".tif")) continue;
    ++files;
    const std::string tif = dir + "/" + name;
    OwnedVolume* want = nullptr;
    ASSERT_TRUE(readExpect(tif.substr(0, tif.size() - 4) + ".expect", want)) << name;
    std::unique_ptr<OwnedVolume> owned(want);
    int Z, Y, X, type, colour;
    ASSERT_EQ(CheckTiffStack(tif.c_str(), &Z, &Y, &X, &type, &colour), 0) << name;
    EXPECT_EQ(Z, want->v.Z) << name;
    EXPECT_EQ(Y, want->v.Y) << name;
    EXPECT_EQ(X, want->v.X) << name;
    EXPECT_EQ(type, want->v.dataType) << name;
    EXPECT_EQ(colour, want->v.colorType) << name;
    OwnedVolume got(Z, Y, X, type, colour);
    ASSERT_EQ(ReadTiffStack(&got.v, tif.c_str()), 0) << name;
    EXPECT_TRUE(sameAsBox(want->v, voiOf(want->v), got.v)) << name;
  }
  EXPECT_GE(files, 12);
  fs::remove_all(dir);
}

void writeExpect(const Volume& v, const std::string& path) {
  std::ofstream f(path, std::ios::binary);
  const Box b = voiOf(v);
  f << (v.dataType == V3D_UC  ? "uc"
        : v.dataType == V3D_F ? "f"
                              : "i")
    << ' ' << b.depth() << ' ' << b.height() << ' ' << b.width() << ' ' << channelCount(v) << '\n';
  withSampleType(v.dataType, [&](auto tag) {
    using T = typename decltype(tag)::type;
    for (int c = 0; c < channelCount(v); ++c)
      for (int z = b.z0; z < b.z1; ++z)
        for (int y = b.y0; y < b.y1; ++y)
          f.write(reinterpret_cast<const char*>(channelData<T>(v, c)[z][y] + b.x0),
                  static_cast<std::streamsize>(sizeof(T) * b.width()));
  });
}

TEST(TiffStackPeer, StacksWeWriteReadBackIdenticallyInTifffile) {
  if (!haveTifffile()) GTEST_SKIP() << "python3-tifffile is not installed";
  const std::string dir = scratchDir("peer_out");
  std::string args;
  int n = 0;
  for (int type : {V3D_UC, V3D_F, V3D_I})
    for (int colour : {V3D_ONE_CHANNEL, V3D_THREE_CHANNELS})
      for (int compression : {V3D_TIFF_NONE, V3D_TIFF_LZW, V3D_TIFF_DEFLATE}) {
        OwnedVolume v(5, 12, 10, type, colour);
        fillRandom(v.v, 100u + n);
        fill_in_VOI(&v.v, 1, 5, 0, 11, 2, 10);
        const std::string base = dir + "/s" + std::to_string(n++);
        ASSERT_EQ(WriteTiffStack(&v.v, (base + ".tif").c_str(), compression), 0);
        writeExpect(v.v, base + ".expect");
        args += " " + base + ".tif " + base + ".expect";
      }
  EXPECT_EQ(std::system((std::string(kPython) + " " + peerScript() + " verify" + args).c_str()), 0);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace v3d::test
