// The search requests the demo market understands: their path and query keys, in
// the order and with the values a client writes them.
#include <algorithm>
#include <cctype>
#include <utility>

#include "demo-market/DemoCatalog.h"
#include "demo-market/DemoText.h"

namespace vormla::demo {

namespace {

bool AllDigits(const std::string& text) {
  return !text.empty() && text.size() <= 9 &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::string FormDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

SearchQuery ParseSearchTarget(const std::string& target) {
  SearchQuery q;
  std::string rest = target;
  const size_t scheme = rest.find("://");
  if (scheme != std::string::npos) {
    const size_t slash = rest.find('/', scheme + 3);
    rest = slash == std::string::npos ? "/" : rest.substr(slash);
  }
  const size_t mark = rest.find('?');
  const std::string path = rest.substr(0, mark);
  const std::string query = mark == std::string::npos ? "" : rest.substr(mark + 1);

  std::vector<std::pair<std::string, std::string>> pairs;
  size_t pos = 0;
  while (pos <= query.size() && !query.empty()) {
    size_t amp = query.find('&', pos);
    if (amp == std::string::npos) amp = query.size();
    const std::string piece = query.substr(pos, amp - pos);
    if (!piece.empty()) {
      const size_t eq = piece.find('=');
      pairs.emplace_back(piece.substr(0, eq), eq == std::string::npos ? "" : piece.substr(eq + 1));
    }
    pos = amp + 1;
  }

  static const char* const kOrder[] = {
      "category_id",       "keyword", "facet_price_from", "facet_price_to", "refrence_price_from",
      "refrence_price_to", "ex_so",   "disc_flg",         "sort",           "sort_operate_flg"};
  bool ordered = true;
  bool haveStock = false;
  bool valuesOk = true;
  bool haveSortFlag = false;
  int last = -1;
  for (const auto& [key, value] : pairs) {
    int index = -1;
    for (int i = 0; i < 10; ++i) {
      if (key == kOrder[i]) index = i;
    }
    if (index <= last) ordered = false;  // unknown, repeated or out of order
    if (index >= 0) last = std::max(last, index);
    const std::string decoded = FormDecode(value);
    switch (index) {
      case 0:
        q.categoryId = decoded;
        break;
      case 1:
        q.keyword = decoded;
        valuesOk = valuesOk && !TrimLow(decoded).empty();
        break;
      case 2:
        q.priceFrom = value;
        valuesOk = valuesOk && AllDigits(value);
        break;
      case 3:
        q.priceTo = value;
        valuesOk = valuesOk && AllDigits(value);
        break;
      case 4:
        q.retailFrom = value;
        valuesOk = valuesOk && AllDigits(value);
        break;
      case 5:
        q.retailTo = value;
        valuesOk = valuesOk && AllDigits(value);
        break;
      case 6:
        haveStock = true;
        q.inStockOnly = value == "Y";
        valuesOk = valuesOk && (value == "Y" || value == "N");
        break;
      case 7:
        q.discountedOnly = value == "Y";
        valuesOk = valuesOk && value == "Y";
        break;
      case 8:
        q.sort = value;
        valuesOk =
            valuesOk && (value == "score" || value == "sales" || value == "new" || value == "PD" || value == "PA");
        break;
      case 9:
        haveSortFlag = true;
        valuesOk = valuesOk && value == "Y";
        break;
      default:
        break;
    }
  }
  const bool firstIsCategory = !pairs.empty() && pairs.front().first == "category_id";
  bool pathOk = false;
  if (path == "/search") {
    q.allCategories = true;
    pathOk = q.categoryId == "80";
  } else if (path == "/search/") {
    pathOk = true;
  }
  q.wellFormed = pathOk && firstIsCategory && ordered && haveStock && valuesOk && (haveSortFlag == !q.sort.empty());
  return q;
}

}  // namespace vormla::demo
