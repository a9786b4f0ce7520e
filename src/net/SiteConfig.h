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
// Seconds within which a fetch (page, form or picture) must have arrived whole:
// 120, or less through VORMLA_FETCH_LIMIT_SECONDS (a whole number from 1 to 120;
// anything else counts as not given).
int FetchLimitSeconds();
// Folder of the running executable, ending in "/".
std::string ProgramFolder();

}  // namespace vormla
