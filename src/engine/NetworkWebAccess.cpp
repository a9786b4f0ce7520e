// The job's network access on the process-wide libcurl layer.
#include "engine/WebAccess.h"

namespace vormla {

namespace {

class CurlWebAccess final : public WebAccess {
 public:
  FetchResult Get(const std::string& url, const std::string& fileName,
                  const std::atomic<bool>* cancel) override {
    return HttpGetToFile(url, fileName, cancel);
  }
  FetchResult Post(const std::string& body, const std::string& fileName, const std::string& path,
                   const std::atomic<bool>* cancel) override {
    return HttpPostToFile(body, fileName, path, cancel);
  }
  FetchResult Download(const std::string& url, const std::string& target,
                       const std::atomic<bool>* cancel) override {
    return HttpDownloadFile(url, target, cancel);
  }
};

}  // namespace

WebAccess& NetworkWebAccess() {
  static CurlWebAccess access;
  return access;
}

}  // namespace vormla
