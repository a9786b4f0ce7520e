// One item's wholesale and retail price over the results of a watch folder,
// with its stock state marked at each result: a series of markers per state.
#pragma once

#include <QChartView>
#include <QString>
#include <vector>

#include "results/PriceHistory.h"

class QLineSeries;
class QScatterSeries;

namespace vormla::viewer {

class PriceChart : public QChartView {
  Q_OBJECT

 public:
  explicit PriceChart(QWidget* parent = nullptr);

  // Draws the points; a price text that is no amount leaves a gap there.
  void Show(const QString& title, const std::vector<results::PricePoint>& points);
  void Clear(const QString& why);

  // The series by name (卸価格, メーカ希望小売価格, or a stock state), for tests.
  QList<QPointF> Points(const QString& name) const;
  QStringList SeriesNames() const;

 private:
  void AddAxes(qint64 first, qint64 last, double bottom, double top);
};

}  // namespace vormla::viewer
