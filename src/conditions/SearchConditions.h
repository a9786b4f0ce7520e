// What one search asks the marketplace for, the same wherever it is held: in
// the window's controls, on the command line, in the settings file and in the
// job. Plain data that needs nothing else, so every layer from the settings file
// up can hold it.
#pragma once

#include <string>

namespace vormla {

// A price range as typed: decimal digits, or empty for no bound on that side.
struct PriceRange {
  std::string Min;
  std::string Max;
};

// The top-level category searched. Index 0 is every category; Name is the
// catalogue's own text (Shift-JIS), which the rows carry.
struct TopCategoryChoice {
  int Index = 0;
  std::string Name;
};

// Whether the items' pictures are saved, and into which folder (a native path;
// a run's ends in "/").
struct PictureSaving {
  bool On = false;
  std::string Folder;
};

struct SearchConditions {
  // UTF-8 as typed; what the search sends is what code page 932 can write of it.
  std::string Keyword;
  PriceRange WholesalePrice;
  PriceRange RetailPrice;  // the maker's suggested retail price
  bool InStockOnly = false;
  bool DiscountedOnly = false;
  // One of the marketplace's five orders (0 relevance, 1 best-selling, 2 newest,
  // 3 wholesale price high to low, 4 low to high); any other value leaves the
  // order to the marketplace.
  int Sort = 0;
  TopCategoryChoice TopCategory;
  // The nodes of the top category's tree to search, each index followed by ","
  // ("1,2,5,"); empty searches the top category whole.
  std::string SelectedCategories;
  PictureSaving Pictures;
};

}  // namespace vormla
