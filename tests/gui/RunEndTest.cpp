// The end of a run that meets the 中断確認 question still up, with the real
// message boxes; and the member's own account in the window's runs.
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

#include "GuiTestKit.h"
#include "RunTestKit.h"

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

  void init() { demo_.Market().ClearRecords(); }

  // Cancel is pressed at the second item and the run reaches its end while the
  // question is up: the question stays until it is answered, its Yes stops
  // nothing, and only then does the completion question show.
  void cancelQuestionStaysUntilAnswered() {
    RealBoxServices services;
    TestProgramFolder folder(QStringLiteral("vm_data.db"));
    MainWindow window(services, folder.DbPath(), folder.IniPath(), folder.AccountPath());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QString csv = work_.filePath(QStringLiteral("end.csv"));
    services.SaveChoice = csv;

    int items = 0;
    connect(&window, &MainWindow::StatusShown, &window, [&](const QString& text) {
      if (IsItemText(text) && ++items == 2) QTimer::singleShot(0, window.btnCancel, &QPushButton::click);
    });
    const auto idle = [&] { return window.btnAction->isEnabled() && !window.btnCancel->isEnabled(); };
    QStringList shown;          // captions in the order they first showed
    bool togetherWithEnd = false;  // the completion question showed beside the cancel question
    bool answeredAfterEnd = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      const QList<QMessageBox*> boxes = VisibleBoxes();
      for (QMessageBox* box : boxes) {
        if (shown.isEmpty() || shown.last() != box->windowTitle()) shown << box->windowTitle();
        if (box->windowTitle() == QStringLiteral("中断確認") && !window.IsRunning) {
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
    window.btnAction->click();
    QTRY_VERIFY_WITH_TIMEOUT(idle() && VisibleBoxes().isEmpty() && shown.size() == 2, 30000);
    poll.stop();

    QVERIFY(answeredAfterEnd);
    QVERIFY(!togetherWithEnd);
    QCOMPARE(shown, (QStringList{QStringLiteral("中断確認"), QStringLiteral("処理確認")}));
    QCOMPARE(window.RunResult, RunCode::kNormal);  // the run ended by itself; the late Yes stopped nothing
    QCOMPARE(window.LastReport.Outcome, RunOutcome::kComplete);
    QVERIFY(window.LastReport.RowsKept > 2);
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
    QCOMPARE(run.Services.Messages[0].Text, QStringLiteral("アカウントファイル ") + path +
                                                QStringLiteral(" はほかのユーザーにも権限がある (0644) ため使いません。chmod 600 ") +
                                                path + QStringLiteral(" で自分だけが読み書きできるようにしてください。"));
    QCOMPARE(run.Services.Messages[0].Caption, QStringLiteral("Error"));
    QVERIFY(run.Services.SaveDialogs.isEmpty());
    QVERIFY(!run.Window->Worker);
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
    QCOMPARE(run.Window->RunResult, RunCode::kNormal);

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
