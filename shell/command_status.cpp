#include "shell/command_status.h"

#include <string_view>

#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_run.h"

namespace v3d::shell {
namespace {

CommandOutcome* g_outcome = nullptr;

}  // namespace

// "Open TIFF Stac&k..." is "Open TIFF Stack".
std::string commandName(int id) {
  std::string name;
  for (char c : text(kMenuTextBase + id))
    if (c != '&') name += c;
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  return name;
}

void CommandOutcome::startClock() {
  if (computed) return;
  computed = true;
  start = std::chrono::steady_clock::now();
}

void CommandOutcome::restartClock() {
  computed = true;
  clockStopped = false;
  start = std::chrono::steady_clock::now();
}

void CommandOutcome::stopClock() {
  if (!computed || clockStopped) return;
  clockStopped = true;
  seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

CommandOutcome* currentOutcome() {
  return g_outcome;
}

OutcomeScope::OutcomeScope()
    : previousOutcome_(g_outcome), shownBy_(&reporter()), previousReporter_(installReporter(this)) {
  g_outcome = &outcome_;
}

OutcomeScope::~OutcomeScope() {
  installReporter(previousReporter_);
  g_outcome = previousOutcome_;
}

int OutcomeScope::showMessage(void* owner, std::string_view text, std::string_view caption,
                              MessageIcon icon, MessageButtons buttons) {
  outcome_.stopClock();  // time with the user is not computing time
  if (icon == MessageIcon::Error && outcome_.failure.empty()) outcome_.failure = text;
  return shownBy_->showMessage(owner, text, caption, icon, buttons);
}

void OutcomeScope::restoreCursor() {
  shownBy_->restoreCursor();
}

std::string statusText(int id, const CommandOutcome& o) {
  const std::string name = commandName(id);
  if (!o.failure.empty())
    return formatText(kFormatStatusFailed, name.c_str(),
                      (o.detail.empty() ? o.failure : o.detail).c_str());
  if (o.cancelled) return formatText(kFormatStatusCancelled, name.c_str());
  if (!o.computed) {
    const int shown = o.output >= 0 ? o.output : o.input;
    return shown >= 0 ? formatText(kFormatStatusVolume, name.c_str(), shown) : std::string();
  }
  if (o.input >= 0 && o.output >= 0 && o.input != o.output)
    return formatText(kFormatStatusInOut, name.c_str(), o.input, o.output, o.seconds);
  if (o.input >= 0 || o.output >= 0)
    return formatText(kFormatStatusOneVolume, name.c_str(), o.output >= 0 ? o.output : o.input,
                      o.seconds);
  return formatText(kFormatStatusDone, name.c_str(), o.seconds);
}

}  // namespace v3d::shell
