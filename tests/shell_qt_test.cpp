// The Qt views and the frame, offscreen: widgets found by their control ids, the list and
// its New entry, OK enabling, validation that keeps a dialog open, the menu from the command
// table, the right click on the bare frame and "E&xit".
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include "core/text_ids.h"
#include "shell/commands.h"
#include "shell/qt/frame.h"
#include "shell/qt/views.h"
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
  makeSlot(V3D_UC, 1, 4, 5, 6);
  makeSlot(V3D_F, 2, 2, 3, 4);
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
  EXPECT_FALSE(ok->isEnabled());
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
  makeSlot(V3D_UC, 1, 4, 5, 6);
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
  makeSlot(V3D_UC, 1, 1, 1, 1);
  makeSlot(V3D_UC, 1, 1, 1, 1);
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

TEST_F(QtViewTest, ValueDialogShowsPromptsAndKeepsNineCharacters) {
  ValueDialog d(3);
  d.title = "Give Window Dimensions";
  d.prompts = {"X Dimension:", "Y Dimension:", "Z Dimension:", ""};
  qt::ValueDialogView view(d);
  view.show();
  EXPECT_EQ(view.objectName(), "109");
  EXPECT_EQ(child<QLabel>(view, 975)->text(), "Y Dimension:");
  EXPECT_EQ(view.findChild<QLineEdit*>("973"), nullptr) << "three fields only";
  QTest::keyClicks(child<QLineEdit>(view, 970), "3");
  QTest::keyClicks(child<QLineEdit>(view, 972), "12345678901");
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

TEST(QtFrameTest, MenuFromTheCommandTableRightClickAndExit) {
  resetVolumeTable();
  qt::Frame frame;
  frame.show();
  EXPECT_EQ(frame.windowTitle(), "VELMORA3D for Windows");
  const auto tops = frame.menuBar()->actions();
  ASSERT_EQ(tops.size(), 5);
  EXPECT_EQ(tops[3]->text(), "&Modules");
  EXPECT_EQ(tops[3]->menu(), nullptr) << "a plain placeholder until a module brings a menu";
  ASSERT_NE(frame.action(kCmdSave), nullptr);
  EXPECT_FALSE(frame.action(kCmdSave)->isEnabled());
  EXPECT_TRUE(frame.action(kCmdSymmetric)->isEnabled());
  EXPECT_EQ(frame.action(1172)->text(), "&Standard Median");

  Volume* v = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, 1, 4, 4, 4, nullptr, &v), 0);
  fill_in_VOI(v, 1, 2, 1, 2, 1, 2);
  QTest::mouseClick(frame.mdiArea()->viewport(), Qt::RightButton);
  EXPECT_EQ(v->voiZ0, 0);
  EXPECT_EQ(v->voiX1, 4) << "a right click on the bare frame resets every VOI";

  frame.action(kCmdExit)->trigger();
  EXPECT_FALSE(frame.isVisible());
  EXPECT_EQ(v->dataType, 0) << "closing the frame frees every volume";
}

}  // namespace
}  // namespace v3d::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
