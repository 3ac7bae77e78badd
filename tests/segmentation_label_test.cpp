// The coordinate stack, and connected-component labelling against a reference that floods
// with push_3d / pop_3d one voxel at a time, exactly as the labelling is defined.
#include "algorithms/segmentation.h"
#include "core/alloc.h"
#include "core/basic_ops.h"
#include "core/progress.h"
#include "segmentation_helpers.h"

namespace v3d::test {
namespace {

TEST(CoordinateStackTest, IsLastInFirstOutAndPopsZerosWhenEmpty) {
  StackNode3d* head = nullptr;
  const long live = liveStorageBlocks();
  EXPECT_EQ(push_3d(&head, 1, 2, 3, 4), 0);
  EXPECT_EQ(push_3d(&head, -5, 6, 7, -8), 0);
  EXPECT_EQ(liveStorageBlocks(), live + 2);
  EXPECT_EQ(head->frame, -5);
  EXPECT_EQ(head->next->tag, 4);
  StackEntry3d e = pop_3d(&head);
  EXPECT_EQ(e.frame, -5);
  EXPECT_EQ(e.row, 6);
  EXPECT_EQ(e.column, 7);
  EXPECT_EQ(e.tag, -8);
  e = pop_3d(&head);
  EXPECT_EQ(e.frame + e.row + e.column + e.tag, 10);
  EXPECT_EQ(head, nullptr);
  for (int k = 0; k < 2; ++k) {
    e = pop_3d(&head);
    EXPECT_TRUE(e.frame == 0 && e.row == 0 && e.column == 0 && e.tag == 0);
    EXPECT_EQ(head, nullptr);
  }
  EXPECT_EQ(liveStorageBlocks(), live);

  EXPECT_EQ(push_3d(nullptr, 1, 1, 1, 1), -4);
  e = pop_3d(nullptr);
  EXPECT_EQ(e.frame, 0);
  failAllocationsAfter(0);
  EXPECT_EQ(push_3d(&head, 1, 1, 1, 1), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_EQ(head, nullptr);
}

struct LabelResult {
  int code, count;
  std::vector<float> sizes;
};

// The definition: scan, flood from each nonzero seed with a voxel stack, zeroing the input
// and adding 1.0 to the component's size for every voxel reached.
LabelResult refLabel(Samples& in, Samples& out, const Box& b, int maxLabels) {
  LabelResult r{0, 0, std::vector<float>(maxLabels, 0.0f)};
  for (int z = b.z0; z < b.z1; ++z)
    for (int y = b.y0; y < b.y1; ++y)
      for (int x = b.x0; x < b.x1; ++x) {
        const int s = in(z, y, x);
        if (s == 0) continue;
        if (r.count + 1 > maxLabels) {
          r.count = maxLabels;
          r.code = kTooManyRegions;
          return r;
        }
        const int c = ++r.count;
        StackNode3d* head = nullptr;
        in(z, y, x) = 0;
        out(z, y, x) = c;
        r.sizes[c - 1] += 1.0f;
        EXPECT_EQ(push_3d(&head, z, y, x, 0), 0);
        while (head != nullptr) {
          const StackEntry3d p = pop_3d(&head);
          for (int dz = -1; dz <= 1; ++dz)
            for (int dy = -1; dy <= 1; ++dy)
              for (int dx = -1; dx <= 1; ++dx) {
                const int nz = p.frame + dz, ny = p.row + dy, nx = p.column + dx;
                if (!inside(b, nz, ny, nx) || in(nz, ny, nx) != s) continue;
                in(nz, ny, nx) = 0;
                out(nz, ny, nx) = c;
                r.sizes[c - 1] += 1.0f;
                EXPECT_EQ(push_3d(&head, nz, ny, nx, 0), 0);
              }
        }
      }
  return r;
}

TEST(LabelTest, MatchesTheVoxelStackReferenceOnRandomVolumes) {
  std::mt19937 rng(11);
  for (int trial = 0; trial < 80; ++trial) {
    OwnedVolume in(V3D_UC, 1, 1 + rng() % 8, 1 + rng() % 9, 1 + rng() % 12);
    OwnedVolume out(V3D_UC, 1, in->Z, in->Y + rng() % 2, in->X + rng() % 2);
    switch (trial % 3) {
      case 0:
        fillRandom(in, trial, true);
        break;
      case 1:
        fillLevels(in, trial, {0, 0, 0, 7, 9});
        break;
      default:
        fillLevels(in, trial, {0, 255});
        break;
    }
    fillRandom(out, trial + 50);
    const Box voi = randomVoi(in, rng);
    setVoi(in, voi);
    const int maxLabels = trial % 5 == 0 ? 1 + static_cast<int>(rng() % 6) : 255;
    Samples src(in), expect(out);
    Samples before(in);
    const LabelResult want = refLabel(src, expect, voi, maxLabels);
    int count = -1;
    std::vector<float> sizes(maxLabels, -1.0f);
    ASSERT_EQ(grass3d_label(in, out, &count, sizes.data(), maxLabels), want.code)
        << "trial " << trial;
    EXPECT_EQ(count, want.count) << "trial " << trial;
    EXPECT_EQ(sizes, want.sizes) << "trial " << trial;
    ASSERT_TRUE(sameSamples(out, expect)) << "trial " << trial;
    // A failed labelling gives its input back untouched; a successful one consumes it.
    ASSERT_TRUE(sameSamples(in, want.code == 0 ? src : before))
        << "the reached voxels are zeroed on success only; trial " << trial;
  }
}

TEST(LabelTest, ChainsTouchingValuesAndAConstantVoi) {
  OwnedVolume in(V3D_UC, 1, 6, 6, 6), out(V3D_UC, 1, 6, 6, 6);
  for (int k = 0; k < 6; ++k) at<UC>(in, 0, k, k, 5 - k) = 40;  // a space-diagonal chain
  at<UC>(in, 0, 0, 5, 0) = 40;
  at<UC>(in, 0, 0, 5, 1) = 41;  // touches the lone 40 but has another value
  int count = 0;
  float sizes[255];
  ASSERT_EQ(grass3d_label(in, out, &count, sizes, 255), 0);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(sizes[0], 6.0f);
  EXPECT_EQ(at<UC>(out, 0, 5, 5, 0), 1);
  EXPECT_NE(at<UC>(out, 0, 0, 5, 0), at<UC>(out, 0, 0, 5, 1));
  EXPECT_EQ(CheckIfVolumeClear(in, std::vector<float>{0.0f}.data()), 1);

  for (int z = 0; z < 6; ++z)
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 6; ++x) at<UC>(in, 0, z, y, x) = 3;
  fill_in_VOI(in, 1, 5, 0, 6, 2, 4);
  ASSERT_EQ(grass3d_label(in, out, &count, sizes, 255), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(sizes[0], 48.0f);
  EXPECT_EQ(sizes[1], 0.0f);
  EXPECT_EQ(at<UC>(in, 0, 0, 0, 0), 3) << "outside the VOI the input is kept";
}

TEST(LabelTest, SizesStayExactBeyondTheFloatIntegerRange) {
  // 4097 x 4097 voxels in one component: adding 1.0f per voxel would stop at 2^24.
  OwnedVolume in(V3D_UC, 1, 1, 4097, 4097), out(V3D_UC, 1, 1, 4097, 4097);
  for (int y = 0; y < 4097; ++y) std::memset(channelData<UC>(*in.get(), 0)[0][y], 200, 4097);
  int count = 0;
  float sizes[1];
  ASSERT_EQ(grass3d_label(in, out, &count, sizes, 1), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(sizes[0], static_cast<float>(4097 * 4097));
  EXPECT_GT(sizes[0], 16777216.0f);
}

TEST(LabelTest, ACancelledLabellingStopsAtAFrameAndKeepsItsInput) {
  // A hook that asks to stop once two frames are reported done.
  struct StopAfterTwo : ProgressHook {
    long long last = -1, total = -1;
    void stepDone(long long done, long long all) override {
      last = done;
      total = all;
    }
    bool cancelled() const override { return last >= 2; }
  } hook;
  OwnedVolume in(V3D_UC, 1, 6, 5, 5), out(V3D_UC, 1, 6, 5, 5);
  fillLevels(in, 3, {0, 4, 9});
  Samples before(in);
  int count = 0;
  float sizes[255];
  {
    const ScopedProgressHook scope(&hook);
    EXPECT_EQ(grass3d_label(in, out, &count, sizes, 255), kOperationCancelled);
  }
  EXPECT_EQ(hook.last, 2);
  EXPECT_EQ(hook.total, 6) << "one step per frame of the VOI";
  EXPECT_TRUE(sameSamples(in, before));
  hook.last = -1;
  EXPECT_EQ(grass3d_label(in, out, &count, sizes, 255), 0) << "without a hook nothing stops";
}

TEST(LabelTest, AStackThatCannotGrowReturnsMinus9WithTheComponentInProgress) {
  OwnedVolume in(V3D_UC, 1, 40, 40, 40), out(V3D_UC, 1, 40, 40, 40);
  // A checkerboard along X inside full planes gives one component with very many runs.
  for (int z = 0; z < 40; ++z)
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) at<UC>(in, 0, z, y, x) = ((x + y + z) % 2) ? 9 : 0;
  at<UC>(in, 0, 0, 0, 0) = 5;  // component 1: a single voxel
  Samples before(in);
  const long live = liveStorageBlocks();
  failAllocationsAfter(2);  // the first stack block and the scratch copy of the input only
  int count = 0;
  float sizes[255];
  EXPECT_EQ(grass3d_label(in, out, &count, sizes, 255), kCannotAllocateBuffer);
  failAllocationsAfter(-1);
  EXPECT_EQ(count, 2);
  EXPECT_EQ(sizes[0], 1.0f);
  EXPECT_EQ(liveStorageBlocks(), live);
  EXPECT_TRUE(sameSamples(in, before)) << "the input is kept when the stack cannot grow";
  failAllocationsAfter(1);  // no room for the scratch copy: nothing is written at all
  EXPECT_EQ(grass3d_label(in, out, &count, sizes, 255), kCannotAllocateVolume);
  failAllocationsAfter(-1);
  EXPECT_TRUE(sameSamples(in, before));
}

}  // namespace
}  // namespace v3d::test
