// Contour following (B&W and colour): a mode rather than an operation. Choosing either
// command while the mode runs ends it first (check mark removed, temporary volumes freed,
// both windows closed); the same command then stops there, the other one starts anew.
//
// Starting: the original (UC, either colour type) and an output of exactly the original's
// size, UC, one channel (B&W) or three (colour), reallocated after the usual question when it
// is not. The output may not be the original: the chains would be drawn into the volume they
// are followed on (and the colour variant would reallocate it). The colour variant turns a
// grey original into a colour one first, so that the chains show in colour over it. Any
// failure after the output was made destroys that output and leaves no mode running.
#include <memory>
#include <string>

#include "core/messages.h"
#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/contour_following.h"
#include "shell/desk.h"

namespace v3d::shell {
namespace {

// Ends the running mode; `windowsOpen` is false when its windows have closed already.
void endContourFollowing(Desk& desk, bool windowsOpen) {
  ContourMode& mode = contourMode();
  const int command = mode.command();
  if (command == 0) return;
  if (windowsOpen) desk.closeContourPair();
  desk.checkCommand(command, false);
  mode.clear();
}

void cmdContourFollowing(Desk& desk, int id) {
  if (const int running = contourMode().command(); running != 0) {
    endContourFollowing(desk, true);
    if (running == id) return;
  }
  const bool colour = id == kCmdColorContourFollowing;
  const int colorType = colour ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL;
  CommandRun r(desk);
  if (!r.askChoice(kTitleEdgeFollowOriginal, V3D_UC, V3D_ANY_COLOR)) return;
  const int X = r.in->X, Y = r.in->Y, Z = r.in->Z;
  if (!r.askOutput(kTitleEdgeFollowOutput, X, Y, Z)) return;
  if (r.refuseSameOutput()) return;
  if (r.outIsNew) {
    if (!r.prepareOutput(V3D_UC, colorType, X, Y, Z)) return;
    // A new output takes the size typed in the dialog; every edit addresses the original
    // and the output at the same voxel, so nothing else will do.
    if (r.out->X != X || r.out->Y != Y || r.out->Z != Z) {
      r.fail(kInvalidOutputDimensions);
      return;
    }
  } else {
    r.busy();
    switch (PrepareOutputVolume(r.out, X, Y, Z, V3D_UC, colorType, kFitExactly)) {
      case kOutputFits:
        break;
      case kOutputReallocated:
        r.outMadeHere = true;
        break;
      default:
        return;  // refused, or the failure reported
    }
  }

  desk.checkCommand(id, true);
  int code = 0;
  std::unique_ptr<ContourSession> session = ContourSession::start(id, r.in, r.out, &code);
  if (session && colour && r.in->colorType == V3D_ONE_CHANNEL) {
    if (convertToColour(r.in) != 0) {
      session.reset();
      code = kCannotAllocateVolume;
    } else {
      showInformation(std::string(text(kTextConvertedToColour)), kTextShortCaption);
    }
  }
  if (session && !desk.openContourPair(*session, [&desk] { endContourFollowing(desk, false); })) {
    session.reset();
    code = kCannotCreateWindow;
  }
  if (!session) {
    desk.checkCommand(id, false);
    r.fail(code);
    return;
  }
  contourMode().begin(std::move(session));
}

}  // namespace

CommandList contourCommands() {
  return {
      {kCmdBwContourFollowing, [](Desk& d) { cmdContourFollowing(d, kCmdBwContourFollowing); }},
      {kCmdColorContourFollowing,
       [](Desk& d) { cmdContourFollowing(d, kCmdColorContourFollowing); }},
  };
}

}  // namespace v3d::shell
