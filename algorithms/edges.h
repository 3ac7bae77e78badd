/* Edge detection and edge following. */
#ifndef VELMORA3D_ALGORITHMS_EDGES_H
#define VELMORA3D_ALGORITHMS_EDGES_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

int Sobel_3D(Volume* input, Volume* output);
/* zDirection and xDirection in degrees, each 0, 45, 90 or 135 (xDirection ignored when
 * zDirection is 0). */
int compas3d(Volume* input, Volume* output, int zDirection, int xDirection);
int laplace_3d(Volume* input, Volume* output);
int range_3d(Volume* input, Volume* output, int wz, int wy, int wx);
/* accumulator: single-channel I volume, frames = theta, rows = phi, columns = distance. */
int Hough_3D(Volume* input, Volume* output, Volume* accumulator, int threshold);
/* Both modify the input: samples on the traced path become 0. */
int edge_follow_3d(Volume* input, Volume* output, int frame, int row, int column, int maxDifference,
                   int minValue, int weight);
int modedg3d(Volume* input, Volume* output, int startFrame, int startRow, int startColumn,
             int endFrame, int endRow, int endColumn, int threshold);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_EDGES_H */
