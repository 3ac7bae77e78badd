// The motion module without a toolkit: the options dialog's rules, the help topics, and the
// command run against the real volume table with a scripted UI and program.
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/table.h"
#include "fixtures.h"
#include "motionfield/block_matching.h"
#include "motionfield/command.h"
#include "motionfield/help.h"
#include "motionfield/options.h"
#include "motionfield/texts.h"
#include "motionfield_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::motion::module;

auto tupleOf(const BlockMatchingOptions& o) {
  return std::make_tuple(o.width, o.height, o.depth, o.overlapX, o.overlapY, o.searchX, o.searchY,
                         o.method, o.displayBits);
}

// ---- Options dialog presenter -------------------------------------------------------------

TEST(MotionOptions, MethodButtonsMapToMethodsAndOrthogonalTiesSearchYToSearchX) {
  const int table[][2] = {{kCtlLogarithmic, 0},
                          {kCtlThreeStep, 1},
                          {kCtlConjugateDirection, 2},
                          {kCtlOrthogonal, 3},
                          {kCtlFullSearch, 4}};
  OptionsPresenter p;
  for (const auto& [control, method] : table) {
    p.choose(control);
    EXPECT_EQ(p.read().method, method) << control;
    EXPECT_EQ(p.enabled(kCtlSearchY), control != kCtlOrthogonal) << control;
  }
  p.choose(1011);  // no such button
  EXPECT_EQ(p.read().method, 4);

  p.setText(kCtlSearchY, "9");
  p.choose(kCtlOrthogonal);
  EXPECT_EQ(p.text(kCtlSearchY), "9") << "choosing the method alone copies nothing";
  p.setText(kCtlSearchX, "12");
  EXPECT_EQ(p.read().searchY, 12);
  p.choose(kCtlThreeStep);
  p.setText(kCtlSearchX, "3");
  EXPECT_EQ(p.read().searchY, 12) << "other methods keep the axes apart";
}

TEST(MotionOptions, AnOverlapLosingTheFocusIsCorrectedBelowTheBlockSize) {
  struct Case {
    int edit;
    const char* size;  // Width for Overlap X, Height for Overlap Y
    const char* overlap;
    const char* after;
    int warning;
  };
  const Case cases[] = {
      {kCtlOverlapX, "4", "4", "3", kWarnOverlapX},
      {kCtlOverlapX, "4", "17", "3", kWarnOverlapX},
      {kCtlOverlapX, "4", "3", "3", 0},
      {kCtlOverlapX, "1", "1", "0", kWarnOverlapX},
      {kCtlOverlapX, "16", "", "", 0},
      {kCtlOverlapY, "8", "8", "7", kWarnOverlapY},
      {kCtlOverlapY, "8", "7", "7", 0},
      {kCtlOverlapY, "2", "900", "1", kWarnOverlapY},
      // No overlap is below a block size of 0: nothing to correct to, so no warning loop.
      {kCtlOverlapX, "0", "0", "0", 0},
      {kCtlOverlapY, "", "5", "5", 0},
      {kCtlSearchX, "1", "9", "9", 0},  // only the overlaps are checked
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.edit << " size " << c.size << " value " << c.overlap);
    OptionsPresenter p;
    const bool y = c.edit == kCtlOverlapY;
    p.setText(y ? kCtlHeight : kCtlWidth, c.size);
    p.setText(y ? kCtlWidth : kCtlHeight, "1");  // the other axis' size does not matter
    p.setText(c.edit, c.overlap);
    EXPECT_EQ(p.focusLost(c.edit), c.warning);
    EXPECT_EQ(p.text(c.edit), c.after);
  }
}

TEST(MotionOptions, EditsTakeDigitsThatFitAnIntAndBoxesGiveTheirBits) {
  OptionsPresenter p;
  for (const char* bad : {"-1", "4a", " 4", "1234567890"}) EXPECT_FALSE(p.setText(kCtlDepth, bad));
  EXPECT_TRUE(p.setText(kCtlDepth, "999999999"));
  EXPECT_TRUE(p.setText(kCtlWidth, ""));
  EXPECT_EQ(p.read().depth, 999999999);
  EXPECT_EQ(p.read().width, 0) << "an empty edit reads as 0";

  p.setChecked(kCtlSubsampled, true);
  EXPECT_EQ(p.read().displayBits, 0) << "a disabled box cannot be checked";
  p.setChecked(kCtlDrawField, true);
  p.setChecked(kCtlSubsampled, true);
  p.setChecked(kCtlDisplayY, true);
  EXPECT_EQ(p.read().displayBits, kBitDrawField | kBitSubsampled | kBitDisplayY);
  p.setChecked(kCtlDrawField, false);
  EXPECT_FALSE(p.enabled(kCtlSubsampled));
  EXPECT_EQ(p.read().displayBits, kBitDisplayY) << "unchecking the field unchecks Subsampled";
  p.setChecked(kCtlDisplayX, true);
  p.setChecked(kCtlAmplitude, true);
  EXPECT_EQ(p.read().displayBits, 4 | 8 | 16);
  p.reset();  // every opening starts from the initial values
  EXPECT_EQ(tupleOf(p.read()), std::make_tuple(4, 4, 4, 0, 0, 4, 4, 0, 0));
  EXPECT_FALSE(p.enabled(kCtlSubsampled));
}

TEST(MotionHelp, ControlsOpenTheirTopicsAndEveryPageShipsBesideTheModule) {
  const int topics[][2] = {{kCtlDrawField, 0},   {kCtlDisplayX, 1},   {kCtlDisplayY, 2},
                           {kCtlAmplitude, 3},   {kCtlOverlapX, 4},   {kCtlOverlapY, 4},
                           {kCtlSearchX, 5},     {kCtlSearchY, 5},    {kCtlSubsampled, 6},
                           {kCtlLogarithmic, 7}, {kCtlFullSearch, 8}, {kCtlConjugateDirection, 9},
                           {kCtlOrthogonal, 10}, {kCtlThreeStep, 11}, {kCtlWidth, -1},
                           {kCtlHeight, -1},     {kCtlDepth, -1},     {kCtlOk, -1}};
  for (const auto& [control, topic] : topics) EXPECT_EQ(helpTopicOfControl(control), topic);
  EXPECT_EQ(helpPagePath("/opt/v3d/motionfield.so", 7), "/opt/v3d/motionfield_help/topic7.html");
  for (int topic = 0; topic < kHelpTopicCount; ++topic) {
    std::ifstream page(helpPagePath(V3D_BINARY_DIR "/motionfield.so", topic));
    std::stringstream text;
    text << page.rdbuf();
    EXPECT_NE(text.str().find("<title>"), std::string::npos) << "topic " << topic;
  }
}

// ---- The command ---------------------------------------------------------------------------

// What the scripted program saw.
struct Trace {
  Volume* input = nullptr;  // what GetInputVolume answers; null: cancelled
  int inputCalls = 0;
  std::vector<int> errors;
  std::vector<Volume*> displayed;
};
Trace g_trace;
V3dShellInfo g_info{};

V3dShellInfo* getInfo() {
  return &g_info;
}
int scriptedInput(int typeMask, int colorMask, const char* title, Volume** out) {
  ++g_trace.inputCalls;
  EXPECT_EQ(std::make_tuple(typeMask, colorMask, std::string(title)),
            std::make_tuple(V3D_UC, V3D_ONE_CHANNEL, std::string("Select Input Volume")));
  *out = g_trace.input;
  return g_trace.input != nullptr ? 1 : 0;
}
int noOutput(int, int, const char*, int, int, int, Volume**) {
  return 0;
}
int recordError(int code) {
  g_trace.errors.push_back(code);
  return 1;
}
void recordDisplay(Volume* v) {
  g_trace.displayed.push_back(v);
}

// A program table lacking `g_missing`: every other ordinal answers some function.
int g_missing = 0;
void* lookup(int ordinal) {
  return ordinal == g_missing ? nullptr : reinterpret_cast<void*>(&getInfo);
}

TEST(MotionBinding, RefusesWhenAnyOfTheSevenOrdinalsIsMissing) {
  ProgramBindings b;
  EXPECT_FALSE(bindProgram(nullptr, b)) << "not the program";
  for (int missing : {113, 110, 111, 112, 108, 4, 114}) {
    g_missing = missing;
    EXPECT_FALSE(bindProgram(&lookup, b)) << missing;
  }
  EXPECT_FALSE(b.bound()) << "a refusal binds nothing";
  g_missing = 0;
  EXPECT_TRUE(bindProgram(&lookup, b));
  EXPECT_EQ(b.info, &g_info) << "GetVelmora3DInfo asked at binding";
}

class ScriptedUi : public CommandUi {
 public:
  std::optional<BlockMatchingOptions> answer;  // nullopt: Cancel
  int asked = 0, busy = 0, busyMax = 0, busyAtWarning = -1;
  std::vector<int> warnings;

  bool askOptions(BlockMatchingOptions& options) override {
    ++asked;
    if (answer) options = *answer;
    return answer.has_value();
  }
  void showWarning(int id) override {
    warnings.push_back(id);
    busyAtWarning = busy;
  }
  void setBusy(bool on) override {
    busy += on ? 1 : -1;
    busyMax = std::max(busyMax, busy);
  }
};

class MotionCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    g_trace = Trace{};
    program = {&getInfo,     &scriptedInput, &CreateVolumeEx, &recordDisplay,
               &recordError, &DestroyVolume, &noOutput,       &g_info};
  }
  void TearDown() override { resetVolumeTable(); }

  // The input in slot 0: 6 frames of 24 x 32 moving 2 right and 1 down per frame.
  Volume* makeInput() {
    EXPECT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 6, 24, 32, nullptr, &g_trace.input), 0);
    fillMoving(g_trace.input, 2, 1, 11);
    return g_trace.input;
  }
  static int usedSlots() {
    int n = 0;
    for (int i = 0; i < kTableSlots; ++i) n += volumeSlot(i)->dataType != 0;
    return n;
  }
  BlockMatchingRun run(const BlockMatchingOptions& o) {
    ui = ScriptedUi{};
    ui.answer = o;
    return runBlockMatching(program, ui, 0);
  }
  // Options where no two parameters are equal, so that a swap shows: steps 4 and 3.
  static BlockMatchingOptions options(int bits = 0, int method = 4) {
    return {6, 4, 1, 2, 1, 3, method == motion::kOrthogonalSearch ? 3 : 2, method, bits};
  }

  ProgramBindings program;
  ScriptedUi ui;
};

TEST_F(MotionCommand, OnlyItemZeroRunsAndCancellingCreatesNothing) {
  makeInput();
  ui.answer = options(31);
  runBlockMatching(program, ui, 1);
  EXPECT_EQ(g_trace.inputCalls, 0) << "the menu has one item";
  Volume* input = std::exchange(g_trace.input, nullptr);
  runBlockMatching(program, ui, 0);
  EXPECT_EQ(ui.asked, 0) << "no options without an input";
  g_trace.input = input;
  ui.answer.reset();
  runBlockMatching(program, ui, 0);
  EXPECT_EQ(ui.asked, 1);
  EXPECT_EQ(usedSlots(), 1);
  EXPECT_EQ(ui.busyMax, 0);
  EXPECT_TRUE(g_trace.errors.empty() && g_trace.displayed.empty());
}

TEST_F(MotionCommand, FillsNamedVolumesAsTheAlgorithmsDoAndShowsOnlyTheDisplays) {
  for (int method = 0; method <= 4; ++method) {
    SCOPED_TRACE(method);
    resetVolumeTable();
    g_trace.displayed.clear();
    Volume* input = makeInput();
    fill_in_VOI(input, 0, 6, 2, 22, 3, 30);  // VOI 20 x 27
    const BlockMatchingOptions o = options(kBitDrawField | 4 | 8 | 16, method);
    const BlockMatchingRun r = run(o);
    ASSERT_EQ(r.reported, 0);
    EXPECT_EQ(std::make_tuple(ui.busy, ui.busyMax, ui.warnings.size()), std::make_tuple(0, 1, 0u));

    // Vectors: (Z - D) x ceil(20 / 3) x ceil(27 / 4); the field and the displays the VOI's size.
    OwnedVolume x(V3D_I, 1, 5, 7, 7), y(V3D_I, 1, 5, 7, 7), field(V3D_UC, 1, 5, 20, 27),
        dx(V3D_UC, 1, 5, 20, 27), dy(V3D_UC, 1, 5, 20, 27), amp(V3D_UC, 1, 5, 20, 27);
    ASSERT_EQ(motion::EstimateMotionVectors(input, x, y, 6, 4, 3, o.searchY, 4, 3, 1, method), 0);
    ASSERT_EQ(motion::DrawMotionField(x, y, field, input, 6, 4, 4, 3, 1, 5, 255, 0), 0);
    ASSERT_EQ(motion::DisplayDisplacement(x, dx), 0);
    ASSERT_EQ(motion::DisplayDisplacement(y, dy), 0);
    ASSERT_EQ(motion::DisplayAmplitude(x, y, amp), 0);
    const std::vector<std::tuple<Volume*, Volume*, const char*>> made = {
        {r.vectorsX, x, "Motion Vector X"},
        {r.vectorsY, y, "Motion Vector Y"},
        {r.field, field, "Motion Vector Field"},
        {r.displayX, dx, "Motion Vector X Displacements"},
        {r.displayY, dy, "Motion Vector Y Displacements"},
        {r.amplitude, amp, "Motion Vector Amplitude"}};
    for (std::size_t i = 0; i < made.size(); ++i) {
      const auto& [got, expected, name] = made[i];
      ASSERT_NE(got, nullptr) << name;
      EXPECT_EQ(GetVolumeIndex(got), static_cast<int>(i) + 1) << "created in this order";
      EXPECT_STREQ(got->information, name);
      EXPECT_TRUE(sameVolume(got, expected)) << name;
    }
    EXPECT_EQ(g_trace.displayed,
              (std::vector<Volume*>{r.field, r.displayX, r.displayY, r.amplitude}));
  }
}

TEST_F(MotionCommand, DisplaySizesFollowTheFieldAndAShallowVoiGetsAFieldFramePerPair) {
  makeInput();
  BlockMatchingRun r = run(options(kBitDisplayX));
  EXPECT_EQ(std::tie(r.displayX->Z, r.displayX->Y, r.displayX->X), std::make_tuple(5, 8, 8))
      << "one pixel per block";
  EXPECT_EQ(g_trace.displayed, std::vector<Volume*>{r.displayX});

  // 4 frames in the VOI give 3 pairs at distance 1: the field has 3 frames, the vectors and
  // the grey displays keep Z - D = 5.
  resetVolumeTable();
  Volume* input = makeInput();
  fill_in_VOI(input, 1, 5, 0, 24, 0, 32);
  r = run(options(kBitDrawField | kBitSubsampled | kBitDisplayX | kBitAmplitude));
  ASSERT_EQ(r.reported, 0);
  OwnedVolume x(V3D_I, 1, 5, 8, 8), y(V3D_I, 1, 5, 8, 8), field(V3D_UC, 1, 3, 24, 32);
  ASSERT_EQ(motion::EstimateMotionVectors(input, x, y, 6, 4, 3, 2, 4, 3, 1, 4), 0);
  ASSERT_EQ(motion::DrawMotionField(x, y, field, input, 6, 4, 4, 3, 1, 3, 255, 1), 0);
  EXPECT_TRUE(sameVolume(r.field, field));
  EXPECT_EQ(std::tie(r.displayX->Z, r.displayX->Y, r.displayX->X), std::make_tuple(5, 24, 32));
  EXPECT_EQ(r.amplitude->Z, 5);
}

TEST_F(MotionCommand, FailuresDestroyWhatTheyMustAndWarnAboutDisplays) {
  struct Case {
    const char* name;
    BlockMatchingOptions options;
    int freeSlots;
    int reported;                   // code given to error_handler, 0 if none
    int warning;                    // warning shown, 0 if none
    std::vector<std::string> kept;  // names of the volumes left behind
  };
  BlockMatchingOptions deep = options(kBitDisplayX), wide = options(), orthogonal = options(4, 3);
  deep.depth = 6;          // the last frame bound
  wide.overlapX = 7;       // above the width: a negative step
  orthogonal.searchY = 2;  // unequal ranges
  const std::string vx = "Motion Vector X", vy = "Motion Vector Y";
  const Case cases[] = {
      {"depth at the last frame bound", deep, 99, kInvalidParameters, 0, {}},
      {"overlap above the width", wide, 99, kInvalidParameters, 0, {}},
      {"orthogonal with unequal ranges", orthogonal, 99, kInvalidParameters, 0, {}},
      // A full table's code, whatever its sign: error_handler shows either.
      {"no slot for the Y vectors", options(), 1, kTooMany3dWindows, 0, {}},
      {"no slot for the field", options(kBitDrawField | 4), 2, 0, kWarnFieldVolume, {vx, vy}},
      {"no slot for the Y displacements",
       options(kBitDrawField | 4 | 8),
       4,
       0,
       kWarnDisplacementVolume,
       {vx, vy, "Motion Vector Field", "Motion Vector X Displacements"}},
      {"no slot for the X displacements", options(4), 2, 0, kWarnDisplacementVolume, {vx, vy}},
      {"no slot for the amplitude", options(16), 2, 0, kWarnAmplitudeVolume, {vx, vy}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetVolumeTable();
    g_trace = Trace{};
    makeInput();
    Volume* filler = nullptr;
    while (kTableSlots - usedSlots() > c.freeSlots)
      ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1, nullptr, &filler), 0);
    const BlockMatchingRun r = run(c.options);
    EXPECT_EQ(std::abs(r.reported), std::abs(c.reported));
    EXPECT_EQ(g_trace.errors, c.reported ? std::vector<int>{r.reported} : std::vector<int>{});
    EXPECT_EQ(ui.warnings, c.warning ? std::vector<int>{c.warning} : std::vector<int>{});
    EXPECT_EQ(ui.busyAtWarning, c.warning ? 0 : -1) << "the arrow is back for the warning";
    EXPECT_EQ(ui.busy, 0);
    EXPECT_TRUE(g_trace.displayed.empty()) << "a failed run shows nothing";
    std::vector<std::string> kept;
    for (int i = 0; i < kTableSlots; ++i)
      if (volumeSlot(i)->dataType != 0 && volumeSlot(i)->information[0] != '\0')
        kept.push_back(volumeSlot(i)->information);
    EXPECT_EQ(kept, c.kept);
    EXPECT_EQ(usedSlots(), kTableSlots - c.freeSlots + static_cast<int>(c.kept.size()));
  }
}

}  // namespace
}  // namespace v3d::test
