// The open windows of the frame, by kind: the MDI windows that show a volume, one typed list
// per kind, and the windows that show none (the coordinates window, histogram plots).
// Windows are found here by volume and kind, never by their names.
//
// A kind of MDI window that shows a volume is a QWidget class with
//   static Qt::WindowFlags subWindowFlags();  the sub-window frame it is shown in
//   void docked(QMdiSubWindow* sub);          sizes itself and `sub` once they are shown
//   void refresh();                           repaints after its volume changed
// and one entry in Lists below.
#pragma once

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <memory>
#include <tuple>
#include <vector>

#include "core/volume.h"
#include "shell/qt/coordinates_window.h"
#include "shell/qt/display_window.h"
#include "shell/qt/plot_window.h"
#include "shell/qt/projection_window.h"
#include "shell/qt/section_view_window.h"

namespace v3d::shell::qt {

class WindowRegistry {
 public:
  explicit WindowRegistry(QMdiArea* area) : area_(area) {}
  QMdiArea* area() const { return area_; }

  // Shows `window` in a new sub-window of the MDI area, active, as a window of `volume`.
  template <class W>
  W* add(std::unique_ptr<W> window, Volume* volume);
  // The open windows of one kind that show `volume`, oldest first.
  template <class W>
  std::vector<W*> windowsOf(Volume* volume) const;
  std::vector<DisplayWindow*> displaysOf(Volume* v) const { return windowsOf<DisplayWindow>(v); }
  std::vector<SectionViewWindow*> sectionViewsOf(Volume* v) const {
    return windowsOf<SectionViewWindow>(v);
  }
  std::vector<ProjectionWindow*> projectionsOf(Volume* v) const {
    return windowsOf<ProjectionWindow>(v);
  }

  // Refreshes every window of `v`; opens a display on all its frames when none shows it and
  // `open` (8-bit volumes only).
  void showVolume(Volume* v, bool open);
  // Closes every window showing `v`; a playing display stops first.
  void closeWindowsOf(Volume* v);

  // The coordinates window once it has been made; it lives as long as the frame.
  CoordinatesWindow* coordinates() const { return coordinates_; }
  void setCoordinates(CoordinatesWindow* window) { coordinates_ = window; }

  // Histogram plots are top-level windows; they close with the frame.
  void addPlot(PlotWindow* plot);
  void closePlots();

 private:
  template <class W>
  struct Entry {
    QPointer<QMdiSubWindow> sub;
    QPointer<W> window;
    Volume* volume;
    bool open() const { return !sub.isNull() && !window.isNull(); }
  };
  template <class W>
  using List = std::vector<Entry<W>>;
  // One list per kind of MDI window that shows a volume; a new kind is one more entry here.
  using Lists = std::tuple<List<DisplayWindow>, List<SectionViewWindow>, List<ProjectionWindow>>;

  template <class W>
  List<W>& list() {
    return std::get<List<W>>(lists_);
  }
  template <class W>
  const List<W>& list() const {
    return std::get<List<W>>(lists_);
  }
  // The untyped part of add: the sub-window made and titled, then shown and made active.
  QMdiSubWindow* dock(QWidget* window, Qt::WindowFlags flags);
  void activate(QMdiSubWindow* sub);
  // Moves, or shrinks, a new sub-window so that it lies wholly inside the area.
  void keepInsideArea(QMdiSubWindow* sub) const;

  QMdiArea* area_;
  Lists lists_;
  QPointer<CoordinatesWindow> coordinates_;
  std::vector<QPointer<PlotWindow>> plots_;
};

template <class W>
W* WindowRegistry::add(std::unique_ptr<W> window, Volume* volume) {
  List<W>& windows = list<W>();
  std::erase_if(windows, [](const Entry<W>& e) { return !e.open(); });
  W* w = window.get();
  QMdiSubWindow* sub = dock(window.release(), W::subWindowFlags());  // the area owns it now
  windows.push_back({sub, w, volume});
  sub->show();
  w->docked(sub);
  activate(sub);
  return w;
}

template <class W>
std::vector<W*> WindowRegistry::windowsOf(Volume* volume) const {
  std::vector<W*> out;
  for (const Entry<W>& e : list<W>())
    if (e.volume == volume && e.open()) out.push_back(e.window.data());
  return out;
}

// The registry of the frame, for the exported services; nullptr while there is no frame.
WindowRegistry* windowRegistry();
void setWindowRegistry(WindowRegistry* registry);

}  // namespace v3d::shell::qt
