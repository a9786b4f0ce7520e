// Values fixed in the program with an environment override for tests and the demo.
#pragma once

#include <string>

namespace vormla {

// The marketplace's base address without a trailing slash: VORMLA_SITE_ROOT or the
// build's default.
std::string SiteRoot();
// Host and port that the login POST goes to (port 443 when SiteRoot names none).
std::string SiteHost();
int SitePort();
// Extra PEM certificates to trust besides the system store (VORMLA_CA_FILE), or "".
std::string ExtraCaFile();
// Factor applied to the fixed pauses (VORMLA_PAUSE_SCALE, default 1; 0 = no pause).
// Anything but a number from 0 to 1000 counts as not given.
double PauseScale();
// Folder of the running executable, ending in "/".
std::string ProgramFolder();

}  // namespace vormla
