#include "results/ResultDiff.h"

#include <vector>

#include "engine/JobTypes.h"
#include "engine/ResultColumns.h"

namespace vormla {

namespace {

using namespace column;

bool IsPriceOrStockOrUrl(int index) {
  return index == kRetailPrice || index == kWholesalePrice || index == kSalesState || index == kItemUrl;
}

std::uint64_t HashOthers(const std::vector<std::string>& fields) {
  std::uint64_t h = 0x84222325CBF29CE4ULL;
  for (int index = 0; index < kColumnCount; ++index) {
    if (IsPriceOrStockOrUrl(index)) continue;
    const std::uint64_t field = std::hash<std::string_view>{}(fields[static_cast<size_t>(index)]);
    // Order matters: the same texts in other columns are another row.
    h ^= field + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
  }
  return h;
}

// Memory a text takes beyond its string object: a longer one has a block of its
// own, with the allocator's header.
std::uint64_t HeapBytes(const std::string& text) {
  static const size_t kInside = std::string().capacity();
  return text.capacity() > kInside ? text.capacity() + 1 + 16 : 0;
}

// A node of the URL index and its bucket.
constexpr std::uint64_t kIndexEntryBytes = 64;

}  // namespace

const char* ChangeLabel(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::kNew:
      return "新規";
    case ChangeKind::kGone:
      return "終了";
    case ChangeKind::kPrice:
      return "価格変更";
    case ChangeKind::kStock:
      return "販売状況変更";
    case ChangeKind::kUpdate:
      break;
  }
  return "更新";
}

long ChangeCounts::Total() const {
  long total = 0;
  for (const long n : ByKind) total += n;
  return total;
}

std::string_view ResultItems::Item::Value(int k) const {
  const std::uint32_t begin = k == 0 ? 0 : Ends[static_cast<size_t>(k - 1)];
  return std::string_view(Shown).substr(begin, Ends[static_cast<size_t>(k)] - begin);
}

const ResultItems::Item* ResultItems::Find(std::string_view url) const {
  const auto found = index_.find(url);
  return found == index_.end() ? nullptr : &items_[found->second];
}

void ResultItems::Read(ResultCsvReader& reader, std::uint64_t& budget) {
  std::vector<std::string> fields;
  while (reader.Next(fields)) {
    const std::string& url = fields[kItemUrl];
    Item* item = nullptr;
    std::uint64_t taken = 0;
    if (const auto found = index_.find(url); found != index_.end()) {
      item = &items_[found->second];  // listed again: this later row counts, at the first row's place
      budget += HeapBytes(item->Shown);
    } else {
      item = &items_.emplace_back();
      item->Url = url;
      index_.emplace(item->Url, static_cast<std::uint32_t>(items_.size() - 1));
      taken = sizeof(Item) + HeapBytes(item->Url) + kIndexEntryBytes;
    }
    item->Shown.clear();
    const int shown[] = {kManagementNo, kItemName, kWholesalePrice, kRetailPrice, kSalesState};
    for (size_t k = 0; k < std::size(shown); ++k) {
      item->Shown += fields[static_cast<size_t>(shown[k])];
      item->Ends[k] = static_cast<std::uint32_t>(item->Shown.size());
    }
    item->Shown.shrink_to_fit();
    item->Others = HashOthers(fields);
    taken += HeapBytes(item->Shown);
    if (taken > budget) {
      throw ResultCsvError(reader.Path(), reader.Line(),
                           "比べる品目が多すぎます (2つのファイルの品目で " + std::to_string(kComparisonMemory >> 20) +
                               " MiB を超えます)。これより大きいファイルは比べられません");
    }
    budget -= taken;
  }
}

ResultEncoding CommonFieldEncoding(ResultCsvReader& older, ResultCsvReader& newer) {
  if (older.Encoding() != newer.Encoding()) {
    older.DecodeToUtf8();
    newer.DecodeToUtf8();
  }
  return older.FieldEncoding();
}

ChangeCounts CompareItems(const ResultItems& older, const ResultItems& newer,
                          const std::function<void(const ChangeRow&)>& sink) {
  using Item = ResultItems::Item;
  ChangeCounts counts;
  auto emit = [&](ChangeKind kind, const Item* before, const Item* after) {
    const Item* named = after != nullptr ? after : before;
    ChangeRow row;
    row.Kind = kind;
    row.Url = named->Url;
    row.Number = named->Value(ResultItems::kNumber);
    row.Name = named->Value(ResultItems::kName);
    if (before != nullptr) {
      row.WholesaleBefore = before->Value(ResultItems::kWholesale);
      row.RetailBefore = before->Value(ResultItems::kRetail);
      row.StockBefore = before->Value(ResultItems::kStock);
    }
    if (after != nullptr) {
      row.WholesaleAfter = after->Value(ResultItems::kWholesale);
      row.RetailAfter = after->Value(ResultItems::kRetail);
      row.StockAfter = after->Value(ResultItems::kStock);
    }
    ++counts.ByKind[static_cast<size_t>(kind)];
    sink(row);
  };

  for (const Item& item : newer.Items()) {
    if (older.Find(item.Url) == nullptr) emit(ChangeKind::kNew, nullptr, &item);
  }
  for (const Item& item : older.Items()) {
    if (newer.Find(item.Url) == nullptr) emit(ChangeKind::kGone, &item, nullptr);
  }
  for (const Item& item : newer.Items()) {
    const Item* before = older.Find(item.Url);
    if (before == nullptr) continue;
    const auto same = [&](int k) { return before->Value(k) == item.Value(k); };
    if (!same(ResultItems::kWholesale) || !same(ResultItems::kRetail)) emit(ChangeKind::kPrice, before, &item);
    if (!same(ResultItems::kStock)) emit(ChangeKind::kStock, before, &item);
    if (before->Others != item.Others) emit(ChangeKind::kUpdate, before, &item);
  }
  return counts;
}

}  // namespace vormla
