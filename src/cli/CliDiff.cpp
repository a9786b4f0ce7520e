#include "cli/CliDiff.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "cli/CliProgress.h"
#include "run/PendingResult.h"
#include "engine/ChangeReport.h"

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
    const char* data = buffer_.data();
    size_t left = failed_ ? 0 : buffer_.size();
    while (left > 0) {
      const ssize_t n = ::write(fd_, data, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        failed_ = true;
        break;
      }
      data += n;
      left -= static_cast<size_t>(n);
    }
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

std::string ChangesLine(const ChangeCounts& counts) {
  std::string line = "vormla-cli:";
  for (int k = 0; k < kChangeKindCount; ++k) {
    const auto kind = static_cast<ChangeKind>(k);
    line += k == 0 ? " " : "、";
    line += ChangeLabel(kind);
    line += ' ';  // appended piecewise: GCC 12 at -O3 sees a false overlap in " " + text
    line += std::to_string(counts[kind]);
  }
  return line;
}

CompareOutcome CompareResultFiles(const std::string& older, const std::string& newer, const std::string& reportPath,
                                  int outFd, ResultEncoding encoding, std::FILE* err, ChangeCounts& counts) {
  TerminalProgress progress(err, ::isatty(::fileno(err)) != 0, nullptr);
  ResultItems before, after;
  ResultEncoding fields = ResultEncoding::kSjis;
  try {
    ResultCsvReader olderFile(older);
    ResultCsvReader newerFile(newer);
    fields = CommonFieldEncoding(olderFile, newerFile);
    // Two steps, one per file; the bar is full once both are read.
    progress.InitProgress(2);
    progress.StepProgress();
    progress.Note("vormla-cli: " + older + " を読んでいます");
    before.Read(olderFile);
    progress.StepProgress();
    progress.Note("vormla-cli: " + newer + " と比べています");
    after.Read(newerFile);
  } catch (const ResultCsvError& error) {
    progress.Close(false);
    std::fprintf(err, "vormla-cli: %s: %s\n", Where(error).c_str(), error.what());
    return CompareOutcome::kUnreadable;
  }
  progress.Close(true);

  std::unique_ptr<PendingResult> file;
  int fd = outFd;
  if (!reportPath.empty()) {
    file = std::make_unique<PendingResult>(reportPath);
    fd = file->Ready() ? ::open(file->TemporaryPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC) : -1;
  }
  bool written = fd >= 0;
  if (written) {
    ReportWriter writer(fd);
    if (encoding == ResultEncoding::kUtf8) writer.Write("\xEF\xBB\xBF");
    writer.Line(ChangeReportHeader(encoding));
    counts = CompareItems(before, after,
                          [&](const ChangeRow& row) { writer.Line(FormatChangeRow(row, fields, encoding)); });
    written = writer.Finish();
  }
  if (file) {
    if (fd >= 0 && ::close(fd) != 0) written = false;
    written = written && file->Commit();
  }
  if (!written) {
    std::fprintf(err, "vormla-cli: 変化レポートを書き込めませんでした。\n%s\n",
                 reportPath.empty() ? "(標準出力)" : reportPath.c_str());
    return CompareOutcome::kNotWritten;
  }
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
  ChangeCounts counts;
  const CompareOutcome outcome = CompareResultFiles(arguments.Older, arguments.Newer, arguments.Output.value_or(""),
                                                    outFd, encoding, err, counts);
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
