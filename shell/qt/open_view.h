// The open dialog: a non-native file dialog with the program's panel under it.
#pragma once

#include <QFileDialog>

#include "shell/open_dialog.h"

namespace v3d::shell::qt {

class OpenDialogView : public QFileDialog {
 public:
  OpenDialogView(OpenDialog& presenter, QWidget* parent = nullptr);
  void accept() override;

 private:
  void applyStates();
  void pushFields();
  // The file last made current in the list: its base name and sequence into the fields.
  void takeClickedFile();
  OpenDialog& p_;
  QString clicked_;
  QWidget* panel_;
};

}  // namespace v3d::shell::qt
