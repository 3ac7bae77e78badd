#include "shadeview/commands.h"

#include <charconv>

#include "core/result_codes.h"
#include "core/text_ids.h"
#include "shadeview/module_texts.h"

namespace v3d::shade {
namespace {

// The three questions of both script builders: input volume, script file, distance. False
// when the user cancelled or the distance did not read (then `code` holds what was reported).
bool askScriptJob(const ProgramBindings& program, ModuleUi& ui, Volume*& volume, std::string& path,
                  float& distance, int& code) {
  code = 0;
  volume = nullptr;
  if (program.getInputVolume(V3D_UC, V3D_THREE_CHANNELS, kSelectInputVolume, &volume) == 0)
    return false;
  const std::optional<std::string> file = ui.askSaveFile(kSelectOutputScript);
  if (!file) return false;
  const std::optional<std::string> text = ui.askText(kDistanceTitle, kDistancePrompt);
  if (!text) return false;
  if (!readDistance(*text, distance)) {
    code = kInvalidParameters;
    program.errorHandler(code);
    return false;
  }
  path = *file;
  return true;
}

int report(const ProgramBindings& program, int code) {
  program.errorHandler(code);
  return code;
}

}  // namespace

bool readDistance(const std::string& text, float& distance) {
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end &&
         (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f'))
    ++p;
  if (p < end && *p == '+') {
    ++p;
    if (p < end && *p == '-') return false;
  }
  float v = 0;
  if (std::from_chars(p, end, v, std::chars_format::general).ec != std::errc()) return false;
  distance = v;
  return true;
}

std::string textEntryValue(const std::string& edited) {
  return edited.substr(0, kTextEntryLength);
}

int runCommand(const ProgramBindings& program, ModuleUi& ui, int item) {
  switch (item) {
    case kItemBuildSurface: {
      Volume* volume = nullptr;
      std::string path;
      float distance = 0;
      int code = 0;
      if (!askScriptJob(program, ui, volume, path, distance, code)) return code;
      SurfaceJob job;
      job.volume = volume;
      job.z0 = volume != nullptr ? volume->voiZ0 : 0;
      job.z1 = volume != nullptr ? volume->voiZ1 : 0;
      job.distance = distance;
      job.minStep = kChainStep;
      job.scriptPath = path;
      ui.openConnections(job);
      return 0;
    }
    case kItemBuildLines: {
      Volume* volume = nullptr;
      std::string path;
      float distance = 0;
      int code = 0;
      if (!askScriptJob(program, ui, volume, path, distance, code)) return code;
      ui.setBusy(true);
      code = BuildLinesScript(program.checkVolume, volume, path.c_str(), distance);
      ui.setBusy(false);
      return code != 0 ? report(program, code) : 0;
    }
    case kItemReadLines: {
      const std::optional<std::string> path = ui.askOpenFile(kSelectScriptToOpen, false);
      if (!path) return 0;
      Volume* volume = nullptr;
      if (program.getOutputVolume(V3D_UC, V3D_THREE_CHANNELS, kSelectOutputVolume, 0, 0, 0,
                                  &volume) == 0)
        return 0;
      const std::optional<std::string> text = ui.askText(kDistanceTitle, kDistancePrompt);
      if (!text) return 0;
      float distance = 0;
      if (!readDistance(*text, distance)) return report(program, kInvalidParameters);
      // The distance is truncated; one beyond an int's range is as invalid as one below 1.
      const int whole =
          distance >= 1.0f && distance < 2147483520.0f ? static_cast<int>(distance) : 0;
      ui.setBusy(true);
      const int code = ReadLinesScript(program.checkVolume, volume, path->c_str(), whole);
      ui.setBusy(false);
      if (code < 0) return report(program, code);
      if (code == 1) return report(program, kTextLinesLost);
      return 0;
    }
    case kItemRender: {
      const std::optional<std::string> path = ui.askOpenFile(kOpenScriptFile, true);
      if (!path) return 0;
      ui.openRenderer(*path);
      program.setItem(kItemColours, V3D_MF_ENABLED);
      return 0;
    }
    case kItemColours:
      if (ui.colourDialogOpen()) return 0;
      return ui.openColourDialog() ? 0 : report(program, kGenericError);
    case kItemSnapshot:
      if (PictureSource* source = ui.renderer()) return takeSnapshot(program, *source, ui);
      return 0;
    case kItemMovie:
      if (PictureSource* source = ui.renderer()) return makeMovie(program, *source, ui);
      return 0;
    default:
      return 0;
  }
}

}  // namespace v3d::shade
