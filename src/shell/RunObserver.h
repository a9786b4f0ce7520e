// The observer a run's worker is given: it carries each of the five calls to
// the GUI thread and waits there until the window has run it.
#pragma once

#include <QMetaObject>
#include <QString>
#include <atomic>
#include <string>

#include "engine/JobTypes.h"
#include "shell/MainWindow.h"
#include "text/TextOps.h"

namespace vormla {

// One per run. A call that arrives after the window has left its run (a second
// Cancel press, the window going away) is dropped on the GUI thread, so an old
// worker never touches a newer run.
class RunObserver : public JobObserver {
 public:
  RunObserver(MainWindow& window, int run) : window_(window), run_(run) {}

  void InitProgress(int categoryTotal) override {
    Post([categoryTotal](MainWindow& w) { w.InitProgress(categoryTotal); });
  }
  void StepProgress() override {
    Post([](MainWindow& w) { w.StepProgress(); });
  }
  void ShowItemProgress(const std::string& statusText, int itemDone, int itemTotal) override {
    const QString text = QString::fromStdString(SjisToUtf8(ItemProgressText(statusText, itemDone, itemTotal)));
    Post([text](MainWindow& w) { w.ShowItemProgress(text); });
  }
  void ShowStatusText(const std::string& statusText) override {
    const QString text = QString::fromStdString(SjisToUtf8(statusText));
    Post([text](MainWindow& w) { w.ShowProgressStatus(text); });
  }
  void JobFinished() override {
    Post([](MainWindow& w) { w.JobFinished(); });
    // The worker's last act: after this its thread only returns.
    finished_ = true;
  }

  bool Finished() const { return finished_; }

 private:
  template <typename Routine>
  void Post(Routine routine) {
    QMetaObject::invokeMethod(
        &window_,
        [this, routine] {
          if (window_.activeRun_ == run_) routine(window_);
        },
        Qt::BlockingQueuedConnection);
  }

  MainWindow& window_;
  const int run_;
  std::atomic<bool> finished_{false};
};

}  // namespace vormla
