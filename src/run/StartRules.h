// The rules a run's request must pass before anything is fetched or written,
// the same for the window and the command line. Each check says what stopped the
// start; the words for it are in RunTexts.
#pragma once

#include <string>

#include "settings/AccountFile.h"

namespace vormla {

// Puts a price pair in order the way the start button does: only when both sides,
// trimmed, are non-empty and the upper value is below the lower one; the swapped
// values are written back as plain decimal text.
void OrderPricePair(std::string& from, std::string& to);

// The start button's extension rule: ".csv" is appended unless the file name's
// extension (from its last dot) is ".csv" in any letter case.
std::string ResultFileName(const std::string& path);

enum class StartRefusal {
  kNone,
  kPictureFolderMissing,     // Path: the folder text as given, trimmed
  kPictureFolderUnwritable,  // Path, Error: the folder takes no new file
  kAccountRefused,           // Message: the account file's own words
  kOutputIsFolder,           // Path: an existing folder where the file would go
  kOutputNotRegular,         // Path: a device, pipe or socket where the file would go
  kOutputFolderMissing,      // Path: the result file's folder
  kOutputFolderNotFolder,    // Path: the result file's "folder" is something else
};

struct StartCheck {
  StartRefusal Refusal = StartRefusal::kNone;
  std::string Path;
  std::string Target;  // CheckOutput: the file the run would write
  int Error = 0;
  std::string Message;
  bool Passed() const { return Refusal == StartRefusal::kNone; }
};

// The picture folder text as a run uses it: trimmed, ending in "/".
std::string PictureFolderText(const std::string& text);
// The folder must exist and take a new file (a probe file is made and removed).
StartCheck CheckPictureFolder(const std::string& text);

// The result file for a path the user gave. A path that names an existing
// folder, device or other non-regular file is refused as it is; otherwise the
// ".csv" rule gives the file (target), which must not be such a thing either,
// in a folder that exists. target is set in every case (the path refused, or the
// file the run would write).
StartCheck CheckOutput(const std::string& given, std::string& target);

// The member's own account: none, read, or refused (others may read the file).
StartCheck CheckAccount(const std::string& path, AccountReading& reading);

}  // namespace vormla
