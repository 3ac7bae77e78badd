#include "shadeview/qt/render_view.h"

#include <GL/gl.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QOpenGLContext>

#include "core/result_codes.h"
#include "core/text_ids.h"
#include "shadeview/module_texts.h"

namespace v3d::shade::qt {
namespace {

RenderView* g_current = nullptr;

// The coordinates window's colour readout kind.
constexpr int kReadoutColour = 2;

}  // namespace

RenderView::RenderView(const ProgramBindings* program, QWidget* parent)
    : QOpenGLWidget(parent), program_(program) {
  setFormat(requestedFormat());
  setMouseTracking(true);  // the readout follows the pointer without a button held
  setObjectName("ShadeviewWindow");
}

RenderView::~RenderView() {
  if (onClosing) onClosing();
  if (g_current == this) g_current = nullptr;
  if (program_ != nullptr) {
    program_->setItem(kItemRender, V3D_MF_ENABLED);
    for (int item : {kItemColours, kItemSnapshot, kItemMovie})
      program_->setItem(item, V3D_MF_GRAYED);
  }
  if (isValid()) {
    makeCurrent();
    scene_.release();
    doneCurrent();
  }
}

QSurfaceFormat RenderView::requestedFormat() {
  QSurfaceFormat f;
  f.setRenderableType(QSurfaceFormat::OpenGL);
  f.setProfile(QSurfaceFormat::CompatibilityProfile);
  f.setVersion(2, 1);
  f.setDepthBufferSize(16);
  f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
  return f;
}

bool RenderView::fixedFunctionAvailable() {
  QOpenGLContext probe;
  probe.setFormat(requestedFormat());
  return probe.create() && !probe.isOpenGLES() &&
         probe.format().profile() != QSurfaceFormat::CoreProfile;
}

bool RenderView::ensureContext() {
  // A window not on screen yet gets its context and framebuffer when first grabbed.
  if (!isValid()) grabFramebuffer();
  return isValid() && fixedFunction_;
}

void RenderView::initializeGL() {
  const QOpenGLContext* context = QOpenGLContext::currentContext();
  fixedFunction_ = context != nullptr && !context->isOpenGLES() &&
                   context->format().profile() != QSurfaceFormat::CoreProfile;
}

void RenderView::resizeGL(int width, int height) {
  const qreal ratio = devicePixelRatioF();
  GlScene::resize(int(width * ratio), int(height * ratio));
}

void RenderView::paintGL() {
  renderNow();
}

void RenderView::renderNow() {
  if (!fixedFunction_) return;
  int w = 0, h = 0;
  viewportSize(w, h);
  GlScene::resize(w, h);
  scene_.render(rotation_);
}

int RenderView::setScene(const Scene& scene) {
  if (!isValid()) return kFileParsingError;
  makeCurrent();
  const int code = scene_.compile(scene);
  doneCurrent();
  rotation_ = {};
  update();
  return code;
}

std::vector<ObjectLook> RenderView::looks() const {
  std::vector<ObjectLook> out;
  for (std::size_t i = 0; i < scene_.objectCount(); ++i)
    out.push_back({scene_.object(i).colour, scene_.object(i).visible});
  return out;
}

void RenderView::setLook(int index, const ObjectLook& look) {
  if (index < 0 || static_cast<std::size_t>(index) >= scene_.objectCount()) return;
  SceneObject& o = scene_.object(static_cast<std::size_t>(index));
  o.colour = look.colour;
  o.visible = look.visible;
}

void RenderView::viewportSize(int& width, int& height) {
  const qreal ratio = devicePixelRatioF();
  width = int(this->width() * ratio);
  height = int(this->height() * ratio);
}

bool RenderView::readPixels(int width, int height, std::uint8_t* rgb) {
  if (!isValid() || !fixedFunction_) return false;
  makeCurrent();
  renderNow();
  glFinish();
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  while (glGetError() != GL_NO_ERROR) {
  }
  glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
  const bool ok = glGetError() == GL_NO_ERROR;
  doneCurrent();
  return ok;
}

void RenderView::setRotation(const ViewRotation& view) {
  rotation_ = view;
  if (isVisible())
    repaint();
  else
    update();
}

void RenderView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    dragging_ = true;
    last_ = event->position().toPoint();
  } else if (event->button() == Qt::RightButton) {
    rotation_ = {};
    update();
  }
}

void RenderView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
}

void RenderView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (dragging_) {
    // Half a degree a pixel, in whole degrees truncated toward zero.
    rotation_.y += (p.x() - last_.x()) / 2;
    rotation_.x += (p.y() - last_.y()) / 2;
    last_ = p;
    update();
  }
  if (program_ == nullptr || !isValid()) return;
  int w = 0, h = 0;
  viewportSize(w, h);
  const qreal ratio = devicePixelRatioF();
  const int x = int(p.x() * ratio), y = int(p.y() * ratio);
  std::uint8_t pixel[3] = {0, 0, 0};
  if (x >= 0 && y >= 0 && x < w && y < h) {
    makeCurrent();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, h - y - 1, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, pixel);
    doneCurrent();
  }
  program_->printCoordinates(kReadoutColour, p.x(), p.y(), 0, pixel[0], pixel[1], pixel[2]);
}

RenderView* CurrentRenderView() {
  return g_current;
}

RenderView* OpenRenderingWindow(const ProgramBindings* program, QWidget* frame, QMdiArea* mdi,
                                const std::string& path, int* code) {
  // One rendering window at a time: the menu item is greyed while one exists, but the
  // connections dialog may ask to render its script then; the new script replaces the old.
  if (RenderView* old = g_current) {
    QWidget* oldWindow = qobject_cast<QMdiSubWindow*>(old->parentWidget());
    delete (oldWindow != nullptr ? oldWindow : old);
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const auto fail = [&](int c) -> RenderView* {
    QApplication::restoreOverrideCursor();
    if (code != nullptr) *code = c;
    if (program != nullptr) program->errorHandler(c);
    return nullptr;
  };
  if (!RenderView::fixedFunctionAvailable()) return fail(kTextNoOpenGl);
  auto* view = new RenderView(program);
  QWidget* window = view;
  if (mdi != nullptr) {
    QMdiSubWindow* sub = mdi->addSubWindow(view);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(kRenderingTitle);
    // At (280, 50), 300 narrower and 70 lower than the frame's client area.
    const QSize client = frame != nullptr ? frame->size() : mdi->size();
    sub->setGeometry(280, 50, std::max(160, client.width() - 300),
                     std::max(120, client.height() - 70));
    window = sub;
  } else {
    view->setWindowTitle(kRenderingTitle);
    view->resize(800, 600);
  }
  window->show();
  if (!view->ensureContext()) {
    delete window;
    return fail(kTextNoOpenGl);
  }
  g_current = view;
  if (program != nullptr) {
    program->setItem(kItemRender, V3D_MF_GRAYED);
    for (int item : {kItemColours, kItemSnapshot, kItemMovie})
      program->setItem(item, V3D_MF_ENABLED);
  }
  Scene scene;
  int c = loadScene(path.c_str(), scene);
  if (c == 0) c = view->setScene(scene);
  if (c != 0) {
    delete window;
    return fail(c);
  }
  QApplication::restoreOverrideCursor();
  if (code != nullptr) *code = 0;
  return view;
}

}  // namespace v3d::shade::qt
