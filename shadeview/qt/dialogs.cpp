#include "shadeview/qt/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "shadeview/commands.h"
#include "shadeview/module_texts.h"
#include "shadeview/qt/render_view.h"

namespace v3d::shade::qt {
namespace {

QPointer<ColourDialog> g_colours;

// The owner-drawn preview button: a rectangle in the current entry's colour.
class Preview final : public QWidget {
 public:
  explicit Preview(ColourPresenter& p) : presenter_(p) {
    setObjectName(QString::number(kCtlPreview));
    setMinimumSize(48, 24);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const auto c = presenter_.preview();
    painter.fillRect(rect(), QColor(c[0], c[1], c[2]));
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
  }

 private:
  ColourPresenter& presenter_;
};

QString filters(bool scriptsOnly) {
  return scriptsOnly ? QString(kScriptFilter)
                     : QString(kScriptFilter) + ";;" + QString(kAllFilesFilter);
}

std::optional<std::string> runFileDialog(QFileDialog& dialog) {
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

}  // namespace

std::optional<std::string> AskText(QWidget* parent, const char* title, const char* prompt) {
  QDialog d(parent);
  d.setObjectName("102");
  d.setWindowTitle(title);
  auto* label = new QLabel(prompt, &d);
  label->setObjectName("1001");
  auto* edit = new QLineEdit(&d);
  edit->setObjectName("1000");
  auto* ok = new QPushButton("OK", &d);
  ok->setObjectName("1");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", &d);
  cancel->setObjectName("2");
  auto* layout = new QGridLayout(&d);
  layout->addWidget(label, 0, 0);
  layout->addWidget(edit, 0, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons, 1, 0, 1, 2);
  QObject::connect(ok, &QPushButton::clicked, &d, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &d, &QDialog::reject);
  edit->setFocus();
  if (d.exec() != QDialog::Accepted) return std::nullopt;
  return textEntryValue(edit->text().toStdString());
}

std::optional<std::string> AskSaveScript(QWidget* parent, const char* title) {
  QFileDialog dialog(parent, title);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(filters(false).split(";;"));
  return runFileDialog(dialog);
}

std::optional<std::string> AskOpenScript(QWidget* parent, const char* title, bool scriptsOnly) {
  QFileDialog dialog(parent, title);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(filters(scriptsOnly).split(";;"));
  return runFileDialog(dialog);
}

ColourDialog::ColourDialog(RenderView* view, QWidget* parent) : QDialog(parent) {
  setObjectName("101");
  setWindowTitle(kColoursTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  QPointer<RenderView> target(view);
  presenter_ = std::make_unique<ColourPresenter>(
      view != nullptr ? view->looks() : std::vector<ObjectLook>{},
      [target](int index, const ObjectLook& look) {
        if (target) target->setLook(index, look);
      },
      [target] {
        if (target) target->update();
      });

  list_ = new QListWidget(this);
  list_->setObjectName(QString::number(kCtlObjectList));
  for (const std::string& label : presenter_->labels())
    list_->addItem(QString::fromStdString(label));
  display_ = new QCheckBox("Display Object", this);
  display_->setObjectName(QString::number(kCtlDisplayObject));

  auto* components = new QVBoxLayout;
  const char* names[3] = {"Red", "Green", "Blue"};
  const int editIds[3] = {kCtlRedEdit, kCtlGreenEdit, kCtlBlueEdit};
  const int barIds[3] = {kCtlRedBar, kCtlGreenBar, kCtlBlueBar};
  for (int c = 0; c < 3; ++c) {
    auto* group = new QGroupBox(names[c], this);
    auto* row = new QHBoxLayout(group);
    edits_[c] = new QLineEdit(group);
    edits_[c]->setObjectName(QString::number(editIds[c]));
    edits_[c]->setMaxLength(3);
    edits_[c]->setFixedWidth(48);
    edits_[c]->installEventFilter(this);
    bars_[c] = new QScrollBar(Qt::Horizontal, group);
    bars_[c]->setObjectName(QString::number(barIds[c]));
    bars_[c]->setRange(0, 255);
    bars_[c]->setPageStep(88);
    bars_[c]->setMinimumWidth(160);
    row->addWidget(edits_[c]);
    row->addWidget(bars_[c]);
    components->addWidget(group);

    connect(edits_[c], &QLineEdit::textEdited, this, [this, c](const QString& text) {
      if (showing_) return;
      if (!presenter_->edit(c, text.toStdString())) {
        QApplication::beep();
        edits_[c]->setText(QString::fromStdString(presenter_->text(c)));
      }
      showing_ = true;
      bars_[c]->setValue(presenter_->component(c));
      showing_ = false;
      updateButtons();
    });
    connect(bars_[c], &QScrollBar::actionTriggered, this, [this, c](int action) {
      if (showing_) return;
      Scroll s = Scroll::Thumb;
      switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
          s = Scroll::LineLeft;
          break;
        case QAbstractSlider::SliderSingleStepAdd:
          s = Scroll::LineRight;
          break;
        case QAbstractSlider::SliderPageStepSub:
          s = Scroll::PageLeft;
          break;
        case QAbstractSlider::SliderPageStepAdd:
          s = Scroll::PageRight;
          break;
        case QAbstractSlider::SliderToMinimum:
          s = Scroll::LeftEnd;
          break;
        case QAbstractSlider::SliderToMaximum:
          s = Scroll::RightEnd;
          break;
        default:
          break;
      }
      presenter_->scroll(c, s, bars_[c]->sliderPosition());
      // The presenter's value stands over the slider's own step.
      showing_ = true;
      bars_[c]->setSliderPosition(presenter_->component(c));
      edits_[c]->setText(QString::fromStdString(presenter_->text(c)));
      showing_ = false;
      updateButtons();
    });
  }

  updateAll_ = new QPushButton("Update All", this);
  updateAll_->setObjectName(QString::number(kCtlUpdateAll));
  updateAll_->setDefault(true);
  updateCurrent_ = new QPushButton("Update Current", this);
  updateCurrent_->setObjectName(QString::number(kCtlUpdateCurrent));
  auto* close = new QPushButton("Close", this);
  close->setObjectName(QString::number(kCtlClose));
  preview_ = new Preview(*presenter_);

  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel("Objects:", this));
  left->addWidget(list_);
  left->addWidget(display_);
  auto* previewRow = new QHBoxLayout;
  previewRow->addWidget(new QLabel("Color Preview:", this));
  previewRow->addWidget(preview_);
  components->addLayout(previewRow);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(updateAll_);
  buttons->addWidget(updateCurrent_);
  buttons->addWidget(close);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addLayout(components);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  connect(list_, &QListWidget::currentRowChanged, this, [this](int row) {
    if (showing_) return;
    presenter_->select(row);
    showCurrent();
  });
  connect(display_, &QCheckBox::toggled, this, [this](bool on) {
    if (showing_) return;
    presenter_->setPendingVisible(on);
    updateButtons();
  });
  connect(updateCurrent_, &QPushButton::clicked, this, [this] {
    presenter_->updateCurrent();
    updateButtons();
    list_->setFocus();
  });
  connect(updateAll_, &QPushButton::clicked, this, [this] {
    presenter_->updateAll();
    updateButtons();
    list_->setFocus();
  });
  connect(close, &QPushButton::clicked, this, &QDialog::close);

  QApplication::setOverrideCursor(Qt::WaitCursor);
  showing_ = true;
  list_->setCurrentRow(presenter_->current());
  showing_ = false;
  showCurrent();
  QApplication::restoreOverrideCursor();
  list_->setFocus();
}

void ColourDialog::showCurrent() {
  showing_ = true;
  display_->setChecked(presenter_->pendingVisible());
  for (int c = 0; c < 3; ++c) {
    edits_[c]->setText(QString::fromStdString(presenter_->text(c)));
    bars_[c]->setValue(presenter_->component(c));
  }
  showing_ = false;
  updateButtons();
}

void ColourDialog::updateButtons() {
  updateCurrent_->setEnabled(presenter_->updateCurrentEnabled());
  updateAll_->setEnabled(presenter_->updateAllEnabled());
  preview_->update();
}

bool ColourDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut)
    for (int c = 0; c < 3; ++c)
      if (watched == edits_[c]) edits_[c]->setText(QString::fromStdString(presenter_->text(c)));
  return QDialog::eventFilter(watched, event);
}

ColourDialog* OpenColourDialog(RenderView* view, QWidget* parent) {
  if (g_colours) return g_colours;
  g_colours = new ColourDialog(view, parent);
  g_colours->show();
  return g_colours;
}

ColourDialog* CurrentColourDialog() {
  return g_colours;
}

}  // namespace v3d::shade::qt
