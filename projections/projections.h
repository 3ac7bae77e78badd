/* Projections and sections of UC volumes (one or three channels) into a caller's image buffer:
 * image[c][row][column] for each channel c of the volume, R rows of C unsigned bytes.
 *
 * Viewing geometry shared by every function here:
 *  - Source box: the VOI, or with a non-zero crop flag the bounding box of the samples inside
 *    the VOI where any channel is non-zero. Only samples inside it are read (the gradient
 *    shading also reads the 3 x 3 x 3 neighbourhood of a hit strictly inside the VOI). A crop
 *    on a VOI without a non-zero sample gives an all-zero image.
 *  - Angles in degrees, theta = angle * pi / 180 with pi = 4 * atan(1), all in float.
 *    2-D form: lateral axis u = (cos, -sin), depth axis d = (sin, cos) in (x, y), one image row
 *    per frame (the box's first frame lowest). 3-D form: u = (c1, s1, 0),
 *    v = (s1 s2, -c1 s2, c2), d = (-s1 c2, c1 c2, s2) in (x, y, z); image rows follow v upward.
 *  - Extents: the box corners relative to the box centre projected on each axis, each rounded
 *    by truncating (p + 0.5); extent = max - min + 1, cut to the image size (centred).
 *  - The VOI centre falls on image column C / 2 (and, in the 3-D form, row R / 2).
 *  - Ray arithmetic in float: the origin of the first ray is centre + 0.5 + l0 u (+ m0 v),
 *    each next column adds u and each next row adds v; the depth products t * d are computed
 *    once per call; a sample position is trunc(origin + product) per coordinate.
 *  - Every check runs before the image is touched: CheckVolume(volume, V3D_UC, V3D_ANY_COLOR)
 *    (-501 to -510), a null image or channel row array (-1), R or C below 1, a NaN or infinite
 *    angle or depth (-90), a null threshold array (-4), working arrays (-9), the surface
 *    functions' internal depth and colour images (-530).
 *  - Every projection writes the whole image (0 outside the projected rectangle); the sections
 *    TomiOrth and TomiRand1 write only their rectangle, TomiRand2 the whole image. */
#ifndef VELMORA3D_PROJECTIONS_PROJECTIONS_H
#define VELMORA3D_PROJECTIONS_PROJECTIONS_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Intensity projections ----------------------------------------------------------- */

/* First hit: the samples of the first position along each ray where a channel exceeds its
 * threshold (strictly); 0 where a ray finds none. */
int Provoli2d(Volume* volume, unsigned char*** image, int R, int C, float angle, int crop,
              unsigned char* thresholds);
int Provoli3d(Volume* volume, unsigned char*** image, int R, int C, float angle1, float angle2,
              int crop, unsigned char* thresholds);
/* Average: trunc(sum / count + 0.5) per channel over the positions inside the box, 0 for none. */
int ProvoliAvrg2d(Volume* volume, unsigned char*** image, int R, int C, float angle, int crop);
int ProvoliAvrg3d(Volume* volume, unsigned char*** image, int R, int C, float angle1, float angle2,
                  int crop);
/* Maximum per channel over the positions inside the box, 0 for none. */
int ProvoliMax2d(Volume* volume, unsigned char*** image, int R, int C, float angle, int crop);
int ProvoliMax3d(Volume* volume, unsigned char*** image, int R, int C, float angle1, float angle2,
                 int crop);

/* ---- Sections ------------------------------------------------------------------------ */

/* type 1: frame z = position, 2: row y = position, 3: column x = position (frames bottom-up). */
int TomiOrth(Volume* volume, unsigned char*** image, int R, int C, int type, int position);
/* The plane solved for z (type 1: b x + a y + c z + e = 0), y (type 2) or x (type 3:
 * a x + b y + c z + e = 0) per pixel; 0 where the solved coordinate leaves the VOI. */
int TomiRand1(Volume* volume, unsigned char*** image, int R, int C, float a, float b, float c,
              float e, int type);
/* The plane perpendicular to the 3-D viewing direction at `depth` percent of the depth extent. */
int TomiRand2(Volume* volume, unsigned char*** image, int R, int C, float angle1, float angle2,
              int crop, float depth);

/* ---- Binary and surface-shaded projections -------------------------------------------- */

/* First hit shaded by the grey-level gradient at the hit: 255 |gradient along the view| /
 * |gradient|; a hit on the VOI's outermost layer keeps its own samples. */
int Provoli2dBinary(Volume* volume, unsigned char*** image, int R, int C, float angle, int crop,
                    unsigned char* thresholds);
int Provoli3dBinary(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                    float angle2, int crop, unsigned char* thresholds);
/* First hit shaded from the slopes of the depth image of the hits: 30 + 225 h (h the mean
 * cosine of the eight neighbour triangles), the depth cue dimming the far surfaces to 30.
 * A three-channel volume gets the same grey shade in every channel. */
int Provoli3dSurface(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                     float angle2, int crop, unsigned char* thresholds, int depthCue);
/* As Provoli3dSurface, each channel the hit's own sample times h (and the depth cue). */
int Provoli3dSurfaceColor(Volume* volume, unsigned char*** image, int R, int C, float angle1,
                          float angle2, int crop, unsigned char* thresholds, int depthCue);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_PROJECTIONS_PROJECTIONS_H */
