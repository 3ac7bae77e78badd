#include "shell/qt/views.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/qtext.h"

namespace v3d::shell::qt {
namespace {

QString idName(int id) {
  return QString::number(id);
}

QLineEdit* field(QWidget* parent, int id, bool readOnly = false) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(idName(id));
  e->setReadOnly(readOnly);
  return e;
}

// OK and Cancel with the ids of the standard buttons.
void okCancel(QDialog* d, QBoxLayout* layout, QPushButton** okOut = nullptr,
              QPushButton** cancelOut = nullptr) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  auto* ok = new QPushButton(qtext(kButtonOk), d);
  ok->setObjectName(idName(kCtlOk));
  ok->setDefault(true);
  auto* cancel = new QPushButton(qtext(kButtonCancel), d);
  cancel->setObjectName(idName(kCtlCancel));
  row->addWidget(ok);
  row->addWidget(cancel);
  layout->addLayout(row);
  QObject::connect(cancel, &QPushButton::clicked, d, &QDialog::reject);
  if (okOut) *okOut = ok;
  if (cancelOut) *cancelOut = cancel;
}

}  // namespace

VolumeDialogView::VolumeDialogView(VolumeDialog& presenter, QWidget* parent)
    : QDialog(parent), p_(presenter) {
  setObjectName(idName(static_cast<int>(p_.kind)));
  setWindowTitle(qs(p_.title));
  p_.open();

  auto* top = new QHBoxLayout;
  auto* listBox = new QVBoxLayout;
  listBox->addWidget(new QLabel(qtext(kLabelVolumes), this));
  list_ = new QListWidget(this);
  list_->setObjectName(idName(kCtlList));
  list_->setMinimumWidth(110);
  for (const auto& e : p_.entries()) list_->addItem(qs(e.label));
  // Nothing is chosen until the user picks a line (Qt would make the first line current as
  // soon as the list takes the focus).
  list_->setCurrentIndex(QModelIndex());
  listBox->addWidget(list_);
  top->addLayout(listBox);

  auto* panel = new QFormLayout;
  x_ = field(this, kCtlX);
  y_ = field(this, kCtlY);
  z_ = field(this, kCtlZ);
  panel->addRow(qtext(kLabelImageX), x_);
  panel->addRow(qtext(kLabelImageY), y_);
  panel->addRow(qtext(kLabelFrames), z_);
  if (p_.createLists()) {
    createType_ = new QComboBox(this);
    createType_->setObjectName(idName(kCtlDataType));
    for (const auto& t : VolumeDialog::createTypeTexts()) createType_->addItem(qs(t));
    createColor_ = new QComboBox(this);
    createColor_->setObjectName(idName(kCtlColorType));
    for (const auto& t : VolumeDialog::createColorTexts()) createColor_->addItem(qs(t));
    panel->addRow(qtext(kLabelDataType), createType_);
    panel->addRow(qtext(kLabelColorType), createColor_);
    type_ = color_ = nullptr;
  } else {
    type_ = field(this, kCtlDataType, true);
    color_ = field(this, kCtlColorType, true);
    panel->addRow(qtext(kLabelDataType), type_);
    panel->addRow(qtext(kLabelColorType), color_);
  }
  info_ = field(this, kCtlInformation);
  info_->setMaxLength(V3D_INFORMATION_SIZE - 1);
  panel->addRow(qtext(kLabelInformation), info_);
  top->addLayout(panel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);

  if (p_.showsVoi()) {
    auto* box = new QGroupBox(this);
    auto* grid = new QGridLayout(box);
    const int labels[6] = {kLabelLowVoi,    kLabelUpVoi,   kLabelTopVoi,
                           kLabelBottomVoi, kLabelLeftVoi, kLabelRightVoi};
    for (int i = 0; i < 6; ++i) {
      voi_[i] = field(box, kCtlLowVoi + i);
      grid->addWidget(new QLabel(qtext(labels[i]), box), i / 2, (i % 2) * 2);
      grid->addWidget(voi_[i], i / 2, (i % 2) * 2 + 1);
    }
    if (p_.kind == VolumeDialogKind::Input) {
      changeVoi_ = new QCheckBox(qtext(kLabelChangeVoi), box);
      changeVoi_->setObjectName(idName(kCtlChangeVoi));
      grid->addWidget(changeVoi_, 3, 0, 1, 4);
      connect(changeVoi_, &QCheckBox::toggled, this, [this](bool on) {
        pushFields();
        p_.setChangeVoi(on);
        refresh();
      });
    }
    layout->addWidget(box);
  }

  if (p_.kind == VolumeDialogKind::Destroy) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    destroy_ = new QPushButton(qtext(kButtonDestroy), this);
    destroy_->setObjectName(idName(kCtlDestroy));
    auto* close = new QPushButton(qtext(kButtonClose), this);
    close->setObjectName(idName(kCtlCancel));
    row->addWidget(destroy_);
    row->addWidget(close);
    layout->addLayout(row);
    ok_ = nullptr;
    cancel_ = close;
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(destroy_, &QPushButton::clicked, this, [this] {
      p_.destroySelected();
      list_->blockSignals(true);
      list_->clear();
      for (const auto& e : p_.entries()) list_->addItem(qs(e.label));
      list_->setCurrentRow(p_.selectedRow());
      list_->blockSignals(false);
      refresh();
    });
  } else {
    okCancel(this, layout, &ok_, &cancel_);
    connect(ok_, &QPushButton::clicked, this, [this] { onOk(); });
  }

  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    p_.select(row);
    refresh();
  });
  // A double-clicked line is chosen and confirmed at once; not in the destroy dialog, where
  // a confirmation destroys.
  if (ok_)
    connect(list_, &QListWidget::itemDoubleClicked, this, [this] {
      if (ok_->isEnabled()) onOk();
    });
  refresh();
}

void VolumeDialogView::refresh() {
  if (list_->currentRow() != p_.selectedRow()) {
    list_->blockSignals(true);
    if (p_.selectedRow() < 0)
      list_->setCurrentIndex(QModelIndex());
    else
      list_->setCurrentRow(p_.selectedRow());
    list_->blockSignals(false);
  }
  x_->setText(qs(p_.fieldX));
  y_->setText(qs(p_.fieldY));
  z_->setText(qs(p_.fieldZ));
  const bool dims = p_.dimensionsEditable();
  x_->setReadOnly(!dims);
  y_->setReadOnly(!dims);
  z_->setReadOnly(!dims);
  if (type_) type_->setText(qs(p_.dataTypeText));
  if (color_) color_->setText(qs(p_.colorTypeText));
  info_->setText(qs(p_.information));
  info_->setReadOnly(!p_.informationFieldEditable());
  for (int i = 0; i < 6; ++i)
    if (voi_[i]) {
      voi_[i]->setText(qs(p_.voi[static_cast<std::size_t>(i)]));
      voi_[i]->setEnabled(p_.voiEditable());
    }
  if (ok_) ok_->setEnabled(p_.okEnabled() || p_.kind == VolumeDialogKind::State);
  if (destroy_) destroy_->setEnabled(p_.destroyEnabled());
  // A new entry moves the focus to its information text.
  if (p_.selectedRow() >= 0 && p_.entries()[static_cast<std::size_t>(p_.selectedRow())].isNew)
    info_->setFocus();
}

void VolumeDialogView::pushFields() {
  p_.fieldX = x_->text().toStdString();
  p_.fieldY = y_->text().toStdString();
  p_.fieldZ = z_->text().toStdString();
  p_.information = info_->text().toStdString();
  for (int i = 0; i < 6; ++i)
    if (voi_[i]) p_.voi[static_cast<std::size_t>(i)] = voi_[i]->text().toStdString();
  if (createType_) p_.createTypeRow = createType_->currentIndex();
  if (createColor_) p_.createColorRow = createColor_->currentIndex();
}

void VolumeDialogView::onOk() {
  pushFields();
  if (p_.accept()) accept();
}

ValueDialogView::ValueDialogView(ValueDialog& presenter, QWidget* parent)
    : QDialog(parent), p_(presenter) {
  setObjectName(idName(p_.resource()));
  setWindowTitle(qs(p_.title));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (int i = 0; i < p_.fields; ++i) {
    auto* label = new QLabel(qs(p_.prompts[static_cast<std::size_t>(i)]), this);
    label->setObjectName(idName(ValueDialog::kFirstPrompt + i));
    edits_[i] = field(this, ValueDialog::kFirstEdit + i);
    edits_[i]->setText(qs(p_.texts[static_cast<std::size_t>(i)]));
    form->addRow(label, edits_[i]);
  }
  layout->addLayout(form);
  QPushButton* ok = nullptr;
  okCancel(this, layout, &ok);
  auto copyTexts = [this] {
    for (int i = 0; i < p_.fields; ++i)
      p_.texts[static_cast<std::size_t>(i)] = edits_[i]->text().toStdString();
  };
  connect(ok, &QPushButton::clicked, this, [this, copyTexts] {
    copyTexts();
    p_.accept();
    accept();
  });
  // The caller parses what was typed even after Cancel.
  connect(this, &QDialog::rejected, this, copyTexts);
}

DisplayLevelsView::DisplayLevelsView(DisplayLevelsDialog& p, QWidget* parent) : QDialog(parent) {
  setObjectName(idName(kDialogDisplayLevels));
  setWindowTitle(qs(p.title.empty() ? std::string(text(kTitleDialog114)) : p.title));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto* lower = field(this, DisplayLevelsDialog::kCtlLower);
  auto* upper = field(this, DisplayLevelsDialog::kCtlUpper);
  auto* delay = field(this, DisplayLevelsDialog::kCtlDelay);
  lower->setText(qs(p.lower));
  upper->setText(qs(p.upper));
  delay->setText(qs(p.delay));
  form->addRow(qtext(kLabelLowerFrame), lower);
  form->addRow(qtext(kLabelUpperFrame), upper);
  form->addRow(qtext(kLabelDelay), delay);
  layout->addLayout(form);
  QPushButton* ok = nullptr;
  okCancel(this, layout, &ok);
  connect(ok, &QPushButton::clicked, this, [this, &p, lower, upper, delay] {
    p.lower = lower->text().toStdString();
    p.upper = upper->text().toStdString();
    p.delay = delay->text().toStdString();
    if (p.accept()) accept();
  });
}

InterpolationView::InterpolationView(InterpolationDialog& p, QWidget* parent) : QDialog(parent) {
  setObjectName(idName(kDialogInterpolation));
  setWindowTitle(qs(p.title.empty() ? std::string(text(kTitleDialog116)) : p.title));
  auto* layout = new QVBoxLayout(this);
  auto* extract = new QCheckBox(qtext(kLabelExtractFactors), this);
  extract->setObjectName(idName(InterpolationDialog::kCtlExtract));
  layout->addWidget(extract);
  auto* form = new QFormLayout;
  auto* fx = field(this, InterpolationDialog::kCtlX);
  auto* fy = field(this, InterpolationDialog::kCtlY);
  auto* fz = field(this, InterpolationDialog::kCtlZ);
  fx->setText(qs(p.factorX));
  fy->setText(qs(p.factorY));
  fz->setText(qs(p.factorZ));
  auto* lz = new QLabel(qtext(kLabelFactorZ), this);
  form->addRow(qtext(kLabelFactorX), fx);
  form->addRow(qtext(kLabelFactorY), fy);
  form->addRow(lz, fz);
  layout->addLayout(form);
  auto* nearest = new QRadioButton(qtext(kLabelNearestNeighbor), this);
  nearest->setObjectName(idName(InterpolationDialog::kCtlNearest));
  auto* linear = new QRadioButton(qtext(kLabelLinear), this);
  linear->setObjectName(idName(InterpolationDialog::kCtlLinear));
  linear->setChecked(p.linear);
  nearest->setEnabled(p.nearestEnabled());
  layout->addWidget(nearest);
  layout->addWidget(linear);
  auto update = [&p, fx, fy, fz, lz] {
    fx->setEnabled(p.factorXEnabled());
    fy->setEnabled(p.factorXEnabled());
    fz->setEnabled(p.factorZEnabled());
    lz->setEnabled(p.factorZEnabled());
  };
  update();
  connect(extract, &QCheckBox::toggled, this, [&p, update](bool on) {
    p.extractFromOutput = on;
    update();
  });
  QPushButton* ok = nullptr;
  okCancel(this, layout, &ok);
  connect(ok, &QPushButton::clicked, this, [this, &p, fx, fy, fz, linear] {
    p.factorX = fx->text().toStdString();
    p.factorY = fy->text().toStdString();
    p.factorZ = fz->text().toStdString();
    p.linear = linear->isChecked();
    if (p.accept()) accept();
  });
}

WeightsSourceView::WeightsSourceView(WeightsSourceDialog& p, QWidget* parent) : QDialog(parent) {
  setObjectName(idName(kDialogWeightsSource));
  setWindowTitle(qtext(kTitleDialog118));
  auto* layout = new QVBoxLayout(this);
  auto* fileButton = new QRadioButton(qtext(kLabelWeightsFile), this);
  fileButton->setObjectName(idName(WeightsSourceDialog::kFile));
  auto* volumeButton = new QRadioButton(qtext(kLabelWeightsVolume), this);
  volumeButton->setObjectName(idName(WeightsSourceDialog::kVolume));
  (p.chosen == WeightsSourceDialog::kVolume ? volumeButton : fileButton)->setChecked(true);
  layout->addWidget(fileButton);
  layout->addWidget(volumeButton);
  QPushButton* ok = nullptr;
  okCancel(this, layout, &ok);
  connect(ok, &QPushButton::clicked, this, [this, &p, volumeButton] {
    p.chosen =
        volumeButton->isChecked() ? WeightsSourceDialog::kVolume : WeightsSourceDialog::kFile;
    accept();
  });
}

BinaryInterpolationView::BinaryInterpolationView(BinaryInterpolationDialog& p, QWidget* parent)
    : QDialog(parent) {
  setObjectName(idName(kDialogBinaryInterpolation));
  setWindowTitle(qtext(kTitleDialog119));
  auto* layout = new QVBoxLayout(this);
  auto* coherence = new QCheckBox(qtext(kLabelEdgeCoherence), this);
  coherence->setObjectName(idName(BinaryInterpolationDialog::kCtlCoherence));
  coherence->setChecked(p.edgeCoherence);
  auto* one = new QRadioButton(qtext(kLabelOneFrameBetween), this);
  one->setObjectName(idName(BinaryInterpolationDialog::kCtlOne));
  auto* two = new QRadioButton(qtext(kLabelTwoFramesBetween), this);
  two->setObjectName(idName(BinaryInterpolationDialog::kCtlTwo));
  (p.twoFrames ? two : one)->setChecked(true);
  layout->addWidget(coherence);
  layout->addWidget(one);
  layout->addWidget(two);
  QPushButton* ok = nullptr;
  okCancel(this, layout, &ok);
  connect(ok, &QPushButton::clicked, this, [this, &p, coherence, two] {
    p.edgeCoherence = coherence->isChecked();
    p.twoFrames = two->isChecked();
    accept();
  });
}

FrameGalleryView::FrameGalleryView(FrameGalleryDialog& p, QWidget* parent) : QDialog(parent) {
  setObjectName(idName(kDialogFrameGallery));
  setWindowTitle(qtext(kTitleDialog111));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto* frames = field(this, FrameGalleryDialog::kCtlFramesPerRow);
  frames->setText(qs(p.framesPerRow));
  frames->selectAll();
  frames->setFocus();
  form->addRow(qtext(kLabelFramesPerRow), frames);
  layout->addLayout(form);
  auto* nearest = new QRadioButton(qtext(kLabelNearestNeighbor), this);
  nearest->setObjectName(idName(FrameGalleryDialog::kCtlNearest));
  auto* linear = new QRadioButton(qtext(kLabelLinear), this);
  linear->setObjectName(idName(FrameGalleryDialog::kCtlLinear));
  (p.linear ? linear : nearest)->setChecked(true);
  layout->addWidget(nearest);
  layout->addWidget(linear);
  QPushButton* ok = nullptr;
  okCancel(this, layout, &ok);
  connect(ok, &QPushButton::clicked, this, [this, &p, frames, linear] {
    p.framesPerRow = frames->text().toStdString();
    p.linear = linear->isChecked();
    if (p.accept()) accept();
  });
}

AlignmentView::AlignmentView(AlignmentDialog& p, QWidget* parent) : QDialog(parent) {
  setObjectName(idName(kDialogAlignment));
  setWindowTitle(qtext(kTitleDialog121));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto* lower = field(this, AlignmentDialog::kCtlLower);
  auto* upper = field(this, AlignmentDialog::kCtlUpper);
  lower->setText(qs(p.lower));
  upper->setText(qs(p.upper));
  form->addRow(qtext(kLabelLowerProcessedFrame), lower);
  form->addRow(qtext(kLabelUpperProcessedFrame), upper);
  layout->addLayout(form);
  QPushButton* ok = nullptr;
  okCancel(this, layout, &ok);
  connect(ok, &QPushButton::clicked, this, [this, &p, lower, upper] {
    p.lower = lower->text().toStdString();
    p.upper = upper->text().toStdString();
    if (p.accept()) accept();
  });
}

AboutView::AboutView(AboutDialog& p, QWidget* parent) : QDialog(parent) {
  setObjectName(idName(kDialogAbout));
  setWindowTitle(qtext(kTitleDialog120));
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(qs(p.text), this);
  label->setWordWrap(true);
  layout->addWidget(label);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(idName(kCtlOk));
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
}

}  // namespace v3d::shell::qt
