// The demo market's result pages: which items a search lists, in which order, and
// the markup of their blocks, with the two price columns a client reads off them.
#include <algorithm>
#include <string>
#include <vector>

#include "demo-market/DemoCatalog.h"
#include "demo-market/DemoItemKeys.h"
#include "demo-market/DemoText.h"

namespace vormla::demo {

namespace {

std::string Yen(long long value) { return WithCommas(value) + "円"; }

// Markup variants of an item's block on a result page, fixed per item.
struct BlockStyle {
  bool taxNote;          // "1,980円&nbsp;(税込)"
  bool wholesaleFirst;   // price paragraph above the retail area
  bool plainPriceClass;  // class="price" instead of class="afterPrice"
};

BlockStyle StyleOf(std::uint64_t key) {
  Rng r(key ^ 0xB10C5ULL);
  BlockStyle s{};
  s.taxNote = r.OneIn(4);
  s.wholesaleFirst = r.OneIn(15);
  s.plainPriceClass = r.OneIn(4);
  return s;
}

// What a search's seed decides besides its items: how many items the full list
// holds and the quirks of its page.
struct ListingShape {
  int poolSize = 0;
  long long extraHits = 0;  // hits beyond a full page
  bool linkless = false;    // one block without a detail link, at linklessAt
  int linklessAt = 0;
  bool countLags = false;  // a hit count that falls one short of the blocks
};

ListingShape ShapeOf(Rng& r, const SearchQuery& query, int itemsPerSearch) {
  ListingShape shape;
  const int natural = 3 + r.Below(10);
  const bool big = query.allCategories || r.OneIn(5);
  const int bigSize = 45 + r.Below(10);
  shape.extraHits = 1000 + r.Below(90000);
  shape.linkless = r.OneIn(9);
  shape.linklessAt = r.Below(1000);
  shape.countLags = r.OneIn(11);
  shape.poolSize = itemsPerSearch > 0 ? itemsPerSearch : (big ? bigSize : natural);
  return shape;
}

// The price, stock and discount conditions of a search. A price bound leaves
// out the items without that price.
class HitFilter {
 public:
  explicit HitFilter(const SearchQuery& query)
      : wholesaleFrom_(Bound(query.priceFrom)),
        wholesaleTo_(Bound(query.priceTo)),
        retailFrom_(Bound(query.retailFrom)),
        retailTo_(Bound(query.retailTo)),
        inStockOnly_(query.inStockOnly),
        discountedOnly_(query.discountedOnly) {}

  bool Passes(const ItemFacts& f) const {
    if ((wholesaleFrom_ >= 0 || wholesaleTo_ >= 0) && f.wholesale == 0) return false;
    if (wholesaleFrom_ >= 0 && f.wholesale < wholesaleFrom_) return false;
    if (wholesaleTo_ >= 0 && f.wholesale > wholesaleTo_) return false;
    if ((retailFrom_ >= 0 || retailTo_ >= 0) && f.retail == 0) return false;
    if (retailFrom_ >= 0 && f.retail < retailFrom_) return false;
    if (retailTo_ >= 0 && f.retail > retailTo_) return false;
    if (inStockOnly_ && f.soldOut) return false;
    return !discountedOnly_ || f.discounted;
  }

 private:
  static long long Bound(const std::string& text) { return text.empty() ? -1LL : std::stoll(text); }

  long long wholesaleFrom_, wholesaleTo_, retailFrom_, retailTo_;  // -1: no bound
  bool inStockOnly_, discountedOnly_;
};

// The site's orders; "score" and none keep the list's own order.
void SortHits(const Catalog& catalog, const std::string& sort, std::vector<std::uint64_t>& hits) {
  auto by = [&catalog](auto field, bool descending) {
    return [&catalog, field, descending](std::uint64_t a, std::uint64_t b) {
      const long long x = field(catalog.Facts(a)), y = field(catalog.Facts(b));
      return descending ? x > y : x < y;
    };
  };
  if (sort == "sales") {
    std::stable_sort(hits.begin(), hits.end(), by([](const ItemFacts& f) { return f.sales; }, true));
  } else if (sort == "new") {
    std::stable_sort(hits.begin(), hits.end(), by([](const ItemFacts& f) { return f.registered; }, true));
  } else if (sort == "PD") {
    std::stable_sort(hits.begin(), hits.end(), by([](const ItemFacts& f) { return f.wholesale; }, true));
  } else if (sort == "PA") {
    std::stable_sort(hits.begin(), hits.end(), by([](const ItemFacts& f) { return f.wholesale; }, false));
  }
}

// The first page of the hits with its hit count. A scaled catalogue lists every
// hit on its one page, as counted.
Listing FirstPage(const std::vector<std::uint64_t>& hits, const ListingShape& shape, bool scaled, size_t pageLimit) {
  Listing listing;
  listing.blocks.assign(hits.begin(), hits.begin() + static_cast<long>(std::min(pageLimit, hits.size())));
  listing.hitCount = static_cast<long long>(hits.size());
  if (!scaled && hits.size() > pageLimit) listing.hitCount += shape.extraHits;
  if (!scaled && shape.linkless && !listing.blocks.empty()) {
    listing.blocks.insert(listing.blocks.begin() + shape.linklessAt % static_cast<int>(listing.blocks.size() + 1), 0);
    listing.hitCount += 1;
  }
  if (!scaled && shape.countLags && listing.blocks.size() >= 4 &&
      listing.hitCount == static_cast<long long>(listing.blocks.size())) {
    listing.hitCount -= 1;  // the count lags behind the page: the last block is not read
  }
  return listing;
}

void AppendLine(std::string& out, const std::string& text) {
  out += text;
  out += '\n';
}

// The keyword as the page repeats it: markup escaped, control characters blanked.
std::string EscapedKeyword(const std::string& keyword) {
  std::string escaped;
  for (char c : keyword) {
    if (c == '&')
      escaped += "&amp;";
    else if (c == '<')
      escaped += "&lt;";
    else if (c == '>')
      escaped += "&gt;";
    else if (c == '"')
      escaped += "&quot;";
    else if (static_cast<unsigned char>(c) < 0x20)
      escaped += ' ';
    else
      escaped += c;
  }
  return escaped;
}

// The wholesale price paragraph of a block: the price for members, else a hint to sign in.
std::vector<std::string> WholesaleLines(const ItemFacts& f, const BlockStyle& style, bool signedIn) {
  if (!signedIn) return {"<p class=\"loginPriceTxt\">卸価格は<a href=\"/login\">ログイン</a>後に表示されます</p>"};
  if (f.wholesale > 0) {
    return {std::string(style.plainPriceClass ? "<p class=\"price\">" : "<p class=\"afterPrice\">") + "卸価格&nbsp;" +
            Yen(f.wholesale) + "</p>"};
  }
  return {"<p class=\"priceTxt\">価格はお問い合わせください</p>"};
}

// The retail price area of a block, if the item has one.
std::vector<std::string> RetailLines(const ItemFacts& f, const BlockStyle& style) {
  if (f.openPrice) return {"<div class=\"retailPriceArea\">", "<p class=\"retailPriceTxt\">オープン価格</p>", "</div>"};
  if (f.retail <= 0) return {};
  return {"<div class=\"retailPriceArea\">", "<span class=\"retailPriceLabel\">メーカー希望小売価格</span>",
          "<span class=\"retailPrice\">" + Yen(f.retail) + (style.taxNote ? "&nbsp;(税込)" : "") + "</span>", "</div>"};
}

// One item block of a result page; key 0 is a block whose item is gone.
void AppendBlock(std::string& out, const Catalog& catalog, std::uint64_t key, bool signedIn) {
  AppendLine(out, "<li class=\"showcaseItem\">");
  AppendLine(out, "<h3 class=\"showcaseHd\">");
  if (key == 0) {
    AppendLine(out, "<span>掲載終了</span>");
    AppendLine(out, "</h3>");
    AppendLine(out, "</li>");
    return;
  }
  const ItemFacts f = catalog.Facts(key);
  const BlockStyle style = StyleOf(key);
  const std::string supplier = SupplierOf(key);
  AppendLine(out, "<a href=\"" + catalog.ItemUrl(key) + "?ref=list\">" + kNouns[key % kGenres][Mix(key) % 6] + "</a>");
  AppendLine(out, "</h3>");
  AppendLine(out, "<div class=\"showcaseImg\"><img src=\"" + catalog.Root() + "/img/" + supplier + "/" + Hex10(key) +
                      "_01.png\" alt=\"\"></div>");
  if (f.discounted) AppendLine(out, "<p class=\"labelDisc\">割引中</p>");
  const std::vector<std::string> wholesale = WholesaleLines(f, style, signedIn);
  const std::vector<std::string> retail = RetailLines(f, style);
  const auto& first = style.wholesaleFirst ? wholesale : retail;
  const auto& second = style.wholesaleFirst ? retail : wholesale;
  for (const auto& l : first) AppendLine(out, "  " + l);
  for (const auto& l : second) AppendLine(out, "  " + l);
  AppendLine(out, "</li>");
}

}  // namespace

Listing Catalog::MakeListing(const SearchQuery& query) const {
  const std::uint64_t seed = HashText(query.allCategories ? std::string("all") : "cat:" + query.categoryId) ^
                             Mix(HashText("kw:" + query.keyword));
  Rng r(seed);
  const ListingShape shape = ShapeOf(r, query, options_.itemsPerSearch);
  const std::vector<std::uint64_t> pool = ListingPool(query, seed, shape.poolSize);
  const HitFilter filter(query);
  std::vector<std::uint64_t> hits;
  for (std::uint64_t key : pool) {
    if (filter.Passes(Facts(key))) hits.push_back(key);
  }
  SortHits(*this, query.sort, hits);
  const bool scaled = options_.itemsPerSearch > 0;
  return FirstPage(hits, shape, scaled, scaled ? static_cast<size_t>(options_.itemsPerSearch) : 40);
}

// Every item the search finds before its conditions, in the list's own order.
// A later revision drops the removed items and adds one of its own at the end.
std::vector<std::uint64_t> Catalog::ListingPool(const SearchQuery& query, std::uint64_t seed, int poolSize) const {
  const int genre = static_cast<int>(HashText(query.categoryId) % kGenres);
  std::vector<std::uint64_t> pool;
  pool.reserve(static_cast<size_t>(poolSize));
  for (int i = 0; i < poolSize; ++i) {
    std::uint64_t key = Mix(seed + static_cast<std::uint64_t>(i) + 1) & kKeyMask & ~std::uint64_t{7};
    if (key < 0x100) key |= 0x100;
    const int g = query.allCategories ? static_cast<int>(Mix(key) % kGenres) : genre;
    pool.push_back(key | static_cast<std::uint64_t>(g));
  }
  if (revision_ > 0) {
    std::erase_if(pool, [this](std::uint64_t key) { return ChangeClass(key) == ItemChange::kRemoved; });
    const std::uint64_t extra = Mix(seed ^ (0xADDEDULL + static_cast<std::uint64_t>(revision_))) & kKeyMask;
    const int g = query.allCategories ? static_cast<int>(Mix(extra) % kGenres) : genre;
    const std::uint64_t key = (extra & ~std::uint64_t{7}) | 0x100 | static_cast<std::uint64_t>(g);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      added_.insert(key);
    }
    pool.push_back(key);
  }
  return pool;
}

std::string Catalog::ExpectedRetail(std::uint64_t key, bool signedIn) const {
  const ItemFacts f = Facts(key);
  const BlockStyle style = StyleOf(key);
  // A price paragraph above the area ends the client's scan before the area.
  if (style.wholesaleFirst && signedIn && f.wholesale > 0) return "";
  if (f.openPrice) return "オープン価格";
  if (f.retail == 0) return "";
  return style.taxNote ? Yen(f.retail) + " (税込)" : Yen(f.retail);
}

std::string Catalog::ExpectedWholesale(std::uint64_t key, bool signedIn) const {
  const ItemFacts f = Facts(key);
  if (!signedIn || f.wholesale == 0) return "卸価格は非公開";
  return Yen(f.wholesale);
}

std::string Catalog::ListingPage(const SearchQuery& query, const Listing& listing, bool signedIn) const {
  std::string out;
  for (const char* l : {"<!DOCTYPE html>", "<html lang=\"ja\">", "<head>", "<meta charset=\"UTF-8\">",
                        "<title>検索結果 | Vormla</title>", "</head>", "<body>", "<section class=\"searchResult\">",
                        "<h2 class=\"searchResultHd\">検索結果</h2>"}) {
    AppendLine(out, l);
  }
  AppendLine(out, "<p class=\"searchCondTxt\">キーワード：" + EscapedKeyword(query.keyword) + "</p>");
  if (listing.blocks.empty()) {
    AppendLine(out, "<p class=\"paginationTxt\">全0件中 0～0件を表示</p>");
    AppendLine(out, "<p class=\"noResultTxt\">該当する商品が見つかりませんでした。</p>");
  } else {
    AppendLine(out, "<p class=\"paginationTxt\">全" + WithCommas(listing.hitCount) + "件中 1～" +
                        std::to_string(listing.blocks.size()) + "件を表示</p>");
  }
  AppendLine(out, "<div class=\"showcase\">");
  AppendLine(out, "<ul class=\"showcaseList\">");
  for (std::uint64_t key : listing.blocks) AppendBlock(out, *this, key, signedIn);
  for (const char* l : {"</ul>", "</div>", "</section>", "<section class=\"recommend\">",
                        "<h3 class=\"recommendHd\">おすすめ商品</h3>", "</section>", "</body>", "</html>"}) {
    AppendLine(out, l);
  }
  return out;
}

}  // namespace vormla::demo
