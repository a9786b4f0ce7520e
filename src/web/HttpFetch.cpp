// libcurl behind the three fetch operations.
//
// Every thread keeps one easy handle inside its own multi handle and resets it after
// each call, so its connections stay open from one fetch to the next; all handles
// hang off one share handle that holds the cookie jar, the DNS cache and the TLS
// sessions.
#include "web/HttpFetch.h"

#include "web/SiteConfig.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <string_view>
#include <utility>
#include <vector>

namespace vormla {

namespace {

constexpr char kGetAgent[] = "Mozilla/5.0 (Windows NT 6.3; Trident/7.0; rv:11.0) like Gecko";
constexpr char kPostAgent[] = "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; ARM; Trident/6.0)";

constexpr long kConnectTimeoutSeconds = 60;
constexpr long kStallSeconds = 30;             // nothing received for this long: give up
constexpr curl_off_t kPageLimit = 16 << 20;    // a page body is cut here
constexpr curl_off_t kPictureLimit = 64 << 20; // a larger picture is dropped
constexpr long kMaxRedirects = 20;
constexpr char kSystemCertFolder[] = "/etc/ssl/certs";

// ---------------------------------------------------------------------------
// Process-wide libcurl state

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

// A thread's easy handle runs inside its own multi handle, which keeps the open
// connections between calls and lets a transfer be polled for cancellation often.
struct ThreadHandle {
  CURL* curl = nullptr;
  CURLM* multi = nullptr;
  ~ThreadHandle() {
    if (curl) curl_easy_cleanup(curl);
    if (multi) curl_multi_cleanup(multi);
  }
};

// The calling thread's handle for one call, attached to the shared state. Its
// options are reset when the call ends, so no pointer into the call's locals
// outlives it.
class HandleLease {
 public:
  HandleLease() {
    CURLSH* share = Share();
    thread_local ThreadHandle handle;
    if (!handle.multi) handle.multi = curl_multi_init();
    if (!handle.curl) handle.curl = curl_easy_init();
    if (handle.curl && handle.multi) {
      curl_easy_setopt(handle.curl, CURLOPT_SHARE, share);
      handle_ = &handle;
    }
  }
  ~HandleLease() {
    if (!handle_) return;
    // libcurl 7.88 loses the list of cookie files on reset; emptying it first
    // frees it (the shared jar itself stays).
    curl_easy_setopt(handle_->curl, CURLOPT_COOKIEFILE, nullptr);
    curl_easy_reset(handle_->curl);
  }
  HandleLease(const HandleLease&) = delete;
  HandleLease& operator=(const HandleLease&) = delete;

  ThreadHandle* get() const { return handle_; }

 private:
  ThreadHandle* handle_ = nullptr;
};

// ---------------------------------------------------------------------------
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

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

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

// ---------------------------------------------------------------------------
// One transfer

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Where the body of the final response goes. Responses that libcurl answers itself
// (interim 1xx, redirects that it follows) never reach the output.
class Transfer {
 public:
  // Page fetch (fd < 0): fileName is opened, and truncated, only once the headers of
  // the final response are in, so a fetch that gets no answer leaves it as it was.
  // Picture download: fd is an open temporary file, and a body over the limit is
  // dropped rather than cut.
  Transfer(std::string fileName, int fd)
      : path_(std::move(fileName)),
        fd_(fd),
        ownsFd_(fd < 0),
        limit_(fd < 0 ? kPageLimit : kPictureLimit),
        dropOversize_(fd >= 0) {}
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;
  ~Transfer() { Close(); }

  void Attach(CURL* curl, const std::atomic<bool>* cancel) {
    cancel_ = cancel;
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  }

  void Close() {
    if (fd_ >= 0 && ownsFd_) {
      ::close(fd_);
      fd_ = -1;
    }
  }

  bool answered() const { return answered_; }
  bool finalSeen() const { return finalSeen_; }
  bool oversize() const { return oversize_; }
  bool writeFailed() const { return writeFailed_; }

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    static_cast<Transfer*>(self)->Header(std::string_view(data, size * count));
    return size * count;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    return static_cast<Transfer*>(self)->Body(data, size * count);
  }

  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<Transfer*>(self)->cancel_;
    return cancel && cancel->load() ? 1 : 0;
  }

  void Header(std::string_view line) {
    if (StartsWithNoCase(line, "http/")) {  // status line of a new response
      answered_ = true;
      current_ = Response{};
      const size_t space = line.find(' ');
      if (space != std::string_view::npos) {
        for (size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i)
          current_.status = current_.status * 10 + (line[i] - '0');
      }
      return;
    }
    if (StartsWithNoCase(line, "location:")) {
      const std::string_view value = line.substr(9);
      current_.hasLocation = value.find_first_not_of(" \t\r\n") != std::string_view::npos;
      return;
    }
    if (line == "\r\n" || line == "\n") EndOfHeaders();
  }

  void EndOfHeaders() {
    const int status = current_.status;
    if (status >= 100 && status < 200) return;  // interim answer, the real one follows
    const bool followed = status >= 300 && status < 400 && status != 304 && current_.hasLocation;
    if (followed) return;
    current_.isFinal = true;
    finalSeen_ = true;
    written_ = 0;
    if (fd_ >= 0) {  // another final response after one already started: start over
      if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) writeFailed_ = true;
      return;
    }
    if (!path_.empty() && !writeFailed_) {
      // Replace rather than truncate: ext4 flushes a file that is truncated and
      // rewritten when it is closed, which costs milliseconds on every page fetch.
      ::unlink(path_.c_str());
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
      if (fd_ < 0) writeFailed_ = true;  // the body is still read, just not stored
    }
  }

  size_t Body(const char* data, size_t size) {
    if (!current_.isFinal) return size;  // body of a redirect: not ours to keep
    size_t keep = size;
    if (written_ + static_cast<curl_off_t>(size) > limit_) {
      oversize_ = true;
      if (dropOversize_) return 0;  // abort: the picture is discarded
      keep = static_cast<size_t>(limit_ - written_);
    }
    if (fd_ >= 0 && !writeFailed_ && !WriteAll(fd_, data, keep)) writeFailed_ = true;
    written_ += static_cast<curl_off_t>(keep);
    return keep == size ? size : 0;  // a short count makes libcurl stop the transfer
  }

  struct Response {
    int status = 0;
    bool hasLocation = false;
    bool isFinal = false;
  };

  const std::string path_;
  int fd_;
  const bool ownsFd_;
  const curl_off_t limit_;
  const bool dropOversize_;
  const std::atomic<bool>* cancel_ = nullptr;

  Response current_;
  curl_off_t written_ = 0;
  bool answered_ = false;
  bool finalSeen_ = false;
  bool oversize_ = false;
  bool writeFailed_ = false;
};

struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

// Options common to every request. Keeps the extra certificates alive in *certs.
void CommonOptions(CURL* curl, const std::string& url, const char* agent,
                   std::shared_ptr<const CertList>* certs) {
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, agent);
  curl_easy_setopt(curl, CURLOPT_COOKIEFILE, "");  // cookie engine on; the jar is shared
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, kStallSeconds);
  curl_easy_setopt(curl, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  *certs = ExtraCerts();
  if (*certs) {
    // The system certificates come from the hashed folder, looked up as needed, not
    // from the bundle file: the bundle would be parsed again for every connection,
    // since a store that gets extra certificates must not be the cached shared one.
    curl_easy_setopt(curl, CURLOPT_CA_CACHE_TIMEOUT, 0L);
    curl_easy_setopt(curl, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(curl, CURLOPT_CAPATH, kSystemCertFolder);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_FUNCTION, &AddExtraCerts);
    curl_easy_setopt(curl, CURLOPT_SSL_CTX_DATA, const_cast<CertList*>(certs->get()));
  }
}

void NoProxy(CURL* curl) {
  curl_easy_setopt(curl, CURLOPT_PROXY, "");
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
}

constexpr int kCancelPollMs = 100;

// Runs the transfer, checking the cancel flag at least every kCancelPollMs.
CURLcode Run(ThreadHandle* handle, const std::atomic<bool>* cancel) {
  if (curl_multi_add_handle(handle->multi, handle->curl) != CURLM_OK)
    return curl_easy_perform(handle->curl);
  CURLcode code = CURLE_ABORTED_BY_CALLBACK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(handle->multi, &running) != CURLM_OK) {
      code = CURLE_FAILED_INIT;
      break;
    }
    int queued = 0;
    bool done = false;
    while (CURLMsg* message = curl_multi_info_read(handle->multi, &queued)) {
      if (message->msg == CURLMSG_DONE && message->easy_handle == handle->curl) {
        code = message->data.result;
        done = true;
      }
    }
    if (done || running == 0) break;
    if (cancel && cancel->load()) break;
    curl_multi_poll(handle->multi, nullptr, 0, kCancelPollMs, nullptr);
  }
  curl_multi_remove_handle(handle->multi, handle->curl);
  return code;
}

FetchResult Perform(ThreadHandle* handle, const Transfer& transfer,
                    const std::atomic<bool>* cancel, CURLcode* code) {
  *code = Run(handle, cancel);
  FetchResult result;
  result.answered = transfer.answered();
  if (result.answered) curl_easy_getinfo(handle->curl, CURLINFO_RESPONSE_CODE, &result.status);
  return result;
}

// A name beside target that nothing else uses, created empty; -1 on failure.
int CreateTemporary(const std::string& target, std::string* tempName) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".part-%016llx",
                  static_cast<unsigned long long>(random()));
    *tempName = target + suffix;
    const int fd = ::open(tempName->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Puts temp at target unless something already stands there.
bool MoveIntoPlace(const std::string& temp, const std::string& target) {
  if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
    return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // File system without renameat2 flags: a hard link fails just the same on EEXIST.
  if (::link(temp.c_str(), target.c_str()) != 0) return false;
  ::unlink(temp.c_str());
  return true;
}

}  // namespace

FetchResult HttpGetToFile(const std::string& url, const std::string& fileName,
                          const std::atomic<bool>* cancel) {
  HandleLease lease;
  ThreadHandle* handle = lease.get();
  if (!handle) return {};
  CURL* curl = handle->curl;
  std::shared_ptr<const CertList> certs;
  CommonOptions(curl, url, kGetAgent, &certs);
  NoProxy(curl);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  Transfer transfer(fileName, -1);
  transfer.Attach(curl, cancel);
  CURLcode code;
  return Perform(handle, transfer, cancel, &code);
}

FetchResult HttpPostToFile(const std::string& body, const std::string& fileName,
                           const std::string& path, const std::atomic<bool>* cancel) {
  HandleLease lease;
  ThreadHandle* handle = lease.get();
  if (!handle) return {};
  CURL* curl = handle->curl;
  const std::string url = "https://" + SiteHost() + ":" + std::to_string(SitePort()) + path;
  std::shared_ptr<const CertList> certs;
  CommonOptions(curl, url, kPostAgent, &certs);
  // Proxy: libcurl's default, the usual environment variables.
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(curl, CURLOPT_POST, 1L);
  curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_slist* raw = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
  if (raw) raw = curl_slist_append(raw, "Expect:");  // no header of that name at all
  Slist headers(raw);
  if (!headers) return {};
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
  Transfer transfer(fileName, -1);
  transfer.Attach(curl, cancel);
  CURLcode code;
  return Perform(handle, transfer, cancel, &code);
}

FetchResult HttpDownloadFile(const std::string& url, const std::string& target,
                             const std::atomic<bool>* cancel) {
  std::string temp;
  const int fd = CreateTemporary(target, &temp);
  if (fd < 0) return {};
  HandleLease lease;
  ThreadHandle* handle = lease.get();
  if (!handle) {
    ::close(fd);
    ::unlink(temp.c_str());
    return {};
  }
  CURL* curl = handle->curl;
  std::shared_ptr<const CertList> certs;
  CommonOptions(curl, url, kGetAgent, &certs);
  NoProxy(curl);
  curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, kPictureLimit);
  Transfer transfer(std::string(), fd);
  transfer.Attach(curl, cancel);
  CURLcode code;
  const FetchResult result = Perform(handle, transfer, cancel, &code);
  const bool closed = ::close(fd) == 0;
  const bool complete = code == CURLE_OK && transfer.finalSeen() && !transfer.oversize() &&
                        !transfer.writeFailed() && closed && result.status >= 200 &&
                        result.status < 300;
  if (!complete || !MoveIntoPlace(temp, target)) ::unlink(temp.c_str());
  return result;
}

}  // namespace vormla
