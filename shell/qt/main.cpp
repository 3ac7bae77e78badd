// velmora3d: the desktop program. Start-up creates the frame, puts the demo phantom in slot 0
// and runs the event loop.
//
//   velmora3d [--exit-at-start]   (the option runs "E&xit" as soon as the loop is running)
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstring>

#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/commands.h"
#include "shell/demo_volume.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/window_registry.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  using namespace v3d;
  auto frame = std::make_unique<shell::qt::Frame>();
  if (QDir::currentPath().isEmpty()) {
    error_handler(kInitializationError);
    return 0;
  }
  // Maximised; the geometry is set as well for displays without a window manager.
  if (QScreen* screen = QGuiApplication::primaryScreen()) frame->setGeometry(screen->availableGeometry());
  frame->showMaximized();
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

  bool exitAtStart = false;
  for (int i = 1; i < argc; ++i) exitAtStart |= std::strcmp(argv[i], "--exit-at-start") == 0;
  if (exitAtStart)
    QTimer::singleShot(0, frame.get(), [&] { frame->action(shell::kCmdExit)->trigger(); });
  return app.exec();
}
