// Command line parsing for vormla-cli, and the run's start rules applied to its flags.
#include "cli/CliOptions.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <set>

#include "catalogue/CategoryDatabase.h"
#include "catalogue/CategoryTree.h"
#include "cli/SearchFlags.h"
#include "run/Run.h"
#include "run/RunTexts.h"
#include "settings/AppPaths.h"
#include "settings/Settings.h"
#include "text/AsciiCase.h"
#include "text/KeywordText.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

namespace vormla::cli {

namespace {

constexpr size_t kKeywordBytes = 40;  // the keyword's limit, in Shift-JIS bytes
constexpr size_t kPriceDigits = 9;    // a price's limit

[[noreturn]] void Usage(const std::string& message) { throw CliFailure(kExitUsage, message); }

bool AllDigits(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A non-negative decimal index given on the command line or in a list.
int ParseIndex(const std::string& flag, const std::string& text) {
  if (!AllDigits(text) || text.size() > 9)
    Usage(flag + " には 0 以上の整数を指定してください (「" + text + "」は使えません)。");
  return std::stoi(text);
}

// The category database, opened the way the window does: a missing file is named
// with where it was looked for, anything the database layer raises is its words.
class Catalogue {
 public:
  explicit Catalogue(const std::optional<std::string>& path) : db_(path.value_or(ProgramPaths().Catalogue)) {
    if (!db_.Locate()) {
      throw CliFailure(kExitDatabase, "カテゴリデータベース " + db_.Path() +
                                          " が見つかりません。--db で vm_data.db の場所を指定してください。");
    }
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
  std::string Words(const CatalogueError& error) const {
    return "カテゴリデータベース " + db_.Path() + " を読めませんでした。\n" + error.what();
  }

  CategoryDatabase db_;
};

int CheckTop(const std::string& what, int top, const std::vector<TopCategory>& tops) {
  if (top < 0 || top >= static_cast<int>(tops.size())) {
    Usage(what + " " + std::to_string(top) + " という大分類はありません。大分類は 0 から " +
          std::to_string(static_cast<int>(tops.size()) - 1) + " までの " + std::to_string(tops.size()) +
          " 個です (vormla-cli categories で一覧を表示できます)。");
  }
  return top;
}

// "大分類 3「ペット」"
std::string TopName(int top, const std::vector<TopCategory>& tops) {
  return "大分類 " + std::to_string(top) + "「" + tops[static_cast<size_t>(top)].NameUtf8 + "」";
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
  Usage(where + " の「" + Utf8Of(c) + "」(" + CodePointName(c) +
        ") はShift-JISで表せない文字です。キーワードには使えません。");
}

void CheckKeyword(const std::string& where, const std::string& sjis) {
  if (sjis.size() > kKeywordBytes) {
    Usage(where + " は Shift-JIS で " + std::to_string(sjis.size()) + " バイトあります。" +
          std::to_string(kKeywordBytes) + " バイトまでにしてください。");
  }
}

// A start rule's refusal as the command's failure.
void Require(const StartCheck& check) {
  if (!check.Passed()) throw CliFailure(ExitCodeOf(check), StartRefusalText(check, Face::kCommandLine));
}

// Why a file could not be read, in plain words.
std::string ReadErrorWords(int error) {
  switch (error) {
    case EISDIR:
      return "フォルダです";
    case EINVAL:
      return "通常のファイルではありません (デバイスや FIFO など)";
    case EACCES:
    case EPERM:
      return "読む権限がありません";
    case ENOTDIR:
      return "途中にフォルダでないものがあります";
    case ELOOP:
      return "シンボリックリンクが多すぎるか循環しています";
    default:
      return std::strerror(error);
  }
}

// The character at the start of text as the user would name it: itself when it
// can be seen, else its code point.
std::string CharacterName(std::string_view text) {
  const auto lead = static_cast<unsigned char>(text.front());
  if (lead < 0x20 || lead == 0x7F) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", lead);
    return code;
  }
  size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
  return std::string(text.substr(0, std::min(length, text.size())));
}

// Where a condition came from, as a message names it: the flag when it was
// given, else the settings file's key.
std::string Source(const RunArguments& arguments, const char* flag, const char* key) {
  return arguments.Given.contains(flag) ? std::string(flag) : std::string("設定ファイルの ") + key;
}

void CheckKeywordOf(const RunArguments& arguments, const std::string& keyword) {
  const std::string sjis = Utf8ToSjis(keyword);
  if (arguments.Given.contains("--keyword")) {
    if (sjis.empty() && !keyword.empty()) Usage("--keyword が UTF-8 として正しくありません。");
    CheckKeywordCharacters("--keyword", keyword);
    CheckKeyword("--keyword", sjis);
    return;
  }
  // A stored keyword is checked as it will be searched: as code page 932 writes it.
  CheckKeywordCharacters("設定ファイルの Word", SjisToUtf8(sjis));
  CheckKeyword("設定ファイルの Word", sjis);
}

// The keyword, the four prices and the sort order (--sort taken first), each
// named in a refusal as it was given.
void CheckConditionTexts(SearchConditions& c, const RunArguments& arguments) {
  CheckKeywordOf(arguments, c.Keyword);
  CheckPrice(Source(arguments, "--wholesale-from", "Price1"), c.WholesalePrice.Min);
  CheckPrice(Source(arguments, "--wholesale-to", "Price2"), c.WholesalePrice.Max);
  CheckPrice(Source(arguments, "--retail-from", "Price3"), c.RetailPrice.Min);
  CheckPrice(Source(arguments, "--retail-to", "Price4"), c.RetailPrice.Max);
  if (arguments.Sort) c.Sort = ParseIndex("--sort", *arguments.Sort);
  if (c.Sort < 0 || c.Sort >= kSortChoices) {
    std::string choices;
    for (int i = 0; i < kSortChoices; ++i) choices += (i > 0 ? "、" : "") + std::to_string(i) + " " + kSortLabels[i];
    Usage((arguments.Sort ? std::string("--sort") : std::string("設定ファイルの Sort")) + " " + std::to_string(c.Sort) +
          " という並び順はありません。" + choices + " から選んでください。");
  }
}

// The nodes to search in the chosen top category's tree: --nodes, else the
// settings file's marks (which belong to the tree of its own top category), else
// none.
std::string SelectedCategories(const RunArguments& arguments, const SettingsValues* stored, int storedTop,
                               const TopCategoryChoice& top, const std::vector<TopCategory>& tops,
                               const std::vector<CatalogueNode>& nodes) {
  if (arguments.Nodes) {
    if (nodes.empty() && !arguments.Nodes->empty()) {
      if (!arguments.Top) {
        Usage("--top で大分類を選んでください。" + TopName(top.Index, tops) +
              "には小分類がありません (vormla-cli categories で大分類の番号を確かめられます)。");
      }
      Usage(TopName(top.Index, tops) +
            "には小分類がないので --nodes は使えません。--nodes を外すと大分類全体を検索します。");
    }
    return CanonicalNodeList(*arguments.Nodes, static_cast<int>(nodes.size()));
  }
  if (stored == nullptr || top.Index != storedTop) return {};
  CategoryTree tree(nodes);
  if (tree.ApplyTreeList(stored->TreeList).CheckSelectAll) tree.SetAllChecked(true);
  return tree.SelectedCategoryList();
}

// The catalogue: the top category (--top, else the settings file's), its name
// and tree, and the nodes to search in it.
void ChooseCategories(RunPlan& plan, const RunArguments& arguments, const SettingsValues* stored) {
  Catalogue catalogue(arguments.Db);
  plan.DbPath = catalogue.Path();
  const std::vector<TopCategory> tops = catalogue.TopCategories();
  const int storedTop = stored != nullptr ? std::max(stored->Conditions.TopCategory.Index, 0) : 0;
  TopCategoryChoice& top = plan.Conditions.TopCategory;
  top.Index = arguments.Top ? CheckTop("--top", ParseIndex("--top", *arguments.Top), tops)
                            : CheckTop(stored != nullptr ? "設定ファイルの Category" : "--top", storedTop, tops);
  top.Name = tops[static_cast<size_t>(top.Index)].Name;
  const std::vector<CatalogueNode> nodes = catalogue.Tree(top.Index);
  plan.Conditions.SelectedCategories = SelectedCategories(arguments, stored, storedTop, top, tops, nodes);
  plan.Nodes = ToEngineNodes(nodes);
}

}  // namespace

int ExitCodeOf(const StartCheck& check) {
  switch (check.Refusal) {
    case StartRefusal::kPictureFolderUnwritable:
    case StartRefusal::kOutputFolderMissing:
    case StartRefusal::kOutputFolderNotFolder:
      return kExitFileError;
    default:
      return kExitUsage;
  }
}

void CheckPrice(const std::string& flag, const std::string& text) {
  if (text.empty()) return;
  if (!AllDigits(text)) Usage(flag + " には数字だけを指定してください (「" + text + "」は使えません)。");
  if (text.size() > kPriceDigits) {
    Usage(flag + " は " + std::to_string(text.size()) + " 桁あります。" + std::to_string(kPriceDigits) +
          " 桁までにしてください。");
  }
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
    if (piece.empty()) Usage("--nodes「" + text + "」に空の項目があります。「1,2,5,」のように番号を並べてください。");
    const int index = ParseIndex("--nodes", piece);
    if (index >= nodeCount) {
      Usage("--nodes の " + std::to_string(index) + " という分類はツリーにありません。" +
            (nodeCount > 0 ? "ツリーの分類は 0 から " + std::to_string(nodeCount - 1) + " までです。"
                           : std::string("ツリーに分類がありません。")));
    }
    indices.insert(index);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::string list;
  for (const int index : indices) list += std::to_string(index) + ",";
  return list;
}

SettingsValues ReadConditionsFile(const std::string& path) {
  StoredSettings read = ReadSettings(path);
  if (read.ReadError != 0) {
    Usage("設定ファイル " + path + " を読めません (" + ReadErrorWords(read.ReadError) + ")。");
  }
  if (!read.FileFound) {
    Usage("設定ファイル " + path + " が見つかりません。ウィンドウの設定ファイルは " + ProgramPaths().Settings +
          " です (ウィンドウを一度閉じると作られます)。");
  }
  // Marks, one per node: "1,2" (node numbers) would read as node 0 and its
  // whole group searched.
  const std::string& marks = read.Values.TreeList;
  if (const size_t bad = marks.find_first_not_of("01"); bad != std::string::npos) {
    Usage("設定ファイル " + path + " の TreeList に 0 と 1 以外の文字「" +
          CharacterName(std::string_view(marks).substr(bad)) +
          "」があります。TreeList は小分類ごとに 1 (選ぶ) か 0 (選ばない) を並べたものです (例: 0110)。"
          "小分類を番号で選ぶときは --nodes 1,2 を使ってください。");
  }
  return std::move(read.Values);
}

RunPlan PrepareRun(const RunArguments& arguments) {
  RunPlan plan;
  SearchConditions& c = plan.Conditions;
  // The settings file gives the starting point, as the window's saved state does.
  std::optional<SettingsValues> stored;
  if (arguments.Settings) {
    stored = ReadConditionsFile(*arguments.Settings);
    c = stored->Conditions;
  }
  TakeGivenFlags(c, arguments);
  CheckConditionTexts(c, arguments);
  if (arguments.Top) ParseIndex("--top", *arguments.Top);
  ChooseCategories(plan, arguments, stored ? &*stored : nullptr);

  OrderPricePair(c.WholesalePrice.Min, c.WholesalePrice.Max);
  OrderPricePair(c.RetailPrice.Min, c.RetailPrice.Max);
  if (c.Pictures.On) {
    Require(CheckPictureFolder(c.Pictures.Folder));
    c.Pictures.Folder = PictureFolderText(c.Pictures.Folder);
  }

  plan.Result.Encoding = ParseEncoding(arguments.Encoding);
  if (TrimBlanks(arguments.Output).empty()) Usage("--output にファイル名を指定してください。");
  Require(CheckOutput(arguments.Output, plan.Result.Path));
  return plan;
}

ResultEncoding ParseEncoding(const std::optional<std::string>& text) {
  if (!text) return ResultEncoding::kSjis;
  const std::string lower = LowerAscii(*text);
  if (lower == "sjis") return ResultEncoding::kSjis;
  if (lower == "utf-8") return ResultEncoding::kUtf8;
  Usage("--encoding には sjis か utf-8 を指定してください (「" + *text + "」は使えません)。");
}

std::vector<std::string> CategoryLines(const CategoriesArguments& arguments, std::string* notice) {
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
  if (nodes.empty() && notice != nullptr) {
    *notice = TopName(*top, tops) + "には小分類がありません (run では --nodes なしで大分類全体を検索します)。";
  }
  return lines;
}

}  // namespace vormla::cli
