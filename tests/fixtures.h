// Test fixtures: volumes made in one line, random contents, sample access and snapshots
// that tell whether a failing call wrote anything.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/samples.h"
#include "core/volume.h"

namespace v3d::test {

// A Volume record outside the volume table, destroyed with the test.
class OwnedVolume {
 public:
  OwnedVolume(int dataType, int colorType, int Z, int Y, int X) {
    InitializeVolume(&v_, Z, Y, X, dataType, colorType);
    const int code = CreateVolume(&v_);
    EXPECT_EQ(code, 0) << "CreateVolume of a test volume";
  }
  ~OwnedVolume() { DestroyVolume(&v_); }
  OwnedVolume(const OwnedVolume&) = delete;
  OwnedVolume& operator=(const OwnedVolume&) = delete;
  Volume* operator->() { return &v_; }
  Volume* get() { return &v_; }
  operator Volume*() { return &v_; }

 private:
  Volume v_{};
};

template <class T>
T& at(Volume* v, int c, int z, int y, int x) {
  return channelData<T>(*v, c)[z][y][x];
}

// Fills every sample of every channel with reproducible random values: UC 0..255 (or only
// 0 / 255 when `binary`), F in [-300, 300), I in [-100000, 100000].
inline void fillRandom(Volume* v, unsigned seed, bool binary = false) {
  std::mt19937 rng(seed);
  withSampleType(v->dataType, [&](auto tag) {
    using T = typename decltype(tag)::type;
    for (int c = 0; c < channelCount(*v); ++c)
      for (int z = 0; z < v->Z; ++z)
        for (int y = 0; y < v->Y; ++y)
          for (int x = 0; x < v->X; ++x) {
            T& s = at<T>(v, c, z, y, x);
            if constexpr (std::is_same_v<T, UC>)
              s = binary ? (rng() & 1 ? 255 : 0) : static_cast<UC>(rng() & 255);
            else if constexpr (std::is_same_v<T, float>)
              s = std::uniform_real_distribution<float>(-300.0f, 300.0f)(rng);
            else
              s = std::uniform_int_distribution<int>(-100000, 100000)(rng);
          }
  });
}

// Every byte of every channel plus the record's own fields.
inline std::vector<unsigned char> snapshot(const Volume* v) {
  std::vector<unsigned char> bytes(sizeof(Volume));
  std::memcpy(bytes.data(), v, sizeof(Volume));
  if (CheckVolume(const_cast<Volume*>(v), V3D_ANY_TYPE, V3D_ANY_COLOR) != 0) return bytes;
  const std::size_t row = static_cast<std::size_t>(v->X) * sampleSize(v->dataType);
  for (int c = 0; c < channelCount(*v); ++c)
    for (int z = 0; z < v->Z; ++z)
      for (int y = 0; y < v->Y; ++y) {
        auto* p = static_cast<unsigned char*>(channelData<void>(*v, c)[z][y]);
        bytes.insert(bytes.end(), p, p + row);
      }
  return bytes;
}

inline std::string tempPath(const std::string& leaf) {
  const char* dir = std::getenv("TMPDIR");
  return std::string(dir && *dir ? dir : "/tmp") + "/v3d_" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" + leaf;
}

inline std::vector<unsigned char> readFile(const std::string& name) {
  std::vector<unsigned char> bytes;
  if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
    unsigned char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
  }
  return bytes;
}

inline bool fileExists(const std::string& name) {
  if (std::FILE* f = std::fopen(name.c_str(), "rb")) {
    std::fclose(f);
    return true;
  }
  return false;
}

}  // namespace v3d::test
