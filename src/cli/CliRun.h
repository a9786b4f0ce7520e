// The two commands of vormla-cli, each returning the process's exit code.
#pragma once

#include <cstdio>

#include "cli/CliOptions.h"
#include "run/RunReport.h"

namespace vormla::cli {

// Blocks SIGINT, SIGTERM and SIGUSR1 in the calling thread; call before any other
// thread starts so that every thread inherits the mask and only RunCommand's
// wait takes them.
void BlockRunSignals();

// One retrieval: conditions, the run (the result put in place as the run's
// policy says), cancel on SIGINT or SIGTERM (a second signal while stopping is
// only acknowledged: the worker ends within about a second and the rows written
// stay complete); a stop that came before the run began ends it untouched.
// Messages go to err, ending with the counts line of the run.
int RunCommand(const RunArguments& arguments, std::FILE* err);

// The same for conditions already decided (RunCommand after PrepareRun); report
// receives how the run ended when it ran.
int RunPlanned(RunPlan plan, std::FILE* err, RunReport* report = nullptr);

// The catalogue's lines on out; failures on err. An output that cannot be
// written exits like a result file that cannot (4).
int CategoriesCommand(const CategoriesArguments& arguments, std::FILE* out, std::FILE* err);

}  // namespace vormla::cli
