#include "shell/qt/section_view_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QSlider>
#include <QSplitter>
#include <QVBoxLayout>

#include "core/samples.h"
#include "shell/coordinates.h"
#include "shell/dialogs.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/qtext.h"
#include "shell/qt/window_support.h"
#include "shell/work_progress.h"

namespace v3d::shell::qt {
class SectionPane : public QWidget {
 public:
  SectionPane(SectionViewWindow* owner, Section s) : QWidget(owner), owner_(owner), s_(s) {
    setObjectName(kClassSectionPane);
    setCursor(Qt::CrossCursor);
  }
  void resizeToSection() {
    setFixedSize(owner_->model().width(s_), owner_->model().height(s_));
    update();
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    const SectionModel& m = owner_->model();
    // While a command writes the volume on its worker thread, the sections wait for it.
    if (volumeBeingWritten(m.volume())) return;
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
  setObjectName(kClassSectionView);
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
    e->setObjectName(QString::number(kCtlCursorZ + i));
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
    s->setObjectName(QString::number(kCtlFactorX + i));
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
  connect(left, &QSplitter::splitterMoved, right,
          [left, right] { right->setSizes(left->sizes()); });
  connect(right, &QSplitter::splitterMoved, left,
          [left, right] { left->setSizes(right->sizes()); });
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
  chosen_ = size();
}

void SectionViewWindow::docked(QMdiSubWindow* sub) {
  sub->resize(chosen_ + (sub->size() - size()));
}

QWidget* SectionViewWindow::pane(Section s) const {
  return panes_[static_cast<int>(s)];
}

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
    PrintCoordinates(kReadoutColour, x, y, z, r, r, r);
  else
    PrintCoordinates(kReadoutColour, x, y, z, r, channelData<UC>(v, 1)[z][y][x],
                     channelData<UC>(v, 2)[z][y][x]);
  for (int i = 0; i < 3; ++i) panes_[i]->update();
  (void)from;
}

}  // namespace v3d::shell::qt
