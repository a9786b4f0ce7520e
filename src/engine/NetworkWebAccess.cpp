// The job's network access on the process-wide libcurl layer.
#include "engine/WebAccess.h"

namespace vormla {

namespace {

class CurlWebAccess final : public WebAccess {
 public:
  FetchResult Get(const std::string& url, std::string& page, const std::atomic<bool>* cancel) override {
    return HttpGetPage(url, page, cancel);
  }
  FetchResult Post(const std::string& body, const std::string& path, std::string& page,
                   const std::atomic<bool>* cancel) override {
    return HttpPostPage(body, path, page, cancel);
  }
  FetchResult Download(const std::string& url, int folderFd, const std::string& name,
                       const std::atomic<bool>* cancel) override {
    return HttpDownloadFileAt(url, folderFd, name, cancel);
  }
};

}  // namespace

WebAccess& NetworkWebAccess() {
  static CurlWebAccess access;
  return access;
}

}  // namespace vormla
