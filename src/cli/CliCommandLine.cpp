// vormla-cli's command line: its commands and flags, the help with the sort
// orders and exit codes, --version, and CLI11's parse errors told in Japanese.
#include <algorithm>
#include <ostream>

#include <CLI/CLI.hpp>

#include "cli/CliOptions.h"

#ifndef VORMLA_VERSION
#define VORMLA_VERSION "0"
#endif

namespace vormla::cli {

namespace {

constexpr const char* kOptionsGroup = "オプション";
constexpr const char* kCommandsGroup = "コマンド";

constexpr const char* kEncodingHelp = "sjis (省略時) か utf-8 (先頭にバイトオーダーマーク)";

constexpr const char* kDbHelp =
    "カテゴリデータベース (省略時: プログラムと同じフォルダの db/vm_data.db、\n"
    "なければインストール先の vm_data.db)";

std::string SortHelp() {
  std::string help = "並び順 (省略時 0):";
  for (int i = 0; i < kSortChoices; ++i) help += "\n" + std::to_string(i) + " " + kSortLabels[i];
  return help;
}

std::string SortFooter() {
  std::string footer = "並び順 (run --sort):";
  for (int i = 0; i < kSortChoices; ++i) footer += std::string("  ") + std::to_string(i) + " " + kSortLabels[i];
  return footer + "\n";
}

constexpr const char* kExitCodes =
    "終了コード:\n"
    "  0  1行以上書きました (categories: 一覧を表示しました)\n"
    "  1  該当する商品がありませんでした (ファイルは見出し行だけ)\n"
    "  2  使い方か条件の誤り (理由は標準エラーに出ます)\n"
    "  3  SIGINT (Ctrl-C) か SIGTERM で中断しました\n"
    "  4  結果ファイルを置き換え・作成・書き込みできませんでした (画像保存フォルダに書き込めないときも)\n"
    "  5  カテゴリデータベースがないか、読めません\n"
    "  9  サイトを読めませんでした (1行も書けず、読めなかったページがあります。watch ではサインインの問題も)\n"
    "diff の終了コードは diff(1) と同じです: 0 違いなし、1 違いあり、2 比べられませんでした\n";

// diff has its own exit codes and no search conditions.
constexpr const char* kDiffFooter =
    "変化の一覧は --output のファイルとパイプには --encoding の文字コードで、端末には UTF-8 で書きます。\n"
    "終了コード (diff(1) と同じ): 0 違いなし、1 違いあり、\n"
    "2 比べられませんでした (読めないファイル、結果ファイルでないもの、書き込めない出力先)\n";

constexpr const char* kAccountFooter =
    "アカウントは $XDG_CONFIG_HOME/vormla-search/account (既定 ~/.config/vormla-search/account) に\n"
    "ログインID、パスワードの2行で、本人だけが読める権限 (0600) で保存します。このファイルがあれば\n"
    "run もウィンドウもそのアカウントでサインインし、なければ組み込みのアカウントを使います。\n"
    "終了コード: 0 できました、1 (show) アカウントは設定されていません、\n"
    "2 使い方の誤りか、受け付けられない入力やファイル (理由は標準エラーに出ます)\n";

// The flag or argument named at the start of a CLI11 message ("--top: ...").
std::string NameBefore(const std::string& message, const std::string& separator) {
  const size_t at = message.find(separator);
  return at == std::string::npos ? message : message.substr(0, at);
}

std::string AfterColon(const std::string& message) {
  const size_t colon = message.find(": ");
  return colon == std::string::npos ? message : message.substr(colon + 2);
}

// A CLI11 parse error in the program's words. command is the subcommand the
// error arose in ("" for none), for the pointer to its help; firstWord the first
// argument that is no option, if any.
std::string UsageErrorText(const CLI::Error& error, const std::string& command, const std::string& firstWord) {
  const std::string message = error.what();
  std::string text;
  if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr && message.rfind("A subcommand", 0) == 0) {
    if (command == "account") {
      text = "account のあとに set、show、clear のどれかを指定してください。";
    } else {
      text = firstWord.empty() ? std::string() : "「" + firstWord + "」というコマンドはありません。";
      text += "コマンド (run、categories、diff、watch、account) を指定してください。";
    }
  } else if (dynamic_cast<const CLI::RequiredError*>(&error) != nullptr) {
    text = NameBefore(message, " is required") + " を指定してください。";
  } else if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr) {
    // CLI11 lists the extra arguments last first; an unknown option is what matters.
    const std::string extras = AfterColon(message);
    std::string option;
    for (size_t at = 0; at < extras.size() && option.empty();) {
      const size_t end = std::min(extras.find(' ', at), extras.size());
      if (extras[at] == '-') option = extras.substr(at, end - at);
      at = end + 1;
    }
    text = !option.empty() ? "「" + option + "」というオプションはありません。"
                           : "「" + extras + "」は使えない引数です (オプションの名前と値を確かめてください)。";
  } else if (dynamic_cast<const CLI::ArgumentMismatch*>(&error) != nullptr) {
    text = NameBefore(message, ":") + " に値を1つ指定してください。";
  } else if (dynamic_cast<const CLI::ConversionError*>(&error) != nullptr) {
    text = NameBefore(message, ":") + " は値を取りません。";
  } else {
    text = "コマンドラインを読めませんでした (" + message + ")。";
  }
  const std::string help = command.empty() ? "vormla-cli --help" : "vormla-cli " + command + " --help";
  return "vormla-cli: " + text + "\n使い方は " + help + " で確かめられます。\n";
}

// Options, subcommands and help flags in the Japanese groups.
void UseJapaneseGroups(CLI::App& app) {
  app.option_defaults()->group(kOptionsGroup);
  app.set_help_flag("-h,--help", "この説明を表示して終わります");
  auto formatter = app.get_formatter();
  formatter->label("Usage", "使い方");
  formatter->label("OPTIONS", "オプション");
  formatter->label("SUBCOMMAND", "コマンド");
  formatter->label("SUBCOMMANDS", "コマンド");
  formatter->label("Positionals", "引数");
  formatter->label("REQUIRED", "");  // said in the option's text: CLI11 pads by bytes
  formatter->column_width(26);
}

CLI::App* Command(CLI::App& parent, const char* name, const char* description) {
  CLI::App* command = parent.add_subcommand(name, description);
  command->group(kCommandsGroup);
  // A subcommand takes its help flag over before it takes the option defaults.
  command->get_help_ptr()->group(kOptionsGroup);
  return command;
}

}  // namespace

const char* const kSortLabels[kSortChoices] = {"キーワード関連度順", "売れている順", "新規登録順", "卸値が高い順",
                                                "卸値が安い順"};

std::optional<int> ParseCommandLine(int argc, const char* const* argv, CommandLine& commandLine, std::ostream& out,
                                    std::ostream& err) {
  CLI::App app{"Vormla の商品情報を Shift-JIS の CSV ファイルに集めます (ウィンドウの vormla-search と同じ処理)。",
               "vormla-cli"};
  UseJapaneseGroups(app);
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("vormla-cli ") + VORMLA_VERSION, "版を表示して終わります");
  app.footer("\n" + SortFooter() + "\n" + kExitCodes);

  // The conditions of a run, which `watch` takes too.
  struct ConditionTexts {
    std::string keyword, wholesaleFrom, wholesaleTo, retailFrom, retailTo, sort, top, nodes, images, db, settings,
        encoding;
  } t, w;
  struct Texts {
    std::string catTop, catDb, diffOutput, diffEncoding, watchDir, watchName, watchKeep;
  } u;
  RunArguments& run = commandLine.Run;

  auto option = [](CLI::App* command, const char* name, std::string& value, const char* type, const std::string& help) {
    return command->add_option(name, value, help)->type_name(type);
  };
  auto addConditions = [&option](CLI::App* command, ConditionTexts& t, RunArguments& run) {
    option(command, "--keyword", t.keyword, "TEXT", "キーワード (UTF-8、Shift-JIS で 40 バイトまで)");
    option(command, "--wholesale-from", t.wholesaleFrom, "N", "卸価格の下限 (数字 9 桁まで)");
    option(command, "--wholesale-to", t.wholesaleTo, "N", "卸価格の上限");
    option(command, "--retail-from", t.retailFrom, "N", "希望小売価格の下限");
    option(command, "--retail-to", t.retailTo, "N", "希望小売価格の上限");
    command->add_flag("--in-stock", run.InStock, "在庫ありの商品だけ");
    command->add_flag("--discounted", run.Discounted, "割引中の商品だけ");
    option(command, "--sort", t.sort, "0..4", SortHelp());
    option(command, "--top", t.top, "N", "大分類の番号 (省略時 0 = 全カテゴリ)。\n番号は vormla-cli categories で確かめます");
    option(command, "--nodes", t.nodes, "LIST",
           "その大分類のツリーで検索する分類の番号 (\"1,2,5,\")。\n番号は vormla-cli categories --top N で確かめます。\n"
           "省略すると大分類全体を検索します");
    option(command, "--images", t.images, "DIR", "商品画像をこの既存のフォルダに保存します\n(商品ごとに 商品管理番号/ のフォルダ)");
    option(command, "--db", t.db, "FILE", kDbHelp);
    option(command, "--settings", t.settings, "FILE",
           "この設定ファイル (ウィンドウが保存する vm.ini) の条件から始めます。\n指定したオプションのほうが優先します");
    option(command, "--encoding", t.encoding, "sjis|utf-8", kEncodingHelp);
  };
  CLI::App* runCommand = Command(app, "run", "検索して結果を CSV ファイルに書きます");
  option(runCommand, "--output", run.Output, "FILE",
         "(必須) 結果の CSV ファイル。.csv で終わらない名前には .csv を付けます。\n"
         "保存先のフォルダは先に作っておいてください")
      ->required();
  addConditions(runCommand, t, run);

  CLI::App* categoriesCommand = Command(app, "categories", "カテゴリの番号と名前を表示します (--top、--nodes に使う番号)");
  option(categoriesCommand, "--db", u.catDb, "FILE", kDbHelp);
  option(categoriesCommand, "--top", u.catTop, "N", "この大分類のツリーを表示します\n(番号、階層 0/1、コード、名前)");

  DiffArguments& diff = commandLine.Diff;
  CLI::App* diffCommand =
      Command(app, "diff", "2つの結果ファイルを比べて変化 (新規、終了、価格変更、販売状況変更、更新) を書きます");
  diffCommand->add_option("OLD", diff.Older, "前の結果ファイル")->required()->type_name("OLD.csv");
  diffCommand->add_option("NEW", diff.Newer, "後の結果ファイル")->required()->type_name("NEW.csv");
  option(diffCommand, "--output", u.diffOutput, "FILE", "変化の一覧をこのファイルに書きます (省略時: 標準出力)");
  option(diffCommand, "--encoding", u.diffEncoding, "sjis|utf-8", kEncodingHelp);
  diffCommand->footer(std::string("\n") + kDiffFooter);

  WatchArguments& watch = commandLine.Watch;
  CLI::App* watchCommand =
      Command(app, "watch", "日時付きの結果ファイルをフォルダに書き、前回の結果からの変化を書きます");
  option(watchCommand, "--dir", u.watchDir, "DIR", "結果、変化の一覧、画像を置くフォルダ");
  option(watchCommand, "--name", u.watchName, "NAME",
         "~/.config/vormla-search/watch/NAME.ini の条件で、\n結果は ~/.local/share/vormla-search/watch/NAME/ に書きます");
  option(watchCommand, "--keep", u.watchKeep, "N", "新しい N 回分の結果と変化の一覧を残します (省略時 30)");
  watchCommand->add_flag("--pictures", watch.Pictures, "商品画像を DIR/pictures/ に保存します (保存済みの画像は取り直しません)");
  watchCommand->add_flag("--notify", watch.Notify,
                         "変化があればデスクトップに通知します (「開く」で変化レポートを結果ビューアに表示)");
  addConditions(watchCommand, w, watch.Run);

  CLI::App* accountCommand = Command(app, "account", "サインインに使う自分のアカウントを設定します");
  accountCommand->footer(std::string("\n") + kAccountFooter);
  accountCommand->require_subcommand(1);
  CLI::App* accountSet = Command(*accountCommand, "set",
                                 "ログインIDとパスワードを尋ねて保存します (パスワードは画面に出しません)。\n"
                                 "標準入力が端末でなければ、そこから2行 (ログインID、パスワード) を読みます");
  CLI::App* accountShow = Command(*accountCommand, "show", "保存したログインIDを表示します (パスワードは表示しません)");
  Command(*accountCommand, "clear", "保存したアカウントを削除します (組み込みのアカウントに戻ります)");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help (of the command given) and --version.
    if (error.get_exit_code() == 0) return app.exit(error, out, err);
    std::string command;
    if (runCommand->parsed()) command = "run";
    if (categoriesCommand->parsed()) command = "categories";
    if (diffCommand->parsed()) command = "diff";
    if (watchCommand->parsed()) command = "watch";
    if (accountCommand->parsed()) command = "account";
    std::string firstWord;
    for (int i = 1; i < argc && firstWord.empty(); ++i) {
      if (argv[i][0] != '-') firstWord = argv[i];
    }
    err << UsageErrorText(error, command, firstWord) << std::flush;
    return kExitUsage;
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
  } else if (categoriesCommand->parsed()) {
    commandLine.Which = CommandLine::Command::kCategories;
    commandLine.Categories.Db = given(categoriesCommand, "--db", u.catDb);
    commandLine.Categories.Top = given(categoriesCommand, "--top", u.catTop);
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
    commandLine.Which = CommandLine::Command::kAccount;
    commandLine.Account = accountSet->parsed()    ? AccountAction::kSet
                          : accountShow->parsed() ? AccountAction::kShow
                                                  : AccountAction::kClear;
  }
  return std::nullopt;
}

}  // namespace vormla::cli
