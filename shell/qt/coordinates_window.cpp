#include "shell/qt/coordinates_window.h"

#include <QActionGroup>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>

#include "core/text_ids.h"
#include "shell/desk.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/qtext.h"

namespace v3d::shell::qt {
namespace {
const char* kPositionSample = " X = 77777  Y = 77777  Z = 77777 ";
const char* kValueSample = " R = 7777.777  G = 7777.777  B = 7777.777 ";
}  // namespace

CoordinatesWindow::CoordinatesWindow(QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
  setObjectName(kClassCoordinates);
  setWindowTitle(qtext(kTitleCoordinates));
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
  const std::pair<int, int> spaces[] = {
      {kMenuRgb, kRgb}, {kMenuXyz, kXyz}, {kMenuLab, kLab}, {kMenuHls, kHls}};
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

}  // namespace v3d::shell::qt
