#include "shell/qt/contour_pair.h"

#include <QApplication>
#include <QColorDialog>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <memory>
#include <utility>

#include "core/messages.h"
#include "shell/desk.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/exports.h"
#include "shell/qt/window_registry.h"

namespace v3d::shell::qt {
namespace {

// The sub-window a display window is shown in.
QMdiSubWindow* subWindowOf(DisplayWindow* w) {
  return w ? qobject_cast<QMdiSubWindow*>(w->parentWidget()) : nullptr;
}

// A display window of the pair: all frames, the two-button bar.
std::unique_ptr<DisplayWindow> pairWindow(Volume* v) {
  return std::make_unique<DisplayWindow>(v, v->colorType != V3D_ONE_CHANNEL, 0, v->Z - 1, 0.0f,
                                         true);
}

}  // namespace

ContourPair::ContourPair(WindowRegistry& windows, ContourSession& session,
                         std::function<void()> closed)
    : windows_(windows), session_(&session), closed_(std::move(closed)) {}

ContourPair::~ContourPair() {
  finish(nullptr);
}

void ContourPair::open() {
  original_ = windows_.add(pairWindow(session_->original()), session_->original());
  original_->setMode(this);
  output_ = windows_.add(pairWindow(session_->output()), session_->output());
  output_->setMode(this);
  // Side by side from the top left, so that both pictures are seen at once.
  if (QMdiSubWindow* sub = subWindowOf(original_)) {
    sub->move(10, 10);
    if (QMdiSubWindow* other = subWindowOf(output_)) other->move(sub->geometry().right() + 11, 10);
  }
  session_->setFrame(original_->model().current());
}

void ContourPair::finish(DisplayWindow* closingWindow) {
  if (finished_) return;
  finished_ = true;
  session_ = nullptr;
  for (DisplayWindow* w : {original_.data(), output_.data()}) {
    if (!w) continue;
    w->setMode(nullptr);
    if (w != closingWindow)
      if (QMdiSubWindow* sub = subWindowOf(w)) sub->close();
  }
}

void ContourPair::closing(DisplayWindow& window) {
  if (finished_) return;
  finish(&window);
  // The session's volumes may be about to go: the mode ends now, not later.
  if (auto closed = std::exchange(closed_, nullptr)) closed();
}

void ContourPair::stepped(DisplayWindow& window) {
  DisplayWindow* other = &window == original_ ? output_.data() : original_.data();
  if (!other || finished_) return;
  stepTogether(window.model(), other->model(), *session_);
  other->updateTitle();
  other->refresh();
}

void ContourPair::decorate(DisplayWindow& window, std::vector<std::uint32_t>& pixels, int paneWidth,
                           int paneHeight) {
  if (!finished_ && &window == original_)
    session_->paintChains(window.model(), pixels, paneWidth, paneHeight);
}

void ContourPair::changed() {
  if (original_) original_->refresh();
  windows_.showVolume(session_->output(), false);
}

void ContourPair::chooseColour(DisplayWindow& window) {
  const DrawingColour c = session_->colour();
  QColorDialog chooser(QColor(c.red, c.green, c.blue), &window);
  chooser.setObjectName(kColourChooser);
  if (chooser.exec() != QDialog::Accepted || finished_) return;
  const QColor chosen = chooser.selectedColor();
  session_->setColour({static_cast<UC>(chosen.red()), static_cast<UC>(chosen.green()),
                       static_cast<UC>(chosen.blue())});
}

void ContourPair::strokeTo(const std::optional<Voxel>& v) {
  if (v) {
    const Voxel from = last_.value_or(*v);
    if (stroke_ == Stroke::Drawing)
      session_->draw(from.x, from.y, v->x, v->y);
    else
      session_->erase(from.x, from.y, v->x, v->y);
    changed();
  }
  last_ = v;  // outside the picture the stroke breaks off
}

bool ContourPair::paneEvent(DisplayWindow& window, QEvent* event) {
  if (finished_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
      auto* e = static_cast<QMouseEvent*>(event);
      const bool left = e->button() == Qt::LeftButton;
      const bool right = e->button() == Qt::RightButton;
      // A click the user has armed for something else (voxel writing, seed picking) is
      // theirs: the pane handles it as in any display window.
      if (left && (pointerModes().voxelWriting || seedPicking() != nullptr)) return false;
      if (right && session_->colourVariant()) {
        stroke_ = Stroke::None;
        chooseColour(window);
        return true;
      }
      if (!left && !right) return true;
      session_->setFrame(window.model().current());
      strokeWindow_ = &window;
      pressPos_ = e->position().toPoint();
      last_.reset();
      const auto v = window.model().voxelAt(pressPos_.x(), pressPos_.y());
      if (right || (e->modifiers() & Qt::ShiftModifier)) {
        stroke_ = Stroke::Erasing;
        strokeTo(v);
      } else {
        stroke_ = Stroke::Pending;  // a click follows, a drag draws
        last_ = v;
      }
      return true;
    }
    case QEvent::MouseMove: {
      if (stroke_ == Stroke::None || strokeWindow_ != &window) return false;
      const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
      if (stroke_ == Stroke::Pending) {
        if ((pos - pressPos_).manhattanLength() < QApplication::startDragDistance()) return false;
        stroke_ = Stroke::Drawing;
      }
      strokeTo(window.model().voxelAt(pos.x(), pos.y()));
      return false;  // the readout goes on as usual
    }
    case QEvent::MouseButtonRelease: {
      if (stroke_ == Stroke::None) return true;
      const Stroke stroke = std::exchange(stroke_, Stroke::None);
      if (stroke != Stroke::Pending || strokeWindow_ != &window) return true;
      const auto v = window.model().voxelAt(pressPos_.x(), pressPos_.y());
      if (!v) return true;
      const int marked = session_->follow(v->x, v->y);
      if (marked < 0) error_handler(marked);
      if (marked > 0) changed();
      return true;
    }
    default:
      return false;
  }
}

}  // namespace v3d::shell::qt
