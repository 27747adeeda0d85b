#ifndef NETREVIVE_PLATFORM_SIM_SIM_MACHINE_PARTS_H_
#define NETREVIVE_PLATFORM_SIM_SIM_MACHINE_PARTS_H_

// The parts of a Windows 98 PC that the presets (sim_presets.h) are built
// of and that Windows' setup programs (sim_setup_programs.h) add or take
// away, with the registry paths they are at.

#include <string>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::simulated_pc {

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
inline constexpr const char kSetupPath[] =
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

// The Winsock 2 settings of the default machine, whose catalogue lists
// TCP/IP providers; RemoveTcpIpProviders takes those entries out of it.
void AddDefaultWinsock2Tree(SimMachine* machine);
void RemoveTcpIpProviders(SimMachine* machine);
void InstallDun(SimMachine* machine);  // dunfile, RemoteAccess, RNA "1"
void InstallDialUpAdapter(SimMachine* machine);
void RemoveDun(SimMachine* machine);  // the UninstallUpgrade effect
// Windows ME's third registry file, classes.dat (HKEY_CLASSES_ROOT), marked
// as the other registry files.
void AddMeClassesFile(SimMachine* machine);
// The MSDUN key with the given UninstallString; dunsetup.exe is put into
// <WindowsDir>\system when the text names it.
void AddDunUpgrade(SimMachine* machine, const std::string& uninstall_string);
bool DunInstalled(const SimMachine& machine);  // HKCR\dunfile exists

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_MACHINE_PARTS_H_
