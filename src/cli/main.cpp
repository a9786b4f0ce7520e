// vormla-cli: the retrieval engine without a window.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <unistd.h>

#include "catalogue/AppPaths.h"
#include "cli/CliAccount.h"
#include "cli/CliDiff.h"
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/CliWatch.h"

int main(int argc, char** argv) {
  using namespace vormla::cli;
  // Before any thread exists, so that only the run's wait receives the signals.
  BlockRunSignals();
  // A progress reader that goes away (`2>&1 | head`) must not kill a run halfway.
  std::signal(SIGPIPE, SIG_IGN);
  CommandLine commandLine;
  const int parsed = ParseCommandLine(argc, argv, commandLine, std::cout, std::cerr);
  if (parsed >= 0) return parsed;
  if (commandLine.Which == CommandLine::Command::kCategories)
    return CategoriesCommand(commandLine.Categories, stdout, stderr);
  if (commandLine.Which == CommandLine::Command::kDiff) return DiffCommand(commandLine.Diff, 1, stderr);
  if (commandLine.Which == CommandLine::Command::kWatch) return WatchCommand(commandLine.Watch, stderr);
  if (commandLine.Which == CommandLine::Command::kAccount)
    return AccountCommand(commandLine.Account, vormla::AccountFile(), STDIN_FILENO, stdout, stderr);
  return RunCommand(commandLine.Run, stderr);
}
