// The macro recorder: a desk between the commands and whichever desk is in use. It passes
// every call on and writes down what the user answered (volumes by slot, typed values, chosen
// options, file names, answers to questions); it stands in for the reporter as well, to see
// the answers to questions and the failures. A command's block reaches the file only when
// the command completed: a cancelled dialog, a "No" or a failure drop it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/report.h"
#include "shell/forwarding_desk.h"

namespace v3d::shell {

class MacroRecorder : public ForwardingDesk, public Reporter {
 public:
  // Records into `out`; stands in as the reporter until destroyed.
  MacroRecorder(Desk& inner, std::ostream& out);
  ~MacroRecorder() override;
  MacroRecorder(const MacroRecorder&) = delete;
  MacroRecorder& operator=(const MacroRecorder&) = delete;

  // Around one menu command (dispatcher and module router).
  void beginCommand(int id);
  void endCommand();

  // The saver wrote the VOI of volume `slot` (format V3D_SAVED_...): recorded as the writer
  // directive that writes the same bytes.
  void saverWrote(int slot, int format, const std::string& fileName, int compression, int digits);

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
  void restoreCursor() override;

  int recordedCommands() const { return recorded_; }

 private:
  enum class Mode { Idle, Answers, Saver, NotRecorded };
  // A file name the user chose (recorded), or none (the command is cancelled).
  std::optional<std::string> recordFileName(std::optional<std::string> name);
  bool recording() const { return mode_ == Mode::Answers && !cancelled_ && !failed_; }
  void answer(std::string line) { answers_.push_back("  " + std::move(line)); }
  template <class Run>
  int inDialog(Run&& run);

  std::ostream& out_;
  Reporter* forwardTo_;         // the reporter in use when recording began
  Reporter* previousReporter_;  // the installed one, put back at the end (nullptr: headless)
  Mode mode_ = Mode::Idle;
  int command_ = 0;
  bool cancelled_ = false, failed_ = false;
  int dialogDepth_ = 0;
  bool noticeShown_ = false;
  int recorded_ = 0;
  std::vector<std::string> answers_;
};

// The recording of the running program, or nullptr.
MacroRecorder* activeRecorder();
// Starts recording into the file `path` (created or truncated): false when it cannot be
// written.
bool startRecording(Desk& desk, const std::string& path);
void stopRecording();

// Runs one menu command the way the frame does, the dispatcher first and then `passOn`
// (the module router), through the recorder while one is recording.
void runMenuCommand(Desk& desk, std::uintptr_t wParam,
                    const std::function<void(std::uintptr_t)>& passOn);

}  // namespace v3d::shell
