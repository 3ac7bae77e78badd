// The manual alignment window: a projection window of the manual alignment type that shows the
// alignment's overlay picture (red current frame over the blue aligned previous frame) and
// turns pointer drags into shifts (left button) and turns (right button) of the current frame.
// It paints a picture prepared when the alignment changes, never the samples themselves.
#pragma once

#include <QImage>
#include <QScrollArea>
#include <cstdint>

#include "shell/projection_model.h"

class QMdiSubWindow;

namespace v3d::shell {
class AlignmentToolBox;
}

namespace v3d::shell::qt {

class AlignmentPane;

class AlignmentWindow : public QScrollArea {
 public:
  // A window for pictures of width x height, on a projection record of the alignment type.
  AlignmentWindow(ProjectionPtr projection, int width, int height);
  ~AlignmentWindow() override;

  V3dProjection* projection() const { return projection_.get(); }
  // Copies a picture of width x height red, green, blue bytes and repaints.
  void setPicture(const std::uint8_t* rgb);
  const QImage& picture() const { return image_; }
  // The widget the picture is painted on (the modules' projection hooks see its events).
  QWidget* pane() const;
  // Where pointer drags go; nullptr once the alignment has ended.
  void setToolBox(AlignmentToolBox* box) { box_ = box; }
  AlignmentToolBox* toolBox() const { return box_; }
  // Sizes the sub-window to the picture within the screen.
  void docked(QMdiSubWindow* sub);

 private:
  ProjectionPtr projection_;
  QImage image_;
  AlignmentPane* pane_;
  AlignmentToolBox* box_ = nullptr;
};

}  // namespace v3d::shell::qt
