// The layout of the main menu: popups, items and separators by command id. Whether an item
// is enabled is the command table's business (commandAvailable); the layout holds every id,
// built or not.
#include <initializer_list>
#include <utility>
#include <vector>

#include "core/text_ids.h"
#include "shell/commands.h"

namespace v3d::shell {
namespace {

// Marks a separator in an items() list.
constexpr int kSeparator = 0;

MenuNode item(int id) {
  return {MenuNode::Command, id, kMenuTextBase + id, {}};
}
MenuNode separator() {
  return {MenuNode::Separator, 0, 0, {}};
}
MenuNode popup(int textId, std::vector<MenuNode> children) {
  return {MenuNode::Popup, 0, textId, std::move(children)};
}
std::vector<MenuNode> items(std::initializer_list<int> ids) {
  std::vector<MenuNode> v;
  for (int id : ids) v.push_back(id == kSeparator ? separator() : item(id));
  return v;
}
// Joins runs of items and popups into one popup's children.
std::vector<MenuNode> join(std::initializer_list<std::vector<MenuNode>> parts) {
  std::vector<MenuNode> v;
  for (const auto& part : parts) v.insert(v.end(), part.begin(), part.end());
  return v;
}

std::vector<MenuNode> buildMenu() {
  constexpr int _ = kSeparator;
  return {
      popup(kMenuFile, items({kCmdOpen, kCmdSave, kCmdOpenTiffStack, kCmdDump, _, kCmdCreate, kCmdDestroy, kCmdState,
                              kCmdSetVoi, _, kCmdCoordinates, kCmdWriteVoxel, _,
                              kCmdStartRecording, kCmdStopRecording, kCmdRunMacro, _, kCmdExit})),
      popup(
          kMenuOperations,
          join({
              {popup(kMenuBasic, items({kCmdClear, kCmdCopy, _, kCmdAnd, kCmdOr, kCmdXor, _,
                                        kCmdUCToF, kCmdFToUCScaling, kCmdFToUCTruncation})),
               popup(kMenuRearrangement, items({kCmdSymmetric})),
               popup(kMenuResizing, items({kCmdUniformZoom, kCmdUniformDecimation, _,
                                           kCmdInterpolation3d, kCmdFrameInterpolation,
                                           kCmdBinaryFrameInterpolation, _, kCmdZeroFramePadding})),
               popup(kMenuFiltering,
                     join({items({kCmdMovingAverage}),
                           {popup(kMenuMedianFilters,
                                  items({kCmdStandardMedian, kCmdRunningMedian,
                                         kCmdMultistageMedian, kCmdWeightedMedian}))},
                           items({kCmdMinFilter, kCmdMaxFilter, _, kCmdLFilter,
                                  kCmdLocallyAdaptive})})),
               popup(kMenuAnalysis,
                     {popup(kMenuHistogram, items({kCmdHistogramEqualization, _, kCmdHistogramPdf,
                                                   kCmdHistogramCdf})),
                      popup(kMenuEdgeDetection,
                            items({kCmdRange, kCmdCompass, kCmdSobel, kCmdLaplace, _, kCmdHough})),
                      popup(kMenuRegionSegmentation,
                            items({kCmdThreshold, kCmdRegionGrow, kCmdRegionSplit, kCmdRegionMerge,
                                   kCmdRegionSplitMerge, _, kCmdLabel, kCmdViewLabelled})),
                      popup(kMenuMetrics,
                            items({kCmdSurfacePoints, kCmdVolumePoints, kCmdBoundingBox}))}),
               popup(kMenuTransforms,
                     items({kCmdFft, kCmdIfft, kCmdDct, kCmdIdct, _, kCmdConvolution,
                            kCmdCorrelation, _, kCmdSpectrumMagnitude, kCmdBlackmanTukeyPsd})),
               popup(kMenuMorphology,
                     items({kCmdMinkowskiAddition, kCmdMinkowskiSubtraction, _, kCmdDilation,
                            kCmdErosion, kCmdOpening, kCmdClosing}))},
              items({_, kCmdBwContourFollowing, kCmdColorContourFollowing, _, kCmdManualAlignment}),
          })),
      popup(kMenuVisualization,
            items({kCmdBwDisplay, kCmdColorDisplay, _, kCmdFrameGallery, _, kCmdSections})),
      {MenuNode::Placeholder, 0, kMenuModules, {}},
      popup(kMenuHelp, items({kCmdAbout})),
  };
}

}  // namespace

const std::vector<MenuNode>& mainMenu() {
  static const std::vector<MenuNode> menu = buildMenu();
  return menu;
}

}  // namespace v3d::shell
