#include "shell/macro_recorder.h"

#include <array>
#include <ctime>
#include <fstream>
#include <map>
#include <utility>

#include "core/messages.h"
#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell/macro_format.h"
#include "shell/open_dialog.h"
#include "shell/saver_report.h"

namespace v3d::shell {
namespace {

using macro::named;
using macro::quote;

std::string yesNo(bool b) {
  return b ? "yes" : "no";
}

std::string typeName(int dataType) {
  return dataType == V3D_F ? "F" : dataType == V3D_I ? "I" : "UC";
}

std::string menuText(int id) {
  return std::string(text(kMenuTextBase + id));
}

// Commands whose effect does not come from their dialogs: pointer modes finished by a click in
// a display window, and the end of the program.
bool outsideTheDesk(int id) {
  return id == kCmdWriteVoxel || id == kCmdExit;
}

// The information texts of every slot, to see which one a dialog changed.
std::array<std::string, kTableSlots> informationTexts() {
  std::array<std::string, kTableSlots> t;
  for (int i = 0; i < kTableSlots; ++i) t[static_cast<std::size_t>(i)] = volumeSlot(i)->information;
  return t;
}

}  // namespace

MacroRecorder::MacroRecorder(Desk& inner, std::ostream& out)
    : ForwardingDesk(inner),
      out_(out),
      forwardTo_(&reporter()),
      previousReporter_(installReporter(this)) {}

MacroRecorder::~MacroRecorder() {
  // Only while still installed: the frame may have put its own reporter back on closing.
  if (&reporter() == this) installReporter(previousReporter_);
  out_.flush();
}

template <class Run>
int MacroRecorder::inDialog(Run&& run) {
  ++dialogDepth_;
  const int result = run();
  --dialogDepth_;
  return result;
}

void MacroRecorder::beginCommand(int id) {
  command_ = id;
  cancelled_ = failed_ = false;
  answers_.clear();
  if (id == kCmdSave)
    mode_ = Mode::Saver;
  else if (opensModelessTool(id) || outsideTheDesk(id))
    mode_ = Mode::NotRecorded;
  else
    mode_ = Mode::Answers;
}

void MacroRecorder::endCommand() {
  const Mode mode = mode_;
  mode_ = Mode::Idle;
  if (mode == Mode::Answers && !cancelled_ && !failed_) {
    out_ << "command " << command_ << ' ' << quote(menuText(command_)) << '\n';
    for (const std::string& a : answers_) out_ << a << '\n';
    ++recorded_;
  } else if (mode == Mode::Saver) {
    for (const std::string& a : answers_) out_ << a << '\n';
  } else if (mode == Mode::NotRecorded) {
    const bool module = command_ >= kFirstModuleCommand && command_ < kModuleCommandEnd;
    out_ << "# not recorded: "
         << (module ? "module command " + std::to_string(command_)
                    : "command " + std::to_string(command_) + ' ' + quote(menuText(command_)))
         << '\n';
    if (!noticeShown_) {
      noticeShown_ = true;
      forwardTo_->showMessage(nullptr, text(kTextCommandNotRecorded), kCaption,
                              MessageIcon::Information, MessageButtons::Ok);
    }
  }
  answers_.clear();
  out_.flush();
}

void MacroRecorder::saverWrote(int slot, int format, const std::string& fileName, int compression,
                               int digits) {
  if (mode_ != Mode::Saver) return;
  std::string line;
  switch (format) {
    case V3D_SAVED_TIFF_STACK:
      line = "write-tiff-stack";
      break;
    case V3D_SAVED_TIFF_SEQUENCE:
      line = "write-tiff-frames";
      break;
    case V3D_SAVED_RAW_VOLUME:
      line = "write-raw";
      break;
    case V3D_SAVED_TEXT_DUMP:
      line = "write-dump";
      break;
    default:
      return;
  }
  line += ' ' + std::to_string(slot) + ' ' + quote(fileName);
  if (format == V3D_SAVED_TIFF_SEQUENCE) line += " digits=" + std::to_string(digits);
  if (format == V3D_SAVED_TIFF_STACK || format == V3D_SAVED_TIFF_SEQUENCE)
    line += " compression=" + macro::compressionName(compression);
  answers_.push_back(line);
}

int MacroRecorder::run(VolumeDialog& d) {
  std::array<bool, kTableSlots> used{};
  for (int i = 0; i < kTableSlots; ++i) used[static_cast<std::size_t>(i)] = volumeSlot(i)->dataType;
  const auto informationBefore = informationTexts();
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (d.kind == VolumeDialogKind::Destroy) {
    for (int i = 0; i < kTableSlots; ++i)
      if (used[static_cast<std::size_t>(i)] && volumeSlot(i)->dataType == 0)
        answer("destroy " + std::to_string(i));
    return result;
  }
  if (d.kind == VolumeDialogKind::State) {
    answer("ok");
    return result;
  }
  if (result != 1 || d.selectedRow() < 0) {
    cancelled_ = true;
    return result;
  }
  const VolumeListEntry& e = d.entries()[static_cast<std::size_t>(d.selectedRow())];
  std::string line;
  if (d.kind == VolumeDialogKind::Create) {
    line = "create " + e.label + " x=" + quote(d.fieldX) + " y=" + quote(d.fieldY) +
           " z=" + quote(d.fieldZ) + " type=" + typeName(d.resultDataType) +
           " color=" + (d.resultColorType == V3D_THREE_CHANNELS ? "3" : "1");
  } else {
    line = "volume " + e.label;
    if (e.isNew)
      line += " x=" + quote(d.fieldX) + " y=" + quote(d.fieldY) + " z=" + quote(d.fieldZ);
  }
  const std::string& before = informationBefore[static_cast<std::size_t>(e.index)];
  if (d.informationFieldEditable() && d.information != (e.isNew ? std::string() : before))
    line += ' ' + named("info", d.information);
  if (d.kind == VolumeDialogKind::Voi || (d.kind == VolumeDialogKind::Input && d.changeVoi)) {
    std::string bounds;
    for (const std::string& b : d.voi) bounds += (bounds.empty() ? "" : ",") + b;
    line += ' ' + named("voi", bounds);
  }
  answer(line);
  return result;
}

int MacroRecorder::run(ValueDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (result != 1) {
    cancelled_ = true;
    return result;
  }
  std::string line = "values";
  for (int k = 0; k < d.fields; ++k) line += ' ' + quote(d.texts[static_cast<std::size_t>(k)]);
  answer(line);
  return result;
}

int MacroRecorder::run(DisplayLevelsDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (result != 1) {
    cancelled_ = true;
    return result;
  }
  answer("levels " + quote(d.lower) + ' ' + quote(d.upper) + ' ' + quote(d.delay));
  return result;
}

int MacroRecorder::run(InterpolationDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (result != 1) {
    cancelled_ = true;
    return result;
  }
  std::string line = "interpolation extract=" + yesNo(d.extractFromOutput) +
                     " method=" + (d.linear ? "linear" : "nearest");
  if (!d.extractFromOutput)
    line += ' ' + named("x", d.factorX) + ' ' + named("y", d.factorY) + ' ' + named("z", d.factorZ);
  answer(line);
  return result;
}

int MacroRecorder::run(WeightsSourceDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (result == 0) {
    cancelled_ = true;
    return result;
  }
  answer(std::string("weights ") + (d.chosen == WeightsSourceDialog::kVolume ? "volume" : "file"));
  return result;
}

int MacroRecorder::run(BinaryInterpolationDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (result != 1) {
    cancelled_ = true;
    return result;
  }
  answer("binary coherence=" + yesNo(d.edgeCoherence) + " between=" + (d.twoFrames ? "2" : "1"));
  return result;
}

int MacroRecorder::run(AlignmentDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (result != 1) {
    cancelled_ = true;
    return result;
  }
  answer("frames " + quote(d.lower) + ' ' + quote(d.upper));
  return result;
}

int MacroRecorder::run(AboutDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (recording()) answer("ok");
  return result;
}

int MacroRecorder::run(FrameGalleryDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (result != 1) {
    cancelled_ = true;
    return result;
  }
  answer("gallery " + named("per-row", d.framesPerRow) +
         " method=" + (d.linear ? "linear" : "nearest"));
  return result;
}

int MacroRecorder::run(OpenDialog& d) {
  const int result = inDialog([&] { return ForwardingDesk::run(d); });
  if (!recording()) return result;
  if (result != 1) {
    cancelled_ = true;
    return result;
  }
  const int kind = d.kind();
  std::string line = "open kind=" + std::to_string(kind) + ' ' + named("file", d.fileName) + ' ' +
                     named("lower", d.lower) + ' ' + named("upper", d.upper);
  if (d.digitsEnabled()) line += ' ' + named("digits", d.digits);
  if (!isImageSequence(kind)) {
    line += ' ' + named("width", d.width) + ' ' + named("height", d.height) +
            " type=" + VolumeDialog::createTypeTexts()[static_cast<std::size_t>(d.typeRow())] +
            " color=" + (d.colorRow() == 1 ? "3" : "1");
  }
  if (d.ext1Enabled()) line += ' ' + named("ext1", d.extensions[0]);
  if (d.ext23Enabled())
    line += ' ' + named("ext2", d.extensions[1]) + ' ' + named("ext3", d.extensions[2]);
  answer(line);
  return result;
}

std::optional<std::string> MacroRecorder::openFileName(const std::string& title,
                                                       const std::string& filter) {
  ++dialogDepth_;
  auto name = ForwardingDesk::openFileName(title, filter);
  --dialogDepth_;
  return recordFileName(std::move(name));
}

std::optional<std::string> MacroRecorder::saveFileName(const std::string& title,
                                                       const std::string& filter) {
  ++dialogDepth_;
  auto name = ForwardingDesk::saveFileName(title, filter);
  --dialogDepth_;
  return recordFileName(std::move(name));
}

std::optional<std::string> MacroRecorder::recordFileName(std::optional<std::string> name) {
  if (!recording()) return name;
  if (!name)
    cancelled_ = true;
  else
    answer("file " + quote(*name));
  return name;
}

int MacroRecorder::pickSeeds(Volume* input, Volume* output) {
  const int count = inDialog([&] { return ForwardingDesk::pickSeeds(input, output); });
  if (!recording()) return count;
  if (count < 0) {
    cancelled_ = true;
    return count;
  }
  // The clicks are read back from the output, which the command cleared before and which
  // holds seed k at the voxel of the k-th click (low 8 bits). A label missing because a later
  // click hit the same voxel is given the voxel of the next label, so that replaying the
  // clicks in order gives the same voxels and the same count.
  std::map<int, std::string> seeds;
  if (CheckVolume(output, V3D_UC, V3D_ONE_CHANNEL) == 0) {
    auto*** s = static_cast<unsigned char***>(output->channel[0]);
    for (int z = 0; z < output->Z; ++z)
      for (int y = 0; y < output->Y; ++y)
        for (int x = 0; x < output->X; ++x)
          if (s[z][y][x] != 0)
            seeds[s[z][y][x]] =
                std::to_string(x) + ' ' + std::to_string(y) + ' ' + std::to_string(z);
  }
  std::string line = "seeds";
  std::string next;
  std::vector<std::string> clicks(static_cast<std::size_t>(std::min(count, 255)));
  for (int k = static_cast<int>(clicks.size()); k >= 1; --k) {
    const auto it = seeds.find(k);
    if (it != seeds.end()) next = it->second;
    clicks[static_cast<std::size_t>(k - 1)] = next;
  }
  for (const std::string& c : clicks)
    if (!c.empty()) line += ' ' + quote(c);
  if (line == "seeds") {
    cancelled_ = true;  // nothing to replay: the command is left out
    return count;
  }
  answer(line);
  return count;
}

int MacroRecorder::showMessage(void* owner, std::string_view message, std::string_view caption,
                               MessageIcon icon, MessageButtons buttons) {
  const int result = forwardTo_->showMessage(owner, message, caption, icon, buttons);
  if (mode_ == Mode::Idle) return result;
  if (buttons == MessageButtons::Ok) {
    // A failure outside a dialog ends the command; inside one, the dialog stays open.
    if (icon == MessageIcon::Error && dialogDepth_ == 0) failed_ = true;
    return result;
  }
  if (!recording()) return result;
  switch (result) {
    case kAnswerYes:
      answer("answer yes");
      break;
    case kAnswerOk:
      answer("answer ok");
      break;
    default:
      // "No" and "Cancel" end the commands that ask.
      cancelled_ = true;
      break;
  }
  return result;
}

void MacroRecorder::restoreCursor() {
  forwardTo_->restoreCursor();
}

namespace {

struct Session {
  std::ofstream file;
  std::unique_ptr<MacroRecorder> recorder;
};
Session& session() {
  static Session s;
  return s;
}

}  // namespace

MacroRecorder* activeRecorder() {
  return session().recorder.get();
}

bool startRecording(Desk& desk, const std::string& path) {
  stopRecording();
  Session& s = session();
  s.file.open(path, std::ios::out | std::ios::trunc);
  if (!s.file) return false;
  const std::time_t now = std::time(nullptr);
  char stamp[32] = "";
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  s.file << "# Velmora3D macro, recorded " << stamp << "\n";
  s.file.flush();
  s.recorder = std::make_unique<MacroRecorder>(desk, s.file);
  return true;
}

void stopRecording() {
  Session& s = session();
  s.recorder.reset();
  if (s.file.is_open()) s.file.close();
}

void runMenuCommand(Desk& desk, std::uintptr_t wParam,
                    const std::function<void(std::uintptr_t)>& passOn) {
  const int id = static_cast<int>(wParam & 0xFFFF);
  MacroRecorder* recorder = activeRecorder();
  if (recorder != nullptr && id == kCmdExit) stopRecording();  // the file is complete first
  recorder = activeRecorder();
  const bool macroCommand =
      id == kCmdStartRecording || id == kCmdStopRecording || id == kCmdRunMacro;
  if (recorder == nullptr || macroCommand) {
    dispatch(desk, wParam);
    if (passOn) passOn(wParam);
    return;
  }
  recorder->beginCommand(id);
  dispatch(*recorder, wParam);
  if (passOn) passOn(wParam);
  recorder->endCommand();
}

}  // namespace v3d::shell

extern "C" void SaverWroteVolume(int slot, int format, const char* fileName, int compression,
                                 int digits) {
  if (auto* recorder = v3d::shell::activeRecorder(); recorder != nullptr && fileName != nullptr)
    recorder->saverWrote(slot, format, fileName, compression, digits);
}
