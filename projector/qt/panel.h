// The control panel of one projection viewer: the rule, the two angles, the thresholds, the
// crop flag, the oblique section and its depth, and the turntable. Each change redraws the
// viewer's picture at once; a drag on the picture moves the angle sliders with it.
#pragma once

#include <QPointer>
#include <QWidget>

#include "projector/viewer.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSlider;
class QSpinBox;

namespace v3d::projector::qt {

class ControlPanel : public QWidget {
 public:
  // Object names of the controls, for tests and scripts.
  static constexpr const char* kRule = "rule";
  static constexpr const char* kAngle1 = "angle1";
  static constexpr const char* kAngle2 = "angle2";
  static constexpr const char* kThreshold = "threshold";  // + channel 0, 1, 2
  static constexpr const char* kCrop = "crop";
  static constexpr const char* kSection = "section";
  static constexpr const char* kDepth = "depth";
  static constexpr const char* kViews = "views";
  static constexpr const char* kTurntable = "turntable";

  ControlPanel(const ProgramBindings& program, Viewer& viewer, QWidget* window,
               QWidget* parent = nullptr);

  // Shows the viewer's view in the controls (after a drag turned it).
  void sync();
  // Repaints the viewer's window after its buffer was drawn.
  void repaintWindow();
  // The turntable volume of the last click, or null.
  Volume* lastTurntable() const { return lastTurntable_; }

 private:
  void changed();
  void makeTurntable();

  const ProgramBindings& program_;
  Viewer& viewer_;
  QPointer<QWidget> window_;
  QComboBox* rule_;
  QSlider *angle1_, *angle2_, *depth_;
  QLabel *angle1Value_, *angle2Value_, *depthValue_;
  QSpinBox* thresholds_[3] = {};
  QCheckBox *crop_, *section_;
  QSpinBox* views_;
  QPushButton* turntable_;
  Volume* lastTurntable_ = nullptr;
};

}  // namespace v3d::projector::qt
