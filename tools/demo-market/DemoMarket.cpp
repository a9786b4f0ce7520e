#include "demo-market/DemoMarket.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <stdexcept>

#include "demo-market/DemoText.h"
#include "text/AsciiCase.h"

namespace vormla::demo {

namespace {

const char* const kHtml = "text/html; charset=UTF-8";

std::string RandomText(std::size_t length, const char* alphabet) {
  thread_local std::mt19937_64 engine{std::random_device{}()};
  const std::string letters(alphabet);
  std::uniform_int_distribution<std::size_t> pick(0, letters.size() - 1);
  std::string out;
  for (std::size_t i = 0; i < length; ++i) out += letters[pick(engine)];
  return out;
}

std::string CookieValue(const httplib::Request& req, const std::string& name) {
  for (std::size_t i = 0; i < req.get_header_value_count("Cookie"); ++i) {
    const std::string header = req.get_header_value("Cookie", i);
    std::size_t pos = 0;
    while (pos < header.size()) {
      std::size_t end = header.find(';', pos);
      if (end == std::string::npos) end = header.size();
      const std::string pair = TrimLow(header.substr(pos, end - pos));
      const std::size_t eq = pair.find('=');
      if (eq != std::string::npos && pair.substr(0, eq) == name) return pair.substr(eq + 1);
      pos = end + 1;
    }
  }
  return "";
}

std::string SessionCookie(const std::string& id) {
  return std::string(kSessionCookie) + "=" + id + "; Path=/; Secure; HttpOnly";
}

// "/shop/123/ABC" -> {"123", "ABC"}
bool SplitShopPath(const std::string& path, std::string& supplier, std::string& code) {
  const std::string prefix = "/shop/";
  if (path.rfind(prefix, 0) != 0) return false;
  const std::string rest = path.substr(prefix.size());
  const std::size_t slash = rest.find('/');
  if (slash == std::string::npos) return false;
  supplier = rest.substr(0, slash);
  code = rest.substr(slash + 1);
  return !supplier.empty() && !code.empty() && code.find('/') == std::string::npos;
}

// Path of a URL or target, without scheme, authority and query.
std::string PathOf(const std::string& urlOrTarget) {
  std::string rest = urlOrTarget;
  const std::size_t scheme = rest.find("://");
  if (scheme != std::string::npos) {
    const std::size_t slash = rest.find('/', scheme + 3);
    rest = slash == std::string::npos ? "/" : rest.substr(slash);
  }
  return rest.substr(0, rest.find('?'));
}

bool SafeFolderName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '/' || c == '\\') return false;
  }
  return true;
}

std::string LoginPage(const std::string& token, bool failed, bool tokenShown = true) {
  std::string page =
      "<!DOCTYPE html>\n"
      "<html lang=\"ja\">\n"
      "<head>\n"
      "<meta charset=\"UTF-8\">\n"
      "<title>ログイン | Vormla</title>\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  if (tokenShown) page += "    <meta name=\"csrf-token\" content=\"" + token + "\">\n";
  page +=
      "</head>\n"
      "<body>\n"
      "<h1 class=\"loginHd\">会員ログイン</h1>\n";
  if (failed) page += "<p class=\"errorTxt\">ログインIDまたはパスワードが正しくありません。</p>\n";
  page +=
      "<form method=\"post\" action=\"/login\">\n"
      "<input type=\"hidden\" name=\"_token\" value=\"" +
      token +
      "\">\n"
      "<input type=\"text\" name=\"login_id\" value=\"\">\n"
      "<input type=\"password\" name=\"password\" value=\"\">\n"
      "<input type=\"checkbox\" name=\"bookmark\" value=\"on\">\n"
      "<button type=\"submit\">ログイン</button>\n"
      "</form>\n"
      "</body>\n"
      "</html>\n";
  return page;
}

// The login form as the site reads it: "&_token=T&bookmark=on&login_id=ID&
// password=PW&refererURL=ROOT/" with ID and PW form-encoded. False when the body
// has another shape; else the two values, decoded.
bool ReadLoginForm(const std::string& body, const std::string& token, const std::string& referer, std::string& loginId,
                   std::string& password) {
  const std::string head = "&_token=" + token + "&bookmark=on&login_id=";
  const std::string tail = "&refererURL=" + referer;
  if (body.size() < head.size() + tail.size() || body.compare(0, head.size(), head) != 0 ||
      body.compare(body.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  const std::string values = body.substr(head.size(), body.size() - head.size() - tail.size());
  const size_t split = values.find("&password=");
  if (split == std::string::npos) return false;
  const std::string id = values.substr(0, split);
  const std::string pw = values.substr(split + 10);
  // A bare "&" or "=" would start another field: the value was not encoded.
  if (id.find_first_of("&=") != std::string::npos || pw.find_first_of("&=") != std::string::npos) return false;
  loginId = FormDecode(id);
  password = FormDecode(pw);
  return true;
}

std::string SimplePage(const std::string& title, const std::string& text) {
  return "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n<title>" + title +
         " | Vormla</title>\n</head>\n<body>\n<p class=\"pageTxt\">" + text + "</p>\n</body>\n</html>\n";
}

}  // namespace

std::string RecordedRequest::Header(const std::string& name) const {
  const std::string wanted = LowerAscii(name);
  for (const auto& [key, value] : headers) {
    if (LowerAscii(key) == wanted) return value;
  }
  return "";
}

DemoMarket::DemoMarket(DemoMarketOptions options)
    : options_(options), ca_(options_.ca ? *options_.ca : MakeThrowawayCa()), accounts_(options_.accounts) {
  accounts_.emplace_back(kLoginId, kPassword);
}

void DemoMarket::AcceptAccount(const std::string& loginId, const std::string& password) {
  std::lock_guard<std::mutex> lock(mutex_);
  accounts_.emplace_back(loginId, password);
}

DemoMarket::~DemoMarket() { Stop(); }

std::string DemoMarket::SiteRoot() const { return "https://127.0.0.1:" + std::to_string(port_); }

bool DemoMarket::WriteCaFile(const std::string& path) const { return vormla::demo::WriteCaFile(ca_, path); }

bool DemoMarket::Start() {
  if (server_) return false;
  stopping_ = false;
  server_ = std::make_unique<httplib::SSLServer>([this](SSL_CTX& ctx) { return UseServerCertificate(&ctx, ca_); });
  if (!server_->is_valid()) {
    server_.reset();
    return false;
  }
  const int threads = std::max(2, options_.threads);
  server_->new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<std::size_t>(threads)); };
  server_->set_keep_alive_max_count(100000);
  server_->set_keep_alive_timeout(std::max(1, options_.keepAliveSeconds));
  server_->set_tcp_nodelay(true);
  auto handler = [this](const httplib::Request& req, httplib::Response& res) {
    RecordedRequest record;
    record.method = req.method;
    record.target = req.target;
    record.version = req.version;
    for (const auto& [key, value] : req.headers) record.headers.emplace_back(key, value);
    record.body = req.body;
    try {
      Serve(req, res, record);
    } catch (const std::exception& e) {
      res.status = 500;
      res.set_content(std::string("demo market error: ") + e.what(), "text/plain");
    }
    record.status = res.status;
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(record));
  };
  server_->Get(".*", handler);
  server_->Post(".*", handler);

  if (options_.port > 0) {
    if (!server_->bind_to_port("127.0.0.1", options_.port)) {
      server_.reset();
      return false;
    }
    port_ = options_.port;
  } else {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
      server_.reset();
      return false;
    }
  }
  catalog_ = std::make_unique<Catalog>(port_, options_.catalogue);
  auto ended = std::make_shared<std::atomic<bool>>(false);
  thread_ = std::thread([this, ended] {
    server_->listen_after_bind();
    *ended = true;
  });
  // A stop before the accept loop runs would be lost and leave the thread in accept.
  while (!server_->is_running() && !*ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  return !*ended;
}

void DemoMarket::Stop() {
  stopping_ = true;
  if (server_) server_->stop();
  if (thread_.joinable()) thread_.join();
  server_.reset();
}

std::string DemoMarket::NewSessionLocked(bool signedIn) {
  std::string id = RandomText(32, "0123456789abcdef");
  sessions_[id] = Session{"", signedIn};
  ++sessionCounter_;
  return id;
}

std::string DemoMarket::OpenSignedInSession() {
  std::lock_guard<std::mutex> lock(mutex_);
  return NewSessionLocked(true);
}

void DemoMarket::SetRoute(const std::string& path, CannedResponse response) {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_[path] = std::move(response);
}

void DemoMarket::Serve(const httplib::Request& req, httplib::Response& res, RecordedRequest& record) {
  const std::string cookie = CookieValue(req, kSessionCookie);
  const std::string& path = req.path;
  if (ServeTestRoute(req, res, cookie, record)) return;
  if (req.method == "POST") {
    if (path == "/login") {
      ServeLoginForm(req, res, cookie);
    } else {
      ServeNotFound(res);
    }
    return;
  }
  if (path == "/logout") {
    ServeLogout(res, cookie);
  } else if (path == "/login") {
    ServeLoginPage(res, cookie);
  } else if (path == "/") {
    res.set_content(SimplePage("卸・仕入れサイト", record.signedIn ? "ようこそ、会員様" : "ログインしてください"),
                    kHtml);
  } else if (path == "/search" || path == "/search/") {
    ServeSearch(req, res, record.signedIn);
  } else if (path == "/test/stall" || path == "/test/stall-body") {
    ServeStall(req, res);
  } else if (path.rfind("/corpinfo/", 0) == 0) {
    res.set_content(SimplePage("会社情報", "サプライヤーの会社情報"), kHtml);
  } else if (!ServeItemPage(path, res) && !ServePicture(path, res)) {
    ServeNotFound(res);
  }
}

// A test route answers a GET in place of the market. Notes the session's state first.
bool DemoMarket::ServeTestRoute(const httplib::Request& req, httplib::Response& res, const std::string& cookie,
                                RecordedRequest& record) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto session = sessions_.find(cookie);
  record.signedIn = session != sessions_.end() && session->second.signedIn;
  const auto route = routes_.find(req.path);
  if (req.method != "GET" || route == routes_.end()) return false;
  res.status = route->second.status;
  for (const auto& [key, value] : route->second.headers) res.set_header(key.c_str(), value);
  res.set_content(route->second.body, route->second.contentType.c_str());
  return true;
}

void DemoMarket::ServeNotFound(httplib::Response& res) {
  res.status = 404;
  res.set_content(SimplePage("ページが見つかりません", "お探しのページは見つかりませんでした。"), kHtml);
}

// The posted login form: a new signed-in session and a redirect to the top page,
// or the login page again with the error and a new token.
void DemoMarket::ServeLoginForm(const httplib::Request& req, httplib::Response& res, const std::string& cookie) {
  LoginAttempt attempt;
  std::lock_guard<std::mutex> lock(mutex_);
  auto session = sessions_.find(cookie);
  if (const int status = loginFormStatus_; status != 0) {
    attempt.reason = "answered " + std::to_string(status) + " as asked";
    logins_.push_back(attempt);
    res.status = status;
    res.set_content(SimplePage("エラー", "ただいまログインできません。"), kHtml);
    return;
  }
  attempt.reason = LoginRefusalLocked(req, session == sessions_.end() ? nullptr : &session->second, attempt.loginId);
  attempt.accepted = attempt.reason.empty();
  logins_.push_back(attempt);
  if (attempt.accepted) {
    sessions_.erase(session);
    const std::string id = NewSessionLocked(true);
    res.set_header("Set-Cookie", SessionCookie(id));
    res.set_redirect(SiteRoot() + "/", 302);
    return;
  }
  std::string token;
  if (session != sessions_.end()) {
    token = RandomText(40, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
    session->second.token = token;
  }
  res.set_content(LoginPage(token, true), kHtml);
}

// Why the site refuses a login form post, or "" when it signs the member in;
// loginId is the form's login ID once the form could be read.
std::string DemoMarket::LoginRefusalLocked(const httplib::Request& req, const Session* session,
                                           std::string& loginId) const {
  if (session == nullptr) return "no session cookie";
  if (session->token.empty()) return "no login page fetched in this session";
  if (req.version != "HTTP/1.0") return "version " + req.version;
  if (req.get_header_value("Content-Type") != "application/x-www-form-urlencoded") {
    return "content type " + req.get_header_value("Content-Type");
  }
  std::string password;
  if (!ReadLoginForm(req.body, session->token, SiteRoot() + "/", loginId, password)) return "form body " + req.body;
  if (std::find(accounts_.begin(), accounts_.end(), std::make_pair(loginId, password)) == accounts_.end()) {
    return "no such account";
  }
  return "";
}

void DemoMarket::ServeLogout(httplib::Response& res, const std::string& cookie) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(cookie);
  }
  res.set_header("Set-Cookie", std::string(kSessionCookie) + "=deleted; Path=/; Max-Age=0; Secure; HttpOnly");
  res.set_redirect(SiteRoot() + "/", 302);
}

// The login page with a new token for the session, which starts here when it is new.
void DemoMarket::ServeLoginPage(httplib::Response& res, const std::string& cookie) {
  std::string token = RandomText(40, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789");
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto session = sessions_.find(cookie);
    std::string id = cookie;
    if (session == sessions_.end()) id = NewSessionLocked(false);
    sessions_[id].token = token;
    res.set_header("Set-Cookie", SessionCookie(id));
  }
  res.set_content(LoginPage(token, false, loginTokenShown_), kHtml);
}

// A result page, recorded with what it listed.
void DemoMarket::ServeSearch(const httplib::Request& req, httplib::Response& res, bool signedIn) {
  ServedSearch served;
  served.target = req.target;
  served.query = ParseSearchTarget(req.target);
  served.signedIn = signedIn;
  served.wholesaleShown = wholesaleShown_;
  const Listing listing = catalog_->MakeListing(served.query);
  served.hitCount = listing.hitCount;
  for (std::uint64_t key : listing.blocks) served.blockUrls.push_back(key ? catalog_->ItemUrl(key) : "");
  res.set_content(catalog_->ListingPage(served.query, listing, signedIn && served.wholesaleShown), kHtml);
  std::lock_guard<std::mutex> lock(mutex_);
  searches_.push_back(std::move(served));
}

// False when the path names no item of the catalogue.
bool DemoMarket::ServeItemPage(const std::string& path, httplib::Response& res) {
  std::string supplier, code;
  if (!SplitShopPath(path, supplier, code)) return false;
  const auto key = catalog_->KeyFromPath(supplier, code);
  if (!key) return false;
  res.set_content(catalog_->Item(*key)->html, kHtml);
  return true;
}

// False for a picture the market does not have or does not serve yet.
bool DemoMarket::ServePicture(const std::string& path, httplib::Response& res) {
  if (path.rfind("/img/", 0) != 0) return false;
  const auto bytes = catalog_->Picture(path, serveMissing_);
  if (!bytes) return false;
  res.set_content(*bytes, "image/png");
  return true;
}

// "/test/stall" answers after ms milliseconds (default ten minutes, cut short by
// Stop); "/test/stall-body" sends the headers and half the body at once and the
// rest after the stall.
void DemoMarket::ServeStall(const httplib::Request& req, httplib::Response& res) {
  const long ms = std::min(600000L, req.has_param("ms") ? std::stol(req.get_param_value("ms")) : 600000L);
  auto stall = [this, ms] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stopping_ && std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  };
  if (req.path == "/test/stall") {
    stall();
    res.set_content("stalled", "text/plain");
    return;
  }
  const std::string body(2000, 'x');
  res.set_content_provider(body.size(), "text/plain",
                           [body, stall](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                             if (offset == 0) {
                               sink.write(body.data(), body.size() / 2);
                             } else {
                               stall();
                               sink.write(body.data() + offset, body.size() - offset);
                             }
                             return true;
                           });
}

void DemoMarket::ServeLineBreakPages() {
  constexpr std::size_t kPageLimit = std::size_t{16} << 20;
  std::string list = "<p class=\"paginationTxt\">全1件中 1～1件を表示</p>\n<h3 class=\"showcaseHd\">\n<a href=\"" +
                     SiteRoot() + "/shop/1/PAD\">品名</a></h3>\n</section>\n";
  list.append(kPageLimit - list.size(), '\n');
  SetRoute("/search", {200, kHtml, std::move(list), {}});
  SetRoute("/shop/1/PAD", {200, kHtml, std::string(kPageLimit, '\n'), {}});
}

void DemoMarket::ClearRoutes() {
  std::lock_guard<std::mutex> lock(mutex_);
  routes_.clear();
  loginFormStatus_ = 0;
  loginTokenShown_ = true;
  wholesaleShown_ = true;
}

std::vector<RecordedRequest> DemoMarket::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::vector<LoginAttempt> DemoMarket::LoginAttempts() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logins_;
}

std::vector<ServedSearch> DemoMarket::Searches() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return searches_;
}

void DemoMarket::ClearRecords() {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.clear();
  logins_.clear();
  searches_.clear();
}

ExpectedItem DemoMarket::Expect(std::uint64_t key, const std::string& categoryColumn, bool signedIn) const {
  const auto page = catalog_->Item(key);
  ExpectedItem item;
  item.url = catalog_->ItemUrl(key);
  item.columns = catalog_->ExpectedRow(key, categoryColumn, signedIn);
  item.pictureUrls = page->pictureUrls;
  item.missingPictureUrls = serveMissing_ ? std::vector<std::string>{} : page->missingPictureUrls;
  item.picturesSaved = SafeFolderName(item.columns[0]);
  return item;
}

std::vector<ExpectedItem> DemoMarket::ExpectedRows(const std::string& searchTarget, const std::string& categoryColumn,
                                                   bool signedIn) const {
  const Listing listing = catalog_->MakeListing(ParseSearchTarget(searchTarget));
  std::vector<ExpectedItem> rows;
  const long long read = std::min<long long>(listing.hitCount, static_cast<long long>(listing.blocks.size()));
  for (long long i = 0; i < read; ++i) {
    const std::uint64_t key = listing.blocks[static_cast<std::size_t>(i)];
    if (key != 0) rows.push_back(Expect(key, categoryColumn, signedIn));
  }
  return rows;
}

std::vector<ExpectedItem> DemoMarket::ExpectedRunRows(const std::vector<std::string>& categoryColumns) const {
  const std::vector<ServedSearch> searches = Searches();
  if (searches.size() != categoryColumns.size()) return {};
  std::vector<ExpectedItem> rows;
  for (std::size_t k = 0; k < searches.size(); ++k) {
    const bool pricesShown = searches[k].signedIn && searches[k].wholesaleShown;
    auto part = ExpectedRows(searches[k].target, categoryColumns[k], pricesShown);
    rows.insert(rows.end(), part.begin(), part.end());
  }
  return rows;
}

ExpectedItem DemoMarket::ExpectedFor(const std::string& itemUrl, const std::string& categoryColumn,
                                     bool signedIn) const {
  std::string supplier, code;
  if (!SplitShopPath(PathOf(itemUrl), supplier, code)) throw std::invalid_argument("not an item URL: " + itemUrl);
  const auto key = catalog_->KeyFromPath(supplier, code);
  if (!key) throw std::invalid_argument("no such item: " + itemUrl);
  return Expect(*key, categoryColumn, signedIn);
}

std::string DemoMarket::PictureBytes(const std::string& pathOrUrl) const {
  return catalog_->Picture(PathOf(pathOrUrl), true).value_or("");
}

}  // namespace vormla::demo
