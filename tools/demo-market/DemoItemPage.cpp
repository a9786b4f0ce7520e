// The demo market's item pages: the markup of one item, made up from its key, and
// the CSV values a client must derive from each line that was put into it.
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "demo-market/DemoCatalog.h"
#include "demo-market/DemoItemKeys.h"
#include "demo-market/DemoText.h"
#include "text/AsciiCase.h"

namespace vormla::demo {

namespace {

const char* const kUnits[] = {"500g", "30袋入", "12枚入", "1kg", "Mサイズ", "2個組", "ブラウン", "6本セット"};
const char* const kLeads[] = {"", "", "【送料無料】", "訳あり ", "人気の", "限定", "【まとめ買い】"};
const char* const kBrands[] = {"山田工房",        "さくら堂",   "Blue&amp;Green",         "オリーブ舎",
                               "Maison K&#039;s", "日の出商会", "ＫＵＭＡ　ＤＥＳＩＧＮ", ""};
const char* const kSellers[] = {"株式会社ヴォルムラ商事", "有限会社さくら物産",    "マルヤマ&amp;カンパニー株式会社",
                                "株式会社　日の出",       "合同会社ミドリ&#039;s", "北星トレーディング株式会社"};
const char* const kIntros[] = {"毎日使いたくなる定番アイテムです。",
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

// One item page being written: its lines, the values a client must read off them
// (before the row's entity decoding), and the one random sequence all choices of
// the page draw from. The parts are written in page order, so every page keeps
// the draws, and with them the markup, it always had.
class ItemPageWriter {
 public:
  ItemPageWriter(const Catalog& catalog, const CatalogOptions& options, std::uint64_t key, ItemPage& page)
      : catalog_(catalog),
        options_(options),
        key_(key),
        page_(page),
        r_(Mix(key) ^ 0x17E3ULL),
        facts_(catalog.Facts(key)),
        genre_(static_cast<int>(key % kGenres)),
        supplier_(SupplierOf(key)),
        code_(Hex10(key)),
        pictureBase_(catalog.Root() + "/img/" + supplier_ + "/" + code_ + "_") {}

  std::string Write();

 private:
  void Add(std::string text) { lines_.push_back(std::move(text)); }
  void WriteHead();
  void WriteHeaderBlock();
  void ExpectHeaderValues(const std::string& numberLine, const std::string& itemId, const std::string& brandLine);
  void WriteName();
  void WriteSeller();
  void WritePictures();
  std::string PictureLine(int i, const std::string& number, const std::string& url);
  void CollectPicture(const std::string& imgLine);
  void WriteIntroduction();
  void IntroFromHeading(const std::string& head, const std::string& below);
  void IntroFromBlock(const std::string& block);
  void WriteRatings();
  void WriteLabels();
  void WriteSpecTable();
  std::vector<std::string> SpecValueLines(int column, const std::string& sizeValue);
  void WriteSpecRow(const std::string& headingLine, int column, const std::vector<std::string>& values);
  void WritePermittedUses();
  void AppendRelatedItems(size_t upTo);
  void WriteCartForm();
  std::string Joined();

  const Catalog& catalog_;
  const CatalogOptions& options_;
  const std::uint64_t key_;
  ItemPage& page_;
  Rng r_;
  const ItemFacts facts_;
  const int genre_;
  const std::string supplier_;
  const std::string code_;
  const std::string pictureBase_;
  std::vector<std::string> lines_;
  ExpectedColumns raw_;
  std::vector<std::string> seenPictures_;  // lower-cased, for the case-blind duplicate test
};

std::string ItemPageWriter::Write() {
  WriteHead();
  WriteHeaderBlock();
  WriteName();
  WriteSeller();
  WritePictures();
  WriteIntroduction();
  WriteRatings();
  WriteLabels();
  WriteSpecTable();

  raw_[kStock] = "在庫あり";
  if (facts_.soldOut) {
    Add("<p class=\"soldOutTxt\">申し訳ございません。この商品は品切れ中です。</p>");
    raw_[kStock] = "品切れ中";
  }

  // Padding for large pages, and the related items every page lists.
  const size_t target =
      options_.pageBytesMax > 0
          ? static_cast<size_t>(options_.pageBytesMin +
                                r_.Below(std::max(1, options_.pageBytesMax - options_.pageBytesMin + 1)))
          : 0;
  Add("<ul class=\"relatedList\">");
  AppendRelatedItems(target / 2);
  Add("</ul>");
  WriteCartForm();
  Add("<ul class=\"footerList\">");
  AppendRelatedItems(target);
  Add("</ul>");
  Add("</main>");
  Add("</body>");
  Add("</html>");

  raw_[kCorp] = catalog_.Root() + "/corpinfo/" + supplier_;
  for (size_t i = 0; i < raw_.size(); ++i) page_.expected[i] = ModelDecode(raw_[i]);
  return Joined();
}

void ItemPageWriter::WriteHead() {
  Add("<!DOCTYPE html>");
  Add("<html lang=\"ja\">");
  Add("<head>");
  Add("<meta charset=\"UTF-8\">");
  Add("<title>商品詳細 | Vormla</title>");
  Add("<meta name=\"csrf-token\" content=\"" + code_ + code_ + code_ + code_ + "\">");
  Add("</head>");
  Add("<body>");
  Add("<header class=\"siteHeader\">");
  Add("<div class=\"headerLogo\"><a href=\"/\"><img src=\"/img/common/logo.png\" alt=\"Vormla\"></a></div>");
  Add("</header>");
  Add("<main id=\"itemDetail\">");
}

// Header block: management number with its date, item id, brand.
void ItemPageWriter::WriteHeaderBlock() {
  const int headerKind = r_.Below(20);  // 0: no block, 1: no date in brackets
  const bool unsafeNumber = r_.OneIn(13);
  const std::string mgmt = unsafeNumber
                               ? "../" + code_.substr(0, 4)
                               : std::string("VM-") + std::to_string(1000 + r_.Below(9000)) + (r_.OneIn(3) ? "-L" : "");
  const std::string itemId = std::to_string(10000000 + Mix(key_) % 89999999);
  const std::string brand = r_.Pick(kBrands);
  if (headerKind == 0) return;
  Add("<ul class=\"colItemData\">");
  const std::string numberLine = headerKind == 1 ? "  <li class=\"itemNumber\">商品管理番号：" + mgmt + "</li>"
                                                 : "  <li class=\"itemNumber\">商品管理番号：" + mgmt +
                                                       "（登録/更新：" + DateText(facts_.registered) + "）</li>";
  Add(numberLine);
  Add("  <li class=\"itemId\">商品ID：" + itemId + "</li>");
  const std::string brandLine = brand.empty() ? "  <li class=\"itemBrand\">[ブランド]&nbsp;</li>"
                                              : "  <li class=\"itemBrand\">[ブランド]&nbsp;<a href=\"/search/?brand=" +
                                                    std::to_string(r_.Below(900)) + "\">" + brand + "</a></li>";
  Add(brandLine);
  Add("</ul>");
  ExpectHeaderValues(numberLine, itemId, brandLine);
}

void ItemPageWriter::ExpectHeaderValues(const std::string& numberLine, const std::string& itemId,
                                        const std::string& brandLine) {
  const std::string t = CleanText(numberLine);
  const size_t paren = t.find("（");
  if (paren != std::string::npos) {
    raw_[kMgmt] = TrimLow(ReplaceNoCase(t.substr(0, paren), "商品管理番号：", ""));
    std::string date = t.substr(paren);
    for (const char* piece : {"登録/更新：", "（", "）"}) date = ReplaceNoCase(date, piece, "");
    raw_[kDate] = TrimLow(date);
  }
  raw_[kItemId] =
      TrimLow(ReplaceNoCase(CleanText("  <li class=\"itemId\">商品ID：" + itemId + "</li>"), "商品ID：", ""));
  raw_[kBrand] = TrimLow(ReplaceNoCase(ReplaceNoCase(CleanText(brandLine), "[ブランド]", ""), "&nbsp;", ""));
}

// Item name, with the entities and punctuation real names carry.
void ItemPageWriter::WriteName() {
  std::string name = std::string(r_.Pick(kLeads)) + kNouns[genre_][Mix(key_) % 6] + "　" + r_.Pick(kUnits);
  switch (r_.Below(9)) {
    case 0:
      name += " &amp; " + std::string(kNouns[genre_][(Mix(key_) + 1) % 6]);
      break;
    case 1:
      name = "職人&#039;s " + name;
      break;
    case 2:
      name += " 3&#12316;5個入り";
      break;
    case 3:
      name += " \"限定\" モデル, 数量限定";
      break;
    case 4:
      name += " &quot;特価&quot;";
      break;
    case 5:
      name += " &amp;amp; ギフト";
      break;
    case 6:
      name += " <span class=\"itemNameSub\">ご家庭用</span>";
      break;
    default:
      break;
  }
  const std::string nameLine = "<h1 class=\"itemName\">" + name + "</h1>";
  Add(nameLine);
  raw_[kName] = TrimLow(ModelDecode(FullWidthToBlank(CleanText(nameLine))));
}

// Seller, now and then with the name on the line below the heading.
void ItemPageWriter::WriteSeller() {
  const std::string seller = r_.Pick(kSellers);
  if (r_.OneIn(4)) {
    Add("<h2 class=\"supplierHd\">");
    const std::string next = "  <a href=\"/corpinfo/" + supplier_ + "\">" + seller + "</a>";
    Add(next);
    Add("</h2>");
    raw_[kSeller] = TrimLow(ModelDecode(FullWidthToBlank(CleanText(next))));
  } else {
    const std::string l = "<h2 class=\"supplierHd\"><a href=\"/corpinfo/" + supplier_ + "\">" + seller + "</a></h2>";
    Add(l);
    raw_[kSeller] = TrimLow(ModelDecode(FullWidthToBlank(CleanText(l))));
  }
}

void ItemPageWriter::WritePictures() {
  const int pictures = r_.OneIn(6) ? 11 + r_.Below(4) : 1 + r_.Below(6);
  const bool missingOne = r_.OneIn(10);
  Add("<div class=\"itemImageArea\">");
  Add("<ul class=\"itemImageList\">");
  for (int i = 1; i <= pictures; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d", i);
    std::string file = std::string(missingOne && i == pictures ? "x" : "") + number + ".png";
    if (r_.OneIn(12)) file += "?v=2";
    const std::string url = pictureBase_ + file;
    const std::string l = PictureLine(i, number, url);
    Add("<li>");
    Add(l);
    Add("</li>");
    CollectPicture(l);
    if (r_.OneIn(6)) {  // the same picture again, as written or in other letter case
      const std::string again =
          r_.OneIn(2) || l.find("src=\"https") != std::string::npos
              ? l
              : "<img class=\"lazy\" data-url=\"" + LowerAscii(url).replace(0, 8, "HTTPS://") + "\">";
      Add("<li>");
      Add(again);
      Add("</li>");
      CollectPicture(again);
    }
  }
  Add("</ul>");
  Add("</div>");
}

std::string ItemPageWriter::PictureLine(int i, const std::string& number, const std::string& url) {
  switch (r_.Below(10)) {
    case 0:  // plain http in the attribute; the client asks for https all the same
      return "<img class=\"lazy\" src=\"/img/common/loading.gif\" data-url=\"http" + url.substr(5) + "\" alt=\"\">";
    case 1:  // an absolute src before data-url: its address is the one taken
      return "<img src=\"" + pictureBase_ + "t" + number + ".png\" data-url=\"" + url + "\" alt=\"\">";
    default:
      return "<img class=\"lazy\" src=\"/img/common/loading.gif\" data-url=\"" + url + "\" alt=\"商品画像" +
             std::to_string(i) + "\">";
  }
}

// A picture as a client takes it from its line: the first ten distinct ones fill
// the picture columns, and all of them are downloaded.
void ItemPageWriter::CollectPicture(const std::string& imgLine) {
  const std::string t = TrimLow(imgLine);
  const size_t colon = t.find(':');
  if (colon == std::string::npos) return;
  const std::string after = t.substr(colon + 1);
  const size_t quote = after.find('"');
  if (quote == std::string::npos) return;
  const std::string url = "https:" + after.substr(0, quote);
  const std::string folded = LowerAscii(url);
  if (std::find(seenPictures_.begin(), seenPictures_.end(), folded) != seenPictures_.end()) return;
  seenPictures_.push_back(folded);
  page_.pictureUrls.push_back(url);
  if (url.find("_x") != std::string::npos) page_.missingPictureUrls.push_back(url);
  const int count = static_cast<int>(page_.pictureUrls.size());
  if (count <= 10) raw_[kPicture1 + count - 1] = url;
}

// Introduction: a heading with a line below it, a free text block, both or none.
void ItemPageWriter::WriteIntroduction() {
  const std::string catchText = r_.Pick(kIntros);
  const std::string detailText = r_.Pick(kIntros);
  const std::string head = "<h4 class=\"hdType04\">" + catchText + "</h4>";
  const std::string below = "<p class=\"itemCatchTxt\">" + detailText + "</p>";
  const std::string block = "<div class=\"userHtmlView\">" + detailText + "<br>" + catchText + "</div>";
  switch (r_.Below(6)) {
    case 0:
      break;
    case 1:
      Add(block);
      IntroFromBlock(block);
      break;
    case 2:
      Add(block);
      IntroFromBlock(block);
      Add(head);
      Add(below);
      IntroFromHeading(head, below);
      break;
    case 3:
      Add(head);
      Add(below);
      IntroFromHeading(head, below);
      Add(block);
      IntroFromBlock(block);
      break;
    case 4: {  // a heading holding a lone double quote leaves the text block to fill the column
      const std::string quoteHead = "<h4 class=\"hdType04\">\"</h4>";
      const std::string empty = "<p class=\"itemCatchTxt\"></p>";
      Add(quoteHead);
      Add(empty);
      IntroFromHeading(quoteHead, empty);
      Add(block);
      IntroFromBlock(block);
      break;
    }
    default:
      Add(head);
      Add(below);
      IntroFromHeading(head, below);
      break;
  }
}

// The first introduction on the page fills the column.
void ItemPageWriter::IntroFromHeading(const std::string& head, const std::string& below) {
  if (!raw_[kIntro].empty()) return;
  std::string t = CleanText(head);
  const std::string u = CleanText(below);
  if (!u.empty()) t += u;
  t = TrimLow(t);
  if (t == "\"") t.clear();
  raw_[kIntro] = TrimLow(ModelDecode(FullWidthToBlank(t)));
}

void ItemPageWriter::IntroFromBlock(const std::string& block) {
  if (!raw_[kIntro].empty()) return;
  std::string t = TrimLow(FullWidthToBlank(CleanText(block)));
  if (t == "\"") t.clear();
  raw_[kIntro] = TrimLow(ModelDecode(t));
}

// Ratings: heading two lines above the marker, score class one line above.
void ItemPageWriter::WriteRatings() {
  if (r_.OneIn(5)) return;
  Add("<div class=\"itemScoreRating\">");
  const char* const heads[] = {"人気度", "注目度", "リピート度", "満足度"};
  const int count = r_.OneIn(4) ? 4 : 3;
  for (int i = 0; i < count; ++i) {
    const std::string score = r_.Pick(kScores);
    Add("<dl>");
    const std::string h = std::string("<dt class=\"itemScoreRatingHd\">") + heads[i] + "</dt>";
    const std::string c = "<dd class=\"itemScoreRatingStar " + score + "\">";
    Add(h);
    Add(c);
    Add("<div class=\"itemScoreRatingItem\"><span class=\"star\"></span></div>");
    Add("</dd>");
    Add("</dl>");
    std::string s;
    if (c.find("threeScore") != std::string::npos)
      s = "★★★";
    else if (c.find("twoScore") != std::string::npos)
      s = "★★☆";
    else if (c.find("oneScore") != std::string::npos)
      s = "★☆☆";
    const std::string n = CleanText(h);
    if (n == "人気度")
      raw_[kPopular] = s;
    else if (n == "注目度")
      raw_[kAttention] = s;
    else if (n == "リピート度")
      raw_[kRepeat] = s;
  }
  Add("</div>");
}

// Payment methods, item labels, supplier score.
void ItemPageWriter::WriteLabels() {
  Add("<div class=\"itemLabelArea\">");
  for (const char* payment : kPayments) {
    if (r_.OneIn(3)) continue;
    const std::string l = std::string("<span class=\"labelColor10\">") + payment + "</span>";
    Add(l);
    AppendJoined(raw_[kPayment], CleanText(l));
  }
  for (const char* label : kItemLabels) {
    if (!r_.OneIn(3)) continue;
    const std::string l = std::string("<span class=\"labelColor09\">") + label + "</span>";
    Add(l);
    std::string t = CleanText(l);
    if (t == "キャンペーン") t += "開催中";
    AppendJoined(raw_[kLabels], t);
  }
  if (!r_.OneIn(6)) {
    const std::string l = "<span class=\"supScoreNum\">" + std::to_string(3 + r_.Below(3)) + "." +
                          std::to_string(r_.Below(10)) + "</span>";
    Add(l);
    raw_[kSupScore] = CleanText(l);
  }
  Add("</div>");
}

// Specification table: the rows a client reads into columns 10 to 16, rows it
// must pass over, and the permitted uses.
void ItemPageWriter::WriteSpecTable() {
  Add("<table class=\"itemSpecTable\">");
  struct Spec {
    const char* heading;
    int column;
  };
  const Spec specs[] = {{"サイズ・容量", 9}, {"規格", 10},         {"注意事項", 11}, {"出荷条件", 12},
                        {"良品返品", 13},    {"注文について", 14}, {"JANコード", 15}};
  const std::string sizeValue = "W" + std::to_string(50 + r_.Below(200)) + "×D" + std::to_string(30 + r_.Below(100)) +
                                "×H" + std::to_string(10 + r_.Below(90)) + "mm";
  for (const Spec& spec : specs) {
    if (r_.OneIn(5)) continue;
    const std::string heading = spec.column == 15 && r_.OneIn(3) ? "janコード" : spec.heading;
    const std::string headingLine = "<th class=\"itemSpecHd\">" + heading + "</th>";
    WriteSpecRow(headingLine, spec.column, SpecValueLines(spec.column, sizeValue));
  }
  if (r_.OneIn(4)) {  // a heading the client does not know, and one written without attributes
    WriteSpecRow("<th class=\"itemSpecHd\">原産国</th>", -1, {"<td class=\"itemSpecData\">日本</td>"});
    Add("<tr>");
    Add("<th>規格</th>");
    Add("<td>この行は読まれません</td>");
    Add("</tr>");
  }
  if (r_.OneIn(5)) {  // the same heading twice: the later row wins
    WriteSpecRow("<th class=\"itemSpecHd\">注意事項</th>", 11, {"<td class=\"itemSpecData\">", "返品不可", "</td>"});
  }
  WritePermittedUses();
  Add("</table>");
}

// The value lines below one specification heading, cell tags included.
std::vector<std::string> ItemPageWriter::SpecValueLines(int column, const std::string& sizeValue) {
  switch (column) {
    case 9:
      return {"<td class=\"itemSpecData\">", sizeValue + "<br>重量：約" + std::to_string(100 + r_.Below(900)) + "g",
              "</td>"};
    case 10:
      return {"<td class=\"itemSpecData\">本体：天然木（ウォールナット）</td>"};
    case 11:
      return {"<td class=\"itemSpecData\">",
              "直射日光を避けて保管してください。",
              "",
              "\"",
              "お子様の手の届かない所に　置いてください。",
              "色味は画面と異なる場合があります。<br/>ご了承ください。",
              "</td>"};
    case 12:
      return {"<td class=\"itemSpecData\">", "ご注文から3&#12316;5営業日で出荷", "土日祝は休業  （年末年始を除く）",
              "</td>"};
    case 13:
      return {"<td class=\"itemSpecData\">不可</td>"};
    case 14:
      return {"<td class=\"itemSpecData\">", "最低ご注文数：" + std::to_string(1 + r_.Below(12)) + "個",
              "ロット単位&amp;ケース単位でのご注文となります", "</td>"};
    default:
      return {"<td class=\"itemSpecData\">",
              "49" + std::to_string(10000000000LL + static_cast<long long>(Mix(key_) % 89999999999LL)), "</td>"};
  }
}

// One row; column -1 for a heading the client passes over.
void ItemPageWriter::WriteSpecRow(const std::string& headingLine, int column, const std::vector<std::string>& values) {
  Add("<tr>");
  Add(headingLine);
  for (const auto& v : values) Add(v);
  Add("</tr>");
  if (column >= 0) raw_[static_cast<size_t>(column)] = SpecValueOf(values);
}

// The uses a member may make of the item; a circle marks the permitted ones.
void ItemPageWriter::WritePermittedUses() {
  for (const char* use : kUses) {
    if (r_.OneIn(4)) continue;
    const bool ok = !r_.OneIn(3);
    const std::string heading = std::string(use) == "CSVダイレクト注文" && r_.OneIn(3) ? "csvダイレクト注文" : use;
    Add("<tr>");
    Add("<th class=\"itemPermitHd\">" + heading + "</th>");
    Add(ok ? "<td class=\"itemPermitData\"><i class=\"fa fa-circle-o\"></i></td>"
           : "<td class=\"itemPermitData\"><i class=\"fa fa-times\"></i></td>");
    Add("</tr>");
    if (ok) AppendJoined(raw_[kLabels], heading + "OK");
  }
}

// Related items, at least one, until the page holds upTo bytes.
void ItemPageWriter::AppendRelatedItems(size_t upTo) {
  size_t size = 0;
  for (const auto& l : lines_) size += l.size() + 1;
  int n = 0;
  do {
    const std::uint64_t other = (Mix(key_ + static_cast<std::uint64_t>(n)) & kKeyMask & ~std::uint64_t{7}) | 0x100 |
                                static_cast<std::uint64_t>(genre_);
    const std::string l = "<li class=\"relatedItem\"><a href=\"" +
                          catalog_.ItemUrl(other).substr(catalog_.Root().size()) + "\">関連商品のご案内　" +
                          kNouns[genre_][n % 6] + "　" + kUnits[n % 8] + "</a></li>";
    lines_.push_back(l);
    size += l.size() + 1;
    ++n;
  } while (size < upTo);
}

// The cart form: nothing below it belongs to the item.
void ItemPageWriter::WriteCartForm() {
  if (r_.OneIn(15)) return;
  Add("<form name=\"myform\" method=\"post\" action=\"/cart/add\">");
  Add("<input type=\"hidden\" name=\"item\" value=\"" + code_ + "\">");
  Add("<h1 class=\"itemName\">おすすめの商品</h1>");
  Add("<span class=\"labelColor10\">ポイント払い</span>");
  Add("<span class=\"labelColor09\">キャンペーン</span>");
  Add("<img class=\"lazy\" data-url=\"" + pictureBase_ + "99.png\" alt=\"\">");
  Add("<p class=\"soldOutTxt\">品切れ</p>");
  Add("<th class=\"itemSpecHd\">規格</th>");
  Add("</form>");
}

std::string ItemPageWriter::Joined() {
  const std::string eol = r_.OneIn(4) ? "\r\n" : "\n";
  std::string html;
  for (const auto& l : lines_) {
    html += l;
    html += eol;
  }
  return html;
}

}  // namespace

std::string Catalog::ItemHtml(std::uint64_t key, ItemPage& page) const {
  return ItemPageWriter(*this, options_, key, page).Write();
}

}  // namespace vormla::demo
