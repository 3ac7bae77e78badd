// The dialog presenters: lists, selection, validation and what they write into the table.
#include <cstring>

#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/dialogs.h"
#include "shell/exports.h"
#include "shell/open_dialog.h"
#include "shell/sequence_guess.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

std::vector<std::string> labels(const VolumeDialog& d) {
  std::vector<std::string> v;
  for (const auto& e : d.entries()) v.push_back(e.label);
  return v;
}

TEST(ParseTest, AcceptsExactlyOneNumber) {
  int i = 0;
  float f = 0;
  EXPECT_TRUE(parseInt(" 7 ", i));
  EXPECT_EQ(i, 7);
  EXPECT_TRUE(parseInt("-12", i));
  EXPECT_EQ(i, -12);
  for (const char* bad : {"", " ", "12abc", "3.5", "1 2", "abc", "99999999999"})
    EXPECT_FALSE(parseInt(bad, i)) << bad;
  EXPECT_TRUE(parseFloat("2.5", f));
  EXPECT_EQ(f, 2.5f);
  EXPECT_TRUE(parseFloat("-0.0", f));
  for (const char* bad : {"", "2.5x", "nan", "inf", "1e99", "."})
    EXPECT_FALSE(parseFloat(bad, f)) << bad;
}

class VolumeDialogTest : public ShellTest {};

TEST_F(VolumeDialogTest, InputDialogListsMatchingVolumesAndAppliesAValidVoi) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6);     // 0
  makeSlot(V3D_F, V3D_ONE_CHANNEL, 4, 5, 6);      // 1
  makeSlot(V3D_UC, V3D_THREE_CHANNELS, 4, 5, 6);  // 2
  VolumeDialog d(VolumeDialogKind::Input);
  d.typeMask = V3D_UC;
  d.colorMask = V3D_ANY_COLOR;
  d.open();
  EXPECT_EQ(labels(d), (std::vector<std::string>{"0", "2"})) << "no New entry in the input dialog";
  EXPECT_FALSE(d.okEnabled());
  EXPECT_FALSE(d.accept());
  d.select(1);
  EXPECT_TRUE(d.okEnabled());
  EXPECT_EQ(d.fieldX, "6");
  EXPECT_EQ(d.colorTypeText, "3 Channels");
  EXPECT_EQ(d.dataTypeText, "UC");
  EXPECT_EQ(d.voi, (std::array<std::string, 6>{"0", "4", "0", "5", "0", "6"}));
  EXPECT_FALSE(d.voiEditable());
  EXPECT_FALSE(d.dimensionsEditable());
  d.setChangeVoi(true);
  EXPECT_TRUE(d.voiEditable());
  d.voi = {"1", "4", "0", "5", "2", "6"};  // upper bounds equal to the size are valid
  ASSERT_TRUE(d.accept());
  Volume* v = volumeSlot(2);
  EXPECT_EQ(d.chosenVolume, v);
  EXPECT_EQ(v->voiZ0, 1);
  EXPECT_EQ(v->voiX0, 2);
  EXPECT_EQ(v->voiX1, 6);
  EXPECT_EQ(tableChoices().lastInput, 2);
  EXPECT_EQ(exchange().selectedText, "2");
}

TEST_F(VolumeDialogTest, InvalidVoiShows615AndKeepsTheDialogOpen) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6);
  VolumeDialog d(VolumeDialogKind::Input);
  d.informationEditable = true;
  d.open();
  d.select(0);
  d.setChangeVoi(true);
  d.information = "typed";
  for (const auto& bad : std::vector<std::array<std::string, 6>>{{"2", "2", "0", "5", "0", "6"},
                                                                 {"0", "5", "0", "5", "0", "6"},
                                                                 {"0", "4", "0", "5", "0", "7"},
                                                                 {"-1", "4", "0", "5", "0", "6"},
                                                                 {"0", "4", "x", "5", "0", "6"}}) {
    d.voi = bad;
    EXPECT_FALSE(d.accept());
    EXPECT_EQ(desk.lastMessage(), "Not appropriate VOI");
  }
  EXPECT_STREQ(volumeSlot(0)->information, "typed") << "the text is stored in any case";
  EXPECT_EQ(volumeSlot(0)->voiZ1, 4) << "a refused VOI is not applied";
}

TEST_F(VolumeDialogTest, OutputDialogOffersTheLowestFreeSlotWithTheSuggestedSize) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 2, 2);  // 0
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 2, 2, 2);  // 1
  DestroyVolume(volumeSlot(0));
  VolumeDialog d(VolumeDialogKind::Output);
  d.suggestedX = 7;
  d.suggestedY = 8;
  d.suggestedZ = 9;
  d.open();
  EXPECT_EQ(labels(d), (std::vector<std::string>{"1", "New[0]"}));
  d.select(1);
  EXPECT_EQ(d.fieldX, "7");
  EXPECT_EQ(d.fieldZ, "9");
  EXPECT_TRUE(d.dimensionsEditable());
  EXPECT_TRUE(d.information.empty());
  d.fieldX = "3";
  d.information = "for the new volume";
  ASSERT_TRUE(d.accept());
  EXPECT_TRUE(d.chosenNew);
  EXPECT_EQ(d.chosenVolume, nullptr);
  EXPECT_EQ(d.chosenIndex, 0);
  EXPECT_EQ(d.resultX, 3);
  EXPECT_EQ(tableChoices().lastOutput, 0);
  EXPECT_STREQ(volumeSlot(0)->information, "for the new volume")
      << "stored into the slot before the volume exists";

  VolumeDialog none(VolumeDialogKind::Output);
  none.open();
  EXPECT_EQ(labels(none), (std::vector<std::string>{"1"})) << "no New entry for a size of 0";
  VolumeDialog off(VolumeDialogKind::Output);
  off.suggestedX = 1;
  off.noNewEntry = true;
  off.open();
  EXPECT_EQ(labels(off), (std::vector<std::string>{"1"}));
}

TEST_F(VolumeDialogTest, CreateDialogValidatesDimensionsAndReadsTheTypeLists) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1);
  VolumeDialog d(VolumeDialogKind::Create);
  d.open();
  ASSERT_EQ(d.entries().size(), 99u);
  EXPECT_EQ(d.entries()[0].label, "1");
  EXPECT_EQ(VolumeDialog::createTypeTexts(), (std::vector<std::string>{"UC", "F", "I"}));
  d.select(0);
  d.fieldX = "4";
  d.fieldY = "0";
  d.fieldZ = "2";
  EXPECT_FALSE(d.accept());
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  d.fieldY = "abc";
  EXPECT_FALSE(d.accept());
  d.fieldY = "3";
  d.createTypeRow = 2;
  d.createColorRow = 1;
  ASSERT_TRUE(d.accept());
  EXPECT_EQ(d.resultDataType, V3D_I);
  EXPECT_EQ(d.resultColorType, V3D_THREE_CHANNELS);
  EXPECT_EQ(d.resultY, 3);
}

TEST_F(VolumeDialogTest, DestroyDialogRemovesLinesAndKeepsThePosition) {
  for (int i = 0; i < 3; ++i) makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1);
  VolumeDialog d(VolumeDialogKind::Destroy);
  d.open();
  EXPECT_FALSE(d.destroyEnabled());
  d.select(1);
  d.destroySelected();
  EXPECT_EQ(volumeSlot(1)->dataType, 0);
  EXPECT_EQ(labels(d), (std::vector<std::string>{"0", "2"}));
  EXPECT_EQ(d.selectedRow(), 1) << "the selection stays on the same position";
  d.destroySelected();
  EXPECT_EQ(d.selectedRow(), 0) << "or moves to the last line";
  d.destroySelected();
  EXPECT_TRUE(d.entries().empty());
  EXPECT_FALSE(d.destroyEnabled());
  EXPECT_EQ(desk.closed.size(), 3u) << "every window of a destroyed volume is closed first";
}

TEST_F(VolumeDialogTest, ChoiceDialogHidesExcludedSlots) {
  for (int i = 0; i < 3; ++i) makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1);
  VolumeDialog d(VolumeDialogKind::Choice);
  d.excludedA = 0;
  d.excludedB = 2;
  d.open();
  EXPECT_EQ(labels(d), (std::vector<std::string>{"1"}));
  d.select(0);
  ASSERT_TRUE(d.accept());
  EXPECT_EQ(exchange().secondSelectedText, "1");
}

TEST_F(VolumeDialogTest, ExportedChoicesHandBackThePreviousChoiceOnCancel) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 3, 3, 3);
  makeSlot(V3D_F, V3D_ONE_CHANNEL, 3, 3, 3);
  Volume* out = nullptr;
  desk.script({pick("1")});
  EXPECT_EQ(GetInputVolume(V3D_ANY_TYPE, V3D_ANY_COLOR, "Pick one", &out), 1);
  EXPECT_EQ(out, volumeSlot(1));
  EXPECT_EQ(desk.dialogTitles.back(), "Pick one");
  desk.script({cancel()});
  out = nullptr;
  EXPECT_EQ(GetInputVolume(V3D_UC, V3D_ANY_COLOR, nullptr, &out), 0);
  EXPECT_EQ(out, volumeSlot(1)) << "Cancel hands back the previous choice";
  EXPECT_EQ(desk.dialogTitles.back(), "Pick one") << "a NULL title keeps the last one";

  desk.script({pickNew(2, 4, 5, 6)});
  EXPECT_EQ(GetOutputVolume(V3D_ANY_TYPE, V3D_ANY_COLOR, "Out", 4, 5, 6, &out), 1);
  EXPECT_EQ(out, nullptr) << "New: the caller creates the volume";
  EXPECT_EQ(tableChoices().lastOutput, 2);
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 6, 5, 4, nullptr, &out), 0);
  EXPECT_EQ(GetVolumeIndex(out), 2);
}

TEST(ValueDialogsTest, FieldsKeepNineCharactersAndOwnValidationRules) {
  ValueDialog v(3);
  EXPECT_EQ(v.resource(), kDialogThreeValues);
  v.texts[0] = "1234567890123";
  v.accept();
  EXPECT_EQ(v.texts[0], "123456789");

  ScriptedDesk desk;
  DisplayLevelsDialog levels(10);
  EXPECT_EQ(levels.lower, "0");
  EXPECT_EQ(levels.upper, "9");
  EXPECT_EQ(levels.delay, "0.0");
  levels.delay = "0.5s";
  EXPECT_FALSE(levels.accept());
  levels.delay = "0.5";
  levels.lower = "5";
  levels.upper = "4";
  EXPECT_FALSE(levels.accept());
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  levels.lower = "2";
  ASSERT_TRUE(levels.accept());
  EXPECT_EQ(levels.delaySeconds, 0.5f);

  AlignmentDialog align(5);
  EXPECT_EQ(align.upper, "4");
  align.lower = "3";
  align.upper = "3";
  EXPECT_FALSE(align.accept());
  EXPECT_EQ(desk.lastMessage(), "At least 2 successive frames should be specified");
  align.upper = "5";
  EXPECT_FALSE(align.accept());
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  align.upper = "4";
  EXPECT_TRUE(align.accept());

  InterpolationDialog frame(true);
  EXPECT_EQ(frame.factorX, "1");
  EXPECT_FALSE(frame.factorXEnabled());
  EXPECT_FALSE(frame.nearestEnabled());
  EXPECT_TRUE(frame.linear);
  frame.factorZ = "two";
  EXPECT_FALSE(frame.accept());
  frame.factorZ = "2.5";
  ASSERT_TRUE(frame.accept());
  EXPECT_EQ(frame.z, 2.5f);
  InterpolationDialog cube(false);
  cube.extractFromOutput = true;
  EXPECT_FALSE(cube.factorZEnabled());
  EXPECT_TRUE(cube.accept()) << "factors come from the output volume";
}

TEST(OpenDialogTest, KindsSetTheControlStatesAndTheBaseNameRule) {
  OpenDialog d;
  EXPECT_EQ(d.kind(), kOpenTiff);
  EXPECT_EQ(d.extensions[0], "tif");
  EXPECT_FALSE(d.typeListEnabled());
  EXPECT_FALSE(d.sizeEnabled());
  EXPECT_TRUE(d.digitsEnabled());
  d.fileSelected("head0012.tif");
  EXPECT_EQ(d.fileName, "head");
  d.setKind(kOpenRawFrames);
  EXPECT_EQ(d.extensions, (std::array<std::string, 3>{"raw", "", ""}));
  EXPECT_FALSE(d.ext23Enabled());
  d.setColorRow(1);
  EXPECT_EQ(d.extensions, (std::array<std::string, 3>{"r", "g", "b"}))
      << "three channels switch the extensions";
  EXPECT_TRUE(d.ext23Enabled());
  d.fileSelected("ct001.raw");
  EXPECT_EQ(d.fileName, "ct");
  d.setKind(kOpenRawVolume);
  EXPECT_EQ(text(d.fileNameLabel()), "File Name :");
  EXPECT_FALSE(d.ext1Enabled());
  EXPECT_FALSE(d.digitsEnabled());
  d.fileSelected("ct001.raw");
  EXPECT_EQ(d.fileName, "ct001.raw") << "a raw volume keeps its whole name";
  EXPECT_EQ(baseNameOf("dir/s12/f0007"), "dir/s12/f");
  EXPECT_EQ(baseNameOf("img*.tif"), "img*.tif");
  EXPECT_EQ(baseNameOf("12.tif"), "");
  EXPECT_EQ(text(openKind(kOpenJpeg).filterText), "JPEG image sequence (*.jpg,*.jpeg,*.jpe)");
}

TEST(OpenDialogTest, AClickedFrameProposesItsSequence) {
  const std::vector<std::string> folder = {
      "stack000.tif", "stack001.tif", "stack002.tif", "stack003.tif", "stack005.tif",
      "stack004.TIF", "stack4.tif",   "stock001.tif", "stack001.bmp", "img7.jpg",
      "img8.jpg",     "img9.jpg",     "img10.jpg",    "img011.jpg",   "notes.txt"};
  struct Case {
    const char* clicked;
    bool found;
    int lower, upper, digits;
  } cases[] = {
      // Padded: one width, a gap (004 is .TIF) ends the run, another stem or extension is not
      // part of it.
      {"stack000.tif", true, 0, 3, 3},
      {"stack002.tif", true, 0, 3, 3},
      {"stack005.tif", true, 5, 5, 3},
      {"stack001.bmp", true, 1, 1, 3},
      // Plain numbers: any width, but no padded name.
      {"img8.jpg", true, 7, 10, 0},
      {"img011.jpg", true, 11, 11, 3},
      {"notes.txt", false, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const auto g = guessSequence(c.clicked, folder);
    ASSERT_EQ(g.has_value(), c.found) << c.clicked;
    if (!g) continue;
    EXPECT_EQ(g->lower, c.lower) << c.clicked;
    EXPECT_EQ(g->upper, c.upper) << c.clicked;
    EXPECT_EQ(g->digits, c.digits) << c.clicked;
  }

  // The dialog takes the base name and proposes the range and digits; a raw volume keeps
  // its name and its fields.
  OpenDialog d;
  EXPECT_TRUE(d.fileClicked("stack002.tif", folder));
  EXPECT_EQ(d.fileName, "stack");
  EXPECT_EQ(d.lower, "0");
  EXPECT_EQ(d.upper, "3");
  EXPECT_EQ(d.digits, "3");
  EXPECT_FALSE(d.fileClicked("notes.txt", folder));
  EXPECT_EQ(d.fileName, "notes") << "the base-name rule as for any file";
  d.setKind(kOpenRawVolume);
  d.lower = "1";
  EXPECT_FALSE(d.fileClicked("stack002.tif", folder));
  EXPECT_EQ(d.fileName, "stack002.tif");
  EXPECT_EQ(d.lower, "1");
}

TEST(OpenDialogTest, OkNeedsNumbersAnOrderedRangeAndNoWildcards) {
  OpenDialog d;
  d.fileName = "head";
  d.lower = "3";
  d.upper = "2";
  EXPECT_FALSE(d.accept());
  d.upper = "3";
  ASSERT_TRUE(d.accept());
  EXPECT_EQ(d.frames, 1) << "equal bounds read one frame";
  d.fileName = "he?d";
  EXPECT_FALSE(d.accept());
  d.fileName = "vol.rv";
  d.setKind(kOpenRawVolume);
  d.width = "64";
  d.height = "";
  EXPECT_FALSE(d.accept()) << "raw data needs its size";
  d.height = "32";
  d.setTypeRow(1);
  d.setColorRow(1);
  ASSERT_TRUE(d.accept());
  EXPECT_EQ(d.columns, 64);
  EXPECT_EQ(d.rows, 32);
  EXPECT_EQ(d.dataType, V3D_F);
  EXPECT_EQ(d.colorType, V3D_THREE_CHANNELS);
}

}  // namespace
}  // namespace v3d::test
