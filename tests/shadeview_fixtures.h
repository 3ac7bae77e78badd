// Fixtures of the surface-script tests: colour volumes painted rectangle by rectangle, files
// read back whole, and a private TMPDIR whose emptiness tells that every temporary file went.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fixtures.h"
#include "shadeview/scripts/scripts.h"

namespace v3d::test {

inline VolumePtr make_colour(int Z, int Y, int X) {
  return make_volume(Z, Y, X, V3D_UC, V3D_THREE_CHANNELS);
}

// Paints rows y0..y1-1, columns x0..x1-1 of frame z.
inline void paint(Volume* v, int z, int y0, int y1, int x0, int x1, shade::Rgb c) {
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      at<UC>(v, 0, z, y, x) = static_cast<UC>(c.r);
      at<UC>(v, 1, z, y, x) = static_cast<UC>(c.g);
      at<UC>(v, 2, z, y, x) = static_cast<UC>(c.b);
    }
}

inline shade::Rgb pixelAt(Volume* v, int z, int y, int x) {
  return {at<UC>(v, 0, z, y, x), at<UC>(v, 1, z, y, x), at<UC>(v, 2, z, y, x)};
}

inline std::string readText(const std::string& name) {
  const auto bytes = readFile(name);
  return std::string(bytes.begin(), bytes.end());
}

// A fresh folder set as TMPDIR for the life of the object, so that scratch folders land in it.
class PrivateTmp {
 public:
  PrivateTmp() {
    char name[] = "/tmp/v3d-shade-test-XXXXXX";
    path_ = ::mkdtemp(name);
    const char* old = std::getenv("TMPDIR");
    if (old) old_ = old, hadOld_ = true;
    ::setenv("TMPDIR", path_.c_str(), 1);
  }
  ~PrivateTmp() {
    if (hadOld_)
      ::setenv("TMPDIR", old_.c_str(), 1);
    else
      ::unsetenv("TMPDIR");
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }
  bool empty() const { return std::filesystem::is_empty(path_); }

 private:
  std::string path_, old_;
  bool hadOld_ = false;
};

}  // namespace v3d::test
