// vormla-cli as a process against the demo market: the rows it writes, the
// pictures, cancelling by signal, and the exit codes of the failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>

#include "CliTestKit.h"
#include "catalogue/CategoryDatabase.h"
#include "cli/CliOptions.h"
#include "demo-market/DemoMarket.h"
#include "engine/RetrievalJob.h"
#include "text/TextOps.h"

#include "support/LocalPorts.h"
#include "support/SmallFileSystem.h"

namespace vormla::cli {
namespace {

using clitest::CategoryColumn;
using clitest::CsvText;
using clitest::Finished;
using clitest::kCatalogue;
using clitest::ParseCsv;
using clitest::ReadBytes;
using clitest::TempFolder;
using clitest::TestData;
using ::testing::HasSubstr;

using testing::ClosedPort;

using clitest::kAddressSanitizer;

std::vector<std::string> Utf8Fields(const std::vector<std::string>& record) {
  std::vector<std::string> fields;
  for (const std::string& field : record) fields.push_back(SjisToUtf8(field));
  return fields;
}

// Every data row equals, field by field, what the market served for that item.
void ExpectRows(const CsvText& csv, const std::vector<demo::ExpectedItem>& expected, size_t rows) {
  ASSERT_GE(csv.records.size(), 1u);
  ASSERT_EQ(csv.records.size() - 1, rows);
  ASSERT_LE(rows, expected.size());
  for (size_t r = 0; r < rows; ++r) {
    const std::vector<std::string> fields = Utf8Fields(csv.records[r + 1]);
    ASSERT_EQ(fields.size(), 36u) << "row " << r + 1;
    for (size_t f = 0; f < 36; ++f) {
      EXPECT_EQ(fields[f], expected[r].columns[f]) << "row " << r + 1 << ", column " << f + 1;
    }
  }
}

class CliRun : public clitest::MarketSuite {
 protected:
  // The run's file beside the target while it runs ("" when there is none).
  std::string TemporaryResult() const {
    for (const auto& entry : std::filesystem::directory_iterator(work_.Path())) {
      if (entry.path().filename().string().rfind(".vormla-run-", 0) == 0) return entry.path().string();
    }
    return "";
  }
  // The whole-site search of a run without conditions.
  static std::string PlainTarget() { return "/search?category_id=80&ex_so=N&sort=score&sort_operate_flg=Y"; }
};

TEST_F(CliRun, WritesEveryServedItemWithItsPictures) {
  std::filesystem::create_directory(work_ / "pictures");
  // The start button's rules on the way: ".txt" gets ".csv", an old file goes,
  // the price pair is put in order.
  clitest::WriteBytes(work_ / "result.txt.csv", "stale content\r\n");
  const Finished run = clitest::RunCli(
      {"run", "--output", work_ / "result.txt", "--db", kCatalogue, "--top", "1", "--nodes", "1,2,", "--keyword",
       "タオル", "--wholesale-from", "5000", "--wholesale-to", "100", "--sort", "2", "--images", work_ / "pictures"},
      work_.Path(), Environment());
  EXPECT_EQ(run.exitCode, kExitRows) << run.err;
  EXPECT_THAT(run.err, HasSubstr("ページ内容の確認中1..."));
  EXPECT_THAT(run.err, HasSubstr("分類 : トップス > Tシャツ・カットソー - 1/"));
  EXPECT_THAT(run.err, HasSubstr("商品情報の取得が完了しました。"));
  EXPECT_EQ(run.out, "");

  const std::vector<demo::ServedSearch> searches = market_->Searches();
  ASSERT_EQ(searches.size(), 2u);
  for (const demo::ServedSearch& search : searches) {
    EXPECT_TRUE(search.signedIn);
    EXPECT_EQ(search.query.keyword, "タオル");
    EXPECT_EQ(search.query.priceFrom, "100");
    EXPECT_EQ(search.query.priceTo, "5000");
    EXPECT_EQ(search.query.sort, "new");
  }
  EXPECT_EQ(searches[0].query.categoryId, "101010");
  EXPECT_EQ(searches[1].query.categoryId, "101020");

  const std::vector<demo::ExpectedItem> expected =
      market_->ExpectedRunRows({CategoryColumn(1, 1), CategoryColumn(1, 2)});
  ASSERT_FALSE(expected.empty());
  const std::string bytes = ReadBytes(work_ / "result.txt.csv");
  const CsvText csv = ParseCsv(bytes);
  EXPECT_TRUE(csv.wellFormed);
  EXPECT_EQ(bytes.substr(0, CsvHeader().size() + 2), CsvHeader() + "\r\n");
  ExpectRows(csv, expected, expected.size());
  // Appended rather than "(" + temporary: GCC 12 at -O3 sees a false overlap there.
  std::string count = "(";
  count += std::to_string(expected.size());
  count += "件)";
  EXPECT_THAT(run.err, HasSubstr(count));

  int pictures = 0;
  int notSaved = 0;
  for (const demo::ExpectedItem& item : expected) {
    if (!item.picturesSaved) {
      notSaved += static_cast<int>(item.pictureUrls.size());
      continue;
    }
    for (const std::string& url : item.pictureUrls) {
      const bool missing = std::find(item.missingPictureUrls.begin(), item.missingPictureUrls.end(), url) !=
                           item.missingPictureUrls.end();
      // The file name is the path's last piece, without a query.
      const std::string path = url.substr(0, url.find('?'));
      const std::string file = work_ / ("pictures/" + item.columns[0] + "/" + path.substr(path.rfind('/') + 1));
      if (missing) {
        EXPECT_FALSE(std::filesystem::exists(file)) << file;
        ++notSaved;
      } else {
        EXPECT_EQ(ReadBytes(file), market_->PictureBytes(url)) << file;
        ++pictures;
      }
    }
  }
  EXPECT_GT(pictures, 0);
  // The first picture not saved is named once, with its folder; the rest are counted.
  EXPECT_THAT(run.err, HasSubstr("\nvormla-cli: 画像を保存できませんでした: " + work_ / "pictures/"));
  EXPECT_THAT(run.err,
              ::testing::EndsWith("vormla-cli: 書き込んだ行 " + std::to_string(expected.size()) +
                                  "、読めなかったページ 0、保存できなかった画像 " + std::to_string(notSaved) + "\n"));
}

int PicturesNotSaved(const std::string& err) {
  const std::string label = "保存できなかった画像 ";
  const size_t at = err.rfind(label);
  return at == std::string::npos ? -1 : std::stoi(err.substr(at + label.size()));
}

// Someone who may write into the picture folder puts links in it: an item's
// folder and one picture lead elsewhere. Nothing is written there; those
// pictures are counted as not saved and the first link is named once.
TEST_F(CliRun, LinksInThePictureFolderAreNeverFollowed) {
  namespace fs = std::filesystem;
  const fs::path pictures = work_ / "pictures", outside = work_ / "outside";
  fs::create_directories(pictures);
  fs::create_directories(outside);
  clitest::WriteBytes(outside / "keep.jpg", "not ours");
  auto run = [&] {
    return clitest::RunCli({"run", "--output", work_ / "x.csv", "--db", kCatalogue, "--top", "1", "--nodes", "1",
                            "--images", pictures.string()},
                           work_.Path(), Environment());
  };
  const Finished first = run();
  ASSERT_EQ(first.exitCode, kExitRows) << first.err;
  std::vector<std::pair<fs::path, size_t>> folders;  // item folders with their saved pictures
  for (const auto& entry : fs::directory_iterator(pictures)) {
    folders.emplace_back(entry.path(), std::distance(fs::directory_iterator(entry.path()), {}));
  }
  std::sort(folders.begin(), folders.end());
  std::erase_if(folders, [](const auto& folder) { return folder.second == 0; });
  ASSERT_GE(folders.size(), 2u);
  fs::remove_all(folders[0].first);
  fs::create_directory_symlink(outside, folders[0].first);
  const fs::path picture = fs::directory_iterator(folders[1].first)->path();
  fs::remove(picture);
  fs::create_symlink(outside / "keep.jpg", picture);

  const Finished second = run();
  EXPECT_EQ(second.exitCode, kExitRows) << second.err;
  EXPECT_EQ(std::distance(fs::directory_iterator(outside), {}), 1);
  EXPECT_EQ(ReadBytes(outside / "keep.jpg"), "not ours");
  EXPECT_EQ(PicturesNotSaved(second.err), PicturesNotSaved(first.err) + static_cast<int>(folders[0].second) + 1)
      << second.err;
  // The one met first, whichever item the market listed first, and only that one.
  const std::string why = "がシンボリックリンクのため、リンク先には書き込みません)\n";
  const std::string folderLink = folders[0].first.string() + "/ (フォルダ" + why;
  const std::string pictureLink = folders[1].first.string() + "/ (" + picture.filename().string() + " " + why;
  EXPECT_NE(second.err.find(folderLink) == std::string::npos, second.err.find(pictureLink) == std::string::npos)
      << second.err;
}

TEST_F(CliRun, NothingFoundLeavesTheHeaderAndExitsOne) {
  const Finished run =
      clitest::RunCli({"run", "--output", work_ / "none.csv", "--db", kCatalogue, "--wholesale-from", "999999999"},
                      work_.Path(), Environment());
  EXPECT_EQ(run.exitCode, kExitNoRows) << run.err;
  EXPECT_THAT(run.err,
              ::testing::EndsWith("該当する商品情報は見つかりませんでした。\n" + work_ / "none.csv" +
                                  "\nvormla-cli: 書き込んだ行 0、読めなかったページ 0、保存できなかった画像 0\n"));
  EXPECT_EQ(ReadBytes(work_ / "none.csv"), CsvHeader() + "\r\n");
  ASSERT_EQ(market_->Searches().size(), 1u);
  EXPECT_TRUE(market_->Searches()[0].query.allCategories);
}

class CliCancel : public CliRun, public ::testing::WithParamInterface<int> {};

TEST_P(CliCancel, SignalKeepsTheCompleteRowsWrittenSoFar) {
  // Slow pauses and several categories, so the run is well under way when the
  // signal comes and far from its end.
  const std::string csvPath = work_ / "cancel.csv";
  clitest::WriteBytes(csvPath, "previous result\r\n");
  clitest::CliProcess process({"run", "--output", csvPath, "--db", kCatalogue, "--top", "1", "--nodes", "1,2,3,4,5,6"},
                              Environment("0.2"), work_.Path());
  ASSERT_TRUE(process.Started());
  // The rows go to a file of the run's own beside the target, until the end.
  const bool twoRows = clitest::WaitFor(
      [&] {
        const std::string bytes = ReadBytes(TemporaryResult());
        size_t lines = 0;
        for (size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++lines;
        return lines >= 3;
      },
      std::chrono::seconds(30));
  ASSERT_TRUE(twoRows) << "the run wrote no rows";
  EXPECT_EQ(ReadBytes(csvPath), "previous result\r\n");
  process.Signal(GetParam());
  const Finished run = process.Wait();
  EXPECT_EQ(run.exitCode, kExitCancelled) << run.err;
  EXPECT_THAT(run.err, HasSubstr("取得処理を中断しました。"));

  const CsvText csv = ParseCsv(ReadBytes(csvPath));
  EXPECT_TRUE(csv.wellFormed);
  const size_t searched = market_->Searches().size();
  ASSERT_GE(searched, 1u);
  ASSERT_LT(searched, 6u) << "the run was not stopped";
  std::vector<std::string> columns;
  for (size_t k = 0; k < searched; ++k) columns.push_back(CategoryColumn(1, static_cast<int>(k) + 1));
  const std::vector<demo::ExpectedItem> expected = market_->ExpectedRunRows(columns);
  ASSERT_GE(csv.records.size(), 3u);
  ExpectRows(csv, expected, csv.records.size() - 1);
  EXPECT_THAT(run.err, HasSubstr("vormla-cli: 書き込んだ行 " + std::to_string(csv.records.size() - 1) + "、"));
  EXPECT_EQ(TemporaryResult(), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, CliCancel, ::testing::Values(SIGINT, SIGTERM),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param == SIGINT ? "Interrupt" : "Terminate");
                         });

TEST_F(CliRun, UnreachableSiteLeavesTheResultFileAsItWasAndSaysWhy) {
  const std::string root = "https://127.0.0.1:" + std::to_string(ClosedPort());
  std::map<std::string, std::string> environment = Environment();
  environment["VORMLA_SITE_ROOT"] = root;
  // No file before: none after.
  const Finished run =
      clitest::RunCli({"run", "--output", work_ / "down.csv", "--db", kCatalogue}, work_.Path(), environment);
  EXPECT_EQ(run.exitCode, kExitUnreachable) << run.err;
  EXPECT_FALSE(std::filesystem::exists(work_ / "down.csv"));
  EXPECT_THAT(run.err, ::testing::EndsWith(
                           "サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。\n"
                           "vormla-cli: 原因: 接続を拒否されました (" +
                           root + PlainTarget() +
                           ")\n"
                           "vormla-cli: 書き込んだ行 0、読めなかったページ 1、保存できなかった画像 0\n"));
}

// Every ending against an earlier result at the target: the new rows, the
// header alone, or the earlier bytes untouched, never a temporary file left; and
// the first words the run ends with.
TEST_F(CliRun, EachEndingLeavesAnEarlierResultAsItsPolicySays) {
  testing::SmallFileSystem disk(16 * 1024);
  const std::string earlier = "an earlier result\r\n";
  enum class Kept { kNewRows, kHeaderOnly, kAsBefore };
  struct Ending {
    std::string name;
    int exitCode;
    Kept kept;
    std::string said;  // what the run ends with, before the target
    std::vector<std::string> flags;
    std::string pauseScale = "0";
    std::function<bool()> stopWhen;  // a SIGINT once this holds
  };
  const auto requested = [](const std::string& path) {
    return [path] {
      for (const demo::RecordedRequest& request : market_->Requests()) {
        if (request.target == path) return true;
      }
      return false;
    };
  };
  const auto rowsWritten = [this](size_t rows) {
    return [this, rows] { return clitest::ParseCsv(ReadBytes(TemporaryResult())).records.size() > rows; };
  };
  const std::string nodes = "1,2,3,4,5,6";
  for (Ending e : std::vector<Ending>{
           {"complete", kExitRows, Kept::kNewRows, "商品情報の取得が完了しました。\n", {}, "0", {}},
           {"nothing found",
            kExitNoRows,
            Kept::kHeaderOnly,
            "該当する商品情報は見つかりませんでした。\n",
            {"--wholesale-from", "999999999"},
            "0",
            {}},
           {"stopped after two rows",
            kExitCancelled,
            Kept::kNewRows,
            "取得処理を中断しました。\n",
            {"--top", "1", "--nodes", nodes},
            "0.2",
            rowsWritten(2)},
           {"stopped before the first row",
            kExitCancelled,
            Kept::kAsBefore,
            "取得処理を中断しました。\nvormla-cli: "
            "最初の行を書く前に中断したため、結果ファイルには手を付けていません。\n",
            {},
            "4",
            requested("/login")},
           {"site down",
            kExitUnreachable,
            Kept::kAsBefore,
            "サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。\nvormla-cli: "
            "原因: ",
            {},
            "0",
            {}},
           {"disk full",
            kExitFileError,
            Kept::kAsBefore,
            "結果ファイルに書き込めませんでした。\n",
            {"--top", "1", "--nodes", nodes},
            "0",
            {}},
       }) {
    market_->ClearRecords();
    std::map<std::string, std::string> environment = Environment(e.pauseScale);
    if (e.exitCode == kExitUnreachable)
      environment["VORMLA_SITE_ROOT"] = "https://127.0.0.1:" + std::to_string(ClosedPort());
    std::string target = work_ / "result.csv";
    if (e.exitCode == kExitFileError) {
      if (!disk.Mounted()) continue;
      target = disk / "result.csv";
    }
    clitest::WriteBytes(target, earlier);
    std::vector<std::string> arguments{"run", "--output", target, "--db", kCatalogue};
    arguments.insert(arguments.end(), e.flags.begin(), e.flags.end());
    clitest::CliProcess process(arguments, environment, work_.Path());
    if (e.stopWhen) {
      EXPECT_TRUE(clitest::WaitFor(e.stopWhen, std::chrono::seconds(30))) << e.name;
      process.Signal(SIGINT);
    }
    const Finished run = process.Wait();
    EXPECT_EQ(run.exitCode, e.exitCode) << e.name << ": " << run.err;
    const CsvText csv = ParseCsv(ReadBytes(target));
    const std::string rows = std::to_string(csv.records.size() - 1);
    switch (e.kept) {
      case Kept::kNewRows:
        EXPECT_GE(csv.records.size(), 3u) << e.name;
        EXPECT_THAT(run.err, HasSubstr(target + " (" + rows + "件)\nvormla-cli: ")) << e.name;
        break;
      case Kept::kHeaderOnly:
        EXPECT_EQ(ReadBytes(target), CsvHeader() + "\r\n") << e.name;
        break;
      case Kept::kAsBefore:
        EXPECT_EQ(ReadBytes(target), earlier) << e.name;
        break;
    }
    EXPECT_THAT(run.err, HasSubstr("vormla-cli: 書き込んだ行 " + (e.kept == Kept::kAsBefore ? "0" : rows) + "、"))
        << e.name;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(target).parent_path())) {
      EXPECT_NE(entry.path().filename().string().rfind(".vormla-run-", 0), 0u) << e.name << ": " << entry.path();
    }
    EXPECT_THAT(run.err, HasSubstr("vormla-cli: " + e.said)) << e.name;
  }
  if (!disk.Mounted()) GTEST_SKIP() << "disk full not tried: " << disk.WhyNot();
}

// A sign-in that visibly failed, or one every row casts doubt on, is said in one
// line naming what happened and what to check; run's exit code stays.
TEST_F(CliRun, SignInThatFailedOrIsInDoubtIsWarnedAndTheExitCodeStays) {
  const std::string check = "卸価格は会員にしか表示されません。アカウントファイル " +
                            work_ / "config/vormla-search/account" +
                            " がないため組み込みのアカウントを使いました。自分のアカウントは vormla-cli account set "
                            "で設定し、vormla-cli account show で確かめられます。\n";
  struct Case {
    std::function<void(demo::DemoMarket&)> fault;
    std::string warning;
  };
  for (const Case& c : std::vector<Case>{
           {[](demo::DemoMarket& m) { m.SetLoginFormStatus(500); },
            "サインインできませんでした: ログインフォームの送信に HTTP ステータス 500 が返されました。"},
           {[](demo::DemoMarket& m) { m.SetLoginTokenShown(false); },
            "サインインできませんでした: ログインページに CSRF トークンがありませんでした。"},
           {[](demo::DemoMarket& m) { m.SetWholesaleShown(false); }, "サインインできていないようです: 書き込んだ "},
       }) {
    market_->ClearRoutes();
    c.fault(*market_);
    const Finished run =
        clitest::RunCli({"run", "--output", work_ / "signin.csv", "--db", kCatalogue}, work_.Path(), Environment());
    EXPECT_EQ(run.exitCode, kExitRows) << run.err;
    EXPECT_THAT(run.err, HasSubstr("\nvormla-cli: " + c.warning)) << c.warning;
    EXPECT_THAT(run.err, HasSubstr(check)) << c.warning;
  }
}

TEST_F(CliRun, UntrustedCertificateIsNamedWithTheCaFileInUse) {
  const std::string earlier = "an earlier result\r\n";
  clitest::WriteBytes(work_ / "kept.csv", earlier);
  // A CA file of another authority, then one that is not there at all.
  const demo::ThrowawayCa other = demo::MakeThrowawayCa();
  ASSERT_TRUE(demo::WriteCaFile(other, work_ / "other.pem"));
  for (const std::string& caFile : {work_ / "other.pem", work_ / "absent.pem"}) {
    std::map<std::string, std::string> environment = Environment();
    environment["VORMLA_CA_FILE"] = caFile;
    const Finished run =
        clitest::RunCli({"run", "--output", work_ / "kept.csv", "--db", kCatalogue}, work_.Path(), environment);
    EXPECT_EQ(run.exitCode, kExitUnreachable) << run.err;
    const std::string note = caFile == work_ / "absent.pem" ? " (このファイルはありません)" : "";
    EXPECT_THAT(run.err, HasSubstr("\nvormla-cli: 原因: サーバー証明書を信頼できません (" + market_->SiteRoot() +
                                   PlainTarget() + ")。VORMLA_CA_FILE=" + caFile + note + "\n"));
    EXPECT_EQ(ReadBytes(work_ / "kept.csv"), earlier);
  }
  EXPECT_TRUE(market_->Requests().empty());
}

TEST_F(CliRun, StopBeforeTheRunLeavesTheResultFileUntouched) {
  const std::string earlier = "an earlier result\r\n";
  clitest::WriteBytes(work_ / "kept.csv", earlier);
  clitest::CliProcess process({"run", "--output", work_ / "kept.csv", "--db", kCatalogue}, Environment(), work_.Path(),
                              true);
  ASSERT_TRUE(process.Started());
  const Finished run = process.Wait();
  EXPECT_EQ(run.exitCode, kExitCancelled) << run.err;
  EXPECT_EQ(
      run.err,
      "vormla-cli: 取得処理を中断しました。\nvormla-cli: 開始前に中断したため、結果ファイルには手を付けていません。\n");
  EXPECT_EQ(ReadBytes(work_ / "kept.csv"), earlier);
  EXPECT_TRUE(market_->Requests().empty());
  EXPECT_EQ(TemporaryResult(), "");
}

TEST_F(CliRun, KeywordThatCannotBeSearchedAsWrittenIsRefused) {
  for (const auto& [keyword, words] : std::vector<std::pair<std::string, std::string>>{
           {"😀", "--keyword の「😀」(U+1F600) はShift-JISで表せない文字です。"},
           {"a\x01", "--keyword に制御文字 U+0001 があります。"}}) {
    const Finished run = clitest::RunCli({"run", "--output", work_ / "x.csv", "--db", kCatalogue, "--keyword", keyword},
                                         work_.Path(), Environment());
    EXPECT_EQ(run.exitCode, kExitUsage);
    EXPECT_THAT(run.err, ::testing::StartsWith("vormla-cli: " + words));
  }
  EXPECT_FALSE(std::filesystem::exists(work_ / "x.csv"));
  EXPECT_TRUE(market_->Requests().empty());
}

TEST_F(CliRun, TwoRunsAtOnceEachWriteWhatTheyWriteAlone) {
  const std::vector<std::string> first = {"run", "--db", kCatalogue, "--top", "1", "--nodes", "1,2,3"};
  const std::vector<std::string> second = {"run",     "--db", kCatalogue,  "--top", "3",
                                           "--nodes", "1,2",  "--keyword", "セット"};
  auto with = [](std::vector<std::string> arguments, const std::string& output) {
    arguments.insert(arguments.end(), {"--output", output});
    return arguments;
  };
  ASSERT_EQ(clitest::RunCli(with(first, work_ / "first-alone.csv"), work_.Path(), Environment()).exitCode, kExitRows);
  ASSERT_EQ(clitest::RunCli(with(second, work_ / "second-alone.csv"), work_.Path(), Environment()).exitCode, kExitRows);
  // Short pauses: each run waits between a fetch and the reading of its page, as
  // it does for real, so the other run's fetches fall in between.
  for (int round = 0; round < 2; ++round) {
    clitest::TempFolder a, b;
    clitest::CliProcess one(with(first, work_ / "first-together.csv"), Environment("0.1"), a.Path());
    clitest::CliProcess two(with(second, work_ / "second-together.csv"), Environment("0.1"), b.Path());
    const Finished oneDone = one.Wait();
    const Finished twoDone = two.Wait();
    ASSERT_EQ(oneDone.exitCode, kExitRows) << oneDone.err;
    ASSERT_EQ(twoDone.exitCode, kExitRows) << twoDone.err;
    EXPECT_EQ(ReadBytes(work_ / "first-together.csv"), ReadBytes(work_ / "first-alone.csv")) << "round " << round;
    EXPECT_EQ(ReadBytes(work_ / "second-together.csv"), ReadBytes(work_ / "second-alone.csv")) << "round " << round;
  }
}

TEST_F(CliRun, PagesOfBareLineBreaksStayUnderTheMemoryBound) {
  // A result page and an item page of 16 MiB of line breaks each, the first held
  // while the second is read.
  market_->ServeLineBreakPages();
  const Finished run =
      clitest::RunCli({"run", "--output", work_ / "breaks.csv", "--db", kCatalogue}, work_.Path(), Environment());
  EXPECT_EQ(run.exitCode, kExitRows) << run.err;
  EXPECT_EQ(ParseCsv(ReadBytes(work_ / "breaks.csv")).records.size(), 2u);
  if (kAddressSanitizer)
    GTEST_SKIP() << "the bound is not measured under AddressSanitizer, whose shadow memory counts too";
  EXPECT_LT(run.maxRssKb, 128 * 1024) << "peak " << run.maxRssKb << " KB";
  std::printf("peak resident memory of the run: %.1f MB\n", run.maxRssKb / 1024.0);
}

// What stands at --output decides before anything is fetched: a folder or a
// device is refused as it is (never a sibling file made of it by the ".csv"
// rule), a folder that cannot hold the file is a file error.
TEST_F(CliRun, OutputThatCannotBeTheResultFileIsRefusedBeforeAnyFetch) {
  clitest::WriteBytes(work_ / "plain", "a file, not a folder");
  std::filesystem::create_directory(work_ / "results");
  std::filesystem::create_directory(work_ / "taken.csv");
  struct Case {
    std::string output;
    int exitCode;
    std::string err;
  };
  for (const Case& c : std::vector<Case>{
           {work_ / "plain/out.csv", kExitFileError,
            "結果ファイルの保存先 " + work_ / "plain" + " はフォルダではありません。--output を確かめてください。"},
           {work_ / "results", kExitUsage,
            "--output の " + work_ / "results" +
                " はフォルダです。その中のファイル名を指定してください (例: " + work_ / "results" + "/result.csv)。"},
           {work_ / "taken", kExitUsage,
            "--output の " + work_ / "taken.csv" +
                " はフォルダです。その中のファイル名を指定してください (例: " + work_ / "taken.csv" + "/result.csv)。"},
           {"/dev/full", kExitUsage,
            "--output の /dev/full はファイルではありません "
            "(デバイスなど)。結果を書くファイルの名前を指定してください。"},
       }) {
    const Finished run =
        clitest::RunCli({"run", "--output", c.output, "--db", kCatalogue}, work_.Path(), Environment());
    EXPECT_EQ(run.exitCode, c.exitCode) << c.output << ": " << run.err;
    EXPECT_EQ(run.err, "vormla-cli: " + c.err + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(work_ / "results.csv"));
  EXPECT_FALSE(std::filesystem::exists("/dev/full.csv"));
  EXPECT_TRUE(market_->Requests().empty());
}

TEST_F(CliRun, PictureFolderThatTakesNoFileExitsFourBeforeAnyFetch) {
  testing::SmallFileSystem readOnly(64 * 1024, true);
  if (!readOnly.Mounted()) GTEST_SKIP() << readOnly.WhyNot();
  const Finished run = clitest::RunCli(
      {"run", "--output", work_ / "x.csv", "--db", kCatalogue, "--images", readOnly / ""}, work_.Path(), Environment());
  EXPECT_EQ(run.exitCode, kExitFileError) << run.err;
  EXPECT_EQ(run.err, "vormla-cli: 商品画像保存フォルダ " + readOnly / "" +
                         " に画像を保存できません (読み取り専用のファイルシステムです)。別のフォルダを指定するか、"
                         "このフォルダに書き込めるようにしてください。\n");
  EXPECT_FALSE(std::filesystem::exists(work_ / "x.csv"));
  EXPECT_TRUE(market_->Requests().empty());
}

TEST_F(CliRun, BadConditionsExitTwoWithoutTouchingTheSite) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"run", "--output", work_ / "x.csv", "--sort", "9"},
        std::vector<std::string>{"run", "--output", work_ / "x.csv", "--keyword", std::string(41, 'k')},
        std::vector<std::string>{"run", "--output", work_ / "x.csv", "--retail-from", "1e3"},
        std::vector<std::string>{"run", "--output", work_ / "x.csv", "--top", "17", "--db", kCatalogue},
        std::vector<std::string>{"run", "--output", work_ / "x.csv", "--top", "1", "--nodes", "1,99"},
        std::vector<std::string>{"run", "--output", work_ / "x.csv", "--images", work_ / "no-such-folder"},
        std::vector<std::string>{"run", "--output", work_ / "x.csv", "--bogus"}, std::vector<std::string>{"run"}}) {
    const Finished run = clitest::RunCli(arguments, work_.Path(), Environment());
    EXPECT_EQ(run.exitCode, kExitUsage) << arguments.back() << ": " << run.err;
    EXPECT_THAT(run.err, ::testing::StartsWith("vormla-cli: "));
  }
  EXPECT_FALSE(std::filesystem::exists(work_ / "x.csv"));
  EXPECT_TRUE(market_->Requests().empty());
}

TEST_F(CliRun, MissingCatalogueExitsFive) {
  const Finished run =
      clitest::RunCli({"run", "--output", work_ / "x.csv", "--db", work_ / "vm_data.db"}, work_.Path(), Environment());
  EXPECT_EQ(run.exitCode, kExitDatabase);
  EXPECT_EQ(run.err, "vormla-cli: カテゴリデータベース " + work_ / "vm_data.db" +
                         " が見つかりません。--db で vm_data.db の場所を指定してください。\n");
  const Finished list = clitest::RunCli({"categories", "--db", work_ / "vm_data.db"}, work_.Path());
  EXPECT_EQ(list.exitCode, kExitDatabase);
  EXPECT_EQ(list.out, "");
}

}  // namespace
}  // namespace vormla::cli
