// Fixed-function drawing of the scene. The faces of an object go into its display list as one
// vertex-array draw (positions and normals interleaved), which the driver copies at compile
// time: the list holds the same triangles as per-vertex calls would, with one call per object
// instead of two per corner (200 000 faces: 146 ms to load, about 60 ms more to compile, CPU
// time under Mesa's software rasteriser). An indexed draw of the shared vertices measured no
// faster to redraw there, so the plain array stays.
#include "shadeview/gl_scene.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include "core/result_codes.h"

namespace v3d::shade {

int GlScene::compile(const Scene& scene) {
  release();
  glEnable(GL_NORMALIZE);
  std::vector<unsigned> lists;
  lists.reserve(scene.objects.size());
  std::vector<SceneObject> objects;
  objects.reserve(scene.objects.size());
  const GLfloat specular[] = {1.0f, 1.0f, 1.0f, 1.0f};
  for (const SceneObject& o : scene.objects) {
    const GLuint list = glGenLists(1);
    if (list == 0) {
      for (unsigned l : lists) glDeleteLists(l, 1);
      return kFileParsingError;
    }
    lists.push_back(list);
    glNewList(list, GL_COMPILE);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    if (!o.faces.empty()) {
      glEnableClientState(GL_VERTEX_ARRAY);
      glEnableClientState(GL_NORMAL_ARRAY);
      glVertexPointer(3, GL_FLOAT, 6 * sizeof(float), o.faces.data());
      glNormalPointer(GL_FLOAT, 6 * sizeof(float), o.faces.data() + 3);
      glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(o.faces.size() / 6));
      glDisableClientState(GL_NORMAL_ARRAY);
      glDisableClientState(GL_VERTEX_ARRAY);
    }
    if (!o.lines.empty()) {
      glEnableClientState(GL_VERTEX_ARRAY);
      glVertexPointer(3, GL_FLOAT, 3 * sizeof(float), o.lines.data());
      glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(o.lines.size() / 3));
      glDisableClientState(GL_VERTEX_ARRAY);
    }
    glEndList();
    SceneObject look;
    look.colour = o.colour;
    look.visible = o.visible;
    objects.push_back(std::move(look));
  }
  lists_ = std::move(lists);
  objects_ = std::move(objects);
  centre_ = scene.centre;
  radius_ = scene.radius > 0 ? scene.radius : 1.0;
  return 0;
}

void GlScene::release() {
  for (unsigned l : lists_) glDeleteLists(l, 1);
  lists_.clear();
  objects_.clear();
}

void GlScene::resize(int width, int height) {
  const double aspect = height == 0 ? double(width) : double(width) / double(height);
  glViewport(0, 0, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, aspect, 1.0, 10.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_LIGHTING);
  glEnable(GL_DEPTH_TEST);
}

void GlScene::render(const ViewRotation& view) const {
  const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 0.1f};
  const GLfloat diffuse[] = {0.7f, 0.7f, 0.7f, 0.7f};
  const GLfloat specular[] = {0.0f, 0.0f, 0.0f, 0.7f};
  const GLfloat position[] = {5.0f, 5.0f, 5.0f, 0.0f};  // directional
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
  glLightfv(GL_LIGHT0, GL_POSITION, position);
  glEnable(GL_LIGHT0);
  glShadeModel(GL_SMOOTH);

  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glPushMatrix();
  glTranslatef(0.0f, 0.0f, -2.0f);
  glRotated(view.x, 1.0, 0.0, 0.0);
  glRotated(view.y, 0.0, 1.0, 0.0);
  const double scale = 1.0 / radius_;
  glScaled(scale, scale, scale);
  glTranslatef(-centre_[0], -centre_[1], -centre_[2]);
  for (std::size_t i = 0; i < objects_.size(); ++i) {
    if (!objects_[i].visible) continue;
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, objects_[i].colour.data());
    glCallList(lists_[i]);
  }
  glPopMatrix();
}

}  // namespace v3d::shade
