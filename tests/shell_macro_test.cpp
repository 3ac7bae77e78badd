// Recording commands run through the scripted desk, replaying the macro through the player,
// the writer directives, and the faults that stop a replay.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/raw_files.h"
#include "core/tiff_stack.h"
#include "shell/command_ids.h"
#include "shell/commands.h"
#include "shell/macro_player.h"
#include "shell/macro_recorder.h"
#include "shell/saver_report.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace shell;

std::string fileText(const std::string& path) {
  const auto bytes = readFile(path);
  return std::string(bytes.begin(), bytes.end());
}

// Everything a user sees of a slot: the record's dimensions, types, VOI, information, samples.
struct SlotState {
  std::vector<int> record;
  std::string information;
  std::vector<unsigned char> data;
  bool operator==(const SlotState&) const = default;
};
SlotState state(int slot) {
  const Volume* v = volumeSlot(slot);
  SlotState s{{v->dataType, v->colorType, v->Z, v->Y, v->X, v->voiZ0, v->voiZ1, v->voiY0, v->voiY1,
               v->voiX0, v->voiX1},
              v->information,
              {}};
  if (v->dataType != 0) s.data = samples(v);
  return s;
}
std::vector<SlotState> table(int slots) {
  std::vector<SlotState> t;
  for (int i = 0; i < slots; ++i) t.push_back(state(i));
  return t;
}

class MacroTest : public ShellTest {
 protected:
  void TearDown() override {
    stopRecording();
    ShellTest::TearDown();
  }
  // Runs a command as the frame does, recorder included.
  void command(int id, std::initializer_list<Step> steps) {
    desk.script(steps);
    runMenuCommand(desk, static_cast<std::uintptr_t>(id), nullptr);
    EXPECT_TRUE(desk.scriptDone()) << "command " << id;
  }
  bool play(const std::string& text, macro::Error& error, std::vector<std::string>* log = nullptr) {
    const auto m = macro::parse(text, {}, macro::knownMenuCommand, error);
    if (!m) return false;
    MacroPlayer player(desk, true);
    return player.play(
        *m,
        [log](const std::string& line) {
          if (log) log->push_back(line);
        },
        error);
  }
};

TEST_F(MacroTest, ARecordedRunReplaysToTheSameVolumes) {
  const std::string path = tempPath("run.v3m");
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 8, 16, 16, 3);
  ASSERT_TRUE(startRecording(desk, path));
  command(kCmdStandardMedian, {withVoi(pick("0"), {"1", "7", "0", "16", "0", "16"}),
                               pickNew(1, 16, 16, 8), values({"3", "3", "3"})});
  command(kCmdThreshold, {pick("1"), pickNew(2, 16, 16, 8), values({"100"})});
  command(kCmdStandardMedian, {pick("1"), cancel()});               // cancelled
  command(kCmdThreshold, {pick("1"), pick("2"), values({"abc"})});  // fails
  command(kCmdUCToF, {pick("1"), pick("2"), yes()});                // reallocated
  command(kCmdRegionGrow, {pick("0"), pickNew(3, 16, 16, 8), values({"40"}),
                           values({"1 1 1", "2 2 2", "1 1 1"})});  // a voxel clicked twice
  command(kCmdClear, {withInformation(pick("3"), "a \"cleared\" ${copy}"), values({"7"})});
  command(kCmdDestroy, {destroyEntry("3"), ok()});
  command(kCmdCreate, {choose(11), withDims(pick("3"), "4", "5", "6")});
  stopRecording();
  const auto recorded = table(5);

  const std::string macroText = fileText(path);
  EXPECT_NE(macroText.find("command 1200 &Threshold\n  volume 1\n  volume New[2] x=16 y=16 z=8\n"
                           "  values 100\n"),
            std::string::npos)
      << macroText;
  EXPECT_NE(macroText.find("  answer yes\n"), std::string::npos);
  EXPECT_EQ(macroText.find("abc"), std::string::npos) << "a failed command is left out";
  std::size_t commands = 0;
  for (std::size_t at = macroText.find("\ncommand "); at != std::string::npos;
       at = macroText.find("\ncommand ", at + 1))
    ++commands;
  EXPECT_EQ(commands, 7u) << macroText;

  resetVolumeTable();
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 8, 16, 16, 3);
  macro::Error error;
  std::vector<std::string> log;
  ASSERT_TRUE(play(macroText, error, &log)) << error.text();
  EXPECT_EQ(log.size(), 7u);
  EXPECT_TRUE(table(5) == recorded);
}

TEST_F(MacroTest, CommandsOutsideTheDialogsBecomeCommentsAndTheUserIsToldOnce) {
  const std::string path = tempPath("comments.v3m");
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 8);
  ASSERT_TRUE(startRecording(desk, path));
  EXPECT_FALSE(commandAvailable(kCmdStartRecording));
  EXPECT_TRUE(commandAvailable(kCmdStopRecording));
  EXPECT_FALSE(commandAvailable(kCmdRunMacro));
  int routed = -1;
  runMenuCommand(desk, 7, [&](std::uintptr_t id) { routed = static_cast<int>(id); });
  runMenuCommand(desk, kCmdWriteVoxel, nullptr);
  runMenuCommand(desk, kCmdManualAlignment, nullptr);
  stopRecording();
  EXPECT_EQ(routed, 7);
  EXPECT_TRUE(commandAvailable(kCmdStartRecording));
  const std::string text = fileText(path);
  EXPECT_NE(text.find("# not recorded: module command 7\n"), std::string::npos) << text;
  EXPECT_NE(text.find("# not recorded: command 1050 \"&Write Voxel\"\n"), std::string::npos);
  EXPECT_NE(text.find("# not recorded: command 1260"), std::string::npos);
  int notices = 0;
  for (const auto& m : desk.messages)
    notices += m.text.find("was not recorded") != std::string::npos;
  EXPECT_EQ(notices, 1);
  EXPECT_TRUE(opensModelessTool(kCmdViewLabelled) && opensModelessTool(kCmdBwContourFollowing) &&
              opensModelessTool(kCmdColorContourFollowing) && opensModelessTool(0));
  EXPECT_FALSE(opensModelessTool(kCmdStandardMedian));
}

TEST_F(MacroTest, TheSaversReportIsRecordedAsItsWriterDuringSaveOnly) {
  const std::string path = tempPath("saver.v3m");
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 8);
  static int calls = 0;
  setSaver([] {
    ++calls;
    SaverWroteVolume(0, V3D_SAVED_TIFF_SEQUENCE, "out/frame ", 5, 3);
    return 0;
  });
  ASSERT_TRUE(startRecording(desk, path));
  runMenuCommand(desk, kCmdSave, nullptr);
  SaverWroteVolume(0, V3D_SAVED_RAW_VOLUME, "elsewhere.rv", 0, 0);  // not during a save
  stopRecording();
  setSaver(nullptr);
  EXPECT_EQ(calls, 1);
  const std::string text = fileText(path);
  EXPECT_NE(text.find("\nwrite-tiff-frames 0 \"out/frame \" digits=3 compression=lzw\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("elsewhere"), std::string::npos);
  EXPECT_EQ(text.find("command 40008"), std::string::npos);
}

TEST_F(MacroTest, AFaultStopsTheReplayAtItsLineAndKeepsWhatRanBefore) {
  const std::string good =
      "command 1172\n  volume 0\n  volume New[1] x=8 y=8 z=4\n  values 3 3 3\n";
  const std::string later = "command 1200\n  volume 1\n  volume New[9] x=8 y=8 z=4\n  values 9\n";
  const struct {
    std::string fault;
    int line;  // in the fault's own text, counted from 1
    const char* message;
  } cases[] = {
      {"command 1200\n  volume 5\n", 2, "volume slot 5 is empty at this point"},
      {"command 1200\n  volume 1\n", 1, "missing answer: the command asks for a volume"},
      {"command 1200\n  volume 1\n  values 3\n", 3, "asks for a volume (\"Select Output"},
      {"command 1200\n  volume 1\n  volume New[2] x=8 y=8 z=4\n  values 9\n  values 1\n", 5,
       "was not asked for"},
      {"command 1200\n  volume 1\n  volume New[2] x=8 y=8 z=4\n  values nine\n", 1,
       "Invalid parameters"},
      {"command 1200\n  volume 1\n  volume New[7] x=8 y=8 z=4\n  values 9\n", 3,
       "offers no New[7] entry"},
      {"command 1142\n  volume 1\n  volume 0\n  answer ok\n", 4, "is not answered with ok"},
      {"command 1142\n  volume 0\n  volume 0\n", 1, "Same input/output volume"},
      {"command 40003\n  open kind=1 file=/nonexistent/head lower=0 upper=2\n", 1, "Error in TIFF"},
      {"write-raw 4 x.rv\n", 1, "volume slot 4 is empty at this point"},
      {"write-dump 1 /nonexistent/folder/x.txt\n", 1, "fopen error"},
  };
  for (const auto& c : cases) {
    resetVolumeTable();
    makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 8, 5);
    macro::Error error;
    EXPECT_FALSE(play(good + c.fault + later, error)) << c.fault;
    EXPECT_EQ(error.line, 4 + c.line) << c.fault;
    EXPECT_NE(error.message.find(c.message), std::string::npos)
        << c.fault << "\n gave: " << error.message;
    EXPECT_NE(volumeSlot(1)->dataType, 0) << "the median before the fault stays";
    EXPECT_EQ(volumeSlot(9)->dataType, 0) << "nothing runs after the fault";
  }
}

TEST_F(MacroTest, ModelessToolsAreRefusedBeforeAnythingRuns) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 8);
  macro::Error error;
  EXPECT_FALSE(
      play("command 1172\n  volume 0\n  volume New[1] x=8 y=8 z=4\n  values 3 3 3\n"
           "command 1206\n  volume 0\n",
           error));
  EXPECT_EQ(error.line, 5);
  EXPECT_NE(error.message.find("modeless tool, which cannot run in batch mode"), std::string::npos)
      << error.message;
  EXPECT_EQ(volumeSlot(1)->dataType, 0);
}

TEST_F(MacroTest, RunMacroReplaysAFileInTheProgramAndSaysHowItEnded) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 8);
  const std::string path = tempPath("in_program.v3m");
  {
    std::ofstream f(path);
    f << "command 1200\n  volume 0\n  volume New[1] x=8 y=8 z=4\n  values ${V3D_TEST_LEVEL}\n"
         "command 1200\n  volume 0\n  volume New[2] x=8 y=8 z=4\n  values 1 2\n";
  }
  ::setenv("V3D_TEST_LEVEL", "50", 1);
  desk.script({file(path)});
  EXPECT_TRUE(dispatch(desk, kCmdRunMacro));
  ::unsetenv("V3D_TEST_LEVEL");
  EXPECT_NE(volumeSlot(1)->dataType, 0);
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
  EXPECT_EQ(desk.lastMessage(),
            "The macro stopped at line 8: command 1200 \"&Threshold\": \"Give Threshold value\" "
            "asks for 1 values, not 2");

  {
    std::ofstream f(path);
    f << "command 1200\n  volume 0\n  volume New[2] x=8 y=8 z=4\n  values 9\n"
         "write-dump 2 "
      << macro::quote(tempPath("dump.txt")) << "\n";
  }
  desk.script({file(path)});
  EXPECT_TRUE(dispatch(desk, kCmdRunMacro));
  EXPECT_EQ(desk.lastMessage(), "The macro ran to its end. Commands run: 1, files written: 1.");
  {
    std::ofstream f(path);
    f << "command 1202\n  volume 2\n  volume 2\n  values 9\n";  // Region Split shows a count
  }
  desk.script({file(path)});
  EXPECT_TRUE(dispatch(desk, kCmdRunMacro));
  const std::string ended = "The macro ran to its end. Commands run: 1, files written: 0.\n";
  EXPECT_EQ(desk.lastMessage().rfind(ended + "line 1: No of regions = ", 0), 0u)
      << desk.lastMessage();
  std::remove(tempPath("dump.txt").c_str());

  desk.script({file(tempPath("missing.v3m"))});
  EXPECT_TRUE(dispatch(desk, kCmdRunMacro));
  EXPECT_NE(desk.lastMessage().find("cannot read the macro file"), std::string::npos);
  std::remove(path.c_str());
}

TEST_F(MacroTest, WritersSaveTheVoiThroughTheLibrary) {
  Volume* v = makeSlot(V3D_F, V3D_THREE_CHANNELS, 5, 6, 7, 9);
  fill_in_VOI(v, 1, 4, 2, 6, 0, 5);
  const std::string raw = tempPath("voi.rv"), stack = tempPath("voi.tif"),
                    dump = tempPath("voi.txt");
  macro::Error error;
  ASSERT_TRUE(play("write-raw 0 " + macro::quote(raw) + "\nwrite-tiff-stack 0 " +
                       macro::quote(stack) + " compression=deflate\nwrite-dump 0 " +
                       macro::quote(dump) + "\n",
                   error))
      << error.text();
  // The raw file is the VOI's samples, channel by channel, frame by frame, row by row.
  std::vector<unsigned char> expected;
  for (int c = 0; c < 3; ++c)
    for (int z = 1; z < 4; ++z)
      for (int y = 2; y < 6; ++y) {
        const auto* row = reinterpret_cast<const unsigned char*>(&at<float>(v, c, z, y, 0));
        expected.insert(expected.end(), row, row + 5 * sizeof(float));
      }
  EXPECT_EQ(readFile(raw), expected);
  // The stack reads back as the VOI.
  Volume back{};
  InitializeVolume(&back, 3, 4, 5, V3D_F, V3D_THREE_CHANNELS);
  ASSERT_EQ(CreateVolume(&back), 0);
  ASSERT_EQ(ReadTiffStack(&back, stack.c_str()), 0);
  for (int c = 0; c < 3; ++c)
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x)
          ASSERT_EQ(at<float>(&back, c, z, y, x), at<float>(v, c, z + 1, y + 2, x));
  DestroyVolume(&back);
  const std::string text = fileText(dump);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3 * (3 * (4 + 1) + 1));
  for (const auto& f : {raw, stack, dump}) std::remove(f.c_str());
}

}  // namespace
}  // namespace v3d::test
