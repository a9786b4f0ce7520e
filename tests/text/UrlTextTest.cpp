// Fetch addresses as a browser sends them, and the keyword's characters.
#include <gtest/gtest.h>

#include "text/KeywordText.h"
#include "text/UrlText.h"

namespace vormla {
namespace {

TEST(BrowserUrlTest, BlanksControlsAndBytesAbove7EArePercentEncoded) {
  EXPECT_EQ(BrowserUrl("https://h/shop/1/a b"), "https://h/shop/1/a%20b");
  EXPECT_EQ(BrowserUrl(std::string("x\x01\x1f\x7f\x80\xff", 6)), "x%01%1F%7F%80%FF");
  EXPECT_EQ(BrowserUrl("https://h/写"), "https://h/%E5%86%99");
  // Everything else stays, an existing escape and the query included.
  const std::string kept = "https://h:8443/a/b?c=%2F&d=~!*'();:@&=+$,/?#[]";
  EXPECT_EQ(BrowserUrl(kept), kept);
  EXPECT_EQ(BrowserUrl(""), "");
}

TEST(BrowserUrlTest, OnlyHttpsIsFetched) {
  EXPECT_TRUE(IsHttpsUrl("https://www.vormla.jp/shop/1"));
  EXPECT_TRUE(IsHttpsUrl("HTTPS://WWW.VORMLA.JP/"));
  for (const char* url : {"http://www.vormla.jp/", "file:///etc/passwd", "ftp://x/", "//www.vormla.jp/", "/shop/1",
                          "https:/x", "https:x", "", " https://x/"}) {
    EXPECT_FALSE(IsHttpsUrl(url)) << url;
  }
}

TEST(KeywordCharacterTest, WhatCodePage932CannotWriteOrAControlIsRefused) {
  EXPECT_FALSE(RefusedKeywordCharacter("タオル 綿 100% ?~"));
  // Best-fit rows count as fitting: Windows writes them as a near character.
  EXPECT_FALSE(RefusedKeywordCharacter("café «x»"));
  EXPECT_EQ(RefusedKeywordCharacter("a😀b"), U'\U0001F600');
  EXPECT_EQ(RefusedKeywordCharacter("x\x01"), U'\x01');
  EXPECT_EQ(RefusedKeywordCharacter("tab\there"), U'\t');
  EXPECT_EQ(RefusedKeywordCharacter("\x7f"), U'\x7f');
  EXPECT_EQ(RefusedKeywordCharacter("\xc2\x80"), U'\x80');  // a C1 control, though the code page has a byte for it
  EXPECT_EQ(RefusedKeywordCharacter("한국"), U'한');        // Hangul: no code
  EXPECT_EQ(RefusedKeywordCharacter("‾"), U'\u203E');       // Windows writes "?" for the overline
  EXPECT_FALSE(RefusedKeywordCharacter("\xe3\x81"));        // not UTF-8: reported elsewhere
  EXPECT_EQ(CodePointName(U'\U0001F600'), "U+1F600");
  EXPECT_EQ(CodePointName(U'\x01'), "U+0001");
}

}  // namespace
}  // namespace vormla
