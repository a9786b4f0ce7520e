// Watches from the viewer: the daily timer switched through systemd's user
// manager, and three runs started from the Watches page against the demo market
// with its goods moved on between them, charted from the folder they fill.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include "ViewerTestKit.h"
#include "catalogue/CategoryDatabase.h"
#include "demo-market/DemoMarket.h"
#include "engine/ResultColumns.h"
#include "results/WatchList.h"
#include "support/ResultCsv.h"
#include "text/TextOps.h"
#include "viewer/HistoryPage.h"
#include "viewer/PriceChart.h"
#include "viewer/ViewerWindow.h"
#include "viewer/WatchesPage.h"

namespace vormla::viewtest {

namespace {

// What one result file says of each item: its prices and stock by detail URL,
// read with the tests' own CSV reader.
struct FileValues {
  QDateTime When;
  QMap<QString, QStringList> ByUrl;  // wholesale, retail, stock
};

FileValues ReadValues(const QString& path) {
  QFile file(path);
  file.open(QIODevice::ReadOnly);
  const testing::CsvText csv = testing::ParseCsv(file.readAll().toStdString());
  FileValues values;
  values.When = QDateTime::fromString(QFileInfo(path).fileName().mid(7, 15), QStringLiteral("yyyyMMdd-HHmmss"));
  for (size_t r = 1; r < csv.records.size(); ++r) {
    auto field = [&](int c) { return QString::fromStdString(SjisToUtf8(csv.records[r].at(static_cast<size_t>(c)))); };
    values.ByUrl[field(column::kItemUrl)] = {field(column::kWholesalePrice), field(column::kRetailPrice),
                                             field(column::kSalesState)};
  }
  return values;
}

// "12,340円 (税込)" -> 12340; nothing for a text without an amount.
std::optional<double> Amount(const QString& text) {
  const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^([0-9,]+)円")).match(text);
  if (!match.hasMatch()) return std::nullopt;
  return match.captured(1).remove(QLatin1Char(',')).toDouble();
}

}  // namespace

class WatchTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  QByteArray savedConfig_, savedData_;

  // The watch's settings: top-level entry 1, its nodes 1 and 4, as the window saves them.
  void WriteWatch(const QString& name) {
    CategoryDatabase db(QFileInfo(QStringLiteral(VORMLA_CLI_PATH)).path().toStdString() + "/db/vm_data.db");
    QString marks(static_cast<qsizetype>(db.LoadCategoryTree(1).size()), QLatin1Char('0'));
    marks[1] = marks[4] = QLatin1Char('1');
    const QString ini = dir_.filePath(QStringLiteral("source.ini"));
    WriteFile(ini, QStringLiteral("[Config]\r\nCategory=1\r\nTreeList=%1\r\n").arg(marks).toStdString());
    QCOMPARE(QString::fromStdString(results::CreateWatch(name.toStdString(), ini.toStdString())), QString());
  }

 private slots:
  void init() {
    savedConfig_ = qgetenv("XDG_CONFIG_HOME");
    savedData_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", dir_.filePath(QStringLiteral("data")).toLocal8Bit());
  }
  void cleanup() {
    qputenv("XDG_CONFIG_HOME", savedConfig_);
    qputenv("XDG_DATA_HOME", savedData_);
  }

  void SwitchesTheTimerWithTheseCommandLines() {
    const QString longName = QString(20, QChar(0x30BF));  // タ: 20 of them escape past 255 characters
    for (const QString& name : {QStringLiteral("towels"), QStringLiteral("タオル"), longName}) WriteWatch(name);
    const QString escapedUnit = QStringLiteral("vormla-watch@\\xe3\\x82\\xbf\\xe3\\x82\\xaa\\xe3\\x83\\xab.timer");
    FakeServices services;
    services.Answers[QStringLiteral("systemctl --user is-enabled ") + escapedUnit] = {0, QStringLiteral("enabled\n")};
    services.Answers[QStringLiteral("systemctl --user is-enabled vormla-watch@towels.timer")] = {
        1, QStringLiteral("disabled\n")};
    viewer::WatchesPage page(services);
    page.Refresh();
    QCOMPARE(page.Table().rowCount(), 3);
    QCOMPARE(page.Table().item(0, 1)->text(), QStringLiteral("オフ"));
    QCOMPARE(page.Table().item(1, 1)->text(), QStringLiteral("オン"));  // タオル
    QCOMPARE(page.Table().item(2, 1)->text(), QStringLiteral("名前が長すぎます"));

    // The unit carries the name as systemd escapes it; the service's %I turns it back.
    page.Select(QStringLiteral("タオル"));
    services.Commands.clear();
    page.SetTimer(false);
    page.SetTimer(true);
    const QList<QStringList> expected = {
        {"systemctl", "--user", "disable", "--now", escapedUnit},
        {"systemctl", "--user", "is-enabled", "vormla-watch@towels.timer"},
        {"systemctl", "--user", "is-enabled", escapedUnit},
        {"systemctl", "--user", "enable", "--now", escapedUnit},
        {"systemctl", "--user", "is-enabled", "vormla-watch@towels.timer"},
        {"systemctl", "--user", "is-enabled", escapedUnit},
    };
    QCOMPARE(services.Commands, expected);
    QVERIFY(services.Messages.isEmpty());

    // A failure is told with what systemctl said.
    services.Answers[QStringLiteral("systemctl --user enable --now ") + escapedUnit] = {
        1, QStringLiteral("Failed to connect to bus\n")};
    page.SetTimer(true);
    QCOMPARE(services.Messages.size(), 1);
    QVERIFY(services.Messages.front().Text.endsWith(QStringLiteral("は失敗しました。\nFailed to connect to bus")));

    // A name too long for a unit name never reaches systemctl.
    page.Select(longName);
    services.Commands.clear();
    page.SetTimer(true);
    QVERIFY(services.Commands.isEmpty());
    QCOMPARE(services.Messages.size(), 2);
    QVERIFY(services.Messages.back().Text.contains(QStringLiteral("255 文字")));
  }

  void SwitchesTheTimerThroughTheUserManager() {
    viewer::QtViewerServices services;
    const viewer::CommandOutcome manager = services.RunCommand({"systemctl", "--user", "show-environment"});
    if (manager.ExitCode != 0) {
      QSKIP(qPrintable(
          QStringLiteral("no systemd user manager here (systemctl --user: %1); the command lines are checked above")
              .arg(manager.Output.trimmed())));
    }
    // A name systemd escapes, as most of our users' are.
    const QString name = QStringLiteral("結果ビューア試験 %1").arg(QCoreApplication::applicationPid());
    // The built units where the user manager looks, only for this test.
    const QString units = QDir::homePath() + QStringLiteral("/.config/systemd/user");
    QDir().mkpath(units);
    QStringList placed;
    for (const QString& unit : {QStringLiteral("vormla-watch@.service"), QStringLiteral("vormla-watch@.timer")}) {
      if (QFile::copy(QStringLiteral(VORMLA_UNITS_DIR) + "/" + unit, units + "/" + unit)) placed << units + "/" + unit;
    }
    auto removeUnits = qScopeGuard([&] {
      for (const QString& path : placed) QFile::remove(path);
      services.RunCommand({"systemctl", "--user", "daemon-reload"});
    });
    services.RunCommand({"systemctl", "--user", "daemon-reload"});
    WriteWatch(name);
    viewer::WatchesPage page(services);
    page.Refresh();
    page.Select(name);
    page.SetTimer(true);
    const QString unit = QString::fromStdString(results::TimerUnit(name.toStdString()));
    const QString on = services.RunCommand({"systemctl", "--user", "is-enabled", unit}).Output.trimmed();
    page.SetTimer(false);
    const QString off = services.RunCommand({"systemctl", "--user", "is-enabled", unit}).Output.trimmed();
    QCOMPARE(on, QStringLiteral("enabled"));
    QCOMPARE(off, QStringLiteral("disabled"));
  }

  void ThreeRunsOfAWatchChartTheirPrices() {
    demo::DemoMarket market;
    QVERIFY(market.Start());
    QVERIFY(market.WriteCaFile(dir_.filePath(QStringLiteral("ca.pem")).toStdString()));
    qputenv("VORMLA_SITE_ROOT", QByteArray::fromStdString(market.SiteRoot()));
    qputenv("VORMLA_CA_FILE", dir_.filePath(QStringLiteral("ca.pem")).toLocal8Bit());
    qputenv("VORMLA_PAUSE_SCALE", "0");
    WriteWatch(QStringLiteral("demo"));

    FakeServices services;
    services.Cli = QStringLiteral(VORMLA_CLI_PATH);
    viewer::ViewerWindow window(services, dir_.filePath(QStringLiteral("recent.ini")));
    viewer::WatchesPage& page = window.Watches();
    page.Refresh();
    page.Select(QStringLiteral("demo"));
    QSignalSpy runs(&page, &viewer::WatchesPage::RunFinished);
    for (int revision = 0; revision < 3; ++revision) {
      market.SetCatalogueRevision(revision);
      page.RunNow();
      QVERIFY(page.Running() != nullptr);
      QTRY_COMPARE_WITH_TIMEOUT(runs.size(), revision + 1, 60000);
      QCOMPARE(runs.back().at(1).toInt(), 0);
    }
    QVERIFY2(page.Progress().text().contains(QStringLiteral("「demo」の実行が終わりました (終了コード 0)")),
             qPrintable(page.Progress().text()));
    QCOMPARE(page.Table().item(0, 2)->text(), QStringLiteral("3"));

    QVERIFY(window.OpenWatch(QStringLiteral("demo")));
    viewer::HistoryPage& history = window.History();
    QTRY_VERIFY_WITH_TIMEOUT(history.HistoryReady(), 10000);
    QCOMPARE(history.ResultList().count(), 3);

    std::vector<FileValues> files;
    for (int i = 2; i >= 0; --i)
      files.push_back(ReadValues(history.ResultList().item(i)->data(Qt::UserRole).toString()));
    // An item in all three files whose wholesale price moved.
    QString url;
    for (auto it = files[0].ByUrl.cbegin(); it != files[0].ByUrl.cend() && url.isEmpty(); ++it) {
      const bool everywhere = files[1].ByUrl.contains(it.key()) && files[2].ByUrl.contains(it.key());
      if (everywhere &&
          (files[1].ByUrl[it.key()][0] != it.value()[0] || files[2].ByUrl[it.key()][0] != it.value()[0])) {
        url = it.key();
      }
    }
    QVERIFY(!url.isEmpty());
    history.ShowItem(url, QString(), QStringLiteral("test"));

    const viewer::PriceChart& chart = history.Chart();
    QList<QPointF> wholesale, retail;
    QMap<QString, int> states;
    for (const FileValues& file : files) {
      const QStringList& values = file.ByUrl[url];
      const auto x = static_cast<double>(file.When.toMSecsSinceEpoch());
      if (const auto yen = Amount(values[0])) wholesale << QPointF(x, *yen);
      if (const auto yen = Amount(values[1])) retail << QPointF(x, *yen);
      ++states[values[2]];
    }
    QCOMPARE(wholesale.size(), 3);
    QCOMPARE(chart.Points(QStringLiteral("卸価格")), wholesale);
    QCOMPARE(chart.Points(QStringLiteral("メーカ希望小売価格")), retail);
    for (auto it = states.cbegin(); it != states.cend(); ++it) QCOMPARE(chart.Points(it.key()).size(), it.value());
    market.Stop();
  }
};

QObject* NewWatchTest() { return new WatchTest; }

}  // namespace vormla::viewtest

#include "WatchTest.moc"
