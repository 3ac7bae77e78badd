// Chains, line and surface scripts, stitching and the line reader of the surface module, on
// hand-made frames whose contours are worked out by hand from the tracing rules.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "shadeview/scripts/chain_files.h"
#include "shadeview/scripts/scripts.h"
#include "shadeview_fixtures.h"

namespace v3d::test {
namespace {

using shade::Chain;
using shade::ColourTable;
using shade::Rgb;

constexpr Rgb kRed{200, 10, 10}, kGreen{10, 200, 10}, kBlue{10, 10, 200};

std::vector<Chain> chainsOf(const std::string& prefix, int z) {
  std::unique_ptr<std::FILE, shade::FileCloser> f(
      std::fopen(shade::TemporaryFileName(prefix, z).c_str(), "rb"));
  std::vector<Chain> out;
  EXPECT_TRUE(f) << "chain file of frame " << z;
  if (f) {
    EXPECT_EQ(shade::readChains(f.get(), out), 0);
  }
  return out;
}

std::vector<int> stepsOf(const Chain& c) {
  return {c.steps.begin(), c.steps.end()};
}

class Scripts : public ::testing::Test {
 protected:
  PrivateTmp tmp;
  std::string prefix = tmp.path() + "/~chn";
  std::string stitches = tmp.path() + "/~tri";
  std::string script = tmp.path() + "/out.scr";
};

// ---- Chains ------------------------------------------------------------------------------

TEST_F(Scripts, ChainFileOfASquareHoldsItsThinnedBoundaryByteForByte) {
  auto v = make_colour(1, 8, 8);
  paint(v, 0, 2, 5, 2, 5, {10, 20, 30});
  const auto before = snapshot(v);
  ColourTable colours;
  ASSERT_EQ(shade::BuildChains(CheckVolume, v, prefix.c_str(), 4, &colours), 1);
  EXPECT_EQ(colours, (ColourTable{{10, 20, 30}}));
  EXPECT_EQ(snapshot(v), before) << "the volume is only read";
  // Boundary codes E E S S W W N N thin to four steps of two pixels; the vertices after each
  // step are (4,2) (4,4) (2,4) (2,2): centre (3,3), every vertex sqrt(2) from it.
  const std::vector<unsigned char> expected = {
      4, 0, 0, 0, 3,  0, 0, 0, 3,  0, 0, 0, 1,  0, 0, 0, 2, 0, 0, 0, 2,    0, 0, 0,
      0, 0, 0, 0, 10, 0, 0, 0, 20, 0, 0, 0, 30, 0, 0, 0, 2, 0, 0, 2, 0xFE, 0, 0, 0xFE};
  auto bytes = readFile(shade::TemporaryFileName(prefix, 0));
  ASSERT_EQ(bytes.size(), expected.size() + 40);
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.begin() + expected.size()), expected);
  EXPECT_EQ(std::vector<unsigned char>(bytes.begin() + expected.size(), bytes.end()),
            std::vector<unsigned char>(40, 0))
      << "the terminating record";
}

TEST_F(Scripts, ThinningEmitsAStepWheneverTheSummedOffsetsReachMinStep) {
  auto v = make_colour(1, 8, 8);
  paint(v, 0, 2, 5, 2, 5, kRed);
  const struct {
    int minStep;
    std::vector<int> steps;  // empty: no contour
  } cases[] = {
      {0, {1, 0, 1, 0, 0, 1, 0, 1, -1, 0, -1, 0, 0, -1, 0, -1}},
      {1, {1, 0, 1, 0, 0, 1, 0, 1, -1, 0, -1, 0, 0, -1, 0, -1}},
      {4, {2, 0, 0, 2, -2, 0, 0, -2}},
      {5, {2, 1, -2, 1}},  // the remainder (0,-2) is dropped
      {8, {2, 2, -2, -2}},
      {9, {}},  // the sum never reaches 9: fewer than 2 steps
  };
  for (const auto& c : cases) {
    ColourTable colours;
    const int n = shade::BuildChains(CheckVolume, v, prefix.c_str(), c.minStep, &colours);
    SCOPED_TRACE(c.minStep);
    if (c.steps.empty()) {
      EXPECT_EQ(n, 0);
      EXPECT_TRUE(chainsOf(prefix, 0).empty());
      continue;
    }
    ASSERT_EQ(n, 1);
    const auto chains = chainsOf(prefix, 0);
    ASSERT_EQ(chains.size(), 1u);
    EXPECT_EQ(stepsOf(chains[0]), c.steps);
    EXPECT_EQ(chains[0].startX, 2);
    EXPECT_EQ(chains[0].startY, 2);
  }
}

TEST_F(Scripts, TracingFindsRegionsOnlyThroughABlackLeftNeighbour) {
  auto v = make_colour(4, 10, 10);
  paint(v, 0, 4, 5, 4, 5, kRed);    // frame 0: one isolated pixel
  paint(v, 1, 2, 6, 0, 3, kRed);    // frame 1: touches the left edge on every row
  paint(v, 2, 1, 4, 1, 4, kGreen);  // frame 2: two regions of one colour ...
  paint(v, 2, 6, 9, 5, 9, kGreen);
  paint(v, 2, 6, 9, 1, 3, kBlue);  // ... and one of another
  paint(v, 3, 2, 6, 1, 4, kBlue);  // frame 3: inside a VOI that starts at column 1
  fill_in_VOI(v, 0, 4, 0, 10, 0, 10);
  ColourTable colours;
  ASSERT_EQ(shade::BuildChains(CheckVolume, v, prefix.c_str(), 1, &colours), 2);
  EXPECT_EQ(colours, (ColourTable{kGreen, kBlue})) << "no entry for the lone pixel's colour";
  EXPECT_TRUE(chainsOf(prefix, 0).empty());
  EXPECT_TRUE(chainsOf(prefix, 1).empty());
  const auto f2 = chainsOf(prefix, 2);
  ASSERT_EQ(f2.size(), 3u);
  EXPECT_EQ(f2[0].object, 0);
  EXPECT_EQ(f2[1].object, 1) << "raster order: the blue region starts on row 6, column 1";
  EXPECT_EQ(f2[2].object, 0) << "the second green region shares the first one's object";
  EXPECT_EQ(f2[2].colour, kGreen);
  EXPECT_EQ(chainsOf(prefix, 3).size(), 1u) << "column 0 is black, so column 1 starts a trace";

  // With the VOI starting at column 1, the frame-3 region touches its left edge on every row.
  fill_in_VOI(v, 3, 4, 0, 10, 1, 10);
  const std::string second = tmp.path() + "/second";
  ASSERT_EQ(shade::BuildChains(CheckVolume, v, second.c_str(), 1, &colours), 0);
  EXPECT_TRUE(chainsOf(second, 3).empty());
  EXPECT_FALSE(fileExists(shade::TemporaryFileName(second, 2))) << "only VOI frames get files";
}

// Every argument check runs before a file is made or a sample is written.
TEST_F(Scripts, ArgumentChecksComeFirst) {
  auto v = make_colour(1, 4, 4);
  auto grey = make_volume(1, 4, 4);
  const auto before = samples(v);
  ColourTable colours{kRed};
  shade::ConnectionTable t(2);
  const char* c = prefix.c_str();
  const char* s = stitches.c_str();
  const char* in = script.c_str();
  const struct {
    int got, expected;
  } cases[] = {
      {shade::BuildChains(CheckVolume, grey, c, 4, &colours), kWrongColorType},
      {shade::BuildChains(CheckVolume, v, nullptr, 4, &colours), kNullBasicTypePointer},
      {shade::BuildChains(CheckVolume, v, c, 4, nullptr), kNullBasicTypePointer},
      {shade::BuildChains(CheckVolume, v, c, -1, &colours), kInvalidParameters},
      // A larger minStep would let a step outgrow the chain file's signed bytes.
      {shade::BuildChains(CheckVolume, v, c, shade::kMaxChainStep + 1, &colours),
       kInvalidParameters},
      {shade::StitchContours(nullptr, s, 0, 2, 2, &t), kNullBasicTypePointer},
      {shade::StitchContours(c, s, 0, 2, 2, nullptr), kNullBasicTypePointer},
      {shade::StitchContours(c, s, -1, 2, 2, &t), kInvalidParameters},
      {shade::StitchContours(c, s, 2, 2, 2, &t), kInvalidParameters},
      {shade::StitchContours(c, s, 0, 2, 0, &t), kInvalidParameters},
      {shade::StitchContours(c, s, 0, 2, 3, &t), kInvalidParameters},  // table too short
      {shade::StitchContours(c, s, 0, 2, 2, &t, 0.0, 1.05), kInvalidParameters},
      {shade::StitchContours(c, s, 0, 2, 2, &t, 0.05, 1.0), kInvalidParameters},
      {shade::ReadLinesScript(CheckVolume, grey, in, 1), kWrongColorType},
      {shade::ReadLinesScript(CheckVolume, v, nullptr, 1), kNullBasicTypePointer},
      {shade::ReadLinesScript(CheckVolume, v, in, 0), kInvalidParameters},
  };
  for (size_t k = 0; k < std::size(cases); ++k) EXPECT_EQ(cases[k].got, cases[k].expected) << k;
  EXPECT_TRUE(tmp.empty());
  EXPECT_EQ(samples(v), before);
  EXPECT_EQ(colours, ColourTable{kRed});
  // Then the files: a missing folder, missing chain files, a missing script.
  const std::string nowhere = tmp.path() + "/missing/~chn";
  EXPECT_EQ(shade::BuildChains(CheckVolume, v, nowhere.c_str(), 4, &colours), kFopenError);
  EXPECT_TRUE(colours.empty());
  EXPECT_EQ(shade::StitchContours(c, s, 0, 2, 2, &t), kFopenError);
  EXPECT_EQ(shade::ReadLinesScript(CheckVolume, v, in, 1), kFopenError);
}

TEST_F(Scripts, LargestMinStepKeepsEveryStepInASignedByte) {
  auto v = make_colour(1, 300, 300);
  paint(v, 0, 2, 298, 2, 298, kRed);
  ColourTable colours;
  ASSERT_EQ(shade::BuildChains(CheckVolume, v, prefix.c_str(), shade::kMaxChainStep, &colours), 1);
  const auto chains = chainsOf(prefix, 0);
  ASSERT_EQ(chains.size(), 1u);
  // Every step is as long as minStep asks and no longer than a byte holds, and every vertex
  // lies on the square's boundary.
  const Chain& c = chains[0];
  int x = c.startX, y = c.startY;
  for (int k = 0; k < c.n(); ++k) {
    const int dx = c.steps[2 * k], dy = c.steps[2 * k + 1];
    EXPECT_GE(dx * dx + dy * dy, shade::kMaxChainStep);
    EXPECT_LE(std::max(std::abs(dx), std::abs(dy)), 127);
    x += dx;
    y += dy;
    EXPECT_TRUE(x == 2 || x == 297 || y == 2 || y == 297) << x << "," << y;
  }
  EXPECT_EQ(c.n(), 8);
}

// ---- Line scripts ------------------------------------------------------------------------

TEST_F(Scripts, LineScriptTextByteForByte) {
  auto v = make_colour(3, 8, 8);
  paint(v, 1, 2, 5, 2, 5, kRed);
  fill_in_VOI(v, 1, 2, 0, 8, 0, 8);
  ASSERT_EQ(shade::BuildLinesScript(CheckVolume, v, script.c_str(), 2.5f), 0);
  const std::string expected =
      "Layer\nNew\n1\nColor\n1\n1\n\n"
      "Layer\nNew\n2\nColor\n2\n2\n\n"
      "Layer\nSet\n1\n\n"
      "LINE 2.0,2.0,2.5\n4.0,2.0,2.5\n\n\n"
      "LINE 4.0,2.0,2.5\n4.0,4.0,2.5\n\n\n"
      "LINE 4.0,4.0,2.5\n2.0,4.0,2.5\n\n\n"
      "LINE 2.0,4.0,2.5\n2.0,2.0,2.5\n\n\n"
      "LINE 2.0,2.0,2.5\n2.0,2.0,2.5\n\n\n";
  EXPECT_EQ(readText(script), expected);
  EXPECT_TRUE(std::filesystem::is_empty(tmp.path()) ||
              std::filesystem::directory_iterator(tmp.path())->path() == script)
      << "the scratch folder and its chain files are gone";
}

TEST_F(Scripts, LinesScriptOfAVolumeWithoutRegionsDeclaresOneLayerAndNoLines) {
  auto v = make_colour(2, 6, 6);
  ASSERT_EQ(shade::BuildLinesScript(CheckVolume, v, script.c_str(), 1.0f), 0);
  EXPECT_EQ(readText(script), "Layer\nNew\n1\nColor\n1\n1\n\n");
}

TEST_F(Scripts, WriteLinesScriptStopsAtTheFirstMissingChainFile) {
  auto v = make_colour(3, 8, 8);
  for (int z = 0; z < 3; ++z) paint(v, z, 2, 5, 2, 5, kRed);
  ColourTable colours;
  ASSERT_EQ(shade::BuildChains(CheckVolume, v, prefix.c_str(), 4, &colours), 1);
  std::remove(shade::TemporaryFileName(prefix, 1).c_str());
  ASSERT_EQ(shade::WriteLinesScript(script.c_str(), prefix.c_str(), 1.0f, 0, 3, 2), 0);
  const std::string text = readText(script);
  EXPECT_NE(text.find(",0.0\n"), std::string::npos);
  EXPECT_EQ(text.find(",2.0\n"), std::string::npos) << "frame 2 comes after the gap";
  EXPECT_EQ(
      shade::WriteLinesScript((tmp.path() + "/no/dir.scr").c_str(), prefix.c_str(), 1.0f, 0, 3, 2),
      kFopenError);
  // A chain file cut short is a read failure, not a crash.
  auto bytes = readFile(shade::TemporaryFileName(prefix, 0));
  {
    std::unique_ptr<std::FILE, shade::FileCloser> f(
        std::fopen(shade::TemporaryFileName(prefix, 0).c_str(), "wb"));
    std::fwrite(bytes.data(), 1, 44, f.get());
  }
  EXPECT_EQ(shade::WriteLinesScript(script.c_str(), prefix.c_str(), 1.0f, 0, 3, 2), kFreadError);
}

TEST_F(Scripts, TemporaryFilesAreNamedWithTwoDigitsAndRemovedUpToTheFirstGap) {
  EXPECT_EQ(shade::TemporaryFileName("~chn", 7), "~chn.07");
  EXPECT_EQ(shade::TemporaryFileName("~tri", 123), "~tri.123");
  for (int z : {3, 4, 5, 7, 8})
    std::fclose(std::fopen(shade::TemporaryFileName(prefix, z).c_str(), "w"));
  shade::DeleteTemporaryFiles(prefix.c_str(), 3, 8);
  for (int z : {3, 4, 5}) EXPECT_FALSE(fileExists(shade::TemporaryFileName(prefix, z)));
  for (int z : {7, 8}) EXPECT_TRUE(fileExists(shade::TemporaryFileName(prefix, z)));
  shade::DeleteTemporaryFiles(prefix.c_str(), 7, 7);
  EXPECT_FALSE(fileExists(shade::TemporaryFileName(prefix, 7)));
  EXPECT_TRUE(fileExists(shade::TemporaryFileName(prefix, 8))) << "z1 bounds the walk";

  std::string a, b;
  {
    shade::ScratchFolder one, two;
    ASSERT_TRUE(one.valid() && two.valid());
    EXPECT_NE(one.path(), two.path()) << "two runs never share their files";
    a = one.path();
    b = two.path();
    std::fclose(std::fopen((one.prefix("~chn") + ".00").c_str(), "w"));
  }
  EXPECT_FALSE(std::filesystem::exists(a));
  EXPECT_FALSE(std::filesystem::exists(b));
}

// ---- Stitching and surface scripts -------------------------------------------------------

// Writes hand-made chain files: one frame per entry, each a list of contours.
void writeChains(const std::string& prefix, const std::vector<std::vector<Chain>>& frames) {
  for (size_t z = 0; z < frames.size(); ++z) {
    std::unique_ptr<std::FILE, shade::FileCloser> f(
        std::fopen(shade::TemporaryFileName(prefix, int(z)).c_str(), "wb"));
    for (const Chain& c : frames[z]) ASSERT_TRUE(shade::writeChain(f.get(), c));
    ASSERT_TRUE(shade::writeChainEnd(f.get()));
  }
}

std::vector<shade::Stitch> stitchesOf(const std::string& prefix, int z) {
  std::unique_ptr<std::FILE, shade::FileCloser> f(
      std::fopen(shade::TemporaryFileName(prefix, z).c_str(), "rb"));
  std::vector<shade::Stitch> out;
  if (!f) return out;
  for (;;) {
    shade::Stitch s;
    const int r = shade::readStitch(f.get(), s);
    EXPECT_GE(r, 0);
    if (r <= 0) return out;
    out.push_back(s);
  }
}

// A square ring of side 2 * half around (cx, cy), four vertices from its top-left corner.
Chain square(int object, int cx, int cy, int half) {
  Chain c;
  c.object = object;
  c.colour = {object, object, object};
  c.centreX = cx;
  c.centreY = cy;
  c.startX = cx - half;
  c.startY = cy - half;
  const int s = 2 * half;
  c.steps = {int8_t(s), 0, 0, int8_t(s), int8_t(-s), 0, 0, int8_t(-s)};
  return c;
}

// A ring of 8 vertices around the same kind of square, steps of `half`.
Chain octo(int object, int cx, int cy, int half) {
  Chain c = square(object, cx, cy, half);
  const auto h = int8_t(half), m = int8_t(-half);
  c.steps = {h, 0, h, 0, 0, h, 0, h, m, 0, m, 0, 0, m, 0, m};
  return c;
}

TEST_F(Scripts, SurfaceScriptOfTwoEqualSquaresIsAClosedBandOfEightFaces) {
  writeChains(prefix, {{square(0, 3, 3, 1)}, {square(0, 3, 3, 1)}});
  shade::ConnectionTable none(1);
  ASSERT_EQ(shade::StitchContours(prefix.c_str(), stitches.c_str(), 0, 2, 1, &none), 0);
  const auto s = stitchesOf(stitches, 0);
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].startLower, 0);
  EXPECT_EQ(s[0].startUpper, 0);
  // Even distances and even progress advance the upper ring, then the zero-length edge makes
  // the lower ring's move infinitely better: the rings alternate.
  EXPECT_EQ(s[0].flags, (std::vector<uint8_t>{1, 0, 1, 0, 1, 0, 1, 0}));
  ASSERT_EQ(
      shade::WriteSurfaceScript(script.c_str(), prefix.c_str(), stitches.c_str(), 1.5f, 0, 2, 2),
      0);
  std::string expected =
      "Layer\nNew\n1\nColor\n1\n1\n\nLayer\nNew\n2\nColor\n2\n2\n\nLayer\nSet\n1\n\n";
  const char* faces[8][3] = {
      {"2.0,2.0,0.0", "2.0,2.0,1.5", "4.0,2.0,1.5"}, {"2.0,2.0,0.0", "4.0,2.0,1.5", "4.0,2.0,0.0"},
      {"4.0,2.0,0.0", "4.0,2.0,1.5", "4.0,4.0,1.5"}, {"4.0,2.0,0.0", "4.0,4.0,1.5", "4.0,4.0,0.0"},
      {"4.0,4.0,0.0", "4.0,4.0,1.5", "2.0,4.0,1.5"}, {"4.0,4.0,0.0", "2.0,4.0,1.5", "2.0,4.0,0.0"},
      {"2.0,4.0,0.0", "2.0,4.0,1.5", "2.0,2.0,1.5"}, {"2.0,4.0,0.0", "2.0,2.0,1.5", "2.0,2.0,0.0"}};
  for (const auto& f : faces)
    expected += std::string("3DFACE ") + f[0] + "\n" + f[1] + "\n" + f[2] + "\n\n\n";
  EXPECT_EQ(readText(script), expected);
}

TEST_F(Scripts, StitchWalksEachRingOnceFromItsBestAlignedVertices) {
  // A small square below a larger eight-vertex ring shifted right; a flat ring (zero height)
  // must not divide by zero.
  Chain flat = square(1, 10, 3, 1);
  flat.startY = 3;
  flat.steps = {2, 0, 0, 0, -2, 0};
  writeChains(prefix, {{square(0, 4, 4, 1), flat}, {octo(0, 6, 5, 3), flat}});
  shade::ConnectionTable none(2);
  ASSERT_EQ(shade::StitchContours(prefix.c_str(), stitches.c_str(), 0, 2, 2, &none), 0);
  const auto s = stitchesOf(stitches, 0);
  ASSERT_EQ(s.size(), 2u);
  for (const auto& st : s) {
    const int nA = st.lower == 0 ? 4 : 3, nB = st.upper == 0 ? 8 : 3;
    EXPECT_EQ(std::count(st.flags.begin(), st.flags.end(), 0), nA);
    EXPECT_EQ(std::count(st.flags.begin(), st.flags.end(), 1), nB);
  }
  // The square's top-left corner and the ring's top-left corner point the same way.
  EXPECT_EQ(s[0].startLower, 0);
  EXPECT_EQ(s[0].startUpper, 0);
  ASSERT_EQ(
      shade::WriteSurfaceScript(script.c_str(), prefix.c_str(), stitches.c_str(), 1.0f, 0, 2, 3),
      0);
  // Every face of a band ends where the next one starts: the band closes on itself.
  const std::string text = readText(script);
  size_t faces = 0;
  for (size_t p = text.find("3DFACE"); p != std::string::npos; p = text.find("3DFACE", p + 1))
    ++faces;
  EXPECT_EQ(faces, 4u + 8u + 3u + 3u);
}

TEST_F(Scripts, MatchingPairsEqualObjectsThenTheConnections) {
  // Frame 0: objects 0, 1 and 3; frame 1: objects 0 (twice) and 2.
  writeChains(prefix, {{square(0, 4, 4, 1), square(1, 10, 4, 1), square(3, 16, 4, 1)},
                       {square(0, 4, 4, 1), square(2, 10, 4, 1), square(0, 16, 4, 1)}});
  const auto pairs = [&](const shade::ConnectionTable& t) {
    EXPECT_EQ(shade::StitchContours(prefix.c_str(), stitches.c_str(), 0, 2, 4, &t), 0);
    std::vector<std::array<int, 3>> out;
    for (const auto& s : stitchesOf(stitches, 0)) out.push_back({s.lower, s.upper, s.object});
    return out;
  };
  using P = std::vector<std::array<int, 3>>;
  shade::ConnectionTable t(4);
  // The lower object-0 contour takes the last upper one of its object; the first upper one,
  // left over, is stitched to it afterwards in its own layer.
  EXPECT_EQ(pairs(t), (P{{0, 2, 0}, {0, 0, 0}}));
  t[1].upper = 2;  // "Connect upper chain of object 1 to object 2"
  EXPECT_EQ(pairs(t), (P{{0, 2, 0}, {1, 1, 1}, {0, 0, 0}}));
  t[1].upper = -1;
  t[2].lower = 3;  // "Connect lower chain of object 2 to object 3": the upper contour's layer
  EXPECT_EQ(pairs(t), (P{{0, 2, 0}, {0, 0, 0}, {2, 1, 2}}));
  t[2].lower = -1;
  t[3].upper = 7;  // a target no contour has
  EXPECT_EQ(pairs(t), (P{{0, 2, 0}, {0, 0, 0}}));
}

// ---- Reading line scripts ----------------------------------------------------------------

struct Seg {
  int x1, y1, x2, y2;
};

// Bresenham's error-term loop, stepping from the first end to the second; every pixel
// including those outside the frame.
std::vector<std::pair<int, int>> bresenham(Seg s) {
  std::vector<std::pair<int, int>> out;
  const int dx = std::abs(s.x2 - s.x1), dy = std::abs(s.y2 - s.y1);
  const int sx = s.x2 < s.x1 ? -1 : 1, sy = s.y2 < s.y1 ? -1 : 1;
  const bool alongX = dx >= dy;
  const int major = alongX ? dx : dy, minor = alongX ? dy : dx;
  int x = s.x1, y = s.y1, d = 2 * minor - major;
  for (int t = 0; t <= major; ++t) {
    out.push_back({x, y});
    if (d > 0) {
      (alongX ? y : x) += alongX ? sy : sx;
      d -= 2 * major;
    }
    d += 2 * minor;
    (alongX ? x : y) += alongX ? sx : sy;
  }
  return out;
}

std::string lineRecord(Seg s, float z) {
  char buf[160];
  std::snprintf(buf, sizeof buf, "LINE %-3.1f,%-3.1f,%-3.1f\n%-3.1f,%-3.1f,%-3.1f\n\n\n",
                double(s.x1), double(s.y1), double(z), double(s.x2), double(s.y2), double(z));
  return buf;
}

std::string layers(int n) {
  std::string s;
  for (int k = 1; k <= n; ++k)
    s += "Layer\nNew\n" + std::to_string(k) + "\nColor\n" + std::to_string(k) + "\n" +
         std::to_string(k) + "\n\n";
  return s;
}

std::string setLayer(int k) {
  return "Layer\nSet\n" + std::to_string(k) + "\n\n";
}

class ReadLines : public Scripts {
 protected:
  int read(Volume* v, const std::string& text, int distance = 1) {
    {
      std::unique_ptr<std::FILE, shade::FileCloser> f(std::fopen(script.c_str(), "w"));
      std::fputs(text.c_str(), f.get());
    }
    return shade::ReadLinesScript(CheckVolume, v, script.c_str(), distance);
  }
};

TEST_F(ReadLines, SegmentsAreDrawnByBresenhamInTheirLayerColourAndClippedToTheFrame) {
  std::mt19937 rng(7);
  for (int round = 0; round < 40; ++round) {
    auto v = make_colour(1, 24, 32);
    const auto r = [&](int lo, int hi) { return lo + int(rng() % unsigned(hi - lo + 1)); };
    const Seg s = round < 20 ? Seg{r(0, 31), r(0, 23), r(0, 31), r(0, 23)}
                             : Seg{r(-40, 70), r(-30, 50), r(-40, 70), r(-30, 50)};
    const int code = read(v, layers(3) + setLayer(2) + lineRecord(s, 0.0f));
    const Rgb colour = shade::LayerColour(1, 3);
    auto expected = make_colour(1, 24, 32);
    bool lost = false;
    for (auto [x, y] : bresenham(s)) {
      if (x < 0 || x >= 32 || y < 0 || y >= 24) {
        lost = true;
        continue;
      }
      paint(expected, 0, y, y + 1, x, x + 1, colour);
    }
    SCOPED_TRACE(testing::Message() << s.x1 << "," << s.y1 << " -> " << s.x2 << "," << s.y2);
    EXPECT_EQ(code, lost ? 1 : 0);
    EXPECT_EQ(samples(v), samples(expected));
  }
}

TEST_F(ReadLines, LayerColoursFollowTheLayerCountRule) {
  const struct {
    int index, layers;
    Rgb colour;
  } cases[] = {
      {0, 1, {128, 128, 128}},  // e = 0 for one layer: taken as 1
      {0, 3, {128, 128, 128}},   {1, 3, {128, 0, 128}},  {2, 3, {128, 128, 128}},
      {1, 9, {192, 128, 128}},   {3, 9, {64, 128, 192}}, {4, 9, {128, 192, 128}},
      {63, 64, {64, 64, 192}},    // 64 layers: e = 2 exactly
      {63, 65, {128, 166, 128}},  // e = 3, s = 42: green 7 * 42 + 128 = 422 -> 166
  };
  for (const auto& c : cases)
    EXPECT_EQ(shade::LayerColour(c.index, c.layers), c.colour) << c.index << " of " << c.layers;
}

TEST_F(ReadLines, HeightsSelectTheFrameAndOddSegmentsAreLeftOut) {
  auto v = make_colour(3, 8, 8);
  const std::string head = layers(2) + setLayer(1);
  // distance 2: height 4.0 is frame 2, height 2.5 frame 1.
  EXPECT_EQ(read(v, head + lineRecord({1, 1, 3, 1}, 4.0f) + lineRecord({1, 5, 3, 5}, 2.5f), 2), 0);
  const Rgb c0 = shade::LayerColour(0, 2);
  EXPECT_EQ(pixelAt(v, 2, 1, 2), c0);
  EXPECT_EQ(pixelAt(v, 1, 5, 2), c0);
  EXPECT_EQ(pixelAt(v, 0, 1, 2), (Rgb{}));

  auto w = make_colour(3, 8, 8);
  const auto before = snapshot(w);
  // Different integer parts of the two heights: not drawn, nothing lost.
  EXPECT_EQ(read(w, head + "LINE 1.0,1.0,0.5\n3.0,1.0,1.2\n\n\n"), 0);
  // Beyond the last frame, or below the first: lost.
  EXPECT_EQ(read(w, head + lineRecord({1, 1, 3, 1}, 3.0f)), 1);
  EXPECT_EQ(read(w, head + lineRecord({1, 1, 3, 1}, -1.0f)), 1);
  // A layer whose own number gives no colour (declared as 5 of 2 layers) is not drawn.
  EXPECT_EQ(read(w, "Layer\nNew\n5\nColor\n5\n5\n\nLayer\nNew\n1\nColor\n1\n1\n\n" + setLayer(1) +
                        lineRecord({1, 1, 3, 1}, 0.0f)),
            0);
  // Faces and indented lines are skipped; coordinates that are no number are lost, not UB.
  EXPECT_EQ(read(w, head + "3DFACE 1,1,0\n2,2,0\n3,3,0\n\n\n  LINE 1,1,0\nxx\n"), 0);
  EXPECT_EQ(read(w, head + "LINE nan,1.0,0.0\n3.0,inf,0.0\n"), 1);
  EXPECT_EQ(snapshot(w), before);
}

TEST_F(ReadLines, MalformedScriptsAreParsingErrorsAndDrawNothing) {
  const std::string line = lineRecord({1, 1, 3, 1}, 0.0f);
  const std::string good = layers(1) + setLayer(1) + line;  // drawn if nothing were wrong
  const std::string cases[] = {
      line,                              // no "Set" yet
      layers(1) + line,                  // still none
      layers(1) + setLayer(2) + line,    // above the layers declared so far
      layers(1) + setLayer(0) + line,    // below 1
      good + "LINE 1.0,1.0,0.0\n",       // a line without its end point
      good + "LINE 1.0,1.0,0.0\n3.0\n",  // ... or with half of one
      good + "Layer\nFreeze\n1\n",       // "Layer" followed by anything else
      good + "Layer\nSet\nabc\n",        // a missing number
      good + "Layer\nNew\n",             // the file ends inside the record
      good + "Layer",                    // ... or right after "Layer"
  };
  for (const std::string& text : cases) {
    auto v = make_colour(1, 8, 8);
    paint(v, 0, 0, 8, 0, 1, kBlue);
    const auto before = samples(v);
    EXPECT_EQ(read(v, text), kFileParsingError) << text;
    EXPECT_EQ(samples(v), before) << "nothing drawn before the error was found";
  }
}

TEST_F(ReadLines, LongLinesStayOneLine) {
  auto v = make_colour(1, 8, 8);
  // A record line padded far beyond the buffer still reads as one LINE record, and a long
  // line whose tail would read as "Layer" is skipped whole.
  const std::string text = layers(1) + setLayer(1) + "LINE 1.0,1.0,0.0" + std::string(600, ' ') +
                           "\n3.0,1.0,0.0\n\n" + std::string(300, 'a') + "Layer\nBogus\n";
  EXPECT_EQ(read(v, text), 0);
  EXPECT_EQ(pixelAt(v, 0, 1, 2), shade::LayerColour(0, 1));
}

TEST_F(ReadLines, LineScriptOfAVolumeDrawsEveryObjectInItsOwnColour) {
  auto v = make_colour(4, 32, 32);
  paint(v, 0, 4, 12, 4, 12, kRed);
  paint(v, 1, 4, 12, 4, 12, kRed);
  paint(v, 1, 16, 28, 10, 30, kGreen);
  paint(v, 3, 5, 20, 20, 26, kBlue);
  ASSERT_EQ(shade::BuildLinesScript(CheckVolume, v, script.c_str(), 3.0f), 0);
  auto back = make_colour(4, 32, 32);
  ASSERT_EQ(shade::ReadLinesScript(CheckVolume, back, script.c_str(), 3), 0);
  // Three objects, four layers: object k's outline in layer colour k from its top-left corner
  // (where its trace starts) round the region, on the outermost two rings of its pixels (the
  // thinned steps cut corners by at most one pixel), and nothing anywhere else.
  const struct {
    int z, y0, y1, x0, x1, object;
  } regions[] = {
      {0, 4, 12, 4, 12, 0}, {1, 4, 12, 4, 12, 0}, {1, 16, 28, 10, 30, 1}, {3, 5, 20, 20, 26, 2}};
  for (const auto& r : regions)
    EXPECT_EQ(pixelAt(back, r.z, r.y0, r.x0), shade::LayerColour(r.object, 4));
  int drawn = 0;
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 32; ++y)
      for (int x = 0; x < 32; ++x) {
        const Rgb p = pixelAt(back, z, y, x);
        if (p == Rgb{}) continue;
        ++drawn;
        bool onRing = false;
        for (const auto& r : regions)
          if (r.z == z && y >= r.y0 && y < r.y1 && x >= r.x0 && x < r.x1 &&
              (y < r.y0 + 2 || y >= r.y1 - 2 || x < r.x0 + 2 || x >= r.x1 - 2))
            onRing = p == shade::LayerColour(r.object, 4);
        EXPECT_TRUE(onRing) << z << ": " << x << "," << y;
      }
  EXPECT_GT(drawn, (28 + 28 + 60 + 38) * 8 / 10) << "most of the boundary pixels are drawn";
}

}  // namespace
}  // namespace v3d::test
