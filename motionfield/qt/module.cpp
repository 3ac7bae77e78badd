// The entry points of motionfield.so: attaching to the program (its exports bound by
// ordinal), the menu, the command handler with its Qt dialogs, and no message handler.
#include <dlfcn.h>

#include <QApplication>
#include <QMainWindow>
#include <string>

#include "host/module_api.h"
#include "motionfield/command.h"
#include "motionfield/help.h"
#include "motionfield/qt/options_view.h"
#include "motionfield/texts.h"

#define V3D_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace v3d::motion::module {
namespace {

ProgramBindings g_program;
std::string g_modulePath;

const char* g_menu[] = {kMenuItem, nullptr, kMenuTitle};

// The main frame from the shell information record; it parents the dialog and warnings.
QWidget* frameWindow() {
  if (g_program.info == nullptr || g_program.info->frameWindow == nullptr) return nullptr;
  return static_cast<QMainWindow*>(g_program.info->frameWindow);
}

class QtCommandUi final : public CommandUi {
 public:
  explicit QtCommandUi(QWidget* frame) : frame_(frame) {}

  bool askOptions(BlockMatchingOptions& options) override {
    OptionsPresenter presenter;  // every opening starts from the initial values
    qt::OptionsView view(presenter, frame_, g_modulePath);
    if (view.exec() != QDialog::Accepted) return false;
    options = presenter.read();
    return true;
  }
  void showWarning(int id) override { qt::showWarning(frame_, id); }
  void setBusy(bool busy) override {
    if (busy)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }

 private:
  QWidget* frame_;
};

void commandHandler(int itemIndex) {
  // The dialogs need the program's widget application.
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  QtCommandUi ui(frameWindow());
  runBlockMatching(g_program, ui, itemIndex);
}

}  // namespace
}  // namespace v3d::motion::module

using namespace v3d::motion::module;

// Called by the host right after loading: binds the program's exports. 0 refuses the load
// when the process is not the program (no ordinal lookup) or an export is missing.
V3D_MODULE_EXPORT int Velmora3DModuleAttach(void) {
  const auto lookup =
      reinterpret_cast<V3dExportByOrdinalFn>(dlsym(RTLD_DEFAULT, V3D_EXPORT_BY_ORDINAL_NAME));
  if (lookup == nullptr || !bindProgram(lookup, g_program)) return 0;
  g_modulePath = moduleFilePath();
  return 1;
}

V3D_MODULE_EXPORT V3dMessageHandler Velmora3DDLLReturnMessageHandler(V3dHostCallback) {
  return nullptr;
}

V3D_MODULE_EXPORT const char** Velmora3DDLLReturnMenu(void*) {
  return g_menu;
}

V3D_MODULE_EXPORT V3dCommandHandler Velmora3DDLLReturnCmdHandler(void) {
  return &commandHandler;
}
