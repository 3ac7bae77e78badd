// The modeless "Specify Object Connections" dialog (resource 103) over its presenter.
#pragma once

#include <functional>
#include <string>

#include "shadeview/scripts/connections.h"

class QWidget;

namespace v3d::shade {

// What the dialog needs from the module.
struct ConnectionsServices {
  V3dCheckVolumeFn checkVolume = nullptr;
  V3dErrorHandlerFn errorHandler = nullptr;
  // Opens the rendering window on a script; called after the dialog is gone, when the user
  // asked to render the script it produced.
  std::function<void(const std::string& scriptPath)> render;
};

// Opens the dialog on the job as a modeless child of `parent` and gives it the focus. At most
// one exists: while one is open, it is raised and the new job is dropped. Returns the dialog,
// or nullptr when it closed at once because its chains could not be built (the failure has
// been reported through errorHandler).
QWidget* OpenConnectionsDialog(QWidget* parent, const ConnectionsServices& services,
                               SurfaceJob job);

// The open dialog, or nullptr.
QWidget* CurrentConnectionsDialog();

}  // namespace v3d::shade
