#include "run/WatchHistory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <sstream>

#include "files/WholeFile.h"
#include "run/PendingResult.h"
#include "run/WatchFolder.h"

namespace vormla {

namespace {

constexpr std::string_view kFirstLine = "vormla-watch-history 1";
// A history of years of daily results is a few hundred kilobytes at most.
constexpr off_t kHistoryMax = 4 << 20;

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void SortByMade(std::vector<WatchRecord>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const WatchRecord& a, const WatchRecord& b) { return a.Made < b.Made; });
}

// "result <seconds> <result> [<report>]", or false for anything else.
bool ParseRecord(const std::string& line, WatchRecord& record) {
  std::istringstream words(line);
  std::string kind, made, extra;
  if (!(words >> kind >> made >> record.Result) || kind != "result") return false;
  words >> record.Report >> extra;
  if (!extra.empty() || made.empty() || made.size() > 18 ||
      !std::all_of(made.begin(), made.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  record.Made = static_cast<std::time_t>(std::stoll(made));
  return StampOf(record.Result, kResultPrefix) && (record.Report.empty() || StampOf(record.Report, kChangesPrefix));
}

std::string ReadAll(int fd, int& error) {
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) return bytes;
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace

std::string HistoryText(const WatchHistory& history) {
  std::string text(kFirstLine);
  text += '\n';
  for (const WatchRecord& record : history.Records) {
    text += "result " + std::to_string(static_cast<long long>(record.Made)) + " " + record.Result;
    if (!record.Report.empty()) text += " " + record.Report;
    text += '\n';
  }
  for (const std::string& name : history.Noted) text += "noted " + name + "\n";
  return text;
}

ParsedHistory ParseHistory(std::string_view text) {
  ParsedHistory parsed;
  std::istringstream lines{std::string(text)};
  std::string line;
  if (!std::getline(lines, line) || line != kFirstLine) return parsed;
  parsed.Valid = true;
  while (std::getline(lines, line)) {
    WatchRecord record;
    if (ParseRecord(line, record)) {
      AddRecord(parsed.History, std::move(record));
    } else if (line.rfind("noted ", 0) == 0 && IsWatchFileName(line.substr(6)) &&
               !Contains(parsed.History.Noted, line.substr(6))) {
      parsed.History.Noted.push_back(line.substr(6));
    }
  }
  return parsed;
}

HistoryReading ReadWatchHistory(const std::string& folder) {
  HistoryReading reading;
  const std::string path = folder + "/" + kWatchHistoryName;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    reading.Error = errno;
    reading.Found = errno == ENOENT ? HistoryReading::State::kMissing : HistoryReading::State::kUnreadable;
    return reading;
  }
  struct stat st {};
  reading.Found = HistoryReading::State::kUnreadable;
  if (::fstat(fd, &st) != 0) {
    reading.Error = errno;
  } else if (!S_ISREG(st.st_mode)) {
    reading.Error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  } else if (st.st_size > kHistoryMax) {
    reading.Error = EFBIG;
  } else {
    const std::string text = ReadAll(fd, reading.Error);
    ParsedHistory parsed = ParseHistory(text);
    if (reading.Error == 0 && !parsed.Valid) reading.Error = EINVAL;
    if (reading.Error == 0) {
      reading.Found = HistoryReading::State::kRead;
      reading.History = std::move(parsed.History);
    }
  }
  ::close(fd);
  return reading;
}

int WriteWatchHistory(const std::string& folder, const WatchHistory& history) {
  PendingResult file(folder + "/" + kWatchHistoryName);
  if (!file.Ready()) return file.Error();
  const int fd = ::open(file.TemporaryPath().c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  if (const int error = WriteSyncClose(fd, HistoryText(history)); error != 0) return error;
  errno = 0;
  if (!file.Commit()) return errno != 0 ? errno : EIO;
  SyncFolder(folder);
  return 0;
}

WatchHistory AdoptedHistory(const std::vector<std::string>& names, std::time_t now) {
  WatchHistory history;
  for (const std::string& name : names) {
    const auto stamp = StampOf(name, kResultPrefix);
    const auto made = stamp ? StampMoment(*stamp) : std::nullopt;
    if (!made || *made > now) continue;
    const std::string report = ChangesName(*stamp);
    history.Records.push_back({*made, name, Contains(names, report) ? report : std::string()});
  }
  SortByMade(history.Records);
  return history;
}

const WatchRecord* BaseRecord(const WatchHistory& history, const std::vector<std::string>& names, std::time_t now) {
  for (auto it = history.Records.rbegin(); it != history.Records.rend(); ++it) {
    if (it->Made <= now && Contains(names, it->Result)) return &*it;
  }
  return nullptr;
}

bool IsRecorded(const WatchHistory& history, const std::string& name) {
  return std::any_of(history.Records.begin(), history.Records.end(),
                     [&](const WatchRecord& r) { return r.Result == name || r.Report == name; });
}

std::vector<StrangeFile> StrangeFiles(const WatchHistory& history, const std::vector<std::string>& names,
                                      std::time_t now) {
  std::vector<StrangeFile> strange;
  for (const std::string& name : names) {
    if (!IsWatchFileName(name) || Contains(history.Noted, name)) continue;
    const auto record = std::find_if(history.Records.begin(), history.Records.end(),
                                     [&](const WatchRecord& r) { return r.Result == name || r.Report == name; });
    if (record != history.Records.end()) {
      if (record->Made > now) strange.push_back({name, true, true});
      continue;
    }
    auto stamp = StampOf(name, kResultPrefix);
    if (!stamp) stamp = StampOf(name, kChangesPrefix);
    const auto made = StampMoment(*stamp);
    strange.push_back({name, false, made && *made > now});
  }
  std::sort(strange.begin(), strange.end(), [](const StrangeFile& a, const StrangeFile& b) { return a.Name < b.Name; });
  return strange;
}

void NoteStrangeFiles(WatchHistory& history, const std::vector<StrangeFile>& strange,
                      const std::vector<std::string>& names) {
  std::erase_if(history.Noted, [&](const std::string& name) { return !Contains(names, name); });
  for (const StrangeFile& file : strange) {
    if (!Contains(history.Noted, file.Name)) history.Noted.push_back(file.Name);
  }
}

void AddRecord(WatchHistory& history, WatchRecord record) {
  std::erase_if(history.Records, [&](const WatchRecord& r) { return r.Result == record.Result; });
  std::erase(history.Noted, record.Result);
  std::erase(history.Noted, record.Report);
  history.Records.push_back(std::move(record));
  SortByMade(history.Records);
}

std::vector<WatchRecord> TakeBeyondKeep(WatchHistory& history, int keep, std::time_t now) {
  std::vector<WatchRecord> beyond;
  size_t kept = 0;
  const size_t limit = static_cast<size_t>(std::max(keep, 1));
  std::vector<WatchRecord> stay;
  for (auto it = history.Records.rbegin(); it != history.Records.rend(); ++it) {
    const bool counted = it->Made <= now;
    if (!counted || kept < limit) {
      kept += counted ? 1 : 0;
      stay.insert(stay.begin(), *it);
    } else {
      beyond.insert(beyond.begin(), *it);
    }
  }
  history.Records = std::move(stay);
  return beyond;
}

}  // namespace vormla
