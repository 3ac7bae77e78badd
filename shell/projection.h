/* Projection windows' records: the picture buffer, the projection record and the projection
 * types. Toolkit-free; the widget layer shows them (DisplayProjection). */
#ifndef VELMORA3D_SHELL_PROJECTION_H
#define VELMORA3D_SHELL_PROJECTION_H

#include <stdint.h>

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The picture of a projection window, the argument of the saver's save_buffer: kind
 * V3D_BUFFER_GREY (one plane) or V3D_BUFFER_COLOUR (three planes: red, green, blue), width
 * columns and height rows; each plane is `height` row pointers into one block of
 * width x height bytes. A plane a kind does not use is null. */
enum { V3D_BUFFER_GREY = 1, V3D_BUFFER_COLOUR = 2 };
typedef struct V3dBuffer {
  int32_t kind;
  int32_t width;
  int32_t height;
  unsigned char** plane[3];
} V3dBuffer;

/* What a projection window's picture is derived from: its type (RegisterProjectionType),
 * the volume, and a caller-defined area placed right behind the record in its allocation. */
typedef struct V3dProjection {
  int32_t type;
  Volume* volume;
  void* extra;
} V3dProjection;

/* The next projection type id: 0, 1, 2, ... The shell takes 0 (frame gallery) and 1 (manual
 * alignment) at start-up. */
int RegisterProjectionType(void);
/* A projection record with an extra area of extraSize zeroed bytes; null when memory is
 * short or extraSize is negative. */
V3dProjection* CreateProjection(int type, Volume* volume, int extraSize);
/* A buffer of zeroed planes: one for kind 1, three for kind 2, none for other kinds; null
 * when memory is short (planes already made are freed) or a size is below 1. */
V3dBuffer* CreateBuffer(int kind, int width, int height);
/* Opens a projection window showing `buffer` titled `title` and returns it (a QWidget*);
 * the window owns the projection and the buffer from then on. Null, with the code reported,
 * when it cannot be made (-723); the caller keeps both then. The widget layer provides it. */
void* DisplayProjection(V3dProjection* projection, V3dBuffer* buffer, const char* title);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_SHELL_PROJECTION_H */
