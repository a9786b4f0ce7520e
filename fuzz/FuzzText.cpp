// Arbitrary page bytes through what every reader does with a page: lines, the
// conversion to Shift-JIS, tags removed, and the conversion back for display.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "text/TextOps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const std::string& line : vormla::SplitPageLines(bytes)) {
    if (line.find_first_of("\r\n") != std::string::npos) std::abort();
    const std::string sjis = vormla::Utf8ToSjis(line);
    if (sjis.size() > line.size()) std::abort();
    const std::string text = vormla::StripTags(sjis);
    if (text.size() > sjis.size()) std::abort();
    const std::string trimmed = vormla::TrimBlanks(text);
    const std::string utf8 = vormla::SjisToUtf8(trimmed);
    // What we write back decodes again: valid UTF-8 of the BMP never empties.
    if (!utf8.empty() && vormla::Utf8ToSjis(utf8).empty()) std::abort();
    vormla::FindText("<", text);
    vormla::ReplaceAll(text, "&nbsp;", " ");
  }
  // The raw bytes as Shift-JIS too: any byte sequence decodes.
  vormla::SjisToUtf8(bytes);
  return 0;
}
