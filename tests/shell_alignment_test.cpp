// Manual frame alignment without widgets: the canvas geometry, the transform table behind the
// tool box's buttons and the pointer, the overlay picture against a plain reference, the frame
// writing against CopyVolume + RotateVol2d, the closing question, the end of an alignment whose
// volumes go, start failures, and the command end to end through the scripted desk.
#include <cmath>
#include <string>
#include <vector>

#include "core/alloc.h"
#include "core/basic_ops.h"
#include "shell/alignment_model.h"
#include "shell/alignment_toolbox.h"
#include "shell/commands.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;
using B = AlignmentToolBox;

class AlignmentTest : public ShellTest {
 protected:
  void TearDown() override {
    failAllocationsAfter(-1);
    endAlignment();
    ShellTest::TearDown();
  }
  AlignmentToolBox& box() {
    EXPECT_NE(desk.alignment.toolBox, nullptr);
    return *desk.alignment.toolBox;
  }
  bool press(int button) { return desk.alignment.press(button); }
  void run() { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(kCmdManualAlignment))); }

  // The picture's channel (0 red, 1 green, 2 blue) at (x, y).
  int pixel(int channel, int x, int y) {
    const AlignmentModel& m = box().model();
    return m.picture()[(static_cast<std::size_t>(y) * m.width() + x) * 3 + channel];
  }
  // Every sample of frame z of v, channel after channel.
  static std::vector<UC> frameSamples(Volume* v, int z) {
    std::vector<UC> s;
    for (int c = 0; c < channelCount(*v); ++c)
      for (int y = 0; y < v->Y; ++y)
        for (int x = 0; x < v->X; ++x) s.push_back(at<UC>(v, c, z, y, x));
    return s;
  }
  // Grey value of frame z of v: the channel, or the maximum of three.
  static int grey(Volume* v, int z, int y, int x) {
    int g = 0;
    for (int c = 0; c < channelCount(*v); ++c) g = std::max<int>(g, at<UC>(v, c, z, y, x));
    return g;
  }
};

TEST(AlignmentCanvasTest, SideIsTheDiagonalAndFramesSitInTheMiddle) {
  const struct {
    int X, Y, size, columnOffset, rowOffset;
  } cases[] = {
      {256, 256, 362, 53, 53}, {3, 4, 5, 1, 0}, {1, 1, 1, 0, 0},
      {40, 30, 50, 5, 10},     {7, 1, 7, 0, 3}, {1, 100, 100, 49, 0},
  };
  for (const auto& c : cases) {
    const AlignmentCanvas a = alignmentCanvas(c.X, c.Y);
    EXPECT_EQ(a.size, c.size) << c.X << "x" << c.Y;
    EXPECT_EQ(a.columnOffset, c.columnOffset) << c.X << "x" << c.Y;
    EXPECT_EQ(a.rowOffset, c.rowOffset) << c.X << "x" << c.Y;
  }
}

TEST_F(AlignmentTest, ButtonsWalkTheRangeAndEveryFrameKeepsItsOwnTransform) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 12, 16);
  Volume* out = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 12, 16, 2);
  ASSERT_EQ(startAlignment(desk, in, out, 1, 4), 0);
  const AlignmentCanvas cv = alignmentCanvas(16, 12);
  EXPECT_EQ(box().model().working().horizontal, cv.columnOffset);
  EXPECT_EQ(box().model().working().vertical, cv.rowOffset);
  EXPECT_FALSE(press(B::kResetCurrent));
  EXPECT_FALSE(press(B::kResetAll));

  // Button, the current frame after it, and whether Next/Last and Prev/First are enabled.
  const struct {
    int button;
    bool accepted;
    int current;
    bool forward, backward;
  } steps[] = {
      {B::kPrev, false, 1, true, false}, {B::kFirst, false, 1, true, false},
      {B::kLeft1, true, 1, true, false}, {B::kNext, true, 2, true, true},
      {B::kCw5, true, 2, true, true},    {B::kDown10, true, 2, true, true},
      {B::kLast, true, 4, false, true},  {B::kNext, false, 4, false, true},
      {B::kCcw1, true, 4, false, true},  {B::kRight10, true, 4, false, true},
      {B::kPrev, true, 3, true, true},   {B::kFirst, true, 1, true, false},
  };
  for (const auto& s : steps) {
    EXPECT_EQ(press(s.button), s.accepted) << s.button;
    EXPECT_EQ(box().model().current(), s.current) << s.button;
    EXPECT_EQ(box().enabled(B::kNext), s.forward) << s.button;
    EXPECT_EQ(box().enabled(B::kLast), s.forward) << s.button;
    EXPECT_EQ(box().enabled(B::kPrev), s.backward) << s.button;
    EXPECT_EQ(box().enabled(B::kFirst), s.backward) << s.button;
    EXPECT_FALSE(box().enabled(B::kResetCurrent));
  }
  const struct {
    int frame;
    float angle;
    int horizontal, vertical;
  } table[] = {
      {1, 0.0f, cv.columnOffset + 1, cv.rowOffset},
      {2, 5.0f, cv.columnOffset, cv.rowOffset - 10},
      {3, 0.0f, cv.columnOffset, cv.rowOffset},
      {4, -1.0f, cv.columnOffset - 10, cv.rowOffset},
  };
  for (const auto& t : table) {
    const AlignmentTransform& s = box().model().stored(t.frame);
    EXPECT_EQ(s.angle, t.angle) << t.frame;
    EXPECT_EQ(s.horizontal, t.horizontal) << t.frame;
    EXPECT_EQ(s.vertical, t.vertical) << t.frame;
  }
  EXPECT_EQ(box().model().working().horizontal, cv.columnOffset + 1) << "frame 1 loaded back";
  EXPECT_GE(desk.alignment.changes, 9);
}

TEST_F(AlignmentTest, PictureIsTheCurrentFrameInRedOverTheAlignedPreviousFrameInBlue) {
  for (int colour : {V3D_ONE_CHANNEL, V3D_THREE_CHANNELS}) {
    resetVolumeTable();
    Volume* in = makeSlot(V3D_UC, colour, 4, 20, 30, 5);
    Volume* out = makeSlot(V3D_UC, colour, 4, 20, 30, 6);
    ASSERT_EQ(startAlignment(desk, in, out, 0, 3), 0);
    EXPECT_EQ(box().title(), "Vol. 0, [ 0, 3 position 0.]");
    // The first frame: nothing beneath it, the frame itself unmoved.
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) {
        ASSERT_EQ(pixel(0, x, y), grey(in, 0, y, x)) << x << "," << y;
        ASSERT_EQ(pixel(1, x, y), 0);
        ASSERT_EQ(pixel(2, x, y), 0);
      }
    // "Left 1" and "Up 10" read the frame one column right and ten rows down of each pixel.
    press(B::kLeft1);
    press(B::kUp10);
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) {
        const int expected = y + 10 < 20 && x + 1 < 30 ? grey(in, 0, y + 10, x + 1) : 0;
        ASSERT_EQ(pixel(0, x, y), expected) << x << "," << y;
      }
    // Turned as well, what the window shows is what is written.
    press(B::kCw5);
    press(B::kCw1);
    press(B::kSaveCurrent);
    EXPECT_EQ(desk.refreshed.back(), out) << "the output's windows are repainted";
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) ASSERT_EQ(pixel(0, x, y), grey(out, 0, y, x)) << x << "," << y;
    // The next frame lies on the saved one.
    press(B::kNext);
    EXPECT_EQ(box().title(), "Vol. 0, [ 0, 3 align 1 to 0 ]");
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 30; ++x) {
        ASSERT_EQ(pixel(2, x, y), grey(out, 0, y, x)) << x << "," << y;
        ASSERT_EQ(pixel(0, x, y), grey(in, 1, y, x)) << x << "," << y;
      }
    endAlignment();
  }
}

TEST_F(AlignmentTest, WrittenFramesAreCopyVolumeThenRotateVol2dReadAtTheirOffsets) {
  Volume* in = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 5, 17, 23, 7);
  Volume* out = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 5, 17, 23, 8);
  fill_in_VOI(in, 2, 3, 1, 5, 2, 9);
  const auto inputBefore = snapshot(in);
  const auto frame0 = frameSamples(out, 0);
  ASSERT_EQ(startAlignment(desk, in, out, 1, 4), 0);
  for (int b : {B::kCw5, B::kCw1, B::kLeft10, B::kUp1, B::kNext, B::kCcw5, B::kRight10, B::kRight10,
                B::kDown10, B::kNext, B::kNext, B::kCw5, B::kCw5, B::kUp10})
    press(b);
  press(B::kSaveAll);
  EXPECT_EQ(snapshot(in), inputBefore) << "the input, its VOI included, is only read";

  const AlignmentCanvas cv = alignmentCanvas(23, 17);
  const int centre = cv.size / 2;
  for (int k = 1; k <= 4; ++k) {
    const AlignmentTransform t = box().model().stored(k);
    OwnedVolume placed(V3D_UC, V3D_THREE_CHANNELS, 1, cv.size, cv.size);
    OwnedVolume turned(V3D_UC, V3D_THREE_CHANNELS, 1, cv.size, cv.size);
    Volume frame = *in;
    fill_in_VOI(&frame, k, k + 1, 0, 17, 0, 23);
    ASSERT_EQ(CopyVolume(&frame, placed, 0, cv.rowOffset, cv.columnOffset), 0);
    ASSERT_EQ(RotateVol2d(placed, turned, t.angle, centre, centre, centre, centre, 0, 0), 0);
    for (int c = 0; c < 3; ++c)
      for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x) {
          const int cy = y + t.vertical, cx = x + t.horizontal;
          const bool on = cy >= 0 && cy < cv.size && cx >= 0 && cx < cv.size;
          ASSERT_EQ(at<UC>(out, c, k, y, x), on ? at<UC>(turned.get(), c, 0, cy, cx) : 0)
              << "frame " << k << " channel " << c << " at " << x << "," << y;
        }
  }
  EXPECT_EQ(frameSamples(out, 0), frame0) << "frame 0 lies outside the range";
}

TEST_F(AlignmentTest, PointerDragsShiftWithThePointerAndTurnTheShortWayRound) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 40, 60);
  Volume* out = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 40, 60);
  ASSERT_EQ(startAlignment(desk, in, out, 0, 2), 0);
  const AlignmentCanvas cv = alignmentCanvas(60, 40);
  box().pointerPressed(false, 10, 10);
  box().pointerMoved(13, 8);
  box().pointerMoved(15, 8);
  box().pointerReleased();
  box().pointerMoved(40, 40);  // no button held: nothing moves
  EXPECT_EQ(box().model().working().horizontal, cv.columnOffset - 5);
  EXPECT_EQ(box().model().working().vertical, cv.rowOffset + 2);

  // Right of the centre to below it is a quarter turn clockwise (the measured angle jumps
  // from 180 to -90 degrees on the way), and back again.
  const int cx = 30, cy = 20;
  box().pointerPressed(true, cx + 10, cy);
  box().pointerMoved(cx, cy + 10);
  EXPECT_NEAR(box().model().working().angle, 90.0f, 1e-3f);
  box().pointerMoved(cx + 10, cy);
  EXPECT_NEAR(box().model().working().angle, 0.0f, 1e-3f);
  box().pointerMoved(cx, cy - 10);
  EXPECT_NEAR(box().model().working().angle, -90.0f, 1e-3f);
  box().pointerReleased();
}

TEST_F(AlignmentTest, ClosingAsksAndTheOutputKeepsOnlyWhatWasSaved) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 10, 12, 3);
  Volume* out = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 10, 12, 4);
  const auto untouched = snapshot(out);
  OwnedVolume original(V3D_UC, V3D_ONE_CHANNEL, 4, 10, 12);
  ASSERT_EQ(CopyVolume(out, original, 0, 0, 0), 0);

  // Cancel keeps everything open; No closes without writing anything more.
  ASSERT_EQ(startAlignment(desk, in, out, 0, 3), 0);
  press(B::kLeft10);
  desk.script({cancel()});
  press(B::kQuit);
  ASSERT_NE(runningAlignment(), nullptr);
  EXPECT_EQ(desk.lastMessage(), "Do you want to save changes?");
  EXPECT_EQ(desk.messages.back().buttons, MessageButtons::YesNoCancel);
  EXPECT_EQ(desk.alignment.ended, 0);
  desk.script({no()});
  press(B::kQuit);
  EXPECT_EQ(runningAlignment(), nullptr);
  EXPECT_EQ(desk.alignment.ended, 1);
  EXPECT_EQ(snapshot(out), untouched) << "nothing saved, nothing written";

  // "Save Current" on frame 2, then No: frame 2 alone changed.
  ASSERT_EQ(startAlignment(desk, in, out, 0, 3), 0);
  press(B::kNext);
  press(B::kNext);
  press(B::kUp1);
  press(B::kSaveCurrent);
  press(B::kNext);
  press(B::kUp1);
  desk.script({no()});
  ASSERT_TRUE(box().close());
  EXPECT_EQ(runningAlignment(), nullptr);
  for (int z : {0, 1, 3}) EXPECT_EQ(frameSamples(out, z), frameSamples(original, z)) << z;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 12; ++x)
      ASSERT_EQ(at<UC>(out, 0, 2, y, x), y < 9 ? at<UC>(in, 0, 2, y + 1, x) : 0)
          << "frame 2 moved up one row, at " << x << "," << y;

  // Yes writes every frame of the range with its transform, the working one included.
  ASSERT_EQ(startAlignment(desk, in, out, 1, 3), 0);
  press(B::kLast);
  press(B::kUp1);
  desk.script({yes()});
  press(B::kQuit);
  EXPECT_EQ(runningAlignment(), nullptr);
  for (int x = 0; x < 12; ++x) {
    ASSERT_EQ(at<UC>(out, 0, 1, 0, x), at<UC>(in, 0, 1, 0, x));
    ASSERT_EQ(at<UC>(out, 0, 3, 0, x), at<UC>(in, 0, 3, 1, x));
    ASSERT_EQ(at<UC>(out, 0, 3, 9, x), 0) << "the row below the frame is off the canvas";
  }
  EXPECT_TRUE(desk.scriptDone());
}

TEST_F(AlignmentTest, AVolumeThatGoesEndsTheAlignmentBeforeAnythingReadsIt) {
  // Through the shell: destroying the input, reallocating the output for another command.
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 8, 8);
  Volume* out = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 8, 8);
  ASSERT_EQ(startAlignment(desk, in, out, 0, 2), 0);
  desk.script({destroyEntry("0"), ok()});
  ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(kCmdDestroy)));
  EXPECT_EQ(runningAlignment(), nullptr);
  EXPECT_EQ(desk.alignment.ended, 1);

  in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 8, 8);
  ASSERT_EQ(startAlignment(desk, in, out, 0, 2), 0);
  Volume* big = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 9, 9);
  desk.script({pick(std::to_string(GetVolumeIndex(big))), pick("1"), yes()});
  ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(kCmdSymmetric)));
  EXPECT_EQ(out->Z, 4) << "reallocated for the other command";
  EXPECT_EQ(runningAlignment(), nullptr);
  EXPECT_EQ(desk.alignment.ended, 2);
  EXPECT_TRUE(desk.scriptDone());

  // Behind the shell's back (a module destroying or reallocating without freedisWin): the next
  // press finds the change, reports it, writes nothing and ends.
  const struct {
    const char* what;
    void (*change)(Volume* in, Volume* out);
    int button;
    const char* message;
  } cases[] = {
      {"input destroyed", [](Volume* i, Volume*) { DestroyVolume(i); }, B::kNext,
       "Wrong data type in volume"},
      {"input smaller", [](Volume* i, Volume*) { ReallocateVolume(i, V3D_UC, 1, 3, 8, 7); },
       B::kCw1, "Invalid input volume dimensions"},
      {"output in colour", [](Volume*, Volume* o) { ReallocateVolume(o, V3D_UC, 2, 3, 8, 8); },
       B::kSaveCurrent, "Invalid output volume colortype"},
      {"output smaller", [](Volume*, Volume* o) { ReallocateVolume(o, V3D_UC, 1, 2, 8, 8); },
       B::kSaveAll, "Invalid output volume dimensions"},
      {"output float", [](Volume*, Volume* o) { ReallocateVolume(o, V3D_F, 1, 3, 8, 8); },
       B::kSaveAll, "Invalid output volume data type"},
  };
  const VolumeWindowCloser closer = setVolumeWindowCloser(nullptr);
  for (const auto& c : cases) {
    resetVolumeTable();
    in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 8, 8, 1);
    out = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 8, 8, 2);
    ASSERT_EQ(startAlignment(desk, in, out, 0, 2), 0) << c.what;
    c.change(in, out);
    const auto outputBefore = snapshot(out);
    EXPECT_TRUE(press(c.button)) << c.what;
    EXPECT_EQ(desk.lastMessage(), c.message) << c.what;
    EXPECT_EQ(runningAlignment(), nullptr) << c.what;
    EXPECT_EQ(snapshot(out), outputBefore) << c.what;
  }
  setVolumeWindowCloser(closer);
}

TEST_F(AlignmentTest, StartFailuresReportTheirCodeAndLeaveNothingBehind) {
  Volume* in = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 3, 30, 40);
  Volume* out = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 3, 30, 40);
  const long live = liveStorageBlocks();
  int failures = 0;
  for (long n = 0;; ++n) {
    failAllocationsAfter(n);
    const int code = startAlignment(desk, in, out, 0, 2);
    failAllocationsAfter(-1);
    if (code == 0) break;
    ++failures;
    EXPECT_EQ(code, kCannotAllocateBuffer) << "after " << n;
    EXPECT_EQ(desk.lastMessage(), "Cannot allocate internal buffer");
    EXPECT_EQ(runningAlignment(), nullptr);
    EXPECT_EQ(liveStorageBlocks(), live) << "after " << n;
    ASSERT_LT(n, 200);
  }
  EXPECT_GE(failures, 7) << "table, planes and four canvases";
  endAlignment();
  EXPECT_EQ(liveStorageBlocks(), live);

  const struct {
    int code;
    const char* message;
  } windows[] = {{kCannotCreateWindow, "Unable to create window"}, {kGenericError, "Error"}};
  for (const auto& w : windows) {
    desk.alignment.openResult = w.code;
    EXPECT_EQ(startAlignment(desk, in, out, 0, 2), w.code);
    EXPECT_EQ(desk.lastMessage(), w.message);
    EXPECT_EQ(runningAlignment(), nullptr);
    EXPECT_EQ(liveStorageBlocks(), live);
  }
  desk.alignment.openResult = 0;
  EXPECT_EQ(startAlignment(desk, in, in, 0, 2), kSameInputOutput);
  EXPECT_EQ(startAlignment(desk, in, out, 1, 1), kInvalidParameters);
  EXPECT_EQ(startAlignment(desk, in, out, 0, 3), kInvalidParameters);
}

TEST_F(AlignmentTest, CommandAsksInputOutputAndRangeAndRunsOnlyOnce) {
  Volume* in = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 5, 10, 14);
  // An equal pair keeps the range dialog open with its message; the typed size of a new
  // output does not count.
  desk.script({pick("0"), pickNew(1, 3, 3, 3), values({"2", "2"}), values({"1", "3"})});
  run();
  EXPECT_TRUE(desk.scriptDone());
  EXPECT_EQ(desk.unanswered, 0);
  ASSERT_EQ(desk.dialogTitles.size(), 2u);
  EXPECT_EQ(desk.dialogTitles[0], "Select Input Volume");
  EXPECT_EQ(desk.dialogTitles[1], "Select Output Volume");
  ASSERT_EQ(desk.messages.size(), 1u);
  EXPECT_EQ(desk.messages[0].text, "At least 2 successive frames should be specified");
  ASSERT_NE(runningAlignment(), nullptr);
  Volume* out = volumeSlot(1);
  EXPECT_EQ(box().model().output(), out);
  EXPECT_EQ(CheckVolume(out, V3D_UC, V3D_THREE_CHANNELS), 0);
  EXPECT_EQ(out->X, 14);
  EXPECT_EQ(out->Y, 10);
  EXPECT_EQ(out->Z, 5);
  EXPECT_EQ(box().model().lower(), 1);
  EXPECT_EQ(box().model().upper(), 3);
  EXPECT_EQ(box().title(), "Vol. 0, [ 1, 3 position 1.]");

  // A second start while it runs is refused before any dialog.
  run();
  EXPECT_EQ(desk.lastMessage(), "Sorry. Another alignment procedure is already in progress.");
  EXPECT_EQ(desk.dialogTitles.size(), 2u);
  EXPECT_EQ(desk.alignment.opened, 1);
  endAlignment();

  // The input as output is refused; Cancel in the range dialog creates no output.
  desk.script({pick("0"), pick("0")});
  run();
  EXPECT_EQ(desk.lastMessage(), "Same input/output volume");
  desk.script({pick("0"), pickNew(2, 14, 10, 5), cancel()});
  run();
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
  // A window that cannot be made destroys the output made for it.
  desk.alignment.openResult = kCannotCreateWindow;
  desk.script({pick("0"), pickNew(2, 14, 10, 5), values({"0", "4"})});
  run();
  EXPECT_EQ(desk.lastMessage(), "Unable to create window");
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
  EXPECT_EQ(runningAlignment(), nullptr);
  EXPECT_TRUE(desk.scriptDone());
  EXPECT_NE(in->dataType, 0);
}

}  // namespace
}  // namespace v3d::test
