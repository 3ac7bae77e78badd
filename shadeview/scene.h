// The rendering window's scene, read from an AutoCAD surface or line script without any
// graphics library: one object per script layer holding its faces (with the averaged vertex
// normals) and its line segments in scene coordinates, the scene's centre and radius, and each
// object's colour and visibility.
//
// Script grammar as the renderer reads it, line by line:
//   "3DFACE x,y,z" and the next two lines "x,y,z": a triangle on the current layer;
//   "LINE x,y,z" and the next line "x,y,z": a segment on the current layer;
//   "Layer" alone, then "Set" and a line with the layer number k: layer k becomes current;
//   "Layer" alone, then "New", a line with k and three more lines (the colour): the object
//   array grows to k entries;
//   every other line is ignored. Numbers are read in the C locale, whatever the program's.
// A script point (x, y, z) becomes the scene vertex (x, z, y): the layer height is the view's
// vertical axis.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace v3d::shade {

struct SceneObject {
  std::array<float, 4> colour{};  // red, green, blue, alpha as handed to the material
  bool visible = true;
  // Faces: per corner six floats, position then unit normal (zero when undefined).
  std::vector<float> faces;
  // Lines: per end point three floats.
  std::vector<float> lines;

  std::size_t faceCount() const { return faces.size() / 18; }
  std::size_t lineCount() const { return lines.size() / 6; }
};

struct Scene {
  std::vector<SceneObject> objects;  // index = layer number - 1
  std::array<float, 3> centre{};
  // Largest distance of a primitive corner from the centre; 1 when the scene has no extent,
  // so that the view's scale 1 / radius stays finite.
  double radius = 1.0;
};

// More layers than this in one script are taken as a damaged file rather than allocated.
inline constexpr int kMaxSceneLayers = 1 << 16;

// Parses script text into `scene`. Returns 0 or kFileParsingError (a "Layer" not followed by
// "Set" or "New", a missing layer number or corner, a layer number beyond kMaxSceneLayers);
// `scene` is replaced only on success.
int parseScene(std::string_view text, Scene& scene);

// Reads the script at `path`: 0, kFopenError when it cannot be opened or read, or the
// parser's code.
int loadScene(const char* path, Scene& scene);

// The default colour of object `index` of `count`: with e = ceil(ln count / ln 8), m = 2^e and
// s = 0.5 / e, red 0.5 + s (i mod m), green 0.5 + s ((i mod m^2) div m), blue 0.5 + s (i div
// m^2), alpha 0. A lone object (e = 0) is taken as e = 1, mid grey.
std::array<float, 4> defaultColour(int index, int count);

}  // namespace v3d::shade
