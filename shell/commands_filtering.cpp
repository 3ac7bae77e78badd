// The Filtering menu: moving average, the median filters, min and max, the L-filter and the
// locally adaptive filter. The weighted median and the L-filter read their window from a
// parameter file.
#include <cstddef>
#include <string>

#include "algorithms/linear_filters.h"
#include "algorithms/order_statistics.h"
#include "core/messages.h"
#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/desk.h"
#include "shell/dialogs.h"
#include "shell/parameter_files.h"

namespace v3d::shell {
namespace {

// The weights of the weighted median: from "WIN_UC3D.PAR" into a new volume in the highest
// free slot (which stays in the table), or an existing volume. nullptr when the command ends.
Volume* weightsVolume(Desk& desk, int reservedSlot) {
  WeightsSourceDialog source;
  const int chosen = desk.run(source);
  if (chosen == 0) return nullptr;
  if (chosen == WeightsSourceDialog::kVolume) {
    CommandRun pick(desk);
    if (!pick.askChoice(kTitleSelectWeightsVolume, V3D_UC, V3D_ONE_CHANNEL)) return nullptr;
    return pick.in;
  }
  ParameterFile file;
  const std::string name(text(kTextWeightsFileName));
  if (int code = readParameterFile(name, true, kWeightsFileCodes, file); code != 0) {
    error_handler(code);
    return nullptr;
  }
  Volume* slot = nullptr;
  for (int i = kTableSlots - 1; i >= 0 && slot == nullptr; --i)
    if (volumeSlot(i)->dataType == 0 && i != reservedSlot) slot = volumeSlot(i);
  if (slot == nullptr) {
    error_handler(kCannotAllocateVolume);
    return nullptr;
  }
  InitializeVolume(slot, file.Z, file.Y, file.X, V3D_UC, V3D_ONE_CHANNEL);
  if (int code = CreateVolume(slot); code != 0) {
    error_handler(code);
    return nullptr;
  }
  std::size_t k = 0;
  for (int z = 0; z < file.Z; ++z)
    for (int y = 0; y < file.Y; ++y)
      for (int x = 0; x < file.X; ++x)
        static_cast<unsigned char***>(slot->channel[0])[z][y][x] =
            static_cast<unsigned char>(file.values[k++]);
  showInformation(formatText(kFormatCoefficientsLoaded, name.c_str(), GetVolumeIndex(slot)));
  return slot;
}

void cmdWeightedMedian(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleInWeightedMedian, V3D_UC, V3D_ANY_COLOR)) return;
  if (!r.askOutput(kTitleOutWeightedMedian, r.in->X, r.in->Y, r.in->Z)) return;
  // A New output keeps the slot it was offered.
  Volume* weights = weightsVolume(desk, r.outIsNew ? r.outIndex : -1);
  if (weights == nullptr) return;
  if (!r.prepareOutput(0, 0, r.in->X, r.in->Y, r.in->Z)) return;
  r.finish(wei_median3(r.in, r.out, weights));
}

void cmdLFilter(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ANY_COLOR)) return;
  if (!r.askOutput(kTitleSelectOutputVolume, r.in->X, r.in->Y, r.in->Z)) return;
  if (r.refuseSameOutput()) return;
  // The coefficients live for this command only.
  ParameterFile file;
  if (int code = readParameterFile(std::string(text(kTextCoefficientsFileName)), false,
                                   kCoefficientsFileCodes, file);
      code != 0) {
    error_handler(code);
    return;
  }
  if (!r.prepareOutput(0, 0, r.in->X, r.in->Y, r.in->Z)) return;
  r.finish(l_filter3(r.in, r.out, file.values.data(), file.Z, file.Y, file.X));
}

}  // namespace

CommandList filteringCommands() {
  return {
      row(kCmdMovingAverage)
          .input(V3D_UC, V3D_ANY_COLOR, kTitleInMovingAverage)
          .output(kTitleOutMovingAverage)
          .windowDimensions()
          .runs(
              [](CommandRun& r) { return mov_ave3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }),
      row(kCmdStandardMedian)
          .input(V3D_UC, V3D_ANY_COLOR, kTitleInMedian)
          .output(kTitleOutMedian)
          .windowDimensions()
          .runs(
              [](CommandRun& r) { return median3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }),
      row(kCmdRunningMedian)
          .input(V3D_UC, V3D_ANY_COLOR, kTitleInRunningMedian)
          .output(kTitleOutRunningMedian)
          .windowDimensions()
          .runs([](CommandRun& r) {
            return run_median3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]);
          }),
      row(kCmdMultistageMedian)
          .input(V3D_UC, V3D_ANY_COLOR, kTitleInMultistageMedian)
          .output(kTitleOutMultistageMedian)
          .values(kTitleWindowDimensions, {kPromptCubicWindow})
          .runs([](CommandRun& r) { return multistage_median3(r.in, r.out, r.ints[0]); }),
      {kCmdWeightedMedian, cmdWeightedMedian},
      row(kCmdMinFilter)
          .input(V3D_UC, V3D_ANY_COLOR, kTitleInRunningMin)
          .output(kTitleOutRunningMin)
          .windowDimensions()
          .runs(
              [](CommandRun& r) { return run_min3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }),
      row(kCmdMaxFilter)
          .input(V3D_UC, V3D_ANY_COLOR, kTitleInRunningMax)
          .output(kTitleOutRunningMax)
          .windowDimensions()
          .runs(
              [](CommandRun& r) { return run_max3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }),
      {kCmdLFilter, cmdLFilter},
      row(kCmdLocallyAdaptive)
          .input(V3D_UC, V3D_ANY_COLOR)
          .values(kTitleWindowAndNoise,
                  {kPromptXDimension, kPromptYDimension, kPromptZDimension, kPromptNoiseVariance})
          .lastValueFloat()
          .runs([](CommandRun& r) {
            return local_adapt_filt3(r.in, r.out, r.floats[3], r.ints[2], r.ints[1], r.ints[0]);
          }),
  };
}

}  // namespace v3d::shell
