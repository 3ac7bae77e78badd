// The current image size: the rows and columns of the two-dimensional image buffers that the
// frame copies and the per-file image readers work with. 256 by 256 at start-up; callers set
// it to a volume's Y and X around sequence reads and writes.
#pragma once

namespace v3d {

struct ImageSize {
  int rows;
  int columns;
};

ImageSize currentImageSize();

// Sets the current image size for its lifetime and restores the previous one on every way
// out of the scope. It is the only way to change the size, so no caller can leave it set.
class ScopedImageSize {
 public:
  ScopedImageSize(int rows, int columns) : saved_(currentImageSize()) { set(rows, columns); }
  ~ScopedImageSize() { set(saved_.rows, saved_.columns); }
  ScopedImageSize(const ScopedImageSize&) = delete;
  ScopedImageSize& operator=(const ScopedImageSize&) = delete;

 private:
  static void set(int rows, int columns);
  ImageSize saved_;
};

}  // namespace v3d
