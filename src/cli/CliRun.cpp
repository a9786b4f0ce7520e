// Running a retrieval and listing the catalogue from the command line.
#include "cli/CliRun.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>

#include "cli/CliProgress.h"
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

}  // namespace

void BlockRunSignals() {
  const sigset_t set = RunSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

int RunCommand(const RunArguments& arguments, std::FILE* err) {
  RunPlan plan;
  try {
    plan = PrepareRun(arguments);
    ClearOldResultFile(plan.Conditions.FilePath);
  } catch (const CliFailure& failure) {
    PrintFailure(err, failure);
    return failure.ExitCode();
  }
  const std::string filePath = plan.Conditions.FilePath;

  // The scratch page file lives where the window keeps it.
  const std::string scratchFolder = ProgramFolder() + "db/";
  std::error_code ignored;
  std::filesystem::create_directories(scratchFolder, ignored);

  const pthread_t mainThread = pthread_self();
  std::atomic<bool> finished{false};
  TerminalProgress progress(err, ::isatty(::fileno(err)) != 0, [&finished, mainThread] {
    finished = true;
    pthread_kill(mainThread, SIGUSR1);
  });
  progress.Note("ページ情報を取得中です。しばらくお待ちください。");

  RetrievalJob worker(plan.Conditions, plan.Nodes, progress, NetworkWebAccess(), scratchFolder + "tmp.dat",
                   SiteRoot());
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
  progress.Close();

  const int rows = worker.RowsWritten();
  switch (worker.ItemFound()) {
    case kFileError:
      std::fprintf(err, "結果ファイルに書き込めませんでした。\n%s\n", filePath.c_str());
      return kExitFileError;
    case kSiteUnreachable:
      if (!cancelled) {
        std::fprintf(err, "サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。\n");
        return kExitUnreachable;
      }
      break;
    default:
      break;
  }
  if (cancelled) {
    std::fprintf(err, "取得処理を中断しました。\n%s (%d件)\n", filePath.c_str(), rows);
    return kExitCancelled;
  }
  if (worker.ItemFound() == kItemWritten) {
    std::fprintf(err, "商品情報の取得が完了しました。\n%s (%d件)\n", filePath.c_str(), rows);
    return kExitRows;
  }
  std::fprintf(err, "該当する商品情報は見つかりませんでした。\n%s\n", filePath.c_str());
  return kExitNoRows;
}

int CategoriesCommand(const CategoriesArguments& arguments, std::FILE* out, std::FILE* err) {
  try {
    for (const std::string& line : CategoryLines(arguments)) std::fprintf(out, "%s\n", line.c_str());
  } catch (const CliFailure& failure) {
    PrintFailure(err, failure);
    return failure.ExitCode();
  }
  if (std::fflush(out) != 0 || std::ferror(out) != 0) {
    std::fprintf(err, "vormla-cli: the list could not be written to standard output\n");
    return kExitFileError;
  }
  return 0;
}

}  // namespace vormla::cli
