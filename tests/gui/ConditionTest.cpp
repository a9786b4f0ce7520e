// Clear, the folder choice and the image-saving switch.
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

namespace vormla::test {

class ConditionTest : public QObject {
  Q_OBJECT

 private:
  // Every condition changed away from its initial value, top-level item 2 chosen
  // by the user, some nodes checked and expanded.
  static void ChangeEverything(MainWindow& w) {
    w.txtWord->setText(QStringLiteral("タオル"));
    w.txtPrice1->setText(QStringLiteral("100"));
    w.txtPrice2->setText(QStringLiteral("5000"));
    w.txtPrice3->setText(QStringLiteral("200"));
    w.txtPrice4->setText(QStringLiteral("900"));
    w.chkSell1->setChecked(true);
    w.chkSell2->setChecked(true);
    w.chkImgSave->setChecked(true);
    w.txtDirPath->setText(QStringLiteral("/srv/images/"));
    w.cmbSort->setCurrentIndex(3);
    w.cmbCtgr->setCurrentIndex(2);
    w.cmbCtgrClick();
    w.chkItem->setChecked(true);
    w.TreeView->expandAll();
    w.SetStatusText(QStringLiteral("分類 : A > B - 3/120件 取得中"));
  }

 private slots:
  void clearAnsweredNoChangesNothing() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    ChangeEverything(w);
    const QString marks = WidgetMarks(w);
    f.Services.Answers = {Answer::No};
    QTest::mouseClick(w.btnClear, Qt::LeftButton);

    QCOMPARE(f.Services.Messages.size(), 1);
    const Message& asked = f.Services.Messages[0];
    QCOMPARE(asked.Text, QStringLiteral("設定した条件を初期化します。\nよろしいですか？"));
    QCOMPARE(asked.Caption, QStringLiteral("変更確認"));
    QVERIFY(asked.Kind == Message::Buttons::YesNo);
    QVERIFY(asked.Symbol == Message::Icon::Question);
    QVERIFY(!asked.DefaultNo);

    QCOMPARE(w.txtWord->text(), QStringLiteral("タオル"));
    QCOMPARE(w.txtPrice4->text(), QStringLiteral("900"));
    QVERIFY(w.chkSell1->isChecked() && w.chkSell2->isChecked() && w.chkImgSave->isChecked());
    QVERIFY(w.chkItem->isChecked());
    QCOMPARE(w.txtDirPath->text(), QStringLiteral("/srv/images/"));
    QVERIFY(!w.txtDirPath->isReadOnly());
    QCOMPARE(w.cmbSort->currentIndex(), 3);
    QCOMPARE(w.cmbCtgr->currentIndex(), 2);
    QCOMPARE(WidgetMarks(w), marks);
    QVERIFY(w.NodeItem(0)->isExpanded());
    QCOMPARE(w.lblStatus->text(), QStringLiteral("分類 : A > B - 3/120件 取得中"));
  }

  void clearAnsweredYesResetsEveryCondition() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    ChangeEverything(w);
    f.Services.Answers = {Answer::Yes};
    QTest::mouseClick(w.btnClear, Qt::LeftButton);

    QCOMPARE(f.Services.Messages.size(), 1);
    QCOMPARE(w.lblStatus->text(), QString());
    for (QLineEdit* edit : {static_cast<QLineEdit*>(w.txtWord), static_cast<QLineEdit*>(w.txtPrice1),
                            static_cast<QLineEdit*>(w.txtPrice2), static_cast<QLineEdit*>(w.txtPrice3),
                            static_cast<QLineEdit*>(w.txtPrice4)}) {
      QCOMPARE(edit->text(), QString());
    }
    QCOMPARE(w.txtDirPath->text(), QDir::homePath() + QStringLiteral("/"));
    QVERIFY(w.txtDirPath->isReadOnly());
    QCOMPARE(w.txtDirPath->palette().color(QPalette::Base), w.palette().color(QPalette::Button));
    QVERIFY(!w.btnDirPath->isEnabled());
    QVERIFY(!w.lblImgDir->isEnabled());
    for (QCheckBox* box : {w.chkSell1, w.chkSell2, w.chkItem, w.chkImgSave}) QVERIFY(!box->isChecked());
    QCOMPARE(w.cmbSort->currentIndex(), 0);
    QCOMPARE(w.cmbCtgr->currentIndex(), 0);
    // The first item's tree: 新着商品 (with two children) and セール, all unchecked
    // and collapsed, node 0 selected and at the top.
    QCOMPARE(w.Tree().Count(), 4);
    QCOMPARE(w.NodeItem(0)->text(0), QStringLiteral(" 新着商品"));
    QCOMPARE(w.NodeItem(3)->text(0), QStringLiteral(" セール"));
    QCOMPARE(WidgetMarks(w), QStringLiteral("0000"));
    QCOMPARE(ModelMarks(w), QStringLiteral("0000"));
    QVERIFY(!w.NodeItem(0)->isExpanded());
    QCOMPARE(w.TreeView->currentItem(), w.NodeItem(0));
    QVERIFY(w.NodeItem(0)->isSelected());
    QCOMPARE(w.TreeView->itemAt(QPoint(5, 3)), w.NodeItem(0));
    // The settings file is not touched.
    QVERIFY(!QFile::exists(f.Folder.IniFile()));
  }

  void clearWithAnEmptyFirstTreeSelectsNothing() {
    // The shipped catalogue's first item (all categories) has no sub-categories.
    WindowFixture f(QStringLiteral("vm_data.db"));
    MainWindow& w = *f.Window;
    w.cmbCtgr->setCurrentIndex(1);
    w.cmbCtgrClick();
    QVERIFY(w.Tree().Count() > 0);
    QTest::mouseClick(w.btnClear, Qt::LeftButton);
    QCOMPARE(w.cmbCtgr->currentIndex(), 0);
    QCOMPARE(w.Tree().Count(), 0);
    QCOMPARE(w.TreeView->topLevelItemCount(), 0);
    QCOMPARE(w.TreeView->currentItem(), nullptr);
  }

  void chosenFolderEndsInOneSlash() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    QTest::mouseClick(w.chkImgSave, Qt::LeftButton);
    QVERIFY(w.btnDirPath->isEnabled());

    f.Services.FolderChoice = QStringLiteral("/");
    QTest::mouseClick(w.btnDirPath, Qt::LeftButton);
    QCOMPARE(w.txtDirPath->text(), QStringLiteral("/"));
    QCOMPARE(f.Services.FolderTitles, QStringList{QStringLiteral("フォルダを指定して下さい。")});

    f.Services.FolderChoice = QStringLiteral("/media/d/Images");
    QTest::mouseClick(w.btnDirPath, Qt::LeftButton);
    QCOMPARE(w.txtDirPath->text(), QStringLiteral("/media/d/Images/"));

    f.Services.FolderChoice = QStringLiteral("/media/d/画像/");
    QTest::mouseClick(w.btnDirPath, Qt::LeftButton);
    QCOMPARE(w.txtDirPath->text(), QStringLiteral("/media/d/画像/"));

    // Cancelled: unchanged.
    f.Services.FolderChoice.clear();
    QTest::mouseClick(w.btnDirPath, Qt::LeftButton);
    QCOMPARE(w.txtDirPath->text(), QStringLiteral("/media/d/画像/"));

    // The dialog opens where it was last left (nowhere at first; a cancel moves nothing).
    QCOMPARE(f.Services.FolderStarts, (QStringList{QString(), QStringLiteral("/"), QStringLiteral("/media/d/Images"),
                                                   QStringLiteral("/media/d/画像/")}));
    f.Services.FolderChoice = QStringLiteral("/srv/x");
    QTest::mouseClick(w.btnDirPath, Qt::LeftButton);
    QCOMPARE(f.Services.FolderStarts.last(), QStringLiteral("/media/d/画像/"));
    // A new window (a new run of the program) starts without one.
    WindowFixture again;
    QTest::mouseClick(again.Window->chkImgSave, Qt::LeftButton);
    QTest::mouseClick(again.Window->btnDirPath, Qt::LeftButton);
    QCOMPARE(again.Services.FolderStarts, QStringList{QString()});
  }

  void imageSwitchFollowsEveryChange() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    const QColor buttonFace = w.palette().color(QPalette::Button);
    const QColor window = w.palette().color(QPalette::Base);

    QTest::mouseClick(w.chkImgSave, Qt::LeftButton);  // the user's click
    QVERIFY(w.chkImgSave->isChecked());
    QVERIFY(w.lblImgDir->isEnabled());
    QVERIFY(w.btnDirPath->isEnabled());
    QVERIFY(!w.txtDirPath->isReadOnly());
    QCOMPARE(w.txtDirPath->palette().color(QPalette::Base), window);

    w.chkImgSave->setChecked(false);  // a change by the program
    QVERIFY(!w.lblImgDir->isEnabled());
    QVERIFY(!w.btnDirPath->isEnabled());
    QVERIFY(w.txtDirPath->isReadOnly());
    QCOMPARE(w.txtDirPath->palette().color(QPalette::Base), buttonFace);

    w.chkImgSave->setChecked(true);
    QVERIFY(w.btnDirPath->isEnabled());
    QTest::keyClicks(w.txtDirPath, "x");
    QVERIFY(w.txtDirPath->text().endsWith(QLatin1Char('x')));
  }
};

QObject* NewConditionTest() { return new ConditionTest; }

}  // namespace vormla::test

#include "ConditionTest.moc"
