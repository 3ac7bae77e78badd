#include "shell/qt/alignment_window.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cstring>

#include "host/module_host.h"
#include "shell/alignment_toolbox.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/window_support.h"

namespace v3d::shell::qt {

// The picture at its natural size; the pointer on it moves the current frame.
class AlignmentPane : public QWidget {
 public:
  explicit AlignmentPane(AlignmentWindow* owner) : owner_(owner) {
    setFixedSize(owner->picture().size());
    setCursor(Qt::SizeAllCursor);
  }

 protected:
  bool event(QEvent* e) override {
    if (runModuleHooks(host::HookList::Projection, this, e)) return true;
    return QWidget::event(e);
  }
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.drawImage(0, 0, owner_->picture());
  }
  void mousePressEvent(QMouseEvent* e) override {
    if (AlignmentToolBox* box = owner_->toolBox();
        box && (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)) {
      const QPoint p = e->position().toPoint();
      box->pointerPressed(e->button() == Qt::RightButton, p.x(), p.y());
    }
  }
  void mouseMoveEvent(QMouseEvent* e) override {
    // A move may end the alignment (its volumes gone); the box is looked up every time.
    if (AlignmentToolBox* box = owner_->toolBox(); box && e->buttons() != Qt::NoButton) {
      const QPoint p = e->position().toPoint();
      box->pointerMoved(p.x(), p.y());
    }
  }
  void mouseReleaseEvent(QMouseEvent*) override {
    if (AlignmentToolBox* box = owner_->toolBox()) box->pointerReleased();
  }

 private:
  AlignmentWindow* owner_;
};

AlignmentWindow::AlignmentWindow(ProjectionPtr projection, int width, int height)
    : projection_(std::move(projection)), image_(width, height, QImage::Format_RGB888) {
  setObjectName("projection");
  image_.fill(Qt::black);
  pane_ = new AlignmentPane(this);
  setWidget(pane_);
  setAlignment(Qt::AlignCenter);
  horizontalScrollBar()->setSingleStep(1);
  verticalScrollBar()->setSingleStep(1);
}

AlignmentWindow::~AlignmentWindow() {
  delete takeWidget();  // the pane paints from this window's picture
}

QWidget* AlignmentWindow::pane() const {
  return pane_;
}

void AlignmentWindow::setPicture(const std::uint8_t* rgb) {
  const auto line = static_cast<std::size_t>(image_.width()) * 3;
  for (int y = 0; y < image_.height(); ++y)
    std::memcpy(image_.scanLine(y), rgb + static_cast<std::size_t>(y) * line, line);
  pane_->update();
}

void AlignmentWindow::docked(QMdiSubWindow* sub) {
  const QSize screen = usableScreen();
  const QSize frame = sub->size() - size();
  const int edge = 2 * frameWidth();
  const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  // Bars only where the picture does not fit.
  const int w = std::min(image_.width() + edge, screen.width());
  const int h = std::min(image_.height() + edge, screen.height());
  // Wide enough for its title ("Vol. 12, [ 0, 63 align 5 to 4 ]") next to the frame's buttons.
  const int titled = sub->fontMetrics().horizontalAdvance(
                         QStringLiteral("Vol. 00, [ 000, 000 align 000 to 000 ]")) +
                     4 * bar;
  sub->resize(std::max(titled, w + (h < image_.height() + edge ? bar : 0) + frame.width()),
              h + (w < image_.width() + edge ? bar : 0) + frame.height());
}

}  // namespace v3d::shell::qt
