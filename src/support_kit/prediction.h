#ifndef NETREVIVE_SUPPORT_KIT_PREDICTION_H_
#define NETREVIVE_SUPPORT_KIT_PREDICTION_H_

// A prediction of what the repair will do on a caller's own PC, from the
// registry export the caller made with Windows 98's regedit ("regedit /e
// FILE.reg"), laid over the default machine's files.

#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"
#include "platform/sim/sim_processes.h"
#include "simulator/session_player.h"

namespace netrevive::support_kit {

struct ExportSettings {
  std::vector<std::string> files;    // the .reg files, in the order given
  bool marker = false;               // rundunreinst.QU exists on the PC
  std::vector<std::string> missing;  // files the PC does not have
};

// What the prediction reads, by the key a caller exports with Windows 98's
// regedit, each small enough for a floppy disk.
struct ExportBranch {
  const char* key;    // as regedit names it
  const char* file;   // the 8.3 file name the guide gives
  const char* facts;  // what the repair reads there
};
const std::vector<ExportBranch>& ExportBranches();

// The regedit command that exports the branch onto the floppy in A:.
std::string ExportCommand(const ExportBranch& branch);

// Builds *machine from the exports (later files win where they overlap): the default machine (on
// the export's Windows directory), whose registry branches the export holds are replaced by the
// export's, its version taken from the export. *pending is kRestart when the export holds RunOnce
// entries (Windows runs them at its next start). *notes says what was taken from which file, and
// for each fact of ExportBranches whether it came from an export or the default machine. False with
// a message naming the file (and the line) for a file that is not a Windows 98 registry export;
// *machine is then untouched.
bool MachineFromExport(const ExportSettings& settings, sim::SimMachine* machine,
                       sim::SessionRequest* pending, std::vector<std::string>* notes,
                       std::string* error);

// The predicted path, one line each: every run's ending, the restarts, and
// the advice for the first run that does not end as the repair goes on.
std::vector<std::string> PredictionLines(const simulator::SessionReport& report);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_PREDICTION_H_
