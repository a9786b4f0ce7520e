// vormla-cli: the retrieval engine without a window.
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/CliAccount.h"
#include "cli/CliDiff.h"
#include "cli/CliOptions.h"
#include "cli/CliRun.h"
#include "cli/CliStop.h"
#include "cli/CliWatch.h"
#include "settings/AppPaths.h"

int main(int argc, char** argv) {
  using namespace vormla::cli;
  // Before any thread exists, so that only the run's wait, or the stop thread of
  // the other commands, receives the signals.
  BlockRunSignals();
  // A progress reader that goes away (`2>&1 | head`) must not kill a run halfway.
  std::signal(SIGPIPE, SIG_IGN);
  CommandLine commandLine;
  // Into memory first: the help and usage texts go out once a stop can end a
  // write that blocks.
  std::ostringstream out, err;
  const std::optional<int> exitAtOnce = ParseCommandLine(argc, argv, commandLine, out, err);
  const bool waitsForItsOwnStop = !exitAtOnce && (commandLine.Which == CommandLine::Command::kRun ||
                                                  commandLine.Which == CommandLine::Command::kWatch);
  if (!waitsForItsOwnStop) StopOnSignals();
  std::cout << out.str() << std::flush;
  std::cerr << err.str() << std::flush;
  if (exitAtOnce) return *exitAtOnce;
  if (commandLine.Which == CommandLine::Command::kCategories)
    return CategoriesCommand(commandLine.Categories, stdout, stderr);
  if (commandLine.Which == CommandLine::Command::kDiff) return DiffCommand(commandLine.Diff, 1, stderr);
  if (commandLine.Which == CommandLine::Command::kWatch) return WatchCommand(commandLine.Watch, stderr);
  if (commandLine.Which == CommandLine::Command::kAccount)
    return AccountCommand(commandLine.Account, vormla::AccountFile(), STDIN_FILENO, stdout, stderr);
  return RunCommand(commandLine.Run, stderr);
}
