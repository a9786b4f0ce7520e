// A whole run of vormla-cli against the demo market without pauses: items per
// second, CPU time per item of vormla-cli alone and its peak memory.
//
//   bench_run [--items N] [--runs R] [--min-bytes B] [--max-bytes B] [--images]
//   bench_run --line-break-pages
//
// The market runs in a child process and lists N items (default 1000) for the one
// whole-site search, with item pages padded to 30-80 KB. One warm-up run fills
// the market's page cache; the figures of the following runs are printed, then
// their median. VORMLA_BENCH_CLI names another vormla-cli to measure. Targets: >= 2000 items/s, <= 0.26 ms CPU per
// item, < 15 MB peak.
//
// --line-break-pages: the memory bound instead. The search lists one item, and
// both the result page and the item page are 16 MiB of bare line breaks (the
// result page is held while the item page is read). Target: < 128 MB peak.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "demo-market/DemoMarket.h"

extern char** environ;

namespace {

struct RunFigures {
  int exitCode = -1;
  long rows = 0;
  double wallSeconds = 0;
  double cpuMilliseconds = 0;  // user + system of vormla-cli
  long maxRssKb = 0;
};

long CountRows(const std::string& csv) {
  std::ifstream in(csv, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  long lines = 0;
  for (size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++lines;
  return lines > 0 ? lines - 1 : 0;
}

RunFigures RunOnce(const std::string& siteRoot, const std::string& folder, const std::string& caFile, bool images) {
  const std::string csv = folder + "/bench.csv";
  const char* cli = std::getenv("VORMLA_BENCH_CLI");  // another build of the program to compare
  std::vector<std::string> args{cli != nullptr && *cli != '\0' ? cli : VORMLA_CLI_PATH, "run", "--output", csv};
  if (images) {
    std::filesystem::remove_all(folder + "/pictures");
    std::filesystem::create_directory(folder + "/pictures");
    args.push_back("--images");
    args.push_back(folder + "/pictures");
  }
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> envText;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry(*e);
    if (entry.rfind("VORMLA_", 0) != 0) envText.push_back(entry);
  }
  envText.push_back("VORMLA_SITE_ROOT=" + siteRoot);
  envText.push_back("VORMLA_CA_FILE=" + caFile);
  envText.push_back("VORMLA_PAUSE_SCALE=0");
  std::vector<char*> envp;
  for (std::string& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);  // progress lines
  RunFigures figures;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return figures;
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid) return figures;
  figures.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  figures.cpuMilliseconds = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                            (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
  figures.maxRssKb = usage.ru_maxrss;
  figures.rows = CountRows(csv);
  return figures;
}

void Print(const char* label, const RunFigures& f) {
  const double perSecond = f.wallSeconds > 0 ? f.rows / f.wallSeconds : 0;
  const double cpuPerItem = f.rows > 0 ? f.cpuMilliseconds / f.rows : 0;
  std::printf("%-8s exit %d  %5ld rows  %7.3f s  %8.0f items/s  %7.1f ms CPU  %6.3f ms CPU/item  %6.1f MB peak\n",
              label, f.exitCode, f.rows, f.wallSeconds, perSecond, f.cpuMilliseconds, cpuPerItem, f.maxRssKb / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
  int items = 1000;
  int runs = 3;
  int minBytes = 30 * 1024;
  int maxBytes = 80 * 1024;
  bool images = false;
  bool lineBreakPages = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto next = [&](int& value) {
      if (i + 1 < argc) value = std::atoi(argv[++i]);
    };
    if (arg == "--items")
      next(items);
    else if (arg == "--runs")
      next(runs);
    else if (arg == "--min-bytes")
      next(minBytes);
    else if (arg == "--max-bytes")
      next(maxBytes);
    else if (arg == "--images")
      images = true;
    else if (arg == "--line-break-pages")
      lineBreakPages = true;
    else {
      std::fprintf(stderr,
                   "usage: bench_run [--items N] [--runs R] [--min-bytes B] [--max-bytes B] [--images]\n"
                   "       bench_run --line-break-pages\n");
      return 2;
    }
  }

  char pattern[] = "/tmp/vormla-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;
  const std::string caFile = folder + "/ca.pem";

  // The market lives in a child process: a child's peak memory counts the
  // memory of the process it was started from, so vormla-cli must be started
  // from a small one, not from the one holding the market's page cache.
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return 1;
  const pid_t marketPid = ::fork();
  if (marketPid == 0) {
    ::close(pipeFds[0]);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);
    vormla::demo::DemoMarketOptions options;
    options.catalogue.itemsPerSearch = items;
    options.catalogue.pageBytesMin = minBytes;
    options.catalogue.pageBytesMax = maxBytes;
    vormla::demo::DemoMarket market(options);
    const std::string root = market.Start() && market.WriteCaFile(caFile) ? market.SiteRoot() : std::string();
    if (lineBreakPages) market.ServeLineBreakPages();
    const ssize_t written = ::write(pipeFds[1], root.data(), root.size());
    ::close(pipeFds[1]);
    if (written > 0) {
      int received = 0;
      sigwait(&stop, &received);
    }
    market.Stop();
    std::_Exit(0);
  }
  ::close(pipeFds[1]);
  char buffer[256];
  const ssize_t length = marketPid > 0 ? ::read(pipeFds[0], buffer, sizeof buffer) : -1;
  ::close(pipeFds[0]);
  if (length <= 0) {
    std::fprintf(stderr, "bench_run: cannot start the demo market\n");
    return 1;
  }
  const std::string siteRoot(buffer, static_cast<size_t>(length));

  const auto stopMarket = [&] {
    ::kill(marketPid, SIGTERM);
    ::waitpid(marketPid, nullptr, 0);
    std::filesystem::remove_all(folder);
  };
  if (lineBreakPages) {
    std::printf("vormla-cli, a result page and an item page of 16 MiB of bare line breaks each, pauses off\n");
    for (int r = 0; r < std::max(runs, 1); ++r) {
      Print(("run " + std::to_string(r + 1)).c_str(), RunOnce(siteRoot, folder, caFile, false));
    }
    std::printf("target: < 128 MB peak\n");
    stopMarket();
    return 0;
  }
  std::printf("vormla-cli, one whole-site search of %d items, item pages %d-%d bytes, pauses off%s\n", items, minBytes,
              maxBytes, images ? ", pictures saved" : "");
  Print("warm-up", RunOnce(siteRoot, folder, caFile, images));
  std::vector<RunFigures> measured;
  for (int r = 0; r < std::max(runs, 1); ++r) {
    measured.push_back(RunOnce(siteRoot, folder, caFile, images));
    Print(("run " + std::to_string(r + 1)).c_str(), measured.back());
  }
  std::sort(measured.begin(), measured.end(),
            [](const RunFigures& a, const RunFigures& b) { return a.wallSeconds < b.wallSeconds; });
  const RunFigures& median = measured[measured.size() / 2];
  Print("median", median);
  std::printf("targets: >= 2000 items/s, <= 0.26 ms CPU/item, < 15 MB peak\n");
  stopMarket();
  return 0;
}
