// The command table, the per-command rows of the common pattern, the special commands and
// the menu layout.
#include "shell/commands.h"

#include <array>
#include <cstdio>
#include <vector>
#include <string>

#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_run.h"
#include "shell/desk.h"
#include "core/image_size.h"
#include "shell/dialogs.h"
#include "shell/open_dialog.h"
#include "shell/parameter_files.h"

namespace v3d::shell {
namespace {

bool g_saverPresent = false;

// ---- Rows of the common command pattern ------------------------------------------------

// The parameters an operation receives from the run: the volumes and the parsed values.
using Operation = int (*)(CommandRun& run);

struct PatternRow {
  int id;
  int inDialog;       // 102 or 104
  int inTitle;
  int inType, inColor;
  int outTitle;
  bool forbidSame;    // an output equal to the input is refused (525)
  int outType;        // 0: the input's
  int valueTitle;     // 0: no value dialog
  std::array<int, 4> prompts;  // string ids of the value prompts, 0 after the last
  bool lastIsFloat;
  Operation op;
};

int opSymmetric(CommandRun& r) { return Symmetric3d(r.in, r.out); }
int opFToUCTruncation(CommandRun& r) {
  return FVolume2UCVolume(r.in, r.out, r.in->voiZ0, r.in->voiY0, r.in->voiX0);
}
int opFToUCScaling(CommandRun& r) {
  return FVolume2UCVolume_norm(r.in, r.out, r.in->voiZ0, r.in->voiY0, r.in->voiX0);
}
int opUCToF(CommandRun& r) {
  return UCVolume2FVolume(r.in, r.out, r.in->voiZ0, r.in->voiY0, r.in->voiX0);
}

bool prepareRow(CommandRun& r, const PatternRow& row);

int opRange(CommandRun& r) { return range_3d(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }
int opCompass(CommandRun& r) { return compas3d(r.in, r.out, r.ints[1], r.ints[0]); }
int opSobel(CommandRun& r) { return Sobel_3D(r.in, r.out); }
int opLaplace(CommandRun& r) { return laplace_3d(r.in, r.out); }
int opThreshold(CommandRun& r) { return threshold_3d(r.in, r.out, r.ints[0]); }
int opEqualize(CommandRun& r) { return HistogramEqual3d(r.in, r.out); }
int opMovingAverage(CommandRun& r) { return mov_ave3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }
int opMedian(CommandRun& r) { return median3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }
int opRunningMedian(CommandRun& r) {
  return run_median3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]);
}
int opMultistage(CommandRun& r) { return multistage_median3(r.in, r.out, r.ints[0]); }
int opMin(CommandRun& r) { return run_min3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }
int opMax(CommandRun& r) { return run_max3(r.in, r.out, r.ints[2], r.ints[1], r.ints[0]); }
int opAdaptive(CommandRun& r) {
  return local_adapt_filt3(r.in, r.out, r.floats[3], r.ints[2], r.ints[1], r.ints[0]);
}

const PatternRow kRows[] = {
    {kCmdSymmetric, 102, kTitleSelectInputVolume, V3D_UC, 3, kTitleSelectOutputVolume, false, 0,
     0, {}, false, opSymmetric},
    {kCmdFToUCTruncation, 102, kTitleSelectInputVolume, V3D_F, 3, kTitleSelectOutputVolume, true,
     V3D_UC, 0, {}, false, opFToUCTruncation},
    {kCmdFToUCScaling, 102, kTitleSelectInputVolume, V3D_F, 3, kTitleSelectOutputVolume, true,
     V3D_UC, 0, {}, false, opFToUCScaling},
    {kCmdUCToF, 102, kTitleSelectInputVolume, V3D_UC, 3, kTitleSelectOutputVolume, true, V3D_F, 0,
     {}, false, opUCToF},
    {1190, 102, kTitleInRange, V3D_UC, 1, kTitleOutRange, false, 0, kTitleWindowDimensions,
     {kPromptXDimension, kPromptYDimension, kPromptZDimension}, false, opRange},
    {1191, 102, kTitleInCompass, V3D_UC, 1, kTitleOutCompass, false, 0, kTitlePlaneDirection,
     {kPromptXDirection, kPromptZDirection}, false, opCompass},
    {1192, 102, kTitleInSobel, V3D_UC, 1, kTitleOutSobel, false, 0, 0, {}, false, opSobel},
    {1193, 102, kTitleInLaplace, V3D_UC, 1, kTitleOutLaplace, false, 0, 0, {}, false, opLaplace},
    {1200, 102, kTitleSelectInputVolume, V3D_UC, 1, kTitleSelectOutputVolume, false, 0,
     kTitleThreshold, {kPromptThreshold}, false, opThreshold},
    {1170, 102, kTitleSelectInputVolume, V3D_UC, 3, kTitleSelectOutputVolume, false, 0, 0, {},
     false, opEqualize},
    {1171, 102, kTitleInMovingAverage, V3D_UC, 3, kTitleOutMovingAverage, false, 0,
     kTitleWindowDimensions, {kPromptXDimension, kPromptYDimension, kPromptZDimension}, false,
     opMovingAverage},
    {1172, 102, kTitleInMedian, V3D_UC, 3, kTitleOutMedian, false, 0, kTitleWindowDimensions,
     {kPromptXDimension, kPromptYDimension, kPromptZDimension}, false, opMedian},
    {1173, 102, kTitleInRunningMedian, V3D_UC, 3, kTitleOutRunningMedian, false, 0,
     kTitleWindowDimensions, {kPromptXDimension, kPromptYDimension, kPromptZDimension}, false,
     opRunningMedian},
    {1174, 102, kTitleInMultistageMedian, V3D_UC, 3, kTitleOutMultistageMedian, false, 0,
     kTitleWindowDimensions, {kPromptCubicWindow}, false, opMultistage},
    {1178, 102, kTitleInRunningMin, V3D_UC, 3, kTitleOutRunningMin, false, 0,
     kTitleWindowDimensions, {kPromptXDimension, kPromptYDimension, kPromptZDimension}, false,
     opMin},
    {1179, 102, kTitleInRunningMax, V3D_UC, 3, kTitleOutRunningMax, false, 0,
     kTitleWindowDimensions, {kPromptXDimension, kPromptYDimension, kPromptZDimension}, false,
     opMax},
    {1181, 102, kTitleSelectInputVolume, V3D_UC, 3, kTitleSelectOutputVolume, false, 0,
     kTitleWindowAndNoise,
     {kPromptXDimension, kPromptYDimension, kPromptZDimension, kPromptNoiseVariance}, true,
     opAdaptive},
};

// The rows of the region commands: the threshold parameters of 1200 (1203 also asks the
// region limit); what follows the operation is their own.
const PatternRow kRegionRow = {0, 102, kTitleSelectInputVolume, V3D_UC, 1, kTitleSelectOutputVolume,
                               false, 0, kTitleThreshold, {kPromptThreshold}, false, nullptr};

// "Number of regions = %d" and "No of regions = %lu", each with its own argument type.
std::string formatRegions(int count) {
  char message[96];
  std::snprintf(message, sizeof message, std::string(text(kTextNumberOfRegions)).c_str(), count);
  return message;
}
std::string formatNoOfRegions(unsigned long count) {
  char message[96];
  std::snprintf(message, sizeof message, std::string(text(kTextNoOfRegions)).c_str(), count);
  return message;
}

void cmdRegionGrow(Desk& desk) {
  CommandRun r(desk);
  // The output is cleared for the seeds, so it may not be the input.
  PatternRow row = kRegionRow;
  row.forbidSame = true;
  if (!prepareRow(r, row)) return;
  // Seeds are read from the output: it starts cleared over the whole volume.
  fill_in_VOI(r.out, 0, r.out->Z, 0, r.out->Y, 0, r.out->X);
  const float zero[3] = {0, 0, 0};
  ClearVolume(r.out, const_cast<float*>(zero));
  const int seeds = desk.pickSeeds(r.in, r.out);
  if (seeds < 0 || CheckVolume(r.out, V3D_UC, 1) != 0) {
    // Cancel: a volume made for this command goes again; one that existed is kept.
    if (r.outMadeHere) {
      closeVolumeWindows(r.out);
      DestroyVolume(r.out);
    }
    return;
  }
  r.busy();
  r.finish(region3d_grow(r.in, r.out, seeds, r.ints[0]));
}

void cmdRegionSplit(Desk& desk, bool merge) {
  CommandRun r(desk);
  if (!prepareRow(r, kRegionRow)) return;
  int count = 0;
  const int code = merge ? region3d_splitmerge(r.in, r.out, &count, r.ints[0])
                         : region3d_split(r.in, r.out, &count, r.ints[0]);
  if (code < 0) {
    r.fail(code);
    return;
  }
  showInformation(merge ? formatRegions(count)
                        : formatNoOfRegions(static_cast<unsigned long>(count)));
  r.finish(code);
}

void cmdRegionMerge(Desk& desk) {
  PatternRow row = kRegionRow;
  row.valueTitle = kTitleThresholdAndMaxRegions;
  row.prompts = {kPromptThreshold, kPromptMaxRegions, 0, 0};
  CommandRun r(desk);
  if (!prepareRow(r, row)) return;
  const int regions = region3d_merge(r.in, r.out, r.ints[0], r.ints[1]);
  if (regions < 0) {
    r.fail(regions);
    return;
  }
  // The output is not shown anew, but windows already showing it are repainted.
  desk.refreshVolume(r.out);
  showInformation(formatRegions(regions));
}

void cmdLabel(Desk& desk) {
  if (VerifyInPlaceModification(nullptr) == 0) return;
  CommandRun r(desk);
  PatternRow row = kRegionRow;
  row.valueTitle = 0;
  if (!prepareRow(r, row)) return;
  static float sizes[256];  // the shell's work array of region sizes
  int count = 0;
  const int code = grass3d_label(r.in, r.out, &count, sizes, 255);
  if (code < 0) {
    r.fail(code);
    return;
  }
  r.finish(code);
  desk.showVolume(r.in);  // labelling changes its input too
  showInformation(formatRegions(count));
}

// The weights of the weighted median: from "WIN_UC3D.PAR" into a new volume in the highest
// free slot (which stays in the table), or an existing volume. nullptr when the command ends.
Volume* weightsVolume(Desk& desk, int reservedSlot) {
  WeightsSourceDialog source;
  const int chosen = desk.run(source);
  if (chosen == 0) return nullptr;
  if (chosen == WeightsSourceDialog::kVolume) {
    CommandRun pick(desk);
    if (!pick.askInput(104, kTitleSelectWeightsVolume, V3D_UC, 1)) return nullptr;
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
    error_handler(530);
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
  char message[160];
  std::snprintf(message, sizeof message, std::string(text(kFormatCoefficientsLoaded)).c_str(),
                name.c_str(), GetVolumeIndex(slot));
  showInformation(message);
  return slot;
}

void cmdWeightedMedian(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleInWeightedMedian, V3D_UC, 3)) return;
  if (!r.askOutput(kTitleOutWeightedMedian, r.in->X, r.in->Y, r.in->Z)) return;
  // A New output keeps the slot it was offered.
  Volume* weights = weightsVolume(desk, r.outIsNew ? r.outIndex : -1);
  if (weights == nullptr) return;
  if (!r.prepareOutput(0, 0, r.in->X, r.in->Y, r.in->Z)) return;
  r.finish(wei_median3(r.in, r.out, weights));
}

void cmdLFilter(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleSelectInputVolume, V3D_UC, 3)) return;
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

void cmdHistogram(Desk& desk, bool cumulative) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleSelectInputVolume, V3D_UC, 1)) return;
  r.busy();
  static float density[256], distribution[256];  // the shell's work arrays
  float* histograms[3] = {density, nullptr, nullptr};
  int code = hist3(r.in, histograms);
  if (code == 0 && cumulative) code = cdfhist3(density, distribution);
  if (code != 0) {
    r.fail(code);
    return;
  }
  char title[96];
  std::snprintf(title, sizeof title,
                std::string(text(cumulative ? kFormatHistogramCdf : kFormatHistogramPdf)).c_str(),
                r.inIndex);
  if (!desk.openPlot(title, cumulative ? distribution : density)) error_handler(723);
}

// 40003: the open dialog, the check of the files, the target volume, the read.
void cmdOpen(Desk& desk) {
  OpenDialog request;
  if (desk.run(request) != 1) return;
  using Check = int (*)(const char*, int, int, const char*, int, int*, int*, int*);
  using Read = int (*)(Volume*, const char*, int, int, const char*, int);
  static const Check checks[5] = {CheckImageSeqTIFF, CheckImageSeqBMP, CheckImageSeqTGA,
                                  CheckImageSeqGIF, CheckImageSeqJPEG};
  static const Read reads[5] = {ReadImageSeqTIFF, ReadImageSeqBMP, ReadImageSeqTGA,
                                ReadImageSeqGIF, ReadImageSeqJPEG};
  const int kind = request.kind();
  const char* base = request.baseName.c_str();
  const char* ext1 = request.extensions[0].c_str();
  int rows = request.rows, columns = request.columns;
  int dataType = request.dataType, colorType = request.colorType;
  CommandRun r(desk);
  if (kind <= 5) {
    r.busy();
    int colour = 0;
    if (int code = checks[kind - 1](base, request.lowerFrame, request.digitCount, ext1,
                                    request.frames, &rows, &columns, &colour);
        code < 0) {
      error_handler(code);
      return;
    }
    dataType = V3D_UC;
    colorType = colour ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
  }
  VolumeDialog target(VolumeDialogKind::OpenTarget);
  target.title = std::string(text(kTitleSelectVolumeToOpen));
  target.suggestedX = columns;
  target.suggestedY = rows;
  target.suggestedZ = request.frames;
  target.fileDataType = dataType;
  target.fileColorType = colorType;
  if (desk.run(target) != 1) return;
  Volume* v = volumeSlot(target.chosenIndex);
  r.busy();
  if (target.chosenNew) {
    InitializeVolume(v, request.frames, rows, columns, dataType, colorType);
    if (int code = CreateVolume(v); code != 0) {
      error_handler(code);
      return;
    }
  } else if (v->Z < request.frames || v->Y < rows || v->X < columns || v->dataType != dataType ||
             v->colorType != colorType) {
    if (VerifyVolumeReallocation(nullptr) == 0) return;
    if (int code = ReallocateVolume(v, dataType, colorType, request.frames, rows, columns);
        code != 0) {
      error_handler(code);
      return;
    }
  }
  int code;
  if (kind <= 5) {
    // The per-file readers take images up to the volume's frame size.
    const ScopedImageSize size(v->Y, v->X);
    code = reads[kind - 1](v, base, request.lowerFrame, request.digitCount, ext1, request.frames);
  } else if (kind == 6) {
    char* extensions[3] = {request.extensions[0].data(), request.extensions[1].data(),
                           request.extensions[2].data()};
    code = fromdiskUCFI3D(v, base, request.lowerFrame, request.digitCount, extensions,
                          request.frames, rows, columns);
  } else {
    code = ReadVolume(v, base, request.lowerFrame, request.frames, rows, columns);
  }
  if (code < 0) {
    // No partly read volume stays in the table.
    closeVolumeWindows(v);
    DestroyVolume(v);
    error_handler(code);
    return;
  }
  desk.showVolume(v);
}

void cmdHough(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(104, kTitleSelectInputVolume, V3D_UC, 1)) return;
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

// Steps 1 to 5 of a row; false when the command has ended.
bool prepareRow(CommandRun& r, const PatternRow& row) {
  if (!r.askInput(row.inDialog, row.inTitle, row.inType, row.inColor)) return false;
  const int X = r.in->X, Y = r.in->Y, Z = r.in->Z;
  if (!r.askOutput(row.outTitle, X, Y, Z)) return false;
  if (row.forbidSame && r.refuseSameOutput()) return false;
  if (row.valueTitle != 0) {
    std::vector<int> prompts;
    for (int p : row.prompts)
      if (p != 0) prompts.push_back(p);
    if (!r.askValues(row.valueTitle, prompts, row.lastIsFloat)) return false;
  }
  return r.prepareOutput(row.outType, 0, X, Y, Z);
}

void runPattern(Desk& desk, const PatternRow& row) {
  CommandRun r(desk);
  if (!prepareRow(r, row)) return;
  r.finish(row.op(r));
}

// ---- Special commands --------------------------------------------------------------------

void cmdCreate(Desk& desk) {
  VolumeDialog d(VolumeDialogKind::Create);
  d.title = std::string(text(kTitleDialog113));
  if (desk.run(d) != 1) return;
  Volume* slot = volumeSlot(d.chosenIndex);
  InitializeVolume(slot, d.resultZ, d.resultY, d.resultX, d.resultDataType, d.resultColorType);
  if (int code = CreateVolume(slot); code != 0) error_handler(code);
}

void cmdDestroy(Desk& desk) {
  VolumeDialog d(VolumeDialogKind::Destroy);
  d.title = std::string(text(kTitleSelectVolumeToFree));
  desk.run(d);
}

void cmdState(Desk& desk) {
  VolumeDialog d(VolumeDialogKind::State);
  d.title = std::string(text(kTitleDialog117));
  desk.run(d);
}

void cmdSetVoi(Desk& desk) {
  VolumeDialog d(VolumeDialogKind::Voi);
  d.title = std::string(text(kTitleDialog115));
  if (desk.run(d) != 1) return;
  const auto& b = d.resultVoi;
  fill_in_VOI(d.chosenVolume, b[0], b[1], b[2], b[3], b[4], b[5]);
}

void cmdClear(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleSelectVolumeToClear, 7, 3, true)) return;
  const int title = r.in->dataType == V3D_F   ? kTitleClearF
                    : r.in->dataType == V3D_I ? kTitleClearI
                                              : kTitleClearUC;
  const bool colour = r.in->colorType != V3D_ONE_CHANNEL;
  const bool ok = colour ? r.askValues(title, {kPromptChannel1, kPromptChannel2, kPromptChannel3},
                                       false, true)
                         : r.askValues(title, {kPromptChannel1}, false, true);
  if (!ok) return;
  r.busy();
  r.out = r.in;
  r.finish(ClearVolume(r.in, r.floats.data()));
}

void cmdCopy(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleSelectInputToCopy, 7, 3)) return;
  const int X = r.in->voiX1 - r.in->voiX0, Y = r.in->voiY1 - r.in->voiY0,
            Z = r.in->voiZ1 - r.in->voiZ0;
  if (!r.askOutput(kTitleSelectOutputForCopy, X, Y, Z)) return;
  int zOff = 0, yOff = 0, xOff = 0;
  if (r.outIsNew) {
    if (!r.prepareOutput(0, 0, X, Y, Z)) return;
  } else {
    const int fit = PrepareOutputVolume(r.out, X, Y, Z, r.in->dataType, r.in->colorType, 2);
    if (fit == kOutputRefused || fit == kOutputReallocationFailed) return;
    if (fit == kOutputReallocated) {
      r.outMadeHere = true;
    } else {
      if (!r.askValues(kTitleCopyOffsets, {kPromptXOffset, kPromptYOffset, kPromptZOffset}))
        return;
      xOff = r.ints[0];
      yOff = r.ints[1];
      zOff = r.ints[2];
    }
    r.busy();
  }
  r.finish(CopyVolume(r.in, r.out, zOff, yOff, xOff));
}

void cmdLogical(Desk& desk, int (*op)(Volume*, Volume*, Volume*)) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleSelectInputVolume, V3D_UC, 1)) return;
  if (!r.askSecondInput(kTitleSelectInputVolume, V3D_UC, 1)) return;
  if (!r.askOutput(kTitleSelectOutputVolume, r.in->X, r.in->Y, r.in->Z)) return;
  if (!r.prepareOutput(0, 0, r.in->X, r.in->Y, r.in->Z)) return;
  r.finish(op(r.in, r.in2, r.out));
}

void cmdCount(Desk& desk, bool surface) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleSelectInputVolume, V3D_UC, 1)) return;
  r.busy();
  unsigned long count = 0;
  const int code = surface ? CountNonZeroSurfacePoints3d(r.in, &count)
                           : CountNonZeroPoints3d(r.in, &count);
  if (code != 0) {
    r.fail(code);
    return;
  }
  char message[160];
  std::snprintf(message, sizeof message,
                std::string(text(surface ? kTextSurfacePoints : kTextVolumePoints)).c_str(), count);
  showInformation(message, kTextMetricsCaption);
}

void cmdBoundingBox(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleSelectInputVolume, V3D_UC, 3)) return;
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
  char message[200];
  std::snprintf(message, sizeof message, std::string(text(kTextBoundingBox)).c_str(), xMin, yMin,
                zMin, xEnd, yEnd, zEnd);
  showInformation(message);
}

void cmdDump(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(102, kTitleSelectInputVolume, 7, 3)) return;
  const auto name =
      desk.saveFileName(std::string(text(kTitleDumpVolume)), std::string(text(kTextAllFiles)));
  if (!name) return;
  r.busy();
  if (int code = dumpUCFI3D(r.in, name->c_str()); code != 0) r.fail(code);
}

// 1300, 1307: a display window on a chosen frame range.
void cmdDisplay(Desk& desk, bool colour) {
  CommandRun r(desk);
  if (!r.askInput(104, kTitleSelectVolumeToDisplay, V3D_UC, colour ? 2 : 1)) return;
  DisplayLevelsDialog levels(r.in->Z);
  levels.title = std::string(text(kTitleDialog114));
  if (desk.run(levels) != 1) return;
  if (levels.upperFrame >= r.in->Z) {
    error_handler(611);
    return;
  }
  if (!desk.openDisplay(r.in, colour, levels.lowerFrame, levels.upperFrame, levels.delaySeconds))
    error_handler(612);
}

void cmdSections(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(104, kTitleSelectVolumeToDisplay, V3D_UC, 3)) return;
  desk.openSectionView(r.in);
}

void cmdAbout(Desk& desk) {
  AboutDialog d;
  d.text = std::string(text(kTextAbout));
  desk.run(d);
}

// ---- The command table ---------------------------------------------------------------------

using Handler = void (*)(Desk&);

struct CommandEntry {
  int id;
  Handler handler;
};

const CommandEntry kCommands[] = {
    {kCmdCreate, cmdCreate},
    {kCmdDestroy, cmdDestroy},
    {kCmdState, cmdState},
    {kCmdSetVoi, cmdSetVoi},
    {kCmdClear, cmdClear},
    {kCmdCopy, cmdCopy},
    {kCmdAnd, [](Desk& d) { cmdLogical(d, and3d); }},
    {kCmdOr, [](Desk& d) { cmdLogical(d, or3d); }},
    {kCmdXor, [](Desk& d) { cmdLogical(d, xor3d); }},
    {1220, [](Desk& d) { cmdCount(d, true); }},
    {1221, [](Desk& d) { cmdCount(d, false); }},
    {kCmdBoundingBox, cmdBoundingBox},
    {kCmdDump, cmdDump},
    {kCmdExit, [](Desk& d) { d.quit(); }},
    {1194, cmdHough},
    {kCmdOpen, cmdOpen},
    {1175, cmdWeightedMedian},
    {1180, cmdLFilter},
    {1185, [](Desk& d) { cmdHistogram(d, false); }},
    {1186, [](Desk& d) { cmdHistogram(d, true); }},
    {1201, cmdRegionGrow},
    {1202, [](Desk& d) { cmdRegionSplit(d, false); }},
    {1203, cmdRegionMerge},
    {1204, [](Desk& d) { cmdRegionSplit(d, true); }},
    {1205, cmdLabel},
    {1300, [](Desk& d) { cmdDisplay(d, false); }},
    {1307, [](Desk& d) { cmdDisplay(d, true); }},
    {kCmdSections, cmdSections},
    {kCmdCoordinates, [](Desk& d) { pointerModes().coordinatesShown = d.toggleCoordinates(); }},
    {kCmdWriteVoxel, [](Desk&) { pointerModes().voxelWriting = true; }},
    {kCmdAbout, cmdAbout},
};

const PatternRow* findRow(int id) {
  for (const PatternRow& r : kRows)
    if (r.id == id) return &r;
  return nullptr;
}

Handler findHandler(int id) {
  for (const CommandEntry& c : kCommands)
    if (c.id == id) return c.handler;
  return nullptr;
}

// ---- Menu layout ------------------------------------------------------------------------

MenuNode item(int id) { return {MenuNode::Command, id, kMenuTextBase + id, {}}; }
MenuNode separator() { return {MenuNode::Separator, 0, 0, {}}; }
MenuNode popup(int textId, std::vector<MenuNode> children) {
  return {MenuNode::Popup, 0, textId, std::move(children)};
}
std::vector<MenuNode> items(std::initializer_list<int> ids) {
  std::vector<MenuNode> v;
  for (int id : ids) v.push_back(id == 0 ? separator() : item(id));
  return v;
}

std::vector<MenuNode> buildMenu() {
  return {
      popup(kMenuFile, items({kCmdOpen, kCmdSave, kCmdDump, 0, kCmdCreate, kCmdDestroy, kCmdState,
                              kCmdSetVoi, 0, kCmdCoordinates, kCmdWriteVoxel, 0, kCmdExit})),
      popup(kMenuOperations,
            {popup(kMenuBasic, items({kCmdClear, kCmdCopy, 0, kCmdAnd, kCmdOr, kCmdXor, 0,
                                      kCmdUCToF, kCmdFToUCScaling, kCmdFToUCTruncation})),
             popup(kMenuRearrangement, items({kCmdSymmetric})),
             popup(kMenuResizing, items({1150, 1151, 0, 1152, 1153, 1154, 0, 1155})),
             popup(kMenuFiltering,
                   [] {
                     auto v = items({1171});
                     v.push_back(popup(kMenuMedianFilters, items({1172, 1173, 1174, 1175})));
                     for (auto& n : items({1178, 1179, 0, 1180, 1181})) v.push_back(n);
                     return v;
                   }()),
             popup(kMenuAnalysis,
                   {popup(kMenuHistogram, items({1170, 0, 1185, 1186})),
                    popup(kMenuEdgeDetection, items({1190, 1191, 1192, 1193, 0, 1194})),
                    popup(kMenuRegionSegmentation,
                          items({1200, 1201, 1202, 1203, 1204, 0, 1205, 1206})),
                    popup(kMenuMetrics, items({1220, 1221, 1222}))}),
             popup(kMenuTransforms, items({1230, 1231, 1232, 1233, 0, 1234, 1235, 0, 1236, 1237})),
             popup(kMenuMorphology, items({1240, 1241, 0, 1242, 1243, 1244, 1245})), separator(),
             item(1250), item(1251), separator(), item(1260)}),
      popup(kMenuVisualization, items({1300, 1307, 0, 1315, 0, kCmdSections})),
      {MenuNode::Placeholder, 0, kMenuModules, {}},
      popup(kMenuHelp, items({kCmdAbout})),
  };
}

}  // namespace

const std::vector<MenuNode>& mainMenu() {
  static const std::vector<MenuNode> menu = buildMenu();
  return menu;
}

void setSaverPresent(bool present) { g_saverPresent = present; }
bool saverPresent() { return g_saverPresent; }

bool commandAvailable(int id) {
  if (id == kCmdSave) return g_saverPresent;
  return findRow(id) != nullptr || findHandler(id) != nullptr;
}

bool dispatch(Desk& desk, std::uintptr_t wParam) {
  const int id = static_cast<int>(wParam & 0xFFFF);
  if (const PatternRow* row = findRow(id)) {
    runPattern(desk, *row);
    return true;
  }
  if (Handler h = findHandler(id)) {
    h(desk);
    return true;
  }
  return false;
}

}  // namespace v3d::shell
