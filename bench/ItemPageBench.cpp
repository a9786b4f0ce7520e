// The page readers on canned pages: the item page walk in MB/s over a page of
// about 200 KB, one item page of 40,000 picture lines, and whole items per second
// through the result list reader.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ReaderTestKit.h"

namespace vormla {
namespace {

using testing::PageOf;
using testing::SampleItemPage;

// Serves one body per URL, copied into the page as a fetch fills it.
class CannedWeb : public WebAccess {
 public:
  std::vector<std::pair<std::string, std::string>> bodies;

  FetchResult Get(const std::string& url, std::string& page, const std::atomic<bool>*) override {
    page.clear();
    FetchResult result;
    for (const auto& [u, body] : bodies) {
      if (u != url) continue;
      page = body;
      result.answered = true;
      result.status = 200;
    }
    return result;
  }
  FetchResult Post(const std::string&, const std::string&, std::string& page, const std::atomic<bool>*) override {
    page.clear();
    return {};
  }
  FetchResult Download(const std::string&, int, const std::string&, const std::atomic<bool>*) override { return {}; }
};

class NullObserver : public JobObserver {
  void InitProgress(int) override {}
  void StepProgress() override {}
  void ShowItemProgress(const std::string&, int, int) override {}
  void ShowStatusText(const std::string&) override {}
  void JobFinished() override {}
};

// About 200 KB of item page.
std::string LargeItemPage() {
  int padding = 1;
  std::string page = SampleItemPage(padding);
  const size_t perLine = SampleItemPage(100).size() - page.size();
  padding = static_cast<int>((200 * 1024 - page.size()) * 100 / perLine);
  return SampleItemPage(padding);
}

void BM_ItemPageWalk(benchmark::State& state) {
  CannedWeb web;
  NullObserver observer;
  const std::string url = testing::kItemUrl;
  web.bodies.emplace_back(url, LargeItemPage());
  const size_t pageBytes = web.bodies.back().second.size();
  RetrievalJob worker({}, {}, {}, observer, web, "https://www.vormla.jp");
  worker.CsvFile.Open("/dev/null");
  for (auto _ : state) {
    worker.Record = {};
    worker.ReadItemPage(url);
    benchmark::DoNotOptimize(worker.Record);
  }
  if (worker.Record[3].empty()) state.SkipWithError("the page was not read");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pageBytes));
  state.counters["page_KB"] = static_cast<double>(pageBytes) / 1024.0;
}
BENCHMARK(BM_ItemPageWalk)->Unit(benchmark::kMicrosecond);

// An item page listing 40,000 picture lines, all of them distinct: each line is
// checked against every picture met before it (target: under 0.2 s of CPU).
void BM_PictureHeavyItemPage(benchmark::State& state) {
  constexpr int kPictureLines = 40000;
  std::string page = SampleItemPage();
  std::string pictures;
  for (int n = 0; n < kPictureLines; ++n) {
    pictures += "      <img class=\"lazy\" data-url=\"https://img.vormla.jp/item/884211/" + std::to_string(n) +
                "_01.jpg\" alt=\"\">\r\n";
  }
  const size_t body = page.find('\n', page.find("<body>")) + 1;
  page.insert(body, pictures);
  CannedWeb web;
  NullObserver observer;
  const std::string url = testing::kItemUrl;
  web.bodies.emplace_back(url, page);
  RetrievalJob worker({}, {}, {}, observer, web, "https://www.vormla.jp");
  worker.CsvFile.Open("/dev/null");
  for (auto _ : state) {
    worker.Record = {};
    worker.ReadItemPage(url);
    benchmark::DoNotOptimize(worker.ImageUrls);
  }
  // The sample page has pictures of its own besides.
  if (worker.ImageUrls.size() < kPictureLines) state.SkipWithError("not every picture was gathered");
  state.counters["picture_lines"] = kPictureLines;
  state.counters["page_KB"] = static_cast<double>(page.size()) / 1024.0;
}
BENCHMARK(BM_PictureHeavyItemPage)->Unit(benchmark::kMillisecond);

// A result page of 20 items, each with its own item page of the given size.
void BM_ResultListItems(benchmark::State& state) {
  CannedWeb web;
  NullObserver observer;
  constexpr int kItems = 20;
  std::vector<std::string> list = {"<p class=\"paginationTxt\">全20件中 1～20件を表示</p>"};
  for (int n = 1; n <= kItems; ++n) {
    const std::string url = "https://www.vormla.jp/shop/12/item-" + std::to_string(n);
    list.insert(list.end(),
                {"<section class=\"showcase\">", "<h3 class=\"showcaseHd\">", "<a href=\"" + url + "?ref=list\">",
                 "品名", "</a></h3>", "<div class=\"retailPriceArea\">", "<span>メーカ希望小売価格</span>",
                 "<span>1,980円</span>", "</div>", "<p class=\"afterPrice\">卸価格&nbsp;1,200円</p>", "</section>"});
    web.bodies.emplace_back(url, SampleItemPage(static_cast<int>(state.range(0))));
  }
  const std::string listUrl = "https://www.vormla.jp/search";
  web.bodies.emplace_back(listUrl, PageOf(list));
  RetrievalJob worker({}, {}, {}, observer, web, "https://www.vormla.jp");
  worker.CsvFile.Open("/dev/null");
  for (auto _ : state) {
    worker.ReadResultList(listUrl);
    if (worker.ItemDone != kItems) state.SkipWithError("not every item was read");
  }
  state.SetItemsProcessed(state.iterations() * kItems);
  state.counters["item_page_KB"] = static_cast<double>(web.bodies.front().second.size()) / 1024.0;
}
BENCHMARK(BM_ResultListItems)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vormla

int main(int argc, char** argv) {
  // The fixed pauses after each fetch are not what is measured.
  ::setenv("VORMLA_PAUSE_SCALE", "0", 1);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
