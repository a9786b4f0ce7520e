// What vormla-cli says when it cannot do what it was asked: Japanese, starting
// "vormla-cli: ", naming what to do; and what --help and --version print.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "CliTestKit.h"
#include "cli/CliOptions.h"

namespace vormla::cli {
namespace {

using clitest::Finished;
using clitest::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

using clitest::kCatalogue;

class CliMessages : public ::testing::Test {
 protected:
  Finished Run(const std::vector<std::string>& arguments) { return clitest::RunCli(arguments, work_.Path()); }
  // "大分類 0「...」" of the shipped catalogue.
  static std::string TopZero() {
    return "大分類 0「" + CategoryDatabase(kCatalogue).LoadTopCategories().at(0).NameUtf8 + "」";
  }
  TempFolder work_;
};

TEST_F(CliMessages, VersionAndHelpWithSortOrdersAndExitCodes) {
  const Finished version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "vormla-cli 1.0.0\n");

  for (const std::vector<std::string>& help : {std::vector<std::string>{"--help"}, {"run", "--help"}}) {
    const Finished shown = Run(help);
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.err, "");
    EXPECT_THAT(shown.out, HasSubstr("0 キーワード関連度順"));
    EXPECT_THAT(shown.out, HasSubstr("1 売れている順"));
    EXPECT_THAT(shown.out, HasSubstr("2 新規登録順"));
    EXPECT_THAT(shown.out, HasSubstr("3 卸値が高い順"));
    EXPECT_THAT(shown.out, HasSubstr("4 卸値が安い順"));
    EXPECT_THAT(shown.out, HasSubstr("終了コード:\n  0  1行以上書きました"));
    EXPECT_THAT(shown.out, HasSubstr("\n  9  サイトを読めませんでした"));
  }
  // diff's two files are listed under a Japanese heading too.
  const Finished diff = Run({"diff", "--help"});
  EXPECT_EQ(diff.exitCode, 0);
  EXPECT_THAT(diff.out, HasSubstr("\n引数:\n  OLD OLD.csv"));
  EXPECT_THAT(diff.out, Not(HasSubstr("Positionals")));
  // Only what applies to diff: its own exit codes, no sort orders or run's codes.
  EXPECT_THAT(diff.out, HasSubstr("終了コード (diff(1) と同じ): 0 違いなし、1 違いあり、\n2 比べられませんでした"));
  EXPECT_THAT(diff.out, HasSubstr("端末には UTF-8 で書きます"));
  EXPECT_THAT(diff.out, Not(HasSubstr("並び順")));
  EXPECT_THAT(diff.out, Not(HasSubstr("サイトを読めませんでした")));
  const Finished account = Run({"account", "set", "--help"});
  EXPECT_EQ(account.exitCode, 0);
  EXPECT_THAT(account.out, HasSubstr("標準入力が端末でなければ、そこから2行 (ログインID、パスワード) を読みます"));
}

TEST_F(CliMessages, UsageErrorsSayWhatToDoAndExitTwo) {
  for (const auto& [arguments, words] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{},
            "vormla-cli: コマンド (run、categories、diff、watch、account) を指定してください。\n使い方は vormla-cli "
            "--help"},
           {{"fetch"},
            "vormla-cli: 「fetch」というコマンドはありません。コマンド (run、categories、diff、watch、account)"},
           {{"run"}, "vormla-cli: --output を指定してください。\n使い方は vormla-cli run --help"},
           {{"run", "--output", "x", "--colour"}, "vormla-cli: 「--colour」というオプションはありません。"},
           {{"run", "--output", "x", "--top"}, "vormla-cli: --top に値を1つ指定してください。"},
           {{"run", "--output", "x", "--top", "1", "extra"}, "vormla-cli: 「extra」は使えない引数です"},
           {{"categories", "--keyword", "x"}, "vormla-cli: 「--keyword」というオプションはありません。"},
           {{"account"}, "vormla-cli: account のあとに set、show、clear のどれかを指定してください。"},
           {{"diff", "old.csv"}, "vormla-cli: NEW を指定してください。\n使い方は vormla-cli diff --help"},
           {{"diff", "a.csv", "b.csv", "--encoding", "latin1"},
            "vormla-cli: --encoding には sjis か utf-8 を指定してください (「latin1」は使えません)。"},
           {{"watch"}, "vormla-cli: watch には --dir か --name を指定してください。"},
           {{"watch", "--dir", "w", "--keep", "0"},
            "vormla-cli: --keep には 1 以上の数を指定してください (「0」は使えません)。"},
           {{"run", "--output", "x", "--top", "x1"},
            "vormla-cli: --top には 0 以上の整数を指定してください (「x1」は使えません)。"},
           {{"run", "--output", "x", "--sort", "5"},
            "vormla-cli: --sort 5 という並び順はありません。0 キーワード関連度順、"},
       }) {
    const Finished run = Run(arguments);
    EXPECT_EQ(run.exitCode, kExitUsage) << words;
    EXPECT_THAT(run.err, StartsWith(words));
    EXPECT_EQ(run.out, "");
  }
}

TEST_F(CliMessages, NodesNeedATopLevelCategoryWithSubCategories) {
  Finished run = Run({"run", "--output", work_ / "x.csv", "--db", kCatalogue, "--nodes", "1,2"});
  EXPECT_EQ(run.exitCode, kExitUsage);
  EXPECT_EQ(run.err, "vormla-cli: --top で大分類を選んでください。" + TopZero() +
                         "には小分類がありません (vormla-cli categories で大分類の番号を確かめられます)。\n");
  run = Run({"run", "--output", work_ / "x.csv", "--db", kCatalogue, "--top", "0", "--nodes", "1"});
  EXPECT_EQ(run.exitCode, kExitUsage);
  EXPECT_THAT(run.err, StartsWith("vormla-cli: " + TopZero() + "には小分類がないので --nodes は使えません。"));
  EXPECT_FALSE(std::filesystem::exists(work_ / "x.csv"));

  // Listing a tree that is empty says so, on standard error.
  const Finished list = Run({"categories", "--db", kCatalogue, "--top", "0"});
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.out, "");
  EXPECT_EQ(list.err,
            "vormla-cli: " + TopZero() + "には小分類がありません (run では --nodes なしで大分類全体を検索します)。\n");
  const Finished tree = Run({"categories", "--db", kCatalogue, "--top", "1"});
  EXPECT_EQ(tree.exitCode, 0);
  EXPECT_NE(tree.out, "");
  EXPECT_EQ(tree.err, "");
}

TEST_F(CliMessages, MissingOutputFolderIsNamedAsSuch) {
  const Finished run = Run({"run", "--output", work_ / "nosuch/dir/result", "--db", kCatalogue});
  EXPECT_EQ(run.exitCode, kExitFileError);
  EXPECT_EQ(run.err,
            "vormla-cli: 結果ファイルの保存先フォルダ " + work_ / "nosuch/dir" +
                " がありません。先にフォルダを作るか、--output に今あるフォルダの中のファイルを指定してください。\n");
  EXPECT_FALSE(std::filesystem::exists(work_ / "nosuch"));
}

}  // namespace
}  // namespace vormla::cli
