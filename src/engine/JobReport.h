// What a finished job tells beyond its rows: how the sign-in went and the first
// picture that could not be saved. Plain facts; the words for them are chosen by
// whoever shows them.
#pragma once

#include <string>

#include "net/HttpFetch.h"

namespace vormla {

enum class SignInState {
  kNotTried,  // cancelled before the sign-in could finish
  kSignedIn,  // token found, form posted, answered 200-399
  kFailed,    // no token, no answer, or a status of 400 or more
  kDoubtful,  // signed in, yet at least kDoubtfulRows rows were written and none shows a wholesale price
};

// From this many rows on, a run in which no row shows a wholesale price is taken
// as a sign-in that did not hold; fewer rows are too few to tell.
inline constexpr int kDoubtfulRows = 5;

// Where a failed sign-in went wrong.
enum class SignInTrouble {
  kNone,
  kLoginPageNotRead,  // the login page gave no answer or a status of 400 or more (Fetch)
  kNoToken,           // the login page holds no CSRF token
  kFormNotAnswered,   // the login form got no answer (Fetch)
  kFormRefused,       // the login form was answered with a status of 400 or more (Fetch)
};

struct SignInReport {
  SignInState State = SignInState::kNotTried;
  SignInTrouble Trouble = SignInTrouble::kNone;
  FetchResult Fetch;  // the fetch that failed, for the troubles that name one
};

// Why a picture is not on disk.
enum class PictureTrouble {
  kNone,
  kNoFolderName,    // the management number is empty or cannot be a folder name (Name)
  kFolderNotMade,   // the item's folder could not be made (Error)
  kUnsafeFileName,  // the picture's file name cannot be used (Name)
  kNotWritten,      // the picture came but could not be written into the folder (Error, or Fetch.detail)
  kNotDownloaded,   // no whole 2xx answer for the picture (Fetch)
  kLink,            // a symbolic link stands where the item's folder (Name empty) or the picture (Name) should be
};

struct PictureFailure {
  PictureTrouble Trouble = PictureTrouble::kNone;
  std::string Folder;  // the folder the picture was to go into (UTF-8 path)
  std::string Name;    // the number or file name that could not be used (UTF-8)
  int Error = 0;       // errno of the file system's refusal, 0 when none is known
  FetchResult Fetch;
};

}  // namespace vormla
