// Fetching one resource into a local file over libcurl.
//
// One cookie jar serves the whole process: every call stores the cookies that any
// response (redirects included) sets and sends the matching ones. DNS, TLS sessions
// and connections are shared the same way. TLS verification is always on.
#pragma once

#include <atomic>
#include <string>

namespace vormla {

struct FetchResult {
  bool answered = false;   // some HTTP answer arrived (any status)
  long status = 0;         // status of the final response, 0 when none
};

// GET of an absolute URL, never through a proxy. The output file is left untouched
// when no answer came, otherwise replaced by the body (the status is not examined).
// A set cancel flag aborts the transfer within about a second.
FetchResult HttpGetToFile(const std::string& url, const std::string& fileName,
                          const std::atomic<bool>* cancel = nullptr);

// Form POST as HTTP/1.0 to path on the site host (SiteRoot's host and port), with
// the one Content-Type header and the body sent byte for byte. Follows the usual
// proxy environment variables.
FetchResult HttpPostToFile(const std::string& body, const std::string& fileName,
                           const std::string& path, const std::atomic<bool>* cancel = nullptr);

// Picture download: GET into a temporary file beside target, renamed onto target
// only for a complete 2xx answer; nothing is left behind otherwise.
FetchResult HttpDownloadFile(const std::string& url, const std::string& target,
                             const std::atomic<bool>* cancel = nullptr);

}  // namespace vormla
