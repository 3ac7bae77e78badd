#include "shell/macro_format.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <sstream>

#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_table.h"

namespace v3d::shell::macro {
namespace {

constexpr int kSlots = 100;

bool isNameChar(char c, bool first) {
  return c == '_' || std::isalpha(static_cast<unsigned char>(c)) ||
         (!first && std::isdigit(static_cast<unsigned char>(c)));
}

// A whole decimal integer in [lo, hi].
bool readInt(const std::string& s, int lo, int hi, int& value) {
  if (s.empty() || s.size() > 11) return false;
  std::size_t i = s[0] == '-' ? 1 : 0;
  if (i == s.size()) return false;
  for (std::size_t k = i; k < s.size(); ++k)
    if (!std::isdigit(static_cast<unsigned char>(s[k]))) return false;
  const long long v = std::strtoll(s.c_str(), nullptr, 10);
  if (v < lo || v > hi) return false;
  value = static_cast<int>(v);
  return true;
}

// How each answer keyword is written: its kind, how many positional words it takes, and the
// names it accepts.
struct AnswerForm {
  const char* keyword;
  Answer::Kind kind;
  int minTexts, maxTexts;
  std::set<std::string> names;
};

const std::vector<AnswerForm>& answerForms() {
  static const std::vector<AnswerForm> forms = {
      {"volume", Answer::Volume, 1, 1, {"x", "y", "z", "info", "voi"}},
      {"create", Answer::Create, 1, 1, {"x", "y", "z", "type", "color", "info"}},
      {"destroy", Answer::Destroy, 1, 1, {}},
      {"ok", Answer::Ok, 0, 0, {}},
      {"values", Answer::Values, 1, 4, {}},
      {"levels", Answer::Levels, 3, 3, {}},
      {"frames", Answer::Frames, 2, 2, {}},
      {"interpolation", Answer::Interpolation, 0, 0, {"extract", "method", "x", "y", "z"}},
      {"weights", Answer::Weights, 1, 1, {}},
      {"binary", Answer::Binary, 0, 0, {"coherence", "between"}},
      {"gallery", Answer::Gallery, 0, 0, {"per-row", "method"}},
      {"open",
       Answer::Open,
       0,
       0,
       {"kind", "file", "lower", "upper", "digits", "width", "height", "type", "color", "ext1",
        "ext2", "ext3"}},
      {"file", Answer::File, 1, 1, {}},
      {"seeds", Answer::Seeds, 1, 100000, {}},
      {"answer", Answer::Question, 1, 1, {}},
  };
  return forms;
}

struct WriterForm {
  const char* keyword;
  WriterKind kind;
  std::set<std::string> names;
};

const std::vector<WriterForm>& writerForms() {
  static const std::vector<WriterForm> forms = {
      {"write-tiff-stack", WriterKind::TiffStack, {"compression"}},
      {"write-tiff-sequence",
       WriterKind::TiffSequence,
       {"first", "extension", "compression", "photometric"}},
      {"write-tiff-frames", WriterKind::TiffFrames, {"digits", "compression"}},
      {"write-raw", WriterKind::RawVolume, {}},
      {"write-dump", WriterKind::TextDump, {}},
  };
  return forms;
}

bool oneOf(const std::string& v, std::initializer_list<const char*> allowed) {
  return std::any_of(allowed.begin(), allowed.end(), [&](const char* a) { return v == a; });
}

// "3", "New[4]" or "new".
bool volumeLabel(const std::string& s) {
  int n = 0;
  if (s == "new" || readInt(s, 0, kSlots - 1, n)) return true;
  return s.size() > 5 && s.rfind("New[", 0) == 0 && s.back() == ']' &&
         readInt(s.substr(4, s.size() - 5), 0, kSlots - 1, n);
}

// The checks of the words of each answer kind beyond their count and names; "" when fine.
std::string checkAnswer(const Answer& a) {
  auto has = [&](const char* n) { return a.named.count(n) != 0; };
  auto get = [&](const char* n) { return a.named.at(n); };
  int n = 0;
  switch (a.kind) {
    case Answer::Volume:
      if (!volumeLabel(a.texts[0]))
        return "\"" + a.texts[0] + "\" is no volume: give a slot 0 to 99, New[n] or new";
      if (has("voi")) {
        std::stringstream parts(get("voi"));
        std::string part;
        int count = 0;
        while (std::getline(parts, part, ',')) ++count;
        if (count != 6) return "voi= takes six bounds: low,up,top,bottom,left,right";
      }
      return "";
    case Answer::Create:
      if (!readInt(a.texts[0], 0, kSlots - 1, n)) return "create takes a slot 0 to 99";
      if (!has("x") || !has("y") || !has("z")) return "create needs x=, y= and z=";
      if (has("type") && !oneOf(get("type"), {"UC", "F", "I"})) return "type= is UC, F or I";
      if (has("color") && !oneOf(get("color"), {"1", "3"})) return "color= is 1 or 3";
      return "";
    case Answer::Destroy:
      if (!readInt(a.texts[0], 0, kSlots - 1, n)) return "destroy takes a slot 0 to 99";
      return "";
    case Answer::Interpolation:
      if (has("extract") && !oneOf(get("extract"), {"yes", "no"})) return "extract= is yes or no";
      if (has("method") && !oneOf(get("method"), {"linear", "nearest"}))
        return "method= is linear or nearest";
      return "";
    case Answer::Weights:
      if (!oneOf(a.texts[0], {"file", "volume"})) return "weights is file or volume";
      return "";
    case Answer::Binary:
      if (has("coherence") && !oneOf(get("coherence"), {"yes", "no"}))
        return "coherence= is yes or no";
      if (has("between") && !oneOf(get("between"), {"1", "2"})) return "between= is 1 or 2";
      return "";
    case Answer::Gallery:
      if (has("method") && !oneOf(get("method"), {"linear", "nearest"}))
        return "method= is linear or nearest";
      return "";
    case Answer::Open:
      if (!has("kind") || !readInt(get("kind"), 1, 7, n)) return "open needs kind= 1 to 7";
      if (!has("file") || get("file").empty()) return "open needs file=";
      if (has("type") && !oneOf(get("type"), {"UC", "F", "I"})) return "type= is UC, F or I";
      if (has("color") && !oneOf(get("color"), {"1", "3"})) return "color= is 1 or 3";
      return "";
    case Answer::File:
      if (a.texts[0].empty()) return "file takes a file name";
      return "";
    case Answer::Seeds:
      for (const std::string& s : a.texts) {
        std::istringstream in(s);
        int x = 0, y = 0, z = 0;
        std::string rest;
        if (!(in >> x >> y >> z) || (in >> rest))
          return "a seed is \"X Y Z\", three whole numbers, not \"" + s + "\"";
      }
      return "";
    case Answer::Question:
      if (!oneOf(a.texts[0], {"yes", "no", "ok", "cancel"}))
        return "answer is yes, no, ok or cancel";
      return "";
    default:
      return "";
  }
}

int compressionCode(const std::string& name, bool packbits, bool deflate) {
  if (name == "none") return 1;
  if (name == "lzw") return 5;
  if (packbits && name == "packbits") return 32773;
  if (deflate && name == "deflate") return 8;
  return 0;
}

std::string checkDirective(Directive& d, const std::map<std::string, std::string>& named) {
  auto get = [&](const char* n, const char* fallback) {
    const auto it = named.find(n);
    return it == named.end() ? std::string(fallback) : it->second;
  };
  const bool sequence = d.kind == WriterKind::TiffSequence;
  if (d.kind == WriterKind::TiffStack || sequence || d.kind == WriterKind::TiffFrames) {
    d.compression = compressionCode(get("compression", "none"), sequence, !sequence);
    if (d.compression == 0)
      return sequence ? "compression= is none, lzw or packbits"
                      : "compression= is none, lzw or deflate";
  }
  if (sequence) {
    const std::string p = get("photometric", "min-is-black");
    d.photometric = p == "min-is-white" ? 0 : p == "min-is-black" ? 1 : p == "rgb" ? 2 : -1;
    if (d.photometric < 0) return "photometric= is min-is-black, min-is-white or rgb";
    if (!readInt(get("first", "0"), 0, 1000000000, d.first)) return "first= is a frame number";
    d.extension = get("extension", "tif");
    if (d.extension.empty()) return "extension= may not be empty";
  }
  if (d.kind == WriterKind::TiffFrames && !readInt(get("digits", "0"), 0, 9, d.digits))
    return "digits= is 0 to 9";
  return "";
}

}  // namespace

std::string Error::text() const {
  return "line " + std::to_string(line) + ": " + message;
}

bool splitLine(const std::string& line, std::vector<Word>& words, std::string& message) {
  words.clear();
  std::size_t i = 0;
  const std::size_t n = line.size();
  while (i < n) {
    while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= n) break;
    Word w;
    std::string current;
    bool sawName = false;
    while (i < n && line[i] != ' ' && line[i] != '\t') {
      const char c = line[i];
      if (c == '=' && !sawName && !current.empty()) {
        w.name = current;
        current.clear();
        sawName = true;
        ++i;
        continue;
      }
      if (c == '"') {
        ++i;
        bool closed = false;
        while (i < n) {
          if (line[i] == '\\' && i + 1 < n &&
              (line[i + 1] == '"' || line[i + 1] == '\\' || line[i + 1] == 'n' ||
               line[i + 1] == 'r')) {
            const char e = line[i + 1];
            current += e == 'n' ? '\n' : e == 'r' ? '\r' : e;
            i += 2;
            continue;
          }
          if (line[i] == '"') {
            closed = true;
            ++i;
            break;
          }
          current += line[i++];
        }
        if (!closed) {
          message = "a quote is not closed";
          return false;
        }
        continue;
      }
      current += c;
      ++i;
    }
    w.value = current;
    words.push_back(std::move(w));
  }
  return true;
}

bool substitute(std::string& text, const std::map<std::string, std::string>& variables,
                std::string& message) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '$' && i + 1 < text.size() && text[i + 1] == '$') {
      out += '$';  // "$$" is a plain "$"
      ++i;
      continue;
    }
    if (text[i] != '$' || i + 1 >= text.size() || text[i + 1] != '{') {
      out += text[i];
      continue;
    }
    const std::size_t close = text.find('}', i + 2);
    if (close == std::string::npos) {
      message = "\"${\" without its \"}\"";
      return false;
    }
    const std::string name = text.substr(i + 2, close - i - 2);
    bool valid = !name.empty();
    for (std::size_t k = 0; k < name.size(); ++k) valid = valid && isNameChar(name[k], k == 0);
    if (!valid) {
      message = "\"${" + name + "}\" is no variable name";
      return false;
    }
    const auto it = variables.find(name);
    if (it == variables.end()) {
      message = "no value for ${" + name + "} (give --var " + name + "=VALUE)";
      return false;
    }
    out += it->second;
    i = close;
  }
  text = std::move(out);
  return true;
}

std::optional<Macro> parse(const std::string& text,
                           const std::map<std::string, std::string>& variables,
                           CommandLookup knownCommand, Error& error) {
  Macro macro;
  Command* open = nullptr;  // the command whose answers follow
  std::istringstream lines(text);
  std::string raw;
  int lineNumber = 0;
  auto fail = [&](const std::string& message) {
    error = {lineNumber, message};
    return std::nullopt;
  };
  while (std::getline(lines, raw)) {
    ++lineNumber;
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();
    if (raw.find('\0') != std::string::npos) return fail("the line holds a NUL byte");
    const std::size_t start = raw.find_first_not_of(" \t");
    if (start == std::string::npos || raw[start] == '#') continue;
    std::vector<Word> words;
    std::string message;
    if (!splitLine(raw, words, message)) return fail(message);
    for (Word& w : words)
      if (!substitute(w.name, variables, message) || !substitute(w.value, variables, message))
        return fail(message);
    const Word& head = words.front();
    if (!head.name.empty()) return fail("a line starts with a keyword, not \"" + head.name + "=\"");
    const std::string& keyword = head.value;
    std::vector<std::string> texts;
    std::map<std::string, std::string> named;
    for (std::size_t k = 1; k < words.size(); ++k) {
      if (words[k].name.empty()) {
        if (!named.empty()) return fail("\"" + words[k].value + "\" after a name=value word");
        texts.push_back(words[k].value);
      } else if (!named.emplace(words[k].name, words[k].value).second) {
        return fail(words[k].name + "= is given twice");
      }
    }

    if (keyword == "command") {
      Command c;
      c.line = lineNumber;
      if (texts.empty() || !named.empty() || texts.size() > 2 || !readInt(texts[0], 0, 65535, c.id))
        return fail("command takes a command id and its menu text");
      std::string menuText;
      if (!knownCommand(c.id, menuText))
        return fail("unknown command " + texts[0] + ": no menu command of the program has it");
      if (texts.size() == 2 && texts[1] != menuText)
        return fail("command " + texts[0] + " is \"" + menuText + "\", not \"" + texts[1] + "\"");
      c.menuText = menuText;
      macro.items.push_back({Item::RunCommand, std::move(c), {}});
      open = &macro.items.back().command;
      continue;
    }

    const auto writer = std::find_if(writerForms().begin(), writerForms().end(),
                                     [&](const WriterForm& f) { return keyword == f.keyword; });
    if (writer != writerForms().end()) {
      Directive d;
      d.kind = writer->kind;
      d.line = lineNumber;
      if (texts.size() != 2 || !readInt(texts[0], 0, kSlots - 1, d.slot) || texts[1].empty())
        return fail(keyword + " takes a volume slot 0 to 99 and a file name");
      d.path = texts[1];
      for (const auto& [name, value] : named)
        if (writer->names.count(name) == 0) return fail(keyword + " takes no " + name + "=");
      if (std::string m = checkDirective(d, named); !m.empty()) return fail(m);
      macro.items.push_back({Item::Write, {}, std::move(d)});
      open = nullptr;
      continue;
    }

    const auto form = std::find_if(answerForms().begin(), answerForms().end(),
                                   [&](const AnswerForm& f) { return keyword == f.keyword; });
    if (form == answerForms().end()) return fail("unknown keyword \"" + keyword + "\"");
    if (open == nullptr)
      return fail("\"" + keyword + "\" answers a dialog, but no command is open");
    if (static_cast<int>(texts.size()) < form->minTexts ||
        static_cast<int>(texts.size()) > form->maxTexts)
      return fail(keyword + " takes " +
                  (form->minTexts == form->maxTexts
                       ? std::to_string(form->minTexts)
                       : std::to_string(form->minTexts) + " to " + std::to_string(form->maxTexts)) +
                  " words, not " + std::to_string(texts.size()));
    for (const auto& [name, value] : named)
      if (form->names.count(name) == 0) return fail(keyword + " takes no " + name + "=");
    Answer a{form->kind, lineNumber, std::move(texts), std::move(named)};
    if (std::string m = checkAnswer(a); !m.empty()) return fail(m);
    open->answers.push_back(std::move(a));
  }
  return macro;
}

bool knownMenuCommand(int id, std::string& menuText) {
  if (id < kModuleCommandEnd || id > 0xFFFF) return false;
  bool known = false;
  for (int menuId : kMainMenuCommands) known = known || menuId == id;
  for (const v3d::shell::Command& c : commandTable()) known = known || c.id == id;
  if (known) menuText = std::string(v3d::text(kMenuTextBase + id));
  return known;
}

std::string quote(const std::string& text) {
  std::string escaped;  // "$" doubled, so that the reader's substitution gives it back
  for (char c : text) {
    if (c == '$') escaped += '$';
    escaped += c;
  }
  const bool bare = !text.empty() && text.find_first_of(" \t\"\\=#\n\r") == std::string::npos;
  if (bare) return escaped;
  std::string out = "\"";
  for (char c : escaped) {
    if (c == '\n' || c == '\r') {
      out += c == '\n' ? "\\n" : "\\r";
      continue;
    }
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

std::string named(const std::string& name, const std::string& value) {
  return name + "=" + quote(value);
}

const char* writerKeyword(WriterKind kind) {
  for (const WriterForm& f : writerForms())
    if (f.kind == kind) return f.keyword;
  return "";
}

std::string compressionName(int code) {
  switch (code) {
    case 5:
      return "lzw";
    case 8:
      return "deflate";
    case 32773:
      return "packbits";
    default:
      return "none";
  }
}

}  // namespace v3d::shell::macro
