#include "shell/qt/frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>

#include "core/strings.h"
#include "core/table.h"
#include "core/text_ids.h"
#include "shell/commands.h"
#include "shell/coordinates.h"
#include "shell/desk.h"
#include "shell/macro_recorder.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/exports.h"
#include "shell/qt/qt_desk.h"
#include "shell/qt/qtext.h"
#include "shell/qt/window_menu.h"
#include "shell/qt/window_registry.h"

namespace v3d::shell::qt {
namespace {

void closeThroughDesk(Volume* v) {
  if (Desk* d = v3d::shell::desk()) d->closeWindowsOf(v);
}

}  // namespace

void resetAllVois() {
  pointerModes().voxelWriting = false;
  for (int i = 0; i < kTableSlots; ++i) {
    Volume* v = volumeSlot(i);
    if (v->dataType != 0) fill_in_VOI(v, 0, v->Z, 0, v->Y, 0, v->X);
  }
}

Frame::Frame()
    : mdi_(new QMdiArea(this)),
      windows_(std::make_unique<WindowRegistry>(mdi_)),
      desk_(std::make_unique<QtDesk>(this, *windows_)) {
  setWindowRegistry(windows_.get());
  setObjectName(kClassFrame);
  setWindowTitle(qtext(kTextFrameTitle));
  mdi_->setObjectName(kClassMdiClient);
  setCentralWidget(mdi_);
  mdi_->viewport()->installEventFilter(this);
  statusBar();

  std::function<void(QWidget*, const std::vector<MenuNode>&)> build =
      [&](QWidget* parent, const std::vector<MenuNode>& nodes) {
        for (const MenuNode& n : nodes) {
          switch (n.kind) {
            case MenuNode::Separator:
              static_cast<QMenu*>(parent)->addSeparator();
              break;
            case MenuNode::Popup: {
              QMenu* m = parent == menuBar()
                             ? menuBar()->addMenu(qtext(n.textId))
                             : static_cast<QMenu*>(parent)->addMenu(qtext(n.textId));
              build(m, n.children);
              break;
            }
            case MenuNode::Placeholder: {
              QAction* a = menuBar()->addAction(qtext(n.textId));
              a->setObjectName(kModulesMenu);
              break;
            }
            case MenuNode::Command: {
              QAction* a = static_cast<QMenu*>(parent)->addAction(qtext(kMenuTextBase + n.id));
              a->setObjectName(QString::number(n.id));
              actions_[n.id] = a;
              if (n.id == kCmdCoordinates) a->setCheckable(true);
              const int id = n.id;
              connect(a, &QAction::triggered, this,
                      [this, id] { command(static_cast<std::uintptr_t>(id)); });
              break;
            }
          }
        }
      };
  build(menuBar(), mainMenu());
  addWindowMenu(*menuBar(), *mdi_);
  refreshMenu();
  // Keys of the File menu ("&Save" takes its key only while a saver makes it enabled).
  action(kCmdOpen)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  action(kCmdSave)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  action(kCmdExit)->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

  installReporter(desk_.get());
  installDesk(desk_.get());
  setVolumeWindowCloser(closeThroughDesk);
}

Frame::~Frame() {
  setReadoutListener(nullptr);
  setWindowRegistry(nullptr);
  setVolumeWindowCloser(nullptr);
  installDesk(nullptr);
  installReporter(nullptr);
}

QAction* Frame::action(int id) const {
  const auto it = actions_.find(id);
  return it == actions_.end() ? nullptr : it->second;
}

void Frame::refreshMenu() {
  for (auto& [id, a] : actions_) a->setEnabled(commandAvailable(id));
}

void Frame::command(std::uintptr_t wParam) {
  runMenuCommand(*desk_, wParam, moduleRouter);
  refreshMenu();  // the macro items follow the recording state
}

void Frame::closeEvent(QCloseEvent* event) {
  // While region growing waits for seeds its command still uses the volumes.
  if (seedPicking() != nullptr) {
    event->ignore();
    return;
  }
  // Destroying the frame closes every window and frees every volume; then the program ends,
  // plot windows open or not.
  mdi_->closeAllSubWindows();
  windows_->closePlots();
  resetVolumeTable();
  event->accept();
  QCoreApplication::quit();
}

bool Frame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == mdi_->viewport() && event->type() == QEvent::MouseButtonPress &&
      static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
    resetAllVois();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace v3d::shell::qt
