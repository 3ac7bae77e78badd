#include "volstore/qt/save_dialog.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>

#include "volstore/texts.h"

namespace v3d::volstore::qt {

SaveDialog::SaveDialog(QWidget* parent, const QString& title, const std::vector<FormatRow>& rows)
    : QFileDialog(parent, title), rows_(rows) {
  setObjectName(kSaveDialogName);
  setOption(QFileDialog::DontUseNativeDialog);
  // The overwrite question covers every file a choice writes (all frames of a sequence).
  setOption(QFileDialog::DontConfirmOverwrite);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  QStringList filters;
  for (const FormatRow& r : rows) filters << r.filter;
  setNameFilters(filters);
  compression_ = new QComboBox(this);
  compression_->setObjectName(kCompressionBoxName);
  compression_->addItem(kCompressionNone, V3D_TIFF_NONE);
  compression_->addItem(kCompressionLzw, V3D_TIFF_LZW);
  compression_->addItem(kCompressionDeflate, V3D_TIFF_DEFLATE);
  // Qt's own dialog lays itself out in a grid; our row goes under its file type row.
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    const int row = grid->rowCount();
    grid->addWidget(new QLabel(kCompressionLabel, this), row, 0);
    grid->addWidget(compression_, row, 1);
  }
  connect(this, &QFileDialog::filterSelected, this, &SaveDialog::formatChosen);
  formatChosen(selectedNameFilter());
}

int SaveDialog::formatIndex() const {
  const QString f = selectedNameFilter();
  for (std::size_t k = 0; k < rows_.size(); ++k)
    if (f == rows_[k].filter) return static_cast<int>(k);
  return 0;
}

int SaveDialog::compression() const {
  return rows_[static_cast<std::size_t>(formatIndex())].tiff ? compression_->currentData().toInt()
                                                             : V3D_TIFF_NONE;
}

void SaveDialog::formatChosen(const QString&) {
  compression_->setEnabled(rows_[static_cast<std::size_t>(formatIndex())].tiff);
}

std::optional<SaveChoice> askSave(
    QWidget* parent, const QString& title, const std::vector<FormatRow>& rows,
    const std::function<std::vector<std::string>(int, const std::string&)>& targets) {
  SaveDialog dialog(parent, title, rows);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    SaveChoice c;
    c.format = dialog.formatIndex();
    c.compression = dialog.compression();
    c.path = withExtension(dialog.selectedFiles().first().toStdString(),
                           rows[static_cast<std::size_t>(c.format)]);
    const auto existing = existingFiles(targets(c.format, c.path));
    if (existing.empty()) return c;
    const QString text = existing.size() == 1
                             ? QString(kReplaceOne).arg(QString::fromStdString(existing.front()))
                             : QString(kReplaceMany)
                                   .arg(existing.size())
                                   .arg(QString::fromStdString(existing.front()));
    if (QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) == QMessageBox::Yes)
      return c;
  }
}

}  // namespace v3d::volstore::qt
