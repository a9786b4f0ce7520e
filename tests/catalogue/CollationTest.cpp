#include <gtest/gtest.h>

#include <algorithm>

#include "catalogue/CategoryDatabase.h"

namespace vormla {
namespace {

bool Before(const std::string& a, const std::string& b) { return CompareJetText(a, b) < 0; }

void ExpectOrder(const std::vector<std::string>& texts) {
  for (size_t i = 0; i + 1 < texts.size(); ++i) {
    EXPECT_TRUE(Before(texts[i], texts[i + 1])) << texts[i] << " < " << texts[i + 1];
    EXPECT_FALSE(Before(texts[i + 1], texts[i])) << texts[i + 1] << " !< " << texts[i];
  }
}

TEST(JetTextOrder, DigitsCompareCharacterByCharacter) {
  ExpectOrder({"001", "01", "1", "10", "2"});
  ExpectOrder({"01", "02", "08", "1", "10", "2", "9"});
  // For ASCII digits this is plain byte order.
  std::vector<std::string> keys = {"7", "10", "07", "1", "100", "0", "70", "2"};
  std::vector<std::string> bytes = keys;
  std::sort(keys.begin(), keys.end(), Before);
  std::sort(bytes.begin(), bytes.end());
  EXPECT_EQ(keys, bytes);
}

TEST(JetTextOrder, EqualTextsCompareEqual) {
  EXPECT_EQ(CompareJetText("", ""), 0);
  EXPECT_EQ(CompareJetText("10", "10"), 0);
  EXPECT_LT(CompareJetText("", "0"), 0);
  EXPECT_GT(CompareJetText("1", ""), 0);
}

TEST(JetTextOrder, CaseAndWidthOnlyBreakTies) {
  ExpectOrder({"a", "A", "ａ", "b"});
  ExpectOrder({"ab", "AB", "ac"});
  ExpectOrder({"ab", "B"});             // byte order would put "B" first
  ExpectOrder({"1", "１", "2", "２"});  // full-width digits beside ASCII ones
  ExpectOrder({"1a", "１b"});
}

TEST(JetTextOrder, HyphenAndApostropheAreIgnored) {
  ExpectOrder({"coop", "co-op", "cop"});
  ExpectOrder({"its", "it's", "itself"});
}

TEST(JetTextOrder, ClassesComeInOrder) {
  // blank and symbols, digits, Latin letters, kana, kanji
  ExpectOrder({" ", "!", "&", "0", "9", "a", "z", "あ", "ん", "一", "龠"});
  ExpectOrder({"　", "0"});  // the ideographic space is a blank
}

TEST(JetTextOrder, KanaInSyllabaryOrderWithVoicedRightAfterPlain) {
  ExpectOrder({"カ", "ガ", "キ"});
  ExpectOrder({"かき", "がか", "きか"});
  ExpectOrder({"ハ", "バ", "パ", "ヒ"});
  // Hiragana, katakana and half-width katakana are equal at first.
  ExpectOrder({"か", "カ", "ｶ", "き"});
  ExpectOrder({"ｶﾞ", "キ"});
  ExpectOrder({"ガ", "ｶﾞ", "キ"});
  ExpectOrder({"つ", "っ", "づ"});  // small kana sort with their plain twin
  ExpectOrder({"ア", "ン", "ー"});
}

TEST(JetTextOrder, KanjiByCodePoint) {
  ExpectOrder({"一", "丁", "七"});  // U+4E00, U+4E01, U+4E03
  ExpectOrder({"亜", "阿"});        // U+4E9C before U+963F, not by reading
}

}  // namespace
}  // namespace vormla
