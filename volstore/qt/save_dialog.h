// The saver's file dialog: Qt's own (non-native) save dialog with the formats as filters and a
// compression choice under them, enabled for the TIFF formats; and the overwrite question.
#pragma once

#include <QFileDialog>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "volstore/saver.h"

class QComboBox;

namespace v3d::volstore::qt {

class SaveDialog : public QFileDialog {
 public:
  SaveDialog(QWidget* parent, const QString& title, const std::vector<FormatRow>& rows);
  int formatIndex() const;
  int compression() const;
  QComboBox* compressionBox() const { return compression_; }

 private:
  void formatChosen(const QString& filter);
  const std::vector<FormatRow>& rows_;
  QComboBox* compression_;
};

struct SaveChoice {
  int format = 0;
  int compression = V3D_TIFF_NONE;
  std::string path;  // with its format's extension
};

// Runs the dialog until the user cancels or chooses a name whose files (`targets` of the
// format and path) either do not exist or may be replaced.
std::optional<SaveChoice> askSave(
    QWidget* parent, const QString& title, const std::vector<FormatRow>& rows,
    const std::function<std::vector<std::string>(int format, const std::string& path)>& targets);

}  // namespace v3d::volstore::qt
