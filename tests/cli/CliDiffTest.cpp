// vormla-cli diff as a process on hand-made pairs of result files: the change
// report's bytes and order, the exit codes, and what it says about files it
// cannot take.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "CliTestKit.h"
#include "cli/CliDiff.h"
#include "engine/RetrievalJob.h"
#include "text/TextOps.h"

namespace vormla::cli {
namespace {

using clitest::Finished;
using clitest::ReadBytes;
using clitest::TempFolder;
using clitest::WriteBytes;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Values = std::vector<std::string>;  // 36 UTF-8 values, column n at n - 1

// An item with plausible values; changes by column number (1-based).
Values Item(const std::string& id, const std::map<int, std::string>& changes = {}) {
  Values v(36);
  v[0] = "VM-" + id;
  v[1] = "1000" + id;
  v[2] = "キッチン用品 > 食器";
  v[3] = "陶器の小皿 " + id;
  v[4] = "毎日使いたくなる定番アイテムです。";
  v[5] = "株式会社ヴォルムラ商事";
  v[7] = "2,150円";
  v[8] = "870円";
  v[16] = "クレジットカード、銀行振込";
  v[19] = "★★☆";
  v[22] = "在庫あり";
  v[23] = "2024/05/01";
  v[24] = "https://www.vormla.jp/corpinfo/100";
  v[25] = "https://www.vormla.jp/img/100/" + id + "_01.png";
  v[35] = "https://www.vormla.jp/shop/100/" + id;
  for (const auto& [column, value] : changes) v[static_cast<size_t>(column - 1)] = value;
  return v;
}

// A row as this program writes it (quotes doubled) or as older files have it.
std::string Row(const Values& v, bool doubled = true) {
  std::string line;
  for (const std::string& value : v) {
    if (!line.empty()) line += ',';
    line += '"';
    for (const char c : value) {
      if (c == '"' && doubled) line += '"';
      line += c;
    }
    line += '"';
  }
  return line;
}

std::string SjisFile(const std::vector<Values>& rows, bool doubled = true) {
  std::string bytes = CsvHeader() + "\r\n";
  for (const Values& row : rows) bytes += Utf8ToSjis(Row(row, doubled)) + "\r\n";
  return bytes;
}

std::string Utf8File(const std::vector<Values>& rows) { return "\xEF\xBB\xBF" + SjisToUtf8(SjisFile(rows)); }

// The report's rows (header included) in UTF-8.
std::vector<Values> ReportRows(const std::string& bytes, bool utf8 = false) {
  std::vector<Values> rows;
  const clitest::CsvText csv = clitest::ParseCsv(utf8 ? bytes.substr(3) : bytes);
  EXPECT_TRUE(csv.wellFormed);
  for (const auto& record : csv.records) {
    Values fields;
    for (const std::string& field : record) fields.push_back(utf8 ? field : SjisToUtf8(field));
    rows.push_back(fields);
  }
  return rows;
}

const Values kHeader = {"変化",         "詳細ページURL", "商品管理番号",           "商品名",
                        "卸価格(前)",   "卸価格(後)",    "メーカ希望小売価格(前)", "メーカ希望小売価格(後)",
                        "販売状況(前)", "販売状況(後)"};

// A report row: kind, then the item's URL, number and name, then the six values.
Values Change(const std::string& kind, const Values& item, const Values& before, const Values& after) {
  return {kind, item[35], item[0], item[3], before[8], after[8], before[7], after[7], before[22], after[22]};
}

class CliDiff : public ::testing::Test {
 protected:
  Finished Diff(const std::string& older, const std::string& newer, std::vector<std::string> extra = {}) {
    WriteBytes(work_ / "old.csv", older);
    WriteBytes(work_ / "new.csv", newer);
    std::vector<std::string> arguments{"diff", work_ / "old.csv", work_ / "new.csv"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return clitest::RunCli(arguments, work_.Path());
  }
  TempFolder work_;
};

TEST_F(CliDiff, EveryKindOfChangeInTheReportsOrder) {
  const Values a = Item("A"), b = Item("B"), c = Item("C"), d = Item("D"), g = Item("G"), h = Item("H");
  const Values e = Item("E"), f = Item("F");
  const Values b2 = Item("B", {{9, "920円"}});
  // Retail price, stock and name at once: three rows for one item.
  const Values c2 = Item("C", {{8, "2,300円"}, {23, "品切れ中"}, {4, "陶器の小皿 C 新色"}});
  const Values h2 = Item("H", {{20, "★★★"}});  // a column the report does not show
  const Finished diff = Diff(SjisFile({a, b, c, d, h, g}), SjisFile({e, c2, b2, a, h2, f}));
  EXPECT_EQ(diff.exitCode, 1) << diff.err;
  const Values none(36);
  EXPECT_THAT(ReportRows(diff.out),
              ElementsAre(kHeader, Change("新規", e, none, e), Change("新規", f, none, f), Change("終了", d, d, none),
                          Change("終了", g, g, none), Change("価格変更", c2, c, c2), Change("販売状況変更", c2, c, c2),
                          Change("更新", c2, c, c2), Change("価格変更", b2, b, b2), Change("更新", h2, h, h2)));
  EXPECT_THAT(diff.err, ::testing::EndsWith("vormla-cli: 新規 2、終了 2、価格変更 2、販売状況変更 1、更新 2\n"));
}

TEST_F(CliDiff, IdenticalFilesGiveTheHeaderAloneAndExitZero) {
  const std::vector<Values> rows = {Item("A"), Item("B"), Item("C")};
  const Finished diff = Diff(SjisFile(rows), SjisFile(rows));
  EXPECT_EQ(diff.exitCode, 0) << diff.err;
  EXPECT_EQ(diff.out, Utf8ToSjis(Row(kHeader)) + "\r\n");
  EXPECT_THAT(diff.err, ::testing::EndsWith("vormla-cli: 新規 0、終了 0、価格変更 0、販売状況変更 0、更新 0\n"));
}

TEST_F(CliDiff, TheLaterRowOfAUrlListedTwiceCounts) {
  // Listed by two searches: another category, and here another price.
  const Values x1 = Item("X", {{9, "100円"}}), x2 = Item("X", {{9, "200円"}, {3, "インテリア > 花瓶"}});
  const Values y = Item("Y");
  const Finished same = Diff(SjisFile({x1, y, x2}), SjisFile({Item("X", {{9, "300円"}}), y, x2}));
  EXPECT_EQ(same.exitCode, 0) << same.out;

  const Values x3 = Item("X", {{9, "300円"}, {3, "インテリア > 花瓶"}});
  const Finished changed = Diff(SjisFile({x1, y, x2}), SjisFile({y, x2, x3}));
  EXPECT_EQ(changed.exitCode, 1);
  EXPECT_THAT(ReportRows(changed.out), ElementsAre(kHeader, Change("価格変更", x3, x2, x3)));
}

TEST_F(CliDiff, ReadsOlderFilesWithUndoubledQuotes) {
  // A quote followed by anything but a comma or the line's end is text there.
  const Values quoted = Item("Q", {{4, "限定 \"特価\" 品"}, {5, "サイズ 5\""}, {6, "\"株式会社\""}, {7, "a\"b"}});
  const Finished same = Diff(SjisFile({quoted, Item("R")}, false), SjisFile({quoted, Item("R")}));
  EXPECT_EQ(same.exitCode, 0) << same.err;

  const Values renamed = Item("Q", {{4, "限定 \"特価\" 品 改"}, {5, "サイズ 5\""}, {6, "\"株式会社\""}, {7, "a\"b"}});
  const Finished changed = Diff(SjisFile({quoted, Item("R")}, false), SjisFile({renamed, Item("R")}));
  EXPECT_EQ(changed.exitCode, 1) << changed.err;
  // Written back with the quotes doubled.
  EXPECT_THAT(changed.out, HasSubstr(Utf8ToSjis("\"限定 \"\"特価\"\" 品 改\"")));
  EXPECT_THAT(ReportRows(changed.out), ElementsAre(kHeader, Change("更新", renamed, quoted, renamed)));
}

TEST_F(CliDiff, ReadsUtf8AndWritesEitherEncoding) {
  const std::vector<Values> rows = {Item("A"), Item("B", {{4, "ハンドクリーム ～ 無香料"}})};
  // A UTF-8 file against its Shift-JIS twin, both ways round.
  EXPECT_EQ(Diff(SjisFile(rows), Utf8File(rows)).exitCode, 0);
  const Finished twin = Diff(Utf8File(rows), SjisFile(rows), {"--encoding", "utf-8"});
  EXPECT_EQ(twin.exitCode, 0) << twin.err;
  EXPECT_EQ(twin.out, "\xEF\xBB\xBF" + Row(kHeader) + "\r\n");

  const Values b2 = Item("B", {{4, "ハンドクリーム ～ 無香料"}, {23, "品切れ中"}});
  for (const bool utf8Report : {false, true}) {
    std::vector<std::string> extra;
    if (utf8Report) extra = {"--encoding", "UTF-8"};
    const Finished diff = Diff(SjisFile(rows), Utf8File({Item("A"), b2}), extra);
    EXPECT_EQ(diff.exitCode, 1) << diff.err;
    EXPECT_EQ(diff.out.rfind("\xEF\xBB\xBF", 0) == 0, utf8Report);
    EXPECT_THAT(ReportRows(diff.out, utf8Report), ElementsAre(kHeader, Change("販売状況変更", b2, rows[1], b2)));
  }
  EXPECT_EQ(Diff(SjisFile(rows), SjisFile(rows), {"--encoding", "latin1"}).exitCode, 2);
}

// Read on a terminal the report is UTF-8 whatever --encoding says; a pipe (or a
// file) keeps the --encoding rule.
TEST_F(CliDiff, ATerminalGetsUtf8AndAPipeTheChosenEncoding) {
  const Values a = Item("A"), a2 = Item("A", {{23, "品切れ中"}});
  WriteBytes(work_ / "old.csv", SjisFile({a}));
  WriteBytes(work_ / "new.csv", SjisFile({a2}));
  const std::string utf8 = Row(kHeader) + "\r\n" + Row(Change("販売状況変更", a2, a, a2)) + "\r\n";
  for (const bool terminal : {true, false}) {
    SCOPED_TRACE(terminal ? "terminal, --encoding sjis" : "pipe");
    int reader = -1, writer = -1;
    if (terminal) {
      ASSERT_EQ(::openpty(&reader, &writer, nullptr, nullptr, nullptr), 0);
      termios raw{};
      ::tcgetattr(writer, &raw);
      ::cfmakeraw(&raw);  // the bytes as written, no CR added before LF
      ::tcsetattr(writer, TCSANOW, &raw);
    } else {
      int ends[2];
      ASSERT_EQ(::pipe(ends), 0);
      reader = ends[0];
      writer = ends[1];
    }
    std::FILE* err = std::tmpfile();
    const DiffArguments arguments{work_ / "old.csv", work_ / "new.csv", std::nullopt,
                                  terminal ? std::optional<std::string>("sjis") : std::nullopt};
    EXPECT_EQ(DiffCommand(arguments, writer, err), 1);
    ::close(writer);
    std::string out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
    ::close(reader);
    std::fclose(err);
    EXPECT_EQ(out, terminal ? utf8 : Utf8ToSjis(utf8));
  }
}

TEST_F(CliDiff, TruncatedLastLineIsTroubleNamingTheLine) {
  const std::string whole = SjisFile({Item("A"), Item("B"), Item("C")});
  // Cut inside the last field, and cut right after its closing quote.
  for (const size_t cut : {size_t{20}, size_t{2}}) {
    const Finished diff = Diff(whole, whole.substr(0, whole.size() - cut), {"--output", work_ / "report.csv"});
    EXPECT_EQ(diff.exitCode, 2);
    EXPECT_THAT(diff.err, HasSubstr("vormla-cli: " + work_ / "new.csv" + ":4: 最後の行が途中で切れています"));
    EXPECT_FALSE(std::filesystem::exists(work_ / "report.csv"));
    EXPECT_EQ(diff.out, "");
  }
  // The header alone, cut.
  const Finished header = Diff(whole, CsvHeader());
  EXPECT_EQ(header.exitCode, 2);
  EXPECT_THAT(header.err, HasSubstr(work_ / "new.csv" + ":1: 最後の行が途中で切れています"));
}

TEST_F(CliDiff, FilesThatAreNoResultFilesAreTroubleNamingFileAndLine) {
  const std::string good = SjisFile({Item("A"), Item("B")});
  Values shortRow = Item("B");
  shortRow.pop_back();
  struct Case {
    std::string bytes;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"", ":1: 空のファイルです"},
      {"\"a\",\"b\"\r\n", ":1: 見出しの行が結果ファイルのものと違います (Shift-JIS"},
      {Utf8ToSjis(Row(kHeader)) + "\r\n", ":1: 見出しの行が結果ファイルのものと違います"},
      {SjisToUtf8(good), ":1: 見出しの行が結果ファイルのものと違います (Shift-JIS"},  // UTF-8 without its mark
      {CsvHeader() + "\r\n" + Utf8ToSjis(Row(Item("A"))) + "\r\n" + Utf8ToSjis(Row(shortRow)) + "\r\n",
       ":3: 項目が 36 個ではありません (35 個)"},
      {CsvHeader() + "\r\n\r\n", ":2: 空の行です"},
      {CsvHeader() + "\r\n\"VM-A,1000A\r\n", ":2: 引用符が閉じていません"},
      {"\xEF\xBB\xBF" + SjisToUtf8(CsvHeader()) + "\r\n" + Row(Item("A")) + "\xFF\r\n", ":2: UTF-8 として正しくない"},
  };
  for (const Case& c : cases) {
    const Finished diff = Diff(good, c.bytes);
    EXPECT_EQ(diff.exitCode, 2) << c.message;
    EXPECT_THAT(diff.err, HasSubstr("vormla-cli: " + work_ / "new.csv" + c.message));
    EXPECT_EQ(diff.out, "");
  }
  const Finished missing = clitest::RunCli({"diff", work_ / "none.csv", work_ / "new.csv"}, work_.Path());
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_THAT(missing.err, HasSubstr("vormla-cli: " + work_ / "none.csv" + ": 開けません"));
}

TEST_F(CliDiff, DamagedEndlessOrHugeInputEndsInBoundedMemory) {
  const std::string header = CsvHeader() + "\r\n", rowA = Utf8ToSjis(Row(Item("A"))) + "\r\n";
  std::string block, yes;  // a million rows of one item (overlapping searches list it again and again)
  for (int i = 0; i < 10000; ++i) block += rowA;
  for (int i = 0; i < 32768; ++i) yes += "y\n";
  const std::string name(65536, 'n');
  struct Case {
    const char* what;
    std::string newer;                       // a file's bytes, or with a chunk function none
    std::function<std::string(long)> chunk;  // the pipe's chunks in turn; "" ends it
    int exitCode;
    std::string where, message;
    long maxKb;
  };
  const std::vector<Case> cases = {
      {"zeros", "/dev/zero", nullptr, 2, ":1: ", "NUL バイトがあります。", 256 << 10},
      {"yes", "", [&](long) { return yes; }, 2, ":1: ", "見出しの行が結果ファイルのものと違います", 256 << 10},
      {"endless row", "", [&](long i) { return i == 0 ? header + "\"" : std::string(65536, 'x'); }, 2,
       ":2: ", "行が長すぎます (1 MiB を超えています)。", 256 << 10},
      {"endless items", "",
       [&](long i) {
         return i == 0 ? header : Utf8ToSjis(Row(Item(std::to_string(i), {{4, name}}))) + "\r\n";
       },
       2, ":", "比べる品目が多すぎます", 256 << 10},
      {"a million rows", "", [&](long i) { return i == 0     ? header
                                                  : i <= 100 ? block
                                                             : ""; }, 0, "",
       "vormla-cli: 新規 0、終了 0、価格変更 0、販売状況変更 0、更新 0", 32 << 10},
      {"2 MiB row", header + rowA + "\"" + std::string(2 << 20, 'x') + "\"\r\n", nullptr, 2, ":3: ", "行が長すぎます",
       256 << 10},
      {"NUL byte", header + rowA + std::string("\"VM-B\0\"\r\n", 10), nullptr, 2, ":3: ", "NUL バイトがあります",
       256 << 10},
      {"UTF-8 row", header + rowA + Row(Item("B")) + "\r\n", nullptr, 2,
       ":3: ", "Shift-JIS として正しくないバイトがあります", 256 << 10},
      {"undefined code", header + "\x85\x40" + rowA, nullptr, 2, ":2: ", "Shift-JIS として正しくないバイトがあります",
       256 << 10},
  };
  WriteBytes(work_ / "old.csv", SjisFile({Item("A")}));
  for (const Case& c : cases) {
    std::filesystem::remove(work_ / "report.csv");
    std::string newer = c.newer;
    std::unique_ptr<clitest::FifoFeeder> pipe;
    if (c.chunk) {
      newer = work_ / ("pipe-" + std::to_string(&c - cases.data()));
      pipe = std::make_unique<clitest::FifoFeeder>(newer, [&c, i = 0L]() mutable { return c.chunk(i++); });
    } else if (newer != "/dev/zero") {
      newer = work_ / "new.csv";
      WriteBytes(newer, c.newer);
    }
    const Finished diff =
        clitest::RunCli({"diff", work_ / "old.csv", newer, "--output", work_ / "report.csv"}, work_.Path());
    EXPECT_EQ(diff.exitCode, c.exitCode) << c.what << "\n" << diff.err;
    EXPECT_THAT(diff.err, HasSubstr(newer + c.where)) << c.what;
    EXPECT_THAT(diff.err, HasSubstr(c.message)) << c.what;
    EXPECT_EQ(std::filesystem::exists(work_ / "report.csv"), c.exitCode != 2) << c.what;
    if (!clitest::kAddressSanitizer) {
      EXPECT_LT(diff.maxRssKb, c.maxKb) << c.what;
    }
    std::printf("%-16s peak %6.1f MB\n", c.what, diff.maxRssKb / 1024.0);
  }
}

TEST_F(CliDiff, OutputFileTakesTheReportAndAFailedWriteIsTrouble) {
  const Finished diff = Diff(SjisFile({Item("A")}), SjisFile({Item("B")}), {"--output", work_ / "report.csv"});
  EXPECT_EQ(diff.exitCode, 1) << diff.err;
  EXPECT_EQ(diff.out, "");
  EXPECT_EQ(ReportRows(ReadBytes(work_ / "report.csv")).size(), 3u);

  // A regular file stands where the report's folder should be.
  WriteBytes(work_ / "file", "x");
  const Finished failed = Diff(SjisFile({Item("A")}), SjisFile({Item("B")}), {"--output", work_ / "file/report.csv"});
  EXPECT_EQ(failed.exitCode, 2);
  EXPECT_THAT(failed.err, HasSubstr(work_ / "file/report.csv"));
  EXPECT_THAT(failed.err, ::testing::Not(HasSubstr("新規 1")));
}

}  // namespace
}  // namespace vormla::cli
