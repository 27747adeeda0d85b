#ifndef NETREVIVE_SIMULATOR_MACHINE_EXPORT_H_
#define NETREVIVE_SIMULATOR_MACHINE_EXPORT_H_

// A caller's own PC, made from the registry exports the caller made with
// Windows 98's regedit ("regedit /e FILE.reg [KEY]"), laid over the default
// machine's files.

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::rehearsal {

struct ExportSettings {
  std::vector<std::string> files;    // the .reg files, in the order given
  bool marker = false;               // rundunreinst.QU exists on the PC
  std::vector<std::string> missing;  // files the PC does not have
};

// What the repair reads, by the key a caller exports with Windows 98's
// regedit, each small enough for a floppy disk.
struct ExportBranch {
  const char* key;    // as regedit names it
  const char* file;   // the 8.3 file name the support guide gives
  const char* facts;  // what the repair reads there
};
const std::vector<ExportBranch>& ExportBranches();

// The regedit command that exports the branch onto the floppy in A:.
std::string ExportCommand(const ExportBranch& branch);

// "a", "a and b", "a, b and c".
std::string ExportNames(const std::vector<std::string>& files);

// Builds *machine from the exports (later files win where they overlap):
// the default machine (on the exports' Windows directory), whose registry
// branches the exports hold are replaced by theirs, its version taken from
// the export of the CurrentVersion key. A file named as ExportBranches names
// a branch's export but holding none of it says the key is not on the PC.
// *pending is kRestart when the exports hold RunOnce entries (Windows runs
// them at its next start). *notes says what was taken from which file, and
// for each fact of ExportBranches whether it came from an export or from
// the default machine. False with a message naming the file (and the line)
// for a file that is not a Windows 98 registry export; *machine is then
// untouched.
bool MachineFromExport(const ExportSettings& settings, simulated_pc::SimMachine* machine,
                       simulated_pc::SessionRequest* pending, std::vector<std::string>* notes,
                       std::string* error);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_MACHINE_EXPORT_H_
