// The "&Frame Gallery" command end to end through the scripted desk, and the parsing rules
// of its options dialog.
#include <string>

#include "shell/commands.h"
#include "shell/dialogs.h"
#include "shell/projection_model.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

class GalleryCommandTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    registerShellProjectionTypes();
  }
  void run() { ASSERT_TRUE(dispatch(desk, static_cast<std::uintptr_t>(kCmdFrameGallery))); }
  void expectNothingLeft() {
    EXPECT_TRUE(desk.scriptDone());
    EXPECT_EQ(desk.unanswered, 0);
  }
};

TEST(FrameGalleryDialogTest, AcceptsOnlyAWholeNumberOfAtLeastOne) {
  const struct {
    const char* text;
    bool accepted;
    int frames;
  } cases[] = {
      {"6", true, 6},    {"6.0", true, 6},  {" 12 ", true, 12}, {"2.5", false, 0},
      {"0", false, 0},   {"-3", false, 0},  {"abc", false, 0},  {"", false, 0},
      {"4x", false, 0},  {"1e9", false, 0},
  };
  for (const auto& c : cases) {
    FrameGalleryDialog d;
    EXPECT_EQ(d.framesPerRow, "6");
    EXPECT_TRUE(d.linear);
    d.framesPerRow = c.text;
    EXPECT_EQ(d.accept(), c.accepted) << '"' << c.text << '"';
    if (c.accepted) {
      EXPECT_EQ(d.frames, c.frames) << c.text;
    }
  }
}

TEST_F(GalleryCommandTest, ShowsTheGalleryOfTheVoiInAProjectionWindow) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 8);  // slot 0, not chosen
  Volume* v = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 14, 30, 40, 7);
  ASSERT_EQ(GetVolumeIndex(v), 1);
  fill_in_VOI(v, 1, 12, 0, 30, 0, 40);  // 11 frames of 30 x 40
  // An invalid count keeps the dialog open with the message; then 4 per row, nearest.
  desk.script({pick("1"), values({"2.5"}), choose(1), values({"4"})});
  run();
  ASSERT_EQ(desk.dialogTitles.size(), 2u);
  EXPECT_EQ(desk.dialogTitles[0], "Select Input Volume");
  EXPECT_EQ(desk.dialogTitles[1], "Frame Gallery Display Options");
  ASSERT_EQ(desk.messages.size(), 1u);
  EXPECT_EQ(desk.messages[0].text, "Invalid parameters");
  ASSERT_EQ(desk.projections.size(), 1u);
  const auto& shown = desk.projections[0];
  EXPECT_EQ(shown.title, "Frame Gallery of Volume  1.");
  EXPECT_EQ(shown.projection->type, kFrameGalleryType);
  EXPECT_EQ(shown.projection->volume, v);
  const auto* gp = static_cast<const GalleryParameters*>(shown.projection->extra);
  EXPECT_EQ(gp->frameFrom, 1);
  EXPECT_EQ(gp->frameTo, 12);
  EXPECT_EQ(gp->framesPerRow, 4);
  EXPECT_EQ(gp->nearest, 1);
  EXPECT_EQ(shown.buffer->kind, V3D_BUFFER_GREY);
  EXPECT_EQ(shown.buffer->width, 400);
  EXPECT_EQ(shown.buffer->height, 3 * 75) << "three rows of tiles, each 100 * 30 / 40 high";
  EXPECT_EQ(shown.buffer->plane[1], nullptr);
  EXPECT_EQ(desk.busyCalls.front(), true);
  EXPECT_EQ(desk.busyCalls.back(), false);
  expectNothingLeft();
}

TEST_F(GalleryCommandTest, AThreeChannelVolumeGivesAColourBufferWithTheDefaults) {
  Volume* v = makeSlot(V3D_UC, V3D_THREE_CHANNELS, 7, 20, 30);
  desk.script({pick("0"), ok()});
  run();
  ASSERT_EQ(desk.projections.size(), 1u);
  const auto& shown = desk.projections[0];
  EXPECT_EQ(shown.title, "Frame Gallery of Volume  0.");
  EXPECT_EQ(shown.projection->volume, v);
  EXPECT_EQ(static_cast<const GalleryParameters*>(shown.projection->extra)->nearest, 0);
  EXPECT_EQ(shown.buffer->kind, V3D_BUFFER_COLOUR);
  EXPECT_EQ(shown.buffer->width, 600);
  EXPECT_EQ(shown.buffer->height, 2 * 66) << "7 frames at 6 per row, 100 * 20 / 30 high";
  for (unsigned char** plane : shown.buffer->plane) EXPECT_NE(plane, nullptr);
  EXPECT_TRUE(desk.messages.empty());
  expectNothingLeft();
}

TEST_F(GalleryCommandTest, CancelAtEitherDialogShowsNothing) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 8, 8);
  makeSlot(V3D_F, V3D_ONE_CHANNEL, 4, 8, 8);
  desk.script({cancel()});
  run();
  desk.script({pick("0"), cancel()});
  run();
  desk.script({pick("0"), values({"-3"}), cancel()});
  run();
  EXPECT_TRUE(desk.projections.empty());
  EXPECT_EQ(desk.messages.size(), 1u) << "only the refused count";
  // A float volume is not offered.
  desk.script({pick("1")});
  run();
  EXPECT_TRUE(desk.projections.empty());
  EXPECT_EQ(desk.unanswered, 1);
  EXPECT_TRUE(desk.scriptDone());
  EXPECT_TRUE(commandAvailable(kCmdFrameGallery)) << "no longer greyed";
}

}  // namespace
}  // namespace v3d::test
