// A desk that passes every call on to another desk. The macro recorder and player derive from
// it and take over the calls they need (the dialogs); the windows stay the inner desk's.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "shell/desk.h"
#include "shell/labelled_view.h"

namespace v3d::shell {

class ForwardingDesk : public Desk {
 public:
  explicit ForwardingDesk(Desk& inner) : inner_(inner) {}
  Desk& inner() { return inner_; }

  int run(VolumeDialog& d) override { return inner_.run(d); }
  int run(ValueDialog& d) override { return inner_.run(d); }
  int run(DisplayLevelsDialog& d) override { return inner_.run(d); }
  int run(InterpolationDialog& d) override { return inner_.run(d); }
  int run(WeightsSourceDialog& d) override { return inner_.run(d); }
  int run(BinaryInterpolationDialog& d) override { return inner_.run(d); }
  int run(AlignmentDialog& d) override { return inner_.run(d); }
  int run(AboutDialog& d) override { return inner_.run(d); }
  int run(FrameGalleryDialog& d) override { return inner_.run(d); }
  int run(OpenDialog& d) override { return inner_.run(d); }
  std::optional<std::string> openFileName(const std::string& title,
                                          const std::string& filter) override {
    return inner_.openFileName(title, filter);
  }
  std::optional<std::string> saveFileName(const std::string& title,
                                          const std::string& filter) override {
    return inner_.saveFileName(title, filter);
  }
  int pickSeeds(Volume* input, Volume* output) override { return inner_.pickSeeds(input, output); }
  bool openLabelledView(std::unique_ptr<LabelledView> view) override {
    return inner_.openLabelledView(std::move(view));
  }
  void focusLabelledView() override { inner_.focusLabelledView(); }

  void showVolume(Volume* v) override { inner_.showVolume(v); }
  void refreshVolume(Volume* v) override { inner_.refreshVolume(v); }
  void closeWindowsOf(Volume* v) override { inner_.closeWindowsOf(v); }
  bool openDisplay(Volume* v, bool colour, int lower, int upper, float delay) override {
    return inner_.openDisplay(v, colour, lower, upper, delay);
  }
  bool toggleCoordinates() override { return inner_.toggleCoordinates(); }
  bool openSectionView(Volume* v) override { return inner_.openSectionView(v); }
  bool openPlot(const std::string& title, const float* values256) override {
    return inner_.openPlot(title, values256);
  }
  bool showProjection(ProjectionPtr projection, BufferPtr buffer,
                      const std::string& title) override {
    return inner_.showProjection(std::move(projection), std::move(buffer), title);
  }
  int openAlignment(AlignmentToolBox& toolBox) override { return inner_.openAlignment(toolBox); }
  bool openContourPair(ContourSession& session, std::function<void()> closed) override {
    return inner_.openContourPair(session, std::move(closed));
  }
  void closeContourPair() override { inner_.closeContourPair(); }
  void showUpdatingBox(const std::string& windowTitle) override {
    inner_.showUpdatingBox(windowTitle);
  }
  void closeUpdatingBox() override { inner_.closeUpdatingBox(); }
  void setBusy(bool busy) override { inner_.setBusy(busy); }
  void checkCommand(int id, bool checked) override { inner_.checkCommand(id, checked); }
  void showStatus(const std::string& text) override { inner_.showStatus(text); }
  int runLong(LongWork& work) override { return inner_.runLong(work); }
  void quit() override { inner_.quit(); }

 private:
  Desk& inner_;
};

}  // namespace v3d::shell
