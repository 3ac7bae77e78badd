// The Resizing menu: uniform zooming and decimation, 3-D and frame interpolation, binary
// frame interpolation and zero-frame padding.
//
// The output size of these commands follows from their parameters (the zoom factor, the
// interpolation factors, the frames inserted), so they ask their parameters before the
// output volume: the output dialog's "New" entry then offers the size the operation needs.
#include <algorithm>
#include <climits>
#include <cmath>

#include "algorithms/resampling.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_table.h"
#include "shell/desk.h"
#include "shell/dialogs.h"

namespace v3d::shell {
namespace {

struct Extents {
  int X, Y, Z;
};

Extents voiExtents(const Volume* v) {
  return {v->voiX1 - v->voiX0, v->voiY1 - v->voiY0, v->voiZ1 - v->voiZ0};
}

// A required extent, kept between 1 and the largest one a volume can have.
int extent(long long n) {
  return static_cast<int>(std::clamp<long long>(n, 1, INT_MAX));
}

// trunc(n * f) as the interpolations compute it; a factor they refuse asks for the VOI's own
// extent, and the operation then reports the factor.
int scaled(int n, float f) {
  if (!std::isfinite(f) || f <= 0.0f) return n;
  const float p = static_cast<float>(n) * f;
  return p >= 2147483647.0f ? INT_MAX : extent(static_cast<long long>(p));
}

// The frames of a frame interpolation by f: (n - 1) * k + 1 for a whole factor k,
// trunc(f * n) otherwise.
int interpolatedFrames(int n, float f) {
  if (!std::isfinite(f) || f <= 0.0f) return n;
  if (f == std::floor(f))
    return f >= 2147483647.0f
               ? INT_MAX
               : extent(static_cast<long long>(n - 1) * static_cast<long long>(f) + 1);
  return scaled(n, f);
}

// (n - 1) * step + 1 frames: the frames of the VOI `step` apart.
int spreadFrames(int n, int step) {
  return extent(static_cast<long long>(n - 1) * step + 1);
}

// The integer-factor commands: the input, the factor, the output of the size the factor
// needs, the operation (in, out, factor, 0, 0, 0).
using FactorOp = int (*)(Volume*, Volume*, int, int, int, int);
using RequiredSize = Extents (*)(Extents voi, int factor);

void cmdFactor(Desk& desk, int titleId, int promptId, RequiredSize required, FactorOp op) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ANY_COLOR)) return;
  if (!r.askValues(titleId, {promptId})) return;
  const Extents e = required(voiExtents(r.in), r.ints[0]);
  if (!r.askOutput(kTitleSelectOutputVolume, e.X, e.Y, e.Z)) return;
  if (!r.prepareOutput(0, 0, e.X, e.Y, e.Z)) return;
  r.finish(op(r.in, r.out, r.ints[0], 0, 0, 0));
}

Extents zoomed(Extents v, int k) {
  if (k < 1) return v;
  return {extent(static_cast<long long>(v.X) * k), extent(static_cast<long long>(v.Y) * k),
          extent(static_cast<long long>(v.Z) * k)};
}
Extents decimated(Extents v, int k) {
  if (k < 1) return v;
  return {(v.X + k - 1) / k, (v.Y + k - 1) / k, (v.Z + k - 1) / k};
}
Extents padded(Extents v, int k) {
  return {v.X, v.Y, k < 2 ? v.Z : spreadFrames(v.Z, k)};
}

// 3-D (frames false) or frame interpolation with the options dialog 116. With "Extract
// factors from output volume" the output dialog offers no new volume and the output's own
// size is required.
void cmdInterpolation(Desk& desk, bool frames) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ANY_COLOR)) return;
  InterpolationDialog d(frames);
  d.title = std::string(text(frames ? kTitleInterpolationFrame : kTitleInterpolation3d));
  if (desk.run(d) != 1) return;
  const bool fromOutput = d.extractFromOutput;
  const Extents v = voiExtents(r.in);
  Extents e = frames ? Extents{v.X, v.Y, interpolatedFrames(v.Z, d.z)}
                     : Extents{scaled(v.X, d.x), scaled(v.Y, d.y), scaled(v.Z, d.z)};
  if (!r.askOutput(kTitleSelectOutputVolume, e.X, e.Y, e.Z, fromOutput)) return;
  if (r.refuseSameOutput()) return;
  if (fromOutput) {
    if (r.out == nullptr) return;  // no new volume is offered
    e = {r.out->X, r.out->Y, r.out->Z};
  }
  if (!r.prepareOutput(0, 0, e.X, e.Y, e.Z)) return;
  const int whole = fromOutput ? 1 : 0;
  int code;
  if (frames)
    code = InterpolationFrameLinear3d(r.in, r.out, whole, d.z, 0, 0, 0);
  else if (d.linear)
    code = InterpolationLinear3d(r.in, r.out, whole, d.z, d.y, d.x, 0, 0, 0);
  else
    code = InterpolationNearestNeighbor3d(r.in, r.out, whole, d.z, d.y, d.x, 0, 0, 0);
  r.finish(code);
}

// Binary frame interpolation with the options dialog 119: one or two new frames between each
// pair, so the output needs (frames - 1) * step + 1 frames.
void cmdBinaryInterpolation(Desk& desk) {
  CommandRun r(desk);
  if (!r.askInput(kTitleSelectInputVolume, V3D_UC, V3D_ONE_CHANNEL)) return;
  BinaryInterpolationDialog d;
  if (desk.run(d) != 1) return;
  const Extents v = voiExtents(r.in);
  const int Z = spreadFrames(v.Z, d.factor());
  if (!r.askOutput(kTitleSelectOutputVolume, v.X, v.Y, Z)) return;
  if (r.refuseSameOutput()) return;
  if (!r.prepareOutput(0, 0, v.X, v.Y, Z)) return;
  r.finish(FrameInterpolationBinary(r.in, r.out, d.factor(), 0, 0, 0, d.edgeCoherence ? 1 : 0));
}

}  // namespace

CommandList resizingCommands() {
  return {
      {kCmdUniformZoom, [](Desk& d) { cmdFactor(d, kTitleZoom, kPromptZoom, zoomed, zoom3d); }},
      {kCmdUniformDecimation,
       [](Desk& d) { cmdFactor(d, kTitleDecimation, kPromptDecimation, decimated, decim3); }},
      {kCmdInterpolation3d, [](Desk& d) { cmdInterpolation(d, false); }},
      {kCmdFrameInterpolation, [](Desk& d) { cmdInterpolation(d, true); }},
      {kCmdBinaryFrameInterpolation, cmdBinaryInterpolation},
      {kCmdZeroFramePadding,
       [](Desk& d) { cmdFactor(d, kTitlePadding, kPromptPadding, padded, FrameZeroPadding); }},
  };
}

}  // namespace v3d::shell
