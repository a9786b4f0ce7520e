// A small in-process HTTPS server on 127.0.0.1 for the fetch tests: fixed routes
// that set and echo cookies, redirect, stall, and record what the client sent;
// and a whole small market (sign-in pages, one result page, item pages) whose
// result page can list fault routes: 404, 500 then 200, 500 every time, a stall
// of 45 s, a redirect loop, redirects to http:// and file://.
#pragma once

#include "demo-market/ThrowawayCa.h"

#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/LocalPorts.h"

namespace vormla::testing {

// What the server saw of one request. Headers in arrival order, names as sent.
struct SeenRequest {
  std::string method;
  std::string version;
  std::string target;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  std::string Header(const std::string& name) const {
    for (const auto& [key, value] : headers)
      if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
    return {};
  }
  size_t HeaderCount(const std::string& name) const {
    size_t n = 0;
    for (const auto& header : headers) n += strcasecmp(header.first.c_str(), name.c_str()) == 0;
    return n;
  }
};

class HttpTestServer {
 public:
  static constexpr size_t kBigSize = (16u << 20) + 4096;  // past the page limit

  explicit HttpTestServer(const demo::ThrowawayCa& ca)
      : server_([&ca](SSL_CTX& ctx) { return demo::UseServerCertificate(&ctx, ca); }) {
    server_.set_keep_alive_max_count(100000);
    server_.set_keep_alive_timeout(1);  // idle connections must not hold up stop()
    server_.set_tcp_nodelay(true);
    server_.Get("/set-cookie", Recorded([](const httplib::Request& req, httplib::Response& res) {
                  res.set_header("Set-Cookie",
                                 req.get_param_value("name") + "=" + req.get_param_value("value") + "; Path=/");
                  res.set_content("set", "text/plain");
                }));
    server_.Get("/echo-cookie", Recorded([](const httplib::Request& req, httplib::Response& res) {
                  res.set_content("cookie:" + req.get_header_value("Cookie"), "text/plain");
                }));
    server_.Get("/redirect-with-cookie", Recorded([](const httplib::Request& req, httplib::Response& res) {
                  res.set_header("Set-Cookie", req.get_param_value("name") + "=from-redirect; Path=/");
                  res.set_content("redirect body", "text/plain");
                  res.set_redirect("/echo-cookie");
                }));
    server_.Post("/login", Recorded([](const httplib::Request&, httplib::Response& res) {
                   res.set_header("Set-Cookie", "session=after-post; Path=/");
                   res.set_redirect("/echo-cookie");
                 }));
    server_.Post("/form", Recorded([](const httplib::Request&, httplib::Response& res) {
                   res.set_content("posted", "text/html");
                 }));
    server_.Post(".*", Recorded([](const httplib::Request&, httplib::Response& res) {
                   res.set_content("posted elsewhere", "text/html");
                 }));
    server_.Get("/agent", Recorded([](const httplib::Request& req, httplib::Response& res) {
                  res.set_content(req.get_header_value("User-Agent"), "text/plain");
                }));
    server_.Get("/empty",
                Recorded([](const httplib::Request&, httplib::Response& res) { res.set_content("", "text/plain"); }));
    server_.Get("/bytes", Recorded([](const httplib::Request& req, httplib::Response& res) {
                  res.set_content(Bytes(std::stoul(req.get_param_value("n"))), "application/octet-stream");
                }));
    server_.Get("/missing", Recorded([](const httplib::Request&, httplib::Response& res) {
                  res.status = 404;
                  res.set_content("no such page", "text/html");
                }));
    server_.Get("/chunked", Recorded([](const httplib::Request& req, httplib::Response& res) {
                  const size_t total = std::stoul(req.get_param_value("n"));
                  res.set_chunked_content_provider(
                      "application/octet-stream", [total](size_t offset, httplib::DataSink& sink) {
                        if (offset >= total) {
                          sink.done();
                          return true;
                        }
                        const std::string piece = Bytes(std::min<size_t>(256 * 1024, total - offset), offset);
                        return sink.write(piece.data(), piece.size());
                      });
                }));
    server_.Get("/truncated", Recorded([](const httplib::Request&, httplib::Response& res) {
                  // promises 1000 bytes, sends 10 and drops the connection
                  res.set_content_provider(1000, "image/jpeg", [](size_t offset, size_t, httplib::DataSink& sink) {
                    if (offset > 0) return false;
                    return sink.write("0123456789", 10);
                  });
                }));
    server_.Get("/stall", Recorded([this](const httplib::Request&, httplib::Response& res) { Stall(res, 20); }));
    AddMarketRoutes();
    AddFaultRoutes();
    port_ = server_.bind_to_any_port("127.0.0.1");
    auto ended = std::make_shared<std::atomic<bool>>(false);
    thread_ = std::thread([this, ended] {
      server_.listen_after_bind();
      *ended = true;
    });
    // A stop before the accept loop runs would be lost and leave the thread in accept.
    while (!server_.is_running() && !*ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }

  ~HttpTestServer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      release_ = true;
    }
    released_.notify_all();
    server_.stop();
    thread_.join();
  }

  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  int port() const { return port_; }
  std::string Root() const { return "https://127.0.0.1:" + std::to_string(port_); }
  std::string Url(const std::string& path) const { return Root() + path; }

  std::vector<SeenRequest> Seen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
  }
  SeenRequest LastSeen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_.empty() ? SeenRequest{} : seen_.back();
  }

  // The items the market's result page ("/search") lists, as absolute URLs.
  void SetListing(std::vector<std::string> itemUrls) {
    std::lock_guard<std::mutex> lock(mutex_);
    listing_ = std::move(itemUrls);
  }
  // Requests seen for one path (query ignored).
  size_t CountOf(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = 0;
    for (const SeenRequest& seen : seen_) n += seen.target.substr(0, seen.target.find('?')) == path;
    return n;
  }
  void ClearSeen() {
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.clear();
    hits_.clear();
  }
  // Where "/fault/to-http" sends the client; nothing should ever arrive there.
  void SetPlainTarget(const std::string& url) {
    std::lock_guard<std::mutex> lock(mutex_);
    plainTarget_ = url;
  }

  // The item page of "/item/NAME": management number NAME, item id 1, its name
  // "NAME 特価 &quot;限定&quot;".
  static std::string ItemPage(const std::string& name) {
    return "<html>\n<body>\n<ul class=\"colItemData\">\n<li>商品管理番号：" + name +
           "（登録/更新：2024/01/01）</li>\n<li>商品ID：1</li>\n<li>[ブランド]&nbsp;B</li>\n</ul>\n<h1>" + name +
           " 特価 &quot;限定&quot;</h1>\n</body>\n</html>\n";
  }

  // n bytes running through every value 0..255, starting at value start % 256.
  static std::string Bytes(size_t n, size_t start = 0) {
    std::string bytes(n, '\0');
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<char>((start + i) & 0xff);
    return bytes;
  }

 private:
  // Sign-in pages, the result page and the item pages of a small market.
  void AddMarketRoutes() {
    server_.Get("/logout", Recorded([](const httplib::Request&, httplib::Response& res) {
                  res.set_content("signed out", "text/html");
                }));
    server_.Get(
        "/login", Recorded([](const httplib::Request&, httplib::Response& res) {
          res.set_content(
              "<html>\n<meta name=\"csrf-token\" content=\"0123456789abcdef0123456789abcdef01234567\">\n</html>\n",
              "text/html");
        }));
    server_.Get("/search", Recorded([this](const httplib::Request&, httplib::Response& res) {
                  std::vector<std::string> listing;
                  {
                    std::lock_guard<std::mutex> lock(mutex_);
                    listing = listing_;
                  }
                  const std::string count = std::to_string(listing.size());
                  std::string page =
                      "<html>\n<body>\n<p class=\"paginationTxt\">全" + count + "件中 1～" + count + "件を表示</p>\n";
                  for (const std::string& url : listing) {
                    page += "<section class=\"showcase\">\n<h3 class=\"showcaseHd\">\n<a href=\"" + url +
                            "\">品名</a></h3>\n<p class=\"afterPrice\">卸価格&nbsp;1,200円</p>\n</section>\n";
                  }
                  res.set_content(page + "</body>\n</html>\n", "text/html");
                }));
    server_.Get(R"(/item/(.+))", Recorded([](const httplib::Request& req, httplib::Response& res) {
                  res.set_content(ItemPage(req.matches[1]), "text/html");
                }));
  }

  void AddFaultRoutes() {
    server_.Get("/fault/404", Recorded([](const httplib::Request&, httplib::Response& res) {
                  res.status = 404;
                  res.set_content(ItemPage("from-404"), "text/html");
                }));
    server_.Get(R"(/fault/500-then-200/(.+))", Recorded([this](const httplib::Request& req, httplib::Response& res) {
                  int hit = 0;
                  {
                    std::lock_guard<std::mutex> lock(mutex_);
                    hit = ++hits_[req.path];
                  }
                  res.status = hit == 1 ? 500 : 200;
                  res.set_content(ItemPage(hit == 1 ? "from-500" : std::string(req.matches[1])), "text/html");
                }));
    server_.Get("/fault/500", Recorded([](const httplib::Request&, httplib::Response& res) {
                  res.status = 500;
                  res.set_content(ItemPage("from-500"), "text/html");
                }));
    // Past the 30 s without data after which a fetch is given up.
    server_.Get("/fault/stall", Recorded([this](const httplib::Request&, httplib::Response& res) { Stall(res, 45); }));
    server_.Get("/fault/loop",
                Recorded([](const httplib::Request&, httplib::Response& res) { res.set_redirect("/fault/loop"); }));
    server_.Get("/fault/to-http", Recorded([this](const httplib::Request&, httplib::Response& res) {
                  res.set_header("Set-Cookie", "clear=never; Path=/");
                  std::lock_guard<std::mutex> lock(mutex_);
                  res.set_redirect(plainTarget_);
                }));
    server_.Get("/fault/to-file", Recorded([](const httplib::Request&, httplib::Response& res) {
                  res.set_redirect("file:///etc/hostname");
                }));
  }

  // Answers after the given time, or at once when the server stops.
  void Stall(httplib::Response& res, int seconds) {
    std::unique_lock<std::mutex> lock(mutex_);
    released_.wait_for(lock, std::chrono::seconds(seconds), [this] { return release_; });
    res.set_content(ItemPage("late"), "text/html");
  }

  template <typename Handler>
  httplib::Server::Handler Recorded(Handler handler) {
    return [this, handler](const httplib::Request& req, httplib::Response& res) {
      Record(req);
      handler(req, res);
    };
  }

  void Record(const httplib::Request& req) {
    SeenRequest seen{req.method, req.version, req.target, {}, req.body};
    for (const auto& [key, value] : req.headers) {
      // httplib adds the peer's address among the headers
      if (key == "REMOTE_ADDR" || key == "REMOTE_PORT" || key == "LOCAL_ADDR" || key == "LOCAL_PORT") continue;
      seen.headers.emplace_back(key, value);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    seen_.push_back(std::move(seen));
  }

  httplib::SSLServer server_;
  int port_ = -1;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::condition_variable released_;
  bool release_ = false;
  std::vector<SeenRequest> seen_;
  std::vector<std::string> listing_;
  std::map<std::string, int> hits_;
  std::string plainTarget_ = "http://127.0.0.1:9/";
};

// A plain TCP listener standing in for a proxy: takes one connection (waiting at
// most waitMs for it), keeps the request head it receives and refuses with 403.
class FakeProxy {
 public:
  explicit FakeProxy(int waitMs) : waitMs_(waitMs) {
    listener_ = BoundLoopbackSocket(&port_, true);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeProxy() {
    if (thread_.joinable()) thread_.join();
    ::close(listener_);
  }
  FakeProxy(const FakeProxy&) = delete;
  FakeProxy& operator=(const FakeProxy&) = delete;

  int port() const { return port_; }
  // Waits for the listener to finish (one connection, or none within waitMs).
  std::string Received() {
    if (thread_.joinable()) thread_.join();
    return received_;
  }

 private:
  void Serve() {
    pollfd waiting{listener_, POLLIN, 0};
    if (::poll(&waiting, 1, waitMs_) != 1) return;
    const int connection = ::accept(listener_, nullptr, nullptr);
    if (connection < 0) return;
    char buffer[4096];
    while (received_.find("\r\n\r\n") == std::string::npos) {
      pollfd readable{connection, POLLIN, 0};
      if (::poll(&readable, 1, 3000) != 1) break;
      const ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      received_.append(buffer, static_cast<size_t>(n));
    }
    const char answer[] = "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    ::send(connection, answer, sizeof answer - 1, MSG_NOSIGNAL);
    ::close(connection);
  }

  const int waitMs_;
  int listener_ = -1;
  int port_ = -1;
  std::thread thread_;
  std::string received_;
};

}  // namespace vormla::testing
