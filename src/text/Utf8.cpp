#include "text/Utf8.h"

#include <cstddef>

namespace vormla {

bool IsWellFormedUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = p + text.size();
  auto continuation = [](unsigned char c) { return (c & 0xC0) == 0x80; };
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    const std::ptrdiff_t left = end - p;
    if (c >= 0xC2 && c <= 0xDF) {
      if (left < 2 || !continuation(p[1])) return false;
      p += 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      const unsigned char low = c == 0xE0 ? 0xA0 : 0x80;
      const unsigned char high = c == 0xED ? 0x9F : 0xBF;
      if (left < 3 || p[1] < low || p[1] > high || !continuation(p[2])) return false;
      p += 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      const unsigned char low = c == 0xF0 ? 0x90 : 0x80;
      const unsigned char high = c == 0xF4 ? 0x8F : 0xBF;
      if (left < 4 || p[1] < low || p[1] > high || !continuation(p[2]) || !continuation(p[3])) return false;
      p += 4;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace vormla
