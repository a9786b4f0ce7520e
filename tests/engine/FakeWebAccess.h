// A WebAccess that serves canned answers from memory and records every call, so
// the engine's readers and job driver can be tested without a network.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/WebAccess.h"

namespace vormla::testing {

struct RecordedCall {
  std::string method;  // "GET", "POST" or "DOWNLOAD"
  std::string target;  // URL, or the path for a POST
  std::string body;    // POST body
  std::string file;    // download target
};

// One canned answer: a status and a body. Status 0 is no answer at all.
struct CannedAnswer {
  long status = 200;
  std::string body;
};

class FakeWebAccess : public WebAccess {
 public:
  // 200 answers by exact URL (or POST path). A URL without a body, and without a
  // script below, gets no answer: the page stays empty.
  std::map<std::string, std::string> bodies;
  // Answers by URL taken one per request, the last one repeated (e.g. 500 then 200).
  std::map<std::string, std::vector<CannedAnswer>> scripts;
  std::vector<RecordedCall> calls;
  // Runs before each call is answered (e.g. to request a cancel mid-job).
  std::function<void(const RecordedCall&)> onCall;

  FetchResult Get(const std::string& url, std::string& page, const std::atomic<bool>*) override {
    return Answer({"GET", url, "", ""}, &page);
  }
  FetchResult Post(const std::string& body, const std::string& path, std::string& page,
                   const std::atomic<bool>*) override {
    return Answer({"POST", path, body, ""}, &page);
  }
  FetchResult Download(const std::string& url, int folderFd, const std::string& name,
                       const std::atomic<bool>*) override {
    folderFd_ = folderFd;
    return Answer({"DOWNLOAD", url, "", FolderPath(folderFd) + "/" + name}, nullptr, name);
  }

  std::vector<RecordedCall> CallsOf(const std::string& method) const {
    std::vector<RecordedCall> out;
    for (const auto& c : calls)
      if (c.method == method) out.push_back(c);
    return out;
  }
  size_t CountOf(const std::string& target) const {
    size_t n = 0;
    for (const auto& c : calls) n += c.target == target;
    return n;
  }

 private:
  // The path of an open folder, as the kernel names it.
  static std::string FolderPath(int fd) {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error).string();
  }

  FetchResult Answer(const RecordedCall& call, std::string* page, const std::string& name = {}) {
    if (page) page->clear();
    const size_t earlier = CountOf(call.target);
    calls.push_back(call);
    if (onCall) onCall(call);
    CannedAnswer answer{0, {}};
    if (const auto script = scripts.find(call.target); script != scripts.end() && !script->second.empty()) {
      answer = script->second[std::min(earlier, script->second.size() - 1)];
    } else if (const auto it = bodies.find(call.target); it != bodies.end()) {
      answer = {200, it->second};
    }
    FetchResult result;
    if (answer.status == 0) {
      result.failure = FetchFailure::kRefused;
      return result;
    }
    result.answered = true;
    result.status = answer.status;
    if (page) {
      *page = answer.body;
    } else if (answer.status >= 200 && answer.status < 300) {
      // As the real download: never through a link at the name.
      const int fd = ::openat(folderFd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      result.saved =
          fd >= 0 && ::write(fd, answer.body.data(), answer.body.size()) == static_cast<ssize_t>(answer.body.size());
      if (fd >= 0) ::close(fd);
    }
    return result;
  }

  int folderFd_ = -1;
};

}  // namespace vormla::testing
