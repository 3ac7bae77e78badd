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
/* Interactive choices; provided by the shell. They return 1 when confirmed, 0 when
 * cancelled; on Cancel *out receives the previous dialog's choice. */
int GetInputVolume(int typeMask, int colorMask, const char* title, Volume** out);
int GetOutputVolume(int typeMask, int colorMask, const char* title, int X, int Y, int Z,
                    Volume** out);
/* Asks whether an unsuitable output may be reallocated; 0 only when the answer is No. */
int VerifyVolumeReallocation(void* ownerWindow);

/* ---- Result codes and messages ------------------------------------------------------- */

/* Shows the text of |code| with the error icon; returns the message box result. */
int error_handler(int code);
/* Shows the text of |id| with the information icon and OK / Cancel; returns the button. */
int AskWithInformation(void* ownerWindow, int id);

/* Shared text buffers filled by the loaders below; a longer text is cut to fit. */
extern char promptText[130];
extern char labelText1[70];
extern char labelText2[70];
extern char labelText3[70];
extern char dialogTitle[70];
extern char shortText[70];

void LoadShortText(int id);
void LoadPromptText(int id);
void LoadDialogTitle(int id);
void LoadPromptAndLabels(int id, int labelId1, int labelId2);
void LoadPromptAndThreeLabels(int id, int labelId1, int labelId2, int labelId3);

/* ---- Basic volume operations --------------------------------------------------------- */

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

/* ---- Raw volume files, raw frame files and the text dump ------------------------------ */

int ReadVolume(Volume* volume, const char* fileName, int skipFrames, int N, int Y, int X);
int WriteVolume(Volume* volume, const char* fileName, int firstFrame, int frameCount);
/* Frame files are named "%s%0*d.%s" (digits > 0) or "%s%d.%s" (digits 0) from the base,
 * the frame number first + k and the extension of the channel. */
int fromdiskUCFI3D(Volume* volume, const char* baseName, int firstFrame, int digits,
                   char** extensions, int N, int Y, int X);
int todiskUCFI3D(Volume* volume, const char* baseName, int firstFrame, int digits,
                 char** extensions);
int dumpUCFI3D(Volume* volume, const char* fileName);

/* ---- Thresholding, region segmentation, labelling and the coordinate stack ------------ */

/* One node of the coordinate stack: (frame, row, column, tag) and the link to the node
 * below. The caller owns the head pointer, which is NULL for an empty stack. */
typedef struct StackNode3d {
  int32_t frame, row, column, tag;
  struct StackNode3d* next;
} StackNode3d;

/* The four integers of a popped node. */
typedef struct StackEntry3d {
  int32_t frame, row, column, tag;
} StackEntry3d;

/* Allocates a node on top of *head: 0, -4 for a NULL head pointer, -9 without memory. */
int push_3d(StackNode3d** head, int frame, int row, int column, int tag);
/* Frees the top node and returns its integers; all four are 0 when the stack is empty. */
StackEntry3d pop_3d(StackNode3d** head);

/* All take single-channel UC volumes, process the input's VOI and write the output at the
 * same coordinates; the output must be at least as large as the input (-520). */
int threshold_3d(Volume* input, Volume* output, int threshold);
/* The output carries the seeds in (nonzero samples, at most maxSeeds of them, 1..255). */
int region3d_grow(Volume* input, Volume* output, int maxSeeds, int tolerance);
/* Returns the number of regions (> 0) or a code. */
int region3d_merge(Volume* input, Volume* output, int tolerance, int maxRegions);
/* *count must be 0 on entry and receives the number of regions. */
int region3d_split(Volume* input, Volume* output, int* count, int tolerance);
int region3d_splitmerge(Volume* input, Volume* output, int* count, int tolerance);
/* 26-connected components of equal nonzero intensity; the input's VOI is zeroed. sizes
 * holds maxLabels entries (1..255): sizes[k] is the voxel count of component k + 1. */
int grass3d_label(Volume* input, Volume* output, int* count, float* sizes, int maxLabels);

/* ---- Edge detection and edge following -------------------------------------------------- */

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

/* ---- Image sequences: TIFF, BMP, TGA, GIF and JPEG frames ----------------------------- */

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

/* ---- Histograms and equalization ----------------------------------------------------- */

/* histograms[c] (one pointer per channel) receives 256 normalised counts of the VOI. */
int hist3(Volume* volume, float** histograms);
int cdfhist3(float* density, float* cumulative);
/* cumulative[c] (one pointer per channel of in) maps each VOI sample of in into out. */
int histeq3(Volume* in, Volume* out, float** cumulative);
int HistogramEqual3d(Volume* in, Volume* out);

/* ---- Order-statistic filters and direct linear filters --------------------------------- */
/* UC volumes; windows (wz, wy, wx) are odd and no larger than the input VOI; only the
 * inner box of the VOI (shrunk by half a window) is written. */

int median3(Volume* in, Volume* out, int wz, int wy, int wx);
int run_median3(Volume* in, Volume* out, int wz, int wy, int wx);
/* The window is the whole weights volume (one channel UC, repetition counts). */
int wei_median3(Volume* in, Volume* out, Volume* weights);
int multistage_median3(Volume* in, Volume* out, int w);
int run_max3(Volume* in, Volume* out, int wz, int wy, int wx);
int run_min3(Volume* in, Volume* out, int wz, int wy, int wx);
/* coefficients[k] (wz * wy * wx of them) weighs element k of the sorted window. */
int l_filter3(Volume* in, Volume* out, float* coefficients, int wz, int wy, int wx);
int local_adapt_filt3(Volume* in, Volume* out, float noiseVariance, int wz, int wy, int wx);
/* The kernel is a whole one-channel F volume of odd extents. */
int conv3(Volume* in, Volume* out, Volume* kernel);
int mov_ave3(Volume* in, Volume* out, int wz, int wy, int wx);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_CORE_VOLUME_H */
