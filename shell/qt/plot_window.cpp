#include "shell/qt/plot_window.h"

#include <QPainter>
#include <QPolygonF>
#include <algorithm>

#include "shell/qt/control_ids.h"

namespace v3d::shell::qt {
PlotWindow::PlotWindow(const QString& title, const float* values)
    : QWidget(nullptr, Qt::Window), values_(values, values + 256) {
  setObjectName(kClassPlot);
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
    p.drawText(QRectF(0, y - fm.height() / 2.0, left - 6, fm.height()),
               Qt::AlignRight | Qt::AlignVCenter,
               QString::asprintf("%.3f", static_cast<double>(mx) * k / 4.0));
    p.setPen(QColor(180, 180, 180));
  }
  p.setPen(Qt::black);
  p.drawRect(plot);
  for (int v : {0, 64, 128, 192, 255}) {
    const double x = plot.left() + plot.width() * v / 255.0;
    p.drawText(QRectF(x - 20, plot.bottom() + 4, 40, fm.height()), Qt::AlignCenter,
               QString::number(v));
  }
  QPolygonF line;
  for (int i = 0; i < 256; ++i)
    line << QPointF(plot.left() + plot.width() * i / 255.0,
                    plot.bottom() - plot.height() * values_[static_cast<std::size_t>(i)] / mx);
  p.setPen(QPen(QColor(20, 60, 160), 1.5));
  p.drawPolyline(line);
}

}  // namespace v3d::shell::qt
