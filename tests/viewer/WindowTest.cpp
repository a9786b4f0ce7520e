// The viewer's window offscreen: a result file, a watch folder and a missing
// file opened, and a selected row's pictures.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

#include "ViewerTestKit.h"
#include "engine/ResultColumns.h"
#include "viewer/DetailPane.h"
#include "viewer/HistoryPage.h"
#include "viewer/ResultFilterModel.h"
#include "viewer/ResultModel.h"
#include "viewer/ResultsPage.h"
#include "viewer/ViewerWindow.h"

namespace vormla::viewtest {

namespace {

using namespace vormla::column;

const char* kOlder = "vormla-20240510-060000.csv";
const char* kNewer = "vormla-20240511-060000.csv";

Row Item(const std::string& number, const std::string& wholesale, const std::string& stock, int pictures) {
  Row row{{kManagementNo, number},
          {kItemName, "品 " + number},
          {kWholesalePrice, wholesale},
          {kSalesState, stock},
          {kItemUrl, "https://www.vormla.jp/shop/1/" + number}};
  for (int k = 0; k < pictures; ++k) {
    row[kFirstImage + k] = "https://www.vormla.jp/img/1/" + number + "_0" + std::to_string(k) + ".png?v=2";
  }
  return row;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  FakeServices services_;
  int windows_ = 0;

  // A watch folder as watch leaves it: two results, the change report between
  // them, and the pictures of the items that have any.
  QString WatchFolder() {
    const QString folder = dir_.filePath(QStringLiteral("watch"));
    QDir().mkpath(folder + QStringLiteral("/pictures/VM-1"));
    QDir().mkpath(folder + QStringLiteral("/pictures/VM-2"));
    WriteFile(folder + "/" + kOlder,
              ResultBytes({Item("VM-1", "1,000円", "在庫あり", 2), Item("VM-2", "2,000円", "在庫あり", 1)},
                          ResultEncoding::kSjis, Quoting::kDoubled));
    WriteFile(folder + "/" + kNewer,
              ResultBytes({Item("VM-1", "1,200円", "品切れ中", 2), Item("VM-2", "2,000円", "在庫あり", 1),
                           Item("VM-3", "300円", "在庫あり", 0)},
                          ResultEncoding::kSjis, Quoting::kDoubled));
    WriteFile(folder + QStringLiteral("/changes-20240511-060000.csv"),
              "\"変化\",\"詳細ページURL\",\"商品管理番号\",\"商品名\",\"卸価格(前)\",\"卸価格(後)\","
              "\"メーカ希望小売価格(前)\",\"メーカ希望小売価格(後)\",\"販売状況(前)\",\"販売状況(後)\"\r\n"
              "\"新規\",\"https://www.vormla.jp/shop/1/VM-3\",\"VM-3\",\"品 "
              "VM-3\",\"\",\"300円\",\"\",\"\",\"\",\"在庫あり\"\r\n"
              "\"価格変更\",\"https://www.vormla.jp/shop/1/VM-1\",\"VM-1\",\"品 "
              "VM-1\",\"1,000円\",\"1,200円\",\"\",\"\",\"在庫あり\",\"品切れ中\"\r\n"
              "\"販売状況変更\",\"https://www.vormla.jp/shop/1/VM-1\",\"VM-1\",\"品 "
              "VM-1\",\"1,000円\",\"1,200円\",\"\",\"\",\"在庫あり\",\"品切れ中\"\r\n");
    // In UTF-8 like every report written with --encoding utf-8; the viewer reads both.
    QFile report(folder + QStringLiteral("/changes-20240511-060000.csv"));
    report.open(QIODevice::ReadOnly);
    const QByteArray utf8 = "\xEF\xBB\xBF" + report.readAll();
    report.close();
    WriteFile(report.fileName(), utf8.toStdString());
    WritePicture(folder + QStringLiteral("/pictures/VM-1/VM-1_00.png"), Qt::red);
    WritePicture(folder + QStringLiteral("/pictures/VM-1/VM-1_01.png"), Qt::green);
    WritePicture(folder + QStringLiteral("/pictures/VM-2/VM-2_00.png"), Qt::blue);
    return folder;
  }

  std::unique_ptr<viewer::ViewerWindow> NewWindow() {
    services_ = FakeServices();
    const QString recent = dir_.filePath(QStringLiteral("recent-%1.ini").arg(++windows_));
    auto window = std::make_unique<viewer::ViewerWindow>(services_, recent);
    window->show();
    return window;
  }

  static bool WaitLoaded(viewer::ViewerWindow& window, int rows) {
    return QTest::qWaitFor([&] { return !window.Results().Loading() && window.Results().Rows().rowCount() == rows; },
                           5000);
  }

  // Selects the shown row whose 商品管理番号 is number.
  static void Select(viewer::ViewerWindow& window, const QString& number) {
    viewer::ResultFilterModel& shown = window.Results().Shown();
    for (int r = 0; r < shown.rowCount(); ++r) {
      if (shown.index(r, viewer::ResultModel::ViewColumn(kManagementNo)).data().toString() == number) {
        window.Results().Table().selectRow(r);
      }
    }
  }

 private slots:
  void OpensAFileAndRemembersIt() {
    const QString folder = WatchFolder();
    auto window = NewWindow();
    QCOMPARE(window->windowTitle(), QStringLiteral("結果ビューア"));
    QVERIFY(window->OpenFile(folder + "/" + kOlder));
    QVERIFY(WaitLoaded(*window, 2));
    QVERIFY(services_.Messages.isEmpty());
    QCOMPARE(window->History().ResultList().count(), 0);  // a single file has no history
    QCOMPARE(window->Recent().Entries().front().Path, folder + "/" + kOlder);
    QVERIFY(!window->Recent().Entries().front().Folder);
  }

  void OpensAWatchFolderWithItsResultsReportAndNewestRows() {
    const QString folder = WatchFolder();
    auto window = NewWindow();
    QVERIFY(window->OpenFolder(folder));
    QVERIFY(WaitLoaded(*window, 3));  // the newest result
    QCOMPARE(window->History().ResultList().count(), 2);
    QCOMPARE(window->History().ResultList().item(0)->text(), QStringLiteral("2024-05-11 06:00:00"));
    QCOMPARE(window->History().Counts().text(), QStringLiteral("新規 1、終了 0、価格変更 1、販売状況変更 1、更新 0"));
    QTableWidget& report = window->History().Report();
    QCOMPARE(report.rowCount(), 3);
    QCOMPARE(report.item(1, 0)->text(), QStringLiteral("価格変更"));
    QVERIFY(report.item(0, 0)->background() != report.item(1, 0)->background());
    QVERIFY(report.item(1, 0)->background() != report.item(2, 0)->background());
    QCOMPARE(window->Recent().Entries().front().Path, folder);
    QVERIFY(window->Recent().Entries().front().Folder);
    QVERIFY(services_.Messages.isEmpty());
  }

  // As a watch's desktop notice opens it: an older report of the folder, with
  // the rows it was made for.
  void OpensOneReportOfAFolder() {
    const QString folder = WatchFolder();
    const QString older = folder + QStringLiteral("/changes-20240510-060000.csv");
    WriteFile(older,
              "\xEF\xBB\xBF\"変化\",\"詳細ページURL\",\"商品管理番号\",\"商品名\",\"卸価格(前)\",\"卸価格(後)\","
              "\"メーカ希望小売価格(前)\",\"メーカ希望小売価格(後)\",\"販売状況(前)\",\"販売状況(後)\"\r\n"
              "\"終了\",\"https://www.vormla.jp/shop/1/VM-9\",\"VM-9\",\"品 "
              "VM-9\",\"900円\",\"\",\"\",\"\",\"在庫あり\",\"\"\r\n");
    auto window = NewWindow();
    QVERIFY(window->OpenReport(older));
    QVERIFY(WaitLoaded(*window, 2));  // the result of 2024-05-10
    QCOMPARE(window->Tabs().currentIndex(), 1);
    QCOMPARE(window->History().Counts().text(), QStringLiteral("新規 0、終了 1、価格変更 0、販売状況変更 0、更新 0"));
    QCOMPARE(window->History().Report().item(0, 2)->text(), QStringLiteral("VM-9"));
    QCOMPARE(window->Shown(), folder);
    QVERIFY(services_.Messages.isEmpty());

    // What is no report of a watch folder is said, and nothing else changes.
    for (const QString& wrong : {folder + QStringLiteral("/changes-nosuch.csv"), folder + "/" + kNewer}) {
      services_.Messages.clear();
      QVERIFY(!window->OpenReport(wrong));
      QCOMPARE(services_.Messages.size(), 1);
      QCOMPARE(services_.Messages.front().Text,
               wrong.endsWith(kNewer)
                   ? wrong + QStringLiteral(" は変化レポート (changes-YYYYMMDD-HHMMSS.csv) ではありません。")
                   : QStringLiteral("ファイル %1 が見つかりません。").arg(wrong));
      QCOMPARE(window->Shown(), folder);
    }
  }

  void AMissingFileGivesAMessageAndNothingElse_data() {
    QTest::addColumn<bool>("asFolder");
    QTest::newRow("file") << false;
    QTest::newRow("folder") << true;
  }
  void AMissingFileGivesAMessageAndNothingElse() {
    QFETCH(bool, asFolder);
    const QString folder = WatchFolder();
    auto window = NewWindow();
    QVERIFY(window->OpenFile(folder + "/" + kNewer));
    QVERIFY(WaitLoaded(*window, 3));
    const QString missing = dir_.filePath(QStringLiteral("nosuch"));
    QVERIFY(asFolder ? !window->OpenFolder(missing) : !window->OpenFile(missing + ".csv"));
    QCOMPARE(services_.Messages.size(), 1);
    QCOMPARE(services_.Messages.front().Text, asFolder
                                                  ? QStringLiteral("フォルダ %1 が見つかりません。").arg(missing)
                                                  : QStringLiteral("ファイル %1.csv が見つかりません。").arg(missing));
    QCOMPARE(services_.Messages.front().Caption, QStringLiteral("結果ビューア"));
    // What was shown stays.
    QCOMPARE(window->Results().Rows().rowCount(), 3);
    QCOMPARE(window->Shown(), folder + "/" + kNewer);
    QCOMPARE(window->Recent().Entries().size(), 1);
  }

  void ASelectedRowShowsItsPicturesAndOpensItsPage() {
    const QString folder = WatchFolder();
    auto window = NewWindow();
    QVERIFY(window->OpenFile(folder + "/" + kNewer));
    QVERIFY(WaitLoaded(*window, 3));
    viewer::DetailPane& details = window->Results().Details();

    Select(*window, QStringLiteral("VM-1"));
    QCOMPARE(details.PicturePaths(),
             (QStringList{folder + "/pictures/VM-1/VM-1_00.png", folder + "/pictures/VM-1/VM-1_01.png"}));
    QTRY_VERIFY(!details.PictureLabels().at(0)->pixmap().isNull() && !details.PictureLabels().at(1)->pixmap().isNull());
    QCOMPARE(details.PictureLabels().at(1)->pixmap().toImage().pixelColor(120, 120), QColor(Qt::green));
    QCOMPARE(details.Value(QStringLiteral("卸価格")), QStringLiteral("1,200円"));
    QTest::mouseClick(details.findChild<QPushButton*>(), Qt::LeftButton);
    QCOMPARE(services_.Urls, QList<QUrl>{QUrl(QStringLiteral("https://www.vormla.jp/shop/1/VM-1"))});

    // The table's thumbnail is the first picture, loaded off the GUI thread.
    viewer::ResultFilterModel& shown = window->Results().Shown();
    QTRY_VERIFY(
        !shown.index(0, viewer::ResultModel::kPictureColumn).data(Qt::DecorationRole).value<QPixmap>().isNull());

    Select(*window, QStringLiteral("VM-3"));  // no pictures saved
    QVERIFY(details.PicturePaths().isEmpty());
    QVERIFY(details.PictureLabels().isEmpty());
    QVERIFY(!shown.index(2, viewer::ResultModel::kPictureColumn).data(Qt::DecorationRole).isValid());
  }
};

QObject* NewWindowTest() { return new WindowTest; }

}  // namespace vormla::viewtest

#include "WindowTest.moc"
