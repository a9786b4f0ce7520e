#include "results/WatchList.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "files/Folders.h"
#include "files/WholeFile.h"
#include "run/WatchFolder.h"
#include "settings/AppPaths.h"
#include "settings/Settings.h"

namespace vormla::results {

namespace {

constexpr const char* kSettingsSuffix = ".ini";

std::string WatchSettingsFolder() { return UserConfigFolder() + "/watch"; }

// Writes bytes to a temporary file in folder and links it under target, which
// fails rather than replace a file that is there.
std::string WriteNew(const std::string& target, const std::string& bytes) {
  std::string temporary = target + ".XXXXXX";
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return target + " を作れません (" + std::strerror(errno) + ")";
  const int writeError = WriteSyncClose(fd, bytes);
  const bool linked = writeError == 0 && ::link(temporary.c_str(), target.c_str()) == 0;
  const int linkError = errno;
  ::unlink(temporary.c_str());
  if (writeError != 0) return target + " に書き込めません (" + std::strerror(writeError) + ")";
  if (!linked) {
    return linkError == EEXIST ? "ウォッチ「" + std::filesystem::path(target).stem().string() + "」はすでにあります"
                               : target + " を作れません (" + std::strerror(linkError) + ")";
  }
  SyncFolder(FolderOf(target));
  return "";
}

}  // namespace

std::vector<WatchEntry> ListWatches() {
  std::vector<WatchEntry> watches;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(WatchSettingsFolder(), error)) {
    std::error_code ignored;
    const std::filesystem::path& path = entry.path();
    if (path.extension() != kSettingsSuffix || !entry.is_regular_file(ignored)) continue;
    const std::string name = path.stem().string();
    if (!WatchNameProblem(name).empty()) continue;
    WatchEntry watch{name, path.string(), WatchFolder(name), 0, ""};
    const std::vector<DatedFile> results = ListResults(watch.Folder);
    watch.Results = results.size();
    if (!results.empty()) watch.Newest = results.back().Stamp;
    watches.push_back(std::move(watch));
  }
  std::sort(watches.begin(), watches.end(), [](const WatchEntry& a, const WatchEntry& b) { return a.Name < b.Name; });
  return watches;
}

std::string WatchNameProblem(const std::string& name) {
  if (IsWatchName(name)) return "";
  return "「" + name + "」はウォッチの名前に使えません (/ や制御文字を含まない名前にしてください)。";
}

std::string CreateWatch(const std::string& name, const std::string& settingsFile) {
  if (std::string problem = WatchNameProblem(name); !problem.empty()) return problem;
  if (!ReadSettings(settingsFile).FileFound) return "設定ファイル " + settingsFile + " が見つかりません。";
  std::ifstream in(settingsFile, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  if (!in.good() && !in.eof()) return "設定ファイル " + settingsFile + " を読めません。";
  if (!MakeFolders(WatchSettingsFolder(), 0700)) {
    return "フォルダ " + WatchSettingsFolder() + " を作れません (" + std::strerror(errno) + ")";
  }
  return WriteNew(WatchSettingsFile(name), bytes.str());
}

std::string UnitEscape(const std::string& text) {
  std::string escaped;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
                       c == '_' || (c == '.' && i > 0);
    if (c == '/') {
      escaped += '-';
    } else if (plain) {
      escaped += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02x", c);
      escaped += hex;
    }
  }
  return escaped;
}

std::string TimerUnit(const std::string& name) { return "vormla-watch@" + UnitEscape(name) + ".timer"; }

bool TimerTakesName(const std::string& name) {
  constexpr size_t kUnitNameMax = 255;
  return !name.empty() && TimerUnit(name).size() <= kUnitNameMax;
}

std::vector<std::string> TimerCommand(const std::string& name, bool on) {
  return {"systemctl", "--user", on ? "enable" : "disable", "--now", TimerUnit(name)};
}

std::vector<std::string> TimerStateCommand(const std::string& name) {
  return {"systemctl", "--user", "is-enabled", TimerUnit(name)};
}

std::vector<std::string> RunNowArguments(const std::string& name) { return {"watch", "--name", name}; }

}  // namespace vormla::results
