// Running a retrieval and listing the catalogue from the command line.
#include "cli/CliRun.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <memory>

#include "catalogue/AccountFile.h"
#include "catalogue/AppPaths.h"
#include "cli/CliProgress.h"
#include "cli/CliReport.h"
#include "cli/PendingResult.h"
#include "engine/RetrievalJob.h"
#include "engine/WebAccess.h"
#include "web/SiteConfig.h"

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

void PrintFailure(std::FILE* err, const CliFailure& failure) {
  std::fprintf(err, "vormla-cli: %s\n", failure.what());
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

int RunPlanned(RunPlan plan, std::FILE* err, RunSummary* summary) {
  std::unique_ptr<PendingResult> result;
  AccountReading account;
  try {
    account = ReadAccountFile(AccountFile());
    if (account.State == AccountReading::Found::kRefused) throw CliFailure(kExitUsage, account.Message);
    // A stop asked for while the conditions were read ends here, before anything
    // is written or fetched.
    if (TakePendingStop()) {
      std::fprintf(err, "vormla-cli: 取得処理を中断しました。\nvormla-cli: 開始前に中断したため、結果ファイルには手を付けていません。\n");
      return kExitCancelled;
    }
    result = std::make_unique<PendingResult>(plan.Conditions.FilePath);
  } catch (const CliFailure& failure) {
    PrintFailure(err, failure);
    return failure.ExitCode();
  }
  const std::string filePath = plan.Conditions.FilePath;
  plan.Conditions.FilePath = result->TemporaryPath();

  const pthread_t mainThread = pthread_self();
  std::atomic<bool> finished{false};
  TerminalProgress progress(err, ::isatty(::fileno(err)) != 0, [&finished, mainThread] {
    finished = true;
    pthread_kill(mainThread, SIGUSR1);
  });
  if (account.State == AccountReading::Found::kAccount) {
    const std::string_view loginId = account.Account.LoginId.View();
    std::fprintf(err, "vormla-cli: ログインID %.*s でサインインします (%s)。\n", static_cast<int>(loginId.size()),
                 loginId.data(), AccountFile().c_str());
  }
  progress.Note("ページ情報を取得中です。しばらくお待ちください。");

  RetrievalJob worker(plan.Conditions, plan.Nodes, progress, NetworkWebAccess(), SiteRoot());
  if (account.State == AccountReading::Found::kAccount) worker.UseAccount(std::move(account.Account));
  worker.Start();

  const sigset_t set = RunSignals();
  bool cancelled = false;
  while (!finished) {
    int received = 0;
    if (sigwait(&set, &received) != 0) continue;
    if (received == SIGUSR1 || finished) continue;
    if (!cancelled) {
      cancelled = true;
      worker.Terminate();
      progress.Note("中断しています...");
    } else {
      progress.Note("中断しています... (終了を待っています)");
    }
  }
  worker.Join();
  const int outcome = worker.ItemFound();
  progress.Close(!cancelled && outcome != kFileError);

  const int rows = worker.RowsWritten();
  if (summary != nullptr) summary->PagesNotRead = worker.PagesNotRead();
  const auto counts = [&](int rowsKept) {
    std::fprintf(err, "%s\n", CountsLine(rowsKept, worker.PagesNotRead(), worker.PicturesNotSaved()).c_str());
  };
  // The previous result stays when this run has none to put in its place.
  if (outcome == kFileError || (outcome == kSiteUnreachable && !cancelled)) {
    result->Discard();
    if (outcome == kFileError) {
      std::fprintf(err, "vormla-cli: 結果ファイルに書き込めませんでした。\n%s\n", filePath.c_str());
      counts(0);
      return kExitFileError;
    }
    std::fprintf(err, "vormla-cli: サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。\n");
    const RetrievalJob::FailedFetch& failure = worker.LastFailure();
    std::fprintf(err, "%s\n", CauseLine(failure.url, failure.result, ExtraCaFile()).c_str());
    counts(0);
    return kExitUnreachable;
  }
  if (!result->Commit()) {
    std::fprintf(err, "vormla-cli: 結果ファイルに書き込めませんでした。\n%s\n", filePath.c_str());
    counts(0);
    return kExitFileError;
  }
  if (cancelled) {
    std::fprintf(err, "vormla-cli: 取得処理を中断しました。\n%s (%d件)\n", filePath.c_str(), rows);
    counts(rows);
    return kExitCancelled;
  }
  if (outcome == kItemWritten) {
    std::fprintf(err, "vormla-cli: 商品情報の取得が完了しました。\n%s (%d件)\n", filePath.c_str(), rows);
    counts(rows);
    return kExitRows;
  }
  std::fprintf(err, "vormla-cli: 該当する商品情報は見つかりませんでした。\n%s\n", filePath.c_str());
  counts(rows);
  return kExitNoRows;
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
