// Reading a change report back (either encoding) for the viewer: its rows in
// UTF-8 with their kind, and the count of each kind.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "results/ResultDiff.h"

namespace vormla::results {

inline constexpr int kChangeColumns = 10;

struct ChangeReportRow {
  ChangeKind Kind = ChangeKind::kNew;
  std::array<std::string, kChangeColumns> Fields;  // as in the file, 変化 first
};

struct ChangeReportContents {
  ResultEncoding Encoding = ResultEncoding::kSjis;
  std::vector<std::string> Header;  // UTF-8
  std::vector<ChangeReportRow> Rows;
  ChangeCounts Counts;
};

// Throws ResultCsvError (with the line) for a file that cannot be read or is
// not a change report.
ChangeReportContents ReadChangeReport(const std::string& path);

}  // namespace vormla::results
