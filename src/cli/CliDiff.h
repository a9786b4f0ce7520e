// `vormla-cli diff`: what changed between two result files, as a change report.
// `watch` uses the same comparison for each new result.
#pragma once

#include <cstdio>
#include <string>

#include "cli/CliOptions.h"
#include "results/ResultDiff.h"

namespace vormla::cli {

// "vormla-cli: 新規 N、終了 N、価格変更 N、販売状況変更 N、更新 N"
std::string ChangesLine(const ChangeCounts& counts);

enum class CompareOutcome { kSame, kChanged, kUnreadable, kNotWritten };

// Reads both files, then writes the report: to reportPath (through a file of its
// own beside it, put in place when whole), or to outFd when reportPath is empty.
// Progress and trouble go to err (the file and line named); counts gets the
// counts when the report was written. A UTF-8 report starts with a byte-order
// mark unless byteOrderMark is false.
CompareOutcome CompareResultFiles(const std::string& older, const std::string& newer, const std::string& reportPath,
                                  int outFd, ResultEncoding encoding, std::FILE* err, ChangeCounts& counts,
                                  bool byteOrderMark = true);

// The command: exit 0 no difference, 1 differences, 2 trouble. A report for a
// terminal is UTF-8 without a byte-order mark, whatever --encoding says for
// files and pipes.
int DiffCommand(const DiffArguments& arguments, int outFd, std::FILE* err);

}  // namespace vormla::cli
