// Macros: plain-text files of menu commands and the answers their dialogs got, and of
// directives that write volumes through the library's writers. One item per block:
//
//   # comment
//   command 1172 "&Standard Median"
//     volume 1
//     volume New[2] x=64 y=64 z=16
//     values "3" "3" "3"
//   write-tiff-stack 2 "out/median.tif" compression=lzw
//
// A line is a keyword and words; a word is bare (no blanks, no quotes) or double-quoted with
// \", \\, \n and \r escapes, and may be name=value. ${NAME} anywhere in a word is replaced by the
// value given for NAME before the line is checked ("$$" stands for one "$"). This file holds the
// reader (every check of the syntax and of the kinds of the words, with line numbers) and the
// writer's quoting.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace v3d::shell::macro {

// One word of a line: `name` is empty for a positional word.
struct Word {
  std::string name, value;
};

// An answer to one dialog or question of a command.
struct Answer {
  enum Kind {
    Volume,         // volume LABEL [x= y= z=] [info=] [voi=low,up,top,bottom,left,right]
    Create,         // create SLOT x= y= z= type=UC|F|I color=1|3 [info=]
    Destroy,        // destroy SLOT
    Ok,             // ok: closes the state and about dialogs
    Values,         // values TEXT...
    Levels,         // levels LOWER UPPER DELAY (display levels)
    Frames,         // frames LOWER UPPER (alignment options)
    Interpolation,  // interpolation extract=yes|no method=linear|nearest [factors X Y Z]
    Weights,        // weights file|volume
    Binary,         // binary coherence=yes|no between=1|2
    Gallery,        // gallery per-row=N method=linear|nearest
    Open,           // open kind=1..7 file= lower= upper= [digits= width= height= type= color=
                    //      ext1= ext2= ext3=]
    File,           // file NAME
    Seeds,          // seeds "X Y Z"...
    Question,       // answer yes|no|ok|cancel
  } kind;
  int line = 0;
  std::vector<std::string> texts;            // positional words after the keyword
  std::map<std::string, std::string> named;  // name=value words
};

// The file writers a macro can call.
enum class WriterKind {
  TiffStack,     // write-tiff-stack SLOT FILE [compression=none|lzw|deflate]
  TiffSequence,  // write-tiff-sequence SLOT BASE [first=N] [extension=E]
                 //     [compression=none|lzw|packbits] [photometric=min-is-black|min-is-white|rgb]
  TiffFrames,    // write-tiff-frames SLOT BASE [digits=N] [compression=none|lzw|deflate]
  RawVolume,     // write-raw SLOT FILE
  TextDump,      // write-dump SLOT FILE
};

struct Directive {
  WriterKind kind;
  int line = 0;
  int slot = 0;
  std::string path;
  int compression = 1;  // libtiff's code
  int photometric = 1;  // local_WriteImageSeqTIFF
  int first = 0;        // write-tiff-sequence: number of the first file
  int digits = 0;       // write-tiff-frames
  std::string extension = "tif";
};

struct Command {
  int id = 0;
  int line = 0;
  std::string menuText;  // as written, for reading; checked against the menu
  std::vector<Answer> answers;
};

struct Item {
  enum Kind { RunCommand, Write } kind;
  Command command;
  Directive directive;
  int line() const { return kind == RunCommand ? command.line : directive.line; }
};

struct Macro {
  std::vector<Item> items;
};

struct Error {
  int line = 0;
  std::string message;
  std::string text() const;  // "line N: message"
};

// The words of a line (without substitution); false with a message when a quote is open.
bool splitLine(const std::string& line, std::vector<Word>& words, std::string& message);

// Replaces every ${NAME} in `text` by its value; false with a message for an unknown name or
// an unterminated reference.
bool substitute(std::string& text, const std::map<std::string, std::string>& variables,
                std::string& message);

// Reads a macro. `knownCommand(id, text)` says whether id is a command of the program's menus
// and gives its menu text. Stops at the first fault.
using CommandLookup = bool (*)(int id, std::string& menuText);
std::optional<Macro> parse(const std::string& text,
                           const std::map<std::string, std::string>& variables,
                           CommandLookup knownCommand, Error& error);

// The lookup of the program itself: the commands of its menus and of its command table, with
// their menu texts.
bool knownMenuCommand(int id, std::string& menuText);

// A word as the writer puts it: bare when it can be read back as it is, else quoted.
std::string quote(const std::string& text);
// `name=value` with the value quoted where needed.
std::string named(const std::string& name, const std::string& value);

// The keywords of the file writers and their compression names.
const char* writerKeyword(WriterKind kind);
std::string compressionName(int code);

}  // namespace v3d::shell::macro
