// The real services' message box, and what the window hands a run.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "GuiTestKit.h"
#include "desktop/DigitsEdit.h"
#include "web/TextOps.h"

namespace vormla::test {

class ServicesTest : public QObject {
  Q_OBJECT

 private:
  struct SeenBox {
    QString Title, Text, Yes, No, Ok, Default;
    bool OnTop = false;
    QMessageBox::Icon Icon = QMessageBox::NoIcon;
  };

  // Shows the box through the real services and answers it by pressing `press`
  // (or Escape when press is NoButton) once it is up.
  static Answer ShowAndAnswer(const Message& message, QMessageBox::StandardButton press, SeenBox& seen) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, press, &seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      poll->stop();
      seen.Title = box->windowTitle();
      seen.Text = box->text();
      seen.OnTop = box->windowFlags() & Qt::WindowStaysOnTopHint;
      seen.Icon = box->icon();
      if (QAbstractButton* b = box->button(QMessageBox::Yes)) seen.Yes = b->text();
      if (QAbstractButton* b = box->button(QMessageBox::No)) seen.No = b->text();
      if (QAbstractButton* b = box->button(QMessageBox::Ok)) seen.Ok = b->text();
      if (QPushButton* b = box->defaultButton()) seen.Default = b->text();
      if (press == QMessageBox::NoButton) {
        QTest::keyClick(box, Qt::Key_Escape);
      } else {
        box->button(press)->click();
      }
    });
    poll->start(20);
    QtServices services;
    const Answer answer = services.ShowMessage(nullptr, message);
    delete poll;
    return answer;
  }

 private slots:
  void questionBoxIsTopmostAndJapanese() {
    Message message;
    message.Text = QStringLiteral("商品情報の取得が完了しました。\n保存したファイルを開きますか？");
    message.Caption = QStringLiteral("処理確認");
    message.Kind = Message::Buttons::YesNo;
    message.Symbol = Message::Icon::Question;
    message.DefaultNo = true;
    SeenBox seen;
    QVERIFY(ShowAndAnswer(message, QMessageBox::Yes, seen) == Answer::Yes);
    QCOMPARE(seen.Title, message.Caption);
    QCOMPARE(seen.Text, message.Text);
    QVERIFY(seen.OnTop);
    QCOMPARE(seen.Icon, QMessageBox::Question);
    QVERIFY2(seen.Yes.startsWith(QStringLiteral("はい")), qPrintable(seen.Yes));
    QVERIFY2(seen.No.startsWith(QStringLiteral("いいえ")), qPrintable(seen.No));
    QCOMPARE(seen.Default, seen.No);

    message.DefaultNo = false;
    QVERIFY(ShowAndAnswer(message, QMessageBox::No, seen) == Answer::No);
    QCOMPARE(seen.Default, seen.Yes);
    // Escape answers No.
    QVERIFY(ShowAndAnswer(message, QMessageBox::NoButton, seen) == Answer::No);
  }

  void noticeBoxHasOneButton() {
    Message message;
    message.Text = QStringLiteral("該当する商品情報は見つかりませんでした。");
    message.Caption = QStringLiteral("検索終了");
    SeenBox seen;
    QVERIFY(ShowAndAnswer(message, QMessageBox::Ok, seen) == Answer::Ok);
    QCOMPARE(seen.Icon, QMessageBox::Information);
    QVERIFY(seen.OnTop);
    QVERIFY(!seen.Ok.isEmpty());
    QVERIFY(seen.Yes.isEmpty() && seen.No.isEmpty());
  }

  void taskbarNeedsASessionBus() {
    // The tests run inside dbus-run-session.
    QtServices services;
    QCOMPARE(services.InitializeTaskbarAPI(), !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"));
    WindowFixture off;
    QVERIFY(!off.Window->TaskbarReady);
    WindowFixture on(QStringLiteral("catalogue-edge.db"), false);
    on.Services.TaskbarAvailable = true;
    on.ShowAndLoad();
    QVERIFY(on.Window->TaskbarReady);
  }

  void snapshotsCarryShiftJisTexts() {
    WindowFixture f(QStringLiteral("vm_data.db"));
    MainWindow& w = *f.Window;
    w.txtWord->setText(QStringLiteral("タオル"));
    w.txtPrice1->setText(QStringLiteral("100"));
    w.txtPrice4->setText(QStringLiteral("900"));
    w.chkSell2->setChecked(true);
    w.cmbSort->setCurrentIndex(1);
    w.cmbCtgr->setCurrentIndex(3);
    w.cmbCtgrClick();
    w.chkImgSave->setChecked(true);
    w.txtDirPath->setText(QStringLiteral("/srv/画像/"));
    w.strFilePath = QStringLiteral("/tmp/結果.csv");
    w.strCtgrList = "1,2,";

    const SearchConditions c = w.SnapshotConditions();
    QCOMPARE(c.Word, Utf8ToSjis("タオル"));
    QCOMPARE(c.Price1, std::string("100"));
    QCOMPARE(c.Price2, std::string());
    QCOMPARE(c.Price4, std::string("900"));
    QVERIFY(!c.Sell1);
    QVERIFY(c.Sell2);
    QCOMPARE(c.SortIndex, 1);
    QCOMPARE(c.CtgrIndex, 3);
    QCOMPARE(c.CtgrText, Utf8ToSjis("バッグ・財布"));
    QVERIFY(c.ImgSave);
    QCOMPARE(c.DirPath, std::string("/srv/画像/"));
    QCOMPARE(c.FilePath, std::string("/tmp/結果.csv"));
    QCOMPARE(c.CtgrList, std::string("1,2,"));

    const std::vector<CategoryNode> nodes = w.SnapshotNodes();
    QCOMPARE(nodes.size(), size_t{25});
    QCOMPARE(nodes[0].Caption, Utf8ToSjis(" レディースバッグ"));
    QCOMPARE(nodes[0].Code, std::string("1210"));
    QCOMPARE(nodes[0].Level, 0);
    QCOMPARE(nodes[2].Parent, 0);
    QCOMPARE(nodes[2].Level, 1);
    QCOMPARE(nodes[24].Parent, -1);
  }

  void settingsWaitForTheFirstShow() {
    WindowFixture f(QStringLiteral("catalogue-edge.db"), false);
    f.Folder.WriteIni({QStringLiteral("[Config]"), QStringLiteral("Price1=42")});
    f.Window = std::make_unique<MainWindow>(f.Services, f.Folder.DbPath(), f.Folder.IniPath());
    QCoreApplication::processEvents();
    QCOMPARE(f.Window->txtPrice1->text(), QString());  // created, not yet shown
    QCOMPARE(f.Window->cmbCtgr->count(), 6);         // the catalogue is read at creation
    f.Window->show();
    QCOMPARE(f.Window->txtPrice1->text(), QString());  // not inside the show itself
    QTRY_COMPARE(f.Window->txtPrice1->text(), QStringLiteral("42"));
  }
};

QObject* NewServicesTest() { return new ServicesTest; }

}  // namespace vormla::test

#include "ServicesTest.moc"
