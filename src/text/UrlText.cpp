#include "text/UrlText.h"

#include "text/AsciiCase.h"

namespace vormla {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

}  // namespace

bool StartsWithLowerCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(text[i]) != prefix[i]) return false;
  }
  return true;
}

bool IsHttpsUrl(std::string_view url) { return StartsWithLowerCase(url, "https://"); }

std::string BrowserUrl(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (const char c : url) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte >= 0x7F) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

void AppendFormEncoded(std::string_view bytes, std::string& out) {
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '!' || c == '$' ||
        c == '\'' || c == '(' || c == ')' || c == '*' || c == '-' || c == '.' || c == '_' || c == '@') {
      out += ch;
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
}

std::string FormEncode(std::string_view bytes) {
  std::string out;
  AppendFormEncoded(bytes, out);
  return out;
}

}  // namespace vormla
