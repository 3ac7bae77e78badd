// A desk that answers from a script: volume choices, values, questions and file names come
// from a queue; messages, shown volumes and dialogs are recorded. Tests drive whole menu
// commands through it; it is also the seed of a batch mode.
#pragma once

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/report.h"
#include "shell/alignment_toolbox.h"
#include "shell/desk.h"
#include "shell/dialogs.h"

namespace v3d::shell {

struct Step {
  enum Kind { Pick, Destroy, Values, Yes, No, Ok, Cancel, File, Choose, Open } kind;
  std::string label;                        // Pick, Destroy: the list entry; File: the name
  std::vector<std::string> texts;           // Values: field texts; Pick: X, Y, Z fields
  std::optional<std::string> information;   // Pick: typed into "Information:"
  std::optional<std::array<std::string, 6>> voi;  // Pick: typed VOI (turns "Change VOI" on)
  bool cancelAfterTyping = false;           // Values: typed, then Cancel
  int choice = 0;                           // Choose: a button id or list row
};

// Script helpers.
Step pick(const std::string& label);
Step pickNew(int index, int X, int Y, int Z);
Step withInformation(Step s, const std::string& info);
Step withVoi(Step s, std::array<std::string, 6> voi);
Step withDims(Step s, const std::string& X, const std::string& Y, const std::string& Z);
Step values(std::vector<std::string> texts);
Step valuesThenCancel(std::vector<std::string> texts);
Step destroyEntry(const std::string& label);
Step yes();
Step no();
Step ok();
Step cancel();
Step file(const std::string& name);
Step choose(int idOrRow);
// The open dialog: kind 1 to 7, the file picked, the frame range, and for raw data the size,
// the data type row and the colour row; `digits` the digit field.
Step openFiles(int kind, const std::string& file, int lower, int upper, int digits = 0,
               int width = 0, int height = 0, int typeRow = 0, int colorRow = 0);

struct ShownMessage {
  std::string text, caption;
  MessageIcon icon;
  MessageButtons buttons;
};

// The scripted desk's views of a manual alignment: they count what the alignment tells them,
// and tests press the tool box's buttons through them.
class ScriptedAlignmentViews : public AlignmentViews {
 public:
  ~ScriptedAlignmentViews() override;  // ends an alignment still shown here
  void alignmentChanged() override { ++changes; }
  void alignmentEnded() override {
    toolBox = nullptr;
    ++ended;
  }
  // Presses a button of the open tool box (a Quit asks the question from the script); false
  // when no tool box is open or the button is disabled.
  bool press(int button);

  AlignmentToolBox* toolBox = nullptr;  // while the alignment runs
  int opened = 0, changes = 0, ended = 0;
  int openResult = 0;  // what opening answers: 0, or a window's failure code
};

// The windows part of the scripted desk: it records what was shown, refreshed, closed and
// opened.
class ScriptedWindowDesk : public virtual WindowDesk {
 public:
  // Both also bring the recorded projections of the volume up to date, as the windows would.
  void showVolume(Volume* v) override;
  void refreshVolume(Volume* v) override;
  // Also ends an alignment and closes the contour pair when `v` is one of their volumes, as a
  // window would.
  void closeWindowsOf(Volume* v) override;
  bool openDisplay(Volume* v, bool colour, int lower, int upper, float delay) override;
  bool toggleCoordinates() override { return coordinatesShown = !coordinatesShown; }
  bool openSectionView(Volume* v) override {
    sectionViews.push_back(v);
    return true;
  }
  bool openPlot(const std::string& title, const float* values) override;
  bool showProjection(ProjectionPtr projection, BufferPtr buffer,
                      const std::string& title) override;
  int openAlignment(AlignmentToolBox& toolBox) override;
  bool openContourPair(ContourSession& session, std::function<void()> closed) override;
  void closeContourPair() override;
  // The user closes a window of the open contour pair.
  void closeContourPairWindow();
  void showUpdatingBox(const std::string& windowTitle) override;
  void closeUpdatingBox() override;

  // What happened.
  std::vector<Volume*> shown;
  std::vector<Volume*> refreshed;
  std::vector<Volume*> closed;
  struct DisplayOpened {
    Volume* volume;
    bool colour;
    int lower, upper;
    float delay;
  };
  std::vector<DisplayOpened> displays;
  std::vector<Volume*> sectionViews;
  struct PlotOpened {
    std::string title;
    std::vector<float> values;
  };
  std::vector<PlotOpened> plots;
  struct ProjectionShown {  // kept (and freed) by the desk, as a window would
    ProjectionPtr projection;
    BufferPtr buffer;
    std::string title;
  };
  std::vector<ProjectionShown> projections;
  bool coordinatesShown = false;
  ScriptedAlignmentViews alignment;
  ContourSession* contourPair = nullptr;  // the session of the open contour pair
  int contourPairsOpened = 0;
  bool failContourPair = false;  // set: the pair's windows cannot be made
  // The "Updating projections ..." box: every window title it named, how often it was
  // removed, and whether it is up now.
  std::vector<std::string> updatingTitles;
  int updatingBoxesClosed = 0;
  bool updatingBoxShown = false;

 private:
  std::function<void()> contourPairClosed_;
  void updateRecordedProjections(Volume* v);
};

// The scripted desk: dialogs answered from the script, windows recorded.
class ScriptedDesk : public Desk, public ScriptedWindowDesk, public Reporter {
 public:
  ScriptedDesk();
  ~ScriptedDesk() override;

  void script(std::initializer_list<Step> steps);

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
  std::optional<std::string> saveFileName(const std::string& title,
                                          const std::string& filter) override;
  // Answered by a File step, like saveFileName.
  std::optional<std::string> openFileName(const std::string& title,
                                          const std::string& filter) override;
  // A Values step of "x y z" texts is the clicks; Cancel cancels.
  int pickSeeds(Volume* input, Volume* output) override;
  // The labelled view is kept here; tests act on it as the dialog's controls would.
  bool openLabelledView(std::unique_ptr<LabelledView> view) override;
  void focusLabelledView() override { ++labelledViewFocused; }
  LabelledView* labelledView() const { return labelledView_.get(); }
  // The dialog's "Close": true when the view agreed and is gone.
  bool closeLabelledView();
  void setBusy(bool b) override { busyCalls.push_back(b); }
  void quit() override { quitRequested = true; }
  void checkCommand(int id, bool checked) override { checks[id] = checked; }
  void showStatus(const std::string& text) override { statuses.push_back(text); }

  int showMessage(void* owner, std::string_view text, std::string_view caption, MessageIcon icon,
                  MessageButtons buttons) override;

  // What happened.
  std::vector<ShownMessage> messages;
  std::vector<std::string> dialogTitles;  // every dialog run, by its title
  std::vector<bool> busyCalls;
  bool quitRequested = false;
  std::map<int, bool> checks;  // check marks of menu items by command id
  int labelledViewFocused = 0;
  bool refuseLabelledView = false;  // openLabelledView fails, as a dialog that cannot be made
  std::vector<std::string> statuses;  // the status lines after each command
  // Dialogs and questions that found no fitting step in the script (each was cancelled).
  int unanswered = 0;
  bool scriptDone() const { return steps_.empty(); }
  std::string lastMessage() const { return messages.empty() ? "" : messages.back().text; }

 private:
  std::optional<Step> next();
  std::deque<Step> steps_;
  std::unique_ptr<LabelledView> labelledView_;
  Reporter* previousReporter_ = nullptr;
  Desk* previousDesk_ = nullptr;
};

}  // namespace v3d::shell
