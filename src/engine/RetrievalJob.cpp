// RetrievalJob: the worker thread and the job driver.
#include <algorithm>
#include <chrono>
#include <thread>

#include "engine/RetrievalJob.h"
#include "net/SiteConfig.h"
#include "text/UrlText.h"

namespace vormla {

namespace {

constexpr int kPagePause = 300;

bool Is2xx(long status) { return status >= 200 && status <= 299; }

}  // namespace

RetrievalJob::RetrievalJob(SearchConditions conditions, std::vector<CategoryNode> nodes, ResultTarget target,
                           JobObserver& observer, WebAccess& web, std::string siteRoot)
    : Conditions(std::move(conditions)),
      Target(std::move(target)),
      Nodes(std::move(nodes)),
      SiteRoot(std::move(siteRoot)),
      Observer(observer),
      Web(web) {}

RetrievalJob::~RetrievalJob() {
  // An owner that forgot to join must not leave a thread running on a dead object.
  Terminate();
  Join();
}

void RetrievalJob::Start() {
  thread_ = std::thread([this] { Execute(); });
}

void RetrievalJob::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void RetrievalJob::Execute() {
  itemFound_ = ItemFoundCode::kNoItem;
  isRunning_ = true;
  RunJob();
  if (signIn_.State == SignInState::kSignedIn && rowsWritten_ >= kDoubtfulRows &&
      rowsWithoutWholesale_ == rowsWritten_) {
    signIn_.State = SignInState::kDoubtful;
  }

  // The outcome the owner reads once IsRunning drops: a file error outranks
  // everything, then rows written, then a site that could not be read (a page not
  // read, or no answer to any fetch at all).
  if (CsvFile.Failed())
    itemFound_ = ItemFoundCode::kFileError;
  else if (rowsWritten_ > 0)
    itemFound_ = ItemFoundCode::kItemWritten;
  else if (pagesNotRead_ > 0 || (fetchCount_ > 0 && answerCount_ == 0))
    itemFound_ = ItemFoundCode::kSiteUnreachable;
  else
    itemFound_ = ItemFoundCode::kNoItem;

  isRunning_ = false;
  Observer.JobFinished();
}

void RetrievalJob::RunJob() {
  StringList entries;
  // Nothing is fetched for a file that cannot be created or take its header.
  if (!CsvFile.Open(Target.Path, Target.Encoding)) return;
  if (!CsvFile.WriteLine(CsvHeader())) {
    CsvFile.Close();
    return;
  }

  SignIn();
  if (!Terminated()) {
    if (Conditions.SelectedCategories.empty()) {
      CategoryTotal = 1;
      Observer.InitProgress(CategoryTotal);
      Observer.StepProgress();
      const std::string url = BuildSearchUrl(-1);
      ReadResultList(url);
    } else {
      SplitText(Conditions.SelectedCategories, ",", entries);
      CategoryTotal = static_cast<int>(entries.size());
      Observer.InitProgress(CategoryTotal);
      for (const std::string& entry : entries) {
        Observer.StepProgress();
        const long long c = ParseIntOr(entry, -1);
        // An index past the tree (only a hand-written list can hold one) is skipped
        // like a negative one.
        if (c >= 0 && c < static_cast<long long>(Nodes.size())) {
          const std::string url = BuildSearchUrl(static_cast<int>(c));
          if (!Terminated()) ReadResultList(url);
        }
        if (Terminated()) break;
      }
    }
  }
  CsvFile.Close();
}

FetchResult RetrievalJob::FetchPage(const std::string& url, std::string& page) {
  FetchResult result = Web.Get(url, page, CancelFlag());
  NoteFetch(url, result);
  return result;
}

FetchResult RetrievalJob::PostPage(const std::string& body, const std::string& path, std::string& page) {
  FetchResult result = Web.Post(body, path, page, CancelFlag());
  NoteFetch(SiteRoot + path, result);
  return result;
}

void RetrievalJob::NoteFetch(const std::string& url, const FetchResult& result) {
  ++fetchCount_;
  if (result.answered) ++answerCount_;
  if (result.failure == FetchFailure::kCancelled) return;
  if (!result.answered || !Is2xx(result.status)) lastFailure_ = {url, result};
}

bool RetrievalJob::FetchListedPage(const std::string& url, std::string& page) {
  page.clear();
  if (!IsHttpsUrl(url)) {
    // Not fetched at all: nothing leaves the machine in clear.
    FetchResult refused;
    refused.failure = FetchFailure::kNotHttps;
    lastFailure_ = {url, refused};
    ++pagesNotRead_;
    return false;
  }
  FetchResult result = FetchPage(url, page);
  Pause(kPagePause);
  const bool worthAnotherTry = !result.answered || (result.status >= 500 && result.status <= 599);
  if (worthAnotherTry && !Terminated()) {
    result = FetchPage(url, page);
    Pause(kPagePause);
  }
  if (result.answered && Is2xx(result.status)) return true;
  page.clear();
  if (!Terminated()) ++pagesNotRead_;
  return false;
}

void RetrievalJob::Pause(int milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto total = std::chrono::duration<double, std::milli>(milliseconds * PauseScale());
  const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(total);
  // Short slices keep a cancel from waiting out the whole pause.
  constexpr auto kSlice = std::chrono::milliseconds(20);
  while (!Terminated()) {
    const auto now = Clock::now();
    if (now >= end) break;
    std::this_thread::sleep_for(std::min<Clock::duration>(kSlice, end - now));
  }
}

}  // namespace vormla
