// The Morphology menu: Minkowski addition and subtraction, dilation, erosion, opening and
// closing of a binary volume by a structuring element volume.
#include "algorithms/morphology.h"
#include "core/text_ids.h"
#include "shell/command_table.h"

namespace v3d::shell {
namespace {

// The input, then the structuring element through the choice dialog, an output of the
// input's size other than the input, the operation (in, element, out).
void cmdMorphology(Desk& desk, int (*op)(Volume*, Volume*, Volume*)) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  if (!r.askSecondInput(kTitleStructuringElement, V3D_UC, V3D_ONE_CHANNEL)) return;
  if (!r.askOutput(kTitleSelectOutputVolume, r.in->X, r.in->Y, r.in->Z)) return;
  if (r.refuseSameOutput()) return;
  if (!r.prepareOutput(0, 0, r.in->X, r.in->Y, r.in->Z)) return;
  r.finish(op(r.in, r.in2, r.out));
}

template <int (*Op)(Volume*, Volume*, Volume*)>
Command morphology(CommandId id) {
  return {id, [](Desk& d) { cmdMorphology(d, Op); }};
}

}  // namespace

CommandList morphologyCommands() {
  return {
      morphology<MinkowskiAddition3d>(kCmdMinkowskiAddition),
      morphology<MinkowskiSubtraction3d>(kCmdMinkowskiSubtraction),
      morphology<bdilate3d>(kCmdDilation),
      morphology<berode3d>(kCmdErosion),
      morphology<bopening3d>(kCmdOpening),
      morphology<bclosing3d>(kCmdClosing),
  };
}

}  // namespace v3d::shell
