/* Frame gallery: a contact sheet of a volume's VOI frames on frame 0 of an output volume. */
#ifndef VELMORA3D_ALGORITHMS_GALLERY_H
#define VELMORA3D_ALGORITHMS_GALLERY_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* in and out are UC volumes of the same colour type (-523). Each VOI frame of `in`, from
 * the VOI's first, is resampled to a tile of t = X / tilesPerRow columns and
 * h = trunc(Ny * t / Nx) rows (Ny x Nx the VOI's rows and columns, X and Y the output's) and
 * placed on output frame 0 at tile row k / tilesPerRow, tile column k % tilesPerRow; as many
 * frames as fit in r = Y / h rows of tiles are shown. nearest != 0 samples the nearest
 * neighbour, 0 mixes the four neighbours bilinearly. The last row and column of a tile are
 * inverted as separators (not on the output's bottom and right edges) and the frame number
 * is written by inversion into the tile's top-left corner. Samples outside the shown tiles
 * and other output frames are not touched. Checks in order: the volume checks of in and
 * out, -523, tilesPerRow < 1 (-90), a VOI of one row or column (-521), tiles narrower or
 * lower than 25 pixels or no room for one row of tiles (-520). */
int ProduceFrameGallery3d(Volume* in, Volume* out, int tilesPerRow, int nearest);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_ALGORITHMS_GALLERY_H */
