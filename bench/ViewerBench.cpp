// The results viewer on large inputs, each measured in a child process of its
// own (offscreen): peak memory is that child's alone.
//
//   bench_viewer [--rows N] [--results R] [--rows-each M]
//
// 1. A Shift-JIS result of N rows (default 100,000) of about 1.5 KB, with a
//    picture for each of its first 3,000 rows: time until the first screen is
//    painted, until every row is in, the slowest page while scrolling through
//    the table with thumbnails loading, and peak memory. Targets: < 1 s, < 400 MB.
// 2. A watch folder of R results (default 30) of M rows (default 1,000) and the
//    change report of its last two: time until the newest result, the report and
//    the price history of every result are in. Target: < 2 s.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "BenchRows.h"
#include "engine/RetrievalJob.h"
#include "results/ChangeReport.h"
#include "viewer/HistoryPage.h"
#include "viewer/PictureCache.h"
#include "viewer/ResultModel.h"
#include "viewer/ResultsPage.h"
#include "viewer/ViewerServices.h"
#include "viewer/ViewerWindow.h"

namespace {

using vormla::bench::MakeItem;

constexpr long kPictured = 3000;
// A 1 x 1 PNG: enough for the loader to read, scale and cache.
constexpr unsigned char kPng[] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
                                  0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00,
                                  0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00, 0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78,
                                  0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01, 0x0D, 0x0A, 0x2D, 0xB4, 0x00,
                                  0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};

void WriteResult(const std::string& path, long rows, long first, int variantEvery) {
  std::ofstream out(path, std::ios::binary);
  out << vormla::CsvHeader() << "\r\n";
  for (long n = first; n < first + rows; ++n)
    out << vormla::FormatItemRow(MakeItem(n, n % variantEvery == 0 ? 1 : 0)) << "\r\n";
}

void WritePictures(const std::string& folder, long rows) {
  for (long n = 0; n < std::min(rows, kPictured); ++n) {
    const vormla::ItemRecord item = MakeItem(n, 0);
    const std::string url = item[25];
    std::filesystem::create_directories(folder + "/pictures/" + item[0]);
    std::ofstream(folder + "/pictures/" + item[0] + "/" + url.substr(url.rfind('/') + 1), std::ios::binary)
        .write(reinterpret_cast<const char*>(kPng), sizeof kPng);
  }
}

// The report of the last two results, as watch writes it.
void WriteReport(const std::string& older, const std::string& newer, const std::string& report) {
  vormla::ResultCsvReader a(older), b(newer);
  const vormla::ResultEncoding fields = vormla::CommonFieldEncoding(a, b);
  vormla::ResultItems before, after;
  std::uint64_t budget = vormla::kComparisonMemory;
  before.Read(a, budget);
  after.Read(b, budget);
  std::ofstream out(report, std::ios::binary);
  out << vormla::ChangeReportHeader(vormla::ResultEncoding::kSjis) << "\r\n";
  vormla::CompareItems(before, after, [&](const vormla::ChangeRow& row) {
    out << vormla::FormatChangeRow(row, fields, vormla::ResultEncoding::kSjis) << "\r\n";
  });
}

void Settle(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The viewer's window as a user has it, with a list of last opened of its own.
struct ShownWindow {
  vormla::viewer::QtViewerServices Services;
  QTemporaryDir Config;
  vormla::viewer::ViewerWindow Window{Services, Config.filePath(QStringLiteral("recent.ini"))};
  bool Exposed() {
    Window.show();
    return QTest::qWaitForWindowExposed(&Window);
  }
};

int MeasureFile(const QString& path) {
  ShownWindow shown;
  if (!shown.Exposed()) return 1;
  vormla::viewer::ViewerWindow& window = shown.Window;
  vormla::viewer::ResultsPage& page = window.Results();
  QElapsedTimer clock;
  clock.start();
  window.OpenFile(path);
  Settle([&] { return page.Rows().rowCount() > 0; });
  page.Table().viewport()->repaint();
  const double firstScreen = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  Settle([&] { return !page.Loading(); });
  const double allRows = static_cast<double>(clock.nsecsElapsed()) / 1e9;

  // Down the pictured part of the table a page at a time, painting each page at once.
  QScrollBar* bar = page.Table().verticalScrollBar();
  double slowest = 0;
  int pages = 0;
  for (int value = 0; value < std::min<int>(bar->maximum(), kPictured - 20); value += bar->pageStep(), ++pages) {
    QElapsedTimer step;
    step.start();
    bar->setValue(value);
    page.Table().viewport()->repaint();
    QCoreApplication::processEvents();
    slowest = std::max(slowest, static_cast<double>(step.nsecsElapsed()) / 1e6);
  }
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "%ld rows: first screen %.3f s, all rows %.3f s, %d pages scrolled (slowest %.1f ms, %d thumbnails loaded "
      "meanwhile), %.1f MB peak   (targets: < 1 s, < 400 MB)\n",
      static_cast<long>(page.Rows().rowCount()), firstScreen, allRows, pages, slowest, page.Thumbnails().Loaded(),
      static_cast<double>(usage.ru_maxrss) / 1024.0);
  return firstScreen < 1.0 && usage.ru_maxrss < 400 * 1024 ? 0 : 1;
}

int MeasureFolder(const QString& folder) {
  ShownWindow shown;
  if (!shown.Exposed()) return 1;
  vormla::viewer::ViewerWindow& window = shown.Window;
  QElapsedTimer clock;
  clock.start();
  window.OpenFolder(folder);
  Settle([&] { return window.History().HistoryReady() && !window.Results().Loading(); });
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "watch folder of %d results: open %.3f s (newest %ld rows, %d report rows, every price history), %.1f MB peak   "
      "(target: < 2 s)\n",
      window.History().ResultList().count(), seconds, static_cast<long>(window.Results().Rows().rowCount()),
      window.History().Report().rowCount(), static_cast<double>(usage.ru_maxrss) / 1024.0);
  return seconds < 2.0 ? 0 : 1;
}

// Runs measure in a child with its own QApplication; its exit code.
int InChild(int argc, char** argv, const std::function<int()>& measure) {
  std::fflush(stdout);
  const pid_t pid = ::fork();
  if (pid == 0) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int code = measure();
    std::fflush(stdout);
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  long rows = 100000, results = 30, rowsEach = 1000;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--rows") rows = std::atol(argv[i + 1]);
    if (arg == "--results") results = std::atol(argv[i + 1]);
    if (arg == "--rows-each") rowsEach = std::atol(argv[i + 1]);
  }
  char pattern[] = "/tmp/vormla-bench-viewer-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;

  const std::string big = folder + "/big/result.csv";
  std::filesystem::create_directories(folder + "/big");
  WriteResult(big, rows, 0, 1000000);
  WritePictures(folder + "/big", rows);
  std::printf("one result of %ld rows (%.1f MB), pictures for its first %ld rows\n", rows,
              static_cast<double>(std::filesystem::file_size(big)) / 1e6, std::min(rows, kPictured));
  int status = InChild(argc, argv, [&] { return MeasureFile(QString::fromStdString(big)); });

  const std::string watch = folder + "/watch";
  std::filesystem::create_directories(watch);
  std::string previous;
  for (long r = 0; r < results; ++r) {
    char name[64];
    std::snprintf(name, sizeof name, "/vormla-20240101-%02ld%02ld00.csv", r / 60, r % 60);
    WriteResult(watch + name, rowsEach, r * rowsEach / 50, static_cast<int>(7 + r % 5));  // goods move on a little
    if (r + 1 == results && !previous.empty()) {
      WriteReport(previous, watch + name, watch + "/changes-" + std::string(name + 8));
    }
    previous = watch + name;
  }
  status |= InChild(argc, argv, [&] { return MeasureFolder(QString::fromStdString(watch)); });
  std::filesystem::remove_all(folder);
  return status;
}
