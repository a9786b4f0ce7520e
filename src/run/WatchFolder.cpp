#include "run/WatchFolder.h"

#include <algorithm>

namespace vormla {

namespace {

constexpr size_t kStampSize = 15;  // YYYYMMDD-HHMMSS

bool IsStamp(const std::string& text) {
  if (text.size() != kStampSize) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool ok = i == 8 ? text[i] == '-' : text[i] >= '0' && text[i] <= '9';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

std::string WatchStamp(std::time_t moment) {
  std::tm local{};
  ::localtime_r(&moment, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

std::optional<std::time_t> StampMoment(const std::string& stamp) {
  if (!IsStamp(stamp)) return std::nullopt;
  std::tm local{};
  local.tm_year = std::stoi(stamp.substr(0, 4)) - 1900;
  local.tm_mon = std::stoi(stamp.substr(4, 2)) - 1;
  local.tm_mday = std::stoi(stamp.substr(6, 2));
  local.tm_hour = std::stoi(stamp.substr(9, 2));
  local.tm_min = std::stoi(stamp.substr(11, 2));
  local.tm_sec = std::stoi(stamp.substr(13, 2));
  local.tm_isdst = -1;
  return std::mktime(&local);
}

std::string ResultName(const std::string& stamp) { return kResultPrefix + stamp + ".csv"; }

std::string ChangesName(const std::string& stamp) { return kChangesPrefix + stamp + ".csv"; }

std::optional<std::string> StampOf(const std::string& name, const std::string& prefix) {
  if (name.size() != prefix.size() + kStampSize + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - 4, 4, ".csv") != 0) {
    return std::nullopt;
  }
  std::string stamp = name.substr(prefix.size(), kStampSize);
  if (!IsStamp(stamp)) return std::nullopt;
  return stamp;
}

bool IsWatchFileName(const std::string& name) {
  return StampOf(name, kResultPrefix).has_value() || StampOf(name, kChangesPrefix).has_value();
}

bool IsWatchName(const std::string& name) {
  const bool control =
      std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos && !control;
}

}  // namespace vormla
