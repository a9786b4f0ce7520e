// The fixed layout of the main window: its controls with their bounds, fonts,
// captions and tab order, as designed. The handlers are wired in MainWindow.cpp.
#include "shell/MainWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include "settings/Settings.h"
#include "shell/DigitsEdit.h"

namespace vormla {

namespace {

QFont ProportionalFont(int pixels) {
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(pixels);
  return font;
}

QFont FixedFont(int pixels) {
  QFont font(QStringLiteral("ＭＳ ゴシック"));
  font.setStyleHint(QFont::TypeWriter);
  font.setPixelSize(pixels);
  return font;
}

// A label that sizes itself to its text, placed by its left and top.
QLabel* MakeLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->adjustSize();
  label->move(left, top);
  return label;
}

}  // namespace

QString ApplicationTitle() { return QStringLiteral("VORMLA商品情報取得ソフト"); }

void MainWindow::CreateControls() {
  setObjectName(QStringLiteral("FrmMain"));
  setWindowTitle(ApplicationTitle());
  setFont(ProportionalFont(12));
  setFixedSize(449, 426);
  move(0, 0);

  lblStatus = new QLabel(QStringLiteral("　　"), this);
  lblStatus->setObjectName(QStringLiteral("lblStatus"));
  lblStatus->setAlignment(Qt::AlignRight | Qt::AlignTop);
  lblStatus->adjustSize();
  // The designed place: left 420 for its initial text, so its right edge stays
  // where that text ends.
  lblStatus->move(420, 395);

  auto makeSpeedButton = [this](const char* name, const QString& caption, int left, int tag) {
    auto* button = new QToolButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(caption);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFont(ProportionalFont(20));
    button->setProperty("Tag", tag);
    button->setGeometry(left, 66, 15, 15);
    return button;
  };
  spbExpand = makeSpeedButton("spbExpand", QStringLiteral("-"), 424, 1);
  spbCollapse = makeSpeedButton("spbCollapse", QStringLiteral("+"), 408, 2);

  lblCtgr = MakeLabel(this, QStringLiteral("大分類の指定 :"), 192, 16);
  lblCtgr->setObjectName(QStringLiteral("lblCtgr"));
  lblImgDir = MakeLabel(this, QStringLiteral("画像保存フォルダ : "), 12, 270);
  lblImgDir->setObjectName(QStringLiteral("lblImgDir"));
  lblImgDir->setEnabled(false);

  prgBar = new QProgressBar(this);
  prgBar->setObjectName(QStringLiteral("prgBar"));
  prgBar->setGeometry(0, 408, 449, 18);
  prgBar->setTextVisible(false);
  prgBar->setRange(0, 100);
  prgBar->setValue(0);

  btnAction = new QPushButton(QStringLiteral("取得開始 (&R)"), this);
  btnAction->setObjectName(QStringLiteral("btnAction"));
  btnAction->setGeometry(10, 331, 84, 30);
  btnAction->setAutoDefault(false);

  btnCancel = new QPushButton(QStringLiteral("キャンセル (&C)"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setGeometry(10, 361, 169, 30);
  btnCancel->setAutoDefault(false);
  btnCancel->setEnabled(false);

  chkItem = new QCheckBox(QStringLiteral(" 全選択 / 全解除"), this);
  chkItem->setObjectName(QStringLiteral("chkItem"));
  chkItem->setGeometry(190, 66, 121, 14);

  TreeView = new QTreeWidget(this);
  TreeView->setObjectName(QStringLiteral("TreeView"));
  TreeView->setGeometry(190, 83, 250, 308);
  TreeView->setFont(ProportionalFont(13));
  TreeView->setHeaderHidden(true);
  TreeView->setColumnCount(1);
  TreeView->setIndentation(15);
  TreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  TreeView->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeView->setUniformRowHeights(true);
  {
    // The selection stays visible while another control has the focus.
    QPalette palette = TreeView->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    TreeView->setPalette(palette);
  }

  cmbCtgr = new QComboBox(this);
  cmbCtgr->setObjectName(QStringLiteral("cmbCtgr"));
  cmbCtgr->setGeometry(190, 32, 250, 20);
  cmbCtgr->setMaxVisibleItems(40);

  grp01 = new QGroupBox(QStringLiteral(" データ絞り込み設定 "), this);
  grp01->setObjectName(QStringLiteral("grp01"));
  grp01->setGeometry(10, 16, 169, 243);

  lblWord = MakeLabel(grp01, QStringLiteral("キーワード :"), 14, 22);
  lblWord->setObjectName(QStringLiteral("lblWord"));
  txtWord = new QLineEdit(grp01);
  txtWord->setObjectName(QStringLiteral("txtWord"));
  txtWord->setGeometry(12, 38, 145, 20);
  lblWsprice = MakeLabel(grp01, QStringLiteral("卸価格帯 :"), 14, 66);
  lblWsprice->setObjectName(QStringLiteral("lblWsprice"));
  lblBar1 = MakeLabel(grp01, QStringLiteral("-"), 83, 86);
  lblBar1->setObjectName(QStringLiteral("lblBar1"));
  lblSrprice = MakeLabel(grp01, QStringLiteral("上代帯 :"), 14, 110);
  lblSrprice->setObjectName(QStringLiteral("lblSrprice"));
  lblBar2 = MakeLabel(grp01, QStringLiteral("-"), 83, 130);
  lblBar2->setObjectName(QStringLiteral("lblBar2"));
  lblSort = MakeLabel(grp01, QStringLiteral("出力順序 :"), 14, 154);
  lblSort->setObjectName(QStringLiteral("lblSort"));
  cmbSort = new QComboBox(grp01);
  cmbSort->setObjectName(QStringLiteral("cmbSort"));
  cmbSort->setGeometry(12, 170, 145, 20);
  cmbSort->setMaxVisibleItems(40);
  cmbSort->addItems({QStringLiteral("キーワード関連度順"), QStringLiteral("売れている順"),
                     QStringLiteral("新規登録順"), QStringLiteral("卸値が高い順"),
                     QStringLiteral("卸値が安い順")});
  cmbSort->setCurrentIndex(0);
  lblSell = MakeLabel(grp01, QStringLiteral("販売の状態 :"), 14, 198);
  lblSell->setObjectName(QStringLiteral("lblSell"));
  chkSell1 = new QCheckBox(QStringLiteral("在庫あり"), grp01);
  chkSell1->setObjectName(QStringLiteral("chkSell1"));
  chkSell1->setGeometry(12, 214, 70, 17);
  chkSell2 = new QCheckBox(QStringLiteral("割引中"), grp01);
  chkSell2->setObjectName(QStringLiteral("chkSell2"));
  chkSell2->setGeometry(91, 214, 70, 17);

  btnClear = new QPushButton(QStringLiteral("クリア (&N)"), this);
  btnClear->setObjectName(QStringLiteral("btnClear"));
  btnClear->setGeometry(95, 331, 84, 30);
  btnClear->setAutoDefault(false);

  btnDirPath = new QPushButton(QStringLiteral("..."), this);
  btnDirPath->setObjectName(QStringLiteral("btnDirPath"));
  btnDirPath->setGeometry(154, 283, 25, 20);
  btnDirPath->setAutoDefault(false);
  btnDirPath->setEnabled(false);

  txtDirPath = new QLineEdit(QString::fromStdString(DefaultImageFolder()), this);
  txtDirPath->setObjectName(QStringLiteral("txtDirPath"));
  txtDirPath->setGeometry(10, 284, 142, 20);
  txtDirPath->setFont(FixedFont(12));
  txtDirPath->setAttribute(Qt::WA_InputMethodEnabled, false);

  chkImgSave = new QCheckBox(QStringLiteral("商品画像を保存する"), this);
  chkImgSave->setObjectName(QStringLiteral("chkImgSave"));
  chkImgSave->setGeometry(10, 307, 129, 17);
}

void MainWindow::CreatePriceEdits() {
  static constexpr int kBounds[4][2] = {{12, 82}, {91, 82}, {12, 126}, {91, 126}};
  for (int i = 0; i < 4; ++i) {
    auto* edit = new DigitsEdit(grp01);
    edit->setObjectName(QStringLiteral("txtPrice%1").arg(i + 1));
    edit->setText(QString());
    edit->setProperty("Tag", i + 1);
    edit->setMaxLength(9);
    edit->setAttribute(Qt::WA_InputMethodEnabled, false);
    edit->setGeometry(kBounds[i][0], kBounds[i][1], 68, 20);
    txtPrice[static_cast<size_t>(i)] = edit;
  }
  txtPrice1 = txtPrice[0];
  txtPrice2 = txtPrice[1];
  txtPrice3 = txtPrice[2];
  txtPrice4 = txtPrice[3];
}

void MainWindow::SetTabOrder() {
  // Inside the group box, then the top-level controls in their designed order.
  const QList<QWidget*> order = {txtWord,    txtPrice1,  txtPrice2, txtPrice3, txtPrice4,
                                 cmbSort,    chkSell1,   chkSell2,  txtDirPath, btnDirPath,
                                 chkImgSave, cmbCtgr,    chkItem,   TreeView,  btnAction,
                                 btnClear,   btnCancel};
  for (qsizetype i = 1; i < order.size(); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

}  // namespace vormla
