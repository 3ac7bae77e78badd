// Projection records without a toolkit: buffers (planes per kind, zeroed row-pointer planes,
// failures that free what was made), projection records with their extra area, the type
// counter, and the frame gallery picture against the gallery function run directly.
#include <cstring>

#include "algorithms/gallery.h"
#include "core/alloc.h"
#include "fixtures.h"
#include "shell/projection_model.h"

namespace v3d::test {
namespace {

using shell::BufferPtr;
using shell::GalleryParameters;
using shell::ProjectionPtr;

TEST(ProjectionBuffer, PlanesFollowTheKind) {
  struct Row {
    int kind, planes;
  } rows[] = {{V3D_BUFFER_GREY, 1}, {V3D_BUFFER_COLOUR, 3}, {3, 0}, {0, 0}, {-1, 0}};
  for (const Row& r : rows) {
    BufferPtr b(CreateBuffer(r.kind, 13, 7));
    ASSERT_NE(b, nullptr) << r.kind;
    EXPECT_EQ(b->kind, r.kind);
    EXPECT_EQ(b->width, 13);
    EXPECT_EQ(b->height, 7);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(b->plane[i] != nullptr, i < r.planes) << r.kind << " plane " << i;
      if (b->plane[i] == nullptr) continue;
      for (int y = 0; y < 7; ++y) {
        // Rows are consecutive in one block, and zero.
        EXPECT_EQ(b->plane[i][y], b->plane[i][0] + 13 * y);
        for (int x = 0; x < 13; ++x) EXPECT_EQ(b->plane[i][y][x], 0);
      }
    }
  }
  EXPECT_EQ(CreateBuffer(V3D_BUFFER_GREY, 0, 5), nullptr);
  EXPECT_EQ(CreateBuffer(V3D_BUFFER_GREY, 5, -1), nullptr);
}

TEST(ProjectionBuffer, ShortMemoryFreesThePlanesAlreadyMade) {
  const long before = liveStorageBlocks();
  // The record, then row pointers and block per plane: 7 allocations for three planes.
  for (long successes = 0; successes < 7; ++successes) {
    failAllocationsAfter(successes);
    V3dBuffer* b = CreateBuffer(V3D_BUFFER_COLOUR, 40, 30);
    failAllocationsAfter(-1);
    EXPECT_EQ(b, nullptr) << successes;
    shell::freeBuffer(b);
    EXPECT_EQ(liveStorageBlocks(), before) << successes;
  }
  BufferPtr ok(CreateBuffer(V3D_BUFFER_COLOUR, 40, 30));
  EXPECT_NE(ok, nullptr);
  ok.reset();
  EXPECT_EQ(liveStorageBlocks(), before);
}

TEST(ProjectionRecord, ExtraAreaFollowsTheRecordInOneAllocation) {
  auto v = make_volume(2, 3, 4);
  const long before = liveStorageBlocks();
  {
    ProjectionPtr p(CreateProjection(5, v, 32));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->type, 5);
    EXPECT_EQ(p->volume, v.get());
    EXPECT_EQ(static_cast<unsigned char*>(p->extra),
              reinterpret_cast<unsigned char*>(p.get()) + sizeof(V3dProjection));
    for (int i = 0; i < 32; ++i) EXPECT_EQ(static_cast<unsigned char*>(p->extra)[i], 0);
    EXPECT_EQ(liveStorageBlocks(), before + 1);
  }
  EXPECT_EQ(liveStorageBlocks(), before);
  failAllocationsAfter(0);
  EXPECT_EQ(CreateProjection(0, v, 32), nullptr);
  failAllocationsAfter(-1);
  EXPECT_EQ(CreateProjection(0, v, -1), nullptr);
}

TEST(ProjectionTypes, ShellTypesComeFirstAndTheCounterGrows) {
  ASSERT_TRUE(shell::registerShellProjectionTypes());
  EXPECT_TRUE(shell::registerShellProjectionTypes());  // once only
  const int a = RegisterProjectionType();
  EXPECT_GE(a, 2);
  EXPECT_EQ(RegisterProjectionType(), a + 1);
}

TEST(GalleryPicture, SizeFromTheStoredVoi) {
  int w = 0, h = 0;
  // 10 frames, 4 per row: 3 rows of tiles 100 x trunc(100 * 30 / 70) = 42.
  ASSERT_TRUE(shell::galleryPictureSize({0, 30, 5, 75, 2, 12, 4, 0}, &w, &h));
  EXPECT_EQ(w, 400);
  EXPECT_EQ(h, 3 * 42);
  EXPECT_FALSE(shell::galleryPictureSize({0, 30, 5, 75, 2, 2, 4, 0}, &w, &h));
  EXPECT_FALSE(shell::galleryPictureSize({0, 30, 5, 75, 2, 12, 0, 0}, &w, &h));
  EXPECT_FALSE(shell::galleryPictureSize({0, 30, 5, 75, 0, 12, 30000000, 0}, &w, &h));
}

TEST(GalleryPicture, MatchesTheGalleryOfTheStoredVoiAndLeavesTheVolumeAlone) {
  for (int color : {V3D_ONE_CHANNEL, V3D_THREE_CHANNELS}) {
    for (int nearest : {0, 1}) {
      auto v = make_volume(12, 40, 60, V3D_UC, color);
      fillRandom(v, 3 + nearest);
      setVoi(v, {1, 12, 0, 40, 0, 60});  // the volume's VOI differs from the stored one
      const GalleryParameters gp{5, 35, 10, 50, 2, 9, 3, nearest};  // 7 frames, 30 x 40
      ProjectionPtr p(CreateProjection(shell::kFrameGalleryType, v, sizeof gp));
      ASSERT_NE(p, nullptr);
      std::memcpy(p->extra, &gp, sizeof gp);
      int w = 0, h = 0;
      ASSERT_TRUE(shell::galleryPictureSize(gp, &w, &h));
      BufferPtr b(
          CreateBuffer(color == V3D_ONE_CHANNEL ? V3D_BUFFER_GREY : V3D_BUFFER_COLOUR, w, h));
      ASSERT_NE(b, nullptr);
      const auto before = snapshot(v);
      ASSERT_EQ(shell::produceGalleryPicture(*p, *b), 0);
      EXPECT_EQ(snapshot(v), before);

      auto expected = make_volume(1, h, w, V3D_UC, color);
      setVoi(v, {2, 9, 5, 35, 10, 50});
      ASSERT_EQ(ProduceFrameGallery3d(v, expected, 3, nearest), 0);
      for (int c = 0; c < channelCount(*v.get()); ++c)
        for (int y = 0; y < h; ++y)
          ASSERT_EQ(0, std::memcmp(b->plane[c][y], channelData<UC>(*expected.get(), c)[0][y], w))
              << c << " " << y;
    }
  }
}

TEST(GalleryPicture, FailureKeepsTheOldPicture) {
  auto v = make_volume(4, 40, 40);
  fillRandom(v, 9);
  const GalleryParameters gp{0, 40, 0, 40, 0, 4, 2, 0};
  ProjectionPtr p(CreateProjection(shell::kFrameGalleryType, v, sizeof gp));
  std::memcpy(p->extra, &gp, sizeof gp);
  BufferPtr b(CreateBuffer(V3D_BUFFER_GREY, 200, 200));
  for (int y = 0; y < 200; ++y) std::memset(b->plane[0][y], 77, 200);
  auto unchanged = [&] {
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 200; ++x)
        if (b->plane[0][y][x] != 77) return false;
    return true;
  };
  failAllocationsAfter(0);
  EXPECT_EQ(shell::produceGalleryPicture(*p, *b), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_TRUE(unchanged());
  // A stored VOI outside the volume (a smaller volume now) is refused.
  static_cast<GalleryParameters*>(p->extra)->frameTo = 5;
  EXPECT_EQ(shell::produceGalleryPicture(*p, *b), kInvalidParameters);
  EXPECT_TRUE(unchanged());
  // Tiles lower than 25 rows: the gallery's own code.
  static_cast<GalleryParameters*>(p->extra)->frameTo = 4;
  static_cast<GalleryParameters*>(p->extra)->rowTo = 8;  // 100 x 20 tiles
  BufferPtr flat(CreateBuffer(V3D_BUFFER_GREY, 200, 40));
  EXPECT_EQ(shell::produceGalleryPicture(*p, *flat), kInvalidOutputDimensions);
}

}  // namespace
}  // namespace v3d::test
