// Contour following without widgets: the chain edits against a plain reference, the lines
// they draw, the chains painted over a picture, the conversion of a grey original, the pair
// stepping together, and the two commands end to end through the scripted desk.
#include <random>
#include <set>
#include <utility>
#include <vector>

#include "algorithms/edges.h"
#include "core/alloc.h"
#include "shell/commands.h"
#include "shell/contour_following.h"
#include "shell/pixels.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

class ContourTest : public ShellTest {
 protected:
  void TearDown() override {
    failAllocationsAfter(-1);
    contourMode().clear();
    ShellTest::TearDown();
  }
  void run(int id) { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(id))); }
  // A zero-filled slot.
  Volume* emptySlot(int colour, int Z, int Y, int X) {
    Volume* v = nullptr;
    EXPECT_EQ(CreateVolumeEx(V3D_UC, colour, Z, Y, X, nullptr, &v), 0);
    return v;
  }
  std::unique_ptr<ContourSession> session(int command, Volume* original, Volume* output) {
    int code = -1;
    auto s = ContourSession::start(command, original, output, &code);
    EXPECT_EQ(code, 0);
    return s;
  }
};

// The reference of every edit: the output and the follower's grey copy as plain arrays.
struct Reference {
  int Y, X;
  std::vector<int> original, out, grey;  // one frame
  int& o(int x, int y) { return out[static_cast<std::size_t>(y) * X + x]; }
  int& g(int x, int y) { return grey[static_cast<std::size_t>(y) * X + x]; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < X && y < Y; }
  void draw(int x0, int y0, int x1, int y1) {
    for (auto [x, y] : lineVoxels(x0, y0, x1, y1))
      if (inside(x, y)) o(x, y) = 255, g(x, y) = 0;
  }
  // Everything within one voxel (in x and in y) of a voxel of the line.
  void erase(int x0, int y0, int x1, int y1) {
    const auto line = lineVoxels(x0, y0, x1, y1);
    for (int y = 0; y < Y; ++y)
      for (int x = 0; x < X; ++x)
        for (auto [lx, ly] : line)
          if (std::abs(lx - x) <= 1 && std::abs(ly - y) <= 1) {
            o(x, y) = 0;
            g(x, y) = original[static_cast<std::size_t>(y) * X + x];
          }
  }
  // edge_follow_3d on a one-frame volume holding the grey copy, from (x, y) and with the
  // minimum value half the clicked one, rounded up.
  void follow(int x, int y) {
    if (!inside(x, y) || g(x, y) == 0) return;
    OwnedVolume in(V3D_UC, V3D_ONE_CHANNEL, 1, Y, X), marks(V3D_UC, V3D_ONE_CHANNEL, 1, Y, X);
    for (int r = 0; r < Y; ++r)
      for (int c = 0; c < X; ++c) at<UC>(in, 0, 0, r, c) = static_cast<UC>(g(c, r));
    ASSERT_EQ(edge_follow_3d(in, marks, 0, y, x, 255, (g(x, y) + 1) / 2, 1), 0);
    for (int r = 0; r < Y; ++r)
      for (int c = 0; c < X; ++c)
        if (at<UC>(marks, 0, 0, r, c) == 255) o(c, r) = 255, g(c, r) = 0;
  }
};

TEST_F(ContourTest, EditsMatchAPlainReferenceAndStayInTheShownFrame) {
  Volume* original = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 23, 29, 5);
  Volume* output = emptySlot(V3D_ONE_CHANNEL, 3, 23, 29);
  const auto before = snapshot(original);
  auto s = session(kCmdBwContourFollowing, original, output);
  ASSERT_TRUE(s);
  s->setFrame(1);
  Reference ref{23, 29, {}, {}, {}};
  for (int y = 0; y < 23; ++y)
    for (int x = 0; x < 29; ++x) ref.original.push_back(at<UC>(original, 0, 1, y, x));
  ref.grey = ref.original;
  ref.out.assign(ref.original.size(), 0);

  std::mt19937 rng(11);
  auto coordinate = [&](int n) { return static_cast<int>(rng() % (n + 6)) - 3; };  // some outside
  for (int step = 0; step < 60; ++step) {
    const int x0 = coordinate(29), y0 = coordinate(23), x1 = coordinate(29), y1 = coordinate(23);
    switch (rng() % 3) {
      case 0:
        s->follow(x0, y0);
        ref.follow(x0, y0);
        break;
      case 1:
        s->draw(x0, y0, x1, y1);
        ref.draw(x0, y0, x1, y1);
        break;
      default:
        s->erase(x0, y0, x1, y1);
        ref.erase(x0, y0, x1, y1);
    }
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 29; ++x) {
        ASSERT_EQ(at<UC>(output, 0, 1, y, x), ref.o(x, y))
            << "step " << step << " at " << x << "," << y;
        ASSERT_EQ(channelData<UC>(*s->followed(), 0)[1][y][x], ref.g(x, y)) << "step " << step;
      }
  }
  for (int z : {0, 2})
    for (int y = 0; y < 23; ++y)
      for (int x = 0; x < 29; ++x) ASSERT_EQ(at<UC>(output, 0, z, y, x), 0) << "other frames";
  EXPECT_EQ(snapshot(original), before) << "the original is never written";
}

TEST_F(ContourTest, LinesAreEightConnectedFromEndToEnd) {
  const std::vector<std::array<int, 4>> segments = {{0, 0, 0, 0}, {0, 0, 7, 0}, {0, 0, 0, -5},
                                                    {2, 3, 9, 5}, {9, 5, 2, 3}, {-4, 6, 4, -6},
                                                    {1, 1, 6, 6}, {3, 0, -3, 1}};
  for (const auto& [x0, y0, x1, y1] : segments) {
    const auto line = lineVoxels(x0, y0, x1, y1);
    ASSERT_FALSE(line.empty());
    EXPECT_EQ(line.front(), std::make_pair(x0, y0));
    EXPECT_EQ(line.back(), std::make_pair(x1, y1));
    EXPECT_EQ(line.size(),
              static_cast<std::size_t>(std::max(std::abs(x1 - x0), std::abs(y1 - y0))) + 1);
    for (std::size_t i = 1; i < line.size(); ++i) {
      EXPECT_LE(std::abs(line[i].first - line[i - 1].first), 1);
      EXPECT_LE(std::abs(line[i].second - line[i - 1].second), 1);
    }
  }
}

TEST_F(ContourTest, ColourChainsShowOverThePictureOfTheOriginal) {
  Volume* original = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 2, 12, 16, 3);
  Volume* output = emptySlot(V3D_THREE_CHANNELS, 2, 12, 16);
  auto s = session(kCmdColorContourFollowing, original, output);
  EXPECT_TRUE(s->colourVariant());
  EXPECT_EQ(s->colour(), (DrawingColour{255, 255, 255})) << "white to begin with";
  EXPECT_EQ(
      channelData<UC>(*s->followed(), 0)[0][5][7],
      (at<UC>(original, 0, 0, 5, 7) + at<UC>(original, 1, 0, 5, 7) + at<UC>(original, 2, 0, 5, 7)) /
          3)
      << "a colour original is followed in the mean of its channels";
  s->setColour({200, 10, 60});
  s->draw(0, 2, 15, 2);
  EXPECT_EQ(at<UC>(output, 0, 0, 2, 4), 200);
  EXPECT_EQ(at<UC>(output, 1, 0, 2, 4), 10);
  EXPECT_EQ(at<UC>(output, 2, 0, 2, 4), 60);

  DisplayModel view(original, true, 0, 1, 0.0f);
  view.zoomOut();  // every pixel shows every second voxel
  std::vector<std::uint32_t> pixels, plain;
  view.render(pixels, 8, 6);
  plain = pixels;
  s->paintChains(view, pixels, 8, 6);
  for (int py = 0; py < 6; ++py)
    for (int px = 0; px < 8; ++px)
      EXPECT_EQ(pixels[py * 8 + px], py == 1 ? rgbPixel(200, 10, 60) : plain[py * 8 + px])
          << px << "," << py;
}

TEST_F(ContourTest, AGreyVolumeBecomesAColourOneWithItsSamplesVoiAndText) {
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 7, 9, 4);
  fill_in_VOI(v, 1, 3, 2, 5, 0, 9);
  std::snprintf(v->information, sizeof v->information, "%s", "slices");
  const auto grey = samples(v);
  const auto before = snapshot(v);
  const long live = liveStorageBlocks();
  failAllocationsAfter(5);  // the three channels cannot all be had
  EXPECT_EQ(convertToColour(v), kCannotAllocateVolume);
  failAllocationsAfter(-1);
  EXPECT_EQ(snapshot(v), before) << "a failed conversion leaves the volume as it was";
  EXPECT_EQ(liveStorageBlocks(), live);

  ASSERT_EQ(convertToColour(v), kSuccess);
  EXPECT_EQ(desk.closed, std::vector<Volume*>{v}) << "its windows close before the change";
  EXPECT_EQ(v->colorType, V3D_THREE_CHANNELS);
  EXPECT_EQ(liveStorageBlocks(), live + 2 * (1 + 3)) << "two more channels, the grey one freed";
  for (int c = 0; c < 3; ++c)
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
          ASSERT_EQ(at<UC>(v, c, z, y, x), grey[(z * 7 + y) * 9 + x]) << c;
  EXPECT_EQ(v->voiZ0, 1);
  EXPECT_EQ(v->voiY1, 5);
  EXPECT_STREQ(v->information, "slices");
  EXPECT_EQ(convertToColour(v), kWrongColorType) << "only grey volumes are converted";
}

TEST_F(ContourTest, ThePairStepsTogetherAndEditsTheFrameShown) {
  Volume* original = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6, 2);
  Volume* output = emptySlot(V3D_ONE_CHANNEL, 4, 5, 6);
  auto s = session(kCmdBwContourFollowing, original, output);
  DisplayModel a(original, false, 0, 3, 0.0f), b(output, false, 0, 3, 0.0f);
  ASSERT_TRUE(b.next());
  ASSERT_TRUE(b.next());
  stepTogether(b, a, *s);
  EXPECT_EQ(a.current(), 2);
  EXPECT_EQ(s->frame(), 2);
  ASSERT_TRUE(a.previous());
  stepTogether(a, b, *s);
  EXPECT_EQ(b.current(), 1);
  s->draw(0, 0, 5, 0);
  EXPECT_EQ(at<UC>(output, 0, 1, 0, 3), 255);
  EXPECT_EQ(at<UC>(output, 0, 2, 0, 3), 0);
  EXPECT_EQ(b.title(), "vol 1 [fr 0-3,1]");
}

// ---- The commands ------------------------------------------------------------------------

TEST_F(ContourTest, TheCommandTogglesTheModeWithItsCheckMark) {
  Volume* original = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 6, 8, 9);
  const long live = liveStorageBlocks();
  desk.script({pick("0"), pickNew(1, 8, 6, 2)});
  run(kCmdBwContourFollowing);
  ASSERT_EQ(desk.dialogTitles.size(), 2u);
  EXPECT_EQ(desk.dialogTitles[0], "Edge Follow Original Volume");
  EXPECT_EQ(desk.dialogTitles[1], "Edge Follow Output Volume");
  EXPECT_TRUE(desk.checks[kCmdBwContourFollowing]);
  EXPECT_EQ(contourMode().command(), kCmdBwContourFollowing);
  ASSERT_NE(desk.contourPair, nullptr);
  EXPECT_EQ(desk.contourPair, contourMode().session());
  EXPECT_EQ(desk.contourPair->original(), original);
  EXPECT_EQ(desk.contourPair->output(), volumeSlot(1));
  EXPECT_EQ(desk.contourPair->colour(), (DrawingColour{255, 255, 255}));
  EXPECT_EQ(volumeSlot(1)->colorType, V3D_ONE_CHANNEL);
  EXPECT_GT(liveStorageBlocks(), live + (1 + 2)) << "the output and the temporary volumes";

  // The same command again only ends the mode.
  run(kCmdBwContourFollowing);
  EXPECT_EQ(desk.dialogTitles.size(), 2u) << "nothing asked";
  EXPECT_FALSE(desk.checks[kCmdBwContourFollowing]);
  EXPECT_EQ(contourMode().command(), 0);
  EXPECT_EQ(desk.contourPair, nullptr);
  EXPECT_EQ(liveStorageBlocks(), live + (1 + 2)) << "only the output is left";

  // The other command ends the running mode and starts anew; a grey original becomes a
  // colour one first, and the output is reallocated with three channels after the question.
  desk.script({pick("0"), pick("1")});
  run(kCmdBwContourFollowing);
  const auto grey = samples(original);
  desk.script({pick("0"), pick("1"), yes()});
  run(kCmdColorContourFollowing);
  EXPECT_FALSE(desk.checks[kCmdBwContourFollowing]);
  EXPECT_TRUE(desk.checks[kCmdColorContourFollowing]);
  EXPECT_EQ(contourMode().command(), kCmdColorContourFollowing);
  EXPECT_EQ(volumeSlot(1)->colorType, V3D_THREE_CHANNELS);
  EXPECT_EQ(original->colorType, V3D_THREE_CHANNELS);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(at<UC>(original, c, 1, 4, 5), grey[(6 + 4) * 8 + 5]);
  ASSERT_FALSE(desk.messages.empty());
  EXPECT_EQ(desk.messages.back().text, "The input volume has been converted to a color one!");
  EXPECT_EQ(desk.messages.back().caption, "VELMORA");
  EXPECT_EQ(desk.contourPairsOpened, 3);
  EXPECT_TRUE(desk.scriptDone());
  EXPECT_EQ(desk.unanswered, 0);
}

TEST_F(ContourTest, RefusalsAndFailuresLeaveNoModeAndNoVolumeBehind) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 6, 8, 9);
  makeSlot(V3D_F, V3D_ONE_CHANNEL, 2, 6, 8);
  const long live = liveStorageBlocks();
  auto expectIdle = [&](const char* message, const char* what) {
    EXPECT_EQ(desk.lastMessage(), message) << what;
    EXPECT_EQ(contourMode().command(), 0) << what;
    EXPECT_FALSE(desk.checks[kCmdBwContourFollowing]) << what;
    EXPECT_EQ(volumeSlot(2)->dataType, 0) << what;
    EXPECT_EQ(liveStorageBlocks(), live) << what;
  };
  desk.script({pick("0"), pick("0")});
  run(kCmdBwContourFollowing);
  expectIdle("Same input/output volume", "the original as output");
  desk.script({pick("0"), pickNew(2, 8, 5, 2)});
  run(kCmdBwContourFollowing);
  expectIdle("Invalid output volume dimensions", "a new output of another size");
  desk.failContourPair = true;
  desk.script({pick("0"), pickNew(2, 8, 6, 2)});
  run(kCmdBwContourFollowing);
  expectIdle("Unable to create window", "no windows");
  desk.failContourPair = false;
  desk.script({pick("0"), pickNew(2, 8, 6, 2)});
  failAllocationsAfter(1 + 2);  // the output, then nothing more
  run(kCmdBwContourFollowing);
  failAllocationsAfter(-1);
  expectIdle("Cannot allocate internal volume", "no temporary volume");

  // The float volume is not fit: No keeps it as it is.
  desk.script({pick("0"), pick("1"), no()});
  run(kCmdBwContourFollowing);
  EXPECT_EQ(volumeSlot(1)->dataType, V3D_F);
  EXPECT_EQ(contourMode().command(), 0);

  // A conversion that fails leaves the grey original and no mode.
  Volume* colourOut = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 2, 6, 8);
  const long withOutput = liveStorageBlocks();
  desk.script({pick("0"), pick(std::to_string(GetVolumeIndex(colourOut)))});
  failAllocationsAfter(2 * (1 + 2));  // both temporary volumes, then nothing more
  run(kCmdColorContourFollowing);
  failAllocationsAfter(-1);
  EXPECT_EQ(desk.lastMessage(), "Cannot allocate internal volume");
  EXPECT_EQ(volumeSlot(0)->colorType, V3D_ONE_CHANNEL);
  EXPECT_EQ(contourMode().command(), 0);
  EXPECT_FALSE(desk.checks[kCmdColorContourFollowing]);
  EXPECT_EQ(liveStorageBlocks(), withOutput);
  EXPECT_EQ(colourOut->dataType, V3D_UC) << "an output that was there stays";
  EXPECT_TRUE(desk.scriptDone());
}

TEST_F(ContourTest, DestroyingAVolumeOfThePairEndsTheMode) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 6, 8, 9);
  const long live = liveStorageBlocks();
  desk.script({pick("0"), pickNew(1, 8, 6, 2)});
  run(kCmdBwContourFollowing);
  ASSERT_EQ(contourMode().command(), kCmdBwContourFollowing);
  desk.script({destroyEntry("0"), ok()});
  run(kCmdDestroy);
  EXPECT_EQ(volumeSlot(0)->dataType, 0);
  EXPECT_EQ(contourMode().command(), 0) << "the pair closed with its original";
  EXPECT_FALSE(desk.checks[kCmdBwContourFollowing]);
  EXPECT_EQ(desk.contourPair, nullptr);
  EXPECT_EQ(liveStorageBlocks(), live - (1 + 2) + (1 + 2)) << "the output stays, the rest goes";

  // The user closing a window of the pair ends it the same way.
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 6, 8, 9);
  desk.script({pick("0"), pick("1")});
  run(kCmdBwContourFollowing);
  ASSERT_EQ(contourMode().command(), kCmdBwContourFollowing);
  desk.closeContourPairWindow();
  EXPECT_EQ(contourMode().command(), 0);
  EXPECT_FALSE(desk.checks[kCmdBwContourFollowing]);
}

}  // namespace
}  // namespace v3d::test
