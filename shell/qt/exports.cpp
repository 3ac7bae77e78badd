#include "shell/exports.h"

#include "core/messages.h"
#include "core/result_codes.h"
#include "shell/projection.h"
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

void* DisplayProjection(V3dProjection* projection, V3dBuffer* buffer, const char* title) {
  WindowRegistry* r = windowRegistry();
  if (r == nullptr || projection == nullptr || buffer == nullptr || buffer->width < 1 ||
      buffer->height < 1) {
    error_handler(kCannotCreateWindow);
    return nullptr;
  }
  using v3d::shell::qt::ProjectionWindow;
  auto window = std::make_unique<ProjectionWindow>(v3d::shell::ProjectionPtr(projection),
                                                   v3d::shell::BufferPtr(buffer),
                                                   QString::fromLocal8Bit(title ? title : ""));
  return r->add(std::move(window), projection->volume);
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
