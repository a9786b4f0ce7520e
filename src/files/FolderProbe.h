// Whether a folder takes a new file right now: the one honest test, since
// permission bits say nothing about a read-only mount, a full disk or root.
#pragma once

#include <string>

namespace vormla {

// Makes a probe file in folder and removes it again. 0 when that worked, else the
// errno of the refusal (ENOENT for a missing folder, ENOTDIR for a file on the way).
int ProbeNewFile(const std::string& folder);
// The same in the folder open as folderFd.
int ProbeNewFileAt(int folderFd);

}  // namespace vormla
