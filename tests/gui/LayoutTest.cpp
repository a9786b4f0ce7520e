// The window as laid out: captions, places, fonts, initial states, tab order and
// the input limits of the edit boxes.
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include "GuiTestKit.h"
#include "settings/Settings.h"
#include "shell/DigitsEdit.h"

namespace vormla::test {
namespace {

QString TextOf(QWidget* widget) {
  if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
  if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
  if (auto* edit = qobject_cast<QLineEdit*>(widget)) return edit->text();
  if (auto* group = qobject_cast<QGroupBox*>(widget)) return group->title();
  if (auto* combo = qobject_cast<QComboBox*>(widget)) return combo->currentText();
  return QString();
}

void CommitText(QWidget* widget, const QString& text) {
  QInputMethodEvent event;
  event.setCommitString(text);
  QCoreApplication::sendEvent(widget, &event);
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { fixture_ = std::make_unique<WindowFixture>(); }
  void cleanup() { fixture_.reset(); }

  void windowFrame() {
    MainWindow& w = *fixture_->Window;
    QCOMPARE(w.windowTitle(), QStringLiteral("VORMLA商品情報取得ソフト"));
    QCOMPARE(w.size(), QSize(449, 426));
    QCOMPARE(w.minimumSize(), QSize(449, 426));
    QCOMPARE(w.maximumSize(), QSize(449, 426));
    QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QCOMPARE(w.pos(), QPoint(0, 0));
  }

  void controlsSitWhereDesigned() {
    MainWindow& w = *fixture_->Window;
    auto* grp01 = Control<QGroupBox>(w, "grp01");
    struct Place {
      const char* name;
      QWidget* parent;
      QString text;
      QRect bounds;  // width and height 0: a label sized by its text
    };
    const Place places[] = {
        {"spbExpand", &w, QStringLiteral("-"), {424, 66, 15, 15}},
        {"spbCollapse", &w, QStringLiteral("+"), {408, 66, 15, 15}},
        {"lblCtgr", &w, QStringLiteral("大分類の指定 :"), {192, 16, 0, 0}},
        {"lblImgDir", &w, QStringLiteral("画像保存フォルダ : "), {12, 270, 0, 0}},
        {"prgBar", &w, QString(), {0, 408, 449, 18}},
        {"btnAction", &w, QStringLiteral("取得開始 (&R)"), {10, 331, 84, 30}},
        {"btnCancel", &w, QStringLiteral("キャンセル (&C)"), {10, 361, 169, 30}},
        {"chkItem", &w, QStringLiteral(" 全選択 / 全解除"), {190, 66, 121, 14}},
        {"TreeView", &w, QString(), {190, 83, 250, 308}},
        {"cmbCtgr", &w, QStringLiteral("すべてのカテゴリ"), {190, 32, 250, 20}},
        {"grp01", &w, QStringLiteral(" データ絞り込み設定 "), {10, 16, 169, 243}},
        {"btnClear", &w, QStringLiteral("クリア (&N)"), {95, 331, 84, 30}},
        {"btnDirPath", &w, QStringLiteral("..."), {154, 283, 25, 20}},
        {"txtDirPath", &w, QString::fromStdString(DefaultImageFolder()), {10, 284, 142, 20}},
        {"chkImgSave", &w, QStringLiteral("商品画像を保存する"), {10, 307, 129, 17}},
        {"lblWord", grp01, QStringLiteral("キーワード :"), {14, 22, 0, 0}},
        {"txtWord", grp01, QString(), {12, 38, 145, 20}},
        {"lblWsprice", grp01, QStringLiteral("卸価格帯 :"), {14, 66, 0, 0}},
        {"txtPrice1", grp01, QString(), {12, 82, 68, 20}},
        {"lblBar1", grp01, QStringLiteral("-"), {83, 86, 0, 0}},
        {"txtPrice2", grp01, QString(), {91, 82, 68, 20}},
        {"lblSrprice", grp01, QStringLiteral("上代帯 :"), {14, 110, 0, 0}},
        {"txtPrice3", grp01, QString(), {12, 126, 68, 20}},
        {"lblBar2", grp01, QStringLiteral("-"), {83, 130, 0, 0}},
        {"txtPrice4", grp01, QString(), {91, 126, 68, 20}},
        {"lblSort", grp01, QStringLiteral("出力順序 :"), {14, 154, 0, 0}},
        {"cmbSort", grp01, QStringLiteral("キーワード関連度順"), {12, 170, 145, 20}},
        {"lblSell", grp01, QStringLiteral("販売の状態 :"), {14, 198, 0, 0}},
        {"chkSell1", grp01, QStringLiteral("在庫あり"), {12, 214, 70, 17}},
        {"chkSell2", grp01, QStringLiteral("割引中"), {91, 214, 70, 17}},
    };
    for (const Place& place : places) {
      QWidget* widget = Control<QWidget>(w, place.name);
      QVERIFY2(widget->parentWidget() == place.parent, place.name);
      QCOMPARE(TextOf(widget), place.text);
      if (place.bounds.width() == 0) {
        QCOMPARE(widget->pos(), place.bounds.topLeft());
        // A label shows its whole text.
        QVERIFY2(widget->width() >= widget->sizeHint().width(), place.name);
      } else {
        QCOMPARE(widget->geometry(), place.bounds);
      }
      QVERIFY2(widget->isVisible(), place.name);
    }
    // The status label starts as two ideographic spaces with its right edge at 436,
    // and keeps that edge as its text changes.
    auto* lblStatus = Control<QLabel>(w, "lblStatus");
    QCOMPARE(lblStatus->text(), QStringLiteral("　　"));
    QCOMPARE(lblStatus->y(), 395);
    const int right = lblStatus->geometry().right();
    QCOMPARE(lblStatus->x(), 420);
    w.SetStatusText(QStringLiteral("ページ情報を取得中です。しばらくお待ちください。"));
    QCOMPARE(lblStatus->geometry().right(), right);
    QVERIFY(lblStatus->x() < 300);
    QCOMPARE(lblStatus->y(), 395);
  }

  void fontsResolveToJapaneseFaces() {
    MainWindow& w = *fixture_->Window;
    auto* txtDirPath = Control<QLineEdit>(w, "txtDirPath");
    QCOMPARE(w.font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(w.font().pixelSize(), 12);
    QCOMPARE(QFontInfo(w.font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(QFontInfo(Control<QLineEdit>(w, "txtWord")->font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(Control<QTreeWidget>(w, "TreeView")->font().pixelSize(), 13);
    QCOMPARE(txtDirPath->font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(txtDirPath->font().pixelSize(), 12);
    QCOMPARE(QFontInfo(txtDirPath->font()).family(), QStringLiteral("IPAGothic"));
    QCOMPARE(Control<QToolButton>(w, "spbExpand")->font().pixelSize(), 20);
    QCOMPARE(Control<QToolButton>(w, "spbCollapse")->font().pixelSize(), 20);
  }

  void initialStates() {
    MainWindow& w = *fixture_->Window;
    auto* txtDirPath = Control<QLineEdit>(w, "txtDirPath");
    auto* cmbSort = Control<QComboBox>(w, "cmbSort");
    auto* TreeView = Control<QTreeWidget>(w, "TreeView");
    QVERIFY(!Control<QLabel>(w, "lblImgDir")->isEnabled());
    QVERIFY(!Control<QPushButton>(w, "btnDirPath")->isEnabled());
    QVERIFY(!Control<QPushButton>(w, "btnCancel")->isEnabled());
    QVERIFY(Control<QPushButton>(w, "btnAction")->isEnabled());
    QVERIFY(Control<QPushButton>(w, "btnClear")->isEnabled());
    QVERIFY(txtDirPath->isReadOnly());
    QCOMPARE(txtDirPath->palette().color(QPalette::Base), w.palette().color(QPalette::Button));
    QVERIFY(!txtDirPath->testAttribute(Qt::WA_InputMethodEnabled));
    for (QCheckBox* box : Controls<QCheckBox>(w, {"chkSell1", "chkSell2", "chkItem", "chkImgSave"})) {
      QVERIFY(!box->isChecked());
    }
    const QStringList sorts = {QStringLiteral("キーワード関連度順"), QStringLiteral("売れている順"),
                               QStringLiteral("新規登録順"), QStringLiteral("卸値が高い順"),
                               QStringLiteral("卸値が安い順")};
    QCOMPARE(cmbSort->count(), sorts.size());
    for (int i = 0; i < sorts.size(); ++i) QCOMPARE(cmbSort->itemText(i), sorts[i]);
    QCOMPARE(cmbSort->currentIndex(), 0);
    QCOMPARE(cmbSort->maxVisibleItems(), 40);
    QCOMPARE(Control<QComboBox>(w, "cmbCtgr")->maxVisibleItems(), 40);
    QCOMPARE(Control<QToolButton>(w, "spbExpand")->property("Tag").toInt(), 1);
    QCOMPARE(Control<QToolButton>(w, "spbCollapse")->property("Tag").toInt(), 2);
    QCOMPARE(TreeView->indentation(), 15);
    QCOMPARE(TreeView->editTriggers(), QAbstractItemView::NoEditTriggers);
    const QList<DigitsEdit*> prices = Controls<DigitsEdit>(w, {"txtPrice1", "txtPrice2", "txtPrice3", "txtPrice4"});
    for (int i = 0; i < 4; ++i) {
      DigitsEdit* edit = prices[i];
      QCOMPARE(edit->property("Tag").toInt(), i + 1);
      QCOMPARE(edit->maxLength(), 9);
      QVERIFY(edit->alignment() & Qt::AlignRight);
      QVERIFY(!edit->testAttribute(Qt::WA_InputMethodEnabled));
    }
    QCOMPARE(w.ResultFilePath(), QString());
    QCOMPARE(w.CategoryList(), std::string());
    QVERIFY(!w.TaskbarReady());
  }

  void tabOrderFollowsTheDesign() {
    MainWindow& w = *fixture_->Window;
    const QList<QWidget*> expected =
        Controls(w, {"txtWord", "txtPrice1", "txtPrice2", "txtPrice3", "txtPrice4", "cmbSort", "chkSell1", "chkSell2",
                     "txtDirPath", "btnDirPath", "chkImgSave", "cmbCtgr", "chkItem", "TreeView", "btnAction",
                     "btnClear", "btnCancel"});
    QWidget* const first = expected.first();
    // The focus chain, counting only widgets that take the focus by Tab.
    QList<QWidget*> chain;
    QWidget* widget = first;
    do {
      if ((widget->focusPolicy() & Qt::TabFocus) && w.isAncestorOf(widget)) chain << widget;
      widget = widget->nextInFocusChain();
    } while (widget != first);
    QCOMPARE(chain, expected);

    // The Tab key itself, with every control enabled.
    Control<QPushButton>(w, "btnDirPath")->setEnabled(true);
    Control<QPushButton>(w, "btnCancel")->setEnabled(true);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    first->setFocus();
    QList<QWidget*> visited = {QApplication::focusWidget()};
    for (int i = 1; i < expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, expected);
  }

  void priceBoxesTakeNineDigitsOnly() {
    MainWindow& w = *fixture_->Window;
    auto* txtPrice1 = Control<QLineEdit>(w, "txtPrice1");
    for (QLineEdit* edit : Controls<QLineEdit>(w, {"txtPrice1", "txtPrice2", "txtPrice3", "txtPrice4"})) {
      QTest::keyClicks(edit, "12a3-b4.5 67890");
      QCOMPARE(edit->text(), QStringLiteral("123456789"));
    }
    // Full-width digits are not digits for the site.
    txtPrice1->clear();
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("１"));
    QCoreApplication::sendEvent(txtPrice1, &press);
    QCOMPARE(txtPrice1->text(), QString());
  }

  void keywordHoldsFortyShiftJisBytes() {
    MainWindow& w = *fixture_->Window;
    auto* txtWord = Control<QLineEdit>(w, "txtWord");
    QTest::keyClicks(txtWord, QByteArray(45, 'a').constData());
    QCOMPARE(txtWord->text(), QString(40, QLatin1Char('a')));

    txtWord->clear();
    for (int i = 0; i < 21; ++i) CommitText(txtWord, QStringLiteral("あ"));
    QCOMPARE(txtWord->text(), QString(20, QChar(0x3042)));

    // Half-width katakana is one byte in Shift-JIS.
    txtWord->clear();
    for (int i = 0; i < 41; ++i) CommitText(txtWord, QStringLiteral("ｱ"));
    QCOMPARE(txtWord->text().size(), 40);

    // 39 bytes leave no room for a two-byte character, but room for one more byte.
    txtWord->clear();
    QTest::keyClicks(txtWord, QByteArray(39, 'b').constData());
    CommitText(txtWord, QStringLiteral("漢"));
    QCOMPARE(txtWord->text(), QString(39, QLatin1Char('b')));
    QTest::keyClicks(txtWord, "c");
    QCOMPARE(txtWord->text().size(), 40);
  }

  void keywordTakesNoCharacterTheSearchCannotSendAsWritten() {
    MainWindow& w = *fixture_->Window;
    auto* txtWord = Control<QLineEdit>(w, "txtWord");
    txtWord->clear();
    CommitText(txtWord, QStringLiteral("タオル"));
    // No code in the code page: the search would send "?".
    CommitText(txtWord, QString::fromUtf8("😀"));
    CommitText(txtWord, QString::fromUtf8("한"));
    QCOMPARE(txtWord->text(), QStringLiteral("タオル"));
    // Control characters, as a paste brings them.
    txtWord->insert(
        QStringLiteral("a\x01"
                       "b"));
    txtWord->insert(QString(QChar(0x85)));
    QCOMPARE(txtWord->text(), QStringLiteral("タオル"));
    // A best-fit character is written as its near one, and is taken.
    CommitText(txtWord, QString::fromUtf8("é"));
    QCOMPARE(txtWord->text(), QString::fromUtf8("タオルé"));
  }

  void doubleClickSelectsTheWholeKeyword() {
    MainWindow& w = *fixture_->Window;
    auto* txtWord = Control<QLineEdit>(w, "txtWord");
    txtWord->setText(QStringLiteral("タオル ハンカチ set"));
    QTest::mouseDClick(txtWord, Qt::LeftButton, Qt::NoModifier, QPoint(5, 10));
    QCOMPARE(txtWord->selectedText(), txtWord->text());
  }

  void altKeysPressTheButtons() {
    MainWindow& w = *fixture_->Window;
    auto* txtWord = Control<QLineEdit>(w, "txtWord");
    auto* btnCancel = Control<QPushButton>(w, "btnCancel");
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    txtWord->setFocus();
    QSignalSpy action(Control<QPushButton>(w, "btnAction"), &QPushButton::clicked);
    // A mnemonic presses its button with the short animated click.
    QTest::keyClick(txtWord, Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(action.count(), 1);

    fixture_->Services.Answers = {Answer::No};
    QTest::keyClick(txtWord, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(fixture_->Services.Messages.size(), 1);
    QCOMPARE(fixture_->Services.Messages[0].Caption, QStringLiteral("変更確認"));

    QSignalSpy cancel(btnCancel, &QPushButton::clicked);
    QTest::keyClick(txtWord, Qt::Key_C, Qt::AltModifier);
    QTest::qWait(300);
    QCOMPARE(cancel.count(), 0);  // disabled while idle
    btnCancel->setEnabled(true);
    QTest::keyClick(txtWord, Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(cancel.count(), 1);
    QCOMPARE(action.count(), 1);
  }

 private:
  std::unique_ptr<WindowFixture> fixture_;
};

QObject* NewLayoutTest() { return new LayoutTest; }

}  // namespace vormla::test

#include "LayoutTest.moc"
