// Jet's order of Text values under the "General" sort order, as far as the
// catalogue needs it.
//
// Characters are compared one by one (never as numbers). First by a primary
// weight that ignores letter case, character width, small kana and the
// hiragana/katakana difference; the classes come in the order blanks and
// symbols, digits, Latin letters, other alphabets, kana (syllabary order, a
// voiced kana right after its plain one), then kanji and everything else by
// code point. Hyphen and apostrophe carry no primary weight. Ties are broken by
// accents, then by case, width, small kana and kana type, then by where the
// ignored hyphens and apostrophes stood, and last by code point so that only
// equal texts compare equal.
#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/CategoryDatabase.h"

namespace vormla {

namespace {

constexpr uint32_t kSymbolClass = 0x01000000;
constexpr uint32_t kDigitClass = 0x02000000;
constexpr uint32_t kLatinClass = 0x03000000;
constexpr uint32_t kAlphabetClass = 0x04000000;
constexpr uint32_t kKanaClass = 0x05000000;
constexpr uint32_t kOtherClass = 0x06000000;

std::vector<uint32_t> DecodeUtf8(const std::string& s) {
  std::vector<uint32_t> out;
  out.reserve(s.size());
  size_t i = 0;
  const size_t n = s.size();
  while (i < n) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t extra = 0;
    uint32_t cp = b;
    if (b >= 0x80) {
      if ((b & 0xE0) == 0xC0) {
        extra = 1, cp = b & 0x1F;
      } else if ((b & 0xF0) == 0xE0) {
        extra = 2, cp = b & 0x0F;
      } else if ((b & 0xF8) == 0xF0) {
        extra = 3, cp = b & 0x07;
      } else {
        out.push_back(0xFFFD);
        ++i;
        continue;
      }
    }
    bool ok = i + extra < n;
    for (size_t k = 1; ok && k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (!ok) {
      out.push_back(0xFFFD);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

// Half-width katakana U+FF66..U+FF9D as full-width katakana.
constexpr char16_t kHalfKana[] =
    u"ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン";

// Katakana of the small phonetic extensions U+31F0..U+31FF, as plain katakana.
constexpr char16_t kSmallExtension[] = u"クシストヌハヒフヘホムラリルレロ";

// The voiced (semi = false) or semi-voiced form of a plain katakana, or 0.
uint32_t VoicedKatakana(uint32_t kata, bool semi) {
  if (semi) {
    const bool haRow = kata == 0x30CF || kata == 0x30D2 || kata == 0x30D5 || kata == 0x30D8 || kata == 0x30DB;
    return haRow ? kata + 2 : 0;
  }
  if (kata == 0x30A6) return 0x30F4;                                                     // ウ -> ヴ
  if (kata >= 0x30EF && kata <= 0x30F2) return kata + 8;                                 // ワ ヰ ヱ ヲ -> ヷ..ヺ
  if (kata >= 0x30AB && kata <= 0x30C2) return (kata - 0x30AB) % 2 == 0 ? kata + 1 : 0;  // カ..チ
  if (kata == 0x30C4 || kata == 0x30C6 || kata == 0x30C8) return kata + 1;               // ツ テ ト
  if (kata >= 0x30CF && kata <= 0x30DB) return (kata - 0x30CF) % 3 == 0 ? kata + 1 : 0;  // ハ..ホ
  return 0;
}

// A kana followed by a voicing mark (half-width, spacing or combining) folded
// into the one voiced kana, so that "ｶﾞ" sorts as "ガ".
std::vector<uint32_t> ComposeKana(const std::vector<uint32_t>& in) {
  std::vector<uint32_t> out;
  out.reserve(in.size());
  for (uint32_t cp : in) {
    const bool voiced = cp == 0xFF9E || cp == 0x309B || cp == 0x3099;
    const bool semi = cp == 0xFF9F || cp == 0x309C || cp == 0x309A;
    if ((voiced || semi) && !out.empty()) {
      uint32_t& prev = out.back();
      uint32_t kata = prev;
      bool half = false;
      if (prev >= 0x3041 && prev <= 0x3096) kata = prev + 0x60;
      if (prev >= 0xFF66 && prev <= 0xFF9D) kata = kHalfKana[prev - 0xFF66], half = true;
      const uint32_t composed = VoicedKatakana(kata, semi);
      if (composed != 0) {
        const bool hira = prev >= 0x3041 && prev <= 0x3096;
        if (hira && composed >= 0x30F7) {
          // no hiragana form: keep the mark
        } else {
          prev = hira ? composed - 0x60 : composed;
          if (half) prev |= 0x80000000u;  // remember the half width for the tie
          continue;
        }
      }
    }
    out.push_back(cp);
  }
  return out;
}

struct Weight {
  uint32_t primary = 0;  // 0: ignorable
  uint32_t accent = 0;
  uint32_t variant = 0;  // case, width, small kana, kana type
};

uint32_t LatinBase(uint32_t cp, uint32_t& accent) {
  // Latin-1 letters with accents sort with their base letter.
  static const char kBase[] = "aaaaaaaceeeeiiiidnooooo/ouuuuytsaaaaaaaceeeeiiiidnooooo/ouuuuyty";
  if (cp >= 0xC0 && cp <= 0xFF && cp != 0xD7 && cp != 0xF7) {
    accent = cp;
    return static_cast<uint32_t>(kBase[cp - 0xC0]);
  }
  return 0;
}

bool IsSmallHira(uint32_t hira) {
  switch (hira) {
    case 0x3041:
    case 0x3043:
    case 0x3045:
    case 0x3047:
    case 0x3049:
    case 0x3063:
    case 0x3083:
    case 0x3085:
    case 0x3087:
    case 0x308E:
    case 0x3095:
    case 0x3096:
      return true;
    default:
      return false;
  }
}

uint32_t KanaPrimary(uint32_t hira) {
  switch (hira) {
    case 0x3095:
      return 0x304B * 4;  // small ka
    case 0x3096:
      return 0x3051 * 4;  // small ke
    case 0x3094:
      return 0x3046 * 4 + 1;  // vu, right after u
    default:
      // Other small kana sort with their plain twins, which follow them.
      return IsSmallHira(hira) ? (hira + 1) * 4 : hira * 4;
  }
}

// Full-width ASCII and the ideographic space fold onto ASCII, and a kana that
// was composed from half-width parts loses its mark; the variant remembers both.
uint32_t FoldWidth(uint32_t cp, Weight& w) {
  if (cp & 0x80000000u) {
    cp &= 0x7FFFFFFFu;
    w.variant |= 8;
  }
  if (cp >= 0xFF01 && cp <= 0xFF5E) {
    cp -= 0xFEE0;
    w.variant |= 4;
  } else if (cp == 0x3000) {
    cp = 0x20;
    w.variant |= 4;
  }
  return cp;
}

// Digits, then Latin letters with the accented ones of Latin-1 beside their
// base letter, lower case first. False for any other character.
bool LatinWeight(uint32_t cp, Weight& w) {
  if (cp >= '0' && cp <= '9') {
    w.primary = kDigitClass + (cp - '0');
    return true;
  }
  if ((cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z')) {
    if (cp <= 'Z') w.variant |= 1;
    w.primary = kLatinClass + ((cp | 0x20) - 'a');
    return true;
  }
  if (cp >= 0xC0 && cp <= 0xFF && cp != 0xD7 && cp != 0xF7) {
    uint32_t accent = 0;
    const uint32_t base = LatinBase(cp, accent);
    w.accent = accent;
    if (cp < 0xDF) w.variant |= 1;
    w.primary = kLatinClass + (base - 'a');
    return true;
  }
  return false;
}

// Blanks, punctuation and symbols (the letters and digits among them taken
// already), the voicing marks standing alone among them.
bool IsSymbol(uint32_t cp) {
  return cp < 0x80 || (cp >= 0x80 && cp < 0xC0) || cp == 0xD7 || cp == 0xF7 || (cp >= 0x2000 && cp <= 0x2BFF) ||
         (cp >= 0x3001 && cp <= 0x303F) || cp == 0x30FB || (cp >= 0xFF61 && cp <= 0xFF65) ||
         (cp >= 0xFFE0 && cp <= 0xFFEE) || cp == 0x309B || cp == 0x309C || cp == 0xFF9E || cp == 0xFF9F;
}

// A symbol's weight: half-width Japanese punctuation sorts with its full-width form.
void SymbolWeight(uint32_t cp, Weight& w) {
  uint32_t folded = cp;
  if (cp == 0xFF65) folded = 0x30FB, w.variant |= 8;
  if (cp == 0xFF61) folded = 0x3002, w.variant |= 8;
  if (cp == 0xFF62) folded = 0x300C, w.variant |= 8;
  if (cp == 0xFF63) folded = 0x300D, w.variant |= 8;
  if (cp == 0xFF64) folded = 0x3001, w.variant |= 8;
  w.primary = kSymbolClass + folded;
}

// Kana: katakana, half-width katakana and hiragana meet on the hiragana weight;
// the prolonged sound and iteration marks follow all kana. False for any other
// character.
bool KanaWeight(uint32_t cp, Weight& w) {
  uint32_t hira = 0;
  if (cp >= 0x3041 && cp <= 0x3096) {
    hira = cp;
  } else if (cp >= 0x30A1 && cp <= 0x30F6) {
    hira = cp - 0x60;
    w.variant |= 16;
  } else if (cp >= 0xFF66 && cp <= 0xFF9D) {
    const uint32_t kata = kHalfKana[cp - 0xFF66];
    w.variant |= 16 | 8;
    if (kata == 0x30FC) {
      w.primary = kKanaClass + 0x3097 * 4;
      return true;
    }
    hira = kata - 0x60;
  } else if (cp >= 0x31F0 && cp <= 0x31FF) {
    hira = static_cast<uint32_t>(kSmallExtension[cp - 0x31F0]) - 0x60;
    w.variant |= 16 | 2;
  } else if (cp >= 0x30F7 && cp <= 0x30FA) {
    // ヷ ヸ ヹ ヺ: the voiced forms of ワ ヰ ヱ ヲ.
    static const uint32_t kBase[] = {0x308F, 0x3090, 0x3091, 0x3092};
    w.variant |= 16;
    w.primary = kKanaClass + kBase[cp - 0x30F7] * 4 + 1;
    return true;
  } else if (cp == 0x30FC || cp == 0x309D || cp == 0x309E || cp == 0x30FD || cp == 0x30FE) {
    w.primary = kKanaClass + 0x3097 * 4 + (cp & 0xF);
    return true;
  } else {
    return false;
  }
  if (IsSmallHira(hira)) w.variant |= 2;
  w.primary = kKanaClass + KanaPrimary(hira);
  return true;
}

Weight WeightOf(uint32_t cp) {
  Weight w;
  cp = FoldWidth(cp, w);
  if (cp == '-' || cp == '\'') return w;  // no primary weight
  if (LatinWeight(cp, w)) return w;
  if (IsSymbol(cp)) {
    SymbolWeight(cp, w);
    return w;
  }
  if (KanaWeight(cp, w)) return w;
  w.primary = (cp < 0x3040 ? kAlphabetClass : kOtherClass) + cp;
  return w;
}

struct Key {
  std::vector<Weight> weights;      // without the ignorable characters
  std::vector<uint32_t> ignorable;  // position in weights where each ignorable stood
  std::vector<uint32_t> points;
};

Key MakeKey(const std::string& text) {
  Key k;
  k.points = DecodeUtf8(text);
  for (uint32_t cp : ComposeKana(k.points)) {
    Weight w = WeightOf(cp);
    if (w.primary == 0)
      k.ignorable.push_back(static_cast<uint32_t>(k.weights.size()));
    else
      k.weights.push_back(w);
  }
  return k;
}

template <typename Get>
int CompareLevel(const std::vector<Weight>& a, const std::vector<Weight>& b, Get get) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const uint32_t x = get(a[i]);
    const uint32_t y = get(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

template <typename T>
int CompareSeq(const std::vector<T>& a, const std::vector<T>& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return 0;
}

}  // namespace

int CompareJetText(const std::string& a, const std::string& b) {
  if (a == b) return 0;
  const Key x = MakeKey(a);
  const Key y = MakeKey(b);
  if (int c = CompareLevel(x.weights, y.weights, [](const Weight& w) { return w.primary; })) return c;
  if (int c = CompareLevel(x.weights, y.weights, [](const Weight& w) { return w.accent; })) return c;
  if (int c = CompareLevel(x.weights, y.weights, [](const Weight& w) { return w.variant; })) return c;
  // "coop" < "co-op": the text without the ignored character comes first.
  if (x.ignorable.size() != y.ignorable.size()) return x.ignorable.size() < y.ignorable.size() ? -1 : 1;
  if (int c = CompareSeq(x.ignorable, y.ignorable)) return -c;
  return CompareSeq(x.points, y.points);
}

}  // namespace vormla
