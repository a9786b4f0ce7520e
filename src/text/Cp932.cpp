// Code page 932 conversion.
//
// glibc's iconv knows code page 932 but stops at the first character it cannot map,
// and it disagrees with Windows on a few rows. So iconv is asked once per character
// to fill two lookup tables, the rows below are laid over them, and the conversion
// loops here run over the tables alone.
#include "text/Cp932.h"

#include <iconv.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "text/TextOps.h"
#include "text/Utf8.h"

namespace vormla {

namespace cp932 {

namespace {

struct Row {
  char16_t unicode;
  std::uint16_t code;
};

// Encoding rows where our result differs from iconv "CP932".
constexpr Row kEncodeRows[] = {
    // Windows maps these and iconv refuses them: best-fit rows (Latin-1 signs and
    // accented letters to their nearest ASCII or full-width form, hiragana vu) and
    // the round-trip rows for the bytes 0x80, 0xA0, 0xFD-0xFF.
    {0x0080, 0x80},
    {0x00A1, 0x21},
    {0x00A6, 0x7C},
    {0x00A9, 0x63},
    {0x00AA, 0x61},
    {0x00AB, 0x81E1},
    {0x00AD, 0x2D},
    {0x00AE, 0x52},
    {0x00AF, 0x8150},
    {0x00B2, 0x32},
    {0x00B3, 0x33},
    {0x00B5, 0x83CA},
    {0x00B7, 0x8145},
    {0x00B8, 0x8143},
    {0x00B9, 0x31},
    {0x00BA, 0x6F},
    {0x00BB, 0x81E2},
    {0x00C0, 0x41},
    {0x00C1, 0x41},
    {0x00C2, 0x41},
    {0x00C3, 0x41},
    {0x00C4, 0x41},
    {0x00C5, 0x41},
    {0x00C6, 0x41},
    {0x00C7, 0x43},
    {0x00C8, 0x45},
    {0x00C9, 0x45},
    {0x00CA, 0x45},
    {0x00CB, 0x45},
    {0x00CC, 0x49},
    {0x00CD, 0x49},
    {0x00CE, 0x49},
    {0x00CF, 0x49},
    {0x00D0, 0x44},
    {0x00D1, 0x4E},
    {0x00D2, 0x4F},
    {0x00D3, 0x4F},
    {0x00D4, 0x4F},
    {0x00D5, 0x4F},
    {0x00D6, 0x4F},
    {0x00D8, 0x4F},
    {0x00D9, 0x55},
    {0x00DA, 0x55},
    {0x00DB, 0x55},
    {0x00DC, 0x55},
    {0x00DD, 0x59},
    {0x00DE, 0x54},
    {0x00DF, 0x73},
    {0x00E0, 0x61},
    {0x00E1, 0x61},
    {0x00E2, 0x61},
    {0x00E3, 0x61},
    {0x00E4, 0x61},
    {0x00E5, 0x61},
    {0x00E6, 0x61},
    {0x00E7, 0x63},
    {0x00E8, 0x65},
    {0x00E9, 0x65},
    {0x00EA, 0x65},
    {0x00EB, 0x65},
    {0x00EC, 0x69},
    {0x00ED, 0x69},
    {0x00EE, 0x69},
    {0x00EF, 0x69},
    {0x00F0, 0x64},
    {0x00F1, 0x6E},
    {0x00F2, 0x6F},
    {0x00F3, 0x6F},
    {0x00F4, 0x6F},
    {0x00F5, 0x6F},
    {0x00F6, 0x6F},
    {0x00F8, 0x6F},
    {0x00F9, 0x75},
    {0x00FA, 0x75},
    {0x00FB, 0x75},
    {0x00FC, 0x75},
    {0x00FD, 0x79},
    {0x00FE, 0x74},
    {0x00FF, 0x79},
    {0x3094, 0x8394},
    {0xF8F0, 0xA0},
    {0xF8F1, 0xFD},
    {0xF8F2, 0xFE},
    {0xF8F3, 0xFF},
    // iconv writes a tilde; Windows has no overline and writes "?".
    {0x203E, 0x3F},
    // Windows writes "?" for these; we keep them as their full-width twins (iconv
    // agrees today, the rows make sure it stays so).
    {0x2014, 0x815C},
    {0x2016, 0x8161},
    {0x2212, 0x817C},
    {0x301C, 0x8160},
};

// Decoding rows where Windows differs from iconv, which refuses these bytes.
constexpr Row kDecodeRows[] = {
    {0x0080, 0x80}, {0xF8F0, 0xA0}, {0xF8F1, 0xFD}, {0xF8F2, 0xFE}, {0xF8F3, 0xFF},
};

constexpr char16_t kUndefined = 0x30FB;  // what Windows gives for bytes it cannot decode
constexpr std::uint16_t kQuestionMark = 0x3F;

int LeadIndex(unsigned char lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31; }

// One conversion through iconv; false when iconv refuses it.
bool IconvOne(iconv_t cd, const unsigned char* in, std::size_t inLength, unsigned char* out, std::size_t& outLength) {
  char* inPtr = const_cast<char*>(reinterpret_cast<const char*>(in));
  char* outPtr = reinterpret_cast<char*>(out);
  std::size_t inLeft = inLength;
  std::size_t outLeft = outLength;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || inLeft != 0) return false;
  outLength -= outLeft;
  return true;
}

struct Tables {
  std::uint16_t encode[0x10000];
  char16_t single[256];
  // Indexed by lead byte and trail byte; 0 where the second byte is no trail byte.
  char16_t pair[60][256];

  Tables() {
    FillEncode();
    FillDecode();
  }

  void FillEncode() {
    for (unsigned cp = 0; cp < 0x10000; ++cp) encode[cp] = cp < 0x80 ? static_cast<std::uint16_t>(cp) : kQuestionMark;
    iconv_t cd = iconv_open("CP932", "UTF-16LE");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      for (unsigned cp = 0x80; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp < 0xE000) continue;
        const unsigned char in[2] = {static_cast<unsigned char>(cp & 0xFF), static_cast<unsigned char>(cp >> 8)};
        unsigned char out[4];
        std::size_t length = sizeof out;
        if (!IconvOne(cd, in, sizeof in, out, length)) continue;
        if (length == 1) encode[cp] = out[0];
        if (length == 2) encode[cp] = static_cast<std::uint16_t>(out[0] << 8 | out[1]);
      }
      iconv_close(cd);
    }
    for (const Row& row : kEncodeRows) encode[row.unicode] = row.code;
  }

  void FillDecode() {
    for (unsigned b = 0; b < 256; ++b) single[b] = b < 0x80 ? static_cast<char16_t>(b) : kUndefined;
    for (auto& row : pair) {
      for (unsigned t = 0; t < 256; ++t) row[t] = IsTrailByte(static_cast<unsigned char>(t)) ? kUndefined : 0;
    }
    iconv_t cd = iconv_open("UTF-16LE", "CP932");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
      auto decode = [cd](const unsigned char* in, std::size_t length, char16_t& unit) {
        unsigned char out[8];
        std::size_t outLength = sizeof out;
        if (!IconvOne(cd, in, length, out, outLength) || outLength != 2) return;
        unit = static_cast<char16_t>(out[0] | out[1] << 8);
      };
      for (unsigned b = 0x80; b < 256; ++b) {
        const unsigned char byte = static_cast<unsigned char>(b);
        if (IsLeadByte(byte)) {
          for (unsigned t = 0x40; t < 256; ++t) {
            const unsigned char in[2] = {byte, static_cast<unsigned char>(t)};
            if (IsTrailByte(in[1])) decode(in, 2, pair[LeadIndex(byte)][t]);
          }
        } else {
          decode(&byte, 1, single[b]);
        }
      }
      iconv_close(cd);
    }
    for (const Row& row : kDecodeRows) {
      if (row.code < 0x100) {
        single[row.code] = row.unicode;
      } else {
        pair[LeadIndex(static_cast<unsigned char>(row.code >> 8))][row.code & 0xFF] = row.unicode;
      }
    }
  }
};

// Built on first use; the static's initialisation is thread-safe.
const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

inline bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Copies the run of ASCII bytes at p (the caller saw one there), eight at a time where it can,
// and moves both pointers past it. ASCII is the same in both encodings.
inline void CopyAscii(const unsigned char*& p, const unsigned char* end, char*& o) {
  while (end - p >= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    if (word & 0x8080808080808080ULL) break;
    std::memcpy(o, &word, 8);
    p += 8;
    o += 8;
  }
  while (p < end && *p < 0x80) *o++ = static_cast<char>(*p++);
}

}  // namespace

std::uint16_t Encode(char16_t unit) { return GetTables().encode[unit]; }

char16_t Decode(std::uint16_t code) {
  const Tables& t = GetTables();
  if (code < 0x100) return IsLeadByte(static_cast<unsigned char>(code)) ? kUndefined : t.single[code];
  const auto lead = static_cast<unsigned char>(code >> 8);
  const auto trail = static_cast<unsigned char>(code & 0xFF);
  if (!IsLeadByte(lead) || !IsTrailByte(trail)) return kUndefined;
  return t.pair[LeadIndex(lead)][trail];
}

}  // namespace cp932

std::string Utf8ToSjis(std::string_view utf8) {
  const cp932::Tables& t = cp932::GetTables();
  // No character takes more bytes in Shift-JIS than in UTF-8.
  std::string out(utf8.size(), '\0');
  char* o = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto* const end = p + utf8.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      cp932::CopyAscii(p, end, o);
      continue;
    }
    const std::ptrdiff_t left = end - p;
    unsigned cp;
    if (c >= 0xC2 && c <= 0xDF) {
      if (left < 2 || !cp932::IsContinuation(p[1])) return {};
      cp = (c & 0x1Fu) << 6 | (p[1] & 0x3Fu);
      p += 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      // E0 needs A0..BF next (no overlong form), ED needs 80..9F (no surrogate).
      const unsigned char low = c == 0xE0 ? 0xA0 : 0x80;
      const unsigned char high = c == 0xED ? 0x9F : 0xBF;
      if (left < 3 || p[1] < low || p[1] > high || !cp932::IsContinuation(p[2])) return {};
      cp = (c & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu);
      p += 3;
    } else if (c >= 0xF0 && c <= 0xF4) {
      // F0 needs 90..BF next (no overlong form), F4 needs 80..8F (nothing past U+10FFFF).
      const unsigned char low = c == 0xF0 ? 0x90 : 0x80;
      const unsigned char high = c == 0xF4 ? 0x8F : 0xBF;
      if (left < 4 || p[1] < low || p[1] > high || !cp932::IsContinuation(p[2]) || !cp932::IsContinuation(p[3])) {
        return {};
      }
      // Beyond the code page's reach: one substitute for the whole character.
      *o++ = '?';
      p += 4;
      continue;
    } else {
      return {};  // a stray continuation byte, C0/C1 (overlong) or F5..FF
    }
    const std::uint16_t code = t.encode[cp];
    if (code < 0x100) {
      *o++ = static_cast<char>(code);
    } else {
      *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code & 0xFF);
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

std::string SjisToUtf8(std::string_view sjis) {
  const cp932::Tables& t = cp932::GetTables();
  // One byte becomes at most three (half-width katakana), two bytes at most three.
  std::string out(sjis.size() * 3, '\0');
  char* o = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(sjis.data());
  const auto* const end = p + sjis.size();
  while (p < end) {
    const unsigned char c = *p;
    if (c < 0x80) {
      cp932::CopyAscii(p, end, o);
      continue;
    }
    char16_t unit;
    if (cp932::IsLeadByte(c)) {
      // A lead byte without a proper trail byte is undefined on its own; the next
      // byte is then read for itself, so a line break or a marker after it survives.
      const char16_t paired = end - p >= 2 ? t.pair[cp932::LeadIndex(c)][p[1]] : 0;
      if (paired != 0) {
        unit = paired;
        p += 2;
      } else {
        unit = cp932::kUndefined;
        ++p;
      }
    } else {
      unit = t.single[c];
      ++p;
    }
    o = PutUtf8(o, unit);
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

}  // namespace vormla
