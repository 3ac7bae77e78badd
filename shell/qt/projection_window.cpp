#include "shell/qt/projection_window.h"

#include <QAction>
#include <QEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cstring>

#include "host/module_host.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/window_support.h"

namespace v3d::shell::qt {

// The picture itself, at its natural size inside the scroll area.
class ProjectionPane : public QWidget {
 public:
  explicit ProjectionPane(ProjectionWindow* owner) : owner_(owner) {
    setFixedSize(owner->buffer()->width, owner->buffer()->height);
    setMouseTracking(true);
  }

 protected:
  bool event(QEvent* e) override {
    // The modules' projection hooks see every event of the pane first; one they handle goes
    // no further.
    if (runModuleHooks(host::HookList::Projection, this, e)) return true;
    return QWidget::event(e);
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(0, 0, owner_->shownPicture());
  }
  void mouseMoveEvent(QMouseEvent* e) override { owner_->pointerAt(e->position().toPoint()); }
  void mousePressEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) owner_->pointerAt(e->position().toPoint());
  }
  void mouseReleaseEvent(QMouseEvent* e) override {
    if (e->button() == Qt::LeftButton) owner_->pointerAt(e->position().toPoint());
  }

 private:
  ProjectionWindow* owner_;
};

ProjectionWindow::ProjectionWindow(ProjectionPtr projection, BufferPtr buffer, const QString& title)
    : projection_(std::move(projection)), buffer_(std::move(buffer)) {
  setWindowTitle(title);
  setObjectName("projection");
  pane_ = new ProjectionPane(this);
  setWidget(pane_);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  horizontalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setSingleStep(1);
}

ProjectionWindow::~ProjectionWindow() {
  // The pane paints from the buffer: it goes before the buffer does.
  delete takeWidget();
}

QWidget* ProjectionWindow::pane() const {
  return pane_;
}

QImage ProjectionWindow::picture() const {
  return shownPicture();
}

bool ProjectionWindow::bufferChanged() const {
  const V3dBuffer& b = *buffer_;
  const int planes = b.kind == V3D_BUFFER_COLOUR ? 3 : 1;
  const std::size_t row = static_cast<std::size_t>(std::max(b.width, 0));
  const std::size_t size = row * static_cast<std::size_t>(std::max(b.height, 0)) * planes;
  bool changed = seen_.size() != size || seenKind_ != b.kind;
  seen_.resize(size);
  seenKind_ = b.kind;
  unsigned char* copy = seen_.data();
  for (int c = 0; c < planes; ++c) {
    if (!b.plane[c]) return true;
    for (int y = 0; y < b.height; ++y, copy += row) {
      if (!changed && std::memcmp(copy, b.plane[c][y], row) == 0) continue;
      changed = true;
      std::memcpy(copy, b.plane[c][y], row);
    }
  }
  return changed;
}

const QImage& ProjectionWindow::shownPicture() const {
  // Painting only compares the buffer with the copy taken when the picture was made (a module
  // may have drawn into it and asked for a repaint); the picture is made again only when the
  // samples changed, and marked again only when they or the marker did.
  const bool changed = bufferChanged();
  if (changed || base_.isNull()) {
    const V3dBuffer& b = *buffer_;
    if (b.kind == V3D_BUFFER_GREY && b.plane[0]) {
      base_ = QImage(b.width, b.height, QImage::Format_Grayscale8);
      for (int y = 0; y < b.height; ++y) std::copy_n(b.plane[0][y], b.width, base_.scanLine(y));
    } else {
      base_ = QImage(b.width, b.height, QImage::Format_RGB888);
      base_.fill(Qt::black);
      if (b.kind == V3D_BUFFER_COLOUR && b.plane[0] && b.plane[1] && b.plane[2]) {
        for (int y = 0; y < b.height; ++y) {
          uchar* line = base_.scanLine(y);
          const unsigned char* r = b.plane[0][y];
          const unsigned char* g = b.plane[1][y];
          const unsigned char* bl = b.plane[2][y];
          for (int x = 0; x < b.width; ++x) {
            line[3 * x] = r[x];
            line[3 * x + 1] = g[x];
            line[3 * x + 2] = bl[x];
          }
        }
      }
    }
    markedFor_.reset();
  }
  if (!marker_) return base_;
  if (!markedFor_ || *markedFor_ != *marker_ || marked_.isNull()) {
    // The red marker needs colour: a grey picture is shown in RGB under it.
    marked_ = base_.convertToFormat(QImage::Format_RGB888);
    drawGalleryMarker(marked_.bits(), marked_.width(), marked_.height(), marked_.bytesPerLine(),
                      *marker_);
    markedFor_ = marker_;
  }
  return marked_;
}

void ProjectionWindow::docked(QMdiSubWindow* sub) {
  // The picture within the screen; what does not fit is reached with the scroll bars.
  const QSize screen = usableScreen();
  const QSize frame = sub->size() - size();
  const int bars = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2 * frameWidth();
  sub->resize(std::min(buffer_->width + bars, screen.width()) + frame.width(),
              std::min(buffer_->height + bars, screen.height()) + frame.height());
  if (projection_->type == kManualAlignmentType) return;
  QMenu* menu = sub->systemMenu();
  if (menu == nullptr) return;
  menu->addSeparator();
  save_ = menu->addAction(QStringLiteral("&Save Projection"));
  save_->setObjectName(QString::number(kSaveProjectionId));
  const host::ModuleHost* modules = host::moduleHost();
  save_->setEnabled(modules != nullptr && modules->saverPresent());
  connect(save_, &QAction::triggered, this, [this] {
    if (host::ModuleHost* m = host::moduleHost(); m && m->saverPresent())
      m->saveBuffer(buffer_.get());
  });
}

void ProjectionWindow::pointerAt(QPoint pos) {
  if (projection_->type != kFrameGalleryType) return;
  const auto& p = *static_cast<const GalleryParameters*>(projection_->extra);
  GalleryTile tile{};
  std::optional<GalleryTile> marker;
  if (galleryTileAt(p, pos.x(), pos.y(), &tile)) marker = tile;
  if (marker == marker_) return;
  marker_ = marker;
  pane_->update();
}

void ProjectionWindow::refresh() {
  // The update request reaches the modules' projection hooks first, like every message of
  // the window: a module redraws the windows of its own types there and reports it handled.
  if (host::ModuleHost* h = host::moduleHost();
      h != nullptr && h->hookCount(host::HookList::Projection) > 0 &&
      h->walkHooks(host::HookList::Projection, pane_, V3D_WM_UPDATE_PROJECTION, 0, 0).handled)
    return;
  if (projection_->type == kFrameGalleryType) produceGalleryPicture(*projection_, *buffer_);
  pane_->update();
}

}  // namespace v3d::shell::qt
