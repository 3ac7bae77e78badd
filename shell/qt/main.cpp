// velmora3d: the desktop program. Start-up creates the frame, puts the demo phantom in slot 0
// and runs the event loop.
//
//   velmora3d [--exit-at-start] [--print-menus]
//   velmora3d --batch MACRO [--var NAME=VALUE ...]
//     --batch          replays a macro headless (shell/batch.h) and ends
//     --exit-at-start  runs "E&xit" as soon as the loop is running
//     --print-menus    prints the menu tree after the module scan to standard output and ends
//                      (messages of the scan go to standard error instead of boxes)
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <cstring>

#include "core/messages.h"
#include "core/report.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/batch.h"
#include "shell/commands.h"
#include "shell/demo_volume.h"
#include "shell/exports.h"
#include "shell/projection_model.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/window_registry.h"

int main(int argc, char** argv) {
  // A batch run replays a macro with no display: no application object, no widgets.
  if (v3d::shell::batchRequested(argc, argv)) return v3d::shell::batchMain(argc, argv);
  QApplication app(argc, argv);
  using namespace v3d;
  auto frame = std::make_unique<shell::qt::Frame>();
  if (QDir::currentPath().isEmpty()) {
    error_handler(kInitializationError);
    return 0;
  }
  // Maximised; the geometry is set as well for displays without a window manager.
  if (QScreen* screen = QGuiApplication::primaryScreen())
    frame->setGeometry(screen->availableGeometry());
  frame->showMaximized();

  bool exitAtStart = false, printMenus = false;
  for (int i = 1; i < argc; ++i) {
    exitAtStart |= std::strcmp(argv[i], "--exit-at-start") == 0;
    printMenus |= std::strcmp(argv[i], "--print-menus") == 0;
  }
  if (printMenus) installReporter(nullptr);

  // The frame gallery and manual alignment take projection types 0 and 1 before any module
  // can register its own.
  shell::registerShellProjectionTypes();

  // Modules and the saver from the program's directory and VELMORA3D_MODULE_PATH; commands
  // reach them after the dispatcher.
  shell::qt::ModuleMenu moduleMenu(*frame);
  host::ModuleHost modules(moduleMenu);
  host::installModuleHost(&modules);
  modules.setShellWindows(frame.get(), frame->mdiArea(),
                          QFile::encodeName(QDir::currentPath()).toStdString());
  frame->moduleRouter = [&modules](std::uintptr_t wParam) { modules.route(wParam); };
  modules.scan(
      host::moduleDirectories(host::programDirectory(), std::getenv(host::kModulePathVariable)));
  if (printMenus) {
    shell::qt::printMenus(*frame->menuBar(), stdout);
    frame->moduleRouter = nullptr;
    return 0;
  }

  // The demo phantom in slot 0, shown at once so that there is something to work on.
  Volume* demo = nullptr;
  if (int code = shell::createDemoVolume(&demo); code != kSuccess)
    error_handler(code);
  else
    DisplayVolume(demo);
  // Start the demo's display on its middle frame, where the spheres cross.
  for (shell::qt::DisplayWindow* d : frame->windows().displaysOf(demo)) {
    d->model().setCurrent(demo->Z / 2);
    d->updateTitle();
  }

  if (exitAtStart)
    QTimer::singleShot(0, frame.get(), [&] { frame->action(shell::kCmdExit)->trigger(); });
  const int code = app.exec();
  frame->moduleRouter = nullptr;
  return code;
}
