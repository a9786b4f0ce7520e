// What both reader fuzzers share: a worker whose every fetch answers with the
// fuzz input, rows to /dev/null.
#pragma once

#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/RetrievalJob.h"

namespace vormla::fuzzing {

class InputWeb : public WebAccess {
 public:
  std::string_view page;

  FetchResult Get(const std::string&, std::string& out, const std::atomic<bool>*) override {
    out.assign(page);
    FetchResult result;
    result.answered = true;
    result.status = 200;
    return result;
  }
  FetchResult Post(const std::string&, const std::string&, std::string& out, const std::atomic<bool>*) override {
    out.clear();
    return {};
  }
  FetchResult Download(const std::string&, int, const std::string&, const std::atomic<bool>*) override { return {}; }
};

class QuietObserver : public JobObserver {
 public:
  int itemCalls = 0;
  void InitProgress(int) override {}
  void StepProgress() override {}
  void ShowItemProgress(const std::string&, int, int) override { ++itemCalls; }
  void ShowStatusText(const std::string&) override {}
  void JobFinished() override {}
};

// No value the readers store may hold a line break: every row stays one line.
inline void CheckRecord(const ItemRecord& record) {
  for (const auto& field : record) {
    if (field.find_first_of("\r\n") != std::string::npos) std::abort();
  }
}

}  // namespace vormla::fuzzing
