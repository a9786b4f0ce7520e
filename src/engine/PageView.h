// A fetched page held as one buffer with its lines as views into it.
//
// The readers walk every line of pages of a few hundred kilobytes but take values
// out of only a few of them, so the page is not copied line by line. The lines
// follow LoadPageLines' rules exactly (CR LF, LF or CR end a line; a zero byte
// ends the text; no empty line after a final break).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vormla {

class PageView {
 public:
  PageView() = default;
  PageView(const PageView&) = delete;
  PageView& operator=(const PageView&) = delete;

  // Loads the file; a file that cannot be opened gives no lines.
  void Load(const std::string& fileName) {
    bytes_.clear();
    lines_.clear();
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) return;
    // Read in one go when the size is known; the loop still takes whatever follows.
    if (std::fseek(file, 0, SEEK_END) == 0) {
      const long size = std::ftell(file);
      if (size > 0) bytes_.reserve(static_cast<size_t>(size) + 1);
      std::rewind(file);
    }
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes_.append(chunk, got);
    std::fclose(file);
    Split();
  }

  size_t Count() const { return lines_.size(); }
  std::string_view operator[](size_t index) const { return lines_[index]; }

 private:
  void Split() {
    std::string_view text(bytes_);
    const size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    const size_t n = text.size();
    size_t start = 0;
    while (start < n) {
      size_t end = start;
      while (end < n && text[end] != '\r' && text[end] != '\n') ++end;
      lines_.push_back(text.substr(start, end - start));
      start = end + 1;
      if (end < n && text[end] == '\r' && start < n && text[start] == '\n') ++start;
    }
  }

  std::string bytes_;
  std::vector<std::string_view> lines_;
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
