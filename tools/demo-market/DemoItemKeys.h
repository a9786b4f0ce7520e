// What the parts of the demo catalog share: an item's key with its code and
// supplier, the goods' genres and nouns, and the CSV column indexes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "demo-market/DemoText.h"

namespace vormla::demo {

inline constexpr std::uint64_t kKeyMask = 0xFFFFFFFFFFULL;  // 40 bits: ten hex digits
inline constexpr int kGenres = 8;

// Column indexes (column n is index n - 1).
enum Col : int {
  kMgmt = 0,
  kItemId = 1,
  kCategory = 2,
  kName = 3,
  kIntro = 4,
  kSeller = 5,
  kBrand = 6,
  kRetail = 7,
  kWholesale = 8,
  kSpecFirst = 9,
  kPayment = 16,
  kLabels = 17,
  kSupScore = 18,
  kPopular = 19,
  kAttention = 20,
  kRepeat = 21,
  kStock = 22,
  kDate = 23,
  kCorp = 24,
  kPicture1 = 25,
  kDetailUrl = 35
};

inline const char* const kNouns[kGenres][6] = {
    {"国産はちみつ", "有機緑茶ティーバッグ", "手焼きせんべい", "北海道産昆布", "黒糖かりんとう", "讃岐うどん"},
    {"ステンレスマグカップ", "木製カッティングボード", "陶器の小皿", "竹製箸セット", "ガラス花瓶",
     "綿のキッチンクロス"},
    {"綿麻ストール", "本革キーケース", "ニット帽", "レザーベルト", "帆布トートバッグ", "シルクスカーフ"},
    {"保湿フェイスマスク", "ハンドクリーム", "ヘアオイル", "入浴剤セット", "無添加石けん", "リップバーム"},
    {"USB充電器", "LEDデスクライト", "電動歯ブラシ", "ミニ加湿器", "ワイヤレスイヤホン", "モバイルバッテリー"},
    {"猫用爪とぎ", "犬用おやつ", "ペット用ブラシ", "小動物用ハウス", "猫砂", "リード＆首輪セット"},
    {"万年筆", "クラフト封筒", "和紙ノート", "木製定規", "付箋セット", "レターセット"},
    {"折りたたみチェア", "保冷バッグ", "LEDランタン", "アルミクッカー", "ハンモック", "寝袋"}};

inline std::string Hex10(std::uint64_t key) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%010llX", static_cast<unsigned long long>(key & kKeyMask));
  return buffer;
}

inline std::string SupplierOf(std::uint64_t key) { return std::to_string(100 + Mix(key ^ 0x5EB1EEULL) % 8900); }

}  // namespace vormla::demo
