// Block-matching motion estimation between the frames of an 8-bit grey volume, and the grey
// and vector-field renderings of its result. Toolkit-free; the module and its tests link it.
#pragma once

#include "core/volume.h"

namespace v3d::motion {

// Search methods, in the order of the options dialog.
enum Method {
  kLogarithmicSearch = 0,
  kThreeStepSearch = 1,
  kConjugateDirectionSearch = 2,
  kOrthogonalSearch = 3,
  kFullSearch = 4
};

// The vector volumes' size for blocks of W x H stepped by (stepX, stepY) and frame distance D:
// (Z - D, ceil(VOI height / stepY), ceil(VOI width / stepX)).
int ComputeMotionFieldSize(Volume* input, int W, int H, int stepX, int stepY, int D,
                           int* frames, int* rows, int* columns);

// Fills the X and Y vector volumes (I, one channel) with the displacement of every block
// between frame k and frame k + D.
int EstimateMotionVectors(Volume* input, Volume* vectorsX, Volume* vectorsY, int W, int H,
                          int searchX, int searchY, int stepX, int stepY, int D, int method);

// Draws the vectors over the target frames into `field` (UC, one channel).
int DrawMotionField(Volume* vectorsX, Volume* vectorsY, Volume* field, Volume* input, int W,
                    int H, int stepX, int stepY, int D, int lastFrame, int colour,
                    int subsampled);

// Grey rendering of one vector component, and of the vector length.
int DisplayDisplacement(Volume* vectors, Volume* display);
int DisplayAmplitude(Volume* vectorsX, Volume* vectorsY, Volume* display);

}  // namespace v3d::motion
