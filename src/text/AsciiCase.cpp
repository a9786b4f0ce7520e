#include "text/AsciiCase.h"

#include "text/Cp932.h"

namespace vormla {

std::string LowerAscii(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = LowerAscii(c);
  return lowered;
}

std::string SjisLowerAscii(std::string_view text) {
  std::string lowered(text);
  bool trail = false;
  for (char& c : lowered) {
    if (!trail) c = LowerAscii(c);
    trail = !trail && cp932::IsLeadByte(static_cast<unsigned char>(c));
  }
  return lowered;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool SjisEqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  bool trail = false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (trail ? a[i] != b[i] : LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    trail = !trail && cp932::IsLeadByte(static_cast<unsigned char>(a[i]));
  }
  return true;
}

}  // namespace vormla
