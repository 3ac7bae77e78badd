// The Volume record's life cycle and the volume table.
//
// Storage of one channel: a pointer block of Z * (Y + 1) entries (frame pointers first, then
// every frame's row pointers) and one zeroed block per frame. The largest single allocation
// is one frame, never the whole volume. Every size is computed in 64 bits with overflow
// checks: a shape that cannot be addressed fails like an allocation (-530), it never wraps.
#include "core/volume.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "core/alloc.h"
#include "core/messages.h"
#include "core/report.h"
#include "core/samples.h"
#include "core/table.h"

namespace v3d {
namespace {

Volume g_table[kTableSlots];
TableChoices g_choices;
VolumeWindowCloser g_closer = nullptr;

bool validType(int dataType) {
  return dataType == V3D_UC || dataType == V3D_F || dataType == V3D_I;
}
bool validColor(int colorType) {
  return colorType == V3D_ONE_CHANNEL || colorType == V3D_THREE_CHANNELS;
}

// Frees the Z frame blocks (each reached through its first row pointer), then the block.
void releaseChannel(void** block, int Z, int Y) {
  if (block == nullptr) return;
  for (int z = 0; z < Z; ++z) {
    void** rows = static_cast<void**>(block[z]);
    if (rows != nullptr) releaseStorage(rows[0]);
  }
  (void)Y;
  releaseStorage(block);
}

// The pointer block and the Z zeroed frame blocks of one channel, or nullptr with nothing
// held when any allocation fails or the shape cannot be addressed.
void** allocateChannel(int Z, int Y, int X, std::size_t elementSize) {
  std::uint64_t entries = 0, entryBytes = 0, frameSamples = 0, frameBytes = 0;
  if (__builtin_mul_overflow(static_cast<std::uint64_t>(Z), static_cast<std::uint64_t>(Y) + 1,
                             &entries) ||
      __builtin_mul_overflow(entries, sizeof(void*), &entryBytes) ||
      __builtin_mul_overflow(static_cast<std::uint64_t>(Y), static_cast<std::uint64_t>(X),
                             &frameSamples) ||
      __builtin_mul_overflow(frameSamples, elementSize, &frameBytes) || entryBytes > PTRDIFF_MAX ||
      frameBytes > PTRDIFF_MAX)
    return nullptr;

  void** block = static_cast<void**>(allocateZeroed(entryBytes));
  if (block == nullptr) return nullptr;
  const std::size_t rowBytes = static_cast<std::size_t>(X) * elementSize;
  for (int z = 0; z < Z; ++z) {
    void** rows = block + Z + static_cast<std::size_t>(z) * Y;
    block[z] = rows;
    auto* frame = static_cast<unsigned char*>(allocateZeroed(frameBytes));
    if (frame == nullptr) {
      // Frames 0..z-1 are complete; frame z's row pointers are still zero.
      releaseChannel(block, z, Y);
      return nullptr;
    }
    for (int y = 0; y < Y; ++y) rows[y] = frame + static_cast<std::size_t>(y) * rowBytes;
  }
  return block;
}

}  // namespace

Volume* volumeSlot(int index) {
  return (index >= 0 && index < kTableSlots) ? &g_table[index] : nullptr;
}

TableChoices& tableChoices() {
  return g_choices;
}

std::vector<VolumeListEntry> listVolumes(int typeMask, int colorMask, bool noNewEntry) {
  std::vector<VolumeListEntry> list;
  for (int i = 0; i < kTableSlots; ++i) {
    const Volume& v = g_table[i];
    if ((v.dataType & typeMask) != 0 && (v.colorType & colorMask) != 0)
      list.push_back({std::to_string(i), i, false});
  }
  if (!noNewEntry) {
    const int fresh = GetNewVolumeIndex();
    if (fresh >= 0) {
      g_choices.offeredNew = fresh;
      list.push_back({"New[" + std::to_string(fresh) + "]", fresh, true});
    }
  }
  return list;
}

VolumeWindowCloser setVolumeWindowCloser(VolumeWindowCloser closer) {
  VolumeWindowCloser previous = g_closer;
  g_closer = closer;
  return previous;
}

void closeVolumeWindows(Volume* volume) {
  if (g_closer != nullptr && volume != nullptr) g_closer(volume);
}

int ReallocateVolume(Volume* volume, int dataType, int colorType, int Z, int Y, int X) {
  if (volume == nullptr) return kNullVolume;
  closeVolumeWindows(volume);
  DestroyVolume(volume);
  InitializeVolume(volume, Z, Y, X, dataType, colorType);
  return CreateVolume(volume);
}

int PrepareOutputVolume(Volume* volume, int X, int Y, int Z, int dataType, int colorType,
                        int exact) {
  if (volume == nullptr) {
    error_handler(kNullVolume);
    return kOutputReallocationFailed;
  }
  const bool sameTypes = volume->dataType == dataType && volume->colorType == colorType;
  const bool fits = exact == v3d::kFitExactly
                        ? sameTypes && volume->X == X && volume->Y == Y && volume->Z == Z
                        : sameTypes && volume->X >= X && volume->Y >= Y && volume->Z >= Z;
  if (fits) return kOutputFits;
  if (VerifyVolumeReallocation(nullptr) == 0) return kOutputRefused;
  const int code = ReallocateVolume(volume, dataType, colorType, Z, Y, X);
  if (code != 0) {
    error_handler(code);
    return kOutputReallocationFailed;
  }
  return kOutputReallocated;
}

namespace {
int askYesNo(void* owner, int id) {
  LoadPromptText(id);
  const int answer = reporter().showMessage(owner, promptText, kCaption, MessageIcon::Question,
                                            MessageButtons::YesNo);
  return answer == kAnswerNo ? 0 : 1;
}
}  // namespace

int VerifyInPlaceModification(void* owner) {
  return askYesNo(owner, kAskModifyInput);
}

void resetVolumeTable() {
  for (Volume& v : g_table) {
    DestroyVolume(&v);
    v = Volume{};
  }
  g_choices = TableChoices{};
}

}  // namespace v3d

using v3d::g_table;

extern "C" {

void InitializeVolume(Volume* volume, int Z, int Y, int X, int dataType, int colorType) {
  if (volume == nullptr) return;
  volume->Z = Z;
  volume->Y = Y;
  volume->X = X;
  volume->dataType = dataType;
  volume->colorType = colorType;
}

void fill_in_VOI(Volume* volume, int z0, int z1, int y0, int y1, int x0, int x1) {
  if (volume == nullptr) return;
  volume->voiZ0 = z0;
  volume->voiZ1 = z1;
  volume->voiY0 = y0;
  volume->voiY1 = y1;
  volume->voiX0 = x0;
  volume->voiX1 = x1;
}

int CreateVolume(Volume* volume) {
  if (volume == nullptr) return kNullVolume;
  if (!v3d::validType(volume->dataType)) {
    volume->dataType = 0;
    return kWrongDataType;
  }
  if (!v3d::validColor(volume->colorType)) {
    volume->dataType = 0;
    return kWrongColorType;
  }
  if (volume->Z <= 0 || volume->Y <= 0 || volume->X <= 0) {
    volume->dataType = 0;
    return kInvalidParameters;
  }
  const int channels = v3d::channelCount(*volume);
  const std::size_t element = v3d::sampleSize(volume->dataType);
  for (int c = 0; c < 3; ++c) volume->channel[c] = nullptr;
  for (int c = 0; c < channels; ++c) {
    void** block = v3d::allocateChannel(volume->Z, volume->Y, volume->X, element);
    if (block == nullptr) {
      for (int k = 0; k < c; ++k) {
        v3d::releaseChannel(static_cast<void**>(volume->channel[k]), volume->Z, volume->Y);
        volume->channel[k] = nullptr;
      }
      volume->dataType = 0;
      return kCannotAllocateVolume;
    }
    volume->channel[c] = block;
  }
  fill_in_VOI(volume, 0, volume->Z, 0, volume->Y, 0, volume->X);
  return 0;
}

void DestroyVolume(Volume* volume) {
  if (volume == nullptr || !v3d::validType(volume->dataType) ||
      !v3d::validColor(volume->colorType) || volume->Z <= 0 || volume->Y <= 0 || volume->X <= 0)
    return;
  const int channels = v3d::channelCount(*volume);
  for (int c = 0; c < channels; ++c) {
    v3d::releaseChannel(static_cast<void**>(volume->channel[c]), volume->Z, volume->Y);
    volume->channel[c] = nullptr;
  }
  volume->information[0] = '\0';
  volume->dataType = 0;
}

int CheckVolume(Volume* volume, int typeMask, int colorMask) {
  if (volume == nullptr) return kNullVolume;
  if (typeMask == 0 && volume->dataType == 0) return 0;
  if ((volume->dataType & typeMask) == 0) return kWrongDataType;
  if ((volume->colorType & colorMask) == 0) return kWrongColorType;
  if (v3d::validType(volume->dataType)) {
    const int channels = v3d::channelCount(*volume);
    for (int c = 0; c < channels; ++c)
      if (volume->channel[c] == nullptr) return kNullSequence;
  }
  const Volume& v = *volume;
  if (!(0 <= v.voiZ0 && v.voiZ0 < v.voiZ1 && v.voiZ1 <= v.Z && 0 <= v.voiY0 && v.voiY0 < v.voiY1 &&
        v.voiY1 <= v.Y && 0 <= v.voiX0 && v.voiX0 < v.voiX1 && v.voiX1 <= v.X))
    return kInvalidVoi;
  return 0;
}

int GetNewVolumeIndex(void) {
  for (int i = 0; i < v3d::kTableSlots; ++i)
    if (g_table[i].dataType == 0) return i;
  return V3D_NO_FREE_SLOT;
}

int GetVolumeIndex(Volume* volume) {
  for (int i = 0; i < v3d::kTableSlots; ++i)
    if (&g_table[i] == volume) return i;
  return v3d::kTableSlots;
}

int CreateVolumeEx(int dataType, int colorType, int Z, int Y, int X, const char* /*title*/,
                   Volume** out) {
  const int index = GetNewVolumeIndex();
  if (index < 0) return 612;
  Volume* slot = &g_table[index];
  InitializeVolume(slot, Z, Y, X, dataType, colorType);
  const int code = CreateVolume(slot);
  if (code != 0) {
    if (out != nullptr) *out = nullptr;
    return code;
  }
  fill_in_VOI(slot, 0, Z, 0, Y, 0, X);
  if (out != nullptr) *out = slot;
  return 0;
}

int VerifyVolumeReallocation(void* ownerWindow) {
  return v3d::askYesNo(ownerWindow, kAskReallocateOutput);
}

}  // extern "C"
