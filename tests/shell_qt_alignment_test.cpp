// The manual alignment's Qt views offscreen: the tool box's buttons found by their ids and
// pressed, the overlay's pixels as the window paints them, pointer drags, the closing question
// from either window, and both windows closing when a volume goes or the frame closes.
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "core/table.h"
#include "shell/alignment_toolbox.h"
#include "shell/exports.h"
#include "shell/qt/align_toolbox_view.h"
#include "shell/qt/frame.h"
#include "shell/qt/qt_desk.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;
using B = AlignmentToolBox;

// Answers every message box that opens with `button`, keeping their texts.
class MessageAnswers {
 public:
  explicit MessageAnswers(QMessageBox::StandardButton button) : button_(button) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || box->button(button_) == nullptr) return;
      texts.push_back(box->text().toStdString());
      box->button(button_)->click();
    });
    timer_.start(0);
  }
  std::vector<std::string> texts;

 private:
  QMessageBox::StandardButton button_;
  QTimer timer_;
};

void settle() {
  QApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
}

class QtAlignmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    frame.resize(900, 700);
    frame.show();
    ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 30, 40, nullptr, &in), kSuccess);
    ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 30, 40, nullptr, &out), kSuccess);
    fillRandom(in, 11);
  }
  void TearDown() override {
    endAlignment();
    settle();
    resetVolumeTable();
  }
  // Starts aligning frames 0..3 and finds the tool box and the window.
  void start() {
    ASSERT_EQ(startAlignment(frame.desk(), in, out, 0, 3), 0);
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "112" && w->isVisible()) view = dynamic_cast<qt::AlignToolBoxView*>(w);
    ASSERT_FALSE(view.isNull());
    window = view->window();
    ASSERT_FALSE(window.isNull());
    sub = qobject_cast<QMdiSubWindow*>(window->parentWidget());
    ASSERT_FALSE(sub.isNull());
  }
  QPushButton* button(int id) {
    auto* b = view->findChild<QPushButton*>(QString::number(id));
    EXPECT_NE(b, nullptr) << "button " << id;
    return b;
  }
  QImage shot() { return window->pane()->grab().toImage(); }
  void mouse(QEvent::Type type, Qt::MouseButton b, Qt::MouseButtons held, int x, int y) {
    const QPointF p(x, y);
    QMouseEvent e(type, p, window->pane()->mapToGlobal(p), b, held, Qt::NoModifier);
    QApplication::sendEvent(window->pane(), &e);
  }

  qt::Frame frame;
  Volume* in = nullptr;
  Volume* out = nullptr;
  QPointer<qt::AlignToolBoxView> view;
  QPointer<qt::AlignmentWindow> window;
  QPointer<QMdiSubWindow> sub;
};

TEST_F(QtAlignmentTest, ToolBoxButtonsAndDragsMoveTheRedFrameOverTheBlueOne) {
  start();
  EXPECT_EQ(view->windowTitle(), "Align ToolBox");
  EXPECT_EQ(sub->windowTitle(), "Vol. 0, [ 0, 3 position 0.]");
  EXPECT_EQ(button(B::kCw5)->text(), "cw 5");
  for (int id : {B::kFirst, B::kPrev, B::kResetCurrent, B::kResetAll})
    EXPECT_FALSE(button(id)->isEnabled()) << id;
  for (int id : {B::kNext, B::kLast, B::kLeft1, B::kSaveAll, B::kQuit})
    EXPECT_TRUE(button(id)->isEnabled()) << id;
  EXPECT_EQ(window->pane()->cursor().shape(), Qt::SizeAllCursor);

  QImage s = shot();
  ASSERT_EQ(s.size(), QSize(40, 30));
  for (int y = 0; y < 30; y += 3)
    for (int x = 0; x < 40; x += 3) {
      ASSERT_EQ(qRed(s.pixel(x, y)), at<UC>(in, 0, 0, y, x)) << x << "," << y;
      ASSERT_EQ(qGreen(s.pixel(x, y)), 0);
      ASSERT_EQ(qBlue(s.pixel(x, y)), 0) << "nothing lies under the first frame";
    }

  button(B::kLeft1)->click();
  button(B::kNext)->click();
  EXPECT_EQ(sub->windowTitle(), "Vol. 0, [ 0, 3 align 1 to 0 ]");
  EXPECT_TRUE(button(B::kPrev)->isEnabled());
  s = shot();
  for (int y = 0; y < 30; y += 3)
    for (int x = 0; x < 39; x += 3) {
      ASSERT_EQ(qBlue(s.pixel(x, y)), at<UC>(in, 0, 0, y, x + 1)) << x << "," << y;
      ASSERT_EQ(qRed(s.pixel(x, y)), at<UC>(in, 0, 1, y, x)) << x << "," << y;
    }
  EXPECT_EQ(qBlue(s.pixel(39, 0)), 0) << "shifted off the frame's right edge";

  // The current frame follows a left drag: three columns right, two rows down.
  mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, 10, 10);
  mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, 13, 12);
  mouse(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, 13, 12);
  s = shot();
  for (int y = 2; y < 30; y += 3)
    for (int x = 3; x < 40; x += 3)
      ASSERT_EQ(qRed(s.pixel(x, y)), at<UC>(in, 0, 1, y - 2, x - 3)) << x << "," << y;
  EXPECT_EQ(qRed(s.pixel(1, 1)), 0);

  // A right drag a quarter turn round the centre, then "Save Current": what the window shows
  // is what the output holds.
  mouse(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, 30, 15);
  mouse(QEvent::MouseMove, Qt::NoButton, Qt::RightButton, 20, 25);
  mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton, 20, 25);
  EXPECT_NEAR(runningAlignment()->model().working().angle, 90.0f, 1e-3f);
  button(B::kSaveCurrent)->click();
  s = shot();
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      ASSERT_EQ(qRed(s.pixel(x, y)), at<UC>(out, 0, 1, y, x)) << x << "," << y;
}

TEST_F(QtAlignmentTest, ClosingEitherWindowAsksAndCancelKeepsBothOpen) {
  start();
  {
    MessageAnswers answers(QMessageBox::Cancel);
    sub->close();
    settle();
    ASSERT_EQ(answers.texts.size(), 1u);
    EXPECT_EQ(answers.texts[0], "Do you want to save changes?");
  }
  EXPECT_NE(runningAlignment(), nullptr);
  EXPECT_TRUE(sub->isVisible());
  EXPECT_TRUE(view->isVisible());
  {
    MessageAnswers answers(QMessageBox::Cancel);
    button(B::kQuit)->click();
    settle();
    EXPECT_EQ(answers.texts.size(), 1u);
  }
  EXPECT_NE(runningAlignment(), nullptr);
  const auto before = snapshot(out);
  {
    MessageAnswers answers(QMessageBox::No);
    view->close();
    settle();
    EXPECT_EQ(answers.texts.size(), 1u);
  }
  EXPECT_EQ(runningAlignment(), nullptr);
  EXPECT_TRUE(view.isNull());
  EXPECT_TRUE(sub.isNull());
  EXPECT_EQ(snapshot(out), before);

  start();
  button(B::kUp10)->click();
  {
    MessageAnswers answers(QMessageBox::Yes);
    button(B::kQuit)->click();
    settle();
  }
  EXPECT_EQ(runningAlignment(), nullptr);
  EXPECT_TRUE(view.isNull());
  EXPECT_EQ(at<UC>(out, 0, 0, 0, 5), at<UC>(in, 0, 0, 10, 5)) << "Yes wrote frame 0 moved up";
  EXPECT_EQ(at<UC>(out, 0, 3, 7, 5), at<UC>(in, 0, 3, 7, 5));
}

TEST_F(QtAlignmentTest, BothWindowsCloseWhenAVolumeGoesOrTheFrameCloses) {
  for (int which = 0; which < 2; ++which) {
    start();
    MessageAnswers answers(QMessageBox::Cancel);
    freedisWin(which == 0 ? in : out);
    settle();
    EXPECT_TRUE(answers.texts.empty()) << "no question when a volume goes";
    EXPECT_EQ(runningAlignment(), nullptr);
    EXPECT_TRUE(view.isNull());
    EXPECT_TRUE(sub.isNull());
  }
  // Destroyed for good through the destroy path, then reallocated: never read afterwards.
  start();
  closeVolumeWindows(in);
  DestroyVolume(in);
  settle();
  EXPECT_EQ(runningAlignment(), nullptr);
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 30, 40, nullptr, &in), kSuccess);
  start();
  ASSERT_EQ(ReallocateVolume(out, V3D_UC, V3D_ONE_CHANNEL, 1, 2, 2), kSuccess);
  settle();
  EXPECT_EQ(runningAlignment(), nullptr);
  EXPECT_TRUE(view.isNull());

  ASSERT_EQ(ReallocateVolume(out, V3D_UC, V3D_ONE_CHANNEL, 4, 30, 40), kSuccess);
  start();
  MessageAnswers answers(QMessageBox::Cancel);
  frame.close();
  settle();
  EXPECT_TRUE(answers.texts.empty()) << "the program ends without the question";
  EXPECT_EQ(runningAlignment(), nullptr);
  EXPECT_TRUE(view.isNull());
}

TEST(QtAlignmentFrameTest, AFrameDestroyedWithAnAlignmentOpenEndsItWithoutAQuestion) {
  resetVolumeTable();
  Volume* in = nullptr;
  Volume* out = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 3, 20, 20, nullptr, &in), kSuccess);
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_THREE_CHANNELS, 3, 20, 20, nullptr, &out), kSuccess);
  {
    qt::Frame frame;
    frame.show();
    ASSERT_EQ(startAlignment(frame.desk(), in, out, 0, 2), 0);
    ASSERT_NE(runningAlignment(), nullptr);
  }
  EXPECT_EQ(runningAlignment(), nullptr);
  settle();
  for (QWidget* w : QApplication::topLevelWidgets())
    EXPECT_NE(w->objectName(), "112") << "the tool box went with its frame";
  resetVolumeTable();
}

}  // namespace
}  // namespace v3d::test
