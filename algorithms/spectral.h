/* Spectral analysis of float volumes: correlation, the Blackman-Tukey power spectrum,
 * conversions between real/imaginary and magnitude/phase form, and a log-scaled 8-bit
 * picture of a spectrum.
 *
 * A complex volume is a pair of one-channel F volumes. The functions with a destination
 * read the first input's VOI (the second input over the same box) and write the block at
 * (frame, row, column) of the outputs, which must hold it (-520); offsets are not negative
 * (-90); the second input is at least as large as the first (-521). Every check comes
 * before the first write. */
#ifndef VELMORA3D_ALGORITHMS_SPECTRAL_H
#define VELMORA3D_ALGORITHMS_SPECTRAL_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The circular correlation of x's VOI (extents N, powers of 2) with y's VOI, both
 * zero-padded to 2N per axis, divided by Nz * Ny * Nx: a (2Nz, 2Ny, 2Nx) block with lag 0
 * at the destination and negative lags wrapped to the upper half. */
int correlation3d(Volume* x, Volume* y, Volume* out, int destFrame, int destRow, int destColumn);
/* The Blackman-Tukey power spectrum of a UC volume's VOI: its auto-correlation (as
 * correlation3d) under a separable Bartlett lag window of lengths (lagZ, lagY, lagX), each
 * 1 to the VOI extent (-90), transformed; the real part, (2Nz, 2Ny, 2Nx) samples, goes to
 * out from its origin. */
int blackman_tukey_psd3d(Volume* in, Volume* out, int lagZ, int lagY, int lagX);
/* Magnitude sqrt(re^2 + im^2) and phase atan2(im, re) (+-pi/2 when |re| <= 1e-37). */
int reim2magnphase3d(Volume* re, Volume* im, Volume* magnitude, Volume* phase, int destFrame,
                     int destRow, int destColumn);
/* re = m cos(phase), im = m sin(phase). */
int magnphase2reim3d(Volume* magnitude, Volume* phase, Volume* re, Volume* im, int destFrame,
                     int destRow, int destColumn);
/* trunc(255 ln(|F| + 1) / ln(M + 1) + 0.5) per sample of the VOI, M the largest magnitude
 * (0 everywhere when M is 0), into a one-channel UC volume, each axis rotated by half its
 * extent so that the zero frequency lands in the middle of the block. */
int fft2image3d(Volume* re, Volume* im, Volume* out, int destFrame, int destRow, int destColumn);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_SPECTRAL_H */
