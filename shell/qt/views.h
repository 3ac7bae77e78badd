// Thin Qt views of the dialog presenters. Each control carries its control id as its object
// name (the list is "604", OK is "1"), so tests and tools find them by id.
#pragma once

#include <QDialog>

#include "shell/dialogs.h"

class QListWidget;
class QLineEdit;
class QCheckBox;
class QComboBox;
class QPushButton;
class QLabel;
class QRadioButton;

namespace v3d::shell::qt {

class VolumeDialogView : public QDialog {
 public:
  VolumeDialogView(VolumeDialog& presenter, QWidget* parent = nullptr);

 private:
  void refresh();
  void pushFields();
  void onOk();
  VolumeDialog& p_;
  QListWidget* list_;
  QLineEdit *x_, *y_, *z_, *type_, *color_, *info_;
  QLineEdit* voi_[6] = {};
  QCheckBox* changeVoi_ = nullptr;
  QComboBox *createType_ = nullptr, *createColor_ = nullptr;
  QPushButton *ok_, *cancel_, *destroy_ = nullptr;
};

class ValueDialogView : public QDialog {
 public:
  ValueDialogView(ValueDialog& presenter, QWidget* parent = nullptr);

 private:
  ValueDialog& p_;
  QLineEdit* edits_[4] = {};
};

class DisplayLevelsView : public QDialog {
 public:
  DisplayLevelsView(DisplayLevelsDialog& presenter, QWidget* parent = nullptr);
};

class InterpolationView : public QDialog {
 public:
  InterpolationView(InterpolationDialog& presenter, QWidget* parent = nullptr);
};

class WeightsSourceView : public QDialog {
 public:
  WeightsSourceView(WeightsSourceDialog& presenter, QWidget* parent = nullptr);
};

class BinaryInterpolationView : public QDialog {
 public:
  BinaryInterpolationView(BinaryInterpolationDialog& presenter, QWidget* parent = nullptr);
};

class AlignmentView : public QDialog {
 public:
  AlignmentView(AlignmentDialog& presenter, QWidget* parent = nullptr);
};

class FrameGalleryView : public QDialog {
 public:
  FrameGalleryView(FrameGalleryDialog& presenter, QWidget* parent = nullptr);
};

class AboutView : public QDialog {
 public:
  AboutView(AboutDialog& presenter, QWidget* parent = nullptr);
};

}  // namespace v3d::shell::qt
