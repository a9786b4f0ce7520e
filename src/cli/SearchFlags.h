// The search conditions on the command line: the flags `run` and `watch` both
// take, bound straight into the conditions, and the rule that a flag given
// replaces what a settings file says.
#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace vormla {
struct SearchConditions;
}

namespace vormla::cli {

struct RunArguments;

// The flag that names the picture folder; `watch` gives it on the user's behalf.
inline constexpr const char* kImagesFlag = "--images";

// The help of --db and --encoding, which other commands take too.
inline constexpr const char* kDbHelp =
    "カテゴリデータベース (省略時: プログラムと同じフォルダの db/vm_data.db、\n"
    "なければインストール先の vm_data.db)";
inline constexpr const char* kEncodingHelp = "sjis (省略時) か utf-8 (先頭にバイトオーダーマーク)";

// An option that takes one text; an optional stays empty when it is not given.
void AddText(CLI::App& command, const char* name, std::string& value, const char* type, const std::string& help);
void AddText(CLI::App& command, const char* name, std::optional<std::string>& value, const char* type,
             const std::string& help);

// Adds every flag of a search to command, in the help's order: the conditions,
// the catalogue, the settings file and the result's encoding.
void AddSearchFlags(CLI::App& command, RunArguments& arguments);

// After the parse: the names of the flags command was given, into arguments.Given.
void NoteGivenFlags(const CLI::App& command, RunArguments& arguments);

// base (a settings file's conditions, or none) with the condition flags given put
// over it: a text replaces its condition, a switch can only turn its condition
// on, and --images turns picture saving on into its folder.
void TakeGivenFlags(SearchConditions& base, const RunArguments& arguments);

}  // namespace vormla::cli
