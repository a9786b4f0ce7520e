// SIGTERM and SIGINT (a session that ends, Ctrl-C in a terminal) ask the window
// to close, as its close box does: the settings are saved on the way out, a run
// asks first, and while a dialog is up nothing happens, as with the close box.
#pragma once

#include <csignal>

class QWidget;

namespace vormla {

class CloseOnSignal {
 public:
  // Catches the signals from now on; one caught before Watch waits for it.
  CloseOnSignal();
  // Puts the previous handlers back.
  ~CloseOnSignal();
  CloseOnSignal(const CloseOnSignal&) = delete;
  CloseOnSignal& operator=(const CloseOnSignal&) = delete;

  // From the event loop on, a caught signal closes window (the watch ends with
  // the window). Call it once the window's start-up load has run, so that a
  // close never saves over settings that were not read yet.
  void Watch(QWidget* window);

 private:
  struct sigaction previousTerm_ {};
  struct sigaction previousInt_ {};
};

}  // namespace vormla
