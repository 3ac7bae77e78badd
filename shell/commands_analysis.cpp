// The Analysis menu: histogram equalisation and plots, edge detection with the Hough
// transform, thresholding and the region commands with labelling, and the metrics.
#include <array>

#include "algorithms/edges.h"
#include "algorithms/histograms.h"
#include "algorithms/segmentation.h"
#include "core/basic_ops.h"
#include "core/messages.h"
#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/desk.h"
#include "shell/labelled_view.h"

namespace v3d::shell {
namespace {

// ---- Histogram ------------------------------------------------------------------------

// The work arrays of a histogram command. The plot windows copy the values they show, so
// nothing reads the arrays after the command returns; the table keeps them for the run all
// the same, one pair per command.
struct HistogramWork {
  std::array<float, 256> density{};
  std::array<float, 256> distribution{};
};

void cmdHistogram(Desk& desk, HistogramWork& work, bool cumulative) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  r.busy();
  float* histograms[3] = {work.density.data(), nullptr, nullptr};
  int code = hist3(r.in, histograms);
  if (code == 0 && cumulative) code = cdfhist3(work.density.data(), work.distribution.data());
  if (code != 0) {
    r.fail(code);
    return;
  }
  const std::string title =
      formatText(cumulative ? kFormatHistogramCdf : kFormatHistogramPdf, r.inIndex);
  if (!desk.openPlot(title, cumulative ? work.distribution.data() : work.density.data()))
    error_handler(kCannotCreateWindow);
}

// ---- Edge detection ----------------------------------------------------------------------

void cmdHough(Desk& desk) {
  CommandRun r(desk);
  if (!r.askChoice(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  fill_in_VOI(r.in, 0, r.in->Z, 0, r.in->Y, 0, r.in->X);
  if (!r.askOutput(kTitleSelectOutputVolume, r.in->X, r.in->Y, r.in->Z)) return;
  if (!r.askValues(kTitleHoughParameters,
                   {kPromptXDimension, kPromptYDimension, kPromptZDimension, kPromptThreshold}))
    return;
  if (!r.prepareOutput(0, 0, r.in->X, r.in->Y, r.in->Z)) return;
  // The accumulator: an I volume of the typed size, released whatever the result.
  Volume work{};
  InitializeVolume(&work, r.ints[2], r.ints[1], r.ints[0], V3D_I, r.in->colorType);
  if (int code = CreateVolume(&work); code != 0) {
    r.fail(code);
    return;
  }
  const int code = Hough_3D(r.in, r.out, &work, r.ints[3]);
  DestroyVolume(&work);
  r.finish(code);
}

// ---- Region segmentation -------------------------------------------------------------------

// The steps of the region commands: the threshold dialog of kCmdThreshold (Region Merge also
// asks the region limit); what follows the operation is their own.
constexpr PatternRow kRegionSteps =
    steps().input(V3D_UC, V3D_ONE_CHANNEL).values(kTitleThreshold, {kPromptThreshold});

// The work array of region sizes that labelling fills; the table keeps it for the run.
struct LabellingWork {
  std::array<float, 256> sizes{};
};
// The most labels labelling hands out: one per entry of the sizes array after the
// background's.
constexpr int kMaxLabels = 255;

// "Number of regions = %d" and "No of regions = %lu", each with its own argument type.
std::string formatRegions(int count) {
  return formatText(kTextNumberOfRegions, count);
}
std::string formatNoOfRegions(unsigned long count) {
  return formatText(kTextNoOfRegions, count);
}

void cmdRegionGrow(Desk& desk) {
  CommandRun r(desk);
  // The output is cleared for the seeds, so it may not be the input.
  if (!prepareRow(r, kRegionSteps.notInPlace())) return;
  // Seeds are read from the output: it starts cleared over the whole volume.
  fill_in_VOI(r.out, 0, r.out->Z, 0, r.out->Y, 0, r.out->X);
  const float zero[3] = {0, 0, 0};
  ClearVolume(r.out, const_cast<float*>(zero));
  const int seeds = desk.pickSeeds(r.in, r.out);
  if (seeds < 0 || CheckVolume(r.out, V3D_UC, V3D_ONE_CHANNEL) != 0) {
    // Cancel: a volume made for this command goes again; one that existed is kept.
    if (r.outMadeHere) {
      closeVolumeWindows(r.out);
      DestroyVolume(r.out);
    }
    return;
  }
  r.busy();
  r.finish(r.compute(kCmdRegionGrow, [&] { return region3d_grow(r.in, r.out, seeds, r.ints[0]); }));
}

void cmdRegionSplit(Desk& desk, bool merge) {
  CommandRun r(desk);
  if (!prepareRow(r, kRegionSteps)) return;
  int count = 0;
  const int code = r.compute(merge ? kCmdRegionSplitMerge : kCmdRegionSplit, [&] {
    return merge ? region3d_splitmerge(r.in, r.out, &count, r.ints[0])
                 : region3d_split(r.in, r.out, &count, r.ints[0]);
  });
  if (code < 0) {
    r.finish(code);
    return;
  }
  showInformation(merge ? formatRegions(count)
                        : formatNoOfRegions(static_cast<unsigned long>(count)));
  r.finish(code);
}

void cmdRegionMerge(Desk& desk) {
  CommandRun r(desk);
  if (!prepareRow(r, kRegionSteps.values(kTitleThresholdAndMaxRegions,
                                         {kPromptThreshold, kPromptMaxRegions})))
    return;
  const int regions =
      r.compute(kCmdRegionMerge, [&] { return region3d_merge(r.in, r.out, r.ints[0], r.ints[1]); });
  if (regions < 0) {
    r.finish(regions);
    return;
  }
  // The output is not shown anew, but windows already showing it are repainted.
  desk.refreshVolume(r.out);
  showInformation(formatRegions(regions));
}

void cmdLabel(Desk& desk, LabellingWork& work) {
  if (VerifyInPlaceModification(nullptr) == 0) return;
  CommandRun r(desk);
  if (!prepareRow(r, steps().input(V3D_UC, V3D_ONE_CHANNEL))) return;
  int count = 0;
  // Labelling writes its input too (consumed on success).
  const int code = r.compute(
      kCmdLabel, [&] { return grass3d_label(r.in, r.out, &count, work.sizes.data(), kMaxLabels); },
      r.in);
  if (code < 0) {
    r.finish(code);
    return;
  }
  r.finish(code);
  desk.showVolume(r.in);  // labelling changes its input too
  showInformation(formatRegions(count));
}

// ---- Metrics -------------------------------------------------------------------------------

void cmdCount(Desk& desk, bool surface) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  r.busy();
  unsigned long count = 0;
  const int code =
      surface ? CountNonZeroSurfacePoints3d(r.in, &count) : CountNonZeroPoints3d(r.in, &count);
  if (code != 0) {
    r.fail(code);
    return;
  }
  showInformation(formatText(surface ? kTextSurfacePoints : kTextVolumePoints, count),
                  kTextMetricsCaption);
}

void cmdBoundingBox(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ANY_COLOR)) return;
  r.busy();
  int zMin, yMin, xMin, zEnd, yEnd, xEnd;
  if (int code = FindBoundingBox3d(r.in, &zMin, &yMin, &xMin, &zEnd, &yEnd, &xEnd); code != 0) {
    r.fail(code);
    return;
  }
  if (zMin == -1) {
    showInformation(std::string(text(kTextOnlyBackground)));
    return;
  }
  showInformation(formatText(kTextBoundingBox, xMin, yMin, zMin, xEnd, yEnd, zEnd));
}

}  // namespace

CommandList analysisCommands() {
  return {
      // Histogram
      row(kCmdHistogramEqualization).input(V3D_UC, V3D_ANY_COLOR).runs([](CommandRun& r) {
        return HistogramEqual3d(r.in, r.out);
      }),
      withState<HistogramWork>(kCmdHistogramPdf,
                               [](Desk& d, HistogramWork& work) { cmdHistogram(d, work, false); }),
      withState<HistogramWork>(kCmdHistogramCdf,
                               [](Desk& d, HistogramWork& work) { cmdHistogram(d, work, true); }),

      // Edge detection
      row(kCmdRange)
          .input(V3D_UC, V3D_ONE_CHANNEL, kTitleInRange)
          .output(kTitleOutRange)
          .windowDimensions()
          .runs(
              [](CommandRun& r) { return range_3d(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }),
      row(kCmdCompass)
          .input(V3D_UC, V3D_ONE_CHANNEL, kTitleInCompass)
          .output(kTitleOutCompass)
          .values(kTitlePlaneDirection, {kPromptXDirection, kPromptZDirection})
          .runs([](CommandRun& r) { return compas3d(r.in, r.out, r.ints[1], r.ints[0]); }),
      row(kCmdSobel)
          .input(V3D_UC, V3D_ONE_CHANNEL, kTitleInSobel)
          .output(kTitleOutSobel)
          .runs([](CommandRun& r) { return Sobel_3D(r.in, r.out); }),
      row(kCmdLaplace)
          .input(V3D_UC, V3D_ONE_CHANNEL, kTitleInLaplace)
          .output(kTitleOutLaplace)
          .runs([](CommandRun& r) { return laplace_3d(r.in, r.out); }),
      {kCmdHough, cmdHough},

      // Region segmentation
      row(kCmdThreshold)
          .input(V3D_UC, V3D_ONE_CHANNEL)
          .values(kTitleThreshold, {kPromptThreshold})
          .runs([](CommandRun& r) { return threshold_3d(r.in, r.out, r.ints[0]); }),
      {kCmdRegionGrow, cmdRegionGrow},
      {kCmdRegionSplit, [](Desk& d) { cmdRegionSplit(d, false); }},
      {kCmdRegionMerge, cmdRegionMerge},
      {kCmdRegionSplitMerge, [](Desk& d) { cmdRegionSplit(d, true); }},
      withState<LabellingWork>(kCmdLabel, cmdLabel),
      {kCmdViewLabelled, runViewLabelled},

      // Metrics
      {kCmdSurfacePoints, [](Desk& d) { cmdCount(d, true); }},
      {kCmdVolumePoints, [](Desk& d) { cmdCount(d, false); }},
      {kCmdBoundingBox, cmdBoundingBox},
  };
}

}  // namespace v3d::shell
