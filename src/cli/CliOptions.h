// vormla-cli's command line: parsing the two commands and turning the flags of
// `run` into the search conditions a job gets, with the start button's rules.
//
// Everything here is free of side effects on the outside world, so the rules can
// be checked without starting processes.
#pragma once

#include <iosfwd>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "conditions/SearchConditions.h"
#include "engine/JobTypes.h"
#include "run/StartRules.h"
#include "settings/Settings.h"

namespace vormla::cli {

// The exit codes of vormla-cli.
enum ExitCode : int {
  kExitRows = 0,         // at least one row written
  kExitNoRows = 1,       // header only
  kExitUsage = 2,        // bad usage or condition
  kExitCancelled = 3,    // SIGINT / SIGTERM
  kExitFileError = 4,    // the result file could not be deleted, created or written
  kExitDatabase = 5,     // the category database is missing or unreadable
  kExitUnreachable = 9,  // the site never answered
};

// The sort orders of --sort, as the window's sort box names them.
constexpr int kSortChoices = 5;
extern const char* const kSortLabels[kSortChoices];

// A condition that stops the command before any job runs: the text for standard
// error (UTF-8, may span lines) and the exit code.
class CliFailure : public std::runtime_error {
 public:
  CliFailure(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}
  int ExitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

// The flags of `run` as given; an absent optional is a flag not given. The
// condition flags go straight into Conditions and their names into Given
// (SearchFlags.h): over a settings file, only a flag given counts.
struct RunArguments {
  std::string Output;
  SearchConditions Conditions;
  std::set<std::string> Given;  // "--keyword", ...
  // Texts that become conditions once checked against the sort orders and the
  // catalogue.
  std::optional<std::string> Sort;
  std::optional<std::string> Top;
  std::optional<std::string> Nodes;
  std::optional<std::string> Db;
  std::optional<std::string> Settings;
  std::optional<std::string> Encoding;  // "sjis" or "utf-8"
};

// The flags of `diff`.
struct DiffArguments {
  std::string Older, Newer;
  std::optional<std::string> Output;
  std::optional<std::string> Encoding;
};

// The flags of `watch`: the conditions as for `run` (Output unused), and where
// the results go.
struct WatchArguments {
  RunArguments Run;
  std::optional<std::string> Dir;
  std::optional<std::string> Name;  // a watch of the user's own folders (the systemd units)
  std::optional<std::string> Keep;
  bool Pictures = false;
  bool Notify = false;  // a desktop notification when the report has any change
};

// The flags of `categories`.
struct CategoriesArguments {
  std::optional<std::string> Db;
  std::optional<std::string> Top;
};

// What `account` is to do.
enum class AccountAction { kSet, kShow, kClear };

struct CommandLine {
  enum class Command { kNone, kRun, kCategories, kDiff, kWatch, kAccount };
  Command Which = Command::kNone;
  RunArguments Run;
  CategoriesArguments Categories;
  DiffArguments Diff;
  WatchArguments Watch;
  AccountAction Account = AccountAction::kShow;
};

// Parses argv. Returns nothing when a command is to run (commandLine filled),
// otherwise the exit code to leave with at once: 0 after --help or --version
// (printed on out), kExitUsage after a usage error (printed on err, in Japanese,
// starting "vormla-cli: ").
std::optional<int> ParseCommandLine(int argc, const char* const* argv, CommandLine& commandLine, std::ostream& out,
                                    std::ostream& err);

// Everything a run needs, decided before it starts.
struct RunPlan {
  SearchConditions Conditions;
  ResultTarget Result;              // the final result file name and its bytes
  std::vector<CategoryNode> Nodes;  // the tree of Conditions.TopCategory
  std::string DbPath;
};

// Applies the flags (over the settings file's conditions when --settings is
// given) and checks them against the catalogue and the start rules. Throws
// CliFailure: kExitUsage for a bad condition (also an output that is a folder or
// a device), kExitDatabase when the catalogue is missing or unreadable,
// kExitFileError for a picture folder that takes no file or an output folder
// that is not there. Writes nothing but the picture folder's probe file.
RunPlan PrepareRun(const RunArguments& arguments);

// A settings file given with --settings (or a watch's), read as the run starts
// from it. Throws CliFailure(kExitUsage) when it is missing, cannot be read (the
// cause named) or its TreeList holds a character other than 0 and 1.
SettingsValues ReadConditionsFile(const std::string& path);

// The exit code for a start rule's refusal (its text is StartRefusalText).
int ExitCodeOf(const StartCheck& check);

// "sjis" (the default, also for nullopt) or "utf-8", any letter case. Throws
// CliFailure(kExitUsage) for anything else.
ResultEncoding ParseEncoding(const std::optional<std::string>& text);

// The lines `categories` prints (UTF-8, no line ends). A tree without nodes sets
// notice to a text saying so. Throws CliFailure.
std::vector<std::string> CategoryLines(const CategoriesArguments& arguments, std::string* notice = nullptr);

// The pieces, exposed for their own tests.

// A price text (UTF-8): empty, or 1 to 9 ASCII digits. Throws CliFailure naming flag.
void CheckPrice(const std::string& flag, const std::string& text);
// A selected-category list: "1,2,5," or "1,2,5" (or ""), every index below
// nodeCount. Returns the canonical list (ascending, no duplicates, each index
// followed by ","). Throws CliFailure.
std::string CanonicalNodeList(const std::string& text, int nodeCount);

}  // namespace vormla::cli
