// The batch run: the macro read with its variables, the table set up as the program starts
// (the demo phantom in slot 0), then every item replayed through the macro player over the
// scripted desk, which shows no windows. One line per item on standard output; the first
// failure ends the run with its line and message on standard error.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "core/messages.h"
#include "core/strings.h"
#include "shell/batch.h"
#include "shell/demo_volume.h"
#include "shell/macro_player.h"
#include "shell/scripted_desk.h"

namespace v3d::shell {
namespace {

constexpr const char* kUsage = "usage: velmora3d --batch MACRO [--var NAME=VALUE ...]\n";

int usage(const std::string& problem) {
  std::fprintf(stderr, "velmora3d: %s\n%s", problem.c_str(), kUsage);
  return 2;
}

}  // namespace

bool batchRequested(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--batch") == 0) return true;
  return false;
}

int batchMain(int argc, char** argv) {
  std::string path;
  std::map<std::string, std::string> variables;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--batch" || arg == "--var") {
      if (i + 1 >= argc) return usage(arg + " needs a value");
      const std::string value = argv[++i];
      if (arg == "--batch") {
        if (!path.empty()) return usage("one macro per run");
        path = value;
        continue;
      }
      const std::size_t eq = value.find('=');
      if (eq == std::string::npos || eq == 0) return usage("--var takes NAME=VALUE, not " + value);
      variables[value.substr(0, eq)] = value.substr(eq + 1);
    } else {
      return usage("unknown argument " + arg);
    }
  }

  macro::Error error;
  const auto m = readMacro(path, variables, error);
  if (!m) {
    std::fprintf(stderr, "velmora3d: %s: %s\n", path.c_str(),
                 error.line > 0 ? error.text().c_str() : error.message.c_str());
    return 2;
  }

  // The scripted desk is the desk and the reporter of the run: windows are only noted, and it
  // answers nothing itself, since the player answers every dialog.
  ScriptedDesk desk;
  Volume* demo = nullptr;
  if (const int code = createDemoVolume(&demo); code != 0) {
    std::fprintf(stderr, "velmora3d: the demo volume cannot be made: %s\n",
                 std::string(text(-code)).c_str());
    return 1;
  }
  MacroPlayer player(desk, true);
  const bool ok = player.play(
      *m,
      [](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
      },
      error);
  if (!ok) {
    std::fprintf(stderr, "velmora3d: %s: %s\n", path.c_str(), error.text().c_str());
    return 1;
  }
  std::printf("%s: commands run: %d, files written: %d\n", path.c_str(), player.commandsRun(),
              player.filesWritten());
  return 0;
}

}  // namespace v3d::shell
