#include "results/ChangeReportFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "results/ChangeReport.h"
#include "results/ResultCsvReader.h"
#include "text/TextOps.h"
#include "text/Utf8.h"

namespace vormla::results {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ResultCsvError(path, 0, std::string("開けません (") + std::strerror(errno) + ")");
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool KindOf(const std::string& label, ChangeKind& kind) {
  for (int k = 0; k < kChangeKindCount; ++k) {
    if (label == ChangeLabel(static_cast<ChangeKind>(k))) {
      kind = static_cast<ChangeKind>(k);
      return true;
    }
  }
  return false;
}

}  // namespace

ChangeReportContents ReadChangeReport(const std::string& path) {
  const std::string bytes = ReadAll(path);
  std::string_view rest(bytes);
  ChangeReportContents report;
  if (rest.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    report.Encoding = ResultEncoding::kUtf8;
    rest.remove_prefix(kByteOrderMark.size());
  }
  const bool utf8 = report.Encoding == ResultEncoding::kUtf8;
  std::vector<std::string> fields;
  long line = 0;
  while (!rest.empty()) {
    ++line;
    const size_t lf = rest.find('\n');
    if (lf == std::string_view::npos)
      throw ResultCsvError(path, line, "最後の行が途中で切れています (行末の改行がありません)");
    std::string_view text = rest.substr(0, lf);
    rest.remove_prefix(lf + 1);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (line == 1) {
      if (text != ChangeReportHeader(report.Encoding)) {
        throw ResultCsvError(path, line, "見出しの行が変化レポートのものと違います。変化レポートではありません");
      }
      continue;
    }
    if ((utf8 && !IsWellFormedUtf8(text)) || !SplitCsvLine(text, fields) || fields.size() != kChangeColumns) {
      throw ResultCsvError(path, line, "10 個の項目に分けられない行です");
    }
    ChangeReportRow row;
    for (int c = 0; c < kChangeColumns; ++c) {
      const std::string& field = fields[static_cast<size_t>(c)];
      row.Fields[static_cast<size_t>(c)] = utf8 ? field : SjisToUtf8(field);
    }
    if (!KindOf(row.Fields[0], row.Kind))
      throw ResultCsvError(path, line, "変化の種類「" + row.Fields[0] + "」がわかりません");
    ++report.Counts.ByKind[static_cast<size_t>(row.Kind)];
    report.Rows.push_back(std::move(row));
  }
  if (line == 0) throw ResultCsvError(path, 1, "空のファイルです。変化レポートではありません");
  SplitCsvLine(ChangeReportHeader(ResultEncoding::kUtf8), report.Header);
  return report;
}

}  // namespace vormla::results
