// The item record's way into the result file: header, entity decoding, row format.
#include <string>

#include "engine/ResultColumns.h"
#include "engine/RetrievalJob.h"
#include "text/SjisLiteral.h"

namespace vormla {

namespace {

constexpr const char* kHeaderNames[kColumnCount] = {
    "商品管理番号",
    "商品ID",
    "カテゴリー",
    "商品名",
    "商品紹介",
    "販売会社",
    "ブランド名",
    "メーカ希望小売価格",
    "卸価格",
    "サイズ・容量",
    "規格",
    "注意事項",
    "出荷条件",
    "良品返品",
    "注文について",
    "JANコード",
    "お支払い方法",
    "商品について",
    "サプライヤースコア",
    "人気度",
    "注目度",
    "リピート度",
    "販売状況",
    "登録/更新日",
    "販売会社ページURL",
    "商品画像URL1",
    "商品画像URL2",
    "商品画像URL3",
    "商品画像URL4",
    "商品画像URL5",
    "商品画像URL6",
    "商品画像URL7",
    "商品画像URL8",
    "商品画像URL9",
    "商品画像URL10",
    "詳細ページURL",
};

std::string BuildHeader() {
  std::string header;
  for (const char* name : kHeaderNames) {
    if (!header.empty()) header += ',';
    header += '"';
    header += Utf8ToSjis(name);
    header += '"';
  }
  return header;
}

}  // namespace

const std::string& CsvHeader() {
  static const std::string header = BuildHeader();
  return header;
}

const std::string& NoWholesalePriceText() { return SjisLiteral<"卸価格は非公開">(); }

std::string DecodeEntities(const std::string& text) {
  // The ampersand goes first, so a reference escaped once more ("&amp;#039;") ends as "'".
  std::string out = ReplaceAll(text, "&amp;", "&");
  out = ReplaceAll(out, "&#039;", "'");
  out = ReplaceAll(out, "&#12316;", "\x81\x60");  // wave dash
  // The other three that HTML escaping writes.
  out = ReplaceAll(out, "&quot;", "\"");
  out = ReplaceAll(out, "&lt;", "<");
  return ReplaceAll(out, "&gt;", ">");
}

std::string FormatItemRow(const ItemRecord& record) {
  std::string row;
  for (int i = 0; i < kColumnCount; ++i) {
    if (i > 0) row += ',';
    row += '"';
    // 0x22 is never a trail byte in Shift-JIS, so this touches only real quotes.
    for (const char c : DecodeEntities(record[static_cast<size_t>(i)])) {
      if (c == '"') row += '"';
      row += c;
    }
    row += '"';
  }
  return row;
}

std::string ItemProgressText(const std::string& statusText, int itemDone, int itemTotal) {
  return SjisLiteral<"分類 : ">() + statusText + " - " + std::to_string(itemDone) + "/" + std::to_string(itemTotal) +
         SjisLiteral<"件 取得中">();
}

void RetrievalJob::WriteItemRow() {
  if (!CsvFile.WriteLine(FormatItemRow(Record))) return;  // the failure stops the job
  ++rowsWritten_;
  if (Record[column::kWholesalePrice] == NoWholesalePriceText()) ++rowsWithoutWholesale_;
  itemFound_ = ItemFoundCode::kItemWritten;
}

}  // namespace vormla
