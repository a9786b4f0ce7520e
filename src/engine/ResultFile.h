// The result CSV: Shift-JIS lines ending in CR LF, no byte-order mark. Every
// failure (create, write, close) is remembered so the job can stop and say so,
// and a line that cannot be written whole is taken back: the file always ends
// after the last complete line (the header alone, or nothing, when none is).
#pragma once

#include <cstdint>
#include <string>

namespace vormla {

class ResultFile {
 public:
  ResultFile() = default;
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  ~ResultFile();

  bool Open(const std::string& path);        // created or truncated
  bool WriteLine(const std::string& text);   // text + CR LF, straight to the file
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }
  bool Failed() const { return failed_; }

 private:
  int fd_ = -1;
  bool failed_ = false;
  std::uint64_t complete_ = 0;  // bytes up to the end of the last whole line
};

}  // namespace vormla
