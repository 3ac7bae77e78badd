// The command table and the menu command dispatcher. The table is the one place where menu
// ids meet their handlers; the menu layout below refers to ids only, and an id without a
// handler is shown greyed.
#pragma once

#include <cstdint>
#include <vector>

namespace v3d::shell {

class Desk;

// Menu command ids.
enum CommandId : int {
  kCmdOpen = 40003,
  kCmdSave = 40008,
  kCmdDump = 1030,
  kCmdCreate = 1040,
  kCmdDestroy = 1041,
  kCmdState = 1042,
  kCmdSetVoi = 1045,
  kCmdCoordinates = 212,
  kCmdWriteVoxel = 1050,
  kCmdExit = 1060,
  kCmdClear = 1100,
  kCmdCopy = 1110,
  kCmdAnd = 1120,
  kCmdOr = 1121,
  kCmdXor = 1122,
  kCmdFToUCTruncation = 1140,
  kCmdFToUCScaling = 1141,
  kCmdUCToF = 1142,
  kCmdSymmetric = 1130,
  kCmdBoundingBox = 1222,
  kCmdAbout = 701,
  kCmdSections = 40007,
};

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
void setSaverPresent(bool present);
bool saverPresent();

// Runs the command of wParam (its low 16 bits are the id) through the desk; false when the id
// is no built-in command (module ids and unknown ids), so the frame passes it on.
bool dispatch(Desk& desk, std::uintptr_t wParam);

}  // namespace v3d::shell
