// Whole retrieval jobs of the real engine against the demo market: every CSV row
// must hold what the market says its pages carry.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DemoTestKit.h"

namespace vormla::testing {
namespace {

using ::testing::ElementsAre;

class DemoRunTest : public DemoTest {};

TEST_F(DemoRunTest, SubCategoriesOfAChosenTopLevelEntry) {
  std::vector<std::pair<std::string, std::string>> children;
  for (int i = 0; i < 14; ++i) children.emplace_back("小分類" + std::to_string(i + 1), std::to_string(2100 + i * 7));
  const auto nodes = Tree("キッチン&amp;雑貨", "21", children);
  SearchConditions c;
  c.TopCategory = {4, Utf8ToSjis("キッチン・日用品雑貨")};
  c.SelectedCategories = "1,3,4,5,6,7,8,9,10,11,12,13,14,";
  ItemFoundCode found = ItemFoundCode::kNoItem;
  const auto rows = RunJob(c, nodes, scratch_ / "run.csv", &found);

  const auto searches = Market().Searches();
  ASSERT_EQ(searches.size(), 13u);
  std::vector<std::string> columns;
  for (size_t k = 0; k < searches.size(); ++k) {
    EXPECT_TRUE(searches[k].signedIn);
    EXPECT_TRUE(searches[k].query.wellFormed) << searches[k].target;
    const int child = k == 0 ? 1 : static_cast<int>(k) + 2;
    EXPECT_EQ(searches[k].target, PlainTarget(children[static_cast<size_t>(child - 1)].second));
    columns.push_back("キッチン・日用品雑貨 > キッチン&amp;雑貨 > 小分類" + std::to_string(child));
  }
  const auto expected = Market().ExpectedRunRows(columns);
  ASSERT_GT(expected.size(), 40u);
  ExpectRows(rows, expected);
  EXPECT_EQ(found, ItemFoundCode::kItemWritten);
  EXPECT_EQ(rows[0][2], "キッチン・日用品雑貨 > キッチン&雑貨 > 小分類1");

  // The awkward cases of real pages came up in this run.
  int unpriced = 0, soldOut = 0, manyPictures = 0;
  for (const auto& item : expected) {
    unpriced += item.columns[8] == "卸価格は非公開";
    soldOut += item.columns[22] == "品切れ中";
    manyPictures += item.pictureUrls.size() > 10;
  }
  EXPECT_GT(unpriced, 0);
  EXPECT_GT(soldOut, 0);
  EXPECT_GT(manyPictures, 0);
}

TEST_F(DemoRunTest, WholeSiteSearchWithNothingSelected) {
  const auto rows = RunJob(SearchConditions{}, Tree("食品", "1", {}), scratch_ / "all.csv");
  const auto searches = Market().Searches();
  ASSERT_EQ(searches.size(), 1u);
  EXPECT_EQ(searches[0].target, "/search?category_id=80&ex_so=N&sort=score&sort_operate_flg=Y");
  EXPECT_GT(searches[0].hitCount, 1000);
  ExpectRows(rows, Market().ExpectedRunRows({"全カテゴリ"}));
  EXPECT_GE(rows.size(), 39u);
}

TEST_F(DemoRunTest, EveryConditionReachesTheSearch) {
  SearchConditions c;
  c.Keyword = " 食品 a&b ";
  c.WholesalePrice = {"500", "12000"};
  c.RetailPrice.Max = "30000";
  c.InStockOnly = true;
  c.Sort = 4;
  c.TopCategory = {2, Utf8ToSjis("食品")};
  const auto rows = RunJob(c, Tree("食品", "1", {}), scratch_ / "narrow.csv");
  const auto searches = Market().Searches();
  ASSERT_EQ(searches.size(), 1u);
  EXPECT_EQ(searches[0].target,
            "/search/?category_id=2&keyword=%E9%A3%9F%E5%93%81+a%26b&facet_price_from=500&facet_price_to=12000"
            "&refrence_price_to=30000&ex_so=Y&sort=PA&sort_operate_flg=Y");
  EXPECT_EQ(searches[0].query.keyword, "食品 a&b");
  EXPECT_TRUE(searches[0].query.wellFormed);
  // The top-level entry's text twice: once from the combo box, once as the label.
  ExpectRows(rows, Market().ExpectedRunRows({"食品 > 食品"}));
  for (const auto& row : rows) EXPECT_EQ(row[22], "在庫あり");
}

TEST_F(DemoRunTest, RequestsOfAJobComeInTheClientsOrder) {
  SearchConditions c;
  c.SelectedCategories = "1,";
  RunJob(c, Tree("文具", "6", {{"ノート", "6010"}}), scratch_ / "order.csv");
  const auto requests = Market().Requests();
  ASSERT_GE(requests.size(), 5u);
  std::vector<std::string> firstFour;
  for (size_t i = 0; i < 4; ++i) firstFour.push_back(requests[i].method + " " + requests[i].target);
  // The redirects after the sign-out and the login post are followed to the top page.
  EXPECT_THAT(firstFour, ElementsAre("GET /logout", "GET /", "GET /login", "POST /login"));
  EXPECT_EQ(requests[3].version, "HTTP/1.0");
  EXPECT_EQ(requests[3].Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(requests[3].Header("User-Agent"), "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; ARM; Trident/6.0)");
  EXPECT_EQ(requests[5].target, PlainTarget("6010"));
  EXPECT_EQ(requests[5].Header("User-Agent"), "Mozilla/5.0 (Windows NT 6.3; Trident/7.0; rv:11.0) like Gecko");
  // Item pages follow the result page, one per linked block, without the list's query.
  const auto served = Market().Searches().at(0);
  size_t next = 6;
  const long long read = std::min<long long>(served.hitCount, static_cast<long long>(served.blockUrls.size()));
  for (long long b = 0; b < read; ++b) {
    const std::string& url = served.blockUrls[static_cast<size_t>(b)];
    if (url.empty()) continue;
    ASSERT_LT(next, requests.size());
    EXPECT_EQ(Root() + requests[next].target, url);
    ++next;
  }
  EXPECT_EQ(next, requests.size()) << "no picture is fetched when saving is off";
}

}  // namespace
}  // namespace vormla::testing
