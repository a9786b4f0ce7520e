// Small UTF-8 text helpers of the demo market. They mirror what a client does to
// page lines (tags removed, blanks trimmed, three entities decoded), so the market
// can say what each of its lines must become in a CSV row.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vormla::demo {

// Every occurrence of from replaced by to, ASCII letter case ignored, one scan.
std::string ReplaceNoCase(std::string_view text, std::string_view from, std::string_view to);
// Without leading and trailing bytes of value 0x20 or below.
std::string TrimLow(std::string_view text);
// Every "<...>" removed; a "<" without a later ">" stays.
std::string RemoveTags(std::string_view text);
// Trim, remove tags, trim.
std::string CleanText(std::string_view line);
// The ideographic space (U+3000) replaced by a blank.
std::string FullWidthToBlank(std::string_view text);
// "1234567" -> "1,234,567"
std::string WithCommas(long long value);

// splitmix64: the market's only source of variety.
std::uint64_t Mix(std::uint64_t x);
std::uint64_t HashText(std::string_view text);

class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() { return Mix(state_ += 0x9E3779B97F4A7C15ULL); }
  int Below(int n) { return n <= 1 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
  bool OneIn(int n) { return Below(n) == 0; }
  template <class T, std::size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(static_cast<int>(N))];
  }

 private:
  std::uint64_t state_;
};

}  // namespace vormla::demo
