// One retrieval run, the same for the window and the command line: the request
// goes in; the private result file, the job on its own thread, the outcome, the
// file put in place or left out, and the report come out. A face gathers the
// request, forwards a stop and shows the report.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/CategoryDatabase.h"
#include "conditions/SearchConditions.h"
#include "engine/JobTypes.h"
#include "engine/WebAccess.h"
#include "run/PendingResult.h"
#include "run/RunReport.h"
#include "settings/AccountFile.h"

namespace vormla {

class RetrievalJob;

// The job's snapshot of a tree's node list (caption, code, level, parent).
std::vector<CategoryNode> ToEngineNodes(const std::vector<CatalogueNode>& nodes);

struct RunRequest {
  SearchConditions Conditions;
  ResultTarget Result;  // the file the run puts in place, checked by StartRules
  std::vector<CategoryNode> Nodes;
  std::string AccountPath;  // the member's account file, named in a sign-in warning
  AccountReading Account;   // as CheckAccount read it: kAccount signs in with it
};

class Run : private JobObserver {
 public:
  // face gets the job's progress and, once the result file is settled and the
  // report complete, JobFinished (on the job's thread).
  Run(RunRequest request, JobObserver& face, WebAccess& web, std::string siteRoot);
  ~Run() override;
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Makes the private file beside the target and starts the job. False when the
  // file cannot be made: the run is over at once (kFileError, nothing fetched,
  // the face not called).
  bool Start();
  // Asks the job to stop after the current item; the rows so far are kept.
  void Cancel();
  bool IsRunning() const;
  bool Joinable() const;
  void Join();

  // Complete once the face's JobFinished has been called, or Start returned false.
  const RunReport& Report() const { return report_; }

 private:
  void InitProgress(int categoryTotal) override;
  void StepProgress() override;
  void ShowItemProgress(const std::string& statusText, int itemDone, int itemTotal) override;
  void ShowStatusText(const std::string& statusText) override;
  void JobFinished() override;
  // The job's end: the outcome decided, the file put in place or dropped.
  void Settle();

  RunRequest request_;
  JobObserver& face_;
  WebAccess& web_;
  const std::string siteRoot_;
  RunReport report_;
  // Declared before the job, so the job (and its thread) ends first.
  std::unique_ptr<PendingResult> pending_;
  std::unique_ptr<RetrievalJob> job_;
};

}  // namespace vormla
