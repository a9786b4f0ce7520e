// The retrieval worker: one job from sign-in to the finished CSV on its own thread.
//
// The job-wide state (StatusText, CategoryTotal, ItemTotal, ItemDone, ItemRecord,
// the result file) lives in the worker object rather than in globals, one object per
// run. The owner reads IsRunning/ItemFound and is told the end through JobFinished.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine/JobReport.h"
#include "engine/JobTypes.h"
#include "engine/ResultFile.h"
#include "engine/WebAccess.h"
#include "net/SiteAccount.h"
#include "text/TextOps.h"

namespace vormla {

// "商品管理番号","商品ID",... : the 36 header names, quoted, comma-joined (486 bytes).
const std::string& CsvHeader();
// What a row's wholesale price reads when the result page showed none (Shift-JIS).
const std::string& NoWholesalePriceText();
// "&amp;" -> "&", "&#039;" -> "'", "&#12316;" -> 0x81 0x60, "&quot;" -> '"', "&lt;" -> "<",
// "&gt;" -> ">", in that order, case ignored, each replacement one scan.
std::string DecodeEntities(const std::string& text);
// The row of one record: 36 quoted fields, inner double quotes doubled, no line end.
std::string FormatItemRow(const ItemRecord& record);

class RetrievalJob {
 public:
  // siteRoot is the marketplace's base address. Every page the job fetches stays
  // in its own memory: two jobs never see each other's pages.
  RetrievalJob(SearchConditions conditions, std::vector<CategoryNode> nodes, ResultTarget target, JobObserver& observer,
               WebAccess& web, std::string siteRoot);
  virtual ~RetrievalJob();
  RetrievalJob(const RetrievalJob&) = delete;
  RetrievalJob& operator=(const RetrievalJob&) = delete;

  // The member's own account to sign in with instead of the built-in one; given
  // before Start. The job wipes it when it goes.
  void UseAccount(SiteAccount account) { account_ = std::move(account); }

  // Thread control. Start runs Execute on a new thread; the owner joins it.
  void Start();
  void Join();
  bool Joinable() const { return thread_.joinable(); }
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_ || CsvFile.Failed(); }
  const std::atomic<bool>* CancelFlag() const { return &terminated_; }

  bool IsRunning() const { return isRunning_; }
  ItemFoundCode ItemFound() const { return itemFound_; }
  int RowsWritten() const { return rowsWritten_; }
  // Result and item pages that gave no answer or no 2xx answer after their retry.
  int PagesNotRead() const { return pagesNotRead_; }
  // Pictures that were to be saved and are not on disk, whatever the cause.
  int PicturesNotSaved() const { return picturesNotSaved_; }
  // The last fetch that gave no usable page (sign-in included), once the job has
  // ended: url empty when every fetch went well.
  struct FailedFetch {
    std::string url;
    FetchResult result;
  };
  const FailedFetch& LastFailure() const { return lastFailure_; }
  // How the sign-in went; doubtful is decided once the job has ended.
  const SignInReport& SignInOutcome() const { return signIn_; }
  // The first picture that was to be saved and is not on disk (Trouble kNone
  // when every picture was saved).
  const PictureFailure& FirstPictureFailure() const { return firstPictureFailure_; }
  // The first symbolic link met where an item's folder or a picture was to go
  // (Trouble kLink; kNone when there was none).
  const PictureFailure& FirstLink() const { return firstLink_; }
  // The owner asked the job to stop (a file error stops it too, but is no request).
  bool CancelRequested() const { return terminated_; }

  // The thread body: RunJob, the outcome, JobFinished.
  void Execute();
  void RunJob();

  // Collaborators of RunJob; virtual so the job driver can be tested alone.
  virtual void SignIn();
  virtual void ReadResultList(const std::string& url);

  std::string BuildSearchUrl(int categoryIndex);
  void ReadItemPage(const std::string& url);
  static int FindLabelColumn(const std::string& label);
  static std::string CleanLine(const std::string& line);
  void CollectImageUrl(const std::string& line);
  void SaveItemImages();
  void WriteItemRow();

  // One fetch into page (which starts empty), noting answers and failures.
  FetchResult FetchPage(const std::string& url, std::string& page);
  FetchResult PostPage(const std::string& body, const std::string& path, std::string& page);
  // A result or item page: an https URL fetched after the pause that follows it,
  // once more when it got no answer or a 5xx one. False (and counted as not read)
  // unless a 2xx answer came; page then holds nothing. A fetch cut short by a
  // cancel is neither retried nor counted.
  bool FetchListedPage(const std::string& url, std::string& page);
  // The fixed pauses, scaled by VORMLA_PAUSE_SCALE; cut short by a cancel.
  void Pause(int milliseconds);

  // Job-wide state.
  const SearchConditions Conditions;
  const ResultTarget Target;
  const std::vector<CategoryNode> Nodes;
  const std::string SiteRoot;
  std::string StatusText;
  int CategoryTotal = 0;
  int ItemTotal = 0;
  int ItemDone = 0;
  ItemRecord Record;
  ResultFile CsvFile;

  // Per item page: the distinct picture URLs met so far and the columns filled.
  StringList ImageUrls;
  int ImageCount = 0;

 protected:
  JobObserver& Observer;
  WebAccess& Web;

 private:
  void NoteFetch(const std::string& url, const FetchResult& result);
  // Counts pictures not saved; the first one's failure is kept, and the first link.
  void NotePicturesNotSaved(size_t count, PictureFailure failure);
  // The login form's body for token, with the own account when one was given.
  std::string LoginFormBody(const std::string& token) const;

  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> isRunning_{false};
  std::atomic<ItemFoundCode> itemFound_{ItemFoundCode::kNoItem};
  std::atomic<int> rowsWritten_{0};
  std::atomic<int> pagesNotRead_{0};
  std::atomic<int> picturesNotSaved_{0};
  int fetchCount_ = 0;
  int answerCount_ = 0;
  FailedFetch lastFailure_;
  SignInReport signIn_;
  PictureFailure firstPictureFailure_;
  PictureFailure firstLink_;
  int rowsWithoutWholesale_ = 0;
  SiteAccount account_;
  // Case-folded forms of ImageUrls: a page of many picture lines is checked for
  // repeats in linear time.
  std::unordered_set<std::string> imageKeys_;
  // The pages being read, kept from one fetch to the next so that their memory is
  // not given back to the system and taken again for every item.
  std::string listPage_;
  std::string itemPage_;
};

}  // namespace vormla
