// Projection windows without a toolkit: ownership of buffers and projection records, the
// projection types the shell registers, and the frame gallery's picture.
#pragma once

#include <cstdint>
#include <memory>

#include "shell/projection.h"

namespace v3d::shell {

// Frees a buffer from CreateBuffer with its planes; a null pointer is ignored.
void freeBuffer(V3dBuffer* buffer);
// Frees a projection record from CreateProjection (its extra area with it).
void freeProjection(V3dProjection* projection);

struct BufferDeleter {
  void operator()(V3dBuffer* b) const { freeBuffer(b); }
};
struct ProjectionDeleter {
  void operator()(V3dProjection* p) const { freeProjection(p); }
};
using BufferPtr = std::unique_ptr<V3dBuffer, BufferDeleter>;
using ProjectionPtr = std::unique_ptr<V3dProjection, ProjectionDeleter>;

// The types the shell registers at start-up, in this order, before any module loads.
enum ProjectionType : int { kFrameGalleryType = 0, kManualAlignmentType = 1 };
// Registers the shell's two types once; later calls do nothing. Returns false when the
// counter had already moved (the ids would not be 0 and 1).
bool registerShellProjectionTypes();

// The frame gallery's extra area (32 bytes): the VOI it shows, as it was when the gallery
// was made (later VOI changes of the volume do not move it), frames per row and the method.
struct GalleryParameters {
  std::int32_t rowFrom, rowTo, columnFrom, columnTo, frameFrom, frameTo;
  std::int32_t framesPerRow;
  std::int32_t nearest;  // 1 nearest neighbour, 0 bilinear
};
static_assert(sizeof(GalleryParameters) == 32);

// The buffer size of a gallery: framesPerRow tiles of 100 columns, and as many rows of
// tiles as the frames need, each trunc(100 * rows / columns) high. False when the
// parameters give no picture (no frames, fewer than one frame per row, an empty VOI) or one
// too large to address.
bool galleryPictureSize(const GalleryParameters& p, int* width, int* height);

// Produces the gallery picture of the projection's volume into the buffer's planes (as many
// as the volume has channels). The volume's own record, VOI included, is not changed. On
// failure the buffer keeps its old picture and the result code is returned: the gallery's
// own codes, kInvalidParameters when the stored VOI no longer lies in the volume or the
// buffer does not match, kCannotAllocateBuffer when memory is short.
int produceGalleryPicture(const V3dProjection& projection, V3dBuffer& buffer);

}  // namespace v3d::shell
