// The entry points of shadeview.so: attaching to the program (its thirteen exports bound by
// ordinal), the "&Surface Rendering" menu, and the command handler with its Qt dialogs and the
// rendering window.
#include <dlfcn.h>

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

#include "host/module_api.h"
#include "shadeview/commands.h"
#include "shadeview/module_texts.h"
#include "shadeview/program.h"
#include "shadeview/qt/dialogs.h"
#include "shadeview/qt/render_view.h"
#include "shadeview/scripts/qt/connections_view.h"

#define V3D_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace v3d::shade::qt {
namespace {

ProgramBindings g_program;

QWidget* frameWindow() {
  if (g_program.info == nullptr) return nullptr;
  return static_cast<QMainWindow*>(g_program.info->frameWindow);
}
QMdiArea* mdiArea() {
  if (g_program.info == nullptr) return nullptr;
  return static_cast<QMdiArea*>(g_program.info->mdiClient);
}

void openRenderingWindow(const std::string& path) {
  RenderView* view = OpenRenderingWindow(&g_program, frameWindow(), mdiArea(), path);
  if (view != nullptr)
    view->onClosing = [] {
      if (ColourDialog* d = CurrentColourDialog()) d->close();
    };
}

class QtModuleUi final : public ModuleUi {
 public:
  std::optional<std::string> askText(const char* title, const char* prompt) override {
    return AskText(frameWindow(), title, prompt);
  }
  void setBusy(bool busy) override {
    if (busy)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }
  std::optional<std::string> askSaveFile(const char* title) override {
    return AskSaveScript(frameWindow(), title);
  }
  std::optional<std::string> askOpenFile(const char* title, bool scriptsOnly) override {
    return AskOpenScript(frameWindow(), title, scriptsOnly);
  }
  void openConnections(const SurfaceJob& job) override {
    ConnectionsServices services;
    services.checkVolume = g_program.checkVolume;
    services.errorHandler = g_program.errorHandler;
    services.render = [](const std::string& path) { openRenderingWindow(path); };
    OpenConnectionsDialog(frameWindow(), services, job);
  }
  void openRenderer(const std::string& path) override { openRenderingWindow(path); }
  bool colourDialogOpen() override { return CurrentColourDialog() != nullptr; }
  bool openColourDialog() override {
    return OpenColourDialog(CurrentRenderView(), frameWindow()) != nullptr;
  }
  PictureSource* renderer() override { return CurrentRenderView(); }
};

void commandHandler(int itemIndex) {
  // The dialogs and the window need the program's widget application.
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  QtModuleUi ui;
  runCommand(g_program, ui, itemIndex);
}

}  // namespace
}  // namespace v3d::shade::qt

using namespace v3d::shade;

// Called by the host right after loading. 0 refuses the load when the process is not the
// program (no ordinal lookup) or one of the thirteen exports is missing.
V3D_MODULE_EXPORT int Velmora3DModuleAttach(void) {
  const auto lookup =
      reinterpret_cast<V3dExportByOrdinalFn>(dlsym(RTLD_DEFAULT, V3D_EXPORT_BY_ORDINAL_NAME));
  return lookup != nullptr && bindProgram(lookup, qt::g_program) ? 1 : 0;
}

V3D_MODULE_EXPORT V3dMessageHandler Velmora3DDLLReturnMessageHandler(V3dHostCallback) {
  return nullptr;
}

V3D_MODULE_EXPORT const char** Velmora3DDLLReturnMenu(void* moduleToken) {
  qt::g_program.token = moduleToken;
  return kMenuDescription;
}

V3D_MODULE_EXPORT V3dCommandHandler Velmora3DDLLReturnCmdHandler(void) {
  return &qt::commandHandler;
}
