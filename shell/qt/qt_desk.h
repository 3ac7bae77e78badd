// The desk of the real program: Qt dialogs on the presenters, message boxes captioned
// "VELMORA3D for Windows", the busy cursor, the save-file dialog.
#pragma once

#include <QPointer>
#include <QWidget>

#include "core/report.h"
#include "shell/desk.h"

namespace v3d::shell::qt {

class QtDesk : public Desk, public Reporter {
 public:
  explicit QtDesk(QWidget* frame) : frame_(frame) {}
  int run(VolumeDialog& d) override;
  int run(ValueDialog& d) override;
  int run(DisplayLevelsDialog& d) override;
  int run(InterpolationDialog& d) override;
  int run(WeightsSourceDialog& d) override;
  int run(BinaryInterpolationDialog& d) override;
  int run(AlignmentDialog& d) override;
  int run(AboutDialog& d) override;
  int run(OpenDialog& d) override;
  std::optional<std::string> saveFileName(const std::string& title,
                                          const std::string& filter) override;
  void showVolume(Volume* v) override;
  void refreshVolume(Volume* v) override;
  void closeWindowsOf(Volume* v) override;
  void setBusy(bool busy) override;
  void quit() override;
  bool openDisplay(Volume* v, bool colour, int lower, int upper, float delay) override;
  bool toggleCoordinates() override;
  bool openSectionView(Volume* v) override;
  bool openPlot(const std::string& title, const float* values) override;
  int pickSeeds(Volume* input, Volume* output) override;

  int showMessage(void* owner, std::string_view text, std::string_view caption, MessageIcon icon,
                  MessageButtons buttons) override;
  void restoreCursor() override;

 private:
  QPointer<QWidget> frame_;
  int busyDepth_ = 0;
};

}  // namespace v3d::shell::qt
