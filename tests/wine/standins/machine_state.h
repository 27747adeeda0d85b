#ifndef NETREVIVE_TESTS_WINE_STANDINS_MACHINE_STATE_H_
#define NETREVIVE_TESTS_WINE_STANDINS_MACHINE_STATE_H_

// What the stand-ins for Windows' setup programs and the session player share:
// the registry and file marks of Dial-Up Networking (DUN), the effects of the
// setup entry points on them, and a one-line description of the machine that
// the end-to-end harness reads back.
//
// DUN's presence is marked, as on the simulated machine, by
//   HKCR\dunfile                                          (the .dun file type)
//   HKLM\System\CurrentControlSet\Services\RemoteAccess   (the RNA service)
//   HKLM\Software\Microsoft\Windows\CurrentVersion\Setup\OptionalComponents\RNA
//        "Installed" = "1" ("0" once uninstalled)
//   HKLM\System\CurrentControlSet\Services\Class\Net\0000  (the Dial-Up Adapter)
// and an installed upgrade by HKLM\...\CurrentVersion\Uninstall\MSDUN.

#include <string>

namespace standin {

// Appends one line (a line end is added) to WindowsDir\standin.log, the log
// every stand-in and the session player write to. Each line is written with
// one call, so lines of programs running side by side never mix.
void AppendLog(const std::string& line);

// The machine as tab-separated fields name=value, in a fixed order:
//   winsock2     "absent", or the protocol catalog's Num_Catalog_Entries
//                ("entries=9"; "entries=?" when the key has no such value)
//   dunfile remoteaccess adapter msdun     "present" or "absent"
//   rna          the RNA component's "Installed" value, or "absent"
//   runonce      the RunOnce value "QU Netrevive", or "absent"
//   marker       the content of WindowsDir\rundunreinst.QU with its line end
//                written as \n, or "absent"
std::string DescribeMachine();

// The effects of the setup entry points.
void RemoveDun();               // rnasetup.dll,UninstallUpgrade
void InstallDun();              // dunfile, RemoteAccess, RNA "Installed" = "1"
bool InstallDialUpAdapter();    // rnasetup.dll,InstallDefaultDrv; false if it was there
bool RestoreDefaultWinsock2();  // a default tree where none is; false if one was there
bool RemoveUpgrade();           // deletes the MSDUN key; false if it was missing

// The MSDUN key's "UninstallString", or "" when there is none.
std::string UpgradeUninstallString();

// The Windows directory, e.g. C:\windows.
std::string WindowsDir();

bool FileExists(const std::string& path);

// Lower-case copy (ASCII), for the case-insensitive matching of commands.
std::string Lower(const std::string& text);

// Text with its tabs, carriage returns and line ends written as \t, \r and
// \n, so that a field never breaks a log line. Backslashes stay as they are:
// paths remain readable, and the harness compares the escaped form only.
std::string Escape(const std::string& text);

}  // namespace standin

#endif  // NETREVIVE_TESTS_WINE_STANDINS_MACHINE_STATE_H_
