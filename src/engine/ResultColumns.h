// Where each value sits in a result row: column n of the CSV file is index n - 1
// of an item's record. One list for the readers that fill a record and for the
// comparison of two result files.
#pragma once

namespace vormla::column {

inline constexpr int kManagementNo = 0;
inline constexpr int kItemId = 1;
inline constexpr int kCategory = 2;
inline constexpr int kItemName = 3;
inline constexpr int kIntroduction = 4;
inline constexpr int kSupplier = 5;
inline constexpr int kBrand = 6;
inline constexpr int kRetailPrice = 7;
inline constexpr int kWholesalePrice = 8;
inline constexpr int kJanCode = 15;
inline constexpr int kPayment = 16;
inline constexpr int kAboutItem = 17;
inline constexpr int kSupplierScore = 18;
inline constexpr int kPopularity = 19;
inline constexpr int kAttention = 20;
inline constexpr int kRepeat = 21;
inline constexpr int kSalesState = 22;
inline constexpr int kUpdated = 23;
inline constexpr int kCompanyUrl = 24;
inline constexpr int kFirstImage = 25;  // ten picture URLs from here
inline constexpr int kImageCount = 10;
inline constexpr int kItemUrl = 35;

}  // namespace vormla::column
