// The three fetch operations on the shared libcurl state (CurlSession).
#include "net/HttpFetch.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string_view>
#include <utility>

#include "files/Leftovers.h"
#include "files/WholeFile.h"
#include "net/CurlSession.h"
#include "net/SiteConfig.h"
#include "text/UrlText.h"

namespace vormla {

namespace {

constexpr char kGetAgent[] = "Mozilla/5.0 (Windows NT 6.3; Trident/7.0; rv:11.0) like Gecko";
constexpr char kPostAgent[] = "Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; ARM; Trident/6.0)";

constexpr curl_off_t kPageLimit = 16 << 20;     // a page body is cut here
constexpr curl_off_t kPictureLimit = 64 << 20;  // a larger picture is dropped
// A request that has been sent and then receives nothing for this long is given up.
constexpr auto kNoDataLimit = std::chrono::seconds(30);
constexpr int kCancelPollMs = 100;

using Clock = std::chrono::steady_clock;

// The status code of a status line ("HTTP/1.1 200 OK"): exactly three digits after
// the first blank, or 0 for anything else (a longer digit run is no status).
int StatusOf(std::string_view line) {
  const size_t space = line.find(' ');
  if (space == std::string_view::npos) return 0;
  int status = 0;
  size_t digits = 0;
  for (size_t i = space + 1; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    if (++digits > 3) return 0;
    status = status * 10 + (line[i] - '0');
  }
  return digits == 3 ? status : 0;
}

// Value of a "Content-Length:" header line, or -1.
curl_off_t ContentLengthOf(std::string_view line) {
  if (!StartsWithLowerCase(line, "content-length:")) return -1;
  curl_off_t length = 0;
  bool any = false;
  for (size_t i = 15; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t') continue;
    if (c < '0' || c > '9') break;
    if (length > kPictureLimit) return -1;  // far beyond anything kept
    length = length * 10 + (c - '0');
    any = true;
  }
  return any ? length : -1;
}

// Where the body of the final response goes. Responses that libcurl answers itself
// (interim 1xx, redirects that it follows) never reach the output.
class Transfer {
 public:
  // A page: the body goes to *page, cut at the page limit.
  explicit Transfer(std::string* page) : page_(page), limit_(kPageLimit) { page_->clear(); }
  // A picture: the body goes to the open file fd; one over the limit is dropped.
  explicit Transfer(int fd) : fd_(fd), limit_(kPictureLimit), dropOversize_(true) {}
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  void Attach(CURL* easy, const std::atomic<bool>* cancel) {
    cancel_ = cancel;
    totalLimit_ = std::chrono::seconds(FetchLimitSeconds());
    started_ = Clock::now();
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &Transfer::OnRequest);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);
  }

  // The final response arrived with a readable status.
  bool answered() const { return finalSeen_ && finalStatus_ > 0; }
  int finalStatus() const { return finalStatus_; }
  bool oversize() const { return oversize_; }
  bool cut() const { return cut_; }
  bool writeFailed() const { return writeFailed_; }
  bool stalled() const { return stalled_; }
  bool overtime() const { return overtime_; }
  long limitSeconds() const {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(totalLimit_).count());
  }

 private:
  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    static_cast<Transfer*>(self)->Header(std::string_view(data, size * count));
    return size * count;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    return static_cast<Transfer*>(self)->Body(data, size * count);
  }

  static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    return static_cast<Transfer*>(self)->Progress(uploaded);
  }

  static int OnRequest(void* self, char*, char*, int, int) {
    // Connected (or reused) and about to send: the no-data clock starts now.
    auto* transfer = static_cast<Transfer*>(self);
    transfer->armed_ = true;
    transfer->lastData_ = Clock::now();
    return CURL_PREREQFUNC_OK;
  }

  int Progress(curl_off_t uploaded) {
    if (cancel_ && cancel_->load()) return 1;
    const Clock::time_point now = Clock::now();
    if (uploaded != uploaded_) {  // a POST body going out counts as life
      uploaded_ = uploaded;
      lastData_ = now;
    }
    if (armed_ && now - lastData_ >= kNoDataLimit) {
      stalled_ = true;
      return 1;
    }
    // Connecting, redirects and a sender that stays just above the rate limit
    // all count against one total.
    if (now - started_ >= totalLimit_) {
      overtime_ = true;
      return 1;
    }
    return 0;
  }

  void Header(std::string_view line) {
    lastData_ = Clock::now();
    // Only the first line of a response is its status line; a header line that
    // happens to start the same way is just a header.
    if (expectStatus_ && StartsWithLowerCase(line, "http/")) {
      current_ = Response{};
      current_.status = StatusOf(line);
      expectStatus_ = false;
      return;
    }
    if (StartsWithLowerCase(line, "location:")) {
      const std::string_view value = line.substr(9);
      current_.hasLocation = value.find_first_not_of(" \t\r\n") != std::string_view::npos;
      return;
    }
    const curl_off_t length = ContentLengthOf(line);
    if (length >= 0) current_.length = length;
    if (line == "\r\n" || line == "\n") {
      expectStatus_ = true;
      EndOfHeaders();
    }
  }

  void EndOfHeaders() {
    const int status = current_.status;
    if (status >= 100 && status < 200) return;  // interim answer, the real one follows
    const bool followed = status >= 300 && status < 400 && status != 304 && current_.hasLocation;
    if (followed) return;
    current_.isFinal = true;
    finalSeen_ = true;
    finalStatus_ = status;
    written_ = 0;
    if (page_) {  // another final response after one already started: start over
      page_->clear();
      if (current_.length > 0) page_->reserve(static_cast<size_t>(std::min(current_.length, limit_)));
      return;
    }
    if (::ftruncate(fd_, 0) != 0 || ::lseek(fd_, 0, SEEK_SET) != 0) writeFailed_ = true;
  }

  size_t Body(const char* data, size_t size) {
    lastData_ = Clock::now();
    if (!current_.isFinal) return size;  // body of a redirect: not ours to keep
    size_t keep = size;
    if (written_ + static_cast<curl_off_t>(size) > limit_) {
      oversize_ = true;
      if (dropOversize_) return 0;  // abort: the picture is discarded
      cut_ = true;
      keep = static_cast<size_t>(limit_ - written_);
    }
    if (page_) {
      page_->append(data, keep);
    } else if (!writeFailed_ && !WriteWhole(fd_, std::string_view(data, keep))) {
      writeFailed_ = true;
    }
    written_ += static_cast<curl_off_t>(keep);
    return keep == size ? size : 0;  // a short count makes libcurl stop the transfer
  }

  struct Response {
    int status = 0;
    bool hasLocation = false;
    bool isFinal = false;
    curl_off_t length = -1;
  };

  std::string* const page_ = nullptr;
  const int fd_ = -1;
  const curl_off_t limit_;
  const bool dropOversize_ = false;
  const std::atomic<bool>* cancel_ = nullptr;

  Response current_;
  curl_off_t written_ = 0;
  curl_off_t uploaded_ = 0;
  int finalStatus_ = 0;
  bool finalSeen_ = false;
  bool oversize_ = false;
  bool cut_ = false;
  bool writeFailed_ = false;
  bool expectStatus_ = true;
  bool armed_ = false;
  bool stalled_ = false;
  bool overtime_ = false;
  Clock::duration totalLimit_{};
  Clock::time_point started_ = Clock::now();
  Clock::time_point lastData_ = Clock::now();
};

struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

// Runs the transfer, checking the cancel flag at least every kCancelPollMs.
CURLcode Run(curl::ThreadHandle* handle, const std::atomic<bool>* cancel) {
  if (curl_multi_add_handle(handle->multi, handle->easy) != CURLM_OK) return curl_easy_perform(handle->easy);
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
      if (message->msg == CURLMSG_DONE && message->easy_handle == handle->easy) {
        code = message->data.result;
        done = true;
      }
    }
    if (done || running == 0) break;
    if (cancel && cancel->load()) break;
    curl_multi_poll(handle->multi, nullptr, 0, kCancelPollMs, nullptr);
  }
  curl_multi_remove_handle(handle->multi, handle->easy);
  return code;
}

FetchFailure Classify(CURLcode code, const Transfer& transfer, CURL* easy, const std::atomic<bool>* cancel) {
  if (transfer.stalled() || transfer.overtime()) return FetchFailure::kTimedOut;
  if (cancel && cancel->load()) return FetchFailure::kCancelled;
  switch (code) {
    case CURLE_OK:
      return transfer.answered() ? FetchFailure::kNone : FetchFailure::kBadAnswer;
    case CURLE_WRITE_ERROR:
      // The page limit ends a transfer on purpose; anything else is ours.
      return transfer.cut() ? FetchFailure::kNone : FetchFailure::kLocal;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return FetchFailure::kNotHttps;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
      return FetchFailure::kCertificate;
    case CURLE_SSL_CONNECT_ERROR:
      return FetchFailure::kTls;
    case CURLE_COULDNT_RESOLVE_HOST:
      return FetchFailure::kHostNotFound;
    case CURLE_COULDNT_CONNECT: {
      long osError = 0;
      curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osError);
      return osError == ECONNREFUSED ? FetchFailure::kRefused : FetchFailure::kUnreachable;
    }
    case CURLE_OPERATION_TIMEDOUT:
      return FetchFailure::kTimedOut;
    case CURLE_TOO_MANY_REDIRECTS:
      return FetchFailure::kRedirectLoop;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
      return FetchFailure::kDropped;
    case CURLE_WEIRD_SERVER_REPLY:
      return FetchFailure::kBadAnswer;
    case CURLE_FILESIZE_EXCEEDED:
    case CURLE_OUT_OF_MEMORY:
      return FetchFailure::kLocal;
    case CURLE_ABORTED_BY_CALLBACK:
      return transfer.oversize() ? FetchFailure::kLocal : FetchFailure::kCancelled;
    default:
      return FetchFailure::kOther;
  }
}

// Sets the error buffer, runs the transfer and sums it up.
FetchResult Perform(curl::ThreadHandle* handle, const Transfer& transfer, const std::atomic<bool>* cancel,
                    CURLcode* code) {
  char words[CURL_ERROR_SIZE] = {};
  curl_easy_setopt(handle->easy, CURLOPT_ERRORBUFFER, words);
  *code = Run(handle, cancel);
  FetchResult result;
  result.failure = Classify(*code, transfer, handle->easy, cancel);
  // An answer counts only whole: one that broke off or was given up for time is
  // a page of unknown extent, not the page.
  result.answered = transfer.answered() && result.failure == FetchFailure::kNone;
  if (result.answered) result.status = transfer.finalStatus();
  if (result.failure == FetchFailure::kTimedOut && transfer.stalled()) {
    result.detail = "nothing received for 30 seconds";
  } else if (result.failure == FetchFailure::kTimedOut && transfer.overtime()) {
    result.detail = "not arrived whole within " + std::to_string(transfer.limitSeconds()) + " seconds";
  } else if (result.failure != FetchFailure::kNone) {
    result.detail = words[0] ? words : curl_easy_strerror(*code);
  }
  curl_easy_setopt(handle->easy, CURLOPT_ERRORBUFFER, nullptr);
  return result;
}

constexpr std::string_view kTemporaryPrefix = ".vormla-";
constexpr size_t kTemporaryDigits = 16;

// A short name in the folder that nothing else uses, created empty and held (see
// files/Leftovers.h); -1 on failure. Its length does not depend on the target's, so
// a target name that the folder takes always has a temporary name that it takes too.
int CreateTemporary(int folderFd, std::string* tempName) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%016llx", kTemporaryPrefix.data(), static_cast<unsigned long long>(random()));
    *tempName = name;
    // O_EXCL never follows a link that stands at the name.
    const int fd = ::openat(folderFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 && HoldNewFile(fd, folderFd, *tempName)) return fd;
    if (fd >= 0) {
      ::close(fd);  // another run's cleaner took it for a leftover: make another
    } else if (errno != EEXIST) {
      return -1;
    }
  }
  return -1;
}

bool IsRegularAt(int folderFd, const std::string& name) {
  struct stat st {};
  return ::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

// Puts temp at target unless something already stands there (then a file
// already there is kept, and counts as the picture; anything else, a link above
// all, does not). Neither name is followed. temp is gone afterwards.
bool MoveIntoPlace(int folderFd, const std::string& temp, const std::string& target) {
  if (::renameat2(folderFd, temp.c_str(), folderFd, target.c_str(), RENAME_NOREPLACE) == 0) return true;
  bool taken = errno == EEXIST;
  // File system without renameat2 flags: a hard link fails just the same on EEXIST.
  if (errno == EINVAL || errno == ENOSYS) {
    if (::linkat(folderFd, temp.c_str(), folderFd, target.c_str(), 0) == 0) {
      ::unlinkat(folderFd, temp.c_str(), 0);
      return true;
    }
    taken = errno == EEXIST;
  }
  ::unlinkat(folderFd, temp.c_str(), 0);
  return taken && IsRegularAt(folderFd, target);
}

// This thread's handle, set up with the options every fetch of url gets; the
// extra certificates live as long as it does. get() is null when libcurl had no
// handle to give.
class OpenedFetch {
 public:
  OpenedFetch(const std::string& url, const char* agent) {
    if (lease_.get() != nullptr) curl::CommonOptions(lease_.get()->easy, url, agent, &certs_);
  }
  curl::ThreadHandle* get() const { return lease_.get(); }
  CURL* easy() const { return lease_.get()->easy; }

 private:
  curl::HandleLease lease_;
  std::shared_ptr<const curl::CertList> certs_;
};

// A GET goes straight to the site, never through a proxy.
void UseDirectGet(CURL* easy) {
  curl::NoProxy(easy);
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
}

// Runs a fetch whose body goes to page, which then holds a whole answer or nothing.
FetchResult FetchInto(std::string& page, curl::ThreadHandle* handle, const std::atomic<bool>* cancel) {
  Transfer transfer(&page);
  transfer.Attach(handle->easy, cancel);
  CURLcode code;
  FetchResult result = Perform(handle, transfer, cancel, &code);
  if (!result.answered) page.clear();  // no answer: never a half page
  return result;
}

FetchResult LocalFailure(const char* words) {
  FetchResult result;
  result.failure = FetchFailure::kLocal;
  result.detail = words;
  return result;
}

}  // namespace

FetchResult HttpGetPage(const std::string& url, std::string& page, const std::atomic<bool>* cancel) {
  page.clear();
  const OpenedFetch fetch(url, kGetAgent);
  if (!fetch.get()) return LocalFailure("no libcurl handle");
  UseDirectGet(fetch.easy());
  return FetchInto(page, fetch.get(), cancel);
}

FetchResult HttpPostPage(const std::string& body, const std::string& path, std::string& page,
                         const std::atomic<bool>* cancel) {
  page.clear();
  const OpenedFetch fetch("https://" + SiteHost() + ":" + std::to_string(SitePort()) + path, kPostAgent);
  if (!fetch.get()) return LocalFailure("no libcurl handle");
  CURL* easy = fetch.easy();
  // Proxy: libcurl's default, the usual environment variables.
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
  curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(easy, CURLOPT_POST, 1L);
  curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body.data());
  curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_slist* raw = curl_slist_append(nullptr, "Content-Type: application/x-www-form-urlencoded");
  if (raw) raw = curl_slist_append(raw, "Expect:");  // no header of that name at all
  Slist headers(raw);
  if (!headers) return LocalFailure("out of memory");
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
  return FetchInto(page, fetch.get(), cancel);
}

int RemoveDownloadLeftovers(int folderFd) {
  return RemoveUnheldFiles(folderFd, [](std::string_view name) {
    const std::string_view digits = name.substr(std::min(name.size(), kTemporaryPrefix.size()));
    return name.starts_with(kTemporaryPrefix) && digits.size() == kTemporaryDigits &&
           digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
  });
}

FetchResult HttpDownloadFileAt(const std::string& url, int folderFd, const std::string& name,
                               const std::atomic<bool>* cancel) {
  std::string temp;
  const int fd = CreateTemporary(folderFd, &temp);
  if (fd < 0) return LocalFailure(std::strerror(errno));
  const OpenedFetch fetch(url, kGetAgent);
  if (!fetch.get()) {
    ::close(fd);
    ::unlinkat(folderFd, temp.c_str(), 0);
    return LocalFailure("no libcurl handle");
  }
  UseDirectGet(fetch.easy());
  curl_easy_setopt(fetch.easy(), CURLOPT_MAXFILESIZE_LARGE, kPictureLimit);
  Transfer transfer(fd);
  transfer.Attach(fetch.easy(), cancel);
  CURLcode code;
  FetchResult result = Perform(fetch.get(), transfer, cancel, &code);
  const bool closed = ::close(fd) == 0;
  const bool complete = code == CURLE_OK && result.answered && !transfer.oversize() && !transfer.writeFailed() &&
                        closed && result.status >= 200 && result.status < 300;
  if (!complete) {
    ::unlinkat(folderFd, temp.c_str(), 0);
  } else if (MoveIntoPlace(folderFd, temp, name)) {
    result.saved = true;
  }
  if (!result.saved && (complete || transfer.writeFailed() || !closed)) {
    result.failure = FetchFailure::kLocal;
    result.detail = "the picture could not be written to its folder";
  }
  return result;
}

}  // namespace vormla
