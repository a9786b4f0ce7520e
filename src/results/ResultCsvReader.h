// Reading result files back: this program's files in Shift-JIS or in UTF-8 with a
// byte-order mark, and older files that wrote a double quote inside a value as it
// was instead of doubling it.
//
// A file must start with the 36 header names and every row must hold 36 fields
// and end with a line break; anything else is reported with its line number. So
// is a file that cannot be one of ours at all, as soon as that shows: a line over
// kMaxRowBytes, a NUL byte, bytes that are not Shift-JIS (no byte-order mark) or
// not UTF-8 (after one). A reader never holds much more than one row.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/JobTypes.h"

namespace vormla {

// Why a file cannot be read as a result file. line is 0 when the trouble is the
// file as a whole (it cannot be opened or read).
class ResultCsvError : public std::runtime_error {
 public:
  ResultCsvError(std::string path, long line, const std::string& what)
      : std::runtime_error(what), path_(std::move(path)), line_(line) {}
  const std::string& Path() const { return path_; }
  long Line() const { return line_; }

 private:
  std::string path_;
  long line_;
};

// Splits one line (without its line break) into fields. A field that starts with
// a double quote runs to the quote that is followed by a comma or the line's end;
// inside it, a doubled quote is one quote. Returns false when the line is not
// made of quoted or plain fields that way (an open quote, a quote inside that is
// not doubled). fields is reused: its strings keep their memory between calls.
bool SplitCsvLine(std::string_view line, std::vector<std::string>& fields);
// The same for a line of an older file: a quote followed by anything
// but a comma or the line's end is text, nothing is undoubled.
bool SplitUndoubledCsvLine(std::string_view line, std::vector<std::string>& fields);

// True when every double-byte character of text is one that code page 932
// defines (a lead byte followed by a trail byte that together name a character);
// single bytes are all defined.
bool IsWellFormedSjis(std::string_view text);

// The longest line (without its line break) of a result file.
inline constexpr size_t kMaxRowBytes = size_t{1} << 20;

class ResultCsvReader {
 public:
  // Opens the file and reads its header. Throws ResultCsvError.
  explicit ResultCsvReader(std::string path);
  ~ResultCsvReader();
  ResultCsvReader(const ResultCsvReader&) = delete;
  ResultCsvReader& operator=(const ResultCsvReader&) = delete;

  const std::string& Path() const { return path_; }
  ResultEncoding Encoding() const { return encoding_; }
  // The fields of a Shift-JIS file are handed out in UTF-8 from now on (set
  // before the first row): to compare it with a UTF-8 file, whose bytes are
  // exactly this conversion of its Shift-JIS twin.
  void DecodeToUtf8() { decode_ = encoding_ == ResultEncoding::kSjis; }
  // The encoding of the fields handed out.
  ResultEncoding FieldEncoding() const { return decode_ ? ResultEncoding::kUtf8 : encoding_; }

  // The next row's 36 fields; false at the end of the file. Throws ResultCsvError.
  bool Next(std::vector<std::string>& fields);
  // The line number of the row just read (the header is line 1).
  long Line() const { return line_; }
  // Bytes of the file read so far, and its size when opened.
  std::uint64_t BytesRead() const { return consumed_; }
  std::uint64_t Size() const { return size_; }

 private:
  // The next line without its line break; false at the end of the file.
  bool ReadLine(std::string_view& line);
  bool Fill();
  [[noreturn]] void Fail(const std::string& what) const;
  void Split(std::string_view line, std::vector<std::string>& fields);

  std::string path_;
  std::FILE* file_ = nullptr;
  ResultEncoding encoding_ = ResultEncoding::kSjis;
  bool decode_ = false;
  std::string buffer_;
  size_t start_ = 0;  // the unread part of buffer_ begins here
  bool eof_ = false;
  long line_ = 0;
  std::uint64_t consumed_ = 0;
  std::uint64_t size_ = 0;
  std::string converted_;
};

}  // namespace vormla
