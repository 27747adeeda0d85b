#ifndef NETREVIVE_SIMULATOR_MACHINE_SOURCE_H_
#define NETREVIVE_SIMULATOR_MACHINE_SOURCE_H_

// The one way netrevive-sim and the support guide get the machine a
// simulation runs on, and the settings it runs with, from the options: a
// machine folder that exists (--machine), a caller's registry export
// (--registry) or a built-in machine (--preset, 98se by default), with the
// faults of --inject planted.

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "rehearsal/options.h"
#include "rehearsal/session_player.h"

namespace netrevive::rehearsal {

struct MachineSource {
  simulated_pc::SimMachine machine;
  // How the machine's last session ended: a folder's, or kRestart for an
  // export with RunOnce entries.
  simulated_pc::SessionRequest pending = simulated_pc::SessionRequest::kNone;
  std::string origin;              // where it comes from, for the first line of the output
  std::vector<std::string> notes;  // what was taken from an export
};

enum class MachineFault {
  kNone,
  kCommandLine,  // the options do not go together
  kFolder,       // the machine folder cannot be read (it is left unchanged)
  kExport,       // the registry export cannot be read
};

// False with *error and what is at fault.
bool GetMachine(const SimOptions& options, MachineSource* source, MachineFault* fault,
                std::string* error);

// The session settings of the options for the machine: keys, --one-run,
// --program, --start, --advice and the machine's pending session end.
SessionSettings SettingsFor(const SimOptions& options, const MachineSource& source);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_MACHINE_SOURCE_H_
