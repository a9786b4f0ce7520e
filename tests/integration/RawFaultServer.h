// Servers on 127.0.0.1 that misbehave below HTTP, where an HTTP library cannot:
// a TLS server that resets the connection before any header, trickles its answer
// at two bytes a second, or sends a status line with a long digit run; and a plain
// TCP listener that only counts who connects to it.
#pragma once

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "demo-market/ThrowawayCa.h"
#include "support/LocalPorts.h"

namespace vormla::testing {

// Accepts on a thread of its own until destroyed; each connection goes to serve.
class Acceptor {
 public:
  template <typename Serve>
  explicit Acceptor(Serve serve) {
    listener_ = BoundLoopbackSocket(&port_, true);
    thread_ = std::thread([this, serve] {
      while (!stop_) {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 50) != 1) continue;
        const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        ++connections_;
        workers_.emplace_back([this, serve, connection] { serve(connection, stop_); });
      }
    });
  }
  ~Acceptor() {
    stop_ = true;
    thread_.join();
    for (std::thread& worker : workers_) worker.join();
    ::close(listener_);
  }
  Acceptor(const Acceptor&) = delete;
  Acceptor& operator=(const Acceptor&) = delete;

  int port() const { return port_; }
  int connections() const { return connections_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  std::thread thread_;
  std::vector<std::thread> workers_;  // touched by the accepting thread only, until it is joined
};

// Plain TCP: counts connections and closes them.
class PlainListener {
 public:
  PlainListener() : acceptor_([](int connection, const std::atomic<bool>&) { ::close(connection); }) {}
  int port() const { return acceptor_.port(); }
  int connections() const { return acceptor_.connections(); }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port()) + path; }

 private:
  Acceptor acceptor_;
};

// TLS with the throwaway CA's server certificate. By the request's path:
//   /reset   the connection is reset once the request has arrived, before any answer
//   /slow    the headers of a large page, then its body at two bytes a second
//   /trickle the headers of a large page, then its body at 1,500 bytes a second:
//            above every rate limit, yet the page would take over ten minutes
//   /digits  a 200 answer with a header line that looks like a status line whose
//            code is a run of twenty digits, then a short body
class RawFaultServer {
 public:
  explicit RawFaultServer(const demo::ThrowawayCa& ca) : context_(SSL_CTX_new(TLS_server_method()), SSL_CTX_free) {
    demo::UseServerCertificate(context_.get(), ca);
    std::signal(SIGPIPE, SIG_IGN);  // a client that hangs up must not end the test program
    acceptor_ =
        std::make_unique<Acceptor>([this](int connection, const std::atomic<bool>& stop) { Serve(connection, stop); });
  }

  std::string Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(acceptor_->port()) + path;
  }
  // Requests that arrived for a path.
  int CountOf(const std::string& path) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto it = requests_.find(path);
    return it == requests_.end() ? 0 : it->second;
  }

 private:
  void Serve(int connection, const std::atomic<bool>& stop) {
    SSL* ssl = SSL_new(context_.get());
    SSL_set_fd(ssl, connection);
    std::string head;
    if (SSL_accept(ssl) == 1) head = ReadHead(ssl, connection, stop);
    const size_t start = head.find(' ');
    const std::string path =
        start == std::string::npos ? "" : head.substr(start + 1, head.find(' ', start + 1) - start - 1);
    if (!path.empty()) {
      std::lock_guard<std::mutex> lock(mutex_);
      ++requests_[path];
    }
    if (path == "/reset") {
      linger abort{1, 0};  // close with RST instead of FIN
      ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    } else if (path == "/slow") {
      const std::string opening = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000000\r\n\r\n";
      bool open = SSL_write(ssl, opening.data(), static_cast<int>(opening.size())) > 0;
      while (open && !stop) {
        open = SSL_write(ssl, "ab", 2) > 0;
        for (int i = 0; i < 10 && !stop; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    } else if (path == "/trickle") {
      const std::string opening = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000000\r\n\r\n";
      const std::string piece(150, 'x');
      bool open = SSL_write(ssl, opening.data(), static_cast<int>(opening.size())) > 0;
      while (open && !stop) {
        open = SSL_write(ssl, piece.data(), static_cast<int>(piece.size())) > 0;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
    } else if (path == "/digits") {
      const std::string answer =
          "HTTP/1.1 200 OK\r\nHTTP/1.1 20000000000000000000 OK: sure\r\nContent-Length: 2\r\nConnection: "
          "close\r\n\r\nok";
      SSL_write(ssl, answer.data(), static_cast<int>(answer.size()));
      SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    ::close(connection);
  }

  static std::string ReadHead(SSL* ssl, int connection, const std::atomic<bool>& stop) {
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos && !stop) {
      if (SSL_pending(ssl) == 0) {
        pollfd readable{connection, POLLIN, 0};
        if (::poll(&readable, 1, 100) == 0) continue;
      }
      const int n = SSL_read(ssl, buffer, sizeof buffer);
      if (n <= 0) break;
      head.append(buffer, static_cast<size_t>(n));
    }
    return head;
  }

  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> context_;
  mutable std::mutex mutex_;
  std::map<std::string, int> requests_;
  std::unique_ptr<Acceptor> acceptor_;  // last: its threads use the members above
};

}  // namespace vormla::testing
