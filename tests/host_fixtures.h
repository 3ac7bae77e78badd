// Host test fixtures: a temporary directory per test and access to the test modules
// (tests/host_test_module.c) that the host loaded from it.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

namespace v3d::test {

// A fresh directory under the system's temporary one, removed with the object.
struct TempDir {
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "v3d_host_XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path;
};

// Copies a built test library into `dir` under `fileName`. Every copy is a new file, so the
// loader maps it afresh with its own state.
inline void put(const TempDir& dir, const std::string& built, const std::string& fileName) {
  std::filesystem::copy_file(std::filesystem::path(V3D_HOST_MODULES_DIR) / (built + ".so"),
                             std::filesystem::path(dir.path) / fileName);
}

inline std::string pathOf(const TempDir& dir, const std::string& fileName) {
  return dir.path + "/" + fileName;
}

// Whether the library is loaded (by the host: the tests never load one themselves).
inline bool loaded(const TempDir& dir, const std::string& fileName) {
  void* h = ::dlopen(pathOf(dir, fileName).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h != nullptr) ::dlclose(h);
  return h != nullptr;
}

// A probe function of a loaded test library, or nullptr.
template <typename Fn>
Fn probe(const TempDir& dir, const std::string& fileName, const char* name) {
  void* h = ::dlopen(pathOf(dir, fileName).c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h == nullptr) return nullptr;
  auto fn = reinterpret_cast<Fn>(::dlsym(h, name));
  ::dlclose(h);  // the host's reference keeps it loaded
  return fn;
}

// An int probe's answer; -1000 when the library or the probe is missing.
inline int call(const TempDir& dir, const std::string& fileName, const char* name) {
  auto fn = probe<int (*)()>(dir, fileName, name);
  return fn != nullptr ? fn() : -1000;
}

}  // namespace v3d::test
