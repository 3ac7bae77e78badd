// The saver: its work on the real volume library through the ordinal table (every format
// writes the VOI, failures leave no file behind, projection buffers as PNG and TIFF), its
// dialog offscreen, and volstore.so bound by the module host into a process that exports the
// program's table, "&Save" and save_buffer run with their dialogs answered.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <random>

#include "core/raw_files.h"
#include "core/samples.h"
#include "core/table.h"
#include "host/export_table.h"
#include "host/module_host.h"
#include "motionfield_qt_support.h"
#include "shell/command_ids.h"
#include "shell/dialogs.h"
#include "shell/macro_player.h"
#include "shell/macro_recorder.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/qt_desk.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/views.h"
#include "volstore/qt/save_dialog.h"
#include "volstore/saver.h"
#include "volstore/texts.h"

namespace v3d::test {
namespace {

namespace fs = std::filesystem;
using namespace v3d::volstore;

struct TempDir {
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "v3d_volstore_XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() { fs::remove_all(path); }
  std::vector<std::string> names() const {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(path)) v.push_back(e.path().filename().string());
    std::sort(v.begin(), v.end());
    return v;
  }
  std::string path;
};

struct OwnedVolume {
  Volume v{};
  OwnedVolume(int Z, int Y, int X, int type, int colour) {
    InitializeVolume(&v, Z, Y, X, type, colour);
    EXPECT_EQ(CreateVolume(&v), 0);
    std::mt19937 rng(static_cast<unsigned>(Z * 131 + type * 7 + colour));
    withSampleType(type, [&](auto tag) {
      using T = typename decltype(tag)::type;
      for (int c = 0; c < channelCount(v); ++c)
        for (int z = 0; z < Z; ++z)
          for (int y = 0; y < Y; ++y)
            for (int x = 0; x < X; ++x)
              channelData<T>(v, c)[z][y][x] =
                  static_cast<T>(std::is_same_v<T, float> ? static_cast<float>(rng()) / 7.0f
                                                          : static_cast<T>(rng()));
    });
  }
  ~OwnedVolume() { DestroyVolume(&v); }
};

// Whether `r` holds the box of `a` that starts at its VOI corner and has r's size.
bool holdsVoi(const Volume& a, const Volume& r) {
  return withSampleType(a.dataType, [&](auto tag) {
    using T = typename decltype(tag)::type;
    for (int c = 0; c < channelCount(a); ++c)
      for (int z = 0; z < r.Z; ++z)
        for (int y = 0; y < r.Y; ++y)
          if (std::memcmp(channelData<T>(a, c)[a.voiZ0 + z][a.voiY0 + y] + a.voiX0,
                          channelData<T>(r, c)[z][y], sizeof(T) * r.X) != 0)
            return false;
    return true;
  });
}

std::string contents(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

Program boundProgram() {
  Program p;
  EXPECT_TRUE(bindProgram(Velmora3DExportByOrdinal, p));
  return p;
}

TEST(Saver, NamesTheFilesOfEachFormat) {
  const auto& rows = volumeFormats();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(withExtension("/a/b", rows[0]), "/a/b.tif");
  EXPECT_EQ(withExtension("/a/b.TIFF", rows[0]), "/a/b.TIFF");
  EXPECT_EQ(withExtension("/a/b.vol", rows[2]), "/a/b.vol");
  EXPECT_EQ(withExtension("/a/b.tif", rows[2]), "/a/b.tif.rv");
  EXPECT_EQ(withExtension("/a/b", rows[3]), "/a/b.txt");
  EXPECT_EQ(sequenceDigits(1), 3);
  EXPECT_EQ(sequenceDigits(1000), 3);
  EXPECT_EQ(sequenceDigits(1001), 4);
  OwnedVolume v(20, 3, 3, V3D_UC, V3D_ONE_CHANNEL);
  fill_in_VOI(&v.v, 5, 17, 0, 3, 0, 3);
  const auto names = volumeTargets(v.v, VolumeFormat::TiffSequence, "/d/cells.tif");
  ASSERT_EQ(names.size(), 12u);
  EXPECT_EQ(names.front(), "/d/cells000.tif");
  EXPECT_EQ(names.back(), "/d/cells011.tif");
  EXPECT_EQ(volumeTargets(v.v, VolumeFormat::RawVolume, "/d/x.rv"),
            std::vector<std::string>{"/d/x.rv"});
}

TEST(Saver, EveryFormatWritesTheVoiAndOnlyItsFiles) {
  const Program p = boundProgram();
  for (int type : {V3D_UC, V3D_F, V3D_I}) {
    OwnedVolume v(6, 9, 11, type, V3D_THREE_CHANNELS);
    fill_in_VOI(&v.v, 1, 4, 2, 8, 3, 10);
    TempDir dir;
    const std::string stack = dir.path + "/s.tif", raw = dir.path + "/r.rv",
                      dump = dir.path + "/d.txt", reference = dir.path + "/ref.txt";
    ASSERT_EQ(saveVolume(p, &v.v, VolumeFormat::TiffStack, V3D_TIFF_DEFLATE, stack), 0);
    ASSERT_EQ(saveVolume(p, &v.v, VolumeFormat::TiffSequence, V3D_TIFF_LZW, dir.path + "/q.tif"),
              0);
    ASSERT_EQ(saveVolume(p, &v.v, VolumeFormat::RawVolume, V3D_TIFF_NONE, raw), 0);
    ASSERT_EQ(saveVolume(p, &v.v, VolumeFormat::TextDump, V3D_TIFF_NONE, dump), 0);
    ASSERT_EQ(dumpUCFI3D(&v.v, reference.c_str()), 0);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"d.txt", "q000.tif", "q001.tif", "q002.tif",
                                                     "r.rv", "ref.txt", "s.tif"}));
    OwnedVolume back(3, 6, 7, type, V3D_THREE_CHANNELS);
    ASSERT_EQ(ReadTiffStack(&back.v, stack.c_str()), 0);
    EXPECT_TRUE(holdsVoi(v.v, back.v));
    OwnedVolume rawBack(3, 6, 7, type, V3D_THREE_CHANNELS);
    ASSERT_EQ(ReadVolume(&rawBack.v, raw.c_str(), 0, 3, 6, 7), 0);
    EXPECT_TRUE(holdsVoi(v.v, rawBack.v));
    EXPECT_EQ(fs::file_size(raw), 3u * 3 * 6 * 7 * sampleSize(type));
    EXPECT_EQ(contents(dump), contents(reference));
    OwnedVolume frame(1, 6, 7, type, V3D_THREE_CHANNELS);
    ASSERT_EQ(ReadTiffStack(&frame.v, (dir.path + "/q002.tif").c_str()), 0);
    Volume shifted = v.v;  // the record only: its VOI starting at the third frame
    shifted.voiZ0 += 2;
    EXPECT_TRUE(holdsVoi(shifted, frame.v));
  }
}

TEST(Saver, AFailedSaveLeavesNoFileAndTheOldOneAsItWas) {
  const Program p = boundProgram();
  OwnedVolume v(8, 64, 64, V3D_F, V3D_ONE_CHANNEL);
  TempDir dir;
  for (auto format : {VolumeFormat::TiffStack, VolumeFormat::TiffSequence, VolumeFormat::RawVolume,
                      VolumeFormat::TextDump})
    EXPECT_EQ(saveVolume(p, &v.v, format, V3D_TIFF_NONE, dir.path + "/missing/x"),
              kCannotWriteFile);
  EXPECT_TRUE(dir.names().empty());
  // A full disk, as a file size limit.
  for (auto format : {VolumeFormat::RawVolume, VolumeFormat::TextDump}) {
    const std::string file = dir.path + "/old";
    { std::ofstream(file) << "old"; }
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 10000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int code = saveVolume(p, &v.v, format, V3D_TIFF_NONE, file);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldSignal);
    EXPECT_LT(code, 0);
    EXPECT_EQ(contents(file), "old");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"old"});
  }
}

// A buffer of the projection windows' layout made here.
struct TestBuffer {
  std::vector<unsigned char> block[3];
  std::vector<unsigned char*> rows[3];
  V3dBuffer b{};
  TestBuffer(int kind, int width, int height) {
    b = {kind, width, height, {nullptr, nullptr, nullptr}};
    for (int c = 0; c < (kind == V3D_BUFFER_COLOUR ? 3 : 1); ++c) {
      block[c].resize(static_cast<std::size_t>(width) * height);
      for (std::size_t k = 0; k < block[c].size(); ++k)
        block[c][k] = static_cast<unsigned char>(k * (c + 3) + c * 50);
      for (int y = 0; y < height; ++y) rows[c].push_back(block[c].data() + y * width);
      b.plane[c] = rows[c].data();
    }
  }
};

TEST(Saver, ProjectionBuffersAsPngAndTiffKeepEveryPixel) {
  const Program p = boundProgram();
  for (int kind : {V3D_BUFFER_GREY, V3D_BUFFER_COLOUR}) {
    TestBuffer t(kind, 37, 21);
    TempDir dir;
    ASSERT_EQ(saveBufferPng(&t.b, dir.path + "/p.png"), 0);
    ASSERT_EQ(saveBufferTiff(p, &t.b, V3D_TIFF_LZW, dir.path + "/p.tif"), 0);
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"p.png", "p.tif"}));
    const QImage png(QString::fromStdString(dir.path + "/p.png"));
    ASSERT_EQ(png.width(), 37);
    ASSERT_EQ(png.height(), 21);
    const int colour = kind == V3D_BUFFER_COLOUR ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
    OwnedVolume tif(1, 21, 37, V3D_UC, colour);
    ASSERT_EQ(ReadTiffStack(&tif.v, (dir.path + "/p.tif").c_str()), 0);
    for (int y = 0; y < 21; ++y)
      for (int x = 0; x < 37; ++x) {
        const QRgb px = png.pixel(x, y);
        const int want[3] = {t.b.plane[0][y][x],
                             kind == V3D_BUFFER_COLOUR ? t.b.plane[1][y][x] : t.b.plane[0][y][x],
                             kind == V3D_BUFFER_COLOUR ? t.b.plane[2][y][x] : t.b.plane[0][y][x]};
        ASSERT_EQ(qRed(px), want[0]);
        ASSERT_EQ(qGreen(px), want[1]);
        ASSERT_EQ(qBlue(px), want[2]);
        for (int c = 0; c < channelCount(tif.v); ++c)
          ASSERT_EQ(channelData<UC>(tif.v, c)[0][y][x], want[c]);
      }
  }
  // Buffers that are not pictures.
  TestBuffer bad(V3D_BUFFER_COLOUR, 4, 4);
  bad.b.plane[2] = nullptr;
  TempDir dir;
  EXPECT_EQ(saveBufferPng(&bad.b, dir.path + "/x.png"), kNullImagePointer);
  bad.b.kind = 3;
  EXPECT_EQ(saveBufferTiff(p, &bad.b, V3D_TIFF_NONE, dir.path + "/x.tif"), kInvalidParameters);
  EXPECT_EQ(saveBufferPng(nullptr, dir.path + "/x.png"), kNullImagePointer);
  EXPECT_TRUE(dir.names().empty());
}

TEST(SaverDialog, OffersTheFormatsAndCompressionForTiffOnly) {
  qt::SaveDialog d(nullptr, kTitleSaveVolume, volumeFormats());
  EXPECT_EQ(d.nameFilters(),
            (QStringList{"TIFF stack (*.tif)", "TIFF sequence, one file per frame (*.tif)",
                         "Raw volume (*.rv *.vol)", "Text dump (*.txt)"}));
  auto* box = d.findChild<QComboBox*>(kCompressionBoxName);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->count(), 3);
  const bool tiff[] = {true, true, false, false};
  for (int k = 0; k < 4; ++k) {
    d.selectNameFilter(d.nameFilters()[k]);
    emit d.filterSelected(d.nameFilters()[k]);
    EXPECT_EQ(d.formatIndex(), k);
    EXPECT_EQ(box->isEnabled(), tiff[k]) << k;
  }
  d.selectNameFilter(d.nameFilters()[0]);
  emit d.filterSelected(d.nameFilters()[0]);
  box->setCurrentIndex(2);
  EXPECT_EQ(d.compression(), V3D_TIFF_DEFLATE);
  if (const char* shots = std::getenv("V3D_SCREENSHOT_DIR")) {
    d.resize(760, 460);
    d.show();
    QApplication::processEvents();
    d.grab().save(QString(shots) + "/volstore_save_dialog.png");
  }
}

// ---- volstore.so in a process that exports the program's table ----------------------------

class SaverInProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    previous = host::installModuleHost(&host);
    host.setShellWindows(&frame, frame.mdiArea(), modules.path);
    fs::copy_file(V3D_BINARY_DIR "/volstore.so", modules.path + "/volstore.so");
    host.scan({modules.path});
  }
  void TearDown() override {
    for (int i = 0; i < kTableSlots; ++i) freedisWin(volumeSlot(i));
    host::installModuleHost(previous);
    resetVolumeTable();
  }
  // Answers the save dialog with `name` typed and the filter of `format` chosen.
  void answerSave(const std::string& name, int format, int compressionRow = 0) {
    answerModal<qt::SaveDialog>(
        [=](qt::SaveDialog* d) {
          d->selectNameFilter(d->nameFilters()[format]);
          emit d->filterSelected(d->nameFilters()[format]);
          d->compressionBox()->setCurrentIndex(compressionRow);
          d->selectFile(QString::fromStdString(name));
          static_cast<QDialog*>(d)->accept();
        },
        kSaveDialogName);
  }

  TempDir modules, files;
  shell::qt::Frame frame;
  shell::qt::ModuleMenu sink{frame};
  host::ModuleHost host{sink};
  host::ModuleHost* previous = nullptr;
};

TEST_F(SaverInProgram, SaveWritesTheChosenVolumeAndAsksBeforeReplacing) {
  ASSERT_TRUE(host.saverPresent());
  EXPECT_TRUE(frame.action(shell::kCmdSave)->isEnabled());
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_I, V3D_ONE_CHANNEL, 4, 10, 12, nullptr, &v), 0);
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 12; ++x) channelData<I32>(*v, 0)[z][y][x] = z * 100000 - y * 100 + x;
  answerModal<shell::qt::VolumeDialogView>([](shell::qt::VolumeDialogView* d) {
    control<QListWidget>(*d, shell::kCtlList)->setCurrentRow(0);
    control<QPushButton>(*d, shell::kCtlOk)->click();
  });
  const std::string name = files.path + "/vol";
  answerSave(name, 0, 1);
  frame.action(shell::kCmdSave)->trigger();
  OwnedVolume back(4, 10, 12, V3D_I, V3D_ONE_CHANNEL);
  ASSERT_EQ(ReadTiffStack(&back.v, (name + ".tif").c_str()), 0);
  EXPECT_TRUE(holdsVoi(*v, back.v));

  // Saving again over it: the question answered No brings the dialog back, whose Cancel
  // ends the command with the file as it was.
  const std::string before = contents(name + ".tif");
  channelData<I32>(*v, 0)[0][0][0] = -5;
  answerModal<shell::qt::VolumeDialogView>([](shell::qt::VolumeDialogView* d) {
    control<QListWidget>(*d, shell::kCtlList)->setCurrentRow(0);
    control<QPushButton>(*d, shell::kCtlOk)->click();
  });
  answerModal<qt::SaveDialog>(
      [this, name](qt::SaveDialog* d) {
        d->selectFile(QString::fromStdString(name + ".tif"));
        answerModal<QMessageBox>([this](QMessageBox* box) {
          EXPECT_TRUE(box->text().contains("already exists"));
          answerModal<qt::SaveDialog>([](qt::SaveDialog* again) { again->reject(); },
                                      kSaveDialogName);
          box->button(QMessageBox::No)->click();
        });
        static_cast<QDialog*>(d)->accept();
      },
      kSaveDialogName);
  EXPECT_EQ(host.saveVolume(), 0);
  EXPECT_EQ(contents(name + ".tif"), before);
}

// "&Save" while recording: the saver reports what it wrote, the macro holds the writer that
// writes the same bytes, for each format.
TEST_F(SaverInProgram, ARecordedSaveReplaysToTheSameFiles) {
  ASSERT_TRUE(host.saverPresent());
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 5, 6, 7, nullptr, &v), 0);
  for (int c = 0; c < 3; ++c)
    for (int z = 0; z < 5; ++z)
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 7; ++x)
          channelData<unsigned char>(*v, c)[z][y][x] =
              static_cast<unsigned char>(c * 70 + z * 31 + y * 7 + x);
  fill_in_VOI(v, 1, 4, 1, 6, 2, 7);
  const std::string macro = files.path + "/saves.v3m";
  ASSERT_TRUE(shell::startRecording(frame.desk(), macro));
  const char* names[] = {"stack", "seq", "raw", "dump"};
  for (int format = 0; format < 4; ++format) {
    answerModal<shell::qt::VolumeDialogView>([](shell::qt::VolumeDialogView* d) {
      control<QListWidget>(*d, shell::kCtlList)->setCurrentRow(0);
      control<QPushButton>(*d, shell::kCtlOk)->click();
    });
    answerSave(files.path + "/out/" + names[format], format, format < 2 ? 1 : 0);
    fs::create_directories(files.path + "/out");
    frame.action(shell::kCmdSave)->trigger();
  }
  shell::stopRecording();
  std::map<std::string, std::string> saved;
  for (const auto& f : fs::directory_iterator(files.path + "/out"))
    saved[f.path().filename().string()] = contents(f.path().string());
  EXPECT_EQ(saved.size(), 1u + 3u + 1u + 1u);  // the stack, three frames, raw, dump
  const std::string text = contents(macro);
  EXPECT_NE(text.find("write-tiff-stack 0 "), std::string::npos) << text;
  EXPECT_NE(text.find("write-tiff-frames 0 "), std::string::npos) << text;
  EXPECT_NE(text.find(" digits=3 compression=lzw"), std::string::npos) << text;
  EXPECT_NE(text.find("write-raw 0 "), std::string::npos) << text;
  EXPECT_NE(text.find("write-dump 0 "), std::string::npos) << text;

  fs::remove_all(files.path + "/out");
  fs::create_directories(files.path + "/out");
  shell::macro::Error error;
  const auto m = shell::readMacro(macro, {}, error);
  ASSERT_TRUE(m) << error.text();
  shell::MacroPlayer player(frame.desk(), false);
  ASSERT_TRUE(player.play(*m, nullptr, error)) << error.text();
  std::map<std::string, std::string> replayed;
  for (const auto& f : fs::directory_iterator(files.path + "/out"))
    replayed[f.path().filename().string()] = contents(f.path().string());
  EXPECT_TRUE(replayed == saved);
}

TEST_F(SaverInProgram, SaveBufferWritesTheProjectionPicture) {
  ASSERT_TRUE(host.saverPresent());
  TestBuffer t(V3D_BUFFER_COLOUR, 16, 9);
  answerSave(files.path + "/picture", 0);
  host.saveBuffer(&t.b);
  const QImage png(QString::fromStdString(files.path + "/picture.png"));
  ASSERT_EQ(png.size(), QSize(16, 9));
  EXPECT_EQ(qGreen(png.pixel(5, 3)), t.b.plane[1][3][5]);
  EXPECT_EQ(files.names(), std::vector<std::string>{"picture.png"});
}

}  // namespace
}  // namespace v3d::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
