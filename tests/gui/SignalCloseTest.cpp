// SIGTERM and SIGINT close the window as its close box does, once it is watched;
// while a dialog is up they are dropped.
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <csignal>

#include "GuiTestKit.h"
#include "shell/CloseOnSignal.h"

namespace vormla::test {

class SignalCloseTest : public QObject {
  Q_OBJECT

 private slots:
  void eachSignalClosesAndSaves() {
    for (const int signal : {SIGTERM, SIGINT}) {
      WindowFixture f(QStringLiteral("vm_data.db"));
      CloseOnSignal closer;
      closer.Watch(f.Window.get());
      Control<QLineEdit>(*f.Window, "txtWord")->setText(QStringLiteral("タオル"));
      QVERIFY(::raise(signal) == 0);
      QTRY_VERIFY(!f.Window->isVisible());
      QVERIFY(f.Services.Messages.isEmpty());
      QVERIFY(f.Folder.ReadIni().contains(QStringLiteral("\r\nWord=タオル\r\n").toUtf8()));
    }
  }

  void aSignalBeforeTheWatchWaitsForIt() {
    WindowFixture f(QStringLiteral("vm_data.db"), false);
    CloseOnSignal closer;
    QVERIFY(::raise(SIGTERM) == 0);
    f.ShowAndLoad();
    QTest::qWait(100);
    QVERIFY(f.Window->isVisible());
    QVERIFY(!QFile::exists(f.Folder.IniFile()));
    closer.Watch(f.Window.get());
    QTRY_VERIFY(!f.Window->isVisible());
    QVERIFY(QFile::exists(f.Folder.IniFile()));
  }

  void aSignalWhileADialogIsUpIsDropped() {
    WindowFixture f(QStringLiteral("vm_data.db"));
    CloseOnSignal closer;
    closer.Watch(f.Window.get());
    {
      QDialog dialog(f.Window.get());
      dialog.setModal(true);
      dialog.show();
      QTRY_VERIFY(QApplication::activeModalWidget() == &dialog);
      QVERIFY(::raise(SIGTERM) == 0);
      QTest::qWait(300);
      QVERIFY(dialog.isVisible());
    }
    // Not kept for later either.
    QTest::qWait(300);
    QVERIFY(f.Window->isVisible());
    QVERIFY(!QFile::exists(f.Folder.IniFile()));
    QVERIFY(::raise(SIGTERM) == 0);
    QTRY_VERIFY(!f.Window->isVisible());
    QVERIFY(QFile::exists(f.Folder.IniFile()));
  }

  void theOldHandlersComeBack() {
    for (const int signal : {SIGTERM, SIGINT}) {
      struct sigaction before {};
      ::sigaction(signal, nullptr, &before);
      {
        CloseOnSignal closer;
        struct sigaction during {};
        ::sigaction(signal, nullptr, &during);
        QVERIFY(during.sa_handler != before.sa_handler);
      }
      struct sigaction after {};
      ::sigaction(signal, nullptr, &after);
      QVERIFY(after.sa_handler == before.sa_handler);
    }
  }
};

QObject* NewSignalCloseTest() { return new SignalCloseTest; }

}  // namespace vormla::test

#include "SignalCloseTest.moc"
