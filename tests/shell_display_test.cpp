// Display windows, the coordinates readout and the section view, without a toolkit: the
// frame-to-picture conversion against the samples, stepping, zoom, scrolling, the rubber
// band, the readout texts and the slider rule.
#include <algorithm>
#include <utility>

#include "shell/coordinates.h"
#include "shell/display_model.h"
#include "shell/section_model.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

class DisplayModelTest : public ShellTest {};

TEST_F(DisplayModelTest, PicturesAreTheSamplesThroughPaletteDivisorAndScroll) {
  Volume* grey = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 37, 53, 4);
  Volume* colour = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 3, 37, 53, 5);
  for (int divisor : {1, 2, 4, 64})
    for (bool three : {false, true}) {
      Volume* v = three ? colour : grey;
      DisplayModel m(v, three, 0, 2, 0.0f);
      while (m.divisor() < divisor) m.zoomOut();
      m.setCurrent(2);
      const int pw = 11, ph = 9;
      m.setScroll(3, 2, pw, ph);
      std::vector<std::uint32_t> pixels;
      m.render(pixels, pw, ph);
      for (int py = 0; py < ph; ++py)
        for (int px = 0; px < pw; ++px) {
          const auto vox = m.voxelAt(px, py);
          const std::uint32_t got = pixels[static_cast<std::size_t>(py) * pw + px];
          if (!vox) {
            EXPECT_EQ(got, 0xFFD4D0C8u);
            continue;
          }
          const UC r = at<UC>(v, 0, 2, vox->y, vox->x);
          const UC g = three ? at<UC>(v, 1, 2, vox->y, vox->x) : r;
          const UC b = three ? at<UC>(v, 2, 2, vox->y, vox->x) : r;
          ASSERT_EQ(got, 0xFF000000u | (r << 16) | (g << 8) | b) << divisor << " " << px << "," << py;
        }
    }
}

TEST_F(DisplayModelTest, SteppingZoomScrollTitleAndFit) {
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 8, 100, 150);
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1);
  DisplayModel m(v, false, 2, 5, 0.0f);
  EXPECT_EQ(m.title(), "vol 0 [fr 2-5,2]");
  EXPECT_FALSE(m.previous()) << "previous at the lower frame does nothing";
  EXPECT_TRUE(m.next());
  EXPECT_EQ(m.title(), "vol 0 [fr 2-5,3]");
  m.setCurrent(5);
  EXPECT_FALSE(m.next());
  EXPECT_FALSE(m.zoomIn()) << "zoom in stops at divisor 1";
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(m.zoomOut());
  EXPECT_EQ(m.divisor(), 64);
  EXPECT_FALSE(m.zoomOut()) << "zoom out stops at divisor 64";
  EXPECT_EQ(m.shownWidth(), 3);
  int pw, ph;
  m.fit(1000, 800, pw, ph);
  EXPECT_EQ(pw, 3);
  EXPECT_EQ(DisplayModel::clientWidth(pw), 192) << "a narrow volume still gets 192 pixels";
  while (m.zoomIn()) {
  }
  m.fit(120, 60, pw, ph);
  EXPECT_EQ(pw, 120);
  EXPECT_EQ(ph, 60 - kButtonBarHeight);
  m.setScroll(1000, -5, pw, ph);
  EXPECT_EQ(m.scrollX(), 30);
  EXPECT_EQ(m.scrollY(), 0);
  EXPECT_EQ(m.voxelAt(0, 0)->x, 30);
}

TEST_F(DisplayModelTest, MagnifiedPicturesShowEachVoxelAsABlockAndMapBackToIt) {
  Volume* grey = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 9, 13, 6);
  Volume* colour = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 2, 9, 13, 7);
  for (int mag : {1, 2, 3, 4, 8, 16})
    for (bool three : {false, true}) {
      Volume* v = three ? colour : grey;
      DisplayModel m(v, three, 0, 1, 0.0f);
      m.zoomOut();  // magnifying starts from divisor 1 again
      m.setMagnification(mag);
      ASSERT_EQ(m.divisor(), 1);
      EXPECT_EQ(m.shownWidth(), 13 * mag);
      m.setCurrent(1);
      const int pw = 40, ph = 30, sx = 5 * mag + 1, sy = mag / 2;
      m.setScroll(sx, sy, pw, ph);
      ASSERT_EQ(m.scrollX(), std::min(sx, std::max(0, 13 * mag - pw)));
      std::vector<std::uint32_t> pixels;
      m.render(pixels, pw, ph);
      for (int py = 0; py < ph; ++py)
        for (int px = 0; px < pw; ++px) {
          // The plain rule: pixel (px, py) is voxel ((px + scroll) / m, (py + scroll) / m).
          const int x = (px + m.scrollX()) / mag, y = (py + m.scrollY()) / mag;
          const auto vox = m.voxelAt(px, py);
          const std::uint32_t got = pixels[static_cast<std::size_t>(py) * pw + px];
          if (x >= 13 || y >= 9) {
            ASSERT_FALSE(vox.has_value()) << mag << " " << px << "," << py;
            ASSERT_EQ(got, 0xFFD4D0C8u);
            continue;
          }
          ASSERT_TRUE(vox && vox->x == x && vox->y == y && vox->z == 1) << mag << " " << px;
          const UC r = at<UC>(v, 0, 1, y, x);
          const UC g = three ? at<UC>(v, 1, 1, y, x) : r;
          const UC b = three ? at<UC>(v, 2, 1, y, x) : r;
          ASSERT_EQ(got, 0xFF000000u | (r << 16) | (g << 8) | b) << mag << " " << px << "," << py;
        }
      // A band between two pixels covers the voxels under them.
      m.applyRubberBand(pw - 1, ph - 1, 2, 3);
      const int x0 = (2 + m.scrollX()) / mag, x1 = std::min(12, (pw - 1 + m.scrollX()) / mag);
      EXPECT_EQ(v->voiX0, x0) << mag;
      EXPECT_EQ(v->voiX1, x1 + 1) << mag;
      EXPECT_EQ(v->voiY0, (3 + m.scrollY()) / mag) << mag;
    }
}

TEST_F(DisplayModelTest, ZoomOutLeavesMagnificationFirstAndTheWheelStepsBack) {
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 20, 20);
  DisplayModel m(v, false, 0, 0, 0.0f);
  EXPECT_FALSE(m.setMagnification(17));
  EXPECT_FALSE(m.setMagnification(1)) << "already 1:1";
  ASSERT_TRUE(m.setMagnification(4));
  EXPECT_FALSE(m.zoomIn()) << "Zoom In changes the divisor only, which is 1";
  EXPECT_TRUE(m.zoomOut());
  EXPECT_EQ(m.magnification(), 2);
  EXPECT_TRUE(m.zoomOut());
  EXPECT_TRUE(m.zoomOut());
  EXPECT_EQ(m.magnification(), 1);
  EXPECT_EQ(m.divisor(), 2);
  const std::pair<int, int> closer[] = {{1, 1}, {1, 2}, {1, 4}, {1, 8}, {1, 16}, {1, 16}};
  for (auto [divisor, mag] : closer) {
    m.stepCloser();
    EXPECT_EQ(m.divisor(), divisor);
    EXPECT_EQ(m.magnification(), mag);
  }
}

TEST_F(DisplayModelTest, RubberBandSetsTheXAndYBoundsOfTheVoi) {
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 40, 50);
  fill_in_VOI(v, 2, 4, 0, 40, 0, 50);
  DisplayModel m(v, false, 0, 5, 0.0f);
  m.zoomOut();
  m.applyRubberBand(20, 15, 3, 2);
  EXPECT_EQ(v->voiX0, 6);
  EXPECT_EQ(v->voiX1, 41);
  EXPECT_EQ(v->voiY0, 4);
  EXPECT_EQ(v->voiY1, 31);
  EXPECT_EQ(v->voiZ0, 2) << "the frame bounds stay";
  EXPECT_EQ(v->voiZ1, 4);
  m.applyRubberBand(-4, -4, 400, 400);
  EXPECT_EQ(v->voiX0, 0);
  EXPECT_EQ(v->voiX1, 50) << "clamped to the frame";
  EXPECT_EQ(CheckVolume(v, V3D_UC, V3D_ONE_CHANNEL), kSuccess);
}

TEST(CoordinatesTest, ReadoutTextsInEveryColourSpace) {
  PrintCoordinates(kPointerOutside, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(positionText(readout()), "  X = 000  Y= 000  Z = 000");
  EXPECT_EQ(valueText(readout(), kRgb), "R = 000  G = 000  B = 000");
  int calls = 0;
  setReadoutListener([&] { ++calls; });
  PrintCoordinates(2, 12, 345, 6, 200.7, 100.2, 50.0);
  setReadoutListener(nullptr);
  EXPECT_EQ(calls, 1) << "the window repaints at once";
  const Readout& r = readout();
  EXPECT_EQ(positionText(r), "  X = 012  Y= 345  Z = 006");
  EXPECT_EQ(valueText(r, kRgb), "R = 200  G = 100  B = 050");
  // X = 0.49 R + 0.31 G + 0.20 B and so on, with the values as given.
  EXPECT_EQ(valueText(r, kXyz), "X = 139.405  Y = 117.536  Z = 50.502");
  EXPECT_EQ(valueText(r, kLab).substr(0, 10), "L = 73.637");  // 116.04 * cbrt(Y / 255) - 16
  // HLS from the rounded values 201, 100, 50: L = 251 / 510, S = 151 / 251, H = 60 * 50 / 151.
  EXPECT_EQ(valueText(r, kHls), "H = 19.868  L = 0.492  S = 0.602");
  PrintCoordinates(1, 1, 1, 1, 90, 0, 0);
  EXPECT_EQ(valueText(readout(), kHls), "H = 0.000  L = 0.176  S = 1.000")
      << "a grey readout (G = B = 0) has hue 0";
  PrintCoordinates(2, 1, 1, 1, 90, 90, 90);
  EXPECT_EQ(valueText(readout(), kHls).substr(0, 10), "H = -1.000") << "R = G = B";
}

TEST_F(DisplayModelTest, SectionViewSliderRuleFactorsAndClicks) {
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 30, 40, 3);
  SectionModel s(v);
  EXPECT_EQ(s.cursorX, 20);
  EXPECT_EQ(s.cursorY, 15);
  EXPECT_EQ(s.cursorZ, 0);
  EXPECT_EQ(s.setSlider(Axis::X, 50), 48) << "51 dragged down lands on 48";
  EXPECT_EQ(s.setSlider(Axis::X, 49), 48);
  EXPECT_EQ(s.factor(Axis::X), -2);
  EXPECT_EQ(s.factorText(Axis::X), "X factor : 0.50");
  EXPECT_EQ(s.setSlider(Axis::Z, 53), 53);
  EXPECT_EQ(s.factorText(Axis::Z), "Z factor : 3.00");
  EXPECT_EQ(s.width(Section::Frame), 20);
  EXPECT_EQ(s.height(Section::RowPlane), 3) << "one frame, three pixels thick at factor 3";
  EXPECT_EQ(s.width(Section::ColumnPlane), 3);
  EXPECT_FALSE(s.setCursor(Axis::Z, 1)) << "a frame number equal to the count is ignored";
  EXPECT_TRUE(s.setCursor(Axis::Y, 29));
  EXPECT_TRUE(s.click(Section::Frame, 5, 7));
  EXPECT_EQ(s.cursorX, 10);
  EXPECT_EQ(s.cursorY, 7);
  EXPECT_FALSE(s.click(Section::Frame, 20, 0));
  std::vector<std::uint32_t> px;
  s.render(Section::ColumnPlane, 0, 0, 3, 30, px);
  ASSERT_EQ(px.size(), 3u * 30u);
  const UC want = at<UC>(v, 0, 0, 4, s.cursorX);
  EXPECT_EQ(px[4 * 3 + 1], 0xFF000000u | want * 0x010101u);
  std::vector<std::uint32_t> part;
  s.render(Section::ColumnPlane, 1, 4, 2, 3, part);
  EXPECT_EQ(part[0], px[4 * 3 + 1]) << "a part of the section is the same pixels";
  EXPECT_EQ(sectionViewTitle(v), "Section View of Volume 0.");
}

}  // namespace
}  // namespace v3d::test
