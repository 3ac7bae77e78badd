#include "shell/qt/windows.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QRubberBand>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QSplitter>
#include <tuple>
#include <QVBoxLayout>

#include "core/samples.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/coordinates.h"
#include "shell/desk.h"
#include "shell/dialogs.h"
#include "shell/qt/exports.h"
#include "shell/qt/module_glue.h"

namespace v3d::shell::qt {
namespace {

WindowRegistry* g_registry = nullptr;

QString qtext(int id) { return QString::fromStdString(std::string(text(id))); }

QImage toImage(const std::vector<std::uint32_t>& pixels, int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    std::memcpy(image.scanLine(y), pixels.data() + static_cast<std::size_t>(y) * w,
                static_cast<std::size_t>(w) * 4);
  return image;
}

// The usable screen area for fitting a display, less window frames and caption.
QSize usableScreen() {
  QRect r(0, 0, 1024, 768);
  if (QScreen* s = QGuiApplication::primaryScreen()) r = s->availableGeometry();
  return {std::max(64, r.width() - 16), std::max(64, r.height() - 80)};
}

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
    PrintCoordinates(1, v->x, v->y, v->z, r, 0, 0);
    return;
  }
  PrintCoordinates(2, v->x, v->y, v->z, r, channelData<UC>(vol, 1)[v->z][v->y][v->x],
                   channelData<UC>(vol, 2)[v->z][v->y][v->x]);
}

}  // namespace

WindowRegistry* windowRegistry() { return g_registry; }
void setWindowRegistry(WindowRegistry* r) { g_registry = r; }

// ---- Display windows -----------------------------------------------------------------

DisplayPane::DisplayPane(DisplayWindow* owner) : QWidget(owner), owner_(owner) {
  setObjectName("display");
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
  return toImage(pixels, w_, h_);
}

bool DisplayPane::event(QEvent* e) {
  // The modules' display hooks see every event first; one they handle goes no further.
  if (runModuleHooks(host::HookList::Display, this, e)) return true;
  return QWidget::event(e);
}

void DisplayPane::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, picture());
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
    auto step = [](int p, int size) { return std::clamp(p < 0 ? p : p >= size ? p - size + 1 : 0, -10, 10); };
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
      if (g_registry) g_registry->showVolume(m.volume(), false);
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
  DisplayModel& m = owner_->model();
  const int step = e->angleDelta().y() > 0 ? -16 : 16;
  if (e->modifiers() & Qt::ShiftModifier)
    m.setScroll(m.scrollX() + step, m.scrollY(), w_, h_);
  else
    m.setScroll(m.scrollX(), m.scrollY() + step, w_, h_);
  owner_->syncScrollBars();
  update();
}

DisplayWindow::DisplayWindow(Volume* volume, bool colour, int lower, int upper, float delay,
                             bool twoButtons)
    : model_(volume, colour, lower, upper, delay), pane_(new DisplayPane(this)) {
  setObjectName("child_3D");
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
  refit();
  updateTitle();
}

void DisplayWindow::refit() {
  const QSize screen = usableScreen();
  int pw, ph;
  model_.fit(screen.width(), screen.height(), pw, ph);
  pane_->setPaneSize(pw, ph);
  model_.setScroll(model_.scrollX(), model_.scrollY(), pw, ph);
  const int rangeX = std::max(0, model_.shownWidth() - pw), rangeY = std::max(0, model_.shownHeight() - ph);
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
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
    sub->setMinimumSize(0, 0);
    sub->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    sub->adjustSize();
    sub->setFixedSize(sub->size());
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
  if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->setWindowTitle(t);
}

void DisplayWindow::zoomIn() {
  if (model_.zoomIn()) refit();
}
void DisplayWindow::zoomOut() {
  if (model_.zoomOut()) refit();
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
}

bool DisplayWindow::eventFilter(QObject* watched, QEvent* event) {
  if (playing_ && (event->type() == QEvent::MouseButtonPress ||
                   event->type() == QEvent::NonClientAreaMouseButtonPress))
    stop_ = true;  // the press is handled as usual too
  return QWidget::eventFilter(watched, event);
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
    updateTitle();
    pane_->repaint();
    QCoreApplication::processEvents();
    if (!self) return;  // closed while playing
    if (stop_) break;
  }
  qApp->removeEventFilter(this);
  playing_ = false;
}

// ---- Registry, DisplayVolume, freedisWin -----------------------------------------------------

QMdiSubWindow* WindowRegistry::add(QWidget* content, Volume* volume) {
  prune();
  const QSize wanted = content->size();
  const bool display = content->objectName() == "child_3D";
  // A display window has a caption, a window menu and a minimise box; it is not sized or
  // maximised by the user (its size follows the image and the zoom).
  QMdiSubWindow* sub =
      display ? area_->addSubWindow(content, Qt::SubWindow | Qt::WindowTitleHint |
                                                 Qt::WindowSystemMenuHint |
                                                 Qt::WindowMinimizeButtonHint |
                                                 Qt::WindowCloseButtonHint)
              : area_->addSubWindow(content);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->setWindowTitle(content->windowTitle());
  entries_.push_back({sub, content, volume});
  if (auto* d = dynamic_cast<DisplayWindow*>(content); d || content->objectName() == "child_3D") {
    auto* display = static_cast<DisplayWindow*>(content);
    QMenu* menu = sub->systemMenu();
    menu->addSeparator();
    QObject::connect(menu->addAction(qtext(kMenuZoomIn)), &QAction::triggered, display,
                     [display] { display->zoomIn(); });
    QObject::connect(menu->addAction(qtext(kMenuZoomOut)), &QAction::triggered, display,
                     [display] { display->zoomOut(); });
  }
  sub->show();
  // A display takes the size of its image; other windows keep the size they chose.
  if (display) {
    sub->adjustSize();
    sub->setFixedSize(sub->size());
  } else
    sub->resize(wanted + (sub->size() - content->size()));
  area_->setActiveSubWindow(sub);
  return sub;
}

void WindowRegistry::prune() {
  std::erase_if(entries_, [](const Entry& e) { return e.window.isNull() || e.content.isNull(); });
}

std::vector<DisplayWindow*> WindowRegistry::displaysOf(Volume* v) const {
  const_cast<WindowRegistry*>(this)->prune();
  std::vector<DisplayWindow*> out;
  for (const Entry& e : entries_)
    if (e.volume == v && e.content->objectName() == "child_3D")
      out.push_back(static_cast<DisplayWindow*>(e.content.data()));
  return out;
}

std::vector<SectionViewWindow*> WindowRegistry::sectionViewsOf(Volume* v) const {
  const_cast<WindowRegistry*>(this)->prune();
  std::vector<SectionViewWindow*> out;
  for (const Entry& e : entries_)
    if (e.volume == v && e.content->objectName() == "section_view")
      out.push_back(static_cast<SectionViewWindow*>(e.content.data()));
  return out;
}

bool WindowRegistry::showVolume(Volume* v, bool open) {
  const auto shown = displaysOf(v);
  for (DisplayWindow* d : shown) d->pane()->update();
  for (SectionViewWindow* s : sectionViewsOf(v)) s->update();
  if (!shown.empty() || !open) return true;
  if (CheckVolume(v, V3D_UC, 3) != 0) return true;  // only 8-bit volumes are displayed
  auto* d = new DisplayWindow(v, v->colorType != V3D_ONE_CHANNEL, 0, v->Z - 1, 0.0f);
  add(d, v);
  return true;
}

void WindowRegistry::closeWindowsOf(Volume* v) {
  prune();
  std::vector<QPointer<QMdiSubWindow>> doomed;
  for (const Entry& e : entries_)
    if (e.volume == v) doomed.push_back(e.window);
  std::erase_if(entries_, [v](const Entry& e) { return e.volume == v; });
  for (auto& w : doomed)
    if (w) {
      if (auto* d = dynamic_cast<DisplayWindow*>(w->widget())) d->requestStop();
      w->close();
    }
}

// ---- Coordinates window ------------------------------------------------------------------

namespace {
const char* kPositionSample = " X = 77777  Y = 77777  Z = 77777 ";
const char* kValueSample = " R = 7777.777  G = 7777.777  B = 7777.777 ";
}  // namespace

CoordinatesWindow::CoordinatesWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName("write");
  setWindowTitle(QString::fromStdString(std::string(text(kTitleCoordinates))));
  QFont f("Arial");
  f.setPointSize(8);
  setFont(f);
  const QFontMetrics fm(f);
  const int a = fm.horizontalAdvance(kPositionSample), b = fm.horizontalAdvance(kValueSample);
  setFixedSize(a + b + 10, fm.height() + 10);
  setReadoutListener([this] { update(); });
}

void CoordinatesWindow::hideWindow() {
  hide();
  pointerModes().coordinatesShown = false;
  if (onClose) onClose();
}

// The title bar's close button does what "Close" does: the window is kept, hidden.
void CoordinatesWindow::closeEvent(QCloseEvent* e) {
  e->ignore();
  hideWindow();
}

void CoordinatesWindow::setSpace(int space) {
  space_ = space;
  update();
}

void CoordinatesWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const QFontMetrics fm(font());
  const int a = fm.horizontalAdvance(kPositionSample), b = fm.horizontalAdvance(kValueSample);
  const QRect left(1, 1, a + 4, height() - 3), right(a + 8, 1, b, height() - 3);
  p.setPen(palette().color(QPalette::Dark));
  p.drawRect(left);
  p.drawRect(right);
  p.setPen(palette().color(QPalette::WindowText));
  const Readout& r = readout();
  p.drawText(left.adjusted(2, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft,
             QString::fromStdString(positionText(r)));
  p.drawText(right, Qt::AlignCenter, QString::fromStdString(valueText(r, space_)));
}

void CoordinatesWindow::contextMenuEvent(QContextMenuEvent* e) {
  QMenu menu(this);
  auto* group = new QActionGroup(&menu);
  const std::pair<int, int> spaces[] = {{kMenuRgb, kRgb}, {kMenuXyz, kXyz}, {kMenuLab, kLab}, {kMenuHls, kHls}};
  for (const auto& [name, id] : spaces) {
    QAction* a = menu.addAction(qtext(name));
    a->setCheckable(true);
    a->setChecked(id == space_);
    a->setData(id);
    group->addAction(a);
  }
  menu.addSeparator();
  QAction* close = menu.addAction(qtext(kMenuClose));
  close->setData(0);
  QAction* chosen = menu.exec(e->globalPos());
  if (!chosen) return;
  if (chosen == close) {
    hideWindow();
    return;
  }
  setSpace(chosen->data().toInt());
}

// ---- Section view --------------------------------------------------------------------------

class SectionPane : public QWidget {
 public:
  SectionPane(SectionViewWindow* owner, Section s) : QWidget(owner), owner_(owner), s_(s) {
    setObjectName("sections");
    setCursor(Qt::CrossCursor);
  }
  void resizeToSection() {
    setFixedSize(owner_->model().width(s_), owner_->model().height(s_));
    update();
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    const SectionModel& m = owner_->model();
    // Only the exposed part: a magnified section can be far larger than the screen.
    const QRect r = e->rect().intersected(QRect(0, 0, m.width(s_), m.height(s_)));
    QPainter p(this);
    if (!r.isEmpty()) {
      std::vector<std::uint32_t> pixels;
      m.render(s_, r.x(), r.y(), r.width(), r.height(), pixels);
      p.drawImage(r.topLeft(), toImage(pixels, r.width(), r.height()));
    }
    int cx, cy;
    m.cursorPixel(s_, cx, cy);
    p.setPen(QColor(255, 64, 64));
    p.drawLine(0, cy, width(), cy);
    p.drawLine(cx, 0, cx, height());
  }
  void mousePressEvent(QMouseEvent* e) override { pick(e); }
  void mouseMoveEvent(QMouseEvent* e) override {
    if (e->buttons() & Qt::LeftButton) pick(e);
  }

 private:
  void pick(QMouseEvent* e) {
    const QPoint pos = e->position().toPoint();
    if (owner_->model().click(s_, pos.x(), pos.y())) owner_->cursorMoved(s_);
  }
  SectionViewWindow* owner_;
  Section s_;
};

SectionViewWindow::SectionViewWindow(Volume* volume) : model_(volume) {
  setObjectName("section_view");
  setWindowTitle(QString::fromStdString(sectionViewTitle(volume)));
  auto wrap = [this](Section s) {
    panes_[static_cast<int>(s)] = new SectionPane(this, s);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(panes_[static_cast<int>(s)]);
    scroll->setAlignment(Qt::AlignCenter);
    return scroll;
  };
  auto* left = new QSplitter(Qt::Vertical);
  left->addWidget(wrap(Section::Frame));
  left->addWidget(wrap(Section::RowPlane));
  auto* right = new QSplitter(Qt::Vertical);
  right->addWidget(wrap(Section::ColumnPlane));

  auto* controls = new QWidget;
  auto* grid = new QGridLayout(controls);
  QFont f("Arial");
  f.setPointSize(8);
  const char* names[3] = {"Z", "X", "Y"};
  const Axis editAxes[3] = {Axis::Z, Axis::X, Axis::Y};
  for (int i = 0; i < 3; ++i) {
    auto* e = new QLineEdit(controls);
    e->setObjectName(QString::number(3 + i));
    e->setFont(f);
    e->setMaximumWidth(QFontMetrics(f).horizontalAdvance("7777777") + 12);
    edits_[static_cast<int>(editAxes[i])] = e;
    grid->addWidget(new QLabel(names[i], controls), i, 0);
    grid->addWidget(e, i, 1);
    const Axis axis = editAxes[i];
    connect(e, &QLineEdit::textEdited, this, [this, axis](const QString& t) {
      int value = 0;
      if (parseInt(t.toStdString(), value) && model_.setCursor(axis, value)) {
        for (SectionPane* p : panes_) p->update();
      }
    });
  }
  const Axis sliderAxes[3] = {Axis::X, Axis::Y, Axis::Z};
  for (int i = 0; i < 3; ++i) {
    const Axis axis = sliderAxes[i];
    auto* label = new QLabel(QString::fromStdString(model_.factorText(axis)), controls);
    label->setFont(f);
    auto* s = new QSlider(Qt::Horizontal, controls);
    s->setObjectName(QString::number(6 + i));
    s->setRange(0, 100);
    s->setTickInterval(10);
    s->setTickPosition(QSlider::TicksBelow);
    s->setValue(50);
    s->setMinimumWidth(120);
    labels_[static_cast<int>(axis)] = label;
    sliders_[static_cast<int>(axis)] = s;
    grid->addWidget(label, 3 + i, 0, 1, 2);
    grid->addWidget(s, 3 + i, 2);
    connect(s, &QSlider::valueChanged, this, [this, axis, s](int p) {
      const int kept = model_.setSlider(axis, p);
      if (kept != p) {
        s->blockSignals(true);
        s->setValue(kept);
        s->blockSignals(false);
      }
      labels_[static_cast<int>(axis)]->setText(QString::fromStdString(model_.factorText(axis)));
      relayout();
    });
  }
  right->addWidget(controls);
  auto* outer = new QSplitter(Qt::Horizontal);
  outer->addWidget(left);
  outer->addWidget(right);
  // One split row for both sides.
  connect(left, &QSplitter::splitterMoved, right, [left, right] { right->setSizes(left->sizes()); });
  connect(right, &QSplitter::splitterMoved, left, [left, right] { left->setSizes(right->sizes()); });
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(outer);
  // Two thirds of the screen, split in half both ways.
  const QSize screen = usableScreen();
  const int w = screen.width() * 2 / 3, h = screen.height() * 2 / 3;
  resize(w, h);
  outer->setSizes({w / 2, w / 2});
  left->setSizes({h / 2, h / 2});
  right->setSizes({h / 2, h / 2});
  edits_[0]->setText(QString::number(model_.cursorX));
  edits_[1]->setText(QString::number(model_.cursorY));
  edits_[2]->setText(QString::number(model_.cursorZ));
  relayout();
}

QWidget* SectionViewWindow::pane(Section s) const { return panes_[static_cast<int>(s)]; }

void SectionViewWindow::relayout() {
  for (SectionPane* p : panes_) p->resizeToSection();
}

void SectionViewWindow::cursorMoved(Section from) {
  edits_[static_cast<int>(Axis::X)]->setText(QString::number(model_.cursorX));
  edits_[static_cast<int>(Axis::Y)]->setText(QString::number(model_.cursorY));
  edits_[static_cast<int>(Axis::Z)]->setText(QString::number(model_.cursorZ));
  const Volume& v = *model_.volume();
  const int x = model_.cursorX, y = model_.cursorY, z = model_.cursorZ;
  const double r = channelData<UC>(v, 0)[z][y][x];
  if (channelCount(v) == 1)
    PrintCoordinates(2, x, y, z, r, r, r);
  else
    PrintCoordinates(2, x, y, z, r, channelData<UC>(v, 1)[z][y][x], channelData<UC>(v, 2)[z][y][x]);
  for (int i = 0; i < 3; ++i) panes_[i]->update();
  (void)from;
}

// ---- Histogram plot -------------------------------------------------------------------------

PlotWindow::PlotWindow(const QString& title, const float* values)
    : QWidget(nullptr, Qt::Window), values_(values, values + 256) {
  setObjectName("signal");
  setWindowTitle(title);
  setAttribute(Qt::WA_DeleteOnClose);
  move(50, 50);
  resize(560, 360);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setAutoFillBackground(true);
}

void PlotWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const float mx = std::max(*std::max_element(values_.begin(), values_.end()), 1e-12f);
  const QFontMetrics fm(font());
  const int left = fm.horizontalAdvance("0.000000") + 12, bottom = fm.height() + 12, top = 12,
            right = 16;
  const QRectF plot(left, top, width() - left - right, height() - top - bottom);
  p.setPen(QColor(180, 180, 180));
  for (int k = 0; k <= 4; ++k) {
    const double y = plot.bottom() - plot.height() * k / 4.0;
    p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    p.setPen(Qt::black);
    p.drawText(QRectF(0, y - fm.height() / 2.0, left - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
               QString::asprintf("%.3f", static_cast<double>(mx) * k / 4.0));
    p.setPen(QColor(180, 180, 180));
  }
  p.setPen(Qt::black);
  p.drawRect(plot);
  for (int v : {0, 64, 128, 192, 255}) {
    const double x = plot.left() + plot.width() * v / 255.0;
    p.drawText(QRectF(x - 20, plot.bottom() + 4, 40, fm.height()), Qt::AlignCenter, QString::number(v));
  }
  QPolygonF line;
  for (int i = 0; i < 256; ++i)
    line << QPointF(plot.left() + plot.width() * i / 255.0,
                    plot.bottom() - plot.height() * values_[static_cast<std::size_t>(i)] / mx);
  p.setPen(QPen(QColor(20, 60, 160), 1.5));
  p.drawPolyline(line);
}

}  // namespace v3d::shell::qt

using namespace v3d::shell::qt;

extern "C" {

void DisplayVolume(Volume* volume) {
  if (g_registry && volume) g_registry->showVolume(volume, true);
}

void freedisWin(Volume* volume) {
  if (g_registry && volume) g_registry->closeWindowsOf(volume);
}

}  // extern "C"

namespace v3d::shell::qt {
namespace {
SeedPicking* g_seeds = nullptr;
}
SeedPicking* seedPicking() { return g_seeds; }
void setSeedPicking(SeedPicking* s) { g_seeds = s; }
}  // namespace v3d::shell::qt
