#ifndef NETREVIVE_SIMULATOR_MACHINE_EXPORT_H_
#define NETREVIVE_SIMULATOR_MACHINE_EXPORT_H_

// A caller's own PC, made from the registry export the caller made with
// Windows 98's regedit ("regedit /e FILE.reg"), laid over the default
// machine's files.

#include <string>
#include <vector>

#include "platform/sim/sim_machine.h"

namespace netrevive::simulator {

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

}  // namespace netrevive::simulator

#endif  // NETREVIVE_SIMULATOR_MACHINE_EXPORT_H_
