// The job's progress on standard error: one line per status text when the stream
// is a file or a pipe, a progress bar redrawn in place when it is a terminal. The
// bar counts the searches that are finished (a search is finished when the next
// one starts, the last one when the job has done them all); the status text
// beside it counts the current search's items.
#pragma once

#include <cstdio>
#include <functional>
#include <mutex>
#include <string>

#include "engine/JobTypes.h"

namespace vormla::cli {

// Columns a UTF-8 text takes on a terminal (East Asian wide characters take two).
int DisplayWidth(const std::string& utf8);
// The longest prefix of utf8 (whole characters) that fits in columns.
std::string FitWidth(const std::string& utf8, int columns);
// "[#####---------------] 2/5 " for done of total searches, width cells of bar.
std::string ProgressBar(int done, int total, int width);

class TerminalProgress : public JobObserver {
 public:
  // stream is written to from the worker's thread and from the owner's (Note);
  // finished runs on the worker's thread once the job is over.
  TerminalProgress(std::FILE* stream, bool terminal, std::function<void()> finished);

  void InitProgress(int categoryTotal) override;
  void StepProgress() override;
  void ShowItemProgress(const std::string& statusText, int itemDone, int itemTotal) override;
  void ShowStatusText(const std::string& statusText) override;
  void JobFinished() override;

  // A text of the program's own (UTF-8) shown like a status text.
  void Note(const std::string& utf8);
  // Ends the bar's line so that what follows starts on a fresh one: when every
  // search was done, the full bar stays on its own line; otherwise it is wiped.
  void Close(bool allSearchesDone);

 private:
  void ShowLocked(const std::string& utf8);
  void RedrawLocked();
  int Columns() const;

  std::FILE* stream_;
  bool terminal_;
  std::function<void()> finished_;
  std::mutex mutex_;
  int total_ = 0;
  int started_ = 0;  // searches begun
  int done_ = 0;     // searches finished
  std::string status_;
  bool barShown_ = false;
};

}  // namespace vormla::cli
