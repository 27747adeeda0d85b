#ifndef NETREVIVE_STEPS_STEPS_H_
#define NETREVIVE_STEPS_STEPS_H_

#include "console/console.h"
#include "platform/platform.h"

namespace netrevive {

// The repair steps. Each prints its own report before it answers no.

// Yes when the system is Windows 98, 98 SE or ME (or another 9x minor
// version); names the system it found.
bool CheckOperatingSystem(Platform& os, Console& console);

// Yes when Dial-Up Networking is not installed (HKCR\dunfile is missing).
bool IsDunMissing(Platform& os);

// Backs up the registry files (system.dat and user.dat to system.tom and
// user.tom in WindowsDir) and deletes the whole Winsock2 key.
bool RemoveWinsock2Keys(Platform& os, Console& console);

// Yes when no "MSDUN" upgrade is installed. Otherwise schedules the next run,
// runs the upgrade's uninstaller and ends the session (or reports), and no.
bool RemoveDunUpgrade(Platform& os, Console& console, const char* self_path);

// Yes when DUN's uninstaller was started and has ended.
bool UninstallDun(Platform& os, Console& console);

// Schedules the ReinstallDUN run and restarts Windows, or reports why not.
void ScheduleReinstall(Platform& os, Console& console, const char* self_path);

// Reinstalls DUN once per marker. Yes when there was nothing to do or the
// whole reinstallation ran and the final restart was requested. A caller
// that has just written the marker passes marker_written: a marker that
// cannot be found then is a failure (reported), not "nothing to do".
bool ReinstallDun(Platform& os, Console& console, bool marker_written = false);

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_STEPS_H_
