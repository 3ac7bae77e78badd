// The histogram plot (class signal): a top-level window with a line plot of 256 values.
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

namespace v3d::shell::qt {

class PlotWindow : public QWidget {
 public:
  PlotWindow(const QString& title, const float* values256);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::vector<float> values_;
};

}  // namespace v3d::shell::qt
