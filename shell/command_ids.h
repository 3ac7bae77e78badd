// Every command id of the main menu, by name. Ids below kModuleCommandEnd belong to the
// modules: the module host hands them out to the commands modules add, so no main-menu
// command may take one (the frame passes an id the dispatcher does not know on to the host).
#pragma once

#include <algorithm>
#include <array>

namespace v3d::shell {

// The range of module command ids: kFirstModuleCommand .. kModuleCommandEnd - 1.
inline constexpr int kFirstModuleCommand = 0;
inline constexpr int kModuleCommandEnd = 212;

enum CommandId : int {
  // File
  kCmdOpen = 40003,
  kCmdSave = 40008,
  // Ours, from 40100 up: clear of the program's ids, of module ids and of the system menu's.
  kCmdOpenTiffStack = 40100,
  kCmdDump = 1030,
  kCmdCreate = 1040,
  kCmdDestroy = 1041,
  kCmdState = 1042,
  kCmdSetVoi = 1045,
  kCmdCoordinates = 212,
  kCmdWriteVoxel = 1050,
  kCmdExit = 1060,
  // Macros, ours.
  kCmdStartRecording = 40110,
  kCmdStopRecording = 40111,
  kCmdRunMacro = 40112,

  // Operations > Basic
  kCmdClear = 1100,
  kCmdCopy = 1110,
  kCmdAnd = 1120,
  kCmdOr = 1121,
  kCmdXor = 1122,
  kCmdUCToF = 1142,
  kCmdFToUCScaling = 1141,
  kCmdFToUCTruncation = 1140,

  // Operations > Rearrangement
  kCmdSymmetric = 1130,

  // Operations > Resizing
  kCmdUniformZoom = 1150,
  kCmdUniformDecimation = 1151,
  kCmdInterpolation3d = 1152,
  kCmdFrameInterpolation = 1153,
  kCmdBinaryFrameInterpolation = 1154,
  kCmdZeroFramePadding = 1155,

  // Operations > Filtering
  kCmdMovingAverage = 1171,
  kCmdStandardMedian = 1172,
  kCmdRunningMedian = 1173,
  kCmdMultistageMedian = 1174,
  kCmdWeightedMedian = 1175,
  kCmdMinFilter = 1178,
  kCmdMaxFilter = 1179,
  kCmdLFilter = 1180,
  kCmdLocallyAdaptive = 1181,

  // Operations > Analysis
  kCmdHistogramEqualization = 1170,
  kCmdHistogramPdf = 1185,
  kCmdHistogramCdf = 1186,
  kCmdRange = 1190,
  kCmdCompass = 1191,
  kCmdSobel = 1192,
  kCmdLaplace = 1193,
  kCmdHough = 1194,
  kCmdThreshold = 1200,
  kCmdRegionGrow = 1201,
  kCmdRegionSplit = 1202,
  kCmdRegionMerge = 1203,
  kCmdRegionSplitMerge = 1204,
  kCmdLabel = 1205,
  kCmdViewLabelled = 1206,
  kCmdSurfacePoints = 1220,
  kCmdVolumePoints = 1221,
  kCmdBoundingBox = 1222,

  // Operations > Transforms
  kCmdFft = 1230,
  kCmdIfft = 1231,
  kCmdDct = 1232,
  kCmdIdct = 1233,
  kCmdConvolution = 1234,
  kCmdCorrelation = 1235,
  kCmdSpectrumMagnitude = 1236,
  kCmdBlackmanTukeyPsd = 1237,

  // Operations > Morphology
  kCmdMinkowskiAddition = 1240,
  kCmdMinkowskiSubtraction = 1241,
  kCmdDilation = 1242,
  kCmdErosion = 1243,
  kCmdOpening = 1244,
  kCmdClosing = 1245,

  // Operations, after the popups
  kCmdBwContourFollowing = 1250,
  kCmdColorContourFollowing = 1251,
  kCmdManualAlignment = 1260,

  // Visualization
  kCmdBwDisplay = 1300,
  kCmdColorDisplay = 1307,
  kCmdFrameGallery = 1315,
  kCmdSections = 40007,

  // Help
  kCmdAbout = 701,
};

// Every main-menu command, in menu order, one menu or popup a line.
// clang-format off
inline constexpr std::array kMainMenuCommands = {
    kCmdOpen, kCmdSave, kCmdOpenTiffStack, kCmdDump, kCmdCreate, kCmdDestroy, kCmdState, kCmdSetVoi,
        kCmdCoordinates, kCmdWriteVoxel, kCmdExit,
        kCmdStartRecording, kCmdStopRecording, kCmdRunMacro,
    kCmdClear, kCmdCopy, kCmdAnd, kCmdOr, kCmdXor, kCmdUCToF, kCmdFToUCScaling,
        kCmdFToUCTruncation,
    kCmdSymmetric,
    kCmdUniformZoom, kCmdUniformDecimation, kCmdInterpolation3d, kCmdFrameInterpolation,
        kCmdBinaryFrameInterpolation, kCmdZeroFramePadding,
    kCmdMovingAverage, kCmdStandardMedian, kCmdRunningMedian, kCmdMultistageMedian,
        kCmdWeightedMedian, kCmdMinFilter, kCmdMaxFilter, kCmdLFilter, kCmdLocallyAdaptive,
    kCmdHistogramEqualization, kCmdHistogramPdf, kCmdHistogramCdf,
    kCmdRange, kCmdCompass, kCmdSobel, kCmdLaplace, kCmdHough,
    kCmdThreshold, kCmdRegionGrow, kCmdRegionSplit, kCmdRegionMerge, kCmdRegionSplitMerge,
        kCmdLabel, kCmdViewLabelled,
    kCmdSurfacePoints, kCmdVolumePoints, kCmdBoundingBox,
    kCmdFft, kCmdIfft, kCmdDct, kCmdIdct, kCmdConvolution, kCmdCorrelation,
        kCmdSpectrumMagnitude, kCmdBlackmanTukeyPsd,
    kCmdMinkowskiAddition, kCmdMinkowskiSubtraction, kCmdDilation, kCmdErosion, kCmdOpening,
        kCmdClosing,
    kCmdBwContourFollowing, kCmdColorContourFollowing, kCmdManualAlignment,
    kCmdBwDisplay, kCmdColorDisplay, kCmdFrameGallery, kCmdSections,
    kCmdAbout,
};
// clang-format on

namespace detail {
constexpr bool allDistinct(std::array<CommandId, kMainMenuCommands.size()> ids) {
  std::ranges::sort(ids);
  return std::ranges::adjacent_find(ids) == ids.end();
}
}  // namespace detail
static_assert(detail::allDistinct(kMainMenuCommands), "two main-menu commands share an id");

// A menu id travels in the low 16 bits of wParam, and module ids stay the modules'.
static_assert(std::ranges::all_of(kMainMenuCommands,
                                  [](int id) { return id >= kModuleCommandEnd && id <= 0xFFFF; }),
              "a main-menu command id lies in the module range or beyond 16 bits");

// Ours, beside the main menu: the frame's "&Window" menu and the magnification items of the
// display windows' window menus. They are handled by the widgets, not the dispatcher, but
// stay clear of its ids, of the module ids and of the system-menu ids 0, 1 and 1000 all the
// same (40100 to 40119 are the saver's and the macros').
enum WindowCommandId : int {
  kCmdWindowTile = 40120,
  kCmdWindowCascade = 40121,
  kCmdWindowCloseAll = 40122,
  kCmdWindowFirstEntry = 40123,  // the open windows, one item each, up to
  kCmdWindowLastEntry = 40129,
  kCmdMagnifyActualSize = 40130,
  kCmdMagnify2 = 40131,
  kCmdMagnify3 = 40132,
  kCmdMagnify4 = 40133,
  kCmdMagnify8 = 40134,
  kCmdMagnify16 = 40135,
};
// The magnification of each magnify item, in menu order from kCmdMagnifyActualSize.
inline constexpr std::array kMagnifications = {1, 2, 3, 4, 8, 16};
static_assert(kCmdMagnifyActualSize + static_cast<int>(kMagnifications.size()) - 1 ==
              kCmdMagnify16);
static_assert(std::ranges::none_of(kMainMenuCommands,
                                   [](int id) {
                                     return id >= kCmdWindowTile && id <= kCmdMagnify16;
                                   }),
              "a window command id is a main-menu command's too");
static_assert(kCmdWindowTile >= kModuleCommandEnd && kCmdMagnify16 <= 0xFFFF &&
                  kCmdWindowTile > 1000,
              "window command ids stay clear of module and system-menu ids");

}  // namespace v3d::shell
