#include "viewer/ResultFilterModel.h"

#include "engine/ResultColumns.h"
#include "results/TextOrder.h"
#include "text/AsciiCase.h"
#include "viewer/ResultModel.h"

namespace vormla::viewer {

namespace {

bool IsPriceColumn(int fileColumn) {
  return fileColumn == column::kWholesalePrice || fileColumn == column::kRetailPrice;
}

}  // namespace

ResultFilterModel::ResultFilterModel(ResultModel& rows, QObject* parent) : QSortFilterProxyModel(parent), rows_(rows) {
  setSourceModel(&rows_);
}

void ResultFilterModel::SetText(const QString& text) {
  const std::string folded = LowerAscii(text.trimmed().toStdString());
  if (folded == text_) return;
  text_ = folded;
  invalidateFilter();
}

void ResultFilterModel::SetCategory(const QString& category) {
  const std::string wanted = category.toStdString();
  if (anyCategory_ == category.isEmpty() && wanted == category_) return;
  anyCategory_ = category.isEmpty();
  category_ = wanted;
  invalidateFilter();
}

bool ResultFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
  if (!anyCategory_ && rows_.Field(sourceRow, column::kCategory) != category_) return false;
  if (text_.empty()) return true;
  for (const int c : {column::kItemName, column::kManagementNo, column::kBrand, column::kJanCode}) {
    if (results::ContainsFolded(rows_.Field(sourceRow, c), text_)) return true;
  }
  return false;
}

bool ResultFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const {
  const int fileColumn = ResultModel::FileColumn(left.column());
  if (fileColumn < 0) return left.row() < right.row();  // the thumbnail column: file order
  const std::string_view a = rows_.Field(left.row(), fileColumn), b = rows_.Field(right.row(), fileColumn);
  if (IsPriceColumn(fileColumn)) {
    // Qt sorts downwards by asking lessThan(right, left); the non-amounts must
    // still come out last.
    return sortOrder() == Qt::AscendingOrder ? results::PriceShownBefore(a, b, false)
                                             : results::PriceShownBefore(b, a, true);
  }
  const int c = results::NaturalCompare(a, b);
  return c != 0 ? c < 0 : left.row() < right.row();
}

}  // namespace vormla::viewer
