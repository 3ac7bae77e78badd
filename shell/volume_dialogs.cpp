// The exported volume choices for modules and the desk they run on.
#include <cstring>

#include "core/messages.h"
#include "core/table.h"
#include "core/volume.h"
#include "shell/desk.h"
#include "shell/dialogs.h"
#include "shell/exports.h"

namespace v3d::shell {
namespace {
Desk* g_desk = nullptr;

// Copies a caller's title into the shared dialog title buffer; a NULL title keeps the text
// loaded before.
void takeTitle(const char* title) {
  if (title == nullptr) return;
  std::strncpy(dialogTitle, title, sizeof dialogTitle - 1);
  dialogTitle[sizeof dialogTitle - 1] = '\0';
}
}  // namespace

Desk* installDesk(Desk* d) {
  Desk* previous = g_desk;
  g_desk = d;
  return previous;
}
Desk* desk() {
  return g_desk;
}

PointerModes& pointerModes() {
  static PointerModes modes;
  return modes;
}

}  // namespace v3d::shell

using namespace v3d::shell;

extern "C" {

int GetInputVolume(int typeMask, int colorMask, const char* title, Volume** out) {
  takeTitle(title);
  int result = 0;
  if (Desk* d = desk()) {
    VolumeDialog dialog(VolumeDialogKind::Input, dialogTitle, typeMask, colorMask);
    dialog.informationEditable = true;
    result = d->run(dialog) == 1 ? 1 : 0;
  }
  if (out != nullptr) *out = exchange().chosenVolume;
  return result;
}

int GetOutputVolume(int typeMask, int colorMask, const char* title, int X, int Y, int Z,
                    Volume** out) {
  takeTitle(title);
  int result = 0;
  if (Desk* d = desk()) {
    VolumeDialog dialog(VolumeDialogKind::Output, dialogTitle, typeMask, colorMask);
    dialog.suggest(X, Y, Z);
    result = d->run(dialog) == 1 ? 1 : 0;
  }
  if (out != nullptr) *out = exchange().chosenVolume;
  return result;
}

}  // extern "C"
