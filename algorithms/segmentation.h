/* Thresholding, region segmentation, labelling and the coordinate stack. */
#ifndef VELMORA3D_ALGORITHMS_SEGMENTATION_H
#define VELMORA3D_ALGORITHMS_SEGMENTATION_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

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
/* 26-connected components of equal nonzero intensity; on success the input's VOI is zeroed,
 * a failing call leaves the input as it was. sizes holds maxLabels entries (1..255):
 * sizes[k] is the voxel count of component k + 1. */
int grass3d_label(Volume* input, Volume* output, int* count, float* sizes, int maxLabels);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_SEGMENTATION_H */
