/* The one header a Velmora3D module includes: the module protocol (the entry points a module
 * exports, the callbacks it receives, the shell information record) and the program's exports
 * that a module binds by ordinal.
 *
 * A module never links the volume library. It reaches every function of the program through
 *   void* Velmora3DExportByOrdinal(int ordinal);
 * which the program exports (it links with its symbols exported). A module looks that function
 * up with dlsym(RTLD_DEFAULT, "Velmora3DExportByOrdinal") in its attach function; a process
 * that does not provide it is not the program, and the module refuses to attach.
 *
 * Ordinals are fixed: 1 to 130 as the program has always numbered its exports, ours from 131
 * up. An ordinal whose function is not built yet answers null. */
#ifndef VELMORA3D_HOST_MODULE_API_H
#define VELMORA3D_HOST_MODULE_API_H

#include "core/volume.h"

#include "algorithms/edges.h"
#include "algorithms/fourier.h"
#include "algorithms/gallery.h"
#include "algorithms/histograms.h"
#include "algorithms/linear_filters.h"
#include "algorithms/morphology.h"
#include "algorithms/order_statistics.h"
#include "algorithms/resampling.h"
#include "algorithms/segmentation.h"
#include "algorithms/spectral.h"
#include "core/basic_ops.h"
#include "core/image_sequence.h"
#include "core/messages.h"
#include "core/raw_files.h"
#include "core/tiff_stack.h"
#include "projections/projections.h"
#include "shell/exports.h"
#include "shell/projection.h"
#include "shell/saver_report.h"

#ifdef __cplusplus
#include <cstdint>
extern "C" {
#else
#include <stdint.h>
#endif

/* The shell information record: five pointer-sized words. */
typedef struct V3dShellInfo {
  void* frameWindow;            /* word 0: the main frame (a QMainWindow*) */
  void* mdiClient;              /* word 1: the MDI area (a QMdiArea*) */
  const char* startupDirectory; /* word 2: the program's start-up directory, NUL-terminated */
  intptr_t handled;             /* word 3: handled flag, written only by the host callback */
  intptr_t result;              /* word 4: handler result, written only by the host callback */
} V3dShellInfo;

/* Message numbers the display and projection windows hand to module hooks. */
enum {
  V3D_WM_CREATE = 0x0001,
  V3D_WM_DESTROY = 0x0002,
  V3D_WM_SIZE = 0x0005,
  V3D_WM_PAINT = 0x000F,
  V3D_WM_CLOSE = 0x0010,
  V3D_WM_KEYDOWN = 0x0100,
  V3D_WM_KEYUP = 0x0101,
  V3D_WM_CHAR = 0x0102,
  V3D_WM_COMMAND = 0x0111,
  V3D_WM_MOUSEMOVE = 0x0200,
  V3D_WM_LBUTTONDOWN = 0x0201,
  V3D_WM_LBUTTONUP = 0x0202,
  V3D_WM_LBUTTONDBLCLK = 0x0203,
  V3D_WM_RBUTTONDOWN = 0x0204,
  V3D_WM_RBUTTONUP = 0x0205,
  V3D_WM_MOUSEWHEEL = 0x020A
};

/* Their arguments, as the windows hand them over (the window is the QWidget* that received
 * the event):
 *   mouse messages     wParam: V3D_MK_* flags of the buttons and keys held; lParam: x in the
 *                      low 16 bits and y in the next 16 (each signed), in the window's pixels
 *   V3D_WM_MOUSEWHEEL  wParam: V3D_MK_* | the signed wheel delta (120 a notch) << 16;
 *                      lParam: the pointer's screen position, packed the same way
 *   V3D_WM_KEYDOWN/UP  wParam: the Win32 virtual-key code; lParam: 1 down, 0xC0000001 up
 *   V3D_WM_CHAR        wParam: the character (Latin-1), after its key-down; lParam: 1
 *   V3D_WM_SIZE        lParam: width | height << 16
 *   V3D_WM_PAINT       no arguments
 * A right double click arrives as V3D_WM_RBUTTONDOWN. */
enum {
  V3D_MK_LBUTTON = 0x01,
  V3D_MK_RBUTTON = 0x02,
  V3D_MK_SHIFT = 0x04,
  V3D_MK_CONTROL = 0x08,
  V3D_MK_MBUTTON = 0x10
};

/* Callbacks of the protocol (C calling convention). */
typedef void (*V3dHostCallback)(int handled, int result);
typedef void (*V3dMessageHandler)(void* window, unsigned int message, uintptr_t wParam,
                                  intptr_t lParam);
typedef void (*V3dCommandHandler)(int itemIndex);

/* Entry points a module exports, looked up by name:
 *   int Velmora3DModuleAttach(void);        bind the program's exports; 0 refuses to load
 *   V3dMessageHandler Velmora3DDLLReturnMessageHandler(V3dHostCallback callback);
 *   const char** Velmora3DDLLReturnMenu(void* moduleToken);
 *   V3dCommandHandler Velmora3DDLLReturnCmdHandler(void);
 * The menu description is the item labels, a null pointer, then the popup title. A label may
 * start with "-" (separator before it) and then "!" (initially greyed). */
typedef int (*V3dModuleAttachFn)(void);
typedef V3dMessageHandler (*V3dReturnMessageHandlerFn)(V3dHostCallback callback);
typedef const char** (*V3dReturnMenuFn)(void* moduleToken);
typedef V3dCommandHandler (*V3dReturnCmdHandlerFn)(void);

/* The optional saver library, volstore.so, bound by name when it lies in a scanned directory:
 *   int save_volume(void);           serves "&Save"; a negative result is a code for error_handler
 *   void save_buffer(void* buffer);  serves the projection windows' "&Save Projection" */
typedef int (*V3dSaveVolumeFn)(void);
typedef void (*V3dSaveBufferFn)(void* buffer);

/* The program's lookup of its exports by ordinal. */
typedef void* (*V3dExportByOrdinalFn)(int ordinal);
#define V3D_EXPORT_BY_ORDINAL_NAME "Velmora3DExportByOrdinal"

/* Ordinals of the exports a module is most likely to bind; the whole table is in
 * host/export_table.cpp. */
enum {
  V3D_ORD_InitializeVolume = 1,
  V3D_ORD_CreateVolume = 3,
  V3D_ORD_DestroyVolume = 4,
  V3D_ORD_CheckVolume = 5,
  V3D_ORD_error_handler = 108,
  V3D_ORD_SetMenuItemState = 109,
  V3D_ORD_GetInputVolume = 110,
  V3D_ORD_CreateVolumeEx = 111,
  V3D_ORD_DisplayVolume = 112,
  V3D_ORD_GetVelmora3DInfo = 113,
  V3D_ORD_GetOutputVolume = 114,
  V3D_ORD_VerifyVolumeReallocation = 115,
  V3D_ORD_freedisWin = 116,
  V3D_ORD_PrintCoordinates = 121,
  V3D_ORD_dumpUCFI3D = 10,
  V3D_ORD_WriteVolume = 12,
  V3D_ORD_savetiff = 129,
  V3D_ORD_GetVolumeIndex = 128,
  /* Ours (core/tiff_stack.h). */
  V3D_ORD_CheckTiffStack = 131,
  V3D_ORD_ReadTiffStack = 132,
  V3D_ORD_WriteTiffStack = 133,
  V3D_ORD_WriteTiffSequence = 134,
  /* Ours (shell/saver_report.h): the saver reports what it wrote. */
  V3D_ORD_SaverWroteVolume = 135
};

/* Signatures of those exports, for binding. */
typedef void (*V3dInitializeVolumeFn)(Volume*, int Z, int Y, int X, int dataType, int colorType);
typedef int (*V3dCreateVolumeFn)(Volume*);
typedef void (*V3dDestroyVolumeFn)(Volume*);
typedef int (*V3dCheckVolumeFn)(Volume*, int typeMask, int colorMask);
typedef int (*V3dErrorHandlerFn)(int code);
/* state: V3D_MF_ENABLED, or V3D_MF_GRAYED / V3D_MF_DISABLED (both shown greyed). */
enum { V3D_MF_ENABLED = 0, V3D_MF_GRAYED = 1, V3D_MF_DISABLED = 2 };
typedef void (*V3dSetMenuItemStateFn)(void* moduleToken, int itemIndex, int state);
typedef int (*V3dGetInputVolumeFn)(int typeMask, int colorMask, const char* title, Volume** out);
typedef int (*V3dCreateVolumeExFn)(int dataType, int colorType, int Z, int Y, int X,
                                   const char* title, Volume** out);
typedef void (*V3dDisplayVolumeFn)(Volume*);
typedef V3dShellInfo* (*V3dGetVelmora3DInfoFn)(void);
typedef int (*V3dGetOutputVolumeFn)(int typeMask, int colorMask, const char* title, int X,
                                    int Y, int Z, Volume** out);
typedef int (*V3dVerifyVolumeReallocationFn)(void* ownerWindow);
typedef void (*V3dFreedisWinFn)(Volume*);
typedef int (*V3dDumpFn)(Volume*, const char* fileName);
typedef int (*V3dWriteVolumeFn)(Volume*, const char* fileName, int firstFrame, int frameCount);
typedef int (*V3dSaveTiffFn)(unsigned char** plane1, unsigned char** plane2,
                             unsigned char** plane3, const char* fileName, int compression,
                             int photometric, int row0, int col0, int row1, int col1);
typedef int (*V3dCheckTiffStackFn)(const char* fileName, int* Z, int* Y, int* X, int* dataType,
                                   int* colorType);
typedef int (*V3dReadTiffStackFn)(Volume*, const char* fileName);
typedef int (*V3dWriteTiffStackFn)(Volume*, const char* fileName, int compression);
typedef int (*V3dWriteTiffSequenceFn)(Volume*, const char* baseName, int digits, int compression);
typedef void (*V3dSaverWroteVolumeFn)(int slot, int format, const char* fileName, int compression,
                                      int digits);

/* Projections and sections (projections/projections.h), bound by these ordinals. */
enum {
  V3D_ORD_Provoli2d = 95,
  V3D_ORD_Provoli3d = 96,
  V3D_ORD_ProvoliAvrg2d = 97,
  V3D_ORD_ProvoliAvrg3d = 98,
  V3D_ORD_ProvoliMax2d = 99,
  V3D_ORD_ProvoliMax3d = 100,
  V3D_ORD_TomiOrth = 101,
  V3D_ORD_TomiRand1 = 102,
  V3D_ORD_TomiRand2 = 103,
  V3D_ORD_Provoli2dBinary = 104,
  V3D_ORD_Provoli3dBinary = 105,
  V3D_ORD_Provoli3dSurface = 106,
  V3D_ORD_Provoli3dSurfaceColor = 107,
  V3D_ORD_RegisterProjectionType = 117,
  V3D_ORD_CreateProjection = 118,
  V3D_ORD_DisplayProjection = 119,
  V3D_ORD_CreateBuffer = 120
};
typedef int (*V3dProvoli3dFn)(Volume*, unsigned char*** image, int R, int C, float angle1,
                              float angle2, int crop, unsigned char* thresholds);
typedef int (*V3dProvoliPlain3dFn)(Volume*, unsigned char*** image, int R, int C, float angle1,
                                   float angle2, int crop);
typedef int (*V3dProvoliSurfaceFn)(Volume*, unsigned char*** image, int R, int C, float angle1,
                                   float angle2, int crop, unsigned char* thresholds,
                                   int depthCue);
typedef int (*V3dTomiRand2Fn)(Volume*, unsigned char*** image, int R, int C, float angle1,
                              float angle2, int crop, float depth);
typedef int (*V3dRegisterProjectionTypeFn)(void);
typedef V3dProjection* (*V3dCreateProjectionFn)(int type, Volume*, int extraSize);
typedef V3dBuffer* (*V3dCreateBufferFn)(int kind, int width, int height);
typedef void* (*V3dDisplayProjectionFn)(V3dProjection*, V3dBuffer*, const char* title);

/* The projection update request: when a volume changes, every projection window of the
 * volume receives it, first through the modules' projection hooks (window: the window's
 * picture widget, wParam and lParam 0). The frame gallery makes its picture again; a module
 * redraws the windows of its own projection types and reports the message handled. */
enum { V3D_WM_UPDATE_PROJECTION = 0x0410 };

#ifdef __cplusplus
}
#endif

#endif
