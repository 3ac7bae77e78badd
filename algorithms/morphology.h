/* Binary mathematical morphology of single-channel UC volumes with a structuring element
 * given as a volume: Minkowski addition and subtraction, dilation, erosion, opening and
 * closing. */
#ifndef VELMORA3D_ALGORITHMS_MORPHOLOGY_H
#define VELMORA3D_ALGORITHMS_MORPHOLOGY_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Input and element are binary (0 / 255, else -535); the element is the whole element volume,
 * each of its dimensions odd and not larger than the input VOI's extent (-521), centred at
 * (Z / 2, Y / 2, X / 2), a sample being set when nonzero. The output is at least as large as
 * the input (-520) and receives 0 / 255 over the input's VOI, at the input's coordinates.
 * The inner box is the VOI shrunk by the element's half sizes. Checks in order: the volume
 * checks of in, element and out, -520, -521, -535. */

/* Union of the element placed at every set input voxel of the inner box. */
int MinkowskiAddition3d(Volume* in, Volume* element, Volume* out);
/* Inner-box voxels where the reflected element fits in the set input voxels of the inner
 * box, within the bounding box of the set input voxels grown by the half sizes. */
int MinkowskiSubtraction3d(Volume* in, Volume* element, Volume* out);
/* On the inner box: 255 where some set element voxel e has in(c + e - centre) set. */
int bdilate3d(Volume* in, Volume* element, Volume* out);
/* On the inner box: 255 where every set element voxel e has in(c + e - centre) set. */
int berode3d(Volume* in, Volume* element, Volume* out);
/* Erosion, then dilation with the element reflected through its centre. */
int bopening3d(Volume* in, Volume* element, Volume* out);
/* Dilation, then erosion with the element reflected through its centre. */
int bclosing3d(Volume* in, Volume* element, Volume* out);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_MORPHOLOGY_H */
