// Launcher progress over the session bus (the tests run inside a private one),
// and the same calls in a process that has no bus at all.
#include <QApplication>
#include <QProcess>
#include <QTest>
#include <cstdio>

#include "GuiTestKit.h"
#include "shell/LauncherProgress.h"

namespace vormla::test {

class TaskbarTest : public QObject {
  Q_OBJECT

 private slots:
  void initializeSucceedsOnTheSessionBus() {
    QVERIFY(InitializeTaskbarAPI());
    // Held from then on.
    QVERIFY(InitializeTaskbarAPI());
  }

  void valuesAndStatesReachTheLauncher() {
    LauncherListener listener;
    QVERIFY(listener.Listen());
    QVERIFY(InitializeTaskbarAPI());
    QVERIFY(SetTaskbarProgressValue(1, 4));
    QVERIFY(SetTaskbarProgressValue(4, 4));
    QVERIFY(SetTaskbarProgressValue(7, 4));  // past the end: full
    QVERIFY(SetTaskbarProgressValue(3, 0));  // no total: empty
    QVERIFY(SetTaskbarProgressState(tbpsPaused));
    QVERIFY(SetTaskbarProgressState(tbpsNone));
    QTRY_COMPARE_WITH_TIMEOUT(listener.Updates.size(), 6, 5000);
    listener.Stop();

    const QList<double> progress = {0.25, 1.0, 1.0, 0.0, 0.0, 0.0};
    const QList<bool> visible = {true, true, true, true, true, false};
    for (int i = 0; i < 6; ++i) {
      const auto& update = listener.Updates[i];
      QCOMPARE(update.Uri, QStringLiteral("application://vormla-search.desktop"));
      QCOMPARE(update.Keys, (QStringList{QStringLiteral("progress"), QStringLiteral("progress-visible")}));
      QCOMPARE(update.Progress, progress[i]);
      QCOMPARE(update.Visible, visible[i]);
    }
  }

  void withoutABusNothingIsSentAndNothingBreaks() {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/vormla-bus"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--taskbar-probe")});
    QVERIFY(child.waitForFinished(20000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("init 0 value 0 state 0 window 0 retry 0"));
  }
};

int TaskbarProbe(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const bool init = InitializeTaskbarAPI();
  const bool value = SetTaskbarProgressValue(1, 2);
  const bool state = SetTaskbarProgressState(tbpsNone);
  // The window comes up without launcher progress.
  QtServices services;
  TestProgramFolder folder;
  MainWindow window(services, folder.DbPath(), folder.IniPath(), folder.AccountPath());
  const bool retry = InitializeTaskbarAPI();
  std::printf("init %d value %d state %d window %d retry %d\n", init, value, state, window.TaskbarReady(), retry);
  return 0;
}

QObject* NewTaskbarTest() { return new TaskbarTest; }

}  // namespace vormla::test

#include "TaskbarTest.moc"
