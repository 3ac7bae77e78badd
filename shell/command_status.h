// What the last command did, for the status bar: the volumes it read and wrote, how long its
// computing took, and how it failed. The dispatcher collects an outcome while a command runs
// (the command run notes its volumes and its clock, a reporter in front of the desk's notes
// the first error shown) and hands its text to the desk afterwards.
#pragma once

#include <chrono>
#include <string>

#include "core/report.h"

namespace v3d::shell {

struct CommandOutcome {
  int input = -1, output = -1;  // volume slots, -1 for none
  bool computed = false;        // the command reached its computing step
  bool cancelled = false;       // the user cancelled the computing
  double seconds = 0;           // from the computing step to its end
  std::string failure;          // the first error message shown
  std::string detail;           // the failure's particulars, when the command knows them
  std::chrono::steady_clock::time_point start{};
  bool clockStopped = false;

  // The computing starts (the busy cursor); it ends at the first message or question shown,
  // at the command's result, or when the command ends.
  void startClock();
  void stopClock();
  // The computing proper starts now (after any question of the step before it).
  void restartClock();
};

// The outcome of the command being dispatched; nullptr outside a command.
CommandOutcome* currentOutcome();

// Collects the outcome of one command for as long as it lives.
class OutcomeScope : private Reporter {
 public:
  OutcomeScope();
  ~OutcomeScope() override;
  OutcomeScope(const OutcomeScope&) = delete;
  OutcomeScope& operator=(const OutcomeScope&) = delete;
  CommandOutcome& outcome() { return outcome_; }

 private:
  int showMessage(void* owner, std::string_view text, std::string_view caption, MessageIcon icon,
                  MessageButtons buttons) override;
  void restoreCursor() override;
  CommandOutcome outcome_;
  CommandOutcome* previousOutcome_;
  Reporter* shownBy_;  // the reporter that shows the messages (the headless one without a shell)
  Reporter* previousReporter_;  // the one installed before, back at the end
};

// A command's menu label as a name: "&Standard Median" is "Standard Median".
std::string commandName(int id);

// The status line of command `id`, "Standard Median: vol 0 → vol 1, 0.08 s" and the like;
// empty when the command did nothing worth a line (cancelled in its first dialog).
std::string statusText(int id, const CommandOutcome& outcome);

}  // namespace v3d::shell
