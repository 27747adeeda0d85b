#ifndef NETREVIVE_PLATFORM_SIM_SIM_COMMAND_LINE_H_
#define NETREVIVE_PLATFORM_SIM_SIM_COMMAND_LINE_H_

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_drive.h"

namespace netrevive::simulated_pc {

// Splits a whole command line (program included) into argv the way the
// Windows 98 C runtime (msvcrt.dll, __getmainargs) does:
//   argv[0]: a leading quote runs to the next quote (or the end), and the
//            arguments start right after it; otherwise it runs to the first
//            blank or tab. Backslashes are plain characters.
//   others:  separated by blanks and tabs; 2N backslashes + quote give N
//            backslashes and open or close a quoted part; 2N+1 backslashes +
//            quote give N backslashes and a literal quote; backslashes not
//            before a quote are literal; inside a quoted part, "" gives one
//            literal quote and ends the quoted part.
// An empty command line gives an empty argv[0] (argc 1).
std::vector<std::string> SplitCommandLine(const std::string& command_line);

// The candidates Windows tries, in order, for the program of an unquoted
// command line with blanks: the text up to each blank, then the whole text
// (each with ".exe" added when its file name has no extension). A quoted
// command line gives the one quoted path.
std::vector<std::string> ProgramCandidates(const std::string& command_line);

// What running a command line would start: the program file found on the
// drive and the arguments the program's C runtime hands to main.
struct ResolvedCommand {
  bool found = false;
  std::string program;            // the file that would run
  std::vector<std::string> argv;  // argv[0] included
};

// How Windows would run the command line on the drive (see
// SimMachine::ResolveCommandLine).
ResolvedCommand ResolveCommandLine(const SimDrive& drive, const std::string& windows_dir,
                                   const std::string& command_line);

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_COMMAND_LINE_H_
