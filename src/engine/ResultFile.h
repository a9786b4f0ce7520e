// The result CSV: Shift-JIS lines ending in CR LF, no byte-order mark. Every
// failure (create, write, close) is remembered so the job can stop and say so.
#pragma once

#include <cstdio>
#include <string>

namespace vormla {

class ResultFile {
 public:
  ResultFile() = default;
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  ~ResultFile();

  bool Open(const std::string& path);        // created or truncated
  bool WriteLine(const std::string& text);   // text + CR LF, flushed
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }
  bool Failed() const { return failed_; }

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace vormla
