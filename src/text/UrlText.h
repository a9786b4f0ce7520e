// URLs as the engine fetches them.
#pragma once

#include <string>
#include <string_view>

namespace vormla {

// True when text starts with prefix, ASCII letters of text compared without
// their case (prefix is written in lower case).
bool StartsWithLowerCase(std::string_view text, std::string_view prefix);

// True when the URL starts with "https://" (letter case ignored): the only scheme
// the engine fetches.
bool IsHttpsUrl(std::string_view url);

// The URL as a browser sends it: a blank, a control byte or a byte above 0x7E
// becomes %XX (upper-case hex); every other byte, "%" included, stays.
std::string BrowserUrl(std::string_view url);

// Form encoding as the site's forms send a value: A-Z a-z 0-9 and ! $ ' ( ) * - .
// _ @ stay, a blank becomes "+", every other byte "%XX" (upper-case hex).
std::string FormEncode(std::string_view bytes);
// The same, appended to out (which grows by at most three bytes per byte).
void AppendFormEncoded(std::string_view bytes, std::string& out);

}  // namespace vormla
