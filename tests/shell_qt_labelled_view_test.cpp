// The labelled volume view's dialog, the "Updating projections ..." box and the frame
// gallery's marker, offscreen: controls found by their ids, keyboard navigation, the closing
// question answered on a zero timer, volumes destroyed under an open view, and the marker's
// pixels on the shown picture.
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <cstring>

#include "core/result_codes.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/dialogs.h"
#include "shell/exports.h"
#include "shell/labelled_view.h"
#include "shell/projection_model.h"
#include "shell/qt/frame.h"
#include "shell/qt/labelled_view_dialog.h"
#include "shell/qt/qt_desk.h"
#include "shell/qt/window_registry.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

template <class W>
W* control(QWidget* parent, int id) {
  W* w = parent->findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << "control " << id;
  return w;
}

// Presses `button` in the next message box once it is up, keeping its text in `seen`.
void answerNextBox(QMessageBox::StandardButton button, QString* seen) {
  QTimer::singleShot(0, [button, seen] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      *seen = box->text();
      box->button(button)->click();
    }
  });
}

class QtLabelledViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    // Slot 0: three objects in slabs along x; slot 1: the colour output.
    ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 2, 6, 9, nullptr, &in), kSuccess);
    for (int z = 0; z < 2; ++z)
      for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 9; ++x) at<UC>(in, 0, z, y, x) = static_cast<UC>(x / 3 + 1);
    ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 2, 6, 9, nullptr, &out), kSuccess);
  }
  void TearDown() override {
    if (QPointer<qt::LabelledViewDialog> d = frame.desk().labelledViewDialog()) {
      delete d.data();
    }
    resetVolumeTable();
  }
  qt::LabelledViewDialog* openView() {
    auto view = std::make_unique<LabelledView>(0, 1, 3);
    EXPECT_EQ(view->open(), 0);
    EXPECT_TRUE(frame.desk().openLabelledView(std::move(view)));
    frame.desk().focusLabelledView();
    QApplication::processEvents();
    return frame.desk().labelledViewDialog();
  }
  int red(int x) { return at<UC>(out, 0, 1, 2, x); }
  qt::Frame frame;
  Volume* in = nullptr;
  Volume* out = nullptr;
};

TEST_F(QtLabelledViewTest, ControlsFollowThePresenterAndTheButtonsWriteTheOutput) {
  qt::LabelledViewDialog* d = openView();
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->objectName(), "122");
  EXPECT_EQ(d->windowTitle(), "Labelled Volume View");
  EXPECT_FALSE(d->isModal());
  auto* list = control<QListWidget>(d, LabelledView::kCtlObjects);
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(2)->text(), "Object 3");
  EXPECT_EQ(list->currentRow(), 0);
  auto* shown = control<QCheckBox>(d, LabelledView::kCtlDisplayObject);
  EXPECT_TRUE(shown->isChecked());
  auto* redEdit = control<QLineEdit>(d, LabelledView::kCtlRedEdit);
  auto* redBar = control<QScrollBar>(d, LabelledView::kCtlRedBar);
  auto* blueEdit = control<QLineEdit>(d, LabelledView::kCtlBlueEdit);
  auto* preview = control<QFrame>(d, LabelledView::kCtlPreview);
  auto* all = control<QPushButton>(d, LabelledView::kCtlUpdateAll);
  auto* current = control<QPushButton>(d, LabelledView::kCtlUpdateCurrent);
  EXPECT_EQ(redEdit->maxLength(), 3);
  EXPECT_EQ(redBar->maximum(), 255);
  const LabelledView& p = d->presenter();
  EXPECT_EQ(redEdit->text(), QString::number(p.component(0)));
  EXPECT_EQ(redBar->value(), p.component(0));
  EXPECT_EQ(preview->palette().color(QPalette::Window),
            QColor(p.component(0), p.component(1), p.component(2)));
  EXPECT_FALSE(all->isEnabled());
  EXPECT_FALSE(current->isEnabled());
  EXPECT_EQ(red(1), p.component(0)) << "the output is painted on opening";

  // Typing: each keystroke that makes a number takes it; others beep and restore the value.
  redEdit->setFocus();
  redEdit->selectAll();
  QTest::keyClicks(redEdit, "100");
  EXPECT_EQ(p.component(0), 100);
  EXPECT_EQ(redBar->value(), 100);
  EXPECT_EQ(preview->palette().color(QPalette::Window).red(), 100);
  EXPECT_TRUE(all->isEnabled());
  EXPECT_TRUE(current->isEnabled());
  redEdit->selectAll();
  QTest::keyClicks(redEdit, "x");
  EXPECT_EQ(redEdit->text(), "100");
  EXPECT_EQ(p.component(0), 100);

  // The scroll bar's page rule: up from 100 gives 188, then 255; down from 255 gives 167.
  redBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(p.component(0), 188);
  EXPECT_EQ(redBar->value(), 188);
  EXPECT_EQ(redEdit->text(), "188");
  redBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(redBar->value(), 255);
  redBar->triggerAction(QAbstractSlider::SliderPageStepSub);
  EXPECT_EQ(redBar->value(), 167);
  redBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(p.component(0), 166);
  current->click();
  EXPECT_EQ(red(1), 166);
  EXPECT_FALSE(current->isEnabled());

  // Object 2 hidden through its check box; Update Current blacks out exactly its voxels.
  list->setCurrentRow(1);
  EXPECT_EQ(p.current(), 2);
  EXPECT_EQ(blueEdit->text(), QString::number(p.component(2)));
  shown->click();
  EXPECT_FALSE(p.visible());
  EXPECT_TRUE(current->isEnabled());
  const int third = red(7);
  current->click();
  for (int x = 3; x < 6; ++x) EXPECT_EQ(red(x), 0);
  EXPECT_EQ(red(1), 166);
  EXPECT_EQ(red(7), third);
  EXPECT_FALSE(all->isEnabled());
}

TEST_F(QtLabelledViewTest, KeyboardNavigationAndTheClosingQuestion) {
  QPointer<qt::LabelledViewDialog> d = openView();
  ASSERT_FALSE(d.isNull());
  auto* list = control<QListWidget>(d, LabelledView::kCtlObjects);
  QApplication::setActiveWindow(d);
  list->setFocus();
  QTest::keyClick(list, Qt::Key_Down);
  EXPECT_EQ(d->presenter().current(), 2);
  QTest::keyClick(list, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), control<QCheckBox>(d, LabelledView::kCtlDisplayObject));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  EXPECT_FALSE(d->presenter().visible()) << "Space toggles the focused check box";
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), control<QLineEdit>(d, LabelledView::kCtlRedEdit));

  // Escape asks before an unwritten change is lost; Cancel keeps the view.
  QString question;
  answerNextBox(QMessageBox::Cancel, &question);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_EQ(question, "Update output volume before closing?");
  ASSERT_FALSE(d.isNull());
  EXPECT_TRUE(d->isVisible());
  // "Close" with Yes writes everything, then the dialog goes.
  question.clear();
  answerNextBox(QMessageBox::Yes, &question);
  control<QPushButton>(d, LabelledView::kCtlClose)->click();
  EXPECT_FALSE(question.isEmpty());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(d.isNull());
  EXPECT_FALSE(LabelledView::isOpen());
  for (int x = 3; x < 6; ++x) EXPECT_EQ(red(x), 0);
}

TEST_F(QtLabelledViewTest, DestroyingTheOutputUnderTheViewReportsEveryUpdate) {
  DisplayVolume(out);
  ASSERT_EQ(frame.windows().displaysOf(out).size(), 1u);
  qt::LabelledViewDialog* d = openView();
  ASSERT_NE(d, nullptr);
  control<QCheckBox>(d, LabelledView::kCtlDisplayObject)->click();
  // "D&estroy Volume" on the output, as the user would.
  VolumeDialog destroy(VolumeDialogKind::Destroy, "Destroy");
  destroy.open();
  ASSERT_TRUE(destroy.selectLabel("1"));
  destroy.destroySelected();
  EXPECT_EQ(out->dataType, 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame.windows().displaysOf(out).empty()) << "its display closed first";
  for (int button : {LabelledView::kCtlUpdateCurrent, LabelledView::kCtlUpdateAll}) {
    QString seen;
    answerNextBox(QMessageBox::Ok, &seen);
    control<QPushButton>(d, button)->click();
    EXPECT_EQ(seen, "ERROR: Output volume has been modified !!!");
  }
  // Reallocated as a fitting volume again, the view writes into it.
  ASSERT_EQ(ReallocateVolume(out, V3D_UC, V3D_THREE_CHANNELS, 2, 6, 9), 0);
  fillRandom(out, 5);
  control<QPushButton>(d, LabelledView::kCtlUpdateAll)->click();
  EXPECT_EQ(red(1), 0);
}

// A gallery of `v`, 3 frames to a row, shown through the desk.
qt::ProjectionWindow* showGallery(qt::Frame& frame, Volume* v, const char* title) {
  registerShellProjectionTypes();
  const GalleryParameters gp{0, v->Y, 0, v->X, 0, v->Z, 3, 0};
  int w = 0, h = 0;
  if (!galleryPictureSize(gp, &w, &h)) return nullptr;
  ProjectionPtr p(CreateProjection(kFrameGalleryType, v, sizeof gp));
  BufferPtr b(
      CreateBuffer(v->colorType == V3D_ONE_CHANNEL ? V3D_BUFFER_GREY : V3D_BUFFER_COLOUR, w, h));
  if (!p || !b) return nullptr;
  std::memcpy(p->extra, &gp, sizeof gp);
  if (produceGalleryPicture(*p, *b) != 0) return nullptr;
  if (!frame.desk().showProjection(std::move(p), std::move(b), title)) return nullptr;
  auto all = frame.windows().projectionsOf(v);
  return all.empty() ? nullptr : all.back();
}

class QtGalleryTest : public ::testing::Test {
 protected:
  void SetUp() override { resetVolumeTable(); }
  void TearDown() override { resetVolumeTable(); }
  qt::Frame frame;
};

TEST_F(QtGalleryTest, TheUpdatingBoxNamesTheGalleriesOfAChangedVolumeOnly) {
  Volume *v = nullptr, *other = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 30, 40, nullptr, &v), kSuccess);
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 30, 40, nullptr, &other), kSuccess);
  qt::ProjectionWindow* w = showGallery(frame, v, "Frame Gallery of Volume  0.");
  ASSERT_NE(w, nullptr);
  qt::QtDesk& desk = frame.desk();
  DisplayVolume(other);
  EXPECT_TRUE(desk.updatingTitles.isEmpty()) << "no projection windows, no box";
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x) at<UC>(v, 0, 0, y, x) = 9;
  DisplayVolume(v);
  EXPECT_EQ(desk.updatingTitles, QStringList{"Frame Gallery of Volume  0."});
  EXPECT_EQ(w->buffer()->plane[0][30][30], 9) << "the gallery was made again";
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(desk.updatingBox(), nullptr);
  EXPECT_EQ(frame.findChild<QDialog*>("125"), nullptr) << "the box is gone after the update";
  freedisWin(v);
}

TEST_F(QtGalleryTest, TheRedMarkerFollowsThePointerOnTheShownPictureOnly) {
  for (int color : {V3D_ONE_CHANNEL, V3D_THREE_CHANNELS}) {
    Volume* v = nullptr;
    ASSERT_EQ(CreateVolumeEx(V3D_UC, color, 5, 30, 40, nullptr, &v), kSuccess);
    fillRandom(v, 21);
    qt::ProjectionWindow* w = showGallery(frame, v, "Gallery");
    ASSERT_NE(w, nullptr);
    const V3dBuffer& b = *w->buffer();
    ASSERT_EQ(b.width, 300);
    ASSERT_EQ(b.height, 150);  // tiles of 100 x 75, two rows
    std::vector<UC> before;
    for (int c = 0; c < (color == V3D_ONE_CHANNEL ? 1 : 3); ++c)
      for (int y = 0; y < b.height; ++y)
        before.insert(before.end(), b.plane[c][y], b.plane[c][y] + b.width);
    auto bufferAt = [&](int x, int y) {
      return b.kind == V3D_BUFFER_GREY ? qRgb(b.plane[0][y][x], b.plane[0][y][x], b.plane[0][y][x])
                                       : qRgb(b.plane[0][y][x], b.plane[1][y][x], b.plane[2][y][x]);
    };
    auto move = [&](int x, int y) {
      QMouseEvent e(QEvent::MouseMove, QPointF(x, y), w->pane()->mapToGlobal(QPointF(x, y)),
                    Qt::NoButton, Qt::NoButton, Qt::NoModifier);
      QApplication::sendEvent(w->pane(), &e);
    };
    // Whether the shown picture has the marker exactly on tile (x0, y0) and nothing else red
    // that the buffer does not hold.
    auto marks = [&](int x0, int y0) {
      const QImage shown = w->picture().convertToFormat(QImage::Format_RGB32);
      for (int y = 0; y < b.height; ++y)
        for (int x = 0; x < b.width; ++x) {
          const int dx = x - x0, dy = y - y0;
          const bool inside = x0 >= 0 && dx >= 0 && dx < 100 && dy >= 0 && dy < 75;
          const bool border = inside && (dx < 2 || dy < 2 || dx >= 98 || dy >= 73);
          const QRgb want = border ? qRgb(255, 0, 0) : bufferAt(x, y);
          if (shown.pixel(x, y) != want) return false;
        }
      return true;
    };
    EXPECT_TRUE(marks(-1, -1)) << "no marker before the pointer comes";
    move(150, 20);
    ASSERT_TRUE(w->marker().has_value());
    EXPECT_EQ(w->marker()->frame, 1);
    EXPECT_TRUE(marks(100, 0));
    move(10, 80);
    EXPECT_TRUE(marks(0, 75)) << "the marker moved to frame 3";
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(120, 100),
                      w->pane()->mapToGlobal(QPointF(120, 100)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(w->pane(), &press);
    EXPECT_TRUE(marks(100, 75));
    const QImage grabbed = w->pane()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(grabbed.pixel(100, 90), qRgb(255, 0, 0)) << "the pane paints the marked picture";
    move(250, 100);  // where a sixth frame would be: the volume has five
    EXPECT_FALSE(w->marker().has_value());
    EXPECT_TRUE(marks(-1, -1));
    // The marker survives a new picture of the gallery and never reaches the buffer.
    move(150, 20);
    DisplayVolume(v);
    EXPECT_TRUE(marks(100, 0));
    std::vector<UC> after;
    for (int c = 0; c < (color == V3D_ONE_CHANNEL ? 1 : 3); ++c)
      for (int y = 0; y < b.height; ++y)
        after.insert(after.end(), b.plane[c][y], b.plane[c][y] + b.width);
    EXPECT_EQ(after, before);
    // Painting reuses the prepared picture while the samples stay; a module that draws into
    // the buffer and asks for a repaint sees its own samples.
    move(250, 100);
    const qint64 key = w->shownPicture().cacheKey();
    w->pane()->repaint();
    EXPECT_EQ(w->shownPicture().cacheKey(), key);
    for (int c = 0; c < (color == V3D_ONE_CHANNEL ? 1 : 3); ++c)
      b.plane[c][5][7] = static_cast<UC>(b.plane[c][5][7] ^ 0xFF);
    const QImage repainted = w->pane()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(repainted.pixel(7, 5), bufferAt(7, 5));
    freedisWin(v);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    resetVolumeTable();
  }
}

}  // namespace
}  // namespace v3d::test
