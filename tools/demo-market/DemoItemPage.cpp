// The demo market's item pages: the markup of one item, made up from its key, and
// the CSV values a client must derive from each line that was put into it.
#include <algorithm>
#include <cstdio>
#include <utility>

#include "demo-market/DemoCatalog.h"
#include "demo-market/DemoItemKeys.h"
#include "demo-market/DemoText.h"

namespace vormla::demo {

namespace {

const char* const kUnits[] = {"500g", "30袋入", "12枚入", "1kg", "Mサイズ", "2個組", "ブラウン", "6本セット"};
const char* const kLeads[] = {"", "", "【送料無料】", "訳あり ", "人気の", "限定", "【まとめ買い】"};
const char* const kBrands[] = {"山田工房", "さくら堂", "Blue&amp;Green", "オリーブ舎", "Maison K&#039;s",
                               "日の出商会", "ＫＵＭＡ　ＤＥＳＩＧＮ", ""};
const char* const kSellers[] = {"株式会社ヴォルムラ商事", "有限会社さくら物産", "マルヤマ&amp;カンパニー株式会社",
                                "株式会社　日の出", "合同会社ミドリ&#039;s", "北星トレーディング株式会社"};
const char* const kIntros[] = {
    "毎日使いたくなる定番アイテムです。",
    "職人が一つひとつ丁寧に仕上げました。　贈り物にも最適です。",
    "ギフト&amp;ノベルティに。&#039;選べる&#039;カラー展開です。",
    "サイズは約10&#12316;15cm、手になじむ形です。",
    "&quot;本物&quot;にこだわった、当店の自信作。",
    "数量限定、なくなり次第終了となります。"};
const char* const kPayments[] = {"クレジットカード", "銀行振込", "後払い", "代金引換"};
const char* const kItemLabels[] = {"キャンペーン", "送料無料", "新商品", "ポイント2倍", "セール"};
const char* const kUses[] = {"消費者直送", "画像転載", "ネット販売", "ネットオークション", "CSVダイレクト注文"};
const char* const kScores[] = {"threeScore", "twoScore", "oneScore", "zeroScore"};

// Proleptic Gregorian date of a day count from 2019-01-01.
std::string DateText(int days) {
  long long z = 17897 + days + 719468;  // 2019-01-01 is day 17897 since 1970-01-01
  const long long era = z / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04lld/%02lld/%02lld", y, m, d);
  return buffer;
}

// The value a client collects below a specification heading.
std::string SpecValueOf(const std::vector<std::string>& lines) {
  std::string acc;
  for (size_t i = 0; i < lines.size() && i < 29; ++i) {
    const std::string trimmed = TrimLow(lines[i]);
    if (trimmed.rfind("</t", 0) == 0 || trimmed.rfind("<tr", 0) == 0) break;
    std::string t = ReplaceNoCase(trimmed, "<br>", " ");
    t = TrimLow(RemoveTags(t));
    t = FullWidthToBlank(t);
    t = ReplaceNoCase(t, "  ", " ");
    t = TrimLow(t);
    if (t == "\"") t.clear();
    if (!t.empty()) acc = acc.empty() ? t : acc + " " + t;
  }
  return TrimLow(acc);
}

void AppendJoined(std::string& column, const std::string& piece) {
  column = column.empty() ? piece : column + "、" + piece;
}

}  // namespace

std::string Catalog::ItemHtml(std::uint64_t key, ItemPage& page) const {
  Rng r(Mix(key) ^ 0x17E3ULL);
  const ItemFacts facts = Facts(key);
  const int genre = static_cast<int>(key % kGenres);
  const std::string supplier = SupplierOf(key);
  const std::string code = Hex10(key);
  const std::string pictureBase = root_ + "/img/" + supplier + "/" + code + "_";
  std::vector<std::string> lines;
  ExpectedColumns raw;  // values as the client stores them, before the row's entity decoding
  auto add = [&lines](std::string text) { lines.push_back(std::move(text)); };

  add("<!DOCTYPE html>");
  add("<html lang=\"ja\">");
  add("<head>");
  add("<meta charset=\"UTF-8\">");
  add("<title>商品詳細 | Vormla</title>");
  add("<meta name=\"csrf-token\" content=\"" + code + code + code + code + "\">");
  add("</head>");
  add("<body>");
  add("<header class=\"siteHeader\">");
  add("<div class=\"headerLogo\"><a href=\"/\"><img src=\"/img/common/logo.png\" alt=\"Vormla\"></a></div>");
  add("</header>");
  add("<main id=\"itemDetail\">");

  // Header block: management number with its date, item id, brand.
  const int headerKind = r.Below(20);  // 0: no block, 1: no date in brackets
  const bool unsafeNumber = r.OneIn(13);
  const std::string mgmt = unsafeNumber ? "../" + code.substr(0, 4)
                                        : std::string("VM-") + std::to_string(1000 + r.Below(9000)) +
                                              (r.OneIn(3) ? "-L" : "");
  const std::string itemId = std::to_string(10000000 + Mix(key) % 89999999);
  const std::string brand = r.Pick(kBrands);
  if (headerKind != 0) {
    add("<ul class=\"colItemData\">");
    const std::string numberLine =
        headerKind == 1 ? "  <li class=\"itemNumber\">商品管理番号：" + mgmt + "</li>"
                        : "  <li class=\"itemNumber\">商品管理番号：" + mgmt + "（登録/更新：" +
                              DateText(facts.registered) + "）</li>";
    add(numberLine);
    add("  <li class=\"itemId\">商品ID：" + itemId + "</li>");
    const std::string brandLine =
        brand.empty() ? "  <li class=\"itemBrand\">[ブランド]&nbsp;</li>"
                      : "  <li class=\"itemBrand\">[ブランド]&nbsp;<a href=\"/search/?brand=" + std::to_string(r.Below(900)) +
                            "\">" + brand + "</a></li>";
    add(brandLine);
    add("</ul>");
    const std::string t = CleanText(numberLine);
    const size_t paren = t.find("（");
    if (paren != std::string::npos) {
      raw[kMgmt] = TrimLow(ReplaceNoCase(t.substr(0, paren), "商品管理番号：", ""));
      std::string date = t.substr(paren);
      for (const char* piece : {"登録/更新：", "（", "）"}) date = ReplaceNoCase(date, piece, "");
      raw[kDate] = TrimLow(date);
    }
    raw[kItemId] = TrimLow(ReplaceNoCase(CleanText("  <li class=\"itemId\">商品ID：" + itemId + "</li>"), "商品ID：", ""));
    raw[kBrand] = TrimLow(ReplaceNoCase(ReplaceNoCase(CleanText(brandLine), "[ブランド]", ""), "&nbsp;", ""));
  }

  // Item name, with the entities and punctuation real names carry.
  std::string name = std::string(r.Pick(kLeads)) + kNouns[genre][Mix(key) % 6] + "　" + r.Pick(kUnits);
  switch (r.Below(9)) {
    case 0: name += " &amp; " + std::string(kNouns[genre][(Mix(key) + 1) % 6]); break;
    case 1: name = "職人&#039;s " + name; break;
    case 2: name += " 3&#12316;5個入り"; break;
    case 3: name += " \"限定\" モデル, 数量限定"; break;
    case 4: name += " &quot;特価&quot;"; break;
    case 5: name += " &amp;amp; ギフト"; break;
    case 6: name += " <span class=\"itemNameSub\">ご家庭用</span>"; break;
    default: break;
  }
  const std::string nameLine = "<h1 class=\"itemName\">" + name + "</h1>";
  add(nameLine);
  raw[kName] = TrimLow(ModelDecode(FullWidthToBlank(CleanText(nameLine))));

  // Seller, now and then with the name on the line below the heading.
  const std::string seller = r.Pick(kSellers);
  if (r.OneIn(4)) {
    add("<h2 class=\"supplierHd\">");
    const std::string next = "  <a href=\"/corpinfo/" + supplier + "\">" + seller + "</a>";
    add(next);
    add("</h2>");
    raw[kSeller] = TrimLow(ModelDecode(FullWidthToBlank(CleanText(next))));
  } else {
    const std::string l = "<h2 class=\"supplierHd\"><a href=\"/corpinfo/" + supplier + "\">" + seller + "</a></h2>";
    add(l);
    raw[kSeller] = TrimLow(ModelDecode(FullWidthToBlank(CleanText(l))));
  }

  // Pictures.
  std::vector<std::string> pictureLines;
  std::vector<std::string> seen;  // lower-cased, for the case-blind duplicate test
  auto collect = [&](const std::string& imgLine) {
    const std::string t = TrimLow(imgLine);
    const size_t colon = t.find(':');
    if (colon == std::string::npos) return;
    const std::string after = t.substr(colon + 1);
    const size_t quote = after.find('"');
    if (quote == std::string::npos) return;
    const std::string url = "https:" + after.substr(0, quote);
    const std::string folded = LowerAscii(url);
    if (std::find(seen.begin(), seen.end(), folded) != seen.end()) return;
    seen.push_back(folded);
    page.pictureUrls.push_back(url);
    if (url.find("_x") != std::string::npos) page.missingPictureUrls.push_back(url);
    const int count = static_cast<int>(page.pictureUrls.size());
    if (count <= 10) raw[kPicture1 + count - 1] = url;
  };
  const int pictures = r.OneIn(6) ? 11 + r.Below(4) : 1 + r.Below(6);
  const bool missingOne = r.OneIn(10);
  add("<div class=\"itemImageArea\">");
  add("<ul class=\"itemImageList\">");
  for (int i = 1; i <= pictures; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", i);
    std::string file = std::string(missingOne && i == pictures ? "x" : "") + number + ".png";
    if (r.OneIn(12)) file += "?v=2";
    const std::string url = pictureBase + file;
    std::string l;
    switch (r.Below(10)) {
      case 0:  // plain http in the attribute; the client asks for https all the same
        l = "<img class=\"lazy\" src=\"/img/common/loading.gif\" data-url=\"http" + url.substr(5) + "\" alt=\"\">";
        break;
      case 1:  // an absolute src before data-url: its address is the one taken
        l = "<img src=\"" + pictureBase + "t" + number + ".png\" data-url=\"" + url + "\" alt=\"\">";
        break;
      default:
        l = "<img class=\"lazy\" src=\"/img/common/loading.gif\" data-url=\"" + url + "\" alt=\"商品画像" +
            std::to_string(i) + "\">";
        break;
    }
    pictureLines.push_back(l);
    add("<li>");
    add(l);
    add("</li>");
    collect(l);
    if (r.OneIn(6)) {  // the same picture again, as written or in other letter case
      const std::string again = r.OneIn(2) || l.find("src=\"https") != std::string::npos
                                    ? l
                                    : "<img class=\"lazy\" data-url=\"" + LowerAscii(url).replace(0, 8, "HTTPS://") + "\">";
      add("<li>" );
      add(again);
      add("</li>");
      collect(again);
    }
  }
  add("</ul>");
  add("</div>");

  // Introduction: a heading with a line below it, a free text block, both or none.
  auto introFromHeading = [&](const std::string& head, const std::string& below) {
    if (!raw[kIntro].empty()) return;
    std::string t = CleanText(head);
    const std::string u = CleanText(below);
    if (!u.empty()) t += u;
    t = TrimLow(t);
    if (t == "\"") t.clear();
    raw[kIntro] = TrimLow(ModelDecode(FullWidthToBlank(t)));
  };
  auto introFromBlock = [&](const std::string& block) {
    if (!raw[kIntro].empty()) return;
    std::string t = TrimLow(FullWidthToBlank(CleanText(block)));
    if (t == "\"") t.clear();
    raw[kIntro] = TrimLow(ModelDecode(t));
  };
  const std::string catchText = r.Pick(kIntros);
  const std::string detailText = r.Pick(kIntros);
  const std::string head = "<h4 class=\"hdType04\">" + catchText + "</h4>";
  const std::string below = "<p class=\"itemCatchTxt\">" + detailText + "</p>";
  const std::string block = "<div class=\"userHtmlView\">" + detailText + "<br>" + catchText + "</div>";
  switch (r.Below(6)) {
    case 0: break;
    case 1: add(block); introFromBlock(block); break;
    case 2: add(block); introFromBlock(block); add(head); add(below); introFromHeading(head, below); break;
    case 3: add(head); add(below); introFromHeading(head, below); add(block); introFromBlock(block); break;
    case 4: {  // a heading holding a lone double quote leaves the text block to fill the column
      const std::string quoteHead = "<h4 class=\"hdType04\">\"</h4>";
      const std::string empty = "<p class=\"itemCatchTxt\"></p>";
      add(quoteHead); add(empty); introFromHeading(quoteHead, empty);
      add(block); introFromBlock(block);
      break;
    }
    default: add(head); add(below); introFromHeading(head, below); break;
  }

  // Ratings: heading two lines above the marker, score class one line above.
  if (!r.OneIn(5)) {
    add("<div class=\"itemScoreRating\">");
    const char* const heads[] = {"人気度", "注目度", "リピート度", "満足度"};
    const int count = r.OneIn(4) ? 4 : 3;
    for (int i = 0; i < count; ++i) {
      const std::string score = r.Pick(kScores);
      add("<dl>");
      const std::string h = std::string("<dt class=\"itemScoreRatingHd\">") + heads[i] + "</dt>";
      const std::string c = "<dd class=\"itemScoreRatingStar " + score + "\">";
      add(h);
      add(c);
      add("<div class=\"itemScoreRatingItem\"><span class=\"star\"></span></div>");
      add("</dd>");
      add("</dl>");
      std::string s;
      if (c.find("threeScore") != std::string::npos) s = "★★★";
      else if (c.find("twoScore") != std::string::npos) s = "★★☆";
      else if (c.find("oneScore") != std::string::npos) s = "★☆☆";
      const std::string n = CleanText(h);
      if (n == "人気度") raw[kPopular] = s;
      else if (n == "注目度") raw[kAttention] = s;
      else if (n == "リピート度") raw[kRepeat] = s;
    }
    add("</div>");
  }

  // Payment methods, item labels, supplier score.
  add("<div class=\"itemLabelArea\">");
  for (const char* payment : kPayments) {
    if (r.OneIn(3)) continue;
    const std::string l = std::string("<span class=\"labelColor10\">") + payment + "</span>";
    add(l);
    AppendJoined(raw[kPayment], CleanText(l));
  }
  for (const char* label : kItemLabels) {
    if (!r.OneIn(3)) continue;
    const std::string l = std::string("<span class=\"labelColor09\">") + label + "</span>";
    add(l);
    std::string t = CleanText(l);
    if (t == "キャンペーン") t += "開催中";
    AppendJoined(raw[kLabels], t);
  }
  if (!r.OneIn(6)) {
    const std::string l = "<span class=\"supScoreNum\">" + std::to_string(3 + r.Below(3)) + "." +
                          std::to_string(r.Below(10)) + "</span>";
    add(l);
    raw[kSupScore] = CleanText(l);
  }
  add("</div>");

  // Specification table.
  add("<table class=\"itemSpecTable\">");
  struct Spec {
    const char* heading;
    int column;
  };
  const Spec specs[] = {{"サイズ・容量", 9}, {"規格", 10}, {"注意事項", 11}, {"出荷条件", 12},
                        {"良品返品", 13},     {"注文について", 14}, {"JANコード", 15}};
  auto specRow = [&](const std::string& headingLine, int column, const std::vector<std::string>& values) {
    add("<tr>");
    add(headingLine);
    for (const auto& v : values) add(v);
    add("</tr>");
    if (column >= 0) raw[static_cast<size_t>(column)] = SpecValueOf(values);
  };
  const std::string sizeValue = "W" + std::to_string(50 + r.Below(200)) + "×D" + std::to_string(30 + r.Below(100)) +
                                "×H" + std::to_string(10 + r.Below(90)) + "mm";
  for (const Spec& spec : specs) {
    if (r.OneIn(5)) continue;
    const std::string heading = spec.column == 15 && r.OneIn(3) ? "janコード" : spec.heading;
    const std::string headingLine = "<th class=\"itemSpecHd\">" + heading + "</th>";
    switch (spec.column) {
      case 9:
        specRow(headingLine, spec.column,
                {"<td class=\"itemSpecData\">", sizeValue + "<br>重量：約" + std::to_string(100 + r.Below(900)) + "g",
                 "</td>"});
        break;
      case 10:
        specRow(headingLine, spec.column, {"<td class=\"itemSpecData\">本体：天然木（ウォールナット）</td>"});
        break;
      case 11:
        specRow(headingLine, spec.column,
                {"<td class=\"itemSpecData\">", "直射日光を避けて保管してください。", "", "\"",
                 "お子様の手の届かない所に　置いてください。", "色味は画面と異なる場合があります。<br/>ご了承ください。",
                 "</td>"});
        break;
      case 12:
        specRow(headingLine, spec.column,
                {"<td class=\"itemSpecData\">", "ご注文から3&#12316;5営業日で出荷", "土日祝は休業  （年末年始を除く）",
                 "</td>"});
        break;
      case 13:
        specRow(headingLine, spec.column, {"<td class=\"itemSpecData\">不可</td>"});
        break;
      case 14:
        specRow(headingLine, spec.column,
                {"<td class=\"itemSpecData\">", "最低ご注文数：" + std::to_string(1 + r.Below(12)) + "個",
                 "ロット単位&amp;ケース単位でのご注文となります", "</td>"});
        break;
      default:
        specRow(headingLine, spec.column,
                {"<td class=\"itemSpecData\">", "49" + std::to_string(10000000000LL + static_cast<long long>(Mix(key) % 89999999999LL)),
                 "</td>"});
        break;
    }
  }
  if (r.OneIn(4)) {  // a heading the client does not know, and one written without attributes
    specRow("<th class=\"itemSpecHd\">原産国</th>", -1, {"<td class=\"itemSpecData\">日本</td>"});
    add("<tr>");
    add("<th>規格</th>");
    add("<td>この行は読まれません</td>");
    add("</tr>");
  }
  if (r.OneIn(5)) {  // the same heading twice: the later row wins
    specRow("<th class=\"itemSpecHd\">注意事項</th>", 11, {"<td class=\"itemSpecData\">", "返品不可", "</td>"});
  }
  for (const char* use : kUses) {
    if (r.OneIn(4)) continue;
    const bool ok = !r.OneIn(3);
    const std::string heading = std::string(use) == "CSVダイレクト注文" && r.OneIn(3) ? "csvダイレクト注文" : use;
    add("<tr>");
    add("<th class=\"itemPermitHd\">" + heading + "</th>");
    add(ok ? "<td class=\"itemPermitData\"><i class=\"fa fa-circle-o\"></i></td>"
           : "<td class=\"itemPermitData\"><i class=\"fa fa-times\"></i></td>");
    add("</tr>");
    if (ok) AppendJoined(raw[kLabels], heading + "OK");
  }
  add("</table>");

  raw[kStock] = "在庫あり";
  if (facts.soldOut) {
    add("<p class=\"soldOutTxt\">申し訳ございません。この商品は品切れ中です。</p>");
    raw[kStock] = "品切れ中";
  }

  // Padding for large pages, and the related items every page lists.
  const size_t target =
      options_.pageBytesMax > 0
          ? static_cast<size_t>(options_.pageBytesMin +
                                r.Below(std::max(1, options_.pageBytesMax - options_.pageBytesMin + 1)))
          : 0;
  auto filler = [&](size_t upTo) {
    size_t size = 0;
    for (const auto& l : lines) size += l.size() + 1;
    int n = 0;
    do {
      const std::uint64_t other = (Mix(key + static_cast<std::uint64_t>(n)) & kKeyMask & ~std::uint64_t{7}) |
                                  0x100 | static_cast<std::uint64_t>(genre);
      const std::string l = "<li class=\"relatedItem\"><a href=\"" + ItemUrl(other).substr(root_.size()) +
                            "\">関連商品のご案内　" + kNouns[genre][n % 6] + "　" + kUnits[n % 8] + "</a></li>";
      lines.push_back(l);
      size += l.size() + 1;
      ++n;
    } while (size < upTo);
  };
  add("<ul class=\"relatedList\">");
  filler(target / 2);
  add("</ul>");

  // The cart form: nothing below it belongs to the item.
  if (!r.OneIn(15)) {
    add("<form name=\"myform\" method=\"post\" action=\"/cart/add\">");
    add("<input type=\"hidden\" name=\"item\" value=\"" + code + "\">");
    add("<h1 class=\"itemName\">おすすめの商品</h1>");
    add("<span class=\"labelColor10\">ポイント払い</span>");
    add("<span class=\"labelColor09\">キャンペーン</span>");
    add("<img class=\"lazy\" data-url=\"" + pictureBase + "99.png\" alt=\"\">");
    add("<p class=\"soldOutTxt\">品切れ</p>");
    add("<th class=\"itemSpecHd\">規格</th>");
    add("</form>");
  }
  add("<ul class=\"footerList\">");
  filler(target);
  add("</ul>");
  add("</main>");
  add("</body>");
  add("</html>");

  raw[kCorp] = root_ + "/corpinfo/" + supplier;
  for (size_t i = 0; i < raw.size(); ++i) page.expected[i] = ModelDecode(raw[i]);

  const std::string eol = r.OneIn(4) ? "\r\n" : "\n";
  std::string html;
  for (const auto& l : lines) {
    html += l;
    html += eol;
  }
  return html;
}

}  // namespace vormla::demo
