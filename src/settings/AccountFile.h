// The member's own account file: two UTF-8 lines, each ending in LF, the login
// ID and then the password. Only its owner may have any permission on it; a file
// that others could read is refused as ssh refuses such a key, and so is a
// symbolic link standing at its path (it is never followed). The command line
// and the window read it through here and hand the account to the engine.
#pragma once

#include <string>
#include <string_view>

#include "net/SiteAccount.h"

namespace vormla {

struct AccountReading {
  enum class Found { kNoFile, kAccount, kRefused };
  Found State = Found::kNoFile;
  SiteAccount Account;  // kAccount
  // kRefused: why, naming the file, and what to do about it (UTF-8, one line,
  // never any part of the password).
  std::string Message;
};

// Reads the account file at path. Once a file is there, the process no longer
// writes core files (see KeepOutOfCoreFiles).
AccountReading ReadAccountFile(const std::string& path);

// Why a login ID or password cannot be kept ("" when it can): empty, longer than
// the file allows, not UTF-8, or holding a control character. what names the
// value in the message ("ログインID", "パスワード").
std::string AccountValueProblem(std::string_view value, const std::string& what);

// Writes the account file whole: a temporary file in the same folder, private
// from the moment it exists (mode 0600), then renamed over path. The user's
// config folder is made (0700) when it is missing. A symbolic link at path is
// refused. "" when it worked, else the message.
std::string WriteAccountFile(const std::string& path, const SiteAccount& account);

// Removes the account file. "" when it worked or there was none (removed then
// tells which), else the message.
std::string RemoveAccountFile(const std::string& path, bool& removed);

// A process that holds a password writes no core file from then on, and other
// processes of the same user cannot attach to it or read its memory.
void KeepOutOfCoreFiles();

}  // namespace vormla
