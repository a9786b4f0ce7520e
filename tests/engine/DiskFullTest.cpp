// A result file on a file system that fills up during the run: the job stops with
// a file error and the file ends after the last complete row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ReaderTestKit.h"
#include "support/ResultCsv.h"
#include "support/SmallFileSystem.h"

namespace vormla::testing {
namespace {

const std::string kRoot = "https://www.vormla.jp";

// A whole-site search listing `items` items whose names are `nameBytes` long.
void ServeLargeRows(FakeWebAccess& web, int items, size_t nameBytes) {
  const std::string list = kRoot + "/search?category_id=80&ex_so=N&sort=score&sort_operate_flg=Y";
  std::vector<std::string> lines = {"<p class=\"paginationTxt\">全" + std::to_string(items) + "件中</p>"};
  for (int n = 1; n <= items; ++n) {
    const std::string url = kRoot + "/shop/1/item-" + std::to_string(n);
    lines.insert(lines.end(), {"<h3 class=\"showcaseHd\">", "<a href=\"" + url + "\">", "</a></h3>", "</section>"});
    web.bodies[url] = PageOf({"<h1>" + std::to_string(n) + " " + std::string(nameBytes, 'x') + "</h1>"});
  }
  web.bodies[list] = PageOf(lines);
}

struct FullRun {
  ItemFoundCode itemFound = ItemFoundCode::kNoItem;
  int rows = 0;
  std::string bytes;
};

FullRun RunInto(const std::string& file, int items, size_t nameBytes, ResultEncoding encoding = ResultEncoding::kSjis) {
  ::setenv("VORMLA_PAUSE_SCALE", "0", 1);
  FakeWebAccess web;
  ServeLargeRows(web, items, nameBytes);
  RecordingObserver observer;
  RetrievalJob job(SearchConditions{}, {}, {file, encoding}, observer, web, kRoot);
  job.Execute();
  return {job.ItemFound(), job.RowsWritten(), ReadBytes(file)};
}

TEST(DiskFullTest, FileEndsAfterTheLastCompleteRow) {
  SmallFileSystem disk(64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.WhyNot();
  const FullRun run = RunInto(disk / "result.csv", 200, 1200);
  EXPECT_EQ(run.itemFound, ItemFoundCode::kFileError);
  ASSERT_GT(run.rows, 10);
  ASSERT_LT(run.rows, 200);
  ASSERT_GE(run.bytes.size(), 2u);
  EXPECT_EQ(run.bytes.substr(run.bytes.size() - 2), "\r\n");
  const CsvText csv = ParseCsv(run.bytes);
  EXPECT_TRUE(csv.wellFormed);
  ASSERT_EQ(csv.records.size(), static_cast<size_t>(run.rows) + 1);
  for (const auto& record : csv.records) EXPECT_EQ(record.size(), 36u);
  EXPECT_EQ(csv.records.back()[3], std::to_string(run.rows) + " " + std::string(1200, 'x'));
}

TEST(DiskFullTest, RoomForTheHeaderOnlyLeavesTheHeader) {
  // One page of room: the header fits, the first row of 5 KB does not.
  SmallFileSystem disk(4096);
  if (!disk.Mounted()) GTEST_SKIP() << disk.WhyNot();
  const FullRun run = RunInto(disk / "result.csv", 3, 5000);
  EXPECT_EQ(run.itemFound, ItemFoundCode::kFileError);
  EXPECT_EQ(run.rows, 0);
  EXPECT_EQ(run.bytes, CsvHeader() + "\r\n");
}

TEST(DiskFullTest, Utf8FileEndsAfterTheLastCompleteRowToo) {
  SmallFileSystem disk(64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.WhyNot();
  const FullRun run = RunInto(disk / "result.csv", 200, 1200, ResultEncoding::kUtf8);
  EXPECT_EQ(run.itemFound, ItemFoundCode::kFileError);
  ASSERT_GT(run.rows, 10);
  ASSERT_LT(run.rows, 200);
  // The mark, then the rows that fitted whole, exactly as in a Shift-JIS file.
  ASSERT_EQ(run.bytes.substr(0, 3), "\xEF\xBB\xBF");
  const std::string sjis = Utf8ToSjis(run.bytes.substr(3));
  const CsvText csv = ParseCsv(sjis);
  EXPECT_TRUE(csv.wellFormed);
  ASSERT_EQ(csv.records.size(), static_cast<size_t>(run.rows) + 1);
  EXPECT_EQ(sjis.substr(0, CsvHeader().size() + 2), CsvHeader() + "\r\n");
  EXPECT_EQ(csv.records.back()[3], std::to_string(run.rows) + " " + std::string(1200, 'x'));
}

}  // namespace
}  // namespace vormla::testing
