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

#include "cli/CliDiff.h"
#include "cli/CliNotify.h"
#include "cli/CliRun.h"
#include "cli/SearchFlags.h"
#include "engine/ResultColumns.h"
#include "engine/RetrievalJob.h"
#include "files/Folders.h"
#include "results/ResultCsvReader.h"
#include "run/PendingResult.h"
#include "run/RunTexts.h"
#include "run/WatchFolder.h"
#include "run/WatchHistory.h"
#include "settings/AppPaths.h"
#include "settings/Settings.h"

namespace vormla::cli {

namespace {

constexpr int kDefaultKeep = 30;
constexpr const char* kLockName = ".vormla-watch.lock";
constexpr const char* kPicturesFolder = "pictures";

[[noreturn]] void Usage(const std::string& message) { throw CliFailure(kExitUsage, message); }

// The regular files of the folder, by name.
std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    std::error_code ignored;
    if (entry.is_regular_file(ignored)) names.push_back(entry.path().filename().string());
  }
  return names;
}

std::string PathIn(const std::string& folder, const std::string& name) { return folder + "/" + name; }

// Holds the folder's lock file for the object's life; no one else's watch runs
// there meanwhile. The kernel lets go when the process ends, however it ends.
class FolderLock {
 public:
  explicit FolderLock(const std::string& folder) {
    const std::string path = PathIn(folder, kLockName);
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

void RemoveLeftoversOf(const std::string& folder, std::FILE* err) {
  if (const int removed = RemoveLeftovers(folder); removed > 0) {
    std::fprintf(err, "vormla-cli: 途中で終わった実行の一時ファイルを %d 個削除しました (%s)\n", removed,
                 folder.c_str());
  }
}

std::string HistoryTrouble(const std::string& folder, const char* what, int error) {
  const std::string why = error == EINVAL  ? "watch の記録ではありません"
                          : error == ELOOP ? "シンボリックリンクです。リンク先は読みません"
                                           : FileErrorWords(error);
  return "watch の記録 " + PathIn(folder, kWatchHistoryName) + " を" + what + " (" + why + ")。";
}

void TellStrangeFile(const std::string& folder, const StrangeFile& file, std::FILE* err) {
  const char* why = !file.Recorded ? (file.Future ? "この watch が記録したものではなく、日時も今より後のため"
                                                  : "この watch が記録したものではないため")
                                   : "日時が今より後のため";
  std::fprintf(err,
               "vormla-cli: %s は%s、比べる相手にも --keep で削除するものにもしません "
               "(このファイルについて知らせるのは今回だけです)\n",
               PathIn(folder, file.Name).c_str(), why);
}

// The folder's history, read, or made from the results of a folder that a watch
// filled before histories were kept; the files it does not vouch for are told
// once. Throws CliFailure(kExitFileError) when it cannot be read or kept.
WatchHistory OpenHistory(const std::string& folder, std::time_t now, std::FILE* err) {
  HistoryReading reading = ReadWatchHistory(folder);
  if (reading.Found == HistoryReading::State::kUnreadable) {
    throw CliFailure(kExitFileError, HistoryTrouble(folder, "読めません", reading.Error) +
                                         "消すか直すと、次の watch はフォルダの結果から記録を作り直します。");
  }
  const std::vector<std::string> names = FileNames(folder);
  WatchHistory history = std::move(reading.History);
  bool changed = false;
  if (reading.Found == HistoryReading::State::kMissing) {
    history = AdoptedHistory(names, now);
    if (!history.Records.empty()) {
      std::fprintf(err, "vormla-cli: %s に watch の記録がないため、今ある結果 %zu 個を記録しました\n", folder.c_str(),
                   history.Records.size());
      changed = true;
    }
  }
  const std::vector<StrangeFile> strange = StrangeFiles(history, names, now);
  for (const StrangeFile& file : strange) TellStrangeFile(folder, file, err);
  const std::vector<std::string> noted = history.Noted;
  NoteStrangeFiles(history, strange, names);
  if (changed || history.Noted != noted) {
    if (const int error = WriteWatchHistory(folder, history); error != 0) {
      throw CliFailure(kExitFileError, HistoryTrouble(folder, "書き込めません", error));
    }
  }
  return history;
}

// A moment whose stamp no file of the folder and no record has yet: a run that
// ends within the same second as the one before waits for the next second.
std::time_t FreeMoment(const std::string& folder, const WatchHistory& history) {
  for (;;) {
    const std::time_t now = std::time(nullptr);
    const std::string stamp = WatchStamp(now);
    struct stat st {};
    if (::lstat(PathIn(folder, ResultName(stamp)).c_str(), &st) != 0 &&
        ::lstat(PathIn(folder, ChangesName(stamp)).c_str(), &st) != 0 && !IsRecorded(history, ResultName(stamp))) {
      return now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

// Removes the records that --keep lets go, and the leftovers of runs that ended
// without cleaning up.
void RemoveRecords(const std::string& folder, const std::vector<WatchRecord>& records, int keep, std::FILE* err) {
  int removed = 0;
  for (const WatchRecord& record : records) {
    for (const std::string* name : {&record.Result, &record.Report}) {
      if (name->empty()) continue;
      const std::string path = PathIn(folder, *name);
      if (::unlink(path.c_str()) == 0) {
        ++removed;
      } else if (errno != ENOENT) {
        std::fprintf(err, "vormla-cli: 古いファイルを削除できませんでした: %s (%s)\n", path.c_str(),
                     std::strerror(errno));
      }
    }
  }
  if (removed > 0) {
    std::fprintf(err, "vormla-cli: 新しい %d 回分を残し、古い結果と変化レポートを %d 個削除しました\n", keep, removed);
  }
  RemoveLeftoversOf(folder, err);
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
  if (plan.Run.Settings && !plan.Run.Given.contains(kImagesFlag)) {
    plan.Pictures = plan.Pictures || ReadConditionsFile(*plan.Run.Settings).Conditions.Pictures.On;
  }
  return plan;
}

// The folder made and locked, its leftovers gone, its history open and the run
// planned; a failure is said on err and its exit code returned.
struct PreparedWatch {
  WatchPlan Watch;
  RunPlan Run;
  std::unique_ptr<FolderLock> Lock;
  WatchHistory History;
};

int PrepareWatch(const WatchArguments& arguments, PreparedWatch& prepared, std::FILE* err) {
  WatchPlan& watch = prepared.Watch;
  try {
    watch = PlanWatch(arguments);
    const bool made = MakeFolders(watch.Folder, arguments.Dir ? 0777 : 0700);
    if (!made) {
      throw CliFailure(kExitFileError,
                       "結果のフォルダを作れません: " + watch.Folder + " (" + std::strerror(errno) + ")");
    }
    prepared.Lock = std::make_unique<FolderLock>(watch.Folder);
    RemoveLeftoversOf(watch.Folder, err);
    prepared.History = OpenHistory(watch.Folder, std::time(nullptr), err);
    if (watch.Pictures) {
      const std::string pictures = PathIn(watch.Folder, kPicturesFolder);
      if (!MakeFolders(pictures, 0777)) {
        throw CliFailure(kExitFileError, "画像のフォルダを作れません: " + pictures + " (" + std::strerror(errno) + ")");
      }
      // As if given with --images.
      watch.Run.Conditions.Pictures.Folder = pictures;
      watch.Run.Given.insert(kImagesFlag);
    }
    watch.Run.Output = PathIn(watch.Folder, ResultName("00000000-000000"));  // replaced by the run's own name
    prepared.Run = PrepareRun(watch.Run);
  } catch (const CliFailure& failure) {
    std::fprintf(err, "vormla-cli: %s\n", failure.what());
    return failure.ExitCode();
  }
  return -1;
}

// The new result compared with its base: the record to keep, or the exit code
// that ends the watch without one.
struct Compared {
  std::optional<WatchRecord> Record;
  int ExitCode = kExitRows;
  ChangeCounts Counts;
};

Compared CompareWithBase(const WatchPlan& watch, const WatchRecord* base, WatchRecord made, std::FILE* err) {
  Compared compared;
  const std::string result = PathIn(watch.Folder, made.Result);
  if (base == nullptr) {
    std::fprintf(err, "vormla-cli: %s で最初の結果のため、変化レポートはありません\n", watch.Folder.c_str());
    compared.Record = std::move(made);
    return compared;
  }
  const std::string report = ChangesName(*StampOf(made.Result, kResultPrefix));
  const CompareOutcome outcome =
      CompareResultFiles(PathIn(watch.Folder, base->Result), result, PathIn(watch.Folder, report), -1, watch.Encoding,
                         err, compared.Counts);
  if (outcome == CompareOutcome::kNotWritten) {
    // Kept without its report, it would be the next base and these changes
    // would never be reported.
    ::unlink(result.c_str());
    std::fprintf(err,
                 "vormla-cli: 変化レポートがないため、この結果 %s も残しません。次の watch が %s "
                 "と比べて、今回の変化も知らせます\n",
                 result.c_str(), base->Result.c_str());
    compared.ExitCode = kExitFileError;
    return compared;
  }
  if (outcome == CompareOutcome::kUnreadable) {
    // Nothing can be told against a base that cannot be read; the next watch
    // compares with this result rather than failing on that one for ever.
    std::fprintf(err, "vormla-cli: 比べられなかったため、この結果 %s は変化レポートなしで記録しました\n",
                 result.c_str());
    compared.ExitCode = kExitUsage;
  } else {
    made.Report = report;
  }
  compared.Record = std::move(made);
  return compared;
}

// Records the new result (with its report) and takes out of the history what
// --keep does not keep, into beyond. When the history cannot be written, the
// result and its report go too: unrecorded, they would never be a base.
bool KeepRecord(const WatchPlan& watch, WatchHistory& history, const WatchRecord& record,
                std::vector<WatchRecord>& beyond, std::FILE* err) {
  AddRecord(history, record);
  beyond = TakeBeyondKeep(history, watch.Keep, record.Made);
  const int error = WriteWatchHistory(watch.Folder, history);
  if (error == 0) return true;
  std::fprintf(err, "vormla-cli: %sこの結果と変化レポートは残しません\n",
               HistoryTrouble(watch.Folder, "書き込めません", error).c_str());
  for (const std::string* name : {&record.Result, &record.Report}) {
    if (!name->empty()) ::unlink(PathIn(watch.Folder, *name).c_str());
  }
  return false;
}

void TellChanges(const WatchPlan& watch, const Compared& compared, const std::string& baseName, int pagesNotRead,
                 std::FILE* err) {
  std::fprintf(err, "%s\n", ChangesLine(compared.Counts).c_str());
  std::fprintf(err, "vormla-cli: 変化レポート: %s (%s と比べました)\n",
               PathIn(watch.Folder, compared.Record->Report).c_str(), baseName.c_str());
  if (pagesNotRead > 0 && compared.Counts[ChangeKind::kGone] > 0) {
    std::fprintf(
        err,
        "vormla-cli: 読めなかったページがあるため、終了とした商品には読めなかっただけのものが含まれることがあります\n");
  }
}

}  // namespace

void CheckWatchName(const std::string& name) {
  if (!IsWatchName(name)) {
    Usage("--name 「" + name + "」はファイル名として使えません (/ や制御文字を含まない名前にしてください)。");
  }
}

int ParseKeep(const std::optional<std::string>& text) {
  if (!text) return kDefaultKeep;
  const bool digits = !text->empty() && text->size() <= 9 &&
                      std::all_of(text->begin(), text->end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits || std::stoi(*text) < 1)
    Usage("--keep には 1 以上の数を指定してください (「" + *text + "」は使えません)。");
  return std::stoi(*text);
}

int WatchCommand(const WatchArguments& arguments, std::FILE* err) {
  PreparedWatch prepared;
  if (const int failed = PrepareWatch(arguments, prepared, err); failed >= 0) return failed;
  const WatchPlan& watch = prepared.Watch;

  const std::time_t made = FreeMoment(watch.Folder, prepared.History);
  const WatchRecord record{made, ResultName(WatchStamp(made)), ""};
  const std::string result = PathIn(watch.Folder, record.Result);
  prepared.Run.Result.Path = result;
  RunReport ended;
  const int exitCode = RunPlanned(std::move(prepared.Run), err, &ended);
  if (exitCode == kExitCancelled) {
    // Part of a result would show every item not reached as gone, next time too.
    if (::unlink(result.c_str()) == 0) {
      std::fprintf(err, "vormla-cli: 中断したため、途中までの結果 %s は残さず、変化レポートも作りません\n",
                   result.c_str());
    }
    return exitCode;
  }
  if (exitCode != kExitRows && exitCode != kExitNoRows) return exitCode;

  const WatchRecord* base = BaseRecord(prepared.History, FileNames(watch.Folder), made);
  if (!Observed(ended, base == nullptr ? std::string() : PathIn(watch.Folder, base->Result))) {
    ::unlink(result.c_str());
    std::fprintf(err, "vormla-cli: サインインに問題があるため、この結果 %s は残さず、変化レポートも作りません\n",
                 result.c_str());
    return kExitUnreachable;
  }
  const std::string baseName = base == nullptr ? std::string() : base->Result;  // the records move below
  const Compared compared = CompareWithBase(watch, base, record, err);
  std::vector<WatchRecord> beyond;
  if (!compared.Record) return compared.ExitCode;
  if (!KeepRecord(watch, prepared.History, *compared.Record, beyond, err)) return kExitFileError;
  const bool reported = !compared.Record->Report.empty();
  if (reported) TellChanges(watch, compared, baseName, ended.PagesNotRead, err);
  RemoveRecords(watch.Folder, beyond, watch.Keep, err);
  if (!reported) return compared.ExitCode == kExitRows ? exitCode : compared.ExitCode;
  const std::string report = PathIn(watch.Folder, compared.Record->Report);
  if (arguments.Notify) NotifyChanges(arguments.Name.value_or(watch.Folder), compared.Counts, report, err);
  return exitCode;
}

}  // namespace vormla::cli
