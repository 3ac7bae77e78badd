// The main frame: "VELMORA3D for Windows", an MDI area, the main menu built from the command
// table. Commands go to the dispatcher first, then to the module router.
#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QMdiArea;
class QAction;

namespace v3d::shell::qt {

class QtDesk;
class WindowRegistry;

class Frame : public QMainWindow {
 public:
  Frame();
  ~Frame() override;

  QMdiArea* mdiArea() const { return mdi_; }
  WindowRegistry& windows() { return *windows_; }
  QtDesk& desk() { return *desk_; }
  // The action of a command id (its object name is the id), or nullptr.
  QAction* action(int id) const;
  // Routes a command: the dispatcher, then the module router.
  void command(std::uintptr_t wParam);
  // Installed by the module host: receives every command after the dispatcher.
  std::function<void(std::uintptr_t)> moduleRouter;
  // Enables every item whose command is available (after a saver or module appears).
  void refreshMenu();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QMdiArea* mdi_;
  std::unique_ptr<WindowRegistry> windows_;
  std::unique_ptr<QtDesk> desk_;
  std::map<int, QAction*> actions_;
};

// A right click on the bare frame: every volume in use gets its whole extent as VOI again, and
// the pointer modes of the display windows are reset.
void resetAllVois();

}  // namespace v3d::shell::qt
