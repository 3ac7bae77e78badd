// Test fixtures: volumes made in one line, random contents, sample access and snapshots
// that tell whether a failing call wrote anything.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
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

// ---- Factories: a test states its volume in one line ------------------------------------

// An owned test volume that reads like a Volume*: v->Z, f(v), f(*v).
class VolumePtr {
 public:
  VolumePtr() = default;
  explicit VolumePtr(std::unique_ptr<OwnedVolume> v) : v_(std::move(v)) {}
  Volume* get() const { return v_->get(); }
  Volume* operator->() const { return v_->get(); }
  operator Volume*() const { return v_->get(); }
  OwnedVolume& operator*() const { return *v_; }

 private:
  std::unique_ptr<OwnedVolume> v_;
};

// A zero-filled volume of Z x Y x X; UC and one channel unless told otherwise.
inline VolumePtr make_volume(int Z, int Y, int X, int dataType = V3D_UC,
                             int colorType = V3D_ONE_CHANNEL) {
  return VolumePtr(std::make_unique<OwnedVolume>(dataType, colorType, Z, Y, X));
}

// A single-channel UC cube of side 2 * radius + 1 holding a ball: 255 where
// x^2 + y^2 + z^2 <= radius^2 (offsets from the centre), 0 elsewhere.
inline VolumePtr make_ball(int radius) {
  const int side = 2 * radius + 1;
  auto v = make_volume(side, side, side);
  for (int z = 0; z < side; ++z)
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) {
        const int dz = z - radius, dy = y - radius, dx = x - radius;
        at<UC>(*v, 0, z, y, x) = dz * dz + dy * dy + dx * dx <= radius * radius ? 255 : 0;
      }
  return v;
}

// A reproducible binary (0 / 255) single-channel UC volume: `count` balls of random centres
// and radii 1..maxRadius, plus scattered single voxels (one in 64) and pin holes in the
// balls, so that both small components and small holes occur.
inline VolumePtr make_blobs(unsigned seed, int Z, int Y, int X, int count = 6, int maxRadius = 3) {
  auto v = make_volume(Z, Y, X);
  std::mt19937 rng(seed);
  for (int k = 0; k < count; ++k) {
    const int cz = static_cast<int>(rng() % Z), cy = static_cast<int>(rng() % Y),
              cx = static_cast<int>(rng() % X);
    const int r = 1 + static_cast<int>(rng() % maxRadius);
    for (int z = std::max(0, cz - r); z <= std::min(Z - 1, cz + r); ++z)
      for (int y = std::max(0, cy - r); y <= std::min(Y - 1, cy + r); ++y)
        for (int x = std::max(0, cx - r); x <= std::min(X - 1, cx + r); ++x)
          if ((z - cz) * (z - cz) + (y - cy) * (y - cy) + (x - cx) * (x - cx) <= r * r)
            at<UC>(*v, 0, z, y, x) = 255;
  }
  for (int z = 0; z < Z; ++z)
    for (int y = 0; y < Y; ++y)
      for (int x = 0; x < X; ++x)
        if (rng() % 64 == 0) at<UC>(*v, 0, z, y, x) ^= 255;
  return v;
}

}  // namespace v3d::test
