// The desk: everything the dispatcher asks of the user or the screen, in two parts, the
// dialogs (shell/dialog_desk.h) and the windows (shell/window_desk.h), and the two services
// of the frame itself. The Qt desk shows real dialogs and windows; the scripted desk answers
// from a queue (tests, batch use). The parts are virtual bases, so a desk can be put
// together from separate implementations of each.
#pragma once

#include <string>

#include "shell/dialog_desk.h"
#include "shell/window_desk.h"
#include "shell/work_progress.h"

namespace v3d::shell {

class Desk : public virtual DialogDesk, public virtual WindowDesk {
 public:
  // The busy cursor of a long operation.
  virtual void setBusy(bool busy) = 0;
  // Ends the program (the exit command).
  virtual void quit() = 0;
  // Puts or removes the check mark of a menu item.
  virtual void checkCommand(int id, bool checked) = 0;
  // What the last command did, for a status line; a desk without one ignores it.
  virtual void showStatus(const std::string& /*text*/) {}
  // Runs a command's computing step and returns its result; a desk may run it on a worker
  // thread with progress and cancellation (shell/work_progress.h). Here: in place.
  virtual int runLong(LongWork& work) { return work.compute(); }
};

// The desk the exported dialog functions (GetInputVolume, GetOutputVolume) and the
// dispatcher use; nullptr until the shell or a test installs one. Returns the previous one.
Desk* installDesk(Desk* desk);
Desk* desk();

}  // namespace v3d::shell
