#include "shell/command_run.h"

#include "core/messages.h"
#include "core/report.h"
#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_status.h"
#include "shell/dialogs.h"

namespace v3d::shell {

CommandRun::~CommandRun() {
  if (busy_) desk_.setBusy(false);
  noteOutcome();
}

void CommandRun::busy() {
  if (!busy_) desk_.setBusy(true);
  busy_ = true;
  if (CommandOutcome* o = currentOutcome()) o->startClock();
}

void CommandRun::noteOutcome() const {
  CommandOutcome* o = currentOutcome();
  if (o == nullptr) return;
  o->stopClock();
  if (in != nullptr && in->dataType != 0) o->input = GetVolumeIndex(in);
  if (out != nullptr && out->dataType != 0) o->output = GetVolumeIndex(out);
}

namespace {
// Runs a volume dialog of the given kind, title and masks; the chosen volume, or nullptr when
// cancelled.
Volume* chooseVolume(Desk& desk, VolumeDialogKind kind, int titleId, int typeMask, int colorMask,
                     bool informationEditable, int* index = nullptr) {
  VolumeDialog d(kind, std::string(text(titleId)), typeMask, colorMask);
  d.informationEditable = informationEditable;
  if (desk.run(d) != 1) return nullptr;
  if (index != nullptr) *index = d.chosenIndex;
  return d.chosenVolume;
}
}  // namespace

bool CommandRun::askInput(int titleId, int typeMask, int colorMask, bool informationEditable) {
  in = chooseVolume(desk_, VolumeDialogKind::Input, titleId, typeMask, colorMask,
                    informationEditable, &inIndex);
  return in != nullptr;
}

bool CommandRun::askChoice(int titleId, int typeMask, int colorMask) {
  in = chooseVolume(desk_, VolumeDialogKind::Choice, titleId, typeMask, colorMask, false, &inIndex);
  return in != nullptr;
}

bool CommandRun::askSecondInput(int titleId, int typeMask, int colorMask) {
  in2 = chooseVolume(desk_, VolumeDialogKind::Choice, titleId, typeMask, colorMask, false);
  return in2 != nullptr;
}

bool CommandRun::askOutput(int titleId, int X, int Y, int Z, bool noNewEntry) {
  VolumeDialog d(VolumeDialogKind::Output, std::string(text(titleId)));
  d.suggest(X, Y, Z);
  d.noNewEntry = noNewEntry;
  if (desk_.run(d) != 1) return false;
  outIsNew = d.chosenNew;
  outIndex = d.chosenIndex;
  out = d.chosenNew ? nullptr : d.chosenVolume;
  outX = d.resultX;
  outY = d.resultY;
  outZ = d.resultZ;
  return true;
}

bool CommandRun::refuseSameOutput() {
  if (outIsNew || out != in) return false;
  error_handler(kSameInputOutput);
  return true;
}

bool CommandRun::askValues(int titleId, const std::vector<int>& prompts, bool lastIsFloat,
                           bool allFloat) {
  ValueDialog d(static_cast<int>(prompts.size()));
  d.title = std::string(text(titleId));
  int i = 0;
  for (int p : prompts) d.prompts[static_cast<std::size_t>(i++)] = std::string(text(p));
  const int result = desk_.run(d);
  for (int k = 0; k < d.fields; ++k) {
    const std::string& t = d.texts[static_cast<std::size_t>(k)];
    const bool isFloat = allFloat || (lastIsFloat && k == d.fields - 1);
    const bool ok = isFloat ? parseFloat(t, floats[static_cast<std::size_t>(k)])
                            : parseInt(t, ints[static_cast<std::size_t>(k)]);
    if (!ok) {
      error_handler(kInvalidParameters);
      return false;
    }
  }
  return result == 1;
}

bool CommandRun::prepareOutput(int dataType, int colorType, int X, int Y, int Z) {
  const int type = dataType != 0 ? dataType : in->dataType;
  const int color = colorType != 0 ? colorType : in->colorType;
  busy();
  if (outIsNew) {
    Volume* slot = volumeSlot(outIndex);
    if (slot == nullptr || slot->dataType != 0) {
      error_handler(kTooMany3dWindows);
      return false;
    }
    InitializeVolume(slot, outZ, outY, outX, type, color);
    if (int code = CreateVolume(slot); code != 0) {
      error_handler(code);
      return false;
    }
    out = slot;
    outMadeHere = true;
    return true;
  }
  if (X > out->X || Y > out->Y || Z > out->Z || out->dataType != type || out->colorType != color) {
    if (VerifyVolumeReallocation(nullptr) == 0) return false;
    if (int code = ReallocateVolume(out, type, color, Z, Y, X); code != 0) {
      error_handler(code);
      return false;
    }
    outMadeHere = true;
  }
  return true;
}

void CommandRun::fail(int code) {
  if (outMadeHere && out != nullptr) {
    closeVolumeWindows(out);
    DestroyVolume(out);
  }
  error_handler(code);
}

int CommandRun::compute(int commandId, std::function<int()> operation, const Volume* alsoWrites) {
  LongWork work{commandName(commandId), outMadeHere && out != nullptr, {}, std::move(operation)};
  if (out != nullptr) work.writes.push_back(out);
  if (alsoWrites != nullptr) work.writes.push_back(alsoWrites);
  if (CommandOutcome* o = currentOutcome()) o->restartClock();
  return desk_.runLong(work);
}

void CommandRun::finish(int code, bool showOutput) {
  noteOutcome();
  if (code == kOperationCancelled && outMadeHere) {
    // The user stopped it: the part-written output goes, quietly; nothing else changed.
    if (CommandOutcome* o = currentOutcome()) o->cancelled = true;
    closeVolumeWindows(out);
    DestroyVolume(out);
    return;
  }
  if (code < 0) {
    fail(code);
    return;
  }
  if (showOutput && out != nullptr) desk_.showVolume(out);
}

void showInformation(const std::string& message, int captionId) {
  const std::string_view caption = captionId != 0 ? text(captionId) : kCaption;
  reporter().showMessage(nullptr, message, caption, MessageIcon::Information, MessageButtons::Ok);
}

}  // namespace v3d::shell
