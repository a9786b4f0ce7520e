#include "cli/CliStop.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <thread>

#include "cli/CliOptions.h"

namespace vormla::cli {

namespace {

// Recursive: a step held against a stop may itself register an undo step.
std::recursive_mutex& StopMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

std::map<unsigned long, std::function<void()>>& UndoSteps() {
  static std::map<unsigned long, std::function<void()>> steps;
  return steps;
}

unsigned long nextUndoId = 0;

// Straight to the descriptor, and only when the pipe or terminal has room: the
// main thread may hold stderr's lock, or be stuck writing to it, and the stop
// must not wait for either.
void SayStopped() {
  static const char kStopped[] = "vormla-cli: 中断しました。\n";
  pollfd room{STDERR_FILENO, POLLOUT, 0};
  if (::poll(&room, 1, 0) == 1 && (room.revents & POLLOUT) != 0) {
    [[maybe_unused]] const ssize_t put = ::write(STDERR_FILENO, kStopped, sizeof kStopped - 1);
  }
}

[[noreturn]] void WaitForStop() {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  int received = 0;
  while (sigwait(&stops, &received) != 0) {
  }
  // Taken for good: whatever is held against a stop finishes first, and nothing
  // starts after it.
  StopMutex().lock();
  auto& steps = UndoSteps();
  for (auto step = steps.rbegin(); step != steps.rend(); ++step) step->second();
  SayStopped();
  // No destructors or stdio flushing: the other thread is in the middle of its work.
  ::_exit(kExitCancelled);
}

}  // namespace

void StopOnSignals() { std::thread(WaitForStop).detach(); }

UndoOnStop::UndoOnStop(std::function<void()> undo) {
  std::lock_guard<std::recursive_mutex> lock(StopMutex());
  id_ = nextUndoId++;
  UndoSteps().emplace(id_, std::move(undo));
}

UndoOnStop::~UndoOnStop() {
  std::lock_guard<std::recursive_mutex> lock(StopMutex());
  UndoSteps().erase(id_);
}

HoldStop::HoldStop() { StopMutex().lock(); }

HoldStop::~HoldStop() { StopMutex().unlock(); }

}  // namespace vormla::cli
