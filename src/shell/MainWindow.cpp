#include "shell/MainWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QInputMethod>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "run/Run.h"
#include "shell/DigitsEdit.h"
#include "shell/KeywordValidator.h"
#include "shell/RunObserver.h"

namespace vormla {

namespace {

// The keyword's limit counts bytes of its Shift-JIS text, as the site receives it.
constexpr int kWordLimitBytes = 40;

}  // namespace

MainWindow::MainWindow(AppServices& services, std::string dbPath, std::string iniPath, std::string accountPath,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      services_(services),
      iniPath_(std::move(iniPath)),
      accountPath_(std::move(accountPath)),
      catalogue_(std::move(dbPath)) {
  // The fixed layout (MainWindowLayout.cpp), then the behaviour.
  CreateControls();
  ConnectControls();
  FormCreate();
}

void MainWindow::ConnectControls() {
  connect(spbExpand, &QToolButton::clicked, this, &MainWindow::spbButtonClick);
  connect(spbCollapse, &QToolButton::clicked, this, &MainWindow::spbButtonClick);
  connect(btnAction, &QPushButton::clicked, this, &MainWindow::btnActionClick);
  connect(btnCancel, &QPushButton::clicked, this, &MainWindow::btnCancelClick);
  connect(btnClear, &QPushButton::clicked, this, &MainWindow::btnClearClick);
  connect(btnDirPath, &QPushButton::clicked, this, &MainWindow::btnDirPathClick);
  connect(chkItem, &QCheckBox::toggled, this, &MainWindow::chkItemClick);
  // toggled: the user's clicks and every change the program makes alike.
  connect(chkImgSave, &QCheckBox::toggled, this, &MainWindow::chkImgSaveClick);
  // activated: only the user's choice, never a selection made by the program.
  connect(cmbCtgr, &QComboBox::activated, this, &MainWindow::cmbCtgrClick);
  // A wheel turned over the closed list on the way elsewhere must not choose
  // another category (and so drop the tree's marks): it neither takes the focus
  // nor, without it, changes the choice.
  cmbCtgr->setFocusPolicy(Qt::StrongFocus);
  cmbCtgr->installEventFilter(this);
  connect(TreeView, &QTreeWidget::itemChanged, this, &MainWindow::TreeViewItemChanged);
  TreeView->installEventFilter(this);
  txtWord->installEventFilter(this);
  txtWord->setValidator(new KeywordValidator(kWordLimitBytes, txtWord));
  SetFolderEditable(false);
}

// ---------------------------------------------------------------------------
// Creation, first show, closing

void MainWindow::FormCreate() {
  taskbarReady_ = false;
  taskbarReady_ = services_.InitializeTaskbarAPI();
  try {
    OpenCatalogue();
  } catch (const std::exception& error) {
    // The window comes up all the same, with whatever was filled before.
    ShowException(error);
  }
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!startupPosted_) {
    startupPosted_ = true;
    // Runs from the event loop once the window is on screen.
    QTimer::singleShot(0, this, &MainWindow::StartupLoad);
  }
}

void MainWindow::StartupLoad() {
  if (DbFound()) {
    try {
      LoadSettings();
    } catch (const std::exception& error) {
      ShowException(error);
    }
    return;
  }
  Message message;
  message.Text = QStringLiteral("DBファイルの設定が正しくありません。\n管理者に確認してください。");
  message.Caption = QStringLiteral("設定エラー");
  Ask(message);
  services_.TerminateApplication();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (startWaiting_) {
    // Start is waiting for an old worker: the request is answered once the new
    // run has started, as a close during that run.
    closeHeld_ = true;
    event->ignore();
    return;
  }
  if (!btnCancel->isEnabled()) {
    try {
      SaveSettings();
    } catch (const std::exception& error) {
      ShowException(error);
      event->ignore();
      return;
    }
    event->accept();
    return;
  }
  Message message;
  message.Text = QStringLiteral("取得処理の実行中ですが終了しますか？");
  message.Caption = QStringLiteral("終了確認");
  message.Kind = Message::Buttons::YesNo;
  message.Symbol = Message::Icon::Question;
  if (Ask(message) == Answer::Yes) {
    if (!btnCancel->isEnabled()) {
      // The run ended while the question was up: an ordinary close now.
      closeEvent(event);
      return;
    }
    runResult_ = runResult_ == RunCode::kCloseConfirmed ? RunCode::kClosing : RunCode::kCloseConfirmed;
    btnCancelClick();
  }
  event->ignore();
}

void MainWindow::ShowException(const std::exception& error) {
  Message message;
  message.Text = QString::fromStdString(error.what());
  message.Caption = ApplicationTitle();
  message.Symbol = Message::Icon::Critical;
  Ask(message);
}

Answer MainWindow::Ask(const Message& message) { return services_.ShowMessage(this, message); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtWord && event->type() == QEvent::MouseButtonDblClick) {
    txtWordDblClick();
    return true;
  }
  if (watched == TreeView && event->type() == QEvent::FocusIn) TreeViewEnter();
  if (watched == cmbCtgr && event->type() == QEvent::Wheel && !cmbCtgr->hasFocus()) return true;
  return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Condition controls

void MainWindow::SetStatusText(const QString& text) {
  const int right = lblStatus->x() + lblStatus->width();
  lblStatus->setText(text);
  lblStatus->adjustSize();
  lblStatus->move(right - lblStatus->width(), lblStatus->y());
  emit StatusShown(text);
}

void MainWindow::SetFolderEditable(bool editable) {
  QPalette palette = txtDirPath->palette();
  palette.setColor(QPalette::Base,
                   editable ? QWidget::palette().color(QPalette::Base) : QWidget::palette().color(QPalette::Button));
  txtDirPath->setPalette(palette);
  txtDirPath->setReadOnly(!editable);
}

void MainWindow::btnClearClick() {
  Message message;
  message.Text = QStringLiteral("設定した条件を初期化します。\nよろしいですか？");
  message.Caption = QStringLiteral("変更確認");
  message.Kind = Message::Buttons::YesNo;
  message.Symbol = Message::Icon::Question;
  if (Ask(message) != Answer::Yes) return;

  {
    QPalette palette = lblStatus->palette();
    palette.setColor(QPalette::WindowText, QGuiApplication::palette().color(QPalette::WindowText));
    lblStatus->setPalette(palette);
  }
  SetStatusText(QString());
  txtWord->clear();
  for (DigitsEdit* edit : txtPrice) edit->clear();
  txtDirPath->setText(QString::fromStdString(DefaultImageFolder()));
  chkSell1->setChecked(false);
  chkSell2->setChecked(false);
  chkItem->setChecked(false);
  chkImgSave->setChecked(false);
  cmbSort->setCurrentIndex(0);
  try {
    cmbCtgr->setCurrentIndex(cmbCtgr->count() > 0 ? 0 : -1);
    LoadCategoryTree();
  } catch (const std::exception& error) {
    ShowException(error);
  }
  if (!items_.empty()) {
    TreeView->setUpdatesEnabled(false);
    for (int i = 0; i < tree_.Count(); ++i) {
      if (tree_.Node(i).Level == 0) items_[static_cast<size_t>(i)]->setExpanded(false);
    }
    TreeView->setUpdatesEnabled(true);
    SelectNode(0, true);
  }
}

void MainWindow::txtWordDblClick() { txtWord->selectAll(); }

void MainWindow::btnDirPathClick() {
  const QString chosen = services_.ChooseFolder(this, QStringLiteral("フォルダを指定して下さい。"), lastPictureFolder_);
  if (chosen.isEmpty()) return;
  lastPictureFolder_ = chosen;
  txtDirPath->setText(chosen.endsWith(QLatin1Char('/')) ? chosen : chosen + QLatin1Char('/'));
}

void MainWindow::chkImgSaveClick() {
  const bool on = chkImgSave->isChecked();
  lblImgDir->setEnabled(on);
  btnDirPath->setEnabled(on);
  SetFolderEditable(on);
}

// ---------------------------------------------------------------------------
// Category controls

void MainWindow::OpenCatalogue() {
  if (!catalogue_.Locate()) return;
  LoadTopCategories();
  LoadCategoryTree();
}

void MainWindow::LoadTopCategories() {
  cmbCtgr->clear();
  topCategories_.clear();
  topCategories_ = catalogue_.LoadTopCategories();
  for (const TopCategory& top : topCategories_) cmbCtgr->addItem(QString::fromStdString(top.NameUtf8));
  if (cmbCtgr->count() > 0) cmbCtgr->setCurrentIndex(0);
}

void MainWindow::LoadCategoryTree() {
  treeTop_ = kNoTree;
  tree_.Clear();
  RebuildTreeWidget();
  const int top = cmbCtgr->currentIndex();
  if (top >= 0) {
    tree_.Reset(catalogue_.LoadCategoryTree(top));
    RebuildTreeWidget();
  }
  treeTop_ = top;
}

void MainWindow::RebuildTreeWidget() {
  const QSignalBlocker blocker(TreeView);
  TreeView->setUpdatesEnabled(false);
  TreeView->clear();
  items_.clear();
  items_.reserve(static_cast<size_t>(tree_.Count()));
  for (int i = 0; i < tree_.Count(); ++i) {
    const CatalogueNode& node = tree_.Node(i);
    QTreeWidgetItem* item =
        node.Parent < 0 ? new QTreeWidgetItem(TreeView) : new QTreeWidgetItem(items_[static_cast<size_t>(node.Parent)]);
    // Checkable but never tristate: a parent's mark follows our own rules.
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setText(0, QString::fromStdString(node.CaptionUtf8));
    item->setData(0, Qt::UserRole, i);
    item->setCheckState(0, tree_.IsNodeChecked(i) ? Qt::Checked : Qt::Unchecked);
    items_.push_back(item);
  }
  TreeView->setUpdatesEnabled(true);
}

QTreeWidgetItem* MainWindow::NodeItem(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  return items_[static_cast<size_t>(index)];
}

int MainWindow::NodeIndex(const QTreeWidgetItem* item) const {
  if (item == nullptr) return -1;
  bool ok = false;
  const int index = item->data(0, Qt::UserRole).toInt(&ok);
  return ok && NodeItem(index) == item ? index : -1;
}

void MainWindow::MirrorMarks(const std::vector<int>& changed) {
  const QSignalBlocker blocker(TreeView);
  for (int index : changed) {
    if (QTreeWidgetItem* item = NodeItem(index)) {
      item->setCheckState(0, tree_.IsNodeChecked(index) ? Qt::Checked : Qt::Unchecked);
    }
  }
}

void MainWindow::SelectNode(int index, bool scrollToTop) {
  QTreeWidgetItem* item = NodeItem(index);
  if (item == nullptr) return;
  TreeView->setCurrentItem(item);
  if (scrollToTop) TreeView->scrollToItem(item, QAbstractItemView::PositionAtTop);
}

// The widget toggles a mark on a click on the box or the space key; every change
// the program makes runs with the tree's signals blocked, so what arrives here
// is the user's toggle.
void MainWindow::TreeViewItemChanged(QTreeWidgetItem* item, int column) {
  if (column != 0) return;
  const int index = NodeIndex(item);
  if (index < 0) return;
  const bool checked = item->checkState(0) == Qt::Checked;
  if (checked == tree_.IsNodeChecked(index)) return;
  MirrorMarks(tree_.ApplyNodeCheck(index, checked));
  SyncSelectAllBox();
}

void MainWindow::SyncSelectAllBox() {
  const bool state = tree_.SyncSelectAllBox(chkItem->isChecked());
  const QSignalBlocker blocker(chkItem);
  chkItem->setChecked(state);
}

void MainWindow::chkItemClick() { MirrorMarks(tree_.SetAllChecked(chkItem->isChecked())); }

void MainWindow::spbButtonClick() {
  auto* button = qobject_cast<QToolButton*>(sender());
  if (button != spbExpand && button != spbCollapse) return;
  if (items_.empty()) return;
  const bool expand = button->property("Tag").toInt() == 1;
  TreeView->setUpdatesEnabled(false);
  if (expand) {
    TreeView->expandAll();
  } else {
    TreeView->collapseAll();
  }
  TreeView->setUpdatesEnabled(true);
  SelectNode(0, true);
  TreeView->setFocus();
}

void MainWindow::cmbCtgrClick() {
  // The same entry chosen again keeps the tree and its marks.
  if (cmbCtgr->currentIndex() == treeTop_) return;
  try {
    LoadCategoryTree();
  } catch (const std::exception& error) {
    ShowException(error);
  }
  chkItem->setChecked(false);
  if (!items_.empty()) {
    SelectNode(0, false);
    TreeView->setFocus();
  }
}

void MainWindow::TreeViewEnter() {
  // The space key must reach the tree as a key, not as a conversion request.
  TreeView->setAttribute(Qt::WA_InputMethodEnabled, false);
  QGuiApplication::inputMethod()->update(Qt::ImEnabled);
}

// ---------------------------------------------------------------------------
// Settings

void MainWindow::ApplyConditions(const SearchConditions& conditions) {
  txtWord->setText(QString::fromStdString(conditions.Keyword));
  txtPrice1->setText(QString::fromStdString(conditions.WholesalePrice.Min));
  txtPrice2->setText(QString::fromStdString(conditions.WholesalePrice.Max));
  txtPrice3->setText(QString::fromStdString(conditions.RetailPrice.Min));
  txtPrice4->setText(QString::fromStdString(conditions.RetailPrice.Max));
  txtDirPath->setText(QString::fromStdString(conditions.Pictures.Folder));
  chkSell1->setChecked(conditions.InStockOnly);
  chkSell2->setChecked(conditions.DiscountedOnly);
  chkImgSave->setChecked(conditions.Pictures.On);
  const int sort = conditions.Sort;
  cmbSort->setCurrentIndex(sort >= 0 && sort < cmbSort->count() ? sort : -1);
  if (chkImgSave->isChecked()) {
    lblImgDir->setEnabled(true);
    btnDirPath->setEnabled(true);
    SetFolderEditable(true);
  }
}

void MainWindow::SelectCategory(int category) {
  cmbCtgr->setCurrentIndex(category < cmbCtgr->count() ? category : -1);
  LoadCategoryTree();
}

void MainWindow::LoadSettings() {
  const LoadedSettings loaded = vormla::LoadSettings(
      iniPath_, tree_, [this](const SearchConditions& conditions) { ApplyConditions(conditions); },
      [this](int category) { SelectCategory(category); });
  MirrorMarks(loaded.ChangedNodes);
  if (loaded.FileFound) {
    if (loaded.Tree.CheckSelectAll) chkItem->setChecked(true);
    for (int index : loaded.Tree.ExpandNodes) {
      if (QTreeWidgetItem* item = NodeItem(index)) item->setExpanded(true);
    }
  }
  SelectNode(loaded.Tree.SelectNode, false);
}

void MainWindow::SaveSettings() {
  SettingsValues values;
  values.Conditions = SnapshotConditions();
  vormla::SaveSettings(iniPath_, values, tree_);
}

// ---------------------------------------------------------------------------
// Snapshots for a run

SearchConditions MainWindow::SnapshotConditions() const {
  SearchConditions conditions;
  conditions.Keyword = txtWord->text().toStdString();
  conditions.WholesalePrice = {txtPrice1->text().toStdString(), txtPrice2->text().toStdString()};
  conditions.RetailPrice = {txtPrice3->text().toStdString(), txtPrice4->text().toStdString()};
  conditions.InStockOnly = chkSell1->isChecked();
  conditions.DiscountedOnly = chkSell2->isChecked();
  conditions.Sort = cmbSort->currentIndex();
  TopCategoryChoice& top = conditions.TopCategory;
  top.Index = cmbCtgr->currentIndex();
  if (top.Index >= 0 && top.Index < static_cast<int>(topCategories_.size())) {
    top.Name = topCategories_[static_cast<size_t>(top.Index)].Name;
  }
  conditions.SelectedCategories = strCtgrList;
  conditions.Pictures = {chkImgSave->isChecked(), txtDirPath->text().toStdString()};
  return conditions;
}

std::vector<CategoryNode> MainWindow::SnapshotNodes() const { return ToEngineNodes(tree_.Nodes()); }

}  // namespace vormla
