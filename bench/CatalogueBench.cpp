// Time to open the shipped catalogue, read the top-level list and build every
// top-level entry's tree once, as a session that visits every entry would.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/CategoryDatabase.h"
#include "settings/AppPaths.h"

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  const std::string path = argc > 1 ? argv[1] : vormla::ProgramPaths().Catalogue;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
  double best = 1e300;
  double total = 0;
  size_t nodes = 0;
  size_t entries = 0;
  try {
    for (int r = 0; r < rounds; ++r) {
      const auto start = Clock::now();
      vormla::CategoryDatabase db(path);
      if (!db.Locate()) {
        std::fprintf(stderr, "no catalogue at %s\n", path.c_str());
        return 1;
      }
      const auto top = db.LoadTopCategories();
      nodes = 0;
      for (size_t i = 0; i < top.size(); ++i) nodes += db.LoadCategoryTree(static_cast<int>(i)).size();
      entries = top.size();
      const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      best = std::min(best, ms);
      total += ms;
    }
  } catch (const vormla::CatalogueError& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::printf("catalogue %s: %zu entries, %zu nodes\n", path.c_str(), entries, nodes);
  std::printf("open + top list + every tree: best %.3f ms, mean %.3f ms over %d rounds\n", best, total / rounds,
              rounds);
  return 0;
}
