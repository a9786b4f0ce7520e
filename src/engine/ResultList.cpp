// The result list reader: the first result page of one search, its hit count and
// its item blocks, each handed on to the item page reader.
//
// The page stays in memory while the item pages are read, each into a buffer of
// its own.
#include <string>
#include <string_view>

#include "engine/PageView.h"
#include "engine/ResultColumns.h"
#include "engine/RetrievalJob.h"
#include "text/SjisLiteral.h"

namespace vormla {

namespace {

using column::kItemUrl;
using column::kRetailPrice;
using column::kWholesalePrice;
// How far below an item heading the prices are looked for.
constexpr size_t kBlockScanLimit = 149;

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// The Shift-JIS form of a trimmed page line. Plain ASCII reads the same in both
// encodings, so most lines are handed back as they stand, without a copy.
class ConvertedLine {
 public:
  std::string_view Of(std::string_view raw) {
    const std::string_view trimmed = TrimView(raw);
    if (IsAscii(trimmed)) return trimmed;
    buffer_ = Utf8ToSjis(trimmed);
    return buffer_;
  }

 private:
  std::string buffer_;
};

// A price line of the block: tags stripped, blanks trimmed, "&nbsp;" a blank.
std::string PriceText(std::string_view converted) {
  return ReplaceAll(TrimBlanks(StripTags(converted)), "&nbsp;", " ");
}

// The hit count in a pagination paragraph, "全1,234件中"; 0 when it has none.
int HitCountOf(std::string paragraph) {
  const int all = FindText(SjisLiteral<"全">(), paragraph);
  if (all == 0) return 0;
  paragraph = SliceText(paragraph, all + 2, static_cast<int>(paragraph.size()));
  const int unit = FindText(SjisLiteral<"件">(), paragraph);
  if (unit == 0) return 0;
  return static_cast<int>(ParseIntOr(ReplaceAll(SliceText(paragraph, 1, unit - 1), ",", ""), 0));
}

// The hit count of the first pagination paragraph; 0 without one.
int ReadHitCount(const RetrievalJob& job, const PageView& page) {
  for (size_t n = 0; n < page.Count(); ++n) {
    const std::string_view raw = page[n];
    if (StartsWith(TrimView(raw), "<p ") && Contains(raw, "paginationTxt"))
      return HitCountOf(Utf8ToSjis(TrimView(raw)));
    if (job.Terminated()) break;
  }
  return 0;
}

// The detail link: the first quoted value on the line, without its query.
std::string DetailUrlOf(std::string_view link) {
  const int open = FindText("\"", link);
  if (open <= 0) return "";
  const std::string_view rest = link.substr(static_cast<size_t>(open));
  const int close = FindText("\"", rest);
  if (close <= 0) return "";
  std::string_view value = rest.substr(0, static_cast<size_t>(close) - 1);
  const int query = FindText("?", value);
  if (query > 0) value = value.substr(0, static_cast<size_t>(query) - 1);
  return TrimBlanks(value);
}

// Prices: the retail price area and the wholesale price paragraph below the
// heading at n, up to the next heading or section.
void ReadBlockPrices(RetrievalJob& job, const PageView& page, size_t n, ConvertedLine& converted) {
  const size_t count = page.Count();
  for (size_t i = 1; i <= kBlockScanLimit; ++i) {
    if (job.Terminated() || n + i + 1 >= count) break;
    const std::string_view s = converted.Of(page[n + i]);
    if (HasMarkerAt(s, 2, "h3 ") || HasMarkerAt(s, 2, "/se") || HasMarkerAt(s, 1, "<se")) break;
    if (HasMarkerAt(s, 1, "<di")) {
      if (FindText("retailPriceArea", s) > 0 && n + i + 2 < count) {
        std::string t = TrimBlanks(StripTags(Utf8ToSjis(TrimView(page[n + i + 2]))));
        if (t.empty()) t = TrimBlanks(StripTags(Utf8ToSjis(TrimView(page[n + i + 1]))));
        job.Record[kRetailPrice] = TrimBlanks(ReplaceAll(t, "&nbsp;", " "));
      }
    } else if (HasMarkerAt(s, 1, "<p ") && (FindText("afterPrice\"", s) > 0 || FindText("\"price\"", s) > 0)) {
      job.Record[kWholesalePrice] = TrimBlanks(ReplaceAll(PriceText(s), SjisLiteral<"卸価格">(), ""));
      break;
    }
  }
  if (job.Record[kWholesalePrice].empty()) job.Record[kWholesalePrice] = NoWholesalePriceText();
}

}  // namespace

void RetrievalJob::ReadResultList(const std::string& url) {
  // A page that could not be read holds no items.
  FetchListedPage(url, listPage_);
  const PageView page(listPage_);
  const size_t count = page.Count();
  ItemDone = 0;
  ItemTotal = ReadHitCount(*this, page);
  if (ItemTotal < 1) {
    Observer.ShowItemProgress(StatusText, ItemDone, ItemTotal);
    return;
  }

  // Item blocks: each heading starts a row, read on from its item page.
  ConvertedLine converted;
  for (size_t n = 0; n < count; ++n) {
    const std::string_view heading = page[n];
    if (StartsWith(TrimView(heading), "<h3") && Contains(heading, "showcaseHd")) {
      for (std::string& field : Record) field.clear();
      const std::string itemUrl = n + 1 < count ? DetailUrlOf(converted.Of(page[n + 1])) : "";
      Record[kItemUrl] = itemUrl;
      ReadBlockPrices(*this, page, n, converted);

      ++ItemDone;
      Observer.ShowItemProgress(StatusText, ItemDone, ItemTotal);
      if (!itemUrl.empty()) ReadItemPage(itemUrl);
    }
    if (ItemDone >= ItemTotal || Terminated()) break;
  }
}

}  // namespace vormla
