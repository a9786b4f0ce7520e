// The watches of this user as the systemd units run them (a settings file in
// ~/.config/vormla-search/watch/NAME.ini, results in ~/.local/share/vormla-search/
// watch/NAME/), a new one made from a settings file, and the command lines that
// switch a watch's daily timer and run it now.
#pragma once

#include <string>
#include <vector>

#include "results/FolderFiles.h"

namespace vormla::results {

struct WatchEntry {
  std::string Name;
  std::string Settings;  // its settings file
  std::string Folder;    // its results
  size_t Results = 0;
  std::string Newest;    // stamp of the newest result, "" when none
};

// Every watch, by name.
std::vector<WatchEntry> ListWatches();

// Why name cannot name a watch (vormla-cli watch --name's rule), "" when it can.
std::string WatchNameProblem(const std::string& name);

// Copies settingsFile (a settings file as the window saves it) whole into the
// settings file of a new watch. Returns "" or what went wrong, in Japanese; an
// existing watch of that name is never replaced.
std::string CreateWatch(const std::string& name, const std::string& settingsFile);

// "vormla-watch@NAME.timer".
std::string TimerUnit(const std::string& name);
// Whether systemd takes the name into a unit's name as it is: the unit passes
// its instance name on unescaped, so a name systemd would escape cannot have a
// timer.
bool TimerTakesName(const std::string& name);
// systemctl --user enable --now / disable --now vormla-watch@NAME.timer.
std::vector<std::string> TimerCommand(const std::string& name, bool on);
// systemctl --user is-enabled vormla-watch@NAME.timer ("enabled" on standard output when on).
std::vector<std::string> TimerStateCommand(const std::string& name);
// The arguments of vormla-cli for running the watch now.
std::vector<std::string> RunNowArguments(const std::string& name);

}  // namespace vormla::results
