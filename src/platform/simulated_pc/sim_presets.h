#ifndef NETREVIVE_PLATFORM_SIM_SIM_PRESETS_H_
#define NETREVIVE_PLATFORM_SIM_SIM_PRESETS_H_

// Built-in machines, made of the parts in sim_machine_parts.h; what
// Windows' own setup programs do to them is in sim_setup_programs.h.
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

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "platform/simulated_pc/sim_machine_parts.h"
#include "platform/simulated_pc/sim_setup_programs.h"

namespace netrevive::simulated_pc {

// The program's file on the presets.
inline constexpr const char kDefaultSelfPath[] = "C:\\NETREVIVE\\NETREVIVE.EXE";

// The Windows 98 SE PC described above, with the default helper model:
// C:\WINDOWS; version platform 1, 4.10, build 0x040A08AE (2222), CSD " A ";
// drives A: removable and C: fixed;
// files system.dat, user.dat (both hidden, system, read-only), rundll32.exe, rundll.exe,
// inf\rna.inf, system\ws2_32.dll (Winsock 2) and the program at kDefaultSelfPath; Windows'
// setup files in OPTIONS\CABS, named by the registry's "SourcePath" as on a PC whose
// maker copied them there; an empty TEMP folder that TMP and TEMP name; a CD-ROM drive D: without
// a disc. Every path of
// the machine is built on windows_dir, which may be of any length.
SimMachine MakeDefaultMachine(const std::string& windows_dir = "C:\\WINDOWS");

// A built-in machine: its name for --preset, a line that describes it, and
// how it is built.
struct PresetInfo {
  std::string name;
  std::string description;  // one line
  SimMachine (*build)();
};

// The presets, in the order --help and the support guide list them: one
// table; a new preset is a new entry at its end.
const std::vector<PresetInfo>& PresetMachines();
// Builds the preset of that name; false (out untouched) for an unknown name.
bool MakePresetMachine(const std::string& name, SimMachine* out);

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_PRESETS_H_
