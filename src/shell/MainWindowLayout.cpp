// The fixed layout of the main window: its controls with their bounds, fonts,
// captions and tab order, as designed. The handlers are wired in MainWindow.cpp.
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <span>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "settings/Settings.h"
#include "shell/DigitsEdit.h"
#include "shell/MainWindow.h"

namespace vormla {

namespace {

// Where a control sits: on the window itself or in the conditions group box.
enum class Host { kWindow, kGroup };

// The face of a control; most take the window's own (proportional, 12 pixels).
enum class Face { kWindow, kProportional13, kProportional20, kFixed12 };

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

void SetFace(QWidget* control, Face face) {
  switch (face) {
    case Face::kWindow:
      break;
    case Face::kProportional13:
      control->setFont(ProportionalFont(13));
      break;
    case Face::kProportional20:
      control->setFont(ProportionalFont(20));
      break;
    case Face::kFixed12:
      control->setFont(FixedFont(12));
      break;
  }
}

void SetCaption(QLabel* label, const QString& text) { label->setText(text); }
void SetCaption(QAbstractButton* button, const QString& text) { button->setText(text); }
void SetCaption(QGroupBox* group, const QString& text) { group->setTitle(text); }
void SetCaption(QWidget*, const QString&) {}

// What every control of a kind has in this window.
void PrepareKind(QPushButton* button) { button->setAutoDefault(false); }

void PrepareKind(QToolButton* button) {
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
}

void PrepareKind(QComboBox* list) { list->setMaxVisibleItems(40); }

void PrepareKind(QProgressBar* bar) {
  bar->setTextVisible(false);
  bar->setRange(0, 100);
  bar->setValue(0);
}

void PrepareKind(QTreeWidget* tree) {
  tree->setHeaderHidden(true);
  tree->setColumnCount(1);
  tree->setIndentation(15);
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setUniformRowHeights(true);
  // The selection stays visible while another control has the focus.
  QPalette palette = tree->palette();
  palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
  palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                   palette.color(QPalette::Active, QPalette::HighlightedText));
  tree->setPalette(palette);
}

void PrepareKind(QWidget*) {}

}  // namespace

// One control of the layout; the type of the member it is kept in is its kind.
struct MainWindow::ControlSpec {
  using Member = std::variant<QLabel * MainWindow::*, QLineEdit * MainWindow::*, DigitsEdit * MainWindow::*,
                              QPushButton * MainWindow::*, QCheckBox * MainWindow::*, QComboBox * MainWindow::*,
                              QGroupBox * MainWindow::*, QTreeWidget * MainWindow::*, QToolButton * MainWindow::*,
                              QProgressBar * MainWindow::*>;
  Member member;
  const char* name;  // its object name
  Host host;
  const char* caption;  // UTF-8
  QRect bounds;         // width 0: a label sized by its text, placed by its left and top
  Face face;
  int tag;  // the Tag property, 0 for none
  bool enabled;
  int tab;  // its place in the tab order, 0 for none
};

QString ApplicationTitle() { return QStringLiteral("VORMLA商品情報取得ソフト"); }

// In the order of creation, which is also the order of drawing: a later sibling
// lies over an earlier one.
std::span<const MainWindow::ControlSpec> MainWindow::Layout() {
  using W = MainWindow;
  constexpr Host kWin = Host::kWindow;
  constexpr Host kGrp = Host::kGroup;
  constexpr Face kOwn = Face::kWindow;
  static constexpr ControlSpec kControls[] = {
      // The status label's left is for its initial text: its right edge stays where that text ends.
      {&W::lblStatus, "lblStatus", kWin, "　　", {420, 395, 0, 0}, kOwn, 0, true, 0},
      {&W::spbExpand, "spbExpand", kWin, "-", {424, 66, 15, 15}, Face::kProportional20, 1, true, 0},
      {&W::spbCollapse, "spbCollapse", kWin, "+", {408, 66, 15, 15}, Face::kProportional20, 2, true, 0},
      {&W::lblCtgr, "lblCtgr", kWin, "大分類の指定 :", {192, 16, 0, 0}, kOwn, 0, true, 0},
      {&W::lblImgDir, "lblImgDir", kWin, "画像保存フォルダ : ", {12, 270, 0, 0}, kOwn, 0, false, 0},
      {&W::prgBar, "prgBar", kWin, "", {0, 408, 449, 18}, kOwn, 0, true, 0},
      {&W::btnAction, "btnAction", kWin, "取得開始 (&R)", {10, 331, 84, 30}, kOwn, 0, true, 15},
      {&W::btnCancel, "btnCancel", kWin, "キャンセル (&C)", {10, 361, 169, 30}, kOwn, 0, false, 17},
      {&W::chkItem, "chkItem", kWin, " 全選択 / 全解除", {190, 66, 121, 14}, kOwn, 0, true, 13},
      {&W::TreeView, "TreeView", kWin, "", {190, 83, 250, 308}, Face::kProportional13, 0, true, 14},
      {&W::cmbCtgr, "cmbCtgr", kWin, "", {190, 32, 250, 20}, kOwn, 0, true, 12},
      {&W::grp01, "grp01", kWin, " データ絞り込み設定 ", {10, 16, 169, 243}, kOwn, 0, true, 0},
      {&W::lblWord, "lblWord", kGrp, "キーワード :", {14, 22, 0, 0}, kOwn, 0, true, 0},
      {&W::txtWord, "txtWord", kGrp, "", {12, 38, 145, 20}, kOwn, 0, true, 1},
      {&W::lblWsprice, "lblWsprice", kGrp, "卸価格帯 :", {14, 66, 0, 0}, kOwn, 0, true, 0},
      {&W::lblBar1, "lblBar1", kGrp, "-", {83, 86, 0, 0}, kOwn, 0, true, 0},
      {&W::lblSrprice, "lblSrprice", kGrp, "上代帯 :", {14, 110, 0, 0}, kOwn, 0, true, 0},
      {&W::lblBar2, "lblBar2", kGrp, "-", {83, 130, 0, 0}, kOwn, 0, true, 0},
      {&W::lblSort, "lblSort", kGrp, "出力順序 :", {14, 154, 0, 0}, kOwn, 0, true, 0},
      {&W::cmbSort, "cmbSort", kGrp, "", {12, 170, 145, 20}, kOwn, 0, true, 6},
      {&W::lblSell, "lblSell", kGrp, "販売の状態 :", {14, 198, 0, 0}, kOwn, 0, true, 0},
      {&W::chkSell1, "chkSell1", kGrp, "在庫あり", {12, 214, 70, 17}, kOwn, 0, true, 7},
      {&W::chkSell2, "chkSell2", kGrp, "割引中", {91, 214, 70, 17}, kOwn, 0, true, 8},
      {&W::btnClear, "btnClear", kWin, "クリア (&N)", {95, 331, 84, 30}, kOwn, 0, true, 16},
      {&W::btnDirPath, "btnDirPath", kWin, "...", {154, 283, 25, 20}, kOwn, 0, false, 10},
      {&W::txtDirPath, "txtDirPath", kWin, "", {10, 284, 142, 20}, Face::kFixed12, 0, true, 9},
      {&W::chkImgSave, "chkImgSave", kWin, "商品画像を保存する", {10, 307, 129, 17}, kOwn, 0, true, 11},
      // The four price bounds: wholesale from / to, retail from / to.
      {&W::txtPrice1, "txtPrice1", kGrp, "", {12, 82, 68, 20}, kOwn, 1, true, 2},
      {&W::txtPrice2, "txtPrice2", kGrp, "", {91, 82, 68, 20}, kOwn, 2, true, 3},
      {&W::txtPrice3, "txtPrice3", kGrp, "", {12, 126, 68, 20}, kOwn, 3, true, 4},
      {&W::txtPrice4, "txtPrice4", kGrp, "", {91, 126, 68, 20}, kOwn, 4, true, 5},
  };
  return kControls;
}

QWidget* MainWindow::CreateControl(const ControlSpec& spec) {
  QWidget* host = spec.host == Host::kGroup ? static_cast<QWidget*>(grp01) : this;
  QWidget* control = std::visit(
      [&](auto member) -> QWidget* {
        using Kind = std::remove_pointer_t<std::remove_reference_t<decltype(this->*member)>>;
        auto* created = new Kind(host);
        this->*member = created;
        created->setObjectName(QString::fromLatin1(spec.name));
        SetCaption(created, QString::fromUtf8(spec.caption));
        PrepareKind(created);
        return created;
      },
      spec.member);
  SetFace(control, spec.face);
  if (spec.tag != 0) control->setProperty("Tag", spec.tag);
  if (spec.bounds.width() == 0) {
    control->adjustSize();
    control->move(spec.bounds.topLeft());
  } else {
    control->setGeometry(spec.bounds);
  }
  if (!spec.enabled) control->setEnabled(false);
  return control;
}

void MainWindow::CreateControls() {
  setObjectName(QStringLiteral("FrmMain"));
  setWindowTitle(ApplicationTitle());
  setFont(ProportionalFont(12));
  setFixedSize(449, 426);
  move(0, 0);

  std::vector<std::pair<int, QWidget*>> tabOrder;
  for (const ControlSpec& spec : Layout()) {
    QWidget* control = CreateControl(spec);
    if (spec.tab != 0) tabOrder.emplace_back(spec.tab, control);
  }
  std::ranges::sort(tabOrder, {}, &std::pair<int, QWidget*>::first);
  for (size_t i = 1; i < tabOrder.size(); ++i) QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);

  // What no column of the layout says.
  lblStatus->setAlignment(Qt::AlignRight | Qt::AlignTop);
  cmbSort->addItems({QStringLiteral("キーワード関連度順"), QStringLiteral("売れている順"), QStringLiteral("新規登録順"),
                     QStringLiteral("卸値が高い順"), QStringLiteral("卸値が安い順")});
  cmbSort->setCurrentIndex(0);
  txtDirPath->setText(QString::fromStdString(DefaultImageFolder()));
  txtDirPath->setAttribute(Qt::WA_InputMethodEnabled, false);
  txtPrice = {txtPrice1, txtPrice2, txtPrice3, txtPrice4};
}

}  // namespace vormla
