// The run as one use case against the demo market and real faults: how each
// ending leaves an earlier result at the target, and what the sign-in was.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "demo-market/DemoMarket.h"
#include "engine/JobTestKit.h"
#include "engine/RetrievalJob.h"
#include "run/Run.h"
#include "support/LocalPorts.h"
#include "support/SmallFileSystem.h"

namespace vormla {
namespace {

using testing::ReadBytes;
using testing::TempFolder;

const std::string kEarlier = "an earlier result\r\n";

// The face of a test: it may stop the run at a status text or an item.
class Face : public JobObserver {
 public:
  vormla::Run* run = nullptr;
  std::function<bool(const std::string& text, int itemDone)> stopAt;
  std::atomic<bool> finished{false};

  void InitProgress(int) override {}
  void StepProgress() override {}
  void ShowItemProgress(const std::string& text, int itemDone, int) override { Maybe(text, itemDone); }
  void ShowStatusText(const std::string& text) override { Maybe(text, 0); }
  void JobFinished() override { finished = true; }

 private:
  void Maybe(const std::string& text, int itemDone) {
    if (stopAt && stopAt(SjisToUtf8(text), itemDone)) run->Cancel();
  }
};

size_t Lines(const std::string& bytes) {
  size_t lines = 0;
  for (size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++lines;
  return lines;
}

bool TemporaryLeftIn(const std::string& folder) {
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().filename().string().rfind(".vormla-run-", 0) == 0) return true;
  }
  return false;
}

class RunTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = std::make_unique<TempFolder>();
    market_ = std::make_unique<demo::DemoMarket>();
    started_ = market_->Start() && market_->WriteCaFile(*folder_ / "ca.pem");
    // The login form goes to the configured site's host.
    ::setenv("VORMLA_SITE_ROOT", market_->SiteRoot().c_str(), 1);
    ::setenv("VORMLA_CA_FILE", (*folder_ / "ca.pem").c_str(), 1);
  }
  static void TearDownTestSuite() {
    ::unsetenv("VORMLA_SITE_ROOT");
    ::unsetenv("VORMLA_CA_FILE");
    market_.reset();
    folder_.reset();
  }
  void SetUp() override {
    ASSERT_TRUE(started_);
    market_->ClearRoutes();
  }

  // One whole-site run to its end into target, where an earlier result stands.
  RunReport RunToEnd(const std::string& target, Face& face, SearchConditions conditions = {},
                     std::string root = market_->SiteRoot()) {
    testing::WriteBytes(target, kEarlier);
    conditions.FilePath = target;
    vormla::Run run({conditions, {}, work_ / "account", {}}, face, NetworkWebAccess(), std::move(root));
    face.run = &run;
    if (run.Start()) {
      while (!face.finished) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      run.Join();
    }
    return run.Report();
  }

  static inline std::unique_ptr<TempFolder> folder_;
  static inline std::unique_ptr<demo::DemoMarket> market_;
  static inline bool started_ = false;
  TempFolder work_;
};

// Every ending against an earlier result: the new rows, the header alone, or the
// earlier bytes untouched; never a temporary file left behind.
TEST_F(RunTest, EachEndingLeavesTheTargetAsItsPolicySays) {
  enum class Kept { kNewRows, kTwoRows, kHeaderOnly, kAsBefore };
  struct Ending {
    std::string name;
    RunOutcome outcome;
    Kept kept;
  };
  testing::SmallFileSystem disk(16 * 1024);
  for (const Ending& e : std::vector<Ending>{
           {"complete", RunOutcome::kComplete, Kept::kNewRows},
           {"nothing found", RunOutcome::kNothingFound, Kept::kHeaderOnly},
           {"stopped after two rows", RunOutcome::kCancelledWithRows, Kept::kTwoRows},
           {"stopped before the first row", RunOutcome::kCancelledBeforeFirstRow, Kept::kAsBefore},
           {"site down", RunOutcome::kSiteUnreachable, Kept::kAsBefore},
           {"disk full", RunOutcome::kFileError, Kept::kAsBefore},
       }) {
    Face face;
    SearchConditions conditions;
    std::string root = market_->SiteRoot();
    std::string target = work_ / "result.csv";
    if (e.outcome == RunOutcome::kNothingFound) conditions.Price1 = "999999999";
    if (e.outcome == RunOutcome::kCancelledWithRows) face.stopAt = [](const std::string&, int item) { return item == 3; };
    if (e.outcome == RunOutcome::kCancelledBeforeFirstRow) {
      face.stopAt = [](const std::string& text, int) { return text == "ページ内容の確認中1..."; };
    }
    if (e.outcome == RunOutcome::kSiteUnreachable) root = "https://127.0.0.1:" + std::to_string(testing::ClosedPort());
    if (e.outcome == RunOutcome::kFileError) {
      if (!disk.Mounted()) continue;
      target = disk / "result.csv";
    }
    const RunReport report = RunToEnd(target, face, conditions, root);
    const std::string bytes = ReadBytes(target);
    EXPECT_EQ(report.Outcome, e.outcome) << e.name;
    EXPECT_FALSE(TemporaryLeftIn(std::filesystem::path(target).parent_path())) << e.name;
    switch (e.kept) {
      case Kept::kNewRows:
        EXPECT_GT(report.RowsKept, 2) << e.name;
        EXPECT_EQ(bytes.rfind(CsvHeader() + "\r\n", 0), 0u) << e.name;
        EXPECT_EQ(Lines(bytes), static_cast<size_t>(report.RowsKept) + 1) << e.name;
        break;
      case Kept::kTwoRows:
        EXPECT_EQ(report.RowsKept, 2) << e.name;
        EXPECT_EQ(Lines(bytes), 3u) << e.name;
        break;
      case Kept::kHeaderOnly:
        EXPECT_EQ(bytes, CsvHeader() + "\r\n") << e.name;
        break;
      case Kept::kAsBefore:
        EXPECT_EQ(bytes, kEarlier) << e.name;
        EXPECT_EQ(report.RowsKept, 0) << e.name;
        break;
    }
  }
  if (!disk.Mounted()) GTEST_SKIP() << "disk full not tried: " << disk.WhyNot();
}

TEST_F(RunTest, SignInThatFailedOrIsInDoubtIsReported) {
  struct Case {
    std::string name;
    std::function<void(demo::DemoMarket&)> fault;
    SignInState state;
    SignInTrouble trouble;
  };
  for (const Case& c : std::vector<Case>{
           {"signed in", [](demo::DemoMarket&) {}, SignInState::kSignedIn, SignInTrouble::kNone},
           {"500 on the login form", [](demo::DemoMarket& m) { m.SetLoginFormStatus(500); }, SignInState::kFailed,
            SignInTrouble::kFormRefused},
           {"login page without a token", [](demo::DemoMarket& m) { m.SetLoginTokenShown(false); },
            SignInState::kFailed, SignInTrouble::kNoToken},
           {"no wholesale price shown", [](demo::DemoMarket& m) { m.SetWholesaleShown(false); },
            SignInState::kDoubtful, SignInTrouble::kNone},
       }) {
    market_->ClearRoutes();
    c.fault(*market_);
    Face face;
    const RunReport report = RunToEnd(work_ / "signin.csv", face);
    EXPECT_EQ(report.Outcome, RunOutcome::kComplete) << c.name;
    EXPECT_EQ(report.SignIn.State, c.state) << c.name;
    EXPECT_EQ(report.SignIn.Trouble, c.trouble) << c.name;
  }
}

}  // namespace
}  // namespace vormla
