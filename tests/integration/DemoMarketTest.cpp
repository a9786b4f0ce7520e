// The demo market on its own, reached through the program's HTTP layer: sign-in,
// searches and their conditions, item pages, pictures and test routes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <set>

#include "DemoTestKit.h"
#include "demo-market/DemoText.h"
#include "net/HttpFetch.h"

namespace vormla::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

[[maybe_unused]] ::testing::Environment* const kDemoEnvironment =
    ::testing::AddGlobalTestEnvironment(new DemoEnvironment);

class DemoMarketTest : public DemoTest {
 protected:
  std::string Get(const std::string& pathOrUrl) {
    const std::string url = pathOrUrl.rfind("https://", 0) == 0 ? pathOrUrl : Root() + pathOrUrl;
    std::string page;
    last_ = HttpGetPage(url, page);
    return page;
  }

  // The token of the login page's csrf meta line, "" when there is none.
  static std::string TokenOf(const std::string& page) {
    const std::string marker = "<meta name=\"csrf-token\" content=\"";
    const size_t at = page.find(marker);
    if (at == std::string::npos) return "";
    const size_t start = at + marker.size();
    return page.substr(start, page.find('"', start) - start);
  }

  std::string LoginBody(const std::string& token) const {
    return "&_token=" + token + "&bookmark=on&login_id=pelorint58&password=quastel74&refererURL=" + Root() + "/";
  }

  FetchResult last_;
};

TEST_F(DemoMarketTest, LoginWithTheRightFormSignsInAndShowsWholesalePrices) {
  Get("/logout");
  const std::string login = Get("/login");
  const std::string token = TokenOf(login);
  ASSERT_EQ(token.size(), 40u);
  // The token stands on a meta line of its own, its value closing the line.
  EXPECT_THAT(login, HasSubstr("\n    <meta name=\"csrf-token\" content=\"" + token + "\">\n"));

  std::string answer;
  const FetchResult posted = HttpPostPage(LoginBody(token), "/login", answer);
  EXPECT_EQ(posted.status, 200);  // the redirect to the top page was followed
  EXPECT_THAT(answer, HasSubstr("ようこそ"));
  ASSERT_EQ(Market().LoginAttempts().size(), 1u);
  EXPECT_TRUE(Market().LoginAttempts()[0].accepted) << Market().LoginAttempts()[0].reason;

  const std::string list = Get(PlainTarget("5001"));
  EXPECT_THAT(list, HasSubstr("卸価格&nbsp;"));
  EXPECT_THAT(list, Not(HasSubstr("loginPriceTxt")));
  ASSERT_EQ(Market().Searches().size(), 1u);
  EXPECT_TRUE(Market().Searches()[0].signedIn);

  // Signing out ends it.
  Get("/logout");
  EXPECT_THAT(Get(PlainTarget("5001")), Not(HasSubstr("卸価格&nbsp;")));
}

TEST_F(DemoMarketTest, WrongTokenOrStaleLoginPageLeavesTheVisitorSignedOut) {
  Get("/logout");
  const std::string token = TokenOf(Get("/login"));
  ASSERT_FALSE(token.empty());
  std::string answer;
  HttpPostPage(LoginBody(std::string(40, 'x')), "/login", answer);
  // A second login page replaces the token: the first one no longer counts.
  Get("/login");
  HttpPostPage(LoginBody(token), "/login", answer);

  const auto attempts = Market().LoginAttempts();
  ASSERT_EQ(attempts.size(), 2u);
  EXPECT_FALSE(attempts[0].accepted);
  EXPECT_FALSE(attempts[1].accepted);
  EXPECT_THAT(attempts[0].reason, HasSubstr("form body"));

  const std::string list = Get(PlainTarget("5001"));
  EXPECT_THAT(list, HasSubstr("loginPriceTxt"));
  EXPECT_THAT(list, Not(HasSubstr("afterPrice")));
  EXPECT_FALSE(Market().Searches().back().signedIn);
}

TEST_F(DemoMarketTest, LoginPostMustBeHttp10WithTheFormContentType) {
  httplib::SSLClient client("127.0.0.1", Market().Port());
  client.set_ca_cert_path(DemoEnvironment::CaFile().c_str());
  client.enable_server_certificate_verification(true);
  auto page = client.Get("/login");
  ASSERT_TRUE(page);
  const std::string cookie = page->get_header_value("Set-Cookie");
  const std::string session = cookie.substr(0, cookie.find(';'));
  const httplib::Headers headers{{"Cookie", session}};

  auto posted = client.Post("/login", headers, LoginBody(TokenOf(page->body)), "application/x-www-form-urlencoded");
  ASSERT_TRUE(posted);
  auto attempts = Market().LoginAttempts();
  ASSERT_EQ(attempts.size(), 1u);
  EXPECT_FALSE(attempts[0].accepted);
  EXPECT_EQ(attempts[0].reason, "version HTTP/1.1");
  EXPECT_FALSE(posted->has_header("Location"));

  // Whatever the client sent was recorded as sent.
  const auto requests = Market().Requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(requests.back().method, "POST");
  EXPECT_EQ(requests.back().version, "HTTP/1.1");
  EXPECT_EQ(requests.back().Header("content-type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(requests.back().body.rfind("&_token=", 0), 0u);
}

TEST_F(DemoMarketTest, SearchesHonourPriceStockDiscountAndSort) {
  const auto& goods = Market().Goods();
  for (const std::string code : {"1", "230", "5001", "80123", "9"}) {
    const std::string target = "/search/?category_id=" + code +
                               "&facet_price_from=1000&facet_price_to=15000&ex_so=Y&sort=PA&sort_operate_flg=Y";
    const auto query = demo::ParseSearchTarget(target);
    EXPECT_TRUE(query.wellFormed) << target;
    const auto listing = goods.MakeListing(query);
    int previous = 0;
    for (const auto key : listing.blocks) {
      if (key == 0) continue;
      const auto facts = goods.Facts(key);
      EXPECT_GE(facts.wholesale, 1000);
      EXPECT_LE(facts.wholesale, 15000);
      EXPECT_FALSE(facts.soldOut);
      EXPECT_GE(facts.wholesale, previous) << "ascending wholesale price";
      previous = facts.wholesale;
    }

    const auto retail = goods.MakeListing(demo::ParseSearchTarget(
        "/search/?category_id=" + code + "&refrence_price_from=2000&refrence_price_to=9000&ex_so=N&disc_flg=Y"));
    for (const auto key : retail.blocks) {
      if (key == 0) continue;
      EXPECT_GE(goods.Facts(key).retail, 2000);
      EXPECT_LE(goods.Facts(key).retail, 9000);
      EXPECT_TRUE(goods.Facts(key).discounted);
    }
  }
  // Sorting never loses or adds an item.
  const auto plain = goods.MakeListing(demo::ParseSearchTarget(PlainTarget("77")));
  auto bySales =
      goods.MakeListing(demo::ParseSearchTarget("/search/?category_id=77&ex_so=N&sort=sales&sort_operate_flg=Y"));
  auto a = plain.blocks, b = bySales.blocks;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  if (plain.blocks.size() < 40) {
    EXPECT_EQ(a, b);
  }
}

TEST_F(DemoMarketTest, QueryIsCheckedAgainstTheClientsKeyOrder) {
  EXPECT_TRUE(demo::ParseSearchTarget("/search?category_id=80&ex_so=N&sort=score&sort_operate_flg=Y").wellFormed);
  EXPECT_TRUE(demo::ParseSearchTarget("/search/?category_id=3&keyword=a+b%26c&facet_price_to=5000&ex_so=N&disc_flg=Y")
                  .wellFormed);
  EXPECT_FALSE(demo::ParseSearchTarget("/search/?category_id=3&ex_so=N&keyword=x").wellFormed);            // order
  EXPECT_FALSE(demo::ParseSearchTarget("/search/?category_id=3&sort=new&sort_operate_flg=Y").wellFormed);  // no ex_so
  EXPECT_FALSE(demo::ParseSearchTarget("/search/?category_id=3&reference_price_from=1&ex_so=N").wellFormed);
  EXPECT_FALSE(demo::ParseSearchTarget("/search?category_id=12&ex_so=N").wellFormed);           // only 80 without slash
  EXPECT_FALSE(demo::ParseSearchTarget("/search/?category_id=3&ex_so=N&sort=new").wellFormed);  // flag missing

  const auto q = demo::ParseSearchTarget(
      "https://127.0.0.1:1/search/"
      "?category_id=7&keyword=a+b%26c%E9%A3%9F%E5%93%81&ex_so=Y&disc_flg=Y&sort=PD&sort_operate_flg=Y");
  EXPECT_TRUE(q.wellFormed);
  EXPECT_EQ(q.categoryId, "7");
  EXPECT_EQ(q.keyword, "a b&c食品");
  EXPECT_TRUE(q.inStockOnly);
  EXPECT_TRUE(q.discountedOnly);
  EXPECT_EQ(q.sort, "PD");
}

TEST_F(DemoMarketTest, ResultPageCarriesTheMarkersTheReaderUses) {
  // A category listing more than a page shows the total with thousands separators.
  std::string code;
  demo::Listing listing;
  for (int i = 1; i < 200 && code.empty(); ++i) {
    listing = Market().Goods().MakeListing(demo::ParseSearchTarget(PlainTarget(std::to_string(i))));
    if (listing.hitCount > 1000) code = std::to_string(i);
  }
  ASSERT_FALSE(code.empty());
  const std::string page = Get(PlainTarget(code));
  EXPECT_THAT(page, HasSubstr("<p class=\"paginationTxt\">全" + demo::WithCommas(listing.hitCount) + "件中 1～"));

  // Every linked block: heading line, then the absolute detail link with its query.
  const auto served = Market().Searches().back();
  for (const auto& url : served.blockUrls) {
    if (url.empty()) continue;
    EXPECT_THAT(page, HasSubstr("<h3 class=\"showcaseHd\">\n<a href=\"" + url + "?ref=list\">"));
  }
  // The same search lists the same items; another category lists others.
  Get(PlainTarget(code));
  EXPECT_EQ(Market().Searches().back().blockUrls, served.blockUrls);
  Get(PlainTarget(code + "0"));
  EXPECT_NE(Market().Searches().back().blockUrls, served.blockUrls);
}

TEST_F(DemoMarketTest, ItemPagesAndPicturesAnswerOnlyForKnownItems) {
  const auto rows = Market().ExpectedRows(PlainTarget("4242"), "", true);
  ASSERT_FALSE(rows.empty());
  const std::string page = Get(rows[0].url);
  EXPECT_EQ(last_.status, 200);
  EXPECT_THAT(page, HasSubstr("<h1 class=\"itemName\">"));
  EXPECT_EQ(Get(rows[0].url), page);  // stable

  // The same code under another supplier is no item.
  std::string wrong = rows[0].url;
  wrong.insert(wrong.find("/shop/") + 6, "9");
  Get(wrong);
  EXPECT_EQ(last_.status, 404);

  std::set<std::string> seen;
  for (const auto& url : rows[0].pictureUrls) {
    const std::string bytes = Get(url);
    EXPECT_EQ(last_.status, 200) << url;
    EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n");
    EXPECT_EQ(bytes, Market().PictureBytes(url));
    seen.insert(bytes);
  }
  EXPECT_EQ(seen.size(), rows[0].pictureUrls.size()) << "every picture has its own bytes";
  Get(Root() + "/img/nothing.png");
  EXPECT_EQ(last_.status, 404);
}

TEST_F(DemoMarketTest, MissingPicturesAnswer404UntilServed) {
  std::string missing;
  for (int i = 1; i < 300 && missing.empty(); ++i) {
    for (const auto& item : Market().ExpectedRows(PlainTarget(std::to_string(i)), "", true)) {
      if (!item.missingPictureUrls.empty()) missing = item.missingPictureUrls[0];
    }
  }
  ASSERT_FALSE(missing.empty());
  Get(missing);
  EXPECT_EQ(last_.status, 404);
  Market().SetMissingPicturesServed(true);
  EXPECT_EQ(Get(missing), Market().PictureBytes(missing));
  EXPECT_EQ(last_.status, 200);
}

TEST_F(DemoMarketTest, PagesAndExpectationsStayWithinCodePage932) {
  int items = 0;
  for (int i = 0; i < 40; ++i) {
    const std::string target = PlainTarget(std::to_string(300 + i));
    for (const auto& item : Market().ExpectedRows(target, "", i % 2 == 0)) {
      ++items;
      StringList lines = SplitPageLines(Get(item.url));
      for (const auto& line : lines) {
        ASSERT_EQ(SjisToUtf8(Utf8ToSjis(line)), line) << item.url;
      }
      for (const auto& value : item.columns) ASSERT_EQ(SjisToUtf8(Utf8ToSjis(value)), value) << item.url;
    }
  }
  EXPECT_GT(items, 100);
}

TEST(DemoCatalogTest, BenchmarkSizesListEveryItemOnLargePages) {
  demo::CatalogOptions options;
  options.itemsPerSearch = 300;
  options.pageBytesMin = 30 * 1024;
  options.pageBytesMax = 80 * 1024;
  const demo::Catalog goods(1234, options);
  const auto query = demo::ParseSearchTarget(PlainTarget("101010"));
  const auto listing = goods.MakeListing(query);
  ASSERT_EQ(listing.blocks.size(), 300u);
  EXPECT_EQ(listing.hitCount, 300);
  EXPECT_EQ(std::count(listing.blocks.begin(), listing.blocks.end(), 0u), 0);
  EXPECT_EQ(std::set<std::uint64_t>(listing.blocks.begin(), listing.blocks.end()).size(), 300u);
  size_t smallest = SIZE_MAX, largest = 0;
  for (const auto key : listing.blocks) {
    const size_t size = goods.Item(key)->html.size();
    smallest = std::min(smallest, size);
    largest = std::max(largest, size);
  }
  EXPECT_GE(smallest, 30u * 1024);
  EXPECT_LE(largest, 82u * 1024);  // the last filler line may pass the mark
  EXPECT_GT(largest - smallest, 20u * 1024);
}

TEST_F(DemoMarketTest, TestRoutesAnswerAsSet) {
  Market().SetRoute("/test/exact", {203, "text/plain", std::string("a\0b\r\n", 5), {{"X-Demo", "1"}}});
  EXPECT_EQ(Get("/test/exact"), std::string("a\0b\r\n", 5));
  EXPECT_EQ(last_.status, 203);
  EXPECT_EQ(Get("/test/stall?ms=50"), "stalled");
  EXPECT_EQ(Get("/test/stall-body?ms=50"), std::string(2000, 'x'));
  Market().ClearRoutes();
  Get("/test/exact");
  EXPECT_EQ(last_.status, 404);
}

}  // namespace
}  // namespace vormla::testing

namespace vormla::testing {
namespace {

// Keys of a result page's items, in page order.
std::vector<std::uint64_t> KeysOf(const demo::DemoMarket& market, const std::vector<demo::ExpectedItem>& rows) {
  std::vector<std::uint64_t> keys;
  for (const demo::ExpectedItem& row : rows) {
    const std::string path = row.url.substr(market.SiteRoot().size() + 6);  // after "/shop/"
    const size_t slash = path.find('/');
    keys.push_back(market.Goods().KeyFromPath(path.substr(0, slash), path.substr(slash + 1)).value_or(0));
  }
  return keys;
}

TEST_F(DemoMarketTest, LaterRevisionsChangeTheGoodsAndRevisionZeroComesBack) {
  std::vector<std::string> targets;
  for (const char* category : {"4242", "101010", "101040", "777"}) targets.push_back(PlainTarget(category));
  auto snapshot = [&] {
    std::vector<std::string> pages;
    for (const std::string& target : targets) {
      pages.push_back(Get(target));
      for (const demo::ExpectedItem& row : Market().ExpectedRows(target, "", false)) pages.push_back(Get(row.url));
    }
    return pages;
  };
  const std::vector<std::string> before = snapshot();

  Market().SetCatalogueRevision(1);
  std::map<demo::ItemChange, int> seen;
  for (const std::string& target : targets) {
    Market().SetCatalogueRevision(0);
    const std::vector<demo::ExpectedItem> rows0 = Market().ExpectedRows(target, "", true);
    Market().SetCatalogueRevision(1);
    const std::vector<demo::ExpectedItem> rows1 = Market().ExpectedRows(target, "", true);
    const std::vector<std::uint64_t> keys0 = KeysOf(Market(), rows0), keys1 = KeysOf(Market(), rows1);
    // One item more at the end; the others in their order, less those gone.
    ASSERT_FALSE(keys1.empty());
    EXPECT_EQ(Market().Goods().RevisionChange(keys1.back()), demo::ItemChange::kAdded);
    std::vector<std::uint64_t> kept;
    for (const std::uint64_t key : keys0) {
      const demo::ItemChange change = Market().Goods().RevisionChange(key);
      ++seen[change];
      if (change != demo::ItemChange::kRemoved) kept.push_back(key);
    }
    EXPECT_EQ(kept, std::vector<std::uint64_t>(keys1.begin(), keys1.end() - 1)) << target;
    for (size_t i = 0; i < rows0.size(); ++i) {
      const auto at = std::find(keys1.begin(), keys1.end(), keys0[i]);
      if (at == keys1.end()) continue;
      const demo::ExpectedColumns& a = rows0[i].columns;
      const demo::ExpectedColumns& b = rows1[static_cast<size_t>(at - keys1.begin())].columns;
      const demo::ItemChange change = Market().Goods().RevisionChange(keys0[i]);
      for (size_t k = 0; k < a.size(); ++k) {
        const bool mayDiffer = (change == demo::ItemChange::kPrice && (k == 7 || k == 8)) ||
                               (change == demo::ItemChange::kStock && k == 22);
        if (!mayDiffer) {
          EXPECT_EQ(a[k], b[k]) << rows0[i].url << " column " << k + 1;
        }
      }
      if (change == demo::ItemChange::kStock) {
        EXPECT_NE(a[22], b[22]);
      }
      if (change == demo::ItemChange::kPrice && a[8] != "卸価格は非公開") {
        EXPECT_NE(a[8], b[8]);
      }
    }
  }
  EXPECT_GT(seen[demo::ItemChange::kRemoved], 0);
  EXPECT_GT(seen[demo::ItemChange::kPrice], 0);
  EXPECT_GT(seen[demo::ItemChange::kStock], 0);

  Market().SetCatalogueRevision(0);
  EXPECT_EQ(snapshot(), before);
}

}  // namespace
}  // namespace vormla::testing
