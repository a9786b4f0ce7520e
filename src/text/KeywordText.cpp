#include "text/KeywordText.h"

#include <cstdio>

#include "text/Cp932.h"

namespace vormla {

namespace {

// Code page 932 writes the character as something other than the substitute "?".
bool Fits(char32_t cp) {
  if (cp == U'?') return true;
  if (cp > 0xFFFF || (cp >= 0xD800 && cp < 0xE000)) return false;
  return cp932::Encode(static_cast<char16_t>(cp)) != 0x3F;
}

// Decodes one UTF-8 character at text[i]; false for a malformed sequence.
bool NextCodePoint(std::string_view text, size_t& i, char32_t& cp) {
  const auto b = static_cast<unsigned char>(text[i]);
  size_t length;
  if (b < 0x80) {
    cp = b;
    length = 1;
  } else if (b >= 0xC2 && b <= 0xDF) {
    cp = b & 0x1Fu;
    length = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    cp = b & 0x0Fu;
    length = 3;
  } else if (b >= 0xF0 && b <= 0xF4) {
    cp = b & 0x07u;
    length = 4;
  } else {
    return false;
  }
  if (i + length > text.size()) return false;
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(text[i + k]);
    if ((c & 0xC0) != 0x80) return false;
    cp = cp << 6 | (c & 0x3Fu);
  }
  i += length;
  return true;
}

}  // namespace

std::optional<char32_t> RefusedKeywordCharacter(std::string_view utf8) {
  size_t i = 0;
  char32_t cp = 0;
  while (i < utf8.size()) {
    if (!NextCodePoint(utf8, i, cp)) return std::nullopt;
    if (IsControlCharacter(cp) || !Fits(cp)) return cp;
  }
  return std::nullopt;
}

bool IsPlainUtf8(std::string_view text) {
  size_t i = 0;
  char32_t cp = 0;
  while (i < text.size()) {
    const size_t start = i;
    if (!NextCodePoint(text, i, cp)) return false;
    const size_t length = i - start;
    const bool shortest =
        length == 1 || (length == 2 && cp >= 0x80) || (length == 3 && cp >= 0x800) || (length == 4 && cp >= 0x10000);
    if (!shortest || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000) || IsControlCharacter(cp)) return false;
  }
  return true;
}

bool IsControlCharacter(char32_t codePoint) { return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F); }

std::string CodePointName(char32_t codePoint) {
  char name[16];
  std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codePoint));
  return name;
}

}  // namespace vormla
