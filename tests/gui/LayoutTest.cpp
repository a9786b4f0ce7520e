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
#include "shell/DigitsEdit.h"
#include "settings/Settings.h"

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
    struct Place {
      QWidget* widget;
      QWidget* parent;
      QString text;
      QRect bounds;  // width and height 0: a label sized by its text
    };
    const Place places[] = {
        {w.spbExpand, &w, QStringLiteral("-"), {424, 66, 15, 15}},
        {w.spbCollapse, &w, QStringLiteral("+"), {408, 66, 15, 15}},
        {w.lblCtgr, &w, QStringLiteral("大分類の指定 :"), {192, 16, 0, 0}},
        {w.lblImgDir, &w, QStringLiteral("画像保存フォルダ : "), {12, 270, 0, 0}},
        {w.prgBar, &w, QString(), {0, 408, 449, 18}},
        {w.btnAction, &w, QStringLiteral("取得開始 (&R)"), {10, 331, 84, 30}},
        {w.btnCancel, &w, QStringLiteral("キャンセル (&C)"), {10, 361, 169, 30}},
        {w.chkItem, &w, QStringLiteral(" 全選択 / 全解除"), {190, 66, 121, 14}},
        {w.TreeView, &w, QString(), {190, 83, 250, 308}},
        {w.cmbCtgr, &w, QStringLiteral("すべてのカテゴリ"), {190, 32, 250, 20}},
        {w.grp01, &w, QStringLiteral(" データ絞り込み設定 "), {10, 16, 169, 243}},
        {w.btnClear, &w, QStringLiteral("クリア (&N)"), {95, 331, 84, 30}},
        {w.btnDirPath, &w, QStringLiteral("..."), {154, 283, 25, 20}},
        {w.txtDirPath, &w, QString::fromStdString(DefaultImageFolder()), {10, 284, 142, 20}},
        {w.chkImgSave, &w, QStringLiteral("商品画像を保存する"), {10, 307, 129, 17}},
        {w.lblWord, w.grp01, QStringLiteral("キーワード :"), {14, 22, 0, 0}},
        {w.txtWord, w.grp01, QString(), {12, 38, 145, 20}},
        {w.lblWsprice, w.grp01, QStringLiteral("卸価格帯 :"), {14, 66, 0, 0}},
        {w.txtPrice1, w.grp01, QString(), {12, 82, 68, 20}},
        {w.lblBar1, w.grp01, QStringLiteral("-"), {83, 86, 0, 0}},
        {w.txtPrice2, w.grp01, QString(), {91, 82, 68, 20}},
        {w.lblSrprice, w.grp01, QStringLiteral("上代帯 :"), {14, 110, 0, 0}},
        {w.txtPrice3, w.grp01, QString(), {12, 126, 68, 20}},
        {w.lblBar2, w.grp01, QStringLiteral("-"), {83, 130, 0, 0}},
        {w.txtPrice4, w.grp01, QString(), {91, 126, 68, 20}},
        {w.lblSort, w.grp01, QStringLiteral("出力順序 :"), {14, 154, 0, 0}},
        {w.cmbSort, w.grp01, QStringLiteral("キーワード関連度順"), {12, 170, 145, 20}},
        {w.lblSell, w.grp01, QStringLiteral("販売の状態 :"), {14, 198, 0, 0}},
        {w.chkSell1, w.grp01, QStringLiteral("在庫あり"), {12, 214, 70, 17}},
        {w.chkSell2, w.grp01, QStringLiteral("割引中"), {91, 214, 70, 17}},
    };
    for (const Place& place : places) {
      const QString name = place.widget->objectName();
      QVERIFY2(place.widget->parentWidget() == place.parent, qPrintable(name));
      QCOMPARE(TextOf(place.widget), place.text);
      if (place.bounds.width() == 0) {
        QCOMPARE(place.widget->pos(), place.bounds.topLeft());
        // A label shows its whole text.
        QVERIFY2(place.widget->width() >= place.widget->sizeHint().width(), qPrintable(name));
      } else {
        QCOMPARE(place.widget->geometry(), place.bounds);
      }
      QVERIFY2(place.widget->isVisible(), qPrintable(name));
    }
    // The status label starts as two ideographic spaces with its right edge at 436,
    // and keeps that edge as its text changes.
    QCOMPARE(w.lblStatus->text(), QStringLiteral("　　"));
    QCOMPARE(w.lblStatus->y(), 395);
    const int right = w.lblStatus->geometry().right();
    QCOMPARE(w.lblStatus->x(), 420);
    w.SetStatusText(QStringLiteral("ページ情報を取得中です。しばらくお待ちください。"));
    QCOMPARE(w.lblStatus->geometry().right(), right);
    QVERIFY(w.lblStatus->x() < 300);
    QCOMPARE(w.lblStatus->y(), 395);
  }

  void fontsResolveToJapaneseFaces() {
    MainWindow& w = *fixture_->Window;
    QCOMPARE(w.font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
    QCOMPARE(w.font().pixelSize(), 12);
    QCOMPARE(QFontInfo(w.font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(QFontInfo(w.txtWord->font()).family(), QStringLiteral("IPAPGothic"));
    QCOMPARE(w.TreeView->font().pixelSize(), 13);
    QCOMPARE(w.txtDirPath->font().family(), QStringLiteral("ＭＳ ゴシック"));
    QCOMPARE(w.txtDirPath->font().pixelSize(), 12);
    QCOMPARE(QFontInfo(w.txtDirPath->font()).family(), QStringLiteral("IPAGothic"));
    QCOMPARE(w.spbExpand->font().pixelSize(), 20);
    QCOMPARE(w.spbCollapse->font().pixelSize(), 20);
  }

  void initialStates() {
    MainWindow& w = *fixture_->Window;
    QVERIFY(!w.lblImgDir->isEnabled());
    QVERIFY(!w.btnDirPath->isEnabled());
    QVERIFY(!w.btnCancel->isEnabled());
    QVERIFY(w.btnAction->isEnabled());
    QVERIFY(w.btnClear->isEnabled());
    QVERIFY(w.txtDirPath->isReadOnly());
    QCOMPARE(w.txtDirPath->palette().color(QPalette::Base), w.palette().color(QPalette::Button));
    QVERIFY(!w.txtDirPath->testAttribute(Qt::WA_InputMethodEnabled));
    for (QCheckBox* box : {w.chkSell1, w.chkSell2, w.chkItem, w.chkImgSave}) QVERIFY(!box->isChecked());
    const QStringList sorts = {QStringLiteral("キーワード関連度順"), QStringLiteral("売れている順"),
                               QStringLiteral("新規登録順"), QStringLiteral("卸値が高い順"),
                               QStringLiteral("卸値が安い順")};
    QCOMPARE(w.cmbSort->count(), sorts.size());
    for (int i = 0; i < sorts.size(); ++i) QCOMPARE(w.cmbSort->itemText(i), sorts[i]);
    QCOMPARE(w.cmbSort->currentIndex(), 0);
    QCOMPARE(w.cmbSort->maxVisibleItems(), 40);
    QCOMPARE(w.cmbCtgr->maxVisibleItems(), 40);
    QCOMPARE(w.spbExpand->property("Tag").toInt(), 1);
    QCOMPARE(w.spbCollapse->property("Tag").toInt(), 2);
    QCOMPARE(w.TreeView->indentation(), 15);
    QCOMPARE(w.TreeView->editTriggers(), QAbstractItemView::NoEditTriggers);
    for (int i = 0; i < 4; ++i) {
      DigitsEdit* edit = w.txtPrice[static_cast<size_t>(i)];
      QVERIFY(edit != nullptr);
      QCOMPARE(edit->objectName(), QStringLiteral("txtPrice%1").arg(i + 1));
      QCOMPARE(edit->property("Tag").toInt(), i + 1);
      QCOMPARE(edit->maxLength(), 9);
      QVERIFY(edit->alignment() & Qt::AlignRight);
      QVERIFY(!edit->testAttribute(Qt::WA_InputMethodEnabled));
    }
    QCOMPARE(w.txtPrice1, w.txtPrice[0]);
    QCOMPARE(w.txtPrice4, w.txtPrice[3]);
    QCOMPARE(w.strFilePath, QString());
    QCOMPARE(w.strCtgrList, std::string());
    QVERIFY(!w.TaskbarReady);
  }

  void tabOrderFollowsTheDesign() {
    MainWindow& w = *fixture_->Window;
    const QList<QWidget*> expected = {w.txtWord,    w.txtPrice1,  w.txtPrice2, w.txtPrice3,
                                      w.txtPrice4,  w.cmbSort,    w.chkSell1,  w.chkSell2,
                                      w.txtDirPath, w.btnDirPath, w.chkImgSave, w.cmbCtgr,
                                      w.chkItem,    w.TreeView,   w.btnAction, w.btnClear,
                                      w.btnCancel};
    // The focus chain, counting only widgets that take the focus by Tab.
    QList<QWidget*> chain;
    QWidget* widget = w.txtWord;
    do {
      if ((widget->focusPolicy() & Qt::TabFocus) && w.isAncestorOf(widget)) chain << widget;
      widget = widget->nextInFocusChain();
    } while (widget != w.txtWord);
    QCOMPARE(chain, expected);

    // The Tab key itself, with every control enabled.
    w.btnDirPath->setEnabled(true);
    w.btnCancel->setEnabled(true);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.txtWord->setFocus();
    QList<QWidget*> visited = {QApplication::focusWidget()};
    for (int i = 1; i < expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, expected);
  }

  void priceBoxesTakeNineDigitsOnly() {
    MainWindow& w = *fixture_->Window;
    for (DigitsEdit* edit : w.txtPrice) {
      QTest::keyClicks(edit, "12a3-b4.5 67890");
      QCOMPARE(edit->text(), QStringLiteral("123456789"));
    }
    // Full-width digits are not digits for the site.
    w.txtPrice1->clear();
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("１"));
    QCoreApplication::sendEvent(w.txtPrice1, &press);
    QCOMPARE(w.txtPrice1->text(), QString());
  }

  void keywordHoldsFortyShiftJisBytes() {
    MainWindow& w = *fixture_->Window;
    QTest::keyClicks(w.txtWord, QByteArray(45, 'a').constData());
    QCOMPARE(w.txtWord->text(), QString(40, QLatin1Char('a')));

    w.txtWord->clear();
    for (int i = 0; i < 21; ++i) CommitText(w.txtWord, QStringLiteral("あ"));
    QCOMPARE(w.txtWord->text(), QString(20, QChar(0x3042)));

    // Half-width katakana is one byte in Shift-JIS.
    w.txtWord->clear();
    for (int i = 0; i < 41; ++i) CommitText(w.txtWord, QStringLiteral("ｱ"));
    QCOMPARE(w.txtWord->text().size(), 40);

    // 39 bytes leave no room for a two-byte character, but room for one more byte.
    w.txtWord->clear();
    QTest::keyClicks(w.txtWord, QByteArray(39, 'b').constData());
    CommitText(w.txtWord, QStringLiteral("漢"));
    QCOMPARE(w.txtWord->text(), QString(39, QLatin1Char('b')));
    QTest::keyClicks(w.txtWord, "c");
    QCOMPARE(w.txtWord->text().size(), 40);
  }

  void keywordTakesNoCharacterTheSearchCannotSendAsWritten() {
    MainWindow& w = *fixture_->Window;
    w.txtWord->clear();
    CommitText(w.txtWord, QStringLiteral("タオル"));
    // No code in the code page: the search would send "?".
    CommitText(w.txtWord, QString::fromUtf8("😀"));
    CommitText(w.txtWord, QString::fromUtf8("한"));
    QCOMPARE(w.txtWord->text(), QStringLiteral("タオル"));
    // Control characters, as a paste brings them.
    w.txtWord->insert(QStringLiteral("a\x01" "b"));
    w.txtWord->insert(QString(QChar(0x85)));
    QCOMPARE(w.txtWord->text(), QStringLiteral("タオル"));
    // A best-fit character is written as its near one, and is taken.
    CommitText(w.txtWord, QString::fromUtf8("é"));
    QCOMPARE(w.txtWord->text(), QString::fromUtf8("タオルé"));
  }

  void doubleClickSelectsTheWholeKeyword() {
    MainWindow& w = *fixture_->Window;
    w.txtWord->setText(QStringLiteral("タオル ハンカチ set"));
    QTest::mouseDClick(w.txtWord, Qt::LeftButton, Qt::NoModifier, QPoint(5, 10));
    QCOMPARE(w.txtWord->selectedText(), w.txtWord->text());
  }

  void altKeysPressTheButtons() {
    MainWindow& w = *fixture_->Window;
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.txtWord->setFocus();
    QSignalSpy action(w.btnAction, &QPushButton::clicked);
    // A mnemonic presses its button with the short animated click.
    QTest::keyClick(w.txtWord, Qt::Key_R, Qt::AltModifier);
    QTRY_COMPARE(action.count(), 1);

    fixture_->Services.Answers = {Answer::No};
    QTest::keyClick(w.txtWord, Qt::Key_N, Qt::AltModifier);
    QTRY_COMPARE(fixture_->Services.Messages.size(), 1);
    QCOMPARE(fixture_->Services.Messages[0].Caption, QStringLiteral("変更確認"));

    QSignalSpy cancel(w.btnCancel, &QPushButton::clicked);
    QTest::keyClick(w.txtWord, Qt::Key_C, Qt::AltModifier);
    QTest::qWait(300);
    QCOMPARE(cancel.count(), 0);  // disabled while idle
    w.btnCancel->setEnabled(true);
    QTest::keyClick(w.txtWord, Qt::Key_C, Qt::AltModifier);
    QTRY_COMPARE(cancel.count(), 1);
    QCOMPARE(action.count(), 1);
  }

 private:
  std::unique_ptr<WindowFixture> fixture_;
};

QObject* NewLayoutTest() { return new LayoutTest; }

}  // namespace vormla::test

#include "LayoutTest.moc"
