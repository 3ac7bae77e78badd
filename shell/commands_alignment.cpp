// Manual frame alignment (the Operations menu's last item): the input, the output and the frame
// range are asked here; the alignment itself then runs in its window and tool box
// (shell/alignment_toolbox.h) after the command has returned.
#include "core/messages.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/alignment_toolbox.h"
#include "shell/command_table.h"
#include "shell/desk.h"
#include "shell/dialogs.h"

namespace v3d::shell {
namespace {

void cmdManualAlignment(Desk& desk) {
  if (runningAlignment() != nullptr) {
    error_handler(kTextAlignmentRunning);
    return;
  }
  CommandRun r(desk);
  if (!r.askChoice(kTitleSelectInputVolume, V3D_UC, V3D_ANY_COLOR)) return;
  const int X = r.in->X, Y = r.in->Y, Z = r.in->Z;
  if (!r.askOutput(kTitleSelectOutputVolume, X, Y, Z)) return;
  if (r.refuseSameOutput()) return;
  AlignmentDialog range(Z);
  if (desk.run(range) != 1) return;
  // The output takes the input's size whatever was typed for a new one: every aligned frame
  // must fit it.
  r.outX = X;
  r.outY = Y;
  r.outZ = Z;
  if (!r.prepareOutput(V3D_UC, r.in->colorType, X, Y, Z)) return;
  if (startAlignment(desk, r.in, r.out, range.lowerFrame, range.upperFrame) != 0 && r.outMadeHere) {
    closeVolumeWindows(r.out);
    DestroyVolume(r.out);
  }
}

}  // namespace

CommandList alignmentCommands() {
  return {{kCmdManualAlignment, cmdManualAlignment}};
}

}  // namespace v3d::shell
