// The commands of the processing families end to end through the scripted desk: edge
// detectors, thresholding, the region commands with their messages, labelling with its
// question, and region growing with its seed clicks.
#include "shell/commands.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

class CommandsTest : public ShellTest {
 protected:
  void run(int id) { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(id))); }
  void expectNothingLeft() {
    EXPECT_TRUE(desk.scriptDone());
    EXPECT_EQ(desk.unanswered, 0);
  }
  // Two bright blocks on a dark background.
  Volume* blocks() {
    Volume* v = makeSlot(V3D_UC, 1, 6, 10, 12);
    for (int z = 0; z < 6; ++z)
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
          at<UC>(v, 0, z, y, x) = ((x < 4 && y < 4) || (x > 7 && y > 5)) ? 200 : 10;
    return v;
  }
};

TEST_F(CommandsTest, EdgeDetectorsAndThresholdWriteTheirOutputs) {
  Volume* in = blocks();
  desk.script({pick("0"), pickNew(1, 12, 10, 6)});
  run(1192);
  EXPECT_EQ(desk.dialogTitles[0], "Input Volume for Sobel");
  EXPECT_EQ(desk.dialogTitles[1], "Output Volume for Sobel");
  Volume sobel{};
  InitializeVolume(&sobel, 6, 10, 12, V3D_UC, 1);
  ASSERT_EQ(CreateVolume(&sobel), 0);
  ASSERT_EQ(Sobel_3D(in, &sobel), 0);
  EXPECT_EQ(snapshot(volumeSlot(1)).size(), snapshot(&sobel).size());
  EXPECT_EQ(at<UC>(volumeSlot(1), 0, 3, 4, 4), at<UC>(&sobel, 0, 3, 4, 4));
  DestroyVolume(&sobel);

  desk.script({pick("0"), pickNew(2, 12, 10, 6), values({"3", "3", "1"})});
  run(1190);
  EXPECT_EQ(desk.dialogTitles.back(), "Give Window Dimensions");
  EXPECT_EQ(volumeSlot(2)->dataType, V3D_UC);
  desk.script({pick("0"), pickNew(3, 12, 10, 6), values({"45", "0"})});
  run(1191);
  EXPECT_EQ(volumeSlot(3)->dataType, V3D_UC);
  desk.script({pick("0"), pickNew(4, 12, 10, 6), values({"100"})});
  run(1200);
  EXPECT_EQ(at<UC>(volumeSlot(4), 0, 0, 0, 0) != at<UC>(volumeSlot(4), 0, 0, 0, 6), true);
  // An even window is refused by the filter; the output made for it goes again.
  desk.script({pick("0"), pickNew(5, 12, 10, 6), values({"2", "3", "3"})});
  run(1190);
  EXPECT_EQ(volumeSlot(5)->dataType, 0);
  EXPECT_FALSE(desk.lastMessage().empty());
  expectNothingLeft();
}

TEST_F(CommandsTest, RegionCommandsReportTheirCounts) {
  blocks();
  desk.script({pick("0"), pickNew(1, 12, 10, 6), values({"20"})});
  run(1202);
  EXPECT_EQ(desk.messages.back().text.rfind("No of regions = ", 0), 0u) << desk.lastMessage();
  EXPECT_EQ(desk.shown.back(), volumeSlot(1));

  const std::size_t shown = desk.shown.size();
  desk.script({pick("0"), pickNew(2, 12, 10, 6), values({"20", "50"})});
  run(1203);
  EXPECT_EQ(desk.dialogTitles.back(), "Give Threshold and Max No Regions");
  EXPECT_EQ(desk.messages.back().text.rfind("Number of regions = ", 0), 0u) << desk.lastMessage();
  EXPECT_EQ(desk.shown.size(), shown) << "Region Merge does not re-show its output";

  desk.script({pick("0"), pickNew(3, 12, 10, 6), values({"200"})});
  run(1204);
  EXPECT_EQ(desk.messages.back().text.rfind("Number of regions = ", 0), 0u) << desk.lastMessage();
  expectNothingLeft();
}

TEST_F(CommandsTest, LabellingAsksFirstAndCountsTheObjects) {
  Volume* in = blocks();
  const auto before = snapshot(in);
  desk.script({no()});
  run(1205);
  EXPECT_EQ(desk.messages.back().text, "Input volume will be modified. Continue?");
  EXPECT_EQ(snapshot(in), before);
  EXPECT_EQ(GetNewVolumeIndex(), 1);

  desk.script({yes(), pick("0"), pickNew(1, 12, 10, 6)});
  run(1205);
  expectNothingLeft();
  EXPECT_EQ(desk.messages.back().text, "Number of regions = 3") << "two blocks and the background";
  EXPECT_EQ(desk.shown.back(), in) << "the displays of the input are repainted";
}

TEST_F(CommandsTest, RegionGrowingLabelsTheClickedSeeds) {
  blocks();
  desk.script({pick("0"), pickNew(1, 12, 10, 6), values({"30"}), values({"1 1 2", "9 8 3"})});
  run(1201);
  expectNothingLeft();
  Volume* out = volumeSlot(1);
  ASSERT_EQ(CheckVolume(out, V3D_UC, 1), 0);
  EXPECT_NE(at<UC>(out, 0, 2, 1, 1), 0);
  EXPECT_NE(at<UC>(out, 0, 3, 8, 9), 0);
  EXPECT_EQ(at<UC>(out, 0, 2, 1, 1), 200) << "each grown region holds its mean";
  EXPECT_EQ(at<UC>(out, 0, 2, 6, 6), 0) << "the background is not reached from the seeds";

  desk.script({pick("0"), pickNew(2, 12, 10, 6), values({"30"}), cancel()});
  run(1201);
  EXPECT_EQ(volumeSlot(2)->dataType, 0) << "Cancel of the seed dialog removes the new output";
  expectNothingLeft();
}

TEST_F(CommandsTest, HoughUsesATemporaryAccumulator) {
  Volume* in = blocks();
  fill_in_VOI(in, 1, 2, 1, 2, 1, 2);
  desk.script({pick("0"), pickNew(1, 12, 10, 6), values({"8", "8", "16", "50"})});
  run(1194);
  expectNothingLeft();
  EXPECT_EQ(in->voiX1, 12) << "the input's VOI is the whole volume first";
  EXPECT_EQ(volumeSlot(2)->dataType, 0) << "the accumulator is not left in the table";
}

}  // namespace
}  // namespace v3d::test
