#include "viewer/HistoryPage.h"

#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "results/ChangeReport.h"
#include "results/ResultCsvReader.h"
#include "viewer/PriceChart.h"
#include "viewer/ResultLoader.h"

namespace vormla::viewer {

namespace {

// The report's columns: 変化, 詳細ページURL, 商品管理番号, 商品名, ...
constexpr int kUrlColumn = 1, kNumberColumn = 2, kNameColumn = 3;

QColor KindColor(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kNew:
      return QColor(0xd9, 0xf2, 0xd9);
    case ChangeKind::kGone:
      return QColor(0xe6, 0xe6, 0xe6);
    case ChangeKind::kPrice:
      return QColor(0xff, 0xf0, 0xc2);
    case ChangeKind::kStock:
      return QColor(0xd6, 0xe8, 0xfa);
    case ChangeKind::kUpdate:
      break;
  }
  return QColor(0xf0, 0xe0, 0xf5);
}

}  // namespace

QString CountsText(const ChangeCounts& counts) { return QString::fromStdString(ChangeCountsText(counts)); }

HistoryPage::HistoryPage(QWidget* parent) : QWidget(parent) {
  results_ = new QListWidget;
  reportTitle_ = new QLabel;
  counts_ = new QLabel;
  report_ = new QTableWidget;
  report_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  report_->setSelectionBehavior(QAbstractItemView::SelectRows);
  report_->setSelectionMode(QAbstractItemView::SingleSelection);
  report_->verticalHeader()->hide();
  chart_ = new PriceChart;
  chart_->setMinimumHeight(260);

  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  leftLayout->addWidget(new QLabel(QStringLiteral("結果 (新しい順)")));
  leftLayout->addWidget(results_);
  auto* reportBox = new QWidget;
  auto* reportLayout = new QVBoxLayout(reportBox);
  reportLayout->setContentsMargins(0, 0, 0, 0);
  reportLayout->addWidget(reportTitle_);
  reportLayout->addWidget(counts_);
  reportLayout->addWidget(report_, 1);
  auto* right = new QSplitter(Qt::Vertical);
  right->addWidget(reportBox);
  right->addWidget(chart_);
  auto* split = new QSplitter;
  split->addWidget(left);
  split->addWidget(right);
  split->setStretchFactor(1, 4);
  split->setSizes({190, 1090});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(split);

  connect(results_, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* item) { emit ResultChosen(item->data(Qt::UserRole).toString()); });
  connect(report_, &QTableWidget::currentCellChanged, this, [this](int row) {
    if (row < 0 || report_->item(row, kUrlColumn) == nullptr) return;
    ShowItem(report_->item(row, kUrlColumn)->text(), report_->item(row, kNumberColumn)->text(),
             report_->item(row, kNameColumn)->text());
  });
}

HistoryPage::~HistoryPage() { StopReading(); }

void HistoryPage::StopReading() {
  if (cancel_) *cancel_ = true;
  if (reader_.joinable()) reader_.join();
  ++generation_;
}

void HistoryPage::Close() {
  StopReading();
  history_.reset();
  results_->clear();
  report_->clear();
  report_->setRowCount(0);
  reportTitle_->clear();
  counts_->clear();
  chart_->Clear(QString());
}

void HistoryPage::OpenFolder(const QString& folder, const QString& reportStamp) {
  Close();
  const std::vector<results::DatedFile> files = results::ListResults(folder.toStdString());
  for (auto it = files.rbegin(); it != files.rend(); ++it) {
    auto* item = new QListWidgetItem(QString::fromStdString(results::StampText(it->Stamp)), results_);
    item->setData(Qt::UserRole, QString::fromStdString(it->Path));
    item->setToolTip(QString::fromStdString(it->Path));
  }
  ShowReport(results::ListChangeReports(folder.toStdString()), reportStamp);
  chart_->Clear(QStringLiteral("価格の履歴を読み込み中…"));

  cancel_ = std::make_shared<std::atomic<bool>>(false);
  const int generation = generation_;
  // Joined before this page goes (StopReading), so posting to it is safe.
  reader_ = std::thread([this, files, generation, cancel = cancel_] {
    auto history = std::make_shared<results::PriceHistory>();
    history->Read(files, *cancel);
    QMetaObject::invokeMethod(
        this,
        [this, generation, history] {
          if (generation != generation_) return;
          history_ = history;
          chart_->Clear(QStringLiteral("商品を選ぶと、フォルダの結果ごとの価格がここに出ます"));
          for (const results::UnreadableResult& bad : history->Unreadable()) {
            // Said beside the report, so a gap in the chart has its reason.
            counts_->setText(
                counts_->text() + QLatin1Char('\n') +
                RefusalText(QString::fromStdString(bad.Path), bad.Line, QString::fromStdString(bad.Reason)) +
                QStringLiteral(" (価格の履歴から外しました)"));
          }
          ChartPending();
          emit HistoryRead();
        },
        Qt::QueuedConnection);
  });
}

void HistoryPage::ShowReport(const std::vector<results::DatedFile>& reports, const QString& stamp) {
  if (reports.empty()) {
    reportTitle_->setText(QStringLiteral("変化レポートはまだありません (2 回目の実行から作られます)"));
    return;
  }
  auto shown = std::find_if(reports.begin(), reports.end(),
                            [&](const results::DatedFile& report) { return report.Stamp == stamp.toStdString(); });
  if (shown == reports.end()) shown = reports.end() - 1;
  reportTitle_->setText(
      QStringLiteral("%1: %2 (%3)")
          .arg(shown == reports.end() - 1 ? QStringLiteral("最新の変化レポート") : QStringLiteral("変化レポート"),
               QString::fromStdString(results::StampText(shown->Stamp)),
               QFileInfo(QString::fromStdString(shown->Path)).fileName()));
  try {
    FillReport(results::ReadChangeReport(shown->Path));
  } catch (const ResultCsvError& error) {
    counts_->setText(RefusalText(QString::fromStdString(shown->Path), error.Line(), QString::fromUtf8(error.what()))
                         .replace(QStringLiteral("結果ファイル"), QStringLiteral("変化レポート")));
  }
}

void HistoryPage::FillReport(const results::ChangeReportContents& report) {
  counts_->setText(CountsText(report.Counts));
  report_->setColumnCount(static_cast<int>(report.Header.size()));
  QStringList header;
  for (const std::string& name : report.Header) header << QString::fromStdString(name);
  report_->setHorizontalHeaderLabels(header);
  report_->setRowCount(static_cast<int>(report.Rows.size()));
  for (int r = 0; r < static_cast<int>(report.Rows.size()); ++r) {
    const results::ChangeReportRow& row = report.Rows[static_cast<size_t>(r)];
    for (int c = 0; c < results::kChangeColumns; ++c) {
      auto* item = new QTableWidgetItem(QString::fromStdString(row.Fields[static_cast<size_t>(c)]));
      item->setBackground(KindColor(row.Kind));
      report_->setItem(r, c, item);
    }
  }
  report_->setColumnHidden(kUrlColumn, true);
  report_->resizeColumnsToContents();
}

void HistoryPage::ShowItem(const QString& url, const QString& number, const QString& name) {
  pendingUrl_ = url;
  pendingTitle_ = number.isEmpty() ? name : number + QStringLiteral("  ") + name;
  ChartPending();
}

void HistoryPage::ChartPending() {
  if (!history_ || pendingUrl_.isEmpty()) return;
  const std::vector<results::PricePoint> points = history_->Of(pendingUrl_.toStdString());
  if (points.empty()) {
    chart_->Clear(pendingTitle_ + QStringLiteral(": このフォルダの結果にありません"));
    return;
  }
  chart_->Show(pendingTitle_, points);
}

}  // namespace vormla::viewer
