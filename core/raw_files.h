/* Raw volume files, raw frame files and the text dump of a volume. */
#ifndef VELMORA3D_CORE_RAW_FILES_H
#define VELMORA3D_CORE_RAW_FILES_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

int ReadVolume(Volume* volume, const char* fileName, int skipFrames, int N, int Y, int X);
int WriteVolume(Volume* volume, const char* fileName, int firstFrame, int frameCount);
/* Frame files are named "%s%0*d.%s" (digits > 0) or "%s%d.%s" (digits 0) from the base,
 * the frame number first + k and the extension of the channel. */
int fromdiskUCFI3D(Volume* volume, const char* baseName, int firstFrame, int digits,
                   char** extensions, int N, int Y, int X);
int todiskUCFI3D(Volume* volume, const char* baseName, int firstFrame, int digits,
                 char** extensions);
int dumpUCFI3D(Volume* volume, const char* fileName);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_CORE_RAW_FILES_H */
