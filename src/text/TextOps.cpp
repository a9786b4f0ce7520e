#include "text/TextOps.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "text/AsciiCase.h"
#include "text/Cp932.h"

namespace vormla {

namespace {

using cp932::IsLeadByte;

// Compares word with text at a character boundary, ignoring the case of ASCII letters.
bool EqualsIgnoringCaseAt(std::string_view text, size_t at, std::string_view word) {
  return at + word.size() <= text.size() && SjisEqualsIgnoringCase(text.substr(at, word.size()), word);
}

}  // namespace

StringList SplitPageLines(std::string_view bytes) {
  StringList lines;
  const size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  if (bytes.empty()) return lines;
  const char* const begin = bytes.data();
  const char* const stop = begin + bytes.size();
  // The next LF and CR at or after p, each searched again only once p has passed it,
  // so a page that uses only one kind of break is still scanned once.
  auto next = [stop](const char* from, char c) {
    const void* hit = std::memchr(from, c, static_cast<size_t>(stop - from));
    return hit != nullptr ? static_cast<const char*>(hit) : stop;
  };
  const char* p = begin;
  const char* lf = next(p, '\n');
  const char* cr = next(p, '\r');
  while (p < stop) {
    if (lf < p) lf = next(p, '\n');
    if (cr < p) cr = next(p, '\r');
    const char* end = lf < cr ? lf : cr;
    lines.emplace_back(p, static_cast<size_t>(end - p));
    if (end == stop) break;
    if (*end == '\r' && end + 1 < stop && end[1] == '\n') ++end;
    p = end + 1;
  }
  return lines;
}

StringList LoadPageLines(const std::string& fileName) {
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
  if (!file) return {};
  std::string bytes;
  size_t used = 0;
  for (;;) {
    if (bytes.size() - used < 65536) bytes.resize(used + 65536);
    const size_t got = std::fread(bytes.data() + used, 1, bytes.size() - used, file.get());
    used += got;
    if (got == 0) break;
  }
  bytes.resize(used);
  return SplitPageLines(bytes);
}

int FindText(std::string_view sub, std::string_view text) {
  if (sub.empty() || sub.size() > text.size()) return 0;
  size_t i = 0;
  const size_t last = text.size() - sub.size();
  while (i <= last) {
    if (text.compare(i, sub.size(), sub) == 0) return static_cast<int>(i) + 1;
    // Step over a whole double-byte character so a match never begins on its trail byte.
    i += (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  return 0;
}

std::string SliceText(std::string_view text, int index, int count) {
  if (index < 1) index = 1;
  if (count <= 0 || static_cast<size_t>(index) > text.size()) return {};
  return std::string(text.substr(static_cast<size_t>(index) - 1, static_cast<size_t>(count)));
}

std::string TrimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
  return std::string(text.substr(b, e - b));
}

std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText) {
  std::string out;
  if (oldText.empty()) return out.assign(text);
  const char first = LowerAscii(oldText.front());
  size_t copied = 0;  // text before this position is already in out
  size_t i = 0;
  while (i < text.size()) {
    if (LowerAscii(text[i]) == first && EqualsIgnoringCaseAt(text, i, oldText)) {
      out.append(text.substr(copied, i - copied)).append(newText);
      i += oldText.size();
      copied = i;
      continue;
    }
    // Step over whole characters so a match never starts inside a double-byte one.
    i += (IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
  }
  // Most calls find nothing: the text is then copied once, in one piece.
  return copied == 0 ? out.assign(text) : out.append(text.substr(copied));
}

long long ParseIntOr(std::string_view text, long long fallback) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size()) return fallback;
  long long value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return fallback;
    if (value > INT32_MAX) return fallback;  // stop before the product can overflow
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  // The values read are 32-bit integers; anything beyond that range is not a number here.
  if (value > INT32_MAX || value < INT32_MIN) return fallback;
  return value;
}

std::string StripTags(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const size_t open = text.find('<', i);
    if (open == std::string_view::npos) break;
    const size_t close = text.find('>', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(i, open - i));
    i = close + 1;
  }
  out.append(text.substr(i));
  return out;
}

void SplitText(std::string_view text, std::string_view delimiter, StringList& list) {
  size_t c = 0;
  while (c < text.size()) {
    const std::string_view rest = text.substr(c);
    const int p = FindText(delimiter, rest);
    if (p == 0) {
      list.emplace_back(rest);
      return;
    }
    if (p > 1) list.emplace_back(rest.substr(0, static_cast<size_t>(p) - 1));
    c += static_cast<size_t>(p) - 1 + delimiter.size();
  }
}

bool HasMarkerAt(std::string_view text, int from, std::string_view marker) {
  if (from < 1) return false;
  const size_t at = static_cast<size_t>(from) - 1;
  return at + marker.size() <= text.size() && text.compare(at, marker.size(), marker) == 0;
}

}  // namespace vormla
