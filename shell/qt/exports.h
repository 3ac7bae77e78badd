// Services of the shell exported to modules, and the seed picking of region growing.
#pragma once

#include "core/volume.h"
#include "shell/exports.h"

extern "C" {
// Repaints every display window of a volume, or opens one on all its frames when none.
void DisplayVolume(Volume* volume);
// Closes every display, projection and section window showing a volume.
void freedisWin(Volume* volume);
}

namespace v3d::shell::qt {

// While region growing waits for seed clicks: clicks in displays of `input` label seeds 1,
// 2, 3, ... in `output`.
struct SeedPicking {
  Volume* input = nullptr;
  Volume* output = nullptr;
  int count = 0;
};
SeedPicking* seedPicking();
void setSeedPicking(SeedPicking* s);

}  // namespace v3d::shell::qt
