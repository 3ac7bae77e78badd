/* Fourier and cosine transforms of float volumes.
 *
 * A complex volume is a pair of one-channel F volumes (real part, imaginary part). The
 * transforms work on the VOI of the real input (the imaginary input is read over the same
 * box); its extents must be powers of 2 (1 included). Results go into the output pair at
 * the destination (frame, row, column). Direction 0 is the forward transform, kernel
 * exp(-2 pi i kn / N), unscaled; direction 1 the inverse, kernel exp(+2 pi i kn / N),
 * divided by the length of every axis, so that it restores the forward transform's input.
 * An output may share its samples with the matching input only when the destination is
 * the VOI origin (-536 otherwise).
 *
 * Checks, in order: the four volumes (CheckVolume F, one channel); for vrfft3d a cubic VOI
 * (-534); extents powers of 2 (-533); direction 0 or 1 and offsets not negative (-90); the
 * imaginary input at least as large as the real one (-521); both outputs able to hold the
 * block at the destination (-520); the in-place rule (-536). lrcfft3d then needs at least
 * 2 rows and 2 columns (-21). */
#ifndef VELMORA3D_ALGORITHMS_FOURIER_H
#define VELMORA3D_ALGORITHMS_FOURIER_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* vrfft3d for a cubic VOI, lrcfft3d for any other. */
int fft3d(Volume* inRe, Volume* inIm, Volume* outRe, Volume* outIm, int direction, int destFrame,
          int destRow, int destColumn);
/* Cubic VOIs only (-534). */
int vrfft3d(Volume* inRe, Volume* inIm, Volume* outRe, Volume* outIm, int direction, int destFrame,
            int destRow, int destColumn);
/* Frames by rows and columns, then along Z. */
int lrcfft3d(Volume* inRe, Volume* inIm, Volume* outRe, Volume* outIm, int direction, int destFrame,
             int destRow, int destColumn);

/* The 3-D DCT-II of the whole input volume (VOI not used), with the factor 2 per axis:
 * C(kz, ky, kx) = 8 sum x(z, y, x) cos(pi (2z+1) kz / 2Nz) cos(...) cos(...), written to
 * out from its origin. Extents powers of 2 (-533); out at least as large (-520); a volume
 * that is not a cube needs at least 2 rows and 2 columns (-21). */
int DCT3d(Volume* in, Volume* out);
/* The inverse of DCT3d, with the same checks. */
int IDCT3d(Volume* in, Volume* out);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_FOURIER_H */
