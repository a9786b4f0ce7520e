// Shared pieces of the page reader tests and the item page benchmark: a worker
// wired to canned pages, page text built from lines, and the written rows read back.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FakeWebAccess.h"
#include "JobTestKit.h"
#include "engine/RetrievalJob.h"
#include "text/TextOps.h"

namespace vormla::testing {

inline const std::string kItemUrl = "https://www.vormla.jp/shop/123/A-100";

// Shift-JIS of a UTF-8 literal, for expected values.
inline std::string Sjis(const std::string& utf8) { return Utf8ToSjis(utf8); }

// Page lines joined with CR LF, as the site sends them.
inline std::string PageOf(const std::vector<std::string>& lines) {
  std::string page;
  for (const auto& line : lines) page += line + "\r\n";
  return page;
}

// A worker on canned pages, its result file and scratch file in a fresh folder.
class ReaderHarness {
 public:
  explicit ReaderHarness(SearchConditions conditions = {}) {
    ::setenv("VORMLA_PAUSE_SCALE", "0", 1);
    csvPath = folder / "result.csv";
    worker = std::make_unique<RetrievalJob>(std::move(conditions), std::vector<CategoryNode>{}, ResultTarget{},
                                            observer, web, "https://www.vormla.jp");
    worker->CsvFile.Open(csvPath);
  }

  // Closes the result file and gives back its bytes.
  std::string ResultBytes() {
    worker->CsvFile.Close();
    return ReadBytes(csvPath);
  }

  // The written rows split into fields (quoted, inner quotes doubled).
  std::vector<std::vector<std::string>> Rows() {
    std::vector<std::vector<std::string>> rows;
    const std::string bytes = ResultBytes();
    size_t i = 0;
    while (i < bytes.size()) {
      std::vector<std::string> row;
      while (i < bytes.size() && bytes[i] == '"') {
        std::string field;
        ++i;
        while (i < bytes.size()) {
          if (bytes[i] == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"') {
            field += '"';
            i += 2;
          } else if (bytes[i] == '"') {
            ++i;
            break;
          } else {
            field += bytes[i++];
          }
        }
        row.push_back(field);
        if (i < bytes.size() && bytes[i] == ',') ++i;
      }
      if (bytes.compare(i, 2, "\r\n") != 0) break;  // not a row as written: stop reading
      i += 2;
      rows.push_back(row);
    }
    return rows;
  }

  // GET requests made, in order.
  std::vector<std::string> Fetched() const {
    std::vector<std::string> urls;
    for (const auto& call : web.CallsOf("GET")) urls.push_back(call.target);
    return urls;
  }

  TempFolder folder;
  FakeWebAccess web;
  RecordingObserver observer;
  std::string csvPath;
  std::unique_ptr<RetrievalJob> worker;
};

// An item page as the site lays it out, with every kind of line the reader picks
// up; `padding` lines of ordinary markup stand between the parts, so the page can
// be made as large as wanted.
inline std::string SampleItemPage(int padding = 0) {
  std::vector<std::string> lines = {
      "<!DOCTYPE html>",
      "<html lang=\"ja\">",
      "<head>",
      "  <meta charset=\"utf-8\">",
      "  <title>木製トレイ 3枚セット | Vormla</title>",
      "</head>",
      "<body>",
      "  <ul class=\"colItemData\">",
      "    <li>商品管理番号：TR-300（登録/更新：2023/11/01）</li>",
      "    <li>商品ID：884211</li>",
      "    <li>[ブランド]&nbsp;ウッドワークス</li>",
      "  </ul>",
      "  <h1 class=\"itemName\">木製トレイ　3枚セット &amp; 布巾</h1>",
      "  <h2 class=\"supplierHd\"><a href=\"/corpinfo/123\">株式会社ヴォルム商会</a></h2>",
  };
  // Filler in the site's usual mix: navigation, description markup, script.
  static const std::vector<std::string> filler = {
      "      <li class=\"navItem\"><a href=\"/category/list?ct=101\">キッチン・日用品</a></li>",
      "      <div class=\"descBlock\">",
      "        <p class=\"descText\">天然木を使用しているため、木目や色味が一点ごとに異なります。</p>",
      "        <span class=\"note\">※長時間の水洗いは避けてください。</span>",
      "      </div>",
      "      <script>window.dataLayer = window.dataLayer || []; dataLayer.push({'item': 884211});</script>",
      "      <a class=\"btn btnPrimary\" href=\"/shop/123/TR-300#review\">レビューを見る</a>",
      "",
      "      <img class=\"icon\" src=\"/img/common/icon_cart.svg\" alt=\"カート\">",
      "      <td class=\"cell\">在庫数：12</td>",
  };
  for (int i = 0; i < padding; ++i) lines.push_back(filler[static_cast<size_t>(i) % filler.size()]);
  const std::vector<std::string> rest = {
      "  <h4 class=\"hdType04\">商品紹介</h4>",
      "  <p>天然木のトレイ</p>",
      "  <div class=\"userHtmlView\">使われない説明</div>",
      "  <dl>",
      "    <dt>人気度</dt>",
      "    <dd class=\"threeScore\">",
      "    <div class=\"itemScoreRatingItem\"></div>",
      "    <dt>注目度</dt>",
      "    <dd class=\"twoScore\">",
      "    <div class=\"itemScoreRatingItem\"></div>",
      "    <dt>リピート度</dt>",
      "    <dd class=\"oneScore\">",
      "    <div class=\"itemScoreRatingItem\"></div>",
      "  </dl>",
      "  <span class=\"label labelColor10\">銀行振込</span>",
      "  <span class=\"label labelColor10\">クレジットカード</span>",
      "  <span class=\"label labelColor09\">キャンペーン</span>",
      "  <span class=\"supScoreNum\">4.8</span>",
      "  <img src=\"/img/s.gif\" data-url=\"https://img.vormla.jp/item/884211_1.jpg\">",
      "  <img src=\"/img/s.gif\" data-url=\"https://img.vormla.jp/item/884211_2.jpg\">",
      "  <table class=\"specTable\">",
      "    <tr>",
      "      <th class=\"specHd\">サイズ・容量</th>",
      "      <td>",
      "        幅30cm×奥行20cm<br>高さ2cm",
      "      </td>",
      "    </tr>",
      "    <tr>",
      "      <th class=\"specHd\">JANコード</th>",
      "      <td>4901234567894</td>",
      "    </tr>",
      "    <tr>",
      "      <th class=\"specHd\">消費者直送</th>",
      "      <td><i class=\"fa fa-circle-o\"></i></td>",
      "    </tr>",
      "  </table>",
      "  <form name=\"myform\" action=\"/cart\" method=\"post\">",
      "  <h1>フォームの後ろ</h1>",
      "</body>",
      "</html>",
  };
  lines.insert(lines.end(), rest.begin(), rest.end());
  return PageOf(lines);
}

}  // namespace vormla::testing
