/* Services of the shell that the library's callers and the modules use: the volume
 * selection dialogs and the display windows. The widget layer provides them. */
#ifndef VELMORA3D_SHELL_EXPORTS_H
#define VELMORA3D_SHELL_EXPORTS_H

#include "core/volume.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Interactive choices. They return 1 when confirmed, 0 when cancelled; on Cancel *out
 * receives the previous dialog's choice. */
int GetInputVolume(int typeMask, int colorMask, const char* title, Volume** out);
int GetOutputVolume(int typeMask, int colorMask, const char* title, int X, int Y, int Z,
                    Volume** out);
/* Repaints every display window of a volume, or opens one on all its frames when none. */
void DisplayVolume(Volume* volume);
/* Closes every display, projection and section window showing a volume. */
void freedisWin(Volume* volume);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* VELMORA3D_SHELL_EXPORTS_H */
