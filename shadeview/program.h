// The surface module's binding to the program: the thirteen exports it calls, bound by
// ordinal at attach time, and the shell information record fetched once then.
#pragma once

#include "host/module_api.h"

namespace v3d::shade {

struct ProgramBindings {
  V3dGetVelmora3DInfoFn getInfo = nullptr;                     // 113
  V3dSetMenuItemStateFn setMenuItemState = nullptr;            // 109
  V3dGetInputVolumeFn getInputVolume = nullptr;                // 110
  V3dCreateVolumeExFn createVolumeEx = nullptr;                // 111
  V3dErrorHandlerFn errorHandler = nullptr;                    // 108
  V3dCreateVolumeFn createVolume = nullptr;                    // 3
  V3dInitializeVolumeFn initializeVolume = nullptr;            // 1
  V3dDestroyVolumeFn destroyVolume = nullptr;                  // 4
  V3dCheckVolumeFn checkVolume = nullptr;                      // 5
  V3dVerifyVolumeReallocationFn verifyReallocation = nullptr;  // 115
  V3dFreedisWinFn freedisWin = nullptr;                        // 116
  V3dGetOutputVolumeFn getOutputVolume = nullptr;              // 114
  void (*printCoordinates)(int kind, int X, int Y, int Z, double v1, double v2,
                           double v3) = nullptr;  // 121
  V3dShellInfo* info = nullptr;
  void* token = nullptr;  // the host's record for this module, from Velmora3DDLLReturnMenu

  bool bound() const;
  // SetMenuItemState for this module's item, when the host has given its token.
  void setItem(int item, int state) const;
};

// The ordinals bound, in the order the module binds them.
inline constexpr int kBoundOrdinals[13] = {113, 109, 110, 111, 108, 3, 1, 4, 5, 115, 116, 114, 121};

// Binds the thirteen exports through the program's ordinal lookup and calls GetVelmora3DInfo
// once. False, leaving `out` untouched, when `lookup` is null or any ordinal answers null.
bool bindProgram(V3dExportByOrdinalFn lookup, ProgramBindings& out);

}  // namespace v3d::shade
