// The module host inside the widget layer, offscreen: the real frame's menu built from the
// test modules, commands from their items, Qt events reaching the display hooks as the
// protocol's messages, and the real program showing a module's popup.
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QTest>
#include <QWheelEvent>
#include <cstdio>
#include <memory>

#include "core/alloc.h"
#include "core/report.h"
#include "core/table.h"
#include "host_fixtures.h"
#include "shell/commands.h"
#include "shell/exports.h"
#include "shell/qt/display_window.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/projection_window.h"
#include "shell/qt/window_registry.h"

namespace v3d::test {
namespace {

using namespace v3d::host;
using shell::qt::ModuleMessage;

class HostQtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    previous = installModuleHost(&host);
    frame.moduleRouter = [this](std::uintptr_t w) { host.route(w); };
  }
  void TearDown() override {
    frame.moduleRouter = nullptr;
    installModuleHost(previous);
    shell::setSaver(nullptr);
    resetVolumeTable();
  }
  QAction* menuAt(int position) { return frame.menuBar()->actions().value(position); }

  shell::qt::Frame frame;
  shell::qt::ModuleMenu sink{frame};
  ModuleHost host{sink};
  ModuleHost* previous = nullptr;
};

TEST_F(HostQtTest, ModulesMenuReplacesThePlainItemAndItsItemsRunModuleCommands) {
  TempDir empty, first, second;
  host.scan({empty.path});
  ASSERT_NE(menuAt(3), nullptr);
  EXPECT_EQ(menuAt(3)->text(), "&Modules");
  EXPECT_EQ(menuAt(3)->menu(), nullptr) << "no module: the plain item stays";

  put(first, "two_items", "two.so");
  put(first, "saver", "Volstore.SO");
  put(second, "three_items", "three.so");
  host.scan({first.path, second.path});
  const int menus = static_cast<int>(frame.menuBar()->actions().size());
  EXPECT_EQ(menus, 6) << "the popup takes the plain item's place";
  QMenu* modules = menuAt(3)->menu();
  ASSERT_NE(modules, nullptr);
  EXPECT_EQ(menuAt(3)->text(), "&Modules");
  EXPECT_EQ(menuAt(4)->text(), "&Help");
  ASSERT_EQ(modules->actions().size(), 2);
  EXPECT_EQ(modules->actions()[0]->text(), "Two Items");
  QMenu* three = modules->actions()[1]->menu();
  ASSERT_NE(three, nullptr);
  EXPECT_EQ(modules->actions()[1]->text(), "Three Items");

  QAction* two1 = modules->findChild<QAction*>("1");
  QAction* three2 = three->findChild<QAction*>("2");
  ASSERT_NE(two1, nullptr);
  ASSERT_NE(three2, nullptr);
  EXPECT_FALSE(two1->isEnabled()) << "\"!\" greys the item";
  EXPECT_EQ(two1->text(), "&Two");
  three2->trigger();
  EXPECT_EQ(call(second, "three.so", "tm_last_command"), 0)
      << "through the frame: the dispatcher ignores it, the router hands over index 0";
  probe<void (*)(int, int)>(first, "two.so", "tm_set_item_state")(1, V3D_MF_ENABLED);
  EXPECT_TRUE(two1->isEnabled());
  two1->trigger();
  EXPECT_EQ(call(first, "two.so", "tm_last_command"), 1);

  ASSERT_NE(frame.action(shell::kCmdSave), nullptr);
  EXPECT_TRUE(frame.action(shell::kCmdSave)->isEnabled()) << "the saver enables \"&Save\"";
}

QPoint at(int x, int y) {
  return {x, y};
}

TEST(ModuleMessages, QtEventsBecomeTheProtocolsMessages) {
  const auto lp = [](int x, int y) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                      static_cast<std::uint32_t>(x & 0xFFFF));
  };
  const QPointF p(12, 34), screen(500, 600);
  struct Case {
    std::unique_ptr<QEvent> event;
    std::vector<ModuleMessage> expected;
  };
  Case cases[] = {
      {std::make_unique<QMouseEvent>(QEvent::MouseMove, p, screen, Qt::NoButton,
                                     Qt::LeftButton | Qt::RightButton, Qt::ShiftModifier),
       {{V3D_WM_MOUSEMOVE, V3D_MK_LBUTTON | V3D_MK_RBUTTON | V3D_MK_SHIFT, lp(12, 34)}}},
      {std::make_unique<QMouseEvent>(QEvent::MouseMove, QPointF(-3, 7), screen, Qt::NoButton,
                                     Qt::NoButton, Qt::NoModifier),
       {{V3D_WM_MOUSEMOVE, 0, lp(-3, 7)}}},
      {std::make_unique<QMouseEvent>(QEvent::MouseButtonPress, p, screen, Qt::LeftButton,
                                     Qt::LeftButton, Qt::ControlModifier),
       {{V3D_WM_LBUTTONDOWN, V3D_MK_LBUTTON | V3D_MK_CONTROL, lp(12, 34)}}},
      {std::make_unique<QMouseEvent>(QEvent::MouseButtonRelease, p, screen, Qt::LeftButton,
                                     Qt::NoButton, Qt::NoModifier),
       {{V3D_WM_LBUTTONUP, 0, lp(12, 34)}}},
      {std::make_unique<QMouseEvent>(QEvent::MouseButtonPress, p, screen, Qt::RightButton,
                                     Qt::RightButton | Qt::MiddleButton, Qt::NoModifier),
       {{V3D_WM_RBUTTONDOWN, V3D_MK_RBUTTON | V3D_MK_MBUTTON, lp(12, 34)}}},
      {std::make_unique<QMouseEvent>(QEvent::MouseButtonRelease, p, screen, Qt::RightButton,
                                     Qt::NoButton, Qt::NoModifier),
       {{V3D_WM_RBUTTONUP, 0, lp(12, 34)}}},
      {std::make_unique<QMouseEvent>(QEvent::MouseButtonDblClick, p, screen, Qt::LeftButton,
                                     Qt::LeftButton, Qt::NoModifier),
       {{V3D_WM_LBUTTONDBLCLK, V3D_MK_LBUTTON, lp(12, 34)}}},
      {std::make_unique<QMouseEvent>(QEvent::MouseButtonDblClick, p, screen, Qt::RightButton,
                                     Qt::RightButton, Qt::NoModifier),
       {{V3D_WM_RBUTTONDOWN, V3D_MK_RBUTTON, lp(12, 34)}}},
      {std::make_unique<QMouseEvent>(QEvent::MouseButtonPress, p, screen, Qt::MiddleButton,
                                     Qt::MiddleButton, Qt::NoModifier),
       {}},
      {std::make_unique<QWheelEvent>(p, screen, QPoint(), QPoint(0, -120), Qt::NoButton,
                                     Qt::ShiftModifier, Qt::NoScrollPhase, false),
       {{V3D_WM_MOUSEWHEEL, V3D_MK_SHIFT | (std::uintptr_t{0xFF88} << 16), lp(500, 600)}}},
      {std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"),
       {{V3D_WM_KEYDOWN, 0x41, 1}, {V3D_WM_CHAR, 'a', 1}}},
      {std::make_unique<QKeyEvent>(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, "a"),
       {{V3D_WM_KEYUP, 0x41, 0xC0000001}}},
      {std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier),
       {{V3D_WM_KEYDOWN, 0x25, 1}}},
      {std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier),
       {{V3D_WM_KEYDOWN, 0x7B, 1}}},
      {std::make_unique<QKeyEvent>(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, "!"),
       {{V3D_WM_CHAR, '!', 1}}},
      {std::make_unique<QResizeEvent>(QSize(640, 480), QSize(1, 1)),
       {{V3D_WM_SIZE, 0, lp(640, 480)}}},
      {std::make_unique<QEvent>(QEvent::Enter), {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(shell::qt::moduleMessages(*c.event), c.expected) << "event type " << c.event->type();
}

TEST_F(HostQtTest, DisplayPanesHandEveryEventToTheHooksFirst) {
  TempDir dir;
  put(dir, "same_handler", "same.so");
  host.scan({dir.path});
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 2, 30, 30, nullptr, &v), 0);
  DisplayVolume(v);
  shell::qt::DisplayPane* pane = frame.windows().displaysOf(v).at(0)->pane();

  QMouseEvent move(QEvent::MouseMove, QPointF(5, 6), pane->mapToGlobal(QPointF(5, 6)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(pane, &move);
  EXPECT_EQ(probe<void* (*)()>(dir, "same.so", "tm_last_window")(), pane);
  EXPECT_EQ(probe<unsigned (*)()>(dir, "same.so", "tm_last_message")(), V3D_WM_MOUSEMOVE);
  EXPECT_EQ(probe<std::intptr_t (*)()>(dir, "same.so", "tm_last_lparam")(), (6 << 16) | 5);

  // A claimed right press never starts the pane's rubber band, so the VOI stays whole.
  probe<void (*)(unsigned, int, int)>(dir, "same.so", "tm_claim")(V3D_WM_RBUTTONDOWN, 0, 0);
  QTest::mousePress(pane, Qt::RightButton, {}, at(2, 2));
  QTest::mouseRelease(pane, Qt::RightButton, {}, at(10, 10));
  EXPECT_EQ(v->voiX0, 0);
  EXPECT_EQ(v->voiX1, 30);
  // Unclaimed, the pane handles it.
  probe<void (*)(unsigned, int, int)>(dir, "same.so", "tm_claim")(0, 0, 0);
  QTest::mousePress(pane, Qt::RightButton, {}, at(2, 2));
  QTest::mouseRelease(pane, Qt::RightButton, {}, at(10, 10));
  EXPECT_EQ(v->voiX0, 2);
  EXPECT_GT(call(dir, "same.so", "tm_messages"), 4);
  freedisWin(v);
}

// A frame gallery of `v`'s whole VOI, 3 frames per row, shown in a projection window.
shell::qt::ProjectionWindow* showGallery(shell::qt::WindowRegistry& windows, Volume* v) {
  const shell::GalleryParameters gp{0, v->Y, 0, v->X, 0, v->Z, 3, 0};
  int w = 0, h = 0;
  if (!shell::galleryPictureSize(gp, &w, &h)) return nullptr;
  shell::ProjectionPtr p(CreateProjection(shell::kFrameGalleryType, v, sizeof gp));
  shell::BufferPtr b(
      CreateBuffer(v->colorType == V3D_ONE_CHANNEL ? V3D_BUFFER_GREY : V3D_BUFFER_COLOUR, w, h));
  if (!p || !b) return nullptr;
  std::memcpy(p->extra, &gp, sizeof gp);
  if (shell::produceGalleryPicture(*p, *b) != 0) return nullptr;
  void* window = DisplayProjection(p.get(), b.get(), "Frame Gallery of Volume  1.");
  if (window == nullptr) return nullptr;
  p.release();
  b.release();
  auto all = windows.projectionsOf(v);
  return all.empty() || all.back() != window ? nullptr : all.back();
}

// Whether the pane shows the buffer: every pixel of the grabbed pane against the planes.
bool showsBuffer(shell::qt::ProjectionWindow* w) {
  const V3dBuffer& b = *w->buffer();
  const QImage shown = w->pane()->grab().toImage().convertToFormat(QImage::Format_RGB32);
  if (shown.width() != b.width || shown.height() != b.height) return false;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x) {
      const QRgb px = shown.pixel(x, y);
      const int r = b.plane[0][y][x];
      const int g = b.kind == V3D_BUFFER_COLOUR ? b.plane[1][y][x] : r;
      const int bl = b.kind == V3D_BUFFER_COLOUR ? b.plane[2][y][x] : r;
      if (qRed(px) != r || qGreen(px) != g || qBlue(px) != bl) return false;
    }
  return true;
}

TEST_F(HostQtTest, ProjectionWindowsShowTheirBufferAndCloseWithTheirVolume) {
  for (int color : {V3D_ONE_CHANNEL, V3D_THREE_CHANNELS}) {
    Volume* v = nullptr;
    ASSERT_EQ(CreateVolumeEx(V3D_UC, color, 5, 30, 40, nullptr, &v), 0);
    for (int c = 0; c < (color == V3D_ONE_CHANNEL ? 1 : 3); ++c)
      for (int z = 0; z < 5; ++z)
        for (int y = 0; y < 30; ++y)
          for (int x = 0; x < 40; ++x)
            static_cast<unsigned char***>(v->channel[c])[z][y][x] =
                static_cast<unsigned char>(x * 6 + y * 2 + z * 40 + c * 70);
    const long blocks = liveStorageBlocks();
    shell::qt::ProjectionWindow* w = showGallery(frame.windows(), v);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Frame Gallery of Volume  1.");
    EXPECT_EQ(w->buffer()->width, 300);
    EXPECT_EQ(w->buffer()->height, 2 * 75);
    EXPECT_TRUE(showsBuffer(w));

    // A change of the volume makes the gallery again.
    const unsigned char before = w->buffer()->plane[0][40][40];
    static_cast<unsigned char***>(v->channel[0])[0][15][20] ^= 0xFF;
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) static_cast<unsigned char***>(v->channel[0])[0][y][x] = 3;
    DisplayVolume(v);
    EXPECT_EQ(w->buffer()->plane[0][40][40], 3);
    EXPECT_NE(before, 3);
    EXPECT_TRUE(showsBuffer(w));

    // freedisWin closes it with the displays, and the window frees buffer and projection.
    freedisWin(v);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame.windows().projectionsOf(v).empty());
    EXPECT_TRUE(frame.windows().displaysOf(v).empty());
    EXPECT_LE(liveStorageBlocks(), blocks);
    resetVolumeTable();
  }
}

TEST_F(HostQtTest, SaveProjectionIsGreyedWithoutASaverAndHandsTheBufferToIt) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 30, 30, nullptr, &v), 0);
  shell::qt::ProjectionWindow* plain = showGallery(frame.windows(), v);
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(plain->saveAction(), nullptr);
  EXPECT_EQ(plain->saveAction()->objectName(), "1000");
  EXPECT_EQ(plain->saveAction()->text(), "&Save Projection");
  EXPECT_FALSE(plain->saveAction()->isEnabled());

  TempDir dir;
  put(dir, "saver", "volstore.so");
  host.scan({dir.path});
  ASSERT_TRUE(host.saverPresent());
  shell::qt::ProjectionWindow* saving = showGallery(frame.windows(), v);
  ASSERT_NE(saving, nullptr);
  ASSERT_TRUE(saving->saveAction()->isEnabled());
  saving->saveAction()->trigger();
  EXPECT_EQ(probe<void* (*)()>(dir, "volstore.so", "ts_buffer")(), saving->buffer());
  freedisWin(v);
}

TEST_F(HostQtTest, ProjectionPanesHandTheirEventsToTheProjectionHooks) {
  TempDir dir;
  put(dir, "same_handler", "same.so");
  host.scan({dir.path});
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 30, 30, nullptr, &v), 0);
  shell::qt::ProjectionWindow* w = showGallery(frame.windows(), v);
  ASSERT_NE(w, nullptr);
  QMouseEvent move(QEvent::MouseMove, QPointF(7, 3), w->pane()->mapToGlobal(QPointF(7, 3)),
                   Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w->pane(), &move);
  EXPECT_EQ(probe<void* (*)()>(dir, "same.so", "tm_last_window")(), w->pane());
  EXPECT_EQ(probe<unsigned (*)()>(dir, "same.so", "tm_last_message")(), V3D_WM_MOUSEMOVE);
  freedisWin(v);
}

TEST(HostProgram, ShowsAModulesPopupFromTheModulePath) {
  TempDir dir;
  put(dir, "three_items", "three.so");
  const std::string command = "VELMORA3D_MODULE_PATH='" + dir.path +
                              "' QT_QPA_PLATFORM=offscreen '" V3D_PROGRAM "' --print-menus";
  FILE* pipe = ::popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
  ASSERT_EQ(::pclose(pipe), 0);
  // The program's own directory (where motionfield.so and projector.so are built, listed in
  // the directory's order) is scanned before the path.
  const auto motion = out.find(
      "  &Motion Estimation\n"
      "    &Block Matching\n");
  const auto projections = out.find(
      "  &Projections\n"
      "    Projection &Viewer\n");
  const auto three = out.find(
      "  Three Items\n"
      "    &Alpha\n"
      "    &Beta\n"
      "    -\n"
      "    &Gamma\n");
  ASSERT_NE(out.find("&Modules\n"), std::string::npos) << out;
  ASSERT_NE(motion, std::string::npos) << out;
  ASSERT_NE(projections, std::string::npos) << out;
  ASSERT_NE(three, std::string::npos) << out;
  EXPECT_LT(motion, three) << out;
  EXPECT_LT(projections, three) << out;
  EXPECT_TRUE(out.ends_with("&Help\n  &About ...\n&Window\n  &Tile\n  &Cascade\n  Close &All\n"))
      << out;
}

}  // namespace
}  // namespace v3d::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
