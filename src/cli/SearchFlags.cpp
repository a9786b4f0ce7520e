#include "cli/SearchFlags.h"

#include <CLI/CLI.hpp>

#include "cli/CliOptions.h"

namespace vormla::cli {

namespace {

std::string SortHelp() {
  std::string help = "並び順 (省略時 0):";
  for (int i = 0; i < kSortChoices; ++i) help += "\n" + std::to_string(i) + " " + kSortLabels[i];
  return help;
}

}  // namespace

void AddText(CLI::App& command, const char* name, std::string& value, const char* type, const std::string& help) {
  command.add_option(name, value, help)->type_name(type);
}

void AddText(CLI::App& command, const char* name, std::optional<std::string>& value, const char* type,
             const std::string& help) {
  command.add_option(name, value, help)->type_name(type);
}

void AddSearchFlags(CLI::App& command, RunArguments& arguments) {
  SearchConditions& c = arguments.Conditions;
  AddText(command, "--keyword", c.Keyword, "TEXT", "キーワード (UTF-8、Shift-JIS で 40 バイトまで)");
  AddText(command, "--wholesale-from", c.WholesalePrice.Min, "N", "卸価格の下限 (数字 9 桁まで)");
  AddText(command, "--wholesale-to", c.WholesalePrice.Max, "N", "卸価格の上限");
  AddText(command, "--retail-from", c.RetailPrice.Min, "N", "希望小売価格の下限");
  AddText(command, "--retail-to", c.RetailPrice.Max, "N", "希望小売価格の上限");
  command.add_flag("--in-stock", c.InStockOnly, "在庫ありの商品だけ");
  command.add_flag("--discounted", c.DiscountedOnly, "割引中の商品だけ");
  AddText(command, "--sort", arguments.Sort, "0..4", SortHelp());
  AddText(command, "--top", arguments.Top, "N",
          "大分類の番号 (省略時 0 = 全カテゴリ)。\n番号は vormla-cli categories で確かめます");
  AddText(command, "--nodes", arguments.Nodes, "LIST",
          "その大分類のツリーで検索する分類の番号 (\"1,2,5,\")。\n番号は vormla-cli categories --top N で確かめます。\n"
          "省略すると大分類全体を検索します");
  AddText(command, kImagesFlag, c.Pictures.Folder, "DIR",
          "商品画像をこの既存のフォルダに保存します\n(商品ごとに 商品管理番号/ のフォルダ)");
  AddText(command, "--db", arguments.Db, "FILE", kDbHelp);
  AddText(command, "--settings", arguments.Settings, "FILE",
          "この設定ファイル (ウィンドウが保存する vm.ini) の条件から始めます。\n指定したオプションのほうが優先します");
  AddText(command, "--encoding", arguments.Encoding, "sjis|utf-8", kEncodingHelp);
}

void NoteGivenFlags(const CLI::App& command, RunArguments& arguments) {
  for (const CLI::Option* option : command.get_options()) {
    if (option->count() > 0) arguments.Given.insert(option->get_name());
  }
}

void TakeGivenFlags(SearchConditions& base, const RunArguments& arguments) {
  const SearchConditions& flags = arguments.Conditions;
  const auto take = [&arguments](const char* flag, std::string& condition, const std::string& value) {
    if (arguments.Given.contains(flag)) condition = value;
  };
  take("--keyword", base.Keyword, flags.Keyword);
  take("--wholesale-from", base.WholesalePrice.Min, flags.WholesalePrice.Min);
  take("--wholesale-to", base.WholesalePrice.Max, flags.WholesalePrice.Max);
  take("--retail-from", base.RetailPrice.Min, flags.RetailPrice.Min);
  take("--retail-to", base.RetailPrice.Max, flags.RetailPrice.Max);
  base.InStockOnly = base.InStockOnly || flags.InStockOnly;
  base.DiscountedOnly = base.DiscountedOnly || flags.DiscountedOnly;
  if (arguments.Given.contains(kImagesFlag)) base.Pictures = {true, flags.Pictures.Folder};
}

}  // namespace vormla::cli
