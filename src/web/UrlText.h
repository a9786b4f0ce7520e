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

}  // namespace vormla
