// A WebAccess that serves canned bodies from memory and records every call, so the
// engine's readers and job driver can be tested without a network.
#pragma once

#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/WebAccess.h"

namespace vormla::testing {

struct RecordedCall {
  std::string method;   // "GET", "POST" or "DOWNLOAD"
  std::string target;   // URL, or the path for a POST
  std::string body;     // POST body
  std::string file;     // output file
};

class FakeWebAccess : public WebAccess {
 public:
  // Bodies by exact URL (or POST path). A URL without a body gets no answer: the
  // output file is left untouched, as a failed fetch does.
  std::map<std::string, std::string> bodies;
  std::vector<RecordedCall> calls;
  // Runs before each call is answered (e.g. to request a cancel mid-job).
  std::function<void(const RecordedCall&)> onCall;

  FetchResult Get(const std::string& url, const std::string& fileName,
                  const std::atomic<bool>*) override {
    return Answer({"GET", url, "", fileName});
  }
  FetchResult Post(const std::string& body, const std::string& fileName, const std::string& path,
                   const std::atomic<bool>*) override {
    return Answer({"POST", path, body, fileName});
  }
  FetchResult Download(const std::string& url, const std::string& target,
                       const std::atomic<bool>*) override {
    return Answer({"DOWNLOAD", url, "", target});
  }

  std::vector<RecordedCall> CallsOf(const std::string& method) const {
    std::vector<RecordedCall> out;
    for (const auto& c : calls)
      if (c.method == method) out.push_back(c);
    return out;
  }

 private:
  FetchResult Answer(const RecordedCall& call) {
    calls.push_back(call);
    if (onCall) onCall(call);
    const auto it = bodies.find(call.target);
    if (it == bodies.end()) return {};
    std::ofstream(call.file, std::ios::binary | std::ios::trunc) << it->second;
    return {true, 200};
  }
};

}  // namespace vormla::testing
