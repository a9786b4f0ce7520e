#include "net/SiteConfig.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>

#ifndef VORMLA_DEFAULT_SITE_ROOT
#define VORMLA_DEFAULT_SITE_ROOT "https://www.vormla.jp"
#endif

namespace vormla {

namespace {

// Beyond this a pause would run for days; such a factor is taken as a typing error.
constexpr double kMaxPauseScale = 1000;
// A hostile or broken server that trickles just above the rate limit would
// otherwise hold one page for hours.
constexpr long kFetchLimitSeconds = 120;

std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return (value && *value) ? std::string(value) : fallback;
}

// "https://host:port/..." -> "host:port"
std::string Authority() {
  std::string root = SiteRoot();
  const size_t scheme = root.find("://");
  std::string rest = scheme == std::string::npos ? root : root.substr(scheme + 3);
  const size_t slash = rest.find('/');
  return slash == std::string::npos ? rest : rest.substr(0, slash);
}

}  // namespace

std::string SiteRoot() {
  std::string root = EnvOr("VORMLA_SITE_ROOT", VORMLA_DEFAULT_SITE_ROOT);
  while (!root.empty() && root.back() == '/') root.pop_back();
  return root;
}

std::string SiteHost() {
  const std::string authority = Authority();
  if (!authority.empty() && authority.front() == '[') {  // IPv6 literal
    const size_t close = authority.find(']');
    return authority.substr(0, close == std::string::npos ? authority.size() : close + 1);
  }
  const size_t colon = authority.rfind(':');
  return colon == std::string::npos ? authority : authority.substr(0, colon);
}

int SitePort() {
  const std::string authority = Authority();
  const size_t colon = authority.rfind(':');
  const size_t close = authority.rfind(']');
  if (colon == std::string::npos || (close != std::string::npos && colon < close)) return 443;
  const int port = std::atoi(authority.c_str() + colon + 1);
  return port > 0 && port < 65536 ? port : 443;
}

std::string ExtraCaFile() { return EnvOr("VORMLA_CA_FILE", ""); }

double PauseScale() {
  const char* value = std::getenv("VORMLA_PAUSE_SCALE");
  if (!value || !*value) return 1.0;
  char* end = nullptr;
  const double scale = std::strtod(value, &end);
  // NaN fails both comparisons; infinity and absurd factors fail the upper one.
  const bool valid = end && *end == '\0' && scale >= 0 && scale <= kMaxPauseScale;
  return valid ? scale : 1.0;
}

int FetchLimitSeconds() {
  const char* value = std::getenv("VORMLA_FETCH_LIMIT_SECONDS");
  if (!value || !*value) return kFetchLimitSeconds;
  char* end = nullptr;
  errno = 0;
  const long seconds = std::strtol(value, &end, 10);
  // Only lowered: a test wants a short limit, nobody needs a longer one.
  const bool valid = errno == 0 && end && *end == '\0' && seconds >= 1 && seconds <= kFetchLimitSeconds;
  return static_cast<int>(valid ? seconds : kFetchLimitSeconds);
}

std::string ProgramFolder() {
  char buffer[4096];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "./";
  std::string path(buffer, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

}  // namespace vormla
