// Progress output of vormla-cli.
#include "cli/CliProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>

#include "text/TextOps.h"

namespace vormla::cli {

namespace {

// Decodes one UTF-8 character at text[i]; returns its length (1 for a stray byte).
size_t NextCodePoint(const std::string& text, size_t i, char32_t& cp) {
  const auto b = static_cast<unsigned char>(text[i]);
  size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
  if (i + length > text.size()) length = 1;
  cp = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
  for (size_t k = 1; k < length; ++k) cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  return length;
}

int CellWidth(char32_t cp) {
  if (cp < 0x20) return 0;
  const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) ||
                    (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                    (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                    (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x1F300;
  return wide ? 2 : 1;
}

}  // namespace

int DisplayWidth(const std::string& utf8) {
  int width = 0;
  char32_t cp = 0;
  for (size_t i = 0; i < utf8.size();) {
    i += NextCodePoint(utf8, i, cp);
    width += CellWidth(cp);
  }
  return width;
}

std::string FitWidth(const std::string& utf8, int columns) {
  int width = 0;
  char32_t cp = 0;
  for (size_t i = 0; i < utf8.size();) {
    const size_t length = NextCodePoint(utf8, i, cp);
    width += CellWidth(cp);
    if (width > columns) return utf8.substr(0, i);
    i += length;
  }
  return utf8;
}

std::string ProgressBar(int done, int total, int width) {
  const int clampedDone = std::clamp(done, 0, std::max(total, 0));
  const int filled = total > 0 ? clampedDone * width / total : 0;
  // Appended rather than "[" + temporary: GCC 12 at -O3 sees a false overlap there.
  std::string bar = "[";
  bar.append(static_cast<size_t>(filled), '#').append(static_cast<size_t>(width - filled), '-');
  bar += "] ";
  bar += std::to_string(clampedDone);
  bar += '/';
  bar += std::to_string(std::max(total, 0));
  bar += ' ';
  return bar;
}

TerminalProgress::TerminalProgress(std::FILE* stream, bool terminal, std::function<void()> finished)
    : stream_(stream), terminal_(terminal), finished_(std::move(finished)) {}

void TerminalProgress::InitProgress(int categoryTotal) {
  const std::lock_guard lock(mutex_);
  total_ = categoryTotal;
  started_ = 0;
  done_ = 0;
  if (terminal_) RedrawLocked();
}

void TerminalProgress::StepProgress() {
  const std::lock_guard lock(mutex_);
  // A new search begins: the one before it is finished.
  done_ = started_++;
  if (terminal_) RedrawLocked();
}

void TerminalProgress::ShowItemProgress(const std::string& statusText, int itemDone, int itemTotal) {
  const std::lock_guard lock(mutex_);
  ShowLocked(SjisToUtf8(ItemProgressText(statusText, itemDone, itemTotal)));
}

void TerminalProgress::ShowStatusText(const std::string& statusText) {
  const std::lock_guard lock(mutex_);
  ShowLocked(SjisToUtf8(statusText));
}

void TerminalProgress::JobFinished() {
  if (finished_) finished_();
}

void TerminalProgress::Note(const std::string& utf8) {
  const std::lock_guard lock(mutex_);
  ShowLocked(utf8);
}

void TerminalProgress::Close(bool allSearchesDone) {
  const std::lock_guard lock(mutex_);
  if (!terminal_ || !barShown_) return;
  if (allSearchesDone && total_ > 0) {
    done_ = total_;
    status_.clear();
    RedrawLocked();
    std::fputs("\n", stream_);
  } else {
    std::fputs("\r\033[K", stream_);
  }
  std::fflush(stream_);
  barShown_ = false;
}

void TerminalProgress::ShowLocked(const std::string& utf8) {
  status_ = utf8;
  if (terminal_) {
    RedrawLocked();
  } else {
    std::fprintf(stream_, "%s\n", utf8.c_str());
    std::fflush(stream_);
  }
}

void TerminalProgress::RedrawLocked() {
  std::string line = total_ > 0 ? ProgressBar(done_, total_, 20) : std::string();
  line += status_;
  // One line that never wraps, or the carriage return would not reach its start.
  line = FitWidth(line, std::max(Columns() - 1, 10));
  std::fprintf(stream_, "\r\033[K%s", line.c_str());
  std::fflush(stream_);
  barShown_ = true;
}

int TerminalProgress::Columns() const {
  winsize size{};
  if (::ioctl(::fileno(stream_), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace vormla::cli
