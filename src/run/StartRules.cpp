#include "run/StartRules.h"

#include <sys/stat.h>

#include "files/FolderProbe.h"
#include "text/AsciiCase.h"
#include "text/TextOps.h"

namespace vormla {

namespace {

StartCheck Refused(StartRefusal refusal, std::string path, int error = 0) {
  StartCheck check;
  check.Refusal = refusal;
  check.Path = std::move(path);
  check.Error = error;
  return check;
}

// What stands at path and is no regular file: a folder, or anything else that
// is not a file (kNone for a regular file, a link to one, or nothing at all).
StartRefusal WhatStandsAt(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return StartRefusal::kNone;
  return S_ISDIR(st.st_mode) ? StartRefusal::kOutputIsFolder : StartRefusal::kOutputNotRegular;
}

}  // namespace

void OrderPricePair(std::string& from, std::string& to) {
  if (TrimBlanks(from).empty() || TrimBlanks(to).empty()) return;
  const long long low = ParseIntOr(from, 0);
  const long long high = ParseIntOr(to, 0);
  if (high < low) {
    from = std::to_string(high);
    to = std::to_string(low);
  }
}

std::string ResultFileName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot >= nameStart;
  return hasExtension && LowerAscii(path.substr(dot)) == ".csv" ? path : path + ".csv";
}

std::string PictureFolderText(const std::string& text) {
  const std::string folder = TrimBlanks(text);
  return folder.empty() || folder.back() == '/' ? folder : folder + "/";
}

StartCheck CheckPictureFolder(const std::string& text) {
  const std::string folder = TrimBlanks(text);
  struct stat st {};
  if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    return Refused(StartRefusal::kPictureFolderMissing, folder);
  }
  if (const int error = ProbeNewFile(folder); error != 0) {
    return Refused(StartRefusal::kPictureFolderUnwritable, folder, error);
  }
  return {};
}

StartCheck CheckOutput(const std::string& given, std::string& target) {
  // A folder or device named as it is stays what it is: the ".csv" rule never
  // makes a file beside it out of it.
  target = given;
  if (const StartRefusal standing = WhatStandsAt(given); standing != StartRefusal::kNone) {
    StartCheck check = Refused(standing, given);
    check.Target = given;
    return check;
  }
  target = ResultFileName(given);
  StartCheck check;
  if (const StartRefusal standing = WhatStandsAt(target); standing != StartRefusal::kNone) {
    check = Refused(standing, target);
  } else if (const size_t slash = target.rfind('/'); slash != std::string::npos) {
    const std::string folder = slash == 0 ? "/" : target.substr(0, slash);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) {
      check = Refused(StartRefusal::kOutputFolderMissing, folder);
    } else if (!S_ISDIR(st.st_mode)) {
      check = Refused(StartRefusal::kOutputFolderNotFolder, folder);
    }
  }
  check.Target = target;
  return check;
}

StartCheck CheckAccount(const std::string& path, AccountReading& reading) {
  reading = ReadAccountFile(path);
  if (reading.State != AccountReading::Found::kRefused) return {};
  StartCheck check = Refused(StartRefusal::kAccountRefused, path);
  check.Message = reading.Message;
  return check;
}

}  // namespace vormla
