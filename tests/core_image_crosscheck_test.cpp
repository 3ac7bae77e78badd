// Cross-checks with independent decoders and encoders: files made by Pillow and ImageMagick
// decode to the pixels Pillow decodes from them, and files of our TIFF writer decode in
// Pillow to what we wrote. Skipped when Debian's /usr/bin/python3 or Pillow is missing.
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/image_sequence.h"
#include "image_test_support.h"

namespace v3d::test {
namespace {

constexpr const char* kPython = "/usr/bin/python3";
const std::string kScript = std::string(V3D_SOURCE_DIR) + "/tests/image_crosscheck.py";

// Runs the script; 77 means Pillow is missing.
int runScript(const std::string& mode, const std::string& dir) {
  const std::string command = std::string(kPython) + " " + kScript + " " + mode + " " + dir;
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CrossCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fileExists(kPython)) GTEST_SKIP() << kPython << " is not installed";
    dir_ = tempPath("dir");
    mkdir(dir_.c_str(), 0755);
  }
  void TearDown() override {
    if (!dir_.empty()) std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string dir_;
};

TEST_F(CrossCheck, FilesOfPillowAndImageMagickDecodeAsPillowDecodesThem) {
  const int status = runScript("make", dir_);
  if (status == 77) GTEST_SKIP() << "Pillow is not installed";
  ASSERT_EQ(status, 0);
  std::ifstream manifest(dir_ + "/manifest.txt");
  std::string line;
  int files = 0;
  while (std::getline(manifest, line)) {
    std::istringstream in(line);
    std::string name;
    int rows = 0, columns = 0, colour = 0, tolerance = 0;
    if (!(in >> name >> rows >> columns >> colour >> tolerance)) continue;
    ++files;
    const Bytes file = readFile(dir_ + "/" + name);
    const Bytes want = readFile(dir_ + "/" + name + ".raw");
    const std::string ext = name.substr(name.rfind('.') + 1);
    image::DecodedImage out;
    const ImageSize limit{512, 512};
    int code = -1;
    if (ext == "bmp") code = image::decodeBMP(file.data(), file.size(), limit, out);
    if (ext == "tga") code = image::decodeTGA(file.data(), file.size(), limit, out);
    if (ext == "gif") code = image::decodeGIF(file.data(), file.size(), limit, out);
    if (ext == "jpg") code = image::decodeJPEGMemory(file.data(), file.size(), limit, out);
    if (ext == "tif") code = image::decodeTIFFMemory(file.data(), file.size(), limit, out);
    ASSERT_EQ(code, 0) << name;
    ASSERT_EQ(out.rows(), rows) << name;
    ASSERT_EQ(out.columns(), columns) << name;
    // BMP and GIF frames are always colour; Pillow's grey decode is the same for grey files.
    const int channels = colour ? 3 : 1;
    ASSERT_EQ(want.size(), static_cast<std::size_t>(rows) * columns * channels) << name;
    int worst = 0;
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < columns; ++x)
        for (int c = 0; c < channels; ++c) {
          const int got = out.row(out.channels() == 3 ? c : 0, y)[x];
          const int w = want[(static_cast<std::size_t>(y) * columns + x) * channels + c];
          worst = std::max(worst, std::abs(got - w));
        }
    EXPECT_LE(worst, tolerance) << name;
  }
  EXPECT_GE(files, 20);
}

TEST_F(CrossCheck, PillowReadsWhatOurTiffWriterWrote) {
  std::ofstream manifest(dir_ + "/manifest.txt");
  int n = 0;
  for (int channels : {1, 3})
    for (int compression : {1, 5, 32773})
      for (int photometric : {1, 2}) {
        if (photometric == 2 && channels == 1) continue;
        OwnedVolume v(V3D_UC, channels == 3 ? 2 : 1, 1, 45, 19);
        fillRandom(v, static_cast<unsigned>(++n));
        const std::string base = dir_ + "/w" + std::to_string(n) + "_";
        ASSERT_EQ(local_WriteImageSeqTIFF(v, base.c_str(), 0, "tif", compression, photometric), 0);
        Bytes raw;
        for (int y = 0; y < 45; ++y)
          for (int x = 0; x < 19; ++x) {
            if (photometric == 2) {
              for (int c = 0; c < 3; ++c) raw.push_back(at<UC>(v, c, 0, y, x));
            } else if (channels == 1) {
              raw.push_back(at<UC>(v, 0, 0, y, x));
            } else {
              raw.push_back(static_cast<std::uint8_t>((299 * at<UC>(v, 0, 0, y, x) +
                                                       587 * at<UC>(v, 1, 0, y, x) +
                                                       114 * at<UC>(v, 2, 0, y, x)) /
                                                      1000));
            }
          }
        const std::string leaf = base.substr(dir_.size() + 1) + "0.tif";
        writeBytes(dir_ + "/" + leaf + ".raw", raw);
        manifest << leaf << " 45 19 " << (photometric == 2 ? 1 : 0) << " 0\n";
      }
  manifest.close();
  const int status = runScript("verify", dir_);
  if (status == 77) GTEST_SKIP() << "Pillow is not installed";
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace v3d::test
