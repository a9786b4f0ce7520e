// GET and POST into memory against local HTTPS servers.
#include "HttpFetchTestKit.h"
#include "RawFaultServer.h"
#include "net/HttpFetch.h"

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace vormla::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kGetAgent[] = "Mozilla/5.0 (Windows NT 6.3; Trident/7.0; rv:11.0) like Gecko";
constexpr char kPostAgent[] = "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; ARM; Trident/6.0)";

// ---------------------------------------------------------------- cookies

TEST_F(HttpFetchTest, CookiesLastFromOneCallToTheNext) {
  std::string page;
  EXPECT_TRUE(HttpGetPage(server().Url("/set-cookie?name=first&value=one"), page).answered);
  EXPECT_EQ(page, "set");

  EXPECT_TRUE(HttpGetPage(server().Url("/echo-cookie"), page).answered);
  EXPECT_THAT(page, HasSubstr("first=one"));

  // A POST sends the jar's cookies too, and a cookie it receives reaches later GETs.
  EXPECT_TRUE(HttpPostPage("a=b", "/form", page).answered);
  EXPECT_THAT(server().LastSeen().Header("Cookie"), HasSubstr("first=one"));
  EXPECT_TRUE(HttpPostPage("a=b", "/login", page).answered);
  HttpGetPage(server().Url("/echo-cookie"), page);
  EXPECT_THAT(page, HasSubstr("session=after-post"));
}

TEST_F(HttpFetchTest, CookieSetOnARedirectReachesTheNextRequest) {
  std::string page;
  const FetchResult result = HttpGetPage(server().Url("/redirect-with-cookie?name=hop"), page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 200);
  // Only the final response's body lands in the page.
  EXPECT_THAT(page, HasSubstr("hop=from-redirect"));
  EXPECT_THAT(page, Not(HasSubstr("redirect body")));
}

TEST_F(HttpFetchTest, CookieJarIsSharedBetweenThreads) {
  std::string set;
  HttpGetPage(server().Url("/set-cookie?name=shared&value=yes"), set);
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      std::string page;
      for (int i = 0; i < 25; ++i) {
        HttpGetPage(server().Url("/echo-cookie"), page);
        if (page.find("shared=yes") != std::string::npos) ++good;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(good.load(), 100);
}

// ---------------------------------------------------------------- request bytes

TEST_F(HttpFetchTest, PostSendsTheBodyVerbatimAsHttp10ToTheSiteHost) {
  // Leading "&", a blank, a raw Shift-JIS byte pair and a control byte: none encoded.
  const std::string body = std::string("&user=a b&pw=\x82\xA0%2F\x01", 19);
  std::string page;
  const FetchResult result = HttpPostPage(body, "/form?step=2", page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(page, "posted");

  const SeenRequest seen = server().LastSeen();
  EXPECT_EQ(seen.method, "POST");
  EXPECT_EQ(seen.version, "HTTP/1.0");
  EXPECT_EQ(seen.target, "/form?step=2");
  EXPECT_EQ(seen.body, body);
  EXPECT_EQ(seen.Header("Host"), "127.0.0.1:" + std::to_string(server().port()));
  EXPECT_EQ(seen.Header("User-Agent"), kPostAgent);
  EXPECT_EQ(seen.Header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(seen.HeaderCount("Content-Type"), 1u);
  EXPECT_EQ(seen.Header("Content-Length"), std::to_string(body.size()));
  std::set<std::string> names;
  for (const auto& header : seen.headers) names.insert(header.first);
  names.erase("Cookie");  // the jar may hold cookies from earlier tests
  EXPECT_EQ(names, (std::set<std::string>{"Host", "User-Agent", "Accept", "Content-Type", "Content-Length"}));
  EXPECT_EQ(seen.Header("Accept"), "*/*");
}

TEST_F(HttpFetchTest, PostPathIsSentAsGivenAndNeverChangesTheHost) {
  std::string page;
  const std::string path = "//elsewhere.invalid/a/../b";
  EXPECT_TRUE(HttpPostPage("a=b", path, page).answered);
  EXPECT_EQ(page, "posted elsewhere");
  const SeenRequest seen = server().LastSeen();
  EXPECT_EQ(seen.target, path);
  EXPECT_EQ(seen.Header("Host"), "127.0.0.1:" + std::to_string(server().port()));
}

TEST_F(HttpFetchTest, EachOperationSendsItsOwnUserAgent) {
  std::string page;
  HttpGetPage(server().Url("/agent"), page);
  EXPECT_EQ(page, kGetAgent);
  const SeenRequest get = server().LastSeen();
  EXPECT_EQ(get.method, "GET");
  EXPECT_EQ(get.version, "HTTP/1.1");
  EXPECT_EQ(get.HeaderCount("User-Agent"), 1u);
  std::set<std::string> names;
  for (const auto& header : get.headers) names.insert(header.first);
  names.erase("Cookie");
  EXPECT_EQ(names, (std::set<std::string>{"Host", "User-Agent", "Accept"}));

  HttpPostPage("x=1", "/form", page);
  EXPECT_EQ(server().LastSeen().Header("User-Agent"), kPostAgent);
}

// ---------------------------------------------------------------- stored bytes

TEST_F(HttpFetchTest, BodyIsKeptByteForByte) {
  for (size_t size : {size_t{1}, size_t{999}, size_t{1000}, size_t{1001}, size_t{300000}}) {
    std::string page(5000, 'x');  // longer than some bodies: nothing of it may stay
    const FetchResult result = HttpGetPage(server().Url("/bytes?n=" + std::to_string(size)), page);
    EXPECT_TRUE(result.answered);
    EXPECT_EQ(result.failure, FetchFailure::kNone);
    EXPECT_TRUE(page == HttpTestServer::Bytes(size)) << "size " << size;
  }
}

TEST_F(HttpFetchTest, EmptyBodyGivesAnEmptyPage) {
  std::string page = "old page";
  EXPECT_TRUE(HttpGetPage(server().Url("/empty"), page).answered);
  EXPECT_EQ(page, "");
}

TEST_F(HttpFetchTest, PageBodyIsCutAt16MiB) {
  std::string page;
  const FetchResult result = HttpGetPage(server().Url("/chunked?n=" + std::to_string(HttpTestServer::kBigSize)), page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kNone);  // cut on purpose, not a failure
  EXPECT_EQ(page.size(), size_t{16} << 20);
  EXPECT_TRUE(page == HttpTestServer::Bytes(size_t{16} << 20));
}

TEST_F(HttpFetchTest, ErrorStatusIsAnAnswerAndItsPageIsKept) {
  std::string page;
  const FetchResult result = HttpGetPage(server().Url("/missing"), page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 404);
  EXPECT_EQ(page, "no such page");
}

TEST_F(HttpFetchTest, NoAnswerLeavesAnEmptyPageNeverThePreviousOne) {
  const std::string closed = "https://127.0.0.1:" + std::to_string(ClosedPort());
  std::string page("previous\0page\xff", 14);
  FetchResult result = HttpGetPage(closed + "/echo-cookie", page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.failure, FetchFailure::kRefused);
  EXPECT_EQ(page, "");

  ScopedEnv site("VORMLA_SITE_ROOT", closed.c_str());
  page = "previous";
  result = HttpPostPage("a=b", "/form", page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kRefused);
  EXPECT_EQ(page, "");

  page = "previous";
  result = HttpGetPage("https://no-such-host.invalid/", page);
  EXPECT_EQ(result.failure, FetchFailure::kHostNotFound);
  EXPECT_EQ(page, "");
}

TEST_F(HttpFetchTest, BodyThatBreaksOffIsNoAnswer) {
  // Promised 1000 bytes, 10 came: what arrived is no page to read.
  std::string page = "previous page";
  const FetchResult result = HttpGetPage(server().Url("/truncated"), page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kDropped);
  EXPECT_EQ(page, "");
}

// ---------------------------------------------------------------- https only

TEST_F(HttpFetchTest, NothingButHttpsIsFetchedOrFollowed) {
  PlainListener plain;
  server().SetPlainTarget(plain.Url("/echo-cookie"));
  std::string page;
  HttpGetPage(server().Url("/set-cookie?name=secret&value=s3"), page);

  page = "previous";
  FetchResult result = HttpGetPage(server().Url("/fault/to-http"), page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kNotHttps);
  EXPECT_EQ(page, "");

  result = HttpGetPage(plain.Url("/echo-cookie"), page);
  EXPECT_EQ(result.failure, FetchFailure::kNotHttps);
  EXPECT_EQ(plain.connections(), 0) << "no request, and no cookie, ever went out in clear";

  result = HttpGetPage(server().Url("/fault/to-file"), page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kNotHttps);
  result = HttpGetPage("file:///etc/hostname", page);
  EXPECT_EQ(result.failure, FetchFailure::kNotHttps);
  EXPECT_EQ(page, "");
}

TEST_F(HttpFetchTest, RedirectLoopEndsWithoutAnAnswer) {
  server().ClearSeen();
  std::string page = "previous";
  const FetchResult result = HttpGetPage(server().Url("/fault/loop"), page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kRedirectLoop);
  EXPECT_EQ(page, "");
  EXPECT_EQ(server().CountOf("/fault/loop"), 21u);  // the request and twenty redirects
}

// ---------------------------------------------------------------- below HTTP

class RawFaultTest : public HttpFetchTest {
 protected:
  static void SetUpTestSuite() {
    HttpFetchTest::SetUpTestSuite();
    raw_ = std::make_unique<RawFaultServer>(Ca());
  }
  static void TearDownTestSuite() {
    raw_.reset();
    HttpFetchTest::TearDownTestSuite();
  }
  static RawFaultServer& raw() { return *raw_; }

 private:
  static inline std::unique_ptr<RawFaultServer> raw_;
};

TEST_F(RawFaultTest, ResetBeforeTheHeadersIsNoAnswer) {
  std::string page = "previous";
  const FetchResult result = HttpGetPage(raw().Url("/reset"), page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kDropped);
  EXPECT_EQ(page, "");
  EXPECT_EQ(raw().CountOf("/reset"), 1);
}

TEST_F(RawFaultTest, HeaderLookingLikeAStatusLineWithTwentyDigitsIsJustAHeader) {
  // libcurl passes such a line on as a header; reading it as a status code would
  // overflow.
  std::string page;
  const FetchResult result = HttpGetPage(raw().Url("/digits"), page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(page, "ok");
  EXPECT_TRUE(DownloadTo(raw().Url("/digits"), Path("d.png")).saved);
  EXPECT_EQ(ReadFile(Path("d.png")), std::optional<std::string>("ok"));
}

// ---------------------------------------------------------------- TLS

TEST_F(HttpFetchTest, ServerOfAnUntrustedAuthorityIsRefused) {
  const demo::ThrowawayCa otherCa = demo::MakeThrowawayCa();
  HttpTestServer stranger(otherCa);
  std::string page = "previous";

  FetchResult result = HttpGetPage(stranger.Url("/agent"), page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kCertificate);
  EXPECT_EQ(page, "");
  EXPECT_TRUE(stranger.Seen().empty());
  {
    ScopedEnv noExtra("VORMLA_CA_FILE", nullptr);  // the system store alone
    EXPECT_EQ(HttpGetPage(stranger.Url("/agent"), page).failure, FetchFailure::kCertificate);
    ScopedEnv site("VORMLA_SITE_ROOT", stranger.Root().c_str());
    EXPECT_EQ(HttpPostPage("a=b", "/form", page).failure, FetchFailure::kCertificate);
  }
  EXPECT_TRUE(stranger.Seen().empty());

  // Naming the other authority's certificate makes the same server trusted.
  const std::string otherFile = Path("other-ca.pem");
  ASSERT_TRUE(demo::WriteCaFile(otherCa, otherFile));
  ScopedEnv trustOther("VORMLA_CA_FILE", otherFile.c_str());
  result = HttpGetPage(stranger.Url("/agent"), page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(page, kGetAgent);
}

TEST_F(HttpFetchTest, ServerCertificateCoversTheLocalHostName) {
  std::string page;
  const std::string url = "https://localhost:" + std::to_string(server().port()) + "/agent";
  EXPECT_TRUE(HttpGetPage(url, page).answered);
  EXPECT_EQ(page, kGetAgent);
}

// ---------------------------------------------------------------- cancel

TEST_F(HttpFetchTest, CancelFlagAbortsAStalledFetch) {
  std::string page = "before";
  std::atomic<bool> cancel{false};
  std::thread canceller([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel = true;
  });
  const auto start = std::chrono::steady_clock::now();
  const FetchResult result = HttpGetPage(server().Url("/stall"), page, &cancel);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  canceller.join();
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.failure, FetchFailure::kCancelled);
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  EXPECT_EQ(page, "");

  // An already set flag stops a POST before anything is kept.
  EXPECT_FALSE(HttpPostPage("a=b", "/form", page, &cancel).answered);
  EXPECT_EQ(page, "");
}

// ---------------------------------------------------------------- proxies

TEST_F(HttpFetchTest, GetConnectsDirectlyWhatEverTheProxySettings) {
  FakeProxy proxy(200);  // the GET has returned: any connection to it is already queued
  const std::string address = "http://127.0.0.1:" + std::to_string(proxy.port());
  ScopedEnv https("https_proxy", address.c_str());
  ScopedEnv all("ALL_PROXY", address.c_str());
  std::string page;
  EXPECT_TRUE(HttpGetPage(server().Url("/agent"), page).answered);
  EXPECT_EQ(proxy.Received(), "");
}

TEST_F(HttpFetchTest, PostGoesThroughTheConfiguredProxy) {
  FakeProxy proxy(3000);
  const std::string address = "http://127.0.0.1:" + std::to_string(proxy.port());
  ScopedEnv https("https_proxy", address.c_str());
  std::string page = "previous";
  const FetchResult result = HttpPostPage("a=b", "/form", page);
  const std::string expected = "CONNECT 127.0.0.1:" + std::to_string(server().port()) + " ";
  EXPECT_EQ(proxy.Received().substr(0, expected.size()), expected);
  // The proxy refused the tunnel: the site never answered.
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(page, "");
}

}  // namespace
}  // namespace vormla::testing
