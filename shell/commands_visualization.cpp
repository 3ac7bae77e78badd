// The Visualization menu: volume display windows on a frame range, and the section view.
#include <string>

#include "core/messages.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/desk.h"
#include "shell/dialogs.h"

namespace v3d::shell {
namespace {

// A display window on a chosen frame range, of a grey or a colour volume.
void cmdDisplay(Desk& desk, bool colour) {
  CommandRun r(desk);
  if (!r.askChoice(kTitleSelectVolumeToDisplay, V3D_UC,
                   colour ? V3D_THREE_CHANNELS : V3D_ONE_CHANNEL))
    return;
  DisplayLevelsDialog levels(r.in->Z);
  levels.title = std::string(text(kTitleDialog114));
  if (desk.run(levels) != 1) return;
  if (levels.upperFrame >= r.in->Z) {
    error_handler(kCannotDisplayFrames);
    return;
  }
  if (!desk.openDisplay(r.in, colour, levels.lowerFrame, levels.upperFrame, levels.delaySeconds))
    error_handler(kTooMany3dWindows);
}

void cmdSections(Desk& desk) {
  CommandRun r(desk);
  if (!r.askChoice(kTitleSelectVolumeToDisplay, V3D_UC, V3D_ANY_COLOR)) return;
  desk.openSectionView(r.in);
}

}  // namespace

CommandList visualizationCommands() {
  return {
      {kCmdBwDisplay, [](Desk& d) { cmdDisplay(d, false); }},
      {kCmdColorDisplay, [](Desk& d) { cmdDisplay(d, true); }},
      {kCmdSections, cmdSections},
  };
}

}  // namespace v3d::shell
