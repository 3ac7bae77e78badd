// The widget side of the module host: the main menu as the host's menu sink, the messages
// that Qt events stand for when they are handed to module hooks, and a print of the menu
// tree (velmora3d --print-menus).
#pragma once

#include <QPointer>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "host/module_host.h"

class QEvent;
class QMenu;
class QMenuBar;
class QWidget;

namespace v3d::shell::qt {

class Frame;

class ModuleMenu : public host::MenuSink {
 public:
  explicit ModuleMenu(Frame& frame) : frame_(frame) {}
  void createModulesPopup() override;
  int appendModulePopup(std::string_view title) override;
  void appendSeparator(int popup) override;
  void appendItem(int popup, int id, std::string_view label, bool greyed) override;
  void setItemGreyed(int popup, int id, bool greyed) override;
  void enableSave() override;

 private:
  QMenu* popup(int index) const;
  Frame& frame_;
  QPointer<QMenu> modules_;
  std::vector<QPointer<QMenu>> popups_;
};

struct ModuleMessage {
  unsigned int message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  bool operator==(const ModuleMessage&) const = default;
};

// The messages `event` stands for, in the order a window hands them to the hooks (a key
// press with a character is a key-down and then a character message). Empty for events
// that have no message.
std::vector<ModuleMessage> moduleMessages(const QEvent& event);

// Runs the hooks of `list` on `window` for each message of `event`; true when a hook handled
// one, and then the window's own handling must not run.
bool runModuleHooks(host::HookList list, QWidget* window, QEvent* event);

// The menu bar as an indented tree: one line per item, "-" for a separator, " (greyed)"
// after an item that is not enabled.
void printMenus(const QMenuBar& bar, std::FILE* out);

}  // namespace v3d::shell::qt
