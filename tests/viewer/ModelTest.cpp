// The result table as the window shows it: read through the loader in every
// encoding and quoting, sorted by price and naturally, filtered and narrowed
// by category; a damaged file refused with its line.
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

#include "ViewerTestKit.h"
#include "engine/ResultColumns.h"
#include "viewer/ResultFilterModel.h"
#include "viewer/ResultModel.h"
#include "viewer/ResultsPage.h"

namespace vormla::viewtest {

namespace {

using namespace vormla::column;

// One fixture for every case: prices with and without tax, the two texts that
// are no price, an empty retail price, a quote inside a name.
std::vector<Row> Goods() {
  return {
      {{kManagementNo, "VM-2"},
       {kItemName, "ステンレス マグ"},
       {kBrand, "さくら堂"},
       {kCategory, "キッチン"},
       {kWholesalePrice, "3,290円"},
       {kRetailPrice, "52,640円 (税込)"},
       {kJanCode, "4901234567894"}},
      {{kManagementNo, "VM-10"},
       {kItemName, "タオル 2枚組"},
       {kBrand, "Hinode"},
       {kCategory, "タオル"},
       {kWholesalePrice, "卸価格は非公開"},
       {kRetailPrice, "オープン価格"},
       {kJanCode, "4900000000017"}},
      {{kManagementNo, "VM-1"},
       {kItemName, "Towel Gift"},
       {kBrand, "さくら堂"},
       {kCategory, "タオル"},
       {kWholesalePrice, "980円"}},
      {{kManagementNo, "VM-3"},
       {kItemName, "マグ 特価 \"限定\""},
       {kBrand, "Mori"},
       {kCategory, "キッチン"},
       {kWholesalePrice, "12,000円"},
       {kRetailPrice, "2,000円"}},
      {{kManagementNo, "VM-20"},
       {kItemName, "石けん"},
       {kWholesalePrice, "卸価格は非公開"},
       {kRetailPrice, "1,100円 (税込)"}},
  };
}

}  // namespace

class ModelTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir dir_;
  FakeServices services_;

  // Writes the fixture in that encoding and quoting and loads it into page.
  bool LoadGoods(viewer::ResultsPage& page, ResultEncoding encoding, Quoting quoting) {
    const QString path = dir_.filePath(QStringLiteral("goods.csv"));
    WriteFile(path, ResultBytes(Goods(), encoding, quoting));
    QSignalSpy loaded(&page, &viewer::ResultsPage::Loaded);
    QSignalSpy refused(&page, &viewer::ResultsPage::Refused);
    page.Open(path);
    return QTest::qWaitFor([&] { return !loaded.isEmpty() || !refused.isEmpty(); }, 5000) && !loaded.isEmpty();
  }
  // 商品管理番号 of the rows shown, top to bottom.
  static QStringList Numbers(viewer::ResultsPage& page) {
    QStringList numbers;
    viewer::ResultFilterModel& shown = page.Shown();
    for (int r = 0; r < shown.rowCount(); ++r) {
      numbers << shown.index(r, viewer::ResultModel::ViewColumn(kManagementNo)).data().toString();
    }
    return numbers;
  }

 private slots:
  void EveryEncodingAndQuotingGivesTheSameRows_data() {
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<bool>("undoubled");
    QTest::newRow("Shift-JIS, doubled quotes") << false << false;
    QTest::newRow("UTF-8, doubled quotes") << true << false;
    QTest::newRow("Shift-JIS, undoubled quotes") << false << true;
    QTest::newRow("UTF-8, undoubled quotes") << true << true;
  }
  void EveryEncodingAndQuotingGivesTheSameRows() {
    QFETCH(bool, utf8);
    QFETCH(bool, undoubled);
    viewer::ResultsPage page(services_);
    QVERIFY(LoadGoods(page, utf8 ? ResultEncoding::kUtf8 : ResultEncoding::kSjis,
                      undoubled ? Quoting::kUndoubled : Quoting::kDoubled));
    const std::vector<Row> goods = Goods();
    QCOMPARE(page.Rows().rowCount(), 5);
    for (int r = 0; r < 5; ++r) {
      for (const auto& [column, value] : goods[static_cast<size_t>(r)]) {
        QCOMPARE(page.Rows().Text(r, column), QString::fromStdString(value));
      }
    }
    QCOMPARE(page.Rows().headerData(viewer::ResultModel::ViewColumn(kWholesalePrice), Qt::Horizontal, Qt::DisplayRole),
             QVariant(QStringLiteral("卸価格")));
  }

  void SortsPricesByAmountWithTheTextsLastAndOtherColumnsNaturally_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("descending");
    QTest::addColumn<QStringList>("order");
    QTest::newRow("卸価格 up") << int{kWholesalePrice} << false
                               << QStringList{"VM-1", "VM-2", "VM-3", "VM-10", "VM-20"};
    QTest::newRow("卸価格 down") << int{kWholesalePrice} << true
                                 << QStringList{"VM-3", "VM-2", "VM-1", "VM-10", "VM-20"};
    QTest::newRow("小売価格 up") << int{kRetailPrice} << false << QStringList{"VM-20", "VM-3", "VM-2", "VM-10", "VM-1"};
    QTest::newRow("小売価格 down") << int{kRetailPrice} << true
                                   << QStringList{"VM-2", "VM-3", "VM-20", "VM-10", "VM-1"};
    QTest::newRow("管理番号 up") << int{kManagementNo} << false
                                 << QStringList{"VM-1", "VM-2", "VM-3", "VM-10", "VM-20"};
    QTest::newRow("管理番号 down") << int{kManagementNo} << true
                                   << QStringList{"VM-20", "VM-10", "VM-3", "VM-2", "VM-1"};
  }
  void SortsPricesByAmountWithTheTextsLastAndOtherColumnsNaturally() {
    QFETCH(int, column);
    QFETCH(bool, descending);
    QFETCH(QStringList, order);
    viewer::ResultsPage page(services_);
    QVERIFY(LoadGoods(page, ResultEncoding::kSjis, Quoting::kDoubled));
    page.Shown().sort(viewer::ResultModel::ViewColumn(column), descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    QCOMPARE(Numbers(page), order);
  }

  void FiltersByTextAndNarrowsByCategory_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("category");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("name, any letter case") << "towel"
                                           << "" << QStringList{"VM-1"};
    QTest::newRow("brand") << "さくら"
                           << "" << QStringList{"VM-2", "VM-1"};
    QTest::newRow("JAN code") << "4900000000017"
                              << "" << QStringList{"VM-10"};
    QTest::newRow("management number") << "vm-1"
                                       << "" << QStringList{"VM-10", "VM-1"};
    QTest::newRow("quote in a name") << "\"限定\""
                                     << "" << QStringList{"VM-3"};
    QTest::newRow("category") << ""
                              << "タオル" << QStringList{"VM-10", "VM-1"};
    QTest::newRow("category and text") << "hinode"
                                       << "タオル" << QStringList{"VM-10"};
    QTest::newRow("nothing") << "no such thing"
                             << "" << QStringList{};
    QTest::newRow("empty category") << ""
                                    << "(none)" << QStringList{};
  }
  void FiltersByTextAndNarrowsByCategory() {
    QFETCH(QString, text);
    QFETCH(QString, category);
    QFETCH(QStringList, shown);
    viewer::ResultsPage page(services_);
    QVERIFY(LoadGoods(page, ResultEncoding::kUtf8, Quoting::kDoubled));
    // Through the widgets, as the user narrows: the category list, then the box.
    if (!category.isEmpty()) {
      QListWidgetItem* found = nullptr;
      for (int i = 0; i < page.Categories().count(); ++i) {
        if (page.Categories().item(i)->data(Qt::UserRole).toString() == category) found = page.Categories().item(i);
      }
      if (category == QStringLiteral("(none)")) {
        page.Shown().SetCategory(category);
      } else {
        QVERIFY(found != nullptr);
        page.Categories().setCurrentItem(found);
      }
    }
    page.Filter().setText(text);  // as typed: each change reaches the filter
    QCOMPARE(Numbers(page), shown);
  }

  void ListsEachCategoryWithItsCount() {
    viewer::ResultsPage page(services_);
    QVERIFY(LoadGoods(page, ResultEncoding::kSjis, Quoting::kDoubled));
    QStringList texts;
    for (int i = 0; i < page.Categories().count(); ++i) texts << page.Categories().item(i)->text();
    QCOMPARE(texts, (QStringList{"すべてのカテゴリー (5)", "(カテゴリーなし) (1)", "キッチン (2)", "タオル (2)"}));
  }

  void RefusesADamagedFileNamingTheLine_data() {
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<QString>("where");
    QTest::newRow("35 fields on line 4") << QByteArray("\"x\"" + QByteArray(",\"\"").repeated(34) + "\r\n")
                                         << "4 行目: ";
    QTest::newRow("row cut off on line 4") << QByteArray("\"VM-9\",\"1") << "4 行目: ";
    QTest::newRow("not a result file") << QByteArray() << "1 行目: ";
  }
  void RefusesADamagedFileNamingTheLine() {
    QFETCH(QByteArray, tail);
    QFETCH(QString, where);
    const QString path = dir_.filePath(QStringLiteral("damaged.csv"));
    const std::vector<Row> goods = Goods();
    const std::vector<Row> two(goods.begin(), goods.begin() + 2);
    const std::string bytes = tail.isEmpty()
                                  ? std::string("a,b,c\r\n")
                                  : ResultBytes(two, ResultEncoding::kSjis, Quoting::kDoubled) + tail.toStdString();
    WriteFile(path, bytes);
    viewer::ResultsPage page(services_);
    QSignalSpy refused(&page, &viewer::ResultsPage::Refused);
    page.Open(path);
    QTRY_COMPARE(refused.size(), 1);
    const QString message = refused.front().front().toString();
    QVERIFY2(message.startsWith(path + QStringLiteral(" を結果ファイルとして読めません。\n") + where),
             qPrintable(message));
    QCOMPARE(page.Rows().rowCount(), 0);
  }
};

QObject* NewModelTest() { return new ModelTest; }

}  // namespace vormla::viewtest

#include "ModelTest.moc"
