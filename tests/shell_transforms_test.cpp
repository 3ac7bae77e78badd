// The Transforms menu end to end through the scripted desk: each command's dialogs and
// titles, its outputs against the library called directly (or the round trip back to the
// input), and the refusals and failures that leave no volume behind.
#include <cmath>

#include "algorithms/fourier.h"
#include "algorithms/linear_filters.h"
#include "algorithms/spectral.h"
#include "core/basic_ops.h"
#include "shell/commands.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

class TransformCommandsTest : public ShellTest {
 protected:
  void run(int id) { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(id))); }
  void expectNothingLeft() {
    EXPECT_TRUE(desk.scriptDone());
    EXPECT_EQ(desk.unanswered, 0);
  }
  // A float copy of a UC volume's VOI, outside the table.
  std::unique_ptr<OwnedVolume> floats(Volume* in) {
    const Box b = voiOf(*in);
    auto f = std::make_unique<OwnedVolume>(V3D_F, 1, b.depth(), b.height(), b.width());
    EXPECT_EQ(UCVolume2FVolume(in, *f, 0, 0, 0), 0);
    return f;
  }
  static bool sameSamples(Volume* a, Volume* b) {
    const auto x = snapshot(a), y = snapshot(b);
    return x.size() == y.size() &&
           std::equal(x.begin() + sizeof(Volume), x.end(), y.begin() + sizeof(Volume));
  }
};

TEST_F(TransformCommandsTest, FftIntoTwoOutputsThenIfftRestoresTheInput) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 12, 8);
  fill_in_VOI(in, 2, 6, 4, 12, 0, 8);  // 4 x 8 x 8, away from the origin
  const auto input = snapshot(in);
  // The outputs hold the block at the VOI origin: their size is the VOI's upper bounds.
  desk.script({pick("0"), pickNew(1, 8, 12, 6), pickNew(2, 8, 12, 6)});
  run(kCmdFft);
  expectNothingLeft();
  EXPECT_EQ(desk.dialogTitles,
            (std::vector<std::string>{"Select Input Volume", "Select Output Volume (Real Part)",
                                      "Select Output Volume (Im. Part)"}));
  Volume* re = volumeSlot(1);
  Volume* im = volumeSlot(2);
  ASSERT_EQ(re->dataType, V3D_F);
  ASSERT_EQ(im->dataType, V3D_F);
  EXPECT_EQ(voiOf(*re).z0, 2);
  EXPECT_EQ(voiOf(*im).y1, 12);
  EXPECT_EQ(desk.shown, (std::vector<Volume*>{re, im}));

  // The library called directly on the same samples gives the same pair.
  auto x = floats(in);
  OwnedVolume zero(V3D_F, 1, 4, 8, 8), wantRe(V3D_F, 1, 4, 8, 8), wantIm(V3D_F, 1, 4, 8, 8);
  ASSERT_EQ(fft3d(*x, zero, wantRe, wantIm, 0, 0, 0, 0), 0);
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 8; ++y)
      for (int c = 0; c < 8; ++c) {
        EXPECT_EQ(at<float>(re, 0, 2 + z, 4 + y, c), at<float>(wantRe, 0, z, y, c));
        EXPECT_EQ(at<float>(im, 0, 2 + z, 4 + y, c), at<float>(wantIm, 0, z, y, c));
      }

  desk.dialogTitles.clear();
  desk.script({pick("1"), pick("2"), pickNew(3, 8, 12, 6)});
  run(kCmdIfft);
  expectNothingLeft();
  EXPECT_EQ(desk.dialogTitles,
            (std::vector<std::string>{"Select Input Volume (Real Part)",
                                      "Select Input Volume (Im. Part)", "Select Output Volume"}));
  Volume* back = volumeSlot(3);
  ASSERT_EQ(back->dataType, V3D_UC);
  EXPECT_EQ(voiOf(*back).x1, 8);
  for (int z = 2; z < 6; ++z)
    for (int y = 4; y < 12; ++y)
      for (int c = 0; c < 8; ++c) EXPECT_EQ(at<UC>(back, 0, z, y, c), at<UC>(in, 0, z, y, c));
  EXPECT_EQ(snapshot(in), input);
}

TEST_F(TransformCommandsTest, FftRefusalsAndFailuresLeaveNoVolumeBehind) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 8);
  // The input as an output of another type would be reallocated away: refused.
  desk.script({pick("0"), pick("0")});
  run(kCmdFft);
  EXPECT_EQ(desk.lastMessage(), "Same input/output volume");
  // Cancel at the second output: the first, made for the command, goes again.
  desk.script({pick("0"), pickNew(1, 8, 8, 4), cancel()});
  run(kCmdFft);
  EXPECT_EQ(volumeSlot(1)->dataType, 0);
  // One volume for both parts is refused.
  desk.script({pick("0"), pickNew(1, 8, 8, 4), pick("1")});
  run(kCmdFft);
  EXPECT_EQ(desk.lastMessage(), "Same input/output volume");
  EXPECT_EQ(volumeSlot(1)->dataType, 0);
  // A VOI of 6 columns: the transform's code, and both outputs made here go.
  fill_in_VOI(in, 0, 4, 0, 8, 0, 6);
  desk.script({pick("0"), pickNew(1, 6, 8, 4), pickNew(2, 6, 8, 4)});
  run(kCmdFft);
  EXPECT_EQ(desk.lastMessage(), "Given VOI dimensions are not power of 2");
  EXPECT_EQ(volumeSlot(1)->dataType, 0);
  EXPECT_EQ(volumeSlot(2)->dataType, 0);
  expectNothingLeft();
}

TEST_F(TransformCommandsTest, DctThenIdctRestoresTheWholeVolume) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 16);
  fill_in_VOI(in, 1, 2, 1, 2, 1, 2);  // the command resets it to the whole volume
  desk.script({pick("0"), pickNew(1, 16, 8, 4)});
  run(kCmdDct);
  expectNothingLeft();
  EXPECT_EQ(voiOf(*in).x1, 16);
  Volume* coefficients = volumeSlot(1);
  ASSERT_EQ(coefficients->dataType, V3D_F);
  auto x = floats(in);
  OwnedVolume want(V3D_F, 1, 4, 8, 16);
  ASSERT_EQ(DCT3d(*x, want), 0);
  EXPECT_TRUE(sameSamples(coefficients, want));

  desk.script({pick("1"), pickNew(2, 16, 8, 4)});
  run(kCmdIdct);
  expectNothingLeft();
  Volume* back = volumeSlot(2);
  ASSERT_EQ(back->dataType, V3D_UC);
  EXPECT_TRUE(sameSamples(back, in));
  EXPECT_EQ(desk.shown.back(), back);

  // A NaN coefficient spreads to every sample of the inverse; the 8-bit output stores 0.
  at<float>(volumeSlot(1), 0, 1, 2, 3) = std::nanf("");
  desk.script({pick("1"), pick("2")});
  run(kCmdIdct);
  expectNothingLeft();
  for (int z = 0; z < 4; ++z)
    for (int y = 0; y < 8; ++y)
      for (int c = 0; c < 16; ++c) ASSERT_EQ(at<UC>(back, 0, z, y, c), 0);
}

TEST_F(TransformCommandsTest, ConvolutionAndCorrelationOfTwoInputs) {
  Volume* a = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 6, 6, 1);
  Volume* b = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 6, 6, 6, 2);
  fill_in_VOI(a, 1, 5, 0, 4, 2, 6);
  auto x = floats(a), y = floats(b);
  OwnedVolume wantConv(V3D_F, 1, 8, 8, 8), wantCorr(V3D_F, 1, 8, 8, 8);
  ASSERT_EQ(convolution3(*x, *y, wantConv, 0, 0, 0), 0);
  ASSERT_EQ(correlation3d(*x, *y, wantCorr, 0, 0, 0), 0);

  // The output's size is twice the first input's VOI.
  desk.script({pick("0"), pick("1"), pickNew(2, 8, 8, 8)});
  run(kCmdConvolution);
  desk.script({pick("0"), pick("1"), pickNew(3, 8, 8, 8)});
  run(kCmdCorrelation);
  expectNothingLeft();
  EXPECT_TRUE(sameSamples(volumeSlot(2), wantConv));
  EXPECT_TRUE(sameSamples(volumeSlot(3), wantCorr));

  // Too small an output: the operation's code, the output made for it goes.
  desk.script({pick("0"), pick("1"), pickNew(4, 8, 8, 7)});
  run(kCmdConvolution);
  EXPECT_EQ(desk.lastMessage(), "Invalid output volume dimensions");
  EXPECT_EQ(volumeSlot(4)->dataType, 0);
}

TEST_F(TransformCommandsTest, SpectrumPicturesOfTheFftAndOfTheBlackmanTukeyEstimate) {
  Volume* in = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 5, 9, 9);
  fill_in_VOI(in, 1, 5, 1, 9, 1, 9);  // 4 x 8 x 8
  auto x = floats(in);
  OwnedVolume zero(V3D_F, 1, 4, 8, 8), want(V3D_UC, 1, 5, 9, 9);
  ASSERT_EQ(fft3d(*x, zero, *x, zero, 0, 0, 0, 0), 0);
  ASSERT_EQ(fft2image3d(*x, zero, want, 1, 1, 1), 0);
  desk.script({pick("0"), pickNew(1, 9, 9, 5)});
  run(kCmdSpectrumMagnitude);
  expectNothingLeft();
  EXPECT_TRUE(sameSamples(volumeSlot(1), want));

  OwnedVolume psd(V3D_F, 1, 8, 16, 16), none(V3D_F, 1, 8, 16, 16), picture(V3D_UC, 1, 8, 16, 16);
  ASSERT_EQ(blackman_tukey_psd3d(in, psd, 3, 4, 2), 0);  // Z, Y, X
  ASSERT_EQ(fft2image3d(psd, none, picture, 0, 0, 0), 0);
  desk.script({pick("0"), pickNew(2, 16, 16, 8), values({"2", "4", "3"})});
  run(kCmdBlackmanTukeyPsd);
  expectNothingLeft();
  EXPECT_EQ(desk.dialogTitles.back(), "Give attenuation coefficients");
  EXPECT_TRUE(sameSamples(volumeSlot(2), picture));

  // A lag window longer than the VOI: refused by the estimate, the output made goes.
  desk.script({pick("0"), pickNew(3, 16, 16, 8), values({"9", "1", "1"})});
  run(kCmdBlackmanTukeyPsd);
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  EXPECT_EQ(volumeSlot(3)->dataType, 0);

  for (int id : {kCmdFft, kCmdIfft, kCmdDct, kCmdIdct, kCmdConvolution, kCmdCorrelation,
                 kCmdSpectrumMagnitude, kCmdBlackmanTukeyPsd})
    EXPECT_TRUE(commandAvailable(id)) << id;
}

}  // namespace
}  // namespace v3d::test
