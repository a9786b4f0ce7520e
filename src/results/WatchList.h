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
  std::string Newest;  // stamp of the newest result, "" when none
};

// Every watch, by name.
std::vector<WatchEntry> ListWatches();

// Why name cannot name a watch (vormla-cli watch --name's rule), "" when it can.
std::string WatchNameProblem(const std::string& name);

// Copies settingsFile (a settings file as the window saves it) whole into the
// settings file of a new watch. Returns "" or what went wrong, in Japanese; an
// existing watch of that name is never replaced.
std::string CreateWatch(const std::string& name, const std::string& settingsFile);

// text as systemd-escape writes it into a unit name: "/" as "-", every byte
// other than ASCII letters, digits, ":", "_" and "." (and a leading ".") as
// "\xNN". The service's %I turns it back into the watch's name.
std::string UnitEscape(const std::string& text);
// "vormla-watch@<escaped NAME>.timer".
std::string TimerUnit(const std::string& name);
// Whether the timer's unit name stays within systemd's 255 characters.
bool TimerTakesName(const std::string& name);
// systemctl --user enable --now / disable --now vormla-watch@NAME.timer.
std::vector<std::string> TimerCommand(const std::string& name, bool on);
// systemctl --user is-enabled vormla-watch@NAME.timer ("enabled" on standard output when on).
std::vector<std::string> TimerStateCommand(const std::string& name);
// The arguments of vormla-cli for running the watch now.
std::vector<std::string> RunNowArguments(const std::string& name);

}  // namespace vormla::results
