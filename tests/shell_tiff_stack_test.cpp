// "Open TIFF Stac&k...": its place in the File menu, a stack into a new slot and into a
// fitting one, and refused or damaged files that leave the volume table as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "core/table.h"
#include "core/tiff_stack.h"
#include "shell/command_ids.h"
#include "shell/commands.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

std::vector<unsigned char> samplesOf(const Volume* v) {
  auto bytes = snapshot(v);
  bytes.erase(bytes.begin(), bytes.begin() + sizeof(Volume));
  return bytes;
}

class OpenTiffStackTest : public ShellTest {
 protected:
  void run() { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(kCmdOpenTiffStack))); }
  void expectNothingLeft() {
    EXPECT_TRUE(desk.scriptDone());
    EXPECT_EQ(desk.unanswered, 0);
  }
  std::string stackOf(Volume* v, const std::string& leaf, int compression = V3D_TIFF_NONE) {
    const std::string name = tempPath(leaf);
    EXPECT_EQ(WriteTiffStack(v, name.c_str(), compression), 0);
    created_.push_back(name);
    return name;
  }
  void TearDown() override {
    for (const auto& f : created_) std::remove(f.c_str());
    ShellTest::TearDown();
  }
  std::vector<std::string> created_;
};

TEST_F(OpenTiffStackTest, SitsAfterSaveSoThatOpenAndSaveKeepTheirPositions) {
  const MenuNode& file = mainMenu().at(0);
  ASSERT_GE(file.children.size(), 3u);
  EXPECT_EQ(file.children[0].id, kCmdOpen);
  EXPECT_EQ(file.children[1].id, kCmdSave);
  EXPECT_EQ(file.children[2].id, kCmdOpenTiffStack);
  EXPECT_TRUE(commandAvailable(kCmdOpenTiffStack));
}

TEST_F(OpenTiffStackTest, ReadsEveryPageIntoANewOrAFittingVolume) {
  Volume* src = makeSlot(V3D_F, V3D_THREE_CHANNELS, 4, 9, 11, 5);
  const std::string name = stackOf(src, "f.tif", V3D_TIFF_LZW);
  desk.script({file(name), pick("New[1]")});
  run();
  expectNothingLeft();
  Volume* v = volumeSlot(1);
  ASSERT_EQ(CheckVolume(v, V3D_F, V3D_THREE_CHANNELS), 0);
  EXPECT_EQ(v->Z, 4);
  EXPECT_EQ(v->Y, 9);
  EXPECT_EQ(v->X, 11);
  EXPECT_EQ(v->voiZ1, 4);
  // The samples (the records differ in their storage pointers).
  EXPECT_EQ(samplesOf(v), samplesOf(src));
  EXPECT_EQ(desk.shown.back(), v);

  // A larger volume of the same types takes the frames from its corner; the rest stays.
  Volume* big = makeSlot(V3D_F, V3D_THREE_CHANNELS, 5, 10, 12, 6);
  const float corner = at<float>(big, 2, 4, 9, 11);
  desk.script({file(name), pick("2")});
  run();
  expectNothingLeft();
  EXPECT_EQ(big->Z, 5);
  EXPECT_EQ(at<float>(big, 1, 3, 8, 10), at<float>(src, 1, 3, 8, 10));
  EXPECT_EQ(at<float>(big, 2, 4, 9, 11), corner);
}

TEST_F(OpenTiffStackTest, ADamagedPageLeavesTheTargetAsItWas) {
  Volume* src = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 32, 32, 8);
  const std::string name = stackOf(src, "damaged.tif", V3D_TIFF_LZW);
  // The first page's strips lie between the header and its directory.
  std::fstream f(name, std::ios::in | std::ios::out | std::ios::binary);
  unsigned char header[8];
  f.read(reinterpret_cast<char*>(header), 8);
  const long directory = header[4] | header[5] << 8 | header[6] << 16 | long{header[7]} << 24;
  f.seekp(8);
  for (long k = 8; k < directory; ++k) f.put(static_cast<char>(0xFF));
  f.close();
  // Slot 1 is unfit (F): the question is answered Yes, then the read fails.
  Volume* target = makeSlot(V3D_F, V3D_ONE_CHANNEL, 2, 3, 4, 9);
  const auto before = snapshot(target);
  desk.script({file(name), pick("1"), yes()});
  run();
  expectNothingLeft();
  EXPECT_EQ(desk.lastMessage(), "Damaged TIFF page");
  EXPECT_EQ(target->dataType, V3D_F);
  EXPECT_EQ(snapshot(target), before);
  // Into a new slot: nothing stays.
  desk.script({file(name), pick("New[2]")});
  run();
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
}

TEST_F(OpenTiffStackTest, RefusedFilesEndBeforeTheTargetDialog) {
  const std::string text = tempPath("not.tif");
  { std::ofstream(text) << "not a TIFF file"; }
  created_.push_back(text);
  desk.script({file(text)});
  run();
  expectNothingLeft();
  EXPECT_EQ(desk.lastMessage(), "Error in TIFF");
  desk.script({cancel()});
  run();
  EXPECT_TRUE(desk.messages.size() == 1);
  EXPECT_EQ(volumeSlot(0)->dataType, 0);
}

}  // namespace
}  // namespace v3d::test
