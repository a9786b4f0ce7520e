// Reading a result CSV back in tests: quoted fields with inner quotes doubled,
// records ending in CR LF, Shift-JIS text.
#pragma once

#include <string>
#include <vector>

#include "text/TextOps.h"

namespace vormla::testing {

// wellFormed turns false when a record ends any other way than CR LF or a quote
// is left open.
struct CsvText {
  std::vector<std::vector<std::string>> records;
  bool wellFormed = true;
};

inline CsvText ParseCsv(const std::string& text) {
  CsvText csv;
  std::vector<std::string> record;
  size_t i = 0;
  while (i < text.size()) {
    std::string field;
    if (text[i] == '"') {
      ++i;
      while (true) {
        if (i >= text.size()) {
          csv.wellFormed = false;  // unterminated quote
          break;
        }
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field += text[i++];
      }
    } else {
      while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') field += text[i++];
    }
    record.push_back(field);
    if (i < text.size() && text[i] == ',') {
      ++i;
      continue;
    }
    if (text.compare(i, 2, "\r\n") == 0) {
      i += 2;
    } else {
      csv.wellFormed = false;
      if (i < text.size()) ++i;
    }
    csv.records.push_back(std::move(record));
    record.clear();
  }
  if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") != 0) csv.wellFormed = false;
  return csv;
}

// The item rows of a result file's bytes (the header skipped), fields in UTF-8.
inline std::vector<std::vector<std::string>> ItemRowsUtf8(const std::string& bytes) {
  std::vector<std::vector<std::string>> rows;
  const CsvText csv = ParseCsv(bytes);
  for (size_t r = 1; r < csv.records.size(); ++r) {
    std::vector<std::string> fields;
    for (const std::string& field : csv.records[r]) fields.push_back(SjisToUtf8(field));
    rows.push_back(std::move(fields));
  }
  return rows;
}

}  // namespace vormla::testing
