// The allocator behind channel storage and the volume library's scratch buffers. Tests can
// make it fail after a given number of successful allocations, to check that every failure
// path releases what was taken and reports its code.
#pragma once

#include <cstddef>
#include <memory>

namespace v3d {

// Zero-filled storage of `bytes` bytes, or nullptr when it cannot be had.
void* allocateZeroed(std::size_t bytes);
void releaseStorage(void* block);

// After `successes` more successful allocations, every allocation fails until this is called
// again; a negative value (the start-up state) never fails.
void failAllocationsAfter(long successes);

// Blocks handed out by allocateZeroed and not yet released.
long liveStorageBlocks();

struct StorageDeleter {
  void operator()(void* p) const { releaseStorage(p); }
};

// A zeroed scratch array of `count` elements of T, released on every return; empty (false)
// when the allocation failed or `count` * sizeof(T) cannot be addressed.
template <class T>
class ScratchArray {
 public:
  ScratchArray() : size_(0) {}  // holds nothing until assigned
  explicit ScratchArray(std::size_t count) : size_(count) {
    if (count <= static_cast<std::size_t>(-1) / sizeof(T) / 2)
      data_.reset(static_cast<T*>(allocateZeroed(count * sizeof(T) + (count == 0 ? 1 : 0))));
  }
  explicit operator bool() const { return data_ != nullptr; }
  T* get() const { return data_.get(); }
  T& operator[](std::size_t i) const { return data_.get()[i]; }
  std::size_t size() const { return size_; }

 private:
  std::unique_ptr<T, StorageDeleter> data_;
  std::size_t size_;
};

}  // namespace v3d
