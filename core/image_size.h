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
void setCurrentImageSize(int rows, int columns);

// Sets the current image size for its lifetime and restores the previous one on every way
// out of the scope.
class ScopedImageSize {
 public:
  ScopedImageSize(int rows, int columns) : saved_(currentImageSize()) {
    setCurrentImageSize(rows, columns);
  }
  ~ScopedImageSize() { setCurrentImageSize(saved_.rows, saved_.columns); }
  ScopedImageSize(const ScopedImageSize&) = delete;
  ScopedImageSize& operator=(const ScopedImageSize&) = delete;

 private:
  ImageSize saved_;
};

}  // namespace v3d
