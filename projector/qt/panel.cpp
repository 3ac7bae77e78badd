#include "projector/qt/panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <cmath>

#include "projector/texts.h"

namespace v3d::projector::qt {
namespace {

QSlider* slider(const char* name, int lo, int hi, QWidget* parent) {
  auto* s = new QSlider(Qt::Horizontal, parent);
  s->setObjectName(name);
  s->setRange(lo, hi);
  s->setMinimumWidth(180);
  return s;
}

// A slider with its value shown beside it.
QWidget* withValue(QSlider* s, QLabel*& value, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  value = new QLabel(row);
  value->setMinimumWidth(40);
  layout->addWidget(s, 1);
  layout->addWidget(value);
  return row;
}

}  // namespace

ControlPanel::ControlPanel(const ProgramBindings& program, Viewer& viewer, QWidget* window,
                           QWidget* parent)
    : QWidget(parent), program_(program), viewer_(viewer), window_(window) {
  setObjectName("projectorPanel");
  auto* form = new QFormLayout(this);

  rule_ = new QComboBox(this);
  rule_->setObjectName(kRule);
  for (int r = 0; r < kRuleCount; ++r) rule_->addItem(ruleName(static_cast<Rule>(r)));
  form->addRow("Rule:", rule_);

  angle1_ = slider(kAngle1, -180, 180, this);
  angle2_ = slider(kAngle2, -90, 90, this);
  form->addRow("Turn:", withValue(angle1_, angle1Value_, this));
  form->addRow("Tilt:", withValue(angle2_, angle2Value_, this));

  const int channels = viewer.volume->colorType == V3D_ONE_CHANNEL ? 1 : 3;
  auto* thresholdRow = new QWidget(this);
  auto* thresholdLayout = new QHBoxLayout(thresholdRow);
  thresholdLayout->setContentsMargins(0, 0, 0, 0);
  for (int c = 0; c < channels; ++c) {
    thresholds_[c] = new QSpinBox(thresholdRow);
    thresholds_[c]->setObjectName(QString(kThreshold) + QString::number(c));
    thresholds_[c]->setRange(0, 255);
    thresholdLayout->addWidget(thresholds_[c]);
  }
  form->addRow(channels == 1 ? "Threshold:" : "Thresholds (R, G, B):", thresholdRow);

  crop_ = new QCheckBox("Crop to the non-zero samples", this);
  crop_->setObjectName(kCrop);
  form->addRow(crop_);

  section_ = new QCheckBox("Oblique section instead", this);
  section_->setObjectName(kSection);
  form->addRow(section_);
  depth_ = slider(kDepth, 0, 100, this);
  form->addRow("Section depth (%):", withValue(depth_, depthValue_, this));

  auto* turntableRow = new QWidget(this);
  auto* turntableLayout = new QHBoxLayout(turntableRow);
  turntableLayout->setContentsMargins(0, 0, 0, 0);
  views_ = new QSpinBox(turntableRow);
  views_->setObjectName(kViews);
  views_->setRange(1, 360);
  views_->setValue(36);
  turntable_ = new QPushButton(kTurntableButton, turntableRow);
  turntable_->setObjectName(kTurntable);
  turntableLayout->addWidget(new QLabel("Views:", turntableRow));
  turntableLayout->addWidget(views_);
  turntableLayout->addWidget(turntable_, 1);
  form->addRow(turntableRow);

  sync();
  connect(rule_, &QComboBox::currentIndexChanged, this, [this] { changed(); });
  for (QSlider* s : {angle1_, angle2_, depth_})
    connect(s, &QSlider::valueChanged, this, [this] { changed(); });
  for (QSpinBox* t : thresholds_)
    if (t) connect(t, &QSpinBox::valueChanged, this, [this] { changed(); });
  for (QCheckBox* b : {crop_, section_})
    connect(b, &QCheckBox::toggled, this, [this] { changed(); });
  connect(turntable_, &QPushButton::clicked, this, [this] { makeTurntable(); });
}

void ControlPanel::sync() {
  const ViewParameters& v = viewer_.view;
  const QSignalBlocker blockers[] = {QSignalBlocker(rule_),   QSignalBlocker(angle1_),
                                     QSignalBlocker(angle2_), QSignalBlocker(depth_),
                                     QSignalBlocker(crop_),   QSignalBlocker(section_)};
  rule_->setCurrentIndex(static_cast<int>(v.rule));
  angle1_->setValue(static_cast<int>(std::lround(v.angle1)));
  angle2_->setValue(static_cast<int>(std::lround(v.angle2)));
  depth_->setValue(static_cast<int>(std::lround(v.depth)));
  crop_->setChecked(v.crop);
  section_->setChecked(v.section);
  for (int c = 0; c < 3; ++c)
    if (thresholds_[c]) {
      const QSignalBlocker b(thresholds_[c]);
      thresholds_[c]->setValue(v.thresholds[c]);
    }
  angle1Value_->setText(QString::number(static_cast<double>(v.angle1), 'f', 1) + QChar(0xB0));
  angle2Value_->setText(QString::number(static_cast<double>(v.angle2), 'f', 1) + QChar(0xB0));
  depthValue_->setText(QString::number(static_cast<double>(v.depth), 'f', 0));
  depth_->setEnabled(v.section);
  for (QSpinBox* t : thresholds_)
    if (t) t->setEnabled(!v.section && v.rule != Rule::kAverage && v.rule != Rule::kMaximum);
}

void ControlPanel::repaintWindow() {
  if (window_ == nullptr) return;
  window_->update();
  for (QWidget* w : window_->findChildren<QWidget*>()) w->update();
}

void ControlPanel::changed() {
  ViewParameters& v = viewer_.view;
  v.rule = static_cast<Rule>(rule_->currentIndex());
  v.angle1 = static_cast<float>(angle1_->value());
  v.angle2 = static_cast<float>(angle2_->value());
  v.depth = static_cast<float>(depth_->value());
  v.crop = crop_->isChecked();
  v.section = section_->isChecked();
  for (int c = 0; c < 3; ++c)
    if (thresholds_[c]) v.thresholds[c] = static_cast<unsigned char>(thresholds_[c]->value());
  viewer_.redraw(program_.render);
  sync();
  repaintWindow();
}

void ControlPanel::makeTurntable() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  lastTurntable_ = turntable(program_, viewer_, views_->value());
  QApplication::restoreOverrideCursor();
}

}  // namespace v3d::projector::qt
