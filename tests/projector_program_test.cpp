// projector.so in the program: loaded by the module host from a directory, its item under
// "&Modules", its command run through the scripted desk, the picture of its window, a drag
// that turns it, the update request after a change of the volume, the panel's controls and a
// turntable volume checked frame by frame against the library called directly.
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <filesystem>

#include "core/samples.h"
#include "core/table.h"
#include "fixtures.h"
#include "host/module_host.h"
#include "projections/projections.h"
#include "projections_reference.h"
#include "shell/exports.h"
#include "shell/projection_model.h"
#include "shell/qt/frame.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/projection_window.h"
#include "shell/qt/window_registry.h"
#include "shell/scripted_desk.h"

namespace v3d::test {
namespace {

struct ModuleDir {
  ModuleDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "v3d_projector_XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~ModuleDir() { std::filesystem::remove_all(path); }
  std::string path;
};

bool samePicture(const V3dBuffer& b, Picture& want, int channels) {
  for (int c = 0; c < channels; ++c)
    for (int y = 0; y < b.height; ++y)
      for (int x = 0; x < b.width; ++x)
        if (b.plane[c][y][x] != want.at(c, y, x)) return false;
  return true;
}

class ProjectorInProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    previous = installModuleHost(&host);
    host.setShellWindows(&frame, frame.mdiArea(), dir.path);
    frame.moduleRouter = [this](std::uintptr_t w) { host.route(w); };
    std::filesystem::copy_file(V3D_BINARY_DIR "/projector.so", dir.path + "/projector.so");
    host.scan({dir.path});
  }
  void TearDown() override {
    for (int i = 0; i < kTableSlots; ++i) freedisWin(volumeSlot(i));
    QApplication::processEvents();
    frame.moduleRouter = nullptr;
    installModuleHost(previous);
    resetVolumeTable();
  }
  // Chooses "Projection &Viewer" with the scripted desk answering the input dialog with
  // slot 0; returns the viewer's window.
  shell::qt::ProjectionWindow* openViewer() {
    QMenu* modules = frame.menuBar()->actions().value(3)->menu();
    EXPECT_NE(modules, nullptr);
    if (modules == nullptr) return nullptr;
    EXPECT_EQ(modules->actions().value(0)->text(), "&Projections");
    QMenu* popup = modules->actions().value(0)->menu();
    EXPECT_EQ(popup->actions().value(0)->text(), "Projection &Viewer");
    desk.script({shell::pick("0")});
    popup->actions()[0]->trigger();
    EXPECT_TRUE(desk.scriptDone());
    auto windows = frame.mdiArea()->findChildren<shell::qt::ProjectionWindow*>();
    return windows.size() == 1 ? windows[0] : nullptr;
  }
  QWidget* panel() { return frame.mdiArea()->findChild<QWidget*>("projectorPanel"); }
  // A press, a move with the button held and a release on the picture.
  static void drag(QWidget* pane, QPoint from, QPoint to) {
    QMouseEvent press(QEvent::MouseButtonPress, from, pane->mapToGlobal(from), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane, &press);
    QMouseEvent move(QEvent::MouseMove, to, pane->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(pane, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, to, pane->mapToGlobal(to), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pane, &release);
  }

  ModuleDir dir;
  shell::qt::Frame frame;
  shell::qt::ModuleMenu sink{frame};
  host::ModuleHost host{sink};
  host::ModuleHost* previous = nullptr;
  shell::ScriptedDesk desk;  // after the frame: it answers GetInputVolume
};

TEST_F(ProjectorInProgram, ViewerDrawsTurnsFollowsItsVolumeAndMakesATurntable) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 20, 24, 28, nullptr, &v), 0);
  fillRandom(v, 21);
  shell::qt::ProjectionWindow* w = openViewer();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), "Projections of Volume 0");
  EXPECT_EQ(w->projection()->volume, v);
  EXPECT_GE(w->projection()->type, 2) << "a type of its own, after the shell's two";
  const V3dBuffer& b = *w->buffer();
  ASSERT_EQ(std::make_tuple(b.kind, b.width, b.height), std::make_tuple(1, 64, 64));
  QWidget* controls = panel();
  ASSERT_NE(controls, nullptr);
  EXPECT_EQ(controls->windowTitle(), "Projection Controls of Volume 0");

  // The first view: the maximum at (30, 20).
  Picture want(1, 64, 64);
  ASSERT_EQ(ProvoliMax3d(v, want.get(), 64, 64, 30, 20, 0), 0);
  EXPECT_TRUE(samePicture(b, want, 1));

  // A drag of 20 pixels to the right turns it by 10 degrees; the slider follows.
  drag(w->pane(), QPoint(10, 10), QPoint(30, 10));
  EXPECT_EQ(controls->findChild<QSlider*>("angle1")->value(), 40);
  ASSERT_EQ(ProvoliMax3d(v, want.get(), 64, 64, 40, 20, 0), 0);
  EXPECT_TRUE(samePicture(b, want, 1));

  // A change of the volume reaches the window as the update request.
  for (int y = 0; y < 24; ++y) channelData<UC>(*v, 0)[10][y][14] = 255;
  DisplayVolume(v);
  ASSERT_EQ(ProvoliMax3d(v, want.get(), 64, 64, 40, 20, 0), 0);
  EXPECT_TRUE(samePicture(b, want, 1));

  // The depth-shaded rule at threshold 200, from the panel.
  controls->findChild<QSpinBox*>("threshold0")->setValue(200);
  controls->findChild<QComboBox*>("rule")->setCurrentIndex(4);
  unsigned char threshold = 200;
  ASSERT_EQ(Provoli3dSurface(v, want.get(), 64, 64, 40, 20, 0, &threshold, 0), 0);
  EXPECT_TRUE(samePicture(b, want, 1));

  // Four views around the vertical axis into a new volume, each the library's picture.
  controls->findChild<QSpinBox*>("views")->setValue(4);
  controls->findChild<QPushButton*>("turntable")->click();
  Volume* t = volumeSlot(1);
  ASSERT_EQ(std::make_tuple(t->dataType, t->Z, t->Y, t->X), std::make_tuple(1, 4, 64, 64));
  EXPECT_STREQ(t->information, "Turntable of vol 0");
  EXPECT_EQ(frame.windows().displaysOf(t).size(), 1u) << "shown like any volume";
  for (int k = 0; k < 4; ++k) {
    ASSERT_EQ(Provoli3dSurface(v, want.get(), 64, 64, 40.0f + 90.0f * k, 20, 0, &threshold, 0), 0);
    int differ = 0;
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) differ += channelData<UC>(*t, 0)[k][y][x] != want.at(0, y, x);
    EXPECT_EQ(differ, 0) << "frame " << k;
  }

  // Closing the volume's windows takes the panel with the viewer.
  freedisWin(v);
  for (int i = 0; i < 3; ++i) QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(panel(), nullptr);
  EXPECT_TRUE(desk.messages.empty()) << desk.lastMessage();
}

TEST_F(ProjectorInProgram, ColourVolumesGetAColourPictureAndCancelOpensNothing) {
  desk.script({shell::cancel()});
  QMenu* popup = frame.menuBar()->actions().value(3)->menu()->actions().value(0)->menu();
  popup->actions()[0]->trigger();
  EXPECT_TRUE(frame.mdiArea()->findChildren<shell::qt::ProjectionWindow*>().isEmpty());

  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 8, 9, 10, nullptr, &v), 0);
  fillRandom(v, 3);
  shell::qt::ProjectionWindow* w = openViewer();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->buffer()->kind, V3D_BUFFER_COLOUR);
  Picture want(3, 64, 64);
  ASSERT_EQ(ProvoliMax3d(v, want.get(), 64, 64, 30, 20, 0), 0);
  EXPECT_TRUE(samePicture(*w->buffer(), want, 3));
  EXPECT_NE(panel()->findChild<QSpinBox*>("threshold2"), nullptr) << "one per channel";
}

}  // namespace
}  // namespace v3d::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  v3d::shell::registerShellProjectionTypes();  // as the program does before loading modules
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
