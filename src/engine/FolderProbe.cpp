#include "engine/FolderProbe.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>

namespace vormla {

int ProbeNewFile(const std::string& folder) {
  const bool slash = !folder.empty() && folder.back() == '/';
  std::string name = folder.empty() ? std::string("./") : folder + (slash ? "" : "/");
  name.append(".vormla-probe-XXXXXX");
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  ::close(fd);
  ::unlink(name.c_str());
  return 0;
}

}  // namespace vormla
