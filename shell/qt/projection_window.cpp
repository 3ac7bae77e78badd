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
    painter.drawImage(0, 0, owner_->picture());
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
  const V3dBuffer& b = *buffer_;
  if (b.kind == V3D_BUFFER_GREY && b.plane[0]) {
    QImage image(b.width, b.height, QImage::Format_Grayscale8);
    for (int y = 0; y < b.height; ++y) std::copy_n(b.plane[0][y], b.width, image.scanLine(y));
    if (!marker_) return image;
    // The red marker needs colour: the grey picture is shown in RGB under it.
    image = image.convertToFormat(QImage::Format_RGB888);
    drawGalleryMarker(image.bits(), image.width(), image.height(), image.bytesPerLine(), *marker_);
    return image;
  }
  QImage image(b.width, b.height, QImage::Format_RGB888);
  image.fill(Qt::black);
  if (b.kind != V3D_BUFFER_COLOUR || !b.plane[0] || !b.plane[1] || !b.plane[2]) return image;
  for (int y = 0; y < b.height; ++y) {
    uchar* line = image.scanLine(y);
    for (int x = 0; x < b.width; ++x) {
      line[3 * x] = b.plane[0][y][x];
      line[3 * x + 1] = b.plane[1][y][x];
      line[3 * x + 2] = b.plane[2][y][x];
    }
  }
  if (marker_)
    drawGalleryMarker(image.bits(), image.width(), image.height(), image.bytesPerLine(), *marker_);
  return image;
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
