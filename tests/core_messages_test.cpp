// Result codes, the string table, error_handler, the questions and the text loaders.
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/report.h"
#include "core/strings.h"
#include "core/table.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

struct Shown {
  void* owner;
  std::string text, caption;
  MessageIcon icon;
  MessageButtons buttons;
};

class RecordingReporter : public Reporter {
 public:
  int showMessage(void* owner, std::string_view text, std::string_view caption, MessageIcon icon,
                  MessageButtons buttons) override {
    shown.push_back({owner, std::string(text), std::string(caption), icon, buttons});
    return answer;
  }
  void restoreCursor() override { ++cursorRestores; }
  std::vector<Shown> shown;
  int answer = kAnswerOk;
  int cursorRestores = 0;
};

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { previous_ = installReporter(&rec); }
  void TearDown() override { installReporter(previous_); }
  RecordingReporter rec;

 private:
  Reporter* previous_ = nullptr;
};

TEST_F(MessagesTest, ErrorHandlerShowsTheTextOfTheMagnitude) {
  EXPECT_EQ(error_handler(kInvalidParameters), kAnswerOk);
  ASSERT_EQ(rec.shown.size(), 1u);
  EXPECT_EQ(rec.shown[0].text, "Invalid parameters");
  EXPECT_EQ(rec.shown[0].caption, "VELMORA3D for Windows");
  EXPECT_EQ(rec.shown[0].icon, MessageIcon::Error);
  EXPECT_EQ(rec.shown[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(rec.cursorRestores, 1) << "a busy cursor ends when an error is shown";

  error_handler(kTooMany3dWindows);
  error_handler(-kTooMany3dWindows);
  EXPECT_EQ(rec.shown[1].text, "Enough displayed 3-D windows");
  EXPECT_EQ(rec.shown[2].text, rec.shown[1].text);
  error_handler(kCannotAllocateBuffer);
  error_handler(kCannotAllocateBuffer2);
  EXPECT_EQ(rec.shown[3].text, "Cannot allocate internal buffer");
  EXPECT_EQ(rec.shown[4].text, rec.shown[3].text);

  error_handler(-12345);
  error_handler(INT32_MIN);
  EXPECT_EQ(rec.shown[5].text, "") << "an identifier without text shows an empty message";
  EXPECT_EQ(rec.shown[6].text, "");
}

TEST_F(MessagesTest, EveryResultCodeHasItsText) {
  const int ids[] = {1,   2,   3,   4,   9,    10,   12,   13,   21,  22,  23,  24,  25,  29,  30,
                     31,  32,  33,  34,  36,   40,   41,   44,   50,  60,  62,  70,  71,  72,  80,
                     81,  82,  84,  85,  86,   87,   88,   89,   90,  91,  92,  93,  94,  95,  96,
                     97,  98,  99,  100, 200,  201,  300,  310,  320, 330, 340, 400, 501, 502, 503,
                     504, 510, 520, 521, 522,  523,  524,  525,  530, 533, 534, 535, 536, 540, 541,
                     542, 543, 544, 545, 546,  547,  548,  549,  550, 551, 552, 553, 554, 555, 556,
                     557, 558, 600, 601, 602,  609,  610,  611,  612, 613, 614, 615, 616, 617, 618,
                     619, 624, 627, 629, 630,  631,  632,  633,  634, 635, 636, 647, 723, 729, 732,
                     733, 734, 990, 999, 1000, 1001, 7000, 7001, 7002};
  for (int id : ids) EXPECT_TRUE(hasText(id)) << id;
  EXPECT_EQ(text(94), "Maxinum number of nodes has been exceeded");
  EXPECT_EQ(text(618), "Win_uc not found \n or \n Invalid mask size");
  EXPECT_EQ(text(999), "Stack is empty(path not fount)");
  EXPECT_EQ(text(340),
            "ClearCode missing from input file while decoding or must be outputed while encoding");
  EXPECT_EQ(text(1001), "TIFF Image Sequence inconsistency");
  EXPECT_EQ(text(7002), "The specified file does not exist.");
  EXPECT_FALSE(hasText(7004));
}

TEST_F(MessagesTest, MessageBoxesKeepAtMost119Characters) {
  // Text 340 is 84 characters: kept whole. Cutting is checked on the loader directly.
  error_handler(kClearCodeMissing);
  EXPECT_EQ(rec.shown[0].text.size(), text(340).size());
  char small[10];
  std::memset(small, 'x', sizeof small);
  EXPECT_EQ(loadText(340, small, sizeof small), 9u);
  EXPECT_EQ(std::string(small), "ClearCode");
  char one[1] = {'x'};
  EXPECT_EQ(loadText(340, one, 1), 0u);
  EXPECT_EQ(one[0], '\0');
  EXPECT_EQ(loadText(340, nullptr, 5), 0u);
}

TEST_F(MessagesTest, LoadersFillTheSharedBuffersAndCutLongTexts) {
  LoadPromptText(3092);
  EXPECT_STREQ(promptText, "Output Volume is not appropriate\nand will be reallocated. Continue?");
  LoadShortText(90);
  EXPECT_STREQ(shortText, "Invalid parameters");
  LoadDialogTitle(501);
  EXPECT_STREQ(dialogTitle, "NULL Volume pointer");

  // Text 84 is 78 characters: a 70-byte label keeps 69 of them.
  LoadPromptAndThreeLabels(340, 84, 82, 0);
  EXPECT_EQ(std::string(promptText), text(340));
  EXPECT_EQ(std::string(labelText1), std::string(text(84).substr(0, 69)));
  EXPECT_EQ(std::string(labelText2), std::string(text(82).substr(0, 69)));

  std::strcpy(labelText1, "unchanged");
  std::strcpy(labelText3, "unchanged");
  LoadPromptAndLabels(600, 0, 601);
  EXPECT_STREQ(promptText, "fopen error");
  EXPECT_STREQ(labelText1, "unchanged") << "a zero label id leaves its buffer alone";
  EXPECT_STREQ(labelText2, "fread error");
  LoadPromptAndThreeLabels(600, 0, 0, 602);
  EXPECT_STREQ(labelText3, "fwrite error");
}

TEST_F(MessagesTest, QuestionsAnswerNoOnlyForNo) {
  rec.answer = kAnswerNo;
  EXPECT_EQ(VerifyVolumeReallocation(reinterpret_cast<void*>(0x42)), 0);
  ASSERT_EQ(rec.shown.size(), 1u);
  EXPECT_EQ(rec.shown[0].owner, reinterpret_cast<void*>(0x42));
  EXPECT_EQ(rec.shown[0].icon, MessageIcon::Question);
  EXPECT_EQ(rec.shown[0].buttons, MessageButtons::YesNo);
  EXPECT_EQ(rec.shown[0].caption, "VELMORA3D for Windows");
  rec.answer = kAnswerYes;
  EXPECT_EQ(VerifyVolumeReallocation(nullptr), 1);
  rec.answer = kAnswerCancel;
  EXPECT_EQ(VerifyVolumeReallocation(nullptr), 1) << "any answer but No continues";
  rec.answer = kAnswerNo;
  EXPECT_EQ(VerifyInPlaceModification(nullptr), 0);
  EXPECT_EQ(rec.shown.back().text, "Input volume will be modified. Continue?");

  rec.answer = kAnswerCancel;
  EXPECT_EQ(AskWithInformation(nullptr, kBadVoi), kAnswerCancel);
  EXPECT_EQ(rec.shown.back().text, "Not appropriate VOI");
  EXPECT_EQ(rec.shown.back().icon, MessageIcon::Information);
  EXPECT_EQ(rec.shown.back().buttons, MessageButtons::OkCancel);
}

TEST(HeadlessReporterTest, WritesCaptionAndTextToStandardErrorAndAnswersTheDefault) {
  ASSERT_EQ(installReporter(nullptr), nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(error_handler(kTooMany3dWindows), kAnswerOk);
  setHeadlessAffirmative(false);
  EXPECT_EQ(AskWithInformation(nullptr, 616), kAnswerCancel);
  EXPECT_EQ(VerifyVolumeReallocation(nullptr), 0);
  setHeadlessAffirmative(true);
  EXPECT_EQ(AskWithInformation(nullptr, 616), kAnswerOk);
  EXPECT_EQ(VerifyVolumeReallocation(nullptr), 1);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.substr(0, err.find('\n') + 1),
            "VELMORA3D for Windows: Enough displayed 3-D windows\n");
  EXPECT_NE(err.find("VELMORA3D for Windows: Not enough memory\n"), std::string::npos);
}

}  // namespace
}  // namespace v3d::test
