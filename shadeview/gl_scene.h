// The scene drawn with OpenGL 1.1's fixed-function pipeline: one display list per object,
// light 0, smooth shading and a 45-degree perspective. Every call needs a current
// compatibility-profile context; nothing here knows about windows or toolkits.
#pragma once

#include "shadeview/scene.h"

namespace v3d::shade {

// The viewer's turn of the scene, in degrees: about the X axis, then about the Y axis.
struct ViewRotation {
  double x = 0;
  double y = 0;
  bool operator==(const ViewRotation&) const = default;
};

class GlScene {
 public:
  // Compiles one display list per object of `scene` (specular white material, faces as
  // triangles with a normal per corner, lines as segments), replacing the lists compiled
  // before, and turns on the normalisation of normals. Returns 0, or kFileParsingError when
  // the context gives no list names. Keeps the scene's colours, visibility, centre and radius.
  int compile(const Scene& scene);

  // Deletes the lists; the context that compiled them must be current.
  void release();

  // The window's size changed: viewport, projection (45 degrees, near 1, far 10), identity
  // model-view, lighting and depth test on.
  static void resize(int width, int height);

  // Draws the visible objects at `view`.
  void render(const ViewRotation& view) const;

  std::size_t objectCount() const { return objects_.size(); }
  SceneObject& object(std::size_t i) { return objects_[i]; }
  const SceneObject& object(std::size_t i) const { return objects_[i]; }

 private:
  std::vector<SceneObject> objects_;  // colour and visibility only, no geometry
  std::vector<unsigned> lists_;
  std::array<float, 3> centre_{};
  double radius_ = 1.0;
};

}  // namespace v3d::shade
