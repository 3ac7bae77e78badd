// Helpers shared by the segmentation and edge families: the common volume checks, a byte
// per VOI voxel, and an array-backed stack of trivially copyable records that grows by doubling through the
// library's allocator (so allocation-failure tests reach it) and never throws.
#pragma once

#include <cstddef>
#include <cstring>
#include <type_traits>

#include "core/alloc.h"
#include "core/samples.h"
#include "core/volume.h"

namespace v3d {

// CheckVolume(UC, one channel) on both volumes, then -520 when the output is smaller than
// the input on any axis.
inline int checkUcPair(Volume* in, Volume* out) {
  int code = CheckVolume(in, V3D_UC, V3D_ONE_CHANNEL);
  if (code != 0) return code;
  if ((code = CheckVolume(out, V3D_UC, V3D_ONE_CHANNEL)) != 0) return code;
  return 0;
}
inline bool outputTooSmall(const Volume* in, const Volume* out) {
  return out->Z < in->Z || out->Y < in->Y || out->X < in->X;
}

// Number of samples of a box, in 64 bits.
inline std::size_t boxSamples(const Box& b) {
  return static_cast<std::size_t>(b.depth()) * static_cast<std::size_t>(b.height()) *
         static_cast<std::size_t>(b.width());
}

// A byte per VOI voxel, addressed by volume coordinates.
class VoiBytes {
 public:
  explicit VoiBytes(const Box& b) : box_(b), data_(boxSamples(b)) {}
  explicit operator bool() const { return static_cast<bool>(data_); }
  UC* row(int z, int y) const {
    return data_.get() + (static_cast<std::size_t>(z - box_.z0) * box_.height() + (y - box_.y0)) *
                             box_.width() -
           box_.x0;
  }
  UC* data() const { return data_.get(); }

 private:
  Box box_;
  ScratchArray<UC> data_;
};

// The number of zero bytes at the start of [p, p + n); reads eight bytes at a time.
inline std::size_t zeroRun(const UC* p, std::size_t n) {
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    if (w != 0) break;
  }
  while (i < n && p[i] == 0) ++i;
  return i;
}

template <class T>
class WorkStack {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  WorkStack() = default;
  WorkStack(const WorkStack&) = delete;
  WorkStack& operator=(const WorkStack&) = delete;
  ~WorkStack() { releaseStorage(data_); }

  // Makes room for `capacity` entries; false when the memory cannot be had.
  bool reserve(std::size_t capacity) {
    if (capacity <= capacity_) return true;
    if (capacity > static_cast<std::size_t>(-1) / sizeof(T) / 2) return false;
    T* grown = static_cast<T*>(allocateZeroed(capacity * sizeof(T)));
    if (grown == nullptr) return false;
    if (size_ > 0) std::memcpy(grown, data_, size_ * sizeof(T));
    releaseStorage(data_);
    data_ = grown;
    capacity_ = capacity;
    return true;
  }
  // False (and nothing pushed) when the stack is full and cannot grow.
  bool push(const T& value) {
    if (size_ == capacity_ && !reserve(capacity_ < 1024 ? 1024 : capacity_ * 2)) return false;
    data_[size_++] = value;
    return true;
  }
  T pop() { return data_[--size_]; }
  T& top() { return data_[size_ - 1]; }
  T& operator[](std::size_t i) { return data_[i]; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return capacity_; }
  // Removes the entries for which dead(entry) holds, keeping the order of the rest.
  template <class Dead>
  void compact(Dead&& dead) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size_; ++i)
      if (!dead(data_[i])) data_[kept++] = data_[i];
    size_ = kept;
  }
  std::size_t size() const { return size_; }
  void clear() { size_ = 0; }

 private:
  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace v3d
