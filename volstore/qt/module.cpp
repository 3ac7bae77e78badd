// The entry points of volstore.so, bound by name by the program's module host:
//   int save_volume(void)          serves "&Save"
//   void save_buffer(void* buffer) serves the projection windows' "&Save Projection"
// The saver is no module: the host calls no attach function, so the program's exports are
// bound by ordinal on the first call.
#include <dlfcn.h>

#include <QApplication>
#include <QMainWindow>

#include "volstore/qt/save_dialog.h"
#include "volstore/saver.h"
#include "volstore/texts.h"

#define V3D_SAVER_EXPORT extern "C" __attribute__((visibility("default")))

namespace v3d::volstore {
namespace {

Program g_program;
bool g_bound = false;

bool bound() {
  if (!g_bound) {
    const auto lookup =
        reinterpret_cast<V3dExportByOrdinalFn>(dlsym(RTLD_DEFAULT, V3D_EXPORT_BY_ORDINAL_NAME));
    g_bound = bindProgram(lookup, g_program);
  }
  return g_bound;
}

QWidget* frameWindow() {
  V3dShellInfo* info = g_program.info ? g_program.info() : nullptr;
  return info && info->frameWindow ? static_cast<QMainWindow*>(info->frameWindow) : nullptr;
}

bool haveWidgets() {
  return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

struct BusyCursor {
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
};

int saveVolumeFromMenu() {
  Volume* volume = nullptr;
  if (g_program.getInputVolume(V3D_ANY_TYPE, V3D_ANY_COLOR, kTitleSelectVolume, &volume) == 0 ||
      volume == nullptr)
    return 0;  // cancelled
  const auto& rows = volumeFormats();
  const auto choice = qt::askSave(frameWindow(), kTitleSaveVolume, rows,
                                  [volume](int format, const std::string& path) {
                                    return volumeTargets(*volume, VolumeFormat(format), path);
                                  });
  if (!choice) return 0;
  const BusyCursor busy;
  const int code = saveVolume(g_program, volume, VolumeFormat(choice->format), choice->compression,
                              choice->path);
  if (code == 0)
    reportSave(g_program, volume, VolumeFormat(choice->format), choice->compression, choice->path);
  return code;
}

int saveBufferFromMenu(const V3dBuffer* buffer) {
  if (const int code = checkBuffer(buffer); code != 0) return code;
  const auto& rows = pictureFormats();
  const auto choice =
      qt::askSave(frameWindow(), kTitleSaveProjection, rows,
                  [](int, const std::string& path) { return std::vector<std::string>{path}; });
  if (!choice) return 0;
  const BusyCursor busy;
  if (PictureFormat(choice->format) == PictureFormat::Png)
    return saveBufferPng(buffer, choice->path);
  return saveBufferTiff(g_program, buffer, choice->compression, choice->path);
}

}  // namespace
}  // namespace v3d::volstore

using namespace v3d::volstore;

V3D_SAVER_EXPORT int save_volume(void) {
  if (!bound()) return kModuleError;
  if (!haveWidgets()) return kModuleError;
  return saveVolumeFromMenu();
}

// Failures are reported here: the projection window has no use for a result.
V3D_SAVER_EXPORT void save_buffer(void* buffer) {
  if (!bound()) return;
  if (!haveWidgets()) return;
  if (const int code = saveBufferFromMenu(static_cast<const V3dBuffer*>(buffer)); code < 0)
    g_program.errorHandler(code);
}
