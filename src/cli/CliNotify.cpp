#include "cli/CliNotify.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "files/WholeFile.h"
#include "results/ChangeReport.h"

namespace vormla::cli {

namespace {

// Each call on the bus; a notification service started on demand needs a moment.
constexpr std::chrono::seconds kCallTimeout{10};
// The watch waits for the notice to be taken (two calls and the move into a scope).
constexpr std::chrono::seconds kStatusWait{35};
constexpr const char* kSent = "sent";

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

// systemd names the journal's stream in JOURNAL_STREAM ("device:inode") for a
// service whose standard error goes there.
bool ErrorsGoToJournal() {
  const char* stream = std::getenv("JOURNAL_STREAM");
  unsigned long long device = 0, inode = 0;
  struct stat st {};
  return stream != nullptr && std::sscanf(stream, "%llu:%llu", &device, &inode) == 2 && ::fstat(2, &st) == 0 &&
         st.st_dev == device && st.st_ino == inode;
}

// The notifier keeps no terminal, pipe or folder of the watch: a reader of the
// watch's output sees its end, and nothing stays busy for half a day.
void Detach(int statusFd) {
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);  // vormla-cli blocks the stop signals for its run
  ::signal(SIGPIPE, SIG_DFL);
  const int status = ::fcntl(statusFd, F_DUPFD, 10);  // clear of the three below, whatever the watch had open
  const int null = ::open("/dev/null", O_RDWR);
  ::dup2(null, 0);
  ::dup2(null, 1);
  if (!ErrorsGoToJournal()) ::dup2(null, 2);
  ::dup2(status, 3);
  ::close_range(4, ~0U, 0);  // the watch folder's lock among them
  if (::chdir("/") != 0) ::_exit(1);
}

void WriteStatus(const std::string& text) {
  WriteWhole(3, text);
  ::close(3);
}

[[noreturn]] void OpenViewer(const std::vector<std::string>& command) {
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  ::execvp(argv[0], argv.data());
  std::fprintf(stderr, "vormla-cli: %s を起動できません (%s)\n", argv[0], std::strerror(errno));
  ::_exit(127);
}

// The forked notifier: sends the notice, tells the watch how that went on fd 3,
// then waits for the notice's answer. vormla-cli has no other thread left when a
// watch ends, so this child may allocate and use sd-bus before it execs.
//
// The wait happens here rather than in the watch so that a watch run by hand
// ends at once. Under vormla-watch@.service (Type=oneshot) systemd stops every
// process left in the unit's cgroup as soon as the watch exits, so before telling
// the watch to go on, the notifier asks the user manager for a scope of its own.
[[noreturn]] void Notifier(const Notice& notice, const std::vector<std::string>& viewer, int statusFd) {
  Detach(statusFd);
  NoticeBus bus(kCallTimeout);
  std::string problem = bus.Connect();
  if (problem.empty()) problem = bus.Send(notice);
  if (!problem.empty()) {
    WriteStatus(problem);
    ::_exit(1);
  }
  // A server without actions shows no button: there is nothing to wait for.
  const bool waits = bus.TakesActions();
  if (waits) bus.MoveToOwnScope("vormla-notice-" + std::to_string(::getpid()) + ".scope");
  WriteStatus(kSent);
  if (!waits) ::_exit(0);
  std::string action;
  const NoticeAnswer answer = bus.Await(std::chrono::steady_clock::now() + kAnswerWait, action);
  if (answer == NoticeAnswer::kAction && (action == kOpenAction || action == "default")) OpenViewer(viewer);
  if (answer == NoticeAnswer::kTimedOut) bus.Withdraw();
  ::_exit(0);
}

// What the notifier wrote before it closed fd 3, or the reason there is nothing.
std::string ReadStatus(int fd) {
  std::string text;
  const auto end = std::chrono::steady_clock::now() + kStatusWait;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return "通知サービスが応答しません";
    pollfd ready{fd, POLLIN, 0};
    const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
    if (polled < 0 && errno == EINTR) continue;
    if (polled <= 0) continue;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  if (text.empty()) return "通知のプロセスが途中で終わりました";
  return text == kSent ? "" : text;
}

}  // namespace

Notice ChangeNotice(const std::string& watchName, const ChangeCounts& counts) {
  Notice notice;
  notice.AppName = "Vormla Search";
  notice.Icon = "vormla-results";
  notice.DesktopEntry = "vormla-results";
  notice.Summary = "ウォッチ「" + watchName + "」: 変化がありました";
  notice.Body = ChangeCountsText(counts);
  // "default" is what most servers send for a click on the notice itself.
  notice.Actions = {{"default", "開く"}, {kOpenAction, "開く"}};
  return notice;
}

std::vector<std::string> ViewerCommand(const std::string& report, const std::string& programFolder) {
  const std::string beside = programFolder + "/vormla-results";
  const bool there = !programFolder.empty() && ::access(beside.c_str(), X_OK) == 0;
  return {there ? beside : "vormla-results", "--report", report};
}

void NotifyChanges(const std::string& watchName, const ChangeCounts& counts, const std::string& report,
                   std::FILE* err) {
  if (counts.Total() == 0) return;
  const Notice notice = ChangeNotice(watchName, counts);
  std::error_code ignored;
  const std::vector<std::string> viewer =
      ViewerCommand(std::filesystem::absolute(report, ignored).string(), ProgramFolder());
  int status[2];
  if (::pipe2(status, O_CLOEXEC) != 0) {
    std::fprintf(err, "vormla-cli: デスクトップ通知を送れませんでした: %s\n", std::strerror(errno));
    return;
  }
  // Two forks: the notifier belongs to no terminal session and is no child the
  // watch would have to wait for.
  const pid_t middle = ::fork();
  if (middle == 0) {
    ::close(status[0]);
    ::setsid();
    const pid_t notifier = ::fork();
    if (notifier == 0) Notifier(notice, viewer, status[1]);
    if (notifier < 0) {
      const char text[] = "通知のプロセスを作れません";
      if (::write(status[1], text, sizeof text - 1) < 0) ::_exit(1);
    }
    ::_exit(0);
  }
  ::close(status[1]);
  std::string problem = middle < 0 ? std::string("通知のプロセスを作れません") : std::string();
  if (middle > 0) {
    ::waitpid(middle, nullptr, 0);
    problem = ReadStatus(status[0]);
  }
  ::close(status[0]);
  if (!problem.empty()) std::fprintf(err, "vormla-cli: デスクトップ通知を送れませんでした: %s\n", problem.c_str());
}

}  // namespace vormla::cli
