#include "FakeNotifier.h"

#include <cstdio>
#include <cstdlib>

namespace vormla::notifytest {

void SendAction(sd_bus* bus, const std::string& destination, std::uint32_t id, const std::string& key) {
  sd_bus_message* signal = nullptr;
  sd_bus_message_new_signal(bus, &signal, "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                            "ActionInvoked");
  if (!destination.empty()) sd_bus_message_set_destination(signal, destination.c_str());
  sd_bus_message_append(signal, "us", id, key.c_str());
  sd_bus_send(bus, signal, nullptr);
  sd_bus_message_unref(signal);
  sd_bus_flush(bus);
}

FakeNotifier::FakeNotifier(bool refuseNotices) : refuseNotices_(refuseNotices) {
  if (sd_bus_open_user(&bus_) < 0) return;
  // A service of an earlier test may not have left the bus yet: this one takes over.
  const std::uint64_t flags = SD_BUS_NAME_REPLACE_EXISTING | SD_BUS_NAME_ALLOW_REPLACEMENT;
  started_ = sd_bus_add_fallback(bus_, nullptr, "/", &FakeNotifier::OnCall, this) >= 0 &&
             sd_bus_request_name(bus_, "org.freedesktop.Notifications", flags) >= 0 &&
             sd_bus_request_name(bus_, "org.freedesktop.systemd1", flags) >= 0;
  if (started_) {
    thread_ = std::thread([this] {
      while (!stop_) {
        while (sd_bus_process(bus_, nullptr) > 0) {
        }
        std::vector<std::function<void()>> tasks;
        {
          std::lock_guard<std::mutex> lock(mutex_);
          tasks.swap(tasks_);
        }
        for (auto& task : tasks) task();
        sd_bus_wait(bus_, 20000);  // short, so that tasks and the stop are seen soon
      }
    });
  }
}

FakeNotifier::~FakeNotifier() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  sd_bus_flush_close_unref(bus_);
}

int FakeNotifier::OnCall(sd_bus_message* call, void* self, sd_bus_error*) {
  auto& server = *static_cast<FakeNotifier*>(self);
  const std::string member = sd_bus_message_get_member(call);
  if (member == "GetCapabilities") return sd_bus_reply_method_return(call, "as", 2, "body", "actions");
  ReceivedCall received{member, "", sd_bus_message_get_sender(call), 0};
  char* text = nullptr;
  size_t size = 0;
  FILE* dump = open_memstream(&text, &size);
  sd_bus_message_dump(call, dump, SD_BUS_MESSAGE_DUMP_SUBTREE_ONLY);
  std::fclose(dump);
  received.Dump.assign(text, size);
  std::free(text);
  sd_bus_creds* creds = nullptr;
  if (sd_bus_query_sender_creds(call, SD_BUS_CREDS_PID, &creds) >= 0) sd_bus_creds_get_pid(creds, &received.SenderPid);
  sd_bus_creds_unref(creds);
  std::lock_guard<std::mutex> lock(server.mutex_);
  if (member == "Notify" && server.refuseNotices_) {
    return sd_bus_reply_method_errorf(call, "org.freedesktop.DBus.Error.Failed", "too many notices");
  }
  server.calls_.push_back(received);
  if (member == "Notify") {
    std::uint32_t id = 0;
    for (const ReceivedCall& c : server.calls_) id += c.Member == "Notify";
    return sd_bus_reply_method_return(call, "u", id);
  }
  if (member == "StartTransientUnit") {
    // A manager that cannot take the process: the notifier waits where it is.
    return sd_bus_reply_method_errorf(call, "org.freedesktop.DBus.Error.AccessDenied", "not in this test");
  }
  return sd_bus_reply_method_return(call, "");
}

std::vector<ReceivedCall> FakeNotifier::Calls(const std::string& member) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<ReceivedCall> calls;
  for (const ReceivedCall& call : calls_) {
    if (call.Member == member) calls.push_back(call);
  }
  return calls;
}

void FakeNotifier::InvokeAction(std::uint32_t id, const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::uint32_t k = 0;
  std::string sender;
  for (const ReceivedCall& c : calls_) {
    if (c.Member == "Notify" && ++k == id) sender = c.Sender;
  }
  tasks_.push_back([this, sender, id, key] { SendAction(bus_, sender, id, key); });
}

}  // namespace vormla::notifytest
