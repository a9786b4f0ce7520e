// A result file held compactly for the viewer: every row's 36 fields in UTF-8,
// back to back in one buffer per block of rows, with where each field ends. A
// hundred thousand rows of 1.5 KB cost about their bytes and 144 bytes of ends
// a row, never 36 strings a row.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/JobTypes.h"

namespace vormla::results {

// A run of rows. Filled on the reading thread, then only read.
class RowBlock {
 public:
  void Append(const std::vector<std::string>& fields);
  size_t Rows() const { return ends_.size() / kColumnCount; }
  std::string_view Field(size_t row, int column) const;
  size_t Bytes() const { return bytes_.size(); }

 private:
  std::string bytes_;
  std::vector<std::uint32_t> ends_;  // kColumnCount a row
};

// The blocks of one file in file order.
class ResultTable {
 public:
  void Append(std::shared_ptr<const RowBlock> block);
  size_t Rows() const { return rows_; }
  std::string_view Field(size_t row, int column) const;
  void Clear();

 private:
  std::vector<std::shared_ptr<const RowBlock>> blocks_;
  std::vector<size_t> starts_;  // the first row of each block
  size_t rows_ = 0;
};

// The 36 header names in UTF-8, in column order.
const std::vector<std::string>& ResultHeaderNames();

struct BlockSizes {
  size_t First = 256;  // small, so that the first screen comes at once
  size_t Later = 4096;
};

// Reads a result file (either encoding, either quoting) and hands its rows to
// sink block by block as each fills, the last one as the file ends. Stops
// between two rows when cancel turns true. Throws ResultCsvError for a file that
// cannot be read or a damaged row; blocks handed out before that stay the
// caller's to drop.
ResultEncoding ReadResultBlocks(const std::string& path, BlockSizes sizes, const std::atomic<bool>& cancel,
                                const std::function<void(std::shared_ptr<RowBlock>)>& sink);

// The whole file at once, for callers that need no progress.
ResultTable ReadResultTable(const std::string& path);

}  // namespace vormla::results
