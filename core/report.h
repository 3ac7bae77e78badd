// Reporting: how result codes and questions reach the user. The shell installs a reporter
// that shows message boxes; without one, the headless reporter writes to standard error and
// answers questions with a configurable default.
#pragma once

#include <string_view>

namespace v3d {

// The caption of every message box of the system.
inline constexpr std::string_view kCaption = "VELMORA3D for Windows";

enum class MessageIcon { Error, Information, Question, Warning };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };

// Button results, with the values message boxes have always returned.
inline constexpr int kAnswerOk = 1;
inline constexpr int kAnswerCancel = 2;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

class Reporter {
 public:
  virtual ~Reporter() = default;
  // Shows `text` captioned `caption` and returns the button pressed. `owner` is a window of
  // the shell, or nullptr for the main frame.
  virtual int showMessage(void* owner, std::string_view text, std::string_view caption,
                          MessageIcon icon, MessageButtons buttons) = 0;
  // Ends a busy cursor that a running operation set.
  virtual void restoreCursor() {}
};

// Installs `reporter` (nullptr: the headless one) and returns the one it replaces.
Reporter* installReporter(Reporter* reporter);
Reporter& reporter();

// What the headless reporter answers to OK/Cancel and Yes/No questions: true gives OK or
// Yes (the start-up value), false gives Cancel or No.
void setHeadlessAffirmative(bool affirmative);
bool headlessAffirmative();

}  // namespace v3d
