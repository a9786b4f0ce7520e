#include "results/ChangeReport.h"

#include <initializer_list>

#include "text/TextOps.h"

namespace vormla {

namespace {

void AppendField(std::string& line, std::string_view text) {
  if (!line.empty()) line += ',';
  line += '"';
  // 0x22 is never a trail byte in Shift-JIS, so this touches only real quotes.
  for (const char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

std::string Convert(std::string_view text, ResultEncoding from, ResultEncoding to) {
  if (from == to) return std::string(text);
  return to == ResultEncoding::kUtf8 ? SjisToUtf8(text) : Utf8ToSjis(text);
}

}  // namespace

std::string ChangeReportHeader(ResultEncoding output) {
  std::string line;
  for (const char* name : {"変化", "詳細ページURL", "商品管理番号", "商品名", "卸価格(前)", "卸価格(後)",
                           "メーカ希望小売価格(前)", "メーカ希望小売価格(後)", "販売状況(前)", "販売状況(後)"}) {
    AppendField(line, Convert(name, ResultEncoding::kUtf8, output));
  }
  return line;
}

std::string FormatChangeRow(const ChangeRow& row, ResultEncoding fields, ResultEncoding output) {
  std::string line;
  AppendField(line, Convert(ChangeLabel(row.Kind), ResultEncoding::kUtf8, output));
  for (const std::string_view text : {row.Url, row.Number, row.Name, row.WholesaleBefore, row.WholesaleAfter,
                                      row.RetailBefore, row.RetailAfter, row.StockBefore, row.StockAfter}) {
    AppendField(line, Convert(text, fields, output));
  }
  return line;
}

std::string ChangeCountsText(const ChangeCounts& counts) {
  std::string text;
  for (int k = 0; k < kChangeKindCount; ++k) {
    const auto kind = static_cast<ChangeKind>(k);
    if (k > 0) text += "、";
    text += ChangeLabel(kind);
    text += ' ';  // appended piecewise: GCC 12 at -O3 sees a false overlap in " " + text
    text += std::to_string(counts[kind]);
  }
  return text;
}

}  // namespace vormla
