// A watch folder over time: its results by date, the newest change report as
// rows coloured by kind with the count of each, and the chosen item's price
// chart across every result of the folder.
#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

#include "results/ChangeReportFile.h"
#include "results/FolderFiles.h"
#include "results/PriceHistory.h"

class QLabel;
class QListWidget;
class QTableWidget;

namespace vormla::viewer {

class PriceChart;

class HistoryPage : public QWidget {
  Q_OBJECT

 public:
  explicit HistoryPage(QWidget* parent = nullptr);
  ~HistoryPage() override;

  // Shows the folder's results and its report of reportStamp (the newest when
  // that is empty or names none) and starts reading the price history. A report
  // that cannot be read is said in its place.
  void OpenFolder(const QString& folder, const QString& reportStamp = QString());
  void Close();
  // Charts this item (by its detail page URL) once the history is read.
  void ShowItem(const QString& url, const QString& number, const QString& name);

  QListWidget& ResultList() { return *results_; }
  QTableWidget& Report() { return *report_; }
  QLabel& Counts() { return *counts_; }
  PriceChart& Chart() { return *chart_; }
  bool HistoryReady() const { return history_ != nullptr; }

 signals:
  void ResultChosen(const QString& path);
  void HistoryRead();

 private:
  void ShowReport(const std::vector<results::DatedFile>& reports, const QString& stamp);
  void FillReport(const results::ChangeReportContents& report);
  void StopReading();
  void ChartPending();

  QListWidget* results_;
  QLabel* reportTitle_;
  QLabel* counts_;
  QTableWidget* report_;
  PriceChart* chart_;
  std::thread reader_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  int generation_ = 0;
  std::shared_ptr<const results::PriceHistory> history_;
  QString pendingUrl_, pendingTitle_;
};

// "新規 7、終了 8、価格変更 5、販売状況変更 6、更新 0" as the command line counts them.
QString CountsText(const ChangeCounts& counts);

}  // namespace vormla::viewer
