// Long work on a worker thread behind a modal progress dialog: the command's name as title,
// the frames done where the operation tells them, the elapsed time, and Cancel when the work
// may be cancelled. The user interface keeps repainting meanwhile (windows of the volumes
// the work writes keep their last picture) but takes no other command.
#pragma once

#include "shell/work_progress.h"

class QWidget;

namespace v3d::shell::qt {

// Runs `work` on a worker thread and returns its result. The dialog appears once the work
// has run `delayMs` milliseconds; before that the user interface repaints but takes no input.
int runWithProgress(LongWork& work, QWidget* parent, int delayMs = 500);

}  // namespace v3d::shell::qt
