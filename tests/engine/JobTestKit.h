// Small helpers shared by the engine tests: a scratch folder, a recording
// observer and whole-file reads.
#pragma once

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/JobTypes.h"

namespace vormla::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vormla-engine-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // A path inside the folder, as text.
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Records every notification in order as one word each ("init:3", "step", ...).
class RecordingObserver : public JobObserver {
 public:
  std::vector<std::string> events;
  std::vector<std::string> statusTexts;
  std::atomic<int> finished{0};

  void InitProgress(int categoryTotal) override { events.push_back("init:" + std::to_string(categoryTotal)); }
  void StepProgress() override { events.push_back("step"); }
  void ShowItemProgress(const std::string& statusText, int itemDone, int itemTotal) override {
    events.push_back("item:" + std::to_string(itemDone) + "/" + std::to_string(itemTotal));
    statusTexts.push_back(statusText);
  }
  void ShowStatusText(const std::string& statusText) override {
    events.push_back("status");
    statusTexts.push_back(statusText);
  }
  void JobFinished() override {
    events.push_back("finished");
    ++finished;
  }
  int Count(const std::string& event) const {
    int n = 0;
    for (const auto& e : events) n += e == event ? 1 : 0;
    return n;
  }
};

}  // namespace vormla::testing
