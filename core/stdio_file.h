// An owned C stream: closed when it goes out of scope, on every return.
#pragma once

#include <cstdio>
#include <memory>

namespace v3d {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens `name` with `mode`; a null name opens nothing.
inline File openFile(const char* name, const char* mode) {
  return File(name != nullptr ? std::fopen(name, mode) : nullptr);
}

}  // namespace v3d
