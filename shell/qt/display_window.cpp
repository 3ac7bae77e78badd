#include "shell/qt/display_window.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRubberBand>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "core/samples.h"
#include "core/text_ids.h"
#include "shell/command_ids.h"
#include "shell/coordinates.h"
#include "shell/desk.h"
#include "shell/dialogs.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/display_mode.h"
#include "shell/qt/exports.h"
#include "shell/qt/module_glue.h"
#include "shell/qt/qtext.h"
#include "shell/qt/window_registry.h"
#include "shell/qt/window_support.h"
#include "shell/work_progress.h"

namespace v3d::shell::qt {
namespace {

// Reports the voxel under a pane pixel to the coordinates window.
void reportVoxel(const DisplayModel& m, int px, int py) {
  const auto v = m.voxelAt(px, py);
  if (!v) {
    PrintCoordinates(kPointerOutside, 0, 0, 0, 0, 0, 0);
    return;
  }
  const Volume& vol = *m.volume();
  const double r = channelData<UC>(vol, 0)[v->z][v->y][v->x];
  if (!m.colour() || channelCount(vol) == 1) {
    PrintCoordinates(kReadoutGrey, v->x, v->y, v->z, r, 0, 0);
    return;
  }
  PrintCoordinates(kReadoutColour, v->x, v->y, v->z, r, channelData<UC>(vol, 1)[v->z][v->y][v->x],
                   channelData<UC>(vol, 2)[v->z][v->y][v->x]);
}

}  // namespace

DisplayPane::DisplayPane(DisplayWindow* owner) : QWidget(owner), owner_(owner) {
  setObjectName(kClassDisplayPane);
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void DisplayPane::setPaneSize(int w, int h) {
  w_ = w;
  h_ = h;
  setFixedSize(w, h);
}

QImage DisplayPane::picture() const {
  std::vector<std::uint32_t> pixels;
  owner_->model().render(pixels, w_, h_);
  if (owner_->mode()) owner_->mode()->decorate(*owner_, pixels, w_, h_);
  return toImage(pixels, w_, h_);
}

void DisplayPane::paintEvent(QPaintEvent*) {
  QPainter p(this);
  // While a command writes the volume on its worker thread, the last picture stands.
  if (!volumeBeingWritten(owner_->model().volume())) {
    shown_ = picture();
  } else if (shown_.size() != QSize(w_, h_)) {
    shown_ = QImage(w_, h_, QImage::Format_RGB32);
    shown_.fill(QColor(0xD4, 0xD0, 0xC8));
  }
  p.drawImage(0, 0, shown_);
  if (seedPicking() == nullptr) {
    seedMarks_.clear();
  } else {
    p.setPen(Qt::white);
    for (const QPoint& m : seedMarks_) p.drawPoint(m);
  }
}

void DisplayPane::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (banding_) {
    // Outside the pane the image scrolls towards the pointer, up to 10 pixels a step; the
    // band's start moves with the image.
    DisplayModel& m = owner_->model();
    auto step = [](int p, int size) {
      return std::clamp(p < 0 ? p : p >= size ? p - size + 1 : 0, -10, 10);
    };
    const int dx = step(pos.x(), w_), dy = step(pos.y(), h_);
    if (dx != 0 || dy != 0) {
      const int oldX = m.scrollX(), oldY = m.scrollY();
      m.setScroll(oldX + dx, oldY + dy, w_, h_);
      bandStart_ -= QPoint(m.scrollX() - oldX, m.scrollY() - oldY);
      owner_->syncScrollBars();
      update();
    }
    band_->setGeometry(QRect(bandStart_, pos).normalized().intersected(rect()));
  }
  if (pointerModes().coordinatesShown) reportVoxel(owner_->model(), pos.x(), pos.y());
}

void DisplayPane::leaveEvent(QEvent*) {
  if (pointerModes().coordinatesShown) PrintCoordinates(kPointerOutside, 0, 0, 0, 0, 0, 0);
}

void DisplayPane::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  DisplayModel& m = owner_->model();
  if (e->button() == Qt::LeftButton) {
    const auto v = m.voxelAt(pos.x(), pos.y());
    if (!v) return;
    if (pointerModes().voxelWriting) {
      pointerModes().voxelWriting = false;  // one click only
      for (int c = 0; c < channelCount(*m.volume()); ++c)
        channelData<UC>(*m.volume(), c)[v->z][v->y][v->x] = 255;
      if (WindowRegistry* r = windowRegistry()) r->showVolume(m.volume(), false);
      return;
    }
    if (SeedPicking* s = seedPicking(); s && s->input == m.volume()) {
      const int before = s->count;
      s->count = labelSeed(s->input, s->output, v->x, v->y, v->z, s->count);
      if (s->count != before) seedMarks_.push_back(pos);  // painted white over the frame
      update();
    }
    return;
  }
  if (e->button() == Qt::RightButton) {
    if (!band_) band_ = new QRubberBand(QRubberBand::Rectangle, this);
    bandStart_ = pos;
    banding_ = true;
    band_->setGeometry(QRect(pos, QSize()));
    band_->show();
  }
}

void DisplayPane::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::RightButton || !banding_) return;
  banding_ = false;
  band_->hide();
  const QPoint end = e->position().toPoint();
  owner_->model().applyRubberBand(bandStart_.x(), bandStart_.y(), end.x(), end.y());
}

void DisplayPane::wheelEvent(QWheelEvent* e) {
  if (e->modifiers() & Qt::ControlModifier) {  // closer or farther, as the zoom items
    if (e->angleDelta().y() > 0)
      owner_->stepCloser();
    else if (e->angleDelta().y() < 0)
      owner_->zoomOut();
    return;
  }
  // The wheel alone steps one frame (back when turned away from the user, on when towards);
  // with Shift it scrolls the picture up and down, with Alt left and right.
  const int delta = e->angleDelta().y() != 0 ? e->angleDelta().y() : e->angleDelta().x();
  if (delta == 0) return;
  if (!(e->modifiers() & (Qt::ShiftModifier | Qt::AltModifier))) {
    owner_->button(delta > 0 ? kPreviousFrame : kNextFrame);
    return;
  }
  DisplayModel& m = owner_->model();
  const int step = delta > 0 ? -16 : 16;
  if (e->modifiers() & Qt::AltModifier)
    m.setScroll(m.scrollX() + step, m.scrollY(), w_, h_);
  else
    m.setScroll(m.scrollX(), m.scrollY() + step, w_, h_);
  owner_->syncScrollBars();
  update();
}

DisplayWindow::DisplayWindow(Volume* volume, bool colour, int lower, int upper, float delay,
                             bool twoButtons)
    : model_(volume, colour, lower, upper, delay), pane_(new DisplayPane(this)) {
  setObjectName(kClassDisplay);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(1);
  // The pane with its scroll bars, shown only for the part of the image that does not fit.
  auto* grid = new QGridLayout;
  grid->setSpacing(0);
  grid->addWidget(pane_, 0, 0);
  vbar_ = new QScrollBar(Qt::Vertical, this);
  hbar_ = new QScrollBar(Qt::Horizontal, this);
  grid->addWidget(vbar_, 0, 1);
  grid->addWidget(hbar_, 1, 0);
  auto* centred = new QHBoxLayout;
  centred->addStretch();
  centred->addLayout(grid);
  centred->addStretch();
  layout->addLayout(centred);
  connect(hbar_, &QScrollBar::valueChanged, this, [this](int v) {
    model_.setScroll(v, model_.scrollY(), pane_->paneWidth(), pane_->paneHeight());
    pane_->update();
  });
  connect(vbar_, &QScrollBar::valueChanged, this, [this](int v) {
    model_.setScroll(model_.scrollX(), v, pane_->paneWidth(), pane_->paneHeight());
    pane_->update();
  });
  auto* bar = new QHBoxLayout;
  bar->setSpacing(0);
  struct B {
    int id;
    const char* label;
    const char* tip;
  };
  const std::vector<B> six = {{kPlayBackward, "\u25C0\u25C0", "Play backward"},
                              {kPreviousFrame, "\u25C0", "Previous frame"},
                              {kButtonNothing, "\u25A0", "Stop"},
                              {kNextFrame, "\u25B6", "Next frame"},
                              {kPlayForward, "\u25B6\u25B6", "Play forward"},
                              {kPlayBothWays, "\u25C0\u25B6", "Play forward and backward"}};
  const std::vector<B> two = {six[1], six[3]};
  for (const B& b : twoButtons ? two : six) {
    auto* push = new QPushButton(QString::fromUtf8(b.label), this);
    push->setObjectName(QString::number(b.id));
    push->setToolTip(b.tip);
    push->setFixedHeight(kButtonBarHeight - 1);
    push->setFocusPolicy(Qt::NoFocus);
    const int id = b.id;
    connect(push, &QPushButton::clicked, this, [this, id] { button(id); });
    bar->addWidget(push);
  }
  layout->addLayout(bar);
  installEventFilter(this);
  setFocusPolicy(Qt::StrongFocus);  // the frame keys
  refit();
  updateTitle();
}

DisplayWindow::~DisplayWindow() {
  if (mode_) std::exchange(mode_, nullptr)->closing(*this);
  if (waitLoop_) waitLoop_->quit();
  pane_->owner_ = nullptr;
}

Qt::WindowFlags DisplayWindow::subWindowFlags() {
  return Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
}

void DisplayWindow::docked(QMdiSubWindow* sub) {
  sub_ = sub;
  QMenu* menu = sub->systemMenu();
  menu->addSeparator();
  connect(menu->addAction(qtext(kMenuZoomIn)), &QAction::triggered, this, [this] { zoomIn(); });
  connect(menu->addAction(qtext(kMenuZoomOut)), &QAction::triggered, this, [this] { zoomOut(); });
  // Magnification above 1:1, beside the zoom of powers of two.
  for (std::size_t k = 0; k < kMagnifications.size(); ++k) {
    const int id = kCmdMagnifyActualSize + static_cast<int>(k);
    QAction* item = menu->addAction(qtext(kMenuTextBase + id));
    item->setObjectName(QString::number(id));
    connect(item, &QAction::triggered, this, [this, k] { magnify(kMagnifications[k]); });
  }
  refit();  // now within the window area too
}

void DisplayWindow::refresh() {
  pane_->update();
}

bool DisplayWindow::event(QEvent* e) {
  return route(e, nullptr);
}

bool DisplayPane::event(QEvent* e) {
  return owner_ ? owner_->route(e, this) : QWidget::event(e);
}

bool DisplayWindow::route(QEvent* e, DisplayPane* pane) {
  if (pane == nullptr) {
    if (e->type() == QEvent::Close && mode_) std::exchange(mode_, nullptr)->closing(*this);
    return QWidget::event(e);
  }
  // The modules' display hooks see every event of the pane first; one they handle goes no
  // further.
  if (runModuleHooks(host::HookList::Display, pane, e)) return true;
  if (mode_ && mode_->paneEvent(*this, e)) return true;
  return pane->handle(e);
}

QSize DisplayWindow::availableClient() const {
  QSize room = usableScreen();
  // Inside a shown window area the whole sub-window, frame and title included, must fit.
  if (sub_ && sub_->mdiArea() && sub_->mdiArea()->isVisible()) {
    const int border = sub_->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub_);
    const int title = sub_->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub_);
    room =
        room.boundedTo(sub_->mdiArea()->viewport()->size() - QSize(2 * border, title + 2 * border));
  }
  return room;
}

void DisplayWindow::refit() {
  const QSize screen = availableClient();
  int pw, ph;
  model_.fit(screen.width(), screen.height(), pw, ph);
  // A picture cut on either axis brings the scroll bars, which take room of their own.
  if (pw < model_.shownWidth() || ph < model_.shownHeight()) {
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    model_.fit(screen.width() - bar, screen.height() - bar, pw, ph);
  }
  pane_->setPaneSize(pw, ph);
  model_.setScroll(model_.scrollX(), model_.scrollY(), pw, ph);
  const int rangeX = std::max(0, model_.shownWidth() - pw),
            rangeY = std::max(0, model_.shownHeight() - ph);
  for (auto [bar, range, page, value] : {std::tuple{hbar_, rangeX, pw, model_.scrollX()},
                                         std::tuple{vbar_, rangeY, ph, model_.scrollY()}}) {
    const QSignalBlocker block(bar);
    bar->setRange(0, range);
    bar->setPageStep(page);
    bar->setValue(value);
    bar->setVisible(range > 0);
  }
  // The client is the pane plus the button bar, at least 192 pixels wide; the sub-window
  // may be wider still to hold its title, and then centres the pane.
  const QSize client(DisplayModel::clientWidth(pw), ph + kButtonBarHeight);
  setMinimumSize(client);
  resize(client);
  if (sub_) {
    sub_->setMinimumSize(0, 0);
    sub_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    sub_->adjustSize();
    sub_->setFixedSize(sub_->size());
  }
  pane_->update();
}

void DisplayWindow::syncScrollBars() {
  const QSignalBlocker bh(hbar_), bv(vbar_);
  hbar_->setValue(model_.scrollX());
  vbar_->setValue(model_.scrollY());
}

void DisplayWindow::updateTitle() {
  const QString t = QString::fromStdString(model_.title());
  setWindowTitle(t);
  if (sub_) sub_->setWindowTitle(t);
}

void DisplayWindow::zoomIn() {
  if (model_.zoomIn()) refit();
}
void DisplayWindow::zoomOut() {
  if (model_.zoomOut()) refit();
}
void DisplayWindow::magnify(int m) {
  if (model_.setMagnification(m)) refit();
}
void DisplayWindow::stepCloser() {
  if (model_.stepCloser()) refit();
}

void DisplayWindow::button(int id) {
  switch (id) {
    case kNextFrame:
      if (model_.next()) break;
      return;
    case kPreviousFrame:
      if (model_.previous()) break;
      return;
    case kPlayForward:
      play(1);
      return;
    case kPlayBackward:
      play(-1);
      return;
    case kPlayBothWays:
      play(0);
      return;
    default:
      return;
  }
  updateTitle();
  pane_->repaint();
  if (mode_) mode_->stepped(*this);
}

void DisplayWindow::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Left:
      button(kPreviousFrame);
      return;
    case Qt::Key_Right:
      button(kNextFrame);
      return;
    case Qt::Key_Home:
    case Qt::Key_End:
      model_.setCurrent(e->key() == Qt::Key_Home ? model_.lower() : model_.upper());
      updateTitle();
      pane_->repaint();
      return;
    case Qt::Key_Space:
      // Starts playing forward (from the first frame when at the last), or stops.
      if (playing_) {
        requestStop();
      } else {
        if (model_.current() == model_.upper()) model_.setCurrent(model_.lower());
        play(1);
      }
      return;
    default:
      QWidget::keyPressEvent(e);
  }
}

bool DisplayWindow::eventFilter(QObject* watched, QEvent* event) {
  if (playing_ && (event->type() == QEvent::MouseButtonPress ||
                   event->type() == QEvent::NonClientAreaMouseButtonPress))
    requestStop();  // the press is handled as usual too
  return QWidget::eventFilter(watched, event);
}

void DisplayWindow::requestStop() {
  stop_ = true;
  if (waitLoop_) waitLoop_->quit();
}

bool DisplayWindow::waitFrameDelay(const QPointer<DisplayWindow>& self) {
  const double seconds = model_.delay();
  if (!(seconds > 0.0) || stop_) return true;
  // A local loop, so that painting and the stop click are handled while it waits; a stop
  // ends the wait at once.
  QEventLoop loop;
  waitLoop_ = &loop;
  QTimer::singleShot(static_cast<int>(std::ceil(std::min(seconds, 3600.0) * 1000.0)), &loop,
                     &QEventLoop::quit);
  loop.exec();
  if (!self) return false;
  waitLoop_ = nullptr;
  return true;
}

void DisplayWindow::play(int direction) {
  if (playing_) return;
  QPointer<DisplayWindow> self(this);
  playing_ = true;
  stop_ = false;
  qApp->installEventFilter(this);
  int step = direction == 0 ? 1 : direction;
  for (;;) {
    const bool moved = step > 0 ? model_.next() : model_.previous();
    if (!moved) {
      if (direction != 0) break;
      step = -step;  // to and fro until stopped
      if (model_.lower() == model_.upper()) break;
      continue;
    }
    // The frame shown so far stays up for the window's delay; events keep flowing meanwhile,
    // so a click stops the playback at any time.
    if (!waitFrameDelay(self)) return;  // closed while playing
    if (stop_) break;
    updateTitle();
    pane_->repaint();
    QCoreApplication::processEvents();
    if (!self) return;  // closed while playing
    if (stop_) break;
  }
  qApp->removeEventFilter(this);
  playing_ = false;
}

}  // namespace v3d::shell::qt
