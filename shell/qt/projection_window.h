// The projection window (class projection): a picture of one or three 8-bit planes derived
// from a volume, with scroll bars, the modules' projection hooks and "&Save Projection" in
// its system menu. It owns its projection record and buffer and frees them when it goes.
#pragma once

#include <QImage>
#include <QScrollArea>
#include <QString>
#include <optional>
#include <vector>

#include "shell/gallery_marker.h"
#include "shell/projection_model.h"

class QAction;
class QMdiSubWindow;

namespace v3d::shell::qt {

class ProjectionPane;

class ProjectionWindow : public QScrollArea {
 public:
  // System-menu item of the window's sub-window.
  static constexpr int kSaveProjectionId = 1000;

  ProjectionWindow(ProjectionPtr projection, BufferPtr buffer, const QString& title);
  ~ProjectionWindow() override;

  V3dProjection* projection() const { return projection_.get(); }
  V3dBuffer* buffer() const { return buffer_.get(); }
  // The buffer as it is shown: grey, or red, green and blue from the three planes, with the
  // gallery's marker.
  QImage picture() const;
  // The same, prepared: made again only when the buffer's samples or the marker changed.
  const QImage& shownPicture() const;
  // The widget the picture is painted on (the modules' hooks see its events).
  QWidget* pane() const;
  // "&Save Projection", or nullptr for the manual alignment type.
  QAction* saveAction() const { return save_; }

  static Qt::WindowFlags subWindowFlags() { return {}; }
  // Sizes the sub-window to the picture within the screen and adds the system-menu item.
  void docked(QMdiSubWindow* sub);
  // The volume changed: a frame gallery makes its picture again (a failure keeps the old
  // one); other types only repaint.
  void refresh();
  // The pointer at `pos` of the pane (moved, or a left button pressed or released there): a
  // frame gallery marks the tile under it with a red frame on the shown picture.
  void pointerAt(QPoint pos);
  // The gallery's marked tile, if any.
  const std::optional<GalleryTile>& marker() const { return marker_; }

 private:
  ProjectionPtr projection_;
  BufferPtr buffer_;
  ProjectionPane* pane_;
  QAction* save_ = nullptr;
  std::optional<GalleryTile> marker_;
  // The prepared picture, the samples it was made from, and the marked copy.
  bool bufferChanged() const;
  mutable QImage base_;
  mutable std::vector<unsigned char> seen_;
  mutable int seenKind_ = -1;
  mutable QImage marked_;
  mutable std::optional<GalleryTile> markedFor_;
};

}  // namespace v3d::shell::qt
