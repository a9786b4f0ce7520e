#include "engine/PictureNames.h"

#include <string_view>

#include "text/TextOps.h"

namespace vormla {

bool HasControlByte(const std::string& name) {
  for (const char c : name)
    if (static_cast<unsigned char>(c) < 0x20) return true;
  return false;
}

bool IsSafeFolderName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos &&
         !HasControlByte(name);
}

bool IsSafeFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('\\') == std::string::npos &&
         name.find('/') == std::string::npos;
}

std::string PictureFileName(const std::string& url) {
  StringList pieces;
  SplitText(std::string_view(url).substr(0, url.find_first_of("?#")), "/", pieces);
  return pieces.empty() ? std::string() : pieces.back();
}

}  // namespace vormla
