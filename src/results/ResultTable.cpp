#include "results/ResultTable.h"

#include <algorithm>
#include <stdexcept>

#include "engine/RetrievalJob.h"
#include "results/ResultCsvReader.h"
#include "text/TextOps.h"

namespace vormla::results {

void RowBlock::Append(const std::vector<std::string>& fields) {
  for (int c = 0; c < kColumnCount; ++c) {
    if (static_cast<size_t>(c) < fields.size()) bytes_ += fields[static_cast<size_t>(c)];
    if (bytes_.size() > UINT32_MAX) throw std::length_error("a block of rows over 4 GB");
    ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
  }
}

std::string_view RowBlock::Field(size_t row, int column) const {
  const size_t at = row * kColumnCount + static_cast<size_t>(column);
  const size_t begin = at == 0 ? 0 : ends_[at - 1];
  return std::string_view(bytes_).substr(begin, ends_[at] - begin);
}

void ResultTable::Append(std::shared_ptr<const RowBlock> block) {
  if (!block || block->Rows() == 0) return;
  starts_.push_back(rows_);
  rows_ += block->Rows();
  blocks_.push_back(std::move(block));
}

std::string_view ResultTable::Field(size_t row, int column) const {
  if (row >= rows_ || column < 0 || column >= kColumnCount) return {};
  const size_t b = static_cast<size_t>(std::upper_bound(starts_.begin(), starts_.end(), row) - starts_.begin()) - 1;
  return blocks_[b]->Field(row - starts_[b], column);
}

void ResultTable::Clear() {
  blocks_.clear();
  starts_.clear();
  rows_ = 0;
}

const std::vector<std::string>& ResultHeaderNames() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> sjis, utf8;
    SplitCsvLine(CsvHeader(), sjis);
    for (const std::string& name : sjis) utf8.push_back(SjisToUtf8(name));
    return utf8;
  }();
  return names;
}

ResultEncoding ReadResultBlocks(const std::string& path, BlockSizes sizes, const std::atomic<bool>& cancel,
                                const std::function<void(std::shared_ptr<RowBlock>)>& sink) {
  ResultCsvReader reader(path);
  reader.DecodeToUtf8();
  std::vector<std::string> fields;
  auto block = std::make_shared<RowBlock>();
  size_t limit = std::max<size_t>(sizes.First, 1);
  while (!cancel && reader.Next(fields)) {
    block->Append(fields);
    if (block->Rows() >= limit) {
      sink(std::move(block));
      block = std::make_shared<RowBlock>();
      limit = std::max<size_t>(sizes.Later, 1);
    }
  }
  if (block->Rows() > 0 && !cancel) sink(std::move(block));
  return reader.Encoding();
}

ResultTable ReadResultTable(const std::string& path) {
  ResultTable table;
  const std::atomic<bool> never{false};
  ReadResultBlocks(path, {}, never, [&table](std::shared_ptr<RowBlock> block) { table.Append(std::move(block)); });
  return table;
}

}  // namespace vormla::results
