// The rows of one result: a category list, a filter box, the table (thumbnail,
// 商品管理番号, 商品名, 卸価格, メーカ希望小売価格, 販売状況, カテゴリー, ブランド名 shown;
// the header's menu shows any other column) and the selected row's details.
#pragma once

#include <QMap>
#include <QWidget>

class QLabel;
class QLineEdit;
class QListWidget;
class QTableView;

namespace vormla::viewer {

class DetailPane;
class PictureCache;
class ResultFilterModel;
class ResultLoader;
class ResultModel;
class ViewerServices;

class ResultsPage : public QWidget {
  Q_OBJECT

 public:
  explicit ResultsPage(ViewerServices& services, QWidget* parent = nullptr);

  // Starts loading a result; Loaded or Refused follows.
  void Open(const QString& path);
  void Close();

  ResultModel& Rows() { return *rows_; }
  ResultFilterModel& Shown() { return *shown_; }
  QTableView& Table() { return *table_; }
  QLineEdit& Filter() { return *filter_; }
  QListWidget& Categories() { return *categories_; }
  DetailPane& Details() { return *details_; }
  PictureCache& Thumbnails() { return *thumbnails_; }
  bool Loading() const;

 signals:
  void Loaded(const QString& path, qint64 rows);
  void Refused(const QString& message);
  // The item of the selected row (its detail page URL, 商品管理番号 and 商品名).
  void ItemSelected(const QString& url, const QString& number, const QString& name);

 private:
  void BuildTable();
  void CountCategories(int firstRow);
  void FillCategories();
  void OnCurrentChanged();
  void ShowColumnMenu(const QPoint& at);

  PictureCache* thumbnails_;
  ResultModel* rows_;
  ResultFilterModel* shown_;
  ResultLoader* loader_;
  QTableView* table_;
  QLineEdit* filter_;
  QListWidget* categories_;
  DetailPane* details_;
  QLabel* status_;
  QMap<QString, int> categoryCounts_;
};

}  // namespace vormla::viewer
