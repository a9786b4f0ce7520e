// GET and POST into a file against local HTTPS servers.
#include "HttpFetchTestKit.h"
#include "web/HttpFetch.h"

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

namespace vormla::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::Optional;

constexpr char kGetAgent[] = "Mozilla/5.0 (Windows NT 6.3; Trident/7.0; rv:11.0) like Gecko";
constexpr char kPostAgent[] =
    "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; ARM; Trident/6.0)";

// ---------------------------------------------------------------- cookies

TEST_F(HttpFetchTest, CookiesLastFromOneCallToTheNext) {
  const std::string page = Path("page.html");
  EXPECT_TRUE(HttpGetToFile(server().Url("/set-cookie?name=first&value=one"), page).answered);
  EXPECT_THAT(ReadFile(page), Optional(std::string("set")));

  EXPECT_TRUE(HttpGetToFile(server().Url("/echo-cookie"), page).answered);
  EXPECT_THAT(ReadFile(page), Optional(HasSubstr("first=one")));

  // A POST sends the jar's cookies too, and a cookie it receives reaches later GETs.
  EXPECT_TRUE(HttpPostToFile("a=b", page, "/form").answered);
  EXPECT_THAT(server().LastSeen().Header("Cookie"), HasSubstr("first=one"));
  EXPECT_TRUE(HttpPostToFile("a=b", page, "/login").answered);
  HttpGetToFile(server().Url("/echo-cookie"), page);
  EXPECT_THAT(ReadFile(page), Optional(HasSubstr("session=after-post")));
}

TEST_F(HttpFetchTest, CookieSetOnARedirectReachesTheNextRequest) {
  const std::string page = Path("page.html");
  const FetchResult result =
      HttpGetToFile(server().Url("/redirect-with-cookie?name=hop"), page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 200);
  // Only the final response's body lands in the file.
  EXPECT_THAT(ReadFile(page), Optional(HasSubstr("hop=from-redirect")));
  EXPECT_THAT(ReadFile(page), Optional(Not(HasSubstr("redirect body"))));
}

TEST_F(HttpFetchTest, CookieJarIsSharedBetweenThreads) {
  HttpGetToFile(server().Url("/set-cookie?name=shared&value=yes"), Path("set.html"));
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::string page = Path("thread" + std::to_string(t));
      for (int i = 0; i < 25; ++i) {
        HttpGetToFile(server().Url("/echo-cookie"), page);
        const auto body = ReadFile(page);
        if (body && body->find("shared=yes") != std::string::npos) ++good;
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
  const std::string page = Path("page.html");
  const FetchResult result = HttpPostToFile(body, page, "/form?step=2");
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 200);
  EXPECT_THAT(ReadFile(page), Optional(std::string("posted")));

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
  EXPECT_EQ(names, (std::set<std::string>{"Host", "User-Agent", "Accept", "Content-Type",
                                          "Content-Length"}));
  EXPECT_EQ(seen.Header("Accept"), "*/*");
}

TEST_F(HttpFetchTest, PostPathIsSentAsGivenAndNeverChangesTheHost) {
  const std::string page = Path("page.html");
  const std::string path = "//elsewhere.invalid/a/../b";
  EXPECT_TRUE(HttpPostToFile("a=b", page, path).answered);
  EXPECT_THAT(ReadFile(page), Optional(std::string("posted elsewhere")));
  const SeenRequest seen = server().LastSeen();
  EXPECT_EQ(seen.target, path);
  EXPECT_EQ(seen.Header("Host"), "127.0.0.1:" + std::to_string(server().port()));
}

TEST_F(HttpFetchTest, EachOperationSendsItsOwnUserAgent) {
  const std::string page = Path("page.html");
  HttpGetToFile(server().Url("/agent"), page);
  EXPECT_THAT(ReadFile(page), Optional(std::string(kGetAgent)));
  const SeenRequest get = server().LastSeen();
  EXPECT_EQ(get.method, "GET");
  EXPECT_EQ(get.version, "HTTP/1.1");
  EXPECT_EQ(get.HeaderCount("User-Agent"), 1u);
  std::set<std::string> names;
  for (const auto& header : get.headers) names.insert(header.first);
  names.erase("Cookie");
  EXPECT_EQ(names, (std::set<std::string>{"Host", "User-Agent", "Accept"}));

  HttpPostToFile("x=1", page, "/form");
  EXPECT_EQ(server().LastSeen().Header("User-Agent"), kPostAgent);
}

// ---------------------------------------------------------------- stored bytes

TEST_F(HttpFetchTest, BodyIsStoredByteForByte) {
  const std::string page = Path("page.bin");
  for (size_t size : {size_t{1}, size_t{999}, size_t{1000}, size_t{1001}, size_t{300000}}) {
    WriteFile(page, std::string(5000, 'x'));  // longer than some bodies: must be truncated
    const FetchResult result =
        HttpGetToFile(server().Url("/bytes?n=" + std::to_string(size)), page);
    EXPECT_TRUE(result.answered);
    EXPECT_THAT(ReadFile(page), Optional(HttpTestServer::Bytes(size))) << "size " << size;
  }
}

TEST_F(HttpFetchTest, EmptyBodyGivesAnEmptyFile) {
  const std::string fresh = Path("fresh.html");
  EXPECT_TRUE(HttpGetToFile(server().Url("/empty"), fresh).answered);
  EXPECT_THAT(ReadFile(fresh), Optional(std::string()));

  const std::string previous = Path("previous.html");
  WriteFile(previous, "old page");
  EXPECT_TRUE(HttpGetToFile(server().Url("/empty"), previous).answered);
  EXPECT_THAT(ReadFile(previous), Optional(std::string()));
}

TEST_F(HttpFetchTest, PageBodyIsCutAt16MiB) {
  const std::string page = Path("big.html");
  const FetchResult result = HttpGetToFile(
      server().Url("/chunked?n=" + std::to_string(HttpTestServer::kBigSize)), page);
  EXPECT_TRUE(result.answered);
  const auto stored = ReadFile(page);
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ(stored->size(), size_t{16} << 20);
  EXPECT_TRUE(*stored == HttpTestServer::Bytes(size_t{16} << 20));
}

TEST_F(HttpFetchTest, ErrorStatusIsAnAnswerAndItsPageIsStored) {
  const std::string page = Path("page.html");
  const FetchResult result = HttpGetToFile(server().Url("/missing"), page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 404);
  EXPECT_THAT(ReadFile(page), Optional(std::string("no such page")));
}

TEST_F(HttpFetchTest, NoAnswerLeavesThePreviousFileAlone) {
  const std::string page = Path("page.html");
  const std::string previous("previous\0page\xff", 14);
  WriteFile(page, previous);
  const std::string closed = "https://127.0.0.1:" + std::to_string(ClosedPort());

  FetchResult result = HttpGetToFile(closed + "/echo-cookie", page);
  EXPECT_FALSE(result.answered);
  EXPECT_EQ(result.status, 0);
  EXPECT_THAT(ReadFile(page), Optional(previous));

  ScopedEnv site("VORMLA_SITE_ROOT", closed.c_str());
  result = HttpPostToFile("a=b", page, "/form");
  EXPECT_FALSE(result.answered);
  EXPECT_THAT(ReadFile(page), Optional(previous));

  const std::string absent = Path("absent.html");
  EXPECT_FALSE(HttpGetToFile(closed + "/", absent).answered);
  EXPECT_FALSE(std::filesystem::exists(absent));
}

TEST_F(HttpFetchTest, BodyThatBreaksOffKeepsWhatArrived) {
  const std::string page = Path("page.html");
  WriteFile(page, "previous page, longer than what arrives");
  const FetchResult result = HttpGetToFile(server().Url("/truncated"), page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 200);
  EXPECT_THAT(ReadFile(page), Optional(std::string("0123456789")));
}

TEST_F(HttpFetchTest, UnwritableOutputStillReportsTheAnswer) {
  // A folder stands where the file should go; it must survive untouched.
  const std::string folder = Path("folder");
  std::filesystem::create_directory(folder);
  const FetchResult result = HttpGetToFile(server().Url("/bytes?n=10"), folder);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(result.status, 200);
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

// ---------------------------------------------------------------- TLS

TEST_F(HttpFetchTest, ServerOfAnUntrustedAuthorityIsRefused) {
  const demo::ThrowawayCa otherCa = demo::MakeThrowawayCa();
  HttpTestServer stranger(otherCa);
  const std::string page = Path("page.html");
  WriteFile(page, "kept");

  FetchResult result = HttpGetToFile(stranger.Url("/agent"), page);
  EXPECT_FALSE(result.answered);
  EXPECT_THAT(ReadFile(page), Optional(std::string("kept")));
  EXPECT_TRUE(stranger.Seen().empty());
  {
    ScopedEnv noExtra("VORMLA_CA_FILE", nullptr);  // the system store alone
    EXPECT_FALSE(HttpGetToFile(stranger.Url("/agent"), page).answered);
    ScopedEnv site("VORMLA_SITE_ROOT", stranger.Root().c_str());
    EXPECT_FALSE(HttpPostToFile("a=b", page, "/form").answered);
  }
  EXPECT_THAT(ReadFile(page), Optional(std::string("kept")));

  // Naming the other authority's certificate makes the same server trusted.
  const std::string otherFile = Path("other-ca.pem");
  ASSERT_TRUE(demo::WriteCaFile(otherCa, otherFile));
  ScopedEnv trustOther("VORMLA_CA_FILE", otherFile.c_str());
  result = HttpGetToFile(stranger.Url("/agent"), page);
  EXPECT_TRUE(result.answered);
  EXPECT_THAT(ReadFile(page), Optional(std::string(kGetAgent)));
}

TEST_F(HttpFetchTest, ServerCertificateCoversTheLocalHostName) {
  const std::string page = Path("page.html");
  const std::string url = "https://localhost:" + std::to_string(server().port()) + "/agent";
  EXPECT_TRUE(HttpGetToFile(url, page).answered);
  EXPECT_THAT(ReadFile(page), Optional(std::string(kGetAgent)));
}

// ---------------------------------------------------------------- cancel

TEST_F(HttpFetchTest, CancelFlagAbortsAStalledFetch) {
  const std::string page = Path("page.html");
  WriteFile(page, "before");
  std::atomic<bool> cancel{false};
  std::thread canceller([&cancel] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    cancel = true;
  });
  const auto start = std::chrono::steady_clock::now();
  const FetchResult result = HttpGetToFile(server().Url("/stall"), page, &cancel);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  canceller.join();
  EXPECT_FALSE(result.answered);
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  EXPECT_THAT(ReadFile(page), Optional(std::string("before")));

  // An already set flag stops a POST before anything is stored.
  EXPECT_FALSE(HttpPostToFile("a=b", page, "/form", &cancel).answered);
  EXPECT_THAT(ReadFile(page), Optional(std::string("before")));
}

// ---------------------------------------------------------------- proxies

TEST_F(HttpFetchTest, GetConnectsDirectlyWhatEverTheProxySettings) {
  FakeProxy proxy(200);  // the GET has returned: any connection to it is already queued
  const std::string address = "http://127.0.0.1:" + std::to_string(proxy.port());
  ScopedEnv https("https_proxy", address.c_str());
  ScopedEnv all("ALL_PROXY", address.c_str());
  const std::string page = Path("page.html");
  EXPECT_TRUE(HttpGetToFile(server().Url("/agent"), page).answered);
  EXPECT_EQ(proxy.Received(), "");
}

TEST_F(HttpFetchTest, PostGoesThroughTheConfiguredProxy) {
  FakeProxy proxy(3000);
  const std::string address = "http://127.0.0.1:" + std::to_string(proxy.port());
  ScopedEnv https("https_proxy", address.c_str());
  const std::string page = Path("page.html");
  WriteFile(page, "kept");
  const FetchResult result = HttpPostToFile("a=b", page, "/form");
  const std::string expected = "CONNECT 127.0.0.1:" + std::to_string(server().port()) + " ";
  EXPECT_EQ(proxy.Received().substr(0, expected.size()), expected);
  // The proxy refused the tunnel: the site never answered.
  EXPECT_FALSE(result.answered);
  EXPECT_THAT(ReadFile(page), Optional(std::string("kept")));
}

}  // namespace
}  // namespace vormla::testing
