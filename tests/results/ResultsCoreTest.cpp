// What the viewer reads and orders without a window: price texts, natural order,
// a watch folder's files, change reports, price history and new watches.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/RetrievalJob.h"
#include "results/ChangeReport.h"
#include "results/ChangeReportFile.h"
#include "results/FolderFiles.h"
#include "results/PriceHistory.h"
#include "results/ResultCsvReader.h"
#include "results/TextOrder.h"
#include "results/WatchList.h"
#include "text/AsciiCase.h"
#include "text/TextOps.h"

namespace vormla::results {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class Folder {
 public:
  Folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vormla-results-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
  }
  ~Folder() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& Path() const { return path_; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::filesystem::create_directories(std::filesystem::path(*this / name).parent_path());
    std::ofstream(*this / name, std::ios::binary) << bytes;
  }

 private:
  std::string path_;
};

TEST(TextOrderTest, PriceTextsAndTheirAmounts) {
  const std::vector<std::pair<std::string, std::optional<long long>>> cases = {
      {"3,290円", 3290},
      {"52,640円 (税込)", 52640},
      {" 980円", 980},
      {"1,234,567円", 1234567},
      {"オープン価格", {}},
      {"卸価格は非公開", {}},
      {"", {}},
      {"円", {}},
      {"1,,000円", {}},
      {",100円", {}},
      {"100", {}},
      {"9999999999999999円", {}},
  };
  for (const auto& [text, amount] : cases) EXPECT_EQ(YenOf(text), amount) << text;
}

TEST(TextOrderTest, NonAmountsStayBelowAmountsEitherWay) {
  std::vector<std::string> texts = {"卸価格は非公開", "", "12,000円", "オープン価格", "980円", "よくわからない",
                                    "3,290円 (税込)"};
  for (const bool descending : {false, true}) {
    std::stable_sort(texts.begin(), texts.end(), [descending](const std::string& a, const std::string& b) {
      return PriceShownBefore(a, b, descending);
    });
    const std::vector<std::string> amounts = descending
                                                 ? std::vector<std::string>{"12,000円", "3,290円 (税込)", "980円"}
                                                 : std::vector<std::string>{"980円", "3,290円 (税込)", "12,000円"};
    EXPECT_THAT(std::vector<std::string>(texts.begin(), texts.begin() + 3), ::testing::ElementsAreArray(amounts));
    EXPECT_THAT(std::vector<std::string>(texts.begin() + 3, texts.end()),
                ElementsAre("オープン価格", "卸価格は非公開", "よくわからない", ""));
  }
}

TEST(TextOrderTest, NaturalOrderAndFoldedMatching) {
  const std::vector<std::tuple<std::string, std::string, int>> cases = {
      {"VM-2", "VM-10", -1}, {"VM-10", "VM-10-L", -1},    {"vm-3", "VM-2", 1}, {"a007", "a7", -1},
      {"a7", "a7", 0},       {"タオル2", "タオル10", -1}, {"", "a", -1},       {"B", "a", 1},
  };
  for (const auto& [a, b, sign] : cases) EXPECT_EQ(NaturalCompare(a, b), sign) << a << " " << b;
  EXPECT_TRUE(ContainsFolded("Towel GIFT", LowerAscii("gift")));
  EXPECT_TRUE(ContainsFolded("さくら堂", LowerAscii("くら")));
  EXPECT_FALSE(ContainsFolded("Towel", LowerAscii("towels")));
}

TEST(FolderFilesTest, ResultsAndReportsByStampAndPicturePaths) {
  Folder folder;
  for (const char* name : {"vormla-20240511-060000.csv", "vormla-20240509-060000.csv", "changes-20240511-060000.csv",
                           "vormla-2024.csv", "notes.csv", "vormla-20240510-060000.csv.tmp"}) {
    folder.Write(name, "x");
  }
  std::filesystem::create_directory(folder / "vormla-20240512-060000.csv");  // a folder, not a result
  std::vector<std::string> stamps;
  for (const DatedFile& file : ListResults(folder / "")) stamps.push_back(file.Stamp);
  EXPECT_THAT(stamps, ElementsAre("20240509-060000", "20240511-060000"));
  ASSERT_EQ(ListChangeReports(folder / "").size(), 1u);
  EXPECT_EQ(StampText("20240511-060000"), "2024-05-11 06:00:00");
  // A watch's history, once there is one, says which of them are its results.
  folder.Write(".vormla-watch-history",
               "vormla-watch-history 1\nresult 1715374800 vormla-20240511-060000.csv changes-20240511-060000.csv\n"
               "result 1715461200 vormla-20240512-060000.csv\n");
  stamps.clear();
  for (const DatedFile& file : ListResults(folder / "")) stamps.push_back(file.Stamp);
  EXPECT_THAT(stamps, ElementsAre("20240511-060000"));
  ASSERT_EQ(ListChangeReports(folder / "").size(), 1u);
  std::filesystem::remove(folder / ".vormla-watch-history");

  EXPECT_EQ(PictureRoot(folder / "vormla-20240511-060000.csv"), folder.Path());  // no pictures folder yet
  std::filesystem::create_directory(folder / "pictures");
  EXPECT_EQ(PictureRoot(folder / "vormla-20240511-060000.csv"), folder / "pictures");
  EXPECT_EQ(PicturePath("/p", "VM-1", "https://h/img/1/a_01.png?x=1#f"), "/p/VM-1/a_01.png");
  for (const char* number : {"", ".", "..", "a/b", "a\\b", "a\tb"})
    EXPECT_EQ(PicturePath("/p", number, "https://h/a.png"), "") << number;
  EXPECT_EQ(PicturePath("/p", "VM-1", ""), "");
  EXPECT_EQ(PicturePath("/p", "VM-1", "https://h/img/.."), "");
}

std::string ReportBytes(ResultEncoding encoding, const std::vector<std::string>& rows) {
  const bool utf8 = encoding == ResultEncoding::kUtf8;
  std::string bytes = (utf8 ? "\xEF\xBB\xBF" : "") + ChangeReportHeader(encoding) + "\r\n";
  for (const std::string& row : rows) bytes += (utf8 ? row : Utf8ToSjis(row)) + "\r\n";
  return bytes;
}

TEST(ChangeReportFileTest, ReadsEitherEncodingAndCountsEachKind) {
  const std::vector<std::string> rows = {
      R"("新規","u1","VM-1","マグ ""限定""","","980円","","","","在庫あり")",
      R"("価格変更","u2","VM-2","タオル","1,000円","1,100円","","","在庫あり","在庫あり")",
      R"("価格変更","u3","VM-3","石けん","500円","600円","","","在庫あり","在庫あり")",
      R"("終了","u4","VM-4","箱","700円","","","","品切れ中","")",
  };
  Folder folder;
  for (const ResultEncoding encoding : {ResultEncoding::kSjis, ResultEncoding::kUtf8}) {
    folder.Write("changes.csv", ReportBytes(encoding, rows));
    const ChangeReportContents report = ReadChangeReport(folder / "changes.csv");
    EXPECT_EQ(report.Encoding, encoding);
    ASSERT_EQ(report.Rows.size(), 4u);
    EXPECT_EQ(report.Rows[0].Fields[3], "マグ \"限定\"");
    EXPECT_EQ(report.Rows[3].Kind, ChangeKind::kGone);
    EXPECT_THAT(report.Counts.ByKind, ElementsAre(1, 1, 2, 0, 0));
    EXPECT_EQ(report.Header.front(), "変化");
  }
}

TEST(ChangeReportFileTest, RefusesWhatIsNoReportNamingTheLine) {
  const std::vector<std::tuple<std::string, std::string, long>> cases = {
      {"a result file", CsvHeader() + "\r\n", 1},
      {"nine fields", ReportBytes(ResultEncoding::kSjis, {R"("新規","u","n","x","","","","","")"}), 2},
      {"an unknown kind", ReportBytes(ResultEncoding::kSjis, {R"("変化","u","n","x","","","","","","")"}), 2},
      {"cut off", ReportBytes(ResultEncoding::kSjis, {}) + R"("新規","u)", 2},
      {"bad UTF-8",
       ReportBytes(ResultEncoding::kUtf8, {"\"新規\",\"\xE8\xA1\",\"n\",\"x\",\"\",\"\",\"\",\"\",\"\",\"\""}), 2},
      {"empty", "", 1},
  };
  Folder folder;
  for (const auto& [what, bytes, line] : cases) {
    folder.Write("changes.csv", bytes);
    try {
      ReadChangeReport(folder / "changes.csv");
      ADD_FAILURE() << what << " was read";
    } catch (const ResultCsvError& error) {
      EXPECT_EQ(error.Line(), line) << what;
    }
  }
}

std::string ResultWith(const std::vector<ItemRecord>& rows) {
  std::string bytes = CsvHeader() + "\r\n";
  for (const ItemRecord& row : rows) bytes += FormatItemRow(row) + "\r\n";
  return bytes;
}

ItemRecord Priced(const std::string& url, const std::string& wholesale, const std::string& stock) {
  ItemRecord record;
  record[35] = url;
  record[8] = Utf8ToSjis(wholesale);
  record[7] = Utf8ToSjis("オープン価格");
  record[22] = Utf8ToSjis(stock);
  return record;
}

TEST(PriceHistoryTest, OneItemAcrossResultsWithADamagedOneLeftOutWhole) {
  Folder folder;
  folder.Write("vormla-20240509-060000.csv",
               ResultWith({Priced("u1", "1,000円", "在庫あり"), Priced("u2", "5円", "在庫あり")}));
  // A damaged result: its good first row must not count either.
  folder.Write("vormla-20240510-060000.csv", ResultWith({Priced("u1", "9,999円", "在庫あり")}) + "\"cut\r\n");
  folder.Write("vormla-20240511-060000.csv",
               ResultWith({Priced("u1", "1,100円", "在庫あり"), Priced("u1", "1,200円", "品切れ中")}));
  PriceHistory history;
  const std::atomic<bool> go{false};
  history.Read(ListResults(folder / ""), go);
  ASSERT_EQ(history.Unreadable().size(), 1u);
  EXPECT_EQ(history.Unreadable()[0].Line, 3);
  EXPECT_EQ(history.Results(), 2u);
  const std::vector<PricePoint> points = history.Of("u1");
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[0].Stamp, "20240509-060000");
  EXPECT_EQ(points[0].Wholesale, "1,000円");
  EXPECT_EQ(points[1].Wholesale, "1,200円");  // the later row of a result wins, as in the change report
  EXPECT_EQ(points[1].Stock, "品切れ中");
  EXPECT_EQ(points[1].Retail, "オープン価格");
  EXPECT_EQ(history.Of("u2").size(), 1u);
  EXPECT_TRUE(history.Of("nowhere").empty());
}

class WatchListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = std::getenv("XDG_CONFIG_HOME") != nullptr ? std::getenv("XDG_CONFIG_HOME") : "";
    ::setenv("XDG_CONFIG_HOME", (folder_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (folder_ / "data").c_str(), 1);
    folder_.Write("window.ini", "[Config]\r\nWord=タオル\r\nCategory=1\r\n");
  }
  void TearDown() override { ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1); }
  Folder folder_;
  std::string saved_;
};

TEST_F(WatchListTest, ANewWatchIsTheSettingsFileCopiedWholeAndNeverReplaced) {
  EXPECT_EQ(CreateWatch("towels", folder_ / "window.ini"), "");
  std::ifstream copy(folder_ / "config/vormla-search/watch/towels.ini", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(copy), {}), "[Config]\r\nWord=タオル\r\nCategory=1\r\n");
  EXPECT_EQ(std::filesystem::status(folder_ / "config/vormla-search/watch").permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_all);
  folder_.Write("data/vormla-search/watch/towels/vormla-20240511-060000.csv", "x");

  EXPECT_EQ(CreateWatch("towels", folder_ / "window.ini"), "ウォッチ「towels」はすでにあります");
  EXPECT_THAT(CreateWatch("a/b", folder_ / "window.ini"), HasSubstr("はウォッチの名前に使えません"));
  EXPECT_THAT(CreateWatch("..", folder_ / "window.ini"), HasSubstr("はウォッチの名前に使えません"));
  EXPECT_THAT(CreateWatch("other", folder_ / "nosuch.ini"), HasSubstr("が見つかりません"));
  const std::vector<WatchEntry> watches = ListWatches();
  ASSERT_EQ(watches.size(), 1u);
  EXPECT_EQ(watches[0].Name, "towels");
  EXPECT_EQ(watches[0].Results, 1u);
  EXPECT_EQ(watches[0].Newest, "20240511-060000");
  EXPECT_EQ(watches[0].Folder, folder_ / "data/vormla-search/watch/towels");

  // A configuration folder under a regular file cannot take the watch.
  ::setenv("XDG_CONFIG_HOME", (folder_ / "window.ini/config").c_str(), 1);
  EXPECT_THAT(CreateWatch("more", folder_ / "window.ini"), HasSubstr("を作れません"));
}

TEST(WatchCommandsTest, TimerAndRunCommandLines) {
  EXPECT_THAT(TimerCommand("towels", true),
              ElementsAre("systemctl", "--user", "enable", "--now", "vormla-watch@towels.timer"));
  EXPECT_THAT(TimerCommand("towels", false),
              ElementsAre("systemctl", "--user", "disable", "--now", "vormla-watch@towels.timer"));
  EXPECT_THAT(RunNowArguments("タオル 1"), ElementsAre("watch", "--name", "タオル 1"));
}

// The names as systemd-escape writes them, so that the service's %I gives the
// watch its own name back.
TEST(WatchCommandsTest, TimerUnitsEscapeTheNameAsSystemdDoes) {
  const std::pair<const char*, const char*> cases[] = {
      {"towels", "vormla-watch@towels.timer"},
      {"A1_b.c:d", "vormla-watch@A1_b.c:d.timer"},
      {"タオル", "vormla-watch@\\xe3\\x82\\xbf\\xe3\\x82\\xaa\\xe3\\x83\\xab.timer"},
      {"a b-c", "vormla-watch@a\\x20b\\x2dc.timer"},
      {".hidden.x", "vormla-watch@\\x2ehidden.x.timer"},
      {"a\\b@c", "vormla-watch@a\\x5cb\\x40c.timer"},
  };
  for (const auto& [name, unit] : cases) {
    EXPECT_EQ(TimerUnit(name), unit) << name;
    EXPECT_TRUE(TimerTakesName(name)) << name;
  }
  // systemd takes unit names of up to 255 characters: 19 kana fit (13 + 19 * 12 + 6), 20 do not.
  std::string kana;
  for (int i = 0; i < 19; ++i) kana += "タ";
  EXPECT_TRUE(TimerTakesName(kana));
  EXPECT_FALSE(TimerTakesName(kana + "タ"));
}

}  // namespace
}  // namespace vormla::results
