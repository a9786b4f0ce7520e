// Byte-text primitives shared by every page reader.
//
// All text inside the engine is std::string holding Shift-JIS (code page 932)
// bytes. Positions are 1-based byte positions and lengths are byte counts, so the
// readers can cut values out of a line exactly the way the site's markup demands.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vormla {

using StringList = std::vector<std::string>;

// Splits a file's bytes into lines: CR LF, LF and CR each end a line, a last line
// without a break still counts, a break at the very end adds no empty line, and a
// zero byte ends the text. A missing file gives no lines.
StringList LoadPageLines(const std::string& fileName);
// The same rules over bytes already in memory.
StringList SplitPageLines(std::string_view bytes);

// UTF-8 to Shift-JIS as Windows' code page 932 converter does it with default
// flags (see Cp932.h for the few deliberate differences). Malformed UTF-8 gives
// the empty text; a valid four-byte character becomes "?".
std::string Utf8ToSjis(std::string_view utf8);
// Shift-JIS to UTF-8 for display and for file-system paths; undefined bytes
// become U+30FB as on Windows.
std::string SjisToUtf8(std::string_view sjis);

// 1-based position of the first occurrence of sub in text, 0 when absent or when
// sub is empty. A match never starts on the trail byte of a double-byte character.
int FindText(std::string_view sub, std::string_view text);
// Bytes from position index on, at most count of them. index < 1 counts as 1;
// count <= 0 or an index past the end gives the empty text.
std::string SliceText(std::string_view text, int index, int count);
// Without leading and trailing bytes of value 0x20 or below.
std::string TrimBlanks(std::string_view text);
// Every occurrence of oldText replaced by newText, left to right, letter case
// (ASCII) ignored, the inserted text not scanned again.
std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText);
// Decimal integer with optional leading blanks and sign; anything else gives fallback.
long long ParseIntOr(std::string_view text, long long fallback);
// The text with every "<...>" stretch removed; a "<" without a later ">" stays.
std::string StripTags(std::string_view text);
// Appends the non-empty pieces of text between delimiters to list (not cleared).
void SplitText(std::string_view text, std::string_view delimiter, StringList& list);

// True when the trimmed line's bytes from position 'from' (1-based) equal marker.
// Readers test three-byte prefixes this way ("<h3", "th ", ...).
bool HasMarkerAt(std::string_view text, int from, std::string_view marker);

}  // namespace vormla
