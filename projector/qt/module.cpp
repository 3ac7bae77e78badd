// The entry points of projector.so: attaching to the program (its exports bound by ordinal and
// the module's own projection type registered), the menu, the command that opens a viewer with
// its control panel, and the projection-window hook that redraws and turns the viewers.
#include <dlfcn.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "host/module_api.h"
#include "projector/qt/panel.h"
#include "projector/texts.h"
#include "projector/viewer.h"

#define V3D_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace v3d::projector::qt {
namespace {

ProgramBindings g_program;
int g_projectionType = -1;
V3dHostCallback g_callback = nullptr;
int g_handlerRequests = 0;

const char* g_menu[] = {kMenuItem, nullptr, kMenuTitle};

// One open viewer: its window (the shell's projection window) and its control panel.
struct OpenViewer {
  std::unique_ptr<Viewer> viewer;
  const QObject* key = nullptr;  // the window, also while it is being destroyed
  QPointer<QWidget> window;
  QPointer<ControlPanel> panel;
  QPointer<QMdiSubWindow> panelWindow;
};
std::vector<std::unique_ptr<OpenViewer>> g_viewers;

// The viewer whose window is `widget` or holds it (the hooks see the picture widget inside).
OpenViewer* viewerOf(void* widget) {
  for (auto* w = static_cast<QWidget*>(widget); w != nullptr; w = w->parentWidget())
    for (const auto& open : g_viewers)
      if (open->window == w) return open.get();
  return nullptr;
}

void forget(QObject* window) {
  const auto it = std::find_if(g_viewers.begin(), g_viewers.end(),
                               [window](const auto& o) { return o->key == window; });
  if (it == g_viewers.end()) return;
  // The panel goes with its viewer at once: it works on the viewer, which goes now.
  std::unique_ptr<OpenViewer> gone = std::move(*it);
  g_viewers.erase(it);
  delete gone->panelWindow.data();
}

class QtUi final : public CommandUi {
 public:
  void setBusy(bool busy) override {
    if (busy)
      QApplication::setOverrideCursor(Qt::WaitCursor);
    else
      QApplication::restoreOverrideCursor();
  }
};

void commandHandler(int itemIndex) {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  QtUi ui;
  std::unique_ptr<Viewer> viewer = openViewer(g_program, ui, itemIndex, g_projectionType);
  if (viewer == nullptr) return;
  auto open = std::make_unique<OpenViewer>();
  auto* window = static_cast<QWidget*>(viewer->window);
  open->key = window;
  open->window = window;
  QObject::connect(window, &QObject::destroyed, [window] { forget(window); });

  // The panel is an MDI child of its own beside the picture.
  auto* area = g_program.info ? static_cast<QMdiArea*>(g_program.info->mdiClient) : nullptr;
  if (area != nullptr) {
    open->panel = new ControlPanel(g_program, *viewer, window);
    char title[96];
    std::snprintf(title, sizeof title, kControlsTitle, g_program.getVolumeIndex(viewer->volume));
    open->panel->setWindowTitle(QString::fromLocal8Bit(title));
    open->panelWindow = area->addSubWindow(open->panel);
    open->panelWindow->setAttribute(Qt::WA_DeleteOnClose);
    if (QWidget* frame = window->parentWidget())
      open->panelWindow->move(frame->geometry().topRight());
    open->panelWindow->show();
    area->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window->parentWidget()));
  }
  open->viewer = std::move(viewer);
  g_viewers.push_back(std::move(open));
}

// The projection-window hook: the module's own windows are redrawn on the update request and
// turned by a left-button drag; every other message and window is left to the program.
void projectionHook(void* window, unsigned int message, std::uintptr_t wParam,
                    std::intptr_t lParam) {
  MessageOutcome outcome;
  if (OpenViewer* open = viewerOf(window)) {
    outcome = handleMessage(g_program.render, *open->viewer, message, wParam, lParam);
    if (outcome.redrawn) {
      static_cast<QWidget*>(window)->update();
      if (open->panel != nullptr) open->panel->sync();
    }
  }
  if (g_callback != nullptr) g_callback(outcome.handled ? 1 : 0, 0);
}

}  // namespace
}  // namespace v3d::projector::qt

using namespace v3d::projector;
using namespace v3d::projector::qt;

// Called by the host right after loading: binds the program's exports and registers the
// viewer's projection type. 0 refuses the load when the process is not the program.
V3D_MODULE_EXPORT int Velmora3DModuleAttach(void) {
  const auto lookup =
      reinterpret_cast<V3dExportByOrdinalFn>(dlsym(RTLD_DEFAULT, V3D_EXPORT_BY_ORDINAL_NAME));
  if (lookup == nullptr || !bindProgram(lookup, g_program)) return 0;
  g_projectionType = g_program.registerProjectionType();
  return 1;
}

// Asked twice: the first answer hooks the projection windows, the second the display windows,
// which the viewer does not need.
V3D_MODULE_EXPORT V3dMessageHandler Velmora3DDLLReturnMessageHandler(V3dHostCallback callback) {
  g_callback = callback;
  return g_handlerRequests++ == 0 ? &projectionHook : nullptr;
}

V3D_MODULE_EXPORT const char** Velmora3DDLLReturnMenu(void*) {
  return g_menu;
}

V3D_MODULE_EXPORT V3dCommandHandler Velmora3DDLLReturnCmdHandler(void) {
  return &commandHandler;
}
