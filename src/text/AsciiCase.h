// Letter case of ASCII letters only, in byte text of either encoding: no other
// byte is ever folded, so a multi-byte character is never taken for letters.
#pragma once

#include <string>
#include <string_view>

namespace vormla {

constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
// The text with its ASCII letters lowered.
std::string LowerAscii(std::string_view text);

// The same for Shift-JIS text, the trail byte of a double-byte character kept
// as it is (0x83 0x41 is ア, not "A").
std::string SjisLowerAscii(std::string_view text);

// Byte for byte equal but for the case of ASCII letters. Right for UTF-8, which
// never puts an ASCII byte inside a character.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);
// The same for Shift-JIS text: the trail byte of a double-byte character is
// compared exactly, since 0x83 0x41 (ア) and 0x83 0x61 (ヂ) are two characters,
// not one letter in two cases.
bool SjisEqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vormla
