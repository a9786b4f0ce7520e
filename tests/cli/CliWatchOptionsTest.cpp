// The command line of diff and watch.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliOptions.h"
#include "cli/CliWatch.h"

namespace vormla::cli {
namespace {

using ::testing::HasSubstr;

std::optional<int> Parse(std::vector<const char*> argv, CommandLine& commandLine) {
  argv.insert(argv.begin(), "vormla-cli");
  std::ostringstream out, err;
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), commandLine, out, err);
}

TEST(CliWatchParse, DiffTakesTwoFilesAndWatchTakesEveryRunCondition) {
  CommandLine diff;
  ASSERT_EQ(Parse({"diff", "a.csv", "b.csv", "--encoding", "utf-8", "--output", "r.csv"}, diff), std::nullopt);
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
            std::nullopt);
  EXPECT_EQ(watch.Which, CommandLine::Command::kWatch);
  EXPECT_EQ(watch.Watch.Dir, "w");
  EXPECT_EQ(watch.Watch.Keep, "5");
  EXPECT_TRUE(watch.Watch.Pictures);
  EXPECT_FALSE(watch.Watch.Name.has_value());
  EXPECT_EQ(watch.Watch.Run.Conditions.Keyword, "タオル");
  EXPECT_TRUE(watch.Watch.Run.Given.contains("--keyword"));
  EXPECT_EQ(watch.Watch.Run.Nodes, "1,2");
  EXPECT_TRUE(watch.Watch.Run.Conditions.InStockOnly);
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
  for (const char* bad : {"0", "-1", "x", "", "1234567890"})
    EXPECT_THROW(ParseKeep(std::string(bad)), CliFailure) << bad;

  EXPECT_NO_THROW(CheckWatchName("towels-daily"));
  for (const char* bad : {"", ".", "..", "a/b", "tab\tname"}) EXPECT_THROW(CheckWatchName(bad), CliFailure) << bad;
}

}  // namespace
}  // namespace vormla::cli
