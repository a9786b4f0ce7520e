// The demo market's goods: result lists and item pages made up from the search
// alone, so any category code works and the same search always lists the same items.
// Beside the markup, every item carries the 36 CSV values a client must derive from
// it; those are worked out here from the text that was put into each line.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vormla::demo {

// One search request as the market understood it.
struct SearchQuery {
  bool allCategories = false;  // "/search?category_id=80"
  std::string categoryId;
  std::string keyword;               // form-decoded (UTF-8)
  std::string priceFrom, priceTo;    // facet_price_from/to (wholesale)
  std::string retailFrom, retailTo;  // refrence_price_from/to
  bool inStockOnly = false;          // ex_so=Y
  bool discountedOnly = false;       // disc_flg=Y
  std::string sort;                  // score, sales, new, PD, PA or ""
  // Known path, keys in the client's fixed order, ex_so present, values as the
  // client writes them.
  bool wellFormed = false;
};

// target: path and query ("/search/?category_id=12&ex_so=N..."); an absolute URL
// is accepted too (scheme and authority are skipped).
SearchQuery ParseSearchTarget(const std::string& target);

// Form decoding of one query value: "+" is a blank, "%XX" a byte.
std::string FormDecode(const std::string& text);

struct CatalogOptions {
  // 0: every search lists its own number of items (a handful to a full page).
  // N > 0: every search lists exactly N items (before filters), all on one page.
  int itemsPerSearch = 0;
  // 0: natural item pages (a few KB). Otherwise item pages padded to a size between
  // pageBytesMin and pageBytesMax, chosen per item.
  int pageBytesMin = 0;
  int pageBytesMax = 0;
  // The catalogue's state; see Catalog::SetRevision.
  int revision = 0;
};

// How an item differs from revision 0 in a later revision of the catalogue.
enum class ItemChange {
  kNone,
  kRemoved,  // no search lists it any more
  kPrice,    // its wholesale price (and the retail price made from it) went up by 100 yen
  kStock,    // in stock and sold out swapped
  kAdded     // listed only from this revision on
};

// Facts of one item that searches filter and sort on.
struct ItemFacts {
  int wholesale = 0;       // yen; 0 = no wholesale price shown
  int retail = 0;          // yen; 0 = none
  bool openPrice = false;  // retail area says "オープン価格"
  bool soldOut = false;
  bool discounted = false;
  int sales = 0;
  int registered = 0;  // days since 2019-01-01
};

// One item block of a result page: key 0 is a block without a detail link.
struct Listing {
  long long hitCount = 0;
  std::vector<std::uint64_t> blocks;
};

// What a client must write for one item; UTF-8, index n-1 is CSV column n.
using ExpectedColumns = std::array<std::string, 36>;

struct ItemPage {
  std::string html;
  ExpectedColumns expected;                     // columns 3, 8, 9 and 36 left empty
  std::vector<std::string> pictureUrls;         // every distinct picture (download order)
  std::vector<std::string> missingPictureUrls;  // those among them that answer 404
};

class Catalog {
 public:
  Catalog(int port, CatalogOptions options);

  // Revision 0 is the catalogue every page comes from by default. From revision 1
  // on, every search lists one item more at the end, and about one item in ten
  // of the others is gone, one in ten costs more and one in ten swapped its
  // stock, each revision its own; everything else of the pages stays the same.
  void SetRevision(int revision);
  int Revision() const { return revision_; }
  // What the current revision changed of this item.
  ItemChange RevisionChange(std::uint64_t key) const;

  Listing MakeListing(const SearchQuery& query) const;
  std::string ListingPage(const SearchQuery& query, const Listing& listing, bool signedIn) const;

  // The item behind "/shop/<supplier>/<code>", or nothing.
  std::optional<std::uint64_t> KeyFromPath(const std::string& supplier, const std::string& code) const;
  std::string ItemUrl(std::uint64_t key) const;                   // absolute, without query
  std::shared_ptr<const ItemPage> Item(std::uint64_t key) const;  // cached
  ItemFacts Facts(std::uint64_t key) const;

  // Columns 8 and 9 as a client reads them off the result page.
  std::string ExpectedRetail(std::uint64_t key, bool signedIn) const;
  std::string ExpectedWholesale(std::uint64_t key, bool signedIn) const;

  // The full 36 values of an item listed by a search whose category column is
  // categoryColumn (UTF-8, as the client builds it before entity decoding).
  ExpectedColumns ExpectedRow(std::uint64_t key, const std::string& categoryColumn, bool signedIn) const;

  // Bytes of a picture path ("/img/..."), or nothing for an unknown picture.
  // Missing pictures (404 normally) are served only when servedMissing is true.
  std::optional<std::string> Picture(const std::string& path, bool serveMissing) const;

  std::string Root() const { return root_; }

 private:
  std::string ItemHtml(std::uint64_t key, ItemPage& page) const;
  std::vector<std::uint64_t> ListingPool(const SearchQuery& query, std::uint64_t seed, int poolSize) const;
  ItemChange ChangeClass(std::uint64_t key) const;  // kAdded aside

  std::string root_;
  CatalogOptions options_;
  mutable std::mutex mutex_;
  mutable std::map<std::uint64_t, std::shared_ptr<const ItemPage>> cache_;
  std::atomic<int> revision_{0};
  mutable std::set<std::uint64_t> added_;  // the keys the later revisions listed in addition
};

// A small valid PNG, different for every path.
std::string PngFor(const std::string& seed);

// The entity decoding every CSV value goes through ("&amp;", "&#039;", "&#12316;",
// "&quot;", "&lt;", "&gt;", in that order).
std::string ModelDecode(const std::string& text);

}  // namespace vormla::demo
