// Code page 932 conversion, checked against every row of Windows' own tables.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "text/Cp932.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

namespace vormla {
namespace {

using namespace std::string_literals;

std::string DataFile(const std::string& name) {
  const char* dir = std::getenv("VORMLA_TEST_DATA");
  return std::string(dir != nullptr ? dir : VORMLA_TEST_DATA_DIR) + "/cp932/" + name;
}

std::string Hex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return bytes;
}

std::string Utf8(unsigned cp) {
  std::string s;
  if (cp < 0x80) {
    s += static_cast<char>(cp);
  } else if (cp < 0x800) {
    s += static_cast<char>(0xC0 | cp >> 6);
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    s += static_cast<char>(0xE0 | cp >> 12);
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | cp >> 18);
    s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    s += static_cast<char>(0x80 | (cp & 0x3F));
  }
  return s;
}

// The rows of a two-column table, header skipped.
std::vector<std::pair<std::string, std::string>> ReadTable(const std::string& name) {
  std::vector<std::pair<std::string, std::string>> rows;
  gzFile file = gzopen(DataFile(name).c_str(), "rb");
  if (file == nullptr) return rows;
  char line[256];
  bool header = true;
  while (gzgets(file, line, sizeof line) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    if (header) {
      header = false;
      continue;
    }
    const size_t tab = text.find('\t');
    if (tab == std::string::npos) continue;
    rows.emplace_back(text.substr(0, tab), text.substr(tab + 1));
  }
  gzclose(file);
  return rows;
}

// Where we deliberately keep a character that Windows writes as "?".
const std::map<unsigned, std::string> kOurRows = {
    {0x301C, "\x81\x60"}, {0x2016, "\x81\x61"}, {0x2212, "\x81\x7C"}, {0x2014, "\x81\x5C"}};

TEST(Cp932TableTest, EncodingAgreesWithWindowsOnEveryRow) {
  const auto rows = ReadTable("windows-encode.tsv.gz");
  ASSERT_EQ(rows.size(), 63488u);
  int mismatches = 0;
  int checked = 0;
  for (const auto& [unicode, code] : rows) {
    const unsigned cp = static_cast<unsigned>(std::stoul(unicode, nullptr, 16));
    if (kOurRows.count(cp) != 0) continue;
    const std::string got = Utf8ToSjis(Utf8(cp));
    ++checked;
    if (got != Hex(code) && ++mismatches <= 20) ADD_FAILURE() << "U+" << unicode << " should give " << code;
  }
  EXPECT_EQ(checked, 63488 - 4);
  EXPECT_EQ(mismatches, 0);
}

TEST(Cp932TableTest, DecodingAgreesWithWindowsOnEveryRow) {
  const auto rows = ReadTable("windows-decode.tsv.gz");
  ASSERT_EQ(rows.size(), 11476u);
  int mismatches = 0;
  for (const auto& [code, unicode] : rows) {
    const std::string expected = Utf8(static_cast<unsigned>(std::stoul(unicode, nullptr, 16)));
    if (SjisToUtf8(Hex(code)) != expected && ++mismatches <= 20) {
      ADD_FAILURE() << code << " should give U+" << unicode;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(Cp932TableTest, CharacterLevelFunctionsMatchTheStrings) {
  EXPECT_EQ(cp932::Encode(u'A'), 0x41);
  EXPECT_EQ(cp932::Encode(u'\u3042'), 0x82A0);  // あ
  EXPECT_EQ(cp932::Encode(u'\uFF71'), 0xB1);    // ｱ
  EXPECT_EQ(cp932::Encode(u'\u0100'), 0x3F);
  EXPECT_EQ(cp932::Decode(0x82A0), u'\u3042');
  EXPECT_EQ(cp932::Decode(0xB1), u'\uFF71');
  EXPECT_EQ(cp932::Decode(0x82), u'\u30FB');    // a lead byte alone
  EXPECT_EQ(cp932::Decode(0x827F), u'\u30FB');  // no trail byte
  EXPECT_EQ(cp932::Decode(0x85A0), u'\u30FB');  // undefined pair
}

TEST(Utf8ToSjisTest, OurFourRowsKeepTheCharacter) {
  for (const auto& [cp, bytes] : kOurRows) EXPECT_EQ(Utf8ToSjis(Utf8(cp)), bytes) << std::hex << cp;
  // Their full-width twins give the same bytes.
  EXPECT_EQ(Utf8ToSjis("\xEF\xBD\x9E"), "\x81\x60");  // U+FF5E
  EXPECT_EQ(Utf8ToSjis("\xEF\xBC\x8D"), "\x81\x7C");  // U+FF0D
  // The overline stays "?", as on Windows.
  EXPECT_EQ(Utf8ToSjis("\xE2\x80\xBE"), "?");
}

TEST(Utf8ToSjisTest, OrdinaryText) {
  EXPECT_EQ(Utf8ToSjis(""), "");
  EXPECT_EQ(Utf8ToSjis("<p class=\"afterPrice\">\xE5\x8D\xB8\xE4\xBE\xA1\xE6\xA0\xBC&nbsp;1,200\xE5\x86\x86</p>"),
            "<p class=\"afterPrice\">\x89\xB5\x89\xBF\x8A\x69&nbsp;1,200\x89\x7E</p>");
  EXPECT_EQ(Utf8ToSjis("a\0b"s), "a\0b"s);
  EXPECT_EQ(Utf8ToSjis("caf\xC3\xA9"), "cafe");  // best fit, as Windows does
  EXPECT_EQ(Utf8ToSjis("\xC2\xAB"), "\x81\xE1");
  EXPECT_EQ(Utf8ToSjis("\xC4\x80"), "?");             // Ā: no best fit
  EXPECT_EQ(Utf8ToSjis("\xEE\x80\x80"), "\xF0\x40");  // first user-defined character
}

TEST(Utf8ToSjisTest, LongAsciiRunsAroundMultiByteCharacters) {
  const std::string ascii(37, 'x');
  EXPECT_EQ(Utf8ToSjis(ascii + "\xE3\x81\x82" + ascii + "\xE3\x81\x82"), ascii + "\x82\xA0" + ascii + "\x82\xA0");
}

// ASCII is copied in eight-byte words: runs that end exactly on a word boundary
// must still hand the next byte to the multi-byte path, in both directions.
TEST(Cp932RoundTripTest, AsciiRunsOfEveryLengthAroundAWordBoundary) {
  for (size_t n = 0; n <= 17; ++n) {
    const std::string ascii(n, 'a');
    const std::string utf8 = ascii + "\xE3\x81\x82" + ascii;  // あ
    const std::string sjis = ascii + "\x82\xA0" + ascii;
    EXPECT_EQ(Utf8ToSjis(utf8), sjis) << n;
    EXPECT_EQ(SjisToUtf8(sjis), utf8) << n;
  }
}

TEST(Utf8ToSjisTest, FourByteCharacterBecomesOneQuestionMark) {
  EXPECT_EQ(Utf8ToSjis("a\xF0\x9F\x98\x80"
                       "b"),
            "a?b");                                // U+1F600
  EXPECT_EQ(Utf8ToSjis("\xF0\x90\x80\x80"), "?");  // U+10000
  EXPECT_EQ(Utf8ToSjis("\xF4\x8F\xBF\xBF"), "?");  // U+10FFFF
  EXPECT_EQ(Utf8ToSjis("\xF0\xA0\x80\x8B\xE3\x81\x82"), "?\x82\xA0");
}

TEST(Utf8ToSjisTest, MalformedInputEmptiesTheWholeText) {
  const std::vector<std::string> malformed = {
      "abc\xE3\x81",   // truncated three-byte character
      "abc\xE3",       // truncated after the first byte
      "\xC3",          // truncated two-byte character
      "\xF0\x9F\x98",  // truncated four-byte character
      "\xE3\x81"
      "abc",  // missing continuation byte
      "\xC3"
      "a",  // missing continuation byte
      "\xF0\x9F\x98"
      "a",  // missing continuation byte
      "ab\x80"
      "cd",                        // stray continuation byte
      "\xBF",                      // stray continuation byte
      "\xC0\xAF",                  // overlong "/"
      "\xC1\xBF",                  // overlong
      "\xE0\x80\xAF",              // overlong "/"
      "\xE0\x9F\xBF",              // overlong U+07FF
      "\xF0\x80\x80\xAF",          // overlong "/"
      "\xF0\x8F\xBF\xBF",          // overlong U+FFFF
      "\xED\xA0\x80",              // encoded surrogate U+D800
      "\xED\xBF\xBF",              // encoded surrogate U+DFFF
      "\xED\xA0\xBD\xED\xB8\x80",  // surrogate pair written as two characters
      "\xF4\x90\x80\x80",          // U+110000
      "\xF5\x80\x80\x80",          // beyond the range
      "\xF8\x88\x80\x80\x80",      // five-byte form
      "\xFE",
      "\xFF",
      "ok\xE3\x81\x82\xE3\x81",  // valid text, then a broken character
  };
  for (const std::string& text : malformed) {
    EXPECT_EQ(Utf8ToSjis(text), "") << ::testing::PrintToString(text);
  }
}

TEST(Utf8ToSjisTest, EdgesOfTheValidRanges) {
  EXPECT_EQ(Utf8ToSjis("\xC2\x80"), "\x80");   // U+0080, the lowest two-byte form
  EXPECT_EQ(Utf8ToSjis("\xE0\xA0\x80"), "?");  // U+0800, the lowest three-byte form
  EXPECT_EQ(Utf8ToSjis("\xED\x9F\xBF"), "?");  // U+D7FF, just below the surrogates
  EXPECT_EQ(Utf8ToSjis("\xEF\xBF\xBF"), "?");  // U+FFFF
  EXPECT_EQ(Utf8ToSjis("\xEF\xBB\xBF"
                       "a"),
            "?a");  // a byte-order mark is a character too
}

TEST(SjisToUtf8Test, Text) {
  EXPECT_EQ(SjisToUtf8(""), "");
  EXPECT_EQ(SjisToUtf8("\x89\xB5\x89\xBF\x8A\x69&nbsp;1,200\x89\x7E"),
            "\xE5\x8D\xB8\xE4\xBE\xA1\xE6\xA0\xBC&nbsp;1,200\xE5\x86\x86");
  EXPECT_EQ(SjisToUtf8("\xB1\x5C"), "\xEF\xBD\xB1\\");  // ｱ then "\"
  EXPECT_EQ(SjisToUtf8("\x83\x5C"), "\xE3\x82\xBD");    // ソ
  EXPECT_EQ(SjisToUtf8("a\0b"s), "a\0b"s);
}

TEST(SjisToUtf8Test, LeadByteWithoutTrailByteKeepsWhatFollows) {
  const std::string dot = "\xE3\x83\xBB";  // U+30FB
  EXPECT_EQ(SjisToUtf8("a\x82"), "a" + dot);
  EXPECT_EQ(SjisToUtf8("\x82\r\n"), dot + "\r\n");
  EXPECT_EQ(SjisToUtf8("\x82<b>"), dot + "<b>");
  EXPECT_EQ(SjisToUtf8("\x82\x7F"), dot + "\x7F");
  EXPECT_EQ(SjisToUtf8("\x82\xFD"), dot + "\xEF\xA3\xB1");  // then 0xFD on its own: U+F8F1
}

TEST(Cp932RoundTripTest, TextSurvivesBothWays) {
  const std::string utf8 =
      "\xE5\x95\x86\xE5\x93\x81\xE5\x90\x8D\xEF\xBC\x9A\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88 ABC-123 "
      "\xEF\xBD\xB1\xEF\xBD\xB2 \xE2\x91\xA0 \xE9\xAB\x99";  // 商品名：テスト ABC-123 ｱｲ ① 髙
  EXPECT_EQ(SjisToUtf8(Utf8ToSjis(utf8)), utf8);
}

// Under ctest each test runs in its own process, so here the tables are built while
// several threads ask for them at once.
TEST(Cp932RoundTripTest, FirstUseFromSeveralThreads) {
  const std::string utf8 = "\xE5\x8D\xB8\xE4\xBE\xA1\xE6\xA0\xBC 1,200\xE5\x86\x86";
  const std::string sjis = "\x89\xB5\x89\xBF\x8A\x69 1,200\x89\x7E";
  std::vector<std::string> there(8), back(8);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < there.size(); ++i) {
    threads.emplace_back([&, i] {
      there[i] = Utf8ToSjis(utf8);
      back[i] = SjisToUtf8(sjis);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t i = 0; i < there.size(); ++i) {
    EXPECT_EQ(there[i], sjis);
    EXPECT_EQ(back[i], utf8);
  }
}

// The last and first code point of every UTF-8 length.
TEST(Utf8OfTest, EachLengthAtItsEdges) {
  const std::pair<char32_t, std::string> cases[] = {
      {U'\0', "\0"s},
      {0x7F, "\x7F"},
      {0x80, "\xC2\x80"},
      {0x7FF, "\xDF\xBF"},
      {0x800, "\xE0\xA0\x80"},
      {0xFFFF, "\xEF\xBF\xBF"},
      {0x10000, "\xF0\x90\x80\x80"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
  };
  for (const auto& [cp, bytes] : cases) EXPECT_EQ(Utf8Of(cp), bytes) << static_cast<unsigned>(cp);
}

}  // namespace
}  // namespace vormla
