// The change report's lines: a CSV in the result file's own style (every field
// quoted, inner quotes doubled), in Shift-JIS or UTF-8. The caller ends each line
// with CR LF and puts the byte-order mark before a UTF-8 report.
#pragma once

#include <string>

#include "results/ResultDiff.h"

namespace vormla {

// 変化, 詳細ページURL, 商品管理番号, 商品名, 卸価格(前), 卸価格(後),
// メーカ希望小売価格(前), メーカ希望小売価格(後), 販売状況(前), 販売状況(後).
std::string ChangeReportHeader(ResultEncoding output);

// One row; fields is the encoding of the row's texts.
std::string FormatChangeRow(const ChangeRow& row, ResultEncoding fields, ResultEncoding output);

// "新規 7、終了 8、価格変更 5、販売状況変更 6、更新 0" (UTF-8), as every program of
// the package counts a report.
std::string ChangeCountsText(const ChangeCounts& counts);

}  // namespace vormla
