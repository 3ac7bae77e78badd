#include "shell/qt/updating_box.h"

#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/text_ids.h"
#include "shell/dialogs.h"
#include "shell/qt/qtext.h"

namespace v3d::shell::qt {

UpdatingBox::UpdatingBox(QWidget* owner) : QDialog(owner) {
  setObjectName(QString::number(kDialogUpdatingProjections));
  setWindowTitle(qtext(kTitleDialog125));
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(qtext(kTextPleaseWait), this));
  auto* form = new QFormLayout;
  title_ = new QLineEdit(this);
  title_->setObjectName(QString::number(kCtlWindowTitle));
  title_->setReadOnly(true);
  title_->setFocusPolicy(Qt::NoFocus);
  title_->setMinimumWidth(260);
  form->addRow(qtext(kLabelUpdating), title_);
  layout->addLayout(form);
}

void UpdatingBox::name(const QString& title) {
  title_->setText(title);
  if (!isVisible()) show();
  // The update that follows blocks the loop: the box is painted now, without taking input.
  QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QString UpdatingBox::named() const {
  return title_->text();
}

}  // namespace v3d::shell::qt
