// Stopping the commands that have no run to wind down (diff, account, categories,
// the help): SIGINT or SIGTERM ends the program within a moment with exit 3, after
// undoing what is half done, whatever the program is waiting for (a pipe, a FIFO,
// a terminal). run and watch wait for the signals themselves and do not use this.
#pragma once

#include <functional>

namespace vormla::cli {

// Starts a thread that waits for SIGINT and SIGTERM, which stay blocked in every
// other thread (BlockRunSignals). When one comes it runs the undo steps alive at
// that moment, newest first, says that the command was stopped and ends the
// process with kExitCancelled. Call once, before the command starts.
void StopOnSignals();

// An undo step for as long as the object lives: a temporary file to remove, the
// terminal's echo to put back.
class UndoOnStop {
 public:
  explicit UndoOnStop(std::function<void()> undo);
  ~UndoOnStop();
  UndoOnStop(const UndoOnStop&) = delete;
  UndoOnStop& operator=(const UndoOnStop&) = delete;

 private:
  unsigned long id_;
};

// While one lives, a stop waits for it: for a step that must be done whole or not
// at all, such as the rename that puts a file in place. Keep it short.
class HoldStop {
 public:
  HoldStop();
  ~HoldStop();
  HoldStop(const HoldStop&) = delete;
  HoldStop& operator=(const HoldStop&) = delete;
};

}  // namespace vormla::cli
