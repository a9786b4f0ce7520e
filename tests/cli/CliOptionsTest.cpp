// The command line's rules: flags into search conditions, checked as the start
// button checks them, against the edge catalogue.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "CliTestKit.h"
#include "cli/CliOptions.h"
#include "settings/AppPaths.h"
#include "settings/Settings.h"
#include "text/TextOps.h"

namespace vormla::cli {
namespace {

using clitest::TempFolder;
using clitest::TestData;
using ::testing::HasSubstr;

const std::string kEdgeDb = TestData("catalogue/catalogue-edge.db");

std::optional<int> Parse(std::vector<const char*> argv, CommandLine& commandLine, std::string* err = nullptr) {
  argv.insert(argv.begin(), "vormla-cli");
  std::ostringstream out;
  std::ostringstream errors;
  const std::optional<int> code =
      ParseCommandLine(static_cast<int>(argv.size()), argv.data(), commandLine, out, errors);
  if (err != nullptr) *err = errors.str();
  return code;
}

// `run` against the edge catalogue with flags, as the parser hands it on.
RunArguments EdgeRun(const std::vector<std::string>& flags = {}) {
  std::vector<const char*> argv = {"run", "--output", "/tmp/result", "--db", kEdgeDb.c_str()};
  for (const std::string& flag : flags) argv.push_back(flag.c_str());
  CommandLine commandLine;
  std::string err;
  EXPECT_EQ(Parse(argv, commandLine, &err), std::nullopt) << err;
  return commandLine.Run;
}

// The exit code and message of a run that PrepareRun refuses (-1 when it does not).
std::pair<int, std::string> Refusal(const RunArguments& arguments) {
  try {
    PrepareRun(arguments);
  } catch (const CliFailure& failure) {
    return {failure.ExitCode(), failure.what()};
  }
  return {-1, ""};
}

TEST(CliParse, RunFlagsArriveAsGivenAndAbsentOnesStayUnset) {
  CommandLine commandLine;
  ASSERT_EQ(Parse({"run", "--output", "x.csv", "--keyword", "タオル", "--wholesale-to", "500", "--in-stock", "--sort",
                   "3", "--nodes", "1,2", "--db", "a.db"},
                  commandLine),
            std::nullopt);
  ASSERT_EQ(commandLine.Which, CommandLine::Command::kRun);
  const RunArguments& run = commandLine.Run;
  EXPECT_EQ(run.Output, "x.csv");
  EXPECT_EQ(run.Conditions.Keyword, "タオル");
  EXPECT_EQ(run.Conditions.WholesalePrice.Max, "500");
  EXPECT_TRUE(run.Conditions.InStockOnly);
  EXPECT_FALSE(run.Conditions.DiscountedOnly);
  EXPECT_EQ(run.Given, (std::set<std::string>{"--output", "--keyword", "--wholesale-to", "--in-stock", "--sort",
                                              "--nodes", "--db"}));
  EXPECT_EQ(run.Sort, "3");
  EXPECT_EQ(run.Nodes, "1,2");
  EXPECT_FALSE(run.Top.has_value());
  EXPECT_EQ(run.Db, "a.db");
  EXPECT_FALSE(run.Settings.has_value());

  CommandLine categories;
  ASSERT_EQ(Parse({"categories", "--top", "2"}, categories), std::nullopt);
  EXPECT_EQ(categories.Which, CommandLine::Command::kCategories);
  EXPECT_EQ(categories.Categories.Top, "2");
  EXPECT_FALSE(categories.Categories.Db.has_value());
}

TEST(CliParse, UsageErrorsExitTwoAndHelpExitsZero) {
  CommandLine commandLine;
  std::string err;
  EXPECT_EQ(Parse({}, commandLine, &err), kExitUsage);
  EXPECT_EQ(Parse({"run"}, commandLine, &err), kExitUsage);
  EXPECT_THAT(err, HasSubstr("--output"));
  EXPECT_EQ(Parse({"run", "--output", "x", "--colour"}, commandLine), kExitUsage);
  EXPECT_EQ(Parse({"run", "--output", "x", "--top"}, commandLine), kExitUsage);
  EXPECT_EQ(Parse({"fetch"}, commandLine), kExitUsage);
  EXPECT_EQ(Parse({"categories", "--keyword", "x"}, commandLine), kExitUsage);
  EXPECT_EQ(Parse({"--help"}, commandLine), 0);
  EXPECT_EQ(Parse({"run", "--help"}, commandLine), 0);
}

TEST(CliKeyword, KeptAsGivenAndLimitedTo40ShiftJisBytes) {
  EXPECT_EQ(PrepareRun(EdgeRun({"--keyword", "タオル 綿"})).Conditions.Keyword, "タオル 綿");

  EXPECT_EQ(PrepareRun(EdgeRun({"--keyword", std::string(40, 'a')})).Conditions.Keyword, std::string(40, 'a'));
  auto [code, message] = Refusal(EdgeRun({"--keyword", std::string(41, 'a')}));
  EXPECT_EQ(code, kExitUsage);
  EXPECT_EQ(message, "--keyword は Shift-JIS で 41 バイトあります。40 バイトまでにしてください。");

  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += "あ";
  EXPECT_EQ(Refusal(EdgeRun({"--keyword", twenty})).first, -1);
  EXPECT_EQ(Refusal(EdgeRun({"--keyword", twenty + "あ"})).first, kExitUsage);

  // a cut-off character
  EXPECT_EQ(Refusal(EdgeRun({"--keyword", "\xE3\x81"})).second, "--keyword が UTF-8 として正しくありません。");
}

TEST(CliKeyword, CharacterShiftJisCannotHoldOrAControlIsRefusedByName) {
  auto [code, message] = Refusal(EdgeRun({"--keyword", "タオル😀"}));
  EXPECT_EQ(code, kExitUsage);
  EXPECT_EQ(message, "--keyword の「😀」(U+1F600) はShift-JISで表せない文字です。キーワードには使えません。");

  std::tie(code, message) = Refusal(EdgeRun({"--keyword", "한"}));
  EXPECT_EQ(code, kExitUsage);
  EXPECT_THAT(message, HasSubstr("「한」(U+D55C)"));

  std::tie(code, message) = Refusal(EdgeRun({"--keyword",
                                             "a\x01"
                                             "b"}));
  EXPECT_EQ(code, kExitUsage);
  EXPECT_EQ(message, "--keyword に制御文字 U+0001 があります。キーワードには使えません。");

  // What the code page writes through a best-fit row is a keyword like any other.
  EXPECT_EQ(Refusal(EdgeRun({"--keyword", "café"})).first, -1);

  // A stored keyword is held to the same rule.
  TempFolder folder;
  clitest::WriteBytes(folder / "vm.ini",
                      "[Config]\r\nWord=a\x02"
                      "b\r\n");
  RunArguments stored = EdgeRun();
  stored.Settings = folder / "vm.ini";
  std::tie(code, message) = Refusal(stored);
  EXPECT_EQ(code, kExitUsage);
  EXPECT_THAT(message, HasSubstr("U+0002"));
}

TEST(CliPrice, DigitsOnlyAtMostNine) {
  for (const char* bad : {"12a", "-5", " 5", "1.5", "１２", "1234567890"}) {
    const auto [code, message] = Refusal(EdgeRun({"--retail-to", bad}));
    EXPECT_EQ(code, kExitUsage) << bad;
    EXPECT_THAT(message, HasSubstr("--retail-to")) << bad;
  }
  const SearchConditions c = PrepareRun(EdgeRun({"--wholesale-from", "123456789", "--retail-from", ""})).Conditions;
  EXPECT_EQ(c.WholesalePrice.Min, "123456789");
  EXPECT_EQ(c.RetailPrice.Min, "");
}

TEST(CliPrice, PairsPutInOrderAsTheStartButtonDoes) {
  const SearchConditions c = PrepareRun(EdgeRun({"--wholesale-from", "5000", "--wholesale-to", "1000", "--retail-from",
                                                 "0300", "--retail-to", "0020"}))
                                 .Conditions;
  EXPECT_EQ(c.WholesalePrice.Min, "1000");
  EXPECT_EQ(c.WholesalePrice.Max, "5000");
  EXPECT_EQ(c.RetailPrice.Min, "20");  // swapped values come back as plain decimal
  EXPECT_EQ(c.RetailPrice.Max, "300");
}

TEST(CliSort, ZeroToFour) {
  RunArguments arguments = EdgeRun();
  arguments.Sort = "4";
  EXPECT_EQ(PrepareRun(arguments).Conditions.Sort, 4);
  arguments.Sort = std::nullopt;
  EXPECT_EQ(PrepareRun(arguments).Conditions.Sort, 0);
  for (const char* bad : {"5", "-1", "x", ""}) {
    arguments.Sort = bad;
    EXPECT_EQ(Refusal(arguments).first, kExitUsage) << bad;
  }
}

TEST(CliCategory, TopIndexGivesTheComboTextAndItsTree) {
  RunArguments arguments = EdgeRun();
  arguments.Top = "2";
  const RunPlan plan = PrepareRun(arguments);
  EXPECT_EQ(plan.Conditions.TopCategory.Index, 2);
  EXPECT_EQ(plan.Conditions.TopCategory.Name, Utf8ToSjis("ｷｰ順序ﾃｽﾄ"));
  ASSERT_EQ(plan.Nodes.size(), 8u);
  EXPECT_EQ(plan.Nodes[2].Caption, Utf8ToSjis(" 十番目のグループ"));
  EXPECT_EQ(plan.Nodes[3].Parent, 2);
  EXPECT_EQ(plan.Conditions.SelectedCategories, "");

  arguments.Top = "6";  // the edge catalogue has 0..5
  const auto [code, message] = Refusal(arguments);
  EXPECT_EQ(code, kExitUsage);
  EXPECT_EQ(message,
            "--top 6 という大分類はありません。大分類は 0 から 5 までの 6 個です "
            "(vormla-cli categories で一覧を表示できます)。");
  arguments.Top = "-1";
  EXPECT_EQ(Refusal(arguments).first, kExitUsage);
}

TEST(CliCategory, NodeListsAreCheckedAgainstTheTree) {
  RunArguments arguments = EdgeRun();
  arguments.Top = "2";
  arguments.Nodes = "7,1,3";
  EXPECT_EQ(PrepareRun(arguments).Conditions.SelectedCategories, "1,3,7,");
  arguments.Nodes = "8,";
  const auto [code, message] = Refusal(arguments);
  EXPECT_EQ(code, kExitUsage);
  EXPECT_EQ(message, "--nodes の 8 という分類はツリーにありません。ツリーの分類は 0 から 7 までです。");

  EXPECT_EQ(CanonicalNodeList("1,2,5,", 6), "1,2,5,");
  EXPECT_EQ(CanonicalNodeList("5,2,2", 6), "2,5,");
  EXPECT_EQ(CanonicalNodeList("", 6), "");
  for (const char* bad : {",", "1,,2", "a", "1;2", " 1", "1,2,,"}) {
    EXPECT_THROW(CanonicalNodeList(bad, 6), CliFailure) << bad;
  }
  EXPECT_THROW(CanonicalNodeList("0", 0), CliFailure);  // an empty tree has no node 0
}

TEST(CliImages, FolderMustExistAndGetsATrailingSlash) {
  TempFolder folder;
  SearchConditions c = PrepareRun(EdgeRun()).Conditions;
  EXPECT_FALSE(c.Pictures.On);

  c = PrepareRun(EdgeRun({"--images", folder.Path()})).Conditions;
  EXPECT_TRUE(c.Pictures.On);
  EXPECT_EQ(c.Pictures.Folder, folder.Path() + "/");
  EXPECT_EQ(PrepareRun(EdgeRun({"--images", folder.Path() + "/"})).Conditions.Pictures.Folder, folder.Path() + "/");

  auto [code, message] = Refusal(EdgeRun({"--images", folder / "missing"}));
  EXPECT_EQ(code, kExitUsage);
  EXPECT_THAT(message, HasSubstr("指定された商品画像保存フォルダが見つかりません。"));
  clitest::WriteBytes(folder / "file", "x");
  EXPECT_EQ(Refusal(EdgeRun({"--images", folder / "file"})).first, kExitUsage);  // a file is no folder
}

TEST(CliOutput, CsvExtensionRuleAppliesToTheOutput) {
  RunArguments arguments = EdgeRun();
  arguments.Output = "/tmp/list.TXT";
  EXPECT_EQ(PrepareRun(arguments).Result.Path, "/tmp/list.TXT.csv");
  arguments.Output = "  ";
  EXPECT_EQ(Refusal(arguments).first, kExitUsage);
}

TEST(CliDatabase, MissingOrUnreadableCatalogueExitsFive) {
  RunArguments arguments = EdgeRun();
  arguments.Db = "/nonexistent/vm_data.db";
  auto [code, message] = Refusal(arguments);
  EXPECT_EQ(code, kExitDatabase);
  // Named with the path looked at; the window's "ask the administrator" is not for a one-person shop.
  EXPECT_EQ(
      message,
      "カテゴリデータベース /nonexistent/vm_data.db が見つかりません。--db で vm_data.db の場所を指定してください。");

  arguments.Db = TestData("catalogue/catalogue-wrong-password.db");
  std::tie(code, message) = Refusal(arguments);
  EXPECT_EQ(code, kExitDatabase);
  EXPECT_EQ(message, "カテゴリデータベース " + *arguments.Db + " を読めませんでした。\nNot a valid password.");

  CategoriesArguments categories;
  categories.Db = TestData("catalogue/catalogue-no-t03.db");
  categories.Top = "1";
  try {
    CategoryLines(categories);
    ADD_FAILURE() << "a missing table was not reported";
  } catch (const CliFailure& failure) {
    EXPECT_EQ(failure.ExitCode(), kExitDatabase);
    EXPECT_THAT(failure.what(), HasSubstr("T03_Category2"));
  }
}

// --settings: the settings file's conditions, then the flags on top.
class CliSettings : public ::testing::Test {
 protected:
  std::string Write(const SettingsValues& values) {
    const std::string path = folder_ / "vm.ini";
    EXPECT_TRUE(WriteSettings(path, values));
    return path;
  }
  TempFolder folder_;
};

TEST_F(CliSettings, ConditionsAndSelectionComeFromTheFile) {
  SettingsValues values = DefaultSettings();
  SearchConditions& stored = values.Conditions;
  stored.Keyword = "タオル";
  stored.WholesalePrice = {"5000", "100"};
  stored.RetailPrice.Max = "800";
  stored.DiscountedOnly = true;
  stored.Sort = 2;
  stored.TopCategory.Index = 2;
  values.TreeList = "01000011";
  RunArguments arguments = EdgeRun();
  arguments.Settings = Write(values);

  const SearchConditions c = PrepareRun(arguments).Conditions;
  EXPECT_EQ(c.Keyword, "タオル");
  EXPECT_EQ(c.WholesalePrice.Min, "100");
  EXPECT_EQ(c.WholesalePrice.Max, "5000");
  EXPECT_EQ(c.RetailPrice.Min, "");
  EXPECT_EQ(c.RetailPrice.Max, "800");
  EXPECT_FALSE(c.InStockOnly);
  EXPECT_TRUE(c.DiscountedOnly);
  EXPECT_EQ(c.Sort, 2);
  EXPECT_EQ(c.TopCategory.Index, 2);
  EXPECT_EQ(c.SelectedCategories, "1,6,7,");
  EXPECT_FALSE(c.Pictures.On);
}

TEST_F(CliSettings, FlagsGivenOverrideTheFileAndNoOthers) {
  SettingsValues values = DefaultSettings();
  SearchConditions& stored = values.Conditions;
  stored.Keyword = std::string(41, 'w');  // too long, but replaced by the flag
  stored.WholesalePrice = {"100", "900"};
  stored.Sort = 2;
  stored.TopCategory.Index = 2;
  values.TreeList = "01000011";
  RunArguments arguments = EdgeRun({"--keyword", "", "--wholesale-from", "300", "--in-stock", "--nodes", "2"});
  arguments.Settings = Write(values);
  arguments.Sort = "0";
  SearchConditions c = PrepareRun(arguments).Conditions;
  EXPECT_EQ(c.Keyword, "");
  EXPECT_EQ(c.WholesalePrice.Min, "300");
  EXPECT_EQ(c.WholesalePrice.Max, "900");
  EXPECT_EQ(c.Sort, 0);
  EXPECT_TRUE(c.InStockOnly);
  EXPECT_EQ(c.SelectedCategories, "2,");

  // Another top-level category: the stored marks belong to the old tree.
  arguments.Nodes = std::nullopt;
  arguments.Top = "0";
  c = PrepareRun(arguments).Conditions;
  EXPECT_EQ(c.TopCategory.Index, 0);
  EXPECT_EQ(c.SelectedCategories, "");
}

TEST_F(CliSettings, HandWrittenFileWithCrLfAndEveryNodeMarked) {
  const std::string path = folder_ / "hand.ini";
  clitest::WriteBytes(path,
                      "[Config]\r\nWord=\x83\x5E\x83\x49\x83\x8B\r\nPrice3=900\r\nPrice4=90\r\nSell1=1\r\n"
                      "ImgSave=0\r\nSort=1\r\nCategory=0\r\nTreeList=1111\r\n");
  RunArguments arguments = EdgeRun();
  arguments.Settings = path;
  const SearchConditions c = PrepareRun(arguments).Conditions;
  EXPECT_EQ(c.Keyword, "タオル");
  EXPECT_EQ(c.RetailPrice.Min, "90");
  EXPECT_EQ(c.RetailPrice.Max, "900");
  EXPECT_TRUE(c.InStockOnly);
  EXPECT_EQ(c.Sort, 1);
  EXPECT_EQ(c.TopCategory.Index, 0);
  EXPECT_EQ(c.TopCategory.Name, Utf8ToSjis("すべてのカテゴリ"));
  // Everything marked: the select-all box checks every node; the group's
  // children and the childless top-level node are searched.
  EXPECT_EQ(c.SelectedCategories, "1,2,3,");
}

TEST_F(CliSettings, StoredImageFolderAndOutOfRangeValues) {
  SettingsValues values = DefaultSettings();
  SearchConditions& stored = values.Conditions;
  stored.Pictures = {true, folder_.Path()};
  RunArguments arguments = EdgeRun();
  arguments.Settings = Write(values);
  SearchConditions c = PrepareRun(arguments).Conditions;
  EXPECT_TRUE(c.Pictures.On);
  EXPECT_EQ(c.Pictures.Folder, folder_.Path() + "/");

  stored.Pictures.Folder = folder_ / "gone/";
  arguments.Settings = Write(values);
  EXPECT_EQ(Refusal(arguments).first, kExitUsage);
  arguments = EdgeRun({"--images", folder_.Path()});  // the flag's folder wins
  arguments.Settings = Write(values);
  EXPECT_EQ(PrepareRun(arguments).Conditions.Pictures.Folder, folder_.Path() + "/");

  values = DefaultSettings();
  stored.Sort = 7;
  arguments = EdgeRun();
  arguments.Settings = Write(values);
  EXPECT_THAT(Refusal(arguments).second, HasSubstr("Sort"));
  stored.Sort = 0;
  stored.TopCategory.Index = 9;
  arguments.Settings = Write(values);
  EXPECT_THAT(Refusal(arguments).second, HasSubstr("Category"));
  stored.TopCategory.Index = -3;  // 0 or below keeps the first entry
  arguments.Settings = Write(values);
  EXPECT_EQ(PrepareRun(arguments).Conditions.TopCategory.Index, 0);
  stored.WholesalePrice.Max = "１２";
  arguments.Settings = Write(values);
  EXPECT_EQ(Refusal(arguments).second, "設定ファイルの Price2 には数字だけを指定してください (「１２」は使えません)。");
  stored.WholesalePrice.Max = "";
  stored.Keyword = std::string(41, 'w');
  arguments.Settings = Write(values);
  EXPECT_THAT(Refusal(arguments).second, HasSubstr("設定ファイルの Word は Shift-JIS で 41 バイトあります。"));

  arguments.Settings = folder_ / "none.ini";
  const auto [code, message] = Refusal(arguments);
  EXPECT_EQ(code, kExitUsage);
  // Where the window keeps its own is said with it.
  EXPECT_EQ(message, "設定ファイル " + folder_ / "none.ini" + " が見つかりません。ウィンドウの設定ファイルは " +
                         ProgramPaths().Settings + " です (ウィンドウを一度閉じると作られます)。");
}

// A file that cannot be taken as it stands is refused, saying why, before
// anything runs: a TreeList of node numbers would search a whole group, and an
// unreadable file would run with no conditions at all.
TEST_F(CliSettings, FilesThatCannotBeTakenAsTheyStandAreRefusedSayingWhy) {
  const std::string marks = folder_ / "marks.ini";
  const std::string under = folder_ / "file.ini";
  clitest::WriteBytes(under, "[Config]\r\n");
  std::filesystem::create_directory(folder_ / "folder.ini");
  ::mkfifo((folder_ / "fifo.ini").c_str(), 0600);
  struct Case {
    std::string path, treeList;  // a TreeList is written into marks.ini
    std::string said;            // "" when the file is taken
  };
  const std::string badMark = "設定ファイル " + marks + " の TreeList に 0 と 1 以外の文字";
  const std::vector<Case> cases = {
      {marks, "1,2",
       badMark + "「,」があります。TreeList は小分類ごとに 1 (選ぶ) か 0 (選ばない) を並べたものです (例: 0110)。"
                 "小分類を番号で選ぶときは --nodes 1,2 を使ってください。"},
      {marks, "01a0", badMark + "「a」があります。"},
      {marks, "01１", badMark + "「１」があります。"},
      {marks, "0\t1", badMark + "「U+0009」があります。"},
      {marks, "01", ""},  // shorter than the tree: the rest unmarked, as the window reads it
      {folder_ / "folder.ini", "", "設定ファイル " + folder_ / "folder.ini" + " を読めません (フォルダです)。"},
      {folder_ / "fifo.ini", "",
       "設定ファイル " + folder_ / "fifo.ini" +
           " を読めません (通常のファイルではありません (デバイスや FIFO など))。"},
      {under + "/vm.ini", "", "設定ファイル " + under + "/vm.ini を読めません (途中にフォルダでないものがあります)。"},
      // A file whose every read fails.
      {"/proc/self/mem", "", "設定ファイル /proc/self/mem を読めません (" + std::string(std::strerror(EIO)) + ")。"},
  };
  for (const Case& c : cases) {
    clitest::WriteBytes(marks, "[Config]\r\nCategory=2\r\nTreeList=" + c.treeList + "\r\n");
    RunArguments arguments = EdgeRun();
    arguments.Settings = c.path;
    const auto [code, message] = Refusal(arguments);
    if (c.said.empty()) {
      EXPECT_EQ(code, -1) << message;
      EXPECT_EQ(PrepareRun(arguments).Conditions.SelectedCategories, "1,") << c.treeList;
      continue;
    }
    EXPECT_EQ(code, kExitUsage) << c.path << " " << c.treeList;
    EXPECT_THAT(message, ::testing::StartsWith(c.said)) << c.path << " " << c.treeList;
  }
}

}  // namespace
}  // namespace vormla::cli
