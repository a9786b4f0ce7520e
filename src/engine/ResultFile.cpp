#include "engine/ResultFile.h"

namespace vormla {

ResultFile::~ResultFile() {
  if (file_) std::fclose(file_);
}

bool ResultFile::Open(const std::string& path) {
  if (file_) Close();
  // Binary mode: the line ends are written as CR LF by WriteLine itself.
  file_ = std::fopen(path.c_str(), "wb");
  if (!file_) failed_ = true;
  return file_ != nullptr;
}

bool ResultFile::WriteLine(const std::string& text) {
  // A file that never opened has already recorded its failure.
  if (!file_) return false;
  // Each row goes to disk at once so that a full disk shows on the row it hits.
  const bool ok = std::fwrite(text.data(), 1, text.size(), file_) == text.size() &&
                  std::fwrite("\r\n", 1, 2, file_) == 2 && std::fflush(file_) == 0 &&
                  !std::ferror(file_);
  if (!ok) failed_ = true;
  return ok;
}

bool ResultFile::Close() {
  if (!file_) return !failed_;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!ok) failed_ = true;
  return ok;
}

}  // namespace vormla
