// `vormla-cli watch`: one retrieval into a folder of dated results, compared with
// the newest earlier result there, the oldest results and change reports beyond
// --keep removed. One watch at a time per folder.
#pragma once

#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "cli/CliOptions.h"

namespace vormla::cli {

// "YYYYMMDD-HHMMSS" of a moment in local time.
std::string WatchStamp(std::time_t moment);
// "vormla-<stamp>.csv" and "changes-<stamp>.csv".
std::string ResultName(const std::string& stamp);
std::string ChangesName(const std::string& stamp);
// The stamp of a result's or a change report's file name ("vormla-" or
// "changes-" as prefix), or nothing for any other name.
std::optional<std::string> StampOf(const std::string& name, const std::string& prefix);

// The file names among names that go when only the newest keep of them (by their
// stamps) stay; names without a stamp of that prefix are never chosen.
std::vector<std::string> NamesBeyondKeep(const std::vector<std::string>& names, const std::string& prefix, int keep);
// The newest result name among names other than except, or "" when there is none.
std::string NewestResult(const std::vector<std::string>& names, const std::string& except);

// A name that --name takes: a plain file name (no "/", not "." or "..", no
// control character, not empty). Throws CliFailure(kExitUsage).
void CheckWatchName(const std::string& name);
// --keep: 1 or more (default 30). Throws CliFailure(kExitUsage).
int ParseKeep(const std::optional<std::string>& text);

int WatchCommand(const WatchArguments& arguments, std::FILE* err);

}  // namespace vormla::cli
