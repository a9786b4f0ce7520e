// Running a retrieval and listing the catalogue from the command line.
#include "cli/CliRun.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <memory>

#include "cli/CliProgress.h"
#include "engine/WebAccess.h"
#include "net/SiteConfig.h"
#include "run/Run.h"
#include "run/RunTexts.h"
#include "settings/AccountFile.h"
#include "settings/AppPaths.h"

namespace vormla::cli {

namespace {

sigset_t RunSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGUSR1);  // the worker's "job finished"
  return set;
}

// One message: "vormla-cli: " before its first line.
void PrintMessage(std::FILE* err, const std::string& message) {
  std::fprintf(err, "vormla-cli: %s\n", message.c_str());
}

void PrintFailure(std::FILE* err, const CliFailure& failure) { PrintMessage(err, failure.what()); }

int ExitCodeOf(RunOutcome outcome) {
  switch (outcome) {
    case RunOutcome::kComplete:
      return kExitRows;
    case RunOutcome::kNothingFound:
      return kExitNoRows;
    case RunOutcome::kCancelledWithRows:
    case RunOutcome::kCancelledBeforeFirstRow:
      return kExitCancelled;
    case RunOutcome::kSiteUnreachable:
      return kExitUnreachable;
    case RunOutcome::kFileError:
      break;
  }
  return kExitFileError;
}

// Takes a SIGINT or SIGTERM that arrived while the run's signals were blocked.
bool TakePendingStop() {
  sigset_t pending;
  sigemptyset(&pending);
  if (sigpending(&pending) != 0) return false;
  if (!sigismember(&pending, SIGINT) && !sigismember(&pending, SIGTERM)) return false;
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  const timespec now{};
  while (sigtimedwait(&stops, nullptr, &now) > 0) {
  }
  return true;
}

}  // namespace

void BlockRunSignals() {
  const sigset_t set = RunSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int RunCommand(const RunArguments& arguments, std::FILE* err) {
  RunPlan plan;
  try {
    plan = PrepareRun(arguments);
  } catch (const CliFailure& failure) {
    PrintFailure(err, failure);
    return failure.ExitCode();
  }
  return RunPlanned(std::move(plan), err);
}

int RunPlanned(RunPlan plan, std::FILE* err, RunReport* report) {
  RunRequest request;
  request.Conditions = std::move(plan.Conditions);
  request.Result = std::move(plan.Result);
  request.Nodes = std::move(plan.Nodes);
  request.AccountPath = AccountFile();
  if (const StartCheck account = CheckAccount(request.AccountPath, request.Account); !account.Passed()) {
    PrintMessage(err, StartRefusalText(account, Face::kCommandLine));
    return ExitCodeOf(account);
  }
  // A stop asked for while the conditions were read ends here, before anything
  // is written or fetched.
  if (TakePendingStop()) {
    PrintMessage(err, CancelledText());
    PrintMessage(err, StoppedBeforeStartText());
    return kExitCancelled;
  }

  const pthread_t mainThread = pthread_self();
  std::atomic<bool> finished{false};
  TerminalProgress progress(err, ::isatty(::fileno(err)) != 0, [&finished, mainThread] {
    finished = true;
    pthread_kill(mainThread, SIGUSR1);
  });
  if (request.Account.State == AccountReading::Found::kAccount) {
    const std::string_view loginId = request.Account.Account.LoginId.View();
    std::fprintf(err, "vormla-cli: ログインID %.*s でサインインします (%s)。\n", static_cast<int>(loginId.size()),
                 loginId.data(), request.AccountPath.c_str());
  }
  progress.Note(StartingText());

  Run run(std::move(request), progress, NetworkWebAccess(), SiteRoot());
  bool cancelled = false;
  if (run.Start()) {
    const sigset_t set = RunSignals();
    while (!finished) {
      int received = 0;
      if (sigwait(&set, &received) != 0) continue;
      if (received == SIGUSR1 || finished) continue;
      if (!cancelled) {
        cancelled = true;
        run.Cancel();
        progress.Note("中断しています...");
      } else {
        progress.Note("中断しています... (終了を待っています)");
      }
    }
    run.Join();
  }
  const RunReport& ended = run.Report();
  progress.Close(!cancelled && ended.Outcome != RunOutcome::kFileError);
  for (const std::string& message : CommandLineEndMessages(ended)) PrintMessage(err, message);
  if (report != nullptr) *report = ended;
  return ExitCodeOf(ended.Outcome);
}

int CategoriesCommand(const CategoriesArguments& arguments, std::FILE* out, std::FILE* err) {
  std::string notice;
  try {
    for (const std::string& line : CategoryLines(arguments, &notice)) std::fprintf(out, "%s\n", line.c_str());
  } catch (const CliFailure& failure) {
    PrintFailure(err, failure);
    return failure.ExitCode();
  }
  if (std::fflush(out) != 0 || std::ferror(out) != 0) {
    std::fprintf(err, "vormla-cli: 一覧を標準出力に書き込めませんでした。\n");
    return kExitFileError;
  }
  if (!notice.empty()) std::fprintf(err, "vormla-cli: %s\n", notice.c_str());
  return 0;
}

}  // namespace vormla::cli
