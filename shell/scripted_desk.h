// A desk that answers from a script: volume choices, values, questions and file names come
// from a queue; messages, shown volumes and dialogs are recorded. Tests drive whole menu
// commands through it; it is also the seed of a batch mode.
#pragma once

#include <array>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "core/report.h"
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

// The windows part of the scripted desk: it records what was shown, refreshed, closed and
// opened.
class ScriptedWindowDesk : public virtual WindowDesk {
 public:
  void showVolume(Volume* v) override { shown.push_back(v); }
  void refreshVolume(Volume* v) override { refreshed.push_back(v); }
  void closeWindowsOf(Volume* v) override { closed.push_back(v); }
  bool openDisplay(Volume* v, bool colour, int lower, int upper, float delay) override;
  bool toggleCoordinates() override { return coordinatesShown = !coordinatesShown; }
  bool openSectionView(Volume* v) override {
    sectionViews.push_back(v);
    return true;
  }
  bool openPlot(const std::string& title, const float* values) override;
  bool showProjection(ProjectionPtr projection, BufferPtr buffer,
                      const std::string& title) override;

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
  void setBusy(bool b) override { busyCalls.push_back(b); }
  void quit() override { quitRequested = true; }
  void showStatus(const std::string& text) override { statuses.push_back(text); }

  int showMessage(void* owner, std::string_view text, std::string_view caption, MessageIcon icon,
                  MessageButtons buttons) override;

  // What happened.
  std::vector<ShownMessage> messages;
  std::vector<std::string> dialogTitles;  // every dialog run, by its title
  std::vector<bool> busyCalls;
  bool quitRequested = false;
  std::vector<std::string> statuses;  // the status lines after each command
  // Dialogs and questions that found no fitting step in the script (each was cancelled).
  int unanswered = 0;
  bool scriptDone() const { return steps_.empty(); }
  std::string lastMessage() const { return messages.empty() ? "" : messages.back().text; }

 private:
  std::optional<Step> next();
  std::deque<Step> steps_;
  Reporter* previousReporter_ = nullptr;
  Desk* previousDesk_ = nullptr;
};

}  // namespace v3d::shell
