// The two commands of vormla-cli, each returning the process's exit code.
#pragma once

#include <cstdio>

#include "cli/CliOptions.h"

namespace vormla::cli {

// Blocks SIGINT, SIGTERM and SIGUSR1 in the calling thread; call before any other
// thread starts so that every thread inherits the mask and only RunCommand's
// wait takes them.
void BlockRunSignals();

// One retrieval: conditions, the result written beside the target and put in
// place at the end (not at all for exit 4 or 9), the worker, cancel on SIGINT or
// SIGTERM (a second signal while stopping is only acknowledged: the worker ends
// within about a second and the rows written stay complete); a stop that came
// before the run began ends it untouched. Messages go to err, ending with the
// counts line of the run.
int RunCommand(const RunArguments& arguments, std::FILE* err);

// What a caller of RunPlanned may want to know beyond the exit code.
struct RunSummary {
  int PagesNotRead = 0;
};
// The same for conditions already decided (RunCommand after PrepareRun).
int RunPlanned(RunPlan plan, std::FILE* err, RunSummary* summary = nullptr);

// The catalogue's lines on out; failures on err. An output that cannot be
// written exits like a result file that cannot (4).
int CategoriesCommand(const CategoriesArguments& arguments, std::FILE* out, std::FILE* err);

}  // namespace vormla::cli
