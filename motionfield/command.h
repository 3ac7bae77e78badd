// The module's binding to the program and its one command, "&Block Matching", without a
// toolkit: the command talks to the user through CommandUi (the options dialog, warnings, the
// busy cursor) and to the program only through the bound exports, so tests run it with the
// volume library's functions and a scripted UI.
#pragma once

#include "host/module_api.h"
#include "motionfield/options.h"

namespace v3d::motion::module {

// The seven exports of the program the module uses, bound by ordinal, and the shell
// information record fetched once when binding.
struct ProgramBindings {
  V3dGetVelmora3DInfoFn getInfo = nullptr;         // 113
  V3dGetInputVolumeFn getInputVolume = nullptr;    // 110
  V3dCreateVolumeExFn createVolumeEx = nullptr;    // 111
  V3dDisplayVolumeFn displayVolume = nullptr;      // 112
  V3dErrorHandlerFn errorHandler = nullptr;        // 108
  V3dDestroyVolumeFn destroyVolume = nullptr;      // 4
  V3dGetOutputVolumeFn getOutputVolume = nullptr;  // 114, bound but not used
  V3dShellInfo* info = nullptr;

  bool bound() const {
    return getInfo && getInputVolume && createVolumeEx && displayVolume && errorHandler &&
           destroyVolume && getOutputVolume;
  }
};

// Binds the seven exports through the program's ordinal lookup and calls GetVelmora3DInfo
// once. Returns false, leaving `out` untouched, when `lookup` is null or any ordinal answers
// null.
bool bindProgram(V3dExportByOrdinalFn lookup, ProgramBindings& out);

// How the command meets the user.
class CommandUi {
 public:
  virtual ~CommandUi() = default;
  // Shows the options dialog, fresh from its initial values; true and the options on OK.
  virtual bool askOptions(BlockMatchingOptions& options) = 0;
  // Shows warning `id` of the module's string table over the main frame.
  virtual void showWarning(int id) = 0;
  // The wait cursor on (true) and off (false); the calls always come in pairs.
  virtual void setBusy(bool busy) = 0;
};

// The volumes one run left in the program's table (null for those not made, or destroyed
// again), and the code it reported through error_handler (0 if none).
struct BlockMatchingRun {
  Volume* vectorsX = nullptr;
  Volume* vectorsY = nullptr;
  Volume* field = nullptr;
  Volume* displayX = nullptr;
  Volume* displayY = nullptr;
  Volume* amplitude = nullptr;
  int reported = 0;
};

// The command handler for item `itemIndex` of the module's menu (only item 0 exists): input
// volume, options, motion vectors, the chosen displays, and showing them.
BlockMatchingRun runBlockMatching(const ProgramBindings& program, CommandUi& ui, int itemIndex);

}  // namespace v3d::motion::module
