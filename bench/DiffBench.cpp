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

#include "engine/RetrievalJob.h"
#include "web/TextOps.h"

extern char** environ;

namespace {

using vormla::ItemRecord;

// The values of item n as a run would write them, with its variant of change.
ItemRecord MakeItem(long n, int variant) {
  static const std::vector<std::string> words = {
      vormla::Utf8ToSjis("毎日使いたくなる定番アイテムです。"), vormla::Utf8ToSjis("職人が一つひとつ丁寧に仕上げました。"),
      vormla::Utf8ToSjis("贈り物にも最適です。"), vormla::Utf8ToSjis("サイズは約10～15cm、手になじむ形です。")};
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
    r[static_cast<size_t>(25 + k)] = "https://www.vormla.jp/img/" + std::to_string(100 + n % 8900) + "/" + id + "_0" +
                                     std::to_string(k) + ".png";
  }
  r[35] = "https://www.vormla.jp/shop/" + std::to_string(100 + n % 8900) + "/" + id;
  return r;
}

// Writes both files; returns the size of the older one.
std::uintmax_t MakeFiles(const std::string& older, const std::string& newer, long rows) {
  std::ofstream a(older, std::ios::binary), b(newer, std::ios::binary);
  a << vormla::CsvHeader() << "\r\n";
  b << vormla::CsvHeader() << "\r\n";
  for (long n = 0; n < rows; ++n) {
    const int kind = static_cast<int>(n % 100);
    a << vormla::FormatItemRow(MakeItem(n, 0)) << "\r\n";
    if (kind < 2) continue;                                                   // gone
    const int variant = kind < 5 ? 1 : kind < 7 ? 2 : kind < 9 ? 3 : 0;      // price, stock, text
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
  std::vector<std::string> args{cli != nullptr && *cli != '\0' ? cli : VORMLA_CLI_PATH, "diff", older, newer,
                                "--output", report};
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
