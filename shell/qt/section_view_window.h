// The section view (class section_view): three orthogonal sections of a volume through a
// cursor point, with the cursor's coordinates to type and one magnification slider per axis.
#pragma once

#include <QSize>
#include <QWidget>

#include "shell/section_model.h"

class QLabel;
class QLineEdit;
class QMdiSubWindow;
class QSlider;

namespace v3d::shell::qt {

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

  // How the window registry shows it: an ordinary MDI sub-window.
  static Qt::WindowFlags subWindowFlags() { return {}; }
  // Called once it is shown in `sub`: the sub-window takes the size the view chose.
  void docked(QMdiSubWindow* sub);
  // Repaints the sections after the volume changed.
  void refresh() { update(); }

 private:
  SectionModel model_;
  SectionPane* panes_[3] = {};
  QLineEdit* edits_[3] = {};
  QSlider* sliders_[3] = {};
  QLabel* labels_[3] = {};
  QSize chosen_;  // two thirds of the screen
};

}  // namespace v3d::shell::qt
