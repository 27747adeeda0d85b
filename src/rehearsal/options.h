#ifndef NETREVIVE_SIMULATOR_OPTIONS_H_
#define NETREVIVE_SIMULATOR_OPTIONS_H_

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"

namespace netrevive::rehearsal {

// How the pauses of the program are answered.
enum class KeySource {
  kTerminal,  // a key pressed on the terminal (/dev/tty), as on the real console
  kAuto,      // at once, with a mark line in the output
};

struct SimOptions {
  bool help = false;
  std::string machine_dir;  // --machine; "" for a machine kept in memory only
  std::string preset;       // --preset; "" for the default machine
  KeySource keys = KeySource::kTerminal;
  bool one_run = false;
  // --program: argv[0] of the user's start as typed, such as "netrevive"
  // from a prompt in its folder; "" for the machine's program path.
  std::string program;
  std::vector<simulated_pc::FaultRule> faults;  // --inject, in the order given
  bool advice = false;                          // --advice: the advice after each run's ending
  bool start_given = false;                     // --start
  std::string start;                            // the command line of the user's first run
  std::string guide_dir;                        // --guide: write the support guide there and stop
  std::vector<std::string> registry;            // --registry: predict from these regedit exports
  bool marker = false;                          // --marker
  std::vector<std::string> missing;             // --missing, in the order given
  bool transcript = false;                      // --transcript: print the transcript only
};

// Reads the command line (argv[0] is skipped). False with a one-line message
// in *error when it is not understood.
bool ParseSimOptions(int argc, const char* const* argv, SimOptions* options, std::string* error);

// Reads one --inject text: OP[:PATH]=STATUS[,once][,skip=N], OP the name of
// a platform operation (sim_operations.h, any case). False with a message.
bool ParseInject(const std::string& text, simulated_pc::FaultRule* rule, std::string* error);

// The --help text.
std::string SimHelpText();

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_OPTIONS_H_
