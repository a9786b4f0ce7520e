// Arbitrary bytes as an item page.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzReaderSupport.h"
#include "text/SjisLiteral.h"

using namespace vormla;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("VORMLA_PAUSE_SCALE", "0", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::InputWeb web;
  web.page = std::string_view(reinterpret_cast<const char*>(data), size);
  fuzzing::QuietObserver observer;
  RetrievalJob worker({}, {}, {}, observer, web, "https://www.vormla.jp");
  worker.CsvFile.Open("/dev/null");
  worker.StatusText = "label";
  worker.ReadItemPage("https://www.vormla.jp/shop/123/A-100");

  const ItemRecord& record = worker.Record;
  fuzzing::CheckRecord(record);
  if (record[22] != SjisLiteral<"在庫あり">() && record[22] != SjisLiteral<"品切れ中">()) std::abort();
  if (record[24] != "https://www.vormla.jp/corpinfo/123" || record[2] != "label") std::abort();
  if (worker.ImageCount < 0 || worker.ImageCount > 10) std::abort();
  for (int i = 0; i < 10; ++i) {
    if (record[25 + i].empty() != (i >= worker.ImageCount)) std::abort();
  }
  // The columns of the result list are never touched here.
  if (!record[7].empty() || !record[8].empty() || !record[35].empty()) std::abort();
  if (worker.RowsWritten() != 1) std::abort();
  return 0;
}
