// motionfield.so in the program: loaded by the module host from a directory, its item in the
// frame's Modules menu, its command run through the real volume dialog and its options dialog,
// the volumes it makes and the display windows opened on them.
#include <stdlib.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>
#include <map>

#include "shell/exports.h"
#include "core/samples.h"
#include "core/table.h"
#include "host/module_host.h"
#include "motionfield_fixtures.h"
#include "motionfield_qt_support.h"
#include "shell/dialogs.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/views.h"
#include "shell/qt/window_registry.h"

namespace v3d::test {
namespace {

// A fresh directory for the module to be loaded from, removed with the object.
struct ModuleDir {
  ModuleDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "v3d_motionfield_XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~ModuleDir() { std::filesystem::remove_all(path); }
  std::string path;
};

class MotionInProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    previous = installModuleHost(&host);
    host.setShellWindows(&frame, frame.mdiArea(), dir.path);
    frame.moduleRouter = [this](std::uintptr_t w) { host.route(w); };
    std::filesystem::copy_file(V3D_BINARY_DIR "/motionfield.so", dir.path + "/motionfield.so");
    host.scan({dir.path});
  }
  void TearDown() override {
    for (int i = 0; i < kTableSlots; ++i) freedisWin(volumeSlot(i));
    frame.moduleRouter = nullptr;
    installModuleHost(previous);
    resetVolumeTable();
  }
  // Slot 0: 5 frames of 30 x 40 moving 2 right and 1 down per frame.
  Volume* makeInput() {
    Volume* v = nullptr;
    EXPECT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 5, 30, 40, nullptr, &v), 0);
    fillMoving(v, 2, 1, 5);
    return v;
  }
  // Chooses "&Block Matching" in the Modules menu, picks slot 0 in the input dialog and
  // answers the options dialog with `edits` and a click on each of `boxes`.
  void runBlockMatching(std::map<int, const char*> edits, std::vector<int> boxes) {
    QMenu* modules = frame.menuBar()->actions().value(3)->menu();
    ASSERT_NE(modules, nullptr);
    ASSERT_EQ(modules->actions().size(), 1);
    EXPECT_EQ(modules->actions()[0]->text(), "&Motion Estimation");
    QMenu* popup = modules->actions()[0]->menu();
    ASSERT_NE(popup, nullptr);
    ASSERT_EQ(popup->actions().size(), 1);
    EXPECT_EQ(popup->actions()[0]->text(), "&Block Matching");

    answerModal<shell::qt::VolumeDialogView>([](shell::qt::VolumeDialogView* d) {
      EXPECT_EQ(d->windowTitle(), "Select Input Volume");
      control<QListWidget>(*d, shell::kCtlList)->setCurrentRow(0);
      control<QPushButton>(*d, shell::kCtlOk)->click();
    });
    QWidget* main = &frame;
    answerModal<QDialog>(
        [=](QDialog* d) {
          EXPECT_EQ(d->parentWidget(), main) << "the options dialog sits over the frame";
          for (const auto& [id, text] : edits) control<QLineEdit>(*d, id)->setText(text);
          for (int id : boxes) clickBox(control<QAbstractButton>(*d, id));
          control<QPushButton>(*d, 1)->click();
        },
        "101");
    popup->actions()[0]->trigger();
  }

  ModuleDir dir;
  shell::qt::Frame frame;
  shell::qt::ModuleMenu sink{frame};
  host::ModuleHost host{sink};
  host::ModuleHost* previous = nullptr;
};

TEST_F(MotionInProgram, BlockMatchingMakesTheVolumesAndOpensDisplaysOfTheDisplaysOnly) {
  Volume* input = makeInput();
  // Blocks 8 x 6 stepped by 4 and 3, full search, the field and the X displacements.
  runBlockMatching(
      {{1000, "8"}, {1001, "6"}, {1002, "1"}, {1003, "4"}, {1004, "3"}, {1005, "3"}, {1006, "2"}},
      {1012, 1013, 1015});
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone";
  Volume *vx = volumeSlot(1), *vy = volumeSlot(2), *field = volumeSlot(3), *dx = volumeSlot(4);
  EXPECT_STREQ(field->information, "Motion Vector Field");
  EXPECT_STREQ(dx->information, "Motion Vector X Displacements");
  ASSERT_EQ(std::tie(vx->Z, vx->Y, vx->X, field->Z), std::make_tuple(4, 10, 10, 4));
  EXPECT_TRUE(frame.windows().displaysOf(vx).empty() && frame.windows().displaysOf(vy).empty());
  EXPECT_EQ(frame.windows().displaysOf(field).size(), 1u);
  EXPECT_EQ(frame.windows().displaysOf(dx).size(), 1u);

  // The full search finds the motion wherever the block and its match lie inside the frame.
  int wrong = 0;
  for (int k = 0; k < 4; ++k)
    for (int i = 2; i < 8; ++i)
      for (int j = 2; j < 8; ++j)
        wrong += channelData<int32_t>(*vx, 0)[k][i][j] != 2 ||
                 channelData<int32_t>(*vy, 0)[k][i][j] != 1;
  EXPECT_EQ(wrong, 0);
  // The field shows the later frame of each pair, with the vectors drawn in white.
  int drawn = 0, neither = 0;
  for (int n = 0; n < 4; ++n)
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        const UC f = channelData<UC>(*field, 0)[n][y][x];
        const UC in = channelData<UC>(*input, 0)[n + 1][y][x];
        drawn += f != in;
        neither += f != in && f != 255;
      }
  EXPECT_GT(drawn, 0);
  EXPECT_EQ(neither, 0);
}

TEST_F(MotionInProgram, AFailedEstimationDestroysTheVectorVolumesAndSaysWhy) {
  makeInput();
  SeenBox seen;
  answerMessageBox(seen);
  // Search Y made to differ before "Orthogonal Search" greys it.
  runBlockMatching({{1002, "1"}, {1006, "8"}}, {1010, 1015});
  EXPECT_EQ(seen.title, "VELMORA3D for Windows");
  EXPECT_EQ(seen.text, "Invalid parameters");
  for (int i = 1; i < kTableSlots; ++i) EXPECT_EQ(volumeSlot(i)->dataType, 0) << i;
  EXPECT_EQ(frame.mdiArea()->subWindowList().size(), 0);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace v3d::test
