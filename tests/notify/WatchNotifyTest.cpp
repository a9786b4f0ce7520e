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
using ::testing::HasSubstr;
using ::testing::StartsWith;

// The one line of text that starts with prefix, without the prefix ("" when none).
std::string LineAfter(const std::string& text, const std::string& prefix) {
  const size_t at = text.find(prefix);
  if (at == std::string::npos) return "";
  const size_t start = at + prefix.size();
  return text.substr(start, text.find('\n', start) - start);
}

// text with each placeholder replaced by its value.
std::string Filled(std::string text, const std::map<std::string, std::string>& values) {
  for (const auto& [placeholder, value] : values) {
    for (size_t at; (at = text.find(placeholder)) != std::string::npos;) text.replace(at, placeholder.size(), value);
  }
  return text;
}

class WatchNotify : public clitest::MarketSuite {
 protected:
  void TearDown() override { market_->SetCatalogueRevision(0); }

  Finished Watch(const std::string& folder, std::vector<std::string> extra,
                 const std::map<std::string, std::string>& environment = {}) {
    std::vector<std::string> arguments{"watch", "--dir", folder,    "--db", clitest::kCatalogue,
                                       "--top", "1",     "--nodes", "1,4"};
    arguments.insert(arguments.end(), extra.begin(), extra.end());
    std::map<std::string, std::string> merged = Environment();
    merged["VORMLA_TEST_VIEWER_LOG"] = work_ / "viewer.log";
    for (const auto& [key, value] : environment) merged[key] = value;
    return clitest::RunCli(arguments, work_.Path(), merged);
  }
};

TEST_F(WatchNotify, OneNoticeWithTheCountsWhenTheGoodsMovedAndItsOpenShowsThatReport) {
  FakeNotifier server;
  ASSERT_TRUE(server.Started()) << "no session bus: run under dbus-run-session";
  const std::string folder = work_ / "watch";
  ASSERT_EQ(Watch(folder, {"--notify"}).exitCode, cli::kExitRows);
  EXPECT_TRUE(server.Calls("Notify").empty());  // a first result has no report

  market_->SetCatalogueRevision(1);
  const Finished moved = Watch(folder, {"--notify"});
  ASSERT_EQ(moved.exitCode, cli::kExitRows) << moved.err;
  const std::string counts = LineAfter(moved.err, "vormla-cli: 新規 ");
  ASSERT_NE(counts, "0、終了 0、価格変更 0、販売状況変更 0、更新 0");
  const std::vector<ReceivedCall> notices = server.Calls("Notify");
  ASSERT_EQ(notices.size(), 1u) << moved.err;
  EXPECT_THAT(notices[0].Dump, StartsWith(Filled(R"dump(STRING "Vormla Search";
UINT32 0;
STRING "vormla-results";
STRING "ウォッチ「<FOLDER>」: 変化がありました";
STRING "新規 <COUNTS>";
ARRAY "s" {
        STRING "default";
        STRING "開く";
        STRING "open";
        STRING "開く";
};
)dump",
                                                 {{"<FOLDER>", folder}, {"<COUNTS>", counts}})));
  EXPECT_THAT(notices[0].Dump, HasSubstr("STRING \"desktop-entry\";\n                VARIANT \"s\" {\n"
                                         "                        STRING \"vormla-results\";"));
  EXPECT_EQ(LineAfter(moved.err, "vormla-cli: デスクトップ"), "");

  // The notice came from a process of its own, which asked the user manager for
  // a scope of its own and waits on after the watch ended.
  const std::vector<ReceivedCall> scopes = server.Calls("StartTransientUnit");
  ASSERT_EQ(scopes.size(), 1u);
  const std::string pid = std::to_string(notices[0].SenderPid);
  EXPECT_THAT(scopes[0].Dump, StartsWith("STRING \"vormla-notice-" + pid + ".scope\";\nSTRING \"fail\";\n"));
  EXPECT_THAT(scopes[0].Dump,
              HasSubstr("STRING \"PIDs\";\n                VARIANT \"au\" {\n"
                        "                        ARRAY \"u\" {\n                                UINT32 " +
                        pid +
                        ";\n"
                        "                        };"));
  ASSERT_EQ(::kill(notices[0].SenderPid, 0), 0);

  // Nothing moved: no notice. The folder is free although the notifier waits.
  const Finished same = Watch(folder, {"--notify"});
  EXPECT_EQ(same.exitCode, cli::kExitRows) << same.err;
  EXPECT_EQ(LineAfter(same.err, "vormla-cli: 新規 "), "0、終了 0、価格変更 0、販売状況変更 0、更新 0");
  EXPECT_EQ(server.Calls("Notify").size(), 1u);

  // "open" starts the viewer beside vormla-cli on the report of that run.
  const std::string reportLine = LineAfter(moved.err, "vormla-cli: 変化レポート: ");
  const std::string report = reportLine.substr(0, reportLine.find(" ("));
  server.InvokeAction(1, "open");
  ASSERT_TRUE(
      clitest::WaitFor([&] { return std::filesystem::exists(work_ / "viewer.log"); }, std::chrono::seconds(10)));
  const std::string programFolder = std::filesystem::path(VORMLA_CLI_PATH).parent_path().string();
  EXPECT_EQ(clitest::ReadBytes(work_ / "viewer.log"), programFolder + "/vormla-results\n--report\n" + report + "\n");
}

TEST_F(WatchNotify, TroubleWithTheBusIsOneLineAndTheOutcomeStays) {
  const std::string noBus = "unix:path=" + work_ / "nobus";
  struct Case {
    bool bus, server;
    const char* reason;
  } const cases[] = {
      {false, false, "セッションバスに接続できません (No such file or directory)"},
      {true, false, "通知サービス (org.freedesktop.Notifications) がセッションバスにありません"},
      {true, true, "通知サービスがエラーを返しました (org.freedesktop.DBus.Error.Failed: too many notices)"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.reason);
    std::optional<FakeNotifier> server;
    if (c.server) server.emplace(true);
    std::map<std::string, std::string> environment;
    if (!c.bus) environment = {{"DBUS_SESSION_BUS_ADDRESS", noBus}, {"XDG_RUNTIME_DIR", work_.Path()}};
    // A first result that found nothing, so that every item is new.
    const std::string folder = work_ / ("watch" + std::to_string(i));
    ASSERT_EQ(Watch(folder, {"--wholesale-from", "999999999"}, environment).exitCode, cli::kExitNoRows);
    const Finished run = Watch(folder, {"--notify"}, environment);
    EXPECT_EQ(run.exitCode, cli::kExitRows) << run.err;
    EXPECT_NE(LineAfter(run.err, "vormla-cli: 変化レポート: "), "");
    EXPECT_EQ(run.err.find("vormla-cli: デスクトップ通知"), run.err.rfind("vormla-cli: デスクトップ通知"));
    EXPECT_EQ(LineAfter(run.err, "vormla-cli: デスクトップ通知を送れませんでした: "), c.reason);
  }
}

}  // namespace
}  // namespace vormla::notifytest
