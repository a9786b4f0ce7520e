#include "results/ResultCsvReader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "engine/RetrievalJob.h"
#include "text/Cp932.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

namespace vormla {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char16_t kUndefinedCharacter = 0x30FB;
constexpr std::uint16_t kMiddleDot = 0x8145;
// Well under the longest row, so that a row that is too long shows after a few
// reads.
constexpr size_t kChunk = 256 << 10;

// Starts fields[n] empty, keeping the memory of the string that stood there.
std::string& NewField(std::vector<std::string>& fields, size_t n) {
  if (fields.size() <= n) fields.resize(n + 1);
  fields[n].clear();
  return fields[n];
}

// The shared walk of both splitters; undoubled picks the older files' rule for a
// quote inside a quoted field.
bool Split(std::string_view line, std::vector<std::string>& fields, bool undoubled) {
  size_t n = 0;
  size_t i = 0;
  for (;;) {
    std::string& field = NewField(fields, n++);
    if (i < line.size() && line[i] == '"') {
      ++i;
      for (;;) {
        const size_t quote = line.find('"', i);
        if (quote == std::string_view::npos) return false;  // the quote never closes
        const bool closes = quote + 1 == line.size() || line[quote + 1] == ',';
        if (undoubled) {
          field.append(line.substr(i, quote - i + (closes ? 0 : 1)));
          i = quote + 1;
          if (closes) break;
        } else {
          field.append(line.substr(i, quote - i));
          if (quote + 1 < line.size() && line[quote + 1] == '"') {
            field += '"';
            i = quote + 2;
            continue;
          }
          if (!closes) return false;  // a lone quote inside: not this program's file
          i = quote + 1;
          break;
        }
      }
    } else {
      const size_t comma = line.find(',', i);
      const size_t end = comma == std::string_view::npos ? line.size() : comma;
      field.append(line.substr(i, end - i));
      i = end;
    }
    if (i >= line.size()) break;
    ++i;  // the comma; one after the last field starts an empty one
  }
  fields.resize(n);
  return true;
}

const std::vector<std::string>& HeaderNames(ResultEncoding encoding) {
  static const std::vector<std::string> sjis = [] {
    std::vector<std::string> names;
    SplitCsvLine(CsvHeader(), names);
    return names;
  }();
  static const std::vector<std::string> utf8 = [] {
    std::vector<std::string> names;
    names.reserve(sjis.size());
    for (const std::string& name : sjis) names.push_back(SjisToUtf8(name));
    return names;
  }();
  return encoding == ResultEncoding::kUtf8 ? utf8 : sjis;
}

}  // namespace

bool SplitCsvLine(std::string_view line, std::vector<std::string>& fields) { return Split(line, fields, false); }

bool SplitUndoubledCsvLine(std::string_view line, std::vector<std::string>& fields) {
  return Split(line, fields, true);
}

bool IsWellFormedSjis(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (!cp932::IsLeadByte(lead)) continue;
    if (i + 1 == text.size()) return false;
    const auto trail = static_cast<unsigned char>(text[++i]);
    if (!cp932::IsTrailByte(trail)) return false;
    // Undefined codes decode to U+30FB, which 0x8145 names as well.
    const auto code = static_cast<std::uint16_t>(lead << 8 | trail);
    if (cp932::Decode(code) == kUndefinedCharacter && code != kMiddleDot) return false;
  }
  return true;
}

ResultCsvReader::ResultCsvReader(std::string path) : path_(std::move(path)) {
  file_ = std::fopen(path_.c_str(), "rb");
  if (file_ == nullptr) throw ResultCsvError(path_, 0, std::string("開けません (") + std::strerror(errno) + ")");
  struct stat st {};
  if (::fstat(::fileno(file_), &st) == 0) {
    if (S_ISDIR(st.st_mode)) {
      std::fclose(file_);
      file_ = nullptr;
      throw ResultCsvError(path_, 0, "フォルダです。結果ファイルを指定してください");
    }
    size_ = static_cast<std::uint64_t>(st.st_size);
  }

  std::string_view header;
  if (!ReadLine(header)) {
    line_ = 1;
    Fail("空のファイルです。このプログラムの結果ファイルではありません");
  }
  if (header.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    encoding_ = ResultEncoding::kUtf8;
    header.remove_prefix(kByteOrderMark.size());
  }
  std::vector<std::string> names;
  if (!SplitCsvLine(header, names) || names != HeaderNames(encoding_)) {
    Fail(encoding_ == ResultEncoding::kUtf8
             ? "見出しの行が結果ファイルのものと違います (UTF-8 "
               "のファイルとして読みました)。このプログラムの結果ファイルではありません"
             : "見出しの行が結果ファイルのものと違います (Shift-JIS "
               "のファイルとして読みました)。このプログラムの結果ファイルではありません");
  }
}

ResultCsvReader::~ResultCsvReader() {
  if (file_ != nullptr) std::fclose(file_);
}

void ResultCsvReader::Fail(const std::string& what) const { throw ResultCsvError(path_, line_, what); }

bool ResultCsvReader::Fill() {
  if (eof_) return false;
  if (start_ > 0) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  const size_t used = buffer_.size();
  buffer_.resize(used + kChunk);
  const size_t got = std::fread(buffer_.data() + used, 1, kChunk, file_);
  buffer_.resize(used + got);
  if (got == 0) {
    if (std::ferror(file_) != 0) Fail(std::string("読み込めません (") + std::strerror(errno) + ")");
    eof_ = true;
    return false;
  }
  return true;
}

bool ResultCsvReader::ReadLine(std::string_view& line) {
  size_t searched = start_;
  for (;;) {
    const char* from = buffer_.data() + searched;
    // NOLINTNEXTLINE(bugprone-not-null-terminated-result): bytes up to the buffer's end, no terminator
    const void* hit = std::memchr(from, '\n', buffer_.size() - searched);
    const size_t scanned =
        hit != nullptr ? static_cast<size_t>(static_cast<const char*>(hit) - from) : buffer_.size() - searched;
    if (std::memchr(from, '\0', scanned) != nullptr) {
      ++line_;
      Fail("NUL バイトがあります。このプログラムの結果ファイルではありません");
    }
    // The line so far, less a CR that may stand before its LF.
    size_t rowBytes = searched + scanned - start_;
    if (rowBytes > 0 && buffer_[start_ + rowBytes - 1] == '\r') --rowBytes;
    if (rowBytes > kMaxRowBytes) {
      ++line_;
      Fail("行が長すぎます (" + std::to_string(kMaxRowBytes >> 20) +
           " MiB を超えています)。このプログラムの結果ファイルではありません");
    }
    if (hit != nullptr) {
      const size_t lf = searched + scanned;
      ++line_;
      consumed_ += lf + 1 - start_;
      line = std::string_view(buffer_).substr(start_, lf - start_);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      start_ = lf + 1;
      return true;
    }
    searched = buffer_.size() - start_;  // offset of the unsearched rest after Fill moves it
    if (!Fill()) break;
  }
  if (start_ < buffer_.size()) {
    // Bytes after the last line break: the rows were cut off while being written.
    ++line_;
    Fail("最後の行が途中で切れています (行末の改行がありません)");
  }
  return false;
}

void ResultCsvReader::Split(std::string_view line, std::vector<std::string>& fields) {
  if (line.empty()) Fail("空の行です");
  // This program's rows first; a row that does not come out as 36 fields that
  // way may be one of an older file, with its quotes not doubled.
  const bool doubled = SplitCsvLine(line, fields);
  if (doubled && fields.size() == kColumnCount) return;
  const size_t doubledCount = doubled ? fields.size() : 0;
  const bool undoubled = SplitUndoubledCsvLine(line, fields);
  if (undoubled && fields.size() == kColumnCount) return;
  if (!doubled && !undoubled) Fail("引用符が閉じていません");
  const size_t count = undoubled ? fields.size() : doubledCount;
  Fail("項目が " + std::to_string(kColumnCount) + " 個ではありません (" + std::to_string(count) + " 個)");
}

bool ResultCsvReader::Next(std::vector<std::string>& fields) {
  std::string_view line;
  if (!ReadLine(line)) return false;
  if (encoding_ == ResultEncoding::kUtf8 && !IsWellFormedUtf8(line)) Fail("UTF-8 として正しくないバイトがあります");
  // A row of another encoding would otherwise read as changed values.
  if (encoding_ == ResultEncoding::kSjis && !IsWellFormedSjis(line)) Fail("Shift-JIS として正しくないバイトがあります");
  if (decode_) {
    converted_ = SjisToUtf8(line);
    line = converted_;
  }
  Split(line, fields);
  return true;
}

}  // namespace vormla
