// Progress on the launcher / taskbar entry through the D-Bus session bus.
#pragma once

namespace vormla {

// True when a session bus is reachable, so that the launcher progress signal can
// be sent at all.
bool InitializeTaskbarAPI();

}  // namespace vormla
