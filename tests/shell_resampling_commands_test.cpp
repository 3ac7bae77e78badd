// The Resizing and Morphology commands end to end through the scripted desk: the parameter
// dialogs before the output, the output size offered on the "New" entry, the interpolation
// options (method, factors taken from the output), the structuring element, the refusals,
// and outputs equal to the operation's own result.
#include "algorithms/morphology.h"
#include "algorithms/resampling.h"
#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

class ResamplingCommandsTest : public ShellTest {
 protected:
  void run(int id) { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(id))); }

  // The input of every command: 4 x 5 x 6 (or binary), VOI of 3 frames, 5 rows, 4 columns.
  Volume* input(bool binary = false) {
    Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6, 3, binary);
    fill_in_VOI(v, 1, 4, 0, 5, 1, 5);
    return v;
  }
  static void expectDims(Volume* v, int X, int Y, int Z) {
    ASSERT_NE(v->dataType, 0);
    EXPECT_EQ(v->X, X);
    EXPECT_EQ(v->Y, Y);
    EXPECT_EQ(v->Z, Z);
  }
  // `op` run on a zeroed volume of the slot's size must give the slot's samples.
  template <class Op>
  static void expectResultOf(Volume* slot, Op op) {
    auto expected = make_volume(slot->Z, slot->Y, slot->X, slot->dataType, slot->colorType);
    ASSERT_EQ(op(expected.get()), 0);
    auto bytes = [](Volume* v) {
      auto s = snapshot(v);
      return std::vector<unsigned char>(s.begin() + sizeof(Volume), s.end());
    };
    EXPECT_EQ(bytes(slot), bytes(expected.get()));
  }
};

TEST_F(ResamplingCommandsTest, FactorCommandsAskTheFactorFirstAndOfferTheSizeItNeeds) {
  Volume* in = input();
  desk.script({pick("0"), values({"2"}), pick("New[1]")});
  run(kCmdUniformZoom);
  EXPECT_EQ(desk.dialogTitles,
            (std::vector<std::string>{"Select Input Volume", "Give Zooming factor",
                                      "Select Output Volume"}));
  expectDims(volumeSlot(1), 8, 10, 6);
  expectResultOf(volumeSlot(1), [&](Volume* o) { return zoom3d(in, o, 2, 0, 0, 0); });
  EXPECT_EQ(desk.shown.back(), volumeSlot(1));

  desk.script({pick("0"), values({"2"}), pick("New[2]")});
  run(kCmdUniformDecimation);
  EXPECT_EQ(desk.dialogTitles[4], "Give Decimation factor");
  expectDims(volumeSlot(2), 2, 3, 2);
  expectResultOf(volumeSlot(2), [&](Volume* o) { return decim3(in, o, 2, 0, 0, 0); });

  desk.script({pick("0"), values({"3"}), pick("New[3]")});
  run(kCmdZeroFramePadding);
  EXPECT_EQ(desk.dialogTitles[7], "Give Zero Padding factor");
  expectDims(volumeSlot(3), 4, 5, 7);
  expectResultOf(volumeSlot(3), [&](Volume* o) { return FrameZeroPadding(in, o, 3, 0, 0, 0); });

  // A factor the operation refuses: the output made for it is destroyed, the code reported.
  desk.script({pick("0"), values({"0"}), pick("New[4]")});
  run(kCmdUniformZoom);
  EXPECT_EQ(volumeSlot(4)->dataType, 0);
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  // A text that does not parse ends the command before the output dialog.
  const std::size_t dialogs = desk.dialogTitles.size();
  desk.script({pick("0"), values({"two"})});
  run(kCmdUniformDecimation);
  EXPECT_EQ(desk.dialogTitles.size(), dialogs + 2);
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  // An existing output too small for the zoom is reallocated after the question.
  desk.script({pick("0"), values({"3"}), pick("2"), yes()});
  run(kCmdUniformZoom);
  expectDims(volumeSlot(2), 12, 15, 9);
  EXPECT_EQ(desk.messages.back().text,
            "Output Volume is not appropriate\nand will be reallocated. Continue?");
  EXPECT_TRUE(desk.scriptDone());
  EXPECT_EQ(desk.unanswered, 0);
}

TEST_F(ResamplingCommandsTest, InterpolationCommandsRunTheChosenMethodAndFactors) {
  Volume* in = input();
  // Factors typed X, Y, Z; the operation takes them as Z, Y, X.
  desk.script({pick("0"), values({"2", "1.5", "2"}), pick("New[1]")});
  run(kCmdInterpolation3d);
  EXPECT_EQ(desk.dialogTitles[1], "3D Interpolation Options");
  expectDims(volumeSlot(1), 8, 7, 6);
  expectResultOf(volumeSlot(1), [&](Volume* o) {
    return InterpolationLinear3d(in, o, 0, 2.0f, 1.5f, 2.0f, 0, 0, 0);
  });
  desk.script({pick("0"), choose(1), values({"0.5", "2", "1"}), pick("New[2]")});
  run(kCmdInterpolation3d);
  expectDims(volumeSlot(2), 2, 10, 3);
  expectResultOf(volumeSlot(2), [&](Volume* o) {
    return InterpolationNearestNeighbor3d(in, o, 0, 1.0f, 2.0f, 0.5f, 0, 0, 0);
  });

  // Frame interpolation: X and Y stay; 2.5 gives trunc(2.5 * 3) frames.
  desk.script({pick("0"), values({"1", "1", "2.5"}), pick("New[3]")});
  run(kCmdFrameInterpolation);
  EXPECT_EQ(desk.dialogTitles.back(), "Select Output Volume");
  EXPECT_EQ(desk.dialogTitles[desk.dialogTitles.size() - 2], "Frame Interpolation Options");
  expectDims(volumeSlot(3), 4, 5, 7);
  expectResultOf(volumeSlot(3),
                 [&](Volume* o) { return InterpolationFrameLinear3d(in, o, 0, 2.5f, 0, 0, 0); });

  // Factors taken from the output: no new volume is offered, the output keeps its size.
  desk.script({pick("0"), choose(10), pick("2")});
  run(kCmdInterpolation3d);
  expectDims(volumeSlot(2), 2, 10, 3);
  expectResultOf(volumeSlot(2),
                 [&](Volume* o) { return InterpolationLinear3d(in, o, 1, 0, 0, 0, 0, 0, 0); });
  desk.script({pick("0"), choose(10), pick("New[4]")});
  run(kCmdFrameInterpolation);
  EXPECT_EQ(desk.unanswered, 1) << "the New entry is not in the list";
  EXPECT_EQ(volumeSlot(4)->dataType, 0);

  // The input as output is refused; nothing is written.
  const auto before = snapshot(in);
  desk.script({pick("0"), values({"1", "1", "2"}), pick("0")});
  run(kCmdFrameInterpolation);
  EXPECT_EQ(desk.lastMessage(), "Same input/output volume");
  EXPECT_EQ(snapshot(in), before);
}

TEST_F(ResamplingCommandsTest, BinaryFrameInterpolationInsertsTheChosenFrames) {
  Volume* in = input(true);
  desk.script({pick("0"), choose(11), pick("New[1]")});
  run(kCmdBinaryFrameInterpolation);
  expectDims(volumeSlot(1), 4, 5, 7);
  expectResultOf(volumeSlot(1),
                 [&](Volume* o) { return FrameInterpolationBinary(in, o, 3, 0, 0, 0, 1); });
  desk.script({pick("0"), choose(0), pick("New[2]")});
  run(kCmdBinaryFrameInterpolation);
  expectDims(volumeSlot(2), 4, 5, 5);
  expectResultOf(volumeSlot(2),
                 [&](Volume* o) { return FrameInterpolationBinary(in, o, 2, 0, 0, 0, 0); });
  // A grey input is refused by the operation and the output made for it destroyed.
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 5, 6, 9);
  desk.script({pick("3"), choose(0), pick("New[4]")});
  run(kCmdBinaryFrameInterpolation);
  EXPECT_EQ(desk.lastMessage(), "Volume is not binary");
  EXPECT_EQ(volumeSlot(4)->dataType, 0);
  EXPECT_EQ(desk.unanswered, 0);
}

TEST_F(ResamplingCommandsTest, MorphologyCommandsTakeAStructuringElement) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 8, 9, 4, true);
  Volume* element = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 3, 5, true);
  const std::pair<int, int (*)(Volume*, Volume*, Volume*)> commands[] = {
      {kCmdMinkowskiAddition, MinkowskiAddition3d},
      {kCmdMinkowskiSubtraction, MinkowskiSubtraction3d},
      {kCmdDilation, bdilate3d},
      {kCmdErosion, berode3d},
      {kCmdOpening, bopening3d},
      {kCmdClosing, bclosing3d}};
  int slot = 2;
  for (const auto& [id, op] : commands) {
    EXPECT_TRUE(commandAvailable(id)) << id;
    desk.script({pick("0"), pick("1"), pick("New[" + std::to_string(slot) + "]")});
    run(id);
    EXPECT_EQ(desk.dialogTitles[desk.dialogTitles.size() - 2], "Select Structuring Element Volume");
    expectDims(volumeSlot(slot), 9, 8, 6);
    expectResultOf(volumeSlot(slot), [&, op = op](Volume* o) { return op(in, element, o); });
    ++slot;
  }
  // The input as output is refused; an even element is refused by the operation.
  desk.script({pick("0"), pick("1"), pick("0")});
  run(kCmdOpening);
  EXPECT_EQ(desk.lastMessage(), "Same input/output volume");
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 2, 3, 6, true);
  desk.script(
      {pick("0"), pick(std::to_string(slot)), pick("New[" + std::to_string(slot + 1) + "]")});
  run(kCmdDilation);
  EXPECT_EQ(desk.lastMessage(), "Invalid input volume dimensions");
  EXPECT_EQ(volumeSlot(slot + 1)->dataType, 0);
  EXPECT_TRUE(desk.scriptDone());
  EXPECT_EQ(desk.unanswered, 0);
}

}  // namespace
}  // namespace v3d::test
