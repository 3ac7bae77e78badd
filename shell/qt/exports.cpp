#include "shell/exports.h"

#include "shell/qt/exports.h"
#include "shell/qt/window_registry.h"

using v3d::shell::qt::windowRegistry;
using v3d::shell::qt::WindowRegistry;

extern "C" {

void DisplayVolume(Volume* volume) {
  if (WindowRegistry* r = windowRegistry(); r && volume) r->showVolume(volume, true);
}

void freedisWin(Volume* volume) {
  if (WindowRegistry* r = windowRegistry(); r && volume) r->closeWindowsOf(volume);
}

}  // extern "C"

namespace v3d::shell::qt {
namespace {
SeedPicking* g_seeds = nullptr;
}  // namespace

SeedPicking* seedPicking() {
  return g_seeds;
}
void setSeedPicking(SeedPicking* s) {
  g_seeds = s;
}

}  // namespace v3d::shell::qt
