// Shared set-up of the fetch tests: one trusted HTTPS server per test program, a
// scratch folder per test, and the environment pointing at both.
#pragma once

#include "HttpTestServer.h"
#include "demo-market/ThrowawayCa.h"
#include "net/HttpFetch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace vormla::testing {

// A picture download to path, into its folder opened as the engine opens it.
inline FetchResult DownloadTo(const std::string& url, const std::string& path,
                              const std::atomic<bool>* cancel = nullptr) {
  const std::filesystem::path target(path);
  const int folder = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const FetchResult result = HttpDownloadFileAt(url, folder, target.filename().string(), cancel);
  if (folder >= 0) ::close(folder);
  return result;
}

// Sets (or, with nullptr, removes) an environment variable for one scope.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (old_)
      ::setenv(name_.c_str(), old_->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

inline std::optional<std::string> ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class HttpFetchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ca_ = std::make_unique<demo::ThrowawayCa>(demo::MakeThrowawayCa());
    server_ = std::make_unique<HttpTestServer>(*ca_);
    caDir_ = std::filesystem::temp_directory_path() / ("vormla-http-ca-" + std::to_string(::getpid()));
    std::filesystem::create_directories(caDir_);
    ASSERT_TRUE(demo::WriteCaFile(*ca_, (caDir_ / "trusted.pem").string()));
  }

  static void TearDownTestSuite() {
    server_.reset();
    std::filesystem::remove_all(caDir_);
  }

  void SetUp() override {
    char pattern[] = "/tmp/vormla-http-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    env_.emplace_back(std::make_unique<ScopedEnv>("VORMLA_CA_FILE", TrustedCaFile().c_str()));
    env_.emplace_back(std::make_unique<ScopedEnv>("VORMLA_SITE_ROOT", server_->Root().c_str()));
    for (const char* proxy :
         {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
      env_.emplace_back(std::make_unique<ScopedEnv>(proxy, nullptr));
  }

  void TearDown() override {
    env_.clear();
    std::filesystem::remove_all(dir_);
  }

  static HttpTestServer& server() { return *server_; }
  static const demo::ThrowawayCa& Ca() { return *ca_; }
  static std::string TrustedCaFile() { return (caDir_ / "trusted.pem").string(); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  const std::filesystem::path& dir() const { return dir_; }

 private:
  static inline std::unique_ptr<demo::ThrowawayCa> ca_;
  static inline std::unique_ptr<HttpTestServer> server_;
  static inline std::filesystem::path caDir_;
  std::filesystem::path dir_;
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

}  // namespace vormla::testing
