// Command line parsing and the start button's rules for vormla-cli.
#include "cli/CliOptions.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>
#include <set>

#include <CLI/CLI.hpp>

#include "catalogue/AppPaths.h"
#include "catalogue/CategoryDatabase.h"
#include "catalogue/CategoryTree.h"
#include "catalogue/Settings.h"
#include "web/KeywordText.h"
#include "web/TextOps.h"

namespace vormla::cli {

namespace {

constexpr size_t kKeywordBytes = 40;  // txtWord's limit, in Shift-JIS bytes
constexpr size_t kPriceDigits = 9;    // the price boxes' limit
constexpr int kSortChoices = 5;       // cmbSort items
constexpr const char* kDbHelp =
    "category database (default: db/vm_data.db beside the program, else the installed one)";
constexpr const char* kEncodingHelp = "sjis (default) or utf-8 (with a byte-order mark)";

// The window's own words for the failures it also knows.
constexpr const char* kMissingDbText = "DBファイルの設定が正しくありません。\n管理者に確認してください。";
constexpr const char* kMissingFolderText = "指定された商品画像保存フォルダが見つかりません。";

[[noreturn]] void Usage(const std::string& message) { throw CliFailure(kExitUsage, message); }

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A non-negative decimal index given on the command line or in a list.
int ParseIndex(const std::string& flag, const std::string& text) {
  if (!AllDigits(text) || text.size() > 9) Usage(flag + " expects a non-negative whole number, not \"" + text + "\"");
  return std::stoi(text);
}

// The category database, opened the way the window does: a missing file is the
// window's "DB file" message, anything the database layer raises is its words.
class Catalogue {
 public:
  explicit Catalogue(const std::optional<std::string>& path)
      : db_(path.value_or(ProgramPaths().Catalogue)) {
    if (!db_.Locate()) throw CliFailure(kExitDatabase, std::string(kMissingDbText) + "\n" + db_.Path());
  }

  std::vector<TopCategory> TopCategories() {
    try {
      return db_.LoadTopCategories();
    } catch (const CatalogueError& error) {
      throw CliFailure(kExitDatabase, Words(error));
    }
  }

  std::vector<CatalogueNode> Tree(int top) {
    try {
      return db_.LoadCategoryTree(top);
    } catch (const CatalogueError& error) {
      throw CliFailure(kExitDatabase, Words(error));
    }
  }

  const std::string& Path() const { return db_.Path(); }

 private:
  std::string Words(const CatalogueError& error) const { return std::string(error.what()) + "\n" + db_.Path(); }

  CategoryDatabase db_;
};

int CheckTop(const std::string& what, int top, const std::vector<TopCategory>& tops) {
  if (top < 0 || top >= static_cast<int>(tops.size())) {
    Usage(what + " " + std::to_string(top) + " is beyond the catalogue: it has " + std::to_string(tops.size()) +
          " top-level categories (0 to " + std::to_string(static_cast<int>(tops.size()) - 1) + ")");
  }
  return top;
}

// The UTF-8 bytes of one code point (below U+110000).
std::string Utf8Of(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// A keyword searched as something else than it says is refused: a character that
// code page 932 cannot write would go out as "?", a control character as %01.
void CheckKeywordCharacters(const std::string& where, const std::string& utf8) {
  const std::optional<char32_t> refused = RefusedKeywordCharacter(utf8);
  if (!refused) return;
  const char32_t c = *refused;
  if (IsControlCharacter(c)) {
    Usage(where + " に制御文字 " + CodePointName(c) + " があります。キーワードには使えません。");
  }
  Usage(where + " の「" + Utf8Of(c) + "」(" + CodePointName(c) + ") はShift-JISで表せない文字です。キーワードには使えません。");
}

void CheckKeyword(const std::string& where, const std::string& sjis) {
  if (sjis.size() > kKeywordBytes) {
    Usage(where + " is " + std::to_string(sjis.size()) + " bytes in Shift-JIS; at most " +
          std::to_string(kKeywordBytes) + " fit");
  }
}

}  // namespace

int ParseCommandLine(int argc, const char* const* argv, CommandLine& commandLine, std::ostream& out,
                     std::ostream& err) {
  CLI::App app{"Collects Vormla product listings into a Shift-JIS CSV file.", "vormla-cli"};
  app.require_subcommand(1);

  // The conditions of a run, which `watch` takes too.
  struct ConditionTexts {
    std::string keyword, wholesaleFrom, wholesaleTo, retailFrom, retailTo, sort, top, nodes, images, db, settings,
        encoding;
  } t, w;
  struct Texts {
    std::string catTop, catDb, diffOutput, diffEncoding, watchDir, watchName, watchKeep;
  } u;
  RunArguments& run = commandLine.Run;

  auto option = [](CLI::App* command, const char* name, std::string& value, const char* type, const char* help) {
    return command->add_option(name, value, help)->type_name(type);
  };
  auto addConditions = [&option](CLI::App* command, ConditionTexts& t, RunArguments& run) {
    option(command, "--keyword", t.keyword, "TEXT", "keyword (at most 40 bytes in Shift-JIS)");
    option(command, "--wholesale-from", t.wholesaleFrom, "N", "lowest wholesale price (digits, at most 9)");
    option(command, "--wholesale-to", t.wholesaleTo, "N", "highest wholesale price");
    option(command, "--retail-from", t.retailFrom, "N", "lowest retail price");
    option(command, "--retail-to", t.retailTo, "N", "highest retail price");
    command->add_flag("--in-stock", run.InStock, "in-stock items only");
    command->add_flag("--discounted", run.Discounted, "discounted items only");
    option(command, "--sort", t.sort, "0..4", "sort order (default 0)");
    option(command, "--top", t.top, "N", "top-level category index (default 0; see `categories`)");
    option(command, "--nodes", t.nodes, "LIST", "node indices of that category's tree to search, \"1,2,5,\"");
    option(command, "--images", t.images, "DIR", "save the item pictures into this existing folder");
    option(command, "--db", t.db, "FILE", kDbHelp);
    option(command, "--settings", t.settings, "FILE", "start from the conditions of this settings file");
    option(command, "--encoding", t.encoding, "sjis|utf-8", kEncodingHelp);
  };
  CLI::App* runCommand = app.add_subcommand("run", "Run one retrieval into a CSV file");
  option(runCommand, "--output", run.Output, "FILE", "result file (\".csv\" is appended unless it ends in .csv)")
      ->required();
  addConditions(runCommand, t, run);

  CLI::App* categoriesCommand = app.add_subcommand("categories", "List the catalogue's categories");
  option(categoriesCommand, "--db", u.catDb, "FILE", kDbHelp);
  option(categoriesCommand, "--top", u.catTop, "N", "list the tree of this top-level category");

  DiffArguments& diff = commandLine.Diff;
  CLI::App* diffCommand = app.add_subcommand("diff", "Compare two result files (exit 0 same, 1 changed, 2 trouble)");
  diffCommand->add_option("OLD", diff.Older, "the earlier result file")->required()->type_name("OLD.csv");
  diffCommand->add_option("NEW", diff.Newer, "the later result file")->required()->type_name("NEW.csv");
  option(diffCommand, "--output", u.diffOutput, "FILE", "write the change report here (default: standard output)");
  option(diffCommand, "--encoding", u.diffEncoding, "sjis|utf-8", kEncodingHelp);

  WatchArguments& watch = commandLine.Watch;
  CLI::App* watchCommand =
      app.add_subcommand("watch", "Run a retrieval into a folder of dated results and report what changed");
  option(watchCommand, "--dir", u.watchDir, "DIR", "the folder of results, change reports and pictures");
  option(watchCommand, "--name", u.watchName, "NAME",
         "settings from ~/.config/vormla-search/watch/NAME.ini, results into ~/.local/share/vormla-search/watch/NAME/");
  option(watchCommand, "--keep", u.watchKeep, "N", "keep the newest N results and change reports (default 30)");
  watchCommand->add_flag("--pictures", watch.Pictures, "save the item pictures into DIR/pictures/");
  addConditions(watchCommand, w, watch.Run);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    const int code = app.exit(error, out, err);
    return code == 0 ? 0 : kExitUsage;
  }

  auto given = [](CLI::App* command, const char* name, const std::string& value) -> std::optional<std::string> {
    if (command->count(name) == 0) return std::nullopt;
    return value;
  };
  auto takeConditions = [&given](CLI::App* command, const ConditionTexts& t, RunArguments& run) {
    run.Keyword = given(command, "--keyword", t.keyword);
    run.WholesaleFrom = given(command, "--wholesale-from", t.wholesaleFrom);
    run.WholesaleTo = given(command, "--wholesale-to", t.wholesaleTo);
    run.RetailFrom = given(command, "--retail-from", t.retailFrom);
    run.RetailTo = given(command, "--retail-to", t.retailTo);
    run.Sort = given(command, "--sort", t.sort);
    run.Top = given(command, "--top", t.top);
    run.Nodes = given(command, "--nodes", t.nodes);
    run.Images = given(command, "--images", t.images);
    run.Db = given(command, "--db", t.db);
    run.Settings = given(command, "--settings", t.settings);
    run.Encoding = given(command, "--encoding", t.encoding);
  };
  if (runCommand->parsed()) {
    commandLine.Which = CommandLine::Command::kRun;
    takeConditions(runCommand, t, run);
  } else if (diffCommand->parsed()) {
    commandLine.Which = CommandLine::Command::kDiff;
    diff.Output = given(diffCommand, "--output", u.diffOutput);
    diff.Encoding = given(diffCommand, "--encoding", u.diffEncoding);
  } else if (watchCommand->parsed()) {
    commandLine.Which = CommandLine::Command::kWatch;
    takeConditions(watchCommand, w, watch.Run);
    watch.Dir = given(watchCommand, "--dir", u.watchDir);
    watch.Name = given(watchCommand, "--name", u.watchName);
    watch.Keep = given(watchCommand, "--keep", u.watchKeep);
  } else {
    commandLine.Which = CommandLine::Command::kCategories;
    commandLine.Categories.Db = given(categoriesCommand, "--db", u.catDb);
    commandLine.Categories.Top = given(categoriesCommand, "--top", u.catTop);
  }
  return -1;
}

std::string ResultFileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  std::string extension = dot == std::string::npos || dot < nameStart ? std::string() : path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return extension == ".csv" ? path : path + ".csv";
}

void OrderPricePair(std::string& from, std::string& to) {
  if (TrimBlanks(from).empty() || TrimBlanks(to).empty()) return;
  const long long low = ParseIntOr(from, 0);
  const long long high = ParseIntOr(to, 0);
  if (high < low) {
    from = std::to_string(high);
    to = std::to_string(low);
  }
}

void CheckPrice(const std::string& flag, const std::string& text) {
  if (text.empty()) return;
  if (!AllDigits(text)) Usage(flag + " takes digits only, not \"" + text + "\"");
  if (text.size() > kPriceDigits) Usage(flag + " has " + std::to_string(text.size()) + " digits; at most 9 fit");
}

std::string CanonicalNodeList(const std::string& text, int nodeCount) {
  if (text.empty()) return {};
  std::string body = text;
  if (body.back() == ',') body.pop_back();
  std::set<int> indices;
  size_t start = 0;
  while (true) {
    const size_t comma = body.find(',', start);
    const std::string piece = body.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (piece.empty()) Usage("--nodes \"" + text + "\" has an empty entry; write indices like \"1,2,5,\"");
    const int index = ParseIndex("--nodes", piece);
    if (index >= nodeCount) {
      Usage("--nodes names node " + std::to_string(index) + ", but the tree has " + std::to_string(nodeCount) +
            " nodes" + (nodeCount > 0 ? " (0 to " + std::to_string(nodeCount - 1) + ")" : std::string()));
    }
    indices.insert(index);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::string list;
  for (const int index : indices) list += std::to_string(index) + ",";
  return list;
}

RunPlan PrepareRun(const RunArguments& arguments) {
  RunPlan plan;
  SearchConditions& c = plan.Conditions;

  // The settings file gives the starting point, as the window's saved state does.
  std::optional<SettingsValues> stored;
  if (arguments.Settings) {
    StoredSettings read = ReadSettings(*arguments.Settings);
    if (!read.FileFound) Usage("settings file not found: " + *arguments.Settings);
    stored = std::move(read.Values);
    c.Word = Utf8ToSjis(stored->Word);
    c.Price1 = stored->Price1;
    c.Price2 = stored->Price2;
    c.Price3 = stored->Price3;
    c.Price4 = stored->Price4;
    c.Sell1 = stored->Sell1;
    c.Sell2 = stored->Sell2;
    c.SortIndex = stored->Sort;
    c.ImgSave = stored->ImgSave;
    c.DirPath = stored->Dir;
  }

  if (arguments.Keyword) {
    c.Word = Utf8ToSjis(*arguments.Keyword);
    if (c.Word.empty() && !arguments.Keyword->empty()) Usage("--keyword is not valid UTF-8");
    CheckKeywordCharacters("--keyword", *arguments.Keyword);
    CheckKeyword("--keyword", c.Word);
  } else {
    CheckKeywordCharacters("設定ファイルの Word", SjisToUtf8(c.Word));
    CheckKeyword("the settings file's Word", c.Word);
  }
  if (arguments.WholesaleFrom) c.Price1 = *arguments.WholesaleFrom;
  if (arguments.WholesaleTo) c.Price2 = *arguments.WholesaleTo;
  if (arguments.RetailFrom) c.Price3 = *arguments.RetailFrom;
  if (arguments.RetailTo) c.Price4 = *arguments.RetailTo;
  auto check = [](const std::optional<std::string>& flag, const char* name, const char* key,
                  const std::string& value) {
    CheckPrice(flag ? std::string(name) : std::string("the settings file's ") + key, value);
  };
  check(arguments.WholesaleFrom, "--wholesale-from", "Price1", c.Price1);
  check(arguments.WholesaleTo, "--wholesale-to", "Price2", c.Price2);
  check(arguments.RetailFrom, "--retail-from", "Price3", c.Price3);
  check(arguments.RetailTo, "--retail-to", "Price4", c.Price4);
  if (arguments.InStock) c.Sell1 = true;
  if (arguments.Discounted) c.Sell2 = true;
  if (arguments.Sort) c.SortIndex = ParseIndex("--sort", *arguments.Sort);
  if (c.SortIndex < 0 || c.SortIndex >= kSortChoices) {
    Usage((arguments.Sort ? std::string("--sort") : std::string("the settings file's Sort")) + " " +
          std::to_string(c.SortIndex) + " is not a sort order; choose 0 to 4");
  }
  if (arguments.Top) ParseIndex("--top", *arguments.Top);
  if (arguments.Images) {
    c.ImgSave = true;
    c.DirPath = *arguments.Images;
  }

  // The catalogue: the combo's entries and the tree of the chosen one.
  Catalogue catalogue(arguments.Db);
  plan.DbPath = catalogue.Path();
  const std::vector<TopCategory> tops = catalogue.TopCategories();
  const int storedTop = stored ? std::max(stored->Category, 0) : 0;
  c.CtgrIndex = arguments.Top ? CheckTop("--top", ParseIndex("--top", *arguments.Top), tops)
                              : CheckTop(stored ? "the settings file's Category" : "--top", storedTop, tops);
  c.CtgrText = tops[static_cast<size_t>(c.CtgrIndex)].Name;
  std::vector<CatalogueNode> nodes = catalogue.Tree(c.CtgrIndex);

  // The selection: --nodes, else the settings file's marks (which belong to the
  // tree of its own Category), else nothing.
  if (arguments.Nodes) {
    c.CtgrList = CanonicalNodeList(*arguments.Nodes, static_cast<int>(nodes.size()));
  } else if (stored && c.CtgrIndex == storedTop) {
    CategoryTree tree(nodes);
    if (tree.ApplyTreeList(stored->TreeList).CheckSelectAll) tree.SetAllChecked(true);
    c.CtgrList = tree.SelectedCategoryList();
  }
  plan.Nodes = ToEngineNodes(nodes);

  OrderPricePair(c.Price1, c.Price2);
  OrderPricePair(c.Price3, c.Price4);

  if (c.ImgSave) {
    const std::string folder = TrimBlanks(c.DirPath);
    struct stat st {};
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      Usage(std::string(kMissingFolderText) + "\n" + folder);
    }
    c.DirPath = folder.back() == '/' ? folder : folder + "/";
  }

  c.Encoding = ParseEncoding(arguments.Encoding);
  if (TrimBlanks(arguments.Output).empty()) Usage("--output needs a file name");
  c.FilePath = ResultFileName(arguments.Output);
  return plan;
}

ResultEncoding ParseEncoding(const std::optional<std::string>& text) {
  if (!text) return ResultEncoding::kSjis;
  std::string lower = *text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  if (lower == "sjis") return ResultEncoding::kSjis;
  if (lower == "utf-8") return ResultEncoding::kUtf8;
  Usage("--encoding は sjis か utf-8 です (\"" + *text + "\" は使えません)");
}

std::vector<std::string> CategoryLines(const CategoriesArguments& arguments) {
  std::optional<int> top;
  if (arguments.Top) top = ParseIndex("--top", *arguments.Top);
  Catalogue catalogue(arguments.Db);
  const std::vector<TopCategory> tops = catalogue.TopCategories();
  std::vector<std::string> lines;
  if (!top) {
    for (size_t i = 0; i < tops.size(); ++i) lines.push_back(std::to_string(i) + "\t" + tops[i].NameUtf8);
    return lines;
  }
  CheckTop("--top", *top, tops);
  const std::vector<CatalogueNode> nodes = catalogue.Tree(*top);
  for (size_t i = 0; i < nodes.size(); ++i) {
    const CatalogueNode& node = nodes[i];
    const std::string& caption = node.CaptionUtf8;
    const std::string name = !caption.empty() && caption.front() == ' ' ? caption.substr(1) : caption;
    lines.push_back(std::to_string(i) + "\t" + std::to_string(node.Level) + "\t" + node.CodeUtf8 + "\t" + name);
  }
  return lines;
}

}  // namespace vormla::cli
