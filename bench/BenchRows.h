// Result rows of about 1.5 KB as a run writes them (Shift-JIS values), for the
// benchmarks that read large result files.
#pragma once

#include <string>
#include <vector>

#include "engine/JobTypes.h"
#include "text/TextOps.h"

namespace vormla::bench {

// The values of item n as a run would write them, with its variant of change.
inline ItemRecord MakeItem(long n, int variant) {
  static const std::vector<std::string> words = {vormla::Utf8ToSjis("毎日使いたくなる定番アイテムです。"),
                                                 vormla::Utf8ToSjis("職人が一つひとつ丁寧に仕上げました。"),
                                                 vormla::Utf8ToSjis("贈り物にも最適です。"),
                                                 vormla::Utf8ToSjis("サイズは約10～15cm、手になじむ形です。")};
  const std::string id = std::to_string(100000000 + n);
  ItemRecord r;
  r[0] = "VM-" + std::to_string(1000 + n % 9000) + (n % 3 == 0 ? "-L" : "");
  r[1] = id;
  r[2] = vormla::Utf8ToSjis("レディースファッション > トップス > Tシャツ・カットソー");
  r[3] = vormla::Utf8ToSjis("【送料無料】ステンレスマグカップ 2個組 \"限定\" モデル ") + id;
  for (int k = 0; k < 8; ++k) r[4] += words[static_cast<size_t>((n + k) % 4)];
  r[5] = vormla::Utf8ToSjis("株式会社ヴォルムラ商事");
  r[6] = vormla::Utf8ToSjis("さくら堂");
  r[7] = std::to_string(2000 + n % 5000) + vormla::Utf8ToSjis("円 (税込)");
  r[8] = std::to_string(800 + n % 3000 + (variant == 1 ? 100 : 0)) + vormla::Utf8ToSjis("円");
  for (int k = 9; k <= 15; ++k) r[static_cast<size_t>(k)] = words[static_cast<size_t>(k % 4)] + std::to_string(k);
  r[16] = vormla::Utf8ToSjis("クレジットカード、銀行振込、後払い");
  r[17] = vormla::Utf8ToSjis("送料無料、新商品、消費者直送OK、画像転載OK、ネット販売OK");
  r[18] = "threeScore";
  r[19] = r[20] = r[21] = vormla::Utf8ToSjis("★★☆");
  r[22] = vormla::Utf8ToSjis((n % 7 == 0) != (variant == 2) ? "品切れ中" : "在庫あり");
  r[23] = "2024/05/" + std::to_string(10 + n % 20) + (variant == 3 ? "*" : "");
  r[24] = "https://www.vormla.jp/corpinfo/" + std::to_string(100 + n % 8900);
  for (int k = 0; k < 10; ++k) {
    r[static_cast<size_t>(25 + k)] =
        "https://www.vormla.jp/img/" + std::to_string(100 + n % 8900) + "/" + id + "_0" + std::to_string(k) + ".png";
  }
  r[35] = "https://www.vormla.jp/shop/" + std::to_string(100 + n % 8900) + "/" + id;
  return r;
}

}  // namespace vormla::bench
