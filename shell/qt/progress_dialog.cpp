#include "shell/qt/progress_dialog.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "core/progress.h"
#include "core/text_ids.h"
#include "shell/command_run.h"
#include "shell/dialogs.h"
#include "shell/qt/control_ids.h"
#include "shell/qt/qt_dialog_desk.h"
#include "shell/qt/qtext.h"

namespace v3d::shell::qt {
namespace {

// What the worker reports and the dialog reads: plain atomics, no locks.
class SharedProgress : public ProgressHook {
 public:
  explicit SharedProgress(bool cancellable) : cancellable_(cancellable) {}
  void stepDone(long long done, long long total) override {
    done_.store(done, std::memory_order_relaxed);
    total_.store(total, std::memory_order_relaxed);
  }
  bool cancelled() const override {
    return cancellable_ && cancel_.load(std::memory_order_relaxed);
  }
  void cancel() { cancel_.store(true, std::memory_order_relaxed); }
  long long done() const { return done_.load(std::memory_order_relaxed); }
  long long total() const { return total_.load(std::memory_order_relaxed); }

 private:
  const bool cancellable_;
  std::atomic<bool> cancel_{false};
  std::atomic<long long> done_{0}, total_{-1};  // -1: nothing reported yet
};

}  // namespace

int runWithProgress(LongWork& work, QWidget* parent, int delayMs) {
  const WritingVolumes writing(work.writes);
  SharedProgress progress(work.cancellable);
  std::atomic<bool> finished{false};
  int result = 0;
  QEventLoop loop;
  QElapsedTimer clock;
  clock.start();
  std::thread worker([&] {
    {
      const ScopedProgressHook hook(&progress);
      result = work.compute();
    }
    finished.store(true);
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });

  // A short work ends before anything is shown; events other than input are handled.
  QTimer::singleShot(delayMs, &loop, &QEventLoop::quit);
  if (!finished.load()) loop.exec(QEventLoop::ExcludeUserInputEvents);

  if (!finished.load()) {
    const ArrowCursor arrow;  // over the dialog, whose Cancel is for clicking
    QDialog dialog(parent);
    dialog.setObjectName(kProgressDialog);
    dialog.setWindowTitle(QString::fromStdString(work.name));
    dialog.setWindowModality(Qt::ApplicationModal);
    auto* layout = new QVBoxLayout(&dialog);
    auto* frames = new QLabel(&dialog);
    frames->setObjectName(kProgressFrames);
    auto* bar = new QProgressBar(&dialog);
    bar->setObjectName(kProgressBar);
    bar->setRange(0, 0);  // busy until the work tells its total
    auto* elapsed = new QLabel(&dialog);
    elapsed->setObjectName(kProgressElapsed);
    layout->addWidget(frames);
    layout->addWidget(bar);
    layout->addWidget(elapsed);
    if (work.cancellable) {
      auto* row = new QHBoxLayout;
      row->addStretch();
      auto* cancel = new QPushButton(qtext(kButtonCancel), &dialog);
      cancel->setObjectName(QString::number(kCtlCancel));
      row->addWidget(cancel);
      layout->addLayout(row);
      QObject::connect(cancel, &QPushButton::clicked, &dialog, [&progress, frames, cancel] {
        progress.cancel();
        cancel->setEnabled(false);
        frames->setText(qtext(kTextCancelling));
      });
    }
    // Escape or the title bar's close button would end the dialog, not the work.
    QObject::connect(&dialog, &QDialog::rejected, &dialog, [&dialog] { dialog.show(); });
    auto update = [&] {
      const long long done = progress.done(), total = progress.total();
      if (!progress.cancelled()) {
        if (total > 0) {
          frames->setText(formatText(kFormatFramesDone, done, total).c_str());
          bar->setRange(0, static_cast<int>(std::min<long long>(total, 1 << 30)));
          bar->setValue(static_cast<int>(std::min<long long>(done, 1 << 30)));
        } else if (total == 0) {
          frames->setText(formatText(kFormatPassesDone, done).c_str());
        }
      }
      elapsed->setText(
          formatText(kFormatElapsed, static_cast<double>(clock.elapsed()) / 1000.0).c_str());
      if (finished.load()) loop.quit();
    };
    update();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &dialog, update);
    tick.start(100);
    dialog.resize(std::max(dialog.sizeHint().width(), 320), dialog.sizeHint().height());
    dialog.show();
    while (!finished.load()) loop.exec();
    tick.stop();
    dialog.hide();
  }
  worker.join();
  return result;
}

}  // namespace v3d::shell::qt
