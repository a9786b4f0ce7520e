// What changed between two result files: items matched by their detail page URL
// (column 36), the later row winning when a file lists an item twice.
//
// Only what the change report shows is kept of each row, with a 64-bit hash of
// the columns it does not show, so that two files of 100,000 rows compare in a
// few tens of megabytes. Two different texts with the same hash would hide an
// update; at one chance in 2^64 per item that is left as it is.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "results/ResultCsvReader.h"

namespace vormla {

// In the report's order for one item.
enum class ChangeKind { kNew, kGone, kPrice, kStock, kUpdate };
inline constexpr int kChangeKindCount = 5;

// "新規", "終了", "価格変更", "販売状況変更", "更新" (UTF-8).
const char* ChangeLabel(ChangeKind kind);

// One row of the change report; texts in the readers' field encoding, a side the
// item does not exist on empty.
struct ChangeRow {
  ChangeKind Kind = ChangeKind::kNew;
  std::string_view Url, Number, Name;
  std::string_view WholesaleBefore, WholesaleAfter;
  std::string_view RetailBefore, RetailAfter;
  std::string_view StockBefore, StockAfter;
};

struct ChangeCounts {
  std::array<long, kChangeKindCount> ByKind{};
  long Total() const;
  long operator[](ChangeKind kind) const { return ByKind[static_cast<size_t>(kind)]; }
};

// What the items of both files of one comparison may take in memory together.
// Past it the comparison is refused: no input, however long, takes more (about
// 250,000 items of ordinary rows a file fit).
inline constexpr std::uint64_t kComparisonMemory = std::uint64_t{160} << 20;

// One file's items, in the order of their first row.
class ResultItems {
 public:
  // Reads every row; what the items take is counted against budget. Throws
  // ResultCsvError, also at the row that would take more than is left.
  void Read(ResultCsvReader& reader, std::uint64_t& budget);

  struct Item {
    std::string Url;
    std::string Shown;                    // number, name, wholesale, retail, stock, back to back
    std::array<std::uint32_t, 5> Ends{};  // where each of them ends in Shown
    std::uint64_t Others = 0;             // hash of every column not shown
    std::string_view Value(int k) const;
  };
  enum Shown { kNumber, kName, kWholesale, kRetail, kStock };

  const std::deque<Item>& Items() const { return items_; }
  // The item of that URL, or nullptr.
  const Item* Find(std::string_view url) const;

 private:
  std::deque<Item> items_;  // stable addresses: the index points into them
  std::unordered_map<std::string_view, std::uint32_t> index_;
};

// Makes both readers hand out fields in one encoding (UTF-8 as soon as one of
// them is UTF-8) and returns it. Call before reading any row.
ResultEncoding CommonFieldEncoding(ResultCsvReader& older, ResultCsvReader& newer);

// Hands the report's rows to sink in their order: new items (in the newer file's
// order), gone items (in the older file's), then each remaining item's changes
// in the newer file's order. Returns the counts.
ChangeCounts CompareItems(const ResultItems& older, const ResultItems& newer,
                          const std::function<void(const ChangeRow&)>& sink);

}  // namespace vormla
