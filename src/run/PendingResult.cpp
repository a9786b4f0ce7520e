#include "run/PendingResult.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "files/Leftovers.h"

namespace vormla {

namespace {

constexpr const char* kPrefix = ".vormla-run-";

std::string FolderOf(const std::string& target) {
  const size_t slash = target.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : target.substr(0, slash);
}

bool OursByName(std::string_view name) { return name.starts_with(kPrefix); }

}  // namespace

int RemoveLeftovers(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  const int removed = RemoveUnheldFiles(fd, OursByName);
  ::close(fd);
  return removed;
}

PendingResult::PendingResult(std::string target) : target_(std::move(target)) {
  const std::string folder = FolderOf(target_);
  const int folderFd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (folderFd < 0) {
    error_ = errno;
    return;
  }
  RemoveUnheldFiles(folderFd, OursByName);
  // A short name of its own: a target name that the folder takes leaves room for it.
  for (int attempt = 0; attempt < 100 && fd_ < 0 && error_ == 0; ++attempt) {
    std::string name = (folder == "/" ? std::string() : folder) + "/" + kPrefix + "XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      error_ = errno;
    } else if (HoldNewFile(fd, folderFd, name.substr(name.rfind('/') + 1))) {
      fd_ = fd;
      temporary_ = name;
    } else {
      ::close(fd);  // another run's cleaner took it for a leftover: make another
    }
  }
  ::close(folderFd);
  if (error_ != 0) return;
  if (fd_ < 0) {
    error_ = EAGAIN;
    return;
  }
  // mkstemp makes it private; the result gets the mode a newly created file gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
}

PendingResult::~PendingResult() { Discard(); }

void PendingResult::Release() {
  temporary_.clear();
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool PendingResult::Commit() {
  if (temporary_.empty()) return false;
  const bool moved = ::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!moved) ::unlink(temporary_.c_str());
  Release();
  return moved;
}

void PendingResult::Discard() {
  if (temporary_.empty()) return;
  ::unlink(temporary_.c_str());
  Release();
}

}  // namespace vormla
