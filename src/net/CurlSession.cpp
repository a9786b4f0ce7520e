// Shared libcurl state: share handle, per-thread handles, extra certificates.
#include "net/CurlSession.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <mutex>
#include <vector>

#include "net/SiteConfig.h"

namespace vormla::curl {

namespace {

constexpr long kConnectTimeoutSeconds = 60;
// Under this many bytes a second for kSlowSeconds: the transfer is given up.
constexpr long kSlowBytesPerSecond = 1024;
constexpr long kSlowSeconds = 60;
constexpr long kMaxRedirects = 20;
constexpr char kSystemCertFolder[] = "/etc/ssl/certs";

std::array<std::mutex, CURL_LOCK_DATA_LAST> shareLocks;

void LockShare(CURL*, curl_lock_data data, curl_lock_access, void*) {
  shareLocks[static_cast<size_t>(data) % shareLocks.size()].lock();
}

void UnlockShare(CURL*, curl_lock_data data, void*) {
  shareLocks[static_cast<size_t>(data) % shareLocks.size()].unlock();
}

// Created once and never freed: easy handles of threads that end late may still
// point at it. Connections are not shared (libcurl does not support sharing its
// connection cache between threads); each thread's handle keeps its own.
CURLSH* Share() {
  static CURLSH* share = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLSH* s = curl_share_init();
    curl_share_setopt(s, CURLSHOPT_LOCKFUNC, LockShare);
    curl_share_setopt(s, CURLSHOPT_UNLOCKFUNC, UnlockShare);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(s, CURLSHOPT_SHARE, CURL_LOCK_DATA_PSL);
    return s;
  }();
  return share;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

CURLcode AddExtraCerts(CURL*, void* sslCtx, void* userData);

}  // namespace

// Extra CA certificates (VORMLA_CA_FILE), added to the system store of each TLS
// context. Parsed once per file version.
struct CertList {
  std::string path;
  struct stat identity {};
  std::vector<X509*> certs;
  ~CertList() {
    for (X509* cert : certs) X509_free(cert);
  }
};

namespace {

std::shared_ptr<const CertList> ExtraCerts() {
  static std::mutex mutex;
  static std::shared_ptr<const CertList> cached;
  const std::string path = ExtraCaFile();
  if (path.empty()) return nullptr;
  struct stat identity {};
  if (::stat(path.c_str(), &identity) != 0) return nullptr;

  std::lock_guard<std::mutex> lock(mutex);
  if (cached && cached->path == path && SameFile(cached->identity, identity)) return cached;

  auto list = std::make_shared<CertList>();
  list->path = path;
  list->identity = identity;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    while (X509* cert = PEM_read_X509(file, nullptr, nullptr, nullptr)) list->certs.push_back(cert);
    std::fclose(file);
  }
  ERR_clear_error();  // the read that ends the loop leaves an error behind
  cached = list->certs.empty() ? nullptr : list;
  return cached;
}

CURLcode AddExtraCerts(CURL*, void* sslCtx, void* userData) {
  const auto* list = static_cast<const CertList*>(userData);
  X509_STORE* store = SSL_CTX_get_cert_store(static_cast<SSL_CTX*>(sslCtx));
  for (X509* cert : list->certs) X509_STORE_add_cert(store, cert);  // a duplicate is harmless
  ERR_clear_error();
  return CURLE_OK;
}

}  // namespace

ThreadHandle::~ThreadHandle() {
  if (easy) curl_easy_cleanup(easy);
  if (multi) curl_multi_cleanup(multi);
}

HandleLease::HandleLease() {
  CURLSH* share = Share();
  thread_local ThreadHandle handle;
  if (!handle.multi) handle.multi = curl_multi_init();
  if (!handle.easy) handle.easy = curl_easy_init();
  if (handle.easy && handle.multi) {
    curl_easy_setopt(handle.easy, CURLOPT_SHARE, share);
    handle_ = &handle;
  }
}

HandleLease::~HandleLease() {
  if (!handle_) return;
  // libcurl 7.88 loses the list of cookie files on reset; emptying it first
  // frees it (the shared jar itself stays).
  curl_easy_setopt(handle_->easy, CURLOPT_COOKIEFILE, nullptr);
  curl_easy_reset(handle_->easy);
}

void CommonOptions(CURL* easy, const std::string& url, const char* agent, std::shared_ptr<const CertList>* certs) {
  curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
  curl_easy_setopt(easy, CURLOPT_USERAGENT, agent);
  curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");  // cookie engine on; the jar is shared
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
  // Nothing in clear: neither the request nor any redirect leaves https.
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "https");
  curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "https");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, kSlowBytesPerSecond);
  curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kSlowSeconds);
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  *certs = ExtraCerts();
  if (*certs) {
    // The system certificates come from the hashed folder, looked up as needed, not
    // from the bundle file: the bundle would be parsed again for every connection,
    // since a store that gets extra certificates must not be the cached shared one.
    curl_easy_setopt(easy, CURLOPT_CA_CACHE_TIMEOUT, 0L);
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, kSystemCertFolder);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &AddExtraCerts);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, const_cast<CertList*>(certs->get()));
  }
}

void NoProxy(CURL* easy) {
  curl_easy_setopt(easy, CURLOPT_PROXY, "");
  curl_easy_setopt(easy, CURLOPT_NOPROXY, "*");
}

}  // namespace vormla::curl
