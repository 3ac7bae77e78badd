// The desk of the real program: the Qt dialogs part and windows part, message boxes
// captioned "VELMORA3D for Windows", the busy cursor and the exit command.
#pragma once

#include <QPointer>

#include "core/report.h"
#include "shell/desk.h"
#include "shell/qt/qt_dialog_desk.h"
#include "shell/qt/qt_window_desk.h"

namespace v3d::shell::qt {

class QtDesk : public Desk, public QtDialogDesk, public QtWindowDesk, public Reporter {
 public:
  QtDesk(Frame* frame, WindowRegistry& windows);
  void setBusy(bool busy) override;
  void quit() override;
  void checkCommand(int id, bool checked) override;
  void showStatus(const std::string& text) override;
  // A command's computing on a worker thread, with the progress dialog after
  // progressDelayMs.
  int runLong(LongWork& work) override;
  int progressDelayMs = 500;

  int showMessage(void* owner, std::string_view text, std::string_view caption, MessageIcon icon,
                  MessageButtons buttons) override;
  void restoreCursor() override;

 private:
  QPointer<Frame> frame_;
  int busyDepth_ = 0;
};

}  // namespace v3d::shell::qt
