// The selected row in full: every field by its header name, every saved picture
// of the item at a larger size, and a button that opens the item's detail page.
#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QLabel;
class QHBoxLayout;
class QPushButton;
class QTableWidget;

namespace vormla::viewer {

class PictureCache;
class ResultModel;
class ViewerServices;

class DetailPane : public QWidget {
  Q_OBJECT

 public:
  explicit DetailPane(ViewerServices& services, QWidget* parent = nullptr);

  // Shows source row `row` of rows; -1 empties the pane.
  void ShowRow(const ResultModel& rows, int row);

  // What the pane shows, for tests.
  const QStringList& PicturePaths() const { return paths_; }
  QList<QLabel*> PictureLabels() const { return labels_; }
  QString Value(const QString& header) const;

 private:
  void ShowPictures();
  void OnPictureReady(const QString& path);

  ViewerServices& services_;
  PictureCache* pictures_;
  QTableWidget* fields_;
  QWidget* strip_;
  QHBoxLayout* stripLayout_;
  QPushButton* openPage_;
  QStringList paths_;
  QList<QLabel*> labels_;
  QString url_;
};

}  // namespace vormla::viewer
