#ifndef NETREVIVE_PLATFORM_SIM_SIM_PRESETS_H_
#define NETREVIVE_PLATFORM_SIM_SIM_PRESETS_H_

// Built-in machines and what Windows' own setup programs do to them.
//
// The default machine is a Windows 98 SE PC with Dial-Up Networking (DUN)
// installed and no DUN upgrade. DUN's presence is marked by:
//   HKCR\dunfile                                         (the .dun file type)
//   HKLM\System\CurrentControlSet\Services\RemoteAccess  (the RNA service)
//   HKLM\Software\Microsoft\Windows\CurrentVersion\Setup\OptionalComponents\RNA
//        "Installed" = "1" ("0" once uninstalled)
//   HKLM\System\CurrentControlSet\Services\Class\Net\0000 (the Dial-Up Adapter,
//        "DriverDesc" = "Dial-Up Adapter"; the default driver)
// An installed upgrade is the key
//   HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\MSDUN
// with "DisplayName" and "UninstallString".
//
// The default helper model (DefaultHelperModel) plays, by program path and
// the argument text after it (case-insensitive):
//   <WindowsDir>\rundll32.exe rnasetup.dll,UninstallUpgrade
//       removes dunfile, RemoteAccess and the Dial-Up Adapter, sets RNA
//       "Installed" to "0".
//   <WindowsDir>\rundll32.exe rnasetup.dll,RnaReboot      requests a restart.
//   <WindowsDir>\rundll32.exe rnasetup.dll,InstallDefaultDrv
//       creates the Dial-Up Adapter key (Class\Net\0000) when missing.
//   <WindowsDir>\rundll.exe setupx.dll,InstallHinfSection RNA 128 <inf>
//       when <inf> exists: installs dunfile, RemoteAccess, RNA "Installed" =
//       "1", and the default Winsock2 tree when Winsock2 is missing (an
//       existing one is left as it is); when <inf> is missing: no change.
//   <WindowsDir>\system\dunsetup.exe /u, or any command line equal to
//   <WindowsDir> + "\" + the MSDUN UninstallString
//       removes the MSDUN key; the rundll and rundll32 (INF) forms also put
//       back the default Winsock2 tree when Winsock2 is missing, as the
//       upgrade's INF uninstall restores Windows' own Winsock 2 settings.
// A setup of DUN the caller cancels (SimMachine::setup_cancels) installs
// nothing, and an upgrade uninstaller that fails (upgrade_stays) leaves MSDUN.
// Anything else changes nothing and is recorded as not recognised. Helpers
// take kHelperDurationMs simulated milliseconds; RnaReboot takes 0.

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"

namespace netrevive::sim {

constexpr uint32_t kHelperDurationMs = 1500;

// Registry paths the machines and helpers use.
inline constexpr const char kWinsock2Path[] = "HKLM\\System\\CurrentControlSet\\Services\\Winsock2";
inline constexpr const char kServicesPath[] = "HKLM\\System\\CurrentControlSet\\Services";
inline constexpr const char kDunFilePath[] = "HKCR\\dunfile";
inline constexpr const char kRemoteAccessPath[] =
    "HKLM\\System\\CurrentControlSet\\Services\\RemoteAccess";
inline constexpr const char kRnaComponentPath[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\OptionalComponents\\RNA";
inline constexpr const char kDialUpAdapterPath[] =
    "HKLM\\System\\CurrentControlSet\\Services\\Class\\Net\\0000";
inline constexpr const char kUninstallPath[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
inline constexpr const char kMsdunPath[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\MSDUN";
inline constexpr const char kRunOncePath[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline constexpr const char kDefaultSelfPath[] = "C:\\NETREVIVE\\NETREVIVE.EXE";
inline constexpr const char kSetupPath[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

// The Windows 98 SE PC described above, with the default helper model:
// C:\WINDOWS; version platform 1, 4.10, build 0x040A08AE (2222), CSD " A ";
// drives A: removable and C: fixed;
// files system.dat, user.dat (both hidden, system, read-only), rundll32.exe, rundll.exe,
// inf\rna.inf, system\ws2_32.dll (Winsock 2) and the program at kDefaultSelfPath; Windows'
// setup files in OPTIONS\CABS, named by the registry's "SourcePath" as on a PC whose
// maker copied them there; an empty TEMP folder; a CD-ROM drive D: without a disc. Every path of
// the machine is built on windows_dir, which may be of any length.
SimMachine MakeDefaultMachine(const std::string& windows_dir = "C:\\WINDOWS");

struct PresetInfo {
  std::string name;
  std::string description;  // one line
};

// "98se" (the default), "98", "me", "95", "nt", "no-dun", "upgrade-dunsetup",
// "upgrade-rundll", "upgrade-rundll32", "upgrade-unknown", "no-winsock2",
// "no-rna-inf", "no-helper", "no-setup-files", "cd-not-in-drive",
// "setup-cancelled", "upgrade-not-removed", "no-tcpip", "no-ws2-32".
const std::vector<PresetInfo>& PresetMachines();
// False (out untouched) for an unknown name.
bool MakePresetMachine(const std::string& name, SimMachine* out);

// Pieces of the default machine, for tests and for helpers.
// The Winsock 2 settings of the default machine, whose catalogue lists
// TCP/IP providers; RemoveTcpIpProviders takes those entries out of it.
void AddDefaultWinsock2Tree(SimMachine* machine);
void RemoveTcpIpProviders(SimMachine* machine);
void InstallDun(SimMachine* machine);  // dunfile, RemoteAccess, RNA "1"
void InstallDialUpAdapter(SimMachine* machine);
void RemoveDun(SimMachine* machine);  // the UninstallUpgrade effect
// The MSDUN key with the given UninstallString; dunsetup.exe is put into
// <WindowsDir>\system when the text names it.
void AddDunUpgrade(SimMachine* machine, const std::string& uninstall_string);
bool DunInstalled(const SimMachine& machine);  // HKCR\dunfile exists

HelperOutcome DefaultHelperModel(SimMachine& machine, const ProcessRecord& run);

}  // namespace netrevive::sim

#endif  // NETREVIVE_PLATFORM_SIM_SIM_PRESETS_H_
