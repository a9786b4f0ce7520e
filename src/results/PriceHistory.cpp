#include "results/PriceHistory.h"

#include "engine/ResultColumns.h"
#include "results/ResultCsvReader.h"

namespace vormla::results {

std::uint32_t PriceHistory::Text(const std::string& text) {
  const auto [at, added] = textIds_.try_emplace(text, static_cast<std::uint32_t>(texts_.size()));
  if (added) texts_.push_back(text);
  return at->second;
}

void PriceHistory::ReadOne(const DatedFile& file, const std::atomic<bool>& cancel) {
  // The rows of one file go in only when the whole file reads.
  std::vector<std::pair<std::string, Entry>> rows;
  const auto result = static_cast<std::uint32_t>(stamps_.size());
  try {
    ResultCsvReader reader(file.Path);
    reader.DecodeToUtf8();
    std::vector<std::string> fields;
    while (!cancel && reader.Next(fields)) {
      rows.push_back({fields[column::kItemUrl],
                      {result, Text(fields[column::kWholesalePrice]), Text(fields[column::kRetailPrice]),
                       Text(fields[column::kSalesState])}});
    }
  } catch (const ResultCsvError& error) {
    unreadable_.push_back({file.Path, error.Line(), error.what()});
    return;
  }
  if (cancel) return;
  stamps_.push_back(file.Stamp);
  for (auto& [url, entry] : rows) {
    std::vector<Entry>& entries = items_[url];
    if (!entries.empty() && entries.back().Result == result) {
      entries.back() = entry;
    } else {
      entries.push_back(entry);
    }
  }
}

void PriceHistory::Read(const std::vector<DatedFile>& results, const std::atomic<bool>& cancel) {
  for (const DatedFile& file : results) {
    if (cancel) return;
    ReadOne(file, cancel);
  }
}

std::vector<PricePoint> PriceHistory::Of(std::string_view url) const {
  std::vector<PricePoint> points;
  const auto found = items_.find(std::string(url));
  if (found == items_.end()) return points;
  for (const Entry& entry : found->second) {
    points.push_back({stamps_[entry.Result], texts_[entry.Wholesale], texts_[entry.Retail], texts_[entry.Stock]});
  }
  return points;
}

}  // namespace vormla::results
