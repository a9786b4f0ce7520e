// Arbitrary bytes as a result page (and as every item page it leads to).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "FuzzReaderSupport.h"

using namespace vormla;

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ::setenv("VORMLA_PAUSE_SCALE", "0", 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzzing::InputWeb web;
  web.page = std::string_view(reinterpret_cast<const char*>(data), size);
  fuzzing::QuietObserver observer;
  SearchConditions conditions;
  conditions.TopCategory.Index = 1;
  conditions.TopCategory.Name = "top";
  RetrievalJob worker(conditions, {}, {}, observer, web, "https://www.vormla.jp");
  worker.CsvFile.Open("/dev/null");
  worker.StatusText = "label";
  worker.ReadResultList("https://www.vormla.jp/search");

  // Items are counted one by one up to the hit count, each shown once; a page
  // without a count shows the progress exactly once.
  if (worker.ItemTotal < 1) {
    if (worker.ItemDone != 0 || observer.itemCalls != 1) std::abort();
  } else {
    if (worker.ItemDone > worker.ItemTotal || observer.itemCalls != worker.ItemDone) std::abort();
    if (worker.RowsWritten() > worker.ItemDone) std::abort();
  }
  fuzzing::CheckRecord(worker.Record);
  return 0;
}
