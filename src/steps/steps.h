#ifndef NETREVIVE_STEPS_STEPS_H_
#define NETREVIVE_STEPS_STEPS_H_

#include "console/console.h"
#include "platform/fixed_text.h"
#include "platform/platform.h"

namespace netrevive {

// The repair steps. Each prints its own report before it answers no.

// Which Windows a version record (GetVersionExA) names. 4.10 is 98 first
// edition with build 1998, 98 SE with the service text " A ", and a 98 of
// another build otherwise.
enum class WindowsRelease { kNtFamily, k95, k98, k98Se, k98OtherBuild, kMe, kOther9x };
WindowsRelease FindWindowsRelease(const OsVersion& info);
// "Windows 98SE", "Windows 98" (for both 98s), "Windows 9x" for a minor
// version of 9x the program does not know, "Windows NT family".
const char* WindowsReleaseName(WindowsRelease release);

// Yes when the system is Windows 98, 98 SE or ME (or another 9x minor
// version); names the system it found (a 98 of another build and an
// unknown 9x go on unnamed).
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

// No, after a report and a key, when the program was started from a floppy
// disk or a network drive (or a network path), where Windows cannot find it
// again after a restart.
bool CheckStartDrive(Platform& os, Console& console, const char* self_path);

// No, after a report and a key, when the program was started from inside
// the temporary folder (GetTempPathA) or a "Temporary Internet Files"
// folder, which Windows empties: a start from inside a zip file or a web
// page. The path is compared in its long and in its short form.
bool CheckNotTemporary(Platform& os, Console& console, const char* self_path);

// No, after a report and a key, when the longest resume command (the path,
// a blank and "UpgradeRemove") has 260 characters or more: Windows 9x's
// shell reads RunOnce commands into buffers of that size.
bool CheckResumeCommandLength(Platform& os, Console& console, const char* self_path);

// The checks that run before the repair's first change, in this order:
// the DUN upgrade can be removed (its entry can be read, its uninstall
// text is known and its command can be built; only when DUN is installed),
// the programs the repair starts exist, the RunOnce key opens for writing,
// and Windows' setup files can be found (after asking once for the Windows
// CD when they are on a CD-ROM drive). Silent when all pass; the first that
// fails is reported (with a key) and the answer is no. Nothing is changed,
// except that a missing RunOnce key is created.
bool CheckBeforeFirstChange(Platform& os, Console& console);

// Backs up the registry files (system.dat and user.dat to system.tom and
// user.tom in WindowsDir), records that the repair is under way and deletes
// the whole Winsock2 key; a key already gone counts as deleted. A run that
// finds a repair under way keeps the backups it made (making those missing).
bool RemoveWinsock2Keys(Platform& os, Console& console);

// Yes when no "MSDUN" upgrade is installed. Otherwise schedules the next run,
// runs the upgrade's uninstaller and ends the session (or reports), and no.
// An upgrade still listed after its uninstaller was started in this repair
// is reported instead, with the command that carries on once it is removed.
bool RemoveDunUpgrade(Platform& os, Console& console, const char* self_path);

// The Winsock2 key, below HKLM. Opening it answers 2 once it is gone.
inline constexpr const char* kWinsock2Key = "System\\CurrentControlSet\\Services\\Winsock2";

// Yes when DUN's uninstaller was started and has ended.
bool UninstallDun(Platform& os, Console& console);

// Schedules the ReinstallDUN run: builds the restart (in reboot), writes
// the resume entry and then the marker, so that the restart, whoever makes
// it, brings the reinstallation. No after a report (with a key).
struct HelperRun;
bool PrepareReinstall(Platform& os, Console& console, const char* self_path, HelperRun* reboot);

// Starts the restart PrepareReinstall built, or reports why not.
void RestartForReinstall(Platform& os, Console& console, HelperRun* reboot);

// Reinstalls DUN once per marker. Yes when there was nothing to do (with
// DUN missing, the caller is told how to finish the repair), when the whole
// reinstallation ran and the final restart was requested, or when a setup
// program had had its tries (reported with the command to go on). A caller
// that has just written the marker passes marker_written: a marker that
// cannot be found then is a failure (reported), not "nothing to do". When
// Windows' setup ended without installing DUN, the marker is written again
// and the user is told to start the program (argv0, resolved where it can
// be) with "ReinstallDUN" once the Windows CD is in.
bool ReinstallDun(Platform& os, Console& console, const char* argv0, bool marker_written = false);

// The program's path as ResolveSelfPath finds it (in path), without any
// report; argv0 as given when it cannot be resolved.
const char* ResolveSelfPathQuietly(Platform& os, const char* argv0, SelfPath* path);

// The read-only report on the PC's dial-up networking (the Check mode):
// measures, prints the verdict and waits for a key. It changes nothing and
// refuses nothing; argv0 gives the command that finishes a stopped repair.
void CheckNetworking(Platform& os, Console& console, const char* argv0);

}  // namespace netrevive

#endif  // NETREVIVE_STEPS_STEPS_H_
