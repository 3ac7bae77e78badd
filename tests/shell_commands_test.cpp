// The commands of the processing families end to end through the scripted desk: edge
// detectors, thresholding, the region commands with their messages, labelling with its
// question, and region growing with its seed clicks.
#include <algorithm>
#include <cstdio>

#include "algorithms/edges.h"
#include "algorithms/histograms.h"
#include "algorithms/order_statistics.h"
#include "core/basic_ops.h"
#include "core/image_sequence.h"
#include "core/raw_files.h"
#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell/open_dialog.h"
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
    Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 10, 12);
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
  run(kCmdSobel);
  EXPECT_EQ(desk.dialogTitles[0], "Input Volume for Sobel");
  EXPECT_EQ(desk.dialogTitles[1], "Output Volume for Sobel");
  Volume sobel{};
  InitializeVolume(&sobel, 6, 10, 12, V3D_UC, V3D_ONE_CHANNEL);
  ASSERT_EQ(CreateVolume(&sobel), 0);
  ASSERT_EQ(Sobel_3D(in, &sobel), 0);
  EXPECT_EQ(snapshot(volumeSlot(1)).size(), snapshot(&sobel).size());
  EXPECT_EQ(at<UC>(volumeSlot(1), 0, 3, 4, 4), at<UC>(&sobel, 0, 3, 4, 4));
  DestroyVolume(&sobel);

  desk.script({pick("0"), pickNew(2, 12, 10, 6), values({"3", "3", "1"})});
  run(kCmdRange);
  EXPECT_EQ(desk.dialogTitles.back(), "Give Window Dimensions");
  EXPECT_EQ(volumeSlot(2)->dataType, V3D_UC);
  desk.script({pick("0"), pickNew(3, 12, 10, 6), values({"45", "0"})});
  run(kCmdCompass);
  EXPECT_EQ(volumeSlot(3)->dataType, V3D_UC);
  desk.script({pick("0"), pickNew(4, 12, 10, 6), values({"100"})});
  run(kCmdThreshold);
  EXPECT_EQ(at<UC>(volumeSlot(4), 0, 0, 0, 0) != at<UC>(volumeSlot(4), 0, 0, 0, 6), true);
  // An even window is refused by the filter; the output made for it goes again.
  desk.script({pick("0"), pickNew(5, 12, 10, 6), values({"2", "3", "3"})});
  run(kCmdRange);
  EXPECT_EQ(volumeSlot(5)->dataType, 0);
  EXPECT_FALSE(desk.lastMessage().empty());
  expectNothingLeft();
}

TEST_F(CommandsTest, RegionCommandsReportTheirCounts) {
  blocks();
  desk.script({pick("0"), pickNew(1, 12, 10, 6), values({"20"})});
  run(kCmdRegionSplit);
  EXPECT_EQ(desk.messages.back().text.rfind("No of regions = ", 0), 0u) << desk.lastMessage();
  EXPECT_EQ(desk.shown.back(), volumeSlot(1));

  const std::size_t shown = desk.shown.size();
  desk.script({pick("0"), pickNew(2, 12, 10, 6), values({"20", "50"})});
  run(kCmdRegionMerge);
  EXPECT_EQ(desk.dialogTitles.back(), "Give Threshold and Max No Regions");
  EXPECT_EQ(desk.messages.back().text.rfind("Number of regions = ", 0), 0u) << desk.lastMessage();
  EXPECT_EQ(desk.shown.size(), shown) << "Region Merge does not re-show its output";
  EXPECT_EQ(desk.refreshed.back(), volumeSlot(2)) << "but windows showing it are repainted";

  desk.script({pick("0"), pickNew(3, 12, 10, 6), values({"200"})});
  run(kCmdRegionSplitMerge);
  EXPECT_EQ(desk.messages.back().text.rfind("Number of regions = ", 0), 0u) << desk.lastMessage();
  expectNothingLeft();
}

TEST_F(CommandsTest, LabellingAsksFirstAndCountsTheObjects) {
  Volume* in = blocks();
  const auto before = snapshot(in);
  desk.script({no()});
  run(kCmdLabel);
  EXPECT_EQ(desk.messages.back().text, "Input volume will be modified. Continue?");
  EXPECT_EQ(snapshot(in), before);
  EXPECT_EQ(GetNewVolumeIndex(), 1);

  desk.script({yes(), pick("0"), pickNew(1, 12, 10, 6)});
  run(kCmdLabel);
  expectNothingLeft();
  EXPECT_EQ(desk.messages.back().text, "Number of regions = 3") << "two blocks and the background";
  EXPECT_EQ(desk.shown.back(), in) << "the displays of the input are repainted";
}

TEST_F(CommandsTest, LabellingThatRunsOutOfLabelsKeepsItsInput) {
  // 400 separate objects of 6 voxels: the labels stop at 255.
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 40, 60);
  const float zero[1] = {0};
  ClearVolume(in, const_cast<float*>(zero));
  for (int k = 0; k < 400; ++k)
    for (int dz = 0; dz < 3; ++dz)
      for (int dx = 0; dx < 2; ++dx) at<UC>(in, 0, dz, (k / 20) * 2, (k % 20) * 3 + dx) = 9;
  unsigned long voxels = 0;
  ASSERT_EQ(CountNonZeroPoints3d(in, &voxels), 0);
  ASSERT_EQ(voxels, 400u * 6);
  const auto before = snapshot(in);
  desk.script({yes(), pick("0"), pickNew(1, 60, 40, 4)});
  run(kCmdLabel);
  expectNothingLeft();
  EXPECT_EQ(desk.lastMessage(), "Maximum number of regions has been exceeded");
  EXPECT_EQ(volumeSlot(1)->dataType, 0) << "the output made for the command is destroyed";
  EXPECT_EQ(snapshot(in), before) << "a failed labelling leaves its input as it was";
}

TEST_F(CommandsTest, RegionGrowingLabelsTheClickedSeeds) {
  blocks();
  desk.script({pick("0"), pickNew(1, 12, 10, 6), values({"30"}), values({"1 1 2", "9 8 3"})});
  run(kCmdRegionGrow);
  expectNothingLeft();
  Volume* out = volumeSlot(1);
  ASSERT_EQ(CheckVolume(out, V3D_UC, V3D_ONE_CHANNEL), 0);
  EXPECT_NE(at<UC>(out, 0, 2, 1, 1), 0);
  EXPECT_NE(at<UC>(out, 0, 3, 8, 9), 0);
  EXPECT_EQ(at<UC>(out, 0, 2, 1, 1), 200) << "each grown region holds its mean";
  EXPECT_EQ(at<UC>(out, 0, 2, 6, 6), 0) << "the background is not reached from the seeds";

  desk.script({pick("0"), pickNew(2, 12, 10, 6), values({"30"}), cancel()});
  run(kCmdRegionGrow);
  EXPECT_EQ(volumeSlot(2)->dataType, 0) << "Cancel of the seed dialog removes the new output";
  const auto before = snapshot(volumeSlot(0));
  desk.script({pick("0"), pick("0")});
  run(kCmdRegionGrow);
  EXPECT_EQ(desk.lastMessage(), "Same input/output volume");
  EXPECT_EQ(snapshot(volumeSlot(0)), before) << "the input is not cleared for seeds";
  expectNothingLeft();
}

TEST_F(CommandsTest, HoughUsesATemporaryAccumulator) {
  Volume* in = blocks();
  fill_in_VOI(in, 1, 2, 1, 2, 1, 2);
  desk.script({pick("0"), pickNew(1, 12, 10, 6), values({"8", "8", "16", "50"})});
  run(kCmdHough);
  expectNothingLeft();
  EXPECT_EQ(in->voiX1, 12) << "the input's VOI is the whole volume first";
  EXPECT_EQ(volumeSlot(2)->dataType, 0) << "the accumulator is not left in the table";
}

}  // namespace
}  // namespace v3d::test

namespace v3d::test {
namespace {

using namespace v3d::shell;

class FilterCommandsTest : public ShellTest {
 protected:
  void run(int id) { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(id))); }
  void expectNothingLeft() {
    EXPECT_TRUE(desk.scriptDone());
    EXPECT_EQ(desk.unanswered, 0);
  }
  void writeText(const std::string& name, const std::string& content) {
    std::FILE* f = std::fopen(name.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(content.c_str(), f);
    std::fclose(f);
    created_.push_back(name);
  }
  void TearDown() override {
    for (const auto& f : created_) std::remove(f.c_str());
    ShellTest::TearDown();
  }
  std::vector<std::string> created_;
};

TEST_F(FilterCommandsTest, StandardMedianEndToEnd) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 5, 6, 7, 11);
  desk.script({pick("0"), pickNew(1, 7, 6, 5), values({"3", "3", "3"})});
  run(kCmdStandardMedian);
  expectNothingLeft();
  EXPECT_EQ(desk.dialogTitles, (std::vector<std::string>{"Select Input Volume for Median",
                                                         "Select Output Volume for Median",
                                                         "Give Window Dimensions"}));
  Volume ref{};
  InitializeVolume(&ref, 5, 6, 7, V3D_UC, V3D_ONE_CHANNEL);
  ASSERT_EQ(CreateVolume(&ref), 0);
  ASSERT_EQ(median3(in, &ref, 3, 3, 3), 0);
  Volume* out = volumeSlot(1);
  for (int z = 1; z < 4; ++z)
    for (int y = 1; y < 5; ++y)
      for (int x = 1; x < 6; ++x) ASSERT_EQ(at<UC>(out, 0, z, y, x), at<UC>(&ref, 0, z, y, x));
  DestroyVolume(&ref);
  EXPECT_EQ(desk.shown.back(), out);

  // An even window: the filter's own code, and the new output is gone again.
  desk.script({pick("0"), pickNew(2, 7, 6, 5), values({"2", "3", "3"})});
  run(kCmdStandardMedian);
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
  desk.script({pick("0"), pickNew(2, 7, 6, 5), values({"3"})});
  run(kCmdMultistageMedian);
  EXPECT_EQ(desk.dialogTitles.back(), "Give Window Dimensions");
  EXPECT_EQ(volumeSlot(2)->dataType, V3D_UC);
  for (int id : {kCmdMovingAverage, kCmdRunningMedian, kCmdMinFilter, kCmdMaxFilter}) {
    desk.script({pick("0"), pick("2"), values({"3", "1", "3"})});
    run(id);
  }
  desk.script({pick("0"), pick("2"), values({"3", "3", "3", "25.5"})});
  run(kCmdLocallyAdaptive);
  desk.script({pick("0"), pick("2")});
  run(kCmdHistogramEqualization);
  expectNothingLeft();
}

TEST_F(FilterCommandsTest, WeightedMedianLoadsItsWeightsIntoTheHighestFreeSlot) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 4, 4, 3);
  desk.script({pick("0"), pickNew(1, 4, 4, 4), choose(WeightsSourceDialog::kFile)});
  run(kCmdWeightedMedian);
  EXPECT_EQ(desk.lastMessage(), "File WIN_UC3D.PAR not found");
  EXPECT_EQ(volumeSlot(1)->dataType, 0);

  writeText("WIN_UC3D.PAR", "3\n1\n1\n1\n2\n1\n");
  desk.script({pick("0"), pickNew(1, 4, 4, 4), choose(WeightsSourceDialog::kFile)});
  run(kCmdWeightedMedian);
  expectNothingLeft();
  Volume* weights = volumeSlot(99);
  ASSERT_EQ(CheckVolume(weights, V3D_UC, V3D_ONE_CHANNEL), 0);
  EXPECT_EQ(weights->X, 3);
  EXPECT_EQ(at<UC>(weights, 0, 0, 0, 1), 2);
  EXPECT_EQ(desk.messages.back().text,
            "Coefficients from file WIN_UC3D.PAR have been loaded in Volume 99");
  EXPECT_EQ(volumeSlot(1)->dataType, V3D_UC);
  EXPECT_EQ(GetNewVolumeIndex(), 2) << "a later New entry still offers the lowest free slot";

  // With one slot left and chosen for the output, the weights find no other: 530.
  for (int i = 2; i < 98; ++i) makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1);
  ASSERT_EQ(GetNewVolumeIndex(), 98);
  desk.script({pick("0"), pickNew(98, 4, 4, 4), choose(WeightsSourceDialog::kFile)});
  run(kCmdWeightedMedian);
  EXPECT_EQ(desk.lastMessage(), "Cannot allocate internal volume");
  EXPECT_EQ(volumeSlot(98)->dataType, 0);

  desk.script({pick("0"), pick("1"), choose(WeightsSourceDialog::kVolume), pick("99")});
  run(kCmdWeightedMedian);
  expectNothingLeft();
  EXPECT_EQ(desk.dialogTitles.back(), "Select Weights Volume");
}

TEST_F(FilterCommandsTest, LFilterReadsItsCoefficientsForOneRun) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 4, 4, 5);
  writeText("WIN_F3D.PAR", "3\n1\n1\nx\n0.5\n0.5\n");
  desk.script({pick("0"), pickNew(1, 4, 4, 4)});
  run(kCmdLFilter);
  EXPECT_EQ(desk.lastMessage(), "Error in reading file WIN_F3D.PAR");
  EXPECT_EQ(volumeSlot(1)->dataType, 0);
  writeText("WIN_F3D.PAR", "3\n1\n1\n0\n0\n1\n");  // the maximum of each row triple
  desk.script({pick("0"), pickNew(1, 4, 4, 4)});
  run(kCmdLFilter);
  Volume* out = volumeSlot(1);
  Volume* in = volumeSlot(0);
  ASSERT_EQ(CheckVolume(out, V3D_UC, V3D_ONE_CHANNEL), 0);
  EXPECT_EQ(at<UC>(out, 0, 2, 2, 1),
            std::max({at<UC>(in, 0, 2, 2, 0), at<UC>(in, 0, 2, 2, 1), at<UC>(in, 0, 2, 2, 2)}));
  desk.script({pick("0"), pick("0")});
  run(kCmdLFilter);
  EXPECT_EQ(desk.lastMessage(), "Same input/output volume");
  EXPECT_EQ(GetNewVolumeIndex(), 2) << "no coefficient volume is left in the table";
  expectNothingLeft();
}

TEST_F(FilterCommandsTest, HistogramPlotsOfTheDensityAndTheDistribution) {
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 3, 4);
  ClearVolume(v, std::array<float, 3>{7, 0, 0}.data());
  at<UC>(v, 0, 1, 2, 3) = 9;
  desk.script({pick("0")});
  run(kCmdHistogramPdf);
  desk.script({pick("0")});
  run(kCmdHistogramCdf);
  expectNothingLeft();
  ASSERT_EQ(desk.plots.size(), 2u);
  EXPECT_EQ(desk.plots[0].title, "Histogram of #0 Volume (pdf)");
  EXPECT_FLOAT_EQ(desk.plots[0].values[7], 23.0f / 24.0f);
  EXPECT_EQ(desk.plots[1].title, "Histogram of #0 Volume (cdf)");
  EXPECT_FLOAT_EQ(desk.plots[1].values[255], 1.0f);
}

TEST_F(FilterCommandsTest, EachHistogramShowsOnlyItsOwnVolume) {
  // The commands keep their work arrays between runs: a run on another volume, or the other
  // histogram command in between, must leave nothing of the earlier counts behind.
  Volume* a = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 3, 4, 1);
  Volume* b = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 3, 2);
  ClearVolume(a, std::array<float, 3>{7, 0, 0}.data());
  desk.script({pick("0")});
  run(kCmdHistogramPdf);
  desk.script({pick("1")});
  run(kCmdHistogramCdf);
  desk.script({pick("1")});
  run(kCmdHistogramPdf);
  expectNothingLeft();
  ASSERT_EQ(desk.plots.size(), 3u);
  std::array<float, 256> density{}, distribution{};
  float* histograms[3] = {density.data(), nullptr, nullptr};
  ASSERT_EQ(hist3(b, histograms), 0);
  ASSERT_EQ(cdfhist3(density.data(), distribution.data()), 0);
  EXPECT_EQ(desk.plots[1].title, "Histogram of #1 Volume (cdf)");
  EXPECT_EQ(desk.plots[2].title, "Histogram of #1 Volume (pdf)");
  for (std::size_t i = 0; i < 256; ++i) {
    ASSERT_EQ(desk.plots[1].values[i], distribution[i]) << i;
    ASSERT_EQ(desk.plots[2].values[i], density[i]) << i;
  }
  EXPECT_EQ(desk.plots[0].values[7], 1.0f) << "volume 0 is all sevens";
}

TEST_F(FilterCommandsTest, OpenReadsASequenceIntoANewVolume) {
  Volume* src = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 3, 10, 12, 21);
  const std::string base = tempPath("seq");
  char ext[] = "tif";
  ASSERT_EQ(local_WriteImageSeqTIFF(src, base.c_str(), 5, ext, 1, 2), 0);
  for (int k = 5; k < 8; ++k) created_.push_back(base + std::to_string(k) + ".tif");
  desk.script({openFiles(kOpenTiff, base + "5.tif", 5, 7), pick("New[1]")});
  run(kCmdOpen);
  expectNothingLeft();
  Volume* v = volumeSlot(1);
  ASSERT_EQ(CheckVolume(v, V3D_UC, V3D_THREE_CHANNELS), 0);
  EXPECT_EQ(v->Z, 3);
  EXPECT_EQ(v->Y, 10);
  EXPECT_EQ(at<UC>(v, 2, 2, 9, 11), at<UC>(src, 2, 2, 9, 11));
  EXPECT_EQ(desk.shown.back(), v);

  // A raw volume too short for the request: the target is destroyed, nothing stays.
  const std::string raw = tempPath("short.rv");
  ASSERT_EQ(WriteVolume(src, raw.c_str(), 0, 1), 0);
  created_.push_back(raw);
  desk.script({openFiles(kOpenRawVolume, raw, 0, 2, 0, 12, 10, 0, 1), pick("New[2]")});
  run(kCmdOpen);
  EXPECT_EQ(desk.lastMessage(), "fread error");
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
  // A missing sequence fails at the check, before any target is chosen.
  desk.script({openFiles(kOpenBmp, tempPath("none") + "1.bmp", 1, 2)});
  run(kCmdOpen);
  EXPECT_EQ(desk.lastMessage(), "Unable to open file");
  expectNothingLeft();
}

TEST_F(FilterCommandsTest, TheStatusLineSaysWhatTheCommandDidAndWhichFileFailed) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 5, 6, 7, 11);
  desk.script({pick("0"), pickNew(1, 7, 6, 5), values({"3", "3", "3"})});
  run(kCmdStandardMedian);
  ASSERT_EQ(desk.statuses.size(), 1u);
  // "Standard Median: vol 0 → vol 1, <seconds with two decimals> s".
  const std::string line = desk.statuses.back(), head = "Standard Median: vol 0 \u2192 vol 1, ";
  ASSERT_EQ(line.rfind(head, 0), 0u) << line;
  const std::string seconds = line.substr(head.size());
  ASSERT_GE(seconds.size(), 6u) << line;
  EXPECT_EQ(seconds.substr(seconds.size() - 2), " s") << line;
  EXPECT_EQ(seconds[seconds.size() - 5], '.') << line;
  EXPECT_TRUE(std::all_of(seconds.begin(), seconds.end() - 2, [](char c) {
    return c == '.' || (c >= '0' && c <= '9');
  })) << line;
  desk.script({cancel()});
  run(kCmdStandardMedian);
  EXPECT_EQ(desk.statuses.size(), 1u) << "nothing done, nothing said";
  desk.script({pick("0"), pickNew(2, 7, 6, 5), values({"2", "3", "3"})});
  run(kCmdStandardMedian);
  EXPECT_EQ(desk.statuses.back(), "Standard Median: " + desk.lastMessage());

  // Four frames, the third damaged: the status names it beside the message box.
  Volume* src = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6, 3);
  const std::string base = tempPath("damaged");
  char ext[] = "tif";
  ASSERT_EQ(local_WriteImageSeqTIFF(src, base.c_str(), 0, ext, 1, 1), 0);
  for (int k = 0; k < 4; ++k) created_.push_back(base + std::to_string(k) + ".tif");
  writeText(base + "2.tif", "II*\0 not a TIFF after all");
  desk.script({openFiles(kOpenTiff, base + "0.tif", 0, 3)});
  run(kCmdOpen);
  const std::string box = desk.lastMessage();
  EXPECT_EQ(desk.statuses.back(), "Open: " + base + "2.tif: " + box);
  // A missing file says so.
  std::remove((base + "3.tif").c_str());
  std::remove((base + "2.tif").c_str());
  desk.script({openFiles(kOpenTiff, base + "0.tif", 0, 3)});
  run(kCmdOpen);
  EXPECT_EQ(desk.statuses.back(), "Open: " + base + "2.tif: No such file or directory");
  // And a sequence read shows its volume.
  desk.script({openFiles(kOpenTiff, base + "0.tif", 0, 1), pick("New[3]")});
  run(kCmdOpen);
  EXPECT_EQ(desk.statuses.back().rfind("Open: vol 3, ", 0), 0u) << desk.statuses.back();
}

}  // namespace
}  // namespace v3d::test
