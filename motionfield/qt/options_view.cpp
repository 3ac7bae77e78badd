#include "motionfield/qt/options_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QDialogButtonBox>
#include <QFile>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "motionfield/help.h"
#include "motionfield/texts.h"

namespace v3d::motion::module::qt {
namespace {

QString fromView(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The control id a widget carries as its object name, or 0.
int controlIdOf(const QObject* o) {
  return o ? o->objectName().toInt() : 0;
}

struct Row {
  int id;
  const char* label;
};

}  // namespace

void showWarning(QWidget* parent, int id) {
  QMessageBox box(QMessageBox::Warning, kWarningCaption, fromView(warningText(id)), QMessageBox::Ok,
                  parent);
  box.exec();
}

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent) {
  setObjectName("help");
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("helpBrowser");
  browser_->setOpenLinks(true);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, this);
  layout->addWidget(close);
  connect(close, &QDialogButtonBox::rejected, this, &QDialog::close);
  resize(460, 320);
}

void HelpViewer::showPage(const std::string& page) {
  const QString file = QString::fromStdString(page);
  if (QFile::exists(file)) {
    browser_->setSource(QUrl::fromLocalFile(file));
    setWindowTitle(browser_->documentTitle());
  } else {
    browser_->setHtml("<p>The help page " + file.toHtmlEscaped() + " is not installed.</p>");
    setWindowTitle(kOptionsTitle);
  }
  show();
  raise();
  activateWindow();
}

OptionsView::OptionsView(OptionsPresenter& presenter, QWidget* parent, std::string modulePath)
    : QDialog(parent), p_(presenter), modulePath_(std::move(modulePath)) {
  setObjectName("101");
  setWindowTitle(kOptionsTitle);
  installEventFilter(this);

  const auto editGroup = [&](const char* title, std::initializer_list<Row> rows) {
    auto* box = new QGroupBox(title, this);
    auto* grid = new QGridLayout(box);
    int r = 0;
    for (const Row& row : rows) {
      QLineEdit* edit = addEdit(row.id);
      auto* label = new QLabel(row.label, box);
      label->setBuddy(edit);
      edit->setParent(box);
      grid->addWidget(label, r, 0);
      grid->addWidget(edit, r, 1);
      ++r;
    }
    return box;
  };
  const auto buttonGroup = [&](const char* title, std::initializer_list<Row> rows, bool radio) {
    auto* box = new QGroupBox(title, this);
    auto* column = new QVBoxLayout(box);
    for (const Row& row : rows) {
      QAbstractButton* b = radio ? static_cast<QAbstractButton*>(new QRadioButton(row.label, box))
                                 : new QCheckBox(row.label, box);
      b->setObjectName(QString::number(row.id));
      b->installEventFilter(this);
      buttons_[row.id] = b;
      column->addWidget(b);
      const int id = row.id;
      connect(b, &QAbstractButton::toggled, this, [this, id, radio](bool on) {
        if (radio) {
          if (on) p_.choose(id);
        } else {
          p_.setChecked(id, on);
        }
        sync();
      });
    }
    return box;
  };

  auto* left = new QVBoxLayout;
  left->addWidget(editGroup(
      "Block Size", {{kCtlWidth, "Width :"}, {kCtlHeight, "Height :"}, {kCtlDepth, "Depth :"}}));
  left->addWidget(
      editGroup("Overlapping", {{kCtlOverlapX, "Overlap X :"}, {kCtlOverlapY, "Overlap Y :"}}));
  left->addWidget(
      editGroup("Search Region", {{kCtlSearchX, "Search X :"}, {kCtlSearchY, "Search Y :"}}));
  left->addStretch(1);

  auto* right = new QVBoxLayout;
  right->addWidget(
      buttonGroup("Search Method",
                  {{kCtlLogarithmic, "Logarithmic Search"},
                   {kCtlThreeStep, "Three Step Search"},
                   {kCtlConjugateDirection, "One at a time Conjugate Direction Search"},
                   {kCtlOrthogonal, "Orthogonal Search"},
                   {kCtlFullSearch, "Full Search"}},
                  true));
  right->addWidget(buttonGroup("Display Options",
                               {{kCtlDrawField, "Draw M. Field"},
                                {kCtlSubsampled, "Subsampled"},
                                {kCtlDisplayX, "Display  X  Displacement."},
                                {kCtlDisplayY, "Display  Y  Displacement."},
                                {kCtlAmplitude, "Display MV Amplitude."}},
                               false));
  right->addStretch(1);

  auto* ok = new QPushButton("OK", this);
  ok->setObjectName(QString::number(kCtlOk));
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName(QString::number(kCtlCancel));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  auto* columns = new QHBoxLayout;
  columns->addLayout(left);
  columns->addLayout(right);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  sync();
}

QLineEdit* OptionsView::addEdit(int id) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QString::number(id));
  edit->setMaxLength(kMaxEditDigits);
  edit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QString("[0-9]{0,%1}").arg(kMaxEditDigits)), edit));
  edit->setFixedWidth(72);
  edit->installEventFilter(this);
  edits_[id] = edit;
  connect(edit, &QLineEdit::textChanged, this, [this, id](const QString& text) {
    p_.setText(id, text.toStdString());
    sync();
  });
  return edit;
}

void OptionsView::sync() {
  for (auto& [id, edit] : edits_) {
    const QString text = QString::fromStdString(p_.text(id));
    if (edit->text() != text) {
      const QSignalBlocker block(edit);
      edit->setText(text);
    }
    edit->setEnabled(p_.enabled(id));
  }
  for (auto& [id, button] : buttons_) {
    if (button->isChecked() != p_.checked(id)) {
      const QSignalBlocker block(button);
      button->setChecked(p_.checked(id));
    }
    button->setEnabled(p_.enabled(id));
  }
}

void OptionsView::onFocusLost(int editId) {
  const int warning = p_.focusLost(editId);
  if (warning == 0) return;
  sync();
  warning_ = true;
  showWarning(this, warning);
  warning_ = false;
  if (QLineEdit* edit = edits_[editId]) edit->setFocus(Qt::OtherFocusReason);
}

bool OptionsView::showHelpFor(int controlId) {
  const int topic = helpTopicOfControl(controlId);
  if (topic == kNoHelpTopic) return false;
  if (help_ == nullptr) help_ = new HelpViewer(this);
  help_->showPage(helpPagePath(modulePath_, topic));
  return true;
}

bool OptionsView::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::FocusOut: {
      const int id = controlIdOf(watched);
      const auto reason = static_cast<QFocusEvent*>(event)->reason();
      // Leaving the window keeps the focus on the edit; only a move inside the dialog is a
      // loss of focus worth checking.
      if ((id == kCtlOverlapX || id == kCtlOverlapY) && !warning_ && isVisible() &&
          reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
        onFocusLost(id);
      break;
    }
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
        // The control with the focus, or else the one under the pointer.
        if (!showHelpFor(controlIdOf(QApplication::focusWidget())))
          showHelpFor(controlIdOf(QApplication::widgetAt(QCursor::pos())));
        return true;
      }
      break;
    case QEvent::WhatsThis:
      return showHelpFor(controlIdOf(watched));
    case QEvent::ContextMenu:
      // Controls without a topic keep their usual menu.
      return showHelpFor(controlIdOf(watched));
    default:
      break;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace v3d::motion::module::qt
