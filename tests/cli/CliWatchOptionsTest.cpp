// The command line of diff and watch, and the rules watch keeps its folder by.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliOptions.h"
#include "cli/CliWatch.h"

namespace vormla::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

int Parse(std::vector<const char*> argv, CommandLine& commandLine) {
  argv.insert(argv.begin(), "vormla-cli");
  std::ostringstream out, err;
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), commandLine, out, err);
}

TEST(CliWatchParse, DiffTakesTwoFilesAndWatchTakesEveryRunCondition) {
  CommandLine diff;
  ASSERT_EQ(Parse({"diff", "a.csv", "b.csv", "--encoding", "utf-8", "--output", "r.csv"}, diff), -1);
  EXPECT_EQ(diff.Which, CommandLine::Command::kDiff);
  EXPECT_EQ(diff.Diff.Older, "a.csv");
  EXPECT_EQ(diff.Diff.Newer, "b.csv");
  EXPECT_EQ(diff.Diff.Output, "r.csv");
  EXPECT_EQ(diff.Diff.Encoding, "utf-8");
  CommandLine one;
  EXPECT_EQ(Parse({"diff", "a.csv"}, one), kExitUsage);

  CommandLine watch;
  ASSERT_EQ(Parse({"watch", "--dir", "w", "--keep", "5", "--pictures", "--keyword", "タオル", "--top", "1", "--nodes",
                   "1,2", "--in-stock", "--settings", "s.ini", "--encoding", "utf-8"},
                  watch),
            -1);
  EXPECT_EQ(watch.Which, CommandLine::Command::kWatch);
  EXPECT_EQ(watch.Watch.Dir, "w");
  EXPECT_EQ(watch.Watch.Keep, "5");
  EXPECT_TRUE(watch.Watch.Pictures);
  EXPECT_FALSE(watch.Watch.Name.has_value());
  EXPECT_EQ(watch.Watch.Run.Keyword, "タオル");
  EXPECT_EQ(watch.Watch.Run.Nodes, "1,2");
  EXPECT_TRUE(watch.Watch.Run.InStock);
  EXPECT_EQ(watch.Watch.Run.Settings, "s.ini");
  EXPECT_EQ(watch.Watch.Run.Encoding, "utf-8");
  EXPECT_FALSE(watch.Watch.Run.Sort.has_value());
  CommandLine output;
  EXPECT_EQ(Parse({"watch", "--dir", "w", "--output", "x.csv"}, output), kExitUsage);
}

TEST(CliWatchParse, EncodingKeepAndNameAreChecked) {
  EXPECT_EQ(ParseEncoding(std::nullopt), ResultEncoding::kSjis);
  EXPECT_EQ(ParseEncoding("SJIS"), ResultEncoding::kSjis);
  EXPECT_EQ(ParseEncoding("UTF-8"), ResultEncoding::kUtf8);
  for (const char* bad : {"utf8", "shift_jis", ""}) EXPECT_THROW(ParseEncoding(std::string(bad)), CliFailure) << bad;

  EXPECT_EQ(ParseKeep(std::nullopt), 30);
  EXPECT_EQ(ParseKeep("1"), 1);
  for (const char* bad : {"0", "-1", "x", "", "1234567890"}) EXPECT_THROW(ParseKeep(std::string(bad)), CliFailure) << bad;

  EXPECT_NO_THROW(CheckWatchName("towels-daily"));
  for (const char* bad : {"", ".", "..", "a/b", "tab\tname"}) EXPECT_THROW(CheckWatchName(bad), CliFailure) << bad;
}

TEST(CliWatchFolder, StampsNamesAndWhatKeepRemoves) {
  ::setenv("TZ", "JST-9", 1);  // a POSIX rule: no time zone files needed
  ::tzset();
  EXPECT_EQ(WatchStamp(0), "19700101-090000");  // local time, not UTC
  EXPECT_EQ(ResultName("20250102-030405"), "vormla-20250102-030405.csv");
  EXPECT_EQ(ChangesName("20250102-030405"), "changes-20250102-030405.csv");
  EXPECT_EQ(StampOf("vormla-20250102-030405.csv", "vormla-"), "20250102-030405");
  for (const char* other : {"vormla-20250102-03040.csv", "vormla-20250102_030405.csv", "vormla-20250102-030405.CSV",
                            "changes-20250102-030405.csv", "vormla-2025010a-030405.csv", ".vormla-run-abc123"}) {
    EXPECT_FALSE(StampOf(other, "vormla-").has_value()) << other;
  }
  const std::vector<std::string> names = {"vormla-20250103-060000.csv", "pictures",
                                          "vormla-20250101-060000.csv", "changes-20250103-060000.csv",
                                          "vormla-20250102-060000.csv", "changes-20250102-060000.csv",
                                          "notes.txt"};
  EXPECT_THAT(NamesBeyondKeep(names, "vormla-", 2), ElementsAre("vormla-20250101-060000.csv"));
  EXPECT_THAT(NamesBeyondKeep(names, "vormla-", 1),
              ElementsAre("vormla-20250101-060000.csv", "vormla-20250102-060000.csv"));
  EXPECT_TRUE(NamesBeyondKeep(names, "changes-", 2).empty());
  EXPECT_EQ(NewestResult(names, "vormla-20250103-060000.csv"), "vormla-20250102-060000.csv");
  EXPECT_EQ(NewestResult(names, ""), "vormla-20250103-060000.csv");
  EXPECT_EQ(NewestResult({"vormla-20250101-060000.csv"}, "vormla-20250101-060000.csv"), "");
}

}  // namespace
}  // namespace vormla::cli
