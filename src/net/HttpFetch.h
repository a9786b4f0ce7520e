// Fetching one resource over HTTPS with libcurl: pages into memory, pictures into
// a file.
//
// One cookie jar serves the whole process: every call stores the cookies that any
// response (redirects included) sets and sends the matching ones. DNS and TLS
// sessions are shared the same way. TLS verification is always on, and nothing
// but https is fetched or followed, so a cookie never travels in clear.
//
// Time limits: 60 s to connect; a transfer that receives nothing for 30 s, or
// that averages under 1 KB/s over 60 s, is given up, and so is one that has not
// arrived whole 120 s after it began (FetchLimitSeconds).
#pragma once

#include <atomic>
#include <string>

namespace vormla {

// Why a fetch got no usable answer, in the terms a person can act on.
enum class FetchFailure {
  kNone,          // the final answer arrived whole (its status may still be an error)
  kNotHttps,      // the URL, or a redirect, leads to another scheme than https
  kCertificate,   // the server's certificate is not trusted
  kTls,           // the secure connection could not be set up otherwise
  kHostNotFound,  // the host name could not be resolved
  kRefused,       // nothing listens at the address
  kUnreachable,   // no connection for another reason
  kTimedOut,      // connect time-out, nothing for 30 s, under 1 KB/s for 60 s, or not whole in 120 s
  kDropped,       // the connection closed before the answer was complete
  kRedirectLoop,  // too many redirects
  kBadAnswer,     // the server's answer was not readable HTTP
  kCancelled,     // the cancel flag stopped it
  kLocal,         // a failure on this side (memory, the target file)
  kOther,
};

struct FetchResult {
  bool answered = false;                       // the final response arrived whole (a page cut at 16 MiB counts)
  long status = 0;                             // status of the final response, 0 when none
  bool saved = false;                          // picture download: the picture now stands at the target
  FetchFailure failure = FetchFailure::kNone;  // why the transfer did not end well
  std::string detail;                          // libcurl's words for that failure, when it had any
};

// GET of an absolute https URL into page, never through a proxy. The page starts
// empty and holds the final response's body (cut at 16 MiB); it is empty when no
// whole answer came. A set cancel flag aborts the transfer within about a second.
FetchResult HttpGetPage(const std::string& url, std::string& page, const std::atomic<bool>* cancel = nullptr);

// Form POST as HTTP/1.0 to path on the site host (SiteRoot's host and port) over
// https, with the one Content-Type header and the body sent byte for byte. Follows
// the usual proxy environment variables. The answer's body goes to page as above.
FetchResult HttpPostPage(const std::string& body, const std::string& path, std::string& page,
                         const std::atomic<bool>* cancel = nullptr);

// Picture download into the folder open as folderFd: GET into a temporary file
// there (a short name of its own, so any name that fits the folder fits), renamed
// onto name only for a complete 2xx answer and only when nothing stands there; a
// regular file already there counts as the picture, anything else does not.
// Neither name is followed if it is a symbolic link, so nothing is written
// outside the folder. Nothing is left behind otherwise. A picture over 64 MiB is
// dropped.
FetchResult HttpDownloadFileAt(const std::string& url, int folderFd, const std::string& name,
                               const std::atomic<bool>* cancel = nullptr);
// Removes from the folder open as folderFd the temporary files of downloads that
// no running process holds any more (a killed run's); returns how many went.
int RemoveDownloadLeftovers(int folderFd);

}  // namespace vormla
