#include "demo-market/DemoText.h"

#include <cctype>

#include "text/AsciiCase.h"

namespace vormla::demo {

namespace {

bool MatchesAt(std::string_view text, size_t at, std::string_view what) {
  return at + what.size() <= text.size() && EqualsIgnoringAsciiCase(text.substr(at, what.size()), what);
}

}  // namespace

std::string ReplaceNoCase(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (MatchesAt(text, i, from)) {
      out += to;
      i += from.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::string TrimLow(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string RemoveTags(std::string_view text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('<', i);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('>', open);
    if (close == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    i = close + 1;
  }
  if (i < text.size()) out.append(text.substr(i));
  return out;
}

std::string CleanText(std::string_view line) { return TrimLow(RemoveTags(TrimLow(line))); }

std::string FullWidthToBlank(std::string_view text) { return ReplaceNoCase(text, "\xE3\x80\x80", " "); }

std::string WithCommas(long long value) {
  std::string digits = std::to_string(value < 0 ? -value : value);
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}

std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

std::uint64_t HashText(std::string_view text) {
  std::uint64_t h = 0xCBF29CE484222325ULL;
  for (unsigned char c : text) {
    h ^= c;
    h *= 0x100000001B3ULL;
  }
  return Mix(h);
}

}  // namespace vormla::demo
