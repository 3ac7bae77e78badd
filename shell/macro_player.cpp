#include "shell/macro_player.h"

#include <cstdio>
#include <sstream>

#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell/macro_directives.h"
#include "shell/open_dialog.h"

namespace v3d::shell {
namespace {

using macro::Answer;

const char* keywordOf(Answer::Kind kind) {
  static const char* const names[] = {"volume",  "create", "destroy",       "ok",      "values",
                                      "levels",  "frames", "interpolation", "weights", "binary",
                                      "gallery", "open",   "file",          "seeds",   "answer"};
  return names[kind];
}

std::string named(const Answer& a, const char* name, const std::string& fallback) {
  const auto it = a.named.find(name);
  return it == a.named.end() ? fallback : it->second;
}

std::string quoted(const std::string& s) {
  return "\"" + s + "\"";
}

std::string describe(const macro::Command& c) {
  return "command " + std::to_string(c.id) + " " + quoted(c.menuText);
}

}  // namespace

bool readMacroText(const std::string& path, std::string& text, macro::Error& error) {
  text.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  bool ok = f != nullptr;
  if (ok) {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
    ok = std::ferror(f) == 0;  // a folder opens, but does not read
    std::fclose(f);
  }
  if (!ok) error = {0, "cannot read the macro file " + quoted(path)};
  return ok;
}

std::optional<macro::Macro> readMacro(const std::string& path,
                                      const std::map<std::string, std::string>& variables,
                                      macro::Error& error) {
  std::string text;
  if (!readMacroText(path, text, error)) return std::nullopt;
  return macro::parse(text, variables, macro::knownMenuCommand, error);
}

MacroPlayer::MacroPlayer(Desk& inner, bool batch) : ForwardingDesk(inner), batch_(batch) {}

void MacroPlayer::fault(int line, std::string message) {
  if (!fault_) fault_ = macro::Error{line, std::move(message)};
}

void MacroPlayer::refused(const Answer& a, std::string message) {
  // A dialog that refuses an answer has reported why (noted as the fault): it belongs to the
  // answer's line.
  if (fault_)
    fault_->line = a.line;
  else
    fault(a.line, std::move(message));
}

const Answer* MacroPlayer::take(Answer::Kind kind, const std::string& asked) {
  if (fault_ || command_ == nullptr) return nullptr;
  if (next_ >= command_->answers.size()) {
    fault(command_->line, "missing answer: the command asks for " + asked);
    return nullptr;
  }
  const Answer& a = command_->answers[next_];
  if (a.kind != kind) {
    fault(a.line, "the command asks for " + asked + ", not \"" + keywordOf(a.kind) + "\"");
    return nullptr;
  }
  ++next_;
  return &a;
}

std::string MacroPlayer::refusal(int id) const {
  const std::string where = batch_ ? "in batch mode" : "from a macro";
  if (opensModelessTool(id)) return "it opens a modeless tool, which cannot run " + where;
  if (id == kCmdSave)
    return "the saver asks with dialogs of its own; write files with write-tiff-stack, "
           "write-tiff-frames, write-tiff-sequence, write-raw or write-dump";
  if (id == kCmdWriteVoxel) return "it waits for a click in a display window";
  if (id == kCmdExit) return "it ends the program";
  if (id == kCmdStartRecording || id == kCmdStopRecording || id == kCmdRunMacro)
    return "macros cannot record or run macros";
  if (!commandAvailable(id)) return "it is not built in this program";
  return "";
}

bool MacroPlayer::runCommand(const macro::Command& c, std::string& result) {
  command_ = &c;
  next_ = 0;
  messages_.clear();
  dispatch(*this, static_cast<std::uintptr_t>(c.id));
  command_ = nullptr;
  if (!fault_ && next_ < c.answers.size())
    fault(c.answers[next_].line, "this answer was not asked for: the command ended before it");
  if (fault_) return false;
  result = "done";
  for (const std::string& m : messages_) result += "; " + m;
  return true;
}

bool MacroPlayer::play(const macro::Macro& macro,
                       const std::function<void(const std::string&)>& log, macro::Error& error) {
  fault_.reset();
  // Commands that cannot run are refused before anything runs.
  for (const macro::Item& item : macro.items)
    if (item.kind == macro::Item::RunCommand)
      if (std::string why = refusal(item.command.id); !why.empty()) {
        error = {item.line(), describe(item.command) + " is refused: " + why};
        return false;
      }
  struct Install {
    Reporter* previous;
    Reporter* self;
    explicit Install(Reporter* r) : previous(installReporter(r)), self(r) {}
    ~Install() {
      if (&reporter() == self) installReporter(previous);
    }
  };
  for (const macro::Item& item : macro.items) {
    if (item.kind == macro::Item::RunCommand) {
      std::string result;
      bool ok;
      {
        const Install install(this);
        ok = runCommand(item.command, result);
      }
      if (!ok) {
        error = *fault_;
        error.message = describe(item.command) + ": " + error.message;
        return false;
      }
      ++commands_;
      for (const std::string& m : messages_)
        notes_.push_back("line " + std::to_string(item.line()) + ": " + m);
      if (log)
        log("line " + std::to_string(item.line()) + ": " + describe(item.command) + ": " + result);
      continue;
    }
    const macro::Directive& d = item.directive;
    const std::string what = std::string(macro::writerKeyword(d.kind)) + " " +
                             std::to_string(d.slot) + " " + quoted(d.path);
    Volume* v = volumeSlot(d.slot);
    if (v == nullptr || v->dataType == 0) {
      error = {d.line,
               what + ": volume slot " + std::to_string(d.slot) + " is empty at this point"};
      return false;
    }
    if (const int code = macro::writeVolume(d, v); code != 0) {
      error = {d.line, what + ": " + std::string(text(-code))};
      return false;
    }
    ++writes_;
    if (log) log("line " + std::to_string(d.line) + ": " + what + ": written");
  }
  return true;
}

int MacroPlayer::run(VolumeDialog& d) {
  d.open();
  if (d.kind == VolumeDialogKind::Destroy) {
    // Every destroy answer in a row; the dialog then closes.
    while (!fault_ && command_ != nullptr && next_ < command_->answers.size() &&
           command_->answers[next_].kind == Answer::Destroy) {
      const Answer& a = command_->answers[next_++];
      if (!d.selectLabel(a.texts[0])) {
        fault(a.line, "volume slot " + a.texts[0] + " is empty at this point");
        return 0;
      }
      d.destroySelected();
    }
    return 0;
  }
  if (d.kind == VolumeDialogKind::State) {
    if (!take(Answer::Ok, "\"ok\" to close \"" + d.title + "\"")) return 0;
    return 1;
  }
  const bool create = d.kind == VolumeDialogKind::Create;
  const Answer* a = create ? take(Answer::Create, "a free slot (\"" + d.title + "\")")
                           : take(Answer::Volume, "a volume (\"" + d.title + "\")");
  if (a == nullptr) return 0;
  std::string label = a->texts[0];
  if (label == "new")
    for (const VolumeListEntry& e : d.entries())
      if (e.isNew) label = e.label;
  if (!d.selectLabel(label)) {
    int slot = -1;
    parseInt(label, slot);
    const Volume* v = slot >= 0 ? volumeSlot(slot) : nullptr;
    if (create)
      fault(a->line, "slot " + label + " is not free at this point");
    else if (v != nullptr && v->dataType == 0)
      fault(a->line, "volume slot " + label + " is empty at this point");
    else if (v != nullptr)
      fault(a->line, "volume " + label + " is not offered by \"" + d.title +
                         "\": its data type or colour type does not fit");
    else
      fault(a->line, "\"" + d.title + "\" offers no " + label + " entry at this point");
    return 0;
  }
  if (a->named.count("x")) d.fieldX = a->named.at("x");
  if (a->named.count("y")) d.fieldY = a->named.at("y");
  if (a->named.count("z")) d.fieldZ = a->named.at("z");
  if (a->named.count("info")) d.information = a->named.at("info");
  if (create) {
    d.createTypeRow = named(*a, "type", "UC") == "F" ? 1 : named(*a, "type", "UC") == "I" ? 2 : 0;
    d.createColorRow = named(*a, "color", "1") == "3" ? 1 : 0;
  }
  if (a->named.count("voi")) {
    if (d.kind == VolumeDialogKind::Input) d.setChangeVoi(true);
    std::stringstream parts(a->named.at("voi"));
    for (std::string& bound : d.voi) std::getline(parts, bound, ',');
  }
  if (!d.accept()) {
    refused(*a, "\"" + d.title + "\" refused the answer");
    return 0;
  }
  return 1;
}

int MacroPlayer::run(ValueDialog& d) {
  const Answer* a =
      take(Answer::Values, std::to_string(d.fields) + " values (\"" + d.title + "\")");
  if (a == nullptr) return 0;
  if (static_cast<int>(a->texts.size()) != d.fields) {
    fault(a->line, "\"" + d.title + "\" asks for " + std::to_string(d.fields) + " values, not " +
                       std::to_string(a->texts.size()));
    return 0;
  }
  for (int k = 0; k < d.fields; ++k)
    d.texts[static_cast<std::size_t>(k)] = a->texts[static_cast<std::size_t>(k)];
  d.accept();
  return 1;
}

int MacroPlayer::run(DisplayLevelsDialog& d) {
  const Answer* a = take(Answer::Levels, "the frames and delay of a display (\"levels\")");
  if (a == nullptr) return 0;
  d.lower = a->texts[0];
  d.upper = a->texts[1];
  d.delay = a->texts[2];
  if (!d.accept()) {
    refused(*a, "the display levels were refused");
    return 0;
  }
  return 1;
}

int MacroPlayer::run(InterpolationDialog& d) {
  const Answer* a = take(Answer::Interpolation, "the interpolation options (\"" + d.title + "\")");
  if (a == nullptr) return 0;
  d.extractFromOutput = named(*a, "extract", "no") == "yes";
  d.linear = !(d.nearestEnabled() && named(*a, "method", "linear") == "nearest");
  if (d.factorXEnabled()) {
    d.factorX = named(*a, "x", d.factorX);
    d.factorY = named(*a, "y", d.factorY);
  }
  if (d.factorZEnabled()) d.factorZ = named(*a, "z", d.factorZ);
  if (!d.accept()) {
    refused(*a, "the interpolation factors were refused");
    return 0;
  }
  return 1;
}

int MacroPlayer::run(WeightsSourceDialog& d) {
  const Answer* a = take(Answer::Weights, "the weights source (\"weights file|volume\")");
  if (a == nullptr) return 0;
  d.chosen = a->texts[0] == "volume" ? WeightsSourceDialog::kVolume : WeightsSourceDialog::kFile;
  return d.chosen;
}

int MacroPlayer::run(BinaryInterpolationDialog& d) {
  const Answer* a = take(Answer::Binary, "the binary interpolation options (\"binary\")");
  if (a == nullptr) return 0;
  d.edgeCoherence = named(*a, "coherence", "no") == "yes";
  d.twoFrames = named(*a, "between", "1") == "2";
  return 1;
}

int MacroPlayer::run(AlignmentDialog& d) {
  const Answer* a = take(Answer::Frames, "the frames of the alignment (\"frames\")");
  if (a == nullptr) return 0;
  d.lower = a->texts[0];
  d.upper = a->texts[1];
  if (!d.accept()) {
    refused(*a, "the alignment frames were refused");
    return 0;
  }
  return 1;
}

int MacroPlayer::run(AboutDialog&) {
  return take(Answer::Ok, "\"ok\" to close the about box") ? 1 : 0;
}

int MacroPlayer::run(FrameGalleryDialog& d) {
  const Answer* a = take(Answer::Gallery, "the gallery options (\"gallery\")");
  if (a == nullptr) return 0;
  d.framesPerRow = named(*a, "per-row", d.framesPerRow);
  d.linear = named(*a, "method", "linear") == "linear";
  if (!d.accept()) {
    refused(*a, "the gallery options were refused");
    return 0;
  }
  return 1;
}

int MacroPlayer::run(OpenDialog& d) {
  const Answer* a = take(Answer::Open, "the files to open (\"open\")");
  if (a == nullptr) return 0;
  int kind = kOpenTiff;
  parseInt(named(*a, "kind", "1"), kind);
  d.setKind(kind);
  const std::string type = named(*a, "type", "UC");
  d.setTypeRow(type == "F" ? 1 : type == "I" ? 2 : 0);
  d.setColorRow(named(*a, "color", "1") == "3" ? 1 : 0);
  d.fileName = named(*a, "file", "");
  d.lower = named(*a, "lower", d.lower);
  d.upper = named(*a, "upper", d.upper);
  d.digits = named(*a, "digits", d.digits);
  d.width = named(*a, "width", d.width);
  d.height = named(*a, "height", d.height);
  d.extensions[0] = named(*a, "ext1", d.extensions[0]);
  d.extensions[1] = named(*a, "ext2", d.extensions[1]);
  d.extensions[2] = named(*a, "ext3", d.extensions[2]);
  if (!d.accept()) {
    fault(a->line,
          "the open answer was refused: the frame range (and for raw data the size) "
          "must be whole numbers, the upper frame not below the lower, and the file "
          "name without \"*\" or \"?\"");
    return 0;
  }
  return 1;
}

std::optional<std::string> MacroPlayer::openFileName(const std::string& title, const std::string&) {
  const Answer* a = take(Answer::File, "a file to read (\"" + title + "\")");
  if (a == nullptr) return std::nullopt;
  return a->texts[0];
}

std::optional<std::string> MacroPlayer::saveFileName(const std::string& title, const std::string&) {
  const Answer* a = take(Answer::File, "a file to write (\"" + title + "\")");
  if (a == nullptr) return std::nullopt;
  return a->texts[0];
}

int MacroPlayer::pickSeeds(Volume* input, Volume* output) {
  const Answer* a = take(Answer::Seeds, "seed points (\"seeds\")");
  if (a == nullptr) return -1;
  int count = 0;
  for (const std::string& click : a->texts) {
    std::istringstream in(click);
    int x = 0, y = 0, z = 0;
    in >> x >> y >> z;
    const int before = count;
    count = labelSeed(input, output, x, y, z, count);
    if (count == before) {
      fault(a->line, "the seed " + quoted(click) + " lies outside the input's VOI");
      return -1;
    }
  }
  return count;
}

int MacroPlayer::showMessage(void*, std::string_view message, std::string_view, MessageIcon icon,
                             MessageButtons buttons) {
  if (buttons == MessageButtons::Ok) {
    if (icon == MessageIcon::Error)
      fault(command_ != nullptr ? command_->line : 0, std::string(message));
    else
      messages_.emplace_back(message);
    return kAnswerOk;
  }
  const int refuse = buttons == MessageButtons::YesNo ? kAnswerNo : kAnswerCancel;
  const Answer* a = take(Answer::Question, "an answer to \"" + std::string(message) + "\"");
  if (a == nullptr) return refuse;
  const std::string& said = a->texts[0];
  const bool fits = buttons == MessageButtons::YesNo ? (said == "yes" || said == "no")
                                                     : (said == "ok" || said == "cancel");
  if (!fits) {
    fault(a->line, "\"" + std::string(message) + "\" is not answered with " + said);
    return refuse;
  }
  return said == "yes"  ? kAnswerYes
         : said == "no" ? kAnswerNo
         : said == "ok" ? kAnswerOk
                        : kAnswerCancel;
}

}  // namespace v3d::shell
