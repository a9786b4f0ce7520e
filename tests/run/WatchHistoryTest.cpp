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
  history.Records = {{100, "vormla-20250101-060000.csv", ""}, {200, "vormla-20250102-060000.csv", "changes-20250102-060000.csv"}};
  history.Noted = {"vormla-20991231-000000.csv"};
  const std::string text = HistoryText(history);
  EXPECT_EQ(text,
            "vormla-watch-history 1\n"
            "result 100 vormla-20250101-060000.csv\n"
            "result 200 vormla-20250102-060000.csv changes-20250102-060000.csv\n"
            "noted vormla-20991231-000000.csv\n");
  const ParsedHistory back = ParseHistory(text);
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

// One folder: two results this watch recorded, one it recorded while the clock
// was ahead, one copied in, one misdated, a stray report and a note.
TEST_F(WatchHistoryTest, BaseStrangeFilesAndKeepFollowTheHistoryNotTheNames) {
  const std::time_t now = At("20250110-120000");
  WatchHistory history;
  AddRecord(history, {At("20250109-060000"), "vormla-20250109-060000.csv", "changes-20250109-060000.csv"});
  AddRecord(history, {At("20250108-060000"), "vormla-20250108-060000.csv", ""});
  AddRecord(history, {At("20250111-060000"), "vormla-20250111-060000.csv", "changes-20250111-060000.csv"});
  const std::vector<std::string> names = {
      "vormla-20250108-060000.csv", "vormla-20250109-060000.csv", "changes-20250109-060000.csv",
      "vormla-20250111-060000.csv", "changes-20250111-060000.csv", "vormla-20250105-060000.csv",
      "vormla-20991231-000000.csv", "changes-20250107-060000.csv", "notes.txt", ".vormla-watch.lock"};
  ASSERT_EQ(history.Records.front().Result, "vormla-20250108-060000.csv");  // kept in the order made

  // The newest recorded result not dated later than now, among the files there.
  ASSERT_NE(BaseRecord(history, names, now), nullptr);
  EXPECT_EQ(BaseRecord(history, names, now)->Result, "vormla-20250109-060000.csv");
  std::vector<std::string> without = names;
  std::erase(without, "vormla-20250109-060000.csv");
  EXPECT_EQ(BaseRecord(history, without, now)->Result, "vormla-20250108-060000.csv");
  EXPECT_EQ(BaseRecord(history, {"vormla-20991231-000000.csv", "vormla-20250105-060000.csv"}, now), nullptr);

  const std::vector<StrangeFile> strange = StrangeFiles(history, names, now);
  EXPECT_THAT(strange, ElementsAre(StrangeFile{"changes-20250107-060000.csv", false, false},
                                   StrangeFile{"changes-20250111-060000.csv", true, true},
                                   StrangeFile{"vormla-20250105-060000.csv", false, false},
                                   StrangeFile{"vormla-20250111-060000.csv", true, true},
                                   StrangeFile{"vormla-20991231-000000.csv", false, true}));
  // Told once: a noted file is not told again until it has gone and come back.
  history.Noted = {"vormla-20240101-000000.csv"};  // gone since
  NoteStrangeFiles(history, strange, names);
  EXPECT_EQ(history.Noted.size(), strange.size());
  EXPECT_TRUE(StrangeFiles(history, names, now).empty());

  // --keep: the newest of those made by now stay; the one dated later is never
  // removed nor counted, and neither is any file the history does not name.
  struct Case {
    int keep;
    std::vector<std::string> removed;
  };
  for (const Case& c : {Case{1, {"vormla-20250108-060000.csv"}}, Case{2, {}}, Case{0, {"vormla-20250108-060000.csv"}}}) {
    WatchHistory kept = history;
    std::vector<std::string> removed;
    for (const WatchRecord& record : TakeBeyondKeep(kept, c.keep, now)) removed.push_back(record.Result);
    EXPECT_EQ(removed, c.removed) << c.keep;
    EXPECT_EQ(kept.Records.size(), history.Records.size() - removed.size()) << c.keep;
    EXPECT_TRUE(IsRecorded(kept, "vormla-20250111-060000.csv")) << c.keep;
  }
}

TEST_F(WatchHistoryTest, FolderFromBeforeHistoriesAdoptsItsResultsUpToNow) {
  const std::vector<std::string> names = {"vormla-20250109-060000.csv", "changes-20250109-060000.csv",
                                          "vormla-20250108-060000.csv", "vormla-20991231-000000.csv",
                                          "changes-20991231-000000.csv", "vormla-2025.csv"};
  const WatchHistory adopted = AdoptedHistory(names, At("20250110-120000"));
  EXPECT_THAT(adopted.Records,
              ElementsAre(WatchRecord{At("20250108-060000"), "vormla-20250108-060000.csv", ""},
                          WatchRecord{At("20250109-060000"), "vormla-20250109-060000.csv", "changes-20250109-060000.csv"}));
  EXPECT_THAT(StrangeFiles(adopted, names, At("20250110-120000")),
              ElementsAre(StrangeFile{"changes-20991231-000000.csv", false, true},
                          StrangeFile{"vormla-20991231-000000.csv", false, true}));
}

TEST_F(WatchHistoryTest, FileIsWrittenWholeAndWhatCannotBeReadIsSaid) {
  TempFolder folder;
  const std::string path = folder / kWatchHistoryName;
  EXPECT_EQ(ReadWatchHistory(folder.Path()).Found, HistoryReading::State::kMissing);
  WatchHistory history;
  AddRecord(history, {At("20250109-060000"), "vormla-20250109-060000.csv", ""});
  ASSERT_EQ(WriteWatchHistory(folder.Path(), history), 0);
  const HistoryReading read = ReadWatchHistory(folder.Path());
  EXPECT_EQ(read.Found, HistoryReading::State::kRead);
  EXPECT_EQ(read.History, history);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);  // no temporary file left

  struct Case {
    const char* what;
    std::function<void()> make;
    int error;
  };
  const std::vector<Case> cases = {
      {"not a history", [&] { WriteBytes(path, "[Config]\nWord=\n"); }, EINVAL},
      {"a folder", [&] { std::filesystem::create_directory(path); }, EISDIR},
      {"a link", [&] { std::filesystem::create_symlink(folder / "elsewhere", path); }, ELOOP},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(path);
    c.make();
    const HistoryReading bad = ReadWatchHistory(folder.Path());
    EXPECT_EQ(bad.Found, HistoryReading::State::kUnreadable) << c.what;
    EXPECT_EQ(bad.Error, c.error) << c.what;
  }
  // A folder standing at its name: not written, and the folder stays.
  std::filesystem::remove_all(path);
  std::filesystem::create_directory(path);
  EXPECT_NE(WriteWatchHistory(folder.Path(), history), 0);
  EXPECT_TRUE(std::filesystem::is_directory(path));
  EXPECT_FALSE(std::filesystem::exists(folder / "elsewhere"));
}

}  // namespace
}  // namespace vormla
