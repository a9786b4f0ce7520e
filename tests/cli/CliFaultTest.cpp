// vormla-cli against a small market whose result page lists pages that fail in
// one way each: the rows written, how often each failing page was asked for (one
// more try only for no answer and 5xx), the counts line and the exit code.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CliTestKit.h"
#include "cli/CliOptions.h"
#include "integration/HttpTestServer.h"
#include "integration/RawFaultServer.h"

namespace vormla::cli {
namespace {

using clitest::Finished;
using clitest::TempFolder;
using ::testing::EndsWith;
using ::testing::HasSubstr;

class CliFaults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ca_ = std::make_unique<demo::ThrowawayCa>(demo::MakeThrowawayCa());
    server_ = std::make_unique<testing::HttpTestServer>(*ca_);
    raw_ = std::make_unique<testing::RawFaultServer>(*ca_);
    plain_ = std::make_unique<testing::PlainListener>();
    folder_ = std::make_unique<TempFolder>();
    demo::WriteCaFile(*ca_, *folder_ / "ca.pem");
    server_->SetPlainTarget(plain_->Url("/item/clear"));
  }
  static void TearDownTestSuite() {
    plain_.reset();
    raw_.reset();
    server_.reset();
    folder_.reset();
    ca_.reset();
  }

  struct Outcome {
    Finished run;
    std::vector<std::string> numbers;  // column 1 of every row written
    std::vector<std::vector<std::string>> rows;
  };

  // One whole-site run whose result page lists these item URLs.
  Outcome Run(const std::vector<std::string>& listing, const std::string& fetchLimit = "") {
    server_->ClearSeen();
    server_->SetListing(listing);
    const std::string csv = work_ / "faults.csv";
    std::map<std::string, std::string> environment = {
        {"VORMLA_SITE_ROOT", server_->Root()}, {"VORMLA_CA_FILE", *folder_ / "ca.pem"}, {"VORMLA_PAUSE_SCALE", "0"}};
    if (!fetchLimit.empty()) environment["VORMLA_FETCH_LIMIT_SECONDS"] = fetchLimit;
    Outcome outcome;
    outcome.run = clitest::RunCli({"run", "--output", csv, "--db", clitest::TestData("catalogue/vm_data.db")},
                                  work_.Path(), environment);
    outcome.rows = testing::ItemRowsUtf8(clitest::ReadBytes(csv));
    for (const auto& row : outcome.rows) outcome.numbers.push_back(row.at(0));
    return outcome;
  }

  static std::string Counts(int rows, int pagesNotRead) {
    return "vormla-cli: 書き込んだ行 " + std::to_string(rows) + "、読めなかったページ " + std::to_string(pagesNotRead) +
           "、保存できなかった画像 0\n";
  }
  static std::string Unreachable(const std::string& cause) {
    return "サイトへのアクセスができませんでした。\nしばらく時間を置いてから再度実行してください。\nvormla-cli: "
           "原因: " +
           cause + "\n" + Counts(0, 1);
  }

  static testing::HttpTestServer& server() { return *server_; }
  static testing::RawFaultServer& raw() { return *raw_; }
  static testing::PlainListener& plain() { return *plain_; }

  TempFolder work_;

 private:
  static inline std::unique_ptr<demo::ThrowawayCa> ca_;
  static inline std::unique_ptr<testing::HttpTestServer> server_;
  static inline std::unique_ptr<testing::RawFaultServer> raw_;
  static inline std::unique_ptr<testing::PlainListener> plain_;
  static inline std::unique_ptr<TempFolder> folder_;
};

TEST_F(CliFaults, ResetBeforeTheHeaders) {
  const Outcome outcome = Run({server().Url("/item/a"), raw().Url("/reset"), server().Url("/item/b")});
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(outcome.numbers, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(raw().CountOf("/reset"), 2);
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(2, 1)));
  // The row of "b" is b's own, and its name shows plain quotes.
  EXPECT_EQ(outcome.rows[1][3], "b 特価 \"限定\"");
  EXPECT_EQ(outcome.rows[1][35], server().Url("/item/b"));
}

TEST_F(CliFaults, NotFoundIsNotTriedAgain) {
  const Outcome outcome = Run({server().Url("/fault/404"), server().Url("/item/b")});
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(outcome.numbers, std::vector<std::string>{"b"});
  EXPECT_EQ(server().CountOf("/fault/404"), 1u);
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(1, 1)));
}

TEST_F(CliFaults, ServerErrorThenAnAnswer) {
  const Outcome outcome = Run({server().Url("/fault/500-then-200/c")});
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(outcome.numbers, std::vector<std::string>{"c"});
  EXPECT_EQ(server().CountOf("/fault/500-then-200/c"), 2u);
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(1, 0)));
}

TEST_F(CliFaults, ServerErrorTwiceReadsNothing) {
  const Outcome outcome = Run({server().Url("/fault/500")});
  EXPECT_EQ(outcome.run.exitCode, kExitUnreachable) << outcome.run.err;
  EXPECT_TRUE(outcome.rows.empty());
  EXPECT_FALSE(std::filesystem::exists(work_ / "faults.csv"));
  EXPECT_EQ(server().CountOf("/fault/500"), 2u);
  EXPECT_THAT(outcome.run.err,
              EndsWith(Unreachable("HTTP ステータス 500 が返されました (" + server().Url("/fault/500") + ")")));
}

TEST_F(CliFaults, StallPastTheTimeLimit) {
  // The answer would come after 45 s; nothing for 30 s ends each of the two tries.
  const Outcome outcome = Run({server().Url("/item/a"), server().Url("/fault/stall")});
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(outcome.numbers, std::vector<std::string>{"a"});
  EXPECT_EQ(server().CountOf("/fault/stall"), 2u);
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(1, 1)));
}

TEST_F(CliFaults, SlowSenderIsGivenUp) {
  // Two bytes a second: under 1 KB/s for 60 s ends each of the two tries.
  const Outcome outcome = Run({raw().Url("/slow"), server().Url("/item/a")});
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(outcome.numbers, std::vector<std::string>{"a"});
  EXPECT_EQ(raw().CountOf("/slow"), 2);
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(1, 1)));
}

TEST_F(CliFaults, SteadySlowSenderIsGivenUpAtTheTotalLimit) {
  // 1,500 bytes a second would hold the page for over ten minutes; the lowered
  // total limit ends each of the two tries, and the next item is read.
  const Outcome outcome = Run({raw().Url("/trickle"), server().Url("/item/a")}, "2");
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(outcome.numbers, std::vector<std::string>{"a"});
  EXPECT_EQ(raw().CountOf("/trickle"), 2);
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(1, 1)));
}

TEST_F(CliFaults, RedirectLoop) {
  const Outcome outcome = Run({server().Url("/fault/loop")});
  EXPECT_EQ(outcome.run.exitCode, kExitUnreachable) << outcome.run.err;
  EXPECT_TRUE(outcome.rows.empty());
  EXPECT_EQ(server().CountOf("/fault/loop"), 42u);  // twice the request and its twenty redirects
  EXPECT_THAT(outcome.run.err,
              EndsWith(Unreachable("転送 (リダイレクト) が多すぎます (" + server().Url("/fault/loop") + ")")));
}

TEST_F(CliFaults, RedirectToHttpIsNotFollowed) {
  const Outcome outcome = Run({server().Url("/fault/to-http"), server().Url("/item/a")});
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(outcome.numbers, std::vector<std::string>{"a"});
  EXPECT_EQ(server().CountOf("/fault/to-http"), 2u);
  EXPECT_EQ(plain().connections(), 0) << "nothing, and no cookie, went out in clear";
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(1, 1)));
}

TEST_F(CliFaults, RedirectToFileIsNotFollowed) {
  const Outcome outcome = Run({server().Url("/fault/to-file")});
  EXPECT_EQ(outcome.run.exitCode, kExitUnreachable) << outcome.run.err;
  EXPECT_EQ(server().CountOf("/fault/to-file"), 2u);
  EXPECT_THAT(outcome.run.err, EndsWith(Unreachable("https 以外のアドレスへ向かうため取得しませんでした (" +
                                                    server().Url("/fault/to-file") + ")")));
}

TEST_F(CliFaults, HttpLinkIsNotFetchedAtAll) {
  const Outcome outcome = Run({plain().Url("/item/x"), server().Url("/item/a")});
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(outcome.numbers, std::vector<std::string>{"a"});
  EXPECT_EQ(plain().connections(), 0);
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(1, 1)));
}

TEST_F(CliFaults, LinkWithABlankIsSentAsPercent20AndKeptAsRead) {
  const Outcome outcome = Run({server().Url("/item/with blank")});
  EXPECT_EQ(outcome.run.exitCode, kExitRows) << outcome.run.err;
  EXPECT_EQ(server().CountOf("/item/with%20blank"), 1u);
  ASSERT_EQ(outcome.rows.size(), 1u);
  EXPECT_EQ(outcome.rows[0][0], "with blank");
  EXPECT_EQ(outcome.rows[0][35], server().Url("/item/with blank"));
  EXPECT_THAT(outcome.run.err, EndsWith(Counts(1, 0)));
}

}  // namespace
}  // namespace vormla::cli
