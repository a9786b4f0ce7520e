// `watch --notify`: the desktop is told when a watch's change report has any
// change, and the notice's "open" shows that report in vormla-results.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/NoticeBus.h"
#include "results/ResultDiff.h"

namespace vormla::cli {

// The key of the notice's action that opens the report.
inline constexpr const char* kOpenAction = "open";

// How long a notice's "open" is answered. A watch runs every morning: its notice
// can still be opened in the evening, and a stale one is taken off the screen
// rather than left with a button that does nothing.
inline constexpr std::chrono::hours kAnswerWait{12};

// The notice for a watch's report: its name and the count of each kind of change.
Notice ChangeNotice(const std::string& watchName, const ChangeCounts& counts);

// The viewer's command line for a report (an absolute path): the vormla-results
// in programFolder when there is one, else the one on the path.
std::vector<std::string> ViewerCommand(const std::string& report, const std::string& programFolder);

// Sends the notice when counts has any change and leaves a process of its own to
// wait for its answer, so the watch ends at once. Trouble (no session bus, no
// notification service) is one line on err; nothing else of the watch changes.
void NotifyChanges(const std::string& watchName, const ChangeCounts& counts, const std::string& report, std::FILE* err);

}  // namespace vormla::cli
