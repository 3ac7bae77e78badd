// What a menu family hands to the command table: its commands, each either a row of the
// common command pattern (a sentence of steps and the operation it runs) or a special
// command with code of its own. The dispatcher joins the families' lists into the one table.
//
// Adding a family: a file commands_<family>.cpp that defines <family>Commands(), its
// declaration and its entry in the family list of commands.cpp, and the file in
// shell/CMakeLists.txt. The menu layout (menu_layout.cpp) already holds every id; an id
// without a command stays greyed.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "core/text_ids.h"
#include "core/volume.h"
#include "shell/command_ids.h"
#include "shell/command_run.h"

namespace v3d::shell {

class Desk;

// One command of the table: its id and what choosing it does.
struct Command {
  CommandId id;
  std::function<void(Desk&)> run;
  // Opens a modeless tool that talks to the user outside the desk's modal dialogs: a macro
  // cannot record or replay it.
  bool modeless = false;
};
using CommandList = std::vector<Command>;

// The operation of a pattern row, called once the volumes and values are ready; its result
// code decides steps 6 and 7.
using Operation = int (*)(CommandRun& run);

// Steps 1 to 5 of the common command pattern as data, written as a sentence:
//
//   row(kCmdCompass).input(V3D_UC, V3D_ONE_CHANNEL, kTitleInCompass).output(kTitleOutCompass)
//       .values(kTitlePlaneDirection, {kPromptXDirection, kPromptZDirection}).runs(...)
//
// Unset steps keep their defaults: the input dialog titled "Select Input Volume", the output
// dialog titled "Select Output Volume" with the input's size and types, no value dialog.
struct PatternRow {
  CommandId id{};
  bool inputByChoice = false;  // the single choice dialog asks for the input
  int inTitle = kTitleSelectInputVolume;
  int inType = V3D_ANY_TYPE, inColor = V3D_ANY_COLOR;
  int outTitle = kTitleSelectOutputVolume;
  bool forbidSame = false;       // an output equal to the input is refused
  int outType = 0;               // 0: the input's
  int valueTitle = 0;            // 0: no value dialog
  std::array<int, 4> prompts{};  // string ids of the value prompts, 0 after the last
  bool lastIsFloat = false;

  // The input volume: the masks of the volumes listed, and the dialog's title.
  constexpr PatternRow input(int typeMask, int colorMask,
                             int titleId = kTitleSelectInputVolume) const {
    PatternRow r = *this;
    r.inType = typeMask;
    r.inColor = colorMask;
    r.inTitle = titleId;
    return r;
  }
  // The input is asked through the single choice dialog instead of the input dialog.
  constexpr PatternRow inputThroughChoice() const {
    PatternRow r = *this;
    r.inputByChoice = true;
    return r;
  }
  // The output dialog's title.
  constexpr PatternRow output(int titleId) const {
    PatternRow r = *this;
    r.outTitle = titleId;
    return r;
  }
  // The output's data type, where it is not the input's.
  constexpr PatternRow outputType(int dataType) const {
    PatternRow r = *this;
    r.outType = dataType;
    return r;
  }
  // The output may not be the input (kSameInputOutput).
  constexpr PatternRow notInPlace() const {
    PatternRow r = *this;
    r.forbidSame = true;
    return r;
  }
  // A value dialog of up to four prompts, all parsed as integers unless lastValueFloat().
  constexpr PatternRow values(int titleId, std::initializer_list<int> promptIds) const {
    PatternRow r = *this;
    r.valueTitle = titleId;
    r.prompts = {};
    std::size_t i = 0;
    for (int p : promptIds)
      if (i < r.prompts.size()) r.prompts[i++] = p;
    return r;
  }
  // The value dialog of a filter window: its X, Y and Z dimensions (ints[0..2]).
  constexpr PatternRow windowDimensions() const {
    return values(kTitleWindowDimensions,
                  {kPromptXDimension, kPromptYDimension, kPromptZDimension});
  }
  // The last value is a real number.
  constexpr PatternRow lastValueFloat() const {
    PatternRow r = *this;
    r.lastIsFloat = true;
    return r;
  }
  // The finished row: the table command that runs the steps and then `op`.
  Command runs(Operation op) const;
};

// A row of the pattern for command `id`.
constexpr PatternRow row(CommandId id) {
  return PatternRow{.id = id};
}
// The steps of the pattern without a command of their own, for special commands that run
// steps 1 to 5 and then their own code.
constexpr PatternRow steps() {
  return PatternRow{};
}

// Steps 1 to 5 of a row; false when the command has ended.
bool prepareRow(CommandRun& run, const PatternRow& row);

// A special command that keeps a work state between runs: the table owns one State for the
// command, alive for the whole run of the program, so whatever the command leaves in it stays
// valid after the command returns.
template <class State, class Handler>
Command withState(CommandId id, Handler handler) {
  return {id, [handler, state = std::make_shared<State>()](Desk& desk) { handler(desk, *state); }};
}

// The menu families.
CommandList fileCommands();
CommandList basicCommands();
CommandList filteringCommands();
CommandList analysisCommands();
CommandList transformCommands();
CommandList visualizationCommands();
CommandList resizingCommands();
CommandList morphologyCommands();
CommandList alignmentCommands();
CommandList contourCommands();
CommandList macroCommands();
// Whether a macro command can be chosen now (recording or not).
bool macroCommandAvailable(int id);

// The joined table, built once on first use and kept for the whole run.
const CommandList& commandTable();

}  // namespace v3d::shell
