// Temporary files that a process holds locked (flock) for as long as it writes
// them under a name of its own. A process that is killed leaves its file behind
// unlocked; whoever works next in that folder removes it, never one that a live
// process holds, and never reads it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vormla {

// Locks fd, just created as name in the folder open as folderFd. False when a
// cleaner took it for a leftover in between (the caller makes another).
bool HoldNewFile(int fd, int folderFd, const std::string& name);

// Removes the regular files of the folder open as folderFd whose names ours
// accepts and that no process holds; returns how many went.
int RemoveUnheldFiles(int folderFd, const std::function<bool(std::string_view)>& ours);

}  // namespace vormla
