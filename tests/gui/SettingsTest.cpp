// Start-up and closing as the window sees them: the settings file read after the
// first show and written on close, the missing or faulty catalogue, a refused write.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "GuiTestKit.h"
#include "settings/Settings.h"
#include "shell/DigitsEdit.h"
#include "text/TextOps.h"

namespace vormla::test {

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void closingIdleWritesEveryKeyInOrder() {
    WindowFixture f(QStringLiteral("vm_data.db"));
    MainWindow& w = *f.Window;
    QVERIFY(!QFile::exists(f.Folder.IniFile()));
    Control<QLineEdit>(w, "txtWord")->setText(QStringLiteral("  タオル "));
    Control<QLineEdit>(w, "txtPrice1")->setText(QStringLiteral("100"));
    Control<QLineEdit>(w, "txtPrice2")->setText(QStringLiteral("5000"));
    Control<QCheckBox>(w, "chkSell1")->setChecked(true);
    Control<QComboBox>(w, "cmbSort")->setCurrentIndex(2);
    ChooseCategory(w, 3);
    Control<QTreeWidget>(w, "TreeView")->expandAll();
    ClickCheckBox(w, 1);
    ClickCheckBox(w, 2);

    QVERIFY(w.close());
    QVERIFY(f.Services.Messages.isEmpty());
    const QByteArray expected = QByteArray("[Config]\r\nWord=") + QStringLiteral("タオル").toUtf8() +
                                "\r\nPrice1=100\r\nPrice2=5000\r\nPrice3=\r\nPrice4=\r\nDir=" +
                                QByteArray::fromStdString(DefaultImageFolder()) +
                                "\r\nSell1=1\r\nSell2=0\r\nImgSave=0\r\nSort=2\r\nCategory=3\r\nTreeList=" +
                                QByteArray("0110000000000000000000000") + "\r\n";
    QCOMPARE(f.Folder.ReadIni(), expected);
  }

  void savedConditionsComeBack() {
    WindowFixture first(QStringLiteral("vm_data.db"));
    {
      MainWindow& w = *first.Window;
      Control<QLineEdit>(w, "txtWord")->setText(QStringLiteral("ハンカチ 綿"));
      Control<QLineEdit>(w, "txtPrice1")->setText(QStringLiteral("1"));
      Control<QLineEdit>(w, "txtPrice2")->setText(QStringLiteral("2"));
      Control<QLineEdit>(w, "txtPrice3")->setText(QStringLiteral("300"));
      Control<QLineEdit>(w, "txtPrice4")->setText(QStringLiteral("999999999"));
      Control<QCheckBox>(w, "chkSell2")->setChecked(true);
      Control<QCheckBox>(w, "chkImgSave")->setChecked(true);
      Control<QLineEdit>(w, "txtDirPath")->setText(QStringLiteral("/srv/画像/"));
      Control<QComboBox>(w, "cmbSort")->setCurrentIndex(4);
      ChooseCategory(w, 3);
      Control<QTreeWidget>(w, "TreeView")->expandAll();
      ClickCheckBox(w, 7);   // group 7 whole
      ClickCheckBox(w, 14);  // one child of group 12
      QVERIFY(w.close());
    }
    // A second window over the same folder.
    WindowFixture second(QString(), false);
    QFile::copy(QString::fromStdString(first.Folder.DbPath()), QString::fromStdString(second.Folder.DbPath()));
    QFile::copy(first.Folder.IniFile(), second.Folder.IniFile());
    second.ShowAndLoad();
    MainWindow& w = *second.Window;
    QVERIFY(second.Services.Messages.isEmpty());
    QCOMPARE(Control<QLineEdit>(w, "txtWord")->text(), QStringLiteral("ハンカチ 綿"));
    QCOMPARE(Control<QLineEdit>(w, "txtPrice1")->text(), QStringLiteral("1"));
    QCOMPARE(Control<QLineEdit>(w, "txtPrice2")->text(), QStringLiteral("2"));
    QCOMPARE(Control<QLineEdit>(w, "txtPrice3")->text(), QStringLiteral("300"));
    QCOMPARE(Control<QLineEdit>(w, "txtPrice4")->text(), QStringLiteral("999999999"));
    QVERIFY(!Control<QCheckBox>(w, "chkSell1")->isChecked());
    QVERIFY(Control<QCheckBox>(w, "chkSell2")->isChecked());
    QVERIFY(Control<QCheckBox>(w, "chkImgSave")->isChecked());
    QCOMPARE(Control<QLineEdit>(w, "txtDirPath")->text(), QStringLiteral("/srv/画像/"));
    QCOMPARE(Control<QComboBox>(w, "cmbSort")->currentIndex(), 4);
    QCOMPARE(Control<QComboBox>(w, "cmbCtgr")->currentIndex(), 3);
    QCOMPARE(WidgetMarks(w), QStringLiteral("0000000"
                                            "11111"
                                            "0010000"
                                            "0000"
                                            "00"));
    QCOMPARE(ModelMarks(w), WidgetMarks(w));
    QVERIFY(!Control<QCheckBox>(w, "chkItem")->isChecked());
    // A partly checked group opens, a whole one does not; the first checked node
    // is selected.
    QVERIFY(w.NodeItem(12)->isExpanded());
    QVERIFY(!w.NodeItem(7)->isExpanded());
    QVERIFY(!w.NodeItem(0)->isExpanded());
    QCOMPARE(Control<QTreeWidget>(w, "TreeView")->currentItem(), w.NodeItem(7));
  }

  // Every text comes back exactly: quotes, letters outside Shift-JIS, U+301C
  // (not its full-width twin), characters beyond code page 932.
  void textsComeBackExactly() {
    const QString word = QStringLiteral("\"限定\"");
    const QString folder = QStringLiteral("/home/jörg/画像〜2024/Ελλάδα 😀/");
    WindowFixture first;
    Control<QLineEdit>(*first.Window, "txtWord")->setText(word);
    Control<QLineEdit>(*first.Window, "txtDirPath")->setText(folder);
    QVERIFY(first.Window->close());
    QVERIFY(first.Folder.ReadIni().contains(QStringLiteral("\r\nWord=\"\"限定\"\"\r\n").toUtf8()));
    QVERIFY(first.Folder.ReadIni().contains((QStringLiteral("\r\nDir=") + folder + QStringLiteral("\r\n")).toUtf8()));

    WindowFixture second(QStringLiteral("catalogue-edge.db"), false);
    QFile::copy(first.Folder.IniFile(), second.Folder.IniFile());
    second.ShowAndLoad();
    QCOMPARE(Control<QLineEdit>(*second.Window, "txtWord")->text(), word);
    QCOMPARE(Control<QLineEdit>(*second.Window, "txtDirPath")->text(), folder);
  }

  // An older settings file (Shift-JIS) still loads.
  void shiftJisFileLoads() {
    WindowFixture f(QStringLiteral("catalogue-edge.db"), false);
    {
      QFile file(f.Folder.IniFile());
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write("[Config]\r\nWord=\x83\x5E\x83\x49\x83\x8B\r\nDir=/srv/\x89\xE6\x91\x9C/\r\nSort=3\r\n");
    }
    f.ShowAndLoad();
    QCOMPARE(Control<QLineEdit>(*f.Window, "txtWord")->text(), QStringLiteral("タオル"));
    QCOMPARE(Control<QLineEdit>(*f.Window, "txtDirPath")->text(), QStringLiteral("/srv/画像/"));
    QCOMPARE(Control<QComboBox>(*f.Window, "cmbSort")->currentIndex(), 3);
  }

  // A save that cannot be completed leaves the old file as it was, says so, and
  // keeps the window open.
  void failedSaveKeepsTheOldFileAndTheWindow() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    const QByteArray old("[Config]\r\nWord=old\r\nTreeList=01\r\n");
    {
      QFile file(f.Folder.IniFile());
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(old);
    }
    // A folder stands where the new file is written first.
    QVERIFY(QDir().mkpath(f.Folder.IniFile() + QStringLiteral(".tmp")));
    Control<QLineEdit>(w, "txtWord")->setText(QStringLiteral("new"));
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QCOMPARE(f.Services.Messages.size(), 1);
    QCOMPARE(f.Services.Messages[0].Text, f.Folder.IniFile() + QStringLiteral(" に書き込めません"));
    QCOMPARE(f.Folder.ReadIni(), old);

    QVERIFY(QDir(f.Folder.IniFile() + QStringLiteral(".tmp")).removeRecursively());
    QVERIFY(w.close());
    QVERIFY(f.Folder.ReadIni().startsWith("[Config]\r\nWord=new\r\n"));
  }

  void storedImageSavingMakesTheFolderEditable() {
    WindowFixture f(QString(), false);
    QFile::copy(TestDataFolder() + QStringLiteral("/catalogue/vm_data.db"), QString::fromStdString(f.Folder.DbPath()));
    f.Folder.WriteIni(
        {QStringLiteral("[Config]"), QStringLiteral("Dir=/var/tmp/pictures/"), QStringLiteral("ImgSave=1")});
    f.ShowAndLoad();
    MainWindow& w = *f.Window;
    auto* txtDirPath = Control<QLineEdit>(w, "txtDirPath");
    QCOMPARE(txtDirPath->text(), QStringLiteral("/var/tmp/pictures/"));
    QVERIFY(!txtDirPath->isReadOnly());
    QCOMPARE(txtDirPath->palette().color(QPalette::Base), w.palette().color(QPalette::Base));
    QVERIFY(Control<QPushButton>(w, "btnDirPath")->isEnabled());
    QVERIFY(Control<QLabel>(w, "lblImgDir")->isEnabled());
  }

  void storedCategoryShowsItsTreeWithTheMarks() {
    WindowFixture f(QString(), false);
    QFile::copy(TestDataFolder() + QStringLiteral("/catalogue/vm_data.db"), QString::fromStdString(f.Folder.DbPath()));
    f.Folder.WriteIni({QStringLiteral("[Config]"), QStringLiteral("Category=3"),
                       QStringLiteral("TreeList=0000000000000000000000001")});
    f.ShowAndLoad();
    MainWindow& w = *f.Window;
    auto* cmbCtgr = Control<QComboBox>(w, "cmbCtgr");
    QCOMPARE(cmbCtgr->currentIndex(), 3);
    QCOMPARE(cmbCtgr->currentText(), QStringLiteral("バッグ・財布"));
    QCOMPARE(w.Tree().Count(), 25);
    QCOMPARE(w.NodeItem(0)->text(0), QStringLiteral(" レディースバッグ"));
    QCOMPARE(WidgetMarks(w), QStringLiteral("0000000000000000000000001"));
    QCOMPARE(Control<QTreeWidget>(w, "TreeView")->currentItem(), w.NodeItem(24));
    QVERIFY(!Control<QCheckBox>(w, "chkItem")->isChecked());

    // Every node stored as "1": the select-all box is checked as well.
    f.Window.reset();
    f.Folder.WriteIni({QStringLiteral("[Config]"), QStringLiteral("Category=3"),
                       QStringLiteral("TreeList=") + QString(25, QLatin1Char('1'))});
    f.ShowAndLoad();
    QVERIFY(Control<QCheckBox>(*f.Window, "chkItem")->isChecked());
    QCOMPARE(WidgetMarks(*f.Window), QString(25, QLatin1Char('1')));
    QCOMPARE(Control<QTreeWidget>(*f.Window, "TreeView")->currentItem(), f.Window->NodeItem(0));
  }

  void noSettingsFileSelectsNodeZero() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    QCOMPARE(Control<QTreeWidget>(w, "TreeView")->currentItem(), w.NodeItem(0));
    QCOMPARE(Control<QLineEdit>(w, "txtDirPath")->text(), QDir::homePath() + QStringLiteral("/"));
    QVERIFY(f.Services.Messages.isEmpty());
    QCOMPARE(f.Services.Terminations, 0);
  }

  void missingDatabaseEndsWithoutSettings() {
    WindowFixture f(QString(), false);
    f.ShowAndLoad();
    MainWindow& w = *f.Window;
    QVERIFY(!w.DbFound());
    QVERIFY(w.isVisible());
    QCOMPARE(f.Services.Messages.size(), 1);
    const Message& shown = f.Services.Messages[0];
    QCOMPARE(shown.Text, QStringLiteral("DBファイルの設定が正しくありません。\n管理者に確認してください。"));
    QCOMPARE(shown.Caption, QStringLiteral("設定エラー"));
    QVERIFY(shown.Kind == Message::Buttons::Ok);
    QVERIFY(shown.Symbol == Message::Icon::Information);
    QCOMPARE(f.Services.Terminations, 1);
    QCOMPARE(Control<QComboBox>(w, "cmbCtgr")->count(), 0);
    QCOMPARE(Control<QTreeWidget>(w, "TreeView")->topLevelItemCount(), 0);
    QVERIFY(!QFile::exists(f.Folder.IniFile()));
  }

  void databaseErrorShowsTheStandardBox() {
    WindowFixture f(QStringLiteral("catalogue-wrong-password.db"));
    MainWindow& w = *f.Window;
    QVERIFY(w.DbFound());
    QVERIFY(w.isVisible());
    QCOMPARE(f.Services.Messages.size(), 1);
    QCOMPARE(f.Services.Messages[0].Text, QStringLiteral("Not a valid password."));
    QCOMPARE(f.Services.Messages[0].Caption, QStringLiteral("VORMLA商品情報取得ソフト"));
    QVERIFY(f.Services.Messages[0].Kind == Message::Buttons::Ok);
    QCOMPARE(f.Services.Terminations, 0);
    QCOMPARE(Control<QComboBox>(w, "cmbCtgr")->count(), 0);
  }

  void refusedWriteKeepsTheWindowOpen() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    // A folder stands where the settings file should be.
    QVERIFY(QDir().mkpath(f.Folder.IniFile()));
    QVERIFY(!w.close());
    QVERIFY(w.isVisible());
    QCOMPARE(f.Services.Messages.size(), 1);
    QCOMPARE(f.Services.Messages[0].Text, f.Folder.IniFile() + QStringLiteral(" に書き込めません"));
    QCOMPARE(f.Services.Messages[0].Caption, QStringLiteral("VORMLA商品情報取得ソフト"));

    // Once the way is clear the same close goes through.
    QVERIFY(QDir(f.Folder.IniFile()).removeRecursively());
    QVERIFY(w.close());
    QVERIFY(QFile::exists(f.Folder.IniFile()));
  }

  void missingDbFolderClosesWithoutSaving() {
    FakeServices services;
    TestProgramFolder folder;
    const std::string iniPath = (folder.Db() + QStringLiteral("/gone/vm.ini")).toStdString();
    MainWindow w(services, folder.DbPath(), iniPath, folder.AccountPath());
    w.show();
    QCoreApplication::processEvents();
    QVERIFY(w.close());
    QVERIFY(services.Messages.isEmpty());
    QVERIFY(!QFile::exists(QString::fromStdString(iniPath)));
  }

  void closingDuringARunAsksFirst() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    Control<QPushButton>(w, "btnCancel")->setEnabled(true);  // the running mode as far as closing cares
    f.Services.Answers = {Answer::No, Answer::Yes, Answer::Yes};
    QVERIFY(!w.close());
    QCOMPARE(w.RunResult(), RunCode::kNormal);
    QVERIFY(!w.close());
    QCOMPARE(w.RunResult(), RunCode::kCloseConfirmed);
    QVERIFY(!w.close());
    QCOMPARE(w.RunResult(), RunCode::kClosing);
    QCOMPARE(f.Services.Messages.size(), 3);
    QCOMPARE(f.Services.Messages[0].Text, QStringLiteral("取得処理の実行中ですが終了しますか？"));
    QCOMPARE(f.Services.Messages[0].Caption, QStringLiteral("終了確認"));
    QVERIFY(f.Services.Messages[0].Kind == Message::Buttons::YesNo);
    QVERIFY(!QFile::exists(f.Folder.IniFile()));
  }
};

QObject* NewSettingsTest() { return new SettingsTest; }

}  // namespace vormla::test

#include "SettingsTest.moc"
