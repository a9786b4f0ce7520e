#include "viewer/PriceChart.h"

#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QMap>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>

#include "results/TextOrder.h"

namespace vormla::viewer {

namespace {

const QString kWholesale = QStringLiteral("卸価格");
const QString kRetail = QStringLiteral("メーカ希望小売価格");

QLineSeries* NewLine(const QString& name, const QColor& color) {
  auto* series = new QLineSeries;
  series->setName(name);
  series->setPointsVisible(true);
  QPen pen(color);
  pen.setWidth(3);
  series->setPen(pen);
  series->setPointLabelsFormat(QStringLiteral("@yPoint"));
  series->setPointLabelsVisible(true);
  return series;
}

// Markers of one stock state: 在庫あり green, anything else (品切れ中 and the
// like) red, so a glance finds the results where the item could not be had.
QScatterSeries* NewMarkers(const QString& state) {
  auto* series = new QScatterSeries;
  series->setName(state.isEmpty() ? QStringLiteral("(販売状況なし)") : state);
  series->setMarkerSize(9);
  series->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  series->setColor(state == QStringLiteral("在庫あり") ? QColor(0x2e, 0x9d, 0x4a) : QColor(0xd0, 0x3b, 0x3b));
  return series;
}

}  // namespace

PriceChart::PriceChart(QWidget* parent) : QChartView(parent) {
  setRenderHint(QPainter::Antialiasing);
  chart()->legend()->setAlignment(Qt::AlignBottom);
  Clear(QStringLiteral("商品を選ぶと、フォルダの結果ごとの価格がここに出ます"));
}

void PriceChart::Clear(const QString& why) {
  chart()->removeAllSeries();
  for (QAbstractAxis* axis : chart()->axes()) chart()->removeAxis(axis);
  chart()->setTitle(why);
}

void PriceChart::Show(const QString& title, const std::vector<results::PricePoint>& points) {
  Clear(title);
  QLineSeries* wholesale = NewLine(kWholesale, QColor(0x1f, 0x5f, 0xa8));
  QLineSeries* retail = NewLine(kRetail, QColor(0xe0, 0x8a, 0x1e));
  QMap<QString, QScatterSeries*> markers;
  double top = 0, bottom = 0;
  bool priced = false, unpriced = false;  // unpriced: a point with neither amount, marked at 0
  qint64 first = 0, last = 0;
  for (const results::PricePoint& point : points) {
    const qint64 x = QDateTime::fromSecsSinceEpoch(results::StampTime(point.Stamp)).toMSecsSinceEpoch();
    first = first == 0 ? x : std::min(first, x);
    last = std::max(last, x);
    const auto w = results::YenOf(point.Wholesale);
    const auto r = results::YenOf(point.Retail);
    if (w) wholesale->append(static_cast<double>(x), static_cast<double>(*w));
    if (r) retail->append(static_cast<double>(x), static_cast<double>(*r));
    for (const auto& yen : {w, r}) {
      if (!yen) continue;
      const auto value = static_cast<double>(*yen);
      bottom = priced ? std::min(bottom, value) : value;
      top = priced ? std::max(top, value) : value;
      priced = true;
    }
    unpriced = unpriced || (!w && !r);
    const QString state = QString::fromStdString(point.Stock);
    if (!markers.contains(state)) markers.insert(state, NewMarkers(state));
    markers[state]->append(static_cast<double>(x), w ? static_cast<double>(*w) : r ? static_cast<double>(*r) : 0.0);
  }
  chart()->addSeries(wholesale);
  chart()->addSeries(retail);
  for (QScatterSeries* series : markers) chart()->addSeries(series);
  AddAxes(first, last, unpriced ? 0.0 : bottom, top);
}

void PriceChart::AddAxes(qint64 first, qint64 last, double bottom, double top) {
  constexpr qint64 kHour = 3600 * 1000;
  auto* time = new QDateTimeAxis;
  const qint64 span = last - first;
  time->setFormat(span < kHour        ? QStringLiteral("HH:mm:ss")
                  : span < 48 * kHour ? QStringLiteral("MM/dd HH:mm")
                                      : QStringLiteral("yyyy/MM/dd"));
  time->setTitleText(QStringLiteral("結果の日時"));
  // One result alone still gets a span to sit in.
  const qint64 margin = span > 0 ? std::max<qint64>(span / 10, 1000) : 60 * 1000;
  time->setRange(QDateTime::fromMSecsSinceEpoch(first - margin), QDateTime::fromMSecsSinceEpoch(last + margin));
  auto* yen = new QValueAxis;
  yen->setTitleText(QStringLiteral("円"));
  yen->setLabelFormat(QStringLiteral("%.0f"));
  // Around the prices rather than from zero, so that a change of 100円 shows.
  const double pad = std::max((top - bottom) * 0.15, top * 0.05);
  yen->setRange(std::max(0.0, bottom - pad), top > 0 ? top + pad : 1000);
  yen->applyNiceNumbers();
  chart()->addAxis(time, Qt::AlignBottom);
  chart()->addAxis(yen, Qt::AlignLeft);
  for (QAbstractSeries* series : chart()->series()) {
    series->attachAxis(time);
    series->attachAxis(yen);
  }
}

QList<QPointF> PriceChart::Points(const QString& name) const {
  for (QAbstractSeries* series : chart()->series()) {
    if (series->name() == name) return static_cast<QXYSeries*>(series)->points();
  }
  return {};
}

QStringList PriceChart::SeriesNames() const {
  QStringList names;
  for (QAbstractSeries* series : chart()->series()) names << series->name();
  return names;
}

}  // namespace vormla::viewer
