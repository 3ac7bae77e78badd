#include "shell/parameter_files.h"

#include <cstdio>
#include <memory>

#include "core/stdio_file.h"
#include "shell/dialogs.h"

namespace v3d::shell {
namespace {

// The next line without its line end; false at the end of the file. Overlong lines are
// read whole and then refused by the number parser.
bool nextLine(std::FILE* f, std::string& line) {
  line.clear();
  int c;
  while ((c = std::fgetc(f)) != EOF && c != '\n') line.push_back(static_cast<char>(c));
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return c != EOF || !line.empty();
}

}  // namespace

int readParameterFile(const std::string& path, bool weights, const ParameterFileCodes& codes,
                      ParameterFile& out) {
  File f(std::fopen(path.c_str(), "r"));
  if (!f) return codes.notFound;
  std::string line;
  int size[3];
  for (int& s : size) {
    if (!nextLine(f.get(), line) || !parseInt(line, s)) return codes.unreadable;
  }
  for (int s : size)
    if (s <= 0 || s % 2 == 0 || s > kMaxParameterWindow) return -kInvalidWindowSize;
  ParameterFile result;
  result.X = size[0];
  result.Y = size[1];
  result.Z = size[2];
  const std::size_t n = static_cast<std::size_t>(size[0]) * size[1] * size[2];
  result.values.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (!nextLine(f.get(), line)) return codes.unreadable;
    if (weights) {
      int w = 0;
      if (!parseInt(line, w) || w < 0 || w > 255) return codes.unreadable;
      result.values.push_back(static_cast<float>(w));
    } else {
      float c = 0;
      if (!parseFloat(line, c)) return codes.unreadable;
      result.values.push_back(c);
    }
  }
  out = std::move(result);
  return 0;
}

}  // namespace v3d::shell
