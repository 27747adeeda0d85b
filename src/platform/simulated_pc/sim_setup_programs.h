#ifndef NETREVIVE_PLATFORM_SIM_SIM_SETUP_PROGRAMS_H_
#define NETREVIVE_PLATFORM_SIM_SIM_SETUP_PROGRAMS_H_

// What Windows' own setup programs do to the simulated machine.
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
//       upgrade's INF uninstall restores Windows' own Winsock 2 settings
//       (unless upgrade_restores_winsock2 is no).
// A setup of DUN the caller cancels (SimMachine::setup_cancels) installs
// nothing, and an upgrade uninstaller that fails (upgrade_stays) leaves MSDUN.
// Anything else changes nothing and is recorded as not recognised. Helpers
// take kHelperDurationMs simulated milliseconds; RnaReboot takes 0.

#include <stdint.h>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::simulated_pc {

constexpr uint32_t kHelperDurationMs = 1500;

HelperOutcome DefaultHelperModel(SimMachine& machine, const ProcessRecord& run);

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_SETUP_PROGRAMS_H_
