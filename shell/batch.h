// velmora3d --batch MACRO [--var NAME=VALUE ...]: replays a macro with no display and no
// widgets, the dialogs answered from the macro.
#pragma once

namespace v3d::shell {

// Whether the command line asks for a batch run.
bool batchRequested(int argc, char** argv);
// Runs it: 0 when every command and write succeeded, 1 at the first failure (its message on
// standard error), 2 for a command line or macro file that cannot be used.
int batchMain(int argc, char** argv);

}  // namespace v3d::shell
