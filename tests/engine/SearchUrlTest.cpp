// The search URL and the category label for every kind of condition.
#include <gtest/gtest.h>

#include "FakeWebAccess.h"
#include "JobTestKit.h"
#include "engine/RetrievalJob.h"

namespace vormla {
namespace {

const std::string kRoot = "https://market.test";
const std::string kPlainTail = "&ex_so=N&sort=score&sort_operate_flg=Y";

class SearchUrlTest : public ::testing::Test {
 protected:
  // The URL for the conditions and nodes set up by the test; the label lands in label.
  std::string Url(int index) {
    RetrievalJob job(conditions, nodes, {}, observer, web, kRoot);
    const std::string url = job.BuildSearchUrl(index);
    label = job.StatusText;
    return url;
  }
  // Only the query after the category id, for the whole-site search.
  std::string Tail() {
    const std::string url = Url(-1);
    const std::string base = kRoot + "/search?category_id=80";
    EXPECT_EQ(url.rfind(base, 0), 0u) << url;
    return url.substr(base.size());
  }

  SearchConditions conditions;
  std::vector<CategoryNode> nodes = {
      {Utf8ToSjis(" 食品"), "1200", 0, -1},
      {Utf8ToSjis(" 米・雑穀"), "1234", 1, 0},
      {" Solo", " 77 ", 0, -1},
      {" Empty", "", 0, -1},
  };
  testing::RecordingObserver observer;
  testing::FakeWebAccess web;
  std::string label;
};

TEST_F(SearchUrlTest, WholeSite) {
  EXPECT_EQ(Url(-1), kRoot + "/search?category_id=80" + kPlainTail);
  EXPECT_EQ(label, Utf8ToSjis("全カテゴリ"));
}

TEST_F(SearchUrlTest, TopLevelFromTheComboBox) {
  conditions.TopCategory = {3, Utf8ToSjis("ファッション ")};  // the name taken as it is, blank included
  EXPECT_EQ(Url(-1), kRoot + "/search/?category_id=3" + kPlainTail);
  EXPECT_EQ(label, conditions.TopCategory.Name);
}

TEST_F(SearchUrlTest, SubCategoryLabelJoinsParentAndChild) {
  EXPECT_EQ(Url(1), kRoot + "/search/?category_id=1234" + kPlainTail);
  EXPECT_EQ(label, Utf8ToSjis("食品 > 米・雑穀"));
}

TEST_F(SearchUrlTest, TopLevelNodeUsesItsOwnCaptionAndTrimmedCode) {
  EXPECT_EQ(Url(2), kRoot + "/search/?category_id=77" + kPlainTail);
  EXPECT_EQ(label, "Solo");
  EXPECT_EQ(Url(3), kRoot + "/search/?category_id=" + kPlainTail);
  EXPECT_EQ(label, "Empty");
}

TEST_F(SearchUrlTest, NodeIndexPastTheTreeDoesNotCrash) {
  EXPECT_EQ(Url(40), kRoot + "/search/?category_id=" + kPlainTail);
  EXPECT_EQ(label, "");
}

TEST_F(SearchUrlTest, KeywordIsFormEncodedUtf8OfWhatCodePage932Writes) {
  const std::pair<std::string, std::string> cases[] = {
      {"  a b&c ", "a+b%26c"},
      {"食品", "%E9%A3%9F%E5%93%81"},
      {"AZaz09!$'()*-._@~/+%", "AZaz09!$'()*-._@%7E%2F%2B%25"},
      {"café", "cafe"},  // through the code page's best-fit row
  };
  for (const auto& [keyword, sent] : cases) {
    conditions.Keyword = keyword;
    EXPECT_EQ(Tail(), "&keyword=" + sent + kPlainTail) << keyword;
  }
}

TEST_F(SearchUrlTest, BlanksOnlyKeywordAddsNothing) {
  conditions.Keyword = "   ";
  EXPECT_EQ(Tail(), kPlainTail);
  // An ideographic blank is no blank to the trim: it is sent.
  conditions.Keyword = "　";
  EXPECT_EQ(Tail(), "&keyword=%E3%80%80" + kPlainTail);
}

TEST_F(SearchUrlTest, PriceBoundsAsTypedInTheirOrder) {
  conditions.WholesalePrice.Max = "5000";
  EXPECT_EQ(Tail(), "&facet_price_to=5000" + kPlainTail);
  conditions.WholesalePrice.Min = " 100 ";
  conditions.RetailPrice = {"7", "0009"};
  conditions.Keyword = "w";
  EXPECT_EQ(Tail(),
            "&keyword=w&facet_price_from=100&facet_price_to=5000&refrence_price_from=7"
            "&refrence_price_to=0009" +
                kPlainTail);
}

TEST_F(SearchUrlTest, StockAndDiscountFlags) {
  conditions.DiscountedOnly = true;
  EXPECT_EQ(Tail(), "&ex_so=N&disc_flg=Y&sort=score&sort_operate_flg=Y");
  conditions.InStockOnly = true;
  conditions.DiscountedOnly = false;
  EXPECT_EQ(Tail(), "&ex_so=Y&sort=score&sort_operate_flg=Y");
}

TEST_F(SearchUrlTest, EverySortIndex) {
  const std::pair<int, std::string> cases[] = {
      {0, "&sort=score&sort_operate_flg=Y"},
      {1, "&sort=sales&sort_operate_flg=Y"},
      {2, "&sort=new&sort_operate_flg=Y"},
      {3, "&sort=PD&sort_operate_flg=Y"},
      {4, "&sort=PA&sort_operate_flg=Y"},
      {5, ""},
      {-1, ""},
  };
  for (const auto& [index, sort] : cases) {
    conditions.Sort = index;
    EXPECT_EQ(Tail(), "&ex_so=N" + sort) << index;
  }
}

}  // namespace
}  // namespace vormla
