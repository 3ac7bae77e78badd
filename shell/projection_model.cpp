// Projection windows' records. Buffers and projection records come from the volume
// library's allocator, so that allocation failures can be injected in tests and every
// block is accounted for.
#include "shell/projection_model.h"

#include <cstring>
#include <limits>

#include "algorithms/gallery.h"
#include "core/alloc.h"
#include "core/result_codes.h"
#include "core/samples.h"

namespace v3d::shell {
namespace {

int gNextProjectionType = 0;

// One plane: `height` row pointers into one zeroed block of width x height bytes.
unsigned char** makePlane(int width, int height) {
  auto** rows = static_cast<unsigned char**>(
      allocateZeroed(static_cast<std::size_t>(height) * sizeof(unsigned char*)));
  if (rows == nullptr) return nullptr;
  auto* block = static_cast<unsigned char*>(
      allocateZeroed(static_cast<std::size_t>(width) * static_cast<std::size_t>(height)));
  if (block == nullptr) {
    releaseStorage(rows);
    return nullptr;
  }
  for (int y = 0; y < height; ++y) rows[y] = block + static_cast<std::size_t>(y) * width;
  return rows;
}

void freePlane(unsigned char** rows) {
  if (rows == nullptr) return;
  releaseStorage(rows[0]);
  releaseStorage(rows);
}

// A one-frame UC volume outside the table, destroyed with its scope.
class TemporaryVolume {
 public:
  TemporaryVolume(int Y, int X, int colorType) {
    InitializeVolume(&v_, 1, Y, X, V3D_UC, colorType);
    ok_ = CreateVolume(&v_) == 0;
  }
  ~TemporaryVolume() {
    if (ok_) DestroyVolume(&v_);
  }
  TemporaryVolume(const TemporaryVolume&) = delete;
  TemporaryVolume& operator=(const TemporaryVolume&) = delete;
  bool ok() const { return ok_; }
  Volume* get() { return &v_; }

 private:
  Volume v_{};
  bool ok_ = false;
};

}  // namespace

void freeBuffer(V3dBuffer* buffer) {
  if (buffer == nullptr) return;
  for (unsigned char** plane : buffer->plane) freePlane(plane);
  releaseStorage(buffer);
}

void freeProjection(V3dProjection* projection) {
  releaseStorage(projection);
}

bool registerShellProjectionTypes() {
  static const bool registered = [] {
    if (gNextProjectionType != 0) return false;
    return RegisterProjectionType() == kFrameGalleryType &&
           RegisterProjectionType() == kManualAlignmentType;
  }();
  return registered;
}

bool galleryPictureSize(const GalleryParameters& p, int* width, int* height) {
  const long long frames = static_cast<long long>(p.frameTo) - p.frameFrom;
  const long long rows = static_cast<long long>(p.rowTo) - p.rowFrom;
  const long long columns = static_cast<long long>(p.columnTo) - p.columnFrom;
  if (p.framesPerRow < 1 || frames < 1 || rows < 1 || columns < 1) return false;
  const long long w = 100LL * p.framesPerRow;
  const long long tileRows = (frames + p.framesPerRow - 1) / p.framesPerRow;
  const long long h = tileRows * (100 * rows / columns);
  constexpr long long kMax = std::numeric_limits<int>::max();
  if (h < 1 || w > kMax || h > kMax || w * h > kMax) return false;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return true;
}

int produceGalleryPicture(const V3dProjection& projection, V3dBuffer& buffer) {
  Volume* volume = projection.volume;
  if (int code = CheckVolume(volume, V3D_UC, V3D_ANY_COLOR); code != 0) return code;
  const auto& p = *static_cast<const GalleryParameters*>(projection.extra);
  int width = 0, height = 0;
  if (!galleryPictureSize(p, &width, &height)) return kInvalidParameters;
  if (p.frameFrom < 0 || p.frameTo > volume->Z || p.rowFrom < 0 || p.rowTo > volume->Y ||
      p.columnFrom < 0 || p.columnTo > volume->X)
    return kInvalidParameters;
  const int channels = channelCount(*volume);
  const int kind = channels == 1 ? V3D_BUFFER_GREY : V3D_BUFFER_COLOUR;
  if (buffer.kind != kind || buffer.width != width || buffer.height != height)
    return kInvalidParameters;

  // The gallery reads the stored VOI through a copy of the record: same storage, other box.
  Volume view = *volume;
  view.voiZ0 = p.frameFrom, view.voiZ1 = p.frameTo;
  view.voiY0 = p.rowFrom, view.voiY1 = p.rowTo;
  view.voiX0 = p.columnFrom, view.voiX1 = p.columnTo;
  TemporaryVolume picture(height, width, volume->colorType);
  if (!picture.ok()) return kCannotAllocateBuffer;
  if (int code = ProduceFrameGallery3d(&view, picture.get(), p.framesPerRow, p.nearest); code != 0)
    return code;
  for (int c = 0; c < channels; ++c) {
    UC** src = channelData<UC>(*picture.get(), c)[0];
    for (int y = 0; y < height; ++y) std::memcpy(buffer.plane[c][y], src[y], width);
  }
  return 0;
}

}  // namespace v3d::shell

extern "C" int RegisterProjectionType(void) {
  return v3d::shell::gNextProjectionType++;
}

extern "C" V3dProjection* CreateProjection(int type, Volume* volume, int extraSize) {
  if (extraSize < 0) return nullptr;
  auto* p = static_cast<V3dProjection*>(
      v3d::allocateZeroed(sizeof(V3dProjection) + static_cast<std::size_t>(extraSize)));
  if (p == nullptr) return nullptr;
  p->type = type;
  p->volume = volume;
  p->extra = reinterpret_cast<unsigned char*>(p) + sizeof(V3dProjection);
  return p;
}

extern "C" V3dBuffer* CreateBuffer(int kind, int width, int height) {
  using namespace v3d;
  if (width < 1 || height < 1) return nullptr;
  shell::BufferPtr b(static_cast<V3dBuffer*>(allocateZeroed(sizeof(V3dBuffer))));
  if (!b) return nullptr;
  b->kind = kind;
  b->width = width;
  b->height = height;
  const int planes = kind == V3D_BUFFER_GREY ? 1 : kind == V3D_BUFFER_COLOUR ? 3 : 0;
  for (int i = 0; i < planes; ++i)
    if ((b->plane[i] = shell::makePlane(width, height)) == nullptr) return nullptr;
  return b.release();
}
