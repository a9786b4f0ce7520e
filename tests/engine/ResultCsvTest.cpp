// Result files read back field by field, and written in UTF-8.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "JobTestKit.h"
#include "engine/ResultFile.h"
#include "engine/RetrievalJob.h"
#include "results/ResultCsvReader.h"
#include "results/ResultDiff.h"
#include "text/Utf8.h"

namespace vormla {
namespace {

using ::testing::ElementsAre;
using testing::ReadBytes;
using testing::TempFolder;

std::vector<std::string> Doubled(std::string_view line) {
  std::vector<std::string> fields;
  return SplitCsvLine(line, fields) ? fields : std::vector<std::string>{"(refused)"};
}

std::vector<std::string> Undoubled(std::string_view line) {
  std::vector<std::string> fields;
  return SplitUndoubledCsvLine(line, fields) ? fields : std::vector<std::string>{"(refused)"};
}

TEST(SplitCsvLineTest, ThisProgramsQuotingAndTheUndoubledOne) {
  EXPECT_THAT(Doubled(R"("a","b,c","")"), ElementsAre("a", "b,c", ""));
  EXPECT_THAT(Doubled(R"("say ""hi""","x""")"), ElementsAre("say \"hi\"", "x\""));
  EXPECT_THAT(Doubled(R"(plain,"q",)"), ElementsAre("plain", "q", ""));
  EXPECT_THAT(Doubled(""), ElementsAre(""));
  EXPECT_THAT(Doubled(R"("a"b","c")"), ElementsAre("(refused)"));  // a lone quote inside
  EXPECT_THAT(Doubled(R"("open,"x)"), ElementsAre("(refused)"));

  // Older files: only a quote before a comma or the line's end closes.
  EXPECT_THAT(Undoubled(R"("say "hi"","x")"), ElementsAre("say \"hi\"", "x"));
  EXPECT_THAT(Undoubled(R"("a"b","5"","""")"), ElementsAre("a\"b", "5\"", "\"\""));
  EXPECT_THAT(Undoubled(R"("x",open)"), ElementsAre("x", "open"));
  EXPECT_THAT(Undoubled(R"("never closes)"), ElementsAre("(refused)"));

  // Shift-JIS trail bytes are never 0x22 or 0x2C: a field of 表 (0x95 0x5C) stays whole.
  EXPECT_THAT(Doubled("\"\x95\x5C\",\"\x83\x41\""), ElementsAre("\x95\x5C", "\x83\x41"));
}

TEST(WellFormedUtf8Test, RefusesWhatUnicodeCallsMalformed) {
  EXPECT_TRUE(IsWellFormedUtf8("abc 表 😀"));
  for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE8\xA1", "\xFF"}) {
    EXPECT_FALSE(IsWellFormedUtf8(bad)) << bad;
  }
}

std::string RowOf(const std::string& name, size_t pad = 0) {
  ItemRecord record;
  record[3] = Utf8ToSjis(name) + std::string(pad, 'x');
  record[35] = "https://www.vormla.jp/shop/1/" + name;
  return FormatItemRow(record);
}

TEST(ResultCsvReaderTest, LinesAcrossReadsLongLinesAndBareLineFeeds) {
  TempFolder folder;
  // Rows far longer than one read (the longest a row may be), and rows that cross
  // its edges; one ends in LF alone.
  std::string bytes = CsvHeader() + "\r\n";
  const size_t longest = kMaxRowBytes - RowOf("7").size();
  for (int n = 0; n < 40; ++n) bytes += RowOf(std::to_string(n), n == 7 ? longest : 50'000) + (n == 9 ? "\n" : "\r\n");
  testing::WriteBytes(folder / "big.csv", bytes);
  ResultCsvReader reader(folder / "big.csv");
  EXPECT_EQ(reader.Encoding(), ResultEncoding::kSjis);
  std::vector<std::string> fields;
  for (int n = 0; n < 40; ++n) {
    ASSERT_TRUE(reader.Next(fields)) << n;
    EXPECT_EQ(reader.Line(), n + 2);
    ASSERT_EQ(fields.size(), 36u);
    EXPECT_EQ(fields[3].size(), std::to_string(n).size() + (n == 7 ? longest : 50'000));
    EXPECT_EQ(fields[35], "https://www.vormla.jp/shop/1/" + std::to_string(n));
  }
  EXPECT_FALSE(reader.Next(fields));
  EXPECT_EQ(reader.BytesRead(), bytes.size());
}

TEST(ResultCsvReaderTest, Utf8FileIsReadAndASjisFileCanBeHandedOutInUtf8) {
  TempFolder folder;
  testing::WriteBytes(folder / "sjis.csv", CsvHeader() + "\r\n" + RowOf("陶器") + "\r\n");
  testing::WriteBytes(folder / "utf8.csv", "\xEF\xBB\xBF" + SjisToUtf8(CsvHeader() + "\r\n" + RowOf("陶器") + "\r\n"));
  ResultCsvReader sjis(folder / "sjis.csv"), utf8(folder / "utf8.csv");
  EXPECT_EQ(utf8.Encoding(), ResultEncoding::kUtf8);
  EXPECT_EQ(CommonFieldEncoding(sjis, utf8), ResultEncoding::kUtf8);
  std::vector<std::string> a, b;
  ASSERT_TRUE(sjis.Next(a));
  ASSERT_TRUE(utf8.Next(b));
  EXPECT_EQ(a, b);
  EXPECT_EQ(a[3], "陶器");
}

TEST(ResultFileTest, Utf8FileHoldsTheShiftJisLinesConvertedAfterItsMark) {
  TempFolder folder;
  ResultFile file;
  ASSERT_TRUE(file.Open(folder / "out.csv", ResultEncoding::kUtf8));
  ItemRecord record;
  // A character code page 932 has no code for was already "?" in the Shift-JIS row.
  record[3] = Utf8ToSjis("波ダッシュ〜 😀 ①");
  ASSERT_TRUE(file.WriteLine(CsvHeader()));
  ASSERT_TRUE(file.WriteLine(FormatItemRow(record)));
  ASSERT_TRUE(file.Close());
  const std::string bytes = ReadBytes(folder / "out.csv");
  EXPECT_EQ(bytes, "\xEF\xBB\xBF" + SjisToUtf8(CsvHeader()) + "\r\n" + SjisToUtf8(FormatItemRow(record)) + "\r\n");
  EXPECT_NE(bytes.find("波ダッシュ～ ? ①"), std::string::npos);
}

}  // namespace
}  // namespace vormla
