#include "cli/CliWatch.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "catalogue/AppPaths.h"
#include "catalogue/Settings.h"
#include "cli/CliDiff.h"
#include "cli/CliNotify.h"
#include "cli/CliRun.h"
#include "engine/ResultColumns.h"
#include "engine/ResultCsvReader.h"
#include "engine/RetrievalJob.h"

namespace vormla::cli {

namespace {

constexpr int kDefaultKeep = 30;
constexpr const char* kResultPrefix = "vormla-";
constexpr const char* kChangesPrefix = "changes-";
constexpr const char* kLockName = ".vormla-watch.lock";
constexpr const char* kPicturesFolder = "pictures";

[[noreturn]] void Usage(const std::string& message) { throw CliFailure(kExitUsage, message); }

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// mkdir -p for a folder the user named; new folders get the usual mode.
bool MakeFolders(const std::string& folder) {
  if (IsFolder(folder)) return true;
  const size_t slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) return false;
  return ::mkdir(folder.c_str(), 0777) == 0 || (errno == EEXIST && IsFolder(folder));
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored)) names.push_back(entry.path().filename().string());
  }
  return names;
}

// The names of one kind with their stamps, oldest first.
std::vector<std::pair<std::string, std::string>> Stamped(const std::vector<std::string>& names,
                                                         const std::string& prefix) {
  std::vector<std::pair<std::string, std::string>> stamped;
  for (const std::string& name : names) {
    if (const auto stamp = StampOf(name, prefix)) stamped.emplace_back(*stamp, name);
  }
  std::sort(stamped.begin(), stamped.end());
  return stamped;
}

// Holds the folder's lock file for the object's life; no one else's watch runs
// there meanwhile. The kernel lets go when the process ends, however it ends.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) {
    const std::string path = folder + "/" + kLockName;
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) {
      throw CliFailure(kExitFileError, "結果のフォルダに書き込めません: " + folder + " (" + std::strerror(errno) + ")");
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd_);
      fd_ = -1;
      Usage(folder + " では別の watch が実行中です。終わってから実行してください。");
    }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// A stamp that no result or report of the folder has yet: a run that ends within
// the same second as the one before waits for the next second.
std::string FreeStamp(const std::string& folder) {
  for (;;) {
    const std::string stamp = WatchStamp(std::time(nullptr));
    struct stat st {};
    if (::stat((folder + "/" + ResultName(stamp)).c_str(), &st) != 0 &&
        ::stat((folder + "/" + ChangesName(stamp)).c_str(), &st) != 0) {
      return stamp;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void RemoveBeyondKeep(const std::string& folder, int keep, std::FILE* err) {
  const std::vector<std::string> names = FileNames(folder);
  int removed = 0;
  for (const char* prefix : {kResultPrefix, kChangesPrefix}) {
    for (const std::string& name : NamesBeyondKeep(names, prefix, keep)) {
      const std::string path = folder + "/" + name;
      if (::unlink(path.c_str()) == 0) {
        ++removed;
      } else {
        std::fprintf(err, "vormla-cli: 古いファイルを削除できませんでした: %s (%s)\n", path.c_str(), std::strerror(errno));
      }
    }
  }
  if (removed > 0) {
    std::fprintf(err, "vormla-cli: 新しい %d 回分を残し、古い結果と変化レポートを %d 個削除しました\n", keep, removed);
  }
}

// Whether the result file at path shows a wholesale price in any row ("" or a
// file that cannot be read: no).
bool ShowsWholesalePrices(const std::string& path) {
  if (path.empty()) return false;
  try {
    ResultCsvReader reader(path);
    reader.DecodeToUtf8();
    std::vector<std::string> fields;
    while (reader.Next(fields)) {
      const std::string& wholesale = fields[column::kWholesalePrice];
      if (!wholesale.empty() && wholesale != SjisToUtf8(NoWholesalePriceText())) return true;
    }
  } catch (const ResultCsvError&) {
  }
  return false;
}

// A run says something about the market only when its rows are a signed-in
// member's: a failed sign-in, or a doubtful one after a result that showed
// wholesale prices, would report every price as changed.
bool Observed(const RunReport& report, const std::string& previousPath) {
  if (report.SignIn.State == SignInState::kFailed) return false;
  if (report.SignIn.State != SignInState::kDoubtful) return true;
  return !ShowsWholesalePrices(previousPath);
}

struct WatchPlan {
  std::string Folder;
  RunArguments Run;
  bool Pictures = false;
  int Keep = kDefaultKeep;
  ResultEncoding Encoding = ResultEncoding::kSjis;
};

WatchPlan PlanWatch(const WatchArguments& arguments) {
  WatchPlan plan;
  plan.Run = arguments.Run;
  if (arguments.Name) {
    CheckWatchName(*arguments.Name);
    if (!plan.Run.Settings) plan.Run.Settings = WatchSettingsFile(*arguments.Name);
  }
  if (arguments.Dir) {
    if (arguments.Dir->empty()) Usage("--dir にフォルダを指定してください。");
    plan.Folder = *arguments.Dir;
    while (plan.Folder.size() > 1 && plan.Folder.back() == '/') plan.Folder.pop_back();
  } else if (arguments.Name) {
    plan.Folder = WatchFolder(*arguments.Name);
  } else {
    Usage("watch には --dir か --name を指定してください。");
  }
  plan.Keep = ParseKeep(arguments.Keep);
  plan.Encoding = ParseEncoding(arguments.Run.Encoding);
  // Pictures when asked here or in the settings file, always into the folder's
  // own picture folder unless --images names another.
  plan.Pictures = arguments.Pictures;
  if (plan.Run.Settings && !plan.Run.Images) {
    const StoredSettings stored = ReadSettings(*plan.Run.Settings);
    plan.Pictures = plan.Pictures || (stored.FileFound && stored.Values.ImgSave);
  }
  return plan;
}

}  // namespace

std::string WatchStamp(std::time_t moment) {
  std::tm local{};
  ::localtime_r(&moment, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

std::string ResultName(const std::string& stamp) { return kResultPrefix + stamp + ".csv"; }

std::string ChangesName(const std::string& stamp) { return kChangesPrefix + stamp + ".csv"; }

std::optional<std::string> StampOf(const std::string& name, const std::string& prefix) {
  constexpr size_t kStampSize = 15;  // YYYYMMDD-HHMMSS
  if (name.size() != prefix.size() + kStampSize + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - 4, 4, ".csv") != 0) {
    return std::nullopt;
  }
  const std::string stamp = name.substr(prefix.size(), kStampSize);
  for (size_t i = 0; i < stamp.size(); ++i) {
    const bool ok = i == 8 ? stamp[i] == '-' : stamp[i] >= '0' && stamp[i] <= '9';
    if (!ok) return std::nullopt;
  }
  return stamp;
}

std::vector<std::string> NamesBeyondKeep(const std::vector<std::string>& names, const std::string& prefix, int keep) {
  const auto stamped = Stamped(names, prefix);
  std::vector<std::string> beyond;
  const size_t kept = static_cast<size_t>(std::max(keep, 0));
  for (size_t i = 0; i + kept < stamped.size(); ++i) beyond.push_back(stamped[i].second);
  return beyond;
}

std::string NewestResult(const std::vector<std::string>& names, const std::string& except) {
  const auto stamped = Stamped(names, kResultPrefix);
  for (auto it = stamped.rbegin(); it != stamped.rend(); ++it) {
    if (it->second != except) return it->second;
  }
  return "";
}

void CheckWatchName(const std::string& name) {
  const bool control = std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos || control) {
    Usage("--name 「" + name + "」はファイル名として使えません (/ や制御文字を含まない名前にしてください)。");
  }
}

int ParseKeep(const std::optional<std::string>& text) {
  if (!text) return kDefaultKeep;
  const bool digits = !text->empty() && text->size() <= 9 &&
                      std::all_of(text->begin(), text->end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || std::stoi(*text) < 1) Usage("--keep には 1 以上の数を指定してください (「" + *text + "」は使えません)。");
  return std::stoi(*text);
}

int WatchCommand(const WatchArguments& arguments, std::FILE* err) {
  WatchPlan watch;
  RunPlan plan;
  std::unique_ptr<FolderLock> lock;
  try {
    watch = PlanWatch(arguments);
    const bool made = arguments.Dir ? MakeFolders(watch.Folder) : MakePrivateFolders(watch.Folder);
    if (!made) {
      throw CliFailure(kExitFileError, "結果のフォルダを作れません: " + watch.Folder + " (" + std::strerror(errno) + ")");
    }
    lock = std::make_unique<FolderLock>(watch.Folder);
    if (watch.Pictures) {
      const std::string pictures = watch.Folder + "/" + kPicturesFolder;
      if (!MakeFolders(pictures)) {
        throw CliFailure(kExitFileError, "画像のフォルダを作れません: " + pictures + " (" + std::strerror(errno) + ")");
      }
      watch.Run.Images = pictures;
    }
    watch.Run.Output = watch.Folder + "/" + ResultName("00000000-000000");  // replaced below
    plan = PrepareRun(watch.Run);
  } catch (const CliFailure& failure) {
    std::fprintf(err, "vormla-cli: %s\n", failure.what());
    return failure.ExitCode();
  }

  const std::string stamp = FreeStamp(watch.Folder);
  const std::string result = watch.Folder + "/" + ResultName(stamp);
  plan.Conditions.FilePath = result;
  RunReport ended;
  const int exitCode = RunPlanned(std::move(plan), err, &ended);
  if (exitCode == kExitCancelled) {
    // Part of a result would show every item not reached as gone, next time too.
    if (::unlink(result.c_str()) == 0) {
      std::fprintf(err, "vormla-cli: 中断したため、途中までの結果 %s は残さず、変化レポートも作りません\n", result.c_str());
    }
    return exitCode;
  }
  if (exitCode != kExitRows && exitCode != kExitNoRows) return exitCode;

  const std::string previous = NewestResult(FileNames(watch.Folder), ResultName(stamp));
  if (!Observed(ended, previous.empty() ? previous : watch.Folder + "/" + previous)) {
    ::unlink(result.c_str());
    std::fprintf(err, "vormla-cli: サインインに問題があるため、この結果 %s は残さず、変化レポートも作りません\n",
                 result.c_str());
    return kExitUnreachable;
  }
  if (previous.empty()) {
    std::fprintf(err, "vormla-cli: %s で最初の結果のため、変化レポートはありません\n", watch.Folder.c_str());
    RemoveBeyondKeep(watch.Folder, watch.Keep, err);
    return exitCode;
  }
  const std::string report = watch.Folder + "/" + ChangesName(stamp);
  ChangeCounts counts;
  const CompareOutcome outcome =
      CompareResultFiles(watch.Folder + "/" + previous, result, report, -1, watch.Encoding, err, counts);
  if (outcome == CompareOutcome::kUnreadable) return kExitUsage;
  if (outcome == CompareOutcome::kNotWritten) return kExitFileError;
  std::fprintf(err, "%s\n", ChangesLine(counts).c_str());
  std::fprintf(err, "vormla-cli: 変化レポート: %s (%s と比べました)\n", report.c_str(), previous.c_str());
  if (ended.PagesNotRead > 0 && counts[ChangeKind::kGone] > 0) {
    std::fprintf(err, "vormla-cli: 読めなかったページがあるため、終了とした商品には読めなかっただけのものが含まれることがあります\n");
  }
  RemoveBeyondKeep(watch.Folder, watch.Keep, err);
  if (arguments.Notify) NotifyChanges(arguments.Name.value_or(watch.Folder), counts, report, err);
  return exitCode;
}

}  // namespace vormla::cli
