// The names in a watch folder: each result "vormla-YYYYMMDD-HHMMSS.csv" and its
// change report "changes-YYYYMMDD-HHMMSS.csv", stamped with the moment the run
// began in local time; and the names a watch of the user's own folders may have.
// The command line writes by these rules and the results viewer reads by them.
#pragma once

#include <ctime>
#include <optional>
#include <string>

namespace vormla {

inline constexpr const char* kResultPrefix = "vormla-";
inline constexpr const char* kChangesPrefix = "changes-";

// "YYYYMMDD-HHMMSS" of a moment in local time.
std::string WatchStamp(std::time_t moment);
// The moment a stamp names, read in local time as WatchStamp wrote it; nothing
// for a text that is no stamp.
std::optional<std::time_t> StampMoment(const std::string& stamp);

// "vormla-<stamp>.csv" and "changes-<stamp>.csv".
std::string ResultName(const std::string& stamp);
std::string ChangesName(const std::string& stamp);
// The stamp of a result's or a change report's file name (prefix kResultPrefix or
// kChangesPrefix), or nothing for any other name.
std::optional<std::string> StampOf(const std::string& name, const std::string& prefix);
// Whether name is a result's or a change report's file name.
bool IsWatchFileName(const std::string& name);

// Whether name can name a watch: a plain file name (not empty, no "/", not "."
// or "..", no control character).
bool IsWatchName(const std::string& name);

}  // namespace vormla
