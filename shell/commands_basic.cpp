// The Basic and Rearrangement menus: clearing and copying volumes, the logical operations,
// the type conversions and the symmetric volume.
#include "core/basic_ops.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/command_table.h"

namespace v3d::shell {
namespace {

void cmdClear(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectVolumeToClear, V3D_ANY_TYPE, V3D_ANY_COLOR, true)) return;
  const int title = r.in->dataType == V3D_F   ? kTitleClearF
                    : r.in->dataType == V3D_I ? kTitleClearI
                                              : kTitleClearUC;
  const bool colour = r.in->colorType != V3D_ONE_CHANNEL;
  const bool ok =
      colour ? r.askValues(title, {kPromptChannel1, kPromptChannel2, kPromptChannel3}, false, true)
             : r.askValues(title, {kPromptChannel1}, false, true);
  if (!ok) return;
  r.busy();
  r.out = r.in;
  r.finish(ClearVolume(r.in, r.floats.data()));
}

// The output's required size is the input's VOI; offsets are asked only for an existing
// output that already fits.
void cmdCopy(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputToCopy, V3D_ANY_TYPE, V3D_ANY_COLOR)) return;
  const int X = r.in->voiX1 - r.in->voiX0, Y = r.in->voiY1 - r.in->voiY0,
            Z = r.in->voiZ1 - r.in->voiZ0;
  if (!r.askOutput(kTitleSelectOutputForCopy, X, Y, Z)) return;
  int zOff = 0, yOff = 0, xOff = 0;
  if (r.outIsNew) {
    if (!r.prepareOutput(0, 0, X, Y, Z)) return;
  } else {
    const int fit =
        PrepareOutputVolume(r.out, X, Y, Z, r.in->dataType, r.in->colorType, kFitAtLeastAsLarge);
    if (fit == kOutputRefused || fit == kOutputReallocationFailed) return;
    if (fit == kOutputReallocated) {
      r.outMadeHere = true;
    } else {
      if (!r.askValues(kTitleCopyOffsets, {kPromptXOffset, kPromptYOffset, kPromptZOffset})) return;
      xOff = r.ints[0];
      yOff = r.ints[1];
      zOff = r.ints[2];
    }
    r.busy();
  }
  r.finish(CopyVolume(r.in, r.out, zOff, yOff, xOff));
}

void cmdLogical(Desk& desk, int (*op)(Volume*, Volume*, Volume*)) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  if (!r.askSecondInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  if (!r.askOutput(kTitleSelectOutputVolume, r.in->X, r.in->Y, r.in->Z)) return;
  if (!r.prepareOutput(0, 0, r.in->X, r.in->Y, r.in->Z)) return;
  r.finish(op(r.in, r.in2, r.out));
}

}  // namespace

CommandList basicCommands() {
  return {
      {kCmdClear, cmdClear},
      {kCmdCopy, cmdCopy},
      {kCmdAnd, [](Desk& d) { cmdLogical(d, and3d); }},
      {kCmdOr, [](Desk& d) { cmdLogical(d, or3d); }},
      {kCmdXor, [](Desk& d) { cmdLogical(d, xor3d); }},
      row(kCmdUCToF)
          .input(V3D_UC, V3D_ANY_COLOR)
          .outputType(V3D_F)
          .notInPlace()
          .runs([](CommandRun& r) {
            return UCVolume2FVolume(r.in, r.out, r.in->voiZ0, r.in->voiY0, r.in->voiX0);
          }),
      row(kCmdFToUCScaling)
          .input(V3D_F, V3D_ANY_COLOR)
          .outputType(V3D_UC)
          .notInPlace()
          .runs([](CommandRun& r) {
            return FVolume2UCVolume_norm(r.in, r.out, r.in->voiZ0, r.in->voiY0, r.in->voiX0);
          }),
      row(kCmdFToUCTruncation)
          .input(V3D_F, V3D_ANY_COLOR)
          .outputType(V3D_UC)
          .notInPlace()
          .runs([](CommandRun& r) {
            return FVolume2UCVolume(r.in, r.out, r.in->voiZ0, r.in->voiY0, r.in->voiX0);
          }),
      // Rearrangement
      row(kCmdSymmetric).input(V3D_UC, V3D_ANY_COLOR).runs([](CommandRun& r) {
        return Symmetric3d(r.in, r.out);
      }),
  };
}

}  // namespace v3d::shell
