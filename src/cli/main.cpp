// vormla-cli: the retrieval engine without a window.
#include <cstdio>
#include <iostream>

#include "cli/CliOptions.h"
#include "cli/CliRun.h"

int main(int argc, char** argv) {
  using namespace vormla::cli;
  // Before any thread exists, so that only the run's wait receives the signals.
  BlockRunSignals();
  CommandLine commandLine;
  const int parsed = ParseCommandLine(argc, argv, commandLine, std::cout, std::cerr);
  if (parsed >= 0) return parsed;
  if (commandLine.Which == CommandLine::Command::kCategories)
    return CategoriesCommand(commandLine.Categories, stdout, stderr);
  return RunCommand(commandLine.Run, stderr);
}
