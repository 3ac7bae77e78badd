// The motion module without a toolkit: the options dialog's rules, the help topics, binding
// by ordinal, and the command run against the real volume table with a scripted UI.
#include <array>
#include <cstdlib>
#include <fstream>
#include <map>
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

// ---- Options dialog presenter -------------------------------------------------------------

TEST(MotionOptions, OpensWithTheInitialValuesEveryTime) {
  OptionsPresenter p;
  p.setText(kCtlWidth, "9");
  p.choose(kCtlFullSearch);
  p.setChecked(kCtlDrawField, true);
  p.setChecked(kCtlAmplitude, true);
  p.reset();
  const std::map<int, std::string> edits = {
      {kCtlWidth, "4"},    {kCtlHeight, "4"},  {kCtlDepth, "4"},  {kCtlOverlapX, "0"},
      {kCtlOverlapY, "0"}, {kCtlSearchX, "4"}, {kCtlSearchY, "4"}};
  for (const auto& [id, text] : edits) EXPECT_EQ(p.text(id), text) << id;
  for (int id : {kCtlThreeStep, kCtlConjugateDirection, kCtlOrthogonal, kCtlFullSearch,
                 kCtlDrawField, kCtlSubsampled, kCtlDisplayX, kCtlDisplayY, kCtlAmplitude})
    EXPECT_FALSE(p.checked(id)) << id;
  EXPECT_TRUE(p.checked(kCtlLogarithmic));
  EXPECT_FALSE(p.enabled(kCtlSubsampled));
  EXPECT_TRUE(p.enabled(kCtlSearchY));
  const BlockMatchingOptions o = p.read();
  EXPECT_EQ(std::tie(o.width, o.height, o.depth, o.overlapX, o.overlapY, o.searchX, o.searchY,
                     o.method, o.displayBits),
            std::make_tuple(4, 4, 4, 0, 0, 4, 4, 0, 0));
}

TEST(MotionOptions, MethodButtonsMapToMethodsAndOnlyOrthogonalGreysSearchY) {
  const std::array<std::array<int, 2>, 5> table = {{{kCtlLogarithmic, 0},
                                                    {kCtlThreeStep, 1},
                                                    {kCtlConjugateDirection, 2},
                                                    {kCtlOrthogonal, 3},
                                                    {kCtlFullSearch, 4}}};
  OptionsPresenter p;
  for (const auto& [control, method] : table) {
    p.choose(control);
    EXPECT_EQ(p.read().method, method) << control;
    EXPECT_EQ(p.enabled(kCtlSearchY), control != kCtlOrthogonal) << control;
    for (const auto& [other, unused] : table) EXPECT_EQ(p.checked(other), other == control);
  }
  p.choose(kCtlDrawField);  // not a method button
  p.choose(1011);           // no such control
  EXPECT_EQ(p.read().method, 4);
}

TEST(MotionOptions, OrthogonalSearchCopiesEverySearchXChangeIntoSearchY) {
  OptionsPresenter p;
  p.setText(kCtlSearchY, "9");
  p.choose(kCtlOrthogonal);
  EXPECT_EQ(p.text(kCtlSearchY), "9") << "choosing the method alone copies nothing";
  p.setText(kCtlSearchX, "");
  EXPECT_EQ(p.text(kCtlSearchY), "");
  p.setText(kCtlSearchX, "12");
  EXPECT_EQ(p.read().searchY, 12);
  p.choose(kCtlThreeStep);
  p.setText(kCtlSearchX, "3");
  EXPECT_EQ(p.text(kCtlSearchY), "12") << "other methods keep the axes apart";
  p.setText(kCtlSearchY, "5");
  EXPECT_EQ(p.text(kCtlSearchX), "3");
}

TEST(MotionOptions, OverlapLosingTheFocusIsCorrectedBelowTheBlockSize) {
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
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.edit << " size " << c.size << " overlap " << c.overlap);
    OptionsPresenter p;
    const int sizeId = c.edit == kCtlOverlapX ? kCtlWidth : kCtlHeight;
    const int otherSize = c.edit == kCtlOverlapX ? kCtlHeight : kCtlWidth;
    p.setText(sizeId, c.size);
    p.setText(otherSize, "1");  // the other axis' size must not matter
    p.setText(c.edit, c.overlap);
    EXPECT_EQ(p.focusLost(c.edit), c.warning);
    EXPECT_EQ(p.text(c.edit), c.after);
  }
  OptionsPresenter p;
  p.setText(kCtlWidth, "2");
  p.setText(kCtlSearchX, "9");
  for (int id : {kCtlWidth, kCtlHeight, kCtlDepth, kCtlSearchX, kCtlSearchY})
    EXPECT_EQ(p.focusLost(id), 0) << "only the overlaps are checked";
}

TEST(MotionOptions, EditsTakeOnlyDigitsThatFitAnInt) {
  OptionsPresenter p;
  for (const char* bad : {"-1", "4a", " 4", "1.5", "1234567890"}) {
    EXPECT_FALSE(p.setText(kCtlDepth, bad)) << bad;
    EXPECT_EQ(p.text(kCtlDepth), "4");
  }
  EXPECT_TRUE(p.setText(kCtlDepth, "999999999"));
  EXPECT_EQ(p.read().depth, 999999999);
  EXPECT_TRUE(p.setText(kCtlDepth, ""));
  EXPECT_EQ(p.read().depth, 0) << "an empty edit reads as 0";
  EXPECT_FALSE(p.setText(kCtlOk, "1")) << "not an edit";
}

TEST(MotionOptions, SubsampledFollowsDrawFieldAndEachBoxHasItsBit) {
  OptionsPresenter p;
  p.setChecked(kCtlSubsampled, true);
  EXPECT_FALSE(p.checked(kCtlSubsampled)) << "a disabled box cannot be checked";
  p.setChecked(kCtlDrawField, true);
  EXPECT_TRUE(p.enabled(kCtlSubsampled));
  p.setChecked(kCtlSubsampled, true);
  EXPECT_EQ(p.read().displayBits, kBitDrawField | kBitSubsampled);
  p.setChecked(kCtlDrawField, false);
  EXPECT_FALSE(p.enabled(kCtlSubsampled));
  EXPECT_FALSE(p.checked(kCtlSubsampled)) << "unchecking the field unchecks Subsampled";
  const std::array<std::array<int, 2>, 3> others = {
      {{kCtlDisplayX, 4}, {kCtlDisplayY, 8}, {kCtlAmplitude, 16}}};
  for (const auto& [id, bit] : others) {
    OptionsPresenter q;
    q.setChecked(id, true);
    EXPECT_EQ(q.read().displayBits, bit) << id;
  }
  p.setChecked(kCtlDrawField, true);
  p.setChecked(kCtlSubsampled, true);
  for (const auto& [id, bit] : others) p.setChecked(id, true);
  EXPECT_EQ(p.read().displayBits, 31);
}

// ---- Help ------------------------------------------------------------------------------------

TEST(MotionHelp, ControlsOpenTheirTopicsAndEveryPageShips) {
  const std::map<int, int> topics = {
      {kCtlOverlapX, 4},    {kCtlOverlapY, 4},           {kCtlSearchX, 5},
      {kCtlSearchY, 5},     {kCtlDrawField, 0},          {kCtlSubsampled, 6},
      {kCtlDisplayX, 1},    {kCtlDisplayY, 2},           {kCtlAmplitude, 3},
      {kCtlLogarithmic, 7}, {kCtlConjugateDirection, 9}, {kCtlThreeStep, 11},
      {kCtlFullSearch, 8},  {kCtlOrthogonal, 10}};
  for (int id : std::initializer_list<int>{kCtlOk,          kCtlCancel,     kCtlWidth,
                                           kCtlHeight,      kCtlDepth,      kCtlOverlapX,
                                           kCtlOverlapY,    kCtlSearchX,    kCtlSearchY,
                                           kCtlLogarithmic, kCtlThreeStep,  kCtlConjugateDirection,
                                           kCtlOrthogonal,  1011,           kCtlFullSearch,
                                           kCtlDrawField,   kCtlSubsampled, kCtlDisplayX,
                                           kCtlDisplayY,    kCtlAmplitude}) {
    const auto it = topics.find(id);
    EXPECT_EQ(helpTopicOfControl(id), it == topics.end() ? -1 : it->second) << id;
  }
  EXPECT_EQ(helpPagePath("/opt/v3d/motionfield.so", 7), "/opt/v3d/motionfield_help/topic7.html");
  EXPECT_EQ(helpPagePath("motionfield.so", 0), "./motionfield_help/topic0.html");
  // Every topic has a page with a title, in the build folder beside the module.
  for (int topic = 0; topic < kHelpTopicCount; ++topic) {
    std::ifstream page(helpPagePath(V3D_BINARY_DIR "/motionfield.so", topic));
    ASSERT_TRUE(page) << "topic " << topic;
    std::stringstream text;
    text << page.rdbuf();
    EXPECT_NE(text.str().find("<title>"), std::string::npos) << topic;
  }
  EXPECT_EQ(moduleFilePath().front(), '/') << "an absolute name of the running file";
}

// ---- Binding by ordinal --------------------------------------------------------------------

V3dShellInfo g_info{};
int g_infoCalls = 0;
std::vector<int> g_missing;  // ordinals the fake program does not answer

V3dShellInfo* fakeGetInfo() {
  ++g_infoCalls;
  return &g_info;
}
void fakeDisplay(Volume*) {}
int fakeInput(int, int, const char*, Volume**) {
  return 0;
}
int fakeOutput(int, int, const char*, int, int, int, Volume**) {
  return 0;
}
int fakeError(int) {
  return 1;
}

void* fakeLookup(int ordinal) {
  for (int m : g_missing)
    if (m == ordinal) return nullptr;
  switch (ordinal) {
    case V3D_ORD_GetVelmora3DInfo:
      return reinterpret_cast<void*>(&fakeGetInfo);
    case V3D_ORD_GetInputVolume:
      return reinterpret_cast<void*>(&fakeInput);
    case V3D_ORD_CreateVolumeEx:
      return reinterpret_cast<void*>(&CreateVolumeEx);
    case V3D_ORD_DisplayVolume:
      return reinterpret_cast<void*>(&fakeDisplay);
    case V3D_ORD_error_handler:
      return reinterpret_cast<void*>(&fakeError);
    case V3D_ORD_DestroyVolume:
      return reinterpret_cast<void*>(&DestroyVolume);
    case V3D_ORD_GetOutputVolume:
      return reinterpret_cast<void*>(&fakeOutput);
    default:
      return nullptr;
  }
}

TEST(MotionBinding, BindsTheSevenOrdinalsAndRefusesWhenOneIsMissing) {
  ProgramBindings b;
  EXPECT_FALSE(bindProgram(nullptr, b));
  for (int missing : {113, 110, 111, 112, 108, 4, 114}) {
    g_missing = {missing};
    g_infoCalls = 0;
    EXPECT_FALSE(bindProgram(&fakeLookup, b)) << missing;
    EXPECT_FALSE(b.bound()) << "a refused binding leaves nothing half bound";
  }
  g_missing.clear();
  g_infoCalls = 0;
  ASSERT_TRUE(bindProgram(&fakeLookup, b));
  EXPECT_EQ(g_infoCalls, 1);
  EXPECT_EQ(b.info, &g_info);
  EXPECT_EQ(b.createVolumeEx, &CreateVolumeEx);
  EXPECT_EQ(b.destroyVolume, &DestroyVolume);
  EXPECT_EQ(b.getOutputVolume, &fakeOutput);
}

// ---- The command ---------------------------------------------------------------------------

// What the scripted program and UI saw.
struct Trace {
  Volume* input = nullptr;  // what GetInputVolume answers; null: cancelled
  int inputCalls = 0;
  int inputTypeMask = 0, inputColorMask = 0;
  std::string inputTitle;
  std::vector<int> errors;
  std::vector<Volume*> displayed;
  int busyAtMessage = -1;  // busy depth when the last message was shown
};
Trace g_trace;

class ScriptedUi : public CommandUi {
 public:
  std::optional<BlockMatchingOptions> answer;  // nullopt: Cancel
  int asked = 0;
  int busy = 0, busyMax = 0;
  std::vector<int> warnings;

  bool askOptions(BlockMatchingOptions& options) override {
    ++asked;
    EXPECT_EQ(busy, 0) << "no wait cursor over the dialog";
    if (!answer) return false;
    options = *answer;
    return true;
  }
  void showWarning(int id) override {
    warnings.push_back(id);
    g_trace.busyAtMessage = busy;
  }
  void setBusy(bool on) override {
    busy += on ? 1 : -1;
    busyMax = std::max(busyMax, busy);
    EXPECT_GE(busy, 0);
  }
};

int scriptedInput(int typeMask, int colorMask, const char* title, Volume** out) {
  ++g_trace.inputCalls;
  g_trace.inputTypeMask = typeMask;
  g_trace.inputColorMask = colorMask;
  g_trace.inputTitle = title;
  *out = g_trace.input;
  return g_trace.input != nullptr ? 1 : 0;
}
int recordingError(int code) {
  g_trace.errors.push_back(code);
  return 1;
}
void recordingDisplay(Volume* v) {
  g_trace.displayed.push_back(v);
}

class MotionCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    g_trace = Trace{};
    program.getInfo = &fakeGetInfo;
    program.getInputVolume = &scriptedInput;
    program.createVolumeEx = &CreateVolumeEx;
    program.displayVolume = &recordingDisplay;
    program.errorHandler = &recordingError;
    program.destroyVolume = &DestroyVolume;
    program.getOutputVolume = &fakeOutput;
    program.info = &g_info;
  }
  void TearDown() override { resetVolumeTable(); }

  // The input in slot 0: 6 frames of 24 x 32 moving 2 right and 1 down per frame.
  Volume* makeInput() {
    Volume* v = nullptr;
    EXPECT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 6, 24, 32, nullptr, &v), 0);
    fillMoving(v, 2, 1, 11);
    g_trace.input = v;
    return v;
  }
  // Fills the table so that exactly `free` slots are left.
  void leaveFreeSlots(int free) {
    while (kTableSlots - usedSlots() > free) {
      Volume* v = nullptr;
      ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1, nullptr, &v), 0);
    }
  }
  static int usedSlots() {
    int n = 0;
    for (int i = 0; i < kTableSlots; ++i) n += volumeSlot(i)->dataType != 0;
    return n;
  }
  BlockMatchingRun run(const BlockMatchingOptions& o, int item = 0) {
    ui.answer = o;
    return runBlockMatching(program, ui, item);
  }
  // Options that tell every parameter apart: no two equal where a swap could hide.
  static BlockMatchingOptions options(int bits = 0, int method = 4) {
    BlockMatchingOptions o;
    o.width = 6;
    o.height = 4;
    o.depth = 1;
    o.overlapX = 2;  // stepX 4
    o.overlapY = 1;  // stepY 3
    o.searchX = 3;
    o.searchY = 2;
    o.method = method;
    o.displayBits = bits;
    return o;
  }

  ProgramBindings program;
  ScriptedUi ui;
};

TEST_F(MotionCommand, OnlyItemZeroRunsAndCancellingEndsQuietly) {
  makeInput();
  run(options(31), 1);
  EXPECT_EQ(g_trace.inputCalls, 0) << "item 1 does not exist";
  Volume* input = g_trace.input;
  g_trace.input = nullptr;  // the input dialog cancelled
  run(options(31));
  EXPECT_EQ(g_trace.inputCalls, 1);
  EXPECT_EQ(g_trace.inputTypeMask, V3D_UC);
  EXPECT_EQ(g_trace.inputColorMask, V3D_ONE_CHANNEL);
  EXPECT_EQ(g_trace.inputTitle, "Select Input Volume");
  EXPECT_EQ(ui.asked, 0);
  g_trace.input = input;
  ui.answer.reset();  // the options dialog cancelled
  runBlockMatching(program, ui, 0);
  EXPECT_EQ(ui.asked, 1);
  EXPECT_EQ(usedSlots(), 1) << "nothing created";
  EXPECT_EQ(ui.busyMax, 0);
  EXPECT_TRUE(g_trace.errors.empty());
  EXPECT_TRUE(g_trace.displayed.empty());
}

TEST_F(MotionCommand, MakesNamedVolumesFilledAsTheAlgorithmsFillThemAndShowsTheDisplays) {
  for (int method = 0; method <= 4; ++method) {
    SCOPED_TRACE(method);
    resetVolumeTable();
    Volume* input = makeInput();
    fill_in_VOI(input, 0, 6, 2, 22, 3, 30);  // VH 20, VW 27
    g_trace.displayed.clear();
    BlockMatchingOptions o =
        options(kBitDrawField | kBitDisplayX | kBitDisplayY | kBitAmplitude, method);
    if (method == motion::kOrthogonalSearch) o.searchY = o.searchX;  // it needs equal ranges
    const BlockMatchingRun r = run(o);
    ASSERT_EQ(r.reported, 0);
    EXPECT_TRUE(ui.warnings.empty());
    EXPECT_EQ(ui.busy, 0);
    EXPECT_EQ(ui.busyMax, 1);

    // Vector volumes: I, (Z - D) x ceil(20 / 3) x ceil(27 / 4), filled by the estimator.
    OwnedVolume x(V3D_I, V3D_ONE_CHANNEL, 5, 7, 7), y(V3D_I, V3D_ONE_CHANNEL, 5, 7, 7);
    ASSERT_EQ(motion::EstimateMotionVectors(input, x, y, 6, 4, 3, o.searchY, 4, 3, 1, method), 0);
    EXPECT_TRUE(sameVolume(r.vectorsX, x));
    EXPECT_TRUE(sameVolume(r.vectorsY, y));
    // The field: one frame per pair, the VOI's height and width.
    OwnedVolume field(V3D_UC, V3D_ONE_CHANNEL, 5, 20, 27);
    ASSERT_EQ(motion::DrawMotionField(x, y, field, input, 6, 4, 4, 3, 1, 5, 255, 0), 0);
    EXPECT_TRUE(sameVolume(r.field, field));
    // The grey displays, magnified to the VOI's size because the field is drawn.
    OwnedVolume dx(V3D_UC, V3D_ONE_CHANNEL, 5, 20, 27), dy(V3D_UC, V3D_ONE_CHANNEL, 5, 20, 27),
        amp(V3D_UC, V3D_ONE_CHANNEL, 5, 20, 27);
    ASSERT_EQ(motion::DisplayDisplacement(x, dx), 0);
    ASSERT_EQ(motion::DisplayDisplacement(y, dy), 0);
    ASSERT_EQ(motion::DisplayAmplitude(x, y, amp), 0);
    EXPECT_TRUE(sameVolume(r.displayX, dx));
    EXPECT_TRUE(sameVolume(r.displayY, dy));
    EXPECT_TRUE(sameVolume(r.amplitude, amp));

    const std::vector<std::pair<Volume*, const char*>> names = {
        {r.vectorsX, "Motion Vector X"},
        {r.vectorsY, "Motion Vector Y"},
        {r.field, "Motion Vector Field"},
        {r.displayX, "Motion Vector X Displacements"},
        {r.displayY, "Motion Vector Y Displacements"},
        {r.amplitude, "Motion Vector Amplitude"}};
    for (const auto& [v, name] : names) {
      ASSERT_NE(v, nullptr) << name;
      EXPECT_STREQ(v->information, name);
    }
    // Slots in creation order after the input; the displays shown in the order field, X, Y,
    // amplitude, the vectors not at all.
    for (std::size_t i = 0; i < names.size(); ++i)
      EXPECT_EQ(GetVolumeIndex(names[i].first), static_cast<int>(i) + 1);
    EXPECT_EQ(g_trace.displayed,
              (std::vector<Volume*>{r.field, r.displayX, r.displayY, r.amplitude}));
  }
}

TEST_F(MotionCommand, DisplaysHaveOnePixelPerBlockUnlessTheFieldIsDrawn) {
  makeInput();
  BlockMatchingRun r = run(options(kBitDisplayX));
  ASSERT_NE(r.displayX, nullptr);
  EXPECT_EQ(std::tie(r.displayX->Z, r.displayX->Y, r.displayX->X), std::make_tuple(5, 8, 8));
  EXPECT_EQ(r.field, nullptr);
  EXPECT_EQ(r.displayY, nullptr);
  EXPECT_EQ(r.amplitude, nullptr);
  EXPECT_EQ(g_trace.displayed, std::vector<Volume*>{r.displayX});
  r = run(options(kBitDisplayX | kBitDrawField));
  ASSERT_NE(r.displayX, nullptr);
  EXPECT_EQ(std::tie(r.displayX->Z, r.displayX->Y, r.displayX->X), std::make_tuple(5, 24, 32));
}

TEST_F(MotionCommand, AVoiShallowerThanTheVolumeGetsAFieldFrameForEachPairInside) {
  Volume* input = makeInput();
  fill_in_VOI(input, 1, 5, 0, 24, 0, 32);  // 4 frames in the VOI, 3 pairs at distance 1
  BlockMatchingOptions o = options(kBitDrawField | kBitSubsampled | kBitDisplayX | kBitAmplitude);
  const BlockMatchingRun r = run(o);
  ASSERT_EQ(r.reported, 0);
  ASSERT_NE(r.field, nullptr);
  EXPECT_EQ(std::tie(r.field->Z, r.field->Y, r.field->X), std::make_tuple(3, 24, 32));
  EXPECT_EQ(r.vectorsX->Z, 5) << "the vector volumes keep Z - D frames";
  OwnedVolume x(V3D_I, V3D_ONE_CHANNEL, 5, 8, 8), y(V3D_I, V3D_ONE_CHANNEL, 5, 8, 8);
  ASSERT_EQ(motion::EstimateMotionVectors(input, x, y, 6, 4, 3, 2, 4, 3, 1, 4), 0);
  OwnedVolume field(V3D_UC, V3D_ONE_CHANNEL, 3, 24, 32);
  ASSERT_EQ(motion::DrawMotionField(x, y, field, input, 6, 4, 4, 3, 1, 3, 255, 1), 0);
  EXPECT_TRUE(sameVolume(r.field, field));
  ASSERT_NE(r.displayX, nullptr);
  ASSERT_NE(r.amplitude, nullptr);
  EXPECT_EQ(g_trace.displayed, (std::vector<Volume*>{r.field, r.displayX, r.amplitude}));
}

TEST_F(MotionCommand, FailuresDestroyWhatTheyMustAndWarnAboutDisplays) {
  struct Case {
    const char* name;
    BlockMatchingOptions options;
    int freeSlots;
    int reported;                   // code given to error_handler, 0 if none
    int warning;                    // warning shown, 0 if none
    std::vector<const char*> kept;  // information texts of the volumes left behind
  };
  BlockMatchingOptions deep = options(kBitDisplayX);
  deep.depth = 6;  // equal to the last frame bound
  BlockMatchingOptions orthogonal = options(kBitDisplayX, 3);
  orthogonal.searchX = 4;
  orthogonal.searchY = 2;
  BlockMatchingOptions overlapAboveWidth = options();
  overlapAboveWidth.overlapX = 7;  // Width 6: a negative step
  const Case cases[] = {
      {"depth at the last frame bound", deep, 99, kInvalidParameters, 0, {}},
      {"overlap above the width", overlapAboveWidth, 99, kInvalidParameters, 0, {}},
      {"orthogonal with unequal ranges", orthogonal, 99, kInvalidParameters, 0, {}},
      // A full table's code, whatever its sign: error_handler shows either.
      {"no slot for the Y vectors", options(), 1, kTooMany3dWindows, 0, {}},
      {"no slot for the field",
       options(kBitDrawField | kBitDisplayX),
       2,
       0,
       kWarnFieldVolume,
       {"Motion Vector X", "Motion Vector Y"}},
      {"no slot for the Y displacements",
       options(kBitDrawField | kBitDisplayX | kBitDisplayY),
       4,
       0,
       kWarnDisplacementVolume,
       {"Motion Vector X", "Motion Vector Y", "Motion Vector Field",
        "Motion Vector X Displacements"}},
      {"no slot for the X displacements",
       options(kBitDisplayX),
       2,
       0,
       kWarnDisplacementVolume,
       {"Motion Vector X", "Motion Vector Y"}},
      {"no slot for the amplitude",
       options(kBitAmplitude),
       2,
       0,
       kWarnAmplitudeVolume,
       {"Motion Vector X", "Motion Vector Y"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    resetVolumeTable();
    g_trace = Trace{};
    ui = ScriptedUi{};
    makeInput();
    leaveFreeSlots(c.freeSlots);
    const int before = usedSlots();
    const BlockMatchingRun r = run(c.options);
    EXPECT_EQ(std::abs(r.reported), std::abs(c.reported));
    ASSERT_EQ(g_trace.errors.size(), c.reported ? 1u : 0u);
    if (c.reported) {
      EXPECT_EQ(g_trace.errors[0], r.reported);
    }
    EXPECT_EQ(ui.warnings, c.warning ? std::vector<int>{c.warning} : std::vector<int>{});
    if (c.warning) {
      EXPECT_EQ(g_trace.busyAtMessage, 0) << "the arrow is back for the warning";
    }
    EXPECT_EQ(ui.busy, 0);
    EXPECT_TRUE(g_trace.displayed.empty()) << "a failed run shows nothing";
    // What is left: exactly the listed volumes, in the slots after the fillers.
    std::vector<std::string> kept;
    for (int i = 0; i < kTableSlots; ++i)
      if (volumeSlot(i)->dataType != 0 && volumeSlot(i)->information[0] != '\0')
        kept.push_back(volumeSlot(i)->information);
    EXPECT_EQ(kept, std::vector<std::string>(c.kept.begin(), c.kept.end()));
    EXPECT_EQ(usedSlots(), before + static_cast<int>(c.kept.size()));
  }
}

}  // namespace
}  // namespace v3d::test
