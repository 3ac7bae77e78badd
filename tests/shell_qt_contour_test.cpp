// The contour following pair through the real frame, offscreen: the commands with their
// dialogs answered as they open, the two-button bars stepping both windows, chains followed,
// drawn and erased with the pointer and checked in the pictures, the colour chooser, and the
// pair closing with a destroyed volume.
#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "shell/command_ids.h"
#include "shell/contour_following.h"
#include "shell/dialogs.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/frame.h"
#include "shell/qt/qt_desk.h"
#include "shell/qt/window_registry.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;
using Answer = std::function<void(QWidget&)>;

// Answers the modal dialogs that open while it lives, in order, one answer each.
class Answers {
 public:
  explicit Answers(std::deque<Answer> answers) : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal == nullptr || modal == last_.data() || answers_.empty()) return;
      last_ = modal;
      Answer a = std::move(answers_.front());
      answers_.pop_front();
      a(*modal);
    });
    timer_.start(0);
  }
  bool done() const { return answers_.empty(); }

 private:
  std::deque<Answer> answers_;
  QTimer timer_;
  QPointer<QWidget> last_;
};

Answer pickEntry(const QString& label) {
  return [label](QWidget& d) {
    auto* list = d.findChild<QListWidget*>(QString::number(kCtlList));
    ASSERT_NE(list, nullptr);
    const auto items = list->findItems(label, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << label.toStdString();
    list->setCurrentItem(items[0]);
    d.findChild<QPushButton*>(QString::number(kCtlOk))->click();
  };
}

QRgb pixel(qt::DisplayWindow* w, int x, int y) {
  return w->pane()->grab().toImage().pixel(x, y) & 0xFFFFFF;
}

void drag(QWidget* pane, Qt::MouseButton button, QPoint from, QPoint to) {
  QTest::mousePress(pane, button, {}, from);
  for (int i = 1; i <= 4; ++i) {
    const QPointF p = from + (to - from) * i / 4.0;
    QMouseEvent move(QEvent::MouseMove, p, pane->mapToGlobal(p), Qt::NoButton, button,
                     Qt::NoModifier);
    QApplication::sendEvent(pane, &move);
  }
  QTest::mouseRelease(pane, button, {}, to);
}

class QtContourTest : public ::testing::Test {
 protected:
  void SetUp() override { resetVolumeTable(); }
  void TearDown() override {
    frame.desk().closeContourPair();
    contourMode().clear();
    resetVolumeTable();
  }
  void run(int id, std::deque<Answer> answers) {
    Answers a(std::move(answers));
    frame.action(id)->trigger();
    EXPECT_TRUE(a.done()) << "command " << id << " left dialogs unanswered";
  }
  // Frames of 40 x 60: dim ground, frame 1 with a bright row 10.
  Volume* original() {
    Volume* v = nullptr;
    EXPECT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 3, 40, 60, nullptr, &v), kSuccess);
    for (int z = 0; z < 3; ++z)
      for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x) at<UC>(v, 0, z, y, x) = z == 1 && y == 10 ? 200 : 30;
    return v;
  }
  qt::DisplayWindow* only(Volume* v) {
    const auto windows = frame.windows().displaysOf(v);
    EXPECT_EQ(windows.size(), 1u);
    return windows.empty() ? nullptr : windows[0];
  }
  qt::Frame frame;
};

TEST_F(QtContourTest, ThePairStepsTogetherAndItsPicturesFollowTheEdits) {
  Volume* in = original();
  run(kCmdBwContourFollowing, {pickEntry("0"), pickEntry("New[1]")});
  EXPECT_TRUE(frame.action(kCmdBwContourFollowing)->isChecked());
  Volume* out = volumeSlot(1);
  qt::DisplayWindow* a = only(in);
  qt::DisplayWindow* b = only(out);
  ASSERT_TRUE(a && b);
  for (qt::DisplayWindow* w : {a, b}) {
    EXPECT_NE(w->findChild<QPushButton*>(QString::number(kNextFrame)), nullptr);
    EXPECT_NE(w->findChild<QPushButton*>(QString::number(kPreviousFrame)), nullptr);
    EXPECT_EQ(w->findChild<QPushButton*>(QString::number(kPlayForward)), nullptr)
        << "the two-button bar";
  }

  QTest::mouseClick(b->findChild<QPushButton*>(QString::number(kNextFrame)), Qt::LeftButton);
  EXPECT_EQ(a->model().current(), 1);
  EXPECT_EQ(a->windowTitle(), "vol 0 [fr 0-2,1]");
  EXPECT_EQ(b->windowTitle(), "vol 1 [fr 0-2,1]");

  // A click on the bright row follows it to the left edge.
  QTest::mouseClick(a->pane(), Qt::LeftButton, {}, QPoint(50, 10));
  for (int x = 0; x < 60; ++x) ASSERT_EQ(at<UC>(out, 0, 1, 10, x), x <= 50 ? 255 : 0) << x;
  EXPECT_EQ(pixel(a, 20, 10), 0xFFFFFFu) << "the chain over the original";
  EXPECT_EQ(pixel(a, 55, 10), 0xC8C8C8u) << "the original beyond it";
  EXPECT_EQ(pixel(b, 20, 10), 0xFFFFFFu);
  EXPECT_EQ(at<UC>(in, 0, 1, 10, 20), 200) << "the original's samples stay";

  // A drag in the output's picture draws; a right drag in the original's erases.
  drag(b->pane(), Qt::LeftButton, QPoint(5, 30), QPoint(45, 30));
  for (int x = 0; x < 60; ++x) ASSERT_EQ(at<UC>(out, 0, 1, 30, x), x >= 5 && x <= 45 ? 255 : 0);
  drag(a->pane(), Qt::RightButton, QPoint(20, 25), QPoint(20, 35));
  for (int x = 15; x < 25; ++x) EXPECT_EQ(at<UC>(out, 0, 1, 30, x), x >= 19 && x <= 21 ? 0 : 255);
  EXPECT_EQ(pixel(a, 20, 30), 0x1E1E1Eu) << "erased: the original again";
  EXPECT_EQ(pixel(a, 22, 30), 0xFFFFFFu);
  EXPECT_EQ(in->voiX1, 60) << "no rubber band in the pair";
  frame.action(kCmdWriteVoxel)->trigger();
  QTest::mouseClick(b->pane(), Qt::LeftButton, {}, QPoint(50, 38));
  EXPECT_EQ(at<UC>(out, 0, 1, 38, 50), 255) << "an armed voxel write comes first";
  EXPECT_EQ(at<UC>(out, 0, 1, 38, 49), 0) << "and follows nothing";
  QTest::mouseClick(b->findChild<QPushButton*>(QString::number(kPreviousFrame)), Qt::LeftButton);
  EXPECT_EQ(pixel(a, 20, 10), 0x1E1E1Eu) << "frame 0 has no chain";

  // The command again ends the mode: both windows close, the check mark goes.
  QPointer<qt::DisplayWindow> pa(a), pb(b);
  run(kCmdBwContourFollowing, {});
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(pa.isNull() && pb.isNull());
  EXPECT_FALSE(frame.action(kCmdBwContourFollowing)->isChecked());
  EXPECT_EQ(contourMode().command(), 0);
}

TEST_F(QtContourTest, TheColourPairConvertsItsOriginalChoosesColoursAndClosesWithIt) {
  Volume* in = original();
  QString told, caption;
  run(kCmdColorContourFollowing, {pickEntry("0"), pickEntry("New[1]"), [&](QWidget& d) {
                                    auto& box = dynamic_cast<QMessageBox&>(d);
                                    told = box.text();
                                    caption = box.windowTitle();
                                    box.accept();
                                  }});
  EXPECT_EQ(told, "The input volume has been converted to a color one!");
  EXPECT_EQ(caption, "VELMORA");
  ASSERT_EQ(in->colorType, V3D_THREE_CHANNELS);
  Volume* out = volumeSlot(1);
  ASSERT_EQ(out->colorType, V3D_THREE_CHANNELS);
  qt::DisplayWindow* a = only(in);
  qt::DisplayWindow* b = only(out);
  ASSERT_TRUE(a && b);

  // A right click opens the chooser on the drawing colour; OK takes the new one.
  QColor offered;
  {
    Answers chooser({[&](QWidget& d) {
      auto& c = dynamic_cast<QColorDialog&>(d);
      EXPECT_EQ(c.objectName(), qt::kColourChooser);
      offered = c.currentColor();
      c.setCurrentColor(QColor(250, 20, 40));
      c.accept();
    }});
    QTest::mouseClick(b->pane(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_TRUE(chooser.done());
  }
  EXPECT_EQ(offered, QColor(Qt::white));
  {
    Answers chooser({[](QWidget& d) {
      dynamic_cast<QColorDialog&>(d).setCurrentColor(Qt::blue);
      dynamic_cast<QColorDialog&>(d).reject();
    }});
    QTest::mouseClick(a->pane(), Qt::RightButton, {}, QPoint(10, 10));
  }
  EXPECT_EQ(contourMode().session()->colour(), (DrawingColour{250, 20, 40})) << "Cancel keeps it";
  EXPECT_EQ(at<UC>(out, 0, 0, 10, 10), 0) << "a right click draws nothing here";

  drag(a->pane(), Qt::LeftButton, QPoint(5, 20), QPoint(30, 20));
  EXPECT_EQ(at<UC>(out, 0, 0, 20, 12), 250);
  EXPECT_EQ(at<UC>(out, 1, 0, 20, 12), 20);
  EXPECT_EQ(at<UC>(out, 2, 0, 20, 12), 40);
  EXPECT_EQ(pixel(a, 12, 20), 0xFA1428u);
  EXPECT_EQ(pixel(b, 12, 20), 0xFA1428u);
  QTest::mouseClick(a->pane(), Qt::LeftButton, Qt::ShiftModifier, QPoint(12, 20));
  EXPECT_EQ(at<UC>(out, 0, 0, 20, 12), 0) << "shift erases in the colour pair";

  // Destroying the original closes the pair and ends the mode before its storage goes; the
  // windows left read nothing of it.
  QPointer<qt::DisplayWindow> pa(a), pb(b);
  closeVolumeWindows(in);
  DestroyVolume(in);
  EXPECT_EQ(contourMode().command(), 0);
  EXPECT_FALSE(frame.action(kCmdColorContourFollowing)->isChecked());
  if (pb) QTest::mouseClick(pb->pane(), Qt::LeftButton, {}, QPoint(12, 20));
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(pa.isNull() && pb.isNull());
  EXPECT_EQ(out->dataType, V3D_UC) << "the output stays";
}

}  // namespace
}  // namespace v3d::test
