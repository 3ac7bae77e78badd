/* Image sequences: TIFF, BMP, TGA, GIF and JPEG frames, one file per frame. */
#ifndef VELMORA3D_CORE_IMAGE_SEQUENCE_H
#define VELMORA3D_CORE_IMAGE_SEQUENCE_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A sequence is N files named "%s%0*d.%s" (digits > 0) or "%s%d.%s" (digits 0) from the base,
 * the frame number first + k and the extension. A check opens every file and reports the
 * first one's rows, columns and colour flag (0 grey, 1 colour); any file that differs gives
 * -1001. A read fills frames 0 .. N - 1 of an existing UC volume, image row 0 into frame
 * row 0, after checking the whole sequence against the volume; the first failing file ends
 * it with its code, the frames before it staying filled. Every file must fit the current
 * image size (rows, columns), which callers set to the volume's Y and X around a read.
 * TIFF, TGA and JPEG files give one or three channels as they are; BMP and GIF frames are
 * always read into three channels. */
int CheckImageSeqTIFF(const char* baseName, int firstFrame, int digits, const char* extension,
                      int N, int* rows, int* columns, int* colour);
int ReadImageSeqTIFF(Volume* volume, const char* baseName, int firstFrame, int digits,
                     const char* extension, int N);
int CheckImageSeqBMP(const char* baseName, int firstFrame, int digits, const char* extension, int N,
                     int* rows, int* columns, int* colour);
int ReadImageSeqBMP(Volume* volume, const char* baseName, int firstFrame, int digits,
                    const char* extension, int N);
int CheckImageSeqTGA(const char* baseName, int firstFrame, int digits, const char* extension, int N,
                     int* rows, int* columns, int* colour);
int ReadImageSeqTGA(Volume* volume, const char* baseName, int firstFrame, int digits,
                    const char* extension, int N);
int CheckImageSeqGIF(const char* baseName, int firstFrame, int digits, const char* extension, int N,
                     int* rows, int* columns, int* colour);
int ReadImageSeqGIF(Volume* volume, const char* baseName, int firstFrame, int digits,
                    const char* extension, int N);
int CheckImageSeqJPEG(const char* baseName, int firstFrame, int digits, const char* extension,
                      int N, int* rows, int* columns, int* colour);
int ReadImageSeqJPEG(Volume* volume, const char* baseName, int firstFrame, int digits,
                     const char* extension, int N);
/* Writes every frame of a UC volume as one TIFF file named "%s%d.%s" from the base, first + z
 * and the extension. Compression 1 (none), 5 (LZW) or 32773 (PackBits); photometric 0
 * (min-is-white, values not inverted), 1 (min-is-black) or 2 (RGB, three-channel volumes
 * only); anything else -90. Grey files of colour volumes hold
 * floor((299 R + 587 G + 114 B) / 1000). */
int local_WriteImageSeqTIFF(Volume* volume, const char* baseName, int firstFrame,
                            const char* extension, int compression, int photometric);
/* Writes rows row0 .. row1 - 1 and columns col0 .. col1 - 1 of an image buffer (plane[row]
 * pointing at a row of bytes) as one TIFF file: red, green and blue from planes 1, 2 and 3,
 * or plane 1 alone replicated when planes 2 and 3 are both NULL. row1 and col1 may not exceed
 * row1 - row0 + 1 and col1 - col0 + 1, so the window starts at row and column 0 or 1.
 * Compression and photometric are passed to libtiff as they are. */
int savetiff(unsigned char** plane1, unsigned char** plane2, unsigned char** plane3,
             const char* fileName, int compression, int photometric, int row0, int col0, int row1,
             int col1);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_CORE_IMAGE_SEQUENCE_H */
