// Folders: whether one stands at a path, and making one with its parents.
#pragma once

#include <sys/types.h>

#include <string>

namespace vormla {

// A folder, or a link to one, stands at path.
bool IsFolder(const std::string& path);
// Makes folder with its missing parents, each new one with mode (less the umask):
// 0777 for a folder the user named, 0700 for one of the program's own. False,
// with errno set, when it is not a folder afterwards.
bool MakeFolders(const std::string& folder, mode_t mode);

}  // namespace vormla
