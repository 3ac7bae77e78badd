// A whole session recorded through the real frame and the Qt desk (offscreen): open a TIFF
// sequence, median, threshold, create and clear a structuring element, dilation, label, and
// "&Save" as a TIFF stack through volstore.so. The macro is then replayed by the program in
// batch mode, with no display, and every file and every volume must be the same, byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "core/image_sequence.h"
#include "core/table.h"
#include "host/module_host.h"
#include "shell/command_ids.h"
#include "shell/demo_volume.h"
#include "shell/dialogs.h"
#include "shell/exports.h"
#include "shell/macro_directives.h"
#include "shell/macro_recorder.h"
#include "shell/open_dialog.h"
#include "shell/qt/frame.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/open_view.h"
#include "volstore/qt/save_dialog.h"
#include "volstore/texts.h"

namespace v3d::test {
namespace {

namespace fs = std::filesystem;
using Step = std::function<bool(QWidget*)>;

std::string contents(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

template <class W>
W* named(QWidget* parent, int id) {
  return parent->findChild<W*>(QString::number(id));
}

// Answers the modal dialogs that come up, in order: each step is tried on the active modal
// widget and says whether it was its dialog.
void answerInOrder(std::vector<Step> steps) {
  if (steps.empty()) return;
  auto* timer = new QTimer;
  timer->setInterval(0);
  auto next = std::make_shared<std::size_t>(0);
  QObject::connect(timer, &QTimer::timeout, [timer, steps, next] {
    QWidget* w = QApplication::activeModalWidget();
    if (w == nullptr || *next >= steps.size() || !steps[*next](w)) return;
    if (++*next == steps.size()) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

// The volume dialog `resource` with the row `label` chosen.
Step volume(int resource, const QString& label) {
  return [=](QWidget* w) {
    if (w->objectName() != QString::number(resource)) return false;
    auto* list = named<QListWidget>(w, shell::kCtlList);
    const auto items = list->findItems(label, Qt::MatchExactly);
    EXPECT_EQ(items.size(), 1) << label.toStdString();
    if (items.isEmpty()) return false;
    list->setCurrentItem(items[0]);
    named<QPushButton>(w, shell::kCtlOk)->click();
    return true;
  };
}

Step values(int resource, const QStringList& texts) {
  return [=](QWidget* w) {
    if (w->objectName() != QString::number(resource)) return false;
    for (int i = 0; i < texts.size(); ++i)
      named<QLineEdit>(w, shell::ValueDialog::kFirstEdit + i)->setText(texts[i]);
    named<QPushButton>(w, shell::kCtlOk)->click();
    return true;
  };
}

Step button(QMessageBox::StandardButton which) {
  return [=](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr || box->button(which) == nullptr) return false;
    box->button(which)->click();
    return true;
  };
}

Step fileName(const std::string& path) {
  return [=](QWidget* w) {
    auto* d = qobject_cast<QFileDialog*>(w);
    if (d == nullptr || dynamic_cast<shell::qt::OpenDialogView*>(w) != nullptr) return false;
    d->selectFile(QString::fromStdString(path));
    static_cast<QDialog*>(d)->accept();
    return true;
  };
}

class RecordedSession : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    previous = host::installModuleHost(&host);
    host.setShellWindows(&frame, frame.mdiArea(), modules.string());
    fs::create_directories(modules);
    fs::create_directories(root / "in");
    fs::create_directories(root / "out");
    fs::copy_file(V3D_BINARY_DIR "/volstore.so", modules / "volstore.so");
    host.scan({modules.string()});
    frame.moduleRouter = [this](std::uintptr_t wParam) { host.route(wParam); };
  }
  void TearDown() override {
    frame.moduleRouter = nullptr;
    for (int i = 0; i < kTableSlots; ++i) freedisWin(volumeSlot(i));
    host::installModuleHost(previous);
    resetVolumeTable();
    fs::remove_all(root);
  }
  void run(int id, std::vector<Step> steps) {
    answerInOrder(std::move(steps));
    frame.action(id)->trigger();
  }
  // Every volume of the table, its VOI, as raw files in `folder`.
  void writeVolumes(const fs::path& folder) {
    fs::create_directories(folder);
    for (int i = 0; i < kTableSlots; ++i) {
      if (volumeSlot(i)->dataType == 0) continue;
      shell::macro::Directive d;
      d.kind = shell::macro::WriterKind::RawVolume;
      d.path = (folder / (std::to_string(i) + ".rv")).string();
      ASSERT_EQ(shell::macro::writeVolume(d, volumeSlot(i)), 0);
    }
  }

  fs::path root = fs::temp_directory_path() / ("v3d_session_" + std::to_string(::getpid()));
  fs::path modules = root / "modules";
  shell::qt::Frame frame;
  shell::qt::ModuleMenu sink{frame};
  host::ModuleHost host{sink};
  host::ModuleHost* previous = nullptr;
};

TEST_F(RecordedSession, ReplaysInBatchModeToTheSameFilesAndVolumes) {
  ASSERT_TRUE(host.saverPresent());
  // The program starts with its demo volume in slot 0; so does a batch run.
  Volume* demo = nullptr;
  ASSERT_EQ(shell::createDemoVolume(&demo), 0);
  // Six frames of 40 x 48 grey samples with a few bright blobs.
  {
    Volume v{};
    InitializeVolume(&v, 6, 40, 48, V3D_UC, V3D_ONE_CHANNEL);
    ASSERT_EQ(CreateVolume(&v), 0);
    fill_in_VOI(&v, 0, 6, 0, 40, 0, 48);
    auto*** s = static_cast<unsigned char***>(v.channel[0]);
    for (int z = 0; z < 6; ++z)
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 48; ++x) {
          const int a = (x - 12) * (x - 12) + (y - 10) * (y - 10),
                    b = (x - 33) * (x - 33) + (y - 27) * (y - 27);
          s[z][y][x] = static_cast<unsigned char>((a < 40 + z * 6 || b < 60 - z * 4 ? 200 : 30) +
                                                  (x * 7 + y * 13 + z * 5) % 23);
        }
    ASSERT_EQ(local_WriteImageSeqTIFF(&v, (root / "in" / "head").c_str(), 0, "tif", 1, 1), 0);
    DestroyVolume(&v);
  }
  const std::string macro = (root / "session.v3m").string();

  run(shell::kCmdStartRecording, {fileName(macro)});
  ASSERT_NE(shell::activeRecorder(), nullptr);
  EXPECT_FALSE(frame.action(shell::kCmdStartRecording)->isEnabled());
  EXPECT_TRUE(frame.action(shell::kCmdStopRecording)->isEnabled());

  const std::string base = (root / "in" / "head").string();
  run(shell::kCmdOpen,
      {[&](QWidget* w) {
         auto* d = dynamic_cast<shell::qt::OpenDialogView*>(w);
         if (d == nullptr) return false;
         named<QLineEdit>(w, shell::kOpenLower)->setText("0");
         named<QLineEdit>(w, shell::kOpenUpper)->setText("5");
         named<QSpinBox>(w, shell::kOpenDigitsSpin)->setValue(0);
         w->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(base));
         d->accept();
         return true;
       },
       volume(105, "New[1]")});
  ASSERT_NE(volumeSlot(1)->dataType, 0) << "the sequence is open in slot 1";
  run(shell::kCmdStandardMedian,
      {volume(102, "1"), volume(106, "New[2]"), values(109, {"3", "3", "1"})});
  run(shell::kCmdThreshold, {volume(102, "2"), volume(106, "New[3]"), values(107, {"120"})});
  run(shell::kCmdStandardMedian, {volume(102, "3"), [](QWidget* w) {  // cancelled: left out
                                    if (w->objectName() != "106") return false;
                                    named<QPushButton>(w, shell::kCtlCancel)->click();
                                    return true;
                                  }});
  run(shell::kCmdCreate, {[](QWidget* w) {
        if (w->objectName() != "113") return false;
        auto* list = named<QListWidget>(w, shell::kCtlList);
        list->setCurrentItem(list->findItems("4", Qt::MatchExactly).value(0));
        for (int id : {shell::kCtlX, shell::kCtlY, shell::kCtlZ})
          named<QLineEdit>(w, id)->setText("3");
        named<QPushButton>(w, shell::kCtlOk)->click();
        return true;
      }});
  run(shell::kCmdClear, {volume(102, "4"), values(107, {"255"})});
  run(shell::kCmdDilation, {volume(102, "3"), volume(104, "4"), volume(106, "New[5]")});
  run(shell::kCmdLabel,
      {button(QMessageBox::Yes), volume(102, "5"), volume(106, "New[6]"), button(QMessageBox::Ok)});
  run(shell::kCmdSave,
      {volume(102, "6"), [&](QWidget* w) {
         auto* d = dynamic_cast<volstore::qt::SaveDialog*>(w);
         if (d == nullptr) return false;
         d->selectNameFilter(d->nameFilters()[0]);
         emit d->filterSelected(d->nameFilters()[0]);
         d->compressionBox()->setCurrentIndex(1);
         d->selectFile(QString::fromStdString((root / "out" / "result.tif").string()));
         static_cast<QDialog*>(d)->accept();
         return true;
       }});
  run(shell::kCmdStopRecording, {});
  EXPECT_EQ(shell::activeRecorder(), nullptr);
  ASSERT_TRUE(fs::exists(root / "out" / "result.tif"));

  const std::string text = contents(macro);
  for (const char* expected :
       {"command 40003 &Open\n", "command 1172 \"&Standard Median\"\n", "command 1200 &Threshold\n",
        "command 1205 \"&Label/Count objects\"\n  answer yes\n",
        "command 1040 \"&Create Volume\"\n", "command 1100 \"C&lear Volume\"\n",
        "command 1242 &Dilation\n", "write-tiff-stack 6 "})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
  EXPECT_EQ(text.find("command 1172", text.find("command 1172") + 1), std::string::npos)
      << "the cancelled median is left out:\n"
      << text;

  // The interactive results move aside; the batch run writes the same names again.
  writeVolumes(root / "interactive" / "volumes");
  fs::rename(root / "out" / "result.tif", root / "interactive" / "result.tif");
  {
    std::ofstream m(macro, std::ios::app);
    for (int i = 0; i < kTableSlots; ++i)
      if (volumeSlot(i)->dataType != 0)
        m << "write-raw " << i << " \"${VOLUMES}/" << i << ".rv\"\n";
  }
  fs::create_directories(root / "batch");
  const std::string command = "env -u DISPLAY -u QT_QPA_PLATFORM " V3D_BINARY_DIR
                              "/velmora3d --batch '" +
                              macro + "' --var VOLUMES='" + (root / "batch").string() + "' > '" +
                              (root / "batch.log").string() + "' 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << contents((root / "batch.log").string());

  EXPECT_EQ(contents((root / "out" / "result.tif").string()),
            contents((root / "interactive" / "result.tif").string()));
  int compared = 0;
  for (const auto& f : fs::directory_iterator(root / "interactive" / "volumes")) {
    EXPECT_EQ(contents(f.path().string()),
              contents((root / "batch" / f.path().filename()).string()))
        << f.path().filename();
    ++compared;
  }
  EXPECT_EQ(compared, 7);  // the demo, the sequence and five results
}

}  // namespace
}  // namespace v3d::test
