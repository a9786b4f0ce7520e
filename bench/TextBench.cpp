// How fast a fetched item page goes through the text primitives: loading the file
// into lines, converting each line to Shift-JIS, removing tags and trimming, as the
// page readers do for every page.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "text/TextOps.h"

namespace {

using vormla::StringList;

// An item page of about 100 KB: markup with Japanese captions, prices, a spec
// table, a long description and picture addresses, one element per line.
std::string MakeItemPage() {
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"UTF-8\">\n"
      "<meta name=\"csrf-token\" content=\"4f1c2a9be0d34c7f8a6b5e2d1c0f9a8b\">\n"
      "<title>\xE5\x95\x86\xE5\x93\x81\xE8\xA9\xB3\xE7\xB4\xB0 | Vormla</title>\n</head>\n<body>\n";
  // 商品詳細, 卸価格, 希望小売価格, 在庫あり, 送料無料, 素材：綿100％, 日本製
  const char* caption = "\xE5\x95\x86\xE5\x93\x81\xE8\xA9\xB3\xE7\xB4\xB0";
  const char* wholesale = "\xE5\x8D\xB8\xE4\xBE\xA1\xE6\xA0\xBC";
  const char* retail = "\xE5\xB8\x8C\xE6\x9C\x9B\xE5\xB0\x8F\xE5\xA3\xB2\xE4\xBE\xA1\xE6\xA0\xBC";
  const char* stock = "\xE5\x9C\xA8\xE5\xBA\xAB\xE3\x81\x82\xE3\x82\x8A";
  const char* shipping = "\xE9\x80\x81\xE6\x96\x99\xE7\x84\xA1\xE6\x96\x99";
  const char* material = "\xE7\xB4\xA0\xE6\x9D\x90\xEF\xBC\x9A\xE7\xB6\xBF\x31\x30\x30\xEF\xBC\x85";
  const char* origin = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xA3\xBD";
  for (int i = 0; page.size() < 100 * 1024; ++i) {
    const std::string n = std::to_string(i);
    page += "    <div class=\"itemBlock\" id=\"item" + n + "\">\n";
    page += "      <h3 class=\"itemName\"><a href=\"/item/detail/" + n + "\">" + caption + " " + n +
            " \xE3\x82\xB3\xE3\x83\x83\xE3\x83\x88\xE3\x83\xB3\xE3\x82\xBF\xE3\x82\xAA\xE3\x83\xAB</a></h3>\n";
    page += "      <p class=\"afterPrice\">" + std::string(wholesale) + "&nbsp;1,2" + n + "\xE5\x86\x86</p>\n";
    page += "      <p class=\"price\">" + std::string(retail) + "&nbsp;2,4" + n +
            "\xE5\x86\x86\xEF\xBC\x88\xE7\xA8\x8E\xE8\xBE\xBC\xEF\xBC\x89</p>\n";
    page += "      <table class=\"spec\">\n";
    page += "        <tr><th>" + std::string(material) + "</th><td>" + origin + "</td></tr>\n";
    page += "        <tr><th>JAN</th><td>49012345" + n + "</td></tr>\n";
    page += "        <tr><th>" + std::string(stock) + "</th><td>" + shipping + "</td></tr>\n";
    page += "      </table>\n";
    page +=
        "      <p class=\"description\">\xE3\x81\x93\xE3\x81\xAE\xE5\x95\x86\xE5\x93\x81\xE3\x81\xAF"
        "\xE6\x9F\x94\xE3\x82\x89\xE3\x81\x8B\xE3\x81\x84\xE7\xB6\xBF\xE3\x82\x92\xE4\xBD\xBF\xE7\x94\xA8"
        "\xE3\x81\x97\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82<br>"
        "\xE3\x81\x8A\xE5\x95\x8F\xE3\x81\x84\xE5\x90\x88\xE3\x82\x8F\xE3\x81\x9B\xE3\x81\xAF"
        "\xE3\x81\x8A\xE6\xB0\x97\xE8\xBB\xBD\xE3\x81\xAB\xE3\x81\xA9\xE3\x81\x86\xE3\x81\x9E\xE3\x80\x82</p>\n";
    page += "      <img src=\"https://img.vormla.jp/item/" + n + "/photo_01.jpg\" alt=\"\">\n";
    page += "    </div>\n";
  }
  page += "</body>\n</html>\n";
  return page;
}

struct PageFile {
  PageFile() : bytes(MakeItemPage()) {
    path = (std::filesystem::temp_directory_path() / ("vormla-bench-" + std::to_string(::getpid()) + ".dat")).string();
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~PageFile() { std::remove(path.c_str()); }
  std::string bytes;
  std::string path;
};

const PageFile& Page() {
  static const PageFile page;
  return page;
}

// What a reader does with a fetched page.
void BM_ItemPage(benchmark::State& state) {
  const PageFile& page = Page();
  for (auto _ : state) {
    const StringList lines = vormla::LoadPageLines(page.path);
    size_t kept = 0;
    for (const std::string& line : lines) {
      const std::string text = vormla::TrimBlanks(vormla::StripTags(vormla::Utf8ToSjis(line)));
      kept += text.size();
    }
    benchmark::DoNotOptimize(kept);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.bytes.size()));
  state.counters["lines"] = static_cast<double>(vormla::SplitPageLines(page.bytes).size());
}
BENCHMARK(BM_ItemPage);

void BM_LoadPageLines(benchmark::State& state) {
  const PageFile& page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(vormla::LoadPageLines(page.path));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.bytes.size()));
}
BENCHMARK(BM_LoadPageLines);

void BM_Utf8ToSjis(benchmark::State& state) {
  const PageFile& page = Page();
  for (auto _ : state) benchmark::DoNotOptimize(vormla::Utf8ToSjis(page.bytes));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.bytes.size()));
}
BENCHMARK(BM_Utf8ToSjis);

// Nothing but Japanese: every character goes through the table.
void BM_Utf8ToSjisJapanese(benchmark::State& state) {
  std::string text;
  // この商品は柔らかい綿を使用しています。
  while (text.size() < 100 * 1024) {
    text +=
        "\xE3\x81\x93\xE3\x81\xAE\xE5\x95\x86\xE5\x93\x81\xE3\x81\xAF\xE6\x9F\x94\xE3\x82\x89"
        "\xE3\x81\x8B\xE3\x81\x84\xE7\xB6\xBF\xE3\x82\x92\xE4\xBD\xBF\xE7\x94\xA8\xE3\x81\x97"
        "\xE3\x81\xA6\xE3\x81\x84\xE3\x81\xBE\xE3\x81\x99\xE3\x80\x82";
  }
  for (auto _ : state) benchmark::DoNotOptimize(vormla::Utf8ToSjis(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Utf8ToSjisJapanese);

void BM_SjisToUtf8(benchmark::State& state) {
  const std::string sjis = vormla::Utf8ToSjis(Page().bytes);
  for (auto _ : state) benchmark::DoNotOptimize(vormla::SjisToUtf8(sjis));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sjis.size()));
}
BENCHMARK(BM_SjisToUtf8);

void BM_StripTags(benchmark::State& state) {
  const std::string sjis = vormla::Utf8ToSjis(Page().bytes);
  for (auto _ : state) benchmark::DoNotOptimize(vormla::StripTags(sjis));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(sjis.size()));
}
BENCHMARK(BM_StripTags);

}  // namespace

BENCHMARK_MAIN();
