#include "rehearsal/endings.h"

namespace netrevive::rehearsal {

namespace {

// What brings back a PC whose Winsock2 key is gone: Windows' own setup of
// Dial-Up Networking installs the Winsock 2 settings anew with DUN.
#define NR_WINDOWS_SETUP                                                          \
  "Start > Settings > Control Panel > Add/Remove Programs > Windows Setup tab > " \
  "Communications > Details"
#define NR_REINSTALL_DUN                                                                    \
  "reinstall Dial-Up Networking with Windows' own setup: " NR_WINDOWS_SETUP                 \
  ", clear \"Dial-Up Networking\", OK, OK, restart when asked; then the same again with "   \
  "\"Dial-Up Networking\" ticked (have the Windows CD ready), and restart. Setting up DUN " \
  "writes the Winsock 2 settings anew"
#define NR_INSTALL_DUN                                                                   \
  "install Dial-Up Networking with Windows' own setup: " NR_WINDOWS_SETUP                \
  ", tick \"Dial-Up Networking\", OK, OK (have the Windows CD ready), and restart when " \
  "asked. Setting up DUN writes the Winsock 2 settings anew"
#define NR_REMOVE_UPGRADE_BY_HAND                                                       \
  "Remove the upgrade with Add/Remove Programs (Install/Uninstall tab), restart, then " \
  "start Netrevive again as before (Start > Run, C:\\NETREVIVE.EXE): it carries the "   \
  "repair on."
#define NR_START_AGAIN                                                           \
  "Restart the PC and start Netrevive again as before (Start > Run, "            \
  "C:\\NETREVIVE.EXE): it finds the repair under way (the file netrevive.QU in " \
  "the Windows directory) and carries it on, keeping the first backups."
#define NR_UPGRADE_LATER                                                                  \
  " If the PC had a Dial-Up Networking upgrade, the caller installs it again afterwards " \
  "(DUN 1.4)."

// The advice that follows the RunOnce key's report when the resume entry is
// written (the check before the first change reports the key otherwise).
constexpr const char kRunOnceOpen[] =
    "If you reboot the machine and reinstall DUN everything will be fine.";
// The line the run prints once the checks before its first change passed.
constexpr const char kChanging[] = "Removing all Winsock2 information from the registry...";
// The first line of a fresh run: the checks before the first change are
// made only there. A run without it (UpgradeRemove) comes after the change.
constexpr const char kFresh[] = "Determining OS version...";
constexpr const char kRunOnceWrite[] =
    "We were unable to write data to the registry key:\n"
    "\tHKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char kUpgradeFound[] = "DUN Upgrades found, proceeding to remove.";
constexpr const char kApplied[] = "The winsock 2  fix has been successfully applied";
constexpr const char kRebootFailed[] =
    "Unable to DUN Reboot.\nPress any key to terminate the program.\n";

std::vector<Ending> MakeEndings() {
  std::vector<Ending> t;
  // ---- The repair goes on or is complete ----------------------------------
  t.push_back({"restart-for-reinstall",
               "Goes on: Windows restarts to reinstall Dial-Up Networking",
               EndingKind::kGoesOn,
               {{"DO NOT TERMINATE THIS PROGRAM AT THIS TIME!", true},
                {"Press any key to continue. DO NOT TERMINATE THE PROGRAM.", true}},
               "The first half of the repair is done; Windows restarts now to reinstall Dial-Up "
               "Networking.",
               "Let Windows restart and do not start anything: Netrevive comes back by itself and "
               "asks for two key presses to reinstall DUN. If Windows does not restart within a "
               "minute, restart it with Start > Shut Down > Restart.",
               {"--preset", "98se"},
               1});
  t.push_back({"session-ended-for-upgrade",
               "Goes on: Windows logs off after removing the DUN upgrade",
               EndingKind::kGoesOn,
               {{"You cannot abort the program at this point.", true}},
               "The registry files were backed up and the Winsock2 key deleted. A Dial-Up "
               "Networking upgrade was found: a RunOnce entry \"QU Netrevive\" was written (with "
               "UpgradeRemove when the upgrade is removed by dunsetup.exe, the plain program path "
               "for the rundll forms, which start the whole fix again), the upgrade's own "
               "uninstaller ran, and Windows ends the session.",
               "Let Windows log off or restart and log on again as usual: Netrevive comes back by "
               "itself. Answer the upgrade's uninstaller if it asks anything (yes, remove). The "
               "upgrade has to be installed again by the caller at the very end (DUN 1.4).",
               {"--preset", "upgrade-dunsetup"},
               1});
  t.push_back(
      {"repaired",
       "Repaired: Dial-Up Networking is back, Windows restarts",
       EndingKind::kRepaired,
       {{"computer to reboot before you access network services. Press any key to reboot.", true}},
       "Dial-Up Networking was installed again from Windows' setup information "
       "(InstallHinfSection RNA, which also writes new Winsock 2 settings) with its "
       "default driver, and Windows restarts. The repair is complete.",
       "Let Windows restart: Netrevive's Check then shows by itself whether dial-up "
       "networking works (see the check- endings); press a key to close it, then try the "
       "connection. If the PC had a Dial-Up Networking upgrade, install it again now (DUN "
       "1.4). Keep system.tom and user.tom until the connection works.",
       {"--preset", "98se"},
       2});
  t.push_back(
      {"repaired-restart-failed",
       "Repaired, but Windows did not restart by itself",
       EndingKind::kStopped,
       {{"Dial-Up Networking has been reinstalled; please restart the computer."}},
       "Dial-Up Networking and its default driver were installed again, but the restart "
       "could not be started.",
       "Restart the PC by hand (Start > Shut Down > Restart); the repair is then complete. "
       "Install a Dial-Up Networking upgrade again if the PC had one.",
       {"--preset", "no-dun", "--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2,skip=1"},
       1});
  // ---- Refused: nothing changed -------------------------------------------
  t.push_back(
      {"refused-nt",
       "Refused: Windows NT, 2000 or later",
       EndingKind::kRefused,
       {{"the Winsock2 fix does not apply to Windows NT systems."}},
       "The PC runs Windows NT, 2000 or later (or its version could not be read).",
       "Netrevive is for Windows 98, 98 SE and ME only; this PC needs another kind of help.",
       {"--preset", "nt"},
       1});
  t.push_back({"refused-95",
               "Refused: Windows 95",
               EndingKind::kRefused,
               {{"The fix is not avialable for Windows 95 machines yet."}},
               "The PC runs Windows 95.",
               "Netrevive does not repair Windows 95; this PC needs another kind of help.",
               {"--preset", "95"},
               1});
  t.push_back({"refused-not-full-path",
               "Refused: not started by its full path",
               EndingKind::kRefused,
               {{"This program was not started by its full path, so it cannot restart itself."}},
               "The program was started by a bare name or a relative path (such as NETREVIVE "
               "typed at a prompt in its folder) and could not find its own file name, so it "
               "could not come back after a restart.",
               "Start it by its full path: Start > Run, type C:\\NETREVIVE.EXE (or where the file "
               "is), OK.",
               {"--program", "NETREVIVE", "--inject", "GetModuleFileNameA=5"},
               1});
  t.push_back(
      {"refused-path-blanks",
       "Refused: the program's path holds blanks",
       EndingKind::kRefused,
       {{"The path this program was started from holds blanks, which Windows cannot"}},
       "The program's path holds blanks and has no short form without them, so its "
       "RunOnce entry would be split apart when Windows runs it.",
       "Copy NETREVIVE.EXE to C:\\ and start it from there (Start > Run, "
       "C:\\NETREVIVE.EXE).",
       {"--program", "C:\\Program Files\\QU\\NETREVIVE.EXE", "--inject", "GetShortPathNameA=2"},
       1});
  t.push_back({"refused-floppy-or-network",
               "Refused: started from a floppy disk or a network drive",
               EndingKind::kRefused,
               {{"This program was started from a floppy disk or a network drive."}},
               "The program was started from a floppy disk or a network drive, where it could "
               "not be found again after a restart (a floppy left in the drive stops the "
               "restart; the network may be gone with DUN).",
               "Copy NETREVIVE.EXE to C:\\ (drag it onto the C: drive in My Computer), take the "
               "floppy out, and start C:\\NETREVIVE.EXE with Start > Run.",
               {"--program", "\\\\SERVER\\QU\\NETREVIVE.EXE"},
               1});
  t.push_back({"refused-from-cd",
               "Refused: started from a CD",
               EndingKind::kRefused,
               {{"This program was started from a CD."}},
               "The program was started from a CD-ROM drive, which Windows' setup may want for "
               "the Windows CD during the repair, while the program must be found there again "
               "after each restart.",
               "Copy NETREVIVE.EXE to C:\\ (drag it onto the C: drive in My Computer) and start "
               "C:\\NETREVIVE.EXE with Start > Run.",
               {"--program", "D:\\NETREVIVE.EXE"},
               1});
  t.push_back({"refused-no-rna-inf",
               "Refused: Windows' rna.inf is missing",
               EndingKind::kRefused,
               {{"Windows' setup information for Dial-Up Networking is missing:"}},
               "The file rna.inf, from which Dial-Up Networking is set up again, is not in the "
               "Windows directory's INF folder, so the repair did not start.",
               "Do not run the repair on this PC as it is: without rna.inf DUN could not be put "
               "back. Windows' own setup can restore it: " NR_WINDOWS_SETUP
               ", clear and tick \"Dial-Up Networking\" in turn (with the Windows CD), or copy "
               "RNA.INF from another PC with the same Windows into C:\\WINDOWS\\INF; then run "
               "Netrevive again.",
               {"--preset", "no-rna-inf"},
               1});
  t.push_back(
      {"refused-path-too-long",
       "Refused: the program's path is too long",
       EndingKind::kRefused,
       {{"The path this program was started from is too long for it to restart itself."}},
       "The program's path is too long to be written as its RunOnce entry.",
       "Copy NETREVIVE.EXE to C:\\ and start it from there (Start > Run, C:\\NETREVIVE.EXE).",
       {"--start", "C:\\" + std::string(500, 'P') + "\\NETREVIVE.EXE"},
       1});
  t.push_back({"usage",
               "Refused: words after the program's name",
               EndingKind::kRefused,
               {{"Usage: netrevive.exe\nPreforms the winsock 2 fix on Win9x computers"}},
               "The program was started with words after its name that it does not take (or a "
               "RunOnce entry was mangled).",
               "Start NETREVIVE.EXE by itself, with nothing after its name. If this screen came "
               "up by itself after a restart, the repair's RunOnce entry did not come back as "
               "written: do not run the program again, and " NR_INSTALL_DUN ".",
               {"--start", "C:\\NETREVIVE.EXE /?"},
               1});
  t.push_back({"backup-failed",
               "Refused: the registry could not be backed up",
               EndingKind::kRefused,
               {{"The registry files could not be backed up."}},
               "The Windows directory could not be read, so the registry could not be backed up.",
               "Restart the PC and run Netrevive again. If it stops here again, the Windows "
               "installation itself is damaged: the PC needs a technician.",
               {"--inject", "GetWindowsDirectoryA=5"},
               1});
  t.push_back({"backup-copy-failed",
               "Refused: a registry backup could not be copied",
               EndingKind::kRefused,
               {{" could not be copied to\n\t"}},
               "A registry file named on the screen could not be copied for its backup (a full "
               "disk, most often), so the repair did not start. Older backups (system.tom, "
               "user.tom) are as they were, or, in a repair under way, the backups it made "
               "first.",
               "Free some space on C: (empty the Recycle Bin, delete files in C:\\WINDOWS\\TEMP), "
               "then run Netrevive again.",
               {"--inject", "CopyFileA:C:\\WINDOWS\\user.dat=5"},
               1});
  t.push_back({"backup-rename-failed",
               "Refused: a registry backup could not be renamed",
               EndingKind::kRefused,
               {{" could not be renamed to\n\t"}},
               "The new backup copies were made, but one could not be renamed to its .tom name: "
               "the registry as it was is in the file named first on the screen (system.nr$, "
               "user.nr$).",
               "Restart the PC and run Netrevive again. If it stops here again, the PC needs a "
               "technician.",
               {"--inject", "MoveFileA=5"},
               1});
  t.push_back({"repair-record-failed",
               "Refused: netrevive.QU could not be written",
               EndingKind::kRefused,
               {{"Unable to create the file netrevive.QU in the Windows directory, which"}},
               "The registry files were backed up (system.tom, user.tom), but the file that "
               "lets the repair carry on whatever interrupts it could not be written, so the "
               "repair did not start.",
               "Restart the PC and run Netrevive again. If it stops here again, the Windows "
               "directory cannot be written (a full or damaged disk): the PC needs a technician.",
               {"--inject", "OpenFileForWrite:C:\\WINDOWS\\netrevive.QU=5"},
               1});
  t.push_back({"services-key-unopened",
               "Refused: the Services key could not be opened",
               EndingKind::kRefused,
               {{"Unable to open the key: HKLM\\System\\CurrentControlSet\\Services\n"}},
               "The registry files were backed up (system.tom, user.tom); the registry key that "
               "holds Winsock2 could not be opened.",
               "Restart the PC and run Netrevive again. If it stops here again, the registry is "
               "damaged: restore it from the backups (see the backups section) or call a "
               "technician.",
               {"--inject", "RegOpenKeyExA:HKLM\\System\\CurrentControlSet\\Services=1015"},
               1});
  // ---- Stopped part-way: starting the program again carries the repair on --
  t.push_back({"winsock2-delete-failed",
               "Stopped: the Winsock2 key could not be deleted",
               EndingKind::kStopped,
               {{"There was an error deleting the winsock2 key. \n"}},
               "The registry files were backed up; the Winsock2 key could not be deleted (the "
               "code tells why, see the error codes). The Winsock2 key may be partly deleted.",
               NR_START_AGAIN " If it stops at the same place again, the registry is damaged: "
                              "restore the backups (see the backups section) or call a technician.",
               {"--inject", "RegDeleteKeyA=5"},
               1});
  t.push_back(
      {"upgrade-check-failed",
       "Stopped: the list of installed programs could not be read",
       EndingKind::kStopped,
       {{"Unable to check for DUN Upgrades.", false, kChanging},
        {"\nUnable to query information from\n\tHKLM\\Software\\Microsoft\\Windows\\"
         "CurrentVersion\\Uninstall\n",
         false, kChanging},
        {"There has been an error while enumerating keys under", false, kChanging},
        {"Unable to check for DUN Upgrades.", false, "", kFresh},
        {"\nUnable to query information from\n\tHKLM\\Software\\Microsoft\\Windows\\"
         "CurrentVersion\\Uninstall\n",
         false, "", kFresh},
        {"There has been an error while enumerating keys under", false, "", kFresh}},
       "The Winsock2 key was deleted, then the list of installed programs could not be read to "
       "look for a Dial-Up Networking upgrade (it could be read just before).",
       NR_START_AGAIN " If it stops here again, " NR_REINSTALL_DUN "." NR_UPGRADE_LATER,
       {"--inject",
        "RegOpenKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall=5,skip=1"},
       1});
  t.push_back({"upgrade-unknown-uninstaller",
               "Stopped: a DUN upgrade the program cannot remove",
               EndingKind::kStopped,
               {{"\nUnknown uninstall string: ", false, kChanging},
                {"\nUnknown uninstall string: ", false, "", kFresh}},
               "The Winsock2 key was deleted and a Dial-Up Networking upgrade was found whose "
               "uninstaller could not be read this time (it could be read just before).",
               "Remove the upgrade with Add/Remove Programs (Install/Uninstall tab), then "
               "" NR_START_AGAIN NR_UPGRADE_LATER,
               {"--preset", "upgrade-dunsetup", "--inject",
                "RegQueryValueExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\"
                "Uninstall\\MSDUN\\UninstallString=5,skip=1"},
               1});
  t.push_back({"upgrade-uninstaller-not-built",
               "Stopped: the upgrade's uninstall command failed",
               EndingKind::kStopped,
               {{"Please remove the upgrade from Add remove programs and run the\nfix again.\n"
                 "Press any key to terminate the program.",
                 false, kChanging, "Unable to start the upgrade's uninstaller"},
                {"Please remove the upgrade from Add remove programs and run the\nfix again.\n"
                 "Press any key to terminate the program.",
                 false, "", kFresh, "Unable to start the upgrade's uninstaller"}},
               "The Winsock2 key was deleted and a Dial-Up Networking upgrade was found, but its "
               "uninstaller's command line could not be built (the Windows directory could not "
               "be read, or the line is too long).",
               NR_REMOVE_UPGRADE_BY_HAND NR_UPGRADE_LATER,
               {"--preset", "upgrade-dunsetup", "--inject", "GetWindowsDirectoryA=5,once,skip=9"},
               1});
  t.push_back(
      {"upgrade-uninstaller-cannot-start",
       "Stopped: the upgrade's uninstaller did not start",
       EndingKind::kStopped,
       {{"\nUnable to start the upgrade's uninstaller:\n\t", false, "",
         "Please delete that value with regedit"}},
       "The Winsock2 key was deleted and a Dial-Up Networking upgrade was found, but its "
       "uninstaller could not be started; its RunOnce entry was taken back.",
       NR_REMOVE_UPGRADE_BY_HAND NR_UPGRADE_LATER,
       {"--preset", "upgrade-rundll32", "--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2"},
       1});
  t.push_back({"uninstaller-entry-left",
               "Stopped: the uninstaller did not start, RunOnce entry left",
               EndingKind::kStopped,
               {{"Please delete that value with regedit before you restart the computer."}},
               "As upgrade-uninstaller-cannot-start, but the RunOnce entry \"QU Netrevive\" could "
               "not be taken back: at the next start of Windows it would start the program as if "
               "the upgrade were gone.",
               "Before restarting: Start > Run, regedit, OK; open HKEY_LOCAL_MACHINE\\Software\\"
               "Microsoft\\Windows\\CurrentVersion\\RunOnce, delete the value \"QU Netrevive\", "
               "close regedit. Then remove the upgrade with Add/Remove Programs, restart, "
               "and " NR_REINSTALL_DUN "." NR_UPGRADE_LATER,
               {"--preset", "upgrade-rundll32", "--inject",
                "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2", "--inject", "RegDeleteValueA=5"},
               1});
  t.push_back({"runonce-failed-before-upgrade-removal",
               "Stopped: RunOnce not written, the upgrade not removed",
               EndingKind::kStopped,
               {{kRunOnceOpen, false, kUpgradeFound}, {kRunOnceWrite, false, kUpgradeFound}},
               "The Winsock2 key was deleted and a Dial-Up Networking upgrade was found, but the "
               "program's RunOnce entry could not be written (the code tells why), so the "
               "upgrade was not removed.",
               NR_REMOVE_UPGRADE_BY_HAND NR_UPGRADE_LATER,
               {"--preset", "upgrade-dunsetup", "--inject", "RegSetValueExA=5"},
               1});
  t.push_back(
      {"runonce-failed-after-dun-uninstall",
       "Stopped: RunOnce not written after DUN was removed",
       EndingKind::kStopped,
       {{kRunOnceOpen, false, "", kUpgradeFound}, {kRunOnceWrite, false, "", kUpgradeFound}},
       "The Winsock2 key was deleted and Dial-Up Networking was uninstalled, but the "
       "RunOnce entry that brings the program back could not be written (the code tells "
       "why).",
       "Restart the PC (Start > Shut Down > Restart), then " NR_INSTALL_DUN "." NR_UPGRADE_LATER,
       {"--inject", "RegSetValueExA=5"},
       1});
  t.push_back({"dun-uninstall-failed",
               "Stopped: Dial-Up Networking could not be uninstalled",
               EndingKind::kStopped,
               {{"Unable to remove DUN, remove DUN thru add remove programs."}},
               "The Winsock2 key was deleted (and a DUN upgrade removed, in an UpgradeRemove "
               "run), but Dial-Up Networking's uninstaller could not be started.",
               NR_START_AGAIN " If it stops here again, " NR_REINSTALL_DUN "." NR_UPGRADE_LATER,
               {"--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2"},
               1});
  t.push_back({"reinstall-not-scheduled",
               "Stopped: the reinstall could not be scheduled",
               EndingKind::kStopped,
               {{"Please reboot the machine and reinstall DUN via add/remove programs."}},
               "The Winsock2 key was deleted and Dial-Up Networking was uninstalled, but the "
               "reinstallation could not be set up (the file rundunreinst.QU could not be "
               "written, or the restart command could not be built). A RunOnce entry may start "
               "the program after the restart; it then ends at reinstall-not-authorised.",
               "Restart the PC (Start > Shut Down > Restart), then " NR_INSTALL_DUN
               "." NR_UPGRADE_LATER,
               {"--inject", "OpenFileForWrite:C:\\WINDOWS\\rundunreinst.QU=5"},
               1});
  t.push_back({"restart-not-started",
               "Stopped: Windows did not restart (the reinstall is scheduled)",
               EndingKind::kStopped,
               {{kRebootFailed, false, "", kApplied}},
               "As restart-for-reinstall, but the restart could not be started.",
               "Restart the PC by hand (Start > Shut Down > Restart): Netrevive comes back by "
               "itself and reinstalls DUN.",
               {"--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2,skip=1"},
               1});
  t.push_back({"session-not-ended",
               "Stopped: Windows did not log off after the upgrade removal",
               EndingKind::kStopped,
               {{"Windows could not end the session."}},
               "As session-ended-for-upgrade, but Windows did not end the session.",
               "Restart the PC by hand (Start > Shut Down > Restart): Netrevive comes back by "
               "itself and goes on.",
               {"--preset", "upgrade-dunsetup", "--inject", "ExitWindowsEx=5"},
               1});
  // ---- The reinstallation run ---------------------------------------------
  t.push_back({"reinstall-not-authorised",
               "Nothing to do: a reinstall run with DUN installed",
               EndingKind::kRefused,
               {{"DUN will now be reinstalled.\nPress any key to continue.", true}},
               "A ReinstallDUN run found no rundunreinst.QU in the Windows directory and Dial-Up "
               "Networking installed, so it did nothing.",
               "Nothing to do: let the caller try the connection; if it fails, start Netrevive's "
               "Check (Start > Run, C:\\NETREVIVE.EXE Check).",
               {"--start", "C:\\NETREVIVE.EXE ReinstallDUN"},
               1});
  t.push_back({"reinstall-start-by-hand",
               "Stopped: DUN missing, no reinstall authorised",
               EndingKind::kStopped,
               {{"Dial-Up Networking is not installed, and no reinstallation is authorised."}},
               "A ReinstallDUN run found no rundunreinst.QU in the Windows directory while "
               "Dial-Up Networking is missing (a restart came before the file was written, or "
               "after an earlier run used it).",
               "Click Start > Run, type the command shown on the screen (the program's path), "
               "OK: Netrevive finds the repair under way and installs DUN.",
               {"--inject", "OpenFileForRead:C:\\WINDOWS\\rundunreinst.QU=2"},
               2});
  t.push_back(
      {"dun-install-marker-failed",
       "Stopped: DUN missing, rundunreinst.QU not written",
       EndingKind::kStopped,
       {{"Unable to create the file that authorises the reinstallation of DUN.\n"
         "ReInstallation of RNA Failed."}},
       "Dial-Up Networking was not installed; the Winsock2 key was deleted, and the file "
       "rundunreinst.QU that authorises the installation could not be written.",
       NR_START_AGAIN " If it stops here again, " NR_INSTALL_DUN ".",
       {"--preset", "no-dun", "--inject", "OpenFileForWrite:C:\\WINDOWS\\rundunreinst.QU=5"},
       1});
  t.push_back({"reinstall-cannot-start",
               "Stopped: Windows' setup of DUN did not start",
               EndingKind::kStopped,
               {{"Unable to start the reinstall process. Please reinstall DUN via add/remove "
                 "programs."}},
               "Dial-Up Networking's setup could not be started (or whether it is authorised "
               "could not be told).",
               "Restart the PC, then " NR_INSTALL_DUN "." NR_UPGRADE_LATER,
               {"--inject", "CreateProcessA:C:\\WINDOWS\\rundll.exe=2"},
               2});
  t.push_back({"reinstall-cannot-complete",
               "Stopped: the Dial-Up Adapter could not be installed",
               EndingKind::kStopped,
               {{"Unable to complete the reinstall process. Please reinstall DUN via add/remove "
                 "programs."}},
               "Dial-Up Networking was set up from Windows' setup information, but its default "
               "driver (the Dial-Up Adapter) could not be installed.",
               "Restart the PC, then " NR_REINSTALL_DUN "." NR_UPGRADE_LATER,
               {"--preset", "no-dun", "--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2"},
               1});
  // ---- Found before the first change --------------------------------------
  t.push_back({"refused-temporary-folder",
               "Refused: started from a temporary folder (zip, web page)",
               EndingKind::kRefused,
               {{"This program was started from a temporary folder (from inside a zip file"}},
               "The program was started from Windows' temporary folder or from Temporary "
               "Internet Files: opened straight from a zip file or a web page. Windows empties "
               "those folders, so the program could not be found after a restart.",
               "Save or extract NETREVIVE.EXE to C:\\ first (in the zip window: drag it onto "
               "the C: drive in My Computer; in the browser: Save, then choose C:\\), then "
               "start C:\\NETREVIVE.EXE with Start > Run.",
               {"--program", "C:\\WINDOWS\\TEMP\\NETREVIVE.EXE"},
               1});
  t.push_back({"refused-program-missing",
               "Refused: a Windows program the repair needs is missing",
               EndingKind::kRefused,
               {{"A program the repair needs is missing:"}},
               "A Windows program the repair starts (rundll32.exe or rundll.exe in the Windows "
               "directory, or the upgrade's dunsetup.exe in its SYSTEM folder), named on the "
               "screen, is missing, so the repair did not start.",
               "rundll32.exe or rundll.exe: the Windows installation is incomplete: copy the "
               "file from another PC with the same Windows (or extract it from the Windows CD), "
               "then run Netrevive again; if unsure, the PC needs a technician. dunsetup.exe "
               "belongs to the DUN upgrade, not to Windows, and is on no Windows CD: install the "
               "upgrade again (DUN 1.4), which puts it back, then run Netrevive again.",
               {"--preset", "no-helper"},
               1});
  t.push_back({"refused-runonce-unopened",
               "Refused: the RunOnce key could not be opened",
               EndingKind::kRefused,
               {{"The repair needs it to carry on after each restart, so it will not start."}},
               "The registry key RunOnce, through which the program comes back after each "
               "restart, could not be opened or created (the code tells why).",
               "Restart the PC and run Netrevive again. If it stops here again, the registry is "
               "damaged: the PC needs a technician.",
               {"--inject", "RegCreateKeyExA=5"},
               1});
  t.push_back({"refused-no-setup-files",
               "Refused: Windows' setup files were not found",
               EndingKind::kRefused,
               {{"Windows' setup files were not found. Windows needs them to install"}},
               "Windows' setup files (its .CAB files), from which Dial-Up Networking is installed "
               "again, were in none of the folders listed on the screen: the Windows CD was not "
               "in its drive.",
               "Have the caller put the Windows CD (the one that came with the PC) in its drive, "
               "wait until the light stops, and run Netrevive again. Without the CD, do not run "
               "the repair: DUN could not be put back.",
               {"--preset", "no-setup-files"},
               1});
  t.push_back({"refused-upgrade-check-failed",
               "Refused: the list of installed programs was unreadable",
               EndingKind::kRefused,
               {{"Unable to check for DUN Upgrades.", false, kFresh, kChanging},
                {"\nUnable to query information from\n\tHKLM\\Software\\Microsoft\\Windows\\"
                 "CurrentVersion\\Uninstall\n",
                 false, kFresh, kChanging},
                {"There has been an error while enumerating keys under", false, kFresh, kChanging}},
               "The list of installed programs could not be read to look for a Dial-Up "
               "Networking upgrade, so the repair did not start.",
               "Restart the PC and run Netrevive again. If it stops here again, the registry is "
               "damaged: the PC needs a technician.",
               {"--inject",
                "RegOpenKeyExA:HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall=5"},
               1});
  t.push_back({"refused-upgrade-unknown-uninstaller",
               "Refused: a DUN upgrade the program cannot remove",
               EndingKind::kRefused,
               {{"\nUnknown uninstall string: ", false, kFresh, kChanging}},
               "A Dial-Up Networking upgrade is installed whose uninstaller the program does not "
               "know, so the repair did not start.",
               "Remove the upgrade with Add/Remove Programs (Install/Uninstall tab, \"Dial-Up "
               "Networking 1.3 Upgrade\" or similar), restart, then run Netrevive again, as the "
               "screen says." NR_UPGRADE_LATER,
               {"--preset", "upgrade-unknown"},
               1});
  t.push_back({"refused-upgrade-uninstaller-not-built",
               "Refused: the upgrade's uninstall command could not be built",
               EndingKind::kRefused,
               {{"Please remove the upgrade from Add remove programs and run the\nfix again.\n"
                 "Press any key to terminate the program.",
                 false, kFresh, kChanging}},
               "A Dial-Up Networking upgrade is installed, but its uninstaller's command line "
               "could not be built (the Windows directory could not be read, or the line is too "
               "long), so the repair did not start.",
               "Remove the upgrade with Add/Remove Programs (Install/Uninstall tab), restart, "
               "then run Netrevive again, as the screen says." NR_UPGRADE_LATER,
               {"--preset", "upgrade-dunsetup", "--inject", "GetWindowsDirectoryA=5,once,skip=2"},
               1});
  // ---- Setup programs that did less than asked ----------------------------
  t.push_back({"dun-not-installed-by-setup",
               "Stopped: Windows' setup installed no Dial-Up Networking",
               EndingKind::kStopped,
               {{"Windows' setup ended, but Dial-Up Networking was not installed. Windows"}},
               "Windows' setup of Dial-Up Networking ran but installed nothing: it asked for the "
               "Windows CD or its setup files and the request was cancelled; the file "
               "rundunreinst.QU was written again (unless the screen says it could not be), so "
               "the ReinstallDUN run the screen names tries once more.",
               "Have the Windows CD in its drive, then Start > Run, type the line the screen "
               "shows (ending in ReinstallDUN), OK, and when Windows asks for the CD point it to "
               "the CD's WIN98 folder. If that fails too, " NR_INSTALL_DUN "." NR_UPGRADE_LATER,
               {"--preset", "setup-cancelled"},
               2});
  t.push_back({"setup-tries-used-up",
               "Stopped: a setup step was started twice",
               EndingKind::kStopped,
               {{"Windows' setup has been started twice for this step, and the repair has"}},
               "A Windows setup program of the repair (DUN's uninstaller, its setup, or its "
               "default driver) was started twice in this repair and Windows never came back "
               "past it (it hung, or the PC was restarted during it), so it is not started by "
               "itself a third time.",
               "Restart the PC, then Start > Run, type the command shown on the screen, OK: "
               "Netrevive tries that step once more, with the caller watching. If it hangs "
               "again, the PC needs a technician.",
               {"--preset", "uninstall-tried-twice"},
               1});
  t.push_back({"upgrade-still-installed",
               "Stopped: the DUN upgrade is still installed",
               EndingKind::kStopped,
               {{"The Dial Up Networking Upgrade is still installed: its uninstaller did"}},
               "The run after the upgrade's own uninstaller found the Dial-Up Networking upgrade "
               "still installed: its uninstaller ran but did not remove it, and it is not run "
               "again by itself.",
               "Remove the upgrade with Add/Remove Programs (Install/Uninstall tab), restart, "
               "then Start > Run, type the line the screen shows (ending in UpgradeRemove), "
               "OK: the repair carries on from there." NR_UPGRADE_LATER,
               {"--preset", "upgrade-not-removed"},
               2});
  // ---- The Check: a verdict that changes nothing ----------------------------
  t.push_back(
      {"check-repaired",
       "Check: REPAIRED",
       EndingKind::kRepaired,
       {{"Result: REPAIRED. Dial-up networking is ready to use."}},
       "The Check found the Winsock 2 settings, a TCP/IP provider listed by Winsock itself "
       "and Dial-Up Networking installed, and no repair under way. The Check changed nothing.",
       "Try the connection. If it still fails, the fault is not in the Winsock 2 settings: "
       "look at the modem, the dial-up connection's number and the account. Keep "
       "system.tom and user.tom until the connection works." NR_UPGRADE_LATER,
       {"--preset", "98se"},
       3});
  t.push_back({"check-repair-under-way",
               "Check: REPAIR UNDER WAY, restart the PC",
               EndingKind::kGoesOn,
               {{"Result: REPAIR UNDER WAY."}},
               "A RunOnce entry \"QU Netrevive\" (shown under \"Repair under way\") starts "
               "Netrevive at the next start of Windows: the repair has not finished yet. The "
               "Check changed nothing.",
               "Restart the PC (Start > Shut Down > Restart) and let Netrevive carry on by itself; "
               "do not start it by hand meanwhile.",
               {"--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2,skip=1"},
               2});
  t.push_back({"check-repair-stopped",
               "Check: REPAIR STOPPED, start the program again",
               EndingKind::kStopped,
               {{"Result: REPAIR STOPPED. To finish it, click Start, Run, type"}},
               "A repair stopped part-way and nothing starts it again: the file rundunreinst.QU "
               "authorises a reinstallation of Dial-Up Networking but no RunOnce entry starts it "
               "(the command then ends in ReinstallDUN), or the file netrevive.QU says a repair "
               "is under way (a window closed, a power cut, a stop). The Check changed nothing.",
               "Click Start > Run, type the command shown on the screen exactly, OK: Netrevive "
               "carries the repair on and restarts Windows.",
               {"--inject", "CreateProcessA:C:\\WINDOWS\\rundll32.exe=2,skip=2"},
               3});
  t.push_back({"check-upgrade-left",
               "Check: REPAIR STOPPED, the DUN upgrade is still installed",
               EndingKind::kStopped,
               {{"Result: REPAIR STOPPED. The Dial Up Networking Upgrade is still installed."}},
               "A repair is under way and the Dial-Up Networking upgrade is still installed: its "
               "own uninstaller left it, or the repair stopped before it ran. "
               "The Check changed nothing.",
               "Remove the upgrade with Add/Remove Programs (Install/Uninstall tab), restart, "
               "then Start > Run, type the command shown on the screen, OK: the repair carries "
               "on." NR_UPGRADE_LATER,
               {"--preset", "upgrade-not-removed"},
               3});
  t.push_back({"check-winsock2-settings",
               "Check: NOT WORKING, the Winsock 2 settings are missing",
               EndingKind::kStopped,
               {{"Result: NOT WORKING: Winsock 2 settings."}},
               "The Winsock 2 settings (HKLM\\System\\CurrentControlSet\\Services\\Winsock2) "
               "are missing or cannot be read, and no repair is under way: no program can reach "
               "the network. The Check changed nothing.",
               "Windows' own setup writes them anew: " NR_REINSTALL_DUN
               ". Do not send the caller round the repair again." NR_UPGRADE_LATER,
               {"--preset", "no-winsock2", "--start", "C:\\NETREVIVE.EXE Check"},
               1});
  t.push_back({"check-winsock2-tcpip",
               "Check: NOT WORKING, Winsock 2 has no TCP/IP",
               EndingKind::kStopped,
               {{"Result: NOT WORKING: Winsock 2 TCP/IP."}},
               "The Winsock 2 settings are there, but Winsock itself lists no TCP/IP provider, "
               "cannot start or cannot open a TCP/IP socket through its providers (a layered "
               "provider damaged or gone; the error code tells why), or its library WS2_32.DLL "
               "is missing or damaged, as the line \"Winsock 2 TCP/IP\" says. "
               "The Check changed nothing.",
               "If Netrevive has not repaired this PC yet, run it now (Start > Run, "
               "C:\\NETREVIVE.EXE): it writes the Winsock 2 settings anew. If it has, or the line "
               "says WS2_32.DLL MISSING, Windows' networking files are damaged: " NR_REINSTALL_DUN
               ", and if that does not help, the PC needs a technician.",
               {"--preset", "no-tcpip", "--start", "C:\\NETREVIVE.EXE Check"},
               1});
  t.push_back(
      {"check-dun-missing",
       "Check: NOT WORKING, Dial-Up Networking is not installed",
       EndingKind::kStopped,
       {{"Result: NOT WORKING: Dial-Up Networking."}},
       "Winsock 2 works, but Dial-Up Networking is not installed and no repair is under "
       "way. The Check changed nothing.",
       "Run Netrevive (Start > Run, C:\\NETREVIVE.EXE), which installs DUN, or " NR_INSTALL_DUN ".",
       {"--preset", "no-dun", "--start", "C:\\NETREVIVE.EXE Check"},
       1});
  t.push_back({"check-not-9x",
               "Check: not Windows 98 or ME",
               EndingKind::kRefused,
               {{"Result: this check is for Windows 98 and ME only."}},
               "The PC runs Windows 95, NT, 2000 or later (or its version could not be read); "
               "the Check looked no further and changed nothing.",
               "Netrevive and its Check are for Windows 98, 98 SE and ME only; this PC needs "
               "another kind of help.",
               {"--preset", "nt"},
               2});
  return t;
}

#undef NR_WINDOWS_SETUP
#undef NR_REINSTALL_DUN
#undef NR_INSTALL_DUN

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

bool EndsWithTrimmed(const std::string& text, const std::string& tail) {
  size_t end = text.find_last_not_of(" \t\r\n");
  if (end == std::string::npos) return tail.empty();
  return end + 1 >= tail.size() && text.compare(end + 1 - tail.size(), tail.size(), tail) == 0;
}

bool RuleMatches(const ScreenRule& rule, const std::string& output) {
  bool found = rule.at_end ? EndsWithTrimmed(output, rule.text) : Contains(output, rule.text);
  return found && (rule.also[0] == '\0' || Contains(output, rule.also)) &&
         (rule.unless[0] == '\0' || !Contains(output, rule.unless)) &&
         (rule.nor[0] == '\0' || !Contains(output, rule.nor));
}

}  // namespace

const char kUpgradeLaterAdvice[] = NR_UPGRADE_LATER;
#undef NR_UPGRADE_LATER
const char kStartAgainAdvice[] = NR_START_AGAIN;
#undef NR_START_AGAIN
#undef NR_REMOVE_UPGRADE_BY_HAND

// The output without the registry data the program echoes (the upgrade's
// uninstall text, after "Unknown uninstall string: " and after "Unable to
// start the upgrade's uninstaller:"; in the Check's report, the upgrade's
// uninstall text, the RunOnce command and the setup files' folder), which
// could hold any text at all. The program's own next line closes each echo.
std::string WithoutEchoedData(const std::string& output) {
  struct Echo {
    const char* opening;
    const char* close;
  };
  static const Echo kEchoes[] = {
      {"\nUnknown uninstall string: ",
       "Please remove the upgrade from Add remove programs and run the\n"},
      {"\nUnable to start the upgrade's uninstaller:\n\t",
       "Please remove the upgrade from Add remove programs and run the\n"},
      {"\nRepair under way:         restart pending\n\t", "\nRegistry backups:"},
      {"\nDUN upgrade (MSDUN):      installed\n\t", "\nRepair under way:"},
      {"\nWindows setup files:      ", "\n\nResult: "},
  };
  std::string text = output;
  for (const Echo& echo : kEchoes) {
    // The last close is the program's own: the echo may hold the same text.
    size_t from = text.find(echo.opening);
    size_t to = text.rfind(echo.close);
    if (from != std::string::npos && to != std::string::npos && to > from) {
      text.replace(from, to - from, std::string(echo.opening) + "<registry text>\n");
    }
  }
  return text;
}

const std::vector<Ending>& Endings() {
  static const std::vector<Ending> kEndings = MakeEndings();
  return kEndings;
}

std::vector<const Ending*> MatchEndings(const std::string& program_output) {
  const std::string output = WithoutEchoedData(program_output);
  std::vector<const Ending*> found;
  for (const Ending& ending : Endings()) {
    for (const ScreenRule& rule : ending.screen) {
      if (RuleMatches(rule, output)) {
        found.push_back(&ending);
        break;
      }
    }
  }
  return found;
}

std::string EndingName(const std::string& output) {
  std::vector<const Ending*> found = MatchEndings(output);
  if (found.empty()) return "unknown";
  std::string name;
  for (const Ending* ending : found) name += (name.empty() ? "" : "+") + std::string(ending->name);
  return name;
}

const Ending* FindEnding(const std::string& name) {
  for (const Ending& ending : Endings()) {
    if (name == ending.name) return &ending;
  }
  return nullptr;
}

const char* KindName(EndingKind kind) {
  switch (kind) {
    case EndingKind::kGoesOn:
      return "goes on";
    case EndingKind::kRepaired:
      return "repaired";
    case EndingKind::kRefused:
      return "refused";
    case EndingKind::kStopped:
      return "stopped";
  }
  return "stopped";
}

}  // namespace netrevive::rehearsal
