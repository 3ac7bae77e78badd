/* Histograms, cumulative histograms and equalization. */
#ifndef VELMORA3D_ALGORITHMS_HISTOGRAMS_H
#define VELMORA3D_ALGORITHMS_HISTOGRAMS_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* histograms[c] (one pointer per channel) receives 256 normalised counts of the VOI. */
int hist3(Volume* volume, float** histograms);
int cdfhist3(float* density, float* cumulative);
/* cumulative[c] (one pointer per channel of in) maps each VOI sample of in into out. */
int histeq3(Volume* in, Volume* out, float** cumulative);
int HistogramEqual3d(Volume* in, Volume* out);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_HISTOGRAMS_H */
