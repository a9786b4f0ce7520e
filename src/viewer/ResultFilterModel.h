// Sorting and narrowing the result table: prices by amount (texts that are no
// amount last either way), other columns naturally; the filter box matches
// 商品名, 商品管理番号, ブランド名 and JANコード; the category list keeps one category.
#pragma once

#include <QSortFilterProxyModel>
#include <string>

namespace vormla::viewer {

class ResultModel;

class ResultFilterModel : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit ResultFilterModel(ResultModel& rows, QObject* parent = nullptr);

  void SetText(const QString& text);
  // Only rows of this category (the file's カテゴリー text); "" for all.
  void SetCategory(const QString& category);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
  bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

 private:
  ResultModel& rows_;
  std::string text_;  // folded
  std::string category_;
  bool anyCategory_ = true;
};

}  // namespace vormla::viewer
