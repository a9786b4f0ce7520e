// The catalog's item facts, keys and page cache. What it builds lives beside it:
// DemoSearchQuery.cpp (requests), DemoListing.cpp (result pages), DemoItemPage.cpp
// (item pages), DemoPictures.cpp (pictures).
#include "demo-market/DemoCatalog.h"

#include <utility>

#include "demo-market/DemoItemKeys.h"
#include "demo-market/DemoText.h"

namespace vormla::demo {

std::string ModelDecode(const std::string& text) {
  std::string t = ReplaceNoCase(text, "&amp;", "&");
  t = ReplaceNoCase(t, "&#039;", "'");
  t = ReplaceNoCase(t, "&#12316;", "\xEF\xBD\x9E");  // U+FF5E, what 0x81 0x60 reads back as
  t = ReplaceNoCase(t, "&quot;", "\"");
  t = ReplaceNoCase(t, "&lt;", "<");
  return ReplaceNoCase(t, "&gt;", ">");
}

Catalog::Catalog(int port, CatalogOptions options)
    : root_("https://127.0.0.1:" + std::to_string(port)), options_(options), revision_(options.revision) {}

void Catalog::SetRevision(int revision) {
  std::lock_guard<std::mutex> lock(mutex_);
  revision_ = revision;
  cache_.clear();  // item pages show the stock
}

ItemChange Catalog::ChangeClass(std::uint64_t key) const {
  const int revision = revision_;
  if (revision <= 0) return ItemChange::kNone;
  switch (Mix(key ^ (0xC4A26EULL * static_cast<std::uint64_t>(revision))) % 10) {
    case 0:
      return ItemChange::kRemoved;
    case 1:
      return ItemChange::kPrice;
    case 2:
      return ItemChange::kStock;
    default:
      return ItemChange::kNone;
  }
}

ItemChange Catalog::RevisionChange(std::uint64_t key) const {
  if (revision_ <= 0) return ItemChange::kNone;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (added_.count(key) != 0) return ItemChange::kAdded;
  }
  return ChangeClass(key);
}

ItemFacts Catalog::Facts(std::uint64_t key) const {
  Rng r(key ^ 0xFAC75ULL);
  ItemFacts f;
  const bool noWholesale = r.OneIn(12);
  int wholesale = 100 + r.Below(2000) * 10;
  const int retailKind = r.Below(12);
  const int markup = 150 + r.Below(150);
  f.soldOut = r.OneIn(7);
  f.discounted = r.OneIn(5);
  f.sales = r.Below(5000);
  f.registered = r.Below(1800);
  const ItemChange change = RevisionChange(key);
  if (change == ItemChange::kPrice) wholesale += 100;
  if (change == ItemChange::kStock) f.soldOut = !f.soldOut;
  f.wholesale = noWholesale ? 0 : wholesale;
  if (retailKind == 1) {
    f.openPrice = true;
  } else if (retailKind != 0) {
    f.retail = (wholesale * markup / 100 + 9) / 10 * 10;
  }
  return f;
}

std::string Catalog::ItemUrl(std::uint64_t key) const { return root_ + "/shop/" + SupplierOf(key) + "/" + Hex10(key); }

std::optional<std::uint64_t> Catalog::KeyFromPath(const std::string& supplier, const std::string& code) const {
  if (code.size() != 10) return std::nullopt;
  std::uint64_t key = 0;
  for (char c : code) {
    int v;
    if (c >= '0' && c <= '9')
      v = c - '0';
    else if (c >= 'A' && c <= 'F')
      v = c - 'A' + 10;
    else
      return std::nullopt;
    key = key * 16 + static_cast<std::uint64_t>(v);
  }
  if (key < 0x100 || SupplierOf(key) != supplier) return std::nullopt;
  return key;
}

std::shared_ptr<const ItemPage> Catalog::Item(std::uint64_t key) const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = cache_.find(key);
    if (found != cache_.end()) return found->second;
  }
  auto page = std::make_shared<ItemPage>();
  page->html = ItemHtml(key, *page);
  std::lock_guard<std::mutex> lock(mutex_);
  if (cache_.size() >= 50000) cache_.clear();  // a long demo session must not grow without end
  return cache_.emplace(key, std::move(page)).first->second;
}

ExpectedColumns Catalog::ExpectedRow(std::uint64_t key, const std::string& categoryColumn, bool signedIn) const {
  ExpectedColumns row = Item(key)->expected;
  row[kCategory] = ModelDecode(categoryColumn);
  row[kRetail] = ModelDecode(ExpectedRetail(key, signedIn));
  row[kWholesale] = ModelDecode(ExpectedWholesale(key, signedIn));
  row[kDetailUrl] = ItemUrl(key);
  return row;
}

}  // namespace vormla::demo
