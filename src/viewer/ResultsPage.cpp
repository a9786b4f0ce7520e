#include "viewer/ResultsPage.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "engine/ResultColumns.h"
#include "viewer/DetailPane.h"
#include "viewer/PictureCache.h"
#include "viewer/ResultFilterModel.h"
#include "viewer/ResultLoader.h"
#include "viewer/ResultModel.h"

namespace vormla::viewer {

namespace {

constexpr int kThumbnailEdge = 48;

// The columns shown at first, in this order after the thumbnail.
constexpr int kShownColumns[] = {column::kManagementNo, column::kItemName,   column::kWholesalePrice,
                                 column::kRetailPrice,  column::kSalesState, column::kCategory,
                                 column::kBrand};

}  // namespace

ResultsPage::ResultsPage(ViewerServices& services, QWidget* parent)
    : QWidget(parent),
      thumbnails_(new PictureCache(kThumbnailEdge, this)),
      rows_(new ResultModel(*thumbnails_, this)),
      shown_(new ResultFilterModel(*rows_, this)),
      loader_(new ResultLoader(this)) {
  categories_ = new QListWidget;
  // Categories share their leading path; the end of it tells them apart.
  categories_->setTextElideMode(Qt::ElideLeft);
  categories_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  filter_ = new QLineEdit;
  filter_->setPlaceholderText(QStringLiteral("商品名・商品管理番号・ブランド名・JANコードで絞り込み"));
  filter_->setClearButtonEnabled(true);
  status_ = new QLabel;
  details_ = new DetailPane(services);
  BuildTable();

  auto* middle = new QWidget;
  auto* middleLayout = new QVBoxLayout(middle);
  middleLayout->setContentsMargins(0, 0, 0, 0);
  middleLayout->addWidget(filter_);
  middleLayout->addWidget(table_, 1);
  middleLayout->addWidget(status_);
  auto* splitter = new QSplitter;
  splitter->addWidget(categories_);
  splitter->addWidget(middle);
  splitter->addWidget(details_);
  splitter->setStretchFactor(1, 3);
  splitter->setStretchFactor(2, 1);
  splitter->setSizes({180, 700, 320});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(splitter);

  connect(filter_, &QLineEdit::textChanged, shown_, &ResultFilterModel::SetText);
  connect(categories_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    shown_->SetCategory(item != nullptr ? item->data(Qt::UserRole).toString() : QString());
  });
  connect(loader_, &ResultLoader::Block, this, [this](std::shared_ptr<const results::RowBlock> block) {
    const int first = rows_->rowCount();
    rows_->Append(std::move(block));
    CountCategories(first);
    if (first == 0) {
      FillCategories();
      table_->selectRow(0);
    }
    status_->setText(QStringLiteral("%1 行を読み込み中…").arg(rows_->rowCount()));
  });
  connect(loader_, &ResultLoader::Finished, this, [this](qint64 rows) {
    FillCategories();
    status_->setText(QStringLiteral("%1 行").arg(rows));
    emit Loaded(rows_->ResultPath(), rows);
  });
  connect(loader_, &ResultLoader::Failed, this, [this](const QString& message) {
    Close();
    emit Refused(message);
  });
}

void ResultsPage::BuildTable() {
  table_ = new QTableView;
  table_->setModel(shown_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->setIconSize(QSize(kThumbnailEdge, kThumbnailEdge));
  table_->verticalHeader()->hide();
  // Fixed row heights: the view never measures 100,000 rows.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(kThumbnailEdge + 4);
  QHeaderView* header = table_->horizontalHeader();
  header->setSortIndicator(-1, Qt::AscendingOrder);  // file order until a header is clicked
  table_->setSortingEnabled(true);
  header->setSectionsMovable(true);
  header->setContextMenuPolicy(Qt::CustomContextMenu);
  for (int c = 0; c < kColumnCount; ++c) table_->setColumnHidden(ResultModel::ViewColumn(c), true);
  int visual = 1;
  for (const int c : kShownColumns) {
    const int view = ResultModel::ViewColumn(c);
    table_->setColumnHidden(view, false);
    header->moveSection(header->visualIndex(view), visual++);
  }
  table_->setColumnWidth(ResultModel::kPictureColumn, kThumbnailEdge + 8);
  table_->setColumnWidth(ResultModel::ViewColumn(column::kItemName), 320);
  connect(header, &QHeaderView::customContextMenuRequested, this, &ResultsPage::ShowColumnMenu);
  connect(table_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &ResultsPage::OnCurrentChanged);
}

bool ResultsPage::Loading() const { return loader_->Loading(); }

void ResultsPage::Open(const QString& path) {
  loader_->Stop();
  filter_->clear();
  categoryCounts_.clear();
  rows_->Reset(path);
  FillCategories();
  details_->ShowRow(*rows_, -1);
  status_->setText(QStringLiteral("読み込み中…"));
  loader_->Start(path);
}

void ResultsPage::Close() {
  loader_->Stop();
  categoryCounts_.clear();
  rows_->Reset(QString());
  FillCategories();
  details_->ShowRow(*rows_, -1);
  status_->clear();
}

void ResultsPage::CountCategories(int firstRow) {
  for (int r = firstRow; r < rows_->rowCount(); ++r) ++categoryCounts_[rows_->Text(r, column::kCategory)];
}

void ResultsPage::FillCategories() {
  const QString current =
      categories_->currentItem() != nullptr ? categories_->currentItem()->data(Qt::UserRole).toString() : QString();
  QSignalBlocker quiet(categories_);
  categories_->clear();
  auto* all = new QListWidgetItem(QStringLiteral("すべてのカテゴリー (%1)").arg(rows_->rowCount()), categories_);
  all->setData(Qt::UserRole, QString());
  categories_->setCurrentItem(all);
  for (auto it = categoryCounts_.cbegin(); it != categoryCounts_.cend(); ++it) {
    const QString name = it.key().isEmpty() ? QStringLiteral("(カテゴリーなし)") : it.key();
    auto* item = new QListWidgetItem(QStringLiteral("%1 (%2)").arg(name).arg(it.value()), categories_);
    item->setData(Qt::UserRole, it.key());
    item->setToolTip(name);
    if (it.key() == current && !current.isEmpty()) categories_->setCurrentItem(item);
  }
}

void ResultsPage::OnCurrentChanged() {
  const QModelIndex current = shown_->mapToSource(table_->currentIndex());
  const int row = current.isValid() ? current.row() : -1;
  details_->ShowRow(*rows_, row);
  if (row >= 0) {
    emit ItemSelected(rows_->Text(row, column::kItemUrl), rows_->Text(row, column::kManagementNo),
                      rows_->Text(row, column::kItemName));
  }
}

void ResultsPage::ShowColumnMenu(const QPoint& at) {
  QMenu menu;
  for (int c = 0; c < kColumnCount; ++c) {
    const int view = ResultModel::ViewColumn(c);
    QAction* action = menu.addAction(rows_->headerData(view, Qt::Horizontal, Qt::DisplayRole).toString());
    action->setCheckable(true);
    action->setChecked(!table_->isColumnHidden(view));
    connect(action, &QAction::toggled, this, [this, view](bool on) { table_->setColumnHidden(view, !on); });
  }
  menu.exec(table_->horizontalHeader()->mapToGlobal(at));
}

}  // namespace vormla::viewer
