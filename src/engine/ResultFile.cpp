#include "engine/ResultFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "files/WholeFile.h"
#include "text/TextOps.h"

namespace vormla {

ResultFile::~ResultFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool ResultFile::Open(const std::string& path, ResultEncoding encoding) {
  if (fd_ >= 0) Close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  complete_ = 0;
  encoding_ = encoding;
  if (fd_ < 0) {
    failed_ = true;
    return false;
  }
  return encoding_ == ResultEncoding::kSjis || WriteBytes("\xEF\xBB\xBF");
}

bool ResultFile::WriteLine(const std::string& text) {
  std::string line = encoding_ == ResultEncoding::kUtf8 ? SjisToUtf8(text) : text;
  line += "\r\n";
  return WriteBytes(line);
}

bool ResultFile::WriteBytes(const std::string& line) {
  // A file that never opened has already recorded its failure.
  if (fd_ < 0 || failed_) return false;
  // One write per line, unbuffered, so a full disk shows on the line it hits and
  // nothing of that line is left waiting to be written later.
  if (!WriteWhole(fd_, line)) {
    // Take the broken line back; if even that fails the file is no use anyway.
    failed_ = true;
    if (::ftruncate(fd_, static_cast<off_t>(complete_)) == 0) ::lseek(fd_, static_cast<off_t>(complete_), SEEK_SET);
    return false;
  }
  complete_ += line.size();
  return true;
}

bool ResultFile::Close() {
  if (fd_ < 0) return !failed_;
  const bool ok = ::close(fd_) == 0;
  fd_ = -1;
  if (!ok) failed_ = true;
  return ok;
}

}  // namespace vormla
