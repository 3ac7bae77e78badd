#include "projector/viewer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "projector/texts.h"

namespace v3d::projector {
namespace {

template <class F>
F bind(V3dExportByOrdinalFn lookup, int ordinal) {
  return reinterpret_cast<F>(lookup(ordinal));
}

// A signed 16-bit half of a packed pointer position.
int unpack(std::intptr_t l, int shift) {
  return static_cast<std::int16_t>((static_cast<std::uint32_t>(l) >> shift) & 0xFFFF);
}

}  // namespace

bool bindProgram(V3dExportByOrdinalFn lookup, ProgramBindings& out) {
  if (lookup == nullptr) return false;
  ProgramBindings b;
  b.getInfo = bind<V3dGetVelmora3DInfoFn>(lookup, V3D_ORD_GetVelmora3DInfo);
  b.getInputVolume = bind<V3dGetInputVolumeFn>(lookup, V3D_ORD_GetInputVolume);
  b.createVolumeEx = bind<V3dCreateVolumeExFn>(lookup, V3D_ORD_CreateVolumeEx);
  b.displayVolume = bind<V3dDisplayVolumeFn>(lookup, V3D_ORD_DisplayVolume);
  b.errorHandler = bind<V3dErrorHandlerFn>(lookup, V3D_ORD_error_handler);
  b.destroyVolume = bind<V3dDestroyVolumeFn>(lookup, V3D_ORD_DestroyVolume);
  b.checkVolume = bind<V3dCheckVolumeFn>(lookup, V3D_ORD_CheckVolume);
  b.getVolumeIndex = bind<V3dGetVolumeIndexFn>(lookup, kOrdGetVolumeIndex);
  b.registerProjectionType =
      bind<V3dRegisterProjectionTypeFn>(lookup, V3D_ORD_RegisterProjectionType);
  b.createProjection = bind<V3dCreateProjectionFn>(lookup, V3D_ORD_CreateProjection);
  b.displayProjection = bind<V3dDisplayProjectionFn>(lookup, V3D_ORD_DisplayProjection);
  b.createBuffer = bind<V3dCreateBufferFn>(lookup, V3D_ORD_CreateBuffer);
  b.render.firstHit = bind<V3dProvoli3dFn>(lookup, V3D_ORD_Provoli3d);
  b.render.average = bind<V3dProvoliPlain3dFn>(lookup, V3D_ORD_ProvoliAvrg3d);
  b.render.maximum = bind<V3dProvoliPlain3dFn>(lookup, V3D_ORD_ProvoliMax3d);
  b.render.section = bind<V3dTomiRand2Fn>(lookup, V3D_ORD_TomiRand2);
  b.render.gradient = bind<V3dProvoli3dFn>(lookup, V3D_ORD_Provoli3dBinary);
  b.render.surface = bind<V3dProvoliSurfaceFn>(lookup, V3D_ORD_Provoli3dSurface);
  b.render.surfaceColour = bind<V3dProvoliSurfaceFn>(lookup, V3D_ORD_Provoli3dSurfaceColor);
  if (!b.bound()) return false;
  b.info = b.getInfo();
  out = b;
  return true;
}

const char* ruleName(Rule rule) {
  switch (rule) {
    case Rule::kFirstHit:
      return "First hit";
    case Rule::kAverage:
      return "Average";
    case Rule::kMaximum:
      return "Maximum";
    case Rule::kGradient:
      return "Gradient shaded";
    case Rule::kSurface:
      return "Depth shaded";
    case Rule::kSurfaceCued:
      return "Depth shaded, depth cued";
    case Rule::kColour:
      return "Colour shaded";
  }
  return "";
}

void turn(ViewParameters& p, int dx, int dy) {
  float a1 = p.angle1 + 0.5f * static_cast<float>(dx);
  a1 = std::fmod(a1, 360.0f);
  if (a1 > 180.0f) a1 -= 360.0f;
  if (a1 <= -180.0f) a1 += 360.0f;
  p.angle1 = a1;
  p.angle2 = std::clamp(p.angle2 + 0.5f * static_cast<float>(dy), -90.0f, 90.0f);
}

int pictureSide(const Volume& v) {
  const double x = v.voiX1 - v.voiX0, y = v.voiY1 - v.voiY0, z = v.voiZ1 - v.voiZ0;
  const double diagonal = std::ceil(std::sqrt(x * x + y * y + z * z)) + 4.0;
  return static_cast<int>(std::clamp(diagonal, 64.0, 1024.0));
}

int renderView(const Renderers& r, Volume* volume, const ViewParameters& p, unsigned char*** image,
               int side) {
  unsigned char t[3] = {p.thresholds[0], p.thresholds[1], p.thresholds[2]};
  const int crop = p.crop ? 1 : 0;
  const float a1 = p.angle1, a2 = p.angle2;
  if (p.section) return r.section(volume, image, side, side, a1, a2, crop, p.depth);
  switch (p.rule) {
    case Rule::kFirstHit:
      return r.firstHit(volume, image, side, side, a1, a2, crop, t);
    case Rule::kAverage:
      return r.average(volume, image, side, side, a1, a2, crop);
    case Rule::kMaximum:
      return r.maximum(volume, image, side, side, a1, a2, crop);
    case Rule::kGradient:
      return r.gradient(volume, image, side, side, a1, a2, crop, t);
    case Rule::kSurface:
      return r.surface(volume, image, side, side, a1, a2, crop, t, 0);
    case Rule::kSurfaceCued:
      return r.surface(volume, image, side, side, a1, a2, crop, t, 1);
    case Rule::kColour:
      return r.surfaceColour(volume, image, side, side, a1, a2, crop, t, 0);
  }
  return kInvalidParameters;
}

int Viewer::redraw(const Renderers& r) {
  if (buffer == nullptr || buffer->width != buffer->height) return lastCode = kInvalidParameters;
  lastCode = renderView(r, volume, view, buffer->plane, buffer->width);
  return lastCode;
}

MessageOutcome handleMessage(const Renderers& r, Viewer& viewer, unsigned int message,
                             std::uintptr_t wParam, std::intptr_t lParam) {
  switch (message) {
    case V3D_WM_UPDATE_PROJECTION:
      viewer.redraw(r);
      return {true, true};
    case V3D_WM_LBUTTONDOWN:
      viewer.dragging = true;
      viewer.dragX = unpack(lParam, 0);
      viewer.dragY = unpack(lParam, 16);
      return {true, false};
    case V3D_WM_MOUSEMOVE: {
      if (!viewer.dragging) return {};
      if ((wParam & V3D_MK_LBUTTON) == 0) {
        viewer.dragging = false;
        return {};
      }
      const int x = unpack(lParam, 0), y = unpack(lParam, 16);
      if (x == viewer.dragX && y == viewer.dragY) return {true, false};
      turn(viewer.view, x - viewer.dragX, y - viewer.dragY);
      viewer.dragX = x;
      viewer.dragY = y;
      viewer.redraw(r);
      return {true, true};
    }
    case V3D_WM_LBUTTONUP:
      if (!viewer.dragging) return {};
      viewer.dragging = false;
      return {true, false};
    default:
      return {};
  }
}

Volume* turntable(const ProgramBindings& program, const Viewer& viewer, int views) {
  if (views < 1 || viewer.buffer == nullptr) {
    program.errorHandler(kInvalidParameters);
    return nullptr;
  }
  const int side = viewer.buffer->width;
  Volume* out = nullptr;
  int code = program.createVolumeEx(V3D_UC, viewer.volume->colorType, views, side, side,
                                    kTurntableName, &out);
  if (code == 0 && out == nullptr) code = kCannotAllocateVolume;
  if (code != 0) {
    program.errorHandler(code);
    return nullptr;
  }
  std::snprintf(out->information, sizeof out->information, kTurntableName,
                program.getVolumeIndex(viewer.volume));
  const int channels = viewer.volume->colorType == V3D_ONE_CHANNEL ? 1 : 3;
  for (int k = 0; k < views; ++k) {
    ViewParameters p = viewer.view;
    p.angle1 = viewer.view.angle1 + 360.0f * static_cast<float>(k) / static_cast<float>(views);
    unsigned char** frame[3] = {};
    for (int c = 0; c < channels; ++c) frame[c] = static_cast<unsigned char***>(out->channel[c])[k];
    if ((code = renderView(program.render, viewer.volume, p, frame, side)) != 0) {
      program.destroyVolume(out);
      program.errorHandler(code);
      return nullptr;
    }
  }
  program.displayVolume(out);
  return out;
}

std::unique_ptr<Viewer> openViewer(const ProgramBindings& program, CommandUi& ui, int itemIndex,
                                   int projectionType) {
  if (itemIndex != 0 || !program.bound()) return nullptr;
  Volume* volume = nullptr;
  if (program.getInputVolume(V3D_UC, V3D_ANY_COLOR, kSelectInputTitle, &volume) == 0 ||
      volume == nullptr)
    return nullptr;
  if (const int code = program.checkVolume(volume, V3D_UC, V3D_ANY_COLOR); code != 0) {
    program.errorHandler(code);
    return nullptr;
  }
  auto viewer = std::make_unique<Viewer>();
  viewer->volume = volume;
  const int side = pictureSide(*volume);
  const int kind = volume->colorType == V3D_ONE_CHANNEL ? V3D_BUFFER_GREY : V3D_BUFFER_COLOUR;
  V3dProjection* projection = program.createProjection(projectionType, volume, 0);
  viewer->buffer = projection ? program.createBuffer(kind, side, side) : nullptr;
  if (viewer->buffer == nullptr) {
    program.errorHandler(kCannotAllocateBuffer);
    return nullptr;
  }
  ui.setBusy(true);
  const int code = viewer->redraw(program.render);
  ui.setBusy(false);
  // A view that cannot be drawn is said so; the window opens all the same, so that the view
  // can be changed.
  if (code != 0) program.errorHandler(code);
  char title[64];
  std::snprintf(title, sizeof title, kWindowTitle, program.getVolumeIndex(volume));
  viewer->window = program.displayProjection(projection, viewer->buffer, title);
  if (viewer->window == nullptr) return nullptr;
  return viewer;
}

}  // namespace v3d::projector
