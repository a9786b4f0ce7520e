// The real services' message box, and what the window hands a run.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "GuiTestKit.h"
#include "shell/DigitsEdit.h"
#include "text/TextOps.h"

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

  // The real save dialog: it opens on the proposed path, adds ".csv" to a bare
  // name and asks before replacing the file that name then stands for.
  void saveDialogAddsCsvAndAsksBeforeReplacing() {
    QTemporaryDir dir;
    {
      QFile existing(dir.filePath(QStringLiteral("result.csv")));
      QVERIFY(existing.open(QIODevice::WriteOnly));
    }
    const QString title = QStringLiteral("取得情報の保存先を指定してください");
    QString openedIn, proposedName, suffix, boxText, boxTitle, boxDefault, boxNo;
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    int stage = 0;
    auto* poll = new QTimer;
    // Types a name into the dialog's name box (nothing picked in its list) and
    // accepts it from the event loop.
    auto typeAndAccept = [](QFileDialog* dialog, const QString& name) {
      for (auto* view : dialog->findChildren<QAbstractItemView*>()) view->clearSelection();
      dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(name);
      QMetaObject::invokeMethod(
          dialog, [dialog] { static_cast<QDialog*>(dialog)->accept(); }, Qt::QueuedConnection);
    };
    QObject::connect(poll, &QTimer::timeout, [&] {
      QWidget* modal = QApplication::activeModalWidget();
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (stage == 0 && dialog != nullptr && dialog->isVisible()) {
        stage = 1;
        openedIn = dialog->directory().absolutePath();
        proposedName = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
        suffix = dialog->defaultSuffix();
        QCOMPARE(dialog->windowTitle(), title);
        typeAndAccept(dialog, QStringLiteral("result"));
      } else if (stage == 1 && box != nullptr && box->isVisible()) {
        stage = 2;
        boxText = box->text();
        boxTitle = box->windowTitle();
        boxIcon = box->icon();
        boxDefault = box->defaultButton() ? box->defaultButton()->text() : QString();
        boxNo = box->button(QMessageBox::No)->text();
        box->button(QMessageBox::No)->click();
      } else if (stage == 2 && dialog != nullptr && dialog->isVisible()) {
        stage = 3;
        typeAndAccept(dialog, QStringLiteral("fresh"));
      }
    });
    poll->start(20);
    QtServices services;
    const QString chosen =
        services.ChooseSaveFile(nullptr, title, QStringLiteral("CSVファイル (*.csv)"), QStringLiteral("csv"),
                                dir.filePath(QStringLiteral("VORMLA商品一覧.csv")));
    delete poll;
    QCOMPARE(stage, 3);
    QCOMPARE(openedIn, QDir(dir.path()).absolutePath());
    QCOMPARE(proposedName, QStringLiteral("VORMLA商品一覧.csv"));
    QCOMPARE(suffix, QStringLiteral("csv"));
    // "result" was taken as result.csv, which exists: the question Start repeats
    // for a name its own rule changed (RunTest) is word for word this one.
    QCOMPARE(boxText, QStringLiteral("result.csv は既に存在します。\n置き換えますか?"));
    QCOMPARE(boxTitle, title);
    QCOMPARE(boxIcon, QMessageBox::Warning);
    QCOMPARE(boxDefault, boxNo);
    QCOMPARE(chosen, dir.filePath(QStringLiteral("fresh.csv")));
  }

  void folderDialogOpensInTheGivenFolder() {
    QTemporaryDir dir;
    QString openedIn;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible() || !openedIn.isEmpty()) return;
      openedIn = dialog->directory().absolutePath();
      QMetaObject::invokeMethod(
          dialog, [dialog] { static_cast<QDialog*>(dialog)->reject(); }, Qt::QueuedConnection);
    });
    poll->start(20);
    QtServices services;
    const QString chosen = services.ChooseFolder(nullptr, QStringLiteral("フォルダを指定して下さい。"), dir.path());
    delete poll;
    QCOMPARE(openedIn, QDir(dir.path()).absolutePath());
    QVERIFY(chosen.isEmpty());
  }

  void taskbarNeedsASessionBus() {
    // The tests run inside dbus-run-session.
    QtServices services;
    QCOMPARE(services.InitializeTaskbarAPI(), !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"));
    WindowFixture off;
    QVERIFY(!off.Window->TaskbarReady());
    WindowFixture on(QStringLiteral("catalogue-edge.db"), false);
    on.Services.TaskbarAvailable = true;
    on.ShowAndLoad();
    QVERIFY(on.Window->TaskbarReady());
  }

  void snapshotsCarryTheConditionsOfTheControls() {
    WindowFixture f(QStringLiteral("vm_data.db"));
    MainWindow& w = *f.Window;
    Control<QLineEdit>(w, "txtWord")->setText(QStringLiteral("タオル"));
    Control<QLineEdit>(w, "txtPrice1")->setText(QStringLiteral("100"));
    Control<QLineEdit>(w, "txtPrice4")->setText(QStringLiteral("900"));
    Control<QCheckBox>(w, "chkSell2")->setChecked(true);
    Control<QComboBox>(w, "cmbSort")->setCurrentIndex(1);
    ChooseCategory(w, 3);
    Control<QTreeWidget>(w, "TreeView")->expandAll();
    ClickCheckBox(w, 1);
    ClickCheckBox(w, 2);
    // Start fixes the category list and the proposed file name; the save dialog
    // is then cancelled.
    Control<QPushButton>(w, "btnAction")->click();
    Control<QCheckBox>(w, "chkImgSave")->setChecked(true);
    Control<QLineEdit>(w, "txtDirPath")->setText(QStringLiteral("/srv/画像/"));

    const SearchConditions c = w.SnapshotConditions();
    QCOMPARE(c.Keyword, std::string("タオル"));
    QCOMPARE(c.WholesalePrice.Min, std::string("100"));
    QCOMPARE(c.WholesalePrice.Max, std::string());
    QCOMPARE(c.RetailPrice.Max, std::string("900"));
    QVERIFY(!c.InStockOnly);
    QVERIFY(c.DiscountedOnly);
    QCOMPARE(c.Sort, 1);
    QCOMPARE(c.TopCategory.Index, 3);
    QCOMPARE(c.TopCategory.Name, Utf8ToSjis("バッグ・財布"));  // the catalogue's own bytes
    QVERIFY(c.Pictures.On);
    QCOMPARE(c.Pictures.Folder, std::string("/srv/画像/"));
    QCOMPARE(w.ResultFilePath(), QStringLiteral("VORMLA商品一覧.csv"));
    QCOMPARE(c.SelectedCategories, std::string("1,2,"));

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
    f.Window = std::make_unique<MainWindow>(f.Services, f.Folder.DbPath(), f.Folder.IniPath(), f.Folder.AccountPath());
    auto* txtPrice1 = Control<QLineEdit>(*f.Window, "txtPrice1");
    QCoreApplication::processEvents();
    QCOMPARE(txtPrice1->text(), QString());                          // created, not yet shown
    QCOMPARE(Control<QComboBox>(*f.Window, "cmbCtgr")->count(), 6);  // the catalogue is read at creation
    f.Window->show();
    QCOMPARE(txtPrice1->text(), QString());  // not inside the show itself
    QTRY_COMPARE(txtPrice1->text(), QStringLiteral("42"));
  }
};

QObject* NewServicesTest() { return new ServicesTest; }

}  // namespace vormla::test

#include "ServicesTest.moc"
