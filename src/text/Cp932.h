// Code page 932 (Shift-JIS as Windows writes it) at the level of single characters.
//
// Utf8ToSjis and SjisToUtf8 (TextOps.h) are built on these. The mapping is glibc
// iconv's "CP932" with the rows where Windows' converter differs laid over it, plus
// four rows where we keep data that Windows turns into "?":
//   U+301C -> 8160, U+2016 -> 8161, U+2212 -> 817C, U+2014 -> 815C
// (the bytes of their full-width twins). U+203E stays "?" as on Windows.
#pragma once

#include <cstdint>

namespace vormla::cp932 {

// A lead byte starts a double-byte character.
constexpr bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// The bytes that may follow a lead byte. Anything else leaves the lead byte alone.
constexpr bool IsTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFC && c != 0x7F; }

// The code of one BMP code point: below 0x100 a single byte, otherwise lead * 256 + trail.
// 0x3F ("?") when the code page has no such character.
std::uint16_t Encode(char16_t unit);

// The code point of a single byte (below 0x100, not a lead byte) or of a lead/trail
// pair (lead * 256 + trail). Undefined codes give U+30FB.
char16_t Decode(std::uint16_t code);

}  // namespace vormla::cp932
