// The process-wide libcurl state behind HttpFetch: the share handle (cookie jar,
// DNS cache, TLS sessions), one reusable handle per thread, the extra CA
// certificates and the options every request gets. Internal to src/net.
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

namespace vormla::curl {

// A thread's easy handle runs inside its own multi handle, which keeps the open
// connections between calls and lets a transfer be polled for cancellation often.
struct ThreadHandle {
  CURL* easy = nullptr;
  CURLM* multi = nullptr;
  ~ThreadHandle();
};

// The calling thread's handle for one call, attached to the shared state. Its
// options are reset when the call ends, so no pointer into the call's locals
// outlives it.
class HandleLease {
 public:
  HandleLease();
  ~HandleLease();
  HandleLease(const HandleLease&) = delete;
  HandleLease& operator=(const HandleLease&) = delete;

  ThreadHandle* get() const { return handle_; }

 private:
  ThreadHandle* handle_ = nullptr;
};

struct CertList;

// Options common to every request: agent, cookies, redirects (https only), TLS
// verification with the extra certificates, time limits. *certs keeps the extra
// certificates alive for the call.
void CommonOptions(CURL* easy, const std::string& url, const char* agent, std::shared_ptr<const CertList>* certs);

// No proxy at all, whatever the environment says.
void NoProxy(CURL* easy);

}  // namespace vormla::curl
