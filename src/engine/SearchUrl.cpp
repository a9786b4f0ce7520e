// The marketplace's search URL for one category and the search conditions.
#include "engine/RetrievalJob.h"
#include "text/SjisLiteral.h"
#include "text/TextOps.h"
#include "text/UrlText.h"

namespace vormla {

namespace {

void AppendIfSet(std::string& tail, const char* key, const std::string& text) {
  const std::string value = TrimBlanks(text);
  if (!value.empty()) tail += key + value;
}

// The keyword as the marketplace gets it: what code page 932 can write of it (a
// character it writes through a best-fit row goes as that row's character),
// blanks trimmed, form-encoded as UTF-8.
std::string KeywordParameter(const std::string& keyword) {
  const std::string sjis = TrimBlanks(Utf8ToSjis(keyword));
  return sjis.empty() ? std::string() : "&keyword=" + FormEncode(SjisToUtf8(sjis));
}

}  // namespace

std::string RetrievalJob::BuildSearchUrl(int categoryIndex) {
  std::string base;
  std::string tail;
  StatusText.clear();

  if (categoryIndex < 0) {
    if (Conditions.TopCategory.Index > 0) {
      base = SiteRoot + "/search/?category_id=" + std::to_string(Conditions.TopCategory.Index);
      StatusText = Conditions.TopCategory.Name;
    } else {
      base = SiteRoot + "/search?category_id=80";
      StatusText = SjisLiteral<"全カテゴリ">();
    }
  } else {
    base = SiteRoot + "/search/?category_id=";
    // A node past the list reads as one with no code and no caption.
    if (static_cast<size_t>(categoryIndex) < Nodes.size()) {
      const CategoryNode& node = Nodes[static_cast<size_t>(categoryIndex)];
      base += TrimBlanks(node.Code);
      if (node.Level == 1 && node.Parent >= 0 && static_cast<size_t>(node.Parent) < Nodes.size())
        StatusText += TrimBlanks(Nodes[static_cast<size_t>(node.Parent)].Caption) + " > ";
      StatusText += TrimBlanks(node.Caption);
    }
  }

  tail += KeywordParameter(Conditions.Keyword);

  AppendIfSet(tail, "&facet_price_from=", Conditions.WholesalePrice.Min);
  AppendIfSet(tail, "&facet_price_to=", Conditions.WholesalePrice.Max);
  AppendIfSet(tail, "&refrence_price_from=", Conditions.RetailPrice.Min);  // the site's spelling
  AppendIfSet(tail, "&refrence_price_to=", Conditions.RetailPrice.Max);

  tail += Conditions.InStockOnly ? "&ex_so=Y" : "&ex_so=N";
  if (Conditions.DiscountedOnly) tail += "&disc_flg=Y";

  switch (Conditions.Sort) {
    case 0:
      tail += "&sort=score&sort_operate_flg=Y";
      break;
    case 1:
      tail += "&sort=sales&sort_operate_flg=Y";
      break;
    case 2:
      tail += "&sort=new&sort_operate_flg=Y";
      break;
    case 3:
      tail += "&sort=PD&sort_operate_flg=Y";
      break;
    case 4:
      tail += "&sort=PA&sort_operate_flg=Y";
      break;
    default:
      break;
  }
  return base + tail;
}

}  // namespace vormla
