#include "shell/qt/labelled_view_dialog.h"

#include <QAbstractSlider>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/text_ids.h"
#include "shell/dialogs.h"
#include "shell/qt/qtext.h"

namespace v3d::shell::qt {
namespace {

QString idName(int id) {
  return QString::number(id);
}

// A scroll bar's action as the presenter's: towards the right is up.
bool scrollAction(int action, ScrollAction* out) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      *out = ScrollAction::LineUp;
      return true;
    case QAbstractSlider::SliderSingleStepSub:
      *out = ScrollAction::LineDown;
      return true;
    case QAbstractSlider::SliderPageStepAdd:
      *out = ScrollAction::PageUp;
      return true;
    case QAbstractSlider::SliderPageStepSub:
      *out = ScrollAction::PageDown;
      return true;
    case QAbstractSlider::SliderToMinimum:
      *out = ScrollAction::Top;
      return true;
    case QAbstractSlider::SliderToMaximum:
      *out = ScrollAction::Bottom;
      return true;
    case QAbstractSlider::SliderMove:
      *out = ScrollAction::Thumb;
      return true;
    default:
      return false;
  }
}

}  // namespace

LabelledViewDialog::LabelledViewDialog(std::unique_ptr<LabelledView> view, QWidget* parent)
    : QDialog(parent), view_(std::move(view)) {
  setObjectName(idName(kDialogLabelledView));
  setWindowTitle(qtext(kTitleDialog122));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);

  auto* objectsLabel = new QLabel(qtext(kLabelObjects), this);
  objectsLabel->setObjectName(idName(LabelledView::kCtlObjectsLabel));
  list_ = new QListWidget(this);
  list_->setObjectName(idName(LabelledView::kCtlObjects));
  for (int k = 1; k <= view_->objects(); ++k) list_->addItem(qs(LabelledView::itemText(k)));
  objectsLabel->setBuddy(list_);

  display_ = new QCheckBox(qtext(kLabelDisplayObject), this);
  display_->setObjectName(idName(LabelledView::kCtlDisplayObject));

  auto* right = new QVBoxLayout;
  right->addWidget(display_);
  const int groupTitles[3] = {kLabelRed, kLabelGreen, kLabelBlue};
  const int editIds[3] = {LabelledView::kCtlRedEdit, LabelledView::kCtlGreenEdit,
                          LabelledView::kCtlBlueEdit};
  const int barIds[3] = {LabelledView::kCtlRedBar, LabelledView::kCtlGreenBar,
                         LabelledView::kCtlBlueBar};
  for (int c = 0; c < 3; ++c) {
    auto* group = new QGroupBox(qtext(groupTitles[c]), this);
    auto* row = new QHBoxLayout(group);
    auto* edit = new QLineEdit(group);
    edit->setObjectName(idName(editIds[c]));
    edit->setMaxLength(3);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    edit->installEventFilter(this);
    auto* bar = new QScrollBar(Qt::Horizontal, group);
    bar->setObjectName(idName(barIds[c]));
    bar->setRange(0, 255);
    bar->setSingleStep(1);
    bar->setPageStep(16);
    bar->setMinimumWidth(160);
    row->addWidget(edit);
    row->addWidget(bar, 1);
    right->addWidget(group);
    edits_[static_cast<std::size_t>(c)] = edit;
    bars_[static_cast<std::size_t>(c)] = bar;
    connect(bar, &QAbstractSlider::actionTriggered, this, [this, c](int a) { onScroll(c, a); });
    connect(edit, &QLineEdit::textEdited, this, [this, c](const QString& t) { onTyped(c, t); });
  }

  auto* previewRow = new QHBoxLayout;
  auto* previewLabel = new QLabel(qtext(kLabelColorPreview), this);
  preview_ = new QFrame(this);
  preview_->setObjectName(idName(LabelledView::kCtlPreview));
  static_cast<QFrame*>(preview_)->setFrameStyle(QFrame::Box | QFrame::Plain);
  preview_->setAutoFillBackground(true);
  preview_->setFixedSize(64, 32);
  previewRow->addWidget(previewLabel);
  previewRow->addWidget(preview_);
  previewRow->addStretch();
  right->addLayout(previewRow);
  right->addStretch();

  auto* left = new QVBoxLayout;
  left->addWidget(objectsLabel);
  left->addWidget(list_, 1);

  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addLayout(right, 1);

  auto makeButton = [this](int textId, int id) {
    auto* b = new QPushButton(qtext(textId), this);
    b->setObjectName(idName(id));
    b->setAutoDefault(false);  // Return in the dialog presses nothing
    return b;
  };
  updateAll_ = makeButton(kLabelUpdateAll, LabelledView::kCtlUpdateAll);
  updateCurrent_ = makeButton(kLabelUpdateCurrent, LabelledView::kCtlUpdateCurrent);
  close_ = makeButton(kLabelCloseView, LabelledView::kCtlClose);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(updateAll_);
  buttons->addWidget(updateCurrent_);
  buttons->addStretch();
  buttons->addWidget(close_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);

  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row < 0) return;
    view_->select(row + 1);
    sync();
  });
  connect(display_, &QCheckBox::toggled, this, [this](bool on) {
    view_->setVisible(on);
    syncButtons();
  });
  connect(updateAll_, &QPushButton::clicked, this, [this] {
    view_->updateAll();
    sync();
    list_->setFocus();
  });
  connect(updateCurrent_, &QPushButton::clicked, this, [this] {
    view_->updateCurrent();
    sync();
    list_->setFocus();
  });
  connect(close_, &QPushButton::clicked, this, &QWidget::close);

  list_->setCurrentRow(view_->current() - 1);
  sync();
  list_->setFocus();
}

LabelledViewDialog::~LabelledViewDialog() = default;

void LabelledViewDialog::placeAtBottomLeft() {
  const QScreen* screen = this->screen() ? this->screen() : QApplication::primaryScreen();
  if (screen == nullptr) return;
  adjustSize();
  const QRect area = screen->availableGeometry();
  const QSize outer = frameGeometry().size();
  move(area.left(), area.bottom() + 1 - outer.height());
}

void LabelledViewDialog::focusList() {
  raise();
  activateWindow();
  list_->setFocus();
}

void LabelledViewDialog::sync() {
  if (list_->currentRow() != view_->current() - 1) {
    const QSignalBlocker block(list_);
    list_->setCurrentRow(view_->current() - 1);
  }
  {
    const QSignalBlocker block(display_);
    display_->setChecked(view_->visible());
  }
  syncColour();
  // Programmatic text changes do not count as typing (textEdited), so no blocker is needed.
  for (int c = 0; c < 3; ++c)
    edits_[static_cast<std::size_t>(c)]->setText(QString::number(view_->component(c)));
  syncButtons();
}

void LabelledViewDialog::syncColour() {
  for (int c = 0; c < 3; ++c) {
    QScrollBar* bar = bars_[static_cast<std::size_t>(c)];
    const QSignalBlocker block(bar);
    bar->setValue(view_->component(c));
  }
  QPalette palette = preview_->palette();
  palette.setColor(QPalette::Window,
                   QColor(view_->component(0), view_->component(1), view_->component(2)));
  preview_->setPalette(palette);
  preview_->update();
}

void LabelledViewDialog::syncButtons() {
  updateAll_->setEnabled(view_->updateAllEnabled());
  updateCurrent_->setEnabled(view_->updateCurrentEnabled());
}

void LabelledViewDialog::onScroll(int channel, int action) {
  ScrollAction a{};
  if (!scrollAction(action, &a)) return;
  QScrollBar* bar = bars_[static_cast<std::size_t>(channel)];
  view_->scroll(channel, a, bar->sliderPosition());
  // The bar applies the position set here once this slot returns.
  bar->setSliderPosition(view_->component(channel));
  syncColour();
  edits_[static_cast<std::size_t>(channel)]->setText(QString::number(view_->component(channel)));
  syncButtons();
}

void LabelledViewDialog::onTyped(int channel, const QString& text) {
  QLineEdit* edit = edits_[static_cast<std::size_t>(channel)];
  if (!view_->typed(channel, text.toStdString())) {
    QApplication::beep();
    edit->setText(QString::number(view_->component(channel)));
    return;
  }
  syncColour();
  syncButtons();
}

bool LabelledViewDialog::eventFilter(QObject* watched, QEvent* event) {
  // Leaving a colour edit shows the stored value again.
  if (event->type() == QEvent::FocusOut)
    for (int c = 0; c < 3; ++c)
      if (watched == edits_[static_cast<std::size_t>(c)])
        edits_[static_cast<std::size_t>(c)]->setText(QString::number(view_->component(c)));
  return QDialog::eventFilter(watched, event);
}

void LabelledViewDialog::reject() {
  close();
}

void LabelledViewDialog::closeEvent(QCloseEvent* event) {
  if (!view_->requestClose()) {
    event->ignore();
    return;
  }
  event->accept();
  // The view is closed: the frame becomes the active window again.
  if (QWidget* owner = parentWidget(); owner && owner->isVisible()) owner->activateWindow();
}

}  // namespace v3d::shell::qt
