// The lines of a fetched page, found in place in the caller's buffer (which must
// outlive the view and stay unchanged).
//
// The readers walk every line of a page but take values out of only a few, so no
// line is copied. Nor is there one entry per line: a page of 16 MiB of bare line
// breaks has 16 million lines, and a view per line would cost 256 MiB. Instead the
// start of every eighth line is kept (4 bytes each) and a line is found from the
// nearest of those, or from the line looked up last; walking forward, as the
// readers do, finds each line once. The lines follow LoadPageLines' rules exactly
// (CR LF, LF or CR end a line; a zero byte ends the text; no empty line after a
// final break).
//
// Lookups move a cursor, so one view is for one thread.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vormla {

class PageView {
 public:
  // A page is at most 16 MiB; anything past 4 GiB is not looked at.
  explicit PageView(std::string_view bytes) : bytes_(bytes) {
    size_t size = bytes_.find('\0');
    if (size == std::string_view::npos) size = bytes_.size();
    size_ = size < kMaxSize ? size : kMaxSize;
    for (size_t start = 0; start < size_; start = NextStart(start)) {
      if (count_ % kStride == 0) marks_.push_back(static_cast<std::uint32_t>(start));
      ++count_;
    }
    cursorEnd_ = count_ > 0 ? LineEnd(0) : 0;
  }
  PageView(const PageView&) = delete;
  PageView& operator=(const PageView&) = delete;

  size_t Count() const { return count_; }

  std::string_view operator[](size_t index) const {
    if (index < cursorLine_ || index / kStride > cursorLine_ / kStride + 1) {
      cursorLine_ = index - index % kStride;
      cursorStart_ = marks_[index / kStride];
      cursorEnd_ = LineEnd(cursorStart_);
    }
    while (cursorLine_ < index) {
      cursorStart_ = AfterBreak(cursorEnd_);
      cursorEnd_ = LineEnd(cursorStart_);
      ++cursorLine_;
    }
    return bytes_.substr(cursorStart_, cursorEnd_ - cursorStart_);
  }

 private:
  static constexpr size_t kStride = 8;
  static constexpr size_t kMaxSize = 0xFFFFFFFFu;

  // The first CR or LF at or after start (or the end of the text). Eight bytes
  // are looked at in one go where no break is among them.
  size_t LineEnd(size_t start) const {
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighs = 0x8080808080808080ULL;
    const char* text = bytes_.data();
    size_t end = start;
    for (; end + 8 <= size_; end += 8) {
      std::uint64_t word;
      std::memcpy(&word, text + end, 8);
      const std::uint64_t lf = word ^ (kOnes * '\n');
      const std::uint64_t cr = word ^ (kOnes * '\r');
      if (((lf - kOnes) & ~lf & kHighs) != 0 || ((cr - kOnes) & ~cr & kHighs) != 0) break;
    }
    while (end < size_ && text[end] != '\r' && text[end] != '\n') ++end;
    return end;
  }

  // The start of the next line, given the end of one; a CR LF pair is one break.
  size_t AfterBreak(size_t end) const {
    size_t next = end + 1;
    if (end < size_ && bytes_[end] == '\r' && next < size_ && bytes_[next] == '\n') ++next;
    return next;
  }

  size_t NextStart(size_t start) const { return AfterBreak(LineEnd(start)); }

  const std::string_view bytes_;
  size_t size_ = 0;  // bytes before the first zero byte
  size_t count_ = 0;
  std::vector<std::uint32_t> marks_;  // start of line k * kStride
  mutable size_t cursorLine_ = 0;
  mutable size_t cursorStart_ = 0;
  mutable size_t cursorEnd_ = 0;
};

// The line without its leading and trailing bytes of value 0x20 or below, as a view.
inline std::string_view TrimView(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
  return text.substr(b, e - b);
}

// True when the view begins with marker.
inline bool StartsWith(std::string_view text, std::string_view marker) {
  return text.size() >= marker.size() && text.compare(0, marker.size(), marker) == 0;
}

// Byte-exact search for an ASCII marker in a raw (UTF-8) page line.
inline bool Contains(std::string_view line, std::string_view marker) {
  return line.find(marker) != std::string_view::npos;
}

}  // namespace vormla
