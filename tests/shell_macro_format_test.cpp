// The macro reader: every malformed line stops it with its line number and a message naming
// the fault; quoting and substitution give back exactly what was written.
#include <gtest/gtest.h>

#include <random>

#include "shell/macro_format.h"

namespace v3d::shell::macro {
namespace {

bool lookup(int id, std::string& text) {
  if (id == 1172) text = "&Standard Median";
  if (id == 1200) text = "&Threshold";
  return id == 1172 || id == 1200;
}

std::optional<Macro> read(const std::string& text, Error& error) {
  return parse(text, {{"IN", "head"}, {"N", "7"}}, lookup, error);
}

TEST(MacroFormat, ReadsCommandsAnswersAndDirectivesInOrder) {
  Error error;
  const auto m = read(
      "# a comment\n"
      "\n"
      "command 1172 \"&Standard Median\"\r\n"
      "  volume 0 info=\"first pass\"\n"
      "  volume New[1] x=64 y=\"64\" z=${N}\n"
      "  values 3 \"\" \"a b\"\n"
      "write-tiff-stack 1 \"out/${IN}-median.tif\" compression=lzw\n"
      "command 1200\n"
      "  answer yes\n"
      "write-tiff-sequence 1 ${IN} first=5 photometric=min-is-white compression=packbits\n"
      "write-tiff-frames 1 f digits=4 compression=deflate\n",
      error);
  ASSERT_TRUE(m) << error.text();
  ASSERT_EQ(m->items.size(), 5u);
  const Command& c = m->items[0].command;
  EXPECT_EQ(c.id, 1172);
  EXPECT_EQ(c.line, 3);
  ASSERT_EQ(c.answers.size(), 3u);
  EXPECT_EQ(c.answers[0].named.at("info"), "first pass");
  EXPECT_EQ(c.answers[1].texts[0], "New[1]");
  EXPECT_EQ(c.answers[1].named.at("z"), "7");
  EXPECT_EQ(c.answers[2].texts, (std::vector<std::string>{"3", "", "a b"}));
  EXPECT_EQ(c.answers[2].line, 6);
  const Directive& d = m->items[1].directive;
  EXPECT_EQ(d.kind, WriterKind::TiffStack);
  EXPECT_EQ(d.path, "out/head-median.tif");
  EXPECT_EQ(d.compression, 5);
  EXPECT_EQ(m->items[2].command.menuText, "&Threshold");
  const Directive& s = m->items[3].directive;
  EXPECT_EQ(s.path, "head");
  EXPECT_EQ(s.first, 5);
  EXPECT_EQ(s.photometric, 0);
  EXPECT_EQ(s.compression, 32773);
  EXPECT_EQ(m->items[4].directive.digits, 4);
  EXPECT_EQ(m->items[4].directive.compression, 8);
}

TEST(MacroFormat, MalformedLinesStopWithTheirLineAndReason) {
  const struct {
    const char* text;
    int line;
    const char* message;
  } cases[] = {
      {"command 1172\n  values 3\ncommand 999\n", 3, "unknown command 999"},
      {"command 1172 \"Median\"\n", 1, "is \"&Standard Median\", not \"Median\""},
      {"command x\n", 1, "command takes a command id"},
      {"volume 0\n", 1, "no command is open"},
      {"command 1172\nwrite-raw 0 a.rv\n  volume 0\n", 3, "no command is open"},
      {"command 1172\n  volume zero\n", 2, "is no volume"},
      {"command 1172\n  volume 100\n", 2, "is no volume"},
      {"command 1172\n  volume New[x]\n", 2, "is no volume"},
      {"command 1172\n  volume 1 voi=1,2,3\n", 2, "six bounds"},
      {"command 1172\n  volume 1 colour=3\n", 2, "takes no colour="},
      {"command 1172\n  values\n", 2, "takes 1 to 4 words, not 0"},
      {"command 1172\n  values 1 2 3 4 5\n", 2, "not 5"},
      {"command 1172\n  answer maybe\n", 2, "yes, no, ok or cancel"},
      {"command 1172\n  seeds \"1 2\"\n", 2, "three whole numbers"},
      {"command 1172\n  seeds \"1 2 3 4\"\n", 2, "three whole numbers"},
      {"command 1172\n  open kind=9 file=a\n", 2, "kind= 1 to 7"},
      {"command 1172\n  open kind=1\n", 2, "needs file="},
      {"command 1172\n  create 3 x=1 y=1\n", 2, "needs x=, y= and z="},
      {"command 1172\n  weights maybe\n", 2, "file or volume"},
      {"command 1172\n  values \"3\n", 2, "quote is not closed"},
      {"command 1172\n  values ${NOPE}\n", 2, "no value for ${NOPE}"},
      {"command 1172\n  values ${IN\n", 2, "without its"},
      {"command 1172\n  values ${1x}\n", 2, "no variable name"},
      {"command 1172\n  values a x=1 b\n", 2, "after a name=value word"},
      {"command 1172\n  gallery method=cubic\n", 2, "linear or nearest"},
      {"command 1172\n  volume 1 x=1 x=2\n", 2, "given twice"},
      {"frobnicate 1\n", 1, "unknown keyword \"frobnicate\""},
      {"write-tiff-stack one a.tif\n", 1, "slot 0 to 99"},
      {"write-tiff-stack 1\n", 1, "slot 0 to 99 and a file name"},
      {"write-tiff-stack 1 a.tif compression=packbits\n", 1, "none, lzw or deflate"},
      {"write-tiff-sequence 1 a compression=deflate\n", 1, "none, lzw or packbits"},
      {"write-tiff-sequence 1 a photometric=cmyk\n", 1, "photometric="},
      {"write-tiff-frames 1 a digits=12\n", 1, "digits= is 0 to 9"},
      {"write-raw 1 a.rv compression=lzw\n", 1, "takes no compression="},
      {"x=1\n", 1, "starts with a keyword"},
  };
  for (const auto& c : cases) {
    Error error;
    EXPECT_FALSE(read(c.text, error)) << c.text;
    EXPECT_EQ(error.line, c.line) << c.text;
    EXPECT_NE(error.message.find(c.message), std::string::npos)
        << c.text << "\n gave: " << error.message;
  }
}

TEST(MacroFormat, QuotedWordsReadBackAsWritten) {
  std::mt19937 random(7);
  const std::string alphabet = "ab =\"\\$#{}\t\n\r/.,x";
  for (int trial = 0; trial < 500; ++trial) {
    std::string original;
    const int length = static_cast<int>(random() % 12);
    for (int k = 0; k < length; ++k) original += alphabet[random() % alphabet.size()];
    std::vector<Word> words;
    std::string message;
    const std::string line = "values " + quote(original) + " " + named("info", original);
    ASSERT_TRUE(splitLine(line, words, message)) << line;
    ASSERT_EQ(words.size(), 3u) << line;
    for (Word& w : words) ASSERT_TRUE(substitute(w.value, {}, message)) << line;
    EXPECT_EQ(words[1].value, original) << line;
    EXPECT_EQ(words[2].name, "info");
    EXPECT_EQ(words[2].value, original) << line;
  }
}

TEST(MacroFormat, SubstitutesEveryReferenceAndKeepsDoubledDollars) {
  std::string message;
  std::string t = "${A}/x${B}$${A}$";
  ASSERT_TRUE(substitute(t, {{"A", "1"}, {"B", "${A}"}}, message));
  EXPECT_EQ(t, "1/x${A}${A}$");  // values are not substituted again
}

}  // namespace
}  // namespace v3d::shell::macro
