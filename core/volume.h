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

/* Sample type codes; single bits so that a caller can state a mask of accepted types. */
enum { V3D_UC = 1, V3D_F = 2, V3D_I = 4 };
/* Colour type codes, also usable as masks (3 = either). */
enum { V3D_ONE_CHANNEL = 1, V3D_THREE_CHANNELS = 2 };

enum { V3D_INFORMATION_SIZE = 150, V3D_TABLE_SLOTS = 100 };

/* A three-dimensional image of Z frames of Y rows of X samples.
 *
 * Channel storage, per channel: one pointer block of Z * (Y + 1) pointers whose first Z
 * entries are the frame pointers; frame z points at its Y row pointers, which start at entry
 * Z + z * Y of the same block. Each frame is one separately allocated, zero-initialised block
 * of Y * X samples; row y starts y * X samples into it. Sample (x, y, z) of channel c is
 * ((T***)channel[c])[z][y][x] for the sample type T of dataType. */
typedef struct Volume {
  void* channel[3];      /* red, green, blue for three channels; only [0] for one */
  int32_t dataType;      /* 0 = free slot, V3D_UC, V3D_F or V3D_I */
  int32_t colorType;     /* 1 = one channel; any other value = three channels */
  int32_t Z;             /* frames */
  int32_t Y;             /* rows per frame */
  int32_t X;             /* samples per row */
  char information[V3D_INFORMATION_SIZE]; /* user text, NUL-terminated */
  int32_t voiX0, voiX1;  /* first column, one past the last column */
  int32_t voiY0, voiY1;  /* first row, one past the last row */
  int32_t voiZ0, voiZ1;  /* first frame, one past the last frame */
} Volume;

/* ---- Volume record and volume table ------------------------------------------------- */

void InitializeVolume(Volume* volume, int Z, int Y, int X, int dataType, int colorType);
void fill_in_VOI(Volume* volume, int z0, int z1, int y0, int y1, int x0, int x1);
int CreateVolume(Volume* volume);
void DestroyVolume(Volume* volume);
int CheckVolume(Volume* volume, int typeMask, int colorMask);
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
int RotateVol2d(Volume* input, Volume* output, float angle, int centreRowIn,
                int centreColumnIn, int centreRowOut, int centreColumnOut, int crop,
                int framesFromZero);
int RotateVol3d(Volume* input, Volume* output, float angle1, float angle2, int centreFrameIn,
                int centreColumnIn, int centreRowIn, int centreFrameOut,
                int centreColumnOut, int centreRowOut, int crop);

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
