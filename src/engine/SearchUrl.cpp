// The marketplace's search URL for one category and the window's conditions.
#include "text/SjisLiteral.h"
#include "engine/RetrievalJob.h"
#include "text/UrlText.h"

namespace vormla {

namespace {

void AppendIfSet(std::string& tail, const char* key, const std::string& box) {
  const std::string value = TrimBlanks(box);
  if (!value.empty()) tail += key + value;
}

}  // namespace

std::string RetrievalJob::BuildSearchUrl(int categoryIndex) {
  std::string base;
  std::string tail;
  StatusText.clear();

  if (categoryIndex < 0) {
    if (Conditions.CtgrIndex > 0) {
      base = SiteRoot + "/search/?category_id=" + std::to_string(Conditions.CtgrIndex);
      StatusText = Conditions.CtgrText;
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

  const std::string word = TrimBlanks(Conditions.Word);
  if (!word.empty()) tail += "&keyword=" + FormEncode(SjisToUtf8(word));

  AppendIfSet(tail, "&facet_price_from=", Conditions.Price1);
  AppendIfSet(tail, "&facet_price_to=", Conditions.Price2);
  AppendIfSet(tail, "&refrence_price_from=", Conditions.Price3);  // the site's spelling
  AppendIfSet(tail, "&refrence_price_to=", Conditions.Price4);

  tail += Conditions.Sell1 ? "&ex_so=Y" : "&ex_so=N";
  if (Conditions.Sell2) tail += "&disc_flg=Y";

  switch (Conditions.SortIndex) {
    case 0: tail += "&sort=score&sort_operate_flg=Y"; break;
    case 1: tail += "&sort=sales&sort_operate_flg=Y"; break;
    case 2: tail += "&sort=new&sort_operate_flg=Y"; break;
    case 3: tail += "&sort=PD&sort_operate_flg=Y"; break;
    case 4: tail += "&sort=PA&sort_operate_flg=Y"; break;
    default: break;
  }
  return base + tail;
}

}  // namespace vormla
