// The surface module's command handler without a toolkit: the seven items of "&Surface
// Rendering", their questions through ModuleUi and their work through the program's bound
// exports and the script library.
#pragma once

#include <optional>
#include <string>

#include "shadeview/capture.h"
#include "shadeview/program.h"
#include "shadeview/scripts/connections.h"

namespace v3d::shade {

class ModuleUi : public CaptureUi {
 public:
  // The file dialogs: a save dialog (both filters) and an open dialog (both filters, or the
  // script filter alone). nullopt on Cancel.
  virtual std::optional<std::string> askSaveFile(const char* title) = 0;
  virtual std::optional<std::string> askOpenFile(const char* title, bool scriptsOnly) = 0;
  // The modeless "Specify Object Connections" dialog on a surface job.
  virtual void openConnections(const SurfaceJob& job) = 0;
  // The rendering window on a script (it reports its own failures).
  virtual void openRenderer(const std::string& path) = 0;
  // The "Set Object Colors" dialog: whether it is open, and opening it (false: it could not
  // be created).
  virtual bool colourDialogOpen() = 0;
  virtual bool openColourDialog() = 0;
  // The rendering window's picture, or null while no window exists.
  virtual PictureSource* renderer() = 0;
};

// Runs item `item` (0..6; others are ignored). Returns the code it reported through
// error_handler, 0 when none.
int runCommand(const ProgramBindings& program, ModuleUi& ui, int item);

// A text read with "%f" in the C locale: "2,5" reads as 2, "abc" not at all.
bool readDistance(const std::string& text, float& distance);

// The text-entry dialog's result: at most 19 characters of the edit.
std::string textEntryValue(const std::string& edited);

}  // namespace v3d::shade
