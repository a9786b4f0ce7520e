// `vormla-cli watch`: one retrieval into a folder of dated results, compared with
// the newest earlier result that this watch recorded there (run/WatchHistory.h),
// the oldest recorded results and change reports beyond --keep removed. One watch
// at a time per folder.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "cli/CliOptions.h"

namespace vormla::cli {

// A name that --name takes (IsWatchName). Throws CliFailure(kExitUsage).
void CheckWatchName(const std::string& name);
// --keep: 1 or more (default 30). Throws CliFailure(kExitUsage).
int ParseKeep(const std::optional<std::string>& text);

int WatchCommand(const WatchArguments& arguments, std::FILE* err);

}  // namespace vormla::cli
