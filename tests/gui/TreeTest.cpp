// The category tree through the widget: what a click on a box, the space key,
// a click on a caption, the select-all box and the two small buttons do.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>

#include "GuiTestKit.h"
#include "catalogue/CategoryTree.h"

namespace vormla::test {

class TreeTest : public QObject {
  Q_OBJECT

 private:
  // Top-level item 3 of the shipped catalogue: 25 nodes, group 0 with children
  // 1..6, group 7 with 8..11, group 12 with 13..18, group 19 with 20..22, and
  // the childless groups 23 and 24.
  static std::unique_ptr<WindowFixture> BagsTree() {
    auto f = std::make_unique<WindowFixture>(QStringLiteral("vm_data.db"));
    ChooseCategory(*f->Window, 3);
    Control<QTreeWidget>(*f->Window, "TreeView")->expandAll();
    return f;
  }

  // The model's answer for the same toggle, to compare the widget with.
  static QString ModelAfter(const MainWindow& w, int index, bool state, bool* selectAll) {
    CategoryTree model(w.Tree().Nodes());
    for (int i = 0; i < w.Tree().Count(); ++i) model.SetNodeChecked(i, w.Tree().IsNodeChecked(i));
    model.ApplyNodeCheck(index, state);
    *selectAll = model.SyncSelectAllBox(Control<QCheckBox>(w, "chkItem")->isChecked());
    return QString::fromStdString(model.TreeListText());
  }

 private slots:
  void boxClickSpreadsLikeTheModel() {
    auto f = BagsTree();
    MainWindow& w = *f->Window;
    QCOMPARE(w.Tree().Count(), 25);
    // Children of group 7 one by one, then the parent of group 0, then a child
    // off again, then a childless group.
    const int clicks[] = {8, 9, 10, 11, 0, 3, 23, 7};
    for (int index : clicks) {
      bool selectAll = false;
      const QString expected = ModelAfter(w, index, !w.Tree().IsNodeChecked(index), &selectAll);
      ClickCheckBox(w, index);
      QCOMPARE(ModelMarks(w), expected);
      QCOMPARE(WidgetMarks(w), expected);
      QCOMPARE(Control<QCheckBox>(w, "chkItem")->isChecked(), selectAll);
    }
    // Concretely: the last child of group 7 checked its parent; clicking the
    // parent 0 checked all its children; child 3 off unchecked parent 0; 7 off
    // unchecked all of group 7.
    QCOMPARE(WidgetMarks(w), QStringLiteral("0110111"
                                            "00000"
                                            "0000000"
                                            "0000"
                                            "10"));
  }

  void spaceKeySpreadsLikeABoxClick() {
    auto f = BagsTree();
    MainWindow& w = *f->Window;
    auto* TreeView = Control<QTreeWidget>(w, "TreeView");
    TreeView->setFocus();
    for (int index : {12, 15, 15, 20, 21, 22}) {
      TreeView->setCurrentItem(w.NodeItem(index));
      bool selectAll = false;
      const QString expected = ModelAfter(w, index, !w.Tree().IsNodeChecked(index), &selectAll);
      QTest::keyClick(TreeView, Qt::Key_Space);
      QCOMPARE(WidgetMarks(w), expected);
      QCOMPARE(ModelMarks(w), expected);
      QCOMPARE(Control<QCheckBox>(w, "chkItem")->isChecked(), selectAll);
    }
    // Group 12 checked as a whole, 15 off and on again (parent back on), group 19
    // completed child by child.
    QCOMPARE(WidgetMarks(w), QStringLiteral("0000000"
                                            "00000"
                                            "1111111"
                                            "1111"
                                            "00"));
    QCOMPARE(QString::fromStdString(w.Tree().SelectedCategoryList()), QStringLiteral("13,14,15,16,17,18,20,21,22,"));
  }

  void captionClickChangesNoMark() {
    auto f = BagsTree();
    MainWindow& w = *f->Window;
    ClickCheckBox(w, 2);
    const QString before = WidgetMarks(w);
    for (int index : {0, 2, 5, 23}) {
      ClickCaption(w, index);
      QCOMPARE(Control<QTreeWidget>(w, "TreeView")->currentItem(), w.NodeItem(index));  // the click did land
      QCOMPARE(WidgetMarks(w), before);
      QCOMPARE(ModelMarks(w), before);
    }
  }

  void selectAllBoxBothWays() {
    auto f = BagsTree();
    MainWindow& w = *f->Window;
    auto* chkItem = Control<QCheckBox>(w, "chkItem");
    QTest::mouseClick(chkItem, Qt::LeftButton);
    QVERIFY(chkItem->isChecked());
    QCOMPARE(WidgetMarks(w), QString(25, QLatin1Char('1')));
    QCOMPARE(ModelMarks(w), QString(25, QLatin1Char('1')));

    // One child off: that child, its parent and the box go off, nothing else.
    ClickCheckBox(w, 9);
    QVERIFY(!chkItem->isChecked());
    QCOMPARE(WidgetMarks(w), QStringLiteral("1111111"
                                            "01011"
                                            "1111111"
                                            "1111"
                                            "11"));

    // Back on: the box follows the tree again.
    ClickCheckBox(w, 9);
    QVERIFY(chkItem->isChecked());
    QCOMPARE(WidgetMarks(w), QString(25, QLatin1Char('1')));

    QTest::mouseClick(chkItem, Qt::LeftButton);
    QVERIFY(!chkItem->isChecked());
    QCOMPARE(WidgetMarks(w), QString(25, QLatin1Char('0')));
  }

  void selectAllIgnoresUncheckedTopLevelNodes() {
    // Top-level item 0 of the edge catalogue: 新着商品 with two children, セール alone.
    WindowFixture f;
    MainWindow& w = *f.Window;
    auto* chkItem = Control<QCheckBox>(w, "chkItem");
    Control<QTreeWidget>(w, "TreeView")->expandAll();
    ClickCheckBox(w, 1);
    QVERIFY(!chkItem->isChecked());
    ClickCheckBox(w, 2);
    // Both children (and so their parent) checked; セール is still unchecked.
    QCOMPARE(WidgetMarks(w), QStringLiteral("1110"));
    QVERIFY(chkItem->isChecked());
    ClickCheckBox(w, 3);
    ClickCheckBox(w, 3);
    QCOMPARE(WidgetMarks(w), QStringLiteral("1110"));
    QVERIFY(!chkItem->isChecked());
  }

  void expandAndCollapseButtons() {
    auto f = BagsTree();
    MainWindow& w = *f->Window;
    auto* TreeView = Control<QTreeWidget>(w, "TreeView");
    TreeView->collapseAll();
    TreeView->setCurrentItem(w.NodeItem(24));
    QTest::mouseClick(Control<QToolButton>(w, "spbExpand"), Qt::LeftButton);  // "-" expands
    for (int group : {0, 7, 12, 19}) QVERIFY(w.NodeItem(group)->isExpanded());
    QCOMPARE(TreeView->currentItem(), w.NodeItem(0));
    QCOMPARE(TreeView->verticalScrollBar()->value(), 0);
    QVERIFY(TreeView->verticalScrollBar()->maximum() > 0);

    TreeView->scrollToItem(w.NodeItem(24));
    QVERIFY(TreeView->verticalScrollBar()->value() > 0);
    QTest::mouseClick(Control<QToolButton>(w, "spbCollapse"), Qt::LeftButton);  // "+" collapses
    for (int group : {0, 7, 12, 19}) QVERIFY(!w.NodeItem(group)->isExpanded());
    QCOMPARE(TreeView->currentItem(), w.NodeItem(0));
    QCOMPARE(TreeView->verticalScrollBar()->value(), 0);
  }

  void expandOnAnEmptyTreeDoesNothing() {
    WindowFixture f(QStringLiteral("vm_data.db"));
    MainWindow& w = *f.Window;
    QCOMPARE(w.Tree().Count(), 0);
    QTest::mouseClick(Control<QToolButton>(w, "spbExpand"), Qt::LeftButton);
    QTest::mouseClick(Control<QToolButton>(w, "spbCollapse"), Qt::LeftButton);
    QCOMPARE(Control<QTreeWidget>(w, "TreeView")->currentItem(), nullptr);
  }

  void choosingATopLevelItemRebuildsTheTree() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    auto* chkItem = Control<QCheckBox>(w, "chkItem");
    auto* cmbCtgr = Control<QComboBox>(w, "cmbCtgr");
    auto* TreeView = Control<QTreeWidget>(w, "TreeView");
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    QTest::mouseClick(chkItem, Qt::LeftButton);
    QCOMPARE(WidgetMarks(w), QStringLiteral("1111"));
    // The user picks item 3 with the keyboard.
    cmbCtgr->setFocus();
    QTest::keyClick(cmbCtgr, Qt::Key_Down);
    QTest::keyClick(cmbCtgr, Qt::Key_Down);
    QTest::keyClick(cmbCtgr, Qt::Key_Down);
    QCOMPARE(cmbCtgr->currentIndex(), 3);
    QVERIFY(!chkItem->isChecked());
    QCOMPARE(w.NodeItem(0)->text(0), QStringLiteral(" ＡＢＣ全角英字"));
    QCOMPARE(WidgetMarks(w), QStringLiteral("000000"));
    QCOMPARE(TreeView->currentItem(), w.NodeItem(0));
    QCOMPARE(QApplication::focusWidget(), TreeView);
    // A category without rows: an empty tree.
    QTest::keyClick(cmbCtgr, Qt::Key_Home);
    QTest::keyClick(cmbCtgr, Qt::Key_Down);
    QCOMPARE(cmbCtgr->currentIndex(), 1);
    QCOMPARE(TreeView->topLevelItemCount(), 0);
  }

  void treeTakesTheFocusWithoutInputMethod() {
    WindowFixture f;
    MainWindow& w = *f.Window;
    auto* TreeView = Control<QTreeWidget>(w, "TreeView");
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    TreeView->setAttribute(Qt::WA_InputMethodEnabled, true);
    TreeView->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), TreeView);
    QVERIFY(!TreeView->testAttribute(Qt::WA_InputMethodEnabled));
  }

  // Choosing the entry that is already chosen, or a wheel turned over the closed
  // list without focus, must not rebuild the tree and so lose its marks.
  void sameCategoryAgainKeepsTheMarks() {
    auto f = BagsTree();
    MainWindow& w = *f->Window;
    auto* cmbCtgr = Control<QComboBox>(w, "cmbCtgr");
    ClickCheckBox(w, 7);
    ClickCheckBox(w, 14);
    const QString marks = WidgetMarks(w);
    QVERIFY(marks.contains(QLatin1Char('1')));
    QTreeWidgetItem* const first = w.NodeItem(0);

    ChooseCategory(w, 3);
    QCOMPARE(cmbCtgr->currentIndex(), 3);
    QCOMPARE(WidgetMarks(w), marks);
    QCOMPARE(ModelMarks(w), marks);
    QCOMPARE(w.NodeItem(0), first);  // the very same widget items: nothing rebuilt

    // Another entry does rebuild, and back again starts unmarked.
    ChooseCategory(w, 2);
    ChooseCategory(w, 3);
    QCOMPARE(WidgetMarks(w), QString(w.Tree().Count(), QLatin1Char('0')));
  }

  void wheelOverTheClosedListNeedsItsFocus() {
    auto f = BagsTree();
    MainWindow& w = *f->Window;
    auto* txtWord = Control<QLineEdit>(w, "txtWord");
    auto* cmbCtgr = Control<QComboBox>(w, "cmbCtgr");
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    ClickCheckBox(w, 14);
    const QString marks = WidgetMarks(w);
    txtWord->setFocus();
    QVERIFY(txtWord->hasFocus());

    auto turn = [cmbCtgr](int delta) {
      const QPoint at = cmbCtgr->rect().center();
      QWheelEvent wheel(at, cmbCtgr->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                        Qt::NoScrollPhase, false);
      QApplication::sendEvent(cmbCtgr, &wheel);
    };
    turn(-120);
    turn(120);
    QCOMPARE(cmbCtgr->currentIndex(), 3);
    QVERIFY(txtWord->hasFocus());
    QCOMPARE(WidgetMarks(w), marks);

    // With the focus on the list the wheel chooses, as a key press would.
    cmbCtgr->setFocus();
    turn(-120);
    QCOMPARE(cmbCtgr->currentIndex(), 4);
    QVERIFY(!ModelMarks(w).contains(QLatin1Char('1')));  // the tree of the new entry
  }
};

QObject* NewTreeTest() { return new TreeTest; }

}  // namespace vormla::test

#include "TreeTest.moc"
