#ifndef NETREVIVE_STEPS_STEPS_H_
#define NETREVIVE_STEPS_STEPS_H_

#include "console/console.h"
#include "platform/fixed_text.h"
#include "platform/platform.h"

namespace netrevive {

// The repair steps. Each prints its own report before it answers no.

// Yes when the system is Windows 98, 98 SE or ME (or another 9x minor
// version); names the system it found.
bool CheckOperatingSystem(Platform& os, Console& console);

// Yes when Dial-Up Networking is not installed (HKCR\dunfile is missing).
bool IsDunMissing(Platform& os);

// Where Windows' setup information for DUN stands: WindowsDir\inf\rna.inf.
enum class DunSetupInformation { kPresent, kMissing, kNoWindowsDir };
DunSetupInformation FindDunSetupInformation(Platform& os, FixedText<kPathSize>* path);

// No, after a report and a key, when rna.inf is missing: without it DUN
// could not be reinstalled once it is uninstalled. A Windows directory that
// cannot be read is left to the steps that need it to report.
bool CheckDunSetupInformation(Platform& os, Console& console);

// The program's own path as its later runs are started from.
using SelfPath = FixedText<kPathSize>;

// Turns argv[0] into a path Windows can start the program from after a
// restart: a path that is not a full one is replaced by the program's own
// file name, one with blanks by its short (8.3) form. No, after a report and
// a key, when that cannot be done or the path leaves no room for the
// longest mode word. Nothing is changed on the machine.
bool ResolveSelfPath(Platform& os, Console& console, const char* argv0, SelfPath* path);

// The same without a word on the console: what stands in the way, if
// anything (path then holds what was found so far).
enum class SelfPathProblem { kNone, kNotFullPath, kBlanks, kTooLong };
SelfPathProblem FindSelfPath(Platform& os, const char* argv0, SelfPath* path);

// No, after a report and a key, when the program was started from a floppy
// disk or a network drive (or a network path), where Windows cannot find it
// again after a restart.
bool CheckStartDrive(Platform& os, Console& console, const char* self_path);

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
// whole reinstallation ran and the final restart was requested; before that
// restart the Check is scheduled from self_path ("" schedules nothing). A
// caller that has just written the marker passes marker_written: a marker
// that cannot be found then is a failure (reported), not "nothing to do".
bool ReinstallDun(Platform& os, Console& console, const char* self_path,
                  bool marker_written = false);

// The read-only report on the PC's dial-up networking (the Check mode):
// measures, prints the verdict and waits for a key. It changes nothing and
// refuses nothing; argv0 gives the command that finishes a stopped repair.
void CheckNetworking(Platform& os, Console& console, const char* argv0);

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_STEPS_H_
