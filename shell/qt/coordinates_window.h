// The coordinates window (class write): a small tool window on top of the frame that shows
// the position and value of the voxel under the pointer, the value in one of four colour
// spaces chosen from its context menu.
#pragma once

#include <QWidget>
#include <functional>

#include "shell/coordinates.h"

namespace v3d::shell::qt {

class CoordinatesWindow : public QWidget {
 public:
  explicit CoordinatesWindow(QWidget* owner);
  int space() const { return space_; }
  void setSpace(int space);
  // Called when the user closes it from its menu.
  std::function<void()> onClose;

 protected:
  void paintEvent(QPaintEvent*) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void hideWindow();
  int space_ = kRgb;
};

}  // namespace v3d::shell::qt
