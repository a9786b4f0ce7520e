#include "settings/AppPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "files/Folders.h"
#include "net/SiteConfig.h"

// The data folder as seen from the folder of the installed programs.
#ifndef VORMLA_DATA_FROM_BIN
#define VORMLA_DATA_FROM_BIN "../share/vormla-search"
#endif

namespace vormla {

namespace {

constexpr const char* kAppFolder = "vormla-search";

std::string AbsoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && value[0] == '/') ? std::string(value) : std::string();
}

std::string Normal(const std::string& path) {
  std::string out = std::filesystem::path(path).lexically_normal().string();
  while (out.size() > 1 && out.back() == '/') out.pop_back();
  return out;
}

}  // namespace

AppPaths ResolveAppPaths(const std::string& programFolder) {
  AppPaths paths;
  const std::string portableCatalogue = programFolder + "db/vm_data.db";
  struct stat st {};
  if (::stat(portableCatalogue.c_str(), &st) == 0) {
    paths.Kind = Layout::kPortable;
    paths.Catalogue = portableCatalogue;
    paths.Settings = programFolder + "db/vm.ini";
    return paths;
  }
  paths.Kind = Layout::kInstalled;
  paths.Catalogue = Normal(programFolder + VORMLA_DATA_FROM_BIN + "/vm_data.db");
  paths.Settings = UserConfigFolder() + "/vm.ini";
  return paths;
}

AppPaths ProgramPaths() { return ResolveAppPaths(ProgramFolder()); }

std::string HomeFolder() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') {
    home = env;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    home = pw->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home == "/" ? std::string() : home;
}

std::string UserConfigFolder() {
  const std::string config = AbsoluteEnv("XDG_CONFIG_HOME");
  if (!config.empty()) return Normal(config + "/" + kAppFolder);
  return HomeFolder() + "/.config/" + kAppFolder;
}

std::string UserDataFolder() {
  const std::string data = AbsoluteEnv("XDG_DATA_HOME");
  if (!data.empty()) return Normal(data + "/" + kAppFolder);
  return HomeFolder() + "/.local/share/" + kAppFolder;
}

std::string WatchSettingsFile(const std::string& name) { return UserConfigFolder() + "/watch/" + name + ".ini"; }

std::string WatchFolder(const std::string& name) { return UserDataFolder() + "/watch/" + name; }

std::string AccountFile() { return UserConfigFolder() + "/account"; }

bool MakeSettingsFolder(const std::string& settingsFile) {
  const size_t slash = settingsFile.rfind('/');
  if (slash == std::string::npos) return true;
  const std::string folder = settingsFile.substr(0, slash);
  if (Normal(folder) != Normal(UserConfigFolder())) return true;
  return MakeFolders(folder, 0700);
}

std::string RuntimeFolder() {
  const std::string runtime = AbsoluteEnv("XDG_RUNTIME_DIR");
  if (!runtime.empty() && IsFolder(runtime)) return Normal(runtime);

  std::string temp = AbsoluteEnv("TMPDIR");
  if (temp.empty()) temp = "/tmp";
  std::string folder = Normal(temp) + "/" + kAppFolder + "-" + std::to_string(::getuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  // Someone else's folder, or a link to one, is never used.
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
    return {};
  }
  return folder;
}

std::string InstanceLockFile() {
  const std::string folder = RuntimeFolder();
  return folder.empty() ? std::string() : folder + "/Vormla_Search.lock";
}

}  // namespace vormla
