// The byte-text primitives over Shift-JIS: positions, slices, replacing, numbers,
// tags and splitting.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "text/AsciiCase.h"
#include "text/TextOps.h"

namespace vormla {
namespace {

// Shift-JIS characters whose trail byte looks like ASCII.
const std::string kSo = "\x83\x5C";     // ソ: trail byte is "\"
const std::string kFullA = "\x82\x60";  // Ａ: trail byte is "`"
const std::string kA = "\x83\x41";      // ア: trail byte is "A"
const std::string kDi = "\x83\x61";     // ヂ: trail byte is "a"
const std::string kComma = "\x81\x41";  // 、
const std::string kHalfKana = "\xB1";   // ｱ: a single byte, no lead byte

TEST(FindTextTest, FindsFirstOccurrenceOneBased) {
  EXPECT_EQ(FindText("b", "abcb"), 2);
  EXPECT_EQ(FindText("abcb", "abcb"), 1);
  EXPECT_EQ(FindText("cb", "abcb"), 3);
  EXPECT_EQ(FindText("x", "abcb"), 0);
  EXPECT_EQ(FindText("abcbb", "abcb"), 0);
}

TEST(FindTextTest, EmptySubOrTextIsNeverFound) {
  EXPECT_EQ(FindText("", "abc"), 0);
  EXPECT_EQ(FindText("", ""), 0);
  EXPECT_EQ(FindText("a", ""), 0);
}

TEST(FindTextTest, NeverMatchesOnATrailByte) {
  EXPECT_EQ(FindText("\\", kSo), 0);
  EXPECT_EQ(FindText("\\", kSo + "\\"), 3);
  EXPECT_EQ(FindText("`", kFullA + "x`"), 4);
  EXPECT_EQ(FindText("A", kA + kA + "A"), 5);
  // A two-byte sub that would fit across a character boundary: "\" + lead byte.
  EXPECT_EQ(FindText("\x5C\x83", kSo + kSo), 0);
  // The same character found whole.
  EXPECT_EQ(FindText(kSo, "ab" + kSo), 3);
}

TEST(FindTextTest, SingleByteKanaIsNotALeadByte) {
  EXPECT_EQ(FindText("\\", kHalfKana + "\\"), 2);
  EXPECT_EQ(FindText(kHalfKana, "ab" + kHalfKana), 3);
}

TEST(FindTextTest, LeadByteAtTheEndIsStillSearched) { EXPECT_EQ(FindText("\x83", "a\x83"), 2); }

TEST(SliceTextTest, Bounds) {
  const std::string text = "abcdefghijklmnopqrstuvwxyz0123";
  ASSERT_EQ(text.size(), 30u);
  EXPECT_EQ(SliceText(text, -17, 48), text);
  EXPECT_EQ(SliceText(text, 0, 3), "abc");
  EXPECT_EQ(SliceText(text, 1, 3), "abc");
  EXPECT_EQ(SliceText(text, 4, 2), "de");
  EXPECT_EQ(SliceText(text, 28, 10), "123");
  EXPECT_EQ(SliceText(text, 30, 1), "3");
  EXPECT_EQ(SliceText(text, 31, 1), "");
  EXPECT_EQ(SliceText(text, INT_MAX, INT_MAX), "");
  EXPECT_EQ(SliceText(text, 5, INT_MAX), text.substr(4));
  EXPECT_EQ(SliceText(text, 1, 0), "");
  EXPECT_EQ(SliceText(text, 1, -3), "");
  EXPECT_EQ(SliceText("", 1, 5), "");
  EXPECT_EQ(SliceText("", -1, 5), "");
}

TEST(TrimBlanksTest, RemovesControlBytesAndBlanksAtBothEnds) {
  EXPECT_EQ(TrimBlanks(" \t\r\n a b \x01\x1F "), "a b");
  EXPECT_EQ(TrimBlanks(" \t "), "");
  EXPECT_EQ(TrimBlanks(""), "");
  // The full-width blank is a character, not a blank byte.
  EXPECT_EQ(TrimBlanks(" \x81\x40x\x81\x40 "), "\x81\x40x\x81\x40");
  EXPECT_EQ(TrimBlanks("\x7F"
                       "a\x7F"),
            "\x7F"
            "a\x7F");
}

TEST(ReplaceAllTest, ReplacesEveryOccurrenceIgnoringAsciiCase) {
  EXPECT_EQ(ReplaceAll("1&nbsp;2&NBSP;3&Nbsp;", "&nbsp;", " "), "1 2 3 ");
  EXPECT_EQ(ReplaceAll("a,b,,c", ",", ""), "abc");
  EXPECT_EQ(ReplaceAll("abc", "x", "y"), "abc");
  EXPECT_EQ(ReplaceAll("", "x", "y"), "");
  EXPECT_EQ(ReplaceAll("abc", "", "y"), "abc");
}

TEST(ReplaceAllTest, SinglePassLeftToRight) {
  EXPECT_EQ(ReplaceAll("aa", "a", "aa"), "aaaa");
  EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
  // The inserted text together with what follows would match again; it is not rescanned.
  EXPECT_EQ(ReplaceAll("xxyy", "xy", "x"), "xxy");
}

TEST(ReplaceAllTest, DoubleByteCharactersAreNotFoldedOrSplit) {
  // ア and ヂ differ only in the case of their trail byte ("A" / "a").
  EXPECT_EQ(ReplaceAll(kA, kDi, "x"), kA);
  EXPECT_EQ(ReplaceAll(kDi + kA, kA, "x"), kDi + "x");
  // A letter that is really a trail byte is not replaced.
  EXPECT_EQ(ReplaceAll(kDi + "a", "A", "-"), kDi + "-");
  EXPECT_EQ(ReplaceAll(kSo + "\\", "\\", "/"), kSo + "/");
}

TEST(ParseIntOrTest, DecimalWithBlanksAndSign) {
  EXPECT_EQ(ParseIntOr("12345", -1), 12345);
  EXPECT_EQ(ParseIntOr("  42", -1), 42);
  EXPECT_EQ(ParseIntOr("-7", 0), -7);
  EXPECT_EQ(ParseIntOr("+7", 0), 7);
  EXPECT_EQ(ParseIntOr("007", 0), 7);
  EXPECT_EQ(ParseIntOr("2147483647", 0), 2147483647LL);
  EXPECT_EQ(ParseIntOr("-2147483648", 0), -2147483648LL);
}

TEST(ParseIntOrTest, AnythingElseGivesTheFallback) {
  EXPECT_EQ(ParseIntOr("12,345", -1), -1);
  EXPECT_EQ(ParseIntOr("", -1), -1);
  EXPECT_EQ(ParseIntOr("   ", -1), -1);
  EXPECT_EQ(ParseIntOr("-", -1), -1);
  EXPECT_EQ(ParseIntOr("12 ", -1), -1);
  EXPECT_EQ(ParseIntOr("1.5", -1), -1);
  EXPECT_EQ(ParseIntOr("0x10", -1), -1);
  EXPECT_EQ(ParseIntOr("- 5", -1), -1);
  EXPECT_EQ(ParseIntOr("\x82\x50\x82\x51", -1), -1);  // full-width digits
  EXPECT_EQ(ParseIntOr("2147483648", -1), -1);
  EXPECT_EQ(ParseIntOr("-2147483649", -1), -1);
  EXPECT_EQ(ParseIntOr("99999999999999999999999", -1), -1);
}

TEST(StripTagsTest, RemovesTagsOnly) {
  EXPECT_EQ(StripTags(""), "");
  EXPECT_EQ(StripTags("<b>bold</b> text"), "bold text");
  EXPECT_EQ(StripTags("a<br>b<br/>c"), "abc");
  EXPECT_EQ(StripTags("<td class=\"x\">"), "");
  EXPECT_EQ(StripTags("  <span> 1 </span>  "), "   1   ");
}

TEST(StripTagsTest, LoneAngleBracketsStay) {
  EXPECT_EQ(StripTags("a < b"), "a < b");
  EXPECT_EQ(StripTags("a > b"), "a > b");
  EXPECT_EQ(StripTags("x<y"), "x<y");
  EXPECT_EQ(StripTags("a>b<c>d"), "a>bd");
  EXPECT_EQ(StripTags("<b>x<"), "x<");
}

TEST(StripTagsTest, TwoOpeningBracketsMakeOneTag) {
  EXPECT_EQ(StripTags("<<b>c"), "c");
  EXPECT_EQ(StripTags("a<x<y>z>b"), "az>b");
}

TEST(StripTagsTest, EntitiesAreKept) {
  // <p class="afterPrice">卸価格&nbsp;1,200円</p> in Shift-JIS.
  const std::string price = "\x89\xB5\x89\xBF\x8A\x69&nbsp;1,200\x89\x7E";
  EXPECT_EQ(StripTags("<p class=\"afterPrice\">" + price + "</p>"), price);
}

StringList Split(std::string_view text, std::string_view delimiter) {
  StringList list;
  SplitText(text, delimiter, list);
  return list;
}

TEST(SplitTextTest, SkipsEmptyPieces) {
  EXPECT_EQ(Split("1,2,3,", ","), (StringList{"1", "2", "3"}));
  EXPECT_EQ(Split(",,a,,b", ","), (StringList{"a", "b"}));
  EXPECT_EQ(Split(",", ","), StringList{});
  EXPECT_EQ(Split("", ","), StringList{});
  EXPECT_EQ(Split("abc", ","), StringList{"abc"});
}

TEST(SplitTextTest, EmptyDelimiterGivesTheWholeText) { EXPECT_EQ(Split("a,b", ""), StringList{"a,b"}); }

TEST(SplitTextTest, MultiByteDelimiterSplitsAtWholeOccurrences) {
  EXPECT_EQ(Split("a::b:::c::", "::"), (StringList{"a", "b", ":c"}));
  EXPECT_EQ(Split("https://host/dir/file.jpg", "/"), (StringList{"https:", "host", "dir", "file.jpg"}));
  // "、" (81 41) must not be found across ャ (83 81) followed by "A".
  EXPECT_EQ(Split("x\x83\x81"
                  "A" +
                      kComma + "y",
                  kComma),
            (StringList{"x\x83\x81"
                        "A",
                        "y"}));
  EXPECT_EQ(Split(kSo + "\\" + kSo, "\\"), (StringList{kSo, kSo}));
}

TEST(SplitTextTest, AppendsWithoutClearing) {
  StringList list{"keep"};
  SplitText("1,2", ",", list);
  EXPECT_EQ(list, (StringList{"keep", "1", "2"}));
}

TEST(HasMarkerAtTest, ComparesAtOneBasedPosition) {
  EXPECT_TRUE(HasMarkerAt("<h3 class", 1, "<h3"));
  EXPECT_TRUE(HasMarkerAt("ab<h3", 3, "<h3"));
  EXPECT_FALSE(HasMarkerAt("ab<h3", 2, "<h3"));
  EXPECT_FALSE(HasMarkerAt("<h", 1, "<h3"));
  EXPECT_FALSE(HasMarkerAt("<h3", 0, "<h3"));
  EXPECT_FALSE(HasMarkerAt("<h3", 3, "<h3"));
}

// Shift-JIS folds only outside a double-byte character; UTF-8 and ASCII fold every
// letter byte, which in Shift-JIS would take ア (83 41) and ヂ (83 61) for one.
TEST(AsciiCaseTest, ShiftJisKeepsTrailBytesAndUtf8FoldsEveryLetter) {
  const struct {
    std::string a, b;
    bool sjisEqual, asciiEqual;
  } cases[] = {
      {"Towel", "tOWEL", true, true},
      {"Towel", "Towels", false, false},
      {"A" + kA + "b", "a" + kA + "B", true, true},
      {kA, kDi, false, true},
      {kSo + "A", kSo + "a", true, true},  // the letter after a whole character folds
      {"x\x83", "X\x83", true, true},      // a lead byte at the end has no trail byte
      {"\xE3\x81\x82"
       "A",
       "\xE3\x81\x82"
       "a",
       false, true},  // あ in UTF-8, then a letter
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    EXPECT_EQ(SjisEqualsIgnoringCase(c.a, c.b), c.sjisEqual);
    EXPECT_EQ(EqualsIgnoringAsciiCase(c.a, c.b), c.asciiEqual);
  }
  EXPECT_EQ(SjisLowerAscii("AB" + kA + "C" + kDi + "x\x83"), "ab" + kA + "c" + kDi + "x\x83");
  EXPECT_EQ(LowerAscii("AB" + kA),
            "ab\x83"
            "a");
}

}  // namespace
}  // namespace vormla
