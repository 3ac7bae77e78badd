// The motion module's Qt side offscreen: the options dialog found by control ids, its focus-loss
// warning answered on a timer, its help viewer; and motionfield.so itself, loaded into this
// process, which exports the program's ordinal lookup as the program does.
#include <dlfcn.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "core/report.h"
#include "core/samples.h"
#include "core/table.h"
#include "host/module_api.h"
#include "motionfield/command.h"
#include "motionfield/options.h"
#include "motionfield/qt/options_view.h"
#include "motionfield_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::motion::module;

template <class W>
W* control(QWidget& parent, int id) {
  W* w = parent.findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << "control " << id;
  return w;
}

// A click on a radio button's or check box's indicator (the boxes are wider than their text,
// and only the indicator and the text take clicks).
void clickBox(QAbstractButton* b) {
  ASSERT_NE(b, nullptr);
  QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// Runs `answer` on the first modal widget of type W that appears (polled on a zero timer, so
// it also answers a dialog opened inside the call that follows).
template <class W>
void answerModal(std::function<void(W*)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      answer(w);
    }
  });
  timer->start();
}

// What a warning box showed.
struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* parent = nullptr;
};
void answerWarning(SeenBox& seen) {
  answerModal<QMessageBox>([&seen](QMessageBox* box) {
    seen = {box->windowTitle(), box->text(), box->icon(), box->parentWidget()};
    box->accept();
  });
}

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
  answerWarning(seen);
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

// ---- motionfield.so in a process that exports the program's ordinal lookup ------------------

V3dShellInfo g_shell{};
Volume* g_input = nullptr;
std::vector<Volume*> g_displayed;
int g_missingOrdinal = 0;

V3dShellInfo* shellInfo() {
  return &g_shell;
}
int chooseInput(int typeMask, int colorMask, const char*, Volume** out) {
  EXPECT_EQ(typeMask, V3D_UC);
  EXPECT_EQ(colorMask, V3D_ONE_CHANNEL);
  *out = g_input;
  return g_input != nullptr;
}
int noOutput(int, int, const char*, int, int, int, Volume**) {
  return 0;
}
void display(Volume* v) {
  g_displayed.push_back(v);
}

class RecordingReporter : public Reporter {
 public:
  int showMessage(void*, std::string_view text, std::string_view, MessageIcon,
                  MessageButtons) override {
    messages.emplace_back(text);
    return kAnswerOk;
  }
  std::vector<std::string> messages;
};

}  // namespace
}  // namespace v3d::test

extern "C" __attribute__((visibility("default"))) void* Velmora3DExportByOrdinal(int ordinal) {
  using namespace v3d::test;
  if (ordinal == g_missingOrdinal) return nullptr;
  switch (ordinal) {
    case V3D_ORD_GetVelmora3DInfo:
      return reinterpret_cast<void*>(&shellInfo);
    case V3D_ORD_GetInputVolume:
      return reinterpret_cast<void*>(&chooseInput);
    case V3D_ORD_CreateVolumeEx:
      return reinterpret_cast<void*>(&CreateVolumeEx);
    case V3D_ORD_DisplayVolume:
      return reinterpret_cast<void*>(&display);
    case V3D_ORD_error_handler:
      return reinterpret_cast<void*>(&error_handler);
    case V3D_ORD_DestroyVolume:
      return reinterpret_cast<void*>(&DestroyVolume);
    case V3D_ORD_GetOutputVolume:
      return reinterpret_cast<void*>(&noOutput);
    default:
      return nullptr;
  }
}

namespace v3d::test {
namespace {

class LoadedModule : public ::testing::Test {
 protected:
  void SetUp() override {
    resetVolumeTable();
    g_displayed.clear();
    g_missingOrdinal = 0;
    g_shell.frameWindow = static_cast<QMainWindow*>(&frame);
    previous = installReporter(&reporter);
    handle = dlopen(kModulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    attach = reinterpret_cast<V3dModuleAttachFn>(dlsym(handle, "Velmora3DModuleAttach"));
    menu = reinterpret_cast<V3dReturnMenuFn>(dlsym(handle, "Velmora3DDLLReturnMenu"));
    command =
        reinterpret_cast<V3dReturnCmdHandlerFn>(dlsym(handle, "Velmora3DDLLReturnCmdHandler"));
    messages = reinterpret_cast<V3dReturnMessageHandlerFn>(
        dlsym(handle, "Velmora3DDLLReturnMessageHandler"));
    ASSERT_TRUE(attach && menu && command && messages);
  }
  void TearDown() override {
    installReporter(previous);
    resetVolumeTable();
    if (handle) dlclose(handle);
  }
  // Runs the module's command with the options dialog answered by `fill` and OK.
  void runCommand(std::function<void(QDialog*)> fill) {
    ASSERT_EQ(attach(), 1);
    QWidget* main = &frame;
    answerModal<QDialog>([fill, main](QDialog* d) {
      EXPECT_EQ(d->objectName(), "101");
      EXPECT_EQ(d->parentWidget(), main) << "the dialog sits over the main frame";
      fill(d);
      QTest::mouseClick(control<QPushButton>(*d, 1), Qt::LeftButton);
    });
    command()(0);
  }

  QMainWindow frame;
  RecordingReporter reporter;
  Reporter* previous = nullptr;
  void* handle = nullptr;
  V3dModuleAttachFn attach = nullptr;
  V3dReturnMenuFn menu = nullptr;
  V3dReturnCmdHandlerFn command = nullptr;
  V3dReturnMessageHandlerFn messages = nullptr;
};

void hostCallback(int, int) {}

TEST_F(LoadedModule, AttachesByOrdinalAndAnswersTheProtocol) {
  for (int missing : {113, 110, 111, 112, 108, 4, 114}) {
    g_missingOrdinal = missing;
    EXPECT_EQ(attach(), 0) << "ordinal " << missing << " missing";
  }
  g_missingOrdinal = 0;
  EXPECT_EQ(attach(), 1);
  const char** items = menu(nullptr);
  ASSERT_NE(items, nullptr);
  EXPECT_STREQ(items[0], "&Block Matching");
  EXPECT_EQ(items[1], nullptr);
  EXPECT_STREQ(items[2], "&Motion Estimation");
  EXPECT_EQ(messages(&hostCallback), nullptr);
  EXPECT_NE(command(), nullptr);
  // Only the entry points are visible; the module's own code stays inside it.
  Dl_info own{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&runBlockMatching), &own), 0);
  ASSERT_NE(own.dli_sname, nullptr);
  EXPECT_EQ(dlsym(handle, own.dli_sname), nullptr) << own.dli_sname;
}

TEST_F(LoadedModule, CommandMakesTheVolumesAndShowsTheDisplays) {
  g_input = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 5, 30, 40, nullptr, &g_input), 0);
  fillMoving(g_input, 2, 1, 5);
  runCommand([](QDialog* d) {
    control<QLineEdit>(*d, 1000)->setText("8");  // W
    control<QLineEdit>(*d, 1001)->setText("6");  // H
    control<QLineEdit>(*d, 1002)->setText("1");  // D
    control<QLineEdit>(*d, 1003)->setText("4");  // step X 4
    control<QLineEdit>(*d, 1004)->setText("3");  // step Y 3
    control<QLineEdit>(*d, 1005)->setText("3");
    control<QLineEdit>(*d, 1006)->setText("2");
    clickBox(control<QRadioButton>(*d, 1012));
    clickBox(control<QCheckBox>(*d, 1013));
    clickBox(control<QCheckBox>(*d, 1015));
  });
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone";
  EXPECT_TRUE(reporter.messages.empty());
  // Vectors in slots 1 and 2, the field and the X displacements shown in that order.
  Volume *vx = volumeSlot(1), *vy = volumeSlot(2), *field = volumeSlot(3);
  EXPECT_EQ(g_displayed, (std::vector<Volume*>{field, volumeSlot(4)}));
  EXPECT_STREQ(field->information, "Motion Vector Field");
  ASSERT_EQ(std::tie(vx->Z, vx->Y, vx->X, field->Z), std::make_tuple(4, 10, 10, 4));
  // The content moves 2 right and 1 down per frame: the full search finds it wherever the
  // block and its match lie inside the frame.
  int wrong = 0;
  for (int k = 0; k < 4; ++k)
    for (int i = 2; i < 8; ++i)
      for (int j = 2; j < 8; ++j)
        wrong += channelData<int32_t>(*vx, 0)[k][i][j] != 2 ||
                 channelData<int32_t>(*vy, 0)[k][i][j] != 1;
  EXPECT_EQ(wrong, 0);
  // The field shows the later frame of each pair, with the vectors drawn in white.
  int drawn = 0;
  for (int n = 0; n < 4; ++n)
    for (int y = 0; y < 30; ++y)
      for (int x = 0; x < 40; ++x) {
        const UC f = channelData<UC>(*field, 0)[n][y][x];
        const UC in = channelData<UC>(*g_input, 0)[n + 1][y][x];
        drawn += f != in;
        ASSERT_TRUE(f == in || f == 255) << n << " " << y << " " << x;
      }
  EXPECT_GT(drawn, 0);
}

TEST_F(LoadedModule, AFailedEstimationDestroysTheVectorVolumesAndSaysWhy) {
  g_input = nullptr;
  ASSERT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, 4, 16, 16, nullptr, &g_input), 0);
  fillMoving(g_input, 1, 1, 3);
  // Search Y made to differ before "Orthogonal Search" greys it.
  runCommand([](QDialog* d) {
    control<QLineEdit>(*d, 1002)->setText("1");
    control<QLineEdit>(*d, 1006)->setText("8");
    clickBox(control<QRadioButton>(*d, 1010));
    clickBox(control<QCheckBox>(*d, 1015));
  });
  ASSERT_EQ(reporter.messages.size(), 1u);
  EXPECT_EQ(reporter.messages[0], "Invalid parameters");
  for (int i = 1; i < kTableSlots; ++i) EXPECT_EQ(volumeSlot(i)->dataType, 0) << i;
  EXPECT_TRUE(g_displayed.empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace v3d::test

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
