#include "viewer/ResultModel.h"

#include <QFileInfo>

#include "engine/ResultColumns.h"
#include "results/FolderFiles.h"

namespace vormla::viewer {

ResultModel::ResultModel(PictureCache& thumbnails, QObject* parent)
    : QAbstractTableModel(parent), thumbnails_(thumbnails) {
  connect(&thumbnails_, &PictureCache::Ready, this, &ResultModel::OnPictureReady);
}

void ResultModel::Reset(const QString& resultPath) {
  beginResetModel();
  table_.Clear();
  waiting_.clear();
  thumbnails_.Clear();
  resultPath_ = resultPath;
  pictureRoot_ = resultPath.isEmpty() ? std::string() : results::PictureRoot(resultPath.toStdString());
  endResetModel();
}

void ResultModel::Append(std::shared_ptr<const results::RowBlock> block) {
  if (!block || block->Rows() == 0) return;
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(block->Rows()) - 1);
  table_.Append(std::move(block));
  endInsertRows();
}

QString ResultModel::Text(int row, int fileColumn) const {
  const std::string_view text = Field(row, fileColumn);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString ResultModel::PicturePath(int row, int picture) const {
  if (pictureRoot_.empty()) return {};
  const std::string path =
      results::PicturePath(pictureRoot_, Field(row, column::kManagementNo), Field(row, column::kFirstImage + picture));
  return QString::fromStdString(path);
}

QStringList ResultModel::PicturePaths(int row) const {
  QStringList paths;
  for (int k = 0; k < column::kImageCount; ++k) {
    const QString path = PicturePath(row, k);
    if (!path.isEmpty() && !paths.contains(path) && QFileInfo(path).isFile()) paths << path;
  }
  return paths;
}

int ResultModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(table_.Rows());
}

int ResultModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount + 1; }

QVariant ResultModel::Thumbnail(int row) const {
  const QString path = PicturePath(row, 0);
  if (path.isEmpty()) return {};
  const std::optional<QPixmap> pixmap = thumbnails_.Get(path);
  if (!pixmap) {
    QList<int>& rows = waiting_[path];
    if (!rows.contains(row)) rows << row;
    return {};
  }
  if (pixmap->isNull()) return {};
  return *pixmap;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  if (index.column() == kPictureColumn) return role == Qt::DecorationRole ? Thumbnail(index.row()) : QVariant();
  if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
  return Text(index.row(), FileColumn(index.column()));
}

QVariant ResultModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
    return QAbstractTableModel::headerData(section, orientation, role);
  if (section == kPictureColumn) return QStringLiteral("画像");
  const auto& names = results::ResultHeaderNames();
  const int column = FileColumn(section);
  return column >= 0 && column < static_cast<int>(names.size())
             ? QString::fromStdString(names[static_cast<size_t>(column)])
             : QVariant();
}

void ResultModel::OnPictureReady(const QString& path) {
  const QList<int> rows = waiting_.take(path);
  for (const int row : rows) {
    if (row < rowCount())
      emit dataChanged(index(row, kPictureColumn), index(row, kPictureColumn), {Qt::DecorationRole});
  }
}

}  // namespace vormla::viewer
