// The labelled volume view without widgets: painting against a plain reference, the default
// colour grid's properties, the colour scroll bars' page rule, the presenter's editing and
// update rules, and "&View Labelled Volume" end to end through the scripted desk, including
// volumes destroyed or reallocated behind the open view's back. Also the "Updating
// projections ..." box around the updates of a volume's projection windows.
#include <random>
#include <set>
#include <string>

#include "core/alloc.h"
#include "core/result_codes.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/commands.h"
#include "shell/labelled_view.h"
#include "shell/projection_model.h"
#include "shell/projection_update.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

Rgb outAt(Volume* out, int z, int y, int x) {
  return {at<UC>(out, 0, z, y, x), at<UC>(out, 1, z, y, x), at<UC>(out, 2, z, y, x)};
}

// Labels 0..maxLabel at random.
void fillLabels(Volume* v, unsigned seed, int maxLabel) {
  std::mt19937 rng(seed);
  for (int z = 0; z < v->Z; ++z)
    for (int y = 0; y < v->Y; ++y)
      for (int x = 0; x < v->X; ++x)
        at<UC>(v, 0, z, y, x) = static_cast<UC>(rng() % (maxLabel + 1));
}

std::vector<LabelledObject> randomTable(unsigned seed, int n) {
  std::mt19937 rng(seed);
  std::vector<LabelledObject> t(static_cast<std::size_t>(n));
  for (LabelledObject& o : t)
    o = {static_cast<std::uint8_t>(rng()),          static_cast<std::uint8_t>(rng()),
         static_cast<std::uint8_t>(rng()),          0,
         static_cast<std::int32_t>(rng() % 3 != 0), 1};
  return t;
}

TEST(LabelledPaintTest, MatchesAPlainReferenceForAllObjectsAndForOne) {
  auto in = make_volume(4, 9, 11);
  auto out = make_volume(5, 10, 12, V3D_UC, V3D_THREE_CHANNELS);
  const int n = 6;
  fillLabels(in, 3, n + 2);  // labels above n belong to no object
  setVoi(in, {1, 4, 2, 8, 3, 10});
  const auto table = randomTable(5, n);
  for (int k : {0, 1, 4, n}) {
    fillRandom(out, 11 + static_cast<unsigned>(k));
    const auto before = samples(out);
    // The reference, straight from the description.
    auto reference = [&](int z, int y, int x) -> Rgb {
      const Rgb old = outAt(out, z, y, x);
      if (z < 1 || z >= 4 || y < 2 || y >= 8 || x < 3 || x >= 10 || z >= in->Z || y >= in->Y ||
          x >= in->X)
        return old;
      const int u = at<UC>(in, 0, z, y, x);
      if (u == 0 || u > n || (k != 0 && u != k)) return old;
      const LabelledObject& o = table[static_cast<std::size_t>(u - 1)];
      return o.visible ? Rgb{o.red, o.green, o.blue} : Rgb{0, 0, 0};
    };
    std::vector<Rgb> want;
    for (int z = 0; z < 5; ++z)
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x) want.push_back(reference(z, y, x));
    ASSERT_EQ(paintLabelledOutput(in, out, n, table.data(), k), 0) << "k " << k;
    std::size_t i = 0, differing = 0;
    for (int z = 0; z < 5; ++z)
      for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x, ++i) {
          EXPECT_EQ(outAt(out, z, y, x), want[i])
              << "k " << k << " at " << z << "," << y << "," << x;
          differing += !(outAt(out, z, y, x) == Rgb{before[i], before[i + 600], before[i + 1200]});
        }
    EXPECT_GT(differing, 0u) << "k " << k << " painted something";
  }
}

TEST(LabelledPaintTest, EveryCheckComesBeforeTheFirstWrite) {
  auto in = make_volume(3, 6, 7);
  fillLabels(in, 1, 3);
  auto out = make_volume(3, 6, 7, V3D_UC, V3D_THREE_CHANNELS);
  auto small = make_volume(3, 5, 7, V3D_UC, V3D_THREE_CHANNELS);
  auto grey = make_volume(3, 6, 7);
  auto floats = make_volume(3, 6, 7, V3D_F, V3D_ONE_CHANNEL);
  const auto table = randomTable(2, 3);
  const struct {
    Volume* in;
    Volume* out;
    const LabelledObject* table;
    int n, k, code;
  } cases[] = {
      {floats, out, table.data(), 3, 0, kWrongDataType},
      {in, grey, table.data(), 3, 0, kWrongColorType},
      {in, small, table.data(), 3, 0, kInvalidOutputDimensions},
      {in, out, nullptr, 3, 0, kNullBasicTypePointer},
      {in, out, table.data(), 0, 0, kInvalidParameters},
      {in, out, table.data(), 256, 0, kInvalidParameters},
      {in, out, table.data(), 3, -1, kInvalidParameters},
      {in, out, table.data(), 3, 4, kInvalidParameters},
  };
  for (const auto& c : cases) {
    fillRandom(c.out, 9);
    const auto before = snapshot(c.out);
    EXPECT_EQ(paintLabelledOutput(c.in, c.out, c.n, c.table, c.k), c.code)
        << "n " << c.n << " k " << c.k;
    EXPECT_EQ(snapshot(c.out), before);
  }
}

TEST(LabelledColoursTest, TheDefaultGridGivesDistinctBrightColoursOnFewLevels) {
  for (int n = 1; n <= kMaxLabelledObjects; ++n) {
    int c = 0;
    for (long cells = 1; cells < n; cells *= 8) ++c;
    std::vector<LabelledObject> t(static_cast<std::size_t>(n));
    defaultLabelColours(t.data(), n);
    std::set<int> colours, levels[3];
    for (const LabelledObject& o : t) {
      colours.insert(o.red << 16 | o.green << 8 | o.blue);
      levels[0].insert(o.red), levels[1].insert(o.green), levels[2].insert(o.blue);
      for (int v : {o.red, o.green, o.blue}) ASSERT_GE(v, 128) << "n " << n;
      EXPECT_TRUE(o.visible && o.visibleInOutput && !o.changed);
    }
    EXPECT_EQ(colours.size(), static_cast<std::size_t>(n)) << "distinct colours for n " << n;
    for (const auto& l : levels) EXPECT_LE(l.size(), std::size_t{1} << c) << "n " << n;
    EXPECT_EQ(colourGridLevels(n), 1 << c);
    if (n == 1) {
      EXPECT_EQ(colours.count(0xFFFFFF), 1u) << "a single object is white";
    }
  }
}

TEST(LabelledColoursTest, ScrollBarsFollowTheLineAndPageRules) {
  const struct {
    int value;
    ScrollAction action;
    int thumb, expected;
  } cases[] = {
      {100, ScrollAction::PageUp, 0, 188},  {130, ScrollAction::PageUp, 0, 255},
      {127, ScrollAction::PageUp, 0, 215},  {128, ScrollAction::PageUp, 0, 255},
      {130, ScrollAction::PageDown, 0, 42}, {128, ScrollAction::PageDown, 0, 40},
      {127, ScrollAction::PageDown, 0, 0},  {255, ScrollAction::PageDown, 0, 167},
      {0, ScrollAction::LineDown, 0, 0},    {7, ScrollAction::LineDown, 0, 6},
      {255, ScrollAction::LineUp, 0, 255},  {7, ScrollAction::LineUp, 0, 8},
      {90, ScrollAction::Top, 0, 0},        {90, ScrollAction::Bottom, 0, 255},
      {90, ScrollAction::Thumb, 17, 17},
  };
  for (const auto& c : cases)
    EXPECT_EQ(scrolledComponent(c.value, c.action, c.thumb), c.expected)
        << c.value << " action " << static_cast<int>(c.action);
}

// ---- The command and the presenter ----------------------------------------------------------

class LabelledViewTest : public ShellTest {
 protected:
  // Slot 0: a labelled volume of 3 objects in three slabs, with background between them.
  Volume* makeLabelled(int objects = 3) {
    Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 8, 10);
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 10; ++x)
          at<UC>(v, 0, z, y, x) = static_cast<UC>(x % 3 == 2 ? 0 : (x / 3) % objects + 1);
    return v;
  }
  void run() { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(kCmdViewLabelled))); }
  // Runs the command on slot 0 into a new slot 1.
  LabelledView* open() {
    desk.script({pick("0"), pickNew(1, 10, 8, 3)});
    run();
    return desk.labelledView();
  }
  // Every voxel of object k (of the labelled volume `in`) has colour `c` in `out`.
  static void expectObject(Volume* in, Volume* out, int k, Rgb c) {
    int count = 0;
    for (int z = 0; z < in->Z; ++z)
      for (int y = 0; y < in->Y; ++y)
        for (int x = 0; x < in->X; ++x)
          if (at<UC>(in, 0, z, y, x) == k) {
            ++count;
            ASSERT_EQ(outAt(out, z, y, x), c) << "object " << k;
          }
    EXPECT_GT(count, 0);
  }
  static Rgb colourOf(const LabelledView& v, int k) {
    const LabelledObject& o = v.object(k);
    return {o.red, o.green, o.blue};
  }
};

TEST_F(LabelledViewTest, OpensOnANewColourOutputPaintedInTheDefaultColours) {
  Volume* in = makeLabelled();
  const auto input = snapshot(in);
  LabelledView* view = open();
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(LabelledView::isOpen());
  ASSERT_EQ(desk.dialogTitles.size(), 2u);
  EXPECT_EQ(desk.dialogTitles[0], "Select Input Labelled Volume");
  Volume* out = volumeSlot(1);
  EXPECT_EQ(out->dataType, V3D_UC);
  EXPECT_EQ(out->colorType, V3D_THREE_CHANNELS);
  EXPECT_EQ(out->X, 10);
  EXPECT_EQ(view->objects(), 3);
  EXPECT_EQ(view->current(), 1);
  EXPECT_EQ(LabelledView::itemText(3), "Object 3");
  std::vector<LabelledObject> defaults(3);
  defaultLabelColours(defaults.data(), 3);
  for (int k = 1; k <= 3; ++k) {
    EXPECT_EQ(colourOf(*view, k),
              (Rgb{defaults[k - 1].red, defaults[k - 1].green, defaults[k - 1].blue}));
    expectObject(in, out, k, colourOf(*view, k));
  }
  expectObject(in, out, 0, {0, 0, 0});
  EXPECT_EQ(snapshot(in), input) << "the input is only read";
  EXPECT_FALSE(view->updateAllEnabled());
  EXPECT_FALSE(view->updateCurrentEnabled());
  ASSERT_EQ(desk.messages.size(), 1u);
  EXPECT_EQ(desk.messages[0].text, text(kTextLabelledViewHint));
  EXPECT_EQ(desk.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(desk.labelledViewFocused, 1);
  EXPECT_TRUE(desk.displays.empty()) << "the output is not shown, only repainted";
  ASSERT_FALSE(desk.refreshed.empty());
  EXPECT_EQ(desk.refreshed.back(), out);
  EXPECT_TRUE(desk.scriptDone());

  // A second start is refused before any dialog.
  const auto titles = desk.dialogTitles.size();
  run();
  EXPECT_EQ(desk.lastMessage(), text(kTextLabelledViewRunning));
  EXPECT_EQ(desk.dialogTitles.size(), titles);
  EXPECT_TRUE(desk.closeLabelledView());
  EXPECT_FALSE(LabelledView::isOpen());
}

TEST_F(LabelledViewTest, RefusedStartsChangeNothing) {
  // An input of zeros: 3131, and the New slot stays free.
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 4, 4);
  std::memset(channelData<UC>(*volumeSlot(0), 0)[0][0], 0, 16);
  std::memset(channelData<UC>(*volumeSlot(0), 0)[1][0], 0, 16);
  desk.script({pick("0"), pickNew(1, 4, 4, 2)});
  run();
  EXPECT_EQ(desk.lastMessage(), text(kTextNoRegionLabels));
  EXPECT_EQ(volumeSlot(1)->dataType, 0);
  // The input as output: 525.
  fillLabels(volumeSlot(0), 4, 2);
  desk.script({pick("0"), pick("0")});
  run();
  EXPECT_EQ(desk.lastMessage(), text(-kSameInputOutput));
  // A grey existing output is reallocated after the question; No keeps it.
  Volume* grey = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 4, 4, 8);
  const auto before = snapshot(grey);
  desk.script({pick("0"), pick("1"), no()});
  run();
  EXPECT_EQ(snapshot(grey), before);
  EXPECT_EQ(desk.labelledView(), nullptr);
  EXPECT_FALSE(LabelledView::isOpen());
  EXPECT_TRUE(desk.scriptDone());
  EXPECT_EQ(desk.unanswered, 0);
}

TEST_F(LabelledViewTest, OpeningFailuresLeaveNothingOpenAndNoOutputMadeForThem) {
  makeLabelled();
  // No memory for the object table: -9, and the output is not touched.
  Volume* out = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 3, 8, 10, 6);
  const auto before = snapshot(out);
  {
    LabelledView view(0, 1, 3);
    failAllocationsAfter(0);
    EXPECT_EQ(view.open(), kCannotAllocateBuffer);
    failAllocationsAfter(-1);
    EXPECT_FALSE(view.updateAll());
    EXPECT_FALSE(view.updateAllEnabled());
  }
  EXPECT_EQ(snapshot(out), before);
  EXPECT_FALSE(LabelledView::isOpen());
  // A dialog that cannot be made: 647, and the new output goes again.
  desk.refuseLabelledView = true;
  desk.script({pick("0"), pickNew(2, 10, 8, 3)});
  run();
  EXPECT_EQ(desk.lastMessage(), "Error");
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
  EXPECT_FALSE(LabelledView::isOpen());
  EXPECT_TRUE(desk.scriptDone());
}

TEST_F(LabelledViewTest, EditsMarkObjectsAndUpdatesWriteThemExactly) {
  Volume* in = makeLabelled();
  LabelledView* view = open();
  ASSERT_NE(view, nullptr);
  Volume* out = volumeSlot(1);
  const Rgb first = colourOf(*view, 1), third = colourOf(*view, 3);

  // Hiding object 2 and "Update Current" blacks out exactly its voxels.
  view->select(2);
  view->setVisible(false);
  EXPECT_TRUE(view->updateCurrentEnabled());
  EXPECT_TRUE(view->updateAllEnabled());
  view->select(1);
  EXPECT_FALSE(view->updateCurrentEnabled()) << "object 1 is as written";
  EXPECT_TRUE(view->updateAllEnabled());
  view->select(2);
  EXPECT_TRUE(view->updateCurrent());
  expectObject(in, out, 2, {0, 0, 0});
  expectObject(in, out, 1, first);
  expectObject(in, out, 3, third);
  EXPECT_FALSE(view->updateAllEnabled());
  // Showing it again and hiding it back leaves nothing to write.
  view->setVisible(true);
  EXPECT_TRUE(view->updateCurrentEnabled());
  view->setVisible(false);
  EXPECT_FALSE(view->updateCurrentEnabled());

  // Typed texts: whole numbers 0..255 only.
  view->select(1);
  for (const char* bad : {"256", "-1", "ab", "", "1.5", "0042"}) {
    EXPECT_FALSE(view->typed(0, bad)) << '"' << bad << '"';
    EXPECT_EQ(view->component(0), first.r);
  }
  EXPECT_FALSE(view->updateCurrentEnabled()) << "refused texts change nothing";
  EXPECT_TRUE(view->typed(0, "12"));
  view->scroll(1, ScrollAction::Top);
  view->scroll(2, ScrollAction::Thumb, 77);
  EXPECT_EQ(colourOf(*view, 1), (Rgb{12, 0, 77}));
  EXPECT_TRUE(view->object(1).changed);
  expectObject(in, out, 1, first);  // nothing is written before an update
  view->select(3);
  view->scroll(0, ScrollAction::PageDown);
  EXPECT_TRUE(view->updateAll());
  expectObject(in, out, 1, {12, 0, 77});
  expectObject(in, out, 2, {0, 0, 0});
  expectObject(in, out, 3, colourOf(*view, 3));
  EXPECT_NE(colourOf(*view, 3), third);
  for (int k = 1; k <= 3; ++k) EXPECT_FALSE(view->object(k).changed);
  EXPECT_FALSE(view->updateAllEnabled());
  EXPECT_EQ(desk.refreshed.back(), out) << "the output's displays are repainted";
  EXPECT_EQ(desk.busyCalls.back(), false);
  EXPECT_TRUE(desk.closeLabelledView()) << "nothing left to write: no question";
  EXPECT_EQ(desk.messages.size(), 1u);
}

TEST_F(LabelledViewTest, ClosingAsksWhenSomethingIsNotWritten) {
  Volume* in = makeLabelled();
  LabelledView* view = open();
  ASSERT_NE(view, nullptr);
  Volume* out = volumeSlot(1);
  const Rgb first = colourOf(*view, 1);
  view->typed(1, "5");
  desk.script({cancel()});
  EXPECT_FALSE(desk.closeLabelledView());
  EXPECT_EQ(desk.lastMessage(), "Update output volume before closing?");
  EXPECT_EQ(desk.messages.back().buttons, MessageButtons::YesNoCancel);
  ASSERT_NE(desk.labelledView(), nullptr);
  desk.script({no()});
  EXPECT_TRUE(desk.closeLabelledView());
  expectObject(in, out, 1, first);  // No writes nothing

  // Yes writes everything before closing.
  desk.script({pick("0"), pick("1")});
  run();
  view = desk.labelledView();
  ASSERT_NE(view, nullptr);
  view->typed(1, "5");
  desk.script({yes()});
  EXPECT_TRUE(desk.closeLabelledView());
  expectObject(in, out, 1, {first.r, 5, first.b});
  EXPECT_FALSE(LabelledView::isOpen());
}

TEST_F(LabelledViewTest, VolumesChangedBehindTheViewsBackAreNeverWritten) {
  Volume* in = makeLabelled();
  LabelledView* view = open();
  ASSERT_NE(view, nullptr);
  Volume* out = volumeSlot(1);
  view->setVisible(false);

  // The output destroyed, then reallocated as grey, then made smaller: 3130 every time.
  DestroyVolume(out);
  EXPECT_FALSE(view->updateCurrent());
  EXPECT_EQ(desk.lastMessage(), text(kTextOutputModified));
  ASSERT_EQ(ReallocateVolume(out, V3D_UC, V3D_ONE_CHANNEL, 3, 8, 10), 0);
  fillRandom(out, 4);
  auto before = snapshot(out);
  desk.messages.clear();
  EXPECT_FALSE(view->updateAll());
  EXPECT_EQ(desk.lastMessage(), text(kTextOutputModified));
  EXPECT_EQ(snapshot(out), before);
  ASSERT_EQ(ReallocateVolume(out, V3D_UC, V3D_THREE_CHANNELS, 3, 7, 10), 0);
  before = snapshot(out);
  desk.messages.clear();
  EXPECT_FALSE(view->updateAll());
  EXPECT_EQ(desk.lastMessage(), text(kTextOutputModified));
  EXPECT_EQ(snapshot(out), before);
  EXPECT_TRUE(view->updateAllEnabled()) << "nothing was recorded as written";

  // A fitting output again, but the input destroyed: the paint's own check reports.
  ASSERT_EQ(ReallocateVolume(out, V3D_UC, V3D_THREE_CHANNELS, 3, 8, 10), 0);
  DestroyVolume(in);
  before = snapshot(out);
  desk.messages.clear();
  EXPECT_FALSE(view->updateAll());
  ASSERT_EQ(desk.messages.size(), 1u);
  EXPECT_EQ(snapshot(out), before);

  // Closing with the update reports the failure and still closes.
  desk.script({yes()});
  EXPECT_TRUE(desk.closeLabelledView());
  EXPECT_FALSE(LabelledView::isOpen());
}

TEST_F(LabelledViewTest, AnInputVoiWithMoreLabelsThanObjectsLeavesThoseVoxels) {
  Volume* in = makeLabelled(2);
  setVoi(in, {0, 3, 0, 8, 0, 5});  // the view counts the labels of the input's VOI: 1 and 2
  desk.script({pick("0"), pickNew(1, 10, 8, 3)});
  run();
  LabelledView* view = desk.labelledView();
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->objects(), 2);
  Volume* out = volumeSlot(1);
  // Later the input holds label 9 inside a wider VOI: those voxels stay as they are.
  fill_in_VOI(in, 0, 3, 0, 8, 0, 10);
  at<UC>(in, 0, 1, 1, 8) = 9;
  at<UC>(out, 0, 1, 1, 8) = 33;
  view->setVisible(false);
  EXPECT_TRUE(view->updateAll());
  EXPECT_EQ(at<UC>(out, 0, 1, 1, 8), 33);
  expectObject(in, out, 1, {0, 0, 0});
}

// ---- The "Updating projections ..." box -----------------------------------------------------

TEST_F(ShellTest, TheUpdatingBoxNamesEachProjectionWindowOfAChangedVolumeOnly) {
  registerShellProjectionTypes();
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 30, 40, 3);
  Volume* other = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 30, 40, 5);
  desk.script({pick("0"), ok(), pick("0"), values({"2"})});
  ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(kCmdFrameGallery)));
  ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(kCmdFrameGallery)));
  ASSERT_EQ(desk.projections.size(), 2u);
  EXPECT_TRUE(desk.updatingTitles.empty()) << "making a gallery updates nothing";

  // A change of a volume without projection windows shows no box.
  desk.showVolume(other);
  desk.refreshVolume(other);
  EXPECT_TRUE(desk.updatingTitles.empty());
  EXPECT_EQ(desk.updatingBoxesClosed, 0);

  // A change of the gallery's volume names both windows, makes their pictures again and
  // removes the box once.
  const std::vector<UC> old(desk.projections[1].buffer->plane[0][40],
                            desk.projections[1].buffer->plane[0][40] + 200);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) at<UC>(v, 0, 0, y, x) = 7;
  desk.showVolume(v);
  EXPECT_EQ(desk.updatingTitles, (std::vector<std::string>{"Frame Gallery of Volume  0.",
                                                           "Frame Gallery of Volume  0."}));
  EXPECT_EQ(desk.updatingBoxesClosed, 1);
  EXPECT_FALSE(desk.updatingBoxShown);
  EXPECT_EQ(desk.projections[1].buffer->plane[0][40][40], 7);
  EXPECT_NE(old[40], 7);

  // The service alone: no windows, no box; a null desk updates all the same.
  int updates = 0;
  updateProjections(&desk, {});
  EXPECT_EQ(desk.updatingBoxesClosed, 1);
  updateProjections(nullptr, {{"a", [&] { ++updates; }}, {"b", [&] { ++updates; }}});
  EXPECT_EQ(updates, 2);
}

}  // namespace
}  // namespace v3d::test
