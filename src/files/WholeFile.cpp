#include "files/WholeFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace vormla {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteWhole(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;  // nothing taken and no reason given: it would never end
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(put));
  }
  return true;
}

int WriteSyncClose(int fd, std::string_view bytes) {
  int error = WriteWhole(fd, bytes) && ::fsync(fd) == 0 ? 0 : errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  return error;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace vormla
