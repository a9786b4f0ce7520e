// How the viewer orders and matches the texts of a result: prices by their
// amount, everything else naturally ("VM-2" before "VM-10"), the filter box
// without regard to ASCII letter case. All texts are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vormla::results {

// The amount of a price text as the site writes it: "3,290円", "52,640円 (税込)".
std::optional<long long> YenOf(std::string_view text);

// Where a price column's text stands: amounts first, then the texts that are no
// amount, in this order.
enum class PriceRank { kAmount, kOpenPrice, kHidden, kOtherText, kEmpty };
struct PriceKey {
  PriceRank Rank = PriceRank::kEmpty;
  long long Yen = 0;
};
PriceKey PriceKeyOf(std::string_view text);

// Whether a comes before b in a price column shown in that direction. Texts
// that are no amount (オープン価格, 卸価格は非公開, empty) stay below every amount
// either way.
bool PriceShownBefore(std::string_view a, std::string_view b, bool descending);

// <0, 0, >0: digit runs compare by their value, other bytes as they are, ASCII
// letters without case first.
int NaturalCompare(std::string_view a, std::string_view b);

// Whether text holds foldedNeedle (lowered by LowerAscii), ASCII letter case ignored.
bool ContainsFolded(std::string_view text, std::string_view foldedNeedle);

}  // namespace vormla::results
