// The command table and the dispatcher: the families' commands joined into one table, the
// runner of the common command pattern, and the lookup from a menu id to its command.
#include "shell/commands.h"

#include <vector>

#include "shell/command_status.h"
#include "shell/command_table.h"
#include "shell/desk.h"

namespace v3d::shell {
namespace {

SaveVolumeFn g_saveVolume = nullptr;

// The menu families, each defined in its own commands_<family>.cpp.
CommandList (*const kFamilies[])() = {
    fileCommands, basicCommands, filteringCommands, analysisCommands, transformCommands,
    visualizationCommands, resizingCommands, morphologyCommands, contourCommands,
    alignmentCommands, macroCommands,
};

// Commands that open a modeless tool; their rows are marked when the table is built.
constexpr int kModelessCommands[] = {kCmdViewLabelled, kCmdBwContourFollowing,
                                     kCmdColorContourFollowing, kCmdManualAlignment};

const Command* findCommand(int id) {
  for (const Command& c : commandTable())
    if (c.id == id) return &c;
  return nullptr;
}

}  // namespace

bool prepareRow(CommandRun& r, const PatternRow& row) {
  const bool chosen = row.inputByChoice ? r.askChoice(row.inTitle, row.inType, row.inColor)
                                        : r.askInput(row.inTitle, row.inType, row.inColor);
  if (!chosen) return false;
  const int X = r.in->X, Y = r.in->Y, Z = r.in->Z;
  if (!r.askOutput(row.outTitle, X, Y, Z)) return false;
  if (row.forbidSame && r.refuseSameOutput()) return false;
  if (row.valueTitle != 0) {
    std::vector<int> prompts;
    for (int p : row.prompts)
      if (p != 0) prompts.push_back(p);
    if (!r.askValues(row.valueTitle, prompts, row.lastIsFloat)) return false;
  }
  return r.prepareOutput(row.outType, 0, X, Y, Z);
}

Command PatternRow::runs(Operation op) const {
  return {id, [row = *this, op](Desk& desk) {
            CommandRun r(desk);
            if (!prepareRow(r, row)) return;
            r.finish(r.compute(row.id, [&r, op] { return op(r); }));
          }};
}

const CommandList& commandTable() {
  static const CommandList table = [] {
    CommandList all;
    for (auto family : kFamilies)
      for (Command& c : family()) all.push_back(std::move(c));
    for (Command& c : all)
      for (int id : kModelessCommands) c.modeless = c.modeless || c.id == id;
    return all;
  }();
  return table;
}

void setSaver(SaveVolumeFn saveVolume) {
  g_saveVolume = saveVolume;
}
bool saverPresent() {
  return g_saveVolume != nullptr;
}
int saveWithSaver() {
  return g_saveVolume != nullptr ? g_saveVolume() : kModuleError;
}

bool opensModelessTool(int id) {
  if (id >= kFirstModuleCommand && id < kModuleCommandEnd) return true;
  for (int m : kModelessCommands)
    if (m == id) return true;
  const Command* command = findCommand(id);
  return command != nullptr && command->modeless;
}

bool commandAvailable(int id) {
  if (id == kCmdSave) return saverPresent();
  if (id == kCmdStartRecording || id == kCmdStopRecording || id == kCmdRunMacro)
    return macroCommandAvailable(id);
  return findCommand(id) != nullptr;
}

bool dispatch(Desk& desk, std::uintptr_t wParam) {
  const int id = static_cast<int>(wParam & 0xFFFF);
  // Module ids are the module host's, even where a table row would claim one.
  if (id < kModuleCommandEnd) return false;
  const Command* command = findCommand(id);
  if (command == nullptr) return false;
  // Starting and stopping a recording install and remove the recorder as the program's
  // reporter for the commands after them, so they run outside a command's outcome scope (which
  // puts back the reporter it found when it ends).
  if (id == kCmdStartRecording || id == kCmdStopRecording) {
    command->run(desk);
    return true;
  }
  std::string status;
  {
    OutcomeScope scope;
    command->run(desk);
    scope.outcome().stopClock();
    status = statusText(id, scope.outcome());
  }
  if (!status.empty()) desk.showStatus(status);
  return true;
}

}  // namespace v3d::shell
