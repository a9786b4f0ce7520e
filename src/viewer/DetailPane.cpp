#include "viewer/DetailPane.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTableWidget>
#include <QVBoxLayout>

#include "engine/ResultColumns.h"
#include "viewer/PictureCache.h"
#include "viewer/ResultModel.h"
#include "viewer/ViewerServices.h"

namespace vormla::viewer {

namespace {

constexpr int kPictureEdge = 240;

}  // namespace

DetailPane::DetailPane(ViewerServices& services, QWidget* parent)
    : QWidget(parent), services_(services), pictures_(new PictureCache(kPictureEdge, this)) {
  fields_ = new QTableWidget(kColumnCount, 2, this);
  fields_->setHorizontalHeaderLabels({QStringLiteral("項目"), QStringLiteral("内容")});
  fields_->verticalHeader()->hide();
  fields_->horizontalHeader()->setStretchLastSection(true);
  fields_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fields_->setWordWrap(true);

  strip_ = new QWidget;
  stripLayout_ = new QHBoxLayout(strip_);
  stripLayout_->addStretch();
  auto* scroll = new QScrollArea;
  scroll->setWidget(strip_);
  scroll->setWidgetResizable(true);
  scroll->setMinimumHeight(kPictureEdge + 30);

  openPage_ = new QPushButton(QStringLiteral("詳細ページを開く"));
  openPage_->setEnabled(false);
  connect(openPage_, &QPushButton::clicked, this, [this] { services_.OpenUrl(QUrl(url_)); });

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(scroll);
  layout->addWidget(fields_, 1);
  layout->addWidget(openPage_);
  connect(pictures_, &PictureCache::Ready, this, &DetailPane::OnPictureReady);
}

void DetailPane::ShowRow(const ResultModel& rows, int row) {
  const bool any = row >= 0 && row < rows.rowCount();
  const QAbstractItemModel& names = rows;
  for (int c = 0; c < kColumnCount; ++c) {
    const QString header = names.headerData(ResultModel::ViewColumn(c), Qt::Horizontal, Qt::DisplayRole).toString();
    fields_->setItem(c, 0, new QTableWidgetItem(header));
    fields_->setItem(c, 1, new QTableWidgetItem(any ? rows.Text(row, c) : QString()));
  }
  fields_->resizeColumnToContents(0);
  url_ = any ? rows.Text(row, column::kItemUrl) : QString();
  openPage_->setEnabled(!url_.isEmpty());
  paths_ = any ? rows.PicturePaths(row) : QStringList();
  ShowPictures();
}

QString DetailPane::Value(const QString& header) const {
  for (int r = 0; r < fields_->rowCount(); ++r) {
    if (fields_->item(r, 0) != nullptr && fields_->item(r, 0)->text() == header) return fields_->item(r, 1)->text();
  }
  return {};
}

void DetailPane::ShowPictures() {
  qDeleteAll(labels_);
  labels_.clear();
  for (const QString& path : paths_) {
    auto* label = new QLabel;
    label->setFixedSize(kPictureEdge, kPictureEdge);
    label->setAlignment(Qt::AlignCenter);
    label->setToolTip(path);
    stripLayout_->insertWidget(stripLayout_->count() - 1, label);
    labels_ << label;
    OnPictureReady(path);
  }
}

void DetailPane::OnPictureReady(const QString& path) {
  const qsizetype at = paths_.indexOf(path);
  if (at < 0 || at >= labels_.size()) return;
  const std::optional<QPixmap> pixmap = pictures_->Get(path);
  if (pixmap) labels_[at]->setPixmap(*pixmap);
}

}  // namespace vormla::viewer
