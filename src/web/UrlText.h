// URLs as the engine fetches them.
#pragma once

#include <string>
#include <string_view>

namespace vormla {

// True when the URL starts with "https://" (letter case ignored): the only scheme
// the engine fetches.
bool IsHttpsUrl(std::string_view url);

// The URL as a browser sends it: a blank, a control byte or a byte above 0x7E
// becomes %XX (upper-case hex); every other byte, "%" included, stays.
std::string BrowserUrl(std::string_view url);

}  // namespace vormla
