// One copy at a time: the built program against a second start, and a lock left
// behind by a killed copy; a second start brings the running window forward.
#include <sys/types.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

#include "GuiTestKit.h"
#include "shell/InstanceBeacon.h"

namespace vormla::test {

class InstanceTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir runtime_;

  void Start(QProcess& process) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
    process.setProcessEnvironment(env);
    process.setProgram(QStringLiteral(VORMLA_SEARCH_EXE));
    process.start();
  }

  QString LockPath() const { return runtime_.path() + QStringLiteral("/Vormla_Search.lock"); }

 private slots:
  void initTestCase() {
    QVERIFY(runtime_.isValid());
    QFile::setPermissions(runtime_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(QFileInfo::exists(QStringLiteral(VORMLA_SEARCH_EXE)));
  }

  void secondCopyEndsWithCodeOne() {
    QProcess first;
    Start(first);
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(LockPath()), 10000);

    QProcess second;
    Start(second);
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 1);
    QCOMPARE(second.readAllStandardOutput(), QByteArray());
    QCOMPARE(first.state(), QProcess::Running);
    QVERIFY(QFile::exists(runtime_.path() + QStringLiteral("/Vormla_Search.socket")));

    // Killed outright, the first copy leaves its lock file behind ...
    ::kill(static_cast<pid_t>(first.processId()), SIGKILL);
    QVERIFY(first.waitForFinished(10000));
    QVERIFY(QFile::exists(LockPath()));

    // ... which does not keep a new copy from starting.
    QProcess third;
    Start(third);
    QVERIFY(third.waitForStarted());
    QVERIFY(!third.waitForFinished(3000));
    QCOMPARE(third.state(), QProcess::Running);

    // And that copy holds the lock in its turn.
    QProcess fourth;
    Start(fourth);
    QVERIFY(fourth.waitForFinished(10000));
    QCOMPARE(fourth.exitCode(), 1);

    ::kill(static_cast<pid_t>(third.processId()), SIGKILL);
    QVERIFY(third.waitForFinished(10000));
  }

  // What the second copy does to the first: its knock raises and activates the
  // minimised window; a knock where nobody listens says so.
  void knockBringsTheRunningWindowForward() {
    WindowFixture fixture;
    MainWindow& window = *fixture.Window;
    window.showMinimized();
    QTRY_VERIFY(window.isMinimized());
    const QString path = BeaconPath(runtime_.path() + QStringLiteral("/in-process.lock"));
    QCOMPARE(path, runtime_.path() + QStringLiteral("/in-process.socket"));
    InstanceBeacon beacon(path);
    QVERIFY(beacon.Listen([&] { BringForward(&window); }));
    QVERIFY(InstanceBeacon::Knock(path));
    QTRY_VERIFY(!window.isMinimized() && window.isActiveWindow());
    QVERIFY(!InstanceBeacon::Knock(runtime_.path() + QStringLiteral("/nobody.socket")));
  }
};

QObject* NewInstanceTest() { return new InstanceTest; }

}  // namespace vormla::test

#include "InstanceTest.moc"
