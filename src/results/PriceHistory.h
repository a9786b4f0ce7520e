// One item's prices and stock state across every result of a watch folder,
// matched by the detail page URL as the change report matches them. The texts
// are kept once each, whatever number of results and rows refer to them.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "results/FolderFiles.h"

namespace vormla::results {

struct PricePoint {
  std::string Stamp;  // of the result
  std::string Wholesale, Retail, Stock;
};

// A result that could not be read, with the reader's reason.
struct UnreadableResult {
  std::string Path;
  long Line = 0;
  std::string Reason;
};

class PriceHistory {
 public:
  // Reads the results (oldest first). A damaged result is left out whole and
  // named in Unreadable(). Stops between rows when cancel turns true.
  void Read(const std::vector<DatedFile>& results, const std::atomic<bool>& cancel);

  // The item's values in each result that lists it, oldest first; the later row
  // wins when a result lists it twice.
  std::vector<PricePoint> Of(std::string_view url) const;
  const std::vector<UnreadableResult>& Unreadable() const { return unreadable_; }
  size_t Results() const { return stamps_.size(); }

 private:
  struct Entry {
    std::uint32_t Result;
    std::uint32_t Wholesale, Retail, Stock;  // into texts_
  };
  std::uint32_t Text(const std::string& text);
  void ReadOne(const DatedFile& file, const std::atomic<bool>& cancel);

  std::vector<std::string> stamps_;
  std::vector<std::string> texts_;
  std::unordered_map<std::string, std::uint32_t> textIds_;
  std::unordered_map<std::string, std::vector<Entry>> items_;
  std::vector<UnreadableResult> unreadable_;
};

}  // namespace vormla::results
