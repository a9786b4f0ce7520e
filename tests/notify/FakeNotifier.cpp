#include "FakeNotifier.h"

#include <chrono>
#include <cstdlib>

namespace vormla::notifytest {

namespace {

constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";

// An array of named variants, a{sv} (the hints) or a(sv) (a unit's properties):
// strings as they are, numbers in decimal, arrays of numbers as "1,2".
std::map<std::string, std::string> ReadNamedValues(sd_bus_message* call, char entry) {
  std::map<std::string, std::string> values;
  sd_bus_message_enter_container(call, 'a', entry == 'e' ? "{sv}" : "(sv)");
  while (sd_bus_message_enter_container(call, entry, "sv") > 0) {
    const char* name = nullptr;
    const char* contents = nullptr;
    char type = 0;
    sd_bus_message_read(call, "s", &name);
    sd_bus_message_peek_type(call, &type, &contents);
    sd_bus_message_enter_container(call, 'v', contents);
    const std::string signature = contents;
    std::string& value = values[name];
    if (signature == "s") {
      const char* text = nullptr;
      sd_bus_message_read(call, "s", &text);
      value = text;
    } else if (signature == "y") {
      std::uint8_t byte = 0;
      sd_bus_message_read(call, "y", &byte);
      value = std::to_string(byte);
    } else if (signature == "au") {
      const void* numbers = nullptr;
      size_t size = 0;
      sd_bus_message_read_array(call, 'u', &numbers, &size);
      for (size_t i = 0; i < size / sizeof(std::uint32_t); ++i) {
        value += (i > 0 ? "," : "") + std::to_string(static_cast<const std::uint32_t*>(numbers)[i]);
      }
    } else {
      sd_bus_message_skip(call, contents);
      value = "?";
    }
    sd_bus_message_exit_container(call);
    sd_bus_message_exit_container(call);
  }
  sd_bus_message_exit_container(call);
  return values;
}

}  // namespace

void SendNoticeSignal(sd_bus* bus, const std::string& destination, const char* member, std::uint32_t id,
                      const std::string& key) {
  sd_bus_message* signal = nullptr;
  sd_bus_message_new_signal(bus, &signal, kPath, kInterface, member);
  if (!destination.empty()) sd_bus_message_set_destination(signal, destination.c_str());
  if (std::string(member) == "ActionInvoked") {
    sd_bus_message_append(signal, "us", id, key.c_str());
  } else {
    sd_bus_message_append(signal, "uu", id, 2u);  // closed by the user
  }
  sd_bus_send(bus, signal, nullptr);
  sd_bus_message_unref(signal);
  sd_bus_flush(bus);
}

FakeNotifier::FakeNotifier(FakeNotifierOptions options) : options_(options) {
  if (sd_bus_open_user(&bus_) < 0) return;
  // The service of an earlier test may not have left the bus yet: this one takes over.
  const std::uint64_t flags = SD_BUS_NAME_REPLACE_EXISTING | SD_BUS_NAME_ALLOW_REPLACEMENT;
  started_ = sd_bus_add_object(bus_, nullptr, kPath, &FakeNotifier::OnCall, this) >= 0 &&
             sd_bus_request_name(bus_, "org.freedesktop.Notifications", flags) >= 0;
  if (options_.StandInForManager) {
    started_ = started_ &&
               sd_bus_add_object(bus_, nullptr, "/org/freedesktop/systemd1", &FakeNotifier::OnCall, this) >= 0 &&
               sd_bus_request_name(bus_, "org.freedesktop.systemd1", flags) >= 0;
  }
  if (started_) thread_ = std::thread([this] { Loop(); });
}

FakeNotifier::~FakeNotifier() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  sd_bus_flush_close_unref(bus_);
}

void FakeNotifier::Loop() {
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
}

void FakeNotifier::Later(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(std::move(task));
}

int FakeNotifier::OnCall(sd_bus_message* call, void* self, sd_bus_error*) {
  auto& server = *static_cast<FakeNotifier*>(self);
  if (sd_bus_message_is_method_call(call, kInterface, "Notify")) return server.Notify(call);
  if (sd_bus_message_is_method_call(call, kInterface, "GetCapabilities")) {
    return server.options_.Actions ? sd_bus_reply_method_return(call, "as", 2, "body", "actions")
                                   : sd_bus_reply_method_return(call, "as", 1, "body");
  }
  if (sd_bus_message_is_method_call(call, kInterface, "CloseNotification")) {
    std::uint32_t id = 0;
    sd_bus_message_read(call, "u", &id);
    std::lock_guard<std::mutex> lock(server.mutex_);
    server.withdrawn_.push_back(id);
    return sd_bus_reply_method_return(call, "");
  }
  if (sd_bus_message_is_method_call(call, "org.freedesktop.systemd1.Manager", "StartTransientUnit")) {
    return server.StartTransientUnit(call);
  }
  return 0;
}

int FakeNotifier::Notify(sd_bus_message* call) {
  if (options_.RefuseNotices) {
    return sd_bus_reply_method_errorf(call, "org.freedesktop.DBus.Error.Failed", "too many notices");
  }
  ReceivedNotice notice;
  const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
  std::uint32_t replaces = 0;
  sd_bus_message_read(call, "susss", &app, &replaces, &icon, &summary, &body);
  notice.App = app;
  notice.Icon = icon;
  notice.Summary = summary;
  notice.Body = body;
  char** actions = nullptr;
  sd_bus_message_read_strv(call, &actions);
  for (char** a = actions; a != nullptr && *a != nullptr; ++a) {
    notice.Actions.emplace_back(*a);
    std::free(*a);
  }
  std::free(actions);
  notice.Hints = ReadNamedValues(call, 'e');
  sd_bus_message_read(call, "i", &notice.Timeout);
  notice.Sender = sd_bus_message_get_sender(call);
  sd_bus_creds* creds = nullptr;
  if (sd_bus_query_sender_creds(call, SD_BUS_CREDS_PID, &creds) >= 0) {
    sd_bus_creds_get_pid(creds, &notice.SenderPid);
    sd_bus_creds_unref(creds);
  }
  std::lock_guard<std::mutex> lock(mutex_);
  notice.Id = static_cast<std::uint32_t>(notices_.size() + 1);
  notices_.push_back(notice);
  return sd_bus_reply_method_return(call, "u", notice.Id);
}

int FakeNotifier::StartTransientUnit(sd_bus_message* call) {
  ScopeRequest request;
  const char *name = nullptr, *mode = nullptr;
  sd_bus_message_read(call, "ss", &name, &mode);
  request.Name = name;
  request.Mode = mode;
  request.Properties = ReadNamedValues(call, 'r');
  {
    std::lock_guard<std::mutex> lock(mutex_);
    scopes_.push_back(request);
  }
  // Like a manager that cannot take the process: the notifier waits where it is.
  return sd_bus_reply_method_errorf(call, "org.freedesktop.DBus.Error.AccessDenied", "not in this test");
}

std::vector<ReceivedNotice> FakeNotifier::Notices() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return notices_;
}

std::vector<std::uint32_t> FakeNotifier::Withdrawn() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return withdrawn_;
}

std::vector<ScopeRequest> FakeNotifier::Scopes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return scopes_;
}

void FakeNotifier::InvokeAction(const ReceivedNotice& notice, const std::string& key) {
  Later([this, notice, key] { SendNoticeSignal(bus_, notice.Sender, "ActionInvoked", notice.Id, key); });
}

void FakeNotifier::CloseNotice(const ReceivedNotice& notice) {
  Later([this, notice] { SendNoticeSignal(bus_, notice.Sender, "NotificationClosed", notice.Id, ""); });
}

}  // namespace vormla::notifytest
