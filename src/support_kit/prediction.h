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
  std::string file;                  // the .reg file
  bool marker = false;               // rundunreinst.QU exists on the PC
  std::vector<std::string> missing;  // files the PC does not have
};

// Builds *machine from the export: the default machine (on the export's
// Windows directory), whose registry branches the export holds are replaced
// by the export's, its version taken from the export. *pending is kRestart
// when the export holds RunOnce entries (Windows runs them at its next
// start). *notes says what was taken from where. False with a message
// naming the file (and the line) for a file that is not a Windows 98
// registry export; *machine is then untouched.
bool MachineFromExport(const ExportSettings& settings, sim::SimMachine* machine,
                       sim::SessionRequest* pending, std::vector<std::string>* notes,
                       std::string* error);

// The predicted path, one line each: every run's ending, the restarts, and
// the advice for the first run that does not end as the repair goes on.
std::vector<std::string> PredictionLines(const simulator::SessionReport& report);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_PREDICTION_H_
