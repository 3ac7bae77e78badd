// The Qt views and the frame, offscreen: widgets found by their control ids, the list and
// its New entry, OK enabling, validation that keeps a dialog open, the menu from the command
// table, the right click on the bare frame and "E&xit".
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cstring>

#include "algorithms/order_statistics.h"
#include "core/image_sequence.h"
#include "core/strings.h"
#include "core/text_ids.h"
#include "shell/commands.h"
#include "shell/coordinates.h"
#include "shell/exports.h"
#include "shell/projection.h"
#include "shell/projection_model.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/exports.h"
#include "shell/qt/frame.h"
#include "shell/qt/open_view.h"
#include "shell/qt/progress_dialog.h"
#include "shell/qt/qt_desk.h"
#include "shell/qt/views.h"
#include "shell/qt/window_registry.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;

template <class W>
W* child(QWidget& parent, int id) {
  W* w = parent.findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << "control " << id;
  return w;
}

class QtViewTest : public ShellTest {};

TEST_F(QtViewTest, OutputDialogListsVolumesAndTheNewEntryAndEnablesOkOnSelection) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6);
  makeSlot(V3D_F, V3D_THREE_CHANNELS, 2, 3, 4);
  VolumeDialog d(VolumeDialogKind::Output);
  d.title = "Select Output Volume";
  d.suggestedX = 9;
  d.suggestedY = 8;
  d.suggestedZ = 7;
  qt::VolumeDialogView view(d);
  view.show();
  EXPECT_EQ(view.windowTitle(), "Select Output Volume");
  auto* list = child<QListWidget>(view, kCtlList);
  ASSERT_EQ(list->count(), 3);
  EXPECT_EQ(list->item(0)->text(), "0");
  EXPECT_EQ(list->item(2)->text(), "New[2]");
  auto* ok = child<QPushButton>(view, kCtlOk);
  list->setFocus();
  QApplication::processEvents();
  EXPECT_FALSE(ok->isEnabled()) << "the list taking the focus chooses nothing";
  EXPECT_EQ(d.selectedRow(), -1);
  list->setCurrentRow(1);
  EXPECT_TRUE(ok->isEnabled());
  EXPECT_EQ(child<QLineEdit>(view, kCtlX)->text(), "4");
  EXPECT_EQ(child<QLineEdit>(view, kCtlColorType)->text(), "3 Channels");
  EXPECT_EQ(child<QLineEdit>(view, kCtlDataType)->text(), "F");
  EXPECT_TRUE(child<QLineEdit>(view, kCtlX)->isReadOnly());
  list->setCurrentRow(2);
  auto* x = child<QLineEdit>(view, kCtlX);
  EXPECT_EQ(x->text(), "9");
  EXPECT_FALSE(x->isReadOnly()) << "a new volume's size can be typed";
  x->setText("12");
  child<QLineEdit>(view, kCtlInformation)->setText("result");
  QTest::mouseClick(ok, Qt::LeftButton);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_TRUE(d.chosenNew);
  EXPECT_EQ(d.resultX, 12);
  EXPECT_STREQ(volumeSlot(2)->information, "result");
}

TEST_F(QtViewTest, InputDialogKeepsItselfOpenOnAnInvalidVoi) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 4, 5, 6);
  VolumeDialog d(VolumeDialogKind::Input);
  qt::VolumeDialogView view(d);
  view.show();
  child<QListWidget>(view, kCtlList)->setCurrentRow(0);
  auto* low = child<QLineEdit>(view, kCtlLowVoi);
  EXPECT_EQ(low->text(), "0");
  EXPECT_EQ(child<QLineEdit>(view, kCtlUpVoi)->text(), "4");
  EXPECT_FALSE(low->isEnabled()) << "VOI fields follow Change VOI";
  child<QCheckBox>(view, kCtlChangeVoi)->setChecked(true);
  EXPECT_TRUE(low->isEnabled());
  low->setText("4");
  QTest::mouseClick(child<QPushButton>(view, kCtlOk), Qt::LeftButton);
  EXPECT_TRUE(view.isVisible());
  EXPECT_EQ(desk.lastMessage(), "Not appropriate VOI");
  low->setText("1");
  QTest::mouseClick(child<QPushButton>(view, kCtlOk), Qt::LeftButton);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(volumeSlot(0)->voiZ0, 1);
}

TEST_F(QtViewTest, DestroyDialogRemovesTheDestroyedLine) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1);
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 1, 1);
  VolumeDialog d(VolumeDialogKind::Destroy);
  qt::VolumeDialogView view(d);
  view.show();
  auto* destroy = child<QPushButton>(view, kCtlDestroy);
  EXPECT_FALSE(destroy->isEnabled());
  auto* list = child<QListWidget>(view, kCtlList);
  list->setCurrentRow(0);
  QTest::mouseClick(destroy, Qt::LeftButton);
  ASSERT_EQ(list->count(), 1);
  EXPECT_EQ(list->item(0)->text(), "1");
  EXPECT_EQ(volumeSlot(0)->dataType, 0);
  QTest::mouseClick(destroy, Qt::LeftButton);
  EXPECT_EQ(list->count(), 0);
  EXPECT_FALSE(destroy->isEnabled());
}

TEST_F(QtViewTest, ADoubleClickedLineConfirmsExceptInTheDestroyDialog) {
  makeSlot(V3D_UC, V3D_ONE_CHANNEL, 1, 2, 3);
  VolumeDialog d(VolumeDialogKind::Input);
  qt::VolumeDialogView view(d);
  view.show();
  auto* list = child<QListWidget>(view, kCtlList);
  const QPoint line = list->visualItemRect(list->item(0)).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, line);  // a double click's first
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, line);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(d.chosenIndex, 0);

  VolumeDialog destroy(VolumeDialogKind::Destroy);
  qt::VolumeDialogView destroyView(destroy);
  destroyView.show();
  auto* destroyList = child<QListWidget>(destroyView, kCtlList);
  const QPoint destroyLine = destroyList->visualItemRect(destroyList->item(0)).center();
  QTest::mouseClick(destroyList->viewport(), Qt::LeftButton, {}, destroyLine);
  QTest::mouseDClick(destroyList->viewport(), Qt::LeftButton, {}, destroyLine);
  EXPECT_TRUE(destroyView.isVisible());
  EXPECT_EQ(volumeSlot(0)->dataType, V3D_UC) << "a double click never destroys";
}

TEST_F(QtViewTest, ValueDialogShowsPromptsAndKeepsNineCharacters) {
  ValueDialog d(3);
  d.title = "Give Window Dimensions";
  d.prompts = {"X Dimension:", "Y Dimension:", "Z Dimension:", ""};
  qt::ValueDialogView view(d);
  view.show();
  EXPECT_EQ(view.objectName(), "109");
  EXPECT_EQ(child<QLabel>(view, ValueDialog::kFirstPrompt + 1)->text(), "Y Dimension:");
  EXPECT_EQ(view.findChild<QLineEdit*>(QString::number(ValueDialog::kFirstEdit + 3)), nullptr)
      << "three fields only";
  QTest::keyClicks(child<QLineEdit>(view, ValueDialog::kFirstEdit), "3");
  QTest::keyClicks(child<QLineEdit>(view, ValueDialog::kFirstEdit + 2), "12345678901");
  QTest::mouseClick(child<QPushButton>(view, kCtlOk), Qt::LeftButton);
  EXPECT_EQ(d.texts[0], "3");
  EXPECT_EQ(d.texts[2], "123456789");
}

TEST_F(QtViewTest, InterpolationOptionsDisableFieldsWithTheCheckBox) {
  InterpolationDialog d(false);
  qt::InterpolationView view(d);
  view.show();
  auto* z = child<QLineEdit>(view, InterpolationDialog::kCtlZ);
  auto* x = child<QLineEdit>(view, InterpolationDialog::kCtlX);
  EXPECT_TRUE(z->isEnabled());
  child<QCheckBox>(view, InterpolationDialog::kCtlExtract)->setChecked(true);
  EXPECT_FALSE(z->isEnabled());
  EXPECT_FALSE(x->isEnabled());
  InterpolationDialog f(true);
  qt::InterpolationView frameView(f);
  EXPECT_FALSE(child<QLineEdit>(frameView, InterpolationDialog::kCtlX)->isEnabled());
  EXPECT_EQ(child<QLineEdit>(frameView, InterpolationDialog::kCtlY)->text(), "1");
}

TEST_F(QtViewTest, FrameGalleryOptionsStayOpenOnAnInvalidCount) {
  FrameGalleryDialog d;
  qt::FrameGalleryView view(d);
  view.show();
  EXPECT_EQ(view.objectName(), "111");
  EXPECT_EQ(view.windowTitle(), "Frame Gallery Display Options");
  auto* frames = child<QLineEdit>(view, FrameGalleryDialog::kCtlFramesPerRow);
  EXPECT_EQ(frames->text(), "6");
  EXPECT_EQ(frames->selectedText(), "6");
  EXPECT_TRUE(child<QRadioButton>(view, FrameGalleryDialog::kCtlLinear)->isChecked());
  frames->setText("2.5");
  QTest::mouseClick(child<QPushButton>(view, kCtlOk), Qt::LeftButton);
  EXPECT_TRUE(view.isVisible());
  EXPECT_EQ(desk.lastMessage(), "Invalid parameters");
  frames->setText("3");
  child<QRadioButton>(view, FrameGalleryDialog::kCtlNearest)->setChecked(true);
  QTest::mouseClick(child<QPushButton>(view, kCtlOk), Qt::LeftButton);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(d.frames, 3);
  EXPECT_FALSE(d.linear);
}

TEST_F(QtViewTest, OpenDialogPanelFollowsTheKind) {
  OpenDialog d;
  qt::OpenDialogView view(d);
  view.show();
  auto* ext1 = child<QLineEdit>(view, kOpenExt1);
  auto* ext2 = child<QLineEdit>(view, kOpenExt2);
  auto* width = child<QLineEdit>(view, kOpenWidth);
  auto* colours = child<QComboBox>(view, kOpenColorType);
  EXPECT_EQ(ext1->text(), "tif");
  EXPECT_FALSE(width->isEnabled());
  EXPECT_FALSE(colours->isEnabled());
  const QStringList filters = view.nameFilters();
  ASSERT_EQ(filters.size(), 7);
  EXPECT_TRUE(filters[5].startsWith("Raw image sequence (*.raw | *.r,*.g,*.b)"));
  view.selectNameFilter(filters[5]);
  emit view.filterSelected(filters[5]);
  EXPECT_EQ(d.kind(), 6);
  EXPECT_TRUE(width->isEnabled());
  EXPECT_EQ(ext1->text(), "raw");
  EXPECT_FALSE(ext2->isEnabled());
  colours->setCurrentIndex(1);
  EXPECT_EQ(ext1->text(), "r");
  EXPECT_EQ(ext2->text(), "g");
  EXPECT_TRUE(ext2->isEnabled());
  emit view.filterSelected(filters[6]);
  EXPECT_FALSE(ext1->isEnabled());
  EXPECT_FALSE(child<QWidget>(view, kOpenDigitsSpin)->isEnabled());
}

TEST_F(QtViewTest, ClickingTheFirstFrameOfASequenceFillsTheBaseNameAndTheRange) {
  // stack000.tif .. stack011.tif, written by the library and renamed to padded names.
  const QString dir = QDir(QString::fromStdString(tempPath("clickseq"))).absolutePath();
  QDir(dir).removeRecursively();
  ASSERT_TRUE(QDir().mkpath(dir));
  Volume* src = makeSlot(V3D_UC, V3D_ONE_CHANNEL, 12, 6, 5, 4);
  char ext[] = "tif";
  ASSERT_EQ(local_WriteImageSeqTIFF(src, (dir + "/s").toStdString().c_str(), 0, ext, 1, 1), 0);
  for (int k = 0; k < 12; ++k)
    ASSERT_TRUE(QFile::rename(dir + QString("/s%1.tif").arg(k),
                              dir + QString("/stack%1.tif").arg(k, 3, 10, QChar('0'))));
  ASSERT_TRUE(QDir().mkpath(dir + "/inner"));

  OpenDialog d;
  qt::OpenDialogView view(d);
  view.setDirectory(dir);
  view.resize(760, 520);
  view.show();
  auto* list = view.findChild<QListView*>("listView");
  ASSERT_NE(list, nullptr);
  QModelIndex first;
  for (int i = 0; i < 300 && !first.isValid(); ++i) {
    QTest::qWait(10);
    const QModelIndex root = list->rootIndex();
    for (int r = 0; r < list->model()->rowCount(root); ++r)
      if (list->model()->index(r, 0, root).data().toString() == "stack000.tif")
        first = list->model()->index(r, 0, root);
  }
  ASSERT_TRUE(first.isValid()) << "the folder is listed";
  list->scrollTo(first);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(first).center());
  QApplication::processEvents();
  auto* name = view.findChild<QLineEdit*>("fileNameEdit");
  EXPECT_EQ(name->text(), "stack") << "the file dialog's own selection does not win";
  EXPECT_EQ(child<QLineEdit>(view, kOpenLower)->text(), "0");
  EXPECT_EQ(child<QLineEdit>(view, kOpenUpper)->text(), "11");
  EXPECT_EQ(child<QSpinBox>(view, kOpenDigitsSpin)->value(), 3);
  view.accept();
  ASSERT_EQ(view.result(), QDialog::Accepted);
  int rows = 0, columns = 0, colour = 0;
  EXPECT_EQ(CheckImageSeqTIFF(d.baseName.c_str(), d.lowerFrame, d.digitCount,
                              d.extensions[0].c_str(), d.frames, &rows, &columns, &colour),
            0)
      << "the request names the files on disk";
  EXPECT_EQ(d.frames, 12);
  EXPECT_EQ(columns, 5);

  // A folder typed into the name field and confirmed is opened instead.
  OpenDialog d2;
  qt::OpenDialogView view2(d2);
  view2.setDirectory(dir);
  view2.show();
  view2.findChild<QLineEdit*>("fileNameEdit")->setText("inner");
  view2.accept();
  EXPECT_TRUE(view2.isVisible());
  EXPECT_EQ(view2.directory().absolutePath(), dir + "/inner");
  QDir(dir).removeRecursively();
}

TEST(QtFrameTest, MenuFromTheCommandTableRightClickAndExit) {
  resetVolumeTable();
  qt::Frame frame;
  frame.show();
  EXPECT_EQ(frame.windowTitle(), "VELMORA3D for Windows");
  const auto tops = frame.menuBar()->actions();
  ASSERT_EQ(tops.size(), 6);
  EXPECT_EQ(tops[5]->text(), "&Window") << "after &Help";
  EXPECT_EQ(tops[3]->text(), "&Modules");
  EXPECT_EQ(tops[3]->menu(), nullptr) << "a plain placeholder until a module brings a menu";
  ASSERT_NE(frame.action(kCmdSave), nullptr);
  EXPECT_FALSE(frame.action(kCmdSave)->isEnabled());
  EXPECT_TRUE(frame.action(kCmdSymmetric)->isEnabled());
  EXPECT_EQ(frame.action(kCmdStandardMedian)->text(), "&Standard Median");

  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 4, 4, nullptr, &v), kSuccess);
  fill_in_VOI(v, 1, 2, 1, 2, 1, 2);
  frame.action(kCmdWriteVoxel)->trigger();
  QTest::mouseClick(frame.mdiArea()->viewport(), Qt::RightButton);
  EXPECT_FALSE(pointerModes().voxelWriting) << "pointer modes are reset too";
  EXPECT_EQ(v->voiZ0, 0);
  EXPECT_EQ(v->voiX1, 4) << "a right click on the bare frame resets every VOI";

  // Ctrl+Q is "E&xit".
  QApplication::setActiveWindow(&frame);
  QTest::keyClick(&frame, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_FALSE(frame.isVisible());
  EXPECT_EQ(v->dataType, 0) << "closing the frame frees every volume";
}

class QtWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { resetVolumeTable(); }
  void TearDown() override { resetVolumeTable(); }
  qt::Frame frame;
};

TEST_F(QtWindowTest, DisplayWindowsPaintTheFrameStepZoomAndFollowTheirVolume) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 5, 40, 60, nullptr, &v), kSuccess);
  fillRandom(v, 3);
  DisplayVolume(v);
  auto displays = frame.windows().displaysOf(v);
  ASSERT_EQ(displays.size(), 1u);
  qt::DisplayWindow* d = displays[0];
  EXPECT_EQ(d->windowTitle(), "vol 0 [fr 0-4,0]");
  EXPECT_GE(d->width(), 192) << "a narrow volume still gets 192 pixels";
  // What the pane paints is the frame through the grey palette.
  const QImage shot = d->pane()->grab().toImage();
  ASSERT_EQ(shot.width(), 60);
  for (int y = 0; y < 40; y += 7)
    for (int x = 0; x < 60; x += 11)
      ASSERT_EQ(qRed(shot.pixel(x, y)), at<UC>(v, 0, 0, y, x)) << x << "," << y;

  QTest::mouseClick(d->findChild<QPushButton*>(QString::number(kPreviousFrame)), Qt::LeftButton);
  EXPECT_EQ(d->model().current(), 0) << "previous at the lower frame does nothing";
  QTest::mouseClick(d->findChild<QPushButton*>(QString::number(kNextFrame)), Qt::LeftButton);
  EXPECT_EQ(d->windowTitle(), "vol 0 [fr 0-4,1]");
  QTest::mouseClick(d->findChild<QPushButton*>(QString::number(kPlayForward)), Qt::LeftButton);
  EXPECT_EQ(d->model().current(), 4) << "played forward to the upper frame";
  QTest::mouseClick(d->findChild<QPushButton*>(QString::number(kPlayBackward)), Qt::LeftButton);
  EXPECT_EQ(d->model().current(), 0);
  d->zoomOut();
  EXPECT_EQ(d->pane()->paneWidth(), 30);
  d->zoomIn();
  d->zoomIn();
  EXPECT_EQ(d->model().divisor(), 1);

  // DisplayVolume with two windows open repaints both and opens none.
  ASSERT_TRUE(frame.desk().openDisplay(v, false, 1, 3, 0.0f));
  DisplayVolume(v);
  EXPECT_EQ(frame.windows().displaysOf(v).size(), 2u);
  // Reallocating the volume closes its windows first; closing never destroys the volume.
  EXPECT_EQ(ReallocateVolume(v, V3D_UC, V3D_ONE_CHANNEL, 2, 2, 2), kSuccess);
  QApplication::processEvents();
  EXPECT_TRUE(frame.windows().displaysOf(v).empty());
  EXPECT_EQ(v->dataType, V3D_UC);
}

TEST_F(QtWindowTest, PlaybackWaitsItsDelayBetweenFramesAndStopsOnAClick) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 12, 8, 8, nullptr, &v), kSuccess);
  ASSERT_TRUE(frame.desk().openDisplay(v, false, 2, 6, 0.05f));
  qt::DisplayWindow* d = frame.windows().displaysOf(v).at(0);
  auto* forward = d->findChild<QPushButton*>(QString::number(kPlayForward));
  QElapsedTimer clock;
  clock.start();
  QTest::mouseClick(forward, Qt::LeftButton);
  EXPECT_GE(clock.elapsed(), 4 * 50) << "four steps, each after the frame delay";
  EXPECT_EQ(d->model().current(), 6);

  // A click while it plays stops it where it is.
  QTest::mouseClick(d->findChild<QPushButton*>(QString::number(kPlayBackward)), Qt::LeftButton);
  ASSERT_EQ(d->model().current(), 2);
  QTimer::singleShot(70, d, [d] { QTest::mousePress(d->pane(), Qt::LeftButton, {}, {1, 1}); });
  QTest::mouseClick(forward, Qt::LeftButton);
  EXPECT_FALSE(d->playing());
  EXPECT_GT(d->model().current(), 2);
  EXPECT_LT(d->model().current(), 6) << "stopped by the click before the upper frame";
}

TEST_F(QtWindowTest, NewWindowsLieWhollyInsideTheWindowArea) {
  frame.setGeometry(20, 20, 640, 460);
  frame.show();
  QApplication::processEvents();
  Volume *big = nullptr, *small = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 900, 1200, nullptr, &big), kSuccess);
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 50, 60, nullptr, &small), kSuccess);
  DisplayVolume(small);
  DisplayVolume(big);
  ASSERT_TRUE(frame.desk().openSectionView(big));
  DisplayVolume(volumeSlot(1));
  ASSERT_TRUE(frame.desk().openDisplay(small, false, 0, 2, 0.0f));
  QApplication::processEvents();
  const QRect area = frame.mdiArea()->viewport()->rect();
  ASSERT_EQ(frame.mdiArea()->subWindowList().size(), 4);
  for (QMdiSubWindow* sub : frame.mdiArea()->subWindowList())
    EXPECT_TRUE(area.contains(sub->geometry()))
        << sub->windowTitle().toStdString() << " lies outside the area";
  // The large frame is reached with its scroll bars.
  qt::DisplayWindow* d = frame.windows().displaysOf(big).at(0);
  EXPECT_LT(d->pane()->paneWidth(), 1200);
  int shown = 0;
  for (QScrollBar* b : d->findChildren<QScrollBar*>()) shown += b->isVisible();
  EXPECT_EQ(shown, 2);
}

TEST_F(QtWindowTest, ALargeFrameScrollsThroughItsScrollBars) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 1, 40, 4000, nullptr, &v), kSuccess);
  fillRandom(v, 8);
  DisplayVolume(v);
  qt::DisplayWindow* d = frame.windows().displaysOf(v).at(0);
  ASSERT_LT(d->pane()->paneWidth(), 4000) << "the pane is fitted to the screen";
  QScrollBar* bar = nullptr;
  for (QScrollBar* b : d->findChildren<QScrollBar*>())
    if (b->orientation() == Qt::Horizontal) bar = b;
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->maximum(), 4000 - d->pane()->paneWidth());
  bar->setValue(1000);
  EXPECT_EQ(d->model().scrollX(), 1000);
  const QImage shot = d->pane()->grab().toImage();
  EXPECT_EQ(qRed(shot.pixel(5, 3)), at<UC>(v, 0, 0, 3, 1005));
  // A rubber band dragged past the right edge scrolls the image, at most 10 pixels a step.
  bar->setValue(0);
  const int w = d->pane()->paneWidth();
  QTest::mousePress(d->pane(), Qt::RightButton, {}, QPoint(w - 20, 5));
  for (int i = 0; i < 3; ++i) {
    QMouseEvent move(QEvent::MouseMove, QPointF(w + 40, 30),
                     d->pane()->mapToGlobal(QPointF(w + 40, 30)), Qt::NoButton, Qt::RightButton,
                     Qt::NoModifier);
    QApplication::sendEvent(d->pane(), &move);
  }
  EXPECT_EQ(d->model().scrollX(), 30);
  QTest::mouseRelease(d->pane(), Qt::RightButton, {}, QPoint(w + 40, 30));
  EXPECT_EQ(v->voiX0, w - 20) << "the band starts where it was pressed, in the volume";
  EXPECT_EQ(v->voiX1, std::min(4000, w + 40 + 30 + 1));
  d->zoomOut();
  EXPECT_EQ(d->model().scrollX(), 0) << "zoom starts again at the left edge";
}

TEST_F(QtWindowTest, PointerWritesOneVoxelAndTheRubberBandSetsTheVoi) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 2, 30, 30, nullptr, &v), kSuccess);
  DisplayVolume(v);
  qt::DisplayWindow* d = frame.windows().displaysOf(v).at(0);
  frame.action(kCmdWriteVoxel)->trigger();
  QTest::mouseClick(d->pane(), Qt::LeftButton, {}, QPoint(5, 7));
  EXPECT_EQ(at<UC>(v, 0, 0, 7, 5), 255);
  EXPECT_EQ(at<UC>(v, 2, 0, 7, 5), 255) << "every channel";
  QTest::mouseClick(d->pane(), Qt::LeftButton, {}, QPoint(9, 9));
  EXPECT_EQ(at<UC>(v, 0, 0, 9, 9), 0) << "voxel writing disarms after one click";

  QTest::mousePress(d->pane(), Qt::RightButton, {}, QPoint(20, 4));
  QTest::mouseRelease(d->pane(), Qt::RightButton, {}, QPoint(3, 12));
  EXPECT_EQ(v->voiX0, 3);
  EXPECT_EQ(v->voiX1, 21);
  EXPECT_EQ(v->voiY0, 4);
  EXPECT_EQ(v->voiY1, 13);
  EXPECT_EQ(v->voiZ1, 2);
}

TEST_F(QtWindowTest, MagnifyItemsAndCtrlWheelKeepClicksOnTheirVoxel) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 2, 12, 16, nullptr, &v), kSuccess);
  fillRandom(v, 9);
  DisplayVolume(v);
  qt::DisplayWindow* d = frame.windows().displaysOf(v).at(0);
  QMdiSubWindow* sub = frame.mdiArea()->subWindowList().at(0);
  auto* item = sub->systemMenu()->findChild<QAction*>(QString::number(kCmdMagnify4));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->text(), "Magnify 4x");
  item->trigger();
  EXPECT_EQ(d->pane()->paneWidth(), 64) << "sixteen voxels of four pixels";
  const QImage shot = d->pane()->grab().toImage();
  EXPECT_EQ(qRed(shot.pixel(4 * 9 + 3, 4 * 5)), at<UC>(v, 0, 0, 5, 9));
  frame.action(kCmdWriteVoxel)->trigger();
  QTest::mouseClick(d->pane(), Qt::LeftButton, {}, QPoint(4 * 9 + 3, 4 * 5 + 1));
  EXPECT_EQ(at<UC>(v, 0, 0, 5, 9), 255) << "the click writes the voxel under the block";
  QWheelEvent wheel(QPointF(5, 5), d->pane()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(d->pane(), &wheel);
  EXPECT_EQ(d->model().magnification(), 2) << "Ctrl + wheel back steps farther";
  EXPECT_EQ(d->pane()->paneWidth(), 32);
}

TEST_F(QtWindowTest, KeysAndTheWheelStepPlayAndJumpThroughTheFrames) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 8, 10, 10, nullptr, &v), kSuccess);
  ASSERT_TRUE(frame.desk().openDisplay(v, false, 1, 6, 0.0f));
  qt::DisplayWindow* d = frame.windows().displaysOf(v).at(0);
  struct Step {
    Qt::Key key;
    int wheel;  // 0: the key, else the wheel's angle
    int frame;
  } steps[] = {{Qt::Key_Right, 0, 2}, {Qt::Key_Right, 0, 3},      {Qt::Key_Left, 0, 2},
               {Qt::Key_End, 0, 6},   {Qt::Key_Right, 0, 6},      {Qt::Key_Home, 0, 1},
               {Qt::Key_Left, 0, 1},  {Qt::Key_unknown, -120, 2}, {Qt::Key_unknown, 120, 1}};
  for (const Step& s : steps) {
    if (s.wheel == 0) {
      QTest::keyClick(d, s.key);
    } else {
      QWheelEvent wheel(QPointF(5, 5), d->pane()->mapToGlobal(QPointF(5, 5)), QPoint(),
                        QPoint(0, s.wheel), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(d->pane(), &wheel);
    }
    EXPECT_EQ(d->model().current(), s.frame) << "key " << s.key << " wheel " << s.wheel;
  }
  EXPECT_EQ(d->windowTitle(), "vol 0 [fr 1-6,1]");
  QTest::keyClick(d, Qt::Key_Space);
  EXPECT_EQ(d->model().current(), 6) << "Space plays to the last frame";
  QTest::keyClick(d, Qt::Key_Space);
  EXPECT_EQ(d->model().current(), 6) << "and from the last, again from the first";
  EXPECT_FALSE(d->playing());
}

TEST_F(QtWindowTest, SeedClicksInsideTheVoiAreLabelledOneTwoThree) {
  Volume *in = nullptr, *out = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 2, 20, 20, nullptr, &in), kSuccess);
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 2, 20, 20, nullptr, &out), kSuccess);
  fill_in_VOI(in, 0, 2, 0, 10, 0, 20);
  DisplayVolume(in);
  qt::DisplayWindow* d = frame.windows().displaysOf(in).at(0);
  qt::SeedPicking seeds{in, out, 0};
  qt::setSeedPicking(&seeds);
  QTest::mouseClick(d->pane(), Qt::LeftButton, {}, QPoint(2, 3));
  QTest::mouseClick(d->pane(), Qt::LeftButton, {}, QPoint(5, 15));  // below the VOI
  QTest::mouseClick(d->pane(), Qt::LeftButton, {}, QPoint(7, 1));
  qt::setSeedPicking(nullptr);
  EXPECT_EQ(seeds.count, 2);
  EXPECT_EQ(at<UC>(out, 0, 0, 3, 2), 1);
  EXPECT_EQ(at<UC>(out, 0, 0, 1, 7), 2);
  EXPECT_EQ(at<UC>(out, 0, 0, 15, 5), 0);
}

TEST_F(QtWindowTest, CoordinatesWindowTogglesWithItsCheckMark) {
  frame.action(kCmdCoordinates)->trigger();
  auto* w = frame.findChild<qt::CoordinatesWindow*>(qt::kClassCoordinates);
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), "Coordinates");
  EXPECT_TRUE(frame.action(kCmdCoordinates)->isChecked());
  EXPECT_TRUE(pointerModes().coordinatesShown);
  frame.action(kCmdCoordinates)->trigger();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(frame.action(kCmdCoordinates)->isChecked());
  EXPECT_FALSE(pointerModes().coordinatesShown);
  // Closed from its title bar, it is hidden like "Close" and the check mark follows.
  frame.action(kCmdCoordinates)->trigger();
  w->close();
  EXPECT_FALSE(w->isVisible());
  EXPECT_FALSE(frame.action(kCmdCoordinates)->isChecked());
  EXPECT_FALSE(pointerModes().coordinatesShown);
  frame.action(kCmdCoordinates)->trigger();
  EXPECT_TRUE(w->isVisible()) << "one click shows it again";
}

TEST_F(QtWindowTest, SectionViewSlidersFollowTheFactorRule) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 6, 20, 30, nullptr, &v), kSuccess);
  ASSERT_TRUE(frame.desk().openSectionView(v));
  auto views = frame.windows().sectionViewsOf(v);
  ASSERT_EQ(views.size(), 1u);
  qt::SectionViewWindow* s = views[0];
  EXPECT_EQ(s->windowTitle(), "Section View of Volume 0.");
  QSlider* x = s->findChild<QSlider*>(QString::number(qt::kCtlFactorX));
  ASSERT_NE(x, nullptr);
  x->setValue(51);
  x->setValue(50);
  EXPECT_EQ(x->value(), 48) << "dragged from 51 down, the slider lands on 48";
  EXPECT_EQ(s->factorLabel(Axis::X)->text(), "X factor : 0.50");
  EXPECT_EQ(s->pane(Section::Frame)->width(), 15);
  auto* frameBox = s->findChild<QLineEdit*>(QString::number(qt::kCtlCursorZ));
  QTest::keyClicks(frameBox, "6");
  EXPECT_EQ(s->model().cursorZ, 3) << "a frame number equal to the count is ignored";
  freedisWin(v);
  QApplication::processEvents();
  EXPECT_TRUE(frame.windows().sectionViewsOf(v).empty());
}

TEST_F(QtWindowTest, WindowsAreKeptPerVolumeAndKindAndClosedOnlyForTheirVolume) {
  Volume *a = nullptr, *b = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 20, 30, nullptr, &a), kSuccess);
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 20, 30, nullptr, &b), kSuccess);
  DisplayVolume(a);
  DisplayVolume(b);
  ASSERT_TRUE(frame.desk().openSectionView(a));
  ASSERT_EQ(frame.windows().displaysOf(a).size(), 1u);
  EXPECT_EQ(frame.windows().sectionViewsOf(b).size(), 0u) << "kinds and volumes apart";
  EXPECT_EQ(frame.mdiArea()->subWindowList().size(), 3);

  // The zoom items of a display's window menu act on that display.
  qt::DisplayWindow* d = frame.windows().displaysOf(a)[0];
  QAction* zoomOut = nullptr;
  for (QMdiSubWindow* sub : frame.mdiArea()->subWindowList())
    if (sub->widget() == d)
      for (QAction* item : sub->systemMenu()->actions())
        if (item->text() == QString::fromUtf8(text(kMenuZoomOut).data())) zoomOut = item;
  ASSERT_NE(zoomOut, nullptr);
  zoomOut->trigger();
  EXPECT_EQ(d->model().divisor(), 2);

  // A display the user closed is no longer listed; showing its volume opens a new one.
  for (QMdiSubWindow* sub : frame.mdiArea()->subWindowList())
    if (sub->widget() == d) sub->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(frame.windows().displaysOf(a).empty());
  DisplayVolume(a);
  ASSERT_EQ(frame.windows().displaysOf(a).size(), 1u);
  EXPECT_EQ(frame.windows().displaysOf(a)[0]->model().divisor(), 1);

  freedisWin(a);
  QApplication::processEvents();
  EXPECT_TRUE(frame.windows().displaysOf(a).empty());
  EXPECT_TRUE(frame.windows().sectionViewsOf(a).empty());
  ASSERT_EQ(frame.windows().displaysOf(b).size(), 1u) << "another volume's display stays";
  EXPECT_EQ(frame.mdiArea()->subWindowList().size(), 1);
}

TEST_F(QtWindowTest, TheWindowMenuListsTilesAndClosesTheWindows) {
  frame.setGeometry(0, 0, 800, 600);
  frame.show();
  Volume *a = nullptr, *b = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 20, 30, nullptr, &a), kSuccess);
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 20, 30, nullptr, &b), kSuccess);
  DisplayVolume(a);
  DisplayVolume(b);
  QMenu* menu = frame.menuBar()->actions().at(5)->menu();
  ASSERT_NE(menu, nullptr);
  auto entries = [&] {
    emit menu->aboutToShow();
    QStringList texts;
    for (QAction* item : menu->actions())
      if (!item->isSeparator()) texts << item->text();
    return texts;
  };
  EXPECT_EQ(entries(), (QStringList{"&Tile", "&Cascade", "Close &All", "&1 vol 0 [fr 0-2,0]",
                                    "&2 vol 1 [fr 0-2,0]"}));
  auto* first = menu->findChild<QAction*>(QString::number(kCmdWindowFirstEntry));
  ASSERT_NE(first, nullptr);
  first->trigger();
  EXPECT_EQ(frame.mdiArea()->activeSubWindow()->widget(), frame.windows().displaysOf(a).at(0));
  menu->findChild<QAction*>(QString::number(kCmdWindowTile))->trigger();
  const QRect area = frame.mdiArea()->viewport()->rect();
  for (QMdiSubWindow* sub : frame.mdiArea()->subWindowList())
    EXPECT_TRUE(area.contains(sub->geometry()));
  EXPECT_EQ(entries().size(), 5) << "the list is made anew at each opening";
  menu->findChild<QAction*>(QString::number(kCmdWindowCloseAll))->trigger();
  QApplication::processEvents();
  EXPECT_TRUE(frame.mdiArea()->subWindowList().isEmpty());
  EXPECT_EQ(entries().size(), 3);
  EXPECT_EQ(a->dataType, V3D_UC) << "closing windows keeps their volumes";
}

// The scripted desk's answers with the Qt desk's long work: a worker thread behind the
// progress dialog, shown at once.
class ProgressDesk : public ScriptedDesk {
 public:
  int runLong(LongWork& work) override { return qt::runWithProgress(work, nullptr, 0); }
};

TEST(QtProgressTest, LongWorkShowsProgressCancelsItsNewOutputAndOtherwiseChangesNothing) {
  resetVolumeTable();
  ProgressDesk desk;
  Volume* in = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 48, 256, 256, nullptr, &in), kSuccess);
  fillRandom(in, 12);
  const auto before = snapshot(in);

  // Cancel as soon as the dialog tells of a finished frame.
  long long seenDone = -1;
  bool cancelShown = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() != qt::kProgressDialog || !w->isVisible()) continue;
      EXPECT_EQ(w->windowTitle(), "Standard Median");
      EXPECT_TRUE(w->isModal());
      auto* frames = w->findChild<QLabel*>(qt::kProgressFrames);
      auto* bar = w->findChild<QProgressBar*>(qt::kProgressBar);
      auto* cancel = w->findChild<QPushButton*>(QString::number(kCtlCancel));
      cancelShown = cancel != nullptr;
      if (bar != nullptr && bar->value() >= 1 && frames->text().startsWith("Frames done: ")) {
        seenDone = bar->value();
        if (cancel && cancel->isEnabled()) QTest::mouseClick(cancel, Qt::LeftButton);
      }
    }
  });
  watch.start(5);
  desk.script({pick("0"), pickNew(1, 256, 256, 48), values({"7", "7", "7"})});
  ASSERT_TRUE(dispatch(desk, kCmdStandardMedian));
  watch.stop();
  EXPECT_TRUE(cancelShown) << "a new output may be cancelled";
  EXPECT_GE(seenDone, 1) << "the frames done advance";
  EXPECT_EQ(volumeSlot(1)->dataType, 0) << "the cancelled run's new output is destroyed";
  EXPECT_EQ(snapshot(in), before) << "and its input untouched";
  EXPECT_TRUE(desk.messages.empty()) << "a cancel is no failure";
  EXPECT_EQ(desk.statuses.back(), "Standard Median: cancelled");

  // Uncancelled runs give what the operation gives when called directly; into an existing
  // output there is nothing to cancel.
  Volume* small = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 12, 40, 50, nullptr, &small), kSuccess);
  fillRandom(small, 13);
  Volume* existing = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 12, 40, 50, nullptr, &existing), kSuccess);
  cancelShown = true;
  watch.start(1);
  desk.script({pick("1"), pick("2"), values({"3", "5", "3"})});
  ASSERT_TRUE(dispatch(desk, kCmdStandardMedian));
  watch.stop();
  OwnedVolume ref(V3D_UC, 1, 12, 40, 50);
  ASSERT_EQ(median3(small, ref, 3, 5, 3), 0);
  EXPECT_EQ(samples(existing), samples(ref));
  EXPECT_TRUE(desk.messages.empty());
  // Labelling through the worker: two objects, the input consumed only as it succeeds.
  Volume* objects = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 6, 8, nullptr, &objects), kSuccess);
  at<UC>(objects, 0, 1, 1, 1) = 5;
  at<UC>(objects, 0, 3, 4, 6) = 5;
  desk.script({yes(), pick("3"), pickNew(4, 8, 6, 4)});
  ASSERT_TRUE(dispatch(desk, kCmdLabel));
  EXPECT_EQ(desk.lastMessage(), "Number of regions = 2");
  EXPECT_EQ(at<UC>(volumeSlot(4), 0, 3, 4, 6), 2);
  resetVolumeTable();
}

TEST_F(QtWindowTest, AShownProjectionBelongsToItsWindow) {
  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 20, 30, nullptr, &v), kSuccess);
  const GalleryParameters gp{0, 20, 0, 30, 0, 4, 2, 0};
  int w = 0, h = 0;
  ASSERT_TRUE(galleryPictureSize(gp, &w, &h));
  ProjectionPtr p(CreateProjection(kFrameGalleryType, v, sizeof gp));
  BufferPtr b(CreateBuffer(V3D_BUFFER_GREY, w, h));
  ASSERT_TRUE(p && b);
  std::memcpy(p->extra, &gp, sizeof gp);
  ASSERT_EQ(produceGalleryPicture(*p, *b), 0);
  const V3dBuffer* buffer = b.get();
  ASSERT_TRUE(frame.desk().showProjection(std::move(p), std::move(b), "Gallery"));
  auto shown = frame.windows().projectionsOf(v);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0]->buffer(), buffer);
  freedisWin(v);
  QApplication::processEvents();
  EXPECT_TRUE(frame.windows().projectionsOf(v).empty());
}

TEST_F(QtWindowTest, HistogramPlotsCloseWithTheFrame) {
  const std::vector<float> values(256, 0.5f);
  ASSERT_TRUE(frame.desk().openPlot("Histogram", values.data()));
  QPointer<QWidget> plot;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == qt::kClassPlot) plot = w;
  ASSERT_FALSE(plot.isNull());
  EXPECT_TRUE(plot->isVisible());
  EXPECT_EQ(plot->windowTitle(), "Histogram");
  frame.action(kCmdExit)->trigger();
  EXPECT_TRUE(plot.isNull() || !plot->isVisible());
}

}  // namespace
}  // namespace v3d::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
