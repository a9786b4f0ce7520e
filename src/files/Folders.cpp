#include "files/Folders.h"

#include <sys/stat.h>

#include <cerrno>

namespace vormla {

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeFolders(const std::string& folder, mode_t mode) {
  if (IsFolder(folder)) return true;
  const size_t slash = folder.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash), mode)) return false;
  return ::mkdir(folder.c_str(), mode) == 0 || (errno == EEXIST && IsFolder(folder));
}

}  // namespace vormla
