#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReaderTestKit.h"

namespace vormla::testing {
namespace {

const std::string kListUrl = "https://www.vormla.jp/search?ct=1";

std::string ItemUrl(int n) { return "https://www.vormla.jp/shop/12/item-" + std::to_string(n); }

std::string Pagination(const std::string& count) { return "<p class=\"paginationTxt\">" + count + "</p>"; }

// One item block as the result page lays it out.
std::vector<std::string> Block(const std::string& url, const std::vector<std::string>& prices = {
                                                           "<div class=\"retailPriceArea\">",
                                                           "<span class=\"label\">メーカ希望小売価格</span>",
                                                           "<span class=\"num\">1,980円</span>",
                                                           "</div>",
                                                           "<p class=\"afterPrice\">卸価格&nbsp;1,200円</p>",
                                                       }) {
  std::vector<std::string> lines = {"<section class=\"showcase\">", "  <h3 class=\"showcaseHd\">",
                                    "    <a href=\"" + url + "\" class=\"itemLink\">", "      品名", "    </a></h3>"};
  lines.insert(lines.end(), prices.begin(), prices.end());
  lines.push_back("</section>");
  return lines;
}

class ResultListTest : public ::testing::Test {
 protected:
  // A result page: the pagination paragraph first, then the blocks. Every item
  // page is served with its own name.
  void ServeList(const std::string& count, const std::vector<std::vector<std::string>>& blocks) {
    std::vector<std::string> lines = {Pagination(count), "<div class=\"showcaseList\">"};
    for (const auto& block : blocks) lines.insert(lines.end(), block.begin(), block.end());
    lines.push_back("</div>");
    h.web.bodies[kListUrl] = PageOf(lines);
  }
  void ServeItems(int count) {
    for (int n = 1; n <= count; ++n) h.web.bodies[ItemUrl(n)] = PageOf({"<h1>item " + std::to_string(n) + "</h1>"});
  }
  std::vector<std::string> ItemFetches() const {
    auto urls = h.Fetched();
    urls.erase(urls.begin());
    return urls;
  }

  ReaderHarness h;
};

TEST_F(ResultListTest, HitCountWithSeparatorsAndFewerBlocksThanHits) {
  ServeList("全1,234件中 1～20件を表示", {Block(ItemUrl(1)), Block(ItemUrl(2))});
  ServeItems(2);
  h.worker->StatusText = Sjis("食品");
  h.worker->ReadResultList(kListUrl);

  EXPECT_EQ(h.worker->ItemTotal, 1234);
  EXPECT_EQ(h.worker->ItemDone, 2);
  EXPECT_EQ(h.observer.events, (std::vector<std::string>{"item:1/1234", "item:2/1234"}));
  EXPECT_EQ(h.observer.statusTexts, (std::vector<std::string>{Sjis("食品"), Sjis("食品")}));
  EXPECT_EQ(ItemFetches(), (std::vector<std::string>{ItemUrl(1), ItemUrl(2)}));
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][3], "item 2");
  EXPECT_EQ(rows[1][35], ItemUrl(2));
}

TEST_F(ResultListTest, OnlyTheFirstPaginationParagraphCounts) {
  std::vector<std::string> lines = {"<div class=\"paginationTxt\">全9件</div>", Pagination("全1件中"),
                                    Pagination("全5件中")};
  const auto block = Block(ItemUrl(1));
  lines.insert(lines.end(), block.begin(), block.end());
  h.web.bodies[kListUrl] = PageOf(lines);
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(h.worker->ItemTotal, 1);
}

class HitCountTest : public ResultListTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(HitCountTest, UnreadableCountTakesNothing) {
  ServeList(GetParam(), {Block(ItemUrl(1))});
  ServeItems(1);
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(h.worker->ItemTotal, 0);
  EXPECT_EQ(h.observer.events, std::vector<std::string>{"item:0/0"});
  EXPECT_TRUE(ItemFetches().empty());
  EXPECT_TRUE(h.Rows().empty());
}

INSTANTIATE_TEST_SUITE_P(Texts, HitCountTest, ::testing::Values("全12", "12件中", "全十二件中", "全0件中", "全 件中"));

TEST_F(ResultListTest, MissingPageGivesOneProgressRefresh) {
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(h.worker->ItemTotal, 0);
  EXPECT_EQ(h.observer.events, std::vector<std::string>{"item:0/0"});
  EXPECT_EQ(h.Fetched(), (std::vector<std::string>{kListUrl, kListUrl}));  // no answer: one more try
}

TEST_F(ResultListTest, StopsWhenTheHitCountIsReached) {
  ServeList("全3件中", {Block(ItemUrl(1)), Block(ItemUrl(2)), Block(ItemUrl(3)), Block(ItemUrl(4)), Block(ItemUrl(5))});
  ServeItems(5);
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(h.worker->ItemDone, 3);
  EXPECT_EQ(h.observer.events, (std::vector<std::string>{"item:1/3", "item:2/3", "item:3/3"}));
  EXPECT_EQ(ItemFetches(), (std::vector<std::string>{ItemUrl(1), ItemUrl(2), ItemUrl(3)}));
  EXPECT_EQ(h.Rows().size(), 3u);
}

TEST_F(ResultListTest, ItemUrlLosesItsQuery) {
  ServeList("全1件中", {Block(ItemUrl(1) + "?ref=list&p=2")});
  ServeItems(1);
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(ItemFetches(), std::vector<std::string>{ItemUrl(1)});
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][35], ItemUrl(1));
  EXPECT_EQ(rows[0][24], "https://www.vormla.jp/corpinfo/12");
}

TEST_F(ResultListTest, BlockWithoutLinkIsCountedButNotRead) {
  auto noLink = Block(ItemUrl(1));
  noLink[2] = "    <a class=itemLink>";
  ServeList("全2件中", {noLink, Block(ItemUrl(2))});
  ServeItems(2);
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(h.observer.events, (std::vector<std::string>{"item:1/2", "item:2/2"}));
  EXPECT_EQ(ItemFetches(), std::vector<std::string>{ItemUrl(2)});
  EXPECT_EQ(h.Rows().size(), 1u);
}

TEST_F(ResultListTest, PriceForms) {
  ServeList("全4件中",
            {Block(ItemUrl(1)),
             Block(ItemUrl(2), {"<div class=\"retailPriceArea\">", "<span class=\"num\">2,500円</span>",
                                "<span class=\"unit\"> </span>", "</div>", "<p class=\"price\">卸価格 2,000円</p>"}),
             Block(ItemUrl(3), {"<div class=\"retailPriceArea\">", "<span>参考</span>",
                                "<span>3,000円&nbsp;(税込)</span>", "<p class=\"x afterPrice\">&nbsp;卸価格</p>"}),
             Block(ItemUrl(4), {"<p class=\"priceArea\">卸価格 9円</p>", "<p class=\"afterPrice\">800円</p>"})});
  ServeItems(4);
  h.worker->ReadResultList(kListUrl);
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0][7], Sjis("1,980円"));
  EXPECT_EQ(rows[0][8], Sjis("1,200円"));
  EXPECT_EQ(rows[1][7], Sjis("2,500円"));
  EXPECT_EQ(rows[1][8], Sjis("2,000円"));
  EXPECT_EQ(rows[2][7], Sjis("3,000円 (税込)"));
  // The paragraph was found but held no price: the default stands in.
  EXPECT_EQ(rows[2][8], Sjis("卸価格は非公開"));
  // Neither class form matches "priceArea".
  EXPECT_EQ(rows[3][7], "");
  EXPECT_EQ(rows[3][8], Sjis("800円"));
}

TEST_F(ResultListTest, WholesalePriceBeforeRetailEndsTheScan) {
  ServeList("全1件中",
            {Block(ItemUrl(1), {"<p class=\"afterPrice\">卸価格 700円</p>", "<div class=\"retailPriceArea\">",
                                "<span>a</span>", "<span>900円</span>", "</div>"})});
  ServeItems(1);
  h.worker->ReadResultList(kListUrl);
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][7], "");
  EXPECT_EQ(rows[0][8], Sjis("700円"));
}

TEST_F(ResultListTest, WholesalePriceOnlyWithinTheBlock) {
  std::vector<std::string> far;
  // The anchor and name lines take i = 1 to 3: the price at i = 149 is the last one read.
  for (int i = 0; i < 145; ++i) far.push_back("<span>filler</span>");
  std::vector<std::string> tooFar = far;
  far.push_back("<p class=\"afterPrice\">149円</p>");
  tooFar.push_back("<span>filler</span>");
  tooFar.push_back("<p class=\"afterPrice\">150円</p>");
  // Two headings in one section: the second ends the first block's scan.
  const std::vector<std::string> twoHeadings = {"<section class=\"showcase\">",      "  <h3 class=\"showcaseHd\">",
                                                "<a href=\"" + ItemUrl(3) + "\">",   "<span>x</span>",
                                                "  <h3 class=\"showcaseHd\">",       "<a href=\"" + ItemUrl(4) + "\">",
                                                "<p class=\"afterPrice\">400円</p>", "</section>"};
  ServeList("全6件中", {Block(ItemUrl(1), far), Block(ItemUrl(2), tooFar), twoHeadings,
                        Block(ItemUrl(5), {"<section class=\"inner\">", "<p class=\"afterPrice\">500円</p>"}),
                        Block(ItemUrl(6), {"<span>no price</span>"})});
  ServeItems(6);
  h.worker->ReadResultList(kListUrl);
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 6u);
  EXPECT_EQ(rows[0][8], Sjis("149円"));
  EXPECT_EQ(rows[1][8], Sjis("卸価格は非公開"));
  EXPECT_EQ(rows[2][8], Sjis("卸価格は非公開"));
  EXPECT_EQ(rows[3][8], Sjis("400円"));
  EXPECT_EQ(rows[4][8], Sjis("卸価格は非公開"));
  EXPECT_EQ(rows[5][8], Sjis("卸価格は非公開"));
}

TEST_F(ResultListTest, HeadingOnTheSecondToLastLineGivesUrlButNoScan) {
  h.web.bodies[kListUrl] =
      PageOf({Pagination("全1件中"), "<h3 class=\"showcaseHd\">", "<a href=\"" + ItemUrl(1) + "\">"});
  ServeItems(1);
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(ItemFetches(), std::vector<std::string>{ItemUrl(1)});
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][8], Sjis("卸価格は非公開"));
}

TEST_F(ResultListTest, RecordIsClearedForEachBlock) {
  ServeList("全2件中", {Block(ItemUrl(1)), Block(ItemUrl(2), {"<span>none</span>"})});
  h.web.bodies[ItemUrl(1)] = PageOf({"<h1>one</h1>", "<span class=\"supScoreNum\">4.0</span>"});
  h.web.bodies[ItemUrl(2)] = PageOf({"<p>plain</p>"});
  h.worker->ReadResultList(kListUrl);
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][18], "4.0");
  EXPECT_EQ(rows[1][3], "");
  EXPECT_EQ(rows[1][7], "");
  EXPECT_EQ(rows[1][18], "");
}

TEST_F(ResultListTest, CancelBetweenBlocksStopsBeforeTheNextIsCounted) {
  ServeList("全3件中", {Block(ItemUrl(1)), Block(ItemUrl(2)), Block(ItemUrl(3))});
  ServeItems(3);
  h.web.onCall = [this](const RecordedCall& call) {
    if (call.target == ItemUrl(1)) h.worker->Terminate();
  };
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(h.worker->ItemDone, 1);
  EXPECT_EQ(h.observer.events, std::vector<std::string>{"item:1/3"});
  EXPECT_EQ(ItemFetches(), std::vector<std::string>{ItemUrl(1)});
  EXPECT_TRUE(h.Rows().empty());
}

TEST_F(ResultListTest, CancelAfterTheCountTakesNoBlock) {
  ServeList("全3件中", {Block(ItemUrl(1)), Block(ItemUrl(2))});
  ServeItems(2);
  h.worker->Terminate();
  h.worker->ReadResultList(kListUrl);
  // The count on the first line is read, then the walk stops after that line.
  EXPECT_EQ(h.worker->ItemTotal, 3);
  EXPECT_EQ(h.worker->ItemDone, 0);
  EXPECT_TRUE(h.observer.events.empty());
  EXPECT_TRUE(ItemFetches().empty());
}

TEST_F(ResultListTest, CancelBeforeTheCountLineTakesNothing) {
  h.web.bodies[kListUrl] = PageOf({"<html>", Pagination("全3件中")});
  h.worker->Terminate();
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(h.worker->ItemTotal, 0);
  EXPECT_EQ(h.observer.events, std::vector<std::string>{"item:0/0"});
}

// ---------------------------------------------------------------- pages not read

TEST_F(ResultListTest, ItemWithoutAnswerIsTriedTwiceAndGetsNoRowNeverTheEarlierPage) {
  ServeList("全3件中", {Block(ItemUrl(1)), Block(ItemUrl(2)), Block(ItemUrl(3))});
  h.web.bodies[ItemUrl(1)] = PageOf({"<h1>item 1</h1>"});
  h.web.bodies[ItemUrl(3)] = PageOf({"<h1>item 3</h1>"});
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(ItemFetches(), (std::vector<std::string>{ItemUrl(1), ItemUrl(2), ItemUrl(2), ItemUrl(3)}));
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][3], "item 1");
  EXPECT_EQ(rows[1][3], "item 3");
  EXPECT_EQ(rows[1][35], ItemUrl(3));
  EXPECT_EQ(h.worker->PagesNotRead(), 1);
  EXPECT_EQ(h.worker->ItemDone, 3);  // counted and shown all the same
}

TEST_F(ResultListTest, OnlyNoAnswerAndServerErrorsAreTriedAgain) {
  struct Case {
    std::vector<CannedAnswer> answers;
    size_t requests;
    bool row;
  };
  const std::vector<Case> cases = {
      {{{404, "<h1>not found</h1>"}}, 1, false},
      {{{500, "<h1>error</h1>"}, {200, "<h1>item 1</h1>"}}, 2, true},
      {{{500, "<h1>error</h1>"}, {500, "<h1>error</h1>"}}, 2, false},
      {{{503, "<h1>busy</h1>"}, {404, "<h1>not found</h1>"}}, 2, false},
      {{{0, ""}, {200, "<h1>item 1</h1>"}}, 2, true},
      {{{302, "<h1>moved</h1>"}}, 1, false},
      {{{204, ""}}, 1, true},
  };
  for (const Case& c : cases) {
    ReaderHarness run;
    std::vector<std::string> lines = {Pagination("全1件中")};
    const auto block = Block(ItemUrl(1));
    lines.insert(lines.end(), block.begin(), block.end());
    run.web.bodies[kListUrl] = PageOf(lines);
    run.web.scripts[ItemUrl(1)] = c.answers;
    run.worker->ReadResultList(kListUrl);
    const std::string label = "first status " + std::to_string(c.answers[0].status);
    EXPECT_EQ(run.web.CountOf(ItemUrl(1)), c.requests) << label;
    const auto rows = run.Rows();
    ASSERT_EQ(rows.size(), c.row ? 1u : 0u) << label;
    if (c.row) {
      EXPECT_EQ(rows[0][3], c.answers.back().body.empty() ? "" : "item 1") << label;
    }
    EXPECT_EQ(run.worker->PagesNotRead(), c.row ? 0 : 1) << label;
  }
}

TEST_F(ResultListTest, ResultPageWithoutAnAnswerHoldsNoItems) {
  h.web.scripts[kListUrl] = {{0, ""}, {500, PageOf({Pagination("全1件中")})}};
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(h.web.CountOf(kListUrl), 2u);
  EXPECT_EQ(h.worker->ItemTotal, 0);
  EXPECT_EQ(h.observer.events, std::vector<std::string>{"item:0/0"});
  EXPECT_EQ(h.worker->PagesNotRead(), 1);
}

TEST_F(ResultListTest, LinksThatAreNotHttpsAreNotFetched) {
  ServeList("全3件中", {Block("http://www.vormla.jp/shop/12/plain"), Block("/shop/12/relative"), Block(ItemUrl(1))});
  ServeItems(1);
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(ItemFetches(), std::vector<std::string>{ItemUrl(1)});
  EXPECT_EQ(h.Rows().size(), 1u);
  EXPECT_EQ(h.worker->PagesNotRead(), 2);
}

TEST_F(ResultListTest, LinkWithABlankIsFetchedAsABrowserSendsIt) {
  const std::string url = "https://www.vormla.jp/shop/12/item 1\x7f\xe5\x93\x81";
  ServeList("全1件中", {Block(url)});
  h.web.bodies["https://www.vormla.jp/shop/12/item%201%7F%E5%93%81"] = PageOf({"<h1>encoded</h1>"});
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(ItemFetches(), std::vector<std::string>{"https://www.vormla.jp/shop/12/item%201%7F%E5%93%81"});
  const auto rows = h.Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][3], "encoded");
  EXPECT_EQ(rows[0][35], Sjis("https://www.vormla.jp/shop/12/item 1\x7f品"));  // the CSV keeps it as read
}

TEST_F(ResultListTest, FetchCutShortByACancelIsNeitherRetriedNorCounted) {
  ServeList("全2件中", {Block(ItemUrl(1)), Block(ItemUrl(2))});
  h.web.onCall = [&](const RecordedCall& call) {
    if (call.target == ItemUrl(1)) h.worker->Terminate();
  };
  h.worker->ReadResultList(kListUrl);
  EXPECT_EQ(ItemFetches(), std::vector<std::string>{ItemUrl(1)});
  EXPECT_TRUE(h.Rows().empty());
  EXPECT_EQ(h.worker->PagesNotRead(), 0);
}

}  // namespace
}  // namespace vormla::testing
