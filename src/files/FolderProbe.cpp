#include "files/FolderProbe.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

namespace vormla {

int ProbeNewFile(const std::string& folder) {
  // O_PATH: the folder only needs to be entered and written, not read.
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ProbeNewFileAt(fd);
  ::close(fd);
  return error;
}

int ProbeNewFileAt(int folderFd) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  int error = EEXIST;
  for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, ".vormla-probe-%016llx", static_cast<unsigned long long>(random()));
    const int fd = ::openat(folderFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      error = errno;
      continue;
    }
    ::close(fd);
    ::unlinkat(folderFd, name, 0);
    error = 0;
  }
  return error;
}

}  // namespace vormla
