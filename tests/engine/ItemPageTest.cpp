#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "ReaderTestKit.h"

namespace vormla::testing {
namespace {

// Reads one item page made of the given lines; the record stays for inspection.
class ItemPageTest : public ::testing::Test {
 protected:
  const ItemRecord& Read(const std::vector<std::string>& lines, const std::string& url = kItemUrl) {
    h.web.bodies[url] = PageOf(lines);
    h.worker->ReadItemPage(url);
    return h.worker->Record;
  }

  ReaderHarness h;
};

TEST_F(ItemPageTest, FullPageFillsEveryColumnAndWritesTheRow) {
  h.worker->StatusText = Sjis("キッチン用品");
  h.worker->Record[7] = Sjis("1,980円");
  h.worker->Record[8] = Sjis("1,200円");
  h.worker->Record[35] = kItemUrl;
  h.web.bodies[kItemUrl] = SampleItemPage();
  h.worker->ReadItemPage(kItemUrl);

  std::vector<std::string> expected(36);
  expected[0] = "TR-300";
  expected[1] = "884211";
  expected[2] = Sjis("キッチン用品");
  expected[3] = Sjis("木製トレイ 3枚セット & 布巾");
  expected[4] = Sjis("商品紹介天然木のトレイ");
  expected[5] = Sjis("株式会社ヴォルム商会");
  expected[6] = Sjis("ウッドワークス");
  expected[7] = Sjis("1,980円");
  expected[8] = Sjis("1,200円");
  expected[9] = Sjis("幅30cm×奥行20cm 高さ2cm");
  expected[15] = "4901234567894";
  expected[16] = Sjis("銀行振込、クレジットカード");
  expected[17] = Sjis("キャンペーン開催中、消費者直送OK");
  expected[18] = "4.8";
  expected[19] = Sjis("★★★");
  expected[20] = Sjis("★★☆");
  expected[21] = Sjis("★☆☆");
  expected[22] = Sjis("在庫あり");
  expected[23] = "2023/11/01";
  expected[24] = "https://www.vormla.jp/corpinfo/123";
  expected[25] = "https://img.vormla.jp/item/884211_1.jpg";
  expected[26] = "https://img.vormla.jp/item/884211_2.jpg";
  expected[35] = kItemUrl;
  std::string row;
  for (const auto& field : expected) row += (row.empty() ? "\"" : ",\"") + field + "\"";

  // The "<h1" after the form is never reached.
  EXPECT_EQ(h.ResultBytes(), row + "\r\n");
  EXPECT_EQ(h.worker->RowsWritten(), 1);
  EXPECT_EQ(h.Fetched(), std::vector<std::string>{kItemUrl});
}

TEST_F(ItemPageTest, OrdinaryMarkupBetweenTheMarkersChangesNothing) {
  h.web.bodies[kItemUrl] = SampleItemPage();
  h.worker->ReadItemPage(kItemUrl);
  const ItemRecord plain = h.worker->Record;
  h.worker->Record = {};
  h.web.bodies[kItemUrl] = SampleItemPage(1000);
  h.worker->ReadItemPage(kItemUrl);
  EXPECT_EQ(h.worker->Record, plain);
  EXPECT_EQ(plain[3], Sjis("木製トレイ 3枚セット & 布巾"));
}

TEST_F(ItemPageTest, PageWithoutMarkersStillGivesTheFixedColumns) {
  h.worker->StatusText = Sjis("食品");
  Read({"<html>", "<body>", "<p>nothing here</p>", "</body>"});
  std::vector<std::string> fields(36);
  fields[2] = Sjis("食品");
  fields[22] = Sjis("在庫あり");
  fields[24] = "https://www.vormla.jp/corpinfo/123";
  std::string row;
  for (const auto& field : fields) row += (row.empty() ? "\"" : ",\"") + field + "\"";
  EXPECT_EQ(h.ResultBytes(), row + "\r\n");
}

TEST_F(ItemPageTest, UnansweredFetchWritesNoRowAndSavesNoPicture) {
  // No answer, twice: the item is not read; its row would hold nothing of its own.
  h.worker->ReadItemPage(kItemUrl);
  EXPECT_EQ(h.web.CountOf(kItemUrl), 2u);
  EXPECT_EQ(h.worker->RowsWritten(), 0);
  EXPECT_EQ(h.worker->PagesNotRead(), 1);
  EXPECT_TRUE(h.web.CallsOf("DOWNLOAD").empty());
}

TEST_F(ItemPageTest, HeaderBlock) {
  const auto& r = Read({"<ul class=\"colItemData\">", "<li>商品管理番号：A-100（登録/更新：2023/11/01）</li>",
                        "<li>商品ID： 555 </li>", "<li>[ブランド]&nbsp;ACME</li>", "</ul>"});
  EXPECT_EQ(r[0], "A-100");
  EXPECT_EQ(r[23], "2023/11/01");
  EXPECT_EQ(r[1], "555");
  EXPECT_EQ(r[6], "ACME");
}

TEST_F(ItemPageTest, HeaderBlockWithoutParenthesisLeavesNumberAndDateEmpty) {
  const auto& r = Read({"<ul class=\"colItemData\">", "<li>商品管理番号：A-100 登録/更新：2023/11/01</li>",
                        "<li>商品ID：555</li>", "<li>[ブランド]ACME</li>"});
  EXPECT_EQ(r[0], "");
  EXPECT_EQ(r[23], "");
  EXPECT_EQ(r[1], "555");
  EXPECT_EQ(r[6], "ACME");
}

TEST_F(ItemPageTest, HeaderBlockNeedsThreeLinesAfterIt) {
  const auto& r = Read({"<p>x</p>", "<ul class=\"colItemData\">",
                        "<li>商品管理番号：A-100（登録/更新：2023/11/01）</li>", "<li>商品ID：555</li>"});
  EXPECT_EQ(r[0], "");
  EXPECT_EQ(r[1], "");
}

TEST(ItemPageImagesTest, NoHeaderBlockMeansNoNumberAndNoImagesSaved) {
  TempFolder images;
  SearchConditions conditions;
  conditions.Pictures = {true, images.Path().string() + "/"};
  const std::vector<std::string> body = {"<li>商品管理番号：A-100（登録/更新：2023/11/01）</li>",
                                         "<li>商品ID：555</li>", "<li>[ブランド]ACME</li>",
                                         "<img data-url=\"https://img.vormla.jp/a.jpg\">"};
  for (const bool withHeader : {false, true}) {
    ReaderHarness run(conditions);
    std::vector<std::string> lines = {withHeader ? "<ul class=\"colItemData\">" : "<ul class=\"other\">"};
    lines.insert(lines.end(), body.begin(), body.end());
    run.web.bodies[kItemUrl] = PageOf(lines);
    run.web.bodies["https://img.vormla.jp/a.jpg"] = "jpeg";
    run.worker->ReadItemPage(kItemUrl);
    EXPECT_EQ(run.worker->Record[25], "https://img.vormla.jp/a.jpg");
    if (withHeader) {
      EXPECT_EQ(run.worker->Record[0], "A-100");
      EXPECT_EQ(run.web.CallsOf("DOWNLOAD").size(), 1u);
    } else {
      for (int i : {0, 1, 6, 23}) EXPECT_EQ(run.worker->Record[i], "") << i;
      EXPECT_TRUE(run.web.CallsOf("DOWNLOAD").empty());
      EXPECT_TRUE(std::filesystem::is_empty(images.Path()));
    }
  }
}

TEST_F(ItemPageTest, ItemNameTakesTheLastHeadingAndDecodes) {
  const auto& r = Read({"<h1>最初の名前</h1>", "<h1 class=\"name\">次の　名前 &amp; &#039;箱&#039;</h1>"});
  EXPECT_EQ(r[3], Sjis("次の 名前 & '箱'"));
}

TEST_F(ItemPageTest, SupplierFromTheNextLineWhenItsOwnIsEmpty) {
  const auto& r = Read({"<h2 class=\"supplierHd\">", "  <a href=\"/corpinfo/9\">有限会社　サンプル</a>", "</h2>"});
  EXPECT_EQ(r[5], Sjis("有限会社 サンプル"));
  // A second-level heading of another class is passed over.
  const auto& other = Read({"<h2 class=\"otherHd\">別の見出し</h2>"});
  EXPECT_EQ(other[5], Sjis("有限会社 サンプル"));
}

TEST_F(ItemPageTest, IntroductionComesFromWhicheverLineIsFirst) {
  const auto& fromHeading =
      Read({"<h4 class=\"hdType04\">見出し</h4>", "<p>本文</p>", "<div class=\"userHtmlView\">後の説明</div>"});
  EXPECT_EQ(fromHeading[4], Sjis("見出し本文"));

  h.worker->Record[4].clear();
  const auto& fromBlock =
      Read({"<div class=\"userHtmlView\">先の説明　&amp;</div>", "<h4 class=\"hdType04\">見出し</h4>", "<p>本文</p>"});
  EXPECT_EQ(fromBlock[4], Sjis("先の説明 &"));
}

TEST_F(ItemPageTest, IntroductionOfALoneQuoteIsEmptyAndLeavesRoomForTheNext) {
  const auto& r = Read({"<div class=\"userHtmlView\">\"</div>", "<h4 class=\"hdType04\">見出し</h4>", "<p></p>"});
  EXPECT_EQ(r[4], Sjis("見出し"));
}

TEST_F(ItemPageTest, RatingsByTheirHeadings) {
  const auto& r =
      Read({"<dl>", "<dt>注目度</dt>", "<dd class=\"score twoScore\">", "<div class=\"itemScoreRatingItem\">",
            "<dt>人気度</dt>", "<dd class=\"score oneScore\">", "<div class=\"itemScoreRatingItem\">",
            "<dt>リピート度</dt>", "<dd class=\"score threeScore\">", "<div class=\"itemScoreRatingItem\">"});
  EXPECT_EQ(r[20], Sjis("★★☆"));
  EXPECT_EQ(r[19], Sjis("★☆☆"));
  EXPECT_EQ(r[21], Sjis("★★★"));
}

TEST_F(ItemPageTest, RatingWithoutScoreClassIsEmptyAndUnknownHeadingStoresNothing) {
  h.worker->Record[19] = "old";
  h.worker->Record[20] = "old";
  const auto& r = Read({"<dl>", "<dt>人気度</dt>", "<dd class=\"score\">", "<div class=\"itemScoreRatingItem\">",
                        "<dt>評価</dt>", "<dd class=\"threeScore\">", "<div class=\"itemScoreRatingItem\">"});
  EXPECT_EQ(r[19], "");
  EXPECT_EQ(r[20], "old");
  EXPECT_EQ(r[21], "");
}

TEST_F(ItemPageTest, RatingNeedsThreeLinesAbove) {
  const auto& r = Read({"<dt>人気度</dt>", "<dd class=\"threeScore\">", "<div class=\"itemScoreRatingItem\">"});
  EXPECT_EQ(r[19], "");
}

TEST_F(ItemPageTest, PaymentLabelsItemLabelsAndSupplierScore) {
  const auto& r =
      Read({"<span class=\"label labelColor10\">代引き</span>", "<span class=\"label labelColor09\">新商品</span>",
            "<span class=\"label labelColor10\">銀行振込</span>",
            "<span class=\"label labelColor09\">キャンペーン</span>", "<span class=\"supScoreNum\">3.0</span>",
            "<span class=\"supScoreNum\">4.2</span>", "<span class=\"labelColor10 labelColor09\">両方</span>"});
  EXPECT_EQ(r[16], Sjis("代引き、銀行振込、両方"));
  EXPECT_EQ(r[17], Sjis("新商品、キャンペーン開催中"));
  EXPECT_EQ(r[18], "4.2");
}

TEST_F(ItemPageTest, SpecRowJoinsValueLinesUntilTheCellEnds) {
  const auto& r = Read({"<table>", "<tr>", "<th class=\"specHd\">規格</th>", "<td>", "10cm<br>20cm", "</td>",
                        "<td>後ろのセル</td>", "</tr>"});
  EXPECT_EQ(r[10], "10cm 20cm");
}

TEST_F(ItemPageTest, SpecRowValueCleanUp) {
  const auto& r = Read({"<th class=\"specHd\">注意事項</th>", "<td>", "前<br/>後", "<p>　</p>", "a    b",
                        "<BR>大文字<Br>", "\"", "x", "</td>", "</tr>"});
  // "<br/>" is stripped like any tag; four blanks become two; a lone quote is skipped.
  EXPECT_EQ(r[11], Sjis("前後 a  b 大文字 x"));
}

TEST_F(ItemPageTest, SpecRowReadsAtMostTwentyNineLines) {
  std::vector<std::string> lines = {"<th class=\"specHd\">出荷条件</th>"};
  for (int i = 1; i <= 40; ++i) {
    // Appended rather than "v" + temporary: GCC 12 at -O3 sees a false overlap there.
    std::string line = "v";
    line += std::to_string(i);
    lines.push_back(std::move(line));
  }
  lines.push_back("</td>");
  const auto& r = Read(lines);
  std::string expected;
  for (int i = 1; i <= 29; ++i) expected += (i > 1 ? " v" : "v") + std::to_string(i);
  EXPECT_EQ(r[12], expected);
}

TEST_F(ItemPageTest, SpecRowStopsBeforeThePageEnds) {
  const auto& r = Read({"<th class=\"specHd\">良品返品</th>", "可", "last"});
  EXPECT_EQ(r[13], Sjis("可"));
}

TEST_F(ItemPageTest, SpecRowHeadingsRecognisedAndNot) {
  const auto& r = Read({"<th>規格</th>", "<td>bare tag</td>", "</tr>", "<th class=\"specHd\">jANコード</th>",
                        "<td>4900000000001</td>", "</tr>", "<th class=\"specHd\">色</th>", "<td>赤</td>", "</tr>",
                        "<th class=\"specHd\">注文について</th>", "<td>first</td>", "</tr>",
                        "<th class=\"specHd\">注文について</th>", "<td>second</td>", "</tr>"});
  EXPECT_EQ(r[10], "");
  EXPECT_EQ(r[15], "4900000000001");
  EXPECT_EQ(r[14], "second");
  for (int i : {9, 11, 12, 13, 17}) EXPECT_EQ(r[i], "") << i;
}

TEST_F(ItemPageTest, PermittedUsesFollowTheItemLabels) {
  const auto& r =
      Read({"<span class=\"label labelColor09\">キャンペーン</span>", "<th class=\"specHd\">消費者直送</th>",
            "<td><i class=\"fa fa-circle-o\"></i></td>", "<th class=\"specHd\">画像転載</th>",
            "<td><i class=\"fa fa-times\"></i></td>", "<th class=\"specHd\">csvダイレクト注文</th>",
            "<td><i class=\"fa fa-circle-o\"></i></td>", "</table>"});
  EXPECT_EQ(r[17], Sjis("キャンペーン開催中、消費者直送OK、") + "csv" + Sjis("ダイレクト注文OK"));
}

TEST_F(ItemPageTest, PermittedUseAloneAndWithoutMark) {
  const auto& r = Read({"<th class=\"specHd\">ネット販売</th>", "<td><i class=\"fa fa-circle-o\"></i></td>",
                        "<th class=\"specHd\">ネットオークション</th>", "<td>-</td>"});
  EXPECT_EQ(r[17], Sjis("ネット販売OK"));
}

TEST_F(ItemPageTest, SoldOutAndImageLines) {
  const auto& r =
      Read({"<p class=\"soldOutTxt\">品切れ中</p>", "<img class=\"thumb\" data-url=\"http://img.vormla.jp/a.jpg\">",
            "<img class=\"thumb\" src=\"https://img.vormla.jp/b.jpg\">"});
  EXPECT_EQ(r[22], Sjis("品切れ中"));
  EXPECT_EQ(r[25], "https://img.vormla.jp/a.jpg");
  EXPECT_EQ(r[26], "");
  EXPECT_EQ(h.worker->ImageCount, 1);
}

TEST_F(ItemPageTest, WalkEndsAtTheFormOrThePageEnd) {
  const auto& ended =
      Read({"<h1>前</h1>", "<form id=\"other\">", "<h1>中</h1>", "<form name=\"myform\">", "<h1>後</h1>"});
  EXPECT_EQ(ended[3], Sjis("中"));
  const auto& walked = Read({"<h1>前</h1>", "<p>本文</p>", "<h1>最後の行</h1>"});
  EXPECT_EQ(walked[3], Sjis("最後の行"));
}

TEST_F(ItemPageTest, LinesThatAreNotUtf8GiveEmptyValues) {
  const auto& r = Read({"<h1>\xff\xfe name</h1>", "<span class=\"supScoreNum\">\xe3\x81</span>"});
  EXPECT_EQ(r[3], "");
  EXPECT_EQ(r[18], "");
}

TEST_F(ItemPageTest, CompanyUrlDropsOnlyTheLastPiece) {
  Read({}, "https://www.vormla.jp/shop/123/ABC/");
  EXPECT_EQ(h.worker->Record[24], "https://www.vormla.jp/corpinfo/123/ABC");
  Read({}, "https://www.vormla.jp/item/77");
  EXPECT_EQ(h.worker->Record[24], "https://www.vormla.jp/item");
}

TEST_F(ItemPageTest, CancelledItemWritesNoRow) {
  h.web.onCall = [this](const RecordedCall&) { h.worker->Terminate(); };
  const auto& r = Read({"<h1>名前</h1>", "<h1>次</h1>", "<img data-url=\"https://img.vormla.jp/a.jpg\">"});
  // The line in hand is finished, then the walk stops.
  EXPECT_EQ(r[3], Sjis("名前"));
  EXPECT_EQ(r[25], "");
  EXPECT_EQ(h.worker->RowsWritten(), 0);
  EXPECT_EQ(h.ResultBytes(), "");
}

class ItemPageCategoryTest : public ::testing::TestWithParam<std::tuple<int, std::string, std::string, std::string>> {};

TEST_P(ItemPageCategoryTest, CategoryColumn) {
  const auto& [index, entry, label, column] = GetParam();
  SearchConditions conditions;
  conditions.TopCategory = {index, Sjis(entry)};
  ReaderHarness run(conditions);
  run.worker->StatusText = Sjis(label);
  run.worker->ReadItemPage(kItemUrl);
  EXPECT_EQ(run.worker->Record[2], Sjis(column));
}

INSTANTIATE_TEST_SUITE_P(Combo, ItemPageCategoryTest,
                         ::testing::Values(std::make_tuple(2, "食品", "食品 > 菓子", "食品 > 食品 > 菓子"),
                                           std::make_tuple(2, "食品", "食品", "食品 > 食品"),
                                           std::make_tuple(0, "全てのカテゴリー", "全てのカテゴリー",
                                                           "全てのカテゴリー")));

TEST(FindLabelColumnTest, HeadingsAndCase) {
  EXPECT_EQ(RetrievalJob::FindLabelColumn(Sjis("消費者直送")), 17);
  EXPECT_EQ(RetrievalJob::FindLabelColumn(Sjis("CSVダイレクト注文")), 17);
  EXPECT_EQ(RetrievalJob::FindLabelColumn(Sjis("サイズ・容量")), 9);
  EXPECT_EQ(RetrievalJob::FindLabelColumn(Sjis("JANコード")), 15);
  EXPECT_EQ(RetrievalJob::FindLabelColumn(Sjis("Janコード")), 15);
  EXPECT_EQ(RetrievalJob::FindLabelColumn(Sjis("JANコード ")), -1);
  EXPECT_EQ(RetrievalJob::FindLabelColumn(""), -1);
  // "コ" is 0x83 0x52; a trail byte is never case-folded, so 0x83 0x72 stays a different character.
  EXPECT_EQ(RetrievalJob::FindLabelColumn("JAN\x83\x72" + Sjis("ード")), -1);
}

TEST(CleanLineTest, TrimsConvertsAndStrips) {
  EXPECT_EQ(RetrievalJob::CleanLine("  <td class=\"x\"> 値 <b>1</b> </td>\t"), Sjis("値 1"));
  EXPECT_EQ(RetrievalJob::CleanLine("<p>\xe3\x81</p>"), "");
  EXPECT_EQ(RetrievalJob::CleanLine(""), "");
}

}  // namespace
}  // namespace vormla::testing
