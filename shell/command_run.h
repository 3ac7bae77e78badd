// One run of a menu command: the common command pattern as steps that the per-command
// rows and the special commands compose.
//
//  1. the input volume dialog (VolumeDialogKind::Input, or ::Choice); Cancel ends silently;
//  2. the output volume dialog with the required size; Cancel ends silently;
//  3. an output equal to the input is refused (kSameInputOutput) where the command forbids it;
//  4. the value dialog; each text must parse as exactly one number, else kInvalidParameters;
//     only then is the dialog's Cancel looked at (silent);
//  5. busy cursor; the output is created ("New") or reallocated after the question, and is
//     then "made here";
//  6. the operation; a failure destroys an output made here and is reported;
//  7. the output is shown.
#pragma once

#include <array>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/strings.h"
#include "core/volume.h"
#include "shell/desk.h"

namespace v3d::shell {

class CommandRun {
 public:
  explicit CommandRun(Desk& desk) : desk_(desk) {}
  ~CommandRun();
  CommandRun(const CommandRun&) = delete;
  CommandRun& operator=(const CommandRun&) = delete;

  // Step 1 through the input dialog. False when cancelled.
  bool askInput(int titleId, int typeMask, int colorMask, bool informationEditable = false);
  // Step 1 through the single choice dialog. False when cancelled.
  bool askChoice(int titleId, int typeMask, int colorMask);
  // A second input through the single choice dialog.
  bool askSecondInput(int titleId, int typeMask, int colorMask);
  // Step 2: the output dialog with the required size (X, Y, Z).
  bool askOutput(int titleId, int X, int Y, int Z, bool noNewEntry = false);
  // Step 3: true (and kSameInputOutput reported) when the output is the input.
  bool refuseSameOutput();
  // Step 4: a value dialog of prompts.size() fields; "%d" fields fill ints[0..], a float
  // field (the last one when lastIsFloat, or every field when allFloat) fills floats.
  bool askValues(int titleId, const std::vector<int>& prompts, bool lastIsFloat = false,
                 bool allFloat = false);
  // Step 5: creates or fits the output for the given types (0: the input's) and required
  // size. False when the command ends (refused, or a failure already reported).
  bool prepareOutput(int dataType, int colorType, int X, int Y, int Z);
  // Steps 6 and 7 for an operation's result code.
  void finish(int code, bool showOutput = true);
  // Reports a failure of the command's own (destroying an output made here).
  void fail(int code);
  // Step 6's computing, run by the desk (perhaps on a worker thread, with progress) as command
  // `commandId`'s work writing the output and `alsoWrites`; cancellable when the output was
  // made here. Returns the operation's result; finish() takes a cancelled one quietly.
  int compute(int commandId, std::function<int()> operation, const Volume* alsoWrites = nullptr);

  void busy();
  Desk& desk() { return desk_; }

  Volume* in = nullptr;
  int inIndex = -1;
  Volume* in2 = nullptr;
  Volume* out = nullptr;
  int outIndex = -1;
  bool outIsNew = false;
  int outX = 0, outY = 0, outZ = 0;
  bool outMadeHere = false;
  std::array<int, 4> ints{};
  std::array<float, 4> floats{};

 private:
  // Tells the status line of the command which volumes it used and stops its clock.
  void noteOutcome() const;
  Desk& desk_;
  bool busy_ = false;
};

// Shows a result message with the information icon.
void showInformation(const std::string& message, int captionId = 0);

// The string table's printf format `formatId` filled with `args`.
template <class... Args>
std::string formatText(int formatId, Args... args) {
  const std::string format(text(formatId));
  const int length = std::snprintf(nullptr, 0, format.c_str(), args...);
  if (length <= 0) return {};
  std::string result(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(result.data(), result.size(), format.c_str(), args...);
  result.pop_back();
  return result;
}

}  // namespace v3d::shell
