#include "shell/CloseOnSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>

namespace vormla {

namespace {

// The handler may only write to a pipe; the event loop reads the other end.
int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

void Drain() {
  char bytes[64];
  while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

CloseOnSignal::CloseOnSignal() {
  if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  Drain();
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, &previousTerm_);
  ::sigaction(SIGINT, &action, &previousInt_);
}

CloseOnSignal::~CloseOnSignal() {
  if (signalPipe[0] < 0) return;
  ::sigaction(SIGTERM, &previousTerm_, nullptr);
  ::sigaction(SIGINT, &previousInt_, nullptr);
}

void CloseOnSignal::Watch(QWidget* window) {
  if (signalPipe[0] < 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, window);
  QObject::connect(notifier, &QSocketNotifier::activated, window, [window] {
    Drain();
    // The close box does nothing while a dialog is up; neither does a signal.
    if (QApplication::activeModalWidget() == nullptr) window->close();
  });
}

}  // namespace vormla
