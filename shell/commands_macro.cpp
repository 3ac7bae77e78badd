// The macro commands of the File menu: recording the commands the user runs into a macro
// file, and replaying a macro inside the program.
#include <cstdlib>
#include <map>
#include <string>

#include "core/messages.h"
#include "core/report.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/desk.h"
#include "shell/macro_player.h"
#include "shell/macro_recorder.h"

namespace v3d::shell {
namespace {

void cmdStartRecording(Desk& desk) {
  const auto path = desk.saveFileName(std::string(text(kTitleStartRecording)),
                                      std::string(text(kTextMacroSaveFilter)));
  if (!path) return;
  if (!startRecording(desk, *path)) error_handler(kFopenError);
}

// The macro's ${NAME} take the values of the environment variables of the same names.
std::map<std::string, std::string> environmentVariables(const std::string& text) {
  std::map<std::string, std::string> values;
  for (std::size_t at = text.find("${"); at != std::string::npos; at = text.find("${", at + 2)) {
    const std::size_t close = text.find('}', at);
    if (close == std::string::npos) break;
    const std::string name = text.substr(at + 2, close - at - 2);
    if (const char* value = std::getenv(name.c_str())) values[name] = value;
  }
  return values;
}

void cmdRunMacro(Desk& desk) {
  const auto path =
      desk.openFileName(std::string(text(kTitleRunMacro)), std::string(text(kTextMacroOpenFilter)));
  if (!path) return;
  macro::Error error;
  std::optional<macro::Macro> m;
  if (std::string content; readMacroText(*path, content, error))
    m = macro::parse(content, environmentVariables(content), macro::knownMenuCommand, error);
  MacroPlayer player(desk, false);
  if (m) {
    desk.setBusy(true);
    const bool ok = player.play(*m, nullptr, error);
    desk.setBusy(false);
    if (ok) {
      std::string message =
          formatText(kFormatMacroFinished, player.commandsRun(), player.filesWritten());
      for (const std::string& note : player.notes()) message += "\n" + note;
      showInformation(message);
      return;
    }
  }
  const std::string where = error.line > 0 ? error.text() : error.message;
  reporter().showMessage(nullptr, formatText(kFormatMacroStopped, where.c_str()), kCaption,
                         MessageIcon::Error, MessageButtons::Ok);
}

}  // namespace

bool macroCommandAvailable(int id) {
  const bool recording = activeRecorder() != nullptr;
  return id == kCmdStopRecording ? recording : !recording;
}

CommandList macroCommands() {
  return {
      {kCmdStartRecording, cmdStartRecording},
      {kCmdStopRecording, [](Desk&) { stopRecording(); }},
      {kCmdRunMacro, cmdRunMacro},
  };
}

}  // namespace v3d::shell
