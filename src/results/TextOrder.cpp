#include "results/TextOrder.h"

#include <algorithm>

#include "text/AsciiCase.h"

namespace vormla::results {

namespace {

constexpr std::string_view kYen = "円";
constexpr std::string_view kOpenPrice = "オープン価格";
constexpr std::string_view kHidden = "卸価格は非公開";
constexpr int kMaxDigits = 15;  // far beyond any price, well within long long

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Compares the digit runs starting at a[i] and b[j] by value and moves past them.
int CompareDigitRuns(std::string_view a, size_t& i, std::string_view b, size_t& j) {
  while (i < a.size() && a[i] == '0') ++i;
  while (j < b.size() && b[j] == '0') ++j;
  const size_t si = i, sj = j;
  while (i < a.size() && IsDigit(a[i])) ++i;
  while (j < b.size() && IsDigit(b[j])) ++j;
  if (i - si != j - sj) return i - si < j - sj ? -1 : 1;
  const int c = a.substr(si, i - si).compare(b.substr(sj, j - sj));
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace

std::optional<long long> YenOf(std::string_view text) {
  text = TrimBlanks(text);
  long long value = 0;
  int digits = 0;
  size_t i = 0;
  for (; i < text.size(); ++i) {
    if (IsDigit(text[i])) {
      if (++digits > kMaxDigits) return std::nullopt;
      value = value * 10 + (text[i] - '0');
    } else if (text[i] == ',' && digits > 0 && i + 1 < text.size() && IsDigit(text[i + 1])) {
      continue;
    } else {
      break;
    }
  }
  if (digits == 0 || text.substr(i, kYen.size()) != kYen) return std::nullopt;
  return value;
}

PriceKey PriceKeyOf(std::string_view text) {
  text = TrimBlanks(text);
  if (const auto yen = YenOf(text)) return {PriceRank::kAmount, *yen};
  if (text.empty()) return {PriceRank::kEmpty, 0};
  if (text == kOpenPrice) return {PriceRank::kOpenPrice, 0};
  if (text == kHidden) return {PriceRank::kHidden, 0};
  return {PriceRank::kOtherText, 0};
}

bool PriceShownBefore(std::string_view a, std::string_view b, bool descending) {
  const PriceKey x = PriceKeyOf(a), y = PriceKeyOf(b);
  if (x.Rank != y.Rank) return x.Rank < y.Rank;
  if (x.Rank == PriceRank::kAmount) return descending ? x.Yen > y.Yen : x.Yen < y.Yen;
  const int c = NaturalCompare(a, b);
  return descending ? c > 0 : c < 0;
}

int NaturalCompare(std::string_view a, std::string_view b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      if (const int c = CompareDigitRuns(a, i, b, j); c != 0) return c;
      continue;
    }
    const auto x = static_cast<unsigned char>(LowerAscii(a[i])), y = static_cast<unsigned char>(LowerAscii(b[j]));
    if (x != y) return x < y ? -1 : 1;
    ++i;
    ++j;
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  const int c = a.compare(b);  // equal but for case or leading zeros
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool ContainsFolded(std::string_view text, std::string_view foldedNeedle) {
  if (foldedNeedle.empty()) return true;
  const auto hit = std::search(text.begin(), text.end(), foldedNeedle.begin(), foldedNeedle.end(),
                               [](char x, char y) { return LowerAscii(x) == y; });
  return hit != text.end();
}

}  // namespace vormla::results
