// shadeview.so in the program: loaded by the module host from a directory, its "&Surface
// Rendering" popup in the frame's Modules menu with the items' states, and its commands run
// from the menu with the program's volume dialogs answered by the scripted desk and the
// module's own dialogs answered on a timer.
#include <stdlib.h>

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <filesystem>
#include <fstream>

#include "core/table.h"
#include "fixtures.h"
#include "host/module_host.h"
#include "motionfield_qt_support.h"
#include "shell/qt/frame.h"
#include "shell/qt/module_glue.h"
#include "shell/scripted_desk.h"

namespace v3d::test {
namespace {

struct ModuleDir {
  ModuleDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "v3d_shadeview_XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~ModuleDir() { std::filesystem::remove_all(path); }
  std::string path;
};

// A 10-unit cube on layer 1 of 1, as the surface script writer lays it out.
void writeCube(const std::string& path) {
  std::ofstream out(path);
  out << "Layer\nNew\n1\nColor\n1\n1\n\nLayer\nSet\n1\n\n";
  const int quads[6][4] = {{0, 1, 3, 2}, {4, 5, 7, 6}, {0, 1, 5, 4},
                           {2, 3, 7, 6}, {0, 2, 6, 4}, {1, 3, 7, 5}};
  for (const auto& q : quads)
    for (const auto& t : {std::array{q[0], q[1], q[2]}, std::array{q[0], q[2], q[3]}}) {
      out << "3DFACE ";
      for (int k : t)
        out << (k & 1) * 10 << "," << (k >> 1 & 1) * 10 << "," << (k >> 2) * 10 << "\n";
      out << "\n\n";
    }
}

class ShadeInProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    previous = installModuleHost(&host);
    host.setShellWindows(&frame, frame.mdiArea(), dir.path);
    frame.moduleRouter = [this](std::uintptr_t w) { host.route(w); };
    std::filesystem::copy_file(V3D_BINARY_DIR "/shadeview.so", dir.path + "/shadeview.so");
    host.scan({dir.path});
    frame.resize(1000, 700);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  }
  void TearDown() override {
    frame.mdiArea()->closeAllSubWindows();
    QApplication::processEvents();
    frame.moduleRouter = nullptr;
    installModuleHost(previous);
    resetVolumeTable();
  }
  QMenu* popup() {
    QMenu* modules = frame.menuBar()->actions().value(3)->menu();
    if (modules == nullptr || modules->actions().isEmpty()) return nullptr;
    return modules->actions()[0]->menu();
  }
  // The popup's items without its separators.
  QList<QAction*> items() {
    QList<QAction*> out;
    if (QMenu* p = popup())
      for (QAction* a : p->actions())
        if (!a->isSeparator()) out.push_back(a);
    return out;
  }
  std::vector<bool> enabled() {
    std::vector<bool> out;
    for (QAction* a : items()) out.push_back(a->isEnabled());
    return out;
  }
  void answerFile(const std::string& path, const QString& title) {
    answerModal<QFileDialog>([=](QFileDialog* d) {
      EXPECT_EQ(d->windowTitle(), title);
      d->selectFile(QString::fromStdString(path));
      static_cast<QDialog*>(d)->accept();  // QFileDialog::accept, through the base
    });
  }
  void answerText(const char* text, const QString& title) {
    answerModal<QDialog>(
        [=](QDialog* d) {
          EXPECT_EQ(d->windowTitle(), title);
          control<QLineEdit>(*d, 1000)->setText(text);
          control<QPushButton>(*d, 1)->click();
        },
        "102");
  }
  QMdiSubWindow* renderingWindow() {
    for (QMdiSubWindow* w : frame.mdiArea()->subWindowList())
      if (w->windowTitle() == "Surface Rendering") return w;
    return nullptr;
  }

  ModuleDir dir;
  shell::qt::Frame frame;
  shell::qt::ModuleMenu sink{frame};
  host::ModuleHost host{sink};
  host::ModuleHost* previous = nullptr;
  shell::ScriptedDesk desk;
};

TEST_F(ShadeInProgram, ThePopupHasSevenItemsTwoSeparatorsAndTheInitialStates) {
  QMenu* p = popup();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(frame.menuBar()->actions().value(3)->menu()->actions()[0]->text(),
            "&Surface Rendering");
  QStringList texts;
  for (QAction* a : p->actions()) texts << (a->isSeparator() ? "|" : a->text());
  EXPECT_EQ(texts, QStringList({"Build &Surface Script", "|", "Build &Lines Script",
                                "&Read Lines Script", "|", "&Interactive Rendering",
                                "Set Object &Colors", "&Take Snapshot", "&Make Movie"}));
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true, false, false, false}));
}

TEST_F(ShadeInProgram, RenderingSnapshotMovieAndColoursRunFromTheMenu) {
  const std::string script = dir.path + "/cube.scr";
  writeCube(script);
  answerFile(script, "Open Script File");
  items()[3]->trigger();
  QMdiSubWindow* window = renderingWindow();
  ASSERT_NE(window, nullptr);
  if (desk.lastMessage() == "System does not support OpenGL requirements")
    GTEST_SKIP() << "no OpenGL context";
  EXPECT_TRUE(desk.messages.empty()) << desk.lastMessage();
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, false, true, true, true}));
  EXPECT_EQ(window->geometry().topLeft(), QPoint(280, 50));
  QApplication::processEvents();

  desk.script({shell::pick("New[0]")});
  items()[5]->trigger();
  Volume* snap = volumeSlot(0);
  ASSERT_EQ(std::tie(snap->dataType, snap->colorType, snap->Z), std::make_tuple(1, 2, 1));
  EXPECT_EQ(desk.dialogTitles.back(), "Select Output Volume");
  int drawn = 0;
  for (int y = 0; y < snap->Y; ++y)
    for (int x = 0; x < snap->X; ++x) drawn += at<UC>(snap, 0, 0, y, x) > 0;
  EXPECT_GT(drawn, snap->X * snap->Y / 50) << "the cube is in the snapshot";

  answerText("3", "Make Movie");
  desk.script({shell::pick("New[1]")});
  items()[6]->trigger();
  Volume* movie = volumeSlot(1);
  EXPECT_EQ(std::tie(movie->Z, movie->Y, movie->X), std::make_tuple(3, snap->Y, snap->X));
  EXPECT_TRUE(desk.messages.empty()) << desk.lastMessage();
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  items()[4]->trigger();
  QDialog* colours = frame.findChild<QDialog*>("101");
  ASSERT_NE(colours, nullptr);
  EXPECT_EQ(colours->windowTitle(), "Set Object Colors");
  items()[4]->trigger();
  EXPECT_EQ(frame.findChildren<QDialog*>("101").size(), 1) << "one colour dialog at a time";

  // Closing the window closes the colour dialog and restores the items.
  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(renderingWindow(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(frame.findChild<QDialog*>("101"), nullptr);
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true, false, false, false}));
}

TEST_F(ShadeInProgram, AnUnreadableScriptLeavesNoWindowButEnablesTheColourItem) {
  const std::string script = dir.path + "/broken.scr";
  std::ofstream(script) << "Layer\nMove\n";
  answerFile(script, "Open Script File");
  items()[3]->trigger();
  EXPECT_EQ(renderingWindow(), nullptr);
  ASSERT_EQ(desk.messages.size(), 1u);
  const bool noGl = desk.lastMessage() == "System does not support OpenGL requirements";
  EXPECT_TRUE(noGl || desk.lastMessage() == "File parsing error") << desk.lastMessage();
  EXPECT_EQ(desk.messages[0].caption, "VELMORA3D for Windows");
  EXPECT_EQ(enabled(), (std::vector<bool>{true, true, true, true, true, false, false}));
}

TEST_F(ShadeInProgram, ScriptCommandsAskForTheVolumeFileAndDistance) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 3, 20, 20, nullptr, &v), 0);
  const std::string script = dir.path + "/lines.scr";
  desk.script({shell::pick("0")});
  answerFile(script, "Select Output Script File");
  answerText("abc", "Interlayer Distance");
  items()[1]->trigger();
  EXPECT_EQ(desk.dialogTitles.back(), "Select Input Volume");
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  EXPECT_FALSE(std::filesystem::exists(script));
}

TEST_F(ShadeInProgram, ALinesScriptIsWrittenFromAVolumeAndReadBackIntoAnother) {
  // A 10 x 10 red square in each of two frames, on black.
  Volume* painted = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 2, 24, 24, nullptr, &painted), 0);
  for (int z = 0; z < 2; ++z)
    for (int y = 6; y < 16; ++y)
      for (int x = 6; x < 16; ++x) at<UC>(painted, 0, z, y, x) = 255;
  Volume* drawn = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 2, 24, 24, nullptr, &drawn), 0);
  const std::string script = dir.path + "/square.scr";

  desk.script({shell::pick("0")});
  answerFile(script, "Select Output Script File");
  answerText("1", "Interlayer Distance");
  items()[1]->trigger();
  ASSERT_TRUE(desk.messages.empty()) << desk.lastMessage();
  ASSERT_TRUE(std::filesystem::exists(script));

  answerFile(script, "Select Script File to Open");
  desk.script({shell::pick("1")});
  answerText("1", "Interlayer Distance");
  items()[2]->trigger();
  EXPECT_TRUE(desk.messages.empty()) << desk.lastMessage();
  // The square's outline is drawn in both frames, inside the square's box, and nothing else.
  for (int z = 0; z < 2; ++z) {
    int on = 0, outside = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x) {
        const bool lit = at<UC>(drawn, 0, z, y, x) + at<UC>(drawn, 1, z, y, x) > 0;
        on += lit;
        outside += lit && (y < 6 || y > 15 || x < 6 || x > 15);
      }
    EXPECT_GT(on, 20) << "frame " << z;
    EXPECT_EQ(outside, 0) << "frame " << z;
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace v3d::test
