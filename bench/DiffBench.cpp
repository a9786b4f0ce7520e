// vormla-cli diff on two large result files: wall time and peak memory of the
// process, for each report encoding.
//
//   bench_diff [--rows N] [--runs R]
//
// Makes two Shift-JIS result files of N rows (default 100,000) of about 1.5 KB
// each, the second with 2% of the items gone, 2% new ones, 3% at another price,
// 2% with the other stock and 2% with another text, then times `vormla-cli diff`
// R times (default 3) and prints the median. VORMLA_BENCH_CLI names another
// vormla-cli to measure. Targets: < 2 s and < 200 MB for 100,000 rows.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchRows.h"
#include "engine/RetrievalJob.h"

extern char** environ;

namespace {

using vormla::bench::MakeItem;

// Writes both files; returns the size of the older one.
std::uintmax_t MakeFiles(const std::string& older, const std::string& newer, long rows) {
  std::ofstream a(older, std::ios::binary), b(newer, std::ios::binary);
  a << vormla::CsvHeader() << "\r\n";
  b << vormla::CsvHeader() << "\r\n";
  for (long n = 0; n < rows; ++n) {
    const int kind = static_cast<int>(n % 100);
    a << vormla::FormatItemRow(MakeItem(n, 0)) << "\r\n";
    if (kind < 2) continue;                                              // gone
    const int variant = kind < 5 ? 1 : kind < 7 ? 2 : kind < 9 ? 3 : 0;  // price, stock, text
    b << vormla::FormatItemRow(MakeItem(n, variant)) << "\r\n";
    if (kind >= 98) b << vormla::FormatItemRow(MakeItem(rows + n, 0)) << "\r\n";  // new
  }
  return std::filesystem::file_size(older);
}

struct Figures {
  int exitCode = -1;
  double seconds = 0;
  long maxRssKb = 0;
};

Figures RunDiff(const std::string& older, const std::string& newer, const std::string& report, bool utf8) {
  const char* cli = std::getenv("VORMLA_BENCH_CLI");
  std::vector<std::string> args{
      cli != nullptr && *cli != '\0' ? cli : VORMLA_CLI_PATH, "diff", older, newer, "--output", report};
  if (utf8) args.insert(args.end(), {"--encoding", "utf-8"});
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Figures figures;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return figures;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return figures;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  figures.maxRssKb = usage.ru_maxrss;
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  long rows = 100000;
  int runs = 3;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--rows" && i + 1 < argc) {
      rows = std::atol(argv[++i]);
    } else if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: bench_diff [--rows N] [--runs R]\n");
      return 2;
    }
  }
  char pattern[] = "/tmp/vormla-bench-diff-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  const std::string older = folder + "/old.csv", newer = folder + "/new.csv", report = folder + "/changes.csv";
  const std::uintmax_t size = MakeFiles(older, newer, rows);
  std::printf("diff of two files of %ld rows (%.1f MB each)\n", rows, static_cast<double>(size) / 1e6);

  int status = 0;
  for (const bool utf8 : {false, true}) {
    std::vector<Figures> all;
    for (int r = 0; r < runs; ++r) all.push_back(RunDiff(older, newer, report, utf8));
    std::sort(all.begin(), all.end(), [](const Figures& a, const Figures& b) { return a.seconds < b.seconds; });
    const Figures& median = all[all.size() / 2];
    long reportRows = -1;
    {
      std::ifstream in(report, std::ios::binary);
      std::string line;
      while (std::getline(in, line)) ++reportRows;
    }
    std::printf("report %-6s exit %d  %6.3f s  %6.1f MB peak  %ld report rows   (targets: < 2 s, < 200 MB)\n",
                utf8 ? "utf-8" : "sjis", median.exitCode, median.seconds, median.maxRssKb / 1024.0, reportRows);
    if (median.exitCode != 1) status = 1;
  }
  std::filesystem::remove_all(folder);
  return status;
}
