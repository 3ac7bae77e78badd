/* Linear filters. The direct ones (convolution with a kernel volume, the moving average)
 * take UC input volumes and write only the inner box of the VOI (shrunk by half a window).
 * The FFT-based ones (fft_filters.cpp) take one-channel F volumes and need VOI extents
 * that are powers of 2 where they transform the VOI whole (-533). */
#ifndef VELMORA3D_ALGORITHMS_LINEAR_FILTERS_H
#define VELMORA3D_ALGORITHMS_LINEAR_FILTERS_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The kernel is a whole one-channel F volume of odd extents. */
int conv3(Volume* in, Volume* out, Volume* kernel);
int mov_ave3(Volume* in, Volume* out, int wz, int wy, int wx);

/* The linear convolution of x's VOI with h over the same box (h at least as large as x,
 * -521), through transforms of twice the VOI extents: the (2Nz, 2Ny, 2Nx) block, whose last
 * plane on each axis is zero, written at the destination (-520 when it does not fit, -90
 * for a negative offset). */
int convolution3(Volume* x, Volume* h, Volume* out, int destFrame, int destRow, int destColumn);
/* The linear convolution of x's VOI with the whole kernel volume h by overlap-add of blocks
 * (bz, by, bx) (1 to the VOI extent, -90; h not larger than the VOI, -521): out from the VOI
 * origin to VOI end + kernel - 1 on each axis (-520 when out is smaller) is cleared and
 * receives the convolution of the VOI's whole blocks (a remainder is left out). */
int overlap_add3(Volume* x, Volume* h, Volume* out, int blockZ, int blockY, int blockX);
/* The Wiener transfer function conj(H) S / (S |H|^2 + v) over outRe's VOI: outRe = Hr g,
 * outIm = -Hi g with g = S / (v + S (Hr^2 + Hi^2)). outIm must hold the VOI (-520), the three
 * inputs too (-521); v must not be negative (-90). */
int wienerfrequency3(Volume* outRe, Volume* outIm, Volume* signalSpectrum, Volume* hRe,
                     Volume* hIm, float noiseVariance);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_LINEAR_FILTERS_H */
