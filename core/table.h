// The volume table: 100 Volume records that live for the whole run, the three remembered
// dialog choices, the listing used by the volume dialogs, and the fitting and reallocation
// of output volumes. The table is a static array, ready before main() in every program that
// links the library.
#pragma once

#include <string>
#include <vector>

#include "core/volume.h"

namespace v3d {

inline constexpr int kTableSlots = V3D_TABLE_SLOTS;

// The record of slot `index`, or nullptr outside 0..99.
Volume* volumeSlot(int index);

// Indexes remembered across volume dialogs; -1 until a dialog has set them.
struct TableChoices {
  int lastInput = -1;   // slot chosen in the last input-volume dialog
  int lastOutput = -1;  // slot chosen in the last output-volume dialog (the new index for "New")
  int offeredNew = -1;  // index the last list offered as its "New[%d]" entry
};
TableChoices& tableChoices();

// One entry of a volume dialog's list: the slot index in decimal, or "New[%d]".
struct VolumeListEntry {
  std::string label;
  int index;
  bool isNew;
};

// The slots whose data type and colour type match the masks, in slot order, followed by the
// "New[%d]" entry for the first free slot unless `noNewEntry` is set or no slot is free.
// Offering the new entry records its index in tableChoices().offeredNew.
std::vector<VolumeListEntry> listVolumes(int typeMask, int colorMask, bool noNewEntry);

// Results of PrepareOutputVolume.
inline constexpr int kOutputRefused = 3;
inline constexpr int kOutputReallocationFailed = 4;
inline constexpr int kOutputReallocated = 5;
inline constexpr int kOutputFits = 6;

// Fitting rules of PrepareOutputVolume.
inline constexpr int kFitExactly = 1;         // same X, Y, Z and types
inline constexpr int kFitAtLeastAsLarge = 2;  // at least as large, same types

// Decides whether `volume` fits an operation's output (exact == kFitExactly: same X, Y, Z and
// types; otherwise at least as large and the same types) and, if not, asks and reallocates it.
int PrepareOutputVolume(Volume* volume, int X, int Y, int Z, int dataType, int colorType,
                        int exact);
// Destroys and recreates `volume` with the given shape without asking; the code of
// CreateVolume.
int ReallocateVolume(Volume* volume, int dataType, int colorType, int Z, int Y, int X);

// Asks "Input volume will be modified. Continue?"; 0 only when the answer is No.
int VerifyInPlaceModification(void* ownerWindow);

// The shell installs this to close every window showing a volume before the volume is
// destroyed or reallocated; nullptr (the default) closes nothing. Returns the previous one.
using VolumeWindowCloser = void (*)(Volume*);
VolumeWindowCloser setVolumeWindowCloser(VolumeWindowCloser closer);
void closeVolumeWindows(Volume* volume);

// Destroys every allocated volume and clears every slot's text and the remembered choices:
// what the shell does at shutdown, and what tests do between cases.
void resetVolumeTable();

}  // namespace v3d
