// vormla-cli watch --notify against the demo market, with the fake notification
// service on the private session bus: one notice with the counts when the goods
// moved, none when they did not, its "open" starting the viewer on that report;
// trouble with the bus a single line that changes nothing else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>

#include <optional>

#include "CliTestKit.h"
#include "FakeNotifier.h"
#include "cli/CliOptions.h"

namespace vormla::notifytest {
namespace {

using clitest::Finished;
using clitest::kCatalogue;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// The lines of a watch's standard error that start with prefix.
std::vector<std::string> LinesStarting(const std::string& text, const std::string& prefix) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    if (text.compare(at, prefix.size(), prefix) == 0) lines.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return lines;
}

int ReportsIn(const std::string& folder) {
  int reports = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    reports += entry.path().filename().string().rfind("changes-", 0) == 0;
  }
  return reports;
}

class WatchNotify : public clitest::MarketSuite {
 protected:
  void SetUp() override {
    MarketSuite::SetUp();
    market_->SetCatalogueRevision(0);
  }
  void TearDown() override { market_->SetCatalogueRevision(0); }

  Finished Watch(const std::string& folder, std::vector<std::string> extra,
                 const std::map<std::string, std::string>& environment = {}) {
    std::vector<std::string> arguments{"watch", "--dir", folder, "--db", kCatalogue, "--top", "1", "--nodes", "1,4"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::map<std::string, std::string> merged = Environment();
    merged["VORMLA_TEST_VIEWER_LOG"] = ViewerLog();
    for (const auto& [key, value] : environment) merged[key] = value;
    return clitest::RunCli(arguments, work_.Path(), merged);
  }
  std::string ViewerLog() const { return work_ / "viewer.log"; }
};

TEST_F(WatchNotify, OneNoticeWithTheCountsWhenTheGoodsMovedAndItsOpenShowsThatReport) {
  FakeNotifier server;
  ASSERT_TRUE(server.Started()) << "no session bus: run under dbus-run-session";
  const std::string folder = work_ / "watch";
  const Finished first = Watch(folder, {"--notify"});
  ASSERT_EQ(first.exitCode, cli::kExitRows) << first.err;
  EXPECT_TRUE(server.Notices().empty());  // a first result has no report

  market_->SetCatalogueRevision(1);
  const Finished moved = Watch(folder, {"--notify"});
  ASSERT_EQ(moved.exitCode, cli::kExitRows) << moved.err;
  const std::vector<ReceivedNotice> notices = server.Notices();
  ASSERT_EQ(notices.size(), 1u) << moved.err;
  const ReceivedNotice& notice = notices[0];
  EXPECT_EQ(notice.Summary, "ウォッチ「" + folder + "」: 変化がありました");
  EXPECT_THAT(LinesStarting(moved.err, "vormla-cli: 新規 "), ElementsAre("vormla-cli: " + notice.Body));
  EXPECT_NE(notice.Body, "新規 0、終了 0、価格変更 0、販売状況変更 0、更新 0");
  EXPECT_EQ(notice.App, "Vormla Search");
  EXPECT_EQ(notice.Icon, "vormla-results");
  EXPECT_THAT(notice.Actions, ElementsAre("default", "開く", "open", "開く"));
  EXPECT_EQ(notice.Hints, (std::map<std::string, std::string>{{"desktop-entry", "vormla-results"}, {"urgency", "1"}}));
  EXPECT_EQ(notice.Timeout, -1);
  EXPECT_TRUE(LinesStarting(moved.err, "vormla-cli: デスクトップ通知").empty()) << moved.err;

  // The notice came from a process of its own, which asked the user manager for
  // a scope of its own and waits on after the watch ended.
  const std::vector<ScopeRequest> scopes = server.Scopes();
  ASSERT_EQ(scopes.size(), 1u);
  EXPECT_EQ(scopes[0].Name, "vormla-notice-" + std::to_string(notice.SenderPid) + ".scope");
  EXPECT_EQ(scopes[0].Mode, "fail");
  EXPECT_EQ(scopes[0].Properties.at("PIDs"), std::to_string(notice.SenderPid));
  ASSERT_EQ(::kill(notice.SenderPid, 0), 0);

  // Nothing moved: no notice. The folder is free although the notifier waits.
  const Finished same = Watch(folder, {"--notify"});
  EXPECT_EQ(same.exitCode, cli::kExitRows) << same.err;
  EXPECT_THAT(same.err, HasSubstr("vormla-cli: 新規 0、終了 0、価格変更 0、販売状況変更 0、更新 0\n"));
  EXPECT_EQ(server.Notices().size(), 1u);

  // "open" starts the viewer beside vormla-cli on the report of that run.
  const std::vector<std::string> reportLines = LinesStarting(moved.err, "vormla-cli: 変化レポート: ");
  ASSERT_EQ(reportLines.size(), 1u);
  const std::string report = reportLines[0].substr(std::string("vormla-cli: 変化レポート: ").size(),
                                                   reportLines[0].find(" (") - std::string("vormla-cli: 変化レポート: ").size());
  server.InvokeAction(notice, "open");
  ASSERT_TRUE(clitest::WaitFor([&] { return std::filesystem::exists(ViewerLog()); }, std::chrono::seconds(10)));
  const std::string programFolder = std::filesystem::path(VORMLA_CLI_PATH).parent_path().string();
  EXPECT_EQ(clitest::ReadBytes(ViewerLog()), programFolder + "/vormla-results\n--report\n" + report + "\n");
}

TEST_F(WatchNotify, TroubleWithTheBusIsOneLineAndTheOutcomeStays) {
  struct Case {
    const char* name;
    bool bus, server;
    const char* reason;
  };
  const Case cases[] = {
      {"no session bus", false, false, "セッションバスに接続できません (No such file or directory)"},
      {"no notification service", true, false, "通知サービス (org.freedesktop.Notifications) がセッションバスにありません"},
      {"a service that refuses",
       true, true, "通知サービスがエラーを返しました (org.freedesktop.DBus.Error.Failed: too many notices)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<FakeNotifier> server;
    if (c.server) server.emplace(FakeNotifierOptions{true, true, false});
    std::map<std::string, std::string> environment;
    if (!c.bus) environment = {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + work_ / "nobus"}, {"XDG_RUNTIME_DIR", work_.Path()}};
    // Each folder starts with a result that found nothing, so every item is new.
    Finished runs[2];
    for (int notify = 0; notify < 2; ++notify) {
      const std::string folder = work_ / (std::string(c.name) + (notify ? " notify" : " plain"));
      ASSERT_EQ(Watch(folder, {"--wholesale-from", "999999999"}, environment).exitCode, cli::kExitNoRows);
      runs[notify] = Watch(folder, notify ? std::vector<std::string>{"--notify"} : std::vector<std::string>{}, environment);
      EXPECT_EQ(ReportsIn(folder), 1);
    }
    EXPECT_EQ(runs[1].exitCode, runs[0].exitCode) << runs[1].err;
    EXPECT_EQ(runs[0].exitCode, cli::kExitRows);
    EXPECT_THAT(LinesStarting(runs[1].err, "vormla-cli: "),
                ::testing::SizeIs(LinesStarting(runs[0].err, "vormla-cli: ").size() + 1));
    EXPECT_THAT(LinesStarting(runs[1].err, "vormla-cli: デスクトップ通知"),
                ElementsAre(std::string("vormla-cli: デスクトップ通知を送れませんでした: ") + c.reason));
  }
}

}  // namespace
}  // namespace vormla::notifytest
