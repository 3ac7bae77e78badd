// The projection viewer without a toolkit: the module's binding to the program (every export by
// ordinal), the view a window shows (rule, angles, thresholds, crop, oblique section), its
// rendering into the window's buffer, turning it by a drag, the messages of its window, the
// turntable volume and the command that opens a viewer. The Qt part adds the control panel
// and the module's entry points.
#pragma once

#include <cstdint>
#include <memory>

#include "host/module_api.h"

namespace v3d::projector {

// The program's projection functions the viewer draws with.
struct Renderers {
  V3dProvoli3dFn firstHit = nullptr;            // 96 Provoli3d
  V3dProvoliPlain3dFn average = nullptr;        // 98 ProvoliAvrg3d
  V3dProvoliPlain3dFn maximum = nullptr;        // 100 ProvoliMax3d
  V3dTomiRand2Fn section = nullptr;             // 103 TomiRand2
  V3dProvoli3dFn gradient = nullptr;            // 105 Provoli3dBinary
  V3dProvoliSurfaceFn surface = nullptr;        // 106 Provoli3dSurface
  V3dProvoliSurfaceFn surfaceColour = nullptr;  // 107 Provoli3dSurfaceColor
  bool bound() const {
    return firstHit && average && maximum && section && gradient && surface && surfaceColour;
  }
};

typedef int (*V3dGetVolumeIndexFn)(Volume*);
inline constexpr int kOrdGetVolumeIndex = 128;

// Every export of the program the module uses, bound by ordinal, and the shell information
// record fetched once when binding.
struct ProgramBindings {
  V3dGetVelmora3DInfoFn getInfo = nullptr;                       // 113
  V3dGetInputVolumeFn getInputVolume = nullptr;                  // 110
  V3dCreateVolumeExFn createVolumeEx = nullptr;                  // 111
  V3dDisplayVolumeFn displayVolume = nullptr;                    // 112
  V3dErrorHandlerFn errorHandler = nullptr;                      // 108
  V3dDestroyVolumeFn destroyVolume = nullptr;                    // 4
  V3dCheckVolumeFn checkVolume = nullptr;                        // 5
  V3dGetVolumeIndexFn getVolumeIndex = nullptr;                  // 128
  V3dRegisterProjectionTypeFn registerProjectionType = nullptr;  // 117
  V3dCreateProjectionFn createProjection = nullptr;              // 118
  V3dDisplayProjectionFn displayProjection = nullptr;            // 119
  V3dCreateBufferFn createBuffer = nullptr;                      // 120
  Renderers render;
  V3dShellInfo* info = nullptr;

  bool bound() const {
    return getInfo && getInputVolume && createVolumeEx && displayVolume && errorHandler &&
           destroyVolume && checkVolume && getVolumeIndex && registerProjectionType &&
           createProjection && displayProjection && createBuffer && render.bound();
  }
};

// Binds every export through the program's ordinal lookup and calls GetVelmora3DInfo once.
// False, leaving `out` untouched, when `lookup` is null or any ordinal answers null.
bool bindProgram(V3dExportByOrdinalFn lookup, ProgramBindings& out);

// The rules a viewer draws with, in the order of the panel's list.
enum class Rule {
  kFirstHit,
  kAverage,
  kMaximum,
  kGradient,
  kSurface,
  kSurfaceCued,
  kColour,
};
inline constexpr int kRuleCount = 7;
const char* ruleName(Rule rule);

struct ViewParameters {
  Rule rule = Rule::kMaximum;
  float angle1 = 30.0f;  // about the frame axis, (-180, 180]
  float angle2 = 20.0f;  // tilt toward it, [-90, 90]
  unsigned char thresholds[3] = {100, 100, 100};
  bool crop = false;
  bool section = false;  // the oblique section at `depth` instead of the rule
  float depth = 50.0f;   // percent of the depth extent
};

// Turns the view by a drag of (dx, dy) pixels, half a degree a pixel: right turns about the
// frame axis, down tilts. The first angle wraps into (-180, 180], the second stops at +-90.
void turn(ViewParameters& p, int dx, int dy);

// The side of a viewer's square picture: the VOI's diagonal and a margin, so that the box
// fits at every angle, within 64 to 1024.
int pictureSide(const Volume& volume);

// Draws the view of `volume` into `image` (one row array per channel of the volume, side rows
// of side bytes): the section when it is on, else the rule. The program's code or 0.
int renderView(const Renderers& r, Volume* volume, const ViewParameters& p, unsigned char*** image,
               int side);

// One open viewer: the volume, the window's buffer (owned by the window), the view and the
// state of a drag on the picture.
struct Viewer {
  Volume* volume = nullptr;
  V3dBuffer* buffer = nullptr;
  void* window = nullptr;  // what DisplayProjection returned
  ViewParameters view;
  bool dragging = false;
  int dragX = 0, dragY = 0;
  int lastCode = 0;  // of the last drawing

  // Draws the view into the buffer; on failure the buffer keeps its last picture.
  int redraw(const Renderers& r);
};

// What a message of a viewer's window did: the module handled it (the window does nothing
// more with it), and the picture changed.
struct MessageOutcome {
  bool handled = false;
  bool redrawn = false;
};
// The update request redraws; a left-button drag turns the view and redraws.
MessageOutcome handleMessage(const Renderers& r, Viewer& viewer, unsigned int message,
                             std::uintptr_t wParam, std::intptr_t lParam);

// Renders `views` views about the vertical axis, the first angle going from the viewer's by
// 360 / views a view, into a new UC volume of views frames of side x side (the volume's
// channels), shown with DisplayVolume. Returns the volume, or null after reporting the code
// through error_handler (a volume made for it is destroyed again).
Volume* turntable(const ProgramBindings& program, const Viewer& viewer, int views);

// How the command meets the user beside the program's dialogs.
class CommandUi {
 public:
  virtual ~CommandUi() = default;
  virtual void setBusy(bool busy) = 0;
};

// The command of item `itemIndex` (only item 0, "Projection &Viewer"): asks for a UC volume,
// makes the buffer and a projection record of `projectionType`, draws the initial view and
// opens the window. Returns the viewer, or null when cancelled or failed (a failure is
// reported through error_handler, and what was made is freed).
std::unique_ptr<Viewer> openViewer(const ProgramBindings& program, CommandUi& ui, int itemIndex,
                                   int projectionType);

}  // namespace v3d::projector
