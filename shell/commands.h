// The command table and the menu command dispatcher. The table is the one place where menu
// ids meet their handlers; the menu layout refers to ids only, and an id without a handler is
// shown greyed. Each menu family describes its commands in its own commands_<family>.cpp.
#pragma once

#include <cstdint>
#include <vector>

#include "shell/command_ids.h"

namespace v3d::shell {

class Desk;

struct MenuNode {
  enum Kind { Command, Separator, Popup, Placeholder } kind;
  int id = 0;      // command id (Command, Placeholder)
  int textId = 0;  // string id of the label
  std::vector<MenuNode> children;
};

// The main menu: File, Operations, Visualization, the "&Modules" placeholder at position 3,
// Help.
const std::vector<MenuNode>& mainMenu();

// Whether the command has a handler, so that its item is enabled. "&Save" also needs the
// optional saver library.
bool commandAvailable(int id);
// The optional saver's save_volume (no arguments; a negative result is a code for
// error_handler), bound at start-up by the module host; null while no saver is present.
using SaveVolumeFn = int (*)();
void setSaver(SaveVolumeFn saveVolume);
bool saverPresent();
// Runs the saver: its result, or kModuleError when none is bound.
int saveWithSaver();

// Whether a command opens a modeless tool (the labelled view, contour following, manual
// alignment) or is a module's: such commands cannot be recorded in or replayed from a macro.
bool opensModelessTool(int id);

// Runs the command of wParam (its low 16 bits are the id) through the desk; false when the id
// is no built-in command (module ids and unknown ids), so the frame passes it on.
bool dispatch(Desk& desk, std::uintptr_t wParam);

}  // namespace v3d::shell
