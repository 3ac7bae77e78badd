#include "shadeview/program.h"

#include <type_traits>

namespace v3d::shade {

bool ProgramBindings::bound() const {
  return getInfo && setMenuItemState && getInputVolume && createVolumeEx && errorHandler &&
         createVolume && initializeVolume && destroyVolume && checkVolume && verifyReallocation &&
         freedisWin && getOutputVolume && printCoordinates;
}

void ProgramBindings::setItem(int item, int state) const {
  if (setMenuItemState != nullptr && token != nullptr) setMenuItemState(token, item, state);
}

bool bindProgram(V3dExportByOrdinalFn lookup, ProgramBindings& out) {
  if (lookup == nullptr) return false;
  const auto bind = [&](auto& slot, int ordinal) {
    slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(lookup(ordinal));
  };
  ProgramBindings b;
  bind(b.getInfo, V3D_ORD_GetVelmora3DInfo);
  bind(b.setMenuItemState, V3D_ORD_SetMenuItemState);
  bind(b.getInputVolume, V3D_ORD_GetInputVolume);
  bind(b.createVolumeEx, V3D_ORD_CreateVolumeEx);
  bind(b.errorHandler, V3D_ORD_error_handler);
  bind(b.createVolume, V3D_ORD_CreateVolume);
  bind(b.initializeVolume, V3D_ORD_InitializeVolume);
  bind(b.destroyVolume, V3D_ORD_DestroyVolume);
  bind(b.checkVolume, V3D_ORD_CheckVolume);
  bind(b.verifyReallocation, V3D_ORD_VerifyVolumeReallocation);
  bind(b.freedisWin, V3D_ORD_freedisWin);
  bind(b.getOutputVolume, V3D_ORD_GetOutputVolume);
  bind(b.printCoordinates, V3D_ORD_PrintCoordinates);
  if (!b.bound()) return false;
  b.info = b.getInfo();
  b.token = out.token;
  out = b;
  return true;
}

}  // namespace v3d::shade
