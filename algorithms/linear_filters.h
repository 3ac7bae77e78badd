/* Direct linear filters: convolution with a kernel volume and the moving average.
 * UC input volumes; only the inner box of the VOI (shrunk by half a window) is written. */
#ifndef VELMORA3D_ALGORITHMS_LINEAR_FILTERS_H
#define VELMORA3D_ALGORITHMS_LINEAR_FILTERS_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The kernel is a whole one-channel F volume of odd extents. */
int conv3(Volume* in, Volume* out, Volume* kernel);
int mov_ave3(Volume* in, Volume* out, int wz, int wy, int wx);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_LINEAR_FILTERS_H */
