// Surface and line scripts of the surface module, without a toolkit and without the volume
// library: contour chains traced from a segmented colour volume, the AutoCAD line and surface
// scripts written from them, the stitching of the contours of neighbouring frames, and the
// line-script reader that draws a script back into a volume.
//
// The only program function these need, CheckVolume, is passed in: the module passes the
// ordinal-bound export, tests and tools pass the volume library's own.
//
// Temporary files: a chain file per frame ("<prefix>.07") and a stitch file per frame pair,
// named by a prefix. The commands keep them in a private folder of their own (ScratchFolder),
// so two runs, or a read-only working directory, never meet.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "host/module_api.h"

namespace v3d::shade {

// An object's colour.
struct Rgb {
  int r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Object colours in order of first appearance; an object's index is its position.
using ColourTable = std::vector<Rgb>;

// Per object, the object its contours connect to in the frame above ("upper" target) and in
// the frame below ("lower" target), or -1.
struct Connection {
  int upper = -1;
  int lower = -1;
  friend bool operator==(const Connection&, const Connection&) = default;
};
using ConnectionTable = std::vector<Connection>;

inline constexpr const char* kChainPrefix = "~chn";
inline constexpr const char* kStitchPrefix = "~tri";
inline constexpr int kChainStep = 4;              // minStep of both script commands
inline constexpr double kStitchTolerance = 0.05;  // see StitchContours
inline constexpr double kStitchRatio = 1.05;
// The largest minStep whose steps still fit the chain file's signed bytes.
inline constexpr int kMaxChainStep = 126 * 126;

// "<prefix>.<z>" with z in at least two digits: frame 7 of "~chn" is "~chn.07".
std::string TemporaryFileName(const std::string& prefix, int z);

// Traces every frame of the volume's VOI (UC, three channels, objects painted in their own
// colours on black) into the chain file of that frame. Returns the number of objects (the
// size of `colours`, which it fills from empty) or a negative code: CheckVolume's, -4 for a
// missing prefix or table, -90 for minStep < 0 or > kMaxChainStep, -9, -600, -602. The
// volume is only read. On failure `colours` is left empty.
int BuildChains(V3dCheckVolumeFn checkVolume, Volume* volume, const char* prefix, int minStep,
                ColourTable* colours);

// Writes the line script of the chain files of frames z0 .. z1-1 (stopping at the first
// missing file), declaring layers 1 .. layers. 0 or -4, -600, -601, -602, -616.
int WriteLinesScript(const char* path, const char* prefix, float distance, int z0, int z1,
                     int layers);

// Stitches the contours of each frame pair (z, z+1), z0 <= z < z1-1, into the stitch files,
// matching equal objects and then the connections (`connections` holds one entry per object,
// `objects` of them). 0 or -4, -90, -600, -601, -602, -616.
int StitchContours(const char* chainPrefix, const char* stitchPrefix, int z0, int z1, int objects,
                   const ConnectionTable* connections, double tolerance = kStitchTolerance,
                   double ratio = kStitchRatio);

// Writes the surface script of the stitch files of frames z0 .. z1-1 (stopping at the first
// missing one), declaring layers 1 .. layers. 0 or -4, -600, -601, -602, -616.
int WriteSurfaceScript(const char* path, const char* chainPrefix, const char* stitchPrefix,
                       float distance, int z0, int z1, int layers);

// Draws the LINE records of the script at `path` into the volume (UC, three channels), each
// layer in its own colour. 0, 1 when something fell outside the volume, or a negative code:
// CheckVolume's, -4, -90 (distance < 1), -9, -548 (malformed script), -600 (cannot open).
int ReadLinesScript(V3dCheckVolumeFn checkVolume, Volume* volume, const char* path, int distance);
// The same on an open stream (read from its current position, not closed).
int ReadLinesScriptStream(V3dCheckVolumeFn checkVolume, Volume* volume, std::FILE* file,
                          int distance);

// The colour of layer `index` (0-based) of a script declaring `layers` layers.
Rgb LayerColour(int index, int layers);

// Removes "<prefix>.<z>" for z = z0, z0+1, ... up to z1 at most, stopping at the first file
// that does not exist.
void DeleteTemporaryFiles(const char* prefix, int z0, int z1);

// A private folder for the chain and stitch files of one command or dialog, made with
// mkdtemp under $TMPDIR (or /tmp) and removed, with whatever is left in it, when the object
// goes. valid() is false when it could not be made.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  bool valid() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  // "<folder>/<name>", the prefix to hand to the functions above.
  std::string prefix(const char* name) const;

 private:
  std::string path_;
};

// "-Build &Lines Script" after its questions: the chains of the volume's VOI frames into a
// scratch folder, the line script with N + 1 layers, the temporary files removed. 0 or the
// code to report through error_handler.
int BuildLinesScript(V3dCheckVolumeFn checkVolume, Volume* volume, const char* path,
                     float distance);

}  // namespace v3d::shade
