// The window's side of a run: Start, the progress routines the worker calls,
// Cancel and the end of a run.
//
// Threads: the worker reaches the window only through RunObserver, which runs
// each routine on the GUI thread and blocks the worker until it has run. The GUI
// thread never blocks on a worker without serving those calls, so joining is
// done with the event queue running (ReapWorkers), never inside a routine.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "engine/WebAccess.h"
#include "net/SiteConfig.h"
#include "run/Run.h"
#include "run/RunTexts.h"
#include "run/StartRules.h"
#include "settings/AccountFile.h"
#include "shell/DigitsEdit.h"
#include "shell/MainWindow.h"
#include "shell/RunObserver.h"

namespace vormla {

namespace {

Message Notice(const QString& text, const QString& caption) {
  Message message;
  message.Text = text;
  message.Caption = caption;
  return message;
}

Message Question(const QString& text, const QString& caption) {
  Message message = Notice(text, caption);
  message.Kind = Message::Buttons::YesNo;
  message.Symbol = Message::Icon::Question;
  return message;
}

QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }

// A price pair in order, by the run's rule; the boxes change only with a swap.
void OrderPriceBoxes(QLineEdit* lower, QLineEdit* upper) {
  std::string from = lower->text().toStdString();
  std::string to = upper->text().toStdString();
  OrderPricePair(from, to);
  if (Q(from) != lower->text()) lower->setText(Q(from));
  if (Q(to) != upper->text()) upper->setText(Q(to));
}

// The window's code for how a run ended by itself.
RunCode CodeOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kComplete:
      return RunCode::kNormal;
    case RunOutcome::kNothingFound:
      return RunCode::kNothingFound;
    case RunOutcome::kSiteUnreachable:
      return RunCode::kSiteUnreachable;
    case RunOutcome::kFileError:
      return RunCode::kFileError;
    case RunOutcome::kCancelledWithRows:
    case RunOutcome::kCancelledBeforeFirstRow:
      break;
  }
  return RunCode::kCancelled;
}

const QString kSaveDialogTitle = QStringLiteral("取得情報の保存先を指定してください");
const QString kCancelCaption = QStringLiteral("中断確認");

}  // namespace

MainWindow::~MainWindow() {
  // A worker still going is told to stop and waited for: it must not outlive
  // the window it reports to.
  if (worker_) worker_->Cancel();
  LeaveRun();
  for (RetiredRun& run : retired_) run.Worker->Cancel();
  ReapWorkers(true);
}

// ---------------------------------------------------------------------------
// Start

void MainWindow::btnActionClick() {
  strCtgrList = tree_.SelectedCategoryList();
  OrderPriceBoxes(txtPrice1, txtPrice2);
  OrderPriceBoxes(txtPrice3, txtPrice4);

  if (chkImgSave->isChecked()) {
    if (Refuse(CheckPictureFolder(txtDirPath->text().toStdString()))) return;
    // The pictures go where the check looked: the trimmed text, ending in "/".
    txtDirPath->setText(Q(PictureFolderText(txtDirPath->text().toStdString())));
  }

  // The member's own account, when there is one; a file others could read stops
  // the start before anything is asked.
  RunRequest request;
  request.AccountPath = accountPath_;
  if (Refuse(CheckAccount(accountPath_, request.Account))) return;

  strFilePath = QStringLiteral("VORMLA商品一覧.csv");
  const QString proposed = lastResultFolder_.isEmpty() ? strFilePath : QDir(lastResultFolder_).filePath(strFilePath);
  const QString chosen = services_.ChooseSaveFile(this, kSaveDialogTitle, QStringLiteral("CSVファイル (*.csv)"),
                                                  QStringLiteral("csv"), proposed);
  if (chosen.isEmpty()) return;
  lastResultFolder_ = QFileInfo(chosen).absolutePath();
  // A target that cannot be replaced (a folder in its place) stops the start; an
  // existing file is replaced by the new result only when the run has one.
  std::string target;
  const StartCheck output = CheckOutput(chosen.toStdString(), target);
  strFilePath = Q(target);
  if (Refuse(output) || !ConfirmReplacing(chosen)) return;

  runResult_ = RunCode::kNormal;
  services_.SetBusyCursor();
  SetRunningMode();

  prgBar->setValue(0);
  {
    QPalette palette = lblStatus->palette();
    palette.setColor(QPalette::WindowText, QGuiApplication::palette().color(QPalette::WindowText));
    lblStatus->setPalette(palette);
  }
  SetStatusText(Q(StartingText()));
  repaint();

  if (worker_) return;
  // A worker left stopping shares the process's cookie jar: it must be gone
  // before the next one signs in.
  startWaiting_ = true;
  ReapWorkers(true);
  startWaiting_ = false;
  activeRun_ = ++runCounter_;
  isRunning_ = true;
  request.Conditions = SnapshotConditions();
  request.Result.Path = strFilePath.toStdString();
  request.Nodes = SnapshotNodes();
  observer_ = std::make_unique<RunObserver>(*this, activeRun_);
  worker_ = std::make_unique<Run>(std::move(request), *observer_, NetworkWebAccess(), SiteRoot());
  if (!worker_->Start()) {
    // No file beside the target: over before anything was fetched.
    lastReport_ = worker_->Report();
    worker_.reset();
    observer_.reset();
    activeRun_ = 0;
    isRunning_ = false;
    FinishRun(RunCode::kFileError);
    return;
  }
  if (closeHeld_) {
    // A close requested during the wait: now it meets a run and is asked about.
    closeHeld_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
}

bool MainWindow::Refuse(const StartCheck& check) {
  if (check.Passed()) return false;
  Ask(Notice(Q(StartRefusalText(check, Face::kWindow)), QStringLiteral("Error")));
  return true;
}

// The dialog asked about the name it confirmed; when the ".csv" rule made another
// name of it, a file of that name is not replaced without the same question. (A
// folder of that name cannot be replaced: the in-use test stops the start.)
bool MainWindow::ConfirmReplacing(const QString& dialogChoice) {
  const QFileInfo target(strFilePath);
  if (strFilePath == dialogChoice || target.isDir() || !(target.exists() || target.isSymLink())) return true;
  Message question;
  question.Text = QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")
                      .arg(target.fileName());
  question.Caption = kSaveDialogTitle;
  question.Kind = Message::Buttons::YesNo;
  question.Symbol = Message::Icon::Warning;
  question.DefaultNo = true;
  return Ask(question) == Answer::Yes;
}

void MainWindow::SetRunningMode() {
  btnAction->setEnabled(false);
  btnClear->setEnabled(false);
  btnCancel->setEnabled(true);
  for (QWidget* control : std::initializer_list<QWidget*>{
           btnDirPath, lblWord,  lblWsprice, lblSrprice, lblSort,   lblSell,     lblBar1,    lblBar2, lblCtgr,
           lblImgDir,  txtWord,  txtPrice1,  txtPrice2,  txtPrice3, txtPrice4,   txtDirPath, cmbSort, cmbCtgr,
           chkSell1,   chkSell2, chkItem,    chkImgSave, TreeView,  spbCollapse, spbExpand}) {
    control->setEnabled(false);
  }
}

void MainWindow::SetIdleMode() {
  btnAction->setEnabled(true);
  btnClear->setEnabled(true);
  btnCancel->setEnabled(false);
  for (QWidget* control : std::initializer_list<QWidget*>{
           lblWord,  lblWsprice, lblSrprice, lblSort,    lblSell,   lblBar1,     lblBar2,  lblCtgr,
           txtWord,  txtPrice1,  txtPrice2,  txtPrice3,  txtPrice4, txtDirPath,  cmbSort,  cmbCtgr,
           chkSell1, chkSell2,   chkItem,    chkImgSave, TreeView,  spbCollapse, spbExpand}) {
    control->setEnabled(true);
  }
  if (chkImgSave->isChecked()) {
    lblImgDir->setEnabled(true);
    btnDirPath->setEnabled(true);
  }
}

// ---------------------------------------------------------------------------
// Progress routines (GUI thread, current run only)

void MainWindow::InitProgress(int categoryTotal) {
  prgBar->setValue(0);
  prgBar->setMinimum(0);
  prgBar->setMaximum(categoryTotal);
}

void MainWindow::StepProgress() {
  prgBar->setValue(prgBar->value() + 1);
  if (taskbarReady_) services_.SetTaskbarProgressValue(prgBar->value(), prgBar->maximum());
}

void MainWindow::ShowItemProgress(const QString& text) { SetStatusText(text); }

void MainWindow::ShowProgressStatus(const QString& text) { SetStatusText(text); }

void MainWindow::JobFinished() {
  isRunning_ = false;
  if (worker_) lastReport_ = worker_->Report();
  btnCancelClick();
}

// ---------------------------------------------------------------------------
// Cancel and finish

void MainWindow::btnCancelClick() {
  if (activeRun_ == 0) return;  // no run to cancel or finish

  if (runResult_ == RunCode::kNormal && isRunning_) {
    const int run = activeRun_;
    cancelQuestionOpen_ = true;
    const Answer answer = Ask(Question(QStringLiteral("取得処理を中断します。\nよろしいですか？"), kCancelCaption));
    cancelQuestionOpen_ = false;
    if (activeRun_ != run) {
      // The run ended while the question was up: the answer changes nothing,
      // and the end is shown now that the question is gone.
      if (const std::optional<RunCode> code = std::exchange(finishAfterQuestion_, std::nullopt)) FinishRun(*code);
      return;
    }
    if (answer != Answer::Yes) return;
    runResult_ = RunCode::kCancelled;
    if (worker_) worker_->Cancel();
    return;
  }

  if (runResult_ == RunCode::kNormal && !isRunning_) {
    LeaveRun();
    runResult_ = CodeOf(lastReport_.Outcome);
    FinishRun(runResult_);
    return;
  }

  if (!isRunning_) {
    LeaveRun();
    // A result file that failed is reported also when the user had stopped the run.
    if (lastReport_.Outcome == RunOutcome::kFileError) {
      if (runResult_ == RunCode::kCancelled) {
        runResult_ = RunCode::kFileError;
      } else {
        ShowEndMessage();
      }
    }
    FinishRun(runResult_);
    return;
  }

  if (runResult_ == RunCode::kCloseConfirmed) {
    if (worker_) worker_->Cancel();
    runResult_ = RunCode::kClosing;
    return;
  }

  // Cancel pressed again while the worker is still stopping: leave it to stop on
  // its own (it is joined before the next run and at exit) and finish now.
  LeaveRun();
  FinishRun(runResult_);
}

void MainWindow::FinishRun(RunCode code) {
  // A 中断確認 question still up is answered first; the end follows it.
  if (cancelQuestionOpen_) {
    finishAfterQuestion_ = code;
    return;
  }
  services_.RestoreCursor();
  switch (code) {
    case RunCode::kNormal:
      services_.Beep();
      services_.Alert(this);
      if (ShowEndMessage()) {
        if (QFileInfo::exists(strFilePath)) {
          services_.OpenFile(strFilePath);
        } else {
          Ask(Notice(QStringLiteral("該当するファイルが見つかりませんでした。"), QStringLiteral("Error")));
        }
      }
      break;
    case RunCode::kCloseConfirmed:
    case RunCode::kClosing:
      btnCancel->setEnabled(false);
      try {
        SaveSettings();
      } catch (const std::exception& error) {
        // The settings could not be kept: say so and stay open, idle, so the
        // user can close again once the file is writable.
        ShowException(error);
        break;
      }
      services_.TerminateApplication();
      return;
    case RunCode::kNothingFound:
    case RunCode::kFileError:
    case RunCode::kSiteUnreachable:
      ShowEndMessage();
      break;
    case RunCode::kCancelled:
      break;
  }
  if (taskbarReady_) services_.SetTaskbarProgressState(tbpsNone);
  SetStatusText(QString());
  prgBar->setValue(0);
  SetIdleMode();
}

bool MainWindow::ShowEndMessage() {
  const EndMessage end = WindowEndMessage(lastReport_);
  if (end.Text.empty()) return false;
  if (lastReport_.Outcome != RunOutcome::kComplete) {
    Ask(Notice(Q(end.Text), Q(end.Caption)));
    return false;
  }
  Message open = Question(Q(end.Text), Q(end.Caption));
  open.DefaultNo = true;
  return Ask(open) == Answer::Yes;
}

// ---------------------------------------------------------------------------
// Workers

void MainWindow::LeaveRun() {
  activeRun_ = 0;
  isRunning_ = false;
  if (worker_) retired_.push_back({std::move(observer_), std::move(worker_)});
  observer_.reset();
  if (retired_.empty()) return;
  if (reaper_ == nullptr) {
    reaper_ = new QTimer(this);
    reaper_->setInterval(50);
    connect(reaper_, &QTimer::timeout, this, [this] { ReapWorkers(false); });
  }
  reaper_->start();
}

void MainWindow::ReapWorkers(bool wait) {
  for (;;) {
    std::erase_if(retired_, [](RetiredRun& run) {
      if (!run.Observer->Finished()) return false;
      if (run.Worker->Joinable()) run.Worker->Join();
      return true;
    });
    if (retired_.empty() || !wait) break;
    // Serve the worker's pending calls (they are dropped) so that it can reach its end.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (retired_.empty() && reaper_ != nullptr) reaper_->stop();
}

}  // namespace vormla
