#include "shell/qt/window_registry.h"

#include <type_traits>

#include "core/result_codes.h"
#include "shell/alignment_toolbox.h"
#include "shell/desk.h"
#include "shell/projection_update.h"
#include "shell/window_placement.h"

namespace v3d::shell::qt {
namespace {

WindowRegistry* g_registry = nullptr;

}  // namespace

WindowRegistry* windowRegistry() {
  return g_registry;
}
void setWindowRegistry(WindowRegistry* registry) {
  g_registry = registry;
}

QMdiSubWindow* WindowRegistry::dock(QWidget* window, Qt::WindowFlags flags) {
  QMdiSubWindow* sub = area_->addSubWindow(window, flags);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->setWindowTitle(window->windowTitle());
  return sub;
}

void WindowRegistry::activate(QMdiSubWindow* sub) {
  keepInsideArea(sub);
  area_->setActiveSubWindow(sub);
}

void WindowRegistry::keepInsideArea(QMdiSubWindow* sub) const {
  // Only a shown area has its real size; a window made before the frame is shown keeps its
  // place and size.
  if (!area_->isVisible()) return;
  const QRect g = sub->geometry();
  const QSize area = area_->viewport()->size();
  const bool resizable = sub->minimumSize() != sub->maximumSize();
  const WindowRect placed =
      placeInside({g.x(), g.y(), g.width(), g.height()}, area.width(), area.height(), resizable);
  sub->setGeometry(placed.x, placed.y, placed.width, placed.height);
}

void WindowRegistry::showVolume(Volume* v, bool open) {
  const bool shown = !displaysOf(v).empty();
  std::apply(
      [v](const auto&... lists) {
        auto refresh = [v](const auto& windows) {
          for (const auto& e : windows)
            if constexpr (!std::is_same_v<std::decay_t<decltype(*e.window)>, ProjectionWindow>)
              if (e.volume == v && e.open()) e.window->refresh();
        };
        (refresh(lists), ...);
      },
      lists_);
  // Only 8-bit volumes are shown.
  if (!shown && open && CheckVolume(v, V3D_UC, V3D_ANY_COLOR) == kSuccess)
    add(std::make_unique<DisplayWindow>(v, v->colorType != V3D_ONE_CHANNEL, 0, v->Z - 1, 0.0f), v);
  // Then the projection windows, with the "Updating projections ..." box naming each.
  std::vector<ProjectionUpdate> updates;
  for (ProjectionWindow* p : projectionsOf(v))
    updates.push_back({p->windowTitle().toStdString(), [w = QPointer<ProjectionWindow>(p)] {
                         if (w) w->refresh();
                       }});
  updateProjections(desk(), updates);
}

void WindowRegistry::closeWindowsOf(Volume* v) {
  endAlignmentUsing(v);  // the alignment window and its tool box go first, without a question
  // A playing display returns from its loop once its window is gone.
  for (DisplayWindow* d : displaysOf(v)) d->requestStop();
  std::vector<QPointer<QMdiSubWindow>> doomed;
  std::apply(
      [v, &doomed](auto&... lists) {
        auto take = [v, &doomed](auto& windows) {
          for (const auto& e : windows)
            if (e.volume == v && e.open()) doomed.push_back(e.sub);
          std::erase_if(windows, [v](const auto& e) { return e.volume == v || !e.open(); });
        };
        (take(lists), ...);
      },
      lists_);
  for (QPointer<QMdiSubWindow>& sub : doomed)
    if (sub) sub->close();
}

void WindowRegistry::addPlot(PlotWindow* plot) {
  std::erase_if(plots_, [](const QPointer<PlotWindow>& p) { return p.isNull(); });
  plots_.push_back(plot);
}

void WindowRegistry::closePlots() {
  for (QPointer<PlotWindow>& p : plots_)
    if (p) p->close();
  plots_.clear();
}

}  // namespace v3d::shell::qt
