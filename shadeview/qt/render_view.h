// The "Surface Rendering" window: a QOpenGLWidget with a compatibility-profile context that
// draws the scene with the fixed-function pipeline, turns it with the mouse, reports the colour
// under the pointer through PrintCoordinates, and serves the snapshot and the movie.
#pragma once

#include <QOpenGLWidget>
#include <QPoint>
#include <functional>
#include <string>
#include <vector>

#include "shadeview/capture.h"
#include "shadeview/colour_dialog.h"
#include "shadeview/gl_scene.h"
#include "shadeview/program.h"

class QMdiArea;
class QMdiSubWindow;

namespace v3d::shade::qt {

class RenderView final : public QOpenGLWidget, public PictureSource {
 public:
  // `program` may be null (tests without the program): no menu states and no readout then.
  explicit RenderView(const ProgramBindings* program, QWidget* parent = nullptr);
  ~RenderView() override;

  // The format every rendering context asks for: compatibility profile, 16-bit depth, double
  // buffered.
  static QSurfaceFormat requestedFormat();

  // Whether a context of that format with the fixed-function pipeline can be made at all. Asked
  // before a window is made: a QOpenGLWidget whose context fails keeps that context for good.
  static bool fixedFunctionAvailable();

  // Makes sure the context exists (a hidden window gets one too) and offers the fixed-function
  // pipeline. False when no such context can be had.
  bool ensureContext();

  // Compiles `scene` into display lists. 0 or kFileParsingError.
  int setScene(const Scene& scene);

  std::vector<ObjectLook> looks() const;
  void setLook(int index, const ObjectLook& look);

  // PictureSource.
  void viewportSize(int& width, int& height) override;
  bool readPixels(int width, int height, std::uint8_t* rgb) override;
  ViewRotation rotation() const override { return rotation_; }
  void setRotation(const ViewRotation& view) override;

  // Called when the window goes (the module closes its colour dialog then).
  std::function<void()> onClosing;

 protected:
  void initializeGL() override;
  void resizeGL(int width, int height) override;
  void paintGL() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  // Renders into the widget's framebuffer now; the context must be current.
  void renderNow();

  const ProgramBindings* program_;
  GlScene scene_;
  ViewRotation rotation_;
  bool dragging_ = false;
  QPoint last_;
  bool fixedFunction_ = false;
};

// Opens the rendering window on `path` in `mdi`, sized from `frame`'s client area: the wait
// cursor, the context (kOpenGlUnsupported), the script (kFopenError, kFileParsingError), the
// menu states. Reports failures through the program's error_handler (or returns them only,
// when `program` is null) and leaves no window then. Returns the window's view or null.
RenderView* OpenRenderingWindow(const ProgramBindings* program, QWidget* frame, QMdiArea* mdi,
                                const std::string& path, int* code = nullptr);

// The rendering window's view while one exists.
RenderView* CurrentRenderView();

}  // namespace v3d::shade::qt
