// The volume display window (class child_3D): a picture pane of the current frame with its
// scroll bars, the button bar for stepping and playing, zoom from the window menu, the voxel
// readout, voxel writing, seed clicks and the rubber-band VOI.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "shell/display_model.h"

class QEventLoop;
class QMdiSubWindow;
class QRubberBand;
class QScrollBar;

namespace v3d::shell::qt {

class DisplayPane;
class DisplayMode;

class DisplayWindow : public QWidget {
 public:
  DisplayWindow(Volume* volume, bool colour, int lower, int upper, float delay,
                bool twoButtons = false);
  ~DisplayWindow() override;
  DisplayModel& model() { return model_; }
  DisplayPane* pane() const { return pane_; }
  // Button commands 10 to 15.
  void button(int id);
  void zoomIn();
  void zoomOut();
  // Every voxel as m x m pixels (1 to 16); the Ctrl + wheel step closer.
  void magnify(int m);
  void stepCloser();
  // Refits the window to the image at the current divisor.
  void refit();
  void updateTitle();
  void syncScrollBars();
  bool playing() const { return playing_; }
  void requestStop();

  // How the window registry shows it: a caption, a window menu and a minimise box; the user
  // neither sizes nor maximises it (its size follows the image and the zoom).
  static Qt::WindowFlags subWindowFlags();
  // Called once it is shown in `sub`: the window menu gets the zoom items, and the
  // sub-window takes the size of the picture.
  void docked(QMdiSubWindow* sub);
  // Repaints the picture after the volume changed.
  void refresh();

  // Every event of the window (pane == nullptr) and of its picture pane passes here before
  // the widget's own handler: the one place for anything that must see them all first.
  bool route(QEvent* event, DisplayPane* pane);

  // The mode that takes the pointer in the picture (shell/qt/display_mode.h), or nullptr.
  void setMode(DisplayMode* mode) { mode_ = mode; }
  DisplayMode* mode() const { return mode_; }

 protected:
  bool event(QEvent* event) override;
  // Left and Right step a frame, Home and End go to the first and last, Space plays or stops.
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void play(int direction);
  // Set before the pane is made: the pane's first events reach route() from its constructor.
  DisplayMode* mode_ = nullptr;
  // The room for the window's client: the usable screen and, once it is shown in the frame's
  // window area, that area less the sub-window's frame and title.
  QSize availableClient() const;
  // Waits the window's frame delay, handling events; false when the window went meanwhile.
  bool waitFrameDelay(const QPointer<DisplayWindow>& self);
  DisplayModel model_;
  DisplayPane* pane_ = nullptr;
  QPointer<QMdiSubWindow> sub_;
  QScrollBar *hbar_ = nullptr, *vbar_ = nullptr;
  bool playing_ = false, stop_ = false;
  QEventLoop* waitLoop_ = nullptr;  // the wait between two frames of a playback
};

// The picture pane of a display window.
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
  friend class DisplayWindow;
  // The pane's own handling of an event, after the window has seen it.
  bool handle(QEvent* e) { return QWidget::event(e); }
  DisplayWindow* owner_;  // nullptr once the window is being destroyed
  int w_ = 1, h_ = 1;
  QRubberBand* band_ = nullptr;
  QPoint bandStart_;
  bool banding_ = false;
  std::vector<QPoint> seedMarks_;
  QImage shown_;  // the picture last painted
};

}  // namespace v3d::shell::qt
