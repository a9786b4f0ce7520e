// A notification service on the test's private session bus, on a thread of its
// own. It keeps every call as sd-bus prints it (the tests look for the exact
// values there), answers for the user on request, and stands in for the user
// manager's StartTransientUnit, which it refuses.
#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vormla::notifytest {

struct ReceivedCall {
  std::string Member;  // "Notify", "CloseNotification", "StartTransientUnit"
  std::string Dump;    // the arguments as sd_bus_message_dump writes them
  std::string Sender;  // the caller's unique name
  pid_t SenderPid = 0;
};

class FakeNotifier {
 public:
  explicit FakeNotifier(bool refuseNotices = false);
  ~FakeNotifier();
  FakeNotifier(const FakeNotifier&) = delete;
  FakeNotifier& operator=(const FakeNotifier&) = delete;

  bool Started() const { return started_; }
  std::vector<ReceivedCall> Calls(const std::string& member) const;

  // ActionInvoked for the notice with id (the k-th Notify is id k), sent to its
  // sender alone, as some servers do.
  void InvokeAction(std::uint32_t id, const std::string& key);

 private:
  static int OnCall(sd_bus_message* call, void* self, sd_bus_error* error);

  bool refuseNotices_;
  sd_bus* bus_ = nullptr;
  bool started_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::vector<std::function<void()>> tasks_;  // run on the bus's thread
  std::vector<ReceivedCall> calls_;
};

// An ActionInvoked signal as the service sends one, to destination ("" for all).
void SendAction(sd_bus* bus, const std::string& destination, std::uint32_t id, const std::string& key);

}  // namespace vormla::notifytest
