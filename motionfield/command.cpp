#include "motionfield/command.h"

#include <cstdio>

#include "motionfield/block_matching.h"
#include "motionfield/texts.h"

namespace v3d::motion::module {
namespace {

// The wait cursor from the options dialog's OK to the end of the command; ended early before
// a message is shown.
class BusyCursor {
 public:
  explicit BusyCursor(CommandUi& ui) : ui_(ui) { ui_.setBusy(true); }
  ~BusyCursor() { end(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
  void end() {
    if (on_) {
      on_ = false;
      ui_.setBusy(false);
    }
  }

 private:
  CommandUi& ui_;
  bool on_ = true;
};

// Creates a one-channel volume in the first free slot and writes `name` into its information
// text (the program's CreateVolumeEx takes a title but does not store it).
int createNamed(const ProgramBindings& program, int dataType, int Z, int Y, int X, const char* name,
                Volume*& out) {
  Volume* v = nullptr;
  const int code = program.createVolumeEx(dataType, V3D_ONE_CHANNEL, Z, Y, X, name, &v);
  if (code != 0) return code;
  if (v == nullptr) return kCannotAllocateVolume;
  std::snprintf(v->information, sizeof v->information, "%s", name);
  out = v;
  return 0;
}

void destroy(const ProgramBindings& program, Volume*& v) {
  if (v == nullptr) return;
  program.destroyVolume(v);
  v = nullptr;
}

}  // namespace

bool bindProgram(V3dExportByOrdinalFn lookup, ProgramBindings& out) {
  if (lookup == nullptr) return false;
  ProgramBindings b;
  b.getInfo = reinterpret_cast<V3dGetVelmora3DInfoFn>(lookup(V3D_ORD_GetVelmora3DInfo));
  b.getInputVolume = reinterpret_cast<V3dGetInputVolumeFn>(lookup(V3D_ORD_GetInputVolume));
  b.createVolumeEx = reinterpret_cast<V3dCreateVolumeExFn>(lookup(V3D_ORD_CreateVolumeEx));
  b.displayVolume = reinterpret_cast<V3dDisplayVolumeFn>(lookup(V3D_ORD_DisplayVolume));
  b.errorHandler = reinterpret_cast<V3dErrorHandlerFn>(lookup(V3D_ORD_error_handler));
  b.destroyVolume = reinterpret_cast<V3dDestroyVolumeFn>(lookup(V3D_ORD_DestroyVolume));
  b.getOutputVolume = reinterpret_cast<V3dGetOutputVolumeFn>(lookup(V3D_ORD_GetOutputVolume));
  if (!b.bound()) return false;
  b.info = b.getInfo();
  out = b;
  return true;
}

BlockMatchingRun runBlockMatching(const ProgramBindings& program, CommandUi& ui, int itemIndex) {
  BlockMatchingRun run;
  if (itemIndex != 0 || !program.bound()) return run;

  Volume* input = nullptr;
  if (program.getInputVolume(V3D_UC, V3D_ONE_CHANNEL, kSelectInputTitle, &input) == 0 ||
      input == nullptr)
    return run;
  BlockMatchingOptions o;
  if (!ui.askOptions(o)) return run;

  BusyCursor busy(ui);
  const auto report = [&](int code) {
    busy.end();
    run.reported = code;
    program.errorHandler(code);
    return run;
  };
  const auto warn = [&](int id) {
    busy.end();
    ui.showWarning(id);
    return run;
  };

  const int stepX = o.width - o.overlapX;
  const int stepY = o.height - o.overlapY;
  int frames = 0, rows = 0, columns = 0;
  int code = ComputeMotionFieldSize(input, o.width, o.height, stepX, stepY, o.depth, &frames, &rows,
                                    &columns);
  if (code == 0)
    code = createNamed(program, V3D_I, frames, rows, columns, kNameVectorX, run.vectorsX);
  if (code == 0)
    code = createNamed(program, V3D_I, frames, rows, columns, kNameVectorY, run.vectorsY);
  if (code == 0)
    code = EstimateMotionVectors(input, run.vectorsX, run.vectorsY, o.width, o.height, o.searchX,
                                 o.searchY, stepX, stepY, o.depth, o.method);
  if (code != 0) {
    // Nothing of a failed estimation is worth keeping.
    destroy(program, run.vectorsX);
    destroy(program, run.vectorsY);
    return report(code);
  }

  // The grey displays have one pixel per block, or the VOI's height and width when the field
  // is drawn too; they keep the vector volumes' frame count, so that the renderings find the
  // same frame range in both.
  int displayRows = rows;
  int displayColumns = columns;
  if (o.displayBits & kBitDrawField) {
    const int voiFrames = input->voiZ1 - input->voiZ0;
    const int voiHeight = input->voiY1 - input->voiY0;
    const int voiWidth = input->voiX1 - input->voiX0;
    // One field frame per frame pair inside the VOI: the drawing's frame range.
    if (createNamed(program, V3D_UC, voiFrames - o.depth, voiHeight, voiWidth, kNameField,
                    run.field) != 0)
      return warn(kWarnFieldVolume);
    code = DrawMotionField(run.vectorsX, run.vectorsY, run.field, input, o.width, o.height, stepX,
                           stepY, o.depth, voiFrames - 1, 255,
                           (o.displayBits & kBitSubsampled) ? 1 : 0);
    if (code != 0) return report(code);
    displayRows = voiHeight;
    displayColumns = voiWidth;
  }
  if (o.displayBits & kBitDisplayX) {
    if (createNamed(program, V3D_UC, frames, displayRows, displayColumns, kNameDisplayX,
                    run.displayX) != 0)
      return warn(kWarnDisplacementVolume);
    if ((code = DisplayDisplacement(run.vectorsX, run.displayX)) != 0) return report(code);
  }
  if (o.displayBits & kBitDisplayY) {
    if (createNamed(program, V3D_UC, frames, displayRows, displayColumns, kNameDisplayY,
                    run.displayY) != 0)
      return warn(kWarnDisplacementVolume);
    if ((code = DisplayDisplacement(run.vectorsY, run.displayY)) != 0) return report(code);
  }
  if (o.displayBits & kBitAmplitude) {
    if (createNamed(program, V3D_UC, frames, displayRows, displayColumns, kNameAmplitude,
                    run.amplitude) != 0)
      return warn(kWarnAmplitudeVolume);
    if ((code = DisplayAmplitude(run.vectorsX, run.vectorsY, run.amplitude)) != 0)
      return report(code);
  }

  busy.end();
  // The vector volumes stay in the table without a window.
  for (Volume* v : {run.field, run.displayX, run.displayY, run.amplitude})
    if (v != nullptr) program.displayVolume(v);
  return run;
}

}  // namespace v3d::motion::module
