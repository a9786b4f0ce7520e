// Writing a file whole: the pieces that the settings file and the account file
// share (a temporary file beside the target, then a rename that reaches the disk).
#pragma once

#include <string>
#include <string_view>

namespace vormla {

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path);
// Writes all of bytes to fd, going on after an interrupted write.
bool WriteWhole(int fd, std::string_view bytes);
// Makes a rename inside folder reach the disk.
void SyncFolder(const std::string& folder);

}  // namespace vormla
