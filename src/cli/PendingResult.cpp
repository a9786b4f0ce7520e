#include "cli/PendingResult.h"

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/CliOptions.h"

namespace vormla::cli {

namespace {

constexpr const char* kFileInUseText = "選択されたファイルが他のアプリケーションで使用中の為\n開くことができませんでした。";
constexpr const char* kWriteFailedText = "結果ファイルに書き込めませんでした。";

}  // namespace

PendingResult::PendingResult(std::string target) : target_(std::move(target)) {
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    throw CliFailure(kExitFileError, std::string(kFileInUseText) + "\n" + target_);
  }
  // A short name of its own: a target name that the folder takes leaves room for it.
  const size_t slash = target_.rfind('/');
  std::string name = (slash == std::string::npos ? std::string() : target_.substr(0, slash + 1)) + ".vormla-run-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) throw CliFailure(kExitFileError, std::string(kWriteFailedText) + "\n" + target_);
  // mkstemp makes it private; the result gets the mode a newly created file gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  temporary_ = name;
}

PendingResult::~PendingResult() { Discard(); }

bool PendingResult::Commit() {
  if (temporary_.empty()) return false;
  const bool moved = ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!moved) ::unlink(temporary_.c_str());
  temporary_.clear();
  return moved;
}

void PendingResult::Discard() {
  if (temporary_.empty()) return;
  ::unlink(temporary_.c_str());
  temporary_.clear();
}

}  // namespace vormla::cli
