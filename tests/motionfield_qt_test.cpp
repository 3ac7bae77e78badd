// The options dialog of the motion module offscreen: controls found by their ids, the
// focus-loss warning answered on a timer, and the help viewer.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <functional>

#include "motionfield/options.h"
#include "motionfield/qt/options_view.h"
#include "motionfield_qt_support.h"

namespace v3d::test {
namespace {

using namespace v3d::motion::module;

const std::string kModulePath = V3D_BINARY_DIR "/motionfield.so";

auto tupleOf(const BlockMatchingOptions& o) {
  return std::make_tuple(o.width, o.height, o.depth, o.overlapX, o.overlapY, o.searchX, o.searchY,
                         o.method, o.displayBits);
}

class MotionOptionsView : public ::testing::Test {
 protected:
  void SetUp() override {
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  }
  QLineEdit* edit(int id) { return control<QLineEdit>(view, id); }
  QAbstractButton* button(int id) { return control<QAbstractButton>(view, id); }

  OptionsPresenter presenter;
  qt::OptionsView view{presenter, nullptr, kModulePath};
};

TEST_F(MotionOptionsView, ShowsTheInitialValuesAndForwardsTheUsersActions) {
  if (const char* dir = std::getenv("MOTIONFIELD_SCREENSHOT_DIR"))
    view.grab().save(QString(dir) + "/motionfield_options.png");
  EXPECT_EQ(view.windowTitle(), "Block Matching Options");
  for (int id = 1000; id <= 1006; ++id)
    EXPECT_EQ(edit(id)->text(), id == 1003 || id == 1004 ? "0" : "4") << id;
  const std::vector<std::pair<int, QString>> buttons = {
      {1007, "Logarithmic Search"},
      {1008, "Three Step Search"},
      {1009, "One at a time Conjugate Direction Search"},
      {1010, "Orthogonal Search"},
      {1012, "Full Search"},
      {1013, "Draw M. Field"},
      {1014, "Subsampled"},
      {1015, "Display  X  Displacement."},
      {1016, "Display  Y  Displacement."},
      {1017, "Display MV Amplitude."},
      {1, "OK"},
      {2, "Cancel"}};
  for (const auto& [id, text] : buttons) {
    EXPECT_EQ(button(id)->text(), text) << id;
    EXPECT_EQ(button(id)->isChecked(), id == 1007) << id;
    EXPECT_EQ(button(id)->isEnabled(), id != 1014) << id;
  }
  EXPECT_NE(qobject_cast<QRadioButton*>(button(1012)), nullptr);
  EXPECT_NE(qobject_cast<QCheckBox*>(button(1017)), nullptr);

  edit(1000)->clear();
  QTest::keyClicks(edit(1000), "1x-2");
  EXPECT_EQ(edit(1000)->text(), "12") << "digits only";
  clickBox(button(1013));
  clickBox(button(1014));
  EXPECT_TRUE(button(1014)->isChecked());
  clickBox(button(1013));
  EXPECT_FALSE(button(1014)->isEnabled() || button(1014)->isChecked());

  // Orthogonal search greys Search Y and copies Search X into it.
  clickBox(button(1010));
  EXPECT_FALSE(edit(1006)->isEnabled());
  edit(1005)->clear();
  QTest::keyClicks(edit(1005), "13");
  EXPECT_EQ(edit(1006)->text(), "13");

  for (int id : {1001, 1002, 1003, 1004}) edit(id)->setText(QString::number(id - 998));
  clickBox(button(1012));
  for (int id : {1013, 1014, 1016}) clickBox(button(id));
  QTest::mouseClick(button(1), Qt::LeftButton);
  EXPECT_EQ(view.result(), QDialog::Accepted);
  EXPECT_EQ(tupleOf(presenter.read()), std::make_tuple(12, 3, 4, 5, 6, 13, 13, 4, 1 | 2 | 8));
}

TEST_F(MotionOptionsView, OverlapNotBelowTheWidthIsCorrectedWithWarningOneAndKeepsTheFocus) {
  edit(1000)->setText("5");
  edit(1003)->setFocus(Qt::TabFocusReason);
  edit(1003)->setText("9");
  SeenBox seen;
  answerMessageBox(seen);
  edit(1004)->setFocus(Qt::TabFocusReason);  // Overlap X loses the focus
  EXPECT_EQ(seen.title, "Warning");
  EXPECT_EQ(seen.text, "OverapX should be less than block width.\nMaximum value inserted.");
  EXPECT_EQ(seen.icon, QMessageBox::Warning);
  EXPECT_EQ(seen.parent, &view);
  EXPECT_EQ(edit(1003)->text(), "4");
  EXPECT_EQ(view.focusWidget(), edit(1003)) << "the focus returns to the corrected edit";
  view.activateWindow();  // what the window manager does when the warning closes
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  EXPECT_EQ(QApplication::focusWidget(), edit(1003));
}

TEST_F(MotionOptionsView, F1AndTheRightClickOpenTheControlsHelpPages) {
  edit(1003)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(edit(1003), Qt::Key_F1);
  qt::HelpViewer* help = view.helpViewer();
  ASSERT_NE(help, nullptr);
  EXPECT_TRUE(help->isVisible());
  EXPECT_EQ(help->windowTitle(), "Overlapping");
  EXPECT_TRUE(help->browser()->source().toLocalFile().endsWith("motionfield_help/topic4.html"));

  QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(2, 2), QPoint(2, 2));
  QApplication::sendEvent(button(1012), &right);
  EXPECT_EQ(help->windowTitle(), "Full Search");
  QApplication::sendEvent(button(1009), &right);
  EXPECT_EQ(help->windowTitle(), "One at a time Conjugate Direction Search");
  EXPECT_FALSE(help->browser()->toPlainText().isEmpty());

  // The block size edits have no topic: the page stays.
  QApplication::sendEvent(edit(1000), &right);
  edit(1002)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(edit(1002), Qt::Key_F1);
  EXPECT_EQ(help->windowTitle(), "One at a time Conjugate Direction Search");
}

}  // namespace
}  // namespace v3d::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
