// The ends of runs with the real message boxes: what each ending leaves at the
// target and says, and the 中断確認 question still up when the run ends; what the
// start and the end say about the picture folder and the sign-in; and the
// member's own account in the window's runs.
#include <sys/stat.h>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "GuiTestKit.h"
#include "RunTestKit.h"
#include "engine/RetrievalJob.h"
#include "shell/DigitsEdit.h"
#include "support/LocalPorts.h"
#include "support/SmallFileSystem.h"

namespace vormla::test {

namespace {

// The real boxes; only the save dialog, the desktop and the sound are stood in for.
class RealBoxServices : public QtServices {
 public:
  QString ChooseSaveFile(QWidget*, const QString&, const QString&, const QString&, const QString&) override {
    return SaveChoice;
  }
  bool OpenFile(const QString&) override { return true; }
  void Beep() override {}
  void Alert(QWidget*) override {}

  QString SaveChoice;
};

QList<QMessageBox*> VisibleBoxes() {
  QList<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(widget);
    if (box != nullptr && box->isVisible()) boxes << box;
  }
  return boxes;
}

// A window over the shipped catalogue with the real boxes, shown and loaded.
struct RealBoxWindow {
  RealBoxWindow() : window(services, folder.DbPath(), folder.IniPath(), folder.AccountPath()) {
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }
  bool Idle() const { return WindowIdle(window); }
  // Runs action, inside the worker's call, when the status label first shows a text that stop accepts.
  void AtStatus(std::function<bool(const QString&)> stop, std::function<void()> action) {
    QObject::connect(&window, &MainWindow::StatusShown, &window,
                     [stop, action, done = false](const QString& text) mutable {
                       if (done || !stop(text)) return;
                       done = true;
                       action();
                     });
  }

  RealBoxServices services;
  TestProgramFolder folder{QStringLiteral("vm_data.db")};
  MainWindow window;
};

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAccount(const std::string& path, const QByteArray& bytes, mode_t mode) {
  QFile file(QString::fromStdString(path));
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
  file.close();
  QCOMPARE(::chmod(path.c_str(), mode), 0);
}

}  // namespace

class RunEndTest : public QObject {
  Q_OBJECT

 private:
  MarketForWindows demo_;
  QTemporaryDir work_;

 private slots:
  void initTestCase() {
    QVERIFY(work_.isValid());
    QVERIFY(demo_.Start());
  }

  void cleanupTestCase() { demo_.Stop(); }

  void init() {
    demo_.Market().ClearRecords();
    demo_.Market().ClearRoutes();
  }

  // Cancel is pressed at the second item and the run reaches its end while the
  // question is up: the question stays until it is answered, its Yes stops
  // nothing, and only then does the completion question show.
  void cancelQuestionStaysUntilAnswered() {
    RealBoxWindow w;
    MainWindow& window = w.window;
    w.services.SaveChoice = work_.filePath(QStringLiteral("end.csv"));
    int items = 0;
    w.AtStatus([&](const QString& text) { return IsItemText(text) && ++items == 2; },
               [&] { QTimer::singleShot(0, Control<QPushButton>(window, "btnCancel"), &QPushButton::click); });
    const auto idle = [&] { return w.Idle(); };
    QStringList shown;             // captions in the order they first showed
    bool togetherWithEnd = false;  // the completion question showed beside the cancel question
    bool answeredAfterEnd = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      const QList<QMessageBox*> boxes = VisibleBoxes();
      for (QMessageBox* box : boxes) {
        if (shown.isEmpty() || shown.last() != box->windowTitle()) shown << box->windowTitle();
        if (box->windowTitle() == QStringLiteral("中断確認") && !window.IsRunning()) {
          togetherWithEnd = togetherWithEnd || boxes.size() > 1;
          answeredAfterEnd = true;
          box->button(QMessageBox::Yes)->click();
          return;
        }
        if (box->windowTitle() == QStringLiteral("処理確認")) {
          box->button(QMessageBox::No)->click();
          return;
        }
      }
    });
    poll.start(20);
    Control<QPushButton>(window, "btnAction")->click();
    QTRY_VERIFY_WITH_TIMEOUT(idle() && VisibleBoxes().isEmpty() && shown.size() == 2, 30000);
    poll.stop();

    QVERIFY(answeredAfterEnd);
    QVERIFY(!togetherWithEnd);
    QCOMPARE(shown, (QStringList{QStringLiteral("中断確認"), QStringLiteral("処理確認")}));
    QCOMPARE(window.RunResult(), RunCode::kNormal);  // the run ended by itself; the late Yes stopped nothing
    QCOMPARE(window.LastReport().Outcome, RunOutcome::kComplete);
    QVERIFY(window.LastReport().RowsKept > 2);
  }

  void eachEndingLeavesAnEarlierResultAsItsPolicySays_data() {
    QTest::addColumn<QString>("kept");     // "new rows", "header only" or "as before"
    QTest::addColumn<QString>("caption");  // of the end message, "" for none
    QTest::newRow("complete") << "new rows"
                              << "処理確認";
    QTest::newRow("nothing found") << "header only"
                                   << "検索終了";
    QTest::newRow("stopped after two rows") << "new rows"
                                            << "";
    QTest::newRow("stopped before the first row") << "as before"
                                                  << "";
    QTest::newRow("site down") << "as before"
                               << "Error";
    QTest::newRow("disk full") << "as before"
                               << "Error";
  }

  // Each ending against an earlier result at the chosen file, through the real
  // boxes: a stop is asked and answered Yes, every end message is answered.
  void eachEndingLeavesAnEarlierResultAsItsPolicySays() {
    QFETCH(QString, kept);
    QFETCH(QString, caption);
    const QString ending = QString::fromUtf8(QTest::currentDataTag());
    testing::SmallFileSystem disk(16 * 1024);
    QString csv = work_.filePath(QStringLiteral("ending.csv"));
    if (ending == QStringLiteral("disk full")) {
      if (!disk.Mounted()) QSKIP(disk.WhyNot().c_str());
      csv = QString::fromStdString(disk / "ending.csv");
    }
    const QByteArray earlier = "an earlier result\r\n";
    QVERIFY(WriteFile(csv, earlier));
    RealBoxWindow w;
    w.services.SaveChoice = csv;
    const QByteArray root = qgetenv("VORMLA_SITE_ROOT");
    const QString closed = QStringLiteral("https://127.0.0.1:%1").arg(testing::ClosedPort());
    if (ending == QStringLiteral("site down")) qputenv("VORMLA_SITE_ROOT", closed.toUtf8());
    if (ending == QStringLiteral("nothing found"))
      Control<QLineEdit>(w.window, "txtPrice1")->setText(QStringLiteral("999999999"));
    const auto stopAt = [&](std::function<bool(const QString&)> when) {
      w.AtStatus(std::move(when), [&] { Control<QPushButton>(w.window, "btnCancel")->click(); });
    };
    if (ending == QStringLiteral("stopped after two rows")) {
      stopAt([](const QString& text) {
        return text.startsWith(QStringLiteral("分類 : ")) && text.contains(QStringLiteral(" - 3/"));
      });
    }
    if (ending == QStringLiteral("stopped before the first row")) {
      stopAt([](const QString& text) { return text == QStringLiteral("ページ内容の確認中1..."); });
    }
    QList<QPair<QString, QString>> ends;  // caption and text of each end message
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      for (QMessageBox* box : VisibleBoxes()) {
        const bool stop = box->windowTitle() == QStringLiteral("中断確認");
        if (!stop) ends << qMakePair(box->windowTitle(), box->text());
        box->button(stop                                                   ? QMessageBox::Yes
                    : box->defaultButton() == box->button(QMessageBox::Ok) ? QMessageBox::Ok
                                                                           : QMessageBox::No)
            ->click();
        return;
      }
    });
    poll.start(20);
    Control<QPushButton>(w.window, "btnAction")->click();
    const bool ended = QTest::qWaitFor([&] { return w.Idle() && VisibleBoxes().isEmpty(); }, 30000);
    poll.stop();
    qputenv("VORMLA_SITE_ROOT", root);
    QVERIFY(ended);

    QCOMPARE(ends.size(), caption.isEmpty() ? 0 : 1);
    if (!caption.isEmpty()) QCOMPARE(ends[0].first, caption);
    const QByteArray bytes = ReadFile(csv);
    const int rows = static_cast<int>(bytes.count("\r\n")) - 1;
    if (kept == QStringLiteral("new rows"))
      QVERIFY2(rows >= 2 && bytes.startsWith(QByteArray::fromStdString(CsvHeader())), bytes.left(80));
    if (kept == QStringLiteral("header only")) QCOMPARE(bytes, QByteArray::fromStdString(CsvHeader() + "\r\n"));
    if (kept == QStringLiteral("as before")) QCOMPARE(bytes, earlier);
    QVERIFY(
        QDir(QFileInfo(csv).path()).entryList({QStringLiteral(".vormla-run-*")}, QDir::Files | QDir::Hidden).isEmpty());
    if (ending == QStringLiteral("stopped after two rows")) QCOMPARE(rows, 2);
    // The paragraph under the long-standing text: the rows of a complete run, the
    // cause of a site that could not be read.
    if (ending == QStringLiteral("complete")) {
      QCOMPARE(ends[0].second,
               QStringLiteral("商品情報の取得が完了しました。\n保存したファイルを開きますか？\n\n書き込んだ行 %1")
                   .arg(rows));
    }
    if (ending == QStringLiteral("site down")) {
      QCOMPARE(
          ends[0].second,
          QStringLiteral("サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。\n\n"
                         "書き込んだ行 0、読めなかったページ 1\n原因: 接続を拒否されました (") +
              closed + QStringLiteral("/search?category_id=80&ex_so=N&sort=score&sort_operate_flg=Y)"));
    }
  }

  void pictureFolderThatTakesNoFileStartsNothing() {
    testing::SmallFileSystem readOnly(64 * 1024, true);
    if (!readOnly.Mounted()) QSKIP(readOnly.WhyNot().c_str());
    RunWindow run;
    Control<QCheckBox>(*run.Window, "chkImgSave")->setChecked(true);
    const QString folder = QString::fromStdString(readOnly / "");
    Control<QLineEdit>(*run.Window, "txtDirPath")->setText(folder);
    run.Services.SaveChoice = work_.filePath(QStringLiteral("pictures.csv"));
    Control<QPushButton>(*run.Window, "btnAction")->click();
    QCOMPARE(run.Services.Messages.size(), 1);
    QCOMPARE(run.Services.Messages[0].Text,
             QStringLiteral("商品画像保存フォルダ ") + folder +
                 QStringLiteral(" に画像を保存できません (読み取り専用のファイルシステムです)。"
                                "別のフォルダを指定するか、このフォルダに書き込めるようにしてください。"));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("Error"));
    QVERIFY(run.Services.SaveDialogs.isEmpty());
    QVERIFY(run.Idle());
    QVERIFY(demo_.Market().Requests().empty());
  }

  void signInProblemIsNamedInTheEndMessage() {
    demo_.Market().SetLoginFormStatus(500);
    const QString warning =
        QStringLiteral("サインインできませんでした: ログインフォームの送信に HTTP ステータス 500 が返されました。");
    RunWindow run;
    run.Services.Answers = {Answer::No};
    run.Start(work_.filePath(QStringLiteral("signin.csv")));
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(run.Window->RunResult(), RunCode::kNormal);
    QCOMPARE(run.Services.Messages.size(), 1);
    const QString last = run.Services.Messages[0].Text.split(QLatin1Char('\n')).last();
    QVERIFY2(last.startsWith(warning), qPrintable(last));
    QVERIFY2(last.endsWith(QStringLiteral("卸価格は会員にしか表示されません。アカウントファイル ") +
                           QString::fromStdString(run.Folder.AccountPath()) +
                           QStringLiteral(
                               " がないため組み込みのアカウントを使いました。自分のアカウントは vormla-cli account set "
                               "で設定し、vormla-cli account show で確かめられます。")),
             qPrintable(last));
  }

  // A file that others could read is named in a message and nothing starts: no
  // dialog, no fetch, the earlier result left alone.
  void accountFileOthersCanReadStopsTheStart() {
    RunWindow run;
    WriteAccount(run.Folder.AccountPath(), "member\nsecret\n", 0644);
    const QString csv = work_.filePath(QStringLiteral("kept.csv"));
    QFile earlier(csv);
    QVERIFY(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier result\r\n");
    earlier.close();
    run.Start(csv);
    QVERIFY(run.Idle());
    QCOMPARE(run.Services.Messages.size(), 1);
    const QString path = QString::fromStdString(run.Folder.AccountPath());
    QCOMPARE(run.Services.Messages[0].Text,
             QStringLiteral("アカウントファイル ") + path +
                 QStringLiteral(" はほかのユーザーにも権限がある (0644) ため使いません。chmod 600 ") + path +
                 QStringLiteral(" で自分だけが読み書きできるようにしてください。"));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("Error"));
    QVERIFY(run.Services.SaveDialogs.isEmpty());
    QVERIFY(!run.Window->CurrentRun());
    QVERIFY(demo_.Market().Requests().empty());
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("an earlier result\r\n"));
  }

  // With the file, the run signs in as that member, the values form-encoded.
  void ownAccountSignsTheRunIn() {
    const std::string loginId = "a&b=c+d e日本";
    const std::string password = "p&w=1+2 パス";
    demo_.Market().AcceptAccount(loginId, password);
    RunWindow run;
    WriteAccount(run.Folder.AccountPath(), QByteArray::fromStdString(loginId + "\n" + password + "\n"), 0600);
    run.Services.Answers = {Answer::No};
    run.Start(work_.filePath(QStringLiteral("own.csv")));
    QTRY_VERIFY_WITH_TIMEOUT(run.Idle(), 30000);
    QCOMPARE(run.Window->RunResult(), RunCode::kNormal);

    const auto attempts = demo_.Market().LoginAttempts();
    QCOMPARE(attempts.size(), 1u);
    QVERIFY2(attempts[0].accepted, attempts[0].reason.c_str());
    QCOMPARE(attempts[0].loginId, loginId);
    const auto searches = demo_.Market().Searches();
    QCOMPARE(searches.size(), 1u);
    QVERIFY(searches[0].signedIn);
  }
};

QObject* NewRunEndTest() { return new RunEndTest; }

}  // namespace vormla::test

#include "RunEndTest.moc"
