#include "shadeview/scripts/qt/connections_view.h"

namespace v3d::shade {
QWidget* OpenConnectionsDialog(QWidget*, const ConnectionsServices&, SurfaceJob) {
  return nullptr;
}
QWidget* CurrentConnectionsDialog() {
  return nullptr;
}
}  // namespace v3d::shade
