// The rows of one result for the table: column 0 is the thumbnail of the item's
// first picture, column c + 1 is column c of the file. Rows stay in compact
// blocks of UTF-8 bytes; a text becomes a QString only when the view asks.
#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <memory>
#include <string_view>

#include "results/ResultTable.h"
#include "viewer/PictureCache.h"

namespace vormla::viewer {

class ResultModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kPictureColumn = 0;
  static int ViewColumn(int fileColumn) { return fileColumn + 1; }
  static int FileColumn(int viewColumn) { return viewColumn - 1; }

  explicit ResultModel(PictureCache& thumbnails, QObject* parent = nullptr);

  // Empties the table for the result at path (whose folder holds the pictures).
  void Reset(const QString& resultPath);
  void Append(std::shared_ptr<const results::RowBlock> block);

  std::string_view Field(int row, int fileColumn) const { return table_.Field(static_cast<size_t>(row), fileColumn); }
  QString Text(int row, int fileColumn) const;
  // The files of the row's saved pictures, in column order.
  QStringList PicturePaths(int row) const;
  const QString& ResultPath() const { return resultPath_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  QString PicturePath(int row, int picture) const;
  QVariant Thumbnail(int row) const;
  void OnPictureReady(const QString& path);

  PictureCache& thumbnails_;
  results::ResultTable table_;
  QString resultPath_;
  std::string pictureRoot_;
  mutable QHash<QString, QList<int>> waiting_;  // rows shown while their thumbnail loads
};

}  // namespace vormla::viewer
