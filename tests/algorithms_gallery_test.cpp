// The frame gallery against a plain reference written pixel by pixel from the layout rules
// (tile size, placement, the two resamplings, separators and the inverted frame numbers),
// on random frames with VOIs inside the volume, one and three channels and outputs whose
// other samples are random so that untouched samples are checked too; then the edge cases,
// the failure codes with the output unchanged and the input unchanged by a call.
#include <cstring>
#include <string>
#include <vector>

#include "algorithms/gallery.h"
#include "algorithms/gallery_font.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

void fillFrames(Volume* v, int z0, int z1, UC value) {
  for (int z = z0; z < z1; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x) at<UC>(v, 0, z, y, x) = value;
}

struct RefLayout {
  int t = 0, h = 0, rows = 0, frames = 0;
};

RefLayout refLayout(const Box& b, int outY, int outX, int a) {
  RefLayout l;
  l.t = outX / a;
  l.h = static_cast<int>(static_cast<long long>(b.height()) * l.t / b.width());
  l.rows = l.h > 0 ? outY / l.h : 0;
  l.frames = std::min<long long>(b.depth(), static_cast<long long>(a) * l.rows);
  return l;
}

bool labelStroke(int number, int r, int c) {
  // Digit cells from the left, most significant first.
  std::string text = std::to_string(number);
  const int cell = c / gallery::kCellWidth, gc = c % gallery::kCellWidth - 1, gr = r - 1;
  if (cell >= static_cast<int>(text.size()) || gc < 0 || gr < 0 || gr >= gallery::kGlyphRows)
    return false;
  return gallery::kDigits[text[cell] - '0'][gr][gc] == '#';
}

UC refSample(Volume* in, int c, int z, const Box& b, int i, int j, const RefLayout& l, bool nn) {
  UC*** s = channelData<UC>(*in, c);
  if (nn) {
    const double sy = (b.height() - 1.0) / (l.h - 1), sx = (b.width() - 1.0) / (l.t - 1);
    const int y = static_cast<int>(b.y0 + 0.5 + i * sy), x = static_cast<int>(b.x0 + 0.5 + j * sx);
    return s[z][y][x];
  }
  const double sy = (b.height() - 1.1) / (l.h - 1), sx = (b.width() - 1.1) / (l.t - 1);
  const double py = b.y0 + i * sy, px = b.x0 + j * sx;
  const int y = static_cast<int>(py), x = static_cast<int>(px);
  const double fy = py - y, fx = px - x;
  const double v = (1 - fy) * (1 - fx) * s[z][y][x] + (1 - fy) * fx * s[z][y][x + 1] +
                   fy * (1 - fx) * s[z][y + 1][x] + fy * fx * s[z][y + 1][x + 1] + 0.5;
  return static_cast<UC>(static_cast<int>(v));
}

// Applies the gallery to `expected`, a copy of the output's samples in snapshot order.
void reference(Volume* in, Volume* out, int a, bool nn, std::vector<UC>& expected) {
  const Box b = voiOf(*in);
  const RefLayout l = refLayout(b, out->Y, out->X, a);
  const std::size_t plane = static_cast<std::size_t>(out->Z) * out->Y * out->X;
  for (int c = 0; c < channelCount(*in); ++c)
    for (int k = 0; k < l.frames; ++k) {
      const int tr = k / a, tc = k % a;
      const bool colSep = (tc + 1) * l.t < out->X;
      const bool rowSep = (tr + 1) * l.h < out->Y;
      for (int i = 0; i < l.h; ++i)
        for (int j = 0; j < l.t; ++j) {
          UC v = refSample(in, c, b.z0 + k, b, i, j, l, nn);
          const bool sep = (j == l.t - 1 && colSep) || (i == l.h - 1 && rowSep);
          if (sep || labelStroke(b.z0 + k, i, j)) v = static_cast<UC>(255 - v);
          expected[c * plane + static_cast<std::size_t>(tr * l.h + i) * out->X + tc * l.t + j] = v;
        }
    }
}

struct Case {
  int z, y, x;
  Box voi;
  int outY, outX, a, nearest, color;
};

TEST(FrameGallery, MatchesReference) {
  const Case cases[] = {
      {6, 40, 50, {0, 6, 0, 40, 0, 50}, 120, 160, 3, 1, V3D_ONE_CHANNEL},
      {6, 40, 50, {0, 6, 0, 40, 0, 50}, 120, 160, 3, 0, V3D_ONE_CHANNEL},
      {12, 33, 47, {2, 12, 3, 30, 5, 44}, 100, 100, 3, 0, V3D_ONE_CHANNEL},  // 10 frames, 2 x 3
      {12, 33, 47, {2, 12, 3, 30, 5, 44}, 100, 100, 3, 1, V3D_THREE_CHANNELS},
      {4, 2, 60, {0, 4, 0, 2, 0, 60}, 40, 1000, 1, 0, V3D_ONE_CHANNEL},      // too flat: -520
      {30, 64, 32, {0, 30, 0, 64, 0, 32}, 256, 130, 5, 0, V3D_ONE_CHANNEL},  // tall tiles
      {3, 90, 90, {1, 3, 0, 90, 0, 90}, 60, 52, 2, 1, V3D_THREE_CHANNELS},   // exact fit
      {20, 27, 27, {0, 20, 0, 27, 0, 27}, 75, 75, 3, 0, V3D_ONE_CHANNEL},    // 9 of 20
      {12, 2, 2, {10, 12, 0, 2, 0, 2}, 60, 60, 2, 0, V3D_ONE_CHANNEL},       // 2 x 2 VOI
      {12, 2, 2, {10, 12, 0, 2, 0, 2}, 60, 60, 2, 1, V3D_ONE_CHANNEL},
      {1, 50, 50, {0, 1, 0, 50, 0, 50}, 25, 25, 1, 0, V3D_THREE_CHANNELS},  // one tile
  };
  unsigned seed = 7;
  for (const Case& cs : cases) {
    SCOPED_TRACE(testing::Message()
                 << cs.z << "x" << cs.y << "x" << cs.x << " a=" << cs.a << " nn=" << cs.nearest);
    auto in = make_volume(cs.z, cs.y, cs.x, V3D_UC, cs.color);
    auto out = make_volume(2, cs.outY, cs.outX, V3D_UC, cs.color);
    fillRandom(in, seed++);
    fillRandom(out, seed++);
    setVoi(in, cs.voi);
    const auto inBefore = samples(in);
    auto expected = samples(out);
    const RefLayout l = refLayout(voiOf(*in.get()), cs.outY, cs.outX, cs.a);
    const int code = ProduceFrameGallery3d(in, out, cs.a, cs.nearest);
    if (l.t < 25 || l.h < 25 || l.rows < 1) {
      EXPECT_EQ(code, kInvalidOutputDimensions);
    } else {
      ASSERT_EQ(code, 0);
      reference(in, out, cs.a, cs.nearest != 0, expected);
    }
    EXPECT_EQ(samples(out), expected);
    EXPECT_EQ(samples(in), inBefore);
  }
}

TEST(FrameGallery, ShowsAsManyFramesAsFitFromTheVoisFirst) {
  // 10 VOI frames, room for 2 rows of 3 tiles of 30 x 30: frames 4..9 are shown.
  auto in = make_volume(14, 30, 30);
  for (int z = 0; z < 14; ++z)
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 30; ++x) at<UC>(in, 0, z, y, x) = static_cast<UC>(10 * z);
  setVoi(in, {4, 14, 0, 30, 0, 30});
  auto out = make_volume(1, 70, 90);
  fillFrames(out, 0, 1, 200);
  ASSERT_EQ(ProduceFrameGallery3d(in, out, 3, 1), 0);
  for (int k = 0; k < 6; ++k)  // a sample away from label and separators
    EXPECT_EQ(at<UC>(out, 0, 0, (k / 3) * 30 + 20, (k % 3) * 30 + 20), 10 * (4 + k));
  EXPECT_EQ(at<UC>(out, 0, 0, 65, 5), 200);  // below the two rows of tiles
}

TEST(FrameGallery, SeparatorsAreInvertedOnceIncludingTheirCrossings) {
  auto in = make_volume(4, 25, 25);
  fillFrames(in, 0, 4, 255);
  auto out = make_volume(1, 50, 50);
  ASSERT_EQ(ProduceFrameGallery3d(in, out, 2, 0), 0);
  UC** f = channelData<UC>(*out.get(), 0)[0];
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(f[i][24], 0) << i;  // inner column separator, the crossing included
    EXPECT_EQ(f[24][i], 0) << i;
    // none on the right and bottom edges, where only the inner separators arrive
    EXPECT_EQ(f[i][49], i == 24 ? 0 : 255) << i;
    EXPECT_EQ(f[49][i], i == 24 ? 0 : 255) << i;
  }
  EXPECT_EQ(f[20][10], 255);
}

TEST(FrameGallery, FrameNumbersAreDrawnByInversionAndClippedToTheirTile) {
  // Frame 1234 on a black and a white tile: the strokes are the glyphs, light on dark and
  // dark on light; the fourth digit of a 25-column tile is cut at its separator.
  for (UC background : {UC{0}, UC{255}}) {
    auto in = make_volume(1236, 30, 30);
    fillFrames(in, 1234, 1236, background);
    setVoi(in, {1234, 1236, 0, 30, 0, 30});
    auto out = make_volume(1, 25, 50);
    ASSERT_EQ(ProduceFrameGallery3d(in, out, 2, 1), 0);
    UC** f = channelData<UC>(*out.get(), 0)[0];
    for (int r = 0; r < 25; ++r)
      for (int c = 0; c < 25; ++c) {
        const bool stroke = c < 24 && labelStroke(1234, r, c);
        const bool sep = c == 24;
        EXPECT_EQ(f[r][c], stroke || sep ? 255 - background : background) << r << "," << c;
        EXPECT_EQ(f[r][25 + c], labelStroke(1235, r, c) ? 255 - background : background);
      }
  }
}

TEST(FrameGallery, DigitsAreDistinctAndFitTheirCell) {
  for (int a = 0; a < 10; ++a) {
    int strokes = 0;
    for (int r = 0; r < gallery::kGlyphRows; ++r) {
      ASSERT_EQ(std::strlen(gallery::kDigits[a][r]), std::size_t(gallery::kGlyphColumns));
      for (int c = 0; c < gallery::kGlyphColumns; ++c) strokes += gallery::stroke(a, r, c);
    }
    EXPECT_GT(strokes, 8) << a;
    for (int d = a + 1; d < 10; ++d)
      EXPECT_NE(0,
                std::memcmp(gallery::kDigits[a], gallery::kDigits[d], sizeof gallery::kDigits[a]))
          << a << " " << d;
  }
}

TEST(FrameGallery, OutputMayBeTheInput) {
  auto v = make_volume(3, 60, 60);
  fillRandom(v, 11);
  auto copy = make_volume(3, 60, 60);
  fillRandom(copy, 11);
  auto expected = samples(v);
  reference(copy, v, 2, false, expected);
  ASSERT_EQ(ProduceFrameGallery3d(v, v, 2, 0), 0);
  EXPECT_EQ(samples(v), expected);
}

TEST(FrameGallery, FailuresLeaveTheOutputUnchanged) {
  auto in = make_volume(4, 40, 40);
  auto rgb = make_volume(4, 40, 40, V3D_UC, V3D_THREE_CHANNELS);
  auto fl = make_volume(4, 40, 40, V3D_F);
  auto out = make_volume(1, 100, 100);
  fillRandom(in, 1);
  fillRandom(out, 2);
  const auto before = samples(out);
  EXPECT_EQ(ProduceFrameGallery3d(fl, out, 2, 0), kWrongDataType);
  EXPECT_EQ(ProduceFrameGallery3d(in, fl, 2, 0), kWrongDataType);
  EXPECT_EQ(ProduceFrameGallery3d(rgb, out, 2, 0), kInvalidOutputColorType);
  EXPECT_EQ(ProduceFrameGallery3d(in, out, 0, 0), kInvalidParameters);
  EXPECT_EQ(ProduceFrameGallery3d(in, out, 5, 0), kInvalidOutputDimensions);  // 20 wide
  setVoi(in, {0, 4, 0, 1, 0, 40});
  EXPECT_EQ(ProduceFrameGallery3d(in, out, 2, 0), kInvalidInputDimensions);
  setVoi(in, {0, 4, 0, 40, 7, 8});
  EXPECT_EQ(ProduceFrameGallery3d(in, out, 2, 0), kInvalidInputDimensions);
  setVoi(in, {0, 4, 0, 40, 0, 40});
  auto low = make_volume(1, 24, 100);  // tiles of 50 x 50 do not fit in 24 rows
  EXPECT_EQ(ProduceFrameGallery3d(in, low, 2, 0), kInvalidOutputDimensions);
  EXPECT_EQ(samples(out), before);
}

}  // namespace
}  // namespace v3d::test
