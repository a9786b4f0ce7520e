// A notification service on the test's private session bus, on a thread of its
// own: it records every notice and closing, can answer for the user (an action,
// a closing), and stands in for the user manager's StartTransientUnit.
#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vormla::notifytest {

struct ReceivedNotice {
  std::string App, Icon, Summary, Body;
  std::vector<std::string> Actions;                // key, label, key, label, ...
  std::map<std::string, std::string> Hints;        // strings as they are, numbers in decimal
  int Timeout = 0;
  std::uint32_t Id = 0;
  std::string Sender;                              // the caller's unique name
  pid_t SenderPid = 0;
};

struct ScopeRequest {
  std::string Name, Mode;
  std::map<std::string, std::string> Properties;  // "PIDs" as "1,2"
};

struct FakeNotifierOptions {
  bool Actions = true;            // the capability "actions"
  bool RefuseNotices = false;     // Notify answers an error
  bool StandInForManager = true;  // also owns org.freedesktop.systemd1 (and refuses the scope)
};

class FakeNotifier {
 public:
  explicit FakeNotifier(FakeNotifierOptions options = {});
  ~FakeNotifier();
  FakeNotifier(const FakeNotifier&) = delete;
  FakeNotifier& operator=(const FakeNotifier&) = delete;

  bool Started() const { return started_; }
  std::vector<ReceivedNotice> Notices() const;
  std::vector<std::uint32_t> Withdrawn() const;
  std::vector<ScopeRequest> Scopes() const;

  // ActionInvoked / NotificationClosed for a notice, sent to its sender only, as
  // some servers do.
  void InvokeAction(const ReceivedNotice& notice, const std::string& key);
  void CloseNotice(const ReceivedNotice& notice);

 private:
  static int OnCall(sd_bus_message* call, void* self, sd_bus_error* error);
  int Notify(sd_bus_message* call);
  int StartTransientUnit(sd_bus_message* call);
  void Later(std::function<void()> task);
  void Loop();

  FakeNotifierOptions options_;
  sd_bus* bus_ = nullptr;
  bool started_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::function<void()>> tasks_;
  std::vector<ReceivedNotice> notices_;
  std::vector<std::uint32_t> withdrawn_;
  std::vector<ScopeRequest> scopes_;
};

// A signal as the service sends one, to the given destination ("" for everyone).
void SendNoticeSignal(sd_bus* bus, const std::string& destination, const char* member, std::uint32_t id,
                      const std::string& key);

}  // namespace vormla::notifytest
