// Where the program's own files live; every such path is decided here.
//
// Portable layout, when db/vm_data.db stands in the executable's folder (the build
// tree, an unpacked copy): the catalogue and the settings file are db/vm_data.db
// and db/vm.ini there.
// Installed layout, otherwise: the catalogue is <prefix>/share/vormla-search/
// vm_data.db, found from the executable's folder so that the installed tree can
// be moved; the settings file is $XDG_CONFIG_HOME/vormla-search/vm.ini (default
// ~/.config/vormla-search/vm.ini), whose folder the first save makes.
// In both, the single-instance lock lives in the runtime folder, and the member's
// own account file in the user's config folder.
#pragma once

#include <string>

namespace vormla {

enum class Layout { kPortable, kInstalled };

struct AppPaths {
  Layout Kind = Layout::kPortable;
  std::string Catalogue;  // the category database
  std::string Settings;   // the settings file
};

// The paths for an executable in programFolder (ending in "/").
AppPaths ResolveAppPaths(const std::string& programFolder);
// The same for the running executable.
AppPaths ProgramPaths();

// The user's home folder without a trailing "/": $HOME, else the password entry.
std::string HomeFolder();
// $XDG_CONFIG_HOME/vormla-search (only an absolute XDG_CONFIG_HOME counts), else
// HomeFolder() + "/.config/vormla-search". No trailing "/".
std::string UserConfigFolder();

// $XDG_DATA_HOME/vormla-search (only an absolute XDG_DATA_HOME counts), else
// HomeFolder() + "/.local/share/vormla-search". No trailing "/".
std::string UserDataFolder();

// A watch by name, as the systemd units run it: its settings file
// UserConfigFolder() + "/watch/<name>.ini" and its folder of results
// UserDataFolder() + "/watch/<name>". name must be a plain file name.
std::string WatchSettingsFile(const std::string& name);
std::string WatchFolder(const std::string& name);

// UserConfigFolder() + "/account": the member's own login ID and password.
std::string AccountFile();

// Makes the settings file's folder when it is UserConfigFolder() (with missing
// parents, mode 0700); any other folder is left as it is, so a portable copy
// without its db folder still saves nothing. The account file's folder is made
// the same way. Returns false when the folder had to
// be made and could not be.
bool MakeSettingsFolder(const std::string& settingsFile);

// $XDG_RUNTIME_DIR when it is an absolute path to a folder; else a folder of this
// user's own under $TMPDIR (or /tmp), "vormla-search-<uid>", made with mode 0700
// and used only when it is a real folder that this user owns and nobody else can
// enter. "" when neither is to be had. No trailing "/".
std::string RuntimeFolder();
// RuntimeFolder() + "/Vormla_Search.lock", or "" without a runtime folder.
std::string InstanceLockFile();

}  // namespace vormla
