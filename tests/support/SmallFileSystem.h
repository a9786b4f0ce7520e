// A file system of a few kilobytes that fills up for real: a tmpfs mounted on a
// fresh folder (this needs the right to mount, which CI and sessions have as root).
// Mounted read-only, it refuses every new file, root's too.
#pragma once

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

namespace vormla::testing {

class SmallFileSystem {
 public:
  explicit SmallFileSystem(size_t bytes, bool readOnly = false) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vormla-full-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      reason_ = std::string("no folder to mount on: ") + std::strerror(errno);
      return;
    }
    path_ = pattern;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    if (::mount("tmpfs", path_.c_str(), "tmpfs", flags, options.c_str()) == 0) {
      mounted_ = true;
    } else {
      // A loop device would need the same right to mount, so there is nothing else to try.
      reason_ = std::string("cannot mount a small tmpfs (") + std::strerror(errno) +
                "); a full disk cannot be made here without the right to mount";
    }
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    if (!path_.empty()) ::rmdir(path_.c_str());
  }
  SmallFileSystem(const SmallFileSystem&) = delete;
  SmallFileSystem& operator=(const SmallFileSystem&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& WhyNot() const { return reason_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string reason_;
  bool mounted_ = false;
};

}  // namespace vormla::testing
