#include "run/PendingResult.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vormla {

namespace {

constexpr const char* kPrefix = ".vormla-run-";

std::string FolderOf(const std::string& target) {
  const size_t slash = target.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : target.substr(0, slash);
}

// Whether fd still is the file at path: a cleaner may have removed it between
// its creation and the lock.
bool StillThere(int fd, const std::string& path) {
  struct stat open {}, named {};
  return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
         open.st_ino == named.st_ino;
}

}  // namespace

int RemoveLeftovers(const std::string& folder) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strncmp(entry->d_name, kPrefix, std::strlen(kPrefix)) != 0) continue;
    const std::string path = folder + "/" + entry->d_name;
    // Opened only to take its lock: a leftover's content is never looked at.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    // A lock that can be taken belongs to no live run; the name is removed while
    // the lock is held, and only when it still names the file that was locked.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        StillThere(fd, path) && ::unlink(path.c_str()) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

PendingResult::PendingResult(std::string target) : target_(std::move(target)) {
  const std::string folder = FolderOf(target_);
  RemoveLeftovers(folder);
  // A short name of its own: a target name that the folder takes leaves room for it.
  for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    std::string name = (folder == "/" ? std::string() : folder) + "/" + kPrefix + "XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      error_ = errno;
      return;
    }
    if (::flock(fd, LOCK_EX) == 0 && StillThere(fd, name)) {
      fd_ = fd;
      temporary_ = name;
    } else {
      ::close(fd);  // another run's cleaner took it for a leftover: make another
    }
  }
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
