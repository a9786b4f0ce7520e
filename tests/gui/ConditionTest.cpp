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
    Control<QLineEdit>(w, "txtWord")->setText(QStringLiteral("タオル"));
    Control<QLineEdit>(w, "txtPrice1")->setText(QStringLiteral("100"));
    Control<QLineEdit>(w, "txtPrice2")->setText(QStringLiteral("5000"));
    Control<QLineEdit>(w, "txtPrice3")->setText(QStringLiteral("200"));
    Control<QLineEdit>(w, "txtPrice4")->setText(QStringLiteral("900"));
    Control<QCheckBox>(w, "chkSell1")->setChecked(true);
    Control<QCheckBox>(w, "chkSell2")->setChecked(true);
    Control<QCheckBox>(w, "chkImgSave")->setChecked(true);
    Control<QLineEdit>(w, "txtDirPath")->setText(QStringLiteral("/srv/images/"));
    Control<QComboBox>(w, "cmbSort")->setCurrentIndex(3);
    ChooseCategory(w, 2);
    Control<QCheckBox>(w, "chkItem")->setChecked(true);
    Control<QTreeWidget>(w, "TreeView")->expandAll();
    w.SetStatusText(QStringLiteral("分類 : A > B - 3/120件 取得中"));
  }

 private slots:
  void clearAnsweredNoChangesNothing() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    auto* txtDirPath = Control<QLineEdit>(w, "txtDirPath");
    ChangeEverything(w);
    const QString marks = WidgetMarks(w);
    f.Services.Answers = {Answer::No};
    QTest::mouseClick(Control<QPushButton>(w, "btnClear"), Qt::LeftButton);

    QCOMPARE(f.Services.Messages.size(), 1);
    const Message& asked = f.Services.Messages[0];
    QCOMPARE(asked.Text, QStringLiteral("設定した条件を初期化します。\nよろしいですか？"));
    QCOMPARE(asked.Caption, QStringLiteral("変更確認"));
    QVERIFY(asked.Kind == Message::Buttons::YesNo);
    QVERIFY(asked.Symbol == Message::Icon::Question);
    QVERIFY(!asked.DefaultNo);

    QCOMPARE(Control<QLineEdit>(w, "txtWord")->text(), QStringLiteral("タオル"));
    QCOMPARE(Control<QLineEdit>(w, "txtPrice4")->text(), QStringLiteral("900"));
    for (QCheckBox* box : Controls<QCheckBox>(w, {"chkSell1", "chkSell2", "chkImgSave", "chkItem"})) {
      QVERIFY(box->isChecked());
    }
    QCOMPARE(txtDirPath->text(), QStringLiteral("/srv/images/"));
    QVERIFY(!txtDirPath->isReadOnly());
    QCOMPARE(Control<QComboBox>(w, "cmbSort")->currentIndex(), 3);
    QCOMPARE(Control<QComboBox>(w, "cmbCtgr")->currentIndex(), 2);
    QCOMPARE(WidgetMarks(w), marks);
    QVERIFY(w.NodeItem(0)->isExpanded());
    QCOMPARE(Control<QLabel>(w, "lblStatus")->text(), QStringLiteral("分類 : A > B - 3/120件 取得中"));
  }

  void clearAnsweredYesResetsEveryCondition() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    auto* txtDirPath = Control<QLineEdit>(w, "txtDirPath");
    auto* TreeView = Control<QTreeWidget>(w, "TreeView");
    ChangeEverything(w);
    f.Services.Answers = {Answer::Yes};
    QTest::mouseClick(Control<QPushButton>(w, "btnClear"), Qt::LeftButton);

    QCOMPARE(f.Services.Messages.size(), 1);
    QCOMPARE(Control<QLabel>(w, "lblStatus")->text(), QString());
    for (QLineEdit* edit : Controls<QLineEdit>(w, {"txtWord", "txtPrice1", "txtPrice2", "txtPrice3", "txtPrice4"})) {
      QCOMPARE(edit->text(), QString());
    }
    QCOMPARE(txtDirPath->text(), QDir::homePath() + QStringLiteral("/"));
    QVERIFY(txtDirPath->isReadOnly());
    QCOMPARE(txtDirPath->palette().color(QPalette::Base), w.palette().color(QPalette::Button));
    QVERIFY(!Control<QPushButton>(w, "btnDirPath")->isEnabled());
    QVERIFY(!Control<QLabel>(w, "lblImgDir")->isEnabled());
    for (QCheckBox* box : Controls<QCheckBox>(w, {"chkSell1", "chkSell2", "chkItem", "chkImgSave"})) {
      QVERIFY(!box->isChecked());
    }
    QCOMPARE(Control<QComboBox>(w, "cmbSort")->currentIndex(), 0);
    QCOMPARE(Control<QComboBox>(w, "cmbCtgr")->currentIndex(), 0);
    // The first item's tree: 新着商品 (with two children) and セール, all unchecked
    // and collapsed, node 0 selected and at the top.
    QCOMPARE(w.Tree().Count(), 4);
    QCOMPARE(w.NodeItem(0)->text(0), QStringLiteral(" 新着商品"));
    QCOMPARE(w.NodeItem(3)->text(0), QStringLiteral(" セール"));
    QCOMPARE(WidgetMarks(w), QStringLiteral("0000"));
    QCOMPARE(ModelMarks(w), QStringLiteral("0000"));
    QVERIFY(!w.NodeItem(0)->isExpanded());
    QCOMPARE(TreeView->currentItem(), w.NodeItem(0));
    QVERIFY(w.NodeItem(0)->isSelected());
    QCOMPARE(TreeView->itemAt(QPoint(5, 3)), w.NodeItem(0));
    // The settings file is not touched.
    QVERIFY(!QFile::exists(f.Folder.IniFile()));
  }

  void clearWithAnEmptyFirstTreeSelectsNothing() {
    // The shipped catalogue's first item (all categories) has no sub-categories.
    WindowFixture f(QStringLiteral("vm_data.db"));
    MainWindow& w = *f.Window;
    auto* TreeView = Control<QTreeWidget>(w, "TreeView");
    ChooseCategory(w, 1);
    QVERIFY(w.Tree().Count() > 0);
    QTest::mouseClick(Control<QPushButton>(w, "btnClear"), Qt::LeftButton);
    QCOMPARE(Control<QComboBox>(w, "cmbCtgr")->currentIndex(), 0);
    QCOMPARE(w.Tree().Count(), 0);
    QCOMPARE(TreeView->topLevelItemCount(), 0);
    QCOMPARE(TreeView->currentItem(), nullptr);
  }

  void chosenFolderEndsInOneSlash() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    auto* txtDirPath = Control<QLineEdit>(w, "txtDirPath");
    QTest::mouseClick(Control<QCheckBox>(w, "chkImgSave"), Qt::LeftButton);
    QVERIFY(Control<QPushButton>(w, "btnDirPath")->isEnabled());

    f.Services.FolderChoice = QStringLiteral("/");
    QTest::mouseClick(Control<QPushButton>(w, "btnDirPath"), Qt::LeftButton);
    QCOMPARE(txtDirPath->text(), QStringLiteral("/"));
    QCOMPARE(f.Services.FolderTitles, QStringList{QStringLiteral("フォルダを指定して下さい。")});

    f.Services.FolderChoice = QStringLiteral("/media/d/Images");
    QTest::mouseClick(Control<QPushButton>(w, "btnDirPath"), Qt::LeftButton);
    QCOMPARE(txtDirPath->text(), QStringLiteral("/media/d/Images/"));

    f.Services.FolderChoice = QStringLiteral("/media/d/画像/");
    QTest::mouseClick(Control<QPushButton>(w, "btnDirPath"), Qt::LeftButton);
    QCOMPARE(txtDirPath->text(), QStringLiteral("/media/d/画像/"));

    // Cancelled: unchanged.
    f.Services.FolderChoice.clear();
    QTest::mouseClick(Control<QPushButton>(w, "btnDirPath"), Qt::LeftButton);
    QCOMPARE(txtDirPath->text(), QStringLiteral("/media/d/画像/"));

    // The dialog opens where it was last left (nowhere at first; a cancel moves nothing).
    QCOMPARE(f.Services.FolderStarts, (QStringList{QString(), QStringLiteral("/"), QStringLiteral("/media/d/Images"),
                                                   QStringLiteral("/media/d/画像/")}));
    f.Services.FolderChoice = QStringLiteral("/srv/x");
    QTest::mouseClick(Control<QPushButton>(w, "btnDirPath"), Qt::LeftButton);
    QCOMPARE(f.Services.FolderStarts.last(), QStringLiteral("/media/d/画像/"));
    // A new window (a new run of the program) starts without one.
    WindowFixture again;
    QTest::mouseClick(Control<QCheckBox>(*again.Window, "chkImgSave"), Qt::LeftButton);
    QTest::mouseClick(Control<QPushButton>(*again.Window, "btnDirPath"), Qt::LeftButton);
    QCOMPARE(again.Services.FolderStarts, QStringList{QString()});
  }

  void imageSwitchFollowsEveryChange() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    auto* chkImgSave = Control<QCheckBox>(w, "chkImgSave");
    auto* lblImgDir = Control<QLabel>(w, "lblImgDir");
    auto* btnDirPath = Control<QPushButton>(w, "btnDirPath");
    auto* txtDirPath = Control<QLineEdit>(w, "txtDirPath");
    const QColor buttonFace = w.palette().color(QPalette::Button);
    const QColor window = w.palette().color(QPalette::Base);

    QTest::mouseClick(chkImgSave, Qt::LeftButton);  // the user's click
    QVERIFY(chkImgSave->isChecked());
    QVERIFY(lblImgDir->isEnabled());
    QVERIFY(btnDirPath->isEnabled());
    QVERIFY(!txtDirPath->isReadOnly());
    QCOMPARE(txtDirPath->palette().color(QPalette::Base), window);

    chkImgSave->setChecked(false);  // a change by the program
    QVERIFY(!lblImgDir->isEnabled());
    QVERIFY(!btnDirPath->isEnabled());
    QVERIFY(txtDirPath->isReadOnly());
    QCOMPARE(txtDirPath->palette().color(QPalette::Base), buttonFace);

    chkImgSave->setChecked(true);
    QVERIFY(btnDirPath->isEnabled());
    QTest::keyClicks(txtDirPath, "x");
    QVERIFY(txtDirPath->text().endsWith(QLatin1Char('x')));
  }
};

QObject* NewConditionTest() { return new ConditionTest; }

}  // namespace vormla::test

#include "ConditionTest.moc"
