/* Resampling and frame interpolation of UC volumes: integer zoom and decimation, nearest
 * neighbour and trilinear resampling to a target size, linear interpolation of frames along
 * Z, insertion of frames between the frames of binary and grey-level stacks, zero-frame
 * padding and the even-odd fill of closed contours. */
#ifndef VELMORA3D_ALGORITHMS_RESAMPLING_H
#define VELMORA3D_ALGORITHMS_RESAMPLING_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The source is the input's VOI of extents (Nz, Ny, Nx); the result is written into the
 * output from the destination origin (dz, dy, dx), each >= 0, and the output must hold it
 * there (-520). The first five take UC volumes of one or three channels (equal colour types,
 * else -523); the frame functions take single-channel UC volumes. */

/* Every source voxel becomes a factor^3 block of copies: k*N per axis, k >= 1. */
int zoom3d(Volume* in, Volume* out, int factor, int dz, int dy, int dx);
/* Every factor-th voxel from the VOI origin: ceil(N / k) per axis, k >= 1. */
int decim3(Volume* in, Volume* out, int factor, int dz, int dy, int dx);
/* Target trunc(N * f) per axis (f > 0 and finite), or the whole output from (0, 0, 0) when
 * wholeOutput is nonzero (factors and offsets are then ignored). */
int InterpolationNearestNeighbor3d(Volume* in, Volume* out, int wholeOutput, float fz, float fy,
                                   float fx, int dz, int dy, int dx);
/* As above, trilinear; a VOI extent of 1 on any axis returns -521. */
int InterpolationLinear3d(Volume* in, Volume* out, int wholeOutput, float fz, float fy, float fx,
                          int dz, int dy, int dx);
/* Linear interpolation along Z only; a whole factor k gives (Nz - 1) * k + 1 frames, any
 * other factor trunc(f * Nz). With wholeOutput the factor is taken from the output's frame
 * count E as (E - 1) / (Nz - 1) and the result fills the output's frames from (0, 0, 0). */
int InterpolationFrameLinear3d(Volume* in, Volume* out, int wholeOutput, float factor, int dz,
                               int dy, int dx);
/* Binary input (-535); step 2 or 3 gives (Nz - 1) * step + 1 frames; edgeCoherence 0 or 1. */
int FrameInterpolationBinary(Volume* in, Volume* out, int step, int dz, int dy, int dx,
                             int edgeCoherence);
/* Step 2 or 3: new frames are 3 x 3 in-plane means of the weighted mix of their neighbours. */
int FrameInterpolationGrayscale(Volume* in, Volume* out, int step, int dz, int dy, int dx);
/* Step k >= 2: the frames of the VOI k apart, the k - 1 frames between them cleared. */
int FrameZeroPadding(Volume* in, Volume* out, int step, int dz, int dy, int dx);
/* Even-odd fill of the closed contours (value 255) of every frame of the VOI, written to the
 * output at the same coordinates as 0 / 255. */
int FrameContourObjectFill(Volume* in, Volume* out);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_RESAMPLING_H */
