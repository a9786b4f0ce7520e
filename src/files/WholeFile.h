// Writing a file whole: the pieces that every file we replace or add shares (a
// temporary file beside the target, its bytes on the disk, then a rename or link
// that reaches the disk too).
#pragma once

#include <string>
#include <string_view>

namespace vormla {

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path);
// Writes all of bytes to fd, going on after an interrupted write. False, with
// errno set, when the system takes no more.
bool WriteWhole(int fd, std::string_view bytes);
// Writes all of bytes to fd, makes them reach the disk and closes fd, which is
// closed whatever happens. 0, or the errno of the first step that failed.
int WriteSyncClose(int fd, std::string_view bytes);
// Makes a rename inside folder reach the disk.
void SyncFolder(const std::string& folder);

}  // namespace vormla
