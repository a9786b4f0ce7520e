// Progress on the launcher / taskbar entry through the D-Bus session bus: the
// launcher-entry signal that docks and KDE Plasma draw on the program's button.
#pragma once

#include <cstdint>

namespace vormla {

enum TaskBarProgressState {
  tbpsNone,           // no indicator
  tbpsIndeterminate,  // shown, no fraction known
  tbpsNormal,
  tbpsError,
  tbpsPaused
};

// True when a session bus is reachable, so that the launcher signal can be sent
// at all. Once true it stays true; a false result may be retried.
bool InitializeTaskbarAPI();
// Both false when InitializeTaskbarAPI has not succeeded or the bus refused the
// signal. The value is shown as current / maximum (clamped to 0..1).
bool SetTaskbarProgressState(TaskBarProgressState state);
bool SetTaskbarProgressValue(std::int64_t current, std::int64_t maximum);

// The signal's address, for listeners (tests).
inline constexpr const char* kLauncherEntryPath = "/com/canonical/unity/launcherentry/1";
inline constexpr const char* kLauncherEntryInterface = "com.canonical.Unity.LauncherEntry";
inline constexpr const char* kLauncherEntryUri = "application://vormla-search.desktop";

}  // namespace vormla
