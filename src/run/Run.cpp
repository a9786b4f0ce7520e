#include "run/Run.h"

#include "engine/RetrievalJob.h"
#include "net/SiteConfig.h"

namespace vormla {

std::vector<CategoryNode> ToEngineNodes(const std::vector<CatalogueNode>& nodes) {
  std::vector<CategoryNode> out;
  out.reserve(nodes.size());
  for (const CatalogueNode& n : nodes) out.push_back(CategoryNode{n.Caption, n.Code, n.Level, n.Parent});
  return out;
}

namespace {

RunOutcome OutcomeOf(const RetrievalJob& job) {
  // A file error outranks a stop: the rows so far are not whole on disk.
  if (job.ItemFound() == ItemFoundCode::kFileError) return RunOutcome::kFileError;
  if (job.CancelRequested()) {
    return job.RowsWritten() > 0 ? RunOutcome::kCancelledWithRows : RunOutcome::kCancelledBeforeFirstRow;
  }
  switch (job.ItemFound()) {
    case ItemFoundCode::kItemWritten:
      return RunOutcome::kComplete;
    case ItemFoundCode::kSiteUnreachable:
      return RunOutcome::kSiteUnreachable;
    default:
      return RunOutcome::kNothingFound;
  }
}

}  // namespace

bool KeepsResult(RunOutcome outcome) {
  return outcome == RunOutcome::kComplete || outcome == RunOutcome::kNothingFound ||
         outcome == RunOutcome::kCancelledWithRows;
}

Run::Run(RunRequest request, JobObserver& face, WebAccess& web, std::string siteRoot)
    : request_(std::move(request)), face_(face), web_(web), siteRoot_(std::move(siteRoot)) {
  report_.Target = request_.Result.Path;
  report_.AccountPath = request_.AccountPath;
  report_.OwnAccount = request_.Account.State == AccountReading::Found::kAccount;
  report_.CaFile = ExtraCaFile();
}

Run::~Run() {
  // The job's thread may still be settling: it ends before the file goes.
  job_.reset();
}

bool Run::Start() {
  pending_ = std::make_unique<PendingResult>(report_.Target);
  if (!pending_->Ready()) {
    report_.Outcome = RunOutcome::kFileError;
    return false;
  }
  // The job writes beside the target; Settle puts the file in place.
  ResultTarget privateFile{pending_->TemporaryPath(), request_.Result.Encoding};
  JobObserver& observer = *this;  // the job reports to the run, which tells the face
  job_ = std::make_unique<RetrievalJob>(request_.Conditions, request_.Nodes, std::move(privateFile), observer, web_,
                                        siteRoot_);
  if (report_.OwnAccount) job_->UseAccount(std::move(request_.Account.Account));
  job_->Start();
  return true;
}

void Run::Cancel() {
  if (job_) job_->Terminate();
}

bool Run::IsRunning() const { return job_ && job_->IsRunning(); }

bool Run::Joinable() const { return job_ && job_->Joinable(); }

void Run::Join() {
  if (job_) job_->Join();
}

void Run::InitProgress(int categoryTotal) { face_.InitProgress(categoryTotal); }

void Run::StepProgress() { face_.StepProgress(); }

void Run::ShowItemProgress(const std::string& statusText, int itemDone, int itemTotal) {
  face_.ShowItemProgress(statusText, itemDone, itemTotal);
}

void Run::ShowStatusText(const std::string& statusText) { face_.ShowStatusText(statusText); }

void Run::JobFinished() {
  Settle();
  face_.JobFinished();
}

void Run::Settle() {
  const RetrievalJob& job = *job_;
  report_.PagesNotRead = job.PagesNotRead();
  report_.PicturesNotSaved = job.PicturesNotSaved();
  report_.SignIn = job.SignInOutcome();
  report_.FailedUrl = job.LastFailure().url;
  report_.Failure = job.LastFailure().result;
  report_.FirstPictureFailure = job.FirstPictureFailure();
  report_.FirstLink = job.FirstLink();
  report_.Outcome = OutcomeOf(job);
  if (KeepsResult(report_.Outcome) && !pending_->Commit()) report_.Outcome = RunOutcome::kFileError;
  pending_->Discard();
  report_.RowsKept = KeepsResult(report_.Outcome) ? job.RowsWritten() : 0;
}

}  // namespace vormla
