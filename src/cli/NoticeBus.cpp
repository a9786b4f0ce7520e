#include "cli/NoticeBus.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

namespace vormla::cli {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kInterface = "org.freedesktop.Notifications";

struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

struct ErrorGuard {
  sd_bus_error error{};  // SD_BUS_ERROR_NULL, which C++ cannot spell (a C99 compound literal)
  ~ErrorGuard() { sd_bus_error_free(&error); }
};

std::string Strerror(int negative) { return std::strerror(-negative); }

// The reason for a failed call on the notification service, for the watch's line.
std::string CallProblem(int result, const sd_bus_error& error) {
  if (sd_bus_error_has_names(&error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
    return std::string("通知サービス (") + kService + ") がセッションバスにありません";
  }
  if (result == -ETIMEDOUT || sd_bus_error_has_names(&error, SD_BUS_ERROR_NO_REPLY, SD_BUS_ERROR_TIMEOUT)) {
    return "通知サービスが応答しません";
  }
  if (sd_bus_error_is_set(&error)) {
    return std::string("通知サービスがエラーを返しました (") + error.name + ": " +
           (error.message ? error.message : "") + ")";
  }
  return "通知サービスを呼べません (" + Strerror(result) + ")";
}

// Whether /proc/self/cgroup names the scope as this process's group.
bool InScope(const std::string& scopeName) {
  std::ifstream groups("/proc/self/cgroup");
  const std::string tail = "/" + scopeName;
  for (std::string line; std::getline(groups, line);) {
    if (line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0) return true;
  }
  return false;
}

}  // namespace

NoticeBus::NoticeBus(std::chrono::milliseconds callTimeout) : callTimeout_(callTimeout) {}

NoticeBus::~NoticeBus() {
  sd_bus_slot_unref(match_);
  sd_bus_flush_close_unref(bus_);
}

std::string NoticeBus::Connect() {
  const int opened = sd_bus_open_user(&bus_);
  if (opened < 0) {
    bus_ = nullptr;
    return "セッションバスに接続できません (" + Strerror(opened) + ")";
  }
  // Listening before the notice goes out, so that no answer can come too early.
  const int matched =
      sd_bus_match_signal(bus_, &match_, nullptr, kPath, kInterface, nullptr, &NoticeBus::OnSignal, this);
  if (matched < 0) return "セッションバスに接続できません (" + Strerror(matched) + ")";
  return "";
}

std::string NoticeBus::Call(sd_bus_message* request, sd_bus_message** reply) {
  ErrorGuard error;
  const auto usec = static_cast<std::uint64_t>(std::chrono::microseconds(callTimeout_).count());
  const int result = sd_bus_call(bus_, request, usec, &error.error, reply);
  if (result >= 0) return "";
  return CallProblem(result, error.error);
}

std::string NoticeBus::Send(const Notice& notice) {
  sd_bus_message* raw = nullptr;
  if (sd_bus_message_new_method_call(bus_, &raw, kService, kPath, kInterface, "GetCapabilities") < 0) {
    return "通知を組み立てられません";
  }
  Message capabilitiesCall(raw);
  sd_bus_message* reply = nullptr;
  if (std::string problem = Call(capabilitiesCall.get(), &reply); !problem.empty()) return problem;
  Message capabilities(reply);
  char** names = nullptr;
  if (sd_bus_message_read_strv(capabilities.get(), &names) >= 0 && names != nullptr) {
    for (char** name = names; *name != nullptr; ++name) {
      takesActions_ = takesActions_ || std::strcmp(*name, "actions") == 0;
      std::free(*name);
    }
    std::free(names);
  }

  raw = nullptr;
  int built = sd_bus_message_new_method_call(bus_, &raw, kService, kPath, kInterface, "Notify");
  Message notify(raw);
  if (built >= 0) {
    built = sd_bus_message_append(notify.get(), "susss", notice.AppName.c_str(), 0u, notice.Icon.c_str(),
                                  notice.Summary.c_str(), notice.Body.c_str());
  }
  if (built >= 0) built = sd_bus_message_open_container(notify.get(), 'a', "s");
  for (const auto& [key, label] : notice.Actions) {
    if (built >= 0) built = sd_bus_message_append(notify.get(), "ss", key.c_str(), label.c_str());
  }
  if (built >= 0) built = sd_bus_message_close_container(notify.get());
  if (built >= 0) {
    built = sd_bus_message_append(notify.get(), "a{sv}i", 2, "desktop-entry", "s", notice.DesktopEntry.c_str(),
                                  "urgency", "y", 1, -1);  // normal urgency; the server's own display time
  }
  if (built < 0) return "通知を組み立てられません (" + Strerror(built) + ")";
  reply = nullptr;
  if (std::string problem = Call(notify.get(), &reply); !problem.empty()) return problem;
  Message answer(reply);
  if (sd_bus_message_read(answer.get(), "u", &id_) < 0) return "通知サービスの答えを読めません";
  server_ = sd_bus_message_get_sender(answer.get()) ? sd_bus_message_get_sender(answer.get()) : "";
  return "";
}

bool NoticeBus::MoveToOwnScope(const std::string& scopeName) {
  sd_bus_message* raw = nullptr;
  if (sd_bus_message_new_method_call(bus_, &raw, "org.freedesktop.systemd1", "/org/freedesktop/systemd1",
                                     "org.freedesktop.systemd1.Manager", "StartTransientUnit") < 0) {
    return false;
  }
  Message request(raw);
  sd_bus_message_set_auto_start(request.get(), 0);  // a manager is there or not; none is to be started
  const auto pid = static_cast<std::uint32_t>(::getpid());
  if (sd_bus_message_append(request.get(), "ssa(sv)a(sa(sv))", scopeName.c_str(), "fail", 3, "Description", "s",
                            "Vormla Search: a change notice waiting to be opened", "PIDs", "au", 1, pid, "CollectMode",
                            "s", "inactive-or-failed", 0) < 0) {
    return false;
  }
  sd_bus_message* reply = nullptr;
  if (!Call(request.get(), &reply).empty()) return false;
  sd_bus_message_unref(reply);
  // The manager answers once the job is queued; the move itself follows.
  const auto end = std::chrono::steady_clock::now() + callTimeout_;
  while (!InScope(scopeName)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

int NoticeBus::OnSignal(sd_bus_message* message, void* self, sd_bus_error*) {
  auto& bus = *static_cast<NoticeBus*>(self);
  const char* sender = sd_bus_message_get_sender(message);
  // Only the server that took the notice speaks for it.
  if (bus.answered_ || bus.server_.empty() || sender == nullptr || bus.server_ != sender) return 0;
  std::uint32_t id = 0;
  if (sd_bus_message_is_signal(message, kInterface, "ActionInvoked")) {
    const char* key = nullptr;
    if (sd_bus_message_read(message, "us", &id, &key) < 0 || id != bus.id_) return 0;
    bus.answer_ = NoticeAnswer::kAction;
    bus.action_ = key;
    bus.answered_ = true;
  } else if (sd_bus_message_is_signal(message, kInterface, "NotificationClosed")) {
    std::uint32_t reason = 0;
    if (sd_bus_message_read(message, "uu", &id, &reason) < 0 || id != bus.id_) return 0;
    bus.answer_ = NoticeAnswer::kClosed;
    bus.answered_ = true;
  }
  return 0;
}

NoticeAnswer NoticeBus::Await(std::chrono::steady_clock::time_point deadline, std::string& action) {
  while (!answered_) {
    const int processed = sd_bus_process(bus_, nullptr);
    if (processed < 0) return NoticeAnswer::kLost;
    if (processed > 0) continue;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return NoticeAnswer::kTimedOut;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - now);
    if (sd_bus_wait(bus_, static_cast<std::uint64_t>(left.count())) < 0) return NoticeAnswer::kLost;
  }
  action = action_;
  return answer_;
}

void NoticeBus::Withdraw() {
  sd_bus_message* reply = nullptr;
  ErrorGuard error;
  if (sd_bus_call_method(bus_, kService, kPath, kInterface, "CloseNotification", &error.error, &reply, "u", id_) >= 0) {
    sd_bus_message_unref(reply);
  }
}

}  // namespace vormla::cli
