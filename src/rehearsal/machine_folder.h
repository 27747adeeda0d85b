#ifndef NETREVIVE_SIMULATOR_MACHINE_FOLDER_H_
#define NETREVIVE_SIMULATOR_MACHINE_FOLDER_H_

// A simulated machine kept as a folder a user can read and edit:
//
//   registry.reg   HKLM and HKCR as REGEDIT4 text, as Windows 98's regedit
//                  exports them
//   version.txt    platform=, major=, minor=, build= (decimal or 0x hex) and
//                  csd= (the service pack text; put it in quotes to keep
//                  blanks at its ends)
//   machine.txt    windows_dir= (the Windows directory), program= (the
//                  path the repair program is started from) and pending=
//                  (none, restart or logoff: how the last session ended when
//                  the simulation stopped in the middle of a repair) and
//                  drives= (GetDriveTypeA's answers: LETTER:TYPE words, TYPE
//                  one of unknown, none, removable, fixed, remote, cdrom,
//                  ramdisk; without it A: is removable and C: fixed), and
//                  when they are not the default: temp= (GetTempPathA's
//                  folder, with its trailing backslash), setup_cancels= (how
//                  often Windows' setup of DUN is still to be cancelled at
//                  its CD request), upgrade_stays=yes (the DUN upgrade's
//                  uninstaller leaves it installed) and tcp_chain_broken=yes
//                  (Winsock lists its TCP provider, but a TCP socket cannot
//                  be opened)
//   attributes.txt the files whose attributes are not archive alone, one a
//                  line: R, H, S, A letters (or -), a blank and the path
//   drive/         the files of the simulated drives: drive/C/WINDOWS/system.dat
//                  is C:\WINDOWS\system.dat; empty folders are kept too
//                  (the machine compares names without case and keeps a
//                  folder's spelling only through the paths of its files
//                  and the Windows directory; other folders are written in
//                  upper case)
//
// In the .txt files each line is name=value; blank lines and lines starting
// with ; are skipped. A value in double quotes loses the quotes and nothing
// else. Fault plans, call logs and processes are not kept, nor a Windows CD
// the user holds ready.

#include <string>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::rehearsal {

struct MachineFolderError {
  std::string file;  // the file or folder concerned
  int line = 0;      // 1-based; 0 when the fault is not on one line
  std::string message;

  // "<file>:<line>: <message>", or "<file>: <message>" without a line.
  std::string ToString() const;
};

// Reads the folder into *machine, with the default helper model, and in
// *pending how the machine's last session ended when the simulation stopped
// before Windows started the next one. On any fault returns false, fills
// *error and leaves *machine and *pending as they were.
bool LoadMachineFolder(const std::string& dir, simulated_pc::SimMachine* machine,
                       simulated_pc::SessionRequest* pending, MachineFolderError* error);

// Writes the machine into the folder, creating it when needed. The folder's
// registry.reg, version.txt, machine.txt and drive/ are replaced; other files
// in it are left alone. Each file is written beside its final name first and
// then renamed over it.
bool SaveMachineFolder(const std::string& dir, const simulated_pc::SimMachine& machine,
                       simulated_pc::SessionRequest pending, MachineFolderError* error);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_MACHINE_FOLDER_H_
