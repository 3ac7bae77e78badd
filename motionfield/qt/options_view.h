// The Qt view of the "Block Matching Options" dialog, its warnings and its help viewer. The
// view only shows the presenter's state and forwards the user's actions; each control carries
// its control id as its object name ("1000" ... "1017", OK "1", Cancel "2").
#pragma once

#include <QDialog>
#include <map>
#include <string>

#include "motionfield/options.h"

class QLineEdit;
class QAbstractButton;
class QTextBrowser;

namespace v3d::motion::module::qt {

// Shows warning `id` of the module's string table: caption "Warning", the warning icon,
// modal over `parent`.
void showWarning(QWidget* parent, int id);

// A plain viewer of the module's help pages.
class HelpViewer : public QDialog {
 public:
  explicit HelpViewer(QWidget* parent = nullptr);
  // Shows `page`, titled with the page's own title; a short notice when it cannot be read.
  void showPage(const std::string& page);
  QTextBrowser* browser() const { return browser_; }

 private:
  QTextBrowser* browser_;
};

class OptionsView : public QDialog {
 public:
  // `modulePath` is the module's own file; the help pages lie in a folder beside it.
  OptionsView(OptionsPresenter& presenter, QWidget* parent, std::string modulePath);

  // The help viewer, once a help topic has been asked for.
  HelpViewer* helpViewer() const { return help_; }
  // Opens the help topic of a control; false when the control has none.
  bool showHelpFor(int controlId);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void sync();
  QLineEdit* addEdit(int id);
  void onFocusLost(int editId);

  OptionsPresenter& p_;
  std::string modulePath_;
  std::map<int, QLineEdit*> edits_;
  std::map<int, QAbstractButton*> buttons_;  // method buttons and check boxes
  HelpViewer* help_ = nullptr;
  bool warning_ = false;  // a focus-loss warning is on screen
};

}  // namespace v3d::motion::module::qt
