// The Resizing commands through the real frame and their Qt option dialogs,
// offscreen: each modal dialog is answered through its controls (found by their ids) as it
// opens, and the command's output is compared with the operation's own result.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <deque>
#include <functional>

#include "algorithms/resampling.h"
#include "shell/command_ids.h"
#include "shell/dialogs.h"
#include "shell/qt/frame.h"
#include "shell_fixtures.h"

namespace v3d::test {
namespace {

using namespace v3d::shell;
using Answer = std::function<void(QWidget&)>;

// Answers the modal dialogs of one command in order, one answer per dialog as it opens.
class ModalAnswers {
 public:
  explicit ModalAnswers(std::deque<Answer> answers) : answers_(std::move(answers)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
    timer_.start(0);
  }
  std::vector<QString> dialogs;  // the object names of the dialogs answered
  bool done() const { return answers_.empty(); }

 private:
  void poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || modal == last_.data() || answers_.empty()) return;
    last_ = modal;
    dialogs.push_back(modal->objectName());
    Answer answer = std::move(answers_.front());
    answers_.pop_front();
    answer(*modal);
  }
  std::deque<Answer> answers_;
  QTimer timer_;
  QPointer<QWidget> last_;
};

template <class W>
W* control(QWidget& dialog, int id) {
  W* w = dialog.findChild<W*>(QString::number(id));
  EXPECT_NE(w, nullptr) << "control " << id << " of dialog " << dialog.objectName().toStdString();
  return w;
}

void pressOk(QWidget& d) {
  if (auto* ok = control<QPushButton>(d, kCtlOk)) ok->click();
}

// A volume dialog: the list entry `label`, then OK.
Answer pickEntry(const QString& label) {
  return [label](QWidget& d) {
    auto* list = control<QListWidget>(d, kCtlList);
    if (list == nullptr) return;
    const auto items = list->findItems(label, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << label.toStdString();
    list->setCurrentItem(items[0]);
    pressOk(d);
  };
}

class QtResamplingTest : public ::testing::Test {
 protected:
  void SetUp() override { resetVolumeTable(); }
  void TearDown() override { resetVolumeTable(); }
  Volume* slot(int Z, int Y, int X, unsigned seed, bool binary) {
    Volume* v = nullptr;
    EXPECT_EQ(CreateVolumeEx(V3D_UC, V3D_ONE_CHANNEL, Z, Y, X, nullptr, &v), kSuccess);
    fillRandom(v, seed, binary);
    return v;
  }
  // Runs command `id` with the answers; every dialog must have been answered.
  std::vector<QString> run(int id, std::deque<Answer> answers) {
    ModalAnswers a(std::move(answers));
    frame.action(id)->trigger();
    EXPECT_TRUE(a.done()) << "command " << id << " left dialogs unanswered";
    return a.dialogs;
  }
  template <class Op>
  static void expectResultOf(Volume* v, Op op) {
    ASSERT_NE(v->dataType, 0);
    auto expected = make_volume(v->Z, v->Y, v->X);
    ASSERT_EQ(op(expected.get()), 0);
    auto bytes = [](Volume* w) {
      auto s = snapshot(w);
      return std::vector<unsigned char>(s.begin() + sizeof(Volume), s.end());
    };
    EXPECT_EQ(bytes(v), bytes(expected.get()));
  }
  qt::Frame frame;
};

TEST_F(QtResamplingTest, InterpolationThroughTheOptionsDialog) {
  Volume* in = slot(4, 6, 8, 1, false);
  ASSERT_TRUE(frame.action(kCmdInterpolation3d)->isEnabled()) << "no longer greyed";
  const auto dialogs =
      run(kCmdInterpolation3d,
          {
              pickEntry("0"),
              [](QWidget& d) {
                EXPECT_EQ(d.windowTitle(), "3D Interpolation Options");
                control<QRadioButton>(d, InterpolationDialog::kCtlNearest)->setChecked(true);
                control<QLineEdit>(d, InterpolationDialog::kCtlX)->setText("2");
                control<QLineEdit>(d, InterpolationDialog::kCtlY)->setText("2");
                control<QLineEdit>(d, InterpolationDialog::kCtlZ)->setText("0.5");
                pressOk(d);
              },
              pickEntry("New[1]"),
          });
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[1], QString::number(kDialogInterpolation));
  Volume* out = volumeSlot(1);
  EXPECT_EQ(out->X, 16);
  EXPECT_EQ(out->Y, 12);
  EXPECT_EQ(out->Z, 2);
  expectResultOf(out, [&](Volume* o) {
    return InterpolationNearestNeighbor3d(in, o, 0, 0.5f, 2.0f, 2.0f, 0, 0, 0);
  });
}

TEST_F(QtResamplingTest, BinaryFrameInterpolationThroughItsOptionsDialog) {
  Volume* in = slot(4, 9, 10, 2, true);
  const auto dialogs =
      run(kCmdBinaryFrameInterpolation,
          {
              pickEntry("0"),
              [](QWidget& d) {
                EXPECT_EQ(d.windowTitle(), "Binary Frame Interpolation Options");
                control<QCheckBox>(d, BinaryInterpolationDialog::kCtlCoherence)->setChecked(true);
                control<QRadioButton>(d, BinaryInterpolationDialog::kCtlTwo)->setChecked(true);
                pressOk(d);
              },
              pickEntry("New[1]"),
          });
  ASSERT_EQ(dialogs.size(), 3u);
  EXPECT_EQ(dialogs[1], QString::number(kDialogBinaryInterpolation));
  EXPECT_EQ(volumeSlot(1)->Z, 10);
  expectResultOf(volumeSlot(1),
                 [&](Volume* o) { return FrameInterpolationBinary(in, o, 3, 0, 0, 0, 1); });
}

}  // namespace
}  // namespace v3d::test
