#include "files/Leftovers.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vormla {

namespace {

// Whether fd still is the file called name in the folder.
bool StillThere(int fd, int folderFd, const char* name) {
  struct stat open {
  }, named{};
  return ::fstat(fd, &open) == 0 && ::fstatat(folderFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

bool HoldNewFile(int fd, int folderFd, const std::string& name) {
  return ::flock(fd, LOCK_EX) == 0 && StillThere(fd, folderFd, name.c_str());
}

int RemoveUnheldFiles(int folderFd, const std::function<bool(std::string_view)>& ours) {
  // A descriptor of its own: the listing consumes it.
  const int listed = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = listed >= 0 ? ::fdopendir(listed) : nullptr;
  if (dir == nullptr) {
    if (listed >= 0) ::close(listed);
    return 0;
  }
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    if (!ours(entry->d_name)) continue;
    // Opened only to take its lock: a leftover's content is never looked at.
    const int fd = ::openat(folderFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    // A lock that can be taken belongs to no live process; the name is removed
    // while the lock is held, and only when it still names the file locked.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        StillThere(fd, folderFd, entry->d_name) && ::unlinkat(folderFd, entry->d_name, 0) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  ::closedir(dir);
  return removed;
}

}  // namespace vormla
