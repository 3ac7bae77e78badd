// The "Specify Object Connections" view offscreen: what opening shows, the buttons driven by
// clicks, the questions on the ways out, and a picture of the dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <vector>

#include "core/text_ids.h"
#include "shadeview/scripts/qt/connections_view.h"
#include "shadeview_fixtures.h"

namespace v3d::test {
namespace {

using shade::ConnectionsAnswer;
using shade::ConnectionsQuestion;

std::vector<int> g_reported;
int recordError(int code) {
  g_reported.push_back(code);
  return 0;
}

VolumePtr twoColours() {
  auto v = make_colour(3, 24, 24);
  for (int z = 0; z < 3; ++z) {
    paint(v, z, 3, 10, 3, 10, {220, 40, 40});
    paint(v, z, 12, 20, 12 - z, 20, {40, 160, 220});
  }
  return v;
}

class ConnectionsView : public ::testing::Test {
 protected:
  void SetUp() override { g_reported.clear(); }
  void TearDown() override {
    if (QWidget* w = shade::CurrentConnectionsDialog()) delete w;
  }

  QWidget* open(Volume* v) {
    shade::ConnectionsServices s;
    s.checkVolume = CheckVolume;
    s.errorHandler = recordError;
    s.render = [this](const std::string& path) {
      rendered.push_back(path);
      tmpEmptyButScriptAtRender = std::distance(std::filesystem::directory_iterator(tmp.path()),
                                                std::filesystem::directory_iterator()) == 1;
    };
    s.ask = [this](ConnectionsQuestion q) {
      asked.push_back(q);
      const ConnectionsAnswer a = answers.empty() ? ConnectionsAnswer::No : answers.front();
      if (!answers.empty()) answers.erase(answers.begin());
      return a;
    };
    shade::SurfaceJob job;
    job.volume = v;
    job.z0 = v->voiZ0;
    job.z1 = v->voiZ1;
    job.distance = 1.0f;
    job.scriptPath = script;
    return shade::OpenConnectionsDialog(nullptr, s, job);
  }
  template <class W>
  W* child(QWidget* d, int control) {
    auto* w = d->findChild<W*>(QString::number(control));
    EXPECT_NE(w, nullptr) << control;
    return w;
  }
  static void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  PrivateTmp tmp;
  std::string script = tmp.path() + "/surface.scr";
  std::vector<std::string> rendered;
  std::vector<ConnectionsQuestion> asked;
  std::vector<ConnectionsAnswer> answers;
  bool tmpEmptyButScriptAtRender = false;
};

TEST_F(ConnectionsView, OpensWithItsObjectsAndEditsTheConnections) {
  auto v = twoColours();
  QWidget* d = open(v);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->windowTitle(), "Specify Object Connections");
  EXPECT_FALSE(d->isModal());
  EXPECT_EQ(shade::OpenConnectionsDialog(nullptr, {}, {}), d) << "one dialog at a time";
  auto* listA = child<QListWidget>(d, 1344);
  auto* listB = child<QListWidget>(d, 1345);
  ASSERT_EQ(listA->count(), 2);
  EXPECT_EQ(listA->item(1)->text(), "Object 1");
  EXPECT_EQ(listB->count(), 2);
  EXPECT_TRUE(child<QRadioButton>(d, 1342)->isChecked());
  EXPECT_EQ(d->focusWidget(), child<QWidget>(d, 1342));
  EXPECT_EQ(child<QLabel>(d, 1354)->text(), "0");
  for (int b : {1355, 1356, 1357}) EXPECT_FALSE(child<QPushButton>(d, b)->isEnabled()) << b;
  for (int p : {1352, 1353})
    EXPECT_EQ(child<QLabel>(d, p)->palette().color(QPalette::Window), QColor(Qt::black));

  listA->setCurrentRow(1);
  EXPECT_EQ(child<QLineEdit>(d, 1346)->text(), "40");
  EXPECT_EQ(child<QLineEdit>(d, 1348)->text(), "160");
  EXPECT_EQ(child<QLineEdit>(d, 1350)->text(), "220");
  EXPECT_EQ(child<QLabel>(d, 1352)->palette().color(QPalette::Window), QColor(40, 160, 220));
  EXPECT_FALSE(child<QPushButton>(d, 1355)->isEnabled());
  listB->setCurrentRow(1);
  EXPECT_FALSE(child<QPushButton>(d, 1355)->isEnabled()) << "the same object";
  listB->setCurrentRow(0);
  EXPECT_EQ(child<QLineEdit>(d, 1347)->text(), "220");
  ASSERT_TRUE(child<QPushButton>(d, 1355)->isEnabled());
  QTest::mouseClick(child<QPushButton>(d, 1355), Qt::LeftButton);
  EXPECT_EQ(child<QLabel>(d, 1354)->text(), "1");
  EXPECT_EQ(d->focusWidget(), child<QWidget>(d, 1359)) << "the focus moves to Finish";
  EXPECT_FALSE(child<QPushButton>(d, 1355)->isEnabled());
  EXPECT_TRUE(child<QPushButton>(d, 1356)->isEnabled());
  // The other buttons follow the presenter's rules (tested without widgets); here only that
  // a click reaches them.
  QTest::mouseClick(child<QPushButton>(d, 1357), Qt::LeftButton);
  EXPECT_EQ(child<QLabel>(d, 1354)->text(), "0");
  EXPECT_FALSE(child<QPushButton>(d, 1356)->isEnabled());
  EXPECT_TRUE(asked.empty());
}

TEST_F(ConnectionsView, FinishWritesTheScriptAndRendersItOnceTheDialogIsGone) {
  auto v = twoColours();
  QWidget* d = open(v);
  ASSERT_NE(d, nullptr);
  answers = {ConnectionsAnswer::Yes};
  QTest::mouseClick(child<QPushButton>(d, 1359), Qt::LeftButton);
  settle();
  EXPECT_EQ(shade::CurrentConnectionsDialog(), nullptr);
  EXPECT_EQ(asked, (std::vector{ConnectionsQuestion::RenderScript}));
  ASSERT_EQ(rendered, (std::vector{script}));
  EXPECT_TRUE(tmpEmptyButScriptAtRender) << "temporary files removed before rendering";
  EXPECT_NE(readText(script).find("3DFACE"), std::string::npos);
  EXPECT_TRUE(g_reported.empty());
}

TEST_F(ConnectionsView, ClosingAsksWhetherToBuildFirstAndCancelDoesNot) {
  auto v = twoColours();
  QWidget* d = open(v);
  ASSERT_NE(d, nullptr);
  answers = {ConnectionsAnswer::Cancel};
  d->close();
  settle();
  ASSERT_EQ(shade::CurrentConnectionsDialog(), d) << "cancel keeps the dialog";
  answers = {ConnectionsAnswer::No};
  d->close();
  settle();
  EXPECT_EQ(shade::CurrentConnectionsDialog(), nullptr);
  EXPECT_FALSE(fileExists(script)) << "no closes without building";
  EXPECT_EQ(asked.size(), 2u);

  d = open(v);
  ASSERT_NE(d, nullptr);
  asked.clear();
  answers = {ConnectionsAnswer::Yes, ConnectionsAnswer::No};
  QTest::keyClick(d, Qt::Key_Escape);  // as closing
  settle();
  EXPECT_EQ(shade::CurrentConnectionsDialog(), nullptr);
  EXPECT_EQ(asked, (std::vector{ConnectionsQuestion::BuildBeforeClosing,
                                ConnectionsQuestion::RenderScript}));
  EXPECT_TRUE(fileExists(script)) << "yes builds the script";
  EXPECT_TRUE(rendered.empty());

  d = open(v);
  ASSERT_NE(d, nullptr);
  asked.clear();
  QTest::mouseClick(child<QPushButton>(d, 1358), Qt::LeftButton);
  settle();
  EXPECT_EQ(shade::CurrentConnectionsDialog(), nullptr);
  EXPECT_TRUE(asked.empty()) << "Cancel closes without asking";
  std::remove(script.c_str());
  EXPECT_TRUE(tmp.empty()) << "no temporary file is left on any way out";
}

TEST_F(ConnectionsView, AVolumeWithoutChainsIsReportedAndNoDialogOpens) {
  auto empty = make_colour(2, 8, 8);
  EXPECT_EQ(open(empty), nullptr);
  EXPECT_EQ(g_reported, (std::vector<int>{kTextNoChains}));
  auto grey = make_volume(2, 8, 8);
  EXPECT_EQ(open(grey), nullptr);
  EXPECT_EQ(g_reported.back(), kWrongColorType);
  EXPECT_EQ(shade::CurrentConnectionsDialog(), nullptr);
  EXPECT_TRUE(tmp.empty());
}

// A picture of the dialog with a connection made, for a person to look at:
// build/tests/shadeview_connections.png.
TEST_F(ConnectionsView, Picture) {
  auto v = twoColours();
  QWidget* d = open(v);
  ASSERT_NE(d, nullptr);
  child<QListWidget>(d, 1344)->setCurrentRow(0);
  child<QListWidget>(d, 1345)->setCurrentRow(1);
  QTest::mouseClick(child<QPushButton>(d, 1355), Qt::LeftButton);
  d->adjustSize();
  EXPECT_TRUE(d->grab().save(QString(V3D_BINARY_DIR) + "/tests/shadeview_connections.png"));
}

}  // namespace
}  // namespace v3d::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
