// The Volume record's storage and life cycle, CheckVolume, and the volume table.
#include <climits>
#include <cstring>

#include "core/alloc.h"
#include "core/report.h"
#include "core/table.h"
#include "fixtures.h"

namespace v3d::test {
namespace {

class TableTest : public ::testing::Test {
 protected:
  void SetUp() override { resetVolumeTable(); }
  void TearDown() override {
    resetVolumeTable();
    failAllocationsAfter(-1);
    setHeadlessAffirmative(true);
  }
};

TEST_F(TableTest, StorageHasTheDocumentedPointerLayoutAndIsZeroed) {
  for (int type : {V3D_UC, V3D_F, V3D_I}) {
    OwnedVolume v(type, V3D_THREE_CHANNELS, 3, 4, 5);
    ASSERT_EQ(CheckVolume(v, 7, 3), 0);
    EXPECT_EQ(v->voiZ0, 0);
    EXPECT_EQ(v->voiZ1, 3);
    EXPECT_EQ(v->voiY1, 4);
    EXPECT_EQ(v->voiX1, 5);
    const std::size_t s = sampleSize(type);
    for (int c = 0; c < 3; ++c) {
      void** block = static_cast<void**>(v->channel[c]);
      for (int z = 0; z < 3; ++z) {
        // Frame z's row pointers lie in the same block at entry Z + z * Y.
        EXPECT_EQ(block[z], static_cast<void*>(block + 3 + z * 4));
        auto** rows = static_cast<unsigned char**>(block[z]);
        for (int y = 0; y < 4; ++y) {
          EXPECT_EQ(rows[y], rows[0] + y * 5 * s) << "rows of a frame are contiguous";
          for (std::size_t b = 0; b < 5 * s; ++b) ASSERT_EQ(rows[y][b], 0);
        }
      }
    }
  }
  OwnedVolume f(V3D_F, 1, 2, 2, 2);
  EXPECT_EQ(at<float>(f, 0, 1, 1, 1), 0.0f);
}

TEST_F(TableTest, CreateVolumeRejectsBadRecordsAndLeavesTheSlotFree) {
  EXPECT_EQ(CreateVolume(nullptr), kNullVolume);
  Volume v{};
  InitializeVolume(&v, 2, 2, 2, 3, 1);
  EXPECT_EQ(CreateVolume(&v), kWrongDataType);
  EXPECT_EQ(v.dataType, 0);
  InitializeVolume(&v, 2, 2, 2, V3D_UC, 3);
  EXPECT_EQ(CreateVolume(&v), kWrongColorType);
  EXPECT_EQ(v.dataType, 0);
  InitializeVolume(&v, 2, 0, 2, V3D_F, 1);
  EXPECT_EQ(CreateVolume(&v), kInvalidParameters);
  EXPECT_EQ(v.dataType, 0);
  InitializeVolume(&v, -1, 2, 2, V3D_F, 1);
  EXPECT_EQ(CreateVolume(&v), kInvalidParameters);
  EXPECT_EQ(liveStorageBlocks(), 0);
}

TEST_F(TableTest, ShapesThatCannotBeAddressedFailCleanly) {
  const long before = liveStorageBlocks();
  Volume v{};
  // Z * (Y + 1) pointers alone exceed the address space.
  InitializeVolume(&v, INT_MAX, INT_MAX, 1, V3D_UC, 1);
  EXPECT_EQ(CreateVolume(&v), kCannotAllocateVolume);
  EXPECT_EQ(v.dataType, 0);
  // One frame of INT_MAX x INT_MAX floats: far beyond what can be allocated.
  InitializeVolume(&v, 1, INT_MAX, INT_MAX, V3D_F, 2);
  EXPECT_EQ(CreateVolume(&v), kCannotAllocateVolume);
  EXPECT_EQ(liveStorageBlocks(), before);
}

TEST_F(TableTest, FailedAllocationReleasesEverythingAlreadyTaken) {
  // One channel of Z = 2 takes three blocks: its pointer block and two frames. Failing at
  // every position, including the second channel's, must leave nothing held.
  for (long successes = 0; successes < 9; ++successes) {
    Volume v{};
    InitializeVolume(&v, 2, 3, 4, V3D_I, V3D_THREE_CHANNELS);
    failAllocationsAfter(successes);
    EXPECT_EQ(CreateVolume(&v), kCannotAllocateVolume) << successes;
    failAllocationsAfter(-1);
    EXPECT_EQ(v.dataType, 0);
    EXPECT_EQ(liveStorageBlocks(), 0) << "after " << successes << " successful allocations";
  }
}

TEST_F(TableTest, DestroyVolumeFreesStorageAndIgnoresInvalidRecords) {
  Volume v{};
  InitializeVolume(&v, 2, 2, 2, V3D_UC, 2);
  ASSERT_EQ(CreateVolume(&v), 0);
  std::strcpy(v.information, "notes");
  DestroyVolume(&v);
  EXPECT_EQ(v.dataType, 0);
  EXPECT_STREQ(v.information, "");
  EXPECT_EQ(v.Z, 2) << "dimensions are kept";
  EXPECT_EQ(v.voiX1, 2) << "the VOI is kept";
  EXPECT_EQ(liveStorageBlocks(), 0);

  // A free slot, even one holding text for a pending "New" entry, is left exactly as it is.
  Volume freeSlot{};
  std::strcpy(freeSlot.information, "pending");
  const Volume before = freeSlot;
  DestroyVolume(&freeSlot);
  DestroyVolume(nullptr);
  EXPECT_EQ(std::memcmp(&before, &freeSlot, sizeof(Volume)), 0);
}

TEST_F(TableTest, CheckVolumeTestsInItsOrder) {
  EXPECT_EQ(CheckVolume(nullptr, 7, 3), kNullVolume);
  Volume* slot = volumeSlot(0);
  EXPECT_EQ(CheckVolume(slot, 0, 3), 0) << "a free slot passes a check that asks for no type";
  EXPECT_EQ(CheckVolume(slot, 7, 3), kWrongDataType);

  OwnedVolume v(V3D_F, V3D_THREE_CHANNELS, 2, 3, 4);
  EXPECT_EQ(CheckVolume(v, 0, 3), kWrongDataType) << "a filled slot fails mask 0";
  EXPECT_EQ(CheckVolume(v, V3D_UC | V3D_I, 3), kWrongDataType);
  EXPECT_EQ(CheckVolume(v, 7, 1), kWrongColorType);
  EXPECT_EQ(CheckVolume(v, V3D_F, 2), 0);

  void* second = v->channel[1];
  v->channel[1] = nullptr;
  EXPECT_EQ(CheckVolume(v, 7, 3), kNullSequence);
  v->channel[1] = second;

  OwnedVolume grey(V3D_UC, 1, 2, 3, 4);
  EXPECT_EQ(grey->channel[1], nullptr);
  EXPECT_EQ(CheckVolume(grey, 7, 3), 0) << "unused channel pointers may be NULL";

  grey->voiX1 = 4;
  EXPECT_EQ(CheckVolume(grey, 7, 3), 0) << "an upper bound equal to X is valid";
  const int bad[][6] = {{0, 2, 0, 3, 2, 2}, {0, 2, 0, 3, -1, 4}, {0, 2, 0, 3, 0, 5},
                        {1, 1, 0, 3, 0, 4}, {0, 3, 0, 3, 0, 4},  {0, 2, 2, 1, 0, 4},
                        {0, 2, 0, 4, 0, 4}, {-1, 2, 0, 3, 0, 4}, {0, 2, -1, 3, 0, 4}};
  for (const auto& b : bad) {
    fill_in_VOI(grey, b[0], b[1], b[2], b[3], b[4], b[5]);
    EXPECT_EQ(CheckVolume(grey, 7, 3), kInvalidVoi) << b[0] << b[1] << b[2] << b[3] << b[4] << b[5];
  }
}

TEST_F(TableTest, InitializeAndFillInVoiStoreExactlyTheirFields) {
  Volume v{};
  std::strcpy(v.information, "kept");
  InitializeVolume(&v, 5, 6, 7, V3D_I, 2);
  EXPECT_EQ(v.Z, 5);
  EXPECT_EQ(v.Y, 6);
  EXPECT_EQ(v.X, 7);
  EXPECT_EQ(v.dataType, V3D_I);
  EXPECT_EQ(v.colorType, 2);
  EXPECT_EQ(v.channel[0], nullptr);
  EXPECT_EQ(v.voiX1, 0);
  fill_in_VOI(&v, 1, 2, 3, 4, 5, 6);
  EXPECT_EQ(v.voiZ0, 1);
  EXPECT_EQ(v.voiZ1, 2);
  EXPECT_EQ(v.voiY0, 3);
  EXPECT_EQ(v.voiY1, 4);
  EXPECT_EQ(v.voiX0, 5);
  EXPECT_EQ(v.voiX1, 6);
  EXPECT_STREQ(v.information, "kept");
  InitializeVolume(nullptr, 1, 1, 1, 1, 1);
  fill_in_VOI(nullptr, 0, 1, 0, 1, 0, 1);
}

TEST_F(TableTest, SlotsAreFoundByIndexAndByPointer) {
  EXPECT_EQ(GetNewVolumeIndex(), 0);
  Volume* a = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, 1, 1, 2, 2, "title", &a), 0);
  EXPECT_EQ(a, volumeSlot(0));
  EXPECT_EQ(GetVolumeIndex(a), 0);
  EXPECT_EQ(GetNewVolumeIndex(), 1);
  Volume* b = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_F, 2, 1, 2, 2, nullptr, &b), 0);
  EXPECT_EQ(GetVolumeIndex(b), 1);
  DestroyVolume(a);
  EXPECT_EQ(GetNewVolumeIndex(), 0) << "the first free slot is reused";

  Volume outside{};
  EXPECT_EQ(GetVolumeIndex(&outside), 100);
  EXPECT_EQ(GetVolumeIndex(nullptr), 100);
  EXPECT_EQ(volumeSlot(100), nullptr);
  EXPECT_EQ(volumeSlot(-1), nullptr);
}

TEST_F(TableTest, CreateVolumeExKeepsTheSlotTextAndReportsFailures) {
  std::strcpy(volumeSlot(0)->information, "typed for New");
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_I, 1, 2, 3, 4, "ignored", &v), 0);
  EXPECT_STREQ(v->information, "typed for New");
  EXPECT_EQ(v->voiZ1, 2);
  EXPECT_EQ(v->voiX1, 4);

  Volume* out = reinterpret_cast<Volume*>(0x1);
  EXPECT_EQ(CreateVolumeEx(V3D_UC, 1, 0, 3, 4, nullptr, &out), kInvalidParameters);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(volumeSlot(1)->dataType, 0);
  EXPECT_EQ(CreateVolumeEx(7, 1, 1, 3, 4, nullptr, &out), kWrongDataType);
}

TEST_F(TableTest, AFullTableRefusesNewVolumesAndOffersNoNewEntry) {
  for (int i = 0; i < kTableSlots; ++i) {
    Volume* v = nullptr;
    ASSERT_EQ(CreateVolumeEx(V3D_UC, 1, 1, 1, 1, nullptr, &v), 0);
  }
  EXPECT_EQ(GetNewVolumeIndex(), -1);
  Volume sentinel{};
  Volume* out = &sentinel;
  EXPECT_EQ(CreateVolumeEx(V3D_UC, 1, 1, 1, 1, nullptr, &out), 612);
  EXPECT_EQ(out, &sentinel) << "out is left untouched";
  const auto list = listVolumes(7, 3, false);
  EXPECT_EQ(list.size(), 100u);
  for (const auto& e : list) EXPECT_FALSE(e.isNew);
}

TEST_F(TableTest, VolumeListsMatchMasksAndOfferTheFirstFreeSlot) {
  Volume* v = nullptr;
  CreateVolumeEx(V3D_UC, 1, 1, 1, 1, nullptr, &v);  // 0
  CreateVolumeEx(V3D_F, 2, 1, 1, 1, nullptr, &v);   // 1
  CreateVolumeEx(V3D_UC, 2, 1, 1, 1, nullptr, &v);  // 2
  CreateVolumeEx(V3D_I, 1, 1, 1, 1, nullptr, &v);   // 3
  DestroyVolume(volumeSlot(1));

  auto list = listVolumes(V3D_UC, 3, false);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0].label, "0");
  EXPECT_EQ(list[1].label, "2");
  EXPECT_EQ(list[2].label, "New[1]");
  EXPECT_TRUE(list[2].isNew);
  EXPECT_EQ(tableChoices().offeredNew, 1);

  list = listVolumes(7, 1, true);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].label, "0");
  EXPECT_EQ(list[1].label, "3");
  EXPECT_TRUE(listVolumes(V3D_F, 3, true).empty()) << "free slots never match";
}

int g_closedCount = 0;
Volume* g_closedVolume = nullptr;
void recordClose(Volume* v) {
  ++g_closedCount;
  g_closedVolume = v;
}

TEST_F(TableTest, PrepareOutputVolumeFitsAsksAndReallocates) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, 1, 4, 5, 6, nullptr, &v), 0);
  fillRandom(v, 1);
  const auto before = snapshot(v);
  g_closedCount = 0;
  const VolumeWindowCloser previous = setVolumeWindowCloser(recordClose);

  EXPECT_EQ(PrepareOutputVolume(v, 6, 5, 4, V3D_UC, V3D_ONE_CHANNEL, kFitExactly), kOutputFits);
  EXPECT_EQ(PrepareOutputVolume(v, 3, 5, 2, V3D_UC, V3D_ONE_CHANNEL, kFitAtLeastAsLarge),
            kOutputFits)
      << "larger fits loosely";
  EXPECT_EQ(snapshot(v), before);

  ::testing::internal::CaptureStderr();
  setHeadlessAffirmative(false);
  EXPECT_EQ(PrepareOutputVolume(v, 3, 5, 2, V3D_UC, V3D_ONE_CHANNEL, kFitExactly), kOutputRefused);
  EXPECT_EQ(PrepareOutputVolume(v, 6, 5, 4, V3D_F, V3D_ONE_CHANNEL, kFitAtLeastAsLarge),
            kOutputRefused);
  EXPECT_EQ(snapshot(v), before);
  EXPECT_EQ(g_closedCount, 0);

  setHeadlessAffirmative(true);
  EXPECT_EQ(PrepareOutputVolume(v, 7, 5, 4, V3D_F, V3D_THREE_CHANNELS, kFitAtLeastAsLarge),
            kOutputReallocated);
  EXPECT_EQ(g_closedCount, 1);
  EXPECT_EQ(g_closedVolume, v);
  EXPECT_EQ(v->dataType, V3D_F);
  EXPECT_EQ(v->colorType, 2);
  EXPECT_EQ(v->X, 7);
  EXPECT_EQ(v->voiX1, 7);
  EXPECT_EQ(at<float>(v, 2, 3, 4, 6), 0.0f) << "contents are not preserved";

  EXPECT_EQ(PrepareOutputVolume(v, 0, 5, 4, V3D_F, V3D_THREE_CHANNELS, kFitExactly),
            kOutputReallocationFailed);
  EXPECT_EQ(v->dataType, 0);
  const std::string out = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(out.find("Output Volume is not appropriate\nand will be reallocated. Continue?"),
            std::string::npos);
  EXPECT_NE(out.find("VELMORA3D for Windows: Invalid parameters"), std::string::npos);
  setVolumeWindowCloser(previous);
}

TEST_F(TableTest, ReallocateVolumeClosesWindowsWithoutAsking) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, 1, 1, 1, 1, nullptr, &v), 0);
  g_closedCount = 0;
  const VolumeWindowCloser previous = setVolumeWindowCloser(recordClose);
  setHeadlessAffirmative(false);
  EXPECT_EQ(ReallocateVolume(v, V3D_I, 2, 2, 3, 4), 0);
  EXPECT_EQ(g_closedCount, 1);
  EXPECT_EQ(v->dataType, V3D_I);
  EXPECT_EQ(CheckVolume(v, V3D_I, 2), 0);
  EXPECT_EQ(ReallocateVolume(v, V3D_I, 5, 2, 3, 4), kWrongColorType);
  EXPECT_EQ(v->dataType, 0);
  setVolumeWindowCloser(previous);
}

}  // namespace
}  // namespace v3d::test
