/* Basic volume operations: clearing, copies, conversions, counts, bounding box, logical
 * operations, symmetry and rotations. */
#ifndef VELMORA3D_CORE_BASIC_OPS_H
#define VELMORA3D_CORE_BASIC_OPS_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 1 when every VOI sample of every channel is 0 or 255, 0 when not, or a code. */
int CheckIfUCBinary(Volume* volume);
/* 1 when every VOI sample equals its channel's value, 0 when not, or a code. */
int CheckIfVolumeClear(Volume* volume, float* values);
int CountNonZeroPoints3d(Volume* volume, unsigned long* count);
int CountNonZeroSurfacePoints3d(Volume* volume, unsigned long* count);
/* Ends are exclusive; all six are -1 (result 0) when the VOI holds only zeros. */
int FindBoundingBox3d(Volume* volume, int* zMin, int* yMin, int* xMin, int* zEnd, int* yEnd,
                      int* xEnd);
int FindMinMaxIntensity(Volume* volume, int* minimum, int* maximum);
int ClearVolume(Volume* volume, float* values);
int CopyVolume(Volume* input, Volume* output, int zOff, int yOff, int xOff);
/* image[c][row][column], one row-pointer array per channel, of the current image size. */
int CopyFrame2Image(Volume* volume, int frame, unsigned char*** image, int yOff, int xOff);
int CopyImage2Frame(Volume* volume, int frame, unsigned char*** image, int yDst, int xDst,
                    int rowFrom, int rowTo, int columnFrom, int columnTo);
int UCVolume2FVolume(Volume* input, Volume* output, int zOff, int yOff, int xOff);
int FVolume2UCVolume(Volume* input, Volume* output, int zOff, int yOff, int xOff);
int FVolume2UCVolume_norm(Volume* input, Volume* output, int zOff, int yOff, int xOff);
int or3d(Volume* first, Volume* second, Volume* output);
int xor3d(Volume* first, Volume* second, Volume* output);
int and3d(Volume* first, Volume* second, Volume* output);
int Symmetric3d(Volume* input, Volume* output);
int RotateVol2d(Volume* input, Volume* output, float angle, int centreRowIn, int centreColumnIn,
                int centreRowOut, int centreColumnOut, int crop, int framesFromZero);
int RotateVol3d(Volume* input, Volume* output, float angle1, float angle2, int centreFrameIn,
                int centreColumnIn, int centreRowIn, int centreFrameOut, int centreColumnOut,
                int centreRowOut, int crop);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_CORE_BASIC_OPS_H */
