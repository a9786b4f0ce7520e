// A desktop notification (org.freedesktop.Notifications) over the session bus,
// through sd-bus: one notice sent, then its answer awaited on the connection that
// sent it. Some servers send ActionInvoked only to that connection.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vormla::cli {

struct Notice {
  std::string AppName;
  std::string Icon;          // an icon name of the theme
  std::string DesktopEntry;  // the program the notice speaks for ("vormla-results")
  std::string Summary;
  std::string Body;
  std::vector<std::pair<std::string, std::string>> Actions;  // key, label
};

enum class NoticeAnswer {
  kAction,    // an action was chosen
  kClosed,    // the notice went away without one
  kTimedOut,  // the deadline passed first
  kLost,      // the bus went away
};

class NoticeBus {
 public:
  // Every call on the bus gives up after callTimeout.
  explicit NoticeBus(std::chrono::milliseconds callTimeout);
  ~NoticeBus();
  NoticeBus(const NoticeBus&) = delete;
  NoticeBus& operator=(const NoticeBus&) = delete;

  // Each returns "" when done, else why not, one line in Japanese.
  std::string Connect();
  std::string Send(const Notice& notice);

  // Whether the server shows actions (its capability "actions"); after Send.
  bool TakesActions() const { return takesActions_; }
  std::uint32_t Id() const { return id_; }

  // Asks the user manager (org.freedesktop.systemd1 on this bus) for a scope of
  // its own named scopeName holding this process, and waits up to the call
  // timeout for the move. False when there is no such manager or it refused.
  bool MoveToOwnScope(const std::string& scopeName);

  // Waits for the notice's ActionInvoked or NotificationClosed, from the server
  // that took the notice, until deadline. action gets the chosen action's key.
  NoticeAnswer Await(std::chrono::steady_clock::time_point deadline, std::string& action);

  // Takes the notice off the screen (CloseNotification).
  void Withdraw();

 private:
  static int OnSignal(sd_bus_message* message, void* self, sd_bus_error* error);
  std::string Call(sd_bus_message* request, sd_bus_message** reply);

  std::chrono::milliseconds callTimeout_;
  sd_bus* bus_ = nullptr;
  sd_bus_slot* match_ = nullptr;
  std::string server_;  // the unique name that answered Notify
  std::uint32_t id_ = 0;
  bool takesActions_ = false;
  bool answered_ = false;
  NoticeAnswer answer_ = NoticeAnswer::kTimedOut;
  std::string action_;
};

}  // namespace vormla::cli
