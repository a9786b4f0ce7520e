// The demo market's result pages: which items a search lists, in which order, and
// the markup of their blocks, with the two price columns a client reads off them.
#include <algorithm>

#include "demo-market/DemoCatalog.h"
#include "demo-market/DemoItemKeys.h"
#include "demo-market/DemoText.h"

namespace vormla::demo {

namespace {

std::string Yen(long long value) { return WithCommas(value) + "円"; }

// Markup variants of an item's block on a result page, fixed per item.
struct BlockStyle {
  bool taxNote;         // "1,980円&nbsp;(税込)"
  bool wholesaleFirst;  // price paragraph above the retail area
  bool plainPriceClass; // class="price" instead of class="afterPrice"
};

BlockStyle StyleOf(std::uint64_t key) {
  Rng r(key ^ 0xB10C5ULL);
  BlockStyle s{};
  s.taxNote = r.OneIn(4);
  s.wholesaleFirst = r.OneIn(15);
  s.plainPriceClass = r.OneIn(4);
  return s;
}

}  // namespace

Listing Catalog::MakeListing(const SearchQuery& query) const {
  const std::uint64_t seed = HashText(query.allCategories ? std::string("all") : "cat:" + query.categoryId) ^
                             Mix(HashText("kw:" + query.keyword));
  Rng r(seed);
  const bool scaled = options_.itemsPerSearch > 0;
  const int natural = 3 + r.Below(10);
  const bool big = query.allCategories || r.OneIn(5);
  const int bigSize = 45 + r.Below(10);
  const long long extraHits = 1000 + r.Below(90000);
  const bool linkless = r.OneIn(9);
  const int linklessAt = r.Below(1000);
  const bool countLags = r.OneIn(11);
  const int genre = static_cast<int>(HashText(query.categoryId) % kGenres);

  const int poolSize = scaled ? options_.itemsPerSearch : (big ? bigSize : natural);
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

  auto number = [](const std::string& text) { return text.empty() ? -1LL : std::stoll(text); };
  const long long wFrom = number(query.priceFrom), wTo = number(query.priceTo);
  const long long rFrom = number(query.retailFrom), rTo = number(query.retailTo);
  std::vector<std::uint64_t> hits;
  for (std::uint64_t key : pool) {
    const ItemFacts f = Facts(key);
    if ((wFrom >= 0 || wTo >= 0) && f.wholesale == 0) continue;
    if (wFrom >= 0 && f.wholesale < wFrom) continue;
    if (wTo >= 0 && f.wholesale > wTo) continue;
    if ((rFrom >= 0 || rTo >= 0) && f.retail == 0) continue;
    if (rFrom >= 0 && f.retail < rFrom) continue;
    if (rTo >= 0 && f.retail > rTo) continue;
    if (query.inStockOnly && f.soldOut) continue;
    if (query.discountedOnly && !f.discounted) continue;
    hits.push_back(key);
  }
  auto by = [this](auto field, bool descending) {
    return [this, field, descending](std::uint64_t a, std::uint64_t b) {
      const long long x = field(Facts(a)), y = field(Facts(b));
      return descending ? x > y : x < y;
    };
  };
  if (query.sort == "sales") {
    std::stable_sort(hits.begin(), hits.end(), by([](const ItemFacts& f) { return f.sales; }, true));
  } else if (query.sort == "new") {
    std::stable_sort(hits.begin(), hits.end(), by([](const ItemFacts& f) { return f.registered; }, true));
  } else if (query.sort == "PD") {
    std::stable_sort(hits.begin(), hits.end(), by([](const ItemFacts& f) { return f.wholesale; }, true));
  } else if (query.sort == "PA") {
    std::stable_sort(hits.begin(), hits.end(), by([](const ItemFacts& f) { return f.wholesale; }, false));
  }

  Listing listing;
  const size_t pageLimit = scaled ? static_cast<size_t>(options_.itemsPerSearch) : 40;
  listing.blocks.assign(hits.begin(), hits.begin() + static_cast<long>(std::min(pageLimit, hits.size())));
  listing.hitCount = static_cast<long long>(hits.size());
  if (!scaled && hits.size() > pageLimit) listing.hitCount += extraHits;
  if (!scaled && linkless && !listing.blocks.empty()) {
    listing.blocks.insert(listing.blocks.begin() + linklessAt % static_cast<int>(listing.blocks.size() + 1), 0);
    listing.hitCount += 1;
  }
  if (!scaled && countLags && listing.blocks.size() >= 4 &&
      listing.hitCount == static_cast<long long>(listing.blocks.size())) {
    listing.hitCount -= 1;  // the count lags behind the page: the last block is not read
  }
  return listing;
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
  auto line = [&out](const std::string& text) {
    out += text;
    out += '\n';
  };
  line("<!DOCTYPE html>");
  line("<html lang=\"ja\">");
  line("<head>");
  line("<meta charset=\"UTF-8\">");
  line("<title>検索結果 | Vormla</title>");
  line("</head>");
  line("<body>");
  line("<section class=\"searchResult\">");
  line("<h2 class=\"searchResultHd\">検索結果</h2>");
  std::string keyword;
  for (char c : query.keyword) {
    if (c == '&') keyword += "&amp;";
    else if (c == '<') keyword += "&lt;";
    else if (c == '>') keyword += "&gt;";
    else if (c == '"') keyword += "&quot;";
    else if (static_cast<unsigned char>(c) < 0x20) keyword += ' ';
    else keyword += c;
  }
  line("<p class=\"searchCondTxt\">キーワード：" + keyword + "</p>");
  if (listing.blocks.empty()) {
    line("<p class=\"paginationTxt\">全0件中 0～0件を表示</p>");
    line("<p class=\"noResultTxt\">該当する商品が見つかりませんでした。</p>");
  } else {
    line("<p class=\"paginationTxt\">全" + WithCommas(listing.hitCount) + "件中 1～" +
         std::to_string(listing.blocks.size()) + "件を表示</p>");
  }
  line("<div class=\"showcase\">");
  line("<ul class=\"showcaseList\">");
  for (std::uint64_t key : listing.blocks) {
    line("<li class=\"showcaseItem\">");
    line("<h3 class=\"showcaseHd\">");
    if (key == 0) {
      line("<span>掲載終了</span>");
      line("</h3>");
      line("</li>");
      continue;
    }
    const ItemFacts f = Facts(key);
    const BlockStyle style = StyleOf(key);
    const std::string supplier = SupplierOf(key);
    line("<a href=\"" + ItemUrl(key) + "?ref=list\">" + kNouns[key % kGenres][Mix(key) % 6] + "</a>");
    line("</h3>");
    line("<div class=\"showcaseImg\"><img src=\"" + root_ + "/img/" + supplier + "/" + Hex10(key) +
         "_01.png\" alt=\"\"></div>");
    if (f.discounted) line("<p class=\"labelDisc\">割引中</p>");
    std::vector<std::string> wholesale;
    if (!signedIn) {
      wholesale.push_back("<p class=\"loginPriceTxt\">卸価格は<a href=\"/login\">ログイン</a>後に表示されます</p>");
    } else if (f.wholesale > 0) {
      wholesale.push_back(std::string(style.plainPriceClass ? "<p class=\"price\">" : "<p class=\"afterPrice\">") +
                          "卸価格&nbsp;" + Yen(f.wholesale) + "</p>");
    } else {
      wholesale.push_back("<p class=\"priceTxt\">価格はお問い合わせください</p>");
    }
    std::vector<std::string> retail;
    if (f.openPrice) {
      retail = {"<div class=\"retailPriceArea\">", "<p class=\"retailPriceTxt\">オープン価格</p>", "</div>"};
    } else if (f.retail > 0) {
      retail = {"<div class=\"retailPriceArea\">", "<span class=\"retailPriceLabel\">メーカー希望小売価格</span>",
                "<span class=\"retailPrice\">" + Yen(f.retail) + (style.taxNote ? "&nbsp;(税込)" : "") + "</span>",
                "</div>"};
    }
    const auto& first = style.wholesaleFirst ? wholesale : retail;
    const auto& second = style.wholesaleFirst ? retail : wholesale;
    for (const auto& l : first) line("  " + l);
    for (const auto& l : second) line("  " + l);
    line("</li>");
  }
  line("</ul>");
  line("</div>");
  line("</section>");
  line("<section class=\"recommend\">");
  line("<h3 class=\"recommendHd\">おすすめ商品</h3>");
  line("</section>");
  line("</body>");
  line("</html>");
  return out;
}

}  // namespace vormla::demo
