// What both reader fuzzers share: a worker whose every fetch answers with the
// fuzz input, its scratch file in a private temporary folder, rows to /dev/null.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "engine/RetrievalJob.h"

namespace vormla::fuzzing {

class InputWeb : public WebAccess {
 public:
  std::string_view page;

  FetchResult Get(const std::string&, const std::string& fileName, const std::atomic<bool>*) override {
    // A fresh file rather than a truncated one: ext4 flushes a truncated file on close.
    std::remove(fileName.c_str());
    std::ofstream(fileName, std::ios::binary | std::ios::trunc).write(page.data(), static_cast<std::streamsize>(page.size()));
    return {true, 200};
  }
  FetchResult Post(const std::string&, const std::string&, const std::string&, const std::atomic<bool>*) override {
    return {};
  }
  FetchResult Download(const std::string&, const std::string&, const std::atomic<bool>*) override { return {}; }
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

// The scratch file, in a folder made once per process and removed at exit.
inline const std::string& ScratchFile() {
  static const std::string path = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "vormla-fuzz-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    static const std::string folder = pattern;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(folder, ignored);
    });
    return pattern + "/tmp.dat";
  }();
  return path;
}

// No value the readers store may hold a line break: every row stays one line.
inline void CheckRecord(const ItemRecord& record) {
  for (const auto& field : record) {
    if (field.find_first_of("\r\n") != std::string::npos) std::abort();
  }
}

}  // namespace vormla::fuzzing
