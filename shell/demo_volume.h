// The demo volume the program opens with: a synthetic phantom of a few overlapping spheres
// on a gentle gradient, so that a new user has something to work on at once.
#pragma once

#include "core/volume.h"

namespace v3d::shell {

inline constexpr int kDemoZ = 64, kDemoY = 128, kDemoX = 128;

// Creates the phantom (UC, one channel, 128 x 128 x 64) in the first free slot; the code of
// CreateVolumeEx.
int createDemoVolume(Volume** out);

}  // namespace v3d::shell
