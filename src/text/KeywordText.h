// What a search keyword may hold: only characters that code page 932 can write
// (directly or through Windows' best-fit rows), and no control characters.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vormla {

// The first character of a UTF-8 keyword that the keyword may not hold: a control
// character (U+0000 to U+001F, U+007F to U+009F) or one that code page 932 has no
// code for. Nothing when every character fits (or the text is no valid UTF-8,
// which the caller reports on its own).
std::optional<char32_t> RefusedKeywordCharacter(std::string_view utf8);

// Well-formed UTF-8 (no overlong form, no surrogate, nothing past U+10FFFF) that
// holds no control character: a value that fits on one line of a text file.
bool IsPlainUtf8(std::string_view text);

// U+0000 to U+001F and U+007F to U+009F.
bool IsControlCharacter(char32_t codePoint);

// "U+1F600" for a code point.
std::string CodePointName(char32_t codePoint);

}  // namespace vormla
