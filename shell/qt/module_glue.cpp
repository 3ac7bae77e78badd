#include "shell/qt/module_glue.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QWheelEvent>
#include <string>

#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/command_ids.h"
#include "shell/commands.h"
#include "shell/qt/frame.h"

namespace v3d::shell::qt {

static_assert(host::kModuleIdLimit == kModuleCommandEnd,
              "the host hands out exactly the ids the main menu leaves free");

// ---- The menu sink --------------------------------------------------------------------

void ModuleMenu::createModulesPopup() {
  QMenuBar* bar = frame_.menuBar();
  QAction* plain = nullptr;
  for (QAction* a : bar->actions())
    if (a->objectName() == "modules" && a->menu() == nullptr) plain = a;
  modules_ = new QMenu(
      QString::fromUtf8(text(kMenuModules).data(), static_cast<int>(text(kMenuModules).size())),
      bar);
  modules_->setObjectName("modules");
  modules_->menuAction()->setObjectName("modules");
  if (plain != nullptr) {
    bar->insertMenu(plain, modules_);
    bar->removeAction(plain);
    delete plain;
  } else {
    bar->addMenu(modules_);
  }
}

int ModuleMenu::appendModulePopup(std::string_view title) {
  QMenu* m = modules_->addMenu(QString::fromUtf8(title.data(), static_cast<int>(title.size())));
  popups_.emplace_back(m);
  return static_cast<int>(popups_.size()) - 1;
}

QMenu* ModuleMenu::popup(int index) const {
  return index >= 0 && index < static_cast<int>(popups_.size()) ? popups_[index].data() : nullptr;
}

void ModuleMenu::appendSeparator(int index) {
  if (QMenu* m = popup(index)) m->addSeparator();
}

void ModuleMenu::appendItem(int index, int id, std::string_view label, bool greyed) {
  QMenu* m = popup(index);
  if (m == nullptr) return;
  QAction* a = m->addAction(QString::fromUtf8(label.data(), static_cast<int>(label.size())));
  a->setObjectName(QString::number(id));
  a->setEnabled(!greyed);
  Frame* frame = &frame_;
  QObject::connect(a, &QAction::triggered, frame,
                   [frame, id] { frame->command(static_cast<std::uintptr_t>(id)); });
}

void ModuleMenu::setItemGreyed(int index, int id, bool greyed) {
  QMenu* m = popup(index);
  if (m == nullptr) return;
  for (QAction* a : m->actions())
    if (a->objectName() == QString::number(id)) a->setEnabled(!greyed);
}

void ModuleMenu::enableSave() {
  setSaver([] { return host::moduleHost()->saveVolume(); });
  frame_.refreshMenu();
}

// ---- Messages for the hooks -------------------------------------------------------------

namespace {

std::intptr_t packPoint(int x, int y) {
  const auto packed =
      (static_cast<std::uint32_t>(y & 0xFFFF) << 16) | static_cast<std::uint32_t>(x & 0xFFFF);
  return static_cast<std::intptr_t>(packed);
}

std::uintptr_t keyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  std::uintptr_t w = 0;
  if (buttons & Qt::LeftButton) w |= V3D_MK_LBUTTON;
  if (buttons & Qt::RightButton) w |= V3D_MK_RBUTTON;
  if (buttons & Qt::MiddleButton) w |= V3D_MK_MBUTTON;
  if (modifiers & Qt::ShiftModifier) w |= V3D_MK_SHIFT;
  if (modifiers & Qt::ControlModifier) w |= V3D_MK_CONTROL;
  return w;
}

// The Win32 virtual-key code of a Qt key, or 0 for keys without one here.
unsigned int virtualKey(int key) {
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
    return static_cast<unsigned int>(key);  // the same codes
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12)
    return 0x70 + static_cast<unsigned int>(key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace:
      return 0x08;
    case Qt::Key_Tab:
      return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 0x0D;
    case Qt::Key_Shift:
      return 0x10;
    case Qt::Key_Control:
      return 0x11;
    case Qt::Key_Alt:
      return 0x12;
    case Qt::Key_Escape:
      return 0x1B;
    case Qt::Key_Space:
      return 0x20;
    case Qt::Key_PageUp:
      return 0x21;
    case Qt::Key_PageDown:
      return 0x22;
    case Qt::Key_End:
      return 0x23;
    case Qt::Key_Home:
      return 0x24;
    case Qt::Key_Left:
      return 0x25;
    case Qt::Key_Up:
      return 0x26;
    case Qt::Key_Right:
      return 0x27;
    case Qt::Key_Down:
      return 0x28;
    case Qt::Key_Insert:
      return 0x2D;
    case Qt::Key_Delete:
      return 0x2E;
    default:
      return 0;
  }
}

}  // namespace

std::vector<ModuleMessage> moduleMessages(const QEvent& event) {
  switch (event.type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
      const auto& e = static_cast<const QMouseEvent&>(event);
      const QPoint p = e.position().toPoint();
      const std::uintptr_t w = keyFlags(e.buttons(), e.modifiers());
      const std::intptr_t l = packPoint(p.x(), p.y());
      const bool left = e.button() == Qt::LeftButton, right = e.button() == Qt::RightButton;
      switch (event.type()) {
        case QEvent::MouseMove:
          return {{V3D_WM_MOUSEMOVE, w, l}};
        case QEvent::MouseButtonPress:
          if (left) return {{V3D_WM_LBUTTONDOWN, w, l}};
          if (right) return {{V3D_WM_RBUTTONDOWN, w, l}};
          return {};
        case QEvent::MouseButtonRelease:
          if (left) return {{V3D_WM_LBUTTONUP, w, l}};
          if (right) return {{V3D_WM_RBUTTONUP, w, l}};
          return {};
        default:
          if (left) return {{V3D_WM_LBUTTONDBLCLK, w, l}};
          if (right) return {{V3D_WM_RBUTTONDOWN, w, l}};
          return {};
      }
    }
    case QEvent::Wheel: {
      const auto& e = static_cast<const QWheelEvent&>(event);
      const int delta = e.angleDelta().y();
      const QPoint g = e.globalPosition().toPoint();
      const std::uintptr_t w = keyFlags(e.buttons(), e.modifiers()) |
                               (static_cast<std::uintptr_t>(delta & 0xFFFF) << 16);
      return {{V3D_WM_MOUSEWHEEL, w, packPoint(g.x(), g.y())}};
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const auto& e = static_cast<const QKeyEvent&>(event);
      std::vector<ModuleMessage> out;
      if (const unsigned int vk = virtualKey(e.key()); vk != 0) {
        if (event.type() == QEvent::KeyRelease) return {{V3D_WM_KEYUP, vk, 0xC0000001}};
        out.push_back({V3D_WM_KEYDOWN, vk, 1});
      }
      const QString t = e.text();
      if (event.type() == QEvent::KeyPress && t.size() == 1 && t[0].unicode() > 0 &&
          t[0].unicode() < 256)
        out.push_back({V3D_WM_CHAR, t[0].unicode(), 1});
      return out;
    }
    case QEvent::Paint:
      return {{V3D_WM_PAINT, 0, 0}};
    case QEvent::Resize: {
      const QSize s = static_cast<const QResizeEvent&>(event).size();
      return {{V3D_WM_SIZE, 0, packPoint(s.width(), s.height())}};
    }
    case QEvent::Close:
      return {{V3D_WM_CLOSE, 0, 0}};
    default:
      return {};
  }
}

bool runModuleHooks(host::HookList list, QWidget* window, QEvent* event) {
  host::ModuleHost* h = host::moduleHost();
  if (h == nullptr || h->hookCount(list) == 0) return false;
  bool handled = false;
  for (const ModuleMessage& m : moduleMessages(*event))
    handled |= h->walkHooks(list, window, m.message, m.wParam, m.lParam).handled;
  if (handled) event->accept();
  return handled;
}

// ---- The menu tree ----------------------------------------------------------------------

namespace {

void printActions(const QList<QAction*>& actions, int depth, std::FILE* out) {
  const std::string indent(static_cast<std::size_t>(depth) * 2, ' ');
  for (const QAction* a : actions) {
    if (a->isSeparator()) {
      std::fprintf(out, "%s-\n", indent.c_str());
      continue;
    }
    std::fprintf(out, "%s%s%s\n", indent.c_str(), a->text().toUtf8().constData(),
                 a->isEnabled() ? "" : " (greyed)");
    if (const QMenu* m = a->menu()) printActions(m->actions(), depth + 1, out);
  }
}

}  // namespace

void printMenus(const QMenuBar& bar, std::FILE* out) {
  printActions(bar.actions(), 0, out);
}

}  // namespace v3d::shell::qt
