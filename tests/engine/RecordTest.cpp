// Header, row format, entity decoding and the result file's error reporting.
#include <gtest/gtest.h>

#include "FakeWebAccess.h"
#include "JobTestKit.h"
#include "engine/RetrievalJob.h"

namespace vormla {
namespace {

using testing::FakeWebAccess;
using testing::ReadBytes;
using testing::RecordingObserver;
using testing::TempFolder;

TEST(CsvHeaderTest, NamesInOrderQuotedAndCommaJoined) {
  const std::string expected = Utf8ToSjis(
      "\"商品管理番号\",\"商品ID\",\"カテゴリー\",\"商品名\",\"商品紹介\",\"販売会社\","
      "\"ブランド名\",\"メーカ希望小売価格\",\"卸価格\",\"サイズ・容量\",\"規格\",\"注意事項\","
      "\"出荷条件\",\"良品返品\",\"注文について\",\"JANコード\",\"お支払い方法\",\"商品について\","
      "\"サプライヤースコア\",\"人気度\",\"注目度\",\"リピート度\",\"販売状況\",\"登録/更新日\","
      "\"販売会社ページURL\",\"商品画像URL1\",\"商品画像URL2\",\"商品画像URL3\",\"商品画像URL4\","
      "\"商品画像URL5\",\"商品画像URL6\",\"商品画像URL7\",\"商品画像URL8\",\"商品画像URL9\","
      "\"商品画像URL10\",\"詳細ページURL\"");
  EXPECT_EQ(CsvHeader(), expected);
  EXPECT_EQ(CsvHeader().size(), 486u);
  // Shift-JIS, not UTF-8: 商 is 0x8F 0xA4.
  EXPECT_EQ(CsvHeader().substr(0, 3), "\"\x8F\xA4");
  EXPECT_EQ(CsvHeader().find('\n'), std::string::npos);
}

TEST(DecodeEntitiesTest, TheSixReferencesAnyCase) {
  EXPECT_EQ(DecodeEntities("A&amp;B &AMP; C&Amp;"), "A&B & C&");
  EXPECT_EQ(DecodeEntities("it&#039;s"), "it's");
  EXPECT_EQ(DecodeEntities("10&#12316;20"),
            "10\x81\x60"
            "20");
  EXPECT_EQ(DecodeEntities(Utf8ToSjis("&quot;特価&quot;")), Utf8ToSjis("\"特価\""));
  EXPECT_EQ(DecodeEntities("a &LT;b&Gt; &Quot;c&QUOT;"), "a <b> \"c\"");
  // The ampersand goes first: a reference escaped twice decodes once more.
  EXPECT_EQ(DecodeEntities("&amp;#039;"), "'");
  EXPECT_EQ(DecodeEntities("&amp;quot;&amp;lt;&amp;gt;"), "\"<>");
  // Each pass scans once, so "&amp;amp;" keeps one level, and what one pass
  // makes is not taken up by the same pass.
  EXPECT_EQ(DecodeEntities("&amp;amp;"), "&amp;");
  EXPECT_EQ(DecodeEntities("&lt;lt;"), "<lt;");
}

TEST(DecodeEntitiesTest, OtherReferencesStay) {
  const std::string text = "&nbsp;&#038;&#12317;&#39;&#34;&apos;&lt&QUOT";
  EXPECT_EQ(DecodeEntities(text), text);
  EXPECT_EQ(DecodeEntities(""), "");
}

TEST(FormatItemRowTest, EmptyRecordIs36EmptyQuotedFields) {
  const std::string row = FormatItemRow(ItemRecord{});
  EXPECT_EQ(row.size(), 107u);
  std::string expected = "\"\"";
  for (int i = 1; i < kColumnCount; ++i) expected += ",\"\"";
  EXPECT_EQ(row, expected);
}

TEST(FormatItemRowTest, CommaStaysInsideAndQuoteIsDoubled) {
  ItemRecord record;
  record[0] = "a,b";
  record[3] = "say \"hi\"";
  record[35] = "x&amp;y";
  const std::string row = FormatItemRow(record);
  EXPECT_EQ(row.substr(0, 6), "\"a,b\",");
  EXPECT_NE(row.find(",\"say \"\"hi\"\"\","), std::string::npos);
  EXPECT_EQ(row.substr(row.size() - 6), ",\"x&y\"");
}

TEST(FormatItemRowTest, DoubleByteCharactersPassUntouched) {
  ItemRecord record;
  record[1] = "\x83\x5C\x83\x74\x83\x67";  // ソフト: 0x5C as a trail byte
  EXPECT_EQ(FormatItemRow(record).substr(0, 12), "\"\",\"\x83\x5C\x83\x74\x83\x67\",");
}

TEST(ItemProgressTextTest, ExactLabel) {
  EXPECT_EQ(ItemProgressText("A > B", 3, 120), Utf8ToSjis("分類 : A > B - 3/120件 取得中"));
  EXPECT_EQ(ItemProgressText("", 0, 0), Utf8ToSjis("分類 :  - 0/0件 取得中"));
}

class WriteItemRowTest : public ::testing::Test {
 protected:
  WriteItemRowTest() : job(SearchConditions{}, {}, {}, observer, web, "https://x") {}
  TempFolder folder;
  RecordingObserver observer;
  FakeWebAccess web;
  RetrievalJob job;
};

TEST_F(WriteItemRowTest, RowEndsInCrLfAndMarksItemFound) {
  const std::string path = folder / "out.csv";
  ASSERT_TRUE(job.CsvFile.Open(path));
  EXPECT_EQ(job.ItemFound(), ItemFoundCode::kNoItem);
  job.Record[2] = "c";
  job.WriteItemRow();
  job.WriteItemRow();
  EXPECT_EQ(job.ItemFound(), ItemFoundCode::kItemWritten);
  EXPECT_EQ(job.RowsWritten(), 2);
  // Each row is on disk before the file is closed.
  const std::string row = FormatItemRow(job.Record) + "\r\n";
  EXPECT_EQ(ReadBytes(path), row + row);
  EXPECT_TRUE(job.CsvFile.Close());
  EXPECT_FALSE(job.CsvFile.Failed());
}

TEST_F(WriteItemRowTest, WriteToFullDeviceIsReported) {
  ASSERT_TRUE(job.CsvFile.Open("/dev/full"));
  job.WriteItemRow();
  EXPECT_TRUE(job.CsvFile.Failed());
  EXPECT_TRUE(job.Terminated());
  EXPECT_EQ(job.ItemFound(), ItemFoundCode::kNoItem);
  EXPECT_EQ(job.RowsWritten(), 0);
}

TEST(ResultFileTest, FileThatCannotBeCreated) {
  TempFolder folder;
  testing::WriteBytes(folder / "plain", "x");
  ResultFile file;
  EXPECT_FALSE(file.Open(folder / "plain/out.csv"));
  EXPECT_TRUE(file.Failed());
  EXPECT_FALSE(file.IsOpen());
  EXPECT_FALSE(file.WriteLine("a"));
  EXPECT_FALSE(file.Close());
}

TEST(ResultFileTest, FolderWhereTheFileShouldBe) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / "out.csv");
  ResultFile file;
  EXPECT_FALSE(file.Open(folder / "out.csv"));
  EXPECT_TRUE(file.Failed());
}

TEST(ResultFileTest, TruncatesAndWritesCrLf) {
  TempFolder folder;
  const std::string path = folder / "out.csv";
  testing::WriteBytes(path, "old content that is longer");
  ResultFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_TRUE(file.WriteLine("a"));
  EXPECT_TRUE(file.WriteLine(""));
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(ReadBytes(path), "a\r\n\r\n");
  EXPECT_FALSE(file.Failed());
}

}  // namespace
}  // namespace vormla
