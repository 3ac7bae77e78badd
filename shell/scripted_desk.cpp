#include "shell/scripted_desk.h"

#include <cstdio>
#include <utility>

#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/alignment_toolbox.h"
#include "shell/contour_following.h"
#include "shell/labelled_view.h"
#include "shell/open_dialog.h"
#include "shell/projection_update.h"

namespace v3d::shell {
namespace {
void closeThroughDesk(Volume* v) {
  if (Desk* d = desk()) d->closeWindowsOf(v);
}
}  // namespace

Step pick(const std::string& label) { return {Step::Pick, label, {}, {}, {}, false, 0}; }
Step pickNew(int index, int X, int Y, int Z) {
  return withDims(pick("New[" + std::to_string(index) + "]"), std::to_string(X), std::to_string(Y),
                  std::to_string(Z));
}
Step withInformation(Step s, const std::string& info) {
  s.information = info;
  return s;
}
Step withVoi(Step s, std::array<std::string, 6> voi) {
  s.voi = voi;
  return s;
}
Step withDims(Step s, const std::string& X, const std::string& Y, const std::string& Z) {
  s.texts = {X, Y, Z};
  return s;
}
Step values(std::vector<std::string> texts) { return {Step::Values, {}, std::move(texts), {}, {}, false, 0}; }
Step valuesThenCancel(std::vector<std::string> texts) {
  Step s = values(std::move(texts));
  s.cancelAfterTyping = true;
  return s;
}
Step destroyEntry(const std::string& label) { return {Step::Destroy, label, {}, {}, {}, false, 0}; }
Step yes() { return {Step::Yes, {}, {}, {}, {}, false, 0}; }
Step no() { return {Step::No, {}, {}, {}, {}, false, 0}; }
Step ok() { return {Step::Ok, {}, {}, {}, {}, false, 0}; }
Step cancel() { return {Step::Cancel, {}, {}, {}, {}, false, 0}; }
Step file(const std::string& name) { return {Step::File, name, {}, {}, {}, false, 0}; }
Step choose(int idOrRow) { return {Step::Choose, {}, {}, {}, {}, false, idOrRow}; }

Step openFiles(int kind, const std::string& file, int lower, int upper, int digits, int width,
               int height, int typeRow, int colorRow) {
  Step s{Step::Open, file, {}, {}, {}, false, 0};
  for (int v : {kind, lower, upper, digits, width, height, typeRow, colorRow})
    s.texts.push_back(std::to_string(v));
  return s;
}

ScriptedDesk::ScriptedDesk() {
  previousReporter_ = installReporter(this);
  previousDesk_ = installDesk(this);
  setVolumeWindowCloser(closeThroughDesk);
}

ScriptedDesk::~ScriptedDesk() {
  setVolumeWindowCloser(nullptr);
  installDesk(previousDesk_);
  installReporter(previousReporter_);
}

void ScriptedDesk::script(std::initializer_list<Step> steps) {
  for (const Step& s : steps) steps_.push_back(s);
}

std::optional<Step> ScriptedDesk::next() {
  if (steps_.empty()) return std::nullopt;
  Step s = steps_.front();
  steps_.pop_front();
  return s;
}

int ScriptedDesk::run(VolumeDialog& d) {
  dialogTitles.push_back(d.title);
  d.open();
  for (;;) {
    auto s = next();
    if (!s) {
      ++unanswered;
      return 0;
    }
    switch (s->kind) {
      case Step::Cancel:
        return 0;
      case Step::Ok:  // closes the state and destroy dialogs
        d.accept();
        return d.kind == VolumeDialogKind::Destroy ? 0 : 1;
      case Step::Destroy:
        if (!d.selectLabel(s->label)) ++unanswered;
        d.destroySelected();
        continue;
      case Step::Pick: {
        if (!d.selectLabel(s->label)) {
          ++unanswered;
          return 0;
        }
        if (s->texts.size() == 3) {
          d.fieldX = s->texts[0];
          d.fieldY = s->texts[1];
          d.fieldZ = s->texts[2];
        }
        if (s->information) d.information = *s->information;
        if (s->voi) {
          d.setChangeVoi(true);
          d.voi = *s->voi;
        }
        if (d.accept()) return 1;
        continue;  // the dialog stays open for the next step
      }
      case Step::Choose:  // create dialog: type row * 10 + colour row
        d.createTypeRow = s->choice / 10;
        d.createColorRow = s->choice % 10;
        continue;
      default:
        ++unanswered;
        return 0;
    }
  }
}

int ScriptedDesk::run(ValueDialog& d) {
  dialogTitles.push_back(d.title);
  auto s = next();
  if (!s || s->kind != Step::Values) {
    ++unanswered;
    return 0;
  }
  for (std::size_t i = 0; i < s->texts.size() && i < d.texts.size(); ++i) d.texts[i] = s->texts[i];
  if (s->cancelAfterTyping) return 0;
  d.accept();
  return 1;
}

int ScriptedDesk::run(DisplayLevelsDialog& d) {
  dialogTitles.push_back(d.title);
  for (;;) {
    auto s = next();
    if (!s || s->kind == Step::Cancel) return s ? 0 : (++unanswered, 0);
    if (s->kind == Step::Values && s->texts.size() == 3) {
      d.lower = s->texts[0];
      d.upper = s->texts[1];
      d.delay = s->texts[2];
    }
    if (d.accept()) return 1;
  }
}

int ScriptedDesk::run(InterpolationDialog& d) {
  dialogTitles.push_back(d.title);
  for (;;) {
    auto s = next();
    if (!s || s->kind == Step::Cancel) return s ? 0 : (++unanswered, 0);
    if (s->kind == Step::Values && s->texts.size() == 3) {
      d.factorX = s->texts[0];
      d.factorY = s->texts[1];
      d.factorZ = s->texts[2];
    }
    // Choose: "Extract factors from output volume" * 10 + "Nearest Neighbor" (where enabled);
    // without the extraction the factors follow in a Values step.
    if (s->kind == Step::Choose) {
      d.extractFromOutput = s->choice / 10 != 0;
      d.linear = !(d.nearestEnabled() && s->choice % 10 != 0);
      if (!d.extractFromOutput) continue;
    }
    if (d.accept()) return 1;
  }
}

int ScriptedDesk::run(WeightsSourceDialog& d) {
  auto s = next();
  if (!s || s->kind != Step::Choose) return s ? 0 : (++unanswered, 0);
  d.chosen = s->choice;
  return d.chosen;
}

int ScriptedDesk::run(BinaryInterpolationDialog& d) {
  auto s = next();
  if (!s || s->kind == Step::Cancel) return s ? 0 : (++unanswered, 0);
  if (s->kind == Step::Choose) {
    d.edgeCoherence = s->choice / 10 != 0;
    d.twoFrames = s->choice % 10 != 0;
  }
  return 1;
}

int ScriptedDesk::run(AlignmentDialog& d) {
  for (;;) {
    auto s = next();
    if (!s || s->kind == Step::Cancel) return s ? 0 : (++unanswered, 0);
    if (s->kind == Step::Values && s->texts.size() == 2) {
      d.lower = s->texts[0];
      d.upper = s->texts[1];
    }
    if (d.accept()) return 1;
  }
}

// Values: the frames per row; Choose: 1 for "Nearest Neighbor", 0 for "Linear"; OK accepts
// as it stands.
int ScriptedDesk::run(FrameGalleryDialog& d) {
  dialogTitles.push_back(std::string(text(kTitleDialog111)));
  for (;;) {
    auto s = next();
    if (!s || s->kind == Step::Cancel) return s ? 0 : (++unanswered, 0);
    if (s->kind == Step::Choose) {
      d.linear = s->choice == 0;
      continue;
    }
    if (s->kind == Step::Values && !s->texts.empty()) d.framesPerRow = s->texts[0];
    if (d.accept()) return 1;
  }
}

int ScriptedDesk::run(AboutDialog& d) {
  dialogTitles.push_back(d.text);
  auto s = next();
  if (!s) ++unanswered;
  return 1;
}

int ScriptedDesk::run(OpenDialog& d) {
  for (;;) {
    auto s = next();
    if (!s || s->kind != Step::Open) return s ? 0 : (++unanswered, 0);
    d.setKind(std::stoi(s->texts[0]));
    d.setTypeRow(std::stoi(s->texts[6]));
    d.setColorRow(std::stoi(s->texts[7]));
    d.fileSelected(s->label);
    d.lower = s->texts[1];
    d.upper = s->texts[2];
    d.digits = s->texts[3];
    d.width = s->texts[4];
    d.height = s->texts[5];
    if (d.accept()) return 1;
  }
}

std::optional<std::string> ScriptedDesk::saveFileName(const std::string& title,
                                                      const std::string&) {
  dialogTitles.push_back(title);
  auto s = next();
  if (!s || s->kind != Step::File) {
    if (!s) ++unanswered;
    return std::nullopt;
  }
  return s->label;
}

std::optional<std::string> ScriptedDesk::openFileName(const std::string& title,
                                                      const std::string& filter) {
  return saveFileName(title, filter);
}

void ScriptedWindowDesk::showVolume(Volume* v) {
  shown.push_back(v);
  updateRecordedProjections(v);
}

void ScriptedWindowDesk::refreshVolume(Volume* v) {
  refreshed.push_back(v);
  updateRecordedProjections(v);
}

void ScriptedWindowDesk::updateRecordedProjections(Volume* v) {
  std::vector<ProjectionUpdate> updates;
  for (ProjectionShown& p : projections) {
    if (v == nullptr || p.projection->volume != v) continue;
    updates.push_back({p.title, [&p] {
                         if (p.projection->type == kFrameGalleryType)
                           produceGalleryPicture(*p.projection, *p.buffer);
                       }});
  }
  updateProjections(this, updates);
}

void ScriptedWindowDesk::showUpdatingBox(const std::string& windowTitle) {
  updatingTitles.push_back(windowTitle);
  updatingBoxShown = true;
}

void ScriptedWindowDesk::closeUpdatingBox() {
  updatingBoxShown = false;
  ++updatingBoxesClosed;
}

bool ScriptedWindowDesk::openDisplay(Volume* v, bool colour, int lower, int upper, float delay) {
  displays.push_back({v, colour, lower, upper, delay});
  return true;
}

void ScriptedWindowDesk::closeWindowsOf(Volume* v) {
  endAlignmentUsing(v);
  closed.push_back(v);
  if (contourPair && (v == contourPair->original() || v == contourPair->output()))
    closeContourPairWindow();
}

bool ScriptedWindowDesk::openContourPair(ContourSession& session, std::function<void()> closed) {
  if (failContourPair) return false;
  contourPair = &session;
  contourPairClosed_ = std::move(closed);
  ++contourPairsOpened;
  return true;
}

void ScriptedWindowDesk::closeContourPair() {
  contourPair = nullptr;
  contourPairClosed_ = nullptr;
}

void ScriptedWindowDesk::closeContourPairWindow() {
  auto closed = std::exchange(contourPairClosed_, nullptr);
  contourPair = nullptr;
  if (closed) closed();
}

bool ScriptedWindowDesk::openPlot(const std::string& title, const float* values) {
  plots.push_back({title, std::vector<float>(values, values + 256)});
  return true;
}

bool ScriptedWindowDesk::showProjection(ProjectionPtr projection, BufferPtr buffer,
                                        const std::string& title) {
  projections.push_back({std::move(projection), std::move(buffer), title});
  return true;
}

int ScriptedWindowDesk::openAlignment(AlignmentToolBox& toolBox) {
  if (alignment.openResult != 0) return alignment.openResult;
  alignment.toolBox = &toolBox;
  toolBox.setViews(&alignment);
  ++alignment.opened;
  return 0;
}

ScriptedAlignmentViews::~ScriptedAlignmentViews() {
  if (toolBox == nullptr) return;
  toolBox->setViews(nullptr);
  endAlignment();
}

bool ScriptedAlignmentViews::press(int button) {
  return toolBox != nullptr && toolBox->press(button);
}

int ScriptedDesk::pickSeeds(Volume* input, Volume* output) {
  auto s = next();
  if (!s || s->kind != Step::Values) return s ? -1 : (++unanswered, -1);
  int count = 0;
  for (const std::string& click : s->texts) {
    int x = 0, y = 0, z = 0;
    if (std::sscanf(click.c_str(), "%d %d %d", &x, &y, &z) != 3) continue;
    count = labelSeed(input, output, x, y, z, count);
  }
  return count;
}

bool ScriptedDesk::openLabelledView(std::unique_ptr<LabelledView> view) {
  if (refuseLabelledView) return false;
  labelledView_ = std::move(view);
  return labelledView_ != nullptr;
}

bool ScriptedDesk::closeLabelledView() {
  if (!labelledView_ || !labelledView_->requestClose()) return false;
  labelledView_.reset();
  return true;
}

int ScriptedDesk::showMessage(void*, std::string_view text, std::string_view caption,
                              MessageIcon icon, MessageButtons buttons) {
  messages.push_back({std::string(text), std::string(caption), icon, buttons});
  if (buttons == MessageButtons::Ok) return kAnswerOk;
  auto s = next();
  if (!s) {
    ++unanswered;
    return buttons == MessageButtons::YesNo ? kAnswerNo : kAnswerCancel;
  }
  switch (s->kind) {
    case Step::Yes:
      return kAnswerYes;
    case Step::No:
      return kAnswerNo;
    case Step::Ok:
      return kAnswerOk;
    case Step::Cancel:
      return kAnswerCancel;
    default:
      ++unanswered;
      return buttons == MessageButtons::YesNo ? kAnswerNo : kAnswerCancel;
  }
}

}  // namespace v3d::shell
