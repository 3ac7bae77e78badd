// Parameter files: layout, and every way a file can be wrong.
#include <cstdio>
#include <fstream>

#include "fixtures.h"
#include "shell/parameter_files.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

class ParameterFileTest : public ::testing::Test {
 protected:
  std::string write(const std::string& content) {
    const std::string name = tempPath("WIN.PAR");
    std::ofstream(name, std::ios::binary) << content;
    return name;
  }
  void TearDown() override { std::remove(tempPath("WIN.PAR").c_str()); }
};

TEST_F(ParameterFileTest, ReadsSizesThenOneValuePerWindowPosition) {
  ParameterFile p;
  ASSERT_EQ(readParameterFile(write("3\n1\r\n1\n1\n2\n0\n"), true, kWeightsFileCodes, p), 0);
  EXPECT_EQ(p.X, 3);
  EXPECT_EQ(p.Y, 1);
  EXPECT_EQ(p.Z, 1);
  EXPECT_EQ(p.values, (std::vector<float>{1, 2, 0}));
  ASSERT_EQ(readParameterFile(write("1\n1\n3\n0.25\n-1.5\n2e-1"), false, kCoefficientsFileCodes, p),
            0)
      << "the last line may lack its line end";
  EXPECT_EQ(p.values, (std::vector<float>{0.25f, -1.5f, 0.2f}));
}

TEST_F(ParameterFileTest, EveryFaultHasItsCode) {
  ParameterFile p;
  p.X = 7;
  EXPECT_EQ(readParameterFile(tempPath("missing.PAR"), true, kWeightsFileCodes, p),
            kTextWeightsFileMissing);
  EXPECT_EQ(readParameterFile(tempPath("missing.PAR"), false, kCoefficientsFileCodes, p),
            kTextCoefficientsFileMissing);
  EXPECT_EQ(readParameterFile(write("3\n1\n"), true, kWeightsFileCodes, p),
            kTextWeightsFileUnreadable)
      << "no Z line";
  EXPECT_EQ(readParameterFile(write("3\n1\n1\n1\n2\n"), true, kWeightsFileCodes, p),
            kTextWeightsFileUnreadable)
      << "too few values";
  EXPECT_EQ(readParameterFile(write("3\n1\n1\n1\nx\n1\n"), true, kWeightsFileCodes, p),
            kTextWeightsFileUnreadable);
  EXPECT_EQ(readParameterFile(write("1\n1\n1\n256\n"), true, kWeightsFileCodes, p),
            kTextWeightsFileUnreadable)
      << "a weight must fit a UC sample";
  EXPECT_EQ(readParameterFile(write("1\n1\n1\n1.5\n"), true, kWeightsFileCodes, p),
            kTextWeightsFileUnreadable);
  EXPECT_EQ(readParameterFile(write("3\nabc\n1\n"), false, kCoefficientsFileCodes, p),
            kTextCoefficientsFileUnreadable);
  for (const char* sizes :
       {"2\n1\n1\n", "0\n1\n1\n", "1\n-3\n1\n", "1\n1\n257\n", "99999999999\n1\n1\n"}) {
    const int code = readParameterFile(write(sizes), true, kWeightsFileCodes, p);
    EXPECT_TRUE(code == -kInvalidWindowSize || code == kTextWeightsFileUnreadable) << sizes;
  }
  EXPECT_EQ(readParameterFile(write("2\n1\n1\n"), true, kWeightsFileCodes, p), -kInvalidWindowSize);
  EXPECT_EQ(readParameterFile(write("1\n1\n1025\n"), false, kCoefficientsFileCodes, p),
            -kInvalidWindowSize);
  EXPECT_EQ(p.X, 7) << "a failed read leaves the previous result alone";
}

}  // namespace
}  // namespace v3d::test
