// The job's door to the network, kept behind an interface so the readers can be
// exercised on canned pages.
#pragma once

#include <atomic>
#include <string>

#include "net/HttpFetch.h"

namespace vormla {

class WebAccess {
 public:
  virtual ~WebAccess() = default;
  // A page into memory: page starts empty and stays empty without an answer.
  virtual FetchResult Get(const std::string& url, std::string& page, const std::atomic<bool>* cancel) = 0;
  virtual FetchResult Post(const std::string& body, const std::string& path, std::string& page,
                           const std::atomic<bool>* cancel) = 0;
  // A picture into the file name in the folder open as folderFd, never through a
  // symbolic link; FetchResult::saved tells whether it stands there now.
  virtual FetchResult Download(const std::string& url, int folderFd, const std::string& name,
                               const std::atomic<bool>* cancel) = 0;
};

// The real one, on libcurl; shared by every job of the process.
WebAccess& NetworkWebAccess();

}  // namespace vormla
