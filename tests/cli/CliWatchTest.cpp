// vormla-cli watch against the demo market, whose goods change between two runs;
// and --encoding utf-8 on run, whose file must be the Shift-JIS file's rows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "CliTestKit.h"
#include "cli/CliOptions.h"
#include "demo-market/DemoMarket.h"
#include "engine/RetrievalJob.h"
#include "run/WatchFolder.h"
#include "text/TextOps.h"

namespace vormla::cli {
namespace {

using clitest::Finished;
using clitest::ReadBytes;
using clitest::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;

using clitest::CategoryColumn;
using clitest::kCatalogue;
using Values = std::vector<std::string>;

std::vector<std::string> FilesStartingWith(const std::string& folder, const std::string& prefix) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(prefix, 0) == 0) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The report a run's expected rows give against an earlier run's: what the
// market's own model says each file holds, compared item by item.
std::vector<Values> ExpectedReport(const std::vector<demo::ExpectedItem>& before,
                                   const std::vector<demo::ExpectedItem>& after) {
  struct Side {
    std::vector<std::string> order;
    std::map<std::string, demo::ExpectedColumns> rows;  // the later row of a URL
  };
  auto side = [](const std::vector<demo::ExpectedItem>& items) {
    Side s;
    for (const demo::ExpectedItem& item : items) {
      if (s.rows.count(item.url) == 0) s.order.push_back(item.url);
      s.rows[item.url] = item.columns;
    }
    return s;
  };
  const Side older = side(before), newer = side(after);
  const demo::ExpectedColumns none{};
  auto row = [](const std::string& kind, const demo::ExpectedColumns& item, const demo::ExpectedColumns& b,
                const demo::ExpectedColumns& a) {
    return Values{kind, item[35], item[0], item[3], b[8], a[8], b[7], a[7], b[22], a[22]};
  };
  std::vector<Values> report = {{"変化", "詳細ページURL", "商品管理番号", "商品名", "卸価格(前)", "卸価格(後)",
                                 "メーカ希望小売価格(前)", "メーカ希望小売価格(後)", "販売状況(前)", "販売状況(後)"}};
  for (const std::string& url : newer.order) {
    if (older.rows.count(url) == 0) report.push_back(row("新規", newer.rows.at(url), none, newer.rows.at(url)));
  }
  for (const std::string& url : older.order) {
    if (newer.rows.count(url) == 0) report.push_back(row("終了", older.rows.at(url), older.rows.at(url), none));
  }
  for (const std::string& url : newer.order) {
    if (older.rows.count(url) == 0) continue;
    const demo::ExpectedColumns& b = older.rows.at(url);
    const demo::ExpectedColumns& a = newer.rows.at(url);
    if (a[7] != b[7] || a[8] != b[8]) report.push_back(row("価格変更", a, b, a));
    if (a[22] != b[22]) report.push_back(row("販売状況変更", a, b, a));
    bool other = false;
    for (size_t k = 0; k < 35; ++k) other = other || (k != 7 && k != 8 && k != 22 && a[k] != b[k]);
    if (other) report.push_back(row("更新", a, b, a));
  }
  return report;
}

class CliWatch : public clitest::MarketSuite {
 protected:
  void SetUp() override {
    MarketSuite::SetUp();
    market_->SetCatalogueRevision(0);
  }
  void TearDown() override { market_->SetCatalogueRevision(0); }

  // A watch of the first searches of top-level entry 1.
  Finished Watch(std::vector<std::string> extra = {}) {
    std::vector<std::string> arguments{"watch", "--dir", work_ / "watch", "--db", kCatalogue,
                                       "--top", "1",     "--nodes",       kNodes};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return clitest::RunCli(arguments, work_.Path(), Environment());
  }
  static constexpr const char* kNodes = "1,4";
  static std::vector<std::string> Columns() { return {CategoryColumn(1, 1), CategoryColumn(1, 4)}; }
  // Picture paths the market answered with the picture (its handler leaves the
  // status unset, -1, for the server to make it 200).
  static std::set<std::string> PicturesServed() {
    std::set<std::string> served;
    for (const demo::RecordedRequest& request : market_->Requests()) {
      const bool answered = request.status == 200 || request.status == -1;
      if (request.target.rfind("/img/", 0) == 0 && answered) served.insert(request.target);
    }
    return served;
  }
  static int PictureRequests() {
    const auto requests = market_->Requests();
    return static_cast<int>(std::count_if(requests.begin(), requests.end(), [](const demo::RecordedRequest& r) {
      return r.target.rfind("/img/", 0) == 0;
    }));
  }
};

TEST_F(CliWatch, ReportsExactlyWhatTheMarketChangedAndFetchesNoSavedPictureAgain) {
  const Finished first = Watch({"--pictures"});
  ASSERT_EQ(first.exitCode, kExitRows) << first.err;
  EXPECT_THAT(first.err, HasSubstr("vormla-cli: " + work_ / "watch" + " で最初の結果のため、変化レポートはありません"));
  EXPECT_TRUE(FilesStartingWith(work_ / "watch", "changes-").empty());
  const std::vector<demo::ExpectedItem> before = market_->ExpectedRunRows(Columns());
  const std::set<std::string> savedFirst = PicturesServed();
  ASSERT_FALSE(savedFirst.empty());

  market_->ClearRecords();
  market_->SetCatalogueRevision(1);
  const Finished second = Watch({"--pictures"});
  ASSERT_EQ(second.exitCode, kExitRows) << second.err;
  const std::vector<demo::ExpectedItem> after = market_->ExpectedRunRows(Columns());
  ASSERT_FALSE(after.empty());

  const std::vector<std::string> results = FilesStartingWith(work_ / "watch", "vormla-");
  const std::vector<std::string> reports = FilesStartingWith(work_ / "watch", "changes-");
  ASSERT_EQ(results.size(), 2u);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].substr(8), results[1].substr(7));  // the new result's stamp
  EXPECT_THAT(results[0], ::testing::MatchesRegex("vormla-[0-9]{8}-[0-9]{6}\\.csv"));

  std::vector<Values> report;
  const std::string reportBytes = ReadBytes(work_ / ("watch/" + reports[0]));
  const clitest::CsvText csv = clitest::ParseCsv(reportBytes);
  EXPECT_TRUE(csv.wellFormed);
  for (const auto& record : csv.records) {
    Values fields;
    for (const std::string& field : record) fields.push_back(SjisToUtf8(field));
    report.push_back(fields);
  }
  EXPECT_EQ(report, ExpectedReport(before, after));

  // Each change in the report is one the market made: no other column moved.
  std::map<std::string, int> kinds;
  for (size_t r = 1; r < report.size(); ++r) {
    const std::string& url = report[r][1];
    const std::string path = url.substr(market_->SiteRoot().size());  // /shop/SUPPLIER/CODE
    const size_t slash = path.rfind('/');
    const auto key = market_->Goods().KeyFromPath(path.substr(6, slash - 6), path.substr(slash + 1));
    ASSERT_TRUE(key.has_value()) << url;
    const demo::ItemChange change = market_->Goods().RevisionChange(*key);
    const std::string& kind = report[r][0];
    ++kinds[kind];
    const std::map<std::string, demo::ItemChange> made = {{"新規", demo::ItemChange::kAdded},
                                                          {"終了", demo::ItemChange::kRemoved},
                                                          {"価格変更", demo::ItemChange::kPrice},
                                                          {"販売状況変更", demo::ItemChange::kStock}};
    ASSERT_EQ(made.count(kind), 1u) << kind;
    EXPECT_EQ(change, made.at(kind)) << kind << " " << url;
  }
  EXPECT_GE(kinds["新規"], 1);
  EXPECT_GE(kinds["終了"], 1);
  EXPECT_GE(kinds["価格変更"], 1);
  EXPECT_GE(kinds["販売状況変更"], 1);
  EXPECT_EQ(kinds["更新"], 0);
  EXPECT_THAT(second.err, HasSubstr("vormla-cli: 新規 " + std::to_string(kinds["新規"]) + "、終了 " +
                                    std::to_string(kinds["終了"]) + "、価格変更 " + std::to_string(kinds["価格変更"]) +
                                    "、販売状況変更 " + std::to_string(kinds["販売状況変更"]) + "、更新 0\n"));
  EXPECT_THAT(second.err, HasSubstr("vormla-cli: 変化レポート: " + work_ / ("watch/" + reports[0])));

  // Pictures: the second run asked for none that the first had saved, and got
  // those of the items it had not seen before.
  int picturesOfNew = 0;
  for (const std::string& url : PicturesServed()) EXPECT_EQ(savedFirst.count(url), 0u) << url;
  for (const demo::ExpectedItem& item : after) {
    const bool seen = std::any_of(before.begin(), before.end(),
                                  [&](const demo::ExpectedItem& b) { return b.columns[0] == item.columns[0]; });
    if (seen || !item.picturesSaved) continue;
    for (const std::string& url : item.pictureUrls) {
      const bool missing = std::count(item.missingPictureUrls.begin(), item.missingPictureUrls.end(), url) != 0;
      if (missing) continue;
      const std::string path = url.substr(market_->SiteRoot().size());
      EXPECT_EQ(PicturesServed().count(path), 1u) << path;
      const std::string name = path.substr(path.rfind('/') + 1);
      EXPECT_TRUE(std::filesystem::exists(work_ / ("watch/pictures/" + item.columns[0] + "/" + name))) << name;
      ++picturesOfNew;
    }
  }
  EXPECT_GT(picturesOfNew, 0);
  EXPECT_LT(PictureRequests(), static_cast<int>(savedFirst.size()));
}

TEST_F(CliWatch, KeepTwoLeavesTheNewestTwoResults) {
  for (int run = 0; run < 3; ++run) {
    market_->SetCatalogueRevision(run);
    const Finished watch = Watch({"--keep", "2"});
    ASSERT_EQ(watch.exitCode, kExitRows) << watch.err;
  }
  const std::vector<std::string> results = FilesStartingWith(work_ / "watch", "vormla-");
  const std::vector<std::string> reports = FilesStartingWith(work_ / "watch", "changes-");
  ASSERT_EQ(results.size(), 2u);
  ASSERT_EQ(reports.size(), 2u);
  // The third report compares the third result with the second.
  EXPECT_EQ(reports[1].substr(8), results[1].substr(7));
  EXPECT_EQ(reports[0].substr(8), results[0].substr(7));
  EXPECT_FALSE(std::filesystem::exists(work_ / "watch/pictures"));
}

// A folder filled by the previous version, a result dated 2099 (a clock once set
// wrong) and a copy dropped in later: only what this watch recorded is a base or
// removed by --keep, the result just written stays, each stranger is told once.
TEST_F(CliWatch, HistoryNotTheNewestNameDecidesTheBaseAndWhatKeepRemoves) {
  const std::string folder = work_ / "watch";
  std::filesystem::create_directory(folder);
  const std::string legacy = "vormla-20250101-060000.csv", future = "vormla-20991231-000000.csv";
  const Finished before =
      clitest::RunCli({"run", "--output", folder + "/" + legacy, "--db", kCatalogue, "--top", "1", "--nodes", kNodes},
                      work_.Path(), Environment());
  ASSERT_EQ(before.exitCode, kExitRows) << before.err;
  std::filesystem::copy_file(folder + "/" + legacy, folder + "/" + future);
  const std::string told =
      "、比べる相手にも --keep で削除するものにもしません (このファイルについて知らせるのは今回だけです)\n";

  market_->SetCatalogueRevision(1);
  const Finished first = Watch({"--keep", "1"});
  ASSERT_EQ(first.exitCode, kExitRows) << first.err;
  EXPECT_THAT(first.err,
              HasSubstr("vormla-cli: " + folder + " に watch の記録がないため、今ある結果 1 個を記録しました\n"));
  EXPECT_THAT(first.err, HasSubstr("vormla-cli: " + folder + "/" + future +
                                   " はこの watch が記録したものではなく、日時も今より後のため" + told));
  EXPECT_THAT(first.err, HasSubstr("(" + legacy + " と比べました)\n"));
  std::vector<std::string> results = FilesStartingWith(folder, "vormla-");
  ASSERT_EQ(results.size(), 2u);  // the new one and the misdated one
  const std::string recorded = results[0];
  EXPECT_EQ(results[1], future);
  EXPECT_THAT(first.err, HasSubstr(folder + "/" + recorded + " ("));  // the file the message names is there

  // A copy dated between the recorded result and now, that would be the newest name.
  std::string stranger = ResultName(WatchStamp(std::time(nullptr)));
  for (; stranger == recorded; stranger = ResultName(WatchStamp(std::time(nullptr)))) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  clitest::WriteBytes(folder + "/" + stranger, CsvHeader() + "\r\n");
  const Finished second = Watch({"--keep", "1"});
  ASSERT_EQ(second.exitCode, kExitRows) << second.err;
  EXPECT_THAT(second.err,
              HasSubstr("vormla-cli: " + folder + "/" + stranger + " はこの watch が記録したものではないため" + told));
  EXPECT_THAT(second.err, Not(HasSubstr(future)));
  EXPECT_THAT(second.err, HasSubstr("vormla-cli: 新規 0、終了 0、価格変更 0、販売状況変更 0、更新 0\n"));
  EXPECT_THAT(second.err, HasSubstr("(" + recorded + " と比べました)\n"));
  results = FilesStartingWith(folder, "vormla-");
  ASSERT_EQ(results.size(), 3u);
  EXPECT_EQ(std::count(results.begin(), results.end(), recorded), 0);  // --keep 1 let the older recorded one go
  EXPECT_EQ(FilesStartingWith(folder, "changes-").size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(folder + "/" + stranger));
}

// A change report that cannot be written takes its result with it, so the next
// watch compares with the same base and reports those changes after all.
TEST_F(CliWatch, ResultWithoutItsReportIsNotKeptAndTheNextWatchReportsTheChanges) {
  const std::string folder = work_ / "watch";
  ASSERT_EQ(Watch().exitCode, kExitRows);
  const std::string base = FilesStartingWith(folder, "vormla-").at(0);

  market_->SetCatalogueRevision(1);
  clitest::CliProcess blocked({"watch", "--dir", folder, "--db", kCatalogue, "--top", "1", "--nodes", kNodes},
                              Environment("0.2"), work_.Path());
  ASSERT_TRUE(
      clitest::WaitFor([&] { return !FilesStartingWith(folder, ".vormla-run-").empty(); }, std::chrono::seconds(30)));
  // A folder where the report goes, whatever second the watch began in.
  std::vector<std::string> standing;
  for (std::time_t at = std::time(nullptr) - 10; at <= std::time(nullptr); ++at) {
    standing.push_back(folder + "/" + ChangesName(WatchStamp(at)));
    std::filesystem::create_directory(standing.back());
  }
  const Finished refused = blocked.Wait();
  EXPECT_EQ(refused.exitCode, kExitFileError) << refused.err;
  EXPECT_THAT(refused.err, HasSubstr("vormla-cli: 変化レポートを書き込めませんでした。\n"));
  EXPECT_THAT(refused.err, HasSubstr("も残しません。次の watch が " + base + " と比べて、今回の変化も知らせます\n"));
  EXPECT_EQ(FilesStartingWith(folder, "vormla-"), std::vector<std::string>{base});

  for (const std::string& path : standing) std::filesystem::remove(path);
  const Finished next = Watch();
  ASSERT_EQ(next.exitCode, kExitRows) << next.err;
  EXPECT_THAT(next.err, HasSubstr("(" + base + " と比べました)\n"));
  EXPECT_THAT(next.err, Not(HasSubstr("vormla-cli: 新規 0、終了 0、価格変更 0、販売状況変更 0、更新 0\n")));
}

// kill -9 leaves the run's file behind; the next watch in the folder removes it
// as soon as it holds the folder, even one that goes no further.
TEST_F(CliWatch, LeftoverOfAKilledWatchIsRemovedByTheNext) {
  const std::string folder = work_ / "watch";
  clitest::CliProcess killed({"watch", "--dir", folder, "--db", kCatalogue, "--top", "1", "--nodes", "1,2,3,4,5,6"},
                             Environment("0.2"), work_.Path());
  ASSERT_TRUE(clitest::WaitFor(
      [&] { return std::filesystem::exists(folder) && !FilesStartingWith(folder, ".vormla-run-").empty(); },
      std::chrono::seconds(30)));
  killed.Signal(SIGKILL);
  killed.Wait();
  ASSERT_EQ(FilesStartingWith(folder, ".vormla-run-").size(), 1u);

  const Finished next = clitest::RunCli({"watch", "--dir", folder, "--db", kCatalogue, "--top", "1", "--nodes", "999"},
                                        work_.Path(), Environment());  // refused before it runs
  EXPECT_EQ(next.exitCode, kExitUsage) << next.err;
  EXPECT_THAT(next.err,
              HasSubstr("vormla-cli: 途中で終わった実行の一時ファイルを 1 個削除しました (" + folder + ")\n"));
  EXPECT_TRUE(FilesStartingWith(folder, ".vormla-run-").empty());
  EXPECT_TRUE(FilesStartingWith(folder, "vormla-").empty());
}

TEST_F(CliWatch, SecondWatchOnTheSameFolderExitsAtOnceAndACancelKeepsNoPartialResult) {
  clitest::CliProcess first(
      {"watch", "--dir", work_ / "watch", "--db", kCatalogue, "--top", "1", "--nodes", "1,2,3,4,5,6"},
      Environment("0.2"), work_.Path());
  ASSERT_TRUE(first.Started());
  const bool running = clitest::WaitFor(
      [&] {
        return std::filesystem::exists(work_ / "watch") &&
               !FilesStartingWith(work_ / "watch", ".vormla-run-").empty() && market_->Searches().size() >= 1;
      },
      std::chrono::seconds(30));
  ASSERT_TRUE(running);

  TempFolder other;
  const Finished second =
      clitest::RunCli({"watch", "--dir", work_ / "watch", "--db", kCatalogue}, other.Path(), Environment());
  EXPECT_EQ(second.exitCode, kExitUsage);
  EXPECT_EQ(second.err,
            "vormla-cli: " + work_ / "watch" + " では別の watch が実行中です。終わってから実行してください。\n");
  const size_t searchesSoFar = market_->Searches().size();
  EXPECT_LT(searchesSoFar, 6u) << "the first watch ended before the second was tried";

  first.Signal(SIGINT);
  const Finished stopped = first.Wait();
  EXPECT_EQ(stopped.exitCode, kExitCancelled) << stopped.err;
  // Whether it stopped before the first row or after some: nothing stays.
  EXPECT_THAT(stopped.err, HasSubstr("vormla-cli: 取得処理を中断しました。\n"));
  EXPECT_TRUE(FilesStartingWith(work_ / "watch", "vormla-").empty());
  EXPECT_TRUE(FilesStartingWith(work_ / "watch", ".vormla-run-").empty());
}

// A sign-in problem is no observation of the market: no result kept, no change
// report, exit 9 with the warning. A market that shows no wholesale price is in
// doubt only after a result that showed some.
TEST_F(CliWatch, SignInProblemKeepsNoResultAndExitsNine) {
  const Finished first = Watch();
  ASSERT_EQ(first.exitCode, kExitRows) << first.err;
  for (const std::function<void(demo::DemoMarket&)>& fault :
       std::vector<std::function<void(demo::DemoMarket&)>>{[](demo::DemoMarket& m) { m.SetLoginFormStatus(500); },
                                                           [](demo::DemoMarket& m) { m.SetWholesaleShown(false); }}) {
    market_->ClearRoutes();
    fault(*market_);
    const Finished watch = Watch();
    EXPECT_EQ(watch.exitCode, kExitUnreachable) << watch.err;
    EXPECT_THAT(watch.err, HasSubstr("vormla-cli: サインインでき"));
    EXPECT_THAT(watch.err, HasSubstr("は残さず、変化レポートも作りません\n"));
    EXPECT_EQ(FilesStartingWith(work_ / "watch", "vormla-").size(), 1u);
    EXPECT_TRUE(FilesStartingWith(work_ / "watch", "changes-").empty());
  }
  // Goods whose wholesale price was never shown are recorded as they are.
  market_->ClearRoutes();
  market_->SetWholesaleShown(false);
  const Finished hidden =
      clitest::RunCli({"watch", "--dir", work_ / "hidden", "--db", kCatalogue}, work_.Path(), Environment());
  EXPECT_EQ(hidden.exitCode, kExitRows) << hidden.err;
  EXPECT_EQ(FilesStartingWith(work_ / "hidden", "vormla-").size(), 1u);
}

TEST_F(CliWatch, ByNameTakesTheUsersSettingsAndDataFolders) {
  const std::string config = work_ / "config", data = work_ / "data";
  std::filesystem::create_directories(config + "/vormla-search/watch");
  // A settings file as the window writes it: pictures on, into a folder the
  // watch does not use.
  clitest::WriteBytes(config + "/vormla-search/watch/towels.ini",
                      "[Config]\r\nWord=タオル\r\nPrice1=\r\nPrice2=\r\nPrice3=\r\nPrice4=\r\nDir=/nonexistent/\r\n"
                      "Sell1=0\r\nSell2=0\r\nImgSave=1\r\nSort=2\r\nCategory=1\r\nTreeList=0110\r\n");
  std::map<std::string, std::string> environment = Environment();
  environment["XDG_CONFIG_HOME"] = config;
  environment["XDG_DATA_HOME"] = data;
  const Finished watch = clitest::RunCli({"watch", "--name", "towels", "--db", kCatalogue}, work_.Path(), environment);
  ASSERT_EQ(watch.exitCode, kExitRows) << watch.err;
  const std::string folder = data + "/vormla-search/watch/towels";
  EXPECT_EQ(FilesStartingWith(folder, "vormla-").size(), 1u);
  EXPECT_FALSE(FilesStartingWith(folder + "/pictures", "").empty());
  ASSERT_EQ(market_->Searches().size(), 2u);
  EXPECT_EQ(market_->Searches()[0].query.keyword, "タオル");
  EXPECT_EQ(market_->Searches()[0].query.sort, "new");

  for (const char* name : {"", "..", "a/b"}) {
    const Finished refused = clitest::RunCli({"watch", "--name", name}, work_.Path(), environment);
    EXPECT_EQ(refused.exitCode, kExitUsage) << name;
  }
  EXPECT_EQ(clitest::RunCli({"watch", "--db", kCatalogue}, work_.Path(), environment).exitCode, kExitUsage);
}

TEST_F(CliWatch, Utf8ResultHoldsTheShiftJisRowsAndComparesEqualToThem) {
  auto run = [&](const std::string& output, std::vector<std::string> extra) {
    std::vector<std::string> arguments{"run", "--output", output, "--db", kCatalogue, "--top", "1", "--nodes", "1,2"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    return clitest::RunCli(arguments, work_.Path(), Environment());
  };
  ASSERT_EQ(run(work_ / "plain.csv", {}).exitCode, kExitRows);
  ASSERT_EQ(run(work_ / "sjis.csv", {"--encoding", "sjis"}).exitCode, kExitRows);
  ASSERT_EQ(run(work_ / "utf8.csv", {"--encoding", "utf-8"}).exitCode, kExitRows);
  const std::string sjis = ReadBytes(work_ / "sjis.csv");
  EXPECT_EQ(ReadBytes(work_ / "plain.csv"), sjis);
  ASSERT_GT(clitest::ParseCsv(sjis).records.size(), 2u);
  // Every line converted as it stands, CR LF kept, the mark first.
  EXPECT_EQ(ReadBytes(work_ / "utf8.csv"), "\xEF\xBB\xBF" + SjisToUtf8(sjis));

  const Finished twins = clitest::RunCli({"diff", work_ / "utf8.csv", work_ / "sjis.csv"}, work_.Path());
  EXPECT_EQ(twins.exitCode, 0) << twins.err;
  EXPECT_EQ(twins.out, Utf8ToSjis("\"変化\",\"詳細ページURL\",\"商品管理番号\",\"商品名\","
                                  "\"卸価格(前)\",\"卸価格(後)\",\"メーカ希望小売価格(前)\","
                                  "\"メーカ希望小売価格(後)\",\"販売状況(前)\",\"販売状況(後)\"") +
                           "\r\n");
}

}  // namespace
}  // namespace vormla::cli
