// The Visualization menu: volume display windows on a frame range, the frame gallery and
// the section view.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "core/messages.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/desk.h"
#include "shell/dialogs.h"
#include "shell/projection.h"
#include "shell/projection_model.h"

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

// A gallery of the input's VOI frames, framesPerRow tiles of 100 columns to a row, in a
// projection window.
void cmdFrameGallery(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ANY_COLOR)) return;
  FrameGalleryDialog options;
  if (desk.run(options) != 1) return;
  r.busy();
  Volume* v = r.in;
  const GalleryParameters gp{v->voiY0, v->voiY1, v->voiX0,         v->voiX1,
                             v->voiZ0, v->voiZ1, options.frames, options.linear ? 0 : 1};
  int width = 0, height = 0;
  BufferPtr buffer;
  if (galleryPictureSize(gp, &width, &height))
    buffer.reset(CreateBuffer(
        v->colorType == V3D_ONE_CHANNEL ? V3D_BUFFER_GREY : V3D_BUFFER_COLOUR, width, height));
  if (!buffer) {
    error_handler(kCannotAllocateBuffer);
    return;
  }
  ProjectionPtr projection(CreateProjection(kFrameGalleryType, v, sizeof gp));
  if (!projection) {
    error_handler(kCannotAllocateBuffer);  // the buffer is freed on return
    return;
  }
  std::memcpy(projection->extra, &gp, sizeof gp);
  if (produceGalleryPicture(*projection, *buffer) != 0) {
    error_handler(kCannotAllocateBuffer);
    return;
  }
  char title[96];
  std::snprintf(title, sizeof title, std::string(text(kFormatGalleryTitle)).c_str(), r.inIndex);
  desk.showProjection(std::move(projection), std::move(buffer), title);
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
      {kCmdFrameGallery, cmdFrameGallery},
      {kCmdSections, cmdSections},
  };
}

}  // namespace v3d::shell
