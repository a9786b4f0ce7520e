// A watch folder's names and its history: which result a new one is compared
// with, what --keep may remove, which files are told to the user once, and a
// history file that is damaged, hostile or cannot be written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "engine/JobTestKit.h"
#include "run/WatchFolder.h"
#include "run/WatchHistory.h"

namespace vormla {
namespace {

using ::testing::ElementsAre;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

class WatchHistoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TZ", "JST-9", 1);  // a POSIX rule: no time zone files needed
    ::tzset();
  }
  static std::time_t At(const std::string& stamp) { return StampMoment(stamp).value(); }
};

TEST_F(WatchHistoryTest, StampsAndNames) {
  EXPECT_EQ(WatchStamp(0), "19700101-090000");  // local time, not UTC
  EXPECT_EQ(At("19700101-090000"), 0);
  EXPECT_EQ(At(WatchStamp(1767312000)), 1767312000);
  EXPECT_EQ(ResultName("20250102-030405"), "vormla-20250102-030405.csv");
  EXPECT_EQ(ChangesName("20250102-030405"), "changes-20250102-030405.csv");
  EXPECT_EQ(StampOf("vormla-20250102-030405.csv", kResultPrefix), "20250102-030405");
  EXPECT_EQ(StampOf("changes-20250102-030405.csv", kChangesPrefix), "20250102-030405");
  for (const char* other : {"vormla-20250102-03040.csv", "vormla-20250102_030405.csv", "vormla-20250102-030405.CSV",
                            "changes-20250102-030405.csv", "vormla-2025010a-030405.csv", ".vormla-run-abc123",
                            "vormla-20250102-030405.csv/x", "../vormla-20250102-030405.csv"}) {
    EXPECT_FALSE(StampOf(other, kResultPrefix).has_value()) << other;
  }
  EXPECT_FALSE(StampMoment("2025-01-02").has_value());
  EXPECT_TRUE(IsWatchName("towels-daily"));
  for (const char* bad : {"", ".", "..", "a/b", "tab\tname"}) EXPECT_FALSE(IsWatchName(bad)) << bad;
}

// Only names of the watch's own patterns come out of the file: a line that would
// make --keep remove something elsewhere is passed over.
TEST_F(WatchHistoryTest, TextKeepsEveryEntryAndPassesOverForeignLines) {
  WatchHistory history;
  history.Records = {{100, "vormla-20250101-060000.csv", ""},
                     {200, "vormla-20250102-060000.csv", "changes-20250102-060000.csv"}};
  history.Noted = {"vormla-20991231-000000.csv"};
  const ParsedHistory back = ParseHistory(HistoryText(history));
  EXPECT_TRUE(back.Valid);
  EXPECT_EQ(back.History, history);

  for (const char* foreign : {"result 300 ../vormla-20250103-060000.csv", "result 300 /etc/passwd",
                              "result 300 vormla-20250103-060000.csv ../../home/you/.bashrc",
                              "result -300 vormla-20250103-060000.csv", "result 300", "noted ../../etc/passwd",
                              "noted pictures", "result 300 vormla-20250103-060000.csv changes-x.csv extra"}) {
    const ParsedHistory parsed = ParseHistory("vormla-watch-history 1\n" + std::string(foreign) + "\n");
    EXPECT_TRUE(parsed.Valid) << foreign;
    EXPECT_EQ(parsed.History, WatchHistory{}) << foreign;
  }
  EXPECT_FALSE(ParseHistory("result 100 vormla-20250101-060000.csv\n").Valid);
  EXPECT_FALSE(ParseHistory("").Valid);
}

// What the command line's watch tests cannot reach: a result recorded while the
// clock was ahead, and a recorded result that has gone from the folder.
TEST_F(WatchHistoryTest, RecordsDatedLaterThanNowOrGoneAreNeitherBaseNorRemoved) {
  const std::time_t now = At("20250110-120000");
  WatchHistory history;
  for (const char* stamp : {"20250111-060000", "20250108-060000", "20250109-060000", "20250107-060000"}) {
    AddRecord(history, {At(stamp), ResultName(stamp), ""});
  }
  ASSERT_EQ(history.Records.front().Result, ResultName("20250107-060000"));  // kept in the order made
  const std::vector<std::string> names = {ResultName("20250108-060000"), ResultName("20250111-060000")};
  EXPECT_EQ(BaseRecord(history, names, now)->Result, ResultName("20250108-060000"));
  EXPECT_THAT(StrangeFiles(history, names, now), ElementsAre(StrangeFile{ResultName("20250111-060000"), true, true}));
  std::vector<std::string> removed;
  for (const WatchRecord& record : TakeBeyondKeep(history, 1, now)) removed.push_back(record.Result);
  EXPECT_THAT(removed, ElementsAre(ResultName("20250107-060000"), ResultName("20250108-060000")));
  EXPECT_TRUE(IsRecorded(history, ResultName("20250111-060000")));
}

TEST_F(WatchHistoryTest, FileIsWrittenWholeAndWhatCannotBeReadIsSaid) {
  TempFolder folder;
  const std::string path = folder / kWatchHistoryName;
  EXPECT_EQ(ReadWatchHistory(folder.Path()).Found, HistoryReading::State::kMissing);
  WatchHistory history;
  AddRecord(history, {At("20250109-060000"), "vormla-20250109-060000.csv", ""});
  ASSERT_EQ(WriteWatchHistory(folder.Path(), history), 0);
  EXPECT_EQ(ReadWatchHistory(folder.Path()).History, history);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);  // no temporary file left

  const std::vector<std::pair<std::function<void()>, int>> cases = {
      {[&] { WriteBytes(path, "[Config]\nWord=\n"); }, EINVAL},
      {[&] { std::filesystem::create_symlink(folder / "elsewhere", path); }, ELOOP},
      {[&] { std::filesystem::create_directory(path); }, EISDIR},  // also where nothing can be written
  };
  for (const auto& [make, error] : cases) {
    std::filesystem::remove_all(path);
    make();
    const HistoryReading bad = ReadWatchHistory(folder.Path());
    EXPECT_EQ(bad.Found, HistoryReading::State::kUnreadable) << error;
    EXPECT_EQ(bad.Error, error);
  }
  EXPECT_NE(WriteWatchHistory(folder.Path(), history), 0);
  EXPECT_TRUE(std::filesystem::is_directory(path));
}

}  // namespace
}  // namespace vormla
