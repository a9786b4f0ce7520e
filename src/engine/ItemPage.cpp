// The item page reader: one item's detail page into the fields of its CSV row.
//
// The page is not parsed as HTML. Each line is recognised by the first bytes of its
// trimmed text and a class name on it, and values are cut out of that line or its
// neighbours. Only the lines a rule selects are converted to Shift-JIS and cleaned,
// so the walk over the rest of the page stays a cheap prefix test.
#include <iterator>
#include <string>
#include <string_view>

#include "engine/PageView.h"
#include "engine/ResultColumns.h"
#include "engine/RetrievalJob.h"
#include "text/AsciiCase.h"
#include "text/SjisLiteral.h"
#include "text/UrlText.h"

namespace vormla {

namespace {

using namespace column;

// Spec-table columns that take the value rows below the heading (not the uses).
constexpr int kPermittedUse = kAboutItem;
// At most this many lines below a table heading are read, minus one.
constexpr int kValueLineLimit = 30;

const std::string& FullWidthBlank() { return SjisLiteral<"　">(); }

std::string CleanView(std::string_view line) { return TrimBlanks(StripTags(Utf8ToSjis(TrimView(line)))); }

// A value that is nothing but a stray double quote left over from an attribute.
void DropLoneQuote(std::string& text) {
  if (text == "\"") text.clear();
}

void AppendListed(std::string& field, const std::string& piece) {
  if (field.empty()) {
    field = piece;
  } else {
    field += SjisLiteral<"、">();
    field += piece;
  }
}

// The item URL without its last slash-separated piece (empty pieces count), with
// the shop path turned into the company information path.
std::string CompanyPageUrl(std::string_view url) {
  std::string joined;
  const size_t lastSlash = url.rfind('/');
  if (lastSlash == std::string_view::npos) return joined;
  // Joining the pieces before the last one puts a slash before a piece only once
  // something has been joined, so leading empty pieces vanish.
  size_t start = 0;
  while (start <= lastSlash) {
    const size_t slash = url.find('/', start);
    const std::string_view piece = url.substr(start, slash - start);
    if (!joined.empty()) joined += '/';
    joined.append(piece);
    start = slash + 1;
  }
  return ReplaceAll(joined, "/shop/", "/corpinfo/");
}

// A specification table row: the heading line at j, its value on the lines below
// up to the end of the cell, or the "OK" mark of a permitted use on the next line.
void ReadSpecRow(RetrievalJob& worker, const PageView& page, size_t j) {
  const size_t count = page.Count();
  const std::string label = CleanView(page[j]);
  const int labelColumn = RetrievalJob::FindLabelColumn(label);
  if (labelColumn < 0) return;
  if (labelColumn == kPermittedUse) {
    if (j + 1 < count && Contains(page[j + 1], "fa-circle-o")) AppendListed(worker.Record[kAboutItem], label + "OK");
    return;
  }
  std::string value;
  for (size_t i = 1; i < kValueLineLimit && !worker.Terminated(); ++i) {
    if (j + i >= count - 1) break;
    const std::string_view line = TrimView(page[j + i]);
    if (StartsWith(line, "</t") || StartsWith(line, "<tr")) break;
    std::string t = ReplaceAll(Utf8ToSjis(line), "<br>", " ");
    t = ReplaceAll(TrimBlanks(StripTags(t)), FullWidthBlank(), " ");
    t = TrimBlanks(ReplaceAll(t, "  ", " "));
    DropLoneQuote(t);
    if (t.empty()) continue;
    if (!value.empty()) value += ' ';
    value += t;
  }
  worker.Record[labelColumn] = TrimBlanks(value);
}

// Full-width blanks become blanks and entities are decoded: the last step the
// name, supplier and introduction rules share.
std::string FinishText(const std::string& text) {
  return TrimBlanks(DecodeEntities(ReplaceAll(text, FullWidthBlank(), " ")));
}

// Header block at j: "商品管理番号：X（登録/更新：date）", then the id, then the brand.
void ReadHeaderBlock(ItemRecord& record, const PageView& page, size_t j) {
  const std::string first = CleanView(page[j + 1]);
  const int p = FindText(SjisLiteral<"（">(), first);
  if (p > 0) {
    record[kManagementNo] = TrimBlanks(ReplaceAll(SliceText(first, 1, p - 1), SjisLiteral<"商品管理番号：">(), ""));
    std::string date = SliceText(first, p, static_cast<int>(first.size()) - p + 1);
    date = ReplaceAll(date, SjisLiteral<"登録/更新：">(), "");
    date = ReplaceAll(date, SjisLiteral<"（">(), "");
    date = ReplaceAll(date, SjisLiteral<"）">(), "");
    record[kUpdated] = TrimBlanks(date);
  }
  record[kItemId] = TrimBlanks(ReplaceAll(CleanView(page[j + 2]), SjisLiteral<"商品ID：">(), ""));
  std::string brand = ReplaceAll(CleanView(page[j + 3]), SjisLiteral<"[ブランド]">(), "");
  record[kBrand] = TrimBlanks(ReplaceAll(brand, "&nbsp;", ""));
}

// The supplier's heading at j; an empty heading has the name on the next line.
void ReadSupplier(ItemRecord& record, const PageView& page, size_t j) {
  std::string t = CleanView(page[j]);
  if (t.empty() && j + 1 < page.Count()) t = CleanView(page[j + 1]);
  record[kSupplier] = FinishText(t);
}

// The introduction's heading at j with the line below it, when no text block came first.
void ReadIntroHeading(ItemRecord& record, const PageView& page, size_t j) {
  if (!record[kIntroduction].empty()) return;
  std::string t = CleanView(page[j]);
  if (j + 1 < page.Count()) t += CleanView(page[j + 1]);
  t = TrimBlanks(t);
  DropLoneQuote(t);
  record[kIntroduction] = FinishText(t);
}

// The introduction as a free text block, when no heading came first.
void ReadIntroBlock(ItemRecord& record, std::string_view line) {
  if (!record[kIntroduction].empty()) return;
  std::string t = TrimBlanks(ReplaceAll(CleanView(line), FullWidthBlank(), " "));
  DropLoneQuote(t);
  record[kIntroduction] = TrimBlanks(DecodeEntities(t));
}

// A rating's marker at j: the score class stands one line above, the rating's
// heading two above.
void ReadRating(ItemRecord& record, const PageView& page, size_t j) {
  const std::string scoreLine = Utf8ToSjis(TrimView(page[j - 1]));
  std::string stars;
  if (FindText("threeScore", scoreLine) > 0) {
    stars = SjisLiteral<"★★★">();
  } else if (FindText("twoScore", scoreLine) > 0) {
    stars = SjisLiteral<"★★☆">();
  } else if (FindText("oneScore", scoreLine) > 0) {
    stars = SjisLiteral<"★☆☆">();
  }
  const std::string heading = CleanView(page[j - 2]);
  if (heading == SjisLiteral<"人気度">()) {
    record[kPopularity] = stars;
  } else if (heading == SjisLiteral<"注目度">()) {
    record[kAttention] = stars;
  } else if (heading == SjisLiteral<"リピート度">()) {
    record[kRepeat] = stars;
  }
}

// A label: a payment method, an item label or the supplier's score.
void ReadLabel(ItemRecord& record, std::string_view line) {
  if (Contains(line, "labelColor10")) {
    AppendListed(record[kPayment], CleanView(line));
  } else if (Contains(line, "labelColor09")) {
    std::string t = CleanView(line);
    if (t == SjisLiteral<"キャンペーン">()) t += SjisLiteral<"開催中">();
    AppendListed(record[kAboutItem], t);
  } else if (Contains(line, "supScoreNum")) {
    record[kSupplierScore] = CleanView(line);
  }
}

// Line j against the reading rules, chosen by the first bytes of its trimmed text.
// True at the cart form: nothing below it belongs to the item.
bool ReadItemLine(RetrievalJob& job, const PageView& page, size_t j) {
  ItemRecord& record = job.Record;
  const std::string_view raw = page[j];
  const std::string_view trimmed = TrimView(raw);
  const std::string_view prefix = trimmed.substr(0, 3);
  if (prefix == "<ul") {
    if (Contains(raw, "colItemData") && j + 3 < page.Count()) ReadHeaderBlock(record, page, j);
  } else if (prefix == "<h1") {
    record[kItemName] = FinishText(CleanView(raw));
  } else if (prefix == "<h2") {
    if (Contains(raw, "supplierHd")) ReadSupplier(record, page, j);
  } else if (prefix == "<h4") {
    if (Contains(raw, "hdType04")) ReadIntroHeading(record, page, j);
  } else if (prefix == "<di") {
    if (Contains(raw, "userHtmlView")) {
      ReadIntroBlock(record, raw);
    } else if (Contains(raw, "itemScoreRatingItem") && j > 2) {
      ReadRating(record, page, j);
    }
  } else if (prefix == "<sp") {
    ReadLabel(record, raw);
  } else if (HasMarkerAt(trimmed, 2, "th ")) {
    ReadSpecRow(job, page, j);
  } else if (prefix == "<p ") {
    if (Contains(raw, "soldOutTxt")) record[kSalesState] = SjisLiteral<"品切れ中">();
  } else if (prefix == "<im") {
    if (Contains(raw, "data-url=")) job.CollectImageUrl(std::string(raw));
  } else if (prefix == "<fo") {
    return Contains(raw, "myform");
  }
  return false;
}

}  // namespace

std::string RetrievalJob::CleanLine(const std::string& line) { return CleanView(line); }

int RetrievalJob::FindLabelColumn(const std::string& label) {
  const std::string* const headings[] = {
      &SjisLiteral<"消費者直送">(),
      &SjisLiteral<"画像転載">(),
      &SjisLiteral<"ネット販売">(),
      &SjisLiteral<"ネットオークション">(),
      &SjisLiteral<"CSVダイレクト注文">(),
      &SjisLiteral<"サイズ・容量">(),
      &SjisLiteral<"規格">(),
      &SjisLiteral<"注意事項">(),
      &SjisLiteral<"出荷条件">(),
      &SjisLiteral<"良品返品">(),
      &SjisLiteral<"注文について">(),
      &SjisLiteral<"JANコード">(),
  };
  constexpr int kUseHeadings = 5;
  for (int i = 0; i < static_cast<int>(std::size(headings)); ++i) {
    if (SjisEqualsIgnoringCase(label, *headings[i])) return i < kUseHeadings ? kPermittedUse : i + 4;
  }
  return -1;
}

void RetrievalJob::ReadItemPage(const std::string& url) {
  Record[kSalesState] = SjisLiteral<"在庫あり">();
  Record[kCompanyUrl] = CompanyPageUrl(url);
  const TopCategoryChoice& top = Conditions.TopCategory;
  Record[kCategory] = top.Index > 0 ? top.Name + " > " + StatusText : StatusText;

  ImageUrls.clear();
  ImageCount = 0;
  // The URL as read from the list goes to the CSV; the request carries it as a
  // browser would send it. An item whose page could not be read gets no row.
  if (!FetchListedPage(BrowserUrl(SjisToUtf8(url)), itemPage_)) return;
  const PageView page(itemPage_);
  for (size_t j = 0; j < page.Count(); ++j) {
    const bool endWalk = ReadItemLine(*this, page, j);
    if (endWalk || Terminated()) break;
  }

  if (!Terminated()) SaveItemImages();
  if (!Terminated()) WriteItemRow();
}

}  // namespace vormla
