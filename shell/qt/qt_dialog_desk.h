// The dialogs part of the program's desk: the Qt views run modally on their presenters, the
// save-file dialog and the modeless seed picking dialog.
#pragma once

#include <QPointer>

#include "shell/dialog_desk.h"

namespace v3d::shell::qt {

class Frame;
class LabelledViewDialog;

// Dialogs and message boxes wait for the user: they show the arrow even while a command
// holds the busy cursor.
class ArrowCursor {
 public:
  ArrowCursor();
  ~ArrowCursor();
  ArrowCursor(const ArrowCursor&) = delete;
  ArrowCursor& operator=(const ArrowCursor&) = delete;
};

class QtDialogDesk : public virtual DialogDesk {
 public:
  explicit QtDialogDesk(Frame* frame);
  int run(VolumeDialog& d) override;
  int run(ValueDialog& d) override;
  int run(DisplayLevelsDialog& d) override;
  int run(InterpolationDialog& d) override;
  int run(WeightsSourceDialog& d) override;
  int run(BinaryInterpolationDialog& d) override;
  int run(AlignmentDialog& d) override;
  int run(AboutDialog& d) override;
  int run(FrameGalleryDialog& d) override;
  int run(OpenDialog& d) override;
  std::optional<std::string> openFileName(const std::string& title,
                                          const std::string& filter) override;
  std::optional<std::string> saveFileName(const std::string& title,
                                          const std::string& filter) override;
  int pickSeeds(Volume* input, Volume* output) override;
  bool openLabelledView(std::unique_ptr<LabelledView> view) override;
  void focusLabelledView() override;
  // The labelled view's dialog while it is open.
  LabelledViewDialog* labelledViewDialog() const;

 private:
  QPointer<Frame> frame_;
  QPointer<LabelledViewDialog> labelledView_;
};

}  // namespace v3d::shell::qt
