// A local Vormla marketplace over HTTPS on 127.0.0.1, for the integration tests,
// the benchmark and the demo. It signs members in (CSRF token, session cookie),
// answers searches with made-up goods, serves item pages and pictures, records
// every request, and tells a test which CSV rows a client must write.
#pragma once

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "demo-market/DemoCatalog.h"
#include "demo-market/ThrowawayCa.h"

namespace httplib {
class SSLServer;
struct Request;
struct Response;
}  // namespace httplib

namespace vormla::demo {

// The account the market always accepts (besides those it is given).
inline constexpr const char* kLoginId = "pelorint58";
inline constexpr const char* kPassword = "quastel74";
inline constexpr const char* kSessionCookie = "vormla_session";

struct DemoMarketOptions {
  int port = 0;      // 0: a free port
  int threads = 16;  // worker threads of the server
  // Idle keep-alive connections are closed after this long; Stop waits for them.
  int keepAliveSeconds = 1;
  CatalogOptions catalogue;  // item counts and page sizes (benchmark)
  // Members' own accounts it accepts as well: login ID and password (UTF-8).
  std::vector<std::pair<std::string, std::string>> accounts;
  std::optional<ThrowawayCa> ca;  // a CA to serve under (KeptCa) instead of a new one
};

struct RecordedRequest {
  std::string method;
  std::string target;   // path and query as sent
  std::string version;  // "HTTP/1.1", "HTTP/1.0"
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  bool signedIn = false;  // the session's state when the request arrived
  int status = 0;         // what the market answered

  // First value of a header (name compared without letter case), or "".
  std::string Header(const std::string& name) const;
};

// One login form post and what the market made of it.
struct LoginAttempt {
  bool accepted = false;
  std::string reason;   // why it was refused ("" when accepted)
  std::string loginId;  // the login ID the form carried, decoded ("" when the form was not read)
};

// One result page the market served.
struct ServedSearch {
  std::string target;
  SearchQuery query;
  bool signedIn = false;
  bool wholesaleShown = true;  // the page showed wholesale prices to a signed-in member
  long long hitCount = 0;
  std::vector<std::string> blockUrls;  // detail URLs (without query) in page order; "" = block without link
};

// What a client must write for one item: the 36 values of its CSV row (UTF-8, as
// read back from the Shift-JIS file) and the pictures it must download.
struct ExpectedItem {
  std::string url;  // detail URL without query
  ExpectedColumns columns;
  std::vector<std::string> pictureUrls;         // every distinct picture, in page order
  std::vector<std::string> missingPictureUrls;  // those answering 404 (see SetMissingPicturesServed)
  // False when the management number is empty or no safe folder name.
  bool picturesSaved = false;
};

// Canned answer for a test route.
struct CannedResponse {
  int status = 200;
  std::string contentType = "application/octet-stream";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
};

class DemoMarket {
 public:
  explicit DemoMarket(DemoMarketOptions options = {});
  ~DemoMarket();
  DemoMarket(const DemoMarket&) = delete;
  DemoMarket& operator=(const DemoMarket&) = delete;

  // Binds 127.0.0.1 and serves on a thread of its own. False when the port is taken.
  bool Start();
  void Stop();  // also ends stalled test routes

  int Port() const { return port_; }
  std::string SiteRoot() const;  // "https://127.0.0.1:PORT"
  const std::string& CaPem() const { return ca_.caCertPem; }
  bool WriteCaFile(const std::string& path) const;

  // What arrived, oldest first.
  std::vector<RecordedRequest> Requests() const;
  std::vector<LoginAttempt> LoginAttempts() const;
  std::vector<ServedSearch> Searches() const;
  void ClearRecords();

  // The rows a client writes for one search (target or absolute URL) with the given
  // category column text (before entity decoding, UTF-8) and sign-in state: the
  // linked blocks among the first hit-count blocks of the page, in page order.
  std::vector<ExpectedItem> ExpectedRows(const std::string& searchTarget, const std::string& categoryColumn,
                                         bool signedIn) const;
  // The rows for every search served so far, in order: the k-th served search with
  // categoryColumns[k] and the sign-in state it was served with. Empty when the
  // counts differ.
  std::vector<ExpectedItem> ExpectedRunRows(const std::vector<std::string>& categoryColumns) const;
  // The expectation for one item page URL (absolute, query ignored) listed by a
  // search with that category column.
  ExpectedItem ExpectedFor(const std::string& itemUrl, const std::string& categoryColumn, bool signedIn) const;

  // Bytes of a picture path or URL ("" when the market has no such picture).
  std::string PictureBytes(const std::string& pathOrUrl) const;
  // Missing pictures answer 404 until this is turned on.
  void SetMissingPicturesServed(bool served) { serveMissing_ = served; }

  // Faults of the sign-in, for trying out what a client makes of them: the
  // login form answered with this status and nobody signed in (0: as usual); a
  // login page without its CSRF token; result pages that show no wholesale price
  // to anyone, signed in or not.
  void SetLoginFormStatus(int status) { loginFormStatus_ = status; }
  void SetLoginTokenShown(bool shown) { loginTokenShown_ = shown; }
  void SetWholesaleShown(bool shown) { wholesaleShown_ = shown; }

  // Test routes: an exact answer for a path (GET), replacing any earlier one.
  void SetRoute(const std::string& path, CannedResponse response);
  // Forgets the test routes and the sign-in faults.
  void ClearRoutes();
  // Test routes for the memory bound: "/search" lists one item and is padded with
  // bare line breaks to 16 MiB; the item's page ("/shop/1/PAD") is 16 MiB of them.
  void ServeLineBreakPages();
  // A new signed-in session, as if the login form had been posted; its cookie value.
  std::string OpenSignedInSession();
  // One more member account to accept.
  void AcceptAccount(const std::string& loginId, const std::string& password);

  const Catalog& Goods() const { return *catalog_; }
  // Changes the goods between two runs (Catalog::SetRevision).
  void SetCatalogueRevision(int revision) {
    if (catalog_)
      catalog_->SetRevision(revision);
    else
      options_.catalogue.revision = revision;
  }

 private:
  struct Session {
    std::string token;
    bool signedIn = false;
  };
  // One handler per route; those that return bool leave unknown paths to the next.
  void Serve(const httplib::Request& req, httplib::Response& res, RecordedRequest& record);
  bool ServeTestRoute(const httplib::Request& req, httplib::Response& res, const std::string& cookie,
                      RecordedRequest& record);
  void ServeNotFound(httplib::Response& res);
  void ServeLoginForm(const httplib::Request& req, httplib::Response& res, const std::string& cookie);
  std::string LoginRefusalLocked(const httplib::Request& req, const Session* session, std::string& loginId) const;
  void ServeLogout(httplib::Response& res, const std::string& cookie);
  void ServeLoginPage(httplib::Response& res, const std::string& cookie);
  void ServeSearch(const httplib::Request& req, httplib::Response& res, bool signedIn);
  bool ServeItemPage(const std::string& path, httplib::Response& res);
  bool ServePicture(const std::string& path, httplib::Response& res);
  void ServeStall(const httplib::Request& req, httplib::Response& res);
  std::string NewSessionLocked(bool signedIn);
  ExpectedItem Expect(std::uint64_t key, const std::string& categoryColumn, bool signedIn) const;

  DemoMarketOptions options_;
  ThrowawayCa ca_;
  std::unique_ptr<httplib::SSLServer> server_;
  std::unique_ptr<Catalog> catalog_;
  std::thread thread_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> serveMissing_{false};
  std::atomic<int> loginFormStatus_{0};
  std::atomic<bool> loginTokenShown_{true};
  std::atomic<bool> wholesaleShown_{true};

  mutable std::mutex mutex_;
  std::map<std::string, Session> sessions_;
  std::vector<RecordedRequest> requests_;
  std::vector<LoginAttempt> logins_;
  std::vector<ServedSearch> searches_;
  std::map<std::string, CannedResponse> routes_;
  std::vector<std::pair<std::string, std::string>> accounts_;
  std::uint64_t sessionCounter_ = 0;
};

}  // namespace vormla::demo
