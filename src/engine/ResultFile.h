// The result CSV: Shift-JIS lines ending in CR LF, no byte-order mark (or, when
// asked, the same lines in UTF-8 after a byte-order mark). Every
// failure (create, write, close) is remembered so the job can stop and say so,
// and a line that cannot be written whole is taken back: the file always ends
// after the last complete line (the header alone, or nothing, when none is).
#pragma once

#include <cstdint>
#include <string>

#include "engine/JobTypes.h"

namespace vormla {

class ResultFile {
 public:
  ResultFile() = default;
  ResultFile(const ResultFile&) = delete;
  ResultFile& operator=(const ResultFile&) = delete;
  ~ResultFile();

  // Created or truncated; a UTF-8 file starts with its byte-order mark.
  bool Open(const std::string& path, ResultEncoding encoding = ResultEncoding::kSjis);
  // Shift-JIS text + CR LF, straight to the file (converted first for UTF-8).
  bool WriteLine(const std::string& text);
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }
  bool Failed() const { return failed_; }

 private:
  bool WriteBytes(const std::string& line);  // whole or not at all

  int fd_ = -1;
  bool failed_ = false;
  ResultEncoding encoding_ = ResultEncoding::kSjis;
  std::uint64_t complete_ = 0;  // bytes up to the end of the last whole line
};

}  // namespace vormla
