// How a run ended and what it leaves to say: the outcome, the counts, the
// sign-in, the cause of the last failed fetch and the first picture not saved.
#pragma once

#include <string>

#include "engine/JobReport.h"
#include "net/HttpFetch.h"

namespace vormla {

enum class RunOutcome {
  kComplete,                 // rows written, the run went to its end: the new file is in place
  kNothingFound,             // the site answered, nothing matched: the header-only file is in place
  kCancelledWithRows,        // stopped by the user: the rows so far are in place
  kCancelledBeforeFirstRow,  // stopped before any row: the target is as it was
  kSiteUnreachable,          // no row, and a page not read (or no answer at all): the target is as it was
  kFileError,                // the result file could not be made, written or put in place: the target is as it was
};

// Whether the run's file is put in place at the target.
bool KeepsResult(RunOutcome outcome);

struct RunReport {
  RunOutcome Outcome = RunOutcome::kNothingFound;
  std::string Target;  // the result file (UTF-8 path)
  int RowsKept = 0;    // rows in the file put in place (0 when none is)
  int PagesNotRead = 0;
  int PicturesNotSaved = 0;
  SignInReport SignIn;
  std::string FailedUrl;  // the last fetch that gave no usable page, "" when none
  FetchResult Failure;    // and what it gave
  PictureFailure FirstPictureFailure;
  PictureFailure FirstLink;  // the first symbolic link where a picture or its folder was to go
  std::string AccountPath;   // the member's account file, there or not
  bool OwnAccount = false;   // it was there and was used
  std::string CaFile;        // the extra CA file in use, "" when none
};

}  // namespace vormla
