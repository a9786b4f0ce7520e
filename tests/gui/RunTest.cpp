// Whole runs in the window: the real engine against the demo market over HTTPS,
// with the boxes and the save dialog answered by the recording services.
#include <sys/resource.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>

#include "GuiTestKit.h"
#include "RunTestKit.h"
#include "demo-market/DemoMarket.h"
#include "engine/RetrievalJob.h"
#include "run/Run.h"
#include "shell/DigitsEdit.h"
#include "shell/LauncherProgress.h"
#include "support/LocalPorts.h"
#include "support/ResultCsv.h"
#include "text/TextOps.h"

namespace vormla::test {

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// The result file's rows after the header, each field unquoted and decoded.
QList<QStringList> CsvRows(const QString& path) {
  QList<QStringList> rows;
  for (const auto& fields : vormla::testing::ItemRowsUtf8(ReadAll(path).toStdString())) {
    QStringList row;
    for (const std::string& field : fields) row << QString::fromStdString(field);
    rows << row;
  }
  return rows;
}

using vormla::testing::ClosedPort;

// While set, no file of this process may grow past a size (the kernel refuses
// the write with EFBIG, as a file system at its limit does).
class FileSizeLimit {
 public:
  FileSizeLimit() {
    ::getrlimit(RLIMIT_FSIZE, &saved_);
    // Past the limit the kernel also raises SIGXFSZ, which would end the process.
    savedSignal_ = std::signal(SIGXFSZ, SIG_IGN);
  }
  ~FileSizeLimit() {
    Clear();
    std::signal(SIGXFSZ, savedSignal_);
  }
  void Set(rlim_t bytes) {
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  void Clear() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

 private:
  rlimit saved_{};
  void (*savedSignal_)(int) = SIG_DFL;
};

// Waits without serving the event queue, so that the worker's calls to the
// window stay pending meanwhile.
bool WaitUnserved(const std::function<bool()>& done) {
  for (int i = 0; i < 6000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return done();
}

const QString kStartText = QStringLiteral("ページ情報を取得中です。しばらくお待ちください。");
const QStringList kSignInTexts = {QStringLiteral("ページ内容の確認中1..."), QStringLiteral("ページ内容の確認中2...")};

QString ItemText(const QString& label, int done, long long total) {
  return QStringLiteral("分類 : ") + label + QStringLiteral(" - ") + QString::number(done) + QStringLiteral("/") +
         QString::number(total) + QStringLiteral("件 取得中");
}

// The outcome 9 message of a run whose one page was not read, and its cause.
QString SiteNotReadWithOnePage(const QString& cause) {
  return QStringLiteral(
             "サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。\n\n"
             "書き込んだ行 0、読めなかったページ 1\n原因: ") +
         cause;
}

}  // namespace

class RunTest : public QObject {
  Q_OBJECT

 private:
  MarketForWindows demo_;
  demo::DemoMarket* market_ = nullptr;
  QTemporaryDir work_;
  int csvCounter_ = 0;

  QString NewCsv() { return work_.filePath(QStringLiteral("run%1.csv").arg(++csvCounter_)); }

  // The rows the market expects for the searches served since the last clear,
  // each search with its category label.
  std::vector<demo::ExpectedItem> Expected(const QString& top, const QStringList& labels) const {
    std::vector<std::string> columns;
    for (const QString& label : labels)
      columns.push_back((top.isEmpty() ? label : top + QStringLiteral(" > ") + label).toStdString());
    return market_->ExpectedRunRows(columns);
  }

  static void CompareRows(const QList<QStringList>& rows, const std::vector<demo::ExpectedItem>& expected,
                          qsizetype count) {
    QVERIFY(count <= static_cast<qsizetype>(expected.size()));
    QCOMPARE(rows.size(), count);
    for (qsizetype i = 0; i < count; ++i) {
      QCOMPARE(rows[i].size(), 36);
      for (int c = 0; c < 36; ++c)
        QCOMPARE(rows[i][c], QString::fromStdString(expected[static_cast<size_t>(i)].columns[static_cast<size_t>(c)]));
    }
  }

  // The item texts the market's searches call for, search by search.
  QStringList ExpectedItemTexts(const QStringList& labels) const {
    QStringList texts;
    const auto searches = market_->Searches();
    for (size_t k = 0; k < searches.size(); ++k) {
      const long long hits = searches[k].hitCount;
      const long long read = std::min<long long>(hits, static_cast<long long>(searches[k].blockUrls.size()));
      if (hits < 1) texts << ItemText(labels[static_cast<qsizetype>(k)], 0, hits);
      for (long long i = 1; i <= read; ++i)
        texts << ItemText(labels[static_cast<qsizetype>(k)], static_cast<int>(i), hits);
    }
    return texts;
  }

  static void CheckIdle(const RunWindow& run) {
    auto* chkImgSave = Control<QCheckBox>(*run.Window, "chkImgSave");
    QVERIFY(run.Idle());
    QCOMPARE(Control<QLabel>(*run.Window, "lblStatus")->text(), QString());
    QCOMPARE(Control<QProgressBar>(*run.Window, "prgBar")->value(), 0);
    for (QWidget* control :
         Controls(*run.Window, {"txtWord", "txtPrice1", "cmbCtgr", "TreeView", "chkImgSave", "btnClear"}))
      QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    QCOMPARE(Control<QLabel>(*run.Window, "lblImgDir")->isEnabled(), chkImgSave->isChecked());
    QCOMPARE(Control<QPushButton>(*run.Window, "btnDirPath")->isEnabled(), chkImgSave->isChecked());
  }

  // Checks child nodes of top-level entry 1 of the shipped catalogue.
  static QStringList ChooseCategories(RunWindow& run, const QList<int>& nodes) {
    ChooseCategory(*run.Window, 1);
    Control<QTreeWidget>(*run.Window, "TreeView")->expandAll();
    QStringList labels;
    for (int node : nodes) {
      ClickCheckBox(*run.Window, node);
      QTreeWidgetItem* item = run.Window->NodeItem(node);
      labels << item->parent()->text(0).trimmed() + QStringLiteral(" > ") + item->text(0).trimmed();
    }
    return labels;
  }

 private slots:
  void initTestCase() {
    QVERIFY(work_.isValid());
    QVERIFY(demo_.Start());
    market_ = &demo_.Market();
  }

  void cleanupTestCase() { demo_.Stop(); }

  void init() {
    market_->ClearRecords();
    market_->ClearRoutes();
  }

  // A whole-site result page that lists these item URLs.
  void ServeListing(const std::vector<std::string>& urls) {
    const std::string count = std::to_string(urls.size());
    std::string page = "<p class=\"paginationTxt\">全" + count + "件中</p>\n";
    for (const std::string& url : urls)
      page += "<h3 class=\"showcaseHd\">\n<a href=\"" + url + "\">品名</a></h3>\n</section>\n";
    market_->SetRoute("/search", {200, "text/html; charset=UTF-8", page, {}});
  }

  void wholeSiteRunWritesItsRowsAndAsksToOpenTheFile() {
    RunWindow run;
    bool checkedRunning = false;
    run.AtItem(1, [&] {
      // Running mode while the worker waits.
      QVERIFY(!Control<QPushButton>(*run.Window, "btnAction")->isEnabled());
      QVERIFY(!Control<QPushButton>(*run.Window, "btnClear")->isEnabled());
      QVERIFY(Control<QPushButton>(*run.Window, "btnCancel")->isEnabled());
      for (QWidget* control :
           Controls(*run.Window, {"txtWord", "txtPrice4", "cmbSort", "TreeView", "spbExpand", "lblImgDir"}))
        QVERIFY(!control->isEnabled());
      QCOMPARE(run.Services.BusyCursors, 1);
      QCOMPARE(run.Services.RestoredCursors, 0);
      checkedRunning = true;
    });
    run.Services.Answers = {Answer::No};
    const QString csv = NewCsv();
    run.Start(csv);
    QCOMPARE(run.Services.SaveDialogs.size(), 1);
    QCOMPARE(run.Services.SaveDialogs[0],
             (QStringList{QStringLiteral("取得情報の保存先を指定してください"), QStringLiteral("CSVファイル (*.csv)"),
                          QStringLiteral("csv"), QStringLiteral("VORMLA商品一覧.csv")}));
    QCOMPARE(run.Window->RunResult(), RunCode::kNormal);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QVERIFY(checkedRunning);
    CheckIdle(run);

    // Every row the market calls for.
    const auto searches = market_->Searches();
    QCOMPARE(searches.size(), size_t{1});
    QVERIFY(searches[0].query.allCategories);
    const QList<QStringList> rows = CsvRows(csv);
    const auto expected = Expected(QString(), {QStringLiteral("全カテゴリ")});
    QVERIFY(expected.size() > 30);
    CompareRows(rows, expected, static_cast<qsizetype>(expected.size()));
    QVERIFY(ReadAll(csv).startsWith(QByteArray::fromStdString(CsvHeader() + "\r\n")));

    // Start text, the sign-in texts, one text per item, then empty.
    QStringList texts = QStringList{kStartText} + kSignInTexts + ExpectedItemTexts({QStringLiteral("全カテゴリ")});
    texts << QString();
    QCOMPARE(run.Texts, texts);
    QCOMPARE(run.Texts[3], ItemText(QStringLiteral("全カテゴリ"), 1, searches[0].hitCount));

    // Nothing checked: one search, the bar full from its start.
    QCOMPARE(run.Bar, (QStringList{QStringLiteral("1 of 0..1"), QStringLiteral("0 of 0..1")}));

    // Beep, alert and the open question with No as the default.
    QCOMPARE(run.Services.Beeps, 1);
    QCOMPARE(run.Services.Alerts, 1);
    QCOMPARE(run.Services.Messages.size(), 1);
    const Message& open = run.Services.Messages[0];
    QCOMPARE(open.Text,
             QStringLiteral("商品情報の取得が完了しました。\n保存したファイルを開きますか？\n\n書き込んだ行 %1")
                 .arg(expected.size()));
    QCOMPARE(open.Caption, QStringLiteral("処理確認"));
    QVERIFY(open.Kind == Message::Buttons::YesNo);
    QVERIFY(open.Symbol == Message::Icon::Question);
    QVERIFY(open.DefaultNo);
    QVERIFY(run.Services.Opened.isEmpty());
    QCOMPARE(run.Services.RestoredCursors, 1);
    // Launcher progress was off for this window.
    QVERIFY(run.Services.TaskbarCalls.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(run.Window->StoppingWorkers(), 0, 5000);
  }

  void categoryRunStepsTheBarAndTheLauncher() {
    LauncherListener listener;
    QVERIFY(listener.Listen());
    RunWindow run(true);
    QVERIFY(run.Window->TaskbarReady());
    const QStringList labels = ChooseCategories(run, {1, 2});
    QCOMPARE(run.Window->Tree().SelectedCategoryList(), std::string("1,2,"));
    run.Services.Answers = {Answer::Yes};
    const QString csv = NewCsv();
    run.Start(csv);
    QCOMPARE(run.Window->CategoryList(), std::string("1,2,"));
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    CheckIdle(run);

    const QString top = Control<QComboBox>(*run.Window, "cmbCtgr")->currentText();
    const auto expected = Expected(top, labels);
    QVERIFY(!expected.empty());
    CompareRows(CsvRows(csv), expected, static_cast<qsizetype>(expected.size()));
    QCOMPARE(run.Texts, QStringList{kStartText} + kSignInTexts + ExpectedItemTexts(labels) + QStringList{QString()});

    // The bar counts searches: 1 of 2 during the first, 2 of 2 during the second.
    QCOMPARE(run.Bar,
             (QStringList{QStringLiteral("1 of 0..2"), QStringLiteral("2 of 0..2"), QStringLiteral("0 of 0..2")}));
    QCOMPARE(run.Services.TaskbarCalls,
             (QStringList{QStringLiteral("value 1/2"), QStringLiteral("value 2/2"), QStringLiteral("state 0")}));
    QTRY_COMPARE_WITH_TIMEOUT(listener.Updates.size(), 3, 5000);
    listener.Stop();
    QCOMPARE(listener.Updates[0].Progress, 0.5);
    QCOMPARE(listener.Updates[1].Progress, 1.0);
    QVERIFY(listener.Updates[0].Visible && listener.Updates[1].Visible);
    QVERIFY(!listener.Updates[2].Visible);

    // Yes to the open question opens the file with the desktop's program.
    QCOMPARE(run.Services.Opened, QStringList{csv});
  }

  void openAnsweredYesWhenTheFileIsGone() {
    RunWindow run;
    const QString csv = NewCsv();
    // The file goes away while the open question is up.
    run.Services.OnMessage = [&](const Message& message) {
      if (message.Caption == QStringLiteral("処理確認")) QFile::remove(csv);
    };
    run.Services.Answers = {Answer::Yes};
    run.Start(csv);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QVERIFY(run.Services.Opened.isEmpty());
    QCOMPARE(run.Services.Messages.size(), 2);
    QCOMPARE(run.Services.Messages[1].Text, QStringLiteral("該当するファイルが見つかりませんでした。"));
    QCOMPARE(run.Services.Messages[1].Caption, QStringLiteral("Error"));
    QVERIFY(run.Services.Messages[1].Kind == Message::Buttons::Ok);
  }

  void nothingFoundLeavesTheHeaderOnly() {
    RunWindow run;
    auto* txtDirPath = Control<QLineEdit>(*run.Window, "txtDirPath");
    QTemporaryDir pictures;
    Control<QCheckBox>(*run.Window, "chkImgSave")->setChecked(true);
    txtDirPath->setText(pictures.path());
    Control<QLineEdit>(*run.Window, "txtPrice1")->setText(QStringLiteral("999999999"));
    const QString csv = NewCsv();
    run.Start(csv);
    QCOMPARE(txtDirPath->text(), pictures.path() + QStringLiteral("/"));
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    CheckIdle(run);
    QCOMPARE(run.Services.Messages.size(), 1);
    QCOMPARE(run.Services.Messages[0].Text,
             QStringLiteral("該当する商品情報は見つかりませんでした。\n\n書き込んだ行 0"));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("検索終了"));
    QVERIFY(run.Services.Messages[0].Kind == Message::Buttons::Ok);
    QCOMPARE(run.Window->RunResult(), RunCode::kNothingFound);
    QCOMPARE(ReadAll(csv), QByteArray::fromStdString(CsvHeader() + "\r\n"));
    QCOMPARE(run.Services.Beeps, 0);
    // The folder controls come back with the picture box checked.
    QVERIFY(Control<QLabel>(*run.Window, "lblImgDir")->isEnabled());
    QVERIFY(Control<QPushButton>(*run.Window, "btnDirPath")->isEnabled());
  }

  void cancelAnsweredNoLeavesTheRunGoing() {
    RunWindow run;
    run.AtItem(2, [&] { Control<QPushButton>(*run.Window, "btnCancel")->click(); });
    run.Services.Answers = {Answer::No, Answer::No};
    const QString csv = NewCsv();
    run.Start(csv);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(run.Services.Messages.size(), 2);
    QCOMPARE(run.Services.Messages[0].Text, QStringLiteral("取得処理を中断します。\nよろしいですか？"));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("中断確認"));
    QVERIFY(run.Services.Messages[0].Kind == Message::Buttons::YesNo);
    QCOMPARE(run.Services.Messages[1].Caption, QStringLiteral("処理確認"));
    QCOMPARE(run.Window->RunResult(), RunCode::kNormal);
    const auto expected = Expected(QString(), {QStringLiteral("全カテゴリ")});
    CompareRows(CsvRows(csv), expected, static_cast<qsizetype>(expected.size()));
  }

  void cancelAnsweredYesKeepsTheRowsSoFar() {
    RunWindow run;
    run.AtItem(3, [&] { Control<QPushButton>(*run.Window, "btnCancel")->click(); });
    run.Services.Answers = {Answer::Yes};
    const QString csv = NewCsv();
    run.Start(csv);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    CheckIdle(run);
    QCOMPARE(run.Window->RunResult(), RunCode::kCancelled);
    QCOMPARE(run.Services.Messages.size(), 1);  // the question only
    QCOMPARE(run.Services.Beeps, 0);
    QCOMPARE(run.Texts.last(), QString());
    // Items 1 and 2 were written; the third was being read when the stop came.
    const auto expected = Expected(QString(), {QStringLiteral("全カテゴリ")});
    const QList<QStringList> rows = CsvRows(csv);
    QVERIFY(rows.size() >= 1 && rows.size() <= 3);
    CompareRows(rows, expected, rows.size());
    QVERIFY(rows.size() < static_cast<qsizetype>(expected.size()));
  }

  void secondCancelReturnsToIdleAtOnceAndTheNextRunIsClean() {
    RunWindow run;
    auto* btnCancel = Control<QPushButton>(*run.Window, "btnCancel");
    bool idleAtOnce = false;
    run.AtItem(2, [&] {
      btnCancel->click();  // Yes: stopping
      QCOMPARE(run.Window->RunResult(), RunCode::kCancelled);
      btnCancel->click();  // again, before the worker could end
      // Idle at once, the worker (waiting on this very call) left to stop on its own.
      idleAtOnce = run.Idle() && run.Window->StoppingWorkers() == 1 && !run.Window->CurrentRun();
    });
    run.Services.Answers = {Answer::Yes};
    run.Start(NewCsv());
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QVERIFY(idleAtOnce);
    CheckIdle(run);
    QCOMPARE(run.Window->RunResult(), RunCode::kCancelled);
    QCOMPARE(run.Services.Messages.size(), 1);

    // The next run waits for the old worker and is not disturbed by it.
    market_->ClearRecords();
    run.Texts.clear();
    run.Bar.clear();
    run.Services.Answers = {Answer::No};
    const QString csv = NewCsv();
    run.Start(csv);
    QVERIFY(run.Window->StoppingWorkers() == 0);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(run.Window->RunResult(), RunCode::kNormal);
    QCOMPARE(run.Services.Messages.size(), 2);
    QCOMPARE(run.Services.Messages[1].Caption, QStringLiteral("処理確認"));
    const auto expected = Expected(QString(), {QStringLiteral("全カテゴリ")});
    CompareRows(CsvRows(csv), expected, static_cast<qsizetype>(expected.size()));
    QCOMPARE(run.Texts, QStringList{kStartText} + kSignInTexts + ExpectedItemTexts({QStringLiteral("全カテゴリ")}) +
                            QStringList{QString()});
  }

  void closeAnsweredNoKeepsTheRun() {
    RunWindow run;
    run.AtItem(2, [&] { QVERIFY(!run.Window->close()); });
    run.Services.Answers = {Answer::No, Answer::No};
    run.Start(NewCsv());
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(run.Services.Messages.size(), 2);
    QCOMPARE(run.Services.Messages[0].Text, QStringLiteral("取得処理の実行中ですが終了しますか？"));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("終了確認"));
    QCOMPARE(run.Services.Messages[1].Caption, QStringLiteral("処理確認"));
    QCOMPARE(run.Services.Terminations, 0);
    QVERIFY(run.Window->isVisible());
    QVERIFY(run.Folder.ReadIni().isEmpty());
  }

  void closeAnsweredYesEndsTheProgramOnceTheWorkerStopped() {
    RunWindow run;
    auto* btnCancel = Control<QPushButton>(*run.Window, "btnCancel");
    bool sawRefusal = false;
    run.AtItem(2, [&] {
      sawRefusal = !run.Window->close();
      // The close became a cancel; the window stays until the worker has stopped.
      QCOMPARE(run.Window->RunResult(), RunCode::kClosing);
      QVERIFY(btnCancel->isEnabled());
      QCOMPARE(run.Services.Terminations, 0);
      QVERIFY(run.Folder.ReadIni().isEmpty());
    });
    run.Services.Answers = {Answer::Yes};
    const QString csv = NewCsv();
    run.Start(csv);
    QTRY_COMPARE_WITH_TIMEOUT(run.Services.Terminations, 1, 30000);
    QVERIFY(sawRefusal);
    QVERIFY(!btnCancel->isEnabled());
    QVERIFY(run.Folder.ReadIni().contains("[Config]"));
    QCOMPARE(run.Services.Messages.size(), 1);
    const QList<QStringList> rows = CsvRows(csv);
    const auto expected = Expected(QString(), {QStringLiteral("全カテゴリ")});
    CompareRows(rows, expected, rows.size());
    QVERIFY(rows.size() < static_cast<qsizetype>(expected.size()));
  }

  void secondCancelAfterAConfirmedCloseEndsAtOnce() {
    RunWindow run;
    bool endedAtOnce = false;
    run.AtItem(2, [&] {
      run.Window->close();
      Control<QPushButton>(*run.Window, "btnCancel")->click();
      endedAtOnce = run.Services.Terminations == 1 && run.Window->StoppingWorkers() == 1;
    });
    run.Services.Answers = {Answer::Yes};
    run.Start(NewCsv());
    QTRY_COMPARE_WITH_TIMEOUT(run.Services.Terminations, 1, 30000);
    QVERIFY(endedAtOnce);
    QVERIFY(run.Folder.ReadIni().contains("[Config]"));
    QCOMPARE(run.Services.Messages.size(), 1);
    // The window going away waits for the worker.
    run.Window.reset();
  }

  void runEndingWhileTheCloseQuestionIsUpClosesNormally() {
    RunWindow run;
    bool closed = false;
    run.AtItem(2, [&] { QTimer::singleShot(0, run.Window.get(), [&] { closed = run.Window->close(); }); });
    run.Services.OnMessage = [&](const Message& message) {
      if (message.Caption == QStringLiteral("終了確認")) QVERIFY(QTest::qWaitFor([&] { return run.Idle(); }, 30000));
    };
    run.Services.Answers = {Answer::No, Answer::Yes};
    run.Start(NewCsv());
    QTRY_VERIFY_WITH_TIMEOUT(closed, 30000);
    QVERIFY(!run.Window->isVisible());
    QVERIFY(run.Folder.ReadIni().contains("[Config]"));
    QCOMPARE(run.Services.Terminations, 0);
  }

  void pricePairsAreOrderedOnStart() {
    RunWindow run;
    auto* txtPrice1 = Control<QLineEdit>(*run.Window, "txtPrice1");
    auto* txtPrice2 = Control<QLineEdit>(*run.Window, "txtPrice2");
    auto* txtPrice3 = Control<QLineEdit>(*run.Window, "txtPrice3");
    auto* txtPrice4 = Control<QLineEdit>(*run.Window, "txtPrice4");
    auto* btnAction = Control<QPushButton>(*run.Window, "btnAction");
    run.Services.SaveChoice.clear();  // the dialog is cancelled: no run
    txtPrice1->setText(QStringLiteral("5000"));
    txtPrice2->setText(QStringLiteral("1000"));
    txtPrice3->setText(QStringLiteral("700"));
    txtPrice4->setText(QString());
    btnAction->click();
    QCOMPARE(txtPrice1->text(), QStringLiteral("1000"));
    QCOMPARE(txtPrice2->text(), QStringLiteral("5000"));
    QCOMPARE(txtPrice3->text(), QStringLiteral("700"));
    QCOMPARE(txtPrice4->text(), QString());
    // Equal values and ordered pairs stay; leading zeros go only with a swap.
    txtPrice1->setText(QStringLiteral("0300"));
    txtPrice2->setText(QStringLiteral("300"));
    txtPrice3->setText(QStringLiteral("20"));
    txtPrice4->setText(QStringLiteral("0100"));
    btnAction->click();
    QCOMPARE(txtPrice1->text(), QStringLiteral("0300"));
    QCOMPARE(txtPrice2->text(), QStringLiteral("300"));
    QCOMPARE(txtPrice3->text(), QStringLiteral("20"));
    QCOMPARE(txtPrice4->text(), QStringLiteral("0100"));
    QCOMPARE(run.Services.SaveDialogs.size(), 2);
    QVERIFY(run.Idle());
    QCOMPARE(run.Services.BusyCursors, 0);
  }

  void missingPictureFolderStartsNothing() {
    RunWindow run;
    auto* txtDirPath = Control<QLineEdit>(*run.Window, "txtDirPath");
    auto* btnAction = Control<QPushButton>(*run.Window, "btnAction");
    Control<QCheckBox>(*run.Window, "chkImgSave")->setChecked(true);
    txtDirPath->setText(work_.filePath(QStringLiteral("no-such-folder")));
    run.Services.SaveChoice = NewCsv();
    btnAction->click();
    QCOMPARE(run.Services.Messages.size(), 1);
    QCOMPARE(run.Services.Messages[0].Text, QStringLiteral("指定された商品画像保存フォルダが見つかりません。"));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("Error"));
    QVERIFY(run.Services.Messages[0].Kind == Message::Buttons::Ok);
    QVERIFY(run.Services.SaveDialogs.isEmpty());
    QVERIFY(run.Idle());
    QVERIFY(market_->Requests().empty());
    // The list is built before the check stops the start.
    QCOMPARE(run.Window->CategoryList(), std::string());

    // An existing folder, given with blanks and without the final "/".
    run.Services.SaveChoice.clear();
    txtDirPath->setText(QStringLiteral("  ") + work_.path() + QStringLiteral(" "));
    btnAction->click();
    QCOMPARE(txtDirPath->text(), work_.path() + QStringLiteral("/"));
    QCOMPARE(run.Services.SaveDialogs.size(), 1);
  }

  void extensionRulesAndAFileThatCannotGo() {
    RunWindow run;
    // A non-empty folder standing where the file would go cannot be deleted.
    const QList<QPair<QString, QString>> cases = {
        {QStringLiteral("plain"), QStringLiteral("plain.csv")},
        {QStringLiteral("upper.CSV"), QStringLiteral("upper.CSV")},
        {QStringLiteral("lower.csv"), QStringLiteral("lower.csv")},
        {QStringLiteral("text.txt"), QStringLiteral("text.txt.csv")},
        {QStringLiteral("dotted.dir/name"), QStringLiteral("dotted.dir/name.csv")},
    };
    QDir(work_.path()).mkpath(QStringLiteral("dotted.dir"));
    for (const auto& [chosen, final] : cases) {
      const QString target = work_.filePath(final);
      QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
      run.Services.Messages.clear();
      run.Services.SaveChoice = work_.filePath(chosen);
      Control<QPushButton>(*run.Window, "btnAction")->click();
      QCOMPARE(run.Window->ResultFilePath(), target);
      QCOMPARE(run.Services.Messages.size(), 1);
      QCOMPARE(run.Services.Messages[0].Text,
               QStringLiteral("選択されたファイルが他のアプリケーションで使用中の為\n開くことができませんでした。"));
      QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("Error"));
      QVERIFY(QFileInfo(target).isDir());
      QVERIFY(run.Idle());
    }
    QCOMPARE(run.Services.BusyCursors, 0);
    QVERIFY(market_->Requests().empty());
  }

  void anExistingFileIsReplaced() {
    RunWindow run;
    const QString csv = NewCsv();
    {
      QFile old(csv);
      QVERIFY(old.open(QIODevice::WriteOnly));
      old.write(QByteArray(100000, 'x'));
    }
    Control<QLineEdit>(*run.Window, "txtPrice1")->setText(QStringLiteral("999999999"));
    run.Start(csv);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(ReadAll(csv), QByteArray::fromStdString(CsvHeader() + "\r\n"));
  }

  void unwritableResultFileIsReported() {
    RunWindow run;
    const QString plain = work_.filePath(QStringLiteral("plain-file"));
    {
      QFile file(plain);
      QVERIFY(file.open(QIODevice::WriteOnly));
    }
    const QString csv = plain + QStringLiteral("/out.csv");
    run.Start(csv);
    QVERIFY(run.Idle());
    QCOMPARE(run.Services.Messages.size(), 1);
    QCOMPARE(run.Services.Messages[0].Text, QStringLiteral("結果ファイルに書き込めませんでした。\n") + csv);
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("Error"));
    QCOMPARE(run.Services.BusyCursors, 0);
    QVERIFY(market_->Requests().empty());
  }

  void unreachableSiteIsReported() {
    const QByteArray root = qgetenv("VORMLA_SITE_ROOT");
    const int port = ClosedPort();
    qputenv("VORMLA_SITE_ROOT", QByteArray("https://127.0.0.1:") + QByteArray::number(port));
    RunWindow run;
    const QString csv = NewCsv();
    run.Start(csv);
    const bool idle = QTest::qWaitFor([&] { return run.Idle(); }, 30000);
    qputenv("VORMLA_SITE_ROOT", root);
    QVERIFY(idle);
    CheckIdle(run);
    QCOMPARE(run.Window->RunResult(), RunCode::kSiteUnreachable);
    QCOMPARE(run.Services.Messages.size(), 1);
    const QString url =
        QStringLiteral("https://127.0.0.1:%1/search?category_id=80&ex_so=N&sort=score&sort_operate_flg=Y");
    QCOMPARE(run.Services.Messages[0].Text,
             SiteNotReadWithOnePage(QStringLiteral("接続を拒否されました (") + url.arg(port) + QStringLiteral(")")));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("Error"));
    QVERIFY(!QFileInfo::exists(csv));
  }

  void resultPageThatCannotBeReadIsNotNothingFound() {
    // A 500, twice: the site answered, but no page of it was read.
    market_->SetRoute("/search", {500, "text/html; charset=UTF-8", "<p class=\"paginationTxt\">全3件中</p>", {}});
    RunWindow run;
    const QString csv = NewCsv();
    run.Start(csv);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    CheckIdle(run);
    QCOMPARE(run.Window->RunResult(), RunCode::kSiteUnreachable);
    QCOMPARE(run.Services.Messages.size(), 1);
    const QString url = QString::fromStdString(market_->SiteRoot()) +
                        QStringLiteral("/search?category_id=80&ex_so=N&sort=score&sort_operate_flg=Y");
    QCOMPARE(
        run.Services.Messages[0].Text,
        SiteNotReadWithOnePage(QStringLiteral("HTTP ステータス 500 が返されました (") + url + QStringLiteral(")")));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("Error"));
    size_t searches = 0;
    for (const auto& request : market_->Requests()) searches += request.target.rfind("/search", 0) == 0;
    QCOMPARE(searches, size_t{2});
  }

  void finishedRunNamesWhatWasNotReadOrSaved() {
    // One item that exists and one whose page is missing; the pictures of the
    // first go to a folder where one of them cannot be written and a link
    // stands for another.
    const auto items =
        market_->ExpectedRows("/search/?category_id=3003&ex_so=N&sort=score&sort_operate_flg=Y", "", true);
    const auto item = std::find_if(items.begin(), items.end(), [](const demo::ExpectedItem& i) {
      return i.picturesSaved && i.missingPictureUrls.empty() && i.pictureUrls.size() >= 2;
    });
    QVERIFY(item != items.end());
    ServeListing({item->url, market_->SiteRoot() + "/shop/9/missing"});
    QTemporaryDir pictures;
    const std::string first = item->pictureUrls[0].substr(0, item->pictureUrls[0].find('?'));
    QVERIFY(QDir(pictures.path())
                .mkpath(QString::fromStdString(item->columns[0] + "/" + first.substr(first.rfind('/') + 1))));
    const std::string second = item->pictureUrls[1].substr(0, item->pictureUrls[1].find('?'));
    const std::string linked = second.substr(second.rfind('/') + 1);
    QTemporaryDir outside;
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("x.jpg")),
                        pictures.filePath(QString::fromStdString(item->columns[0] + "/" + linked))));
    RunWindow run;
    Control<QCheckBox>(*run.Window, "chkImgSave")->setChecked(true);
    Control<QLineEdit>(*run.Window, "txtDirPath")->setText(pictures.path());
    const QString csv = NewCsv();
    run.Services.Answers = {Answer::No};
    run.Start(csv);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(run.Window->RunResult(), RunCode::kNormal);
    QCOMPARE(CsvRows(csv).size(), 1);
    QCOMPARE(run.Services.Messages.size(), 1);
    const QString folder =
        pictures.path() + QStringLiteral("/") + QString::fromStdString(item->columns[0]) + QStringLiteral("/");
    QCOMPARE(
        run.Services.Messages[0].Text,
        QStringLiteral("商品情報の取得が完了しました。\n保存したファイルを開きますか？\n\n"
                       "書き込んだ行 1、読めなかったページ 1、保存できなかった画像 2\n画像を保存できませんでした: ") +
            folder + QStringLiteral(" (") + QString::fromStdString(first.substr(first.rfind('/') + 1)) +
            QStringLiteral(" を書き込めません: 同じ名前のものがすでにあります)\n画像を保存できませんでした: ") +
            folder + QStringLiteral(" (") + QString::fromStdString(linked) +
            QStringLiteral(" がシンボリックリンクのため、リンク先には書き込みません)"));
    QVERIFY(QDir(outside.path()).isEmpty());
  }

  // The dialog checked the name it was given; Start's ".csv" rule may make another
  // of it, and that file is not replaced without the dialog's own question.
  void renamedChoiceAsksBeforeReplacing() {
    RunWindow run;
    Control<QLineEdit>(*run.Window, "txtPrice1")->setText(QStringLiteral("999999999"));  // a short run
    const QString kept = work_.filePath(QStringLiteral("x.txt.csv"));
    {
      QFile file(kept);
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("keep");
    }
    run.Services.Answers = {Answer::No};
    run.Start(work_.filePath(QStringLiteral("x.txt")));
    QCOMPARE(run.Services.Messages.size(), 1);
    const Message& question = run.Services.Messages[0];
    QCOMPARE(question.Text, QStringLiteral("x.txt.csv は既に存在します。\n置き換えますか?"));
    QCOMPARE(question.Caption, QStringLiteral("取得情報の保存先を指定してください"));
    QVERIFY(question.Kind == Message::Buttons::YesNo);
    QVERIFY(question.Symbol == Message::Icon::Warning);
    QVERIFY(question.DefaultNo);
    // No: nothing deleted, nothing started.
    QVERIFY(run.Idle());
    QCOMPARE(ReadAll(kept), QByteArray("keep"));
    QCOMPARE(run.Services.BusyCursors, 0);
    QVERIFY(market_->Requests().empty());

    // Yes: the file is replaced by the run's.
    run.Services.Messages.clear();
    run.Services.Answers = {Answer::Yes};
    run.Start(work_.filePath(QStringLiteral("x.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(run.Services.Messages.size(), 2);
    QCOMPARE(run.Services.Messages[1].Caption, QStringLiteral("検索終了"));
    QCOMPARE(ReadAll(kept), QByteArray::fromStdString(CsvHeader() + "\r\n"));

    // A name the dialog itself confirmed, or one that names no file, is not asked about again.
    run.Services.Messages.clear();
    run.Start(kept);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    run.Start(work_.filePath(QStringLiteral("fresh-name")));
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(run.Services.Messages.size(), 2);
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("検索終了"));
    QCOMPARE(run.Services.Messages[1].Caption, QStringLiteral("検索終了"));
    QVERIFY(QFileInfo::exists(work_.filePath(QStringLiteral("fresh-name.csv"))));
  }

  void saveDialogOpensWhereTheLastResultWent() {
    RunWindow run;
    auto* btnAction = Control<QPushButton>(*run.Window, "btnAction");
    QVERIFY(QDir(work_.path()).mkpath(QStringLiteral("results/held.csv/inside")));
    // A folder standing where the file would go stops the start after the dialog.
    run.Start(work_.filePath(QStringLiteral("results/held.csv")));
    QVERIFY(run.Idle());
    run.Services.SaveChoice.clear();  // cancelled
    btnAction->click();
    btnAction->click();
    QCOMPARE(run.Services.SaveDialogs.size(), 3);
    QCOMPARE(run.Services.SaveDialogs[0][3], QStringLiteral("VORMLA商品一覧.csv"));
    QCOMPARE(run.Services.SaveDialogs[1][3], work_.filePath(QStringLiteral("results/VORMLA商品一覧.csv")));
    QCOMPARE(run.Services.SaveDialogs[2][3], work_.filePath(QStringLiteral("results/VORMLA商品一覧.csv")));
  }

  // The worker fails on the result file while the cancel question is up, and the
  // user then answers Yes: the failure is still what the window reports.
  void fileErrorIsShownAfterACancel() {
    RunWindow run;
    const QString csv = NewCsv();
    FileSizeLimit limit;
    run.AtItem(1, [&] {
      // From here on the run's file (the header alone so far) cannot grow: this item's row fails.
      limit.Set(static_cast<rlim_t>(CsvHeader().size() + 2));
      QTimer::singleShot(0, Control<QPushButton>(*run.Window, "btnCancel"), &QPushButton::click);
    });
    bool workerEnded = false;
    run.Services.OnMessage = [&](const Message& message) {
      if (message.Caption != QStringLiteral("中断確認")) return;
      workerEnded = WaitUnserved([&] { return run.Window->CurrentRun() && !run.Window->CurrentRun()->IsRunning(); });
      limit.Clear();
    };
    run.Services.Answers = {Answer::Yes};
    run.Start(csv);
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    limit.Clear();
    QVERIFY(workerEnded);
    CheckIdle(run);
    QCOMPARE(run.Window->RunResult(), RunCode::kFileError);
    QCOMPARE(run.Services.Messages.size(), 2);
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("中断確認"));
    QCOMPARE(run.Services.Messages[1].Text,
             QStringLiteral("結果ファイルに書き込めませんでした。\n") + csv + QStringLiteral("\n\n書き込んだ行 0"));
    QCOMPARE(run.Services.Messages[1].Caption, QStringLiteral("Error"));
    QVERIFY(!QFileInfo::exists(csv));
  }

  // A close request that comes while Start waits for a worker left stopping is
  // answered once the new run is going, as a close during that run.
  void closeWhileStartWaitsIsHeldForTheNewRun() {
    RunWindow run;
    auto* btnCancel = Control<QPushButton>(*run.Window, "btnCancel");
    const QString second = NewCsv();
    bool startedClean = false;
    run.AtItem(2, [&] {
      // Outside the worker's call, so that Start can wait for that worker.
      QTimer::singleShot(0, run.Window.get(), [&] {
        btnCancel->click();  // Yes: stopping
        btnCancel->click();  // again: idle at once, the worker left stopping
        QVERIFY(run.Idle() && run.Window->StoppingWorkers() == 1);
        // The worker cannot end before the window serves its last call, which
        // happens inside Start's wait, after this request.
        QMetaObject::invokeMethod(
            run.Window.get(), [&] { run.Window->close(); }, Qt::QueuedConnection);
        run.Start(second);
        startedClean = run.Window->RunResult() == RunCode::kNormal && run.Window->CurrentRun() &&
                       run.Window->StoppingWorkers() == 0 && run.Services.Messages.size() == 1;
      });
    });
    run.Services.Answers = {Answer::Yes, Answer::Yes};  // cancel, then close
    run.Start(NewCsv());
    QTRY_COMPARE_WITH_TIMEOUT(run.Services.Terminations, 1, 30000);
    QVERIFY(startedClean);
    QCOMPARE(run.Services.Messages.size(), 2);
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("中断確認"));
    QCOMPARE(run.Services.Messages[1].Caption, QStringLiteral("終了確認"));
    QCOMPARE(run.Window->RunResult(), RunCode::kClosing);
    QVERIFY(run.Folder.ReadIni().contains("[Config]"));
    // The second run's own file, whatever it held, did not stay behind as a temporary one.
    QVERIFY(QDir(work_.path()).entryList({QStringLiteral(".vormla-run-*")}, QDir::Files | QDir::Hidden).isEmpty());
  }
};

QObject* NewRunTest() { return new RunTest; }

}  // namespace vormla::test

#include "RunTest.moc"
