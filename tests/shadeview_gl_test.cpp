// The rendering window drawing for real with the machine's OpenGL (Mesa's software rasteriser
// under Xvfb in CI): a cube's lit silhouette against its projection computed here, snapshot and
// movie volumes against the read-back pixels, hiding an object in the colour dialog, the mouse,
// and the window's failures. Skipped with a message when no OpenGL context can be made.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <cmath>
#include <fstream>
#include <set>

#include "core/table.h"
#include "core/text_ids.h"
#include "fixtures.h"
#include "shadeview/capture.h"
#include "shadeview/qt/dialogs.h"
#include "shadeview/qt/render_view.h"

namespace v3d::test {
namespace {

using namespace v3d::shade;
using shade::qt::RenderView;

// A box from `lo` to `hi` (script coordinates) as twelve faces on layer `layer`.
std::string boxFaces(std::array<double, 3> lo, std::array<double, 3> hi, int layer) {
  std::string s = "Layer\nSet\n" + std::to_string(layer) + "\n\n";
  const auto corner = [&](int i) {
    return std::array<double, 3>{(i & 1) ? hi[0] : lo[0], (i & 2) ? hi[1] : lo[1],
                                 (i & 4) ? hi[2] : lo[2]};
  };
  const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  for (const auto& q : quads)
    for (const auto& t : {std::array{q[0], q[1], q[2]}, std::array{q[0], q[2], q[3]}}) {
      char line[200];
      s += "3DFACE ";
      for (int k = 0; k < 3; ++k) {
        const auto p = corner(t[k]);
        std::snprintf(line, sizeof line, "%-3.1f,%-3.1f,%-3.1f\n", p[0], p[1], p[2]);
        s += line;
      }
      s += "\n\n";
    }
  return s;
}
std::string layers(int n) {
  std::string s;
  for (int k = 1; k <= n; ++k)
    s += "Layer\nNew\n" + std::to_string(k) + "\nColor\n" + std::to_string(k) + "\n" +
         std::to_string(k) + "\n\n";
  return s;
}

// A 4x4 column-major matrix product helper for the reference projection.
struct M4 {
  double m[16];
  static M4 identity() { return {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}}; }
  M4 operator*(const M4& b) const {
    M4 r{};
    for (int c = 0; c < 4; ++c)
      for (int rr = 0; rr < 4; ++rr) {
        double s = 0;
        for (int k = 0; k < 4; ++k) s += m[k * 4 + rr] * b.m[c * 4 + k];
        r.m[c * 4 + rr] = s;
      }
    return r;
  }
};
M4 translate(double x, double y, double z) {
  M4 t = M4::identity();
  t.m[12] = x, t.m[13] = y, t.m[14] = z;
  return t;
}
M4 rotate(double degrees, int axis) {
  const double a = degrees * std::atan(1.0) * 4 / 180, c = std::cos(a), s = std::sin(a);
  M4 r = M4::identity();
  const int i = (axis + 1) % 3, j = (axis + 2) % 3;
  r.m[i * 4 + i] = c, r.m[j * 4 + j] = c, r.m[i * 4 + j] = s, r.m[j * 4 + i] = -s;
  return r;
}
M4 scale(double s) {
  M4 r = M4::identity();
  r.m[0] = r.m[5] = r.m[10] = s;
  return r;
}
// gluPerspective's matrix, written from its definition.
M4 perspective(double fovy, double aspect, double n, double f) {
  const double t = 1.0 / std::tan(fovy * std::atan(1.0) * 4 / 360);
  M4 p{};
  p.m[0] = t / aspect, p.m[5] = t, p.m[10] = (f + n) / (n - f), p.m[11] = -1,
  p.m[14] = 2 * f * n / (n - f);
  return p;
}

class ShadeGl : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    if (!RenderView::fixedFunctionAvailable())
      GTEST_SKIP() << "no OpenGL context with the fixed-function pipeline can be made here";
    view = std::make_unique<RenderView>(nullptr);
    view->resize(160, 120);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    ASSERT_TRUE(view->ensureContext());
  }
  void TearDown() override {
    view.reset();
    resetVolumeTable();
  }
  Scene load(const std::string& text) {
    Scene scene;
    EXPECT_EQ(parseScene(text, scene), 0);
    EXPECT_EQ(view->setScene(scene), 0);
    return scene;
  }
  std::vector<std::uint8_t> pixels() {
    int w = 0, h = 0;
    view->viewportSize(w, h);
    std::vector<std::uint8_t> rgb(std::size_t(w) * h * 3);
    EXPECT_TRUE(view->readPixels(w, h, rgb.data()));
    return rgb;
  }
  std::unique_ptr<RenderView> view;
};

TEST_F(ShadeGl, ALitCubeCoversExactlyItsProjectedSilhouette) {
  const Scene scene = load(layers(1) + boxFaces({0, 0, 0}, {10, 10, 10}, 1));
  const ViewRotation turn{20, 30};
  view->setRotation(turn);
  int w = 0, h = 0;
  view->viewportSize(w, h);
  const std::vector<std::uint8_t> rgb = pixels();

  // Where the eight corners land: projection x model-view, then the viewport.
  const M4 mvp = perspective(45, double(w) / h, 1, 10) * translate(0, 0, -2) * rotate(turn.x, 0) *
                 rotate(turn.y, 1) * scale(1 / scene.radius) *
                 translate(-scene.centre[0], -scene.centre[1], -scene.centre[2]);
  std::vector<std::array<double, 2>> pts;
  for (int i = 0; i < 8; ++i) {
    const double p[4] = {(i & 1) ? 10.0 : 0.0, (i & 4) ? 10.0 : 0.0, (i & 2) ? 10.0 : 0.0, 1};
    double c[4] = {0, 0, 0, 0};
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) c[r] += mvp.m[k * 4 + r] * p[k];
    pts.push_back({(c[0] / c[3] + 1) / 2 * w, (c[1] / c[3] + 1) / 2 * h});
  }
  // Their convex hull (gift wrapping) is the cube's silhouette.
  std::vector<std::array<double, 2>> hull;
  std::size_t start = 0;
  for (std::size_t i = 1; i < pts.size(); ++i)
    if (pts[i][0] < pts[start][0]) start = i;
  std::size_t p = start;
  do {
    hull.push_back(pts[p]);
    std::size_t q = (p + 1) % pts.size();
    for (std::size_t r = 0; r < pts.size(); ++r) {
      const double cross = (pts[q][0] - pts[p][0]) * (pts[r][1] - pts[p][1]) -
                           (pts[q][1] - pts[p][1]) * (pts[r][0] - pts[p][0]);
      if (cross < 0) q = r;
    }
    p = q;
  } while (p != start && hull.size() <= pts.size());
  // Signed distance of a point inside the hull to its nearest edge (negative outside).
  const auto depth = [&](double x, double y) {
    double d = 1e9;
    for (std::size_t i = 0; i < hull.size(); ++i) {
      const auto& a = hull[i];
      const auto& b = hull[(i + 1) % hull.size()];
      const double len = std::hypot(b[0] - a[0], b[1] - a[1]);
      d = std::min(d, ((b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0])) / len);
    }
    return d;
  };
  int inside = 0, wrong = 0;
  std::set<int> shades;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* px = &rgb[3 * (std::size_t(y) * w + x)];
      const bool drawn = px[0] + px[1] + px[2] > 0;
      const double d = depth(x + 0.5, y + 0.5);
      if (drawn) shades.insert(px[0]);
      if (std::abs(d) <= 1.0) continue;  // edge pixels may go either way
      inside += d > 0;
      wrong += drawn != (d > 0);
      EXPECT_TRUE(px[0] == px[1] && px[1] == px[2]) << "a grey object stays grey";
    }
  EXPECT_GT(inside, w * h / 20) << "the cube fills a fair part of the window";
  EXPECT_EQ(wrong, 0);
  EXPECT_GE(shades.size(), 3u) << "three faces turned differently to the light";
}

TEST_F(ShadeGl, SnapshotAndMovieVolumesHoldTheReadBackPicturesTopRowFirst) {
  load(layers(1) + boxFaces({0, 0, 0}, {10, 6, 3}, 1));
  view->setRotation({15, 0});
  int w = 0, h = 0;
  view->viewportSize(w, h);
  const std::vector<std::uint8_t> at0 = pixels();
  view->setRotation({15, 180});
  const std::vector<std::uint8_t> at180 = pixels();
  const QImage grabbed = view->grabFramebuffer();  // Qt's own read-back, top row first
  view->setRotation({15, 0});

  ProgramBindings program;
  program.getOutputVolume = [](int, int, const char*, int, int, int, Volume** out) {
    *out = nullptr;  // "New"
    return 1;
  };
  program.createVolumeEx = &CreateVolumeEx;
  program.errorHandler = [](int code) {
    ADD_FAILURE() << "reported " << code;
    return 1;
  };
  struct Ui : CaptureUi {
    std::optional<std::string> askText(const char*, const char*) override { return "12"; }
    void setBusy(bool) override {}
  } ui;
  ASSERT_EQ(takeSnapshot(program, *view, ui), 0);
  ASSERT_EQ(makeMovie(program, *view, ui), 0);
  Volume* snap = volumeSlot(0);
  Volume* movie = volumeSlot(1);
  ASSERT_EQ(std::tie(snap->Z, snap->Y, snap->X), std::make_tuple(1, h, w));
  ASSERT_EQ(std::tie(movie->Z, movie->Y, movie->X), std::make_tuple(12, h, w));
  EXPECT_EQ(view->rotation(), (ViewRotation{15, 0}));

  int differ = 0, differMovie0 = 0, differMovie6 = 0, differGrab = 0;
  for (int r = 0; r < h; ++r)
    for (int c = 0; c < w; ++c)
      for (int ch = 0; ch < 3; ++ch) {
        const std::uint8_t want0 = at0[3 * (std::size_t(h - 1 - r) * w + c) + ch];
        const std::uint8_t want180 = at180[3 * (std::size_t(h - 1 - r) * w + c) + ch];
        differ += at<UC>(snap, ch, 0, r, c) != want0;
        differMovie0 += at<UC>(movie, ch, 0, r, c) != at<UC>(snap, ch, 0, r, c);
        differMovie6 += at<UC>(movie, ch, 6, r, c) != want180;
        const QRgb g = grabbed.pixel(c, r);
        const int gc = ch == 0 ? qRed(g) : ch == 1 ? qGreen(g) : qBlue(g);
        differGrab += at<UC>(movie, ch, 6, r, c) != gc;
      }
  EXPECT_EQ(differ, 0) << "snapshot = read-back pixels with rows flipped";
  EXPECT_EQ(differMovie0, 0) << "movie frame 0 = the snapshot at rotation 0";
  EXPECT_EQ(differMovie6, 0) << "movie frame 6 = the view turned 180 degrees";
  EXPECT_EQ(differGrab, 0) << "and the same as the toolkit's own grab of that view";
  EXPECT_NE(at0, at180) << "the box is not symmetric under the turn";
}

TEST_F(ShadeGl, AnObjectHiddenInTheColourDialogLeavesThePicture) {
  load(layers(2) + boxFaces({0, 0, 0}, {4, 4, 4}, 1) + boxFaces({8, 0, 0}, {12, 4, 4}, 2));
  const std::vector<std::uint8_t> both = pixels();
  int w = 0, h = 0;
  view->viewportSize(w, h);
  const auto columnsDrawn = [&](const std::vector<std::uint8_t>& rgb, int x0, int x1) {
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = x0; x < x1; ++x) n += rgb[3 * (std::size_t(y) * w + x)] > 0;
    return n;
  };
  ASSERT_GT(columnsDrawn(both, 0, w / 2), 0);
  ASSERT_GT(columnsDrawn(both, w / 2, w), 0);

  shade::qt::ColourDialog dialog(view.get(), nullptr);
  auto* list = dialog.findChild<QWidget*>("1208");
  ASSERT_NE(list, nullptr);
  dialog.presenter().select(1);
  dialog.show();
  auto* box = dialog.findChild<QCheckBox*>("1209");
  auto* update = dialog.findChild<QPushButton*>("1216");
  ASSERT_TRUE(box && update);
  dialog.findChild<QWidget*>("1208")->setFocus();
  box->setChecked(false);
  ASSERT_TRUE(update->isEnabled());
  update->click();
  const std::vector<std::uint8_t> one = pixels();
  EXPECT_EQ(columnsDrawn(one, w / 2 + 4, w), 0) << "the second box is gone";
  EXPECT_EQ(columnsDrawn(one, 0, w / 2 - 4), columnsDrawn(both, 0, w / 2 - 4))
      << "the first box stays as it was";
}

TEST_F(ShadeGl, DraggingTurnsTheViewARightClickResetsItAndThePointerReadsItsPixel) {
  load(layers(1) + boxFaces({0, 0, 0}, {10, 10, 10}, 1));
  QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(10, 10));
  QMouseEvent move(QEvent::MouseMove, QPointF(31, 51), QPointF(31, 51), Qt::LeftButton,
                   Qt::LeftButton, {});
  QApplication::sendEvent(view.get(), &move);
  QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(31, 51));
  EXPECT_EQ(view->rotation(), (ViewRotation{20, 10})) << "half a degree a pixel, truncated";
  QTest::mousePress(view.get(), Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(view->rotation(), (ViewRotation{0, 0}));
}

TEST_F(ShadeGl, TheReadoutGivesTheColourUnderThePointer) {
  static std::vector<std::array<double, 6>> seen;
  seen.clear();
  static ProgramBindings program;  // outlives the view, which the fixture destroys
  program.printCoordinates = [](int kind, int X, int Y, int Z, double r, double g, double b) {
    EXPECT_EQ(std::make_pair(kind, Z), std::make_pair(2, 0));
    seen.push_back({double(X), double(Y), r, g, b, 0});
  };
  view = std::make_unique<RenderView>(&program);
  view->resize(160, 120);
  view->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
  ASSERT_TRUE(view->ensureContext());
  load(layers(1) + boxFaces({0, 0, 0}, {10, 10, 10}, 1));
  const std::vector<std::uint8_t> rgb = pixels();
  int w = 0, h = 0;
  view->viewportSize(w, h);
  QApplication::processEvents();
  for (const QPoint p : {QPoint(80, 60), QPoint(2, 2)}) {
    QMouseEvent move(QEvent::MouseMove, QPointF(p), QPointF(p), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(view.get(), &move);
    ASSERT_FALSE(seen.empty());
    const std::uint8_t* px = &rgb[3 * (std::size_t(h - 1 - p.y()) * w + p.x())];
    EXPECT_EQ(seen.back(), (std::array<double, 6>{double(p.x()), double(p.y()), double(px[0]),
                                                  double(px[1]), double(px[2]), 0}));
  }
  EXPECT_GT(seen.front()[2], 0) << "the cube's middle is drawn";
}

TEST_F(ShadeGl, TheWindowReportsUnreadableScriptsAndLeavesNoWindow) {
  const std::string bad = tempPath("shade_bad.scr");
  std::ofstream(bad) << "Layer\nRemove\n";
  const std::pair<std::string, int> cases[] = {{"/nonexistent/v3d/x.scr", kFopenError},
                                               {bad, kFileParsingError}};
  for (const auto& [path, expected] : cases) {
    int code = 0;
    EXPECT_EQ(shade::qt::OpenRenderingWindow(nullptr, nullptr, nullptr, path, &code), nullptr);
    EXPECT_EQ(code, expected);
    EXPECT_EQ(shade::qt::CurrentRenderView(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }
  std::remove(bad.c_str());
}

TEST_F(ShadeGl, ASecondScriptReplacesTheRenderingWindow) {
  const std::string path = tempPath("shade_cube.scr");
  std::ofstream(path) << layers(1) + boxFaces({0, 0, 0}, {10, 10, 10}, 1);
  RenderView* first = shade::qt::OpenRenderingWindow(nullptr, nullptr, nullptr, path);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->windowTitle(), "Surface Rendering");
  RenderView* second = shade::qt::OpenRenderingWindow(nullptr, nullptr, nullptr, path);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(shade::qt::CurrentRenderView(), second);
  int views = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    views += dynamic_cast<RenderView*>(w) != nullptr;
  EXPECT_EQ(views, 2) << "the fixture's view and the one rendering window";
  delete second;
  EXPECT_EQ(shade::qt::CurrentRenderView(), nullptr);
  std::remove(path.c_str());
}

// Run without a display (its own ctest entry): no context can be made, so the window reports
// "System does not support OpenGL requirements" and does not stay.
TEST(ShadeNoGl, WithoutOpenGLTheWindowReportsAndDoesNotStay) {
  if (RenderView::fixedFunctionAvailable()) GTEST_SKIP() << "this process has OpenGL";
  int code = 0;
  EXPECT_EQ(shade::qt::OpenRenderingWindow(nullptr, nullptr, nullptr, "/dev/null", &code), nullptr);
  EXPECT_EQ(code, kTextNoOpenGl);
  int views = 0;
  for (QWidget* w : QApplication::topLevelWidgets())
    views += dynamic_cast<RenderView*>(w) != nullptr;
  EXPECT_EQ(views, 0);
}

}  // namespace
}  // namespace v3d::test

// Under the leak checker: the X11 platform's session-bus connection (libdbus) and Mesa's
// software rasteriser keep a few blocks to the end of the process; neither is ours. The driver
// is kept loaded so that its blocks are still attributed to it when the check runs.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1.so\nleak:swrast_dri.so\n";
}

int main(int argc, char** argv) {
  ::dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
