// The job driver: order of searches, progress, cancellation, clean-up and outcome.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>

#include "FakeWebAccess.h"
#include "JobTestKit.h"
#include "engine/RetrievalJob.h"

namespace vormla {
namespace {

using testing::FakeWebAccess;
using testing::ReadBytes;
using testing::RecordingObserver;
using testing::TempFolder;

const std::string kRoot = "https://market.test";

std::vector<CategoryNode> SmallTree() {
  return {
      {" Food", "10", 0, -1},  // 0
      {" Rice", "11", 1, 0},   // 1
      {" Tea", "12", 1, 0},    // 2
      {" Toys", "20", 0, -1},  // 3
      {" Cars", "21", 1, 3},   // 4
  };
}

// A job whose sign-in and result-list reading only record what they were asked,
// unless a test hands them something to do.
class ScriptedJob : public RetrievalJob {
 public:
  ScriptedJob(SearchConditions conditions, std::string resultPath, RecordingObserver& observer, WebAccess& web)
      : RetrievalJob(std::move(conditions), SmallTree(), {std::move(resultPath)}, observer, web, kRoot),
        recorder(observer) {}

  void SignIn() override {
    ++signIns;
    if (realSignIn) RetrievalJob::SignIn();
  }
  void ReadResultList(const std::string& url) override {
    urls.push_back(url);
    recorder.events.push_back("search:" + StatusText);
    if (onRead) onRead(*this);
  }

  RecordingObserver& recorder;
  bool realSignIn = false;
  int signIns = 0;
  std::vector<std::string> urls;
  std::function<void(ScriptedJob&)> onRead;
};

class JobTest : public ::testing::Test {
 protected:
  static SearchConditions Conditions(const std::string& list) {
    SearchConditions c;
    c.SelectedCategories = list;
    return c;
  }
  std::unique_ptr<ScriptedJob> MakeJob(const std::string& list) {
    return std::make_unique<ScriptedJob>(Conditions(list), folder / "result.csv", observer, web);
  }
  std::string Header() const { return CsvHeader() + "\r\n"; }

  TempFolder folder;
  RecordingObserver observer;
  FakeWebAccess web;
};

TEST_F(JobTest, NothingSelectedSearchesOnceWithAFullBar) {
  auto job = MakeJob("");
  job->Execute();
  const std::vector<std::string> expected = {"init:1", "step", "search:" + Utf8ToSjis("全カテゴリ"), "finished"};
  EXPECT_EQ(observer.events, expected);
  EXPECT_EQ(job->CategoryTotal, 1);
  ASSERT_EQ(job->urls.size(), 1u);
  EXPECT_EQ(job->urls[0], kRoot + "/search?category_id=80&ex_so=N&sort=score&sort_operate_flg=Y");
  EXPECT_EQ(job->signIns, 1);
  EXPECT_EQ(ReadBytes(folder / "result.csv"), Header());
  EXPECT_FALSE(job->IsRunning());
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kNoItem);
}

TEST_F(JobTest, EachEntrySearchedInOrderWithOneStepEach) {
  auto job = MakeJob("1,2,4,");
  job->Execute();
  const std::vector<std::string> expected = {
      "init:3", "step", "search:Food > Rice", "step", "search:Food > Tea", "step", "search:Toys > Cars", "finished"};
  EXPECT_EQ(observer.events, expected);
  EXPECT_EQ(job->CategoryTotal, 3);
  ASSERT_EQ(job->urls.size(), 3u);
  EXPECT_EQ(job->urls[0].rfind(kRoot + "/search/?category_id=11&", 0), 0u);
  EXPECT_EQ(job->urls[2].rfind(kRoot + "/search/?category_id=21&", 0), 0u);
}

TEST_F(JobTest, EntriesThatAreNoNodeAreSkippedButStepTheBar) {
  // Empty pieces are no entries; "-1", "x" and an index past the tree are.
  auto job = MakeJob(",-1,,x,2,99");
  job->Execute();
  const std::vector<std::string> expected = {"init:4", "step", "step", "step", "search:Food > Tea", "step", "finished"};
  EXPECT_EQ(observer.events, expected);
  EXPECT_EQ(job->CategoryTotal, 4);
}

TEST_F(JobTest, ListOfCommasOnlyMeansNoSearch) {
  auto job = MakeJob(",,");
  job->Execute();
  const std::vector<std::string> expected = {"init:0", "finished"};
  EXPECT_EQ(observer.events, expected);
  EXPECT_TRUE(job->urls.empty());
}

TEST_F(JobTest, CancelDuringSignInLeavesOnlyTheHeader) {
  auto job = MakeJob("1,2,");
  job->realSignIn = true;
  web.bodies[kRoot + "/logout"] = "bye";
  web.bodies[kRoot + "/login"] = "<meta name=\"csrf-token\" content=\"0123456789012345678901234567890123456789\">\n";
  web.onCall = [&](const testing::RecordedCall& call) {
    if (call.target == kRoot + "/login") job->Terminate();
  };
  job->Execute();
  EXPECT_TRUE(web.CallsOf("POST").empty());
  EXPECT_TRUE(job->urls.empty());
  EXPECT_EQ(observer.Count("step"), 0);
  EXPECT_EQ(ReadBytes(folder / "result.csv"), Header());
  EXPECT_EQ(observer.finished, 1);
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kNoItem);
}

TEST_F(JobTest, CancelDuringACategoryStopsBeforeTheNext) {
  auto job = MakeJob("0,1,2,3,");
  job->onRead = [](ScriptedJob& j) {
    j.WriteItemRow();
    if (j.urls.size() == 2) j.Terminate();
  };
  job->Execute();
  EXPECT_EQ(job->urls.size(), 2u);
  EXPECT_EQ(observer.Count("step"), 2);
  // The rows written before the cancel stay.
  const std::string row = FormatItemRow(ItemRecord{}) + "\r\n";
  EXPECT_EQ(ReadBytes(folder / "result.csv"), Header() + row + row);
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kItemWritten);
}

TEST_F(JobTest, IsRunningDuringTheJobAndItemFoundStartsAtNoItem) {
  auto job = MakeJob("");
  bool running = false;
  ItemFoundCode found = ItemFoundCode::kFileError;
  job->onRead = [&](ScriptedJob& j) {
    running = j.IsRunning();
    found = j.ItemFound();
    j.WriteItemRow();
  };
  job->Execute();
  EXPECT_TRUE(running);
  EXPECT_EQ(found, ItemFoundCode::kNoItem);
  EXPECT_FALSE(job->IsRunning());
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kItemWritten);
}

TEST_F(JobTest, RunsOnItsOwnThreadAndIsJoined) {
  auto job = MakeJob("1,");
  job->Start();
  job->Join();
  EXPECT_FALSE(job->Joinable());
  EXPECT_EQ(job->urls.size(), 1u);
  EXPECT_EQ(observer.finished, 1);
}

// Result file failures: outcome 7, nothing fetched when the file never opened.
TEST_F(JobTest, ResultFileUnderARegularFileGivesFileError) {
  testing::WriteBytes(folder / "plain", "x");
  ScriptedJob job(Conditions("1,"), folder / "plain/result.csv", observer, web);
  job.realSignIn = true;
  job.Execute();
  EXPECT_EQ(job.ItemFound(), ItemFoundCode::kFileError);
  EXPECT_EQ(job.signIns, 0);
  EXPECT_TRUE(web.calls.empty());
  EXPECT_TRUE(job.urls.empty());
  EXPECT_EQ(observer.finished, 1);
  EXPECT_FALSE(job.IsRunning());
}

TEST_F(JobTest, HeaderThatCannotBeWrittenGivesFileError) {
  ScriptedJob job(Conditions(""), "/dev/full", observer, web);
  job.Execute();
  EXPECT_EQ(job.ItemFound(), ItemFoundCode::kFileError);
  EXPECT_EQ(job.signIns, 0);
}

TEST_F(JobTest, RowThatCannotBeWrittenStopsTheJob) {
  auto job = MakeJob("0,1,2,");
  job->onRead = [](ScriptedJob& j) {
    // The disk fills up under the open file.
    j.CsvFile.Close();
    ASSERT_TRUE(j.CsvFile.Open("/dev/full"));
    j.WriteItemRow();
  };
  job->Execute();
  EXPECT_EQ(job->urls.size(), 1u);
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kFileError);
  EXPECT_EQ(job->RowsWritten(), 0);
}

// Outcome 9: fetches were made and not one got an HTTP answer.
TEST_F(JobTest, SiteThatNeverAnsweredGivesUnreachable) {
  auto job = MakeJob("");
  job->realSignIn = true;
  job->onRead = [](ScriptedJob& j) {
    std::string page;
    j.FetchPage(j.urls.back(), page);
  };
  job->Execute();
  EXPECT_EQ(web.CallsOf("GET").size(), 3u);
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kSiteUnreachable);
}

TEST_F(JobTest, OneAnswerIsEnoughToRuleOutUnreachable) {
  auto job = MakeJob("");
  job->realSignIn = true;
  web.bodies[kRoot + "/logout"] = "bye";
  job->Execute();
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kNoItem);
}

TEST_F(JobTest, APageNotReadWithoutAnyRowIsUnreachableEvenAfterOtherAnswers) {
  web.bodies[kRoot + "/logout"] = "bye";
  web.scripts[kRoot + "/item"] = {{404, "gone"}};
  auto job = MakeJob("");
  job->realSignIn = true;
  job->onRead = [](ScriptedJob& j) {
    std::string page;
    EXPECT_FALSE(j.FetchListedPage(kRoot + "/item", page));
  };
  job->Execute();
  EXPECT_EQ(job->PagesNotRead(), 1);
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kSiteUnreachable);
  EXPECT_EQ(job->LastFailure().url, kRoot + "/item");
  EXPECT_EQ(job->LastFailure().result.status, 404);
}

TEST_F(JobTest, RowsWrittenOutrankPagesNotRead) {
  auto job = MakeJob("");
  job->onRead = [](ScriptedJob& j) {
    std::string page;
    j.FetchListedPage(kRoot + "/item", page);
    j.WriteItemRow();
  };
  job->Execute();
  EXPECT_EQ(job->PagesNotRead(), 1);
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kItemWritten);
}

TEST_F(JobTest, NoFetchAtAllIsNotUnreachable) {
  auto job = MakeJob("0,");
  job->Execute();
  EXPECT_TRUE(web.calls.empty());
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kNoItem);
}

TEST_F(JobTest, FileErrorOutranksUnreachable) {
  auto job = MakeJob("");
  job->realSignIn = true;
  job->onRead = [](ScriptedJob& j) {
    j.CsvFile.Close();
    ASSERT_TRUE(j.CsvFile.Open("/dev/full"));
    j.WriteItemRow();
  };
  job->Execute();
  EXPECT_EQ(job->ItemFound(), ItemFoundCode::kFileError);
}

TEST_F(JobTest, FetchesFillThePageTheyAreGivenAndCarryTheCancelFlag) {
  struct FlagWeb : FakeWebAccess {
    const std::atomic<bool>* seen = nullptr;
    FetchResult Get(const std::string& url, std::string& page, const std::atomic<bool>* cancel) override {
      seen = cancel;
      return FakeWebAccess::Get(url, page, cancel);
    }
  } flagWeb;
  ScriptedJob job(Conditions(""), folder / "result.csv", observer, flagWeb);
  flagWeb.bodies["u"] = "page";
  std::string page = "left over";
  const FetchResult result = job.FetchPage("u", page);
  EXPECT_TRUE(result.answered);
  EXPECT_EQ(flagWeb.seen, job.CancelFlag());
  EXPECT_EQ(page, "page");
  // No answer: the page is empty, never the one before.
  EXPECT_FALSE(job.PostPage("body", "/p", page).answered);
  EXPECT_EQ(page, "");
  ASSERT_EQ(flagWeb.calls.size(), 2u);
  EXPECT_EQ(flagWeb.calls[1].body, "body");
}

// A sign-in that held is doubted after the job when enough rows were written and
// not one of them shows a wholesale price; fewer rows, or one price, are no sign.
TEST_F(JobTest, EveryRowWithoutAWholesalePriceMakesTheSignInDoubtful) {
  struct Case {
    int rows, priced;
    std::string form;  // the login form's answer ("" none)
    SignInState state;
  };
  for (const Case& c : std::vector<Case>{{5, 0, "welcome", SignInState::kDoubtful},
                                         {4, 0, "welcome", SignInState::kSignedIn},
                                         {6, 1, "welcome", SignInState::kSignedIn},
                                         {5, 0, "", SignInState::kFailed}}) {
    FakeWebAccess fresh;
    fresh.bodies[kRoot + "/login"] = "<meta name=\"csrf-token\" content=\"tok\">\n";
    if (!c.form.empty()) fresh.bodies["/login"] = c.form;
    ScriptedJob job(Conditions(""), folder / "result.csv", observer, fresh);
    job.realSignIn = true;
    job.onRead = [&c](ScriptedJob& j) {
      for (int n = 0; n < c.rows; ++n) {
        j.Record[8] = n < c.priced ? Utf8ToSjis("1,200円") : Utf8ToSjis("卸価格は非公開");
        j.WriteItemRow();
      }
    };
    job.Execute();
    EXPECT_EQ(job.SignInOutcome().State, c.state) << c.rows << " rows, " << c.priced << " priced";
  }
}

TEST(PauseTest, CancelCutsALongPauseShort) {
  const char* old = std::getenv("VORMLA_PAUSE_SCALE");
  const std::string saved = old ? old : "";
  ::setenv("VORMLA_PAUSE_SCALE", "1", 1);
  RecordingObserver observer;
  FakeWebAccess web;
  RetrievalJob job(SearchConditions{}, {}, {}, observer, web, kRoot);
  job.Terminate();
  const auto start = std::chrono::steady_clock::now();
  job.Pause(10 * 60 * 1000);
  const auto waited = std::chrono::steady_clock::now() - start;
  if (old)
    ::setenv("VORMLA_PAUSE_SCALE", saved.c_str(), 1);
  else
    ::unsetenv("VORMLA_PAUSE_SCALE");
  EXPECT_LT(waited, std::chrono::minutes(1));
}

}  // namespace
}  // namespace vormla
