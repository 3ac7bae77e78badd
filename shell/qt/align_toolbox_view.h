// The "Align ToolBox" (dialog 112): the modeless tool box of a manual alignment, owned by the
// frame. It is the alignment's Qt views: it keeps the alignment window's picture and title and
// its own buttons up to date, routes the closing of either window to the closing question, and
// ends the alignment quietly when the frame closes or either window is destroyed.
#pragma once

#include <QDialog>
#include <QPointer>
#include <map>

#include "shell/alignment_toolbox.h"
#include "shell/qt/alignment_window.h"

class QMdiSubWindow;
class QPushButton;

namespace v3d::shell::qt {

class WindowRegistry;

class AlignToolBoxView : public QDialog, public AlignmentViews {
 public:
  AlignToolBoxView(AlignmentToolBox& box, AlignmentWindow* window, QMdiSubWindow* sub,
                   QWidget* frame);
  ~AlignToolBoxView() override;

  void alignmentChanged() override;
  void alignmentEnded() override;

  QPushButton* button(int id) const;
  AlignmentWindow* window() const { return window_.data(); }

 protected:
  void reject() override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Asks the closing question while the alignment runs.
  void askToClose();

  AlignmentToolBox* box_;
  QPointer<AlignmentWindow> window_;
  QPointer<QMdiSubWindow> sub_;
  QPointer<QWidget> frame_;
  std::map<int, QPushButton*> buttons_;
};

// Opens the alignment window in the frame's MDI area and the tool box owned by `frame`, both
// following `box`. 0, or kCannotAllocateBuffer / kCannotCreateWindow with nothing left open.
int openAlignmentViews(AlignmentToolBox& box, QWidget* frame, WindowRegistry& windows);

}  // namespace v3d::shell::qt
