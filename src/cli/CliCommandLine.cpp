// vormla-cli's command line: its commands and flags, the help with the sort
// orders and exit codes, --version, and CLI11's parse errors told in Japanese.
#include <algorithm>
#include <ostream>

#include <CLI/CLI.hpp>

#include "cli/CliOptions.h"
#include "cli/SearchFlags.h"

#ifndef VORMLA_VERSION
#define VORMLA_VERSION "0"
#endif

namespace vormla::cli {

namespace {

constexpr const char* kOptionsGroup = "オプション";
constexpr const char* kCommandsGroup = "コマンド";

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

// The commands as defined, to tell after the parse which one was given.
struct Commands {
  CLI::App* Run = nullptr;
  CLI::App* Categories = nullptr;
  CLI::App* Diff = nullptr;
  CLI::App* Watch = nullptr;
  CLI::App* Account = nullptr;
  CLI::App* AccountSet = nullptr;
  CLI::App* AccountShow = nullptr;

  // The command given, for the pointer to its help ("" for none).
  std::string GivenName() const {
    for (const CLI::App* command : {Run, Categories, Diff, Watch, Account}) {
      if (command->parsed()) return command->get_name();
    }
    return {};
  }
};

CLI::App* DefineRun(CLI::App& app, RunArguments& run) {
  CLI::App* command = Command(app, "run", "検索して結果を CSV ファイルに書きます");
  AddText(*command, "--output", run.Output, "FILE",
          "(必須) 結果の CSV ファイル。.csv で終わらない名前には .csv を付けます。\n"
          "保存先のフォルダは先に作っておいてください");
  command->get_option("--output")->required();
  AddSearchFlags(*command, run);
  return command;
}

CLI::App* DefineCategories(CLI::App& app, CategoriesArguments& categories) {
  CLI::App* command = Command(app, "categories", "カテゴリの番号と名前を表示します (--top、--nodes に使う番号)");
  AddText(*command, "--db", categories.Db, "FILE", kDbHelp);
  AddText(*command, "--top", categories.Top, "N", "この大分類のツリーを表示します\n(番号、階層 0/1、コード、名前)");
  return command;
}

CLI::App* DefineDiff(CLI::App& app, DiffArguments& diff) {
  CLI::App* command =
      Command(app, "diff", "2つの結果ファイルを比べて変化 (新規、終了、価格変更、販売状況変更、更新) を書きます");
  command->add_option("OLD", diff.Older, "前の結果ファイル")->required()->type_name("OLD.csv");
  command->add_option("NEW", diff.Newer, "後の結果ファイル")->required()->type_name("NEW.csv");
  AddText(*command, "--output", diff.Output, "FILE", "変化の一覧をこのファイルに書きます (省略時: 標準出力)");
  AddText(*command, "--encoding", diff.Encoding, "sjis|utf-8", kEncodingHelp);
  command->footer(std::string("\n") + kDiffFooter);
  return command;
}

CLI::App* DefineWatch(CLI::App& app, WatchArguments& watch) {
  CLI::App* command = Command(app, "watch", "日時付きの結果ファイルをフォルダに書き、前回の結果からの変化を書きます");
  AddText(*command, "--dir", watch.Dir, "DIR", "結果、変化の一覧、画像を置くフォルダ");
  AddText(
      *command, "--name", watch.Name, "NAME",
      "~/.config/vormla-search/watch/NAME.ini の条件で、\n結果は ~/.local/share/vormla-search/watch/NAME/ に書きます");
  AddText(*command, "--keep", watch.Keep, "N", "新しい N 回分の結果と変化の一覧を残します (省略時 30)");
  command->add_flag("--pictures", watch.Pictures,
                    "商品画像を DIR/pictures/ に保存します (保存済みの画像は取り直しません)");
  command->add_flag("--notify", watch.Notify,
                    "変化があればデスクトップに通知します (「開く」で変化レポートを結果ビューアに表示)");
  AddSearchFlags(*command, watch.Run);
  return command;
}

void DefineAccount(CLI::App& app, Commands& commands) {
  CLI::App* command = Command(app, "account", "サインインに使う自分のアカウントを設定します");
  command->footer(std::string("\n") + kAccountFooter);
  command->require_subcommand(1);
  commands.Account = command;
  commands.AccountSet = Command(*command, "set",
                                "ログインIDとパスワードを尋ねて保存します (パスワードは画面に出しません)。\n"
                                "標準入力が端末でなければ、そこから2行 (ログインID、パスワード) を読みます");
  commands.AccountShow = Command(*command, "show", "保存したログインIDを表示します (パスワードは表示しません)");
  Command(*command, "clear", "保存したアカウントを削除します (組み込みのアカウントに戻ります)");
}

Commands DefineCommands(CLI::App& app, CommandLine& commandLine) {
  Commands commands;
  commands.Run = DefineRun(app, commandLine.Run);
  commands.Categories = DefineCategories(app, commandLine.Categories);
  commands.Diff = DefineDiff(app, commandLine.Diff);
  commands.Watch = DefineWatch(app, commandLine.Watch);
  DefineAccount(app, commands);
  return commands;
}

// What the parse chose, into commandLine.
void TakeCommand(const Commands& commands, CommandLine& commandLine) {
  using Which = CommandLine::Command;
  if (commands.Run->parsed()) {
    commandLine.Which = Which::kRun;
    NoteGivenFlags(*commands.Run, commandLine.Run);
  } else if (commands.Categories->parsed()) {
    commandLine.Which = Which::kCategories;
  } else if (commands.Diff->parsed()) {
    commandLine.Which = Which::kDiff;
  } else if (commands.Watch->parsed()) {
    commandLine.Which = Which::kWatch;
    NoteGivenFlags(*commands.Watch, commandLine.Watch.Run);
  } else {
    commandLine.Which = Which::kAccount;
    commandLine.Account = commands.AccountSet->parsed()    ? AccountAction::kSet
                          : commands.AccountShow->parsed() ? AccountAction::kShow
                                                           : AccountAction::kClear;
  }
}

std::string FirstWord(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') return argv[i];
  }
  return {};
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
  const Commands commands = DefineCommands(app, commandLine);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help (of the command given) and --version.
    if (error.get_exit_code() == 0) return app.exit(error, out, err);
    err << UsageErrorText(error, commands.GivenName(), FirstWord(argc, argv)) << std::flush;
    return kExitUsage;
  }
  TakeCommand(commands, commandLine);
  return std::nullopt;
}

}  // namespace vormla::cli
