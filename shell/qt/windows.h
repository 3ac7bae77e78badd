// The shell's windows: volume display windows (class child_3D with its display pane), the
// coordinates window (write), the section view (section_view) and the histogram plot
// (signal). Each is a QWidget named after its class.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

#include "shell/coordinates.h"
#include "shell/display_model.h"
#include "shell/section_model.h"

class QAbstractScrollArea;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QPushButton;
class QRubberBand;
class QScrollBar;
class QSlider;

namespace v3d::shell::qt {

class DisplayPane;

class DisplayWindow : public QWidget {
 public:
  DisplayWindow(Volume* volume, bool colour, int lower, int upper, float delay,
                bool twoButtons = false);
  DisplayModel& model() { return model_; }
  DisplayPane* pane() const { return pane_; }
  // Button commands 10 to 15.
  void button(int id);
  void zoomIn();
  void zoomOut();
  // Refits the window to the image at the current divisor.
  void refit();
  void updateTitle();
  void syncScrollBars();
  bool playing() const { return playing_; }
  void requestStop() { stop_ = true; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void play(int direction);
  DisplayModel model_;
  DisplayPane* pane_;
  QScrollBar *hbar_ = nullptr, *vbar_ = nullptr;
  bool playing_ = false, stop_ = false;
};

// The drawing pane of a display window, with its scroll bars.
class DisplayPane : public QWidget {
 public:
  explicit DisplayPane(DisplayWindow* owner);
  void setPaneSize(int w, int h);
  int paneWidth() const { return w_; }
  int paneHeight() const { return h_; }
  QImage picture() const;
  QSize sizeHint() const override { return {w_, h_}; }

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent*) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void leaveEvent(QEvent*) override;
  void wheelEvent(QWheelEvent* e) override;

 private:
  DisplayWindow* owner_;
  int w_ = 1, h_ = 1;
  QRubberBand* band_ = nullptr;
  QPoint bandStart_;
  bool banding_ = false;
  std::vector<QPoint> seedMarks_;
};

class CoordinatesWindow : public QWidget {
 public:
  explicit CoordinatesWindow(QWidget* owner);
  int space() const { return space_; }
  void setSpace(int space);
  // Called when the user closes it from its menu.
  std::function<void()> onClose;

 protected:
  void paintEvent(QPaintEvent*) override;
  void contextMenuEvent(QContextMenuEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void hideWindow();
  int space_ = kRgb;
};

class SectionPane;

class SectionViewWindow : public QWidget {
 public:
  explicit SectionViewWindow(Volume* volume);
  SectionModel& model() { return model_; }
  QWidget* pane(Section s) const;
  QLineEdit* edit(Axis a) const { return edits_[static_cast<int>(a)]; }
  QSlider* slider(Axis a) const { return sliders_[static_cast<int>(a)]; }
  QLabel* factorLabel(Axis a) const { return labels_[static_cast<int>(a)]; }
  void cursorMoved(Section from);
  void relayout();

 private:
  SectionModel model_;
  SectionPane* panes_[3] = {};
  QLineEdit* edits_[3] = {};
  QSlider* sliders_[3] = {};
  QLabel* labels_[3] = {};
};

class PlotWindow : public QWidget {
 public:
  PlotWindow(const QString& title, const float* values256);

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::vector<float> values_;
};

// The windows of the frame's MDI area that show volumes.
class WindowRegistry {
 public:
  explicit WindowRegistry(QMdiArea* area) : area_(area) {}
  QMdiSubWindow* add(QWidget* content, Volume* volume);
  std::vector<DisplayWindow*> displaysOf(Volume* v) const;
  std::vector<SectionViewWindow*> sectionViewsOf(Volume* v) const;
  // Repaints every display of `v`; opens one on all frames when none shows it and `open`.
  bool showVolume(Volume* v, bool open);
  // Closes every display, projection and section window showing `v`.
  void closeWindowsOf(Volume* v);
  QMdiArea* area() const { return area_; }

 private:
  struct Entry {
    QPointer<QMdiSubWindow> window;
    QPointer<QWidget> content;
    Volume* volume;
  };
  void prune();
  QMdiArea* area_;
  mutable std::vector<Entry> entries_;
};

WindowRegistry* windowRegistry();
void setWindowRegistry(WindowRegistry* registry);

}  // namespace v3d::shell::qt
