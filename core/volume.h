/* Velmora3D volume library: the Volume record and every function exported to the shell,
 * the tools and the plug-in modules.
 *
 * Conventions shared by every function declared here:
 *  - A result code is 0 for success or a negative code whose magnitude is the id of its
 *    message in the string table (error_handler shows it). Nothing throws.
 *  - Dimension and window triples are passed as (Z, Y, X); destination offsets as
 *    (frame, row, column), unless a declaration says otherwise.
 *  - Every check runs before the first output sample is written, so a failing call leaves
 *    its output exactly as it was (the file readers keep what they read before a failure).
 *  - The VOI bounds are lower-inclusive and upper-exclusive on each axis.
 */
#ifndef VELMORA3D_CORE_VOLUME_H
#define VELMORA3D_CORE_VOLUME_H

#ifdef __cplusplus
#include <cstdint>
extern "C" {
#else
#include <stdint.h>
#endif

#include "core/result_codes.h"

/* Sample type codes; single bits so that a caller can state a mask of accepted types. */
enum { V3D_UC = 1, V3D_F = 2, V3D_I = 4 };
/* Colour type codes, also usable as masks. */
enum { V3D_ONE_CHANNEL = 1, V3D_THREE_CHANNELS = 2 };
/* Masks that accept every sample type and either colour type. */
enum {
  V3D_ANY_TYPE = V3D_UC | V3D_F | V3D_I,
  V3D_ANY_COLOR = V3D_ONE_CHANNEL | V3D_THREE_CHANNELS
};

enum { V3D_INFORMATION_SIZE = 150, V3D_TABLE_SLOTS = 100 };

/* A three-dimensional image of Z frames of Y rows of X samples.
 *
 * Channel storage, per channel: one pointer block of Z * (Y + 1) pointers whose first Z
 * entries are the frame pointers; frame z points at its Y row pointers, which start at entry
 * Z + z * Y of the same block. Each frame is one separately allocated, zero-initialised block
 * of Y * X samples; row y starts y * X samples into it. Sample (x, y, z) of channel c is
 * ((T***)channel[c])[z][y][x] for the sample type T of dataType. */
typedef struct Volume {
  void* channel[3];  /* red, green, blue for three channels; only [0] for one */
  int32_t dataType;  /* 0 = free slot, V3D_UC, V3D_F or V3D_I */
  int32_t colorType; /* 1 = one channel; any other value = three channels */
  int32_t Z;         /* frames */
  int32_t Y;         /* rows per frame */
  int32_t X;         /* samples per row */
  char information[V3D_INFORMATION_SIZE]; /* user text, NUL-terminated */
  int32_t voiX0, voiX1;                   /* first column, one past the last column */
  int32_t voiY0, voiY1;                   /* first row, one past the last row */
  int32_t voiZ0, voiZ1;                   /* first frame, one past the last frame */
} Volume;

/* ---- Volume record and volume table ------------------------------------------------- */

void InitializeVolume(Volume* volume, int Z, int Y, int X, int dataType, int colorType);
void fill_in_VOI(Volume* volume, int z0, int z1, int y0, int y1, int x0, int x1);
int CreateVolume(Volume* volume);
void DestroyVolume(Volume* volume);
int CheckVolume(Volume* volume, int typeMask, int colorMask);
/* The first free slot of the table, or V3D_NO_FREE_SLOT when every slot is taken. */
enum { V3D_NO_FREE_SLOT = -1 };
int GetNewVolumeIndex(void);
int GetVolumeIndex(Volume* volume);
/* +612 when no slot is free (out untouched); the title is accepted and not used. */
int CreateVolumeEx(int dataType, int colorType, int Z, int Y, int X, const char* title,
                   Volume** out);
/* Asks whether an unsuitable output may be reallocated; 0 only when the answer is No. */
int VerifyVolumeReallocation(void* ownerWindow);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_CORE_VOLUME_H */
