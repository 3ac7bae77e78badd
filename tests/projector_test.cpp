// The projection viewer's toolkit-free part, bound to the volume library directly: every rule
// and the section drawn as the library draws them, turning by a drag, the window messages,
// and the turntable volume frame by frame, with its failure path.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "core/table.h"
#include "fixtures.h"
#include "projections/projections.h"
#include "projections_reference.h"
#include "projector/viewer.h"

namespace v3d::test {
namespace {

using projector::MessageOutcome;
using projector::Rule;
using projector::Viewer;
using projector::ViewParameters;

std::vector<int> g_reported;
std::vector<Volume*> g_displayed;

projector::ProgramBindings libraryBindings() {
  projector::ProgramBindings b;
  b.createVolumeEx = &CreateVolumeEx;
  b.destroyVolume = &DestroyVolume;
  b.checkVolume = &CheckVolume;
  b.getVolumeIndex = &GetVolumeIndex;
  b.displayVolume = [](Volume* v) { g_displayed.push_back(v); };
  b.errorHandler = [](int code) {
    g_reported.push_back(code);
    return code;
  };
  b.render.firstHit = &Provoli3d;
  b.render.average = &ProvoliAvrg3d;
  b.render.maximum = &ProvoliMax3d;
  b.render.section = &TomiRand2;
  b.render.gradient = &Provoli3dBinary;
  b.render.surface = &Provoli3dSurface;
  b.render.surfaceColour = &Provoli3dSurfaceColor;
  return b;
}

// The picture the library draws for a view, called directly.
Picture direct(Volume* v, const ViewParameters& p, int side) {
  Picture pic(channelCount(*v), side, side);
  unsigned char t[3] = {p.thresholds[0], p.thresholds[1], p.thresholds[2]};
  const int crop = p.crop;
  int code = 0;
  if (p.section)
    code = TomiRand2(v, pic.get(), side, side, p.angle1, p.angle2, crop, p.depth);
  else
    switch (p.rule) {
      case Rule::kFirstHit:
        code = Provoli3d(v, pic.get(), side, side, p.angle1, p.angle2, crop, t);
        break;
      case Rule::kAverage:
        code = ProvoliAvrg3d(v, pic.get(), side, side, p.angle1, p.angle2, crop);
        break;
      case Rule::kMaximum:
        code = ProvoliMax3d(v, pic.get(), side, side, p.angle1, p.angle2, crop);
        break;
      case Rule::kGradient:
        code = Provoli3dBinary(v, pic.get(), side, side, p.angle1, p.angle2, crop, t);
        break;
      case Rule::kSurface:
      case Rule::kSurfaceCued:
        code = Provoli3dSurface(v, pic.get(), side, side, p.angle1, p.angle2, crop, t,
                                p.rule == Rule::kSurfaceCued);
        break;
      case Rule::kColour:
        code = Provoli3dSurfaceColor(v, pic.get(), side, side, p.angle1, p.angle2, crop, t, 0);
        break;
    }
  EXPECT_EQ(code, 0);
  return pic;
}

class ProjectorViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    g_reported.clear();
    g_displayed.clear();
    ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 6, 8, 10, nullptr, &volume), 0);
    fillRandom(volume, 5);
    viewer.volume = volume;
    viewer.buffer = &buffer;
    buffer.kind = V3D_BUFFER_COLOUR;
    buffer.width = buffer.height = projector::pictureSide(*volume);
    picture = std::make_unique<Picture>(3, buffer.width, buffer.width);
    for (int c = 0; c < 3; ++c) buffer.plane[c] = picture->get()[c];
  }
  void TearDown() override { resetVolumeTable(); }

  projector::ProgramBindings program = libraryBindings();
  Volume* volume = nullptr;
  V3dBuffer buffer{};
  std::unique_ptr<Picture> picture;
  Viewer viewer;
};

TEST_F(ProjectorViewer, EveryRuleAndTheSectionDrawAsTheLibrary) {
  EXPECT_EQ(buffer.width, 64) << "a small VOI gets the smallest picture";
  for (int r = 0; r < projector::kRuleCount; ++r)
    for (const bool section : {false, true}) {
      viewer.view.rule = static_cast<Rule>(r);
      viewer.view.section = section;
      viewer.view.angle1 = -40.0f + 17.0f * r;
      viewer.view.thresholds[1] = static_cast<unsigned char>(30 * r);
      ASSERT_EQ(viewer.redraw(program.render), 0);
      EXPECT_TRUE(*picture == direct(volume, viewer.view, buffer.width))
          << projector::ruleName(viewer.view.rule) << (section ? " section" : "");
    }
}

TEST_F(ProjectorViewer, DragTurnsAndWrapsAndUpdateRedraws) {
  ViewParameters p;
  p.angle1 = 170.0f;
  p.angle2 = 80.0f;
  projector::turn(p, 30, 40);  // 15 and 20 degrees
  EXPECT_FLOAT_EQ(p.angle1, -175.0f);
  EXPECT_FLOAT_EQ(p.angle2, 90.0f);
  projector::turn(p, -10, -400);
  EXPECT_FLOAT_EQ(p.angle1, 180.0f);
  EXPECT_FLOAT_EQ(p.angle2, -90.0f);

  const auto at = [](int x, int y) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                      static_cast<std::uint32_t>(x & 0xFFFF));
  };
  viewer.view.angle1 = 0.0f;
  viewer.view.angle2 = 0.0f;
  const auto send = [&](unsigned int m, std::uintptr_t w, std::intptr_t l) {
    return projector::handleMessage(program.render, viewer, m, w, l);
  };
  // A move without a press is not the viewer's.
  EXPECT_FALSE(send(V3D_WM_MOUSEMOVE, 0, at(5, 5)).handled);
  EXPECT_TRUE(send(V3D_WM_LBUTTONDOWN, V3D_MK_LBUTTON, at(10, 10)).handled);
  const MessageOutcome moved = send(V3D_WM_MOUSEMOVE, V3D_MK_LBUTTON, at(30, 4));
  EXPECT_TRUE(moved.handled && moved.redrawn);
  EXPECT_FLOAT_EQ(viewer.view.angle1, 10.0f);
  EXPECT_FLOAT_EQ(viewer.view.angle2, -3.0f);
  EXPECT_TRUE(*picture == direct(volume, viewer.view, buffer.width));
  EXPECT_TRUE(send(V3D_WM_LBUTTONUP, 0, at(30, 4)).handled);
  EXPECT_FALSE(send(V3D_WM_MOUSEMOVE, V3D_MK_LBUTTON, at(50, 4)).handled) << "the drag ended";
  EXPECT_FALSE(send(V3D_WM_PAINT, 0, 0).handled);

  // The update request draws the volume as it is now.
  channelData<UC>(*volume, 0)[3][4][5] = 255;
  picture->clear();
  EXPECT_TRUE(send(V3D_WM_UPDATE_PROJECTION, 0, 0).redrawn);
  EXPECT_TRUE(*picture == direct(volume, viewer.view, buffer.width));
}

TEST_F(ProjectorViewer, TurntableFramesAreTheViewsAroundTheVerticalAxis) {
  viewer.view.rule = Rule::kMaximum;
  viewer.view.angle1 = 15.0f;
  viewer.view.angle2 = 25.0f;
  Volume* t = projector::turntable(program, viewer, 5);
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(GetVolumeIndex(t), 1);
  EXPECT_EQ(std::make_tuple(t->Z, t->Y, t->X, t->colorType),
            std::make_tuple(5, 64, 64, int{V3D_THREE_CHANNELS}));
  EXPECT_STREQ(t->information, "Turntable of vol 0");
  EXPECT_EQ(g_displayed, std::vector<Volume*>{t});
  for (int k = 0; k < 5; ++k) {
    ViewParameters p = viewer.view;
    p.angle1 = 15.0f + 360.0f * k / 5;
    const Picture want = direct(volume, p, 64);
    for (int c = 0; c < 3; ++c)
      for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
          ASSERT_EQ(channelData<UC>(*t, c)[k][y][x], want.at(c, y, x)) << k << " " << c;
  }
  EXPECT_TRUE(g_reported.empty());

  // A view that cannot be drawn: the volume made for it goes again, and the code is reported.
  viewer.view.angle2 = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(projector::turntable(program, viewer, 3), nullptr);
  EXPECT_EQ(g_reported, std::vector<int>{kInvalidParameters});
  EXPECT_EQ(volumeSlot(2)->dataType, 0) << "destroyed again";
}

}  // namespace
}  // namespace v3d::test
