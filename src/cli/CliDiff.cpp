#include "cli/CliDiff.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <optional>

#include "cli/CliProgress.h"
#include "cli/CliStop.h"
#include "files/WholeFile.h"
#include "results/ChangeReport.h"
#include "run/PendingResult.h"

namespace vormla::cli {

namespace {

// Lines to a file descriptor, gathered into large writes; the first failure is
// kept and everything after it is dropped.
class ReportWriter {
 public:
  explicit ReportWriter(int fd) : fd_(fd) { buffer_.reserve(kFlushAt + 4096); }

  void Write(std::string_view bytes) {
    buffer_ += bytes;
    if (buffer_.size() >= kFlushAt) Flush();
  }
  void Line(const std::string& line) {
    Write(line);
    Write("\r\n");
  }
  bool Finish() {
    Flush();
    return !failed_;
  }

 private:
  static constexpr size_t kFlushAt = 1 << 20;

  void Flush() {
    if (!failed_ && !WriteWhole(fd_, buffer_)) failed_ = true;
    buffer_.clear();
  }

  int fd_;
  std::string buffer_;
  bool failed_ = false;
};

std::string Where(const ResultCsvError& error) {
  std::string where = error.Path();
  if (error.Line() > 0) {
    where += ':';
    where += std::to_string(error.Line());
  }
  return where;
}

}  // namespace

std::string ChangesLine(const ChangeCounts& counts) { return "vormla-cli: " + ChangeCountsText(counts); }

namespace {

// Both files' items, read in one encoding; false (said on err) when either is no
// result file that can be compared.
bool ReadBoth(const std::string& older, const std::string& newer, std::FILE* err, ResultItems& before,
              ResultItems& after, ResultEncoding& fields) {
  TerminalProgress progress(err, ::isatty(::fileno(err)) != 0, nullptr);
  try {
    ResultCsvReader olderFile(older);
    ResultCsvReader newerFile(newer);
    fields = CommonFieldEncoding(olderFile, newerFile);
    // Two steps, one per file; the bar is full once both are read.
    progress.InitProgress(2);
    progress.StepProgress();
    std::uint64_t budget = kComparisonMemory;
    progress.Note("vormla-cli: " + older + " を読んでいます");
    before.Read(olderFile, budget);
    progress.StepProgress();
    progress.Note("vormla-cli: " + newer + " と比べています");
    after.Read(newerFile, budget);
  } catch (const ResultCsvError& error) {
    progress.Close(false);
    std::fprintf(err, "vormla-cli: %s: %s\n", Where(error).c_str(), error.what());
    return false;
  }
  progress.Close(true);
  return true;
}

}  // namespace

CompareOutcome CompareResultFiles(const std::string& older, const std::string& newer, const std::string& reportPath,
                                  int outFd, ResultEncoding encoding, std::FILE* err, ChangeCounts& counts,
                                  bool byteOrderMark) {
  // The report's own file first: a folder that takes none is said before two
  // files are read in vain, and a stop on the way leaves nothing behind.
  const auto notWritten = [&] {
    std::fprintf(err, "vormla-cli: 変化レポートを書き込めませんでした。\n%s\n",
                 reportPath.empty() ? "(標準出力)" : reportPath.c_str());
    return CompareOutcome::kNotWritten;
  };
  std::unique_ptr<PendingResult> file;
  std::optional<UndoOnStop> removeReport;
  if (!reportPath.empty()) {
    file = std::make_unique<PendingResult>(reportPath);
    if (!file->Ready()) return notWritten();
    removeReport.emplace([temporary = file->TemporaryPath()] { ::unlink(temporary.c_str()); });
  }
  ResultItems before, after;
  ResultEncoding fields = ResultEncoding::kSjis;
  if (!ReadBoth(older, newer, err, before, after, fields)) return CompareOutcome::kUnreadable;

  const int fd = file ? ::open(file->TemporaryPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC) : outFd;
  bool written = fd >= 0;
  if (written) {
    ReportWriter writer(fd);
    if (encoding == ResultEncoding::kUtf8 && byteOrderMark) writer.Write("\xEF\xBB\xBF");
    writer.Line(ChangeReportHeader(encoding));
    counts =
        CompareItems(before, after, [&](const ChangeRow& row) { writer.Line(FormatChangeRow(row, fields, encoding)); });
    written = writer.Finish();
  }
  if (file) {
    if (fd >= 0 && ::close(fd) != 0) written = false;
    const HoldStop whole;  // in place or not at all
    written = written && file->Commit();
    removeReport.reset();
  }
  if (!written) return notWritten();
  return counts.Total() == 0 ? CompareOutcome::kSame : CompareOutcome::kChanged;
}

int DiffCommand(const DiffArguments& arguments, int outFd, std::FILE* err) {
  ResultEncoding encoding = ResultEncoding::kSjis;
  try {
    encoding = ParseEncoding(arguments.Encoding);
  } catch (const CliFailure& failure) {
    std::fprintf(err, "vormla-cli: %s\n", failure.what());
    return kExitUsage;
  }
  // Read on the screen, not by a spreadsheet: the terminal's own encoding.
  const bool terminal = !arguments.Output && ::isatty(outFd) != 0;
  if (terminal) encoding = ResultEncoding::kUtf8;
  ChangeCounts counts;
  const CompareOutcome outcome = CompareResultFiles(arguments.Older, arguments.Newer, arguments.Output.value_or(""),
                                                    outFd, encoding, err, counts, !terminal);
  switch (outcome) {
    case CompareOutcome::kSame:
    case CompareOutcome::kChanged:
      std::fprintf(err, "%s\n", ChangesLine(counts).c_str());
      return outcome == CompareOutcome::kSame ? 0 : 1;  // as diff(1)
    case CompareOutcome::kUnreadable:
    case CompareOutcome::kNotWritten:
      break;
  }
  return 2;
}

}  // namespace vormla::cli
