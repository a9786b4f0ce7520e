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
#include <QFile>
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

#include "catalogue/AccountFile.h"
#include "desktop/DigitsEdit.h"
#include "engine/RetrievalJob.h"
#include "engine/WebAccess.h"
#include "shell/RunObserver.h"
#include "shell/MainWindow.h"
#include "web/SiteConfig.h"
#include "web/TextOps.h"

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

// A price pair in order: both sides filled and the upper below the lower.
void OrderPricePair(QLineEdit* lower, QLineEdit* upper) {
  const std::string low = TrimBlanks(lower->text().toStdString());
  const std::string high = TrimBlanks(upper->text().toStdString());
  if (low.empty() || high.empty()) return;
  const long long from = ParseIntOr(low, 0);
  const long long to = ParseIntOr(high, 0);
  if (to >= from) return;
  lower->setText(QString::number(to));
  upper->setText(QString::number(from));
}

const QString kSaveDialogTitle = QStringLiteral("取得情報の保存先を指定してください");
const QString kCancelCaption = QStringLiteral("中断確認");

// ".csv" unless the file name already ends in it (any letter case).
QString WithCsvExtension(const QString& path) {
  const QString name = QFileInfo(path).fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString extension = dot < 0 ? QString() : name.mid(dot);
  if (extension.compare(QStringLiteral(".csv"), Qt::CaseInsensitive) == 0) return path;
  return path + QStringLiteral(".csv");
}

}  // namespace

MainWindow::~MainWindow() {
  // A worker still going is told to stop and waited for: it must not outlive
  // the window it reports to.
  if (Worker) Worker->Terminate();
  LeaveRun();
  for (RetiredRun& run : retired_) run.Worker->Terminate();
  ReapWorkers(true);
}

// ---------------------------------------------------------------------------
// Start

void MainWindow::btnActionClick() {
  strCtgrList = tree_.SelectedCategoryList();
  OrderPricePair(txtPrice1, txtPrice2);
  OrderPricePair(txtPrice3, txtPrice4);

  if (chkImgSave->isChecked()) {
    const QString folder = QString::fromStdString(TrimBlanks(txtDirPath->text().toStdString()));
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
      Ask(Notice(QStringLiteral("指定された商品画像保存フォルダが見つかりません。"), QStringLiteral("Error")));
      return;
    }
    // The pictures go where the check looked: the trimmed text, ending in "/".
    txtDirPath->setText(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
  }

  // The member's own account, when there is one; a file others could read stops
  // the start before anything is asked or deleted.
  AccountReading account = ReadAccountFile(accountPath_);
  if (account.State == AccountReading::Found::kRefused) {
    Ask(Notice(QString::fromStdString(account.Message), QStringLiteral("Error")));
    return;
  }

  strFilePath = QStringLiteral("VORMLA商品一覧.csv");
  const QString proposed = lastResultFolder_.isEmpty() ? strFilePath : QDir(lastResultFolder_).filePath(strFilePath);
  const QString chosen = services_.ChooseSaveFile(this, kSaveDialogTitle, QStringLiteral("CSVファイル (*.csv)"),
                                                  QStringLiteral("csv"), proposed);
  if (chosen.isEmpty()) return;
  lastResultFolder_ = QFileInfo(chosen).absolutePath();
  strFilePath = WithCsvExtension(chosen);
  if (!ConfirmReplacing(chosen)) return;

  // A run always writes a fresh file; one that cannot go (held, or a folder in
  // its place) stops the start.
  const QFileInfo existing(strFilePath);
  if (existing.exists() || existing.isSymLink()) {
    if (!QFile::remove(strFilePath)) {
      Ask(Notice(QStringLiteral("選択されたファイルが他のアプリケーションで使用中の為\n開くことができませんでした。"),
                 QStringLiteral("Error")));
      return;
    }
  }

  RunResult = 0;
  services_.SetBusyCursor();
  SetRunningMode();

  prgBar->setValue(0);
  {
    QPalette palette = lblStatus->palette();
    palette.setColor(QPalette::WindowText, QGuiApplication::palette().color(QPalette::WindowText));
    lblStatus->setPalette(palette);
  }
  SetStatusText(QStringLiteral("ページ情報を取得中です。しばらくお待ちください。"));
  repaint();

  if (Worker) return;
  // A worker left stopping shares the process's cookie jar: it must be gone
  // before the next one signs in.
  startWaiting_ = true;
  ReapWorkers(true);
  startWaiting_ = false;
  activeRun_ = ++runCounter_;
  IsRunning = true;
  ItemFound = kNoItem;
  PagesNotRead = 0;
  PicturesNotSaved = 0;
  observer_ = std::make_unique<RunObserver>(*this, activeRun_);
  Worker = std::make_unique<RetrievalJob>(SnapshotConditions(), SnapshotNodes(), *observer_, NetworkWebAccess(),
                                          SiteRoot());
  if (account.State == AccountReading::Found::kAccount) Worker->UseAccount(std::move(account.Account));
  Worker->Start();
  if (closeHeld_) {
    // A close requested during the wait: now it meets a run and is asked about.
    closeHeld_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
  }
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
           btnDirPath, lblWord,   lblWsprice, lblSrprice, lblSort,    lblSell,   lblBar1,
           lblBar2,    lblCtgr,   lblImgDir,  txtWord,    txtPrice1,  txtPrice2, txtPrice3,
           txtPrice4,  txtDirPath, cmbSort,   cmbCtgr,    chkSell1,   chkSell2,  chkItem,
           chkImgSave, TreeView,  spbCollapse, spbExpand}) {
    control->setEnabled(false);
  }
}

void MainWindow::SetIdleMode() {
  btnAction->setEnabled(true);
  btnClear->setEnabled(true);
  btnCancel->setEnabled(false);
  for (QWidget* control : std::initializer_list<QWidget*>{
           lblWord,   lblWsprice, lblSrprice, lblSort,  lblSell,  lblBar1,  lblBar2, lblCtgr,
           txtWord,   txtPrice1,  txtPrice2,  txtPrice3, txtPrice4, txtDirPath, cmbSort, cmbCtgr,
           chkSell1,  chkSell2,   chkItem,    chkImgSave, TreeView, spbCollapse, spbExpand}) {
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
  if (TaskbarReady) services_.SetTaskbarProgressValue(prgBar->value(), prgBar->maximum());
}

void MainWindow::ShowItemProgress(const QString& text) { SetStatusText(text); }

void MainWindow::ShowProgressStatus(const QString& text) { SetStatusText(text); }

void MainWindow::JobFinished() {
  IsRunning = false;
  if (Worker) {
    ItemFound = Worker->ItemFound();
    PagesNotRead = Worker->PagesNotRead();
    PicturesNotSaved = Worker->PicturesNotSaved();
  }
  btnCancelClick();
}

// ---------------------------------------------------------------------------
// Cancel and finish

void MainWindow::btnCancelClick() {
  if (activeRun_ == 0) return;  // no run to cancel or finish

  if (RunResult == 0 && IsRunning) {
    const int run = activeRun_;
    cancelQuestionOpen_ = true;
    const Answer answer = Ask(Question(QStringLiteral("取得処理を中断します。\nよろしいですか？"), kCancelCaption));
    cancelQuestionOpen_ = false;
    if (answer != Answer::Yes) return;
    // The run may have ended while the question was up; then there is nothing to stop.
    if (activeRun_ != run) return;
    RunResult = 2;
    if (Worker) Worker->Terminate();
    return;
  }

  if (RunResult == 0 && !IsRunning) {
    LeaveRun();
    switch (ItemFound.load()) {
      case kNoItem: RunResult = 1; break;
      case kFileError: RunResult = 7; break;
      case kSiteUnreachable: RunResult = 9; break;
      default: break;
    }
    FinishRun(static_cast<unsigned>(RunResult));
    return;
  }

  if (!IsRunning) {
    LeaveRun();
    // A result file that failed is reported also when the user had stopped the run.
    if (ItemFound == kFileError) {
      if (RunResult == 2) {
        RunResult = 7;
      } else {
        ShowResultFileError();
      }
    }
    FinishRun(static_cast<unsigned>(RunResult));
    return;
  }

  if (RunResult == 5) {
    if (Worker) Worker->Terminate();
    RunResult = 6;
    return;
  }

  // Cancel pressed again while the worker is still stopping: leave it to stop on
  // its own (it is joined before the next run and at exit) and finish now.
  LeaveRun();
  FinishRun(static_cast<unsigned>(RunResult));
}

void MainWindow::FinishRun(unsigned code) {
  // A 中断確認 question still up asks about a run that is over: it goes, as if
  // answered No, before anything about the end is shown.
  if (cancelQuestionOpen_) services_.CloseMessage(this, kCancelCaption);
  services_.RestoreCursor();
  switch (code) {
    case 0: {
      services_.Beep();
      services_.Alert(this);
      Message open = Question(WithCounts(QStringLiteral("商品情報の取得が完了しました。\n保存したファイルを開きますか？")),
                               QStringLiteral("処理確認"));
      open.DefaultNo = true;
      if (Ask(open) == Answer::Yes) {
        if (QFileInfo::exists(strFilePath)) {
          services_.OpenFile(strFilePath);
        } else {
          Ask(Notice(QStringLiteral("該当するファイルが見つかりませんでした。"), QStringLiteral("Error")));
        }
      }
      break;
    }
    case 1:
      Ask(Notice(WithCounts(QStringLiteral("該当する商品情報は見つかりませんでした。")), QStringLiteral("検索終了")));
      break;
    case 5:
    case 6:
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
    case 7:
      ShowResultFileError();
      break;
    case 9:
      Ask(Notice(WithCounts(QStringLiteral("サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。")),
                 QStringLiteral("Error")));
      break;
    default:
      break;
  }
  if (TaskbarReady) services_.SetTaskbarProgressState(tbpsNone);
  SetStatusText(QString());
  prgBar->setValue(0);
  SetIdleMode();
}

void MainWindow::ShowResultFileError() {
  Ask(Notice(WithCounts(QStringLiteral("結果ファイルに書き込めませんでした。\n") + strFilePath), QStringLiteral("Error")));
}

QString MainWindow::WithCounts(const QString& text) const {
  // A closing message gets one more line when something was not read or saved.
  if (PagesNotRead == 0 && PicturesNotSaved == 0) return text;
  return text + QStringLiteral("\n読めなかったページ %1、保存できなかった画像 %2").arg(PagesNotRead).arg(PicturesNotSaved);
}

// ---------------------------------------------------------------------------
// Workers

void MainWindow::LeaveRun() {
  activeRun_ = 0;
  IsRunning = false;
  if (Worker) retired_.push_back({std::move(observer_), std::move(Worker)});
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
