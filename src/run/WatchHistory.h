// What a watch made, kept in its folder: each result it recorded, when it was
// made and its change report, and the files it found there without having made
// them, so that each of those is named to the user once. A new result is compared
// only with a result of this history, and --keep removes only results of this
// history: a copied or misdated file in the folder is never either.
//
// The file ".vormla-watch-history" is text, one entry a line, replaced whole:
//   vormla-watch-history 1
//   result <seconds since 1970> <result name> [<report name>]
//   noted <name>
// Only names of the watch's own patterns are taken from it, so a damaged or
// hostile line can never name a file elsewhere.
#pragma once

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace vormla {

inline constexpr const char* kWatchHistoryName = ".vormla-watch-history";

struct WatchRecord {
  std::time_t Made = 0;  // when the run began
  std::string Result;    // "vormla-<stamp>.csv"
  std::string Report;    // "changes-<stamp>.csv", or "" when the result was compared with nothing
  bool operator==(const WatchRecord&) const = default;
};

struct WatchHistory {
  std::vector<WatchRecord> Records;  // oldest first
  std::vector<std::string> Noted;    // files the user was told this watch did not make
  bool operator==(const WatchHistory&) const = default;
};

std::string HistoryText(const WatchHistory& history);
// Lines that do not read as an entry are passed over; Valid is false when the
// first line is not the file's own.
struct ParsedHistory {
  bool Valid = false;
  WatchHistory History;
};
ParsedHistory ParseHistory(std::string_view text);

struct HistoryReading {
  enum class State { kRead, kMissing, kUnreadable };
  State Found = State::kMissing;
  WatchHistory History;
  int Error = 0;  // errno for kUnreadable (EINVAL: not a history file, EFBIG: far too long)
};
// The folder's history. A symbolic link at its name is not followed (kUnreadable).
HistoryReading ReadWatchHistory(const std::string& folder);
// Puts the history in place whole (a file of its own beside it, flushed, then
// renamed). 0, or the errno of what failed; the old history stays then.
int WriteWatchHistory(const std::string& folder, const WatchHistory& history);

// The history of a folder a watch filled before histories were kept: its results
// (among names, the folder's files) not dated later than now, each with the
// change report of its stamp when there is one.
WatchHistory AdoptedHistory(const std::vector<std::string>& names, std::time_t now);

// The result to compare a new one with: the newest record made no later than
// now whose result is among names. nullptr when there is none.
const WatchRecord* BaseRecord(const WatchHistory& history, const std::vector<std::string>& names, std::time_t now);

// A file of the watch's patterns that the history does not vouch for.
struct StrangeFile {
  std::string Name;
  bool Recorded = false;  // recorded, but made later than now
  bool Future = false;    // dated later than now (by its record, else by its stamp)
  bool operator==(const StrangeFile&) const = default;
};
// The strange files among names that the history has not noted yet.
std::vector<StrangeFile> StrangeFiles(const WatchHistory& history, const std::vector<std::string>& names,
                                      std::time_t now);
// Notes strange (told once from now on) and forgets noted names no longer among
// names, so that a new file of such a name is told again.
void NoteStrangeFiles(WatchHistory& history, const std::vector<StrangeFile>& strange,
                      const std::vector<std::string>& names);

// Adds a record; an older one of the same result name goes.
void AddRecord(WatchHistory& history, WatchRecord record);
// The records that go when only the newest keep (at least 1) of those made no
// later than now stay; records dated later are never among them. They are taken
// out of history.
std::vector<WatchRecord> TakeBeyondKeep(WatchHistory& history, int keep, std::time_t now);
// Whether name is a result or report that a record names.
bool IsRecorded(const WatchHistory& history, const std::string& name);

}  // namespace vormla
