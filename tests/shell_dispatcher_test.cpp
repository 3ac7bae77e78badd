// Menu commands end to end through the scripted desk, checking the volume table afterwards.
#include <algorithm>
#include <set>

#include "core/basic_ops.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/commands.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

class DispatcherTest : public ShellTest {
 protected:
  void run(int id) { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(id))); }
  void expectNothingLeft() {
    EXPECT_TRUE(desk.scriptDone()) << "the command did not ask everything scripted";
    EXPECT_EQ(desk.unanswered, 0) << "the command asked more than scripted";
  }
};

TEST_F(DispatcherTest, SymmetricIntoANewVolumeEndToEnd) {
  Volume* in = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 3, 4, 5, 7);
  desk.script({pick("0"), withInformation(pickNew(1, 5, 4, 3), "mirrored")});
  run(kCmdSymmetric);
  expectNothingLeft();
  Volume* out = volumeSlot(1);
  ASSERT_EQ(CheckVolume(out, V3D_UC, V3D_THREE_CHANNELS), 0);
  EXPECT_STREQ(out->information, "mirrored");
  EXPECT_EQ(at<UC>(out, 1, 0, 0, 0), at<UC>(in, 1, 2, 3, 4));
  ASSERT_EQ(desk.shown.size(), 1u);
  EXPECT_EQ(desk.shown[0], out);
  EXPECT_EQ(desk.dialogTitles,
            (std::vector<std::string>{"Select Input Volume", "Select Output Volume"}));
  ASSERT_FALSE(desk.busyCalls.empty());
  EXPECT_TRUE(desk.busyCalls.front());
  EXPECT_FALSE(desk.busyCalls.back()) << "the busy cursor ends with the command";
}

TEST_F(DispatcherTest, CancelsEndSilentlyAndLeaveTheTableAsItWas) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 2, 2);
  desk.script({cancel()});
  run(kCmdSymmetric);
  desk.script({pick("0"), cancel()});
  run(kCmdSymmetric);
  expectNothingLeft();
  EXPECT_TRUE(desk.messages.empty());
  EXPECT_EQ(GetNewVolumeIndex(), 1);
  EXPECT_TRUE(desk.shown.empty());
}

TEST_F(DispatcherTest, ConversionsRefuseTheInputAsOutput) {
  makeSlot(V3D_F, V3D_ONE_CHANNEL, 2, 2, 2);
  desk.script({pick("0"), pick("0")});
  run(kCmdFToUCTruncation);
  expectNothingLeft();
  EXPECT_EQ(desk.lastMessage(), "Same input/output volume");
  EXPECT_EQ(volumeSlot(0)->dataType, V3D_F);

  desk.script({pick("0"), pickNew(1, 2, 2, 2)});
  run(kCmdFToUCScaling);
  EXPECT_EQ(volumeSlot(1)->dataType, V3D_UC);
  desk.script({pick("1"), pickNew(2, 2, 2, 2)});
  run(kCmdUCToF);
  expectNothingLeft();
  EXPECT_EQ(volumeSlot(2)->dataType, V3D_F);
}

TEST_F(DispatcherTest, AnUnsuitableOutputIsReallocatedOnlyAfterYes) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 4, 4, 1);
  Volume* small = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 2, 2, 2);
  const auto before = snapshot(small);
  desk.script({pick("0"), pick("1"), no()});
  run(kCmdSymmetric);
  expectNothingLeft();
  EXPECT_EQ(desk.messages.back().text,
            "Output Volume is not appropriate\nand will be reallocated. Continue?");
  EXPECT_EQ(desk.messages.back().buttons, MessageButtons::YesNo);
  EXPECT_EQ(snapshot(small), before) << "No ends the command with nothing changed";

  desk.script({pick("0"), pick("1"), yes()});
  run(kCmdSymmetric);
  expectNothingLeft();
  EXPECT_EQ(small->Z, 4);
  EXPECT_EQ(desk.closed.back(), small) << "windows of a reallocated volume are closed";

  // A larger output of the right types is used as it is, without the question.
  Volume* big = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 5, 5, 5, 3);
  const std::size_t asked = desk.messages.size();
  desk.script({pick("0"), pick("2")});
  run(kCmdSymmetric);
  expectNothingLeft();
  EXPECT_EQ(desk.messages.size(), asked);
  EXPECT_EQ(big->Z, 5);
}

TEST_F(DispatcherTest, AFailingOperationDestroysTheOutputItMadeButNoOther) {
  makeSlot(V3D_F, V3D_ONE_CHANNEL, 4, 4, 4);
  // New output typed smaller than required: the conversion reports its own error and the
  // volume made for it is destroyed again.
  desk.script({pick("0"), pickNew(1, 2, 2, 2)});
  run(kCmdFToUCTruncation);
  expectNothingLeft();
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  EXPECT_EQ(volumeSlot(1)->dataType, 0) << "no half-made output stays in the table";

  // An existing output that fits but is too small for the offsets keeps its contents.
  Volume* existing = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 4, 4, 9);
  fill_in_VOI(volumeSlot(0), 0, 4, 0, 4, 0, 4);
  desk.script({pick("0"), pick("1")});
  run(kCmdFToUCTruncation);
  EXPECT_EQ(existing->dataType, V3D_UC) << "an output that existed is kept";

  // A New entry with a zero size cannot be created: reported, nothing left behind.
  desk.script({pick("0"), pickNew(2, 0, 4, 4)});
  run(kCmdFToUCScaling);
  expectNothingLeft();
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
}

TEST_F(DispatcherTest, ClearParsesOneValuePerChannel) {
  Volume* v = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 2, 3, 4);
  desk.script({pick("0"), values({"1", "2.9", "255"})});
  run(kCmdClear);
  expectNothingLeft();
  EXPECT_EQ(desk.dialogTitles.back(), "Clear UC Volume");
  EXPECT_EQ(at<UC>(v, 0, 1, 2, 3), 1);
  EXPECT_EQ(at<UC>(v, 1, 0, 0, 0), 2);
  EXPECT_EQ(at<UC>(v, 2, 1, 1, 1), 255);
  EXPECT_EQ(desk.shown.back(), v);

  const auto before = snapshot(v);
  desk.script({pick("0"), values({"1", "x", "3"})});
  run(kCmdClear);
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  desk.script({pick("0"), values({"1", "2", "256"})});
  run(kCmdClear);
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters") << "the library refuses 256 for UC";
  const std::size_t count = desk.messages.size();
  desk.script({pick("0"), valuesThenCancel({"1", "2", "3"})});
  run(kCmdClear);
  EXPECT_EQ(desk.messages.size(), count) << "Cancel with parseable text ends silently";
  desk.script({pick("0"), valuesThenCancel({"", "2", "3"})});
  run(kCmdClear);
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters") << "texts are parsed before Cancel counts";
  expectNothingLeft();
  EXPECT_EQ(snapshot(v), before);

  Volume* f = makeSlot(V3D_F, V3D_ONE_CHANNEL, 1, 1, 2);
  desk.script({pick("1"), values({"-2.5"})});
  run(kCmdClear);
  EXPECT_EQ(desk.dialogTitles.back(), "Clear float Volume");
  EXPECT_EQ(at<float>(f, 0, 0, 0, 1), -2.5f);
}

TEST_F(DispatcherTest, CopyAsksOffsetsOnlyForAnOutputThatFits) {
  Volume* in = makeSlot(V3D_I, V3D_ONE_CHANNEL, 4, 4, 4, 5);
  fill_in_VOI(in, 1, 3, 1, 3, 1, 3);
  desk.script({pick("0"), pickNew(1, 2, 2, 2)});
  run(kCmdCopy);
  Volume* copy = volumeSlot(1);
  ASSERT_EQ(CheckVolume(copy, V3D_I, V3D_ONE_CHANNEL), 0);
  EXPECT_EQ(copy->X, 2) << "the required size is the input's VOI";
  EXPECT_EQ(at<I32>(copy, 0, 0, 0, 0), at<I32>(in, 0, 1, 1, 1));

  Volume* target = makeSlot(V3D_I, V3D_ONE_CHANNEL, 5, 5, 5, 6);
  desk.script({pick("0"), pick("2"), values({"3", "2", "1"})});
  run(kCmdCopy);
  EXPECT_EQ(at<I32>(target, 0, 1, 2, 3), at<I32>(in, 0, 1, 1, 1));
  const auto before = snapshot(target);
  desk.script({pick("0"), pick("2"), values({"4", "0", "0"})});
  run(kCmdCopy);
  EXPECT_EQ(desk.lastMessage(), "Invalid output volume dimensions");
  EXPECT_EQ(snapshot(target), before);
  EXPECT_EQ(target->dataType, V3D_I) << "an output that existed is not destroyed";

  // An output of another type is reallocated after the question, without offsets.
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 5, 5, 5);
  desk.script({pick("0"), pick("3"), yes()});
  run(kCmdCopy);
  expectNothingLeft();
  EXPECT_EQ(volumeSlot(3)->dataType, V3D_I);
  EXPECT_EQ(volumeSlot(3)->X, 2);
}

TEST_F(DispatcherTest, VolumeManagementCommands) {
  desk.script({choose(21), withDims(pick("0"), "4", "3", "2")});
  run(kCmdCreate);
  Volume* v = volumeSlot(0);
  ASSERT_EQ(CheckVolume(v, V3D_I, V3D_THREE_CHANNELS), 0);
  EXPECT_EQ(v->X, 4);
  EXPECT_EQ(v->Z, 2);

  desk.script({withVoi(pick("0"), {"0", "1", "1", "3", "0", "2"})});
  run(kCmdSetVoi);
  EXPECT_EQ(v->voiY0, 1);
  EXPECT_EQ(v->voiX1, 2);
  desk.script({withVoi(pick("0"), {"0", "3", "0", "3", "0", "4"}), cancel()});
  run(kCmdSetVoi);
  EXPECT_EQ(desk.lastMessage(), "Not appropriate VOI");
  EXPECT_EQ(v->voiZ1, 1);

  desk.script({pick("0")});
  run(kCmdState);
  desk.script({destroyEntry("0"), ok()});
  run(kCmdDestroy);
  expectNothingLeft();
  EXPECT_EQ(v->dataType, 0);
  EXPECT_EQ(desk.dialogTitles.back(), "Select Volume to Free");
}

TEST_F(DispatcherTest, LogicalOperationsTakeTwoBinaryInputs) {
  Volume* a = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 3, 3, 1, true);
  Volume* b = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 3, 3, 2, true);
  desk.script({pick("0"), pick("1"), pickNew(2, 3, 3, 2)});
  run(kCmdXor);
  expectNothingLeft();
  Volume* o = volumeSlot(2);
  ASSERT_EQ(CheckVolume(o, V3D_UC, V3D_ONE_CHANNEL), 0);
  EXPECT_EQ(at<UC>(o, 0, 1, 2, 2), at<UC>(a, 0, 1, 2, 2) ^ at<UC>(b, 0, 1, 2, 2));
  at<UC>(b, 0, 0, 0, 0) = 3;
  desk.script({pick("0"), pick("1"), pickNew(3, 3, 3, 2)});
  run(kCmdAnd);
  EXPECT_EQ(desk.lastMessage(), "Volume is not binary");
  EXPECT_EQ(volumeSlot(3)->dataType, 0);
}

TEST_F(DispatcherTest, MetricsReportTheirCountsAndBoundingBox) {
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 5, 5, 5);
  ClearVolume(v, std::array<float, 3>{0, 0, 0}.data());
  at<UC>(v, 0, 2, 2, 2) = 255;
  at<UC>(v, 0, 3, 1, 4) = 9;
  desk.script({pick("0")});
  run(kCmdVolumePoints);
  EXPECT_EQ(desk.messages.back().text, "Volume (nonzero points) = 2");
  EXPECT_EQ(desk.messages.back().caption, "VELMORA 3.4  for Windows");
  EXPECT_EQ(desk.messages.back().icon, MessageIcon::Information);
  desk.script({pick("0")});
  run(kCmdSurfacePoints);
  EXPECT_EQ(desk.messages.back().text, "Surface (nonzero surface points) = 1")
      << "only voxels one step inside the VOI are examined";
  desk.script({pick("0")});
  run(kCmdBoundingBox);
  EXPECT_EQ(desk.messages.back().text, "Bounding Box (x1,y1,z1) - (x2,y2,z2) : (2,1,2) - (5,3,4)");
  ClearVolume(v, std::array<float, 3>{0, 0, 0}.data());
  desk.script({pick("0")});
  run(kCmdBoundingBox);
  expectNothingLeft();
  EXPECT_EQ(desk.messages.back().text, "Selected Volume (VOI) contains only background points");
}

TEST_F(DispatcherTest, DumpWritesTheChosenFileAndExitQuits) {
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 2);
  at<UC>(v, 0, 0, 0, 0) = 5;
  at<UC>(v, 0, 0, 0, 1) = 17;
  const std::string name = tempPath("dump.txt");
  desk.script({pick("0"), file(name)});
  run(kCmdDump);
  const auto bytes = readFile(name);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "  5  17 \n\n\n");
  std::remove(name.c_str());
  desk.script({pick("0"), file("/nonexistent-dir/dump.txt")});
  run(kCmdDump);
  EXPECT_EQ(desk.lastMessage(), "fopen error");
  run(kCmdExit);
  EXPECT_TRUE(desk.quitRequested);
  expectNothingLeft();
}

TEST_F(DispatcherTest, DisplayCommandsAskTheFrameRange) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 4, 4);
  makeSlot(V3D_UC, V3D_THREE_CHANNELS, 3, 4, 4);
  desk.script({pick("0"), values({"1", "4", "0.5"})});
  run(kCmdBwDisplay);
  ASSERT_EQ(desk.displays.size(), 1u);
  EXPECT_EQ(desk.displays[0].volume, volumeSlot(0));
  EXPECT_FALSE(desk.displays[0].colour);
  EXPECT_EQ(desk.displays[0].lower, 1);
  EXPECT_EQ(desk.displays[0].upper, 4);
  EXPECT_EQ(desk.displays[0].delay, 0.5f);
  desk.script({pick("0"), values({"0", "6", "0"})});
  run(kCmdBwDisplay);
  EXPECT_EQ(desk.lastMessage(), "Cannot display the selected frames");
  desk.script({pick("0"), values({"0", "2", "1s"}), values({"0", "2", "1"})});
  run(kCmdBwDisplay);
  EXPECT_EQ(desk.messages.back().text, "Invalid parameters") << "the delay takes digits and '.'";
  EXPECT_EQ(desk.displays.size(), 2u);
  desk.script({pick("1"), values({"0", "2", "0"})});
  run(kCmdColorDisplay);
  EXPECT_TRUE(desk.displays.back().colour);
  desk.script({pick("1")});
  run(kCmdSections);
  EXPECT_EQ(desk.sectionViews.back(), volumeSlot(1));
  run(kCmdCoordinates);
  EXPECT_TRUE(pointerModes().coordinatesShown);
  run(kCmdCoordinates);
  EXPECT_FALSE(pointerModes().coordinatesShown);
  run(kCmdWriteVoxel);
  EXPECT_TRUE(pointerModes().voxelWriting);
  pointerModes().voxelWriting = false;
  expectNothingLeft();
}

void collect(const std::vector<MenuNode>& nodes, std::vector<int>& ids) {
  for (const MenuNode& n : nodes) {
    if (n.kind == MenuNode::Command) ids.push_back(n.id);
    collect(n.children, ids);
  }
}

TEST_F(DispatcherTest, TheMenuHoldsEveryCommandOnceWithItsText) {
  const auto& menu = mainMenu();
  ASSERT_EQ(menu.size(), 5u);
  EXPECT_EQ(text(menu[0].textId), "&File");
  EXPECT_EQ(menu[3].kind, MenuNode::Placeholder);
  EXPECT_EQ(text(menu[3].textId), "&Modules");
  EXPECT_EQ(text(menu[4].textId), "&Help");
  EXPECT_EQ(menu[0].children[1].id, kCmdSave) << "&Save is item 1 of the File menu";
  std::vector<int> ids;
  collect(menu, ids);
  EXPECT_EQ(std::set<int>(ids.begin(), ids.end()).size(), ids.size()) << "no id twice";
  EXPECT_EQ(ids.size(), 74u + 1 + 3)
      << "the program's 74 commands, our Open TIFF Stack and the three macro commands";
  for (int id : ids) EXPECT_TRUE(hasText(kMenuTextBase + id)) << id;
  EXPECT_EQ(text(kMenuTextBase + kCmdFToUCTruncation), "F to UC conversion (with &truncation)");
  EXPECT_FALSE(commandAvailable(kCmdSave)) << "greyed while no saver is bound";
  // "&Save" hands over to the saver and reports its negative result.
  static int saves = 0, saverResult = 0;
  setSaver([] { ++saves; return saverResult; });
  EXPECT_TRUE(commandAvailable(kCmdSave));
  EXPECT_TRUE(dispatch(desk, kCmdSave));
  const std::size_t before = desk.messages.size();
  saverResult = kCannotSaveVolume;
  EXPECT_TRUE(dispatch(desk, kCmdSave));
  EXPECT_EQ(saves, 2);
  ASSERT_EQ(desk.messages.size(), before + 1);
  EXPECT_EQ(desk.messages.back().text, "Cannot save the whole volume");
  setSaver(nullptr);
  EXPECT_TRUE(commandAvailable(kCmdSymmetric));
  EXPECT_FALSE(dispatch(desk, 5)) << "module ids are not the dispatcher's";
  EXPECT_FALSE(dispatch(desk, 0x10000 | 77));
}

TEST_F(DispatcherTest, TheFamiliesCommandsAreTheMenusAndNoModuleIds) {
  std::vector<int> menuIds;
  collect(mainMenu(), menuIds);
  EXPECT_EQ(std::set<int>(menuIds.begin(), menuIds.end()),
            std::set<int>(kMainMenuCommands.begin(), kMainMenuCommands.end()))
      << "the layout and the id list name the same commands";
  // A command the menu does not hold could never be chosen, and a second command of one id
  // would never run.
  std::set<int> tableIds;
  for (const Command& c : commandTable()) {
    EXPECT_TRUE(tableIds.insert(c.id).second) << "two commands of id " << c.id;
    EXPECT_EQ(std::count(menuIds.begin(), menuIds.end(), c.id), 1) << c.id;
    EXPECT_GE(c.id, kModuleCommandEnd) << c.id;
    EXPECT_TRUE(c.run) << c.id;
  }
  for (int id = kFirstModuleCommand; id < kModuleCommandEnd; ++id) {
    EXPECT_FALSE(commandAvailable(id)) << id;
    EXPECT_FALSE(dispatch(desk, static_cast<std::uintptr_t>(id))) << id;
  }
  EXPECT_TRUE(desk.messages.empty() && desk.dialogTitles.empty())
      << "a module id runs nothing of the shell's";
}

}  // namespace
}  // namespace v3d::test
