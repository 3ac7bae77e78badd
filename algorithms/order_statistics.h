/* Order-statistic filters: medians, running extremes, the L-filter and the locally
 * adaptive filter. */
#ifndef VELMORA3D_ALGORITHMS_ORDER_STATISTICS_H
#define VELMORA3D_ALGORITHMS_ORDER_STATISTICS_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

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

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_ORDER_STATISTICS_H */
