#include "shell/qt/align_toolbox_view.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <memory>

#include "core/text_ids.h"
#include "shell/dialogs.h"
#include "shell/qt/alignment_window.h"
#include "shell/qt/qtext.h"
#include "shell/qt/window_registry.h"

namespace v3d::shell::qt {
namespace {

using B = AlignmentToolBox;

// The buttons by rows of the tool box: moving through the range, shifting, turning, the two
// resets, saving, quitting. 0 leaves a cell empty; a button spans the cells up to the next one.
constexpr int kLayout[][4] = {
    {B::kFirst, B::kPrev, B::kNext, B::kLast},
    {B::kLeft10, B::kLeft1, B::kRight1, B::kRight10},
    {B::kUp10, B::kUp1, B::kDown1, B::kDown10},
    {B::kCcw5, B::kCcw1, B::kCw1, B::kCw5},
    {B::kResetCurrent, 0, B::kResetAll, 0},
    {B::kSaveCurrent, 0, B::kSaveAll, 0},
    {B::kQuit, 0, 0, 0},
};

}  // namespace

AlignToolBoxView::AlignToolBoxView(AlignmentToolBox& box, AlignmentWindow* window,
                                   QMdiSubWindow* sub, QWidget* frame)
    : QDialog(frame, Qt::Tool), box_(&box), window_(window), sub_(sub), frame_(frame) {
  setObjectName(QString::number(kDialogAlignToolBox));
  setWindowTitle(qtext(kTitleAlignToolBox));
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  auto* grid = new QGridLayout(this);
  grid->setSpacing(4);
  for (int row = 0; row < static_cast<int>(std::size(kLayout)); ++row)
    for (int column = 0; column < 4; ++column) {
      const int id = kLayout[row][column];
      if (id == 0) continue;
      int span = 1;
      while (column + span < 4 && kLayout[row][column + span] == 0) ++span;
      auto* b = new QPushButton(qtext(AlignmentToolBox::labelId(id)), this);
      b->setObjectName(QString::number(id));
      b->setAutoDefault(false);
      b->setFocusPolicy(Qt::NoFocus);  // the tool box takes no part in keyboard navigation
      grid->addWidget(b, row, column, 1, span);
      buttons_[id] = b;
      connect(b, &QPushButton::clicked, this, [this, id] {
        // A press may end the alignment, and this view with it: nothing after the call.
        if (box_ != nullptr) box_->press(id);
      });
    }
  box.setViews(this);
  if (sub_) sub_->installEventFilter(this);
  if (frame_) frame_->installEventFilter(this);
  if (window_) {
    window_->setToolBox(&box);
    // A window destroyed without closing (its frame going) ends the alignment with it.
    connect(window_.data(), &QObject::destroyed, this, [this] {
      // Its sub-window is going too: nothing of either is touched any more.
      window_.clear();
      sub_.clear();
      if (box_ != nullptr) endAlignment();
    });
  }
  alignmentChanged();
}

AlignToolBoxView::~AlignToolBoxView() {
  if (box_ == nullptr) return;
  // Destroyed while the alignment runs (its owner going): it ends here, quietly.
  box_->setViews(nullptr);
  box_ = nullptr;
  if (window_) window_->setToolBox(nullptr);
  endAlignment();
}

QPushButton* AlignToolBoxView::button(int id) const {
  const auto it = buttons_.find(id);
  return it == buttons_.end() ? nullptr : it->second;
}

void AlignToolBoxView::alignmentChanged() {
  if (box_ == nullptr) return;
  for (auto& [id, b] : buttons_) b->setEnabled(box_->enabled(id));
  if (window_) {
    window_->setPicture(box_->model().picture());
    const QString title = qs(box_->title());
    window_->setWindowTitle(title);
    if (sub_) sub_->setWindowTitle(title);
  }
}

void AlignToolBoxView::alignmentEnded() {
  box_ = nullptr;
  if (window_) window_->setToolBox(nullptr);
  if (sub_) sub_->close();
  close();
}

void AlignToolBoxView::askToClose() {
  // The question may end the alignment, and this view with it: nothing after the call.
  if (box_ != nullptr) box_->close();
}

void AlignToolBoxView::reject() {
  askToClose();
}

void AlignToolBoxView::closeEvent(QCloseEvent* event) {
  if (box_ == nullptr) {
    event->accept();
    return;
  }
  askToClose();  // this view is still alive here: its deletion is deferred
  // Ended by the answer: this close goes through (a close from inside it would not).
  event->setAccepted(box_ == nullptr);
}

bool AlignToolBoxView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Close && box_ != nullptr) {
    if (watched == sub_.data()) {
      // Closing the alignment window asks like the tool box's own closing; when the answer
      // ends the alignment, this close goes on.
      askToClose();
      if (box_ != nullptr) {
        event->ignore();
        return true;
      }
      return false;
    }
    if (watched == frame_.data()) endAlignment();  // the program ends: no question
  }
  return QDialog::eventFilter(watched, event);
}

int openAlignmentViews(AlignmentToolBox& box, QWidget* frame, WindowRegistry& windows) {
  QMdiArea* area = windows.area();
  if (area == nullptr) return kCannotCreateWindow;
  const AlignmentModel& m = box.model();
  ProjectionPtr projection(CreateProjection(kManualAlignmentType, m.input(), 0));
  if (!projection) return kCannotAllocateBuffer;
  auto owned = std::make_unique<AlignmentWindow>(std::move(projection), m.width(), m.height());
  AlignmentWindow* window = owned.get();
  QMdiSubWindow* sub = area->addSubWindow(owned.release());  // the area owns it now
  sub->setAttribute(Qt::WA_DeleteOnClose);
  sub->show();
  window->docked(sub);
  area->setActiveSubWindow(sub);
  auto* view = new AlignToolBoxView(box, window, sub, frame);  // owned by the frame
  view->adjustSize();
  view->move(sub->mapToGlobal(QPoint(sub->width() + 8, 0)));  // beside the picture, not on it
  view->show();
  return 0;
}

}  // namespace v3d::shell::qt
