// The macro player: runs the commands of a macro through the dispatcher and answers their
// dialogs and questions from the macro's answers, in order, on the presenters themselves;
// windows go to the desk it wraps (the Qt one in the program, a headless one in batch runs).
// It stops at the first fault with the line and a clear message: a missing or unused
// answer, an answer of the wrong kind, a volume slot that is empty or not offered, a command
// that fails, a file that cannot be written. Nothing runs after it; what ran before stays.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/report.h"
#include "shell/forwarding_desk.h"
#include "shell/macro_format.h"

namespace v3d::shell {

// Reads a macro file's text; false with the error (line 0) when it cannot be read.
bool readMacroText(const std::string& path, std::string& text, macro::Error& error);
// Reads and parses a macro file.
std::optional<macro::Macro> readMacro(const std::string& path,
                                      const std::map<std::string, std::string>& variables,
                                      macro::Error& error);

class MacroPlayer : public ForwardingDesk, public Reporter {
 public:
  // `batch`: refusals speak of batch mode.
  MacroPlayer(Desk& inner, bool batch);

  // Runs every item. `log` gets one line per item run ("line 4: command 1172 ...: done").
  // False at the first fault, with `error` set.
  bool play(const macro::Macro& macro, const std::function<void(const std::string&)>& log,
            macro::Error& error);
  int commandsRun() const { return commands_; }
  int filesWritten() const { return writes_; }
  // The result messages the commands showed ("line 13: Number of regions = 2"), which the
  // player collects instead of showing.
  const std::vector<std::string>& notes() const { return notes_; }

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

  int showMessage(void* owner, std::string_view text, std::string_view caption, MessageIcon icon,
                  MessageButtons buttons) override;

 private:
  // The next answer, which must be of `kind`; nullptr (and the fault noted) otherwise.
  const macro::Answer* take(macro::Answer::Kind kind, const std::string& asked);
  void fault(int line, std::string message);
  void refused(const macro::Answer& a, std::string message);
  // A refusal of a command that cannot run from a macro, or "".
  std::string refusal(int id) const;
  bool runCommand(const macro::Command& c, std::string& result);

  bool batch_;
  const macro::Command* command_ = nullptr;
  std::size_t next_ = 0;
  std::optional<macro::Error> fault_;
  std::vector<std::string> messages_;  // information shown by the running command
  std::vector<std::string> notes_;
  int commands_ = 0, writes_ = 0;
};

}  // namespace v3d::shell
