#include "shell/qt/open_view.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>

#include "core/text_ids.h"
#include "shell/dialogs.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/qtext.h"

namespace v3d::shell::qt {
namespace {

QString filterOf(int kind) {
  const OpenKind& k = openKind(kind);
  return QString("%1 (%2)").arg(qtext(k.filterText), QString(k.patterns).replace(';', ' '));
}

template <class W>
W* named(QWidget* parent, int id) {
  return parent->findChild<W*>(QString::number(id));
}

}  // namespace

OpenDialogView::OpenDialogView(OpenDialog& presenter, QWidget* parent)
    : QFileDialog(parent, qtext(kTitleOpen)), p_(presenter), panel_(new QWidget(this)) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::ReadOnly, false);
  setFileMode(QFileDialog::AnyFile);
  setAcceptMode(QFileDialog::AcceptOpen);
  setObjectName(QString::number(kDialogOpen));
  QStringList filters;
  for (int k = 1; k <= kOpenKinds; ++k) filters << filterOf(k);
  setNameFilters(filters);
  selectNameFilter(filters[p_.kind() - 1]);
  setLabelText(QFileDialog::FileName, qtext(kLabelBaseFileName));

  auto* grid = new QGridLayout(panel_);
  grid->setContentsMargins(0, 6, 0, 0);
  auto edit = [this](int id) {
    auto* e = new QLineEdit(panel_);
    e->setObjectName(QString::number(id));
    return e;
  };
  auto* lower = edit(kOpenLower);
  auto* upper = edit(kOpenUpper);
  lower->setText(QString::fromStdString(p_.lower));
  upper->setText(QString::fromStdString(p_.upper));
  auto* width = edit(kOpenWidth);
  auto* height = edit(kOpenHeight);
  auto* digits = new QSpinBox(panel_);
  digits->setObjectName(QString::number(kOpenDigitsSpin));
  digits->setRange(0, 9);
  auto* types = new QComboBox(panel_);
  types->setObjectName(QString::number(kOpenDataType));
  types->addItem(qtext(kTextTypeUC), V3D_UC);
  types->addItem(qtext(kTextTypeF), V3D_F);
  types->addItem(qtext(kTextTypeI), V3D_I);
  auto* colours = new QComboBox(panel_);
  colours->setObjectName(QString::number(kOpenColorType));
  colours->addItem(qtext(kTextOpenOneChannel), V3D_ONE_CHANNEL);
  colours->addItem(qtext(kTextOpenThreeChannel), V3D_THREE_CHANNELS);
  grid->addWidget(new QLabel(qtext(kLabelOpenLower), panel_), 0, 0);
  grid->addWidget(lower, 0, 1);
  grid->addWidget(new QLabel(qtext(kLabelOpenUpper), panel_), 0, 2);
  grid->addWidget(upper, 0, 3);
  grid->addWidget(new QLabel(qtext(kLabelOpenDigits), panel_), 0, 4);
  grid->addWidget(digits, 0, 5);
  grid->addWidget(new QLabel(qtext(kLabelOpenWidth), panel_), 1, 0);
  grid->addWidget(width, 1, 1);
  grid->addWidget(new QLabel(qtext(kLabelOpenHeight), panel_), 1, 2);
  grid->addWidget(height, 1, 3);
  grid->addWidget(new QLabel(qtext(kLabelOpenDataType), panel_), 2, 0);
  grid->addWidget(types, 2, 1);
  grid->addWidget(new QLabel(qtext(kLabelOpenColorType), panel_), 2, 2);
  grid->addWidget(colours, 2, 3);
  for (int i = 0; i < 3; ++i) {
    grid->addWidget(new QLabel(qtext(kLabelOpenChannel1 + i), panel_), 3, i * 2);
    auto* e = edit(kOpenExt1 + i);
    e->setMaxLength(9);
    grid->addWidget(e, 3, i * 2 + 1);
  }
  if (auto* layout = qobject_cast<QGridLayout*>(this->layout()))
    layout->addWidget(panel_, layout->rowCount(), 0, 1, layout->columnCount());

  connect(this, &QFileDialog::filterSelected, this, [this](const QString& f) {
    pushFields();
    p_.setKind(static_cast<int>(nameFilters().indexOf(f)) + 1);
    applyStates();
  });
  connect(colours, &QComboBox::currentIndexChanged, this, [this](int row) {
    pushFields();
    p_.setColorRow(row);
    applyStates();
  });
  connect(types, &QComboBox::currentIndexChanged, this, [this](int row) { p_.setTypeRow(row); });
  // A click makes the file current before the file dialog selects it, and the selection
  // writes the full file name into the name field: the base name goes in once both are done.
  connect(this, &QFileDialog::currentChanged, this, [this](const QString& path) {
    clicked_ = path;
    QTimer::singleShot(0, this, [this] { takeClickedFile(); });
  });
  applyStates();
}

void OpenDialogView::takeClickedFile() {
  const QFileInfo info(clicked_);
  if (clicked_.isEmpty() || info.isDir()) return;
  std::vector<std::string> folder;
  for (const QString& name : info.dir().entryList(QDir::Files))
    folder.push_back(QFile::encodeName(name).toStdString());
  pushFields();
  if (p_.fileClicked(QFile::encodeName(info.fileName()).toStdString(), folder)) {
    named<QLineEdit>(panel_, kOpenLower)->setText(QString::fromStdString(p_.lower));
    named<QLineEdit>(panel_, kOpenUpper)->setText(QString::fromStdString(p_.upper));
    if (p_.digitsEnabled()) {
      int digits = 0;
      parseInt(p_.digits, digits);
      named<QSpinBox>(panel_, kOpenDigitsSpin)->setValue(digits);
    }
  }
  if (auto* name = findChild<QLineEdit*>("fileNameEdit"))
    name->setText(QFile::decodeName(p_.fileName.c_str()));
}

void OpenDialogView::applyStates() {
  // The lists' own signals would re-enter here; the presenter already holds their state.
  const QSignalBlocker typeBlock(named<QComboBox>(panel_, kOpenDataType));
  const QSignalBlocker colourBlock(named<QComboBox>(panel_, kOpenColorType));
  setLabelText(QFileDialog::FileName, qtext(p_.fileNameLabel()));
  named<QComboBox>(panel_, kOpenDataType)->setEnabled(p_.typeListEnabled());
  named<QComboBox>(panel_, kOpenDataType)->setCurrentIndex(p_.typeRow());
  named<QComboBox>(panel_, kOpenColorType)->setEnabled(p_.colorListEnabled());
  named<QComboBox>(panel_, kOpenColorType)->setCurrentIndex(p_.kind() <= 5 ? -1 : p_.colorRow());
  named<QLineEdit>(panel_, kOpenWidth)->setEnabled(p_.sizeEnabled());
  named<QLineEdit>(panel_, kOpenHeight)->setEnabled(p_.sizeEnabled());
  named<QLineEdit>(panel_, kOpenExt1)->setEnabled(p_.ext1Enabled());
  named<QLineEdit>(panel_, kOpenExt2)->setEnabled(p_.ext23Enabled());
  named<QLineEdit>(panel_, kOpenExt3)->setEnabled(p_.ext23Enabled());
  for (int i = 0; i < 3; ++i)
    named<QLineEdit>(panel_, kOpenExt1 + i)
        ->setText(QString::fromStdString(p_.extensions[static_cast<std::size_t>(i)]));
  named<QSpinBox>(panel_, kOpenDigitsSpin)->setEnabled(p_.digitsEnabled());
}

void OpenDialogView::pushFields() {
  p_.lower = named<QLineEdit>(panel_, kOpenLower)->text().toStdString();
  p_.upper = named<QLineEdit>(panel_, kOpenUpper)->text().toStdString();
  p_.width = named<QLineEdit>(panel_, kOpenWidth)->text().toStdString();
  p_.height = named<QLineEdit>(panel_, kOpenHeight)->text().toStdString();
  p_.digits = std::to_string(named<QSpinBox>(panel_, kOpenDigitsSpin)->value());
  for (int i = 0; i < 3; ++i)
    p_.extensions[static_cast<std::size_t>(i)] =
        named<QLineEdit>(panel_, kOpenExt1 + i)->text().toStdString();
}

void OpenDialogView::accept() {
  pushFields();
  QString name;
  if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) name = edit->text();
  // The name field holds a base name; it is taken with the current directory.
  if (!name.isEmpty() && QFileInfo(name).isRelative()) name = directory().filePath(name);
  // A folder typed into the name field is opened, as the file dialog does on its own.
  if (!name.isEmpty() && QFileInfo(name).isDir()) {
    setDirectory(name);
    if (auto* edit = findChild<QLineEdit*>("fileNameEdit")) edit->clear();
    return;
  }
  p_.fileName = name.toStdString();
  if (p_.accept()) QDialog::accept();
}

}  // namespace v3d::shell::qt
